import QtQuick 2.12
import QtQuick.Controls 2.12
import "UIControl.js" as UIControl

// The key that decrypts a camera's video.
DialogFrame {
    id: videoPwd
    host: pVideoPwdView
    title: pVideoPwdView.m_qsTitle
    draggable: true

    signal submitSignal()
    signal cancelSignal()
    signal dragSignal(int xoffset, int yoffset)

    onCloseClicked: videoPwd.cancelSignal()
    onDragged: videoPwd.dragSignal(xoffset, yoffset)

    Connections {
        target: pVideoPwdView
        function onSig_pwd_changed() { passwordField.text = pVideoPwdView.m_qsPwd; }
    }

    function submit() {
        if (passwordField.text.length === 0) {
            pVideoPwdView.m_qsResult = qsTr("Password can not be null");
            return;
        }
        pVideoPwdView.m_qsPwd = passwordField.text;
        videoPwd.submitSignal();
    }

    Text {
        objectName: "prompt"
        x: 60
        y: 75
        width: parent.width - 120
        wrapMode: Text.WordWrap
        text: pVideoPwdView.m_qsType
        font.family: UIControl.fontType
        font.pixelSize: UIControl.fontSize
    }

    TextField {
        id: passwordField
        objectName: "passwordField"
        x: 60
        y: 120
        width: parent.width - 120
        height: 26
        padding: 2
        font.pixelSize: UIControl.fontSize
        echoMode: TextInput.Password
        text: pVideoPwdView.m_qsPwd
        onTextChanged: pVideoPwdView.m_qsResult = ""
        onAccepted: if (!pVideoPwdView.m_bChkState) videoPwd.submit()
    }

    WorkingText {
        objectName: "decrypting"
        x: 60
        y: 170
        baseText: qsTr("Video decryption")
        running: pVideoPwdView.m_bChkState
    }

    Text {
        objectName: "result"
        y: 226
        anchors.horizontalCenter: parent.horizontalCenter
        color: "red"
        text: pVideoPwdView.m_qsResult
        font.family: UIControl.fontType
        font.pixelSize: UIControl.fontSize
    }

    ImageButton {
        objectName: "submitButton"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 1
        height: 30
        visible: !pVideoPwdView.m_bChkState
        btnText: qsTr("Sumbit")
        pressHold: false
        onImgBtnClick: videoPwd.submit()
    }
}
