"""The test calling service: its pages, and mailboxes through which caller and callee trade
offer and answer. POST /box/NAME leaves a message in a mailbox; GET /box/NAME takes the
oldest one, waiting up to 10 s for it (204 if none came). Serves 127.0.0.1 only.
"""
import collections
import http.server
import os
import threading

PAGES = os.path.dirname(os.path.abspath(__file__))


class Service(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, port):
        self.boxes = collections.defaultdict(collections.deque)
        self.changed = threading.Condition()
        super().__init__(("127.0.0.1", port), Handler)
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def post(self, box, message):
        with self.changed:
            self.boxes[box].append(message)
            self.changed.notify_all()

    def receive(self, box, timeout):
        """The oldest message in box, or None if none came within timeout seconds."""
        with self.changed:
            if self.changed.wait_for(lambda: self.boxes[box], timeout):
                return self.boxes[box].popleft()
            return None

    def close(self):
        self.shutdown()
        self.server_close()


class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=PAGES, **kwargs)

    def do_POST(self):
        if not self.path.startswith("/box/"):
            return self.send_error(404)
        body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        self.server.post(self.path[5:], body)
        self.send_response(204)
        self.end_headers()

    def do_GET(self):
        if not self.path.startswith("/box/"):
            return super().do_GET()
        message = self.server.receive(self.path[5:], timeout=10)
        self.send_response(200 if message is not None else 204)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(message or b"")))
        self.end_headers()
        self.wfile.write(message or b"")

    def log_message(self, *args):
        pass
