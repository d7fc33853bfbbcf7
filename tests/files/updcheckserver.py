#!/usr/bin/env python3
"""Local stand-in for the update endpoint, on 127.0.0.1.

Prints its port, then serves until killed. Every POST is recorded in
<dir>/request (the Content-Type header, a line feed, the body) and answered
with the bytes of <dir>/reply; while <dir>/hang exists it sends no answer.
"""
import argparse
import http.server
import os
import sys
import time


class Handler(http.server.BaseHTTPRequestHandler):
    folder = None

    def log_message(self, *args):
        pass

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get('Content-Length', '0')))
        with open(os.path.join(self.folder, 'request'), 'wb') as f:
            f.write(self.headers.get('Content-Type', '').encode() + b'\n' + body)
        while os.path.exists(os.path.join(self.folder, 'hang')):
            time.sleep(0.05)
        with open(os.path.join(self.folder, 'reply'), 'rb') as f:
            reply = f.read()
        self.send_response(200)
        self.send_header('Content-Type', 'text/xml')
        self.send_header('Content-Length', str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)


def main():
    p = argparse.ArgumentParser()
    p.add_argument('--dir', required=True)
    Handler.folder = p.parse_args().dir
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Handler)
    server.daemon_threads = True
    sys.stdout.write('%d\n' % server.server_address[1])
    sys.stdout.flush()
    server.serve_forever()


if __name__ == '__main__':
    main()
