import QtQuick 2.12
import QtQuick.Controls 2.12
import "UIControl.js" as UIControl

// Sign-in: account, password and "Remember Password"; or the signed-in user.
DialogFrame {
    id: userInfo
    host: pUserInfoView
    title: pUserInfoView.m_qsTitle
    draggable: true

    signal loginSignal()
    signal logoutSignal()
    signal autoSignal(bool bAuto)
    signal cancelSignal()
    signal dragSignal(int xoffset, int yoffset)

    onCloseClicked: userInfo.cancelSignal()
    onDragged: userInfo.dragSignal(xoffset, yoffset)

    // The fields follow the host, also after the user typed in them.
    Connections {
        target: pUserInfoView
        function onSig_user_changed() { accountField.text = pUserInfoView.m_qsUser; }
        function onSig_pwd_changed() { passwordField.text = pUserInfoView.m_qsPwd; }
        function onSig_auto_changed() { rememberBox.checked = pUserInfoView.m_bAuto; }
    }

    function login() {
        if (accountField.text.length === 0) {
            pUserInfoView.m_qsResult = qsTr("Please input account.");
            return;
        }
        if (passwordField.text.length < 6) {
            pUserInfoView.m_qsResult = qsTr("Password less than six characters.");
            return;
        }
        pUserInfoView.m_qsUser = accountField.text;
        pUserInfoView.m_qsPwd = passwordField.text;
        pUserInfoView.m_bAuto = rememberBox.checked;
        userInfo.loginSignal();
    }

    Text { x: 70; y: 75; text: qsTr("Account:"); font.family: UIControl.fontType; font.pixelSize: UIControl.fontSize }
    TextField {
        id: accountField
        objectName: "accountField"
        x: 160
        y: 70
        width: 200
        height: 26
        padding: 2
        font.pixelSize: UIControl.fontSize
        placeholderText: qsTr("Enter Mobile Phone Number/Email")
        enabled: !pUserInfoView.m_bLogin
        text: pUserInfoView.m_qsUser
        selectByMouse: true
        onTextChanged: pUserInfoView.m_qsResult = ""
        onAccepted: if (!pUserInfoView.m_bLogin) userInfo.login()
    }

    Text { x: 70; y: 115; text: qsTr("Password:"); font.family: UIControl.fontType; font.pixelSize: UIControl.fontSize }
    TextField {
        id: passwordField
        objectName: "passwordField"
        x: 160
        y: 110
        width: 200
        height: 26
        padding: 2
        font.pixelSize: UIControl.fontSize
        echoMode: TextInput.Password
        enabled: !pUserInfoView.m_bLogin
        text: pUserInfoView.m_qsPwd
        onTextChanged: pUserInfoView.m_qsResult = ""
        onAccepted: if (!pUserInfoView.m_bLogin) userInfo.login()
    }

    CheckBox {
        id: rememberBox
        objectName: "rememberBox"
        x: 155
        y: 145
        text: qsTr("Remember Password")
        font.pixelSize: UIControl.fontSize
        checked: pUserInfoView.m_bAuto
        // Ticking leaves the focus in the text fields, where Enter signs in.
        focusPolicy: Qt.NoFocus
        onToggled: userInfo.autoSignal(checked)
    }

    WorkingText {
        objectName: "loggingIn"
        x: 160
        y: 190
        baseText: qsTr("Logging in")
        running: pUserInfoView.m_bLoginState
    }

    Text {
        objectName: "result"
        y: 226
        anchors.horizontalCenter: parent.horizontalCenter
        color: "red"
        text: pUserInfoView.m_qsResult
        font.family: UIControl.fontType
        font.pixelSize: UIControl.fontSize
    }

    ImageButton {
        objectName: "loginButton"
        x: parent.width / 2 - width - 10
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 1
        height: 30
        visible: !pUserInfoView.m_bLoginState
        btnText: pUserInfoView.m_bLogin ? qsTr("Logout") : qsTr("Login")
        pressHold: false
        onImgBtnClick: pUserInfoView.m_bLogin ? userInfo.logoutSignal() : userInfo.login()
    }

    ImageButton {
        objectName: "closeBottomButton"
        x: parent.width / 2 + 10
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 1
        height: 30
        btnText: qsTr("Close")
        pressHold: false
        onImgBtnClick: userInfo.cancelSignal()
    }
}
