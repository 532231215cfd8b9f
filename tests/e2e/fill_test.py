"""What calling pages built with web frameworks (Debian's packages) dial through the real
program, PROGRAM, built with its calling page at http://127.0.0.1:47812/index.html, which
this test serves.   Usage: fill_test.py PROGRAM"""
import http.server
import os
import sys
import threading
import unittest

from dialer import CALL_BUTTON, NUMBER, Dialer, built_in_calling_page, run_tests, wait_for

LIBRARIES = {
    "jquery.js": "/usr/share/javascript/jquery/jquery.min.js",
    "vue.js": "/usr/share/javascript/vue/vue.min.js",
    "angular.js": "/usr/share/javascript/angular.js/angular.min.js",
    "react.js": "/usr/share/nodejs/react/umd/react.production.min.js",
    "react-dom.js": "/usr/share/nodejs/react-dom/umd/react-dom.production.min.js",
}

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
with open(os.path.join(built_in_calling_page(sys.argv[1]), "index.html"), encoding="utf-8") as f:
    BUILT_IN = f.read()


class Served(http.server.BaseHTTPRequestHandler):
    """The page of the row under test at /index.html, and the frameworks at /lib/."""
    row = None

    def do_GET(self):
        path = self.path.split("?")[0]
        if path.startswith("/lib/"):
            with open(LIBRARIES[path[5:]], "rb") as library:
                body, kind = library.read(), "text/javascript"
        else:
            body, kind = (Served.row or BUILT_IN).encode(), "text/html; charset=utf-8"
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def data(calling, name):
    return calling.evaluate(f"document.documentElement.dataset.{name} || ''")


class FillTest(unittest.TestCase):
    def test_each_page_dials_the_number_and_hears_it_as_typing(self):
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 47812), Served)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        dialer = Dialer(sys.argv[1])
        try:
            calling = dialer.page(":47812/")
            wait_for(lambda: calling.evaluate("document.title") == "ready")
            dialer.dial(NUMBER)
            # The built-in page reads the value at the click, and names the call in its title.
            dialer.click(CALL_BUTTON)
            wait_for(lambda: calling.evaluate("document.title") == "calling:" + NUMBER)
            for number, (row, html, dials, shows) in enumerate(ROWS):
                with self.subTest(row):
                    Served.row = html
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
            server.shutdown()
        self.assertEqual(code, 0)


if __name__ == "__main__":
    run_tests()
