"""What pages may ask of the real program (permissions, page messages, new windows and
downloads, from either page, before and after the first press) and the calling page's tones
heard out of sight.   Usage: page_requests_test.py SERVED_PROGRAM"""
import os
import subprocess
import sys
import tempfile
import time
import unittest

from dialer import (CALL_BUTTON, Dialer, built_in_calling_page, page_loaded, run_tests, wait_for,
                    xdotool)
from served import PORT, Served

CAPTION = "Quillo BY中国人，中国范~"
SERVED = f"http://127.0.0.1:{PORT}"
BROWSER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support", "browser")

# Each request as a page script: a promise that settles "granted", or rejects when refused.
MEDIA = "navigator.mediaDevices.getUserMedia({%s}).then(s => (s.getTracks().forEach(t => t.stop()), 'granted'))"
REQUESTS = {
    "microphone": MEDIA % "audio: true",
    "camera": MEDIA % "video: true",
    "microphone and camera": MEDIA % "audio: true, video: true",
    "screen": "navigator.mediaDevices.getDisplayMedia({video: true}).then(() => 'granted')",
    "notifications": "Notification.requestPermission().then(p => { if (p !== 'granted') throw p;"
                     " return 'granted'; })",
    "geolocation": "new Promise((ok, no) => navigator.geolocation.getCurrentPosition("
                   "() => ok('granted'), no))",
    "clipboard": "navigator.clipboard.readText().then(() => 'granted')",
    "midi": "navigator.requestMIDIAccess({sysex: true}).then(() => 'granted')",
    "pointer lock": "new Promise((ok, no) => { document.onpointerlockchange = () => ok('granted');"
                    " document.onpointerlockerror = no; document.body.requestPointerLock(); })",
    "full screen": "document.documentElement.requestFullscreen().then(() => 'granted')",
}
# (request, page, before the first press, answer within 2 s: "granted", "refused" or
# "waits"). The calling page's microphone that waits is granted at the press.
PERMISSIONS = [(r, p, before, "refused") for r in REQUESTS for p in ("calling", "partner")
               for before in (True, False) if not (r == "microphone" and p == "calling")] + [
    ("microphone", "calling", True, "waits"),
    ("microphone", "calling", False, "granted"),
]

# New windows and downloads: (way, page, what the user's browser gets).
OPENS = {
    "window.open": "window.open('%s'), 1",
    "link to _blank": "Object.assign(document.createElement('a'), {href: '%s', target: '_blank'})"
                      ".click(), 1",
    "download": "Object.assign(document.createElement('a'), {href: '%s', download: 'f.txt'})"
                ".click(), 1",
}
OPENS["window.open with no click"] = OPENS["window.open"]
# Only what the user asked for, from the page in sight, goes to the user's browser.
HANDED = [(way, page, page == "partner" and "no click" not in way) for way in OPENS
          for page in ("calling", "partner")]

# Page messages: (page, script, keys of the answer, typed text, what the page gets back).
TEXT = '<b>粗</b> & "引号"\n第二行 <i>x</i>'
MESSAGES = [
    ("calling", "alert(T)", "Return", "", None),
    ("partner", "confirm(T)", "Return", "", True),
    ("partner", "confirm(T)", "Escape", "", False),
    ("calling", "prompt(T, '默认')", "Return", "", "默认"),
    ("partner", "prompt(T, '默认')", "Return", "+8613800138000", "+8613800138000"),
    ("calling", "prompt(T, '默认')", "Escape", "", None),
]


def settle(page, name, script):
    """Starts a request in the page; its answer lands in window.answers[name]."""
    page.call("Runtime.evaluate", userGesture=True, expression=(
        f"(window.answers = window.answers || {{}})[{name!r}] = 'waits';"
        f"Promise.resolve().then(() => {script}).then(v => answers[{name!r}] = v,"
        f" () => answers[{name!r}] = 'refused'), 1"))


def answer(page, name):
    return page.evaluate(f"window.answers[{name!r}]")


def messages(main):
    """The program's message windows: shown, with the caption, other than the window."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Quillo BY"],
                           capture_output=True, text=True).stdout.split()
    return [w for w in found if w != main]


def peak(recording):
    """The peak amplitude of a recording of the null sink's monitor, 0 to 1."""
    stat = subprocess.run(["sox", "-t", "raw", "-r", "44100", "-e", "signed", "-b", "16",
                           "-c", "1", recording, "-n", "stat"], capture_output=True, text=True)
    return float(stat.stderr.split("Maximum amplitude:")[1].split()[0])


class PageRequestsTest(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        where = self.scratch.name
        # The stand-in for the user's browser writes down each address it is handed.
        self.handed = os.path.join(where, "handed")
        open(self.handed, "w").close()
        # A PulseAudio server of our own, whose only sink is a null sink.
        self.pulse = f"unix:{where}/native"
        env = dict(os.environ, HOME=where, XDG_RUNTIME_DIR=where, PULSE_RUNTIME_PATH=where)
        self.pulse_server = subprocess.Popen(
            ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
             "--load=module-null-sink sink_name=quillo",
             f"--load=module-native-protocol-unix socket={where}/native auth-anonymous=1"],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: subprocess.run(["pactl", "--server", self.pulse, "info"],
                                        capture_output=True).returncode == 0)
        self.server = Served(built_in_calling_page(sys.argv[1]))
        os.environ.update(PATH=BROWSER + os.pathsep + os.environ["PATH"], PULSE_SERVER=self.pulse,
                          QUILLO_OPENED_FILE=self.handed,
                          QTWEBENGINE_CHROMIUM_FLAGS="--use-fake-device-for-media-stream")
        self.dialer = Dialer(sys.argv[1])
        self.calling = self.dialer.page(f":{PORT}/")
        self.partner = self.dialer.page("/partner/")
        wait_for(lambda: page_loaded(self.calling))
        wait_for(lambda: self.partner.evaluate("document.readyState === 'complete'"))
        self.pages = {"calling": self.calling, "partner": self.partner}

    def tearDown(self):
        self.calling.close()
        self.partner.close()
        self.server.close()
        self.pulse_server.terminate()
        self.pulse_server.wait()
        self.scratch.cleanup()

    def press(self):
        self.dialer.click(CALL_BUTTON)

    def answer_message(self, keys, typed):
        """The open message's title, whether it stands over the window, and its text; then
        the keys that answer it."""
        box = wait_for(lambda: messages(self.dialer.window), timeout=2)[0]
        owner = xdotool("getwindowname", box)
        over = subprocess.run(["xprop", "-id", box, "WM_TRANSIENT_FOR"], capture_output=True,
                              text=True).stdout.split()[-1]
        xdotool("windowactivate", "--sync", box)
        if typed:
            xdotool("key", "ctrl+a")
            xdotool("type", typed)
        xdotool("key", "shift+Tab", "ctrl+a", "ctrl+c")
        time.sleep(0.2)
        text = subprocess.run(["xclip", "-selection", "clipboard", "-o"], capture_output=True,
                              text=True).stdout
        xdotool("key", keys)
        return owner, int(over, 16) == int(self.dialer.window), text

    def test_requests_are_answered_by_the_policy(self):
        try:
            rows = {}

            def ask(before_press):
                # Asks every request of this side of the press, then checks every answer so far.
                when = "before" if before_press else "after"
                for request, page, before, expected in PERMISSIONS:
                    if before == before_press:
                        name = f"{request} from the {page} page {when} the press"
                        settle(self.pages[page], name, REQUESTS[request])
                        rows[name] = (page, expected)
                time.sleep(2)
                for name, (page, expected) in rows.items():
                    self.assertEqual(answer(self.pages[page], name), expected, name)

            ask(before_press=True)

            # The press plays the calling page's tones, out of sight: the sink hears them.
            recording = os.path.join(self.scratch.name, "monitor.raw")
            with open(recording, "wb") as out:
                recorder = subprocess.Popen(
                    ["parec", "--server", self.pulse, "-d", "quillo.monitor",
                     "--format=s16le", "--rate=44100", "--channels=1"], stdout=out)
            self.press()  # the first press: the waiting microphone is granted now
            waited = "microphone from the calling page before the press"
            rows[waited] = ("calling", "granted")
            ask(before_press=False)

            for way, page, handed in HANDED:
                url = f"{SERVED}/{way.replace(' ', '-')}-{page}"
                self.pages[page].call("Runtime.evaluate", userGesture="no click" not in way,
                                      expression=OPENS[way] % url)
                time.sleep(1)
                with open(self.handed) as log:
                    self.assertEqual(url in log.read().split(), handed, f"{way} from the {page}")
                self.assertEqual(len(messages(self.dialer.window)), 0)
            recorder.terminate()
            recorder.wait()
            self.assertGreater(peak(recording), 0.01, "the tones heard")

            for page, script, keys, typed, expected in MESSAGES:
                where = f"{script} from the {page} page, {keys}"
                self.pages[page].evaluate(f"window.T = {TEXT!r};"
                                          f" setTimeout(() => answers.message = {script}), 1")
                self.assertEqual(self.answer_message(keys, typed), (CAPTION, True, TEXT), where)
                wait_for(lambda: answer(self.pages[page], "message") is not None or
                         expected is None, timeout=2)
                self.assertEqual(answer(self.pages[page], "message"), expected, where)
                self.pages[page].evaluate("delete answers.message, 1")

            # A message the press raised; then a message left open 15 s, a press meanwhile.
            self.calling.evaluate("window.kept = 1; document.getElementById('ext-gen69')"
                                  ".addEventListener('click', () => alert('按下')), 1")
            self.press()
            self.assertEqual(self.answer_message("Return", "")[2], "按下")
            clicks = self.calling.evaluate("document.documentElement.dataset.clicks")
            self.calling.evaluate("setTimeout(() => { alert('等待'); window.went = 1 })")
            wait_for(lambda: messages(self.dialer.window), timeout=2)
            self.press()
            self.dialer.dial("+")  # the press has ended: the keys (those the box leaves free) answer
            time.sleep(15)
            self.assertEqual(self.answer_message("Return", "")[2], "等待")
            wait_for(lambda: self.calling.evaluate("window.went") == 1, timeout=2)
            self.assertEqual(self.calling.evaluate("window.kept"), 1, "not reloaded")
            self.assertEqual(self.calling.evaluate("document.documentElement.dataset.clicks"),
                             clicks, "the press changed nothing")
            self.assertEqual(self.dialer.number_box(), "+")

            # Closing the window while a message waits.
            self.partner.evaluate("setTimeout(() => confirm('关闭'))")
            wait_for(lambda: messages(self.dialer.window), timeout=2)
        finally:
            self.assertEqual(self.dialer.close(), 0)


if __name__ == "__main__":
    run_tests()
