#!/usr/bin/env python3
"""Loopback servers for the HTTP client tests: loopback_server.py start DIR [OPENSSL] | stop DIR

start makes the certificates (with that openssl) and starts in the background, on 127.0.0.1,
the servers whose ports it writes to DIR/ports (KVT_LOOPBACK_HTTP_PORT fixes http's): http
answers 200 (/redirect/X: 302 to /redirected/X); https, the same behind TLS, has a certificate
for 127.0.0.1 alone (not localhost) from a test authority, DIR/ca.pem; stall answers nothing for
a minute; closed refuses connections. Each request (and each connection to https and stall) is
a JSON line in DIR/records.jsonl, body in DIR/<seq>.body, written before the answer. stop (a
POST to /quit on http) or an hour stops them, so a test run that dies never leaves them for long.
"""
import http.client
import itertools
import json
import os
import shutil
import socket
import ssl
import subprocess
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

lock = threading.Lock()
sequence = itertools.count(1)
stop = threading.Event()


def record(directory, entry, body=b""):
    with lock:
        entry["seq"] = next(sequence)
        with open(os.path.join(directory, "%d.body" % entry["seq"]), "wb") as f:
            f.write(body)
        with open(os.path.join(directory, "records.jsonl"), "a", encoding="utf-8") as f:
            f.write(json.dumps(entry) + "\n")


class Server(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, directory, name, port=0):
        self.directory, self.name, self.context = directory, name, None
        if name == "https":
            self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            self.context.load_cert_chain(os.path.join(directory, name + ".pem"),
                                         os.path.join(directory, name + "-key.pem"))
        super().__init__(("127.0.0.1", port), Handler)

    def finish_request(self, request, client_address):
        if self.name == "http":
            return super().finish_request(request, client_address)
        # Before the handshake, in the request's own thread: a client that hangs
        # up on the certificate still shows that it got this far.
        record(self.directory, {"server": self.name, "kind": "connection"})
        if self.name == "stall":
            return time.sleep(60)  # answers nothing; the connection is closed after
        try:
            tls = self.context.wrap_socket(request, server_side=True)
        except OSError:
            return
        with tls:
            super().finish_request(tls, client_address)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0))
        record(self.server.directory, {"server": self.server.name, "kind": "request", "method": self.command,
                                       "target": self.path, "headers": list(self.headers.items())}, body)
        redirect = self.path.startswith("/redirect/")
        self.send_response(302 if redirect else 200)
        if redirect:
            self.send_header("Location", "/redirected/" + self.path[len("/redirect/"):])
        self.send_header("Content-Length", "9")
        self.end_headers()
        self.wfile.write(b"recorded\n")
        if self.path == "/quit":
            stop.set()

    do_GET = do_POST  # where a followed 302 would go


def serve(directory):
    servers = [Server(directory, "http", int(os.environ.get("KVT_LOOPBACK_HTTP_PORT", "0"))), Server(directory, "https"),
               Server(directory, "stall")]
    for server in servers:
        threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True).start()
    closed = socket.socket()
    closed.bind(("127.0.0.1", 0))

    ports = {server.name: server.server_address[1] for server in servers}
    ports["closed"] = closed.getsockname()[1]
    with open(os.path.join(directory, "ports.tmp"), "w", encoding="ascii") as f:
        f.write("".join("%s=%d\n" % item for item in ports.items()))
    os.replace(os.path.join(directory, "ports.tmp"), os.path.join(directory, "ports"))
    stop.wait(3600)
    # The next start may want the same fixed port: every socket is let go first.
    for server in servers:
        server.shutdown()
        server.server_close()
    os.unlink(os.path.join(directory, "ports"))


def stop_server(directory):
    ports = os.path.join(directory, "ports")
    try:
        with open(ports, encoding="ascii") as f:
            port = int(dict(line.split("=") for line in f.read().split())["http"])
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
        connection.request("POST", "/quit")
        connection.getresponse().read()
    except (OSError, KeyError, ValueError):
        return  # none running
    for _ in range(100):
        if not os.path.exists(ports):
            return
        time.sleep(0.1)


def make_certificate(directory, openssl, name, host, alt_names=None):
    """DIR/<name>.pem and DIR/<name>-key.pem: issued by DIR/ca.pem when alt names are given, else self-signed."""
    command = [openssl, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=" + host,
               "-keyout", os.path.join(directory, name + "-key.pem"), "-out", os.path.join(directory, name + ".pem")]
    if alt_names:
        command += ["-CA", os.path.join(directory, "ca.pem"), "-CAkey", os.path.join(directory, "ca-key.pem"),
                    "-addext", "subjectAltName=" + alt_names, "-addext", "basicConstraints=critical,CA:FALSE"]
    subprocess.run(command, check=True, stdin=subprocess.DEVNULL, capture_output=True)


def start(directory, openssl="openssl"):
    stop_server(directory)
    shutil.rmtree(directory, ignore_errors=True)
    os.makedirs(directory)
    make_certificate(directory, openssl, "ca", "KVT Loopback Test Authority")
    make_certificate(directory, openssl, "https", "127.0.0.1", "IP:127.0.0.1")
    # Detached from our output: ctest waits for every holder of a test's pipes.
    with open(os.path.join(directory, "server.log"), "wb") as log:
        process = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", directory],
                                   stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
    while process.poll() is None:
        if os.path.exists(os.path.join(directory, "ports")):
            return 0
        time.sleep(0.1)
    sys.stderr.write("loopback servers did not start; see %s\n" % os.path.join(directory, "server.log"))
    return 1


if __name__ == "__main__":
    if len(sys.argv) < 3 or sys.argv[1] not in ("start", "stop", "serve"):
        sys.exit(__doc__)
    command = {"start": start, "stop": stop_server, "serve": serve}[sys.argv[1]]
    sys.exit(command(os.path.abspath(sys.argv[2]), *sys.argv[3:]))
