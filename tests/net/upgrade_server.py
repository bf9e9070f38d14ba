#!/usr/bin/env python3
"""A small upgrade server on loopback for the fetch tests.

usage: upgrade_server.py ROOT

Serves the files under ROOT; the first line on standard output is the port.
Every request's path is appended to ROOT/requests.log. ROOT/rules.json, read
at every request, may give a path a behaviour other than a plain answer:

  {"mode": "slow", "pieces": N, "interval": S}   the body in N pieces, S s apart
  {"mode": "stall", "after": N}                  N bytes of the body, then silence
  {"mode": "flood", "bytes": N}                  N bytes without a length, then close
  {"mode": "redirect", "to": URL}                302 to URL
  {"mode": "status", "code": N}                  an empty answer with status N
  {"mode": "trickle", "interval": S, "for": T}   the file's length announced, then
                                                 one byte every S s, for T s at most

The server ends when its standard input closes (the test ended) or it is killed.
"""
import http.server
import json
import os
import sys
import threading
import time

ROOT = sys.argv[1]


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def do_GET(self):
        path = self.path.split("?", 1)[0]
        with open(os.path.join(ROOT, "requests.log"), "a") as log:
            log.write(path + "\n")
        rules = {}
        try:
            with open(os.path.join(ROOT, "rules.json")) as f:
                rules = json.load(f)
        except FileNotFoundError:
            pass
        rule = rules.get(path, {})
        mode = rule.get("mode", "plain")
        if mode == "redirect":
            self.send_response(302)
            self.send_header("Location", rule["to"])
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if mode == "status":
            self.send_response(rule["code"])
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if mode == "flood":
            self.send_response(200)
            self.end_headers()
            chunk = b"x" * 65536
            left = rule["bytes"]
            try:
                while left > 0:
                    n = min(left, len(chunk))
                    self.wfile.write(chunk[:n])
                    left -= n
            except OSError:
                pass
            return
        local = os.path.normpath(os.path.join(ROOT, path.lstrip("/")))
        if not local.startswith(os.path.abspath(ROOT)) or not os.path.isfile(local):
            self.send_error(404)
            return
        with open(local, "rb") as f:
            body = f.read()
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        try:
            if mode == "slow":
                pieces = rule["pieces"]
                size = (len(body) + pieces - 1) // pieces
                for i in range(pieces):
                    self.wfile.write(body[i * size:(i + 1) * size])
                    self.wfile.flush()
                    if i + 1 < pieces:
                        time.sleep(rule["interval"])
            elif mode == "trickle":
                end = time.monotonic() + rule["for"]
                for b in body:
                    if time.monotonic() >= end:
                        break
                    self.wfile.write(bytes([b]))
                    self.wfile.flush()
                    time.sleep(rule["interval"])
            elif mode == "stall":
                self.wfile.write(body[:rule["after"]])
                self.wfile.flush()
                time.sleep(60)
            else:
                self.wfile.write(body)
        except OSError:
            pass


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


def main():
    ROOT_ABS = os.path.abspath(ROOT)
    os.chdir(ROOT_ABS)
    server = Server(("127.0.0.1", 0), Handler)
    print(server.server_address[1], flush=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    sys.stdin.read()  # until the test closes the pipe
    server.shutdown()


if __name__ == "__main__":
    main()
