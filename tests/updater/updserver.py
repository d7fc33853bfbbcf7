#!/usr/bin/env python3
"""Local stand-in for the update server: serves a folder on 127.0.0.1.

Prints the port it listens on, then serves until killed. Every requested path
is appended to the log file. While the hold file exists, file requests other
than "files.xml" wait, so a test can act while a download is in flight.
"""
import argparse
import functools
import http.server
import os
import sys
import time


class Handler(http.server.SimpleHTTPRequestHandler):
    log_path = None
    hold_path = None

    def log_message(self, *args):
        pass

    def do_GET(self):
        if self.log_path:
            with open(self.log_path, 'a') as f:
                f.write(self.path + '\n')
        if self.hold_path and not self.path.endswith('/files.xml'):
            while os.path.exists(self.hold_path):
                time.sleep(0.01)
        super().do_GET()


def main():
    p = argparse.ArgumentParser()
    p.add_argument('--root', required=True)
    p.add_argument('--log')
    p.add_argument('--hold')
    a = p.parse_args()
    Handler.log_path = a.log
    Handler.hold_path = a.hold
    handler = functools.partial(Handler, directory=a.root)
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
    sys.stdout.write('%d\n' % server.server_address[1])
    sys.stdout.flush()
    server.serve_forever()


if __name__ == '__main__':
    main()
