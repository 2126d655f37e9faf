"""A local HTTPS update server for test builds (ORVI_TEST_UPDATE_HOST and ORVI_TEST_CA_FILE in env() point a program
at it): it answers each path with a scripted response under a certificate of the chosen kind and records every
connection."""

import contextlib, http.server, json, select, shutil, ssl, subprocess, tempfile, threading, time
from types import SimpleNamespace
from harness import poll, wait

MANIFEST_PATH, MiB = "/api/downloads/orvi-desktop-update.json", 1 << 20


def manifest_bytes(version="1.4.2", url="https://orvi.example/d/orvi-desktop.dmg", notes="Clearer voice."):
    return json.dumps({"macOS": {"version": version, "downloadURL": url, "notes": notes}}).encode()


def manifest(version, size=0, status=200, **kw):
    """A response with a manifest, padded with white space to size bytes."""
    data = manifest_bytes(version, **kw).ljust(size)
    return lambda h: h.answer(status, data)


def redirect(location):
    return lambda h: h.answer(302, b"", Location=location)


def endless(h):
    """A manifest followed by white space that never ends."""
    h.answer(200, manifest_bytes(), **{"Content-Length": None, "Connection": "close"})
    while h.write(b" " * 65536):
        pass


def silence(h):
    """Headers that promise a body, then nothing until the client hangs up (it sends nothing else)."""
    h.answer(200, b"", **{"Content-Length": 4096})
    while not select.select([h.connection], [], [], 0.2)[0] and not h.server.stopping:
        pass
    h.record.hung_up = True


class UpdateServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self):
        self.dir, self.routes, self.connections, self.contexts = tempfile.mkdtemp(), {}, [], {}
        self.certificate, self.stopping = "trusted", False
        self.ca = self._certificate("authority", "/CN=Orvi test authority", "CA:TRUE")
        stranger = self._certificate("stranger", "/CN=Orvi stranger", "CA:TRUE")
        for name, authority, alt in [("trusted", self.ca, "IP:127.0.0.1"), ("untrusted", stranger, "IP:127.0.0.1"),
                                     ("wrong-name", self.ca, "DNS:elsewhere.example")]:
            self.contexts[name] = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            self.contexts[name].load_cert_chain(*self._certificate(name, "/CN=server", "CA:FALSE", alt, authority))
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def setup(self):
                self.record = SimpleNamespace(opened=time.monotonic(), path=None, sent=0, hung_up=False, closed=None)
                server.connections.append(self.record)
                try:
                    self.request.do_handshake()
                except OSError:
                    self.record.closed = time.monotonic()
                    raise
                super().setup()

            def do_GET(self):
                self.record.path = self.path
                server.routes.get(self.path, lambda h: h.answer(404, b"not here"))(self)
                self.close_connection = True

            def answer(self, status, body, **headers):
                """The status line and headers (Content-Length: the body's unless given), then the body."""
                self.send_response(status)
                for name, value in dict({"Content-Length": len(body)}, **headers).items():
                    value is None or self.send_header(name, value)
                self.end_headers()
                self.write(body)

            def write(self, data):
                try:
                    self.wfile.write(data)
                    self.wfile.flush()
                    self.record.sent += len(data)
                except OSError:
                    self.record.hung_up = True
                return not (self.record.hung_up or server.stopping)

            def finish(self):
                with contextlib.suppress(OSError):
                    super().finish()
                self.record.closed = time.monotonic()

            def log_message(self, *args):
                pass

        super().__init__(("127.0.0.1", 0), Handler)
        self.base = f"https://127.0.0.1:{self.server_address[1]}"

    def _certificate(self, name, subject, ca, alt=None, authority=None):
        files = [f"{self.dir}/{name}.pem", f"{self.dir}/{name}.key"]
        subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                        "-out", files[0], "-keyout", files[1], "-days", "2", "-subj", subject,
                        "-addext", "basicConstraints=critical," + ca] + (["-addext", "subjectAltName=" + alt] if alt else [])
                       + (["-CA", authority[0], "-CAkey", authority[1]] if authority else []), check=True, capture_output=True, timeout=30)
        return files

    def get_request(self):
        sock, address = super().get_request()  # the handshake happens in the connection's own thread
        return self.contexts[self.certificate].wrap_socket(sock, server_side=True, do_handshake_on_connect=False), address

    def handle_error(self, request, address):
        pass  # a refused handshake, a client that went away: both recorded

    def __enter__(self):
        threading.Thread(target=self.serve_forever, daemon=True).start()
        return self

    def __exit__(self, *exc):
        self.stopping = True
        self.shutdown()
        self.server_close()
        shutil.rmtree(self.dir, True)

    def env(self):
        return {"ORVI_TEST_UPDATE_HOST": self.base.split("//")[1], "ORVI_TEST_CA_FILE": self.ca[0]}

    def serve(self, response):
        self.routes = {MANIFEST_PATH: response}

    def serve_redirects(self, hops, final):
        """hops redirects in a row from the manifest's path to /hop/1, /hop/2, ..., the last answering final."""
        paths = [MANIFEST_PATH] + [f"/hop/{n}" for n in range(1, hops + 1)]
        self.routes = {path: redirect(self.base + paths[i + 1]) for i, path in enumerate(paths[:-1])}
        self.routes[paths[-1]] = final

    def clear(self):
        self.connections.clear()

    def wait_for_request(self, count=1, timeout=30):
        """The count-th request for the manifest."""
        return wait(lambda: [c for c in self.connections if c.path == MANIFEST_PATH][count - 1:], timeout,
                    f"request #{count}")[0]

    def wait_until_done(self, timeout=30):
        """Every connection so far, once each has ended."""
        return poll(lambda: list(self.connections), lambda cs: cs and all(c.closed for c in cs), timeout)
