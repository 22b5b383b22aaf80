import QtQuick 2.12
import "UIControl.js" as UIControl

// The collapsible camera list: a title row and one card per camera.
Item {
    id: listData
    height: bOpen ? UIControl.LIST_TITLE_HEIGHT + listHeight : UIControl.LIST_TITLE_HEIGHT
    clip: true

    property bool bOpen: false
    property int listHeight: 0
    property color highlightColor: UIControl.LIST_HIGHLIGHT_COLOR

    signal openChanged()
    signal itemDBClick(int iCameraID, int iChannelID)
    signal itemSetting(int iCameraID)
    signal serverChange(int iCameraID)

    // The list takes what its cards need, at most `room`.
    function resetHeight(room) {
        var content = deviceView.count * (UIControl.LIST_ITEM_HEIGHT + UIControl.LIST_Y_MARGIN);
        listData.listHeight = Math.max(0, Math.min(content, room));
    }

    onBOpenChanged: openChanged()

    Rectangle {
        id: titleRow
        width: parent.width
        height: UIControl.LIST_TITLE_HEIGHT
        color: UIControl.LIST_COLOR
        Text {
            x: 10
            height: parent.height
            verticalAlignment: Text.AlignVCenter
            text: qsTr("My Camera")
            font.pixelSize: 14
            font.family: UIControl.FONTTYPE
            color: UIControl.LIST_TEXT_COLOR
        }
        Image {
            anchors.right: parent.right
            anchors.rightMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            source: listData.bOpen ? "../barIcon/item_open.png" : "../barIcon/item_close.png"
        }
        MouseArea {
            anchors.fill: parent
            onClicked: listData.bOpen = !listData.bOpen
        }
    }

    ListView {
        id: deviceView
        objectName: "deviceView"
        y: UIControl.LIST_TITLE_HEIGHT
        width: parent.width
        height: listData.listHeight
        visible: listData.bOpen
        spacing: UIControl.LIST_Y_MARGIN
        clip: true
        model: groupModel
        highlightFollowsCurrentItem: false
        currentIndex: -1
        highlight: Rectangle {
            width: deviceView.width
            height: UIControl.LIST_ITEM_HEIGHT
            color: listData.highlightColor
            y: deviceView.currentItem ? deviceView.currentItem.y : 0
            Behavior on y { SpringAnimation { spring: 5; damping: 0.5 } }
        }

        delegate: Rectangle {
            id: card
            width: deviceView.width
            height: UIControl.LIST_ITEM_HEIGHT
            border.color: "lightgray"
            border.width: 1
            color: "transparent"
            // The current card lets the highlight behind it show through.
            property color face: ListView.isCurrentItem ? "Transparent" : "#F6F6F6"
            gradient: Gradient {
                GradientStop { position: 0.0; color: "Transparent" }
                GradientStop { position: 0.1; color: card.face }
                GradientStop { position: 0.9; color: card.face }
                GradientStop { position: 1.0; color: "Transparent" }
            }

            TextInput {
                x: 6
                width: parent.width - 40
                height: 30
                verticalAlignment: TextInput.AlignVCenter
                readOnly: true
                selectByMouse: true
                clip: true
                text: DevName
                font.pixelSize: 13
                font.family: UIControl.FONTTYPE
                color: UIControl.LIST_TEXT_COLOR
            }

            Rectangle {
                id: serverButton
                objectName: "serverButton"
                visible: SERVER_CHANGE
                width: 28
                height: 28
                x: parent.width - 30
                y: 1
                radius: 3
                color: serverArea.containsMouse ? "#EE0000" : "#EE8262"
                Text {
                    anchors.centerIn: parent
                    text: "!"
                    color: "white"
                    font.bold: true
                    font.pixelSize: 16
                }
                MouseArea {
                    id: serverArea
                    anchors.fill: parent
                    hoverEnabled: true
                    onClicked: listData.serverChange(CameraID)
                }
            }

            ListItem {
                y: 30
                width: parent.width
                height: UIControl.LIST_CHANNEL_HEIGHT
                onDbClick: {
                    deviceView.currentIndex = index;
                    listData.itemDBClick(CameraID, ChannelID);
                }
                onSettingClick: listData.itemSetting(CameraID)
            }
        }
    }
}
