"""A local HTTPS update server for the end-to-end tests.

The development build fetches its manifest from https://<ORVI_E2E_UPDATE_HOST>
and trusts the certificate authorities in ORVI_E2E_CA_FILE besides the
system's. UpdateServer listens on that port with a certificate from an
authority it makes with `openssl` and writes to that file, answers each path
with a scripted response, and records every connection it got.

Only programs started with UpdateServer.env() in their environment are
answered: the port is fixed, and a program that another test module started
at the same time must not get this test's manifest (nor be counted). A file
lock keeps two servers from wanting the port at once.
"""

import fcntl
import http.server
import json
import os
import secrets
import select
import shutil
import ssl
import subprocess
import tempfile
import threading
import time
from dataclasses import dataclass

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
UPDATE_HOST = os.environ.get("ORVI_E2E_UPDATE_HOST", "localhost:47443")
CA_FILE = os.environ.get("ORVI_E2E_CA_FILE", os.path.join(REPO, "build", "dev", "e2e-ca", "ca.pem"))
MANIFEST_PATH = "/api/downloads/orvi-desktop-update.json"
CLIENT_VARIABLE = "ORVI_E2E_UPDATE_CLIENT"
LOCK_FILE = os.path.join(tempfile.gettempdir(), "orvi-e2e-update-server.lock")
MiB = 1 << 20


def manifest_bytes(version, url="https://orvi.example/downloads/orvi-desktop.dmg", notes="Clearer voice."):
    return json.dumps({"macOS": {"version": version, "downloadURL": url, "notes": notes}}).encode()


CA_EXTENSIONS = ["basicConstraints=critical,CA:TRUE", "keyUsage=critical,keyCertSign,cRLSign"]
SERVER_EXTENSIONS = ["basicConstraints=CA:FALSE", "keyUsage=critical,digitalSignature",
                     "extendedKeyUsage=serverAuth"]


def make_certificate(folder, name, subject, extensions, authority=None):
    """A key and a certificate made with the openssl command line: an
    authority's own, or one that authority (its (certificate, key)) signs.
    Returns (certificate, key)."""
    certificate, key = os.path.join(folder, name + ".pem"), os.path.join(folder, name + ".key")
    args = ["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
            "-keyout", key, "-out", certificate, "-days", "2", "-subj", subject,
            "-set_serial", str(secrets.randbits(63))]
    args += [a for extension in extensions for a in ("-addext", extension)]
    args += ["-CA", authority[0], "-CAkey", authority[1]] if authority else []
    result = subprocess.run(args, capture_output=True, text=True, timeout=30)
    if result.returncode != 0:
        raise RuntimeError(f"openssl failed to make {name}: {result.stderr.strip()}")
    return certificate, key


# ----- Responses. Each writes a whole answer through the request handler and
# returns once it is sent or the client has gone.

def _head(handler, status=200, **headers):
    """The status line and headers; Content_Type stands for Content-Type."""
    handler.send_response(status)
    for name, value in headers.items():
        handler.send_header(name.replace("_", "-"), str(value))
    handler.end_headers()


class Body:
    def __init__(self, data, status=200, content_type="application/json"):
        self.data, self.status, self.content_type = data, status, content_type

    def send(self, handler, record):
        _head(handler, self.status, Content_Type=self.content_type, Content_Length=len(self.data))
        handler.write(self.data, record)


def manifest(version, **kw):
    return Body(manifest_bytes(version, **kw))


def padded_manifest(version, size):
    """A newer-version manifest that is exactly size bytes long (JSON allows
    any amount of white space after the document)."""
    data = manifest_bytes(version)
    return Body(data + b" " * (size - len(data)))


class Redirect:
    def __init__(self, location):
        self.location = location

    def send(self, handler, record):
        _head(handler, 302, Location=self.location, Content_Length=0)


class Endless:
    """A valid manifest followed by white space that never ends."""

    def send(self, handler, record):
        _head(handler, Content_Type="application/json", Connection="close")
        handler.write(manifest_bytes("1.4.2"), record)
        chunk = b" " * 65536
        while not handler.server.stopping.is_set() and handler.write(chunk, record):
            pass


class Trickle:
    """A manifest that comes one byte every `interval` seconds."""

    def __init__(self, interval):
        self.data, self.interval = manifest_bytes("1.4.2"), interval

    def send(self, handler, record):
        _head(handler, Content_Type="application/json", Content_Length=len(self.data))
        for i in range(len(self.data)):
            if not handler.write(self.data[i:i + 1], record) or handler.client_gone(self.interval):
                return


class Silence:
    """Headers that promise a body, and then nothing at all."""

    def send(self, handler, record):
        _head(handler, Content_Type="application/json", Content_Length=4096)
        handler.wfile.flush()
        while not handler.client_gone(0.2):
            pass


def not_found():
    return Body(b"not here", status=404, content_type="text/plain")


# ----- Finding who is asking.

def _peer_pid(client_port, server_port):
    """The process holding the client end of a loopback TCP connection."""
    inode = None
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        try:
            with open(table) as f:
                lines = f.readlines()[1:]
        except OSError:
            continue
        for line in lines:
            fields = line.split()
            local, remote = fields[1], fields[2]
            if (int(local.rsplit(":", 1)[1], 16) == client_port
                    and int(remote.rsplit(":", 1)[1], 16) == server_port):
                inode = fields[9]
    if not inode:
        return None
    target = f"socket:[{inode}]"
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            for fd in os.listdir(f"/proc/{pid}/fd"):
                if os.readlink(f"/proc/{pid}/fd/{fd}") == target:
                    return int(pid)
        except OSError:
            continue
    return None


def _environment_has(pid, entry):
    try:
        with open(f"/proc/{pid}/environ", "rb") as f:
            return entry.encode() in f.read().split(b"\0")
    except OSError:
        return False


@dataclass
class Connection:
    """One connection from a program under test."""
    pid: int
    opened: float
    path: str = None           # None if no request arrived (e.g. the handshake failed)
    tls_error: str = None
    sent: int = 0              # body bytes written
    client_hung_up: bool = False
    closed: float = None       # when the server was done with it


class UpdateServer:
    """An HTTPS server on the update host's port (or, with tls=False and
    port=0, a plain HTTP one on a free port). `routes` maps a path to a
    response; unknown paths get 404. A server given another's token answers
    the same programs."""

    def __init__(self, tls=True, port=None, token=None):
        self.tls = tls
        self.port = int(UPDATE_HOST.rsplit(":", 1)[1]) if port is None else port
        self.routes = {}
        self.connections = []
        self.token = token or secrets.token_hex(8)
        self._changed = threading.Condition()
        self._lock_file = None

    # -- life cycle

    def __enter__(self):
        self.dir = tempfile.mkdtemp(prefix="orvi-e2e-update-")
        try:
            if self.port:
                self._take_lock()
            if self.tls:
                self._make_certificates()
            self._start()
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def _take_lock(self):
        self._lock_file = open(LOCK_FILE, "w")
        deadline = time.monotonic() + 240
        while True:
            try:
                fcntl.flock(self._lock_file, fcntl.LOCK_EX | fcntl.LOCK_NB)
                return
            except BlockingIOError:
                if time.monotonic() > deadline:
                    raise TimeoutError("another update server kept the port for 240 s")
                time.sleep(0.2)

    def _make_certificates(self):
        trusted = make_certificate(self.dir, "authority", "/CN=Orvi e2e authority", CA_EXTENSIONS)
        stranger = make_certificate(self.dir, "stranger", "/CN=Orvi e2e stranger", CA_EXTENSIONS)
        local = ["subjectAltName=DNS:localhost,IP:127.0.0.1,IP:::1"] + SERVER_EXTENSIONS
        elsewhere = ["subjectAltName=DNS:orvi-elsewhere.example"] + SERVER_EXTENSIONS
        self.contexts = {
            "trusted": make_certificate(self.dir, "localhost", "/CN=localhost", local, trusted),
            "untrusted": make_certificate(self.dir, "by-stranger", "/CN=localhost", local, stranger),
            "wrong-name": make_certificate(self.dir, "elsewhere", "/CN=orvi-elsewhere.example", elsewhere, trusted),
        }
        for name, (certificate, key) in self.contexts.items():
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(certificate, key)
            self.contexts[name] = context
        self.certificate = "trusted"
        os.makedirs(os.path.dirname(CA_FILE), exist_ok=True)
        shutil.copyfile(trusted[0], CA_FILE + ".new")
        os.replace(CA_FILE + ".new", CA_FILE)
        self._wrote_ca = True

    def _start(self):
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def do_GET(self):
                record = self.connection_record
                record.path = self.path
                server._notify()
                response = server.routes.get(self.path.split("?", 1)[0]) or not_found()
                try:
                    response.send(self, record)
                    self.wfile.flush()
                except OSError:
                    record.client_hung_up = True
                self.close_connection = True

            def write(self, data, record):
                """False once the client has gone."""
                try:
                    self.wfile.write(data)
                    self.wfile.flush()
                    record.sent += len(data)
                    return True
                except OSError:
                    record.client_hung_up = True
                    return False

            def client_gone(self, seconds):
                """Waits up to seconds; True if the client closed its end (or
                the server is stopping)."""
                if server.stopping.is_set():
                    return True
                if not select.select([self.connection], [], [], seconds)[0]:
                    return False
                try:
                    self.connection.settimeout(0.1)
                    gone = self.connection.recv(1) == b""
                except (TimeoutError, ssl.SSLWantReadError):
                    gone = False  # only TLS housekeeping arrived
                except OSError:
                    gone = True
                self.connection_record.client_hung_up |= gone
                return gone

            def log_message(self, *args):
                pass

        class Server(http.server.ThreadingHTTPServer):
            daemon_threads = True
            allow_reuse_address = True

            def finish_request(self, request, client_address):
                # Runs in the connection's own thread: the handshake of one
                # client never holds up another.
                pid = _peer_pid(client_address[1], self.server_address[1])
                if pid is None or not _environment_has(pid, f"{CLIENT_VARIABLE}={server.token}"):
                    return
                record = Connection(pid=pid, opened=time.monotonic())
                server._add(record)
                wrapped = None
                try:
                    if server.tls:
                        request.settimeout(10)
                        try:
                            request = wrapped = server.contexts[server.certificate].wrap_socket(
                                request, server_side=True)
                        except (OSError, ssl.SSLError) as error:
                            record.tls_error = str(error)
                            return
                        request.settimeout(None)
                    handler = Handler.__new__(Handler)
                    handler.connection_record = record
                    Handler.__init__(handler, request, client_address, self)
                except OSError:
                    record.client_hung_up = True
                finally:
                    if wrapped is not None:
                        wrapped.close()
                    record.closed = time.monotonic()
                    server._notify()

        self.httpd = Server(("127.0.0.1", self.port), Handler)
        self.httpd.stopping = self.stopping = threading.Event()
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def __exit__(self, *exc):
        httpd, self.httpd = getattr(self, "httpd", None), None
        if httpd:
            self.stopping.set()
            httpd.shutdown()
            httpd.server_close()
        if getattr(self, "_wrote_ca", False):
            try:
                os.remove(CA_FILE)
            except OSError:
                pass
            self._wrote_ca = False
        if self._lock_file:
            self._lock_file.close()
            self._lock_file = None
        shutil.rmtree(self.dir, ignore_errors=True)

    # -- scripting

    @property
    def base(self):
        scheme = "https" if self.tls else "http"
        host = UPDATE_HOST.rsplit(":", 1)[0] if self.tls else "127.0.0.1"
        return f"{scheme}://{host}:{self.port}"

    def env(self):
        """What a program's environment needs for this server to answer it."""
        return {CLIENT_VARIABLE: self.token}

    def serve(self, response):
        """The update manifest's path answers with response; nothing else is there."""
        self.routes = {MANIFEST_PATH: response}

    def serve_redirects(self, hops, final):
        """`hops` redirects in a row from the manifest's path, each to the next
        /hop/<n> on this server, the last of them answering with final."""
        paths = [MANIFEST_PATH] + [f"/hop/{n}" for n in range(1, hops + 1)]
        self.routes = {path: Redirect(self.base + paths[i + 1]) for i, path in enumerate(paths[:-1])}
        self.routes[paths[-1]] = final

    # -- what happened

    def _add(self, record):
        with self._changed:
            self.connections.append(record)
            self._changed.notify_all()

    def _notify(self):
        with self._changed:
            self._changed.notify_all()

    def clear(self):
        with self._changed:
            self.connections.clear()

    def wait_for(self, predicate, timeout, what):
        """Waits until predicate(connections) is truthy; returns its value."""
        deadline = time.monotonic() + timeout
        with self._changed:
            while True:
                value = predicate(list(self.connections))
                if value:
                    return value
                left = deadline - time.monotonic()
                if left <= 0:
                    raise TimeoutError(f"update server: no {what} within {timeout} s; "
                                       f"connections: {self.connections}")
                self._changed.wait(min(left, 0.5))

    def wait_for_request(self, path=MANIFEST_PATH, timeout=30, count=1):
        """The count-th request for path."""
        return self.wait_for(lambda cs: ([c for c in cs if c.path == path][count - 1:] or [None])[0],
                             timeout, f"request #{count} for {path}")

    def wait_until_done(self, timeout=30):
        """Waits until every connection so far has ended; returns them."""
        return self.wait_for(lambda cs: cs if cs and all(c.closed for c in cs) else None,
                             timeout, "end of every connection")
