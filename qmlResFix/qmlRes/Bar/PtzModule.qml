import QtQuick 2.12
import "UIControl.js" as UIControl

// The PTZ pad under the list: four direction buttons at speed 5.
Item {
    id: ptzModule
    height: neededHeight

    property bool bOpen: false
    // What the pad asks the list to keep free below it.
    property int neededHeight: bOpen ? UIControl.LIST_PTZ_VIEWCONTENTHEIGHT + UIControl.LIST_TITLE_HEIGHT + 5
                                     : UIControl.LIST_TITLE_HEIGHT + 5
    readonly property int speed: 5

    signal ptzCtrlClickSignal(int iCommand, int iSpeed)

    Rectangle {
        id: titleRow
        width: parent.width
        height: UIControl.LIST_TITLE_HEIGHT
        color: UIControl.LIST_COLOR
        Text {
            x: 10
            height: parent.height
            verticalAlignment: Text.AlignVCenter
            text: qsTr("PTZ Control")
            font.pixelSize: 14
            font.family: UIControl.FONTTYPE
            color: UIControl.LIST_TEXT_COLOR
        }
        Image {
            anchors.right: parent.right
            anchors.rightMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            source: ptzModule.bOpen ? "../barIcon/item_open.png" : "../barIcon/item_close.png"
        }
        MouseArea {
            anchors.fill: parent
            onClicked: ptzModule.bOpen = !ptzModule.bOpen
        }
    }

    Item {
        id: pad
        y: UIControl.LIST_TITLE_HEIGHT
        width: parent.width
        height: UIControl.LIST_PTZ_VIEWCONTENTHEIGHT
        visible: ptzModule.bOpen

        ImageButton {
            objectName: "ptzUp"
            width: UIControl.PTZCTRL_BTN_WIDTH
            height: UIControl.PTZCTRL_BTN_HEIGHT
            x: (pad.width - width) / 2
            y: 10
            pressHold: false
            btnImgSrc: "../barIcon/ptz_up.png"
            bgColor: "transparent"
            leaveColor: "transparent"
            onImgBtnClick: ptzModule.ptzCtrlClickSignal(1, ptzModule.speed)
        }
        ImageButton {
            objectName: "ptzDown"
            width: UIControl.PTZCTRL_BTN_WIDTH
            height: UIControl.PTZCTRL_BTN_HEIGHT
            x: (pad.width - width) / 2
            y: 10 + 2 * height
            pressHold: false
            btnImgSrc: "../barIcon/ptz_down.png"
            bgColor: "transparent"
            leaveColor: "transparent"
            onImgBtnClick: ptzModule.ptzCtrlClickSignal(2, ptzModule.speed)
        }
        ImageButton {
            objectName: "ptzLeft"
            width: UIControl.PTZCTRL_BTN_WIDTH
            height: UIControl.PTZCTRL_BTN_HEIGHT
            x: pad.width / 2 - 10 - width
            y: 10 + height
            pressHold: false
            btnImgSrc: "../barIcon/ptz_left.png"
            bgColor: "transparent"
            leaveColor: "transparent"
            onImgBtnClick: ptzModule.ptzCtrlClickSignal(3, ptzModule.speed)
        }
        ImageButton {
            objectName: "ptzRight"
            width: UIControl.PTZCTRL_BTN_WIDTH
            height: UIControl.PTZCTRL_BTN_HEIGHT
            x: pad.width / 2 + 10
            y: 10 + height
            pressHold: false
            btnImgSrc: "../barIcon/ptz_right.png"
            bgColor: "transparent"
            leaveColor: "transparent"
            onImgBtnClick: ptzModule.ptzCtrlClickSignal(4, ptzModule.speed)
        }
    }
}
