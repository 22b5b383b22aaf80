import QtQuick 2.12
import "UIControl.js" as UIControl

// One camera's details: model, device text, firmware, Wi-Fi and memory card.
DialogFrame {
    id: info
    host: pIPCInfoView
    title: pIPCInfoView.m_qsTitle

    signal cancelSignal()

    onCloseClicked: info.cancelSignal()

    InfoRow { objectName: "typeRow"; y: 60; label: qsTr("Camera model:"); value: pIPCInfoView.m_qsType }
    InfoRow { objectName: "macRow"; y: 90; label: qsTr("MAC:"); value: pIPCInfoView.m_qsMAC }
    InfoRow { objectName: "softwareRow"; y: 116; label: qsTr("Firmware version:"); value: pIPCInfoView.m_qsSoftware }
    InfoRow { objectName: "wifiRow"; y: 142; label: qsTr("Wifi:"); value: pIPCInfoView.m_qsWifi }
    InfoRow { objectName: "cardRow"; y: 168; label: qsTr("Micro SD Card:"); value: pIPCInfoView.m_qsSDCard }

    // Kept for cameras that report their alarm switch; never shown.
    Item {
        y: 194
        width: parent.width
        height: 22
        visible: false

        Text { x: 79; text: qsTr("Alarm Switch:"); font.pixelSize: UIControl.fontSize }
        ImageButton { x: 199; width: 50; height: 22; btnText: qsTr("ON") }
        ImageButton { x: 259; width: 50; height: 22; btnText: qsTr("OFF") }
    }

    ImageButton {
        objectName: "okButton"
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 1
        height: 30
        btnText: qsTr("OK")
        pressHold: false
        onImgBtnClick: info.cancelSignal()
    }
}
