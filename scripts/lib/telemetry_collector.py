#!/usr/bin/env python3
"""The demo's telemetry collector: telemetry_collector.py PORT FILE

Listens on 127.0.0.1:PORT, where the demo's launchers post their events, answers
every POST with 200 and appends each request to FILE as it arrives: the method
with the path and query, the headers in the order they came, the body. Exits 1
with a message when the port is taken.
"""
import sys
from http.server import BaseHTTPRequestHandler, HTTPServer


class Collector(BaseHTTPRequestHandler):
    # HTTP/1.0: one request per connection, so a client's idle connection never
    # keeps this single-threaded server from the next one.
    protocol_version = "HTTP/1.0"

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0))
        lines = ["%s %s" % (self.command, self.path)]
        lines += ["  %s: %s" % item for item in self.headers.items()]
        lines.append("  " + body.decode("utf-8", "backslashreplace"))
        with open(sys.argv[2], "a", encoding="utf-8") as out:
            out.write("\n".join(lines) + "\n")
        self.send_response(200)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def log_message(self, *args):
        pass  # the file above is the record; nothing on the demo's terminal


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    try:
        server = HTTPServer(("127.0.0.1", int(sys.argv[1])), Collector)
    except OSError as error:
        sys.exit("telemetry collector: cannot listen on 127.0.0.1:%s (%s)" % (sys.argv[1], error.strerror))
    open(sys.argv[2], "w").close()  # the demo waits for this file: listening from here on
    server.serve_forever()


if __name__ == "__main__":
    main()
