#!/usr/bin/env python3
"""Serves a folder on 127.0.0.1 with the headers that make a page
cross-origin isolated (COOP/COEP), which browsers ask before they give a page
shared memory and so threads. Prints the address.

    serve.py FOLDER [--port N]    (N = 0 picks a free port)
"""
import argparse
import functools
import http.server
import sys


class IsolatedHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {
        **http.server.SimpleHTTPRequestHandler.extensions_map,
        ".wasm": "application/wasm",
        ".js": "text/javascript",
        ".data": "application/octet-stream",
    }

    def end_headers(self):
        self.send_header("Cross-Origin-Opener-Policy", "same-origin")
        self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        self.send_header("Cross-Origin-Resource-Policy", "same-origin")
        self.send_header("Cache-Control", "no-cache")
        super().end_headers()

    def log_message(self, format, *args):
        if self.server.quiet:
            return
        super().log_message(format, *args)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--port", type=int, default=8131)
    parser.add_argument("--quiet", action="store_true")
    args = parser.parse_args()
    handler = functools.partial(IsolatedHandler, directory=args.folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), handler)
    server.quiet = args.quiet
    host, port = server.server_address
    print(f"Serving {args.folder} at http://{host}:{port}/ (Ctrl-C stops)", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
