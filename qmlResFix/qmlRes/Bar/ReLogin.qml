import QtQuick 2.12
import "UIControl.js" as UIControl

// The server switch in progress: only the controller closes it.
DialogFrame {
    id: relogin
    host: pReLoginView
    title: pReLoginView.m_qsTitle
    closeVisible: false

    signal cancelSignal()

    onCloseClicked: relogin.cancelSignal()

    Text {
        objectName: "message"
        x: 8
        y: 81
        width: parent.width - 16
        wrapMode: Text.WordWrap
        text: pReLoginView.m_qsMsg
        font.family: UIControl.fontType
        font.pixelSize: UIControl.fontSize
    }

    ImageButton {
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 1
        height: 30
        visible: false
        btnText: qsTr("OK")
        onImgBtnClick: relogin.cancelSignal()
    }
}
