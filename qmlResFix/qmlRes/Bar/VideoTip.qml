import QtQuick 2.12
import "UIControl.js" as UIControl

// The daily play limit was reached.
DialogFrame {
    id: tip
    host: pVideoTipView
    title: pVideoTipView.m_qsTitle

    signal cancelSignal()

    onCloseClicked: tip.cancelSignal()

    Text {
        objectName: "message"
        x: 20
        y: 81
        width: parent.width - 40
        wrapMode: Text.WordWrap
        text: pVideoTipView.m_qsMsg
        font.family: UIControl.fontType
        font.pixelSize: UIControl.fontSize
    }

    ImageButton {
        objectName: "okButton"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 1
        height: 30
        btnText: qsTr("OK")
        pressHold: false
        onImgBtnClick: tip.cancelSignal()
    }
}
