"""The one web server of the end-to-end tests, on 127.0.0.1:47812, where the served program
finds its calling page: files of a folder, or one page of a test's own at /index.html;
Debian's script libraries at /lib/; a download at /download; requests held while `held` is
clear; and mailboxes for a calling service (POST /box/NAME leaves a message, GET takes the
oldest, waiting up to 10 s, 204 if none came)."""
import collections
import http.server
import threading

PORT = 47812  # the served program's calling page, tests/e2e/CMakeLists.txt
LIBRARIES = {
    "jquery.js": "/usr/share/javascript/jquery/jquery.min.js",
    "vue.js": "/usr/share/javascript/vue/vue.min.js",
    "angular.js": "/usr/share/javascript/angular.js/angular.min.js",
    "react.js": "/usr/share/nodejs/react/umd/react.production.min.js",
    "react-dom.js": "/usr/share/nodejs/react-dom/umd/react-dom.production.min.js",
}


class Served(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, folder):
        self.folder, self.page = folder, None
        self.held = threading.Event()
        self.held.set()
        self.boxes = collections.defaultdict(collections.deque)
        self.changed = threading.Condition()
        super().__init__(("127.0.0.1", PORT), Handler)
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def receive(self, box, timeout):
        """The oldest message in box, or None if none came within timeout seconds."""
        with self.changed:
            if self.changed.wait_for(lambda: self.boxes[box], timeout):
                return self.boxes[box].popleft()
            return None

    def close(self):
        self.held.set()
        self.shutdown()
        self.server_close()


class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=args[2].folder, **kwargs)

    def answer(self, body, kind, *headers):
        self.send_response(200 if body is not None else 204)
        for header in (("Content-Type", kind), ("Cache-Control", "no-store")) + headers:
            self.send_header(*header)
        self.send_header("Content-Length", str(len(body or b"")))
        self.end_headers()
        self.wfile.write(body or b"")

    def do_POST(self):
        with self.server.changed:
            self.server.boxes[self.path[5:]].append(
                self.rfile.read(int(self.headers.get("Content-Length", 0))))
            self.server.changed.notify_all()
        self.send_response(204)
        self.end_headers()

    def do_GET(self):
        self.server.held.wait(timeout=60)
        path = self.path.split("?")[0]
        if path.startswith("/box/"):
            self.answer(self.server.receive(path[5:], timeout=10), "application/json")
        elif path.startswith("/lib/"):
            with open(LIBRARIES[path[5:]], "rb") as library:
                self.answer(library.read(), "text/javascript")
        elif path.startswith("/download"):
            self.answer(b"f\n", "text/plain", ("Content-Disposition", "attachment; filename=f.txt"))
        elif path == "/index.html" and self.server.page is not None:
            self.answer(self.server.page.encode(), "text/html; charset=utf-8")
        else:
            super().do_GET()

    def log_message(self, *args):
        pass
