import QtQuick 2.12
import "UIControl.js" as UIControl

// The program's version; the logo and the build line are kept hidden.
DialogFrame {
    id: about
    host: pAboutView
    title: pAboutView.m_qsTitle

    signal openLinkSignal()
    signal cancelSignal()

    onCloseClicked: about.cancelSignal()

    Connections {
        target: pAboutView
        function onInitFATSignal(FAT) {
            UIControl.titleBarInit(FAT);
            logo.visible = UIControl.ABOUT_LOGO;
            buildLine.visible = UIControl.ABOUT_LINK;
        }
    }

    Item {
        id: logoArea
        y: 60
        width: parent.width
        height: 128

        Text {
            id: logo
            anchors.centerIn: parent
            visible: false
            text: UIControl.LOGO_TEXT
            font.family: UIControl.fontType
            font.pixelSize: UIControl.LOGO_SIZE
        }
    }

    Text {
        objectName: "version"
        anchors.horizontalCenter: parent.horizontalCenter
        y: logoArea.y + logoArea.height + 10
        text: pAboutView.m_qsVer
        font.family: UIControl.fontType
        font.pixelSize: UIControl.fontSize
    }

    Text {
        id: buildLine
        objectName: "build"
        anchors.horizontalCenter: parent.horizontalCenter
        y: logoArea.y + logoArea.height + 30
        visible: false
        text: pAboutView.m_qsBuild
        color: "blue"
        font.family: UIControl.fontType
        font.pixelSize: UIControl.fontSize

        MouseArea {
            anchors.fill: parent
            onClicked: about.openLinkSignal()
        }
    }
}
