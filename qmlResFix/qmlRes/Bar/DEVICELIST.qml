import QtQuick 2.12
import "UIControl.js" as UIControl

// The device list column: the camera list above, the PTZ pad below.
Rectangle {
    id: deviceList
    width: UIControl.LIST_WIDTH
    height: UIControl.LIST_HEIGHT
    color: "#F6F6F6"
    border.color: "gray"
    border.width: 1

    property color highlightColor: UIControl.LIST_HIGHLIGHT_COLOR
    property bool bPtzVisible: false
    property int ptzHeight: bPtzVisible ? ptzModule.neededHeight : 0
    property string strUrl: ""

    signal itemRClickSignal(int iCameraID, int iChannelID, int iState)
    signal itemDBClickSignal(int iCameraID, int iChannelID)
    signal itemSettingSignal(int iCameraID)
    signal serverChangeSignal(int iCameraID)
    signal ptzClickSignal(int iCommand, int iSpeed)

    function resetListHeight() {
        listData.resetHeight(deviceList.height - deviceList.ptzHeight - UIControl.LIST_TITLE_HEIGHT - 1);
    }

    Connections {
        target: pListBar
        function onInitFATSignal(FAT) {
            UIControl.titleBarInit(FAT);
            deviceList.highlightColor = UIControl.LIST_HIGHLIGHT_COLOR;
        }
        function onInitComponentSizeSignal(width, height) {
            UIControl.listBarInit(width, height);
            deviceList.width = width;
            deviceList.height = height;
        }
        function onSetComponentSizeSignal(width, height) {
            UIControl.listBarInit(width, height);
            deviceList.width = width;
            deviceList.height = height;
            deviceList.resetListHeight();
        }
        function onUpdateSignal(bVisible) {
            if (bVisible !== listData.bOpen)
                listData.bOpen = bVisible;
            deviceList.resetListHeight();
        }
        function onSetPtzVisibleSignal(bPTZVisible) {
            deviceList.bPtzVisible = bPTZVisible;
            deviceList.resetListHeight();
        }
        function onSetUrlSignal(url) {
            deviceList.strUrl = url;
        }
    }

    ListData {
        id: listData
        objectName: "listData"
        x: 1
        y: 1
        width: parent.width - 2
        highlightColor: deviceList.highlightColor
        onOpenChanged: deviceList.resetListHeight()
        onItemDBClick: deviceList.itemDBClickSignal(iCameraID, iChannelID)
        onItemSetting: deviceList.itemSettingSignal(iCameraID)
        onServerChange: deviceList.serverChangeSignal(iCameraID)
    }

    PtzModule {
        id: ptzModule
        objectName: "ptzModule"
        x: 1
        width: parent.width - 2
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 1
        visible: deviceList.bPtzVisible
        onNeededHeightChanged: deviceList.resetListHeight()
        onPtzCtrlClickSignal: deviceList.ptzClickSignal(iCommand, iSpeed)
    }
}
