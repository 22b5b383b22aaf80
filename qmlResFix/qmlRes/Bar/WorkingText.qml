import QtQuick 2.12
import "UIControl.js" as UIControl

// A text followed by 0 to 6 dots, one more every 500 ms while running.
Text {
    id: working

    property string baseText: ""
    property bool running: false
    property int dots: 0

    visible: running
    text: baseText + ".".repeat(dots)
    font.family: UIControl.fontType
    font.pixelSize: UIControl.fontSize
    onRunningChanged: dots = 0

    Timer {
        interval: 500
        repeat: true
        running: working.running
        onTriggered: working.dots = working.dots >= 6 ? 0 : working.dots + 1
    }
}
