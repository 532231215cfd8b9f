"""The dialler as a person drives it: the real program's window under X, its keys and call
button pressed with xdotool, its calling page read through the engine's remote debugging.
Shared by the end-to-end test and scripts/run."""
import os
import socket
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import cdp

# Where the keys stand in the window's client area: left, top, width, height.
KEYS = {
    "1": (16, 63), "2": (72, 63), "3": (128, 63), "4": (16, 95), "5": (72, 95),
    "6": (128, 95), "7": (16, 127), "8": (72, 127), "9": (128, 127), "*": (16, 159),
    "0": (72, 159), "#": (128, 159), "+": (16, 191),
}
CALL_BUTTON = (96 + 40, 186 + 16)
NUMBER_BOX = (16 + 80, 32 + 12)
NUMBER = "+8613800138000"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(what, timeout=60.0):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        try:
            value = what()
            if value:
                return value
        except (OSError, ConnectionError, ValueError, IndexError, subprocess.CalledProcessError):
            pass
        time.sleep(0.1)
    raise AssertionError(f"timed out waiting for {what.__doc__ or what}")


def xdotool(*args):
    return subprocess.run(["xdotool", *args], check=True, capture_output=True,
                          text=True).stdout.strip()


class Dialer:
    """One run of the program, with its window and its calling page."""

    def __init__(self, program, **environment):
        self.port = free_port()
        env = dict(os.environ, QTWEBENGINE_REMOTE_DEBUGGING=f"127.0.0.1:{self.port}",
                   **environment)
        self.log = tempfile.TemporaryFile()
        self.process = subprocess.Popen([program], env=env, stdout=self.log,
                                        stderr=subprocess.STDOUT)

        def window():
            """the window"""
            return xdotool("search", "--onlyvisible", "--name", "^Quillo BY").split()[0]
        try:
            self.window = wait_for(window, timeout=60)
        except AssertionError:
            self.process.kill()
            self.process.wait()
            self.log.seek(0)
            sys.stderr.write(self.log.read()[-6000:].decode(errors="replace"))
            raise

    def calling_page(self):
        """The calling page's target, built in or served on loopback, once it is listed."""
        def target():
            """the calling page's debugging target"""
            return [t for t in cdp.pages(self.port)
                    if "/locale/cn/" in t.get("url", "")
                    or t.get("url", "").startswith("http://127.0.0.1:")]
        return cdp.Page(wait_for(target)[0]["webSocketDebuggerUrl"])

    def page(self, part):
        """The page whose address holds part, once the engine lists it."""
        def target():
            """a page's debugging target"""
            return [t for t in cdp.pages(self.port) if part in t.get("url", "")]
        return cdp.Page(wait_for(target)[0]["webSocketDebuggerUrl"])

    def key(self, *keys):
        xdotool("key", "--window", self.window, *keys)
        time.sleep(0.15)

    def click(self, position):
        x, y = position
        xdotool("mousemove", "--window", self.window, str(x), str(y), "click", "1")
        time.sleep(0.05)

    def dial(self, number):
        for key in number:
            left, top = KEYS[key]
            self.click((left + 24, top + 12))

    def number_box(self):
        """The number box's text, copied out of it as a person would."""
        self.click(NUMBER_BOX)
        xdotool("key", "--window", self.window, "ctrl+a", "ctrl+c")
        time.sleep(0.1)
        return subprocess.run(["xclip", "-selection", "clipboard", "-o"], capture_output=True,
                              text=True).stdout

    def close(self):
        """Closes the window through its frame; the program's exit code."""
        if self.process.poll() is None:
            subprocess.run(["wmctrl", "-i", "-c", self.window], check=False)
            try:
                self.process.wait(timeout=60)
            except subprocess.TimeoutExpired:
                self.process.kill()
        code = self.process.wait()
        if code != 0:  # show what the program said about it
            self.log.seek(0)
            sys.stderr.write(self.log.read()[-6000:].decode(errors="replace"))
        self.log.close()
        return code


def page_loaded(page):
    """The calling page itself has loaded (not the blank page before it)."""
    return page.evaluate("document.readyState === 'complete' &&"
                         " !!document.getElementById('phone-number')")


def built_in_calling_page(program):
    """The folder of the built-in calling page beside a built or installed program."""
    return os.path.join(os.path.dirname(os.path.abspath(program)), "..", "share", "quillo",
                        "pages", "locale", "cn")


def page_state(page):
    return page.evaluate(
        "({title: document.title, value: document.getElementById('phone-number').value,"
        " clicks: Number(document.documentElement.dataset.clicks || 0)})")




def run_tests():
    """Runs a test script's tests. A test runner's time-out ends the script with SIGTERM: it
    leaves through the tests' finally clauses, which close or kill the program, rather than
    leave it behind."""
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    unittest.main(argv=sys.argv[:1])
