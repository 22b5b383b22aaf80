import QtQuick 2.12
import "UIControl.js" as UIControl

// One row of a dialog: a label and a read-only, selectable value.
Item {
    id: row
    width: parent ? parent.width : UIControl.DLG_WIDTH
    height: 22

    property string label: ""
    property string value: ""
    property int labelX: 79
    property int valueX: 199

    Text {
        x: row.labelX
        anchors.verticalCenter: parent.verticalCenter
        text: row.label
        font.family: UIControl.fontType
        font.pixelSize: UIControl.fontSize
    }

    TextInput {
        objectName: "value"
        x: row.valueX
        width: row.width - row.valueX - 10
        anchors.verticalCenter: parent.verticalCenter
        readOnly: true
        selectByMouse: true
        clip: true
        text: row.value
        font.family: UIControl.fontType
        font.pixelSize: UIControl.fontSize
    }
}
