#!/usr/bin/env python3
"""Loopback servers for the HTTP client tests.

  loopback_server.py start DIR [OPENSSL]
                                 make a certificate (with the given openssl), start the
                                 servers in the background, wait until their ports are in DIR/ports
  loopback_server.py stop DIR    stop them
  loopback_server.py serve DIR   (internal) the server process itself

Six sockets on 127.0.0.1, all with ports chosen by the system:
  http          records every request and answers 200; a request to /redirect/X
                is answered 302 with Location /redirected/X instead
  https         the same behind TLS with a self-signed (untrusted) certificate
  https-named   the same with a certificate for localhost and 127.0.0.1, issued by
                a test certificate authority (DIR/ca.pem) that a client may trust
  https-misnamed  the same with a certificate of that authority for another host
  stall         accepts connections, reads, and never answers
  closed        bound but not listening: connections are refused

Every request is one JSON line in DIR/records.jsonl (body in DIR/<seq>.body),
written before the answer, so a client that got its answer finds its record.
Connections to the TLS servers and refused handshakes are recorded too.
The server stops by itself after a while without activity, so a test run that
dies never leaves it behind for long.
"""
import json
import os
import signal
import socket
import ssl
import subprocess
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

IDLE_LIMIT_S = 300
LIFETIME_LIMIT_S = 3600
STALL_HOLD_S = 120
START_TIMEOUT_S = 30
REDIRECT_PREFIX = "/redirect/"
REDIRECTED_PREFIX = "/redirected/"
# The names the certificates of the two servers signed by the test authority carry.
NAMED_HOSTS = "DNS:localhost,IP:127.0.0.1"
MISNAMED_HOST = "wrong-host.invalid"


class Recorder:
    def __init__(self, directory):
        self.directory = directory
        self.lock = threading.Lock()
        self.seq = 0
        self.last_activity = time.monotonic()

    def touch(self):
        self.last_activity = time.monotonic()

    def record(self, entry, body=None):
        with self.lock:
            self.touch()
            self.seq += 1
            entry = dict(entry, seq=self.seq)
            if body is not None:
                with open(os.path.join(self.directory, "%d.body" % self.seq), "wb") as f:
                    f.write(body)
            with open(os.path.join(self.directory, "records.jsonl"), "a", encoding="utf-8") as f:
                f.write(json.dumps(entry) + "\n")


def make_handler(recorder, server_name):
    class Handler(BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def _record_and_answer(self):
            length = int(self.headers.get("Content-Length") or 0)
            body = b""
            while len(body) < length:
                chunk = self.rfile.read(length - len(body))
                if not chunk:
                    break
                body += chunk
            recorder.record({
                "server": server_name,
                "kind": "request",
                "method": self.command,
                "target": self.path,
                "headers": [[k, v] for k, v in self.headers.items()],
                "body_length": len(body),
            }, body)
            answer = b"recorded\n"
            if self.path.startswith(REDIRECT_PREFIX):
                self.send_response(302)
                self.send_header("Location", REDIRECTED_PREFIX + self.path[len(REDIRECT_PREFIX):])
            else:
                self.send_response(200)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Content-Length", str(len(answer)))
            self.end_headers()
            self.wfile.write(answer)

        do_POST = _record_and_answer
        do_GET = _record_and_answer
        do_PUT = _record_and_answer

        def log_message(self, fmt, *args):
            sys.stderr.write("%s %s\n" % (server_name, fmt % args))

    return Handler


class TlsServer(ThreadingHTTPServer):
    """Handshakes in the request's thread, so a client that refuses the
    certificate is recorded instead of disturbing the accept loop."""

    def __init__(self, address, name, context, recorder):
        super().__init__(address, make_handler(recorder, name))
        self.name = name
        self.context = context
        self.recorder = recorder

    def finish_request(self, request, client_address):
        # A client that checks the host name only after the handshake just
        # closes: this record shows that it got that far.
        self.recorder.record({"server": self.name, "kind": "connected"})
        request.settimeout(15)
        try:
            tls = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError) as error:
            self.recorder.record({"server": self.name, "kind": "tls-error", "error": str(error)})
            return
        try:
            self.RequestHandlerClass(tls, client_address, self)
        finally:
            tls.close()


def stall_loop(listener, recorder, stop):
    def hold(connection):
        connection.settimeout(1)
        deadline = time.monotonic() + STALL_HOLD_S
        received = 0
        try:
            while time.monotonic() < deadline and not stop.is_set():
                try:
                    data = connection.recv(65536)
                except socket.timeout:
                    continue
                if not data:
                    break
                received += len(data)
        except OSError:
            pass
        finally:
            connection.close()
        recorder.record({"server": "stall", "kind": "released", "bytes": received})

    listener.settimeout(1)
    while not stop.is_set():
        try:
            connection, _ = listener.accept()
        except socket.timeout:
            continue
        except OSError:
            break
        recorder.record({"server": "stall", "kind": "accepted"})
        threading.Thread(target=hold, args=(connection,), daemon=True).start()


def serve(directory):
    recorder = Recorder(directory)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())

    # A launcher built with a fixed telemetry address needs the plain server on that port.
    http_port = int(os.environ.get("KVT_LOOPBACK_HTTP_PORT", "0"))
    http_server = ThreadingHTTPServer(("127.0.0.1", http_port), make_handler(recorder, "http"))
    tls_servers = []
    for name, certificate in (("https", "cert"), ("https-named", "named"), ("https-misnamed", "misnamed")):
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(os.path.join(directory, certificate + ".pem"),
                                os.path.join(directory, certificate + "-key.pem"))
        tls_servers.append(TlsServer(("127.0.0.1", 0), name, context, recorder))
    for server in [http_server] + tls_servers:
        server.daemon_threads = True
        threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True).start()

    stall = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    stall.bind(("127.0.0.1", 0))
    stall.listen(16)
    threading.Thread(target=stall_loop, args=(stall, recorder, stop), daemon=True).start()

    closed = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    closed.bind(("127.0.0.1", 0))

    ports = {"http": http_server.server_address[1]}
    ports.update((server.name, server.server_address[1]) for server in tls_servers)
    ports.update({
        "stall": stall.getsockname()[1],
        "closed": closed.getsockname()[1],
    })
    temporary = os.path.join(directory, "ports.tmp")
    with open(temporary, "w", encoding="ascii") as f:
        for name, port in ports.items():
            f.write("%s=%d\n" % (name, port))
    os.replace(temporary, os.path.join(directory, "ports"))

    started = time.monotonic()
    while not stop.is_set():
        now = time.monotonic()
        if now - recorder.last_activity > IDLE_LIMIT_S or now - started > LIFETIME_LIMIT_S:
            sys.stderr.write("stopping by itself\n")
            break
        stop.wait(0.5)
    stop.set()
    for server in [http_server] + tls_servers:
        server.shutdown()
    for s in (stall, closed):
        s.close()
    os.unlink(os.path.join(directory, "ports"))


def read_pid(directory):
    try:
        with open(os.path.join(directory, "pid"), encoding="ascii") as f:
            return int(f.read().strip())
    except (OSError, ValueError):
        return None


def is_our_server(pid, directory):
    # A pid file can outlive its process and the number be reused: only ever
    # signal a process that is this script serving this directory.
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            arguments = f.read().split(b"\0")
    except OSError:
        return False
    return (os.fsencode(os.path.abspath(__file__)) in arguments and b"serve" in arguments
            and os.fsencode(directory) in arguments)


def stop_server(directory):
    pid = read_pid(directory)
    if pid is None:
        return
    if not is_our_server(pid, directory):
        os.unlink(os.path.join(directory, "pid"))
        return
    try:
        os.kill(pid, signal.SIGTERM)
        for _ in range(100):
            os.kill(pid, 0)
            time.sleep(0.1)
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    try:
        os.unlink(os.path.join(directory, "pid"))
    except OSError:
        pass


def make_certificate(directory, openssl, name, subject, alt_names, issuer=None):
    """DIR/<name>.pem and DIR/<name>-key.pem; self-signed unless an issuer is named."""
    command = [openssl, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
               "-keyout", os.path.join(directory, name + "-key.pem"),
               "-out", os.path.join(directory, name + ".pem"), "-subj", subject]
    if alt_names:
        command += ["-addext", "subjectAltName=" + alt_names]
    if issuer:
        command += ["-CA", os.path.join(directory, issuer + ".pem"),
                    "-CAkey", os.path.join(directory, issuer + "-key.pem"),
                    "-addext", "basicConstraints=critical,CA:FALSE"]
    subprocess.run(command, check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def make_certificates(directory, openssl):
    make_certificate(directory, openssl, "cert", "/CN=localhost", NAMED_HOSTS)
    make_certificate(directory, openssl, "ca", "/CN=KVT Loopback Test Authority", None)
    make_certificate(directory, openssl, "named", "/CN=localhost", NAMED_HOSTS, issuer="ca")
    make_certificate(directory, openssl, "misnamed", "/CN=" + MISNAMED_HOST, "DNS:" + MISNAMED_HOST, issuer="ca")


def start(directory, openssl):
    stop_server(directory)
    os.makedirs(directory, exist_ok=True)
    for name in os.listdir(directory):
        if name.endswith(".body") or name in ("records.jsonl", "ports", "ports.tmp", "server.log"):
            os.unlink(os.path.join(directory, name))

    make_certificates(directory, openssl)

    # Detached from our output: ctest waits for every holder of a test's pipes.
    with open(os.path.join(directory, "server.log"), "ab") as log:
        process = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", directory],
                                   stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
    with open(os.path.join(directory, "pid"), "w", encoding="ascii") as f:
        f.write(str(process.pid))

    ports_path = os.path.join(directory, "ports")
    deadline = time.monotonic() + START_TIMEOUT_S
    while time.monotonic() < deadline:
        if os.path.exists(ports_path):
            with open(ports_path, encoding="ascii") as f:
                print("loopback servers ready: " + " ".join(f.read().split()))
            return 0
        if process.poll() is not None:
            break
        time.sleep(0.1)
    sys.stderr.write("loopback servers did not start; see %s\n" % os.path.join(directory, "server.log"))
    stop_server(directory)
    return 1


def main():
    if len(sys.argv) not in (3, 4) or sys.argv[1] not in ("start", "stop", "serve"):
        sys.stderr.write(__doc__)
        return 2
    command, directory = sys.argv[1], os.path.abspath(sys.argv[2])
    if command == "start":
        return start(directory, sys.argv[3] if len(sys.argv) == 4 else "openssl")
    if command == "stop":
        stop_server(directory)
        return 0
    serve(directory)
    return 0


if __name__ == "__main__":
    sys.exit(main())
