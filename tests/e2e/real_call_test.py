"""A real call through the program: a calling service on loopback whose page takes the
microphone and calls a callee over WebRTC when its button is clicked. The callee is a
separate headless Chromium; it answers and reports the loudest frequency it hears. The
program's engine hears a 440 Hz tone through its fake capture device.
Usage: real_call_test.py SERVED_PROGRAM
"""
import json
import os
import signal
import subprocess
import sys
import tempfile
import unittest

from dialer import CALL_BUTTON, NUMBER, Dialer, page_loaded, run_tests, wait_for
from served import PORT, Served

TONE = 440


class RealCallTest(unittest.TestCase):
    def test_press_places_a_webrtc_call_that_carries_the_microphone(self):
        folder = tempfile.TemporaryDirectory()
        tone = os.path.join(folder.name, "tone.wav")
        subprocess.run(["sox", "-n", "-r", "48000", "-b", "16", "-c", "1", tone,
                        "synth", "30", "sine", str(TONE), "gain", "-6"], check=True)
        service = Served(os.path.join(os.path.dirname(os.path.abspath(__file__)), "call_service"))
        callee = subprocess.Popen(
            ["chromium-headless-shell", "--no-sandbox", f"--user-data-dir={folder.name}/callee",
             "--autoplay-policy=no-user-gesture-required", "--allow-loopback-in-peer-connection",
             "--disable-features=WebRtcHideLocalIpsWithMdns",
             f"http://127.0.0.1:{PORT}/callee.html"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        dialer = Dialer(sys.argv[1], QTWEBENGINE_CHROMIUM_FLAGS=" ".join([
            "--use-fake-device-for-media-stream", f"--use-file-for-fake-audio-capture={tone}",
            "--allow-loopback-in-peer-connection"]))
        page = None
        try:
            page = dialer.page(f":{PORT}/")
            wait_for(lambda: page_loaded(page))
            dialer.dial(NUMBER)
            dialer.click(CALL_BUTTON)
            heard = service.receive("heard", timeout=30)
            self.assertIsNotNone(heard, "the callee heard nothing; the calling page's state: "
                                 + str(page.evaluate("document.title")))
            heard = json.loads(heard)
            self.assertNotIn("error", heard)
            self.assertEqual(heard["number"], NUMBER)
            print(f"callee: loudest bin {heard['bin']} of {heard['binWidth']:.2f} Hz"
                  f" ({heard['bin'] * heard['binWidth']:.1f} Hz) at {heard['level']:.1f} dB")
            self.assertLessEqual(abs(heard["bin"] - TONE / heard["binWidth"]), 1)
        finally:
            if page is not None:
                page.close()
            code = dialer.close()
            os.killpg(callee.pid, signal.SIGKILL)
            callee.wait()
            service.close()
            folder.cleanup()
            self.assertEqual(code, 0)


if __name__ == "__main__":
    run_tests()
