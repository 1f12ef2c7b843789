#!/usr/bin/env python3
"""catalogue_server.py DIR PORTFILE: serves DIR on 127.0.0.1 (a free port,
written to PORTFILE) for the catalogue tests. Names that end in
stall.json or stall.dat never answer, nor does slowsig.json.sig;
redirect-ftp.dat sends a redirect to ftp://, redirect-host.dat one to
demo_stream.dat beside it on the host "localhost"; error.json.sig answers 500;
NAME-longer.dat sends NAME.dat and more, without a length, then stalls;
trickle.dat sends a byte every quarter second, never stalling nor ending.
Ends by itself after ten minutes."""
import functools
import http.server
import sys
import threading
import time

LIFETIME_S = 600
STALL_S = 120
TRICKLE_S = 0.25


class Handler(http.server.SimpleHTTPRequestHandler):
    def do_GET(self):
        if self.path.endswith(("stall.json", "stall.dat", "slowsig.json.sig")):
            time.sleep(STALL_S)
            return
        if self.path.endswith("trickle.dat"):
            self.send_response(200)
            # Typed, or a browser holds the first bytes back to sniff a type.
            self.send_header("Content-Type", "application/octet-stream")
            self.end_headers()
            for _ in range(int(STALL_S / TRICKLE_S)):
                self.wfile.write(b"\0")
                self.wfile.flush()
                time.sleep(TRICKLE_S)
            return
        if self.path.endswith("error.json.sig"):
            self.send_error(500)
            return
        if self.path.endswith("-longer.dat"):
            with open(self.translate_path(self.path[: -len("-longer.dat")] + ".dat"), "rb") as f:
                body = f.read()
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.end_headers()
            self.wfile.write(body + bytes(4096))
            self.wfile.flush()
            time.sleep(STALL_S)
            return
        if self.path.endswith("redirect-ftp.dat"):
            self.send_response(302)
            self.send_header("Location", "ftp://127.0.0.1/demo_stream.dat")
            self.end_headers()
            return
        if self.path.endswith("redirect-host.dat"):
            self.send_response(302)
            port = self.server.server_address[1]
            self.send_header("Location", f"http://localhost:{port}{self.path[:-len('redirect-host.dat')]}demo_stream.dat")
            self.end_headers()
            return
        super().do_GET()

    def log_message(self, *args):
        pass


def main():
    directory, port_file = sys.argv[1], sys.argv[2]
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Handler, directory=directory))
    server.daemon_threads = True
    with open(port_file, "w") as f:
        f.write(str(server.server_address[1]))
    threading.Timer(LIFETIME_S, server.shutdown).start()
    server.serve_forever()


main()
