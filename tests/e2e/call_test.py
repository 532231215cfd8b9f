"""The real program as a person drives it, read through the engine's remote debugging: Tab stops,
the dial pad, framework pages, page requests, a WebRTC call.   Usage: PROGRAM [SERVED_PROGRAM]"""
import http.server
import json
import os
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import cdp
from dialer import (CALL_BUTTON, NUMBER, Dialer, built_in_calling_page, free_port, page_loaded,
                    page_state, run_tests, wait_for, xdotool)

CAPTION = "Quillo BY中国人，中国范~"
PORT = int(os.environ.get("QUILLO_SERVED_PORT", 0))  # the served program's, from CMakeLists.txt
HERE = os.path.dirname(os.path.abspath(__file__))
JS, NODE = "/usr/share/javascript/", "/usr/share/nodejs/"  # Debian's, at /lib/PATH


class Handler(http.server.SimpleHTTPRequestHandler):
    """Serves a folder, Debian's libraries at /lib/PATH, a download at /download... and the
    server's `page` at /index.html?...; each request held while the server's `held` is clear."""

    def do_GET(self):
        self.server.held.wait(timeout=60)
        download, page = self.path.startswith("/download"), self.server.page
        if not download and not (self.path.startswith("/index.html?") and page is not None):
            return super().do_GET()
        self.send_response(200)
        self.send_header("Content-Type", "text/plain" if download else "text/html; charset=utf-8")
        if download:
            self.send_header("Content-Disposition", "attachment; filename=f.txt")
        self.end_headers()
        self.wfile.write(b"f\n" if download else page.encode())

    def translate_path(self, path):
        return path[4:] if path.startswith("/lib/") else super().translate_path(path)

    def log_message(self, *args):
        pass


# Tab and Shift+Tab round the window from the number box, typing the round's digit at each stop.
STOPS = [("number box", False)] + [(f"key {k}", False) for k in "123456789*0#+"] + [
    ("call button", False), ("partner box", True)]  # (control, the partner page has the focus)
ROUNDS = [("Tab", "7", STOPS[1:] + STOPS[:1]), ("shift+Tab", "6", STOPS[::-1])]

# report(): what the page dialled, the input's value, the events from the first edit on (edits
# where they bubble to, others where they start), the click's lag after change (to 99.5 ms), focus.
RECORDER = """<script>
var heard = [], at = {}, data = document.documentElement.dataset;
function dialled(number) {
  heard.push('click'); at.click = performance.now(); data.clicks = Number(data.clicks || 0) + 1;
  data.active = document.activeElement.tagName; data.dialled = number;
}
var report = () => [data.dialled, document.getElementById('phone-number').value, heard,
                    Math.min(at.click - at.change, 99.5), data.active];
'input change keydown keypress keyup beforeinput focus blur focusin focusout'.split(' ').forEach(
  type => document.addEventListener(type, e => {
    heard.push(type + ' ' + e.target.id + (e.bubbles ? ' bubbles' : ''));
    at[type] = performance.now();
  }, type !== 'input' && type !== 'change'));
</script>"""
FIELDS = ('<input type="text" id="phone-number" {}>'
          '<button type="button" id="ext-gen69" {}>call</button>')
FIELD = "document.getElementById('phone-number')"
CLICK = "document.getElementById('ext-gen69').addEventListener('click', () => dialled("
# (row, libraries, the page's body or "" for FIELDS, its script[, the value at the click if not
# NUMBER]); every row dials NUMBER as if typed: input, then change, both bubbling, no key or focus.
FRAMEWORKS = [
    ("jQuery handlers on input and change", [JS + "jquery/jquery.min.js"], "", "var number = '';"
     " $('#phone-number').on('input change', function () { number = $(this).val(); });"
     " $('#ext-gen69').on('click', () => dialled(number));"),
    ("Vue 2 v-model", [JS + "vue/vue.min.js"],
     '<div id="app">' + FIELDS.format('v-model="number"', '@click="dial"') + "</div>",
     "new Vue({el: '#app', data: {number: ''}, methods: {dial() { dialled(this.number); }}});"),
    ("AngularJS ng-model", [JS + "angular.js/angular.min.js"],
     '<div ng-app="dial" ng-controller="Dial as d">' +
     FIELDS.format('ng-model="d.number"', 'ng-click="d.dial()"') + "</div>",
     "angular.module('dial', []).controller('Dial', function () {"
     " this.number = ''; this.dial = () => dialled(this.number); });"),
    ("React 18 controlled input", [NODE + "react/umd/react.production.min.js",
                                   NODE + "react-dom/umd/react-dom.production.min.js"],
     '<div id="root"></div>', "function App() { const [number, set] = React.useState(''),"
     " e = React.createElement; return e('div', null, e('input', {type: 'text',"
     " id: 'phone-number', value: number, onChange: event => set(event.target.value)}),"
     " e('button', {type: 'button', id: 'ext-gen69', onClick: () => dialled(number)}, 'call')); }"
     " ReactDOM.createRoot(document.getElementById('root')).render(React.createElement(App));"),
    ("a model that takes the input 50 ms late", [], "", "var number = ''; " + FIELD +
     ".addEventListener('input', e => setTimeout(() => { number = e.target.value; }, 50));" +
     CLICK + "number));"),
    ("the value read at the click", [], "", CLICK + FIELD + ".value));"),
    ("a change handler that rewrites the value", [], "", FIELD + ".addEventListener('change', e =>"
     " e.target.value = e.target.value.replace(/^(\\+\\d\\d)(\\d{3})(\\d{4})/, '$1 $2 $3 '));" +
     CLICK + FIELD + ".value.replace(/ /g, '')));", "+86 138 0013 8000"),
]

# What pages may ask, as page scripts whose promise is kept when granted.
MEDIA = "navigator.mediaDevices.getUserMedia({%s}).then(s => s.getTracks().map(t => t.stop()))"
REQUESTS = {
    "microphone": MEDIA % "audio: true", "camera": MEDIA % "video: true",
    "microphone and camera": MEDIA % "audio: true, video: true",
    "screen": "navigator.mediaDevices.getDisplayMedia({video: true})",
    "notifications": "Notification.requestPermission().then(p => { if (p != 'granted') throw p; })",
    "geolocation": "new Promise((ok, no) => navigator.geolocation.getCurrentPosition(ok, no))",
    "clipboard": "navigator.clipboard.readText()",
    "midi": "navigator.requestMIDIAccess({sysex: true})",
    "pointer lock": "new Promise((ok, no) => { document.onpointerlockchange = ok;"
                    " document.onpointerlockerror = no; document.body.requestPointerLock(); })",
    "full screen": "document.documentElement.requestFullscreen()"}
# (request, page, before or after the first press, answer within 2 s): all refused but the calling
# page's microphone, which waits for the press, then is granted.
PERMISSIONS = [(r, p, when, "refused") for r in REQUESTS for p in ("calling", "partner")
               for when in ("before", "after") if (r, p) != ("microphone", "calling")] + [
    ("microphone", "calling", "before", "waits"), ("microphone", "calling", "after", "granted")]
# New windows and downloads: the user's browser gets only what the user asked for from the partner.
LINK = "Object.assign(document.createElement('a'), {href: url, %s}).click()"
OPENS = {"window.open": "window.open(url)", "window.open with no click": "window.open(url)",
         "link to _blank": LINK % "target: '_blank'", "download": LINK % "download: 'f.txt'"}
# Page messages: (page, script, keys of the answer, typed text, what the page gets back).
TEXT = '<b>粗</b> & "引号"\n第二行 <i>x</i>'
MESSAGES = [("calling", "alert(T)", "Return", "", None),
            ("partner", "confirm(T)", "Return", "", True),
            ("partner", "confirm(T)", "Escape", "", False),
            ("calling", "prompt(T, '默认')", "Return", "", "默认"),
            ("partner", "prompt(T, '默认')", "Return", "+8613800138000", "+8613800138000"),
            ("calling", "prompt(T, '默认')", "Escape", "", None)]


def stop(process):
    if process.poll() is None:
        os.killpg(process.pid, signal.SIGTERM)
    process.wait()


def run(*command):
    return subprocess.run(command, capture_output=True, text=True)


def messages(main):  # the program's message windows: shown, with the caption, not the window
    return [w for w in xdotool("search", "--onlyvisible", "--name", CAPTION).split() if w != main]


class CallTest(unittest.TestCase):
    def start(self, program, **environment):  # closed through its frame at the end: exits 0
        dialer = Dialer(program, **environment)
        self.addCleanup(lambda: self.assertEqual(dialer.close(), 0))
        return dialer

    def loaded(self, dialer):  # the calling page and the partner page, once both have loaded
        calling, partner = dialer.calling_page(), dialer.page("/partner/")
        self.addCleanup(lambda: (calling.close(), partner.close()))
        wait_for(lambda: page_loaded(calling)
                 and partner.evaluate("document.readyState === 'complete'"))
        return calling, partner

    def serve(self, folder):
        server = http.server.ThreadingHTTPServer(("127.0.0.1", PORT),
                                                 lambda *a: Handler(*a, directory=folder))
        server.daemon_threads, server.page, server.held = True, None, threading.Event()
        server.held.set()
        threading.Thread(target=server.serve_forever, daemon=True).start()
        self.addCleanup(lambda: (server.held.set(), server.shutdown(), server.server_close()))
        return server

    def spawn(self, *command, **options):  # ended at the test's end, and its children
        process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   start_new_session=True, **options)
        self.addCleanup(stop, process)
        return process

    def test_dial_pad_call_button_and_tab_stops(self):
        dialer = self.start(sys.argv[1])
        calling, partner = self.loaded(dialer)
        dialer.dial(NUMBER)
        for clicks in (1, 2):  # a second press fills the number again, not twice
            dialer.click(CALL_BUTTON)
            state = wait_for(lambda: (s := page_state(calling))["clicks"] == clicks and s)
            self.assertEqual((state["value"], state["title"]), (NUMBER, "calling:" + NUMBER))
        self.assertEqual(dialer.number_box(), NUMBER)
        for key, digit, stops in ROUNDS:
            for control, partner_focused in stops:
                dialer.key(key, digit)
                focus = [page.evaluate("document.hasFocus()") for page in (partner, calling)]
                self.assertEqual((focus, page_state(calling)["value"]),
                                 ([partner_focused, False], NUMBER), f"{key} to the {control}")
            self.assertEqual(dialer.number_box(), digit, key)  # it replaced the selected text
        calling.evaluate(FIELD + ".focus(), 1")  # a page script takes the focus
        dialer.key("8")
        for action in ("windowminimize", "windowactivate"):
            xdotool(action, "--sync", dialer.window)
            time.sleep(0.3)
        dialer.key("9")
        self.assertEqual((page_state(calling)["value"], dialer.number_box()), (NUMBER, "89"))

    @unittest.skipIf(len(sys.argv) < 3, "no served program")
    def test_framework_pages_hear_the_number_as_typing(self):
        (server := self.serve(built_in_calling_page(sys.argv[1]))).held.clear()
        dialer = self.start(sys.argv[2])
        dialer.dial(NUMBER)
        dialer.click(CALL_BUTTON)
        dialer.click(CALL_BUTTON)
        wait_for(lambda: dialer.number_box() == NUMBER)  # after both presses, the page held
        self.assertIsNone(dialer.process.poll(), "the program stays up")
        server.held.set()
        calling, _ = self.loaded(dialer)
        self.assertEqual(page_state(calling), {"title": "ready", "value": "", "clicks": 0})
        typed = ["input phone-number bubbles", "change phone-number bubbles", "click"]
        for number, (row, libraries, body, script, *shows) in enumerate(FRAMEWORKS):
            with self.subTest(row):
                server.page = (f'<!doctype html><meta charset="utf-8">{RECORDER}' + "".join(
                    f'<script src="/lib{path}"></script>' for path in libraries) +
                    f"{body or FIELDS.format('', '')}<script>{script}</script>")
                calling.evaluate(f"location.replace('/index.html?{number}'), 1")
                wait_for(lambda: calling.evaluate(f"location.search === '?{number}'")
                         and page_loaded(calling))
                dialer.click(CALL_BUTTON)
                wait_for(lambda: page_state(calling)["clicks"] == 1)
                self.assertEqual(calling.evaluate("report()"),
                                 [NUMBER, (shows or [NUMBER])[0], typed, 99.5, "BODY"])
        dialer.key("space")  # the keyboard focus stayed on the call button
        wait_for(lambda: page_state(calling)["clicks"] == 2)
        dialer.click(CALL_BUTTON)  # its page still has its turn when the window closes

    @unittest.skipIf(len(sys.argv) < 3, "no served program")
    def test_page_requests_and_the_calling_page_tones(self):
        where = self.enterContext(tempfile.TemporaryDirectory())
        handed, pulse = os.path.join(where, "handed"), f"unix:{where}/native"
        open(handed, "w").close()
        self.spawn("pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",  # a null sink only
                   "--use-pid-file=no", "--load=module-null-sink sink_name=quillo",
                   f"--load=module-native-protocol-unix socket={where}/native auth-anonymous=1",
                   env=dict(os.environ, HOME=where, XDG_RUNTIME_DIR=where,
                            PULSE_RUNTIME_PATH=where))
        wait_for(lambda: run("pactl", "--server", pulse, "info").returncode == 0)
        self.serve(built_in_calling_page(sys.argv[1]))
        dialer = self.start(sys.argv[2], PATH=f"{HERE}/../support/browser:{os.environ['PATH']}",
                            PULSE_SERVER=pulse, QUILLO_OPENED_FILE=handed,
                            QTWEBENGINE_CHROMIUM_FLAGS="--use-fake-device-for-media-stream")
        pages = dict(zip(("calling", "partner"), self.loaded(dialer)))
        asked = {}  # every request so far: (page, its answer by now)
        for when_asked in ("before", "after"):
            if when_asked == "after":  # the first press, whose tones are heard out of sight
                recorder = self.spawn("parec", "--server", pulse, "-d", "quillo.monitor",
                                      "--format=s16le", "--rate=44100", "--channels=1",
                                      f"{where}/monitor.raw")
                dialer.click(CALL_BUTTON)
                asked["microphone from the calling page before the press"] = ("calling", "granted")
            for request, page, when, expected in (p for p in PERMISSIONS if p[2] == when_asked):
                name = f"{request} from the {page} page {when} the press"
                asked[name] = (page, expected)
                pages[page].call("Runtime.evaluate", userGesture=True, expression=(
                    f"(window.answers = window.answers || {{}})[{name!r}] = 'waits';"
                    f" Promise.resolve().then(() => {REQUESTS[request]}).then(() =>"
                    f" answers[{name!r}] = 'granted', () => answers[{name!r}] = 'refused'), 1"))
            time.sleep(2)
            for name, (page, expected) in asked.items():
                self.assertEqual(pages[page].evaluate(f"answers[{name!r}]"), expected, name)

        for way, page in ((way, page) for way in OPENS for page in ("calling", "partner")):
            url = f"http://127.0.0.1:{PORT}/{way.replace(' ', '-')}-{page}"
            pages[page].call("Runtime.evaluate", userGesture="no click" not in way,
                             expression=f"(url => {OPENS[way]})({url!r}), 1")
            time.sleep(1)
            with open(handed) as log:
                self.assertEqual(url in log.read().split(),
                                 page == "partner" and "no click" not in way, f"{way} from {page}")
            self.assertEqual(messages(dialer.window), [])
        stop(recorder)
        stat = run("sox", "-t", "raw", "-r", "44100", "-e", "signed", "-b", "16", "-c", "1",
                   f"{where}/monitor.raw", "-n", "stat").stderr
        self.assertGreater(float(stat.split("Maximum amplitude:")[1].split()[0]), 0.01, "tones")

        def answer_message(keys, typed=""):  # its title, whether over the window, its text
            box = wait_for(lambda: messages(dialer.window), timeout=2)[0]
            over = run("xprop", "-id", box, "WM_TRANSIENT_FOR").stdout.split()[-1]
            owner = xdotool("getwindowname", box)
            xdotool("windowactivate", "--sync", box, "key", "ctrl+a", *(typed and ["type", typed]))
            xdotool("key", "shift+Tab", "ctrl+a", "ctrl+c", "sleep", "0.2")  # nothing after 'type'
            text = run("xclip", "-selection", "clipboard", "-o").stdout
            xdotool("key", keys)
            return owner, int(over, 16) == int(dialer.window), text

        for page, script, keys, typed, expected in MESSAGES:
            row = f"{script} from the {page} page, {keys}"
            pages[page].evaluate(f"T = {TEXT!r}; setTimeout(() => answers.message = {script})")
            self.assertEqual(answer_message(keys, typed), (CAPTION, True, TEXT), row)
            wait_for(lambda: pages[page].evaluate("'message' in answers"), timeout=2)
            self.assertEqual(pages[page].evaluate("answers.message"), expected, row)
            pages[page].evaluate("delete answers.message")

        # A message the press raised; then a message left open 15 s, a press meanwhile.
        calling = pages["calling"]
        calling.evaluate("window.kept = 1; document.getElementById('ext-gen69')"
                         ".addEventListener('click', () => alert('按下'))")
        dialer.click(CALL_BUTTON)
        self.assertEqual(answer_message("Return")[2], "按下")
        clicks = page_state(calling)["clicks"]
        calling.evaluate("setTimeout(() => { alert('等待'); window.went = 1 })")
        wait_for(lambda: messages(dialer.window), timeout=2)
        dialer.click(CALL_BUTTON)
        dialer.dial("+")  # the press has ended: the keys (those the box leaves free) answer
        time.sleep(15)
        self.assertEqual(answer_message("Return")[2], "等待")
        wait_for(lambda: calling.evaluate("window.went") == 1, timeout=2)
        self.assertEqual(calling.evaluate("window.kept"), 1, "not reloaded")
        self.assertEqual(page_state(calling)["clicks"], clicks, "the press changed nothing")
        self.assertEqual(dialer.number_box(), "+")
        pages["partner"].evaluate("setTimeout(() => confirm('关闭'))")  # closed while it waits
        wait_for(lambda: messages(dialer.window), timeout=2)

    @unittest.skipIf(len(sys.argv) < 3, "no served program")
    def test_press_places_a_webrtc_call_that_carries_the_microphone(self):
        # call_service/ calls itself in a headless Chromium, which reports the tone it hears.
        where, port = self.enterContext(tempfile.TemporaryDirectory()), free_port()
        subprocess.run(["sox", "-n", "-r", "48000", "-b", "16", "-c", "1", f"{where}/tone.wav",
                        "synth", "30", "sine", "440", "gain", "-6"], check=True)
        self.serve(os.path.join(HERE, "call_service"))
        self.spawn("chromium-headless-shell", "--no-sandbox", f"--user-data-dir={where}/callee",
                   "--autoplay-policy=no-user-gesture-required", f"--remote-debugging-port={port}",
                   "--allow-loopback-in-peer-connection", f"http://127.0.0.1:{PORT}/index.html",
                   "--disable-features=WebRtcHideLocalIpsWithMdns")
        dialer = self.start(sys.argv[2], QTWEBENGINE_CHROMIUM_FLAGS=(
            "--use-fake-device-for-media-stream --allow-loopback-in-peer-connection"
            f" --use-file-for-fake-audio-capture={where}/tone.wav"))
        calling, _ = self.loaded(dialer)
        self.addCleanup(lambda: print("the call got to:", calling.evaluate("document.title")))
        answering = cdp.Page(wait_for(lambda: cdp.pages(port))[0]["webSocketDebuggerUrl"])
        self.addCleanup(answering.close)
        dialer.dial(NUMBER)
        dialer.click(CALL_BUTTON)
        offer = json.dumps(wait_for(lambda: calling.evaluate("window.offer")))
        wait_for(lambda: answering.evaluate("document.readyState === 'complete'"))
        reply = answering.call("Runtime.evaluate", expression=f"answer({offer})", awaitPromise=True)
        calling.evaluate(f"answered({json.dumps(reply['result'].get('value'))})")
        heard = wait_for(lambda: answering.evaluate("window.heard"), timeout=30)
        self.assertEqual((heard.get("number"), calling.evaluate("document.title")),
                         (NUMBER, "connected"))
        self.assertLessEqual(abs(heard["bin"] - 440 / heard["binWidth"]), 1, heard)


if __name__ == "__main__":
    run_tests()
