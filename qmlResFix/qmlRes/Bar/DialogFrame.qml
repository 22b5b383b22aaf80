import QtQuick 2.12
import "UIControl.js" as UIControl

// What every dialog document shares: the grey face, the title strip with its
// "X", the bottom strip, the size the host gives and, where wanted, dragging.
Rectangle {
    id: frame
    width: UIControl.DLG_WIDTH
    height: UIControl.DLG_HEIGHT
    color: "#EAEAEA"

    // The dialog object the document sees (its context property).
    property QtObject host: null
    property string title: ""
    property bool closeVisible: true
    property bool bottomVisible: true
    property bool draggable: false
    property point pressPoint: Qt.point(0, 0)
    default property alias content: body.data

    signal closeClicked()
    signal dragged(int xoffset, int yoffset)

    Connections {
        target: frame.host
        ignoreUnknownSignals: true
        function onSetComponentSizeSignal(width, height) {
            frame.width = width;
            frame.height = height;
        }
    }

    MouseArea {
        anchors.fill: parent
        enabled: frame.draggable
        onPressed: frame.pressPoint = Qt.point(mouse.x, mouse.y)
        onPositionChanged: frame.dragged(mouse.x - frame.pressPoint.x, mouse.y - frame.pressPoint.y)
    }

    Rectangle {
        id: titleStrip
        width: parent.width
        height: 32
        color: UIControl.DIALOG_TITLE

        Text {
            x: 10
            anchors.verticalCenter: parent.verticalCenter
            text: frame.title
            font.family: UIControl.fontType
            font.pixelSize: UIControl.fontSizeTitle
        }

        ImageButton {
            objectName: "closeButton"
            width: 30
            height: 30
            anchors.right: parent.right
            anchors.rightMargin: 1
            anchors.verticalCenter: parent.verticalCenter
            visible: frame.closeVisible
            btnText: "X"
            bgColor: UIControl.BTN_CLOSE_COLOR
            leaveColor: UIControl.BTN_CLOSE_COLOR
            enterColor: UIControl.BTN_CLOSE_ENTERCOLOR
            pressHold: false
            onImgBtnClick: frame.closeClicked()
        }
    }

    Rectangle {
        id: bottomStrip
        width: parent.width
        height: 32
        anchors.bottom: parent.bottom
        visible: frame.bottomVisible
        color: UIControl.DIALOG_BOTTOM
    }

    Item {
        id: body
        anchors.fill: parent
    }
}
