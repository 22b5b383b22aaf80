.pragma library
// Sizes, fonts and colours that several panels share, and the brand variants.
// One copy lives in each view's engine, so every panel sets its own size here.

var LOGO_TEXT = "Oviant";
var LOGO_COLOR = "white";
var LOGO_SIZE = 25;
var LOGO_BOLD = false;
var LOGO_ITALIC = false;
var TITLE_COLOR0 = "#42b5c3";
var TITLE_COLOR1 = "#128e9d";
var TITLE_COLOR2 = "#128e9d";
var TITLE_COLOR3 = "#128e9d";
var TITLE_POS1 = 0.2;
var TITLE_POS2 = 0.7;
var TITLE_TEXT_COLOR = "white";
var TITLE_TEXT_SIZE = 12;
var TITLE_TEXT_ITALIC = false;
var TITLE_TEXT_BOLD = false;

var BTN_COLOR = "#128e9d";
var BTN_ENTER_COLOR = "#5C5C5C";
var BTN_LEAVE_COLOR = "#128e9d";
var BTN_ENTERTEXT_COLOR = "black";
var BTN_LEAVETEXT_COLOR = "white";
var BTN_BD_COLOR = "#128e9d";
var BTN_CLOSE_COLOR = "#EE8262";
var BTN_CLOSE_ENTERCOLOR = "#f45e5f";

var LIST_COLOR = "#F6F6F6";
var LIST_GROUP_COLOR = "#008B8B";
var LIST_HIGHLIGHT_COLOR = "#42b5c3";
var LIST_TEXT_COLOR = "black";
var LIST_ITEM_COLOR = "Transparent";
var LIST_ITEM_LEAVECOLOR = "Transparent";
var LIST_ITEM_ENTERCOLOR = "#F6F6F6";
var LIST_ITEM_LEAVETEXTCOLOR = "black";
var LIST_ITEM_ENTERTEXTCOLOR = "blue";
var LIST_DEV_INFO = "black";
var LIST_ITEM_WIFIDB = "gray";

var PLAYBACK_MODEL_COLOR = "#42b5c3";
var PLAYBACK_COLOR = "#42b5c3";

var ABOUT_LOGO = false;
var ABOUT_LINK = false;
var WAIT_COLOR = "#100D15";
var WAIT_TEXT_COLOR = "white";
var DIALOG_TITLE = "lightgray";
var DIALOG_BOTTOM = "lightgray";

// The named family is not installed on Linux; fontconfig picks a CJK fallback.
var FONTTYPE = "SimSun";
var fontType = "SimSun";
var fontBold = false;
var fontSizeTitle = 13;
var fontSize = 12;
var RADIUS = 1;

var TOOLBAR_WIDTH = 1024;
var TOOLBAR_HEIGHT = 60;
var TOOLBAR_BTN_Y_MARGIN = 30;
var TOOLBAR_BTN_X_MARGIN = 8;
var TOOLBAR_CTRLBTN_WIDTH = 32;
var TOOLBAR_CTRLBTN_HEIGHT = 20;

var LIST_WIDTH = 200;
var LIST_HEIGHT = 640;
var LIST_X_MARGIN = 5;
var LIST_Y_MARGIN = 5;
var LIST_SLIDER_WIDTH = 6;
var LIST_TITLE_HEIGHT = 30;
var LIST_CHANNEL_HEIGHT = 62;
var LIST_ITEM_HEIGHT = 30 + 62 + 5;
var LIST_ITEM_WIDTH = 200 - 6;
var LIST_VIEWCONTENTHEIGHT = 300;
var LIST_PTZ_VIEWCONTENTHEIGHT = 135;
var LIST_REMOTE_VIEWCONTENTHEIGHT = 640 - 3 * 30;
var LIST_LOCAL_VIEWCONTENTHEIGHT = 640 - 3 * 30;

var PTZCTRL_WIDTH = 200;
var PTZCTRL_HEIGHT = 200;
var PTZCTRL_BTN_WIDTH = 35;
var PTZCTRL_BTN_HEIGHT = 35;

var PLAYCTRL_HEIGHT = 32;
var MODECTRL_HEIGHT = 60;
var PLAYBAR_WIDTH = 700;
var PLAYBAR_HEIGHT = 92;
var PLAYBAR_MODECTRL_WIDTH = 198;
var PLAYBAR_TIMELINE = 502;
var PLAYBAR_BTN_HEIGHT = 30;
var PLAYBAR_BTN_WIDTH = 32;
var TOOLBAR_MODE_COUNT = 6;
var TOOLBAR_MODE_WIDTH = 38;
var TOOLBAR_MODE_HEIGHT = 38;
var TOOLBAR_MODE_MARGIN = 3;
var TIMELINE_BTN_WIDTH = 40;

var LOCALFILE_WIDTH = 300;
var LOCALFILE_HEI = 320;
var YEAR_BTN_WIDTH = 58;
var YEAR_BTN_HEIGHT = 32;
var YEAR_BTN_SPACE = 2;

var WORK_BTN_WIDTH = 58;
var WORK_BTN_HEIGHT = 32;
var WORK_BTN_SPACE = 2;

var DEVMANG_WIDTH = 200;
var DEVMANG_HEIGHT = 32;
var DEVMANG_X_MARGIN = 5;
var DEVMANG_Y_MARGIN = 5;
var DEVMANG_BTN_SPACE = 1;
var DEVMANG_BTN_WIDTH = (200 - 3) / 2;
var DEVMANG_BTN_HEIGHT = 32 - 2;

var HIDEBAR_WIDTH = 20;
var HIDEBAR_HEIGHT = 500;

var DLG_WIDTH = 465;
var DLG_HEIGHT = 285;
var DLG_BOTTOM_HEI = 32;
var DLG_TITLE_HEI = 40;
var LBL_MARGIN = 85;
var TXT_MARGIN = 205;
var DLG_CONTENT_BASE = 60;
var LBL_X = 100;
var LBL_OFFSET = 26;
var TXT_X = 200;
var TXT_OFFSET = 27;
var TXT_WIDTH = 190;

function toolBarInit(w, h) {
    TOOLBAR_WIDTH = w;
    TOOLBAR_HEIGHT = h;
}

function listBarInit(w, h) {
    LIST_WIDTH = w;
    LIST_HEIGHT = h;
    LIST_ITEM_WIDTH = w - 6 - 2;
}

function ptzCtrlBarInit(w, h) {
    PTZCTRL_BTN_WIDTH = w;
    PTZCTRL_BTN_HEIGHT = h;
}

function playBarInit(w, h) {
    PLAYBAR_WIDTH = w;
    PLAYBAR_HEIGHT = h;
}

function fileBarInit(w, h) {
    LOCALFILE_WIDTH = w;
    LOCALFILE_HEI = h;
}

function devMangerBarInit(w, h) {
    DEVMANG_WIDTH = w;
    DEVMANG_HEIGHT = h;
    DEVMANG_BTN_WIDTH = (w - 3) / 2;
    DEVMANG_BTN_HEIGHT = h - 2;
}

function hideBarInit(w, h) {
    HIDEBAR_WIDTH = w;
    HIDEBAR_HEIGHT = h;
}

var ZOOM_STEPS = [5, 10, 30, 60, 120];

// The next larger time-line step; the largest for the last step or an unknown one.
function zoom_add(step) {
    var i = ZOOM_STEPS.indexOf(step);
    if (i < 0 || i + 1 >= ZOOM_STEPS.length)
        return ZOOM_STEPS[ZOOM_STEPS.length - 1];
    return ZOOM_STEPS[i + 1];
}

// The next smaller time-line step; the smallest for the first step or an unknown one.
function zoom_reduce(step) {
    var i = ZOOM_STEPS.indexOf(step);
    if (i <= 0)
        return ZOOM_STEPS[0];
    return ZOOM_STEPS[i - 1];
}

function setTitleGradient(c0, c1, c2, c3, pos1, pos2) {
    TITLE_COLOR0 = c0;
    TITLE_COLOR1 = c1;
    TITLE_COLOR2 = c2;
    TITLE_COLOR3 = c3;
    TITLE_POS1 = pos1;
    TITLE_POS2 = pos2;
}

function setButtonColours(base, border, enter, enterText, leaveText, close, closeEnter) {
    BTN_COLOR = base;
    BTN_LEAVE_COLOR = base;
    BTN_BD_COLOR = border;
    BTN_ENTER_COLOR = enter;
    BTN_ENTERTEXT_COLOR = enterText;
    BTN_LEAVETEXT_COLOR = leaveText;
    BTN_CLOSE_COLOR = close;
    BTN_CLOSE_ENTERCOLOR = closeEnter;
}

// Applies a brand variant; unknown codes keep the defaults.
function titleBarInit(FAT) {
    switch (FAT) {
    case 1000:
        break;
    case 1001:
    case 1002:
        LOGO_TEXT = FAT === 1001 ? "Ostrel S" : "Tuvik";
        setTitleGradient("#4eb5f7", "#2398e9", "#2398e9", "#2398e9", 0.3, 0.7);
        setButtonColours("#2398e9", "#2398e9", "#5C5C5C", "black", "white", "#EE8262", "#f45e5f");
        LIST_HIGHLIGHT_COLOR = "#4eb5f7";
        PLAYBACK_MODEL_COLOR = "#2398e9";
        PLAYBACK_COLOR = "#4eb5f7";
        break;
    case 1003:
        LOGO_TEXT = "Marest";
        setTitleGradient("#6E6E6E", "#151515", "#151515", "#585858", 0.2, 0.8);
        setButtonColours("#7F7F7F", "#5C5C5C", "Transparent", "#6E6E6E", "white", "#EE5C42", "#EE4000");
        LIST_HIGHLIGHT_COLOR = "#4eb5f7";
        PLAYBACK_MODEL_COLOR = "#585858";
        PLAYBACK_COLOR = "#4eb5f7";
        break;
    default:
        return;
    }
    console.log(LOGO_TEXT);
}
