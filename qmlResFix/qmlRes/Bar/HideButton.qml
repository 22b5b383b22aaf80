import QtQuick 2.12

// A toggle that shows one image while shown and another while hidden.
Rectangle {
    id: hideButton
    width: 100
    height: 30
    radius: 3
    border.color: "lightgray"
    border.width: 1
    color: mouseArea.containsMouse ? "#D7D7D7" : "transparent"

    property string showImgSrc: ""
    property string hideImgSrc: ""
    property bool hide: false

    signal imgBtnClick()

    Image {
        anchors.fill: parent
        anchors.margins: 1
        fillMode: Image.PreserveAspectFit
        source: hideButton.hide ? hideButton.hideImgSrc : hideButton.showImgSrc
    }

    MouseArea {
        id: mouseArea
        anchors.fill: parent
        hoverEnabled: true
        onClicked: {
            hideButton.hide = !hideButton.hide;
            hideButton.imgBtnClick();
        }
    }
}
