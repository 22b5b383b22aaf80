import QtQuick 2.12
import QtQuick.Controls 2.12
import "UIControl.js" as UIControl

// The capture and record folders; the host checks them on "Setting".
DialogFrame {
    id: setting
    host: pSettingView
    title: pSettingView.m_qsTitle

    signal captureSignal()
    signal recordSignal()
    signal deletePwdSignal(bool bDelete)
    signal sumbitSignal()
    signal cancelSignal()

    onCloseClicked: setting.cancelSignal()

    Connections {
        target: pSettingView
        function onSig_capture_changed() { captureField.text = pSettingView.m_qsCapture; }
        function onSig_record_changed() { recordField.text = pSettingView.m_qsRecord; }
    }

    Text { x: 50; y: 65; text: qsTr("Capture:"); font.family: UIControl.fontType; font.pixelSize: UIControl.fontSize }
    TextField {
        id: captureField
        objectName: "captureField"
        x: 120
        y: 60
        width: 220
        height: 22
        padding: 2
        font.pixelSize: UIControl.fontSize
        text: pSettingView.m_qsCapture
        selectByMouse: true
    }
    ImageButton {
        objectName: "captureView"
        x: 345
        y: 60
        width: 50
        height: 22
        btnText: qsTr("View")
        pressHold: false
        onImgBtnClick: setting.captureSignal()
    }

    Text { x: 50; y: 95; text: qsTr("Record:"); font.family: UIControl.fontType; font.pixelSize: UIControl.fontSize }
    TextField {
        id: recordField
        objectName: "recordField"
        x: 120
        y: 90
        width: 220
        height: 22
        padding: 2
        font.pixelSize: UIControl.fontSize
        text: pSettingView.m_qsRecord
        selectByMouse: true
    }
    ImageButton {
        objectName: "recordView"
        x: 345
        y: 90
        width: 50
        height: 22
        btnText: qsTr("View")
        pressHold: false
        onImgBtnClick: setting.recordSignal()
    }

    CheckBox {
        x: 116
        y: 125
        visible: false
        text: qsTr("Forget Encryption Key")
        checked: pSettingView.m_bDelKey
        onToggled: setting.deletePwdSignal(checked)
    }

    ImageButton {
        objectName: "settingButton"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 1
        height: 30
        btnText: qsTr("Setting")
        pressHold: false
        onImgBtnClick: {
            pSettingView.m_qsRecord = recordField.text;
            pSettingView.m_qsCapture = captureField.text;
            setting.sumbitSignal();
        }
    }
}
