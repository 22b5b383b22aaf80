import QtQuick 2.12
import QtTest 1.12
import "../../../qmlResFix/qmlRes/Bar"
import "../../../qmlResFix/qmlRes/Bar/UIControl.js" as UIControl

// The shared script's variant table and time-line steps, and the button's states.
Item {
    width: 200
    height: 100

    ImageButton {
        id: button
        x: 10
        y: 10
    }

    SignalSpy { id: clickSpy; target: button; signalName: "imgBtnClick" }
    SignalSpy { id: valueSpy; target: button; signalName: "imgBtnClickSignal" }

    TestCase {
        name: "UIControl"
        when: windowShown

        function scriptValues() {
            var values = {};
            for (var key in UIControl) {
                if (typeof UIControl[key] !== "function")
                    values[key] = UIControl[key];
            }
            return JSON.stringify(values);
        }

        function test_a_unknown_variant_changes_nothing() {
            var before = scriptValues();
            UIControl.titleBarInit(999);
            compare(scriptValues(), before);
        }

        function test_variants_data() {
            return [
                { tag: "1001", code: 1001, logo: "Ostrel S", close: "#f45e5f", pos1: 0.3, pos2: 0.7, highlight: "#4eb5f7" },
                { tag: "1002", code: 1002, logo: "Tuvik", close: "#f45e5f", pos1: 0.3, pos2: 0.7, highlight: "#4eb5f7" },
                { tag: "1003", code: 1003, logo: "Marest", close: "#EE4000", pos1: 0.2, pos2: 0.8, highlight: "#4eb5f7" },
            ];
        }

        function test_variants(data) {
            UIControl.titleBarInit(data.code);
            compare(UIControl.LOGO_TEXT, data.logo);
            compare(UIControl.BTN_CLOSE_ENTERCOLOR, data.close);
            compare(UIControl.TITLE_POS1, data.pos1);
            compare(UIControl.TITLE_POS2, data.pos2);
            compare(UIControl.LIST_HIGHLIGHT_COLOR, data.highlight);
        }

        function test_zoom_steps_data() {
            return [
                { tag: "add 5", add: true, step: 5, next: 10 },
                { tag: "add 30", add: true, step: 30, next: 60 },
                { tag: "add 120", add: true, step: 120, next: 120 },
                { tag: "add unknown", add: true, step: 7, next: 120 },
                { tag: "reduce 120", add: false, step: 120, next: 60 },
                { tag: "reduce 5", add: false, step: 5, next: 5 },
                { tag: "reduce unknown", add: false, step: 7, next: 5 },
            ];
        }

        function test_zoom_steps(data) {
            compare(data.add ? UIControl.zoom_add(data.step) : UIControl.zoom_reduce(data.step), data.next);
        }

        function test_size_init_derives_the_item_width() {
            UIControl.listBarInit(220, 700);
            compare(UIControl.LIST_WIDTH, 220);
            compare(UIControl.LIST_HEIGHT, 700);
            compare(UIControl.LIST_ITEM_WIDTH, 212);
        }
    }

    TestCase {
        name: "ImageButton"
        when: windowShown

        function init() {
            clickSpy.clear();
            valueSpy.clear();
            button.enabled = true;
            button.press = false;
            button.pressHold = true;
        }

        function test_click_carries_the_calendar_fields() {
            button.m_iType = 2;
            button.m_iValue = 17;
            mouseClick(button);
            compare(clickSpy.count, 1);
            compare(valueSpy.count, 1);
            compare(valueSpy.signalArguments[0][0], 2);
            compare(valueSpy.signalArguments[0][1], 17);
        }

        function test_disabled_button_emits_nothing() {
            button.enabled = false;
            compare(button.state, "disEnable");
            mouseClick(button);
            compare(clickSpy.count, 0);
            compare(valueSpy.count, 0);
        }

        function test_press_hold_keeps_or_drops_the_press() {
            mouseClick(button);
            compare(button.state, "press");
            mouseClick(button);
            compare(button.press, false);
            button.pressHold = false;
            mouseClick(button);
            verify(button.state !== "press");
            compare(button.press, false);
        }

        function test_update_rereads_the_variant_colours() {
            UIControl.titleBarInit(1003);
            button.iupDate += 1;
            compare(button.bgColor.toString(), "#7f7f7f");
            compare(button.borderColor.toString(), "#5c5c5c");
        }
    }
}
