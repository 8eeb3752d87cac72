#!/usr/bin/env python3
"""Serves the demo balance pages on 127.0.0.1 for the install test.

Every GET or POST of /N/orvel-test.html answers with the file
PAGES/N/orvel-test.html, as the operator's login page answers a login with
the balance page. Prints the chosen port on its first line, then serves
until it is ended.

    page_server.py PAGES
"""

import http.server
import os
import sys


class Handler(http.server.BaseHTTPRequestHandler):
    pages = ""

    def answer(self):
        length = int(self.headers.get("Content-Length") or 0)
        if length:
            self.rfile.read(length)  # the login form is not checked
        path = os.path.normpath(self.path.split("?", 1)[0]).lstrip("/")
        file = os.path.join(self.pages, path)
        if path.startswith("..") or not os.path.isfile(file):
            self.send_error(404)
            return
        with open(file, "rb") as f:
            body = f.read()
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=windows-1251")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    do_GET = answer
    do_POST = answer

    def log_message(self, *args):
        pass


def main():
    Handler.pages = os.path.abspath(sys.argv[1])
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
