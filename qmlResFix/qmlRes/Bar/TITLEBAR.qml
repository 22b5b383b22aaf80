import QtQuick 2.12
import "UIControl.js" as UIControl

// The main window's title band: logo, window buttons, user text, dragging.
Rectangle {
    id: titleBar
    width: UIControl.TOOLBAR_WIDTH
    height: UIControl.TOOLBAR_HEIGHT
    radius: 3
    border.color: "gray"
    border.width: 1

    property bool m_bAppFocus: true
    property string m_strUser: qsTr("Login here")
    property bool m_bLogin: false
    property bool bMaxSize: false
    property point pressPoint: Qt.point(0, 0)
    property bool bPressed: false
    property color color0: UIControl.TITLE_COLOR0
    property color color1: UIControl.TITLE_COLOR1
    property color color2: UIControl.TITLE_COLOR2
    property color color3: UIControl.TITLE_COLOR3
    property int iupDate: 0

    signal closeSignal()
    signal maxSizeSignal(bool bMax)
    signal minSizeSignal()
    signal userSignal(bool bLogin)
    signal menuSignal()
    signal dragSignal(int xoffset, int yoffset)

    gradient: Gradient {
        GradientStop { id: stop0; position: 0.0; color: titleBar.color0 }
        GradientStop { id: stop1; position: UIControl.TITLE_POS1; color: titleBar.color1 }
        GradientStop { id: stop2; position: UIControl.TITLE_POS2; color: titleBar.color2 }
        GradientStop { id: stop3; position: 1.0; color: titleBar.color3 }
    }

    Connections {
        target: pTitleBarObj
        function onInitTitleSignal(FAT) {
            UIControl.titleBarInit(FAT);
            logo.text = UIControl.LOGO_TEXT;
            titleBar.color0 = UIControl.TITLE_COLOR0;
            titleBar.color1 = UIControl.TITLE_COLOR1;
            titleBar.color2 = UIControl.TITLE_COLOR2;
            titleBar.color3 = UIControl.TITLE_COLOR3;
            stop1.position = UIControl.TITLE_POS1;
            stop2.position = UIControl.TITLE_POS2;
            titleBar.iupDate += 1;
            closeButton.bgColor = UIControl.BTN_CLOSE_COLOR;
            closeButton.leaveColor = UIControl.BTN_CLOSE_COLOR;
            closeButton.enterColor = UIControl.BTN_CLOSE_ENTERCOLOR;
        }
        function onSetComponentSizeSignal(width, height) {
            UIControl.toolBarInit(width, height);
            titleBar.width = width;
            titleBar.height = height;
        }
        function onSetAppFocusSignal(bFocus) {
            titleBar.m_bAppFocus = bFocus;
        }
        function onSetColorSignal(c1, c2, c3, c4) {
            titleBar.color0 = c1;
            titleBar.color1 = c2;
            titleBar.color2 = c3;
            titleBar.color3 = c4;
        }
        function onSetUserSignal(bLogin, strUser) {
            titleBar.m_bLogin = bLogin;
            titleBar.m_strUser = strUser;
        }
    }

    // Below the buttons, so that a press on a button is the button's.
    MouseArea {
        id: dragArea
        anchors.fill: parent
        acceptedButtons: Qt.LeftButton
        onPressed: {
            titleBar.m_bAppFocus = true;
            titleBar.pressPoint = Qt.point(mouse.x, mouse.y);
            titleBar.bPressed = !titleBar.bMaxSize;
        }
        onPositionChanged: {
            if (titleBar.bPressed)
                titleBar.dragSignal(mouse.x - titleBar.pressPoint.x, mouse.y - titleBar.pressPoint.y);
        }
        onReleased: titleBar.bPressed = false
        onDoubleClicked: {
            titleBar.bPressed = false;
            titleBar.bMaxSize = !titleBar.bMaxSize;
            titleBar.maxSizeSignal(titleBar.bMaxSize);
        }
    }

    Text {
        id: logo
        x: 10
        width: 200
        height: parent.height
        verticalAlignment: Text.AlignVCenter
        text: UIControl.LOGO_TEXT
        color: UIControl.LOGO_COLOR
        font.pixelSize: UIControl.LOGO_SIZE
        font.bold: UIControl.LOGO_BOLD
        font.italic: UIControl.LOGO_ITALIC
        font.family: UIControl.FONTTYPE
    }

    Row {
        id: windowButtons
        anchors.right: parent.right
        anchors.rightMargin: 2
        y: 2
        spacing: 2
        layoutDirection: Qt.RightToLeft

        ImageButton {
            id: closeButton
            objectName: "closeButton"
            width: UIControl.TOOLBAR_CTRLBTN_WIDTH
            height: UIControl.TOOLBAR_CTRLBTN_HEIGHT
            iRadius: 1
            iborderWid: 1
            pressHold: false
            bImg: true
            btnImgSrc: "../barIcon/ctrl_close.png"
            btnImgSrc2: "../barIcon/ctrl_close_leave.png"
            bgColor: UIControl.BTN_CLOSE_COLOR
            leaveColor: UIControl.BTN_CLOSE_COLOR
            enterColor: UIControl.BTN_CLOSE_ENTERCOLOR
            iupDate: titleBar.iupDate
            onImgBtnClick: titleBar.closeSignal()
        }
        ImageButton {
            id: maxButton
            objectName: "maxButton"
            width: UIControl.TOOLBAR_CTRLBTN_WIDTH
            height: UIControl.TOOLBAR_CTRLBTN_HEIGHT
            iRadius: 1
            iborderWid: 1
            pressHold: false
            bImg: true
            btnImgSrc: titleBar.bMaxSize ? "../barIcon/ctrl_max.png" : "../barIcon/ctrl_normal.png"
            btnImgSrc2: titleBar.bMaxSize ? "../barIcon/ctrl_max_leave.png" : "../barIcon/ctrl_normal_leave.png"
            iupDate: titleBar.iupDate
            onImgBtnClick: {
                titleBar.bMaxSize = !titleBar.bMaxSize;
                titleBar.maxSizeSignal(titleBar.bMaxSize);
            }
        }
        ImageButton {
            id: minButton
            objectName: "minButton"
            width: UIControl.TOOLBAR_CTRLBTN_WIDTH
            height: UIControl.TOOLBAR_CTRLBTN_HEIGHT
            iRadius: 1
            iborderWid: 1
            pressHold: false
            bImg: true
            btnImgSrc: "../barIcon/ctrl_min.png"
            btnImgSrc2: "../barIcon/ctrl_min_leave.png"
            iupDate: titleBar.iupDate
            onImgBtnClick: titleBar.minSizeSignal()
        }
        ImageButton {
            id: menuButton
            objectName: "menuButton"
            width: UIControl.TOOLBAR_CTRLBTN_WIDTH
            height: UIControl.TOOLBAR_CTRLBTN_HEIGHT
            iRadius: 1
            iborderWid: 1
            pressHold: false
            bImg: true
            btnImgSrc: "../barIcon/ctrl_menu.png"
            btnImgSrc2: "../barIcon/ctrl_menu_leave.png"
            iupDate: titleBar.iupDate
            onImgBtnClick: titleBar.menuSignal()
        }
        Text {
            id: userText
            objectName: "userText"
            width: 100
            height: 40
            horizontalAlignment: Text.AlignRight
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
            text: titleBar.m_strUser
            color: UIControl.TITLE_TEXT_COLOR
            font.pixelSize: UIControl.TITLE_TEXT_SIZE
            font.family: UIControl.FONTTYPE
            MouseArea {
                anchors.fill: parent
                onClicked: titleBar.userSignal(titleBar.m_bLogin)
            }
        }
    }
}
