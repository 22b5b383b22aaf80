import QtQuick 2.12
import QtQuick.Controls 2.12
import "UIControl.js" as UIControl

// The picture row of one card: snapshot, information text, Wi-Fi bars and icons.
Item {
    id: listItem

    signal dbClick()
    signal settingClick()

    Image {
        id: picture
        x: 6
        y: 0
        width: listItem.height - 14
        height: width
        fillMode: Image.PreserveAspectCrop
        cache: false
        source: DevState === 1 ? ImagePage : "../barIcon/CAM_OFFLINE.png"
    }

    Text {
        id: info
        x: picture.x + picture.width + 6
        width: listItem.width - x - 4
        text: NORMAL_INFO
        font.pixelSize: 12
        font.family: UIControl.FONTTYPE
        color: UIControl.LIST_DEV_INFO
        elide: Text.ElideRight
    }

    Row {
        id: wifi
        x: info.x
        y: listItem.height - 16
        height: 12
        spacing: 2
        visible: NORMAL_READY && WifiDB > 0
        Text {
            text: "Wifi:"
            font.pixelSize: 10
            color: UIControl.LIST_DEV_INFO
            anchors.bottom: parent.bottom
        }
        Repeater {
            model: [3, 6, 8, 10, 12]
            Rectangle {
                width: 3
                height: modelData
                anchors.bottom: parent.bottom
                color: UIControl.LIST_ITEM_WIFIDB
                visible: WifiDB > index
            }
        }
    }

    Image {
        id: ptzIcon
        anchors.right: cloudIcon.left
        anchors.rightMargin: 2
        y: listItem.height - 18
        visible: IPC_TYPE === 2
        source: "../barIcon/type_yt.png"
    }

    Image {
        id: cloudIcon
        anchors.right: parent.right
        anchors.rightMargin: 4
        y: listItem.height - 18
        visible: CLOUD_STATE === 1
        source: "../barIcon/Storage_Cloud.png"
    }

    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        onDoubleClicked: {
            if (mouse.button === Qt.LeftButton)
                listItem.dbClick();
        }
        onClicked: {
            if (mouse.button === Qt.RightButton)
                menu.popup();
        }
    }

    Menu {
        id: menu
        MenuItem {
            objectName: "cameraInformation"
            text: qsTr("Camera Information")
            onTriggered: listItem.settingClick()
        }
    }
}
