import QtQuick 2.12
import "UIControl.js" as UIControl

// The small waiting box: a turning picture and the waiting text.
Rectangle {
    id: waitBox
    width: 100
    height: 50
    color: UIControl.WAIT_COLOR

    Connections {
        target: pWaitView
        function onSetComponentSizeSignal(width, height) {
            waitBox.width = width;
            waitBox.height = height;
        }
    }

    AnimatedImage {
        id: spinner
        x: 4
        width: 32
        height: 32
        anchors.verticalCenter: parent.verticalCenter
        source: "../barIcon/Loading.gif"
        playing: waitBox.visible
    }

    Text {
        objectName: "waitText"
        anchors.left: spinner.right
        anchors.leftMargin: 4
        anchors.verticalCenter: parent.verticalCenter
        text: pWaitView.m_qsWait
        color: UIControl.WAIT_TEXT_COLOR
        font.family: UIControl.fontType
        font.pixelSize: UIControl.fontSize
    }
}
