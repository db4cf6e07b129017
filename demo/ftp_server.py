#!/usr/bin/env python3
"""A local FTP server for the demo location: ftp_server.py HOST PORT USER PASSWORD ROOT."""
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    host, port, user, password, root = sys.argv[1:6]
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmw")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.passive_ports = range(30000, 30100)
    server = FTPServer((host, int(port)), handler)
    server.serve_forever()


if __name__ == "__main__":
    main()
