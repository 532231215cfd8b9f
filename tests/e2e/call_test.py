"""The real program, driven as a person drives it under a virtual display: Tab stops, the dial
pad and the call button, and what calling pages built with Debian's web frameworks dial, read
through the engine's remote debugging.   Usage: call_test.py PROGRAM SERVED_PROGRAM
(SERVED_PROGRAM: built with its calling page served by served.py)."""
import sys
import threading
import time
import unittest

from dialer import (CALL_BUTTON, NUMBER, NUMBER_BOX, Dialer, built_in_calling_page, page_loaded,
                    page_state, run_tests, wait_for, xdotool)
from served import PORT, Served

# Tab and Shift+Tab from the number box, all the way round: the stops, in order, as
# (control, whether the partner page holds the focus there).
STOPS = [("number box", False)] + [(f"key {k}", False) for k in "123456789*0#+"] + [
    ("call button", False), ("partner box", True)]
# Each round types its own digit at every stop; only the number box shows it.
ROUNDS = [("Tab", "7", STOPS[1:] + STOPS[:1]), ("shift+Tab", "6", STOPS[::-1])]


# Every page: dialled(n) records what the page would call; what the page hears, from the
# first edit on, with when it heard it. The edits are heard where they bubble to, keys and
# focus where they start.
RECORDER = """<script>
var heard = [], at = {};
function dialled(number) {
  var d = document.documentElement.dataset;
  heard.push('click'); at.click = performance.now();
  d.active = document.activeElement.tagName; d.dialled = number; d.clicks = Number(d.clicks || 0) + 1;
}
['input', 'change', 'keydown', 'keypress', 'keyup', 'beforeinput', 'focus', 'blur', 'focusin',
 'focusout'].forEach(function (type) {
  var edit = type === 'input' || type === 'change';
  document.addEventListener(type, function (e) {
    heard.push(type + ' ' + e.target.id + (e.bubbles ? ' bubbles' : ''));
    at[type] = performance.now();
  }, !edit);
});
</script>"""
FIELDS = ('<input type="text" id="phone-number" {model}>'
          '<button type="button" id="ext-gen69" {click}>call</button>')


def page(libraries, body, script):
    scripts = "".join(f'<script src="/lib/{name}"></script>' for name in libraries)
    return (f'<!doctype html><html><head><meta charset="utf-8">{RECORDER}{scripts}</head>'
            f"<body>{body}<script>{script}</script></body></html>")


PLAIN = FIELDS.format(model="", click="")
FIELD = "document.getElementById('phone-number')"
CLICK = "document.getElementById('ext-gen69').addEventListener('click', "
# (row, page, the number dialled, what the input shows at the click).
ROWS = [
    ("jQuery handlers on input and change", page(["jquery.js"], PLAIN,
        "var number = ''; $('#phone-number').on('input change', function () {"
        " number = $(this).val(); }); $('#ext-gen69').on('click', function () {"
        " dialled(number); });"), NUMBER, NUMBER),
    ("jQuery val() at the click", page(["jquery.js"], PLAIN,
        "$('#ext-gen69').on('click', function () { dialled($('#phone-number').val()); });"),
     NUMBER, NUMBER),
    ("Vue 2 v-model", page(["vue.js"],
        '<div id="app">' + FIELDS.format(model='v-model="number"', click='@click="dial"') +
        "</div>",
        "new Vue({el: '#app', data: {number: ''},"
        " methods: {dial: function () { dialled(this.number); }}});"), NUMBER, NUMBER),
    ("AngularJS ng-model", page(["angular.js"],
        '<div ng-app="dial" ng-controller="Dial as d">' +
        FIELDS.format(model='ng-model="d.number"', click='ng-click="d.dial()"') + "</div>",
        "angular.module('dial', []).controller('Dial', function () { this.number = '';"
        " this.dial = function () { dialled(this.number); }; });"), NUMBER, NUMBER),
    ("React 18 controlled input", page(["react.js", "react-dom.js"], '<div id="root"></div>',
        "function App() { var s = React.useState(''), e = React.createElement;"
        " return e('div', null, e('input', {type: 'text', id: 'phone-number', value: s[0],"
        " onChange: function (ev) { s[1](ev.target.value); }}), e('button', {type: 'button',"
        " id: 'ext-gen69', onClick: function () { dialled(s[0]); }}, 'call')); }"
        " ReactDOM.createRoot(document.getElementById('root')).render(React.createElement(App));"),
     NUMBER, NUMBER),
    ("a model that takes the input 50 ms late", page([], PLAIN,
        "var number = ''; " + FIELD + ".addEventListener('input', function (e) {"
        " setTimeout(function () { number = e.target.value; }, 50); }); " + CLICK +
        "function () { dialled(number); });"), NUMBER, NUMBER),
    ("the value read at the click", page([], PLAIN,
        CLICK + "function () { dialled(" + FIELD + ".value); });"), NUMBER, NUMBER),
    ("a change handler that rewrites the value", page([], PLAIN,
        FIELD + ".addEventListener('change', function (e) {"
        " e.target.value = e.target.value.replace(/^(\\+\\d\\d)(\\d{3})(\\d{4})/, '$1 $2 $3 '); });"
        + CLICK + "function () { dialled(" + FIELD + ".value.replace(/ /g, '')); });"),
     NUMBER, "+86 138 0013 8000"),
]


class CallTest(unittest.TestCase):
    def test_keyboard_focus_stays_in_the_controls_in_sight(self):
        dialer = Dialer(sys.argv[1])
        try:
            calling = dialer.calling_page()
            partner = dialer.page("/partner/")
            wait_for(lambda: page_loaded(calling))
            wait_for(lambda: partner.evaluate("document.readyState === 'complete'"))
            dialer.click(NUMBER_BOX)
            for key, digit, stops in ROUNDS:
                for control, partner_focused in stops:
                    dialer.key(key)
                    dialer.key(digit)
                    where = f"{key} to the {control}"
                    self.assertEqual(partner.evaluate("document.hasFocus()"), partner_focused,
                                     where)
                    self.assertFalse(calling.evaluate("document.hasFocus()"), where)
                    self.assertEqual(page_state(calling)["value"], "", where)
                # The round ends in the number box, whose text Tab selected: the digit
                # replaced it.
                self.assertEqual(dialer.number_box(), digit, key)
            # A page script asks for the focus, then the window is activated again.
            calling.evaluate("document.getElementById('phone-number').focus(), 1")
            dialer.key("8")
            xdotool("windowminimize", dialer.window)
            time.sleep(0.3)
            xdotool("windowactivate", "--sync", dialer.window)
            time.sleep(0.3)
            dialer.key("9")
            self.assertEqual(page_state(calling)["value"], "")
            self.assertEqual(dialer.number_box(), "89")
            calling.close()
            partner.close()
        finally:
            self.assertEqual(dialer.close(), 0)

    def test_dial_pad_and_call_button_place_the_call(self):
        dialer = Dialer(sys.argv[1])
        try:
            page = dialer.calling_page()
            wait_for(lambda: page_loaded(page))
            dialer.dial(NUMBER)
            dialer.click(CALL_BUTTON)
            state = wait_for(lambda: (s := page_state(page))["clicks"] == 1 and s)
            self.assertEqual(state["value"], NUMBER)
            self.assertEqual(state["title"], "calling:" + NUMBER)
            dialer.click(CALL_BUTTON)
            state = wait_for(lambda: (s := page_state(page))["clicks"] == 2 and s)
            self.assertEqual(state["value"], NUMBER)
            self.assertEqual(dialer.number_box(), NUMBER)
            page.close()
        finally:
            self.assertEqual(dialer.close(), 0)

    @unittest.skipIf(len(sys.argv) < 3, "no served program")
    def test_press_before_the_calling_page_has_loaded_does_nothing(self):
        server = Served(built_in_calling_page(sys.argv[1]))
        server.held.clear()
        dialer = Dialer(sys.argv[2])
        try:
            dialer.dial("138")
            dialer.click(CALL_BUTTON)
            dialer.click(CALL_BUTTON)
            # The number box is read after the presses in the same event queue: once it
            # answers, both presses were handled while the page was still held back.
            wait_for(lambda: dialer.number_box() == "138")
            self.assertIsNone(dialer.process.poll(), "the program stays up")
            server.held.set()
            page = dialer.calling_page()
            wait_for(lambda: page_loaded(page))
            self.assertEqual(page_state(page)["clicks"], 0)
            self.assertEqual(page_state(page)["value"], "")
            dialer.click(CALL_BUTTON)
            state = wait_for(lambda: (s := page_state(page))["clicks"] == 1 and s)
            self.assertEqual(state["value"], "138")
            page.close()
        finally:
            code = dialer.close()
            server.close()
            self.assertEqual(code, 0)

    @unittest.skipIf(len(sys.argv) < 3, "no served program")
    def test_each_framework_page_dials_the_number_and_hears_it_as_typing(self):
        server = Served(built_in_calling_page(sys.argv[1]))
        dialer = Dialer(sys.argv[2])
        try:
            calling = dialer.page(f":{PORT}/")
            wait_for(lambda: page_loaded(calling))
            dialer.dial(NUMBER)
            for number, (row, html, dials, shows) in enumerate(ROWS):
                with self.subTest(row):
                    server.page = html
                    calling.evaluate(f"location.replace('/index.html?{number}'), 1")
                    wait_for(lambda: calling.evaluate(
                        f"location.search === '?{number}' && document.readyState === 'complete'"
                        " && !!document.getElementById('ext-gen69')"))
                    dialer.click(CALL_BUTTON)
                    wait_for(lambda: data(calling, "clicks") == "1")
                    self.assertEqual(data(calling, "dialled"), dials)
                    self.assertEqual(calling.evaluate(FIELD + ".value"), shows)
                    # Told as typing tells: input, then change, both bubbling to the document,
                    # no key or focus event, and the page's turn before the click.
                    self.assertEqual(calling.evaluate("heard"), [
                        "input phone-number bubbles", "change phone-number bubbles", "click"])
                    self.assertGreaterEqual(calling.evaluate("at.click - at.change"), 99.5)
                    self.assertEqual(data(calling, "active"), "BODY")
            # The keyboard focus stayed on the call button: Space presses it again.
            dialer.key("space")
            wait_for(lambda: data(calling, "clicks") == "2")
            # A press whose page still has its turn when the window closes: the program ends
            # cleanly.
            dialer.click(CALL_BUTTON)
        finally:
            code = dialer.close()
            server.close()
        self.assertEqual(code, 0)


def data(calling, name):
    return calling.evaluate(f"document.documentElement.dataset.{name} || ''")


if __name__ == "__main__":
    run_tests()
