"""The real program, driven as a person drives it: dial pad keys and the call button pressed
with xdotool under a virtual display, the calling page read through the engine's remote
debugging. Usage: call_test.py PROGRAM [SLOW_PROGRAM]

PROGRAM is Quillo as built. SLOW_PROGRAM, if given, is Quillo built with its calling page at
http://127.0.0.1:47811/, which this test serves and holds back until it lets it load.
"""
import http.server
import sys
import threading
import time
import unittest

from dialer import (CALL_BUTTON, NUMBER, NUMBER_BOX, Dialer, built_in_calling_page, page_loaded,
                    page_state, run_tests, wait_for, xdotool)

# Tab and Shift+Tab from the number box, all the way round: the stops, in order, as
# (control, whether the partner page holds the focus there).
STOPS = [("number box", False)] + [(f"key {k}", False) for k in "123456789*0#+"] + [
    ("call button", False), ("partner box", True)]
# Each round types its own digit at every stop; only the number box shows it.
ROUNDS = [("Tab", "7", STOPS[1:] + STOPS[:1]), ("shift+Tab", "6", STOPS[::-1])]


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

    @unittest.skipIf(len(sys.argv) < 3, "no program with a held-back calling page")
    def test_press_before_the_calling_page_has_loaded_does_nothing(self):
        release = threading.Event()

        class Held(http.server.SimpleHTTPRequestHandler):
            def __init__(self, *args, **kwargs):
                super().__init__(*args, directory=built_in_calling_page(sys.argv[1]),
                                 **kwargs)

            def do_GET(self):
                release.wait(timeout=60)
                super().do_GET()

            def log_message(self, *args):
                pass

        server = http.server.ThreadingHTTPServer(("127.0.0.1", 47811), Held)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        dialer = Dialer(sys.argv[2])
        try:
            dialer.dial("138")
            dialer.click(CALL_BUTTON)
            dialer.click(CALL_BUTTON)
            # The number box is read after the presses in the same event queue: once it
            # answers, both presses were handled while the page was still held back.
            wait_for(lambda: dialer.number_box() == "138")
            self.assertIsNone(dialer.process.poll(), "the program stays up")
            release.set()
            page = dialer.calling_page()
            wait_for(lambda: page_loaded(page))
            self.assertEqual(page_state(page)["clicks"], 0)
            self.assertEqual(page_state(page)["value"], "")
            dialer.click(CALL_BUTTON)
            state = wait_for(lambda: (s := page_state(page))["clicks"] == 1 and s)
            self.assertEqual(state["value"], "138")
            page.close()
        finally:
            release.set()
            code = dialer.close()
            server.shutdown()
            self.assertEqual(code, 0)


if __name__ == "__main__":
    run_tests()
