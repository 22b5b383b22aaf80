import QtQuick 2.12
import "UIControl.js" as UIControl

// A button with an image and a text, hover and press colours, and calendar
// fields for the date buttons.
Rectangle {
    id: imageButton
    width: 80
    height: 32

    property string btnText: ""
    property string btnImgSrc: ""
    property string btnImgSrc2: btnImgSrc
    property bool bImgVisible: true
    property int iRadius: 3
    property int fontSize: 12
    property string fontType: UIControl.fontType
    property bool fontBold: false
    property bool btnhoverEnabled: true
    property bool pressHold: true
    property bool press: false
    property bool bSelect: false
    property bool bImg: false
    property color bgColor: UIControl.BTN_COLOR
    property color leaveColor: UIControl.BTN_LEAVE_COLOR
    property color enterColor: UIControl.BTN_ENTER_COLOR
    property color enterTextColor: UIControl.BTN_ENTERTEXT_COLOR
    property color leaveTextColor: UIControl.BTN_LEAVETEXT_COLOR
    property color borderColor: UIControl.BTN_BD_COLOR
    property int iborderWid: 0
    property int iupDate: 0
    property int m_iType: 0
    property int m_iValue: 0
    property int m_iInvalid: 0
    property int m_iID: 0
    property string btnImgSrc3: ""
    property int m_iImgSize: 10
    property bool bImgVisible2: false

    signal imgBtnClick()
    signal imgBtnClickSignal(int iType, int iValue)
    signal imgBtnDBClick()
    signal mousePressSignal()
    signal mouseReleaseSignal()

    color: bgColor
    radius: iRadius
    border.color: borderColor
    border.width: iborderWid
    state: enabled ? "release" : "disEnable"

    Image {
        id: buttonImage
        anchors.fill: parent
        anchors.margins: 1
        fillMode: Image.PreserveAspectFit
        visible: imageButton.bImgVisible
        source: imageButton.btnImgSrc
    }

    Image {
        id: cornerImage
        width: imageButton.m_iImgSize
        height: imageButton.m_iImgSize
        anchors.top: parent.top
        anchors.right: parent.right
        visible: imageButton.bImgVisible2
        source: imageButton.btnImgSrc3
    }

    Text {
        id: buttonText
        anchors.centerIn: parent
        text: imageButton.btnText
        font.family: imageButton.fontType
        font.pixelSize: imageButton.fontSize
        font.bold: imageButton.fontBold
        color: imageButton.bSelect ? imageButton.enterTextColor : imageButton.leaveTextColor
    }

    MouseArea {
        id: mouseArea
        anchors.fill: parent
        hoverEnabled: imageButton.btnhoverEnabled
        enabled: imageButton.enabled
        onClicked: {
            imageButton.imgBtnClick();
            imageButton.imgBtnClickSignal(imageButton.m_iType, imageButton.m_iValue);
        }
        onDoubleClicked: imageButton.imgBtnDBClick()
        onPressed: {
            if (imageButton.pressHold)
                imageButton.press = !imageButton.press;
            imageButton.mousePressSignal();
        }
        onReleased: imageButton.mouseReleaseSignal()
        onEntered: {
            if (!imageButton.press)
                imageButton.state = "enter";
        }
        onExited: {
            if (imageButton.state === "enter")
                imageButton.state = "release";
        }
    }

    onPressChanged: state = press ? "press" : "release"
    onEnabledChanged: state = enabled ? (press ? "press" : "release") : "disEnable"

    // A brand variant applied after creation changes the script's colours.
    onIupDateChanged: {
        bgColor = UIControl.BTN_COLOR;
        leaveColor = UIControl.BTN_LEAVE_COLOR;
        enterColor = UIControl.BTN_ENTER_COLOR;
        enterTextColor = UIControl.BTN_ENTERTEXT_COLOR;
        leaveTextColor = UIControl.BTN_LEAVETEXT_COLOR;
        borderColor = UIControl.BTN_BD_COLOR;
    }

    states: [
        State {
            name: "press"
            PropertyChanges { target: imageButton; color: imageButton.enterColor }
            PropertyChanges { target: buttonText; color: imageButton.enterTextColor }
        },
        State {
            name: "enter"
            PropertyChanges { target: imageButton; color: imageButton.enterColor }
            PropertyChanges { target: buttonText; color: imageButton.enterTextColor }
            PropertyChanges {
                target: buttonImage
                source: imageButton.bImg ? imageButton.btnImgSrc2 : imageButton.btnImgSrc
            }
        },
        State {
            name: "release"
            PropertyChanges { target: imageButton; color: imageButton.leaveColor }
            PropertyChanges { target: buttonImage; source: imageButton.btnImgSrc }
        },
        State {
            name: "disEnable"
            PropertyChanges { target: imageButton; color: "#FAFAFA" }
        }
    ]
}
