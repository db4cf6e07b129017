"""A local FTP server for the upload tests and benchmarks.

Listens on 127.0.0.1 (or ::1) on a free port and writes that port to
--port-file once it accepts connections. It ends when --stop-file appears,
after --lifetime seconds, or at once when a behaviour below says so, so that a
test that dies never leaves it running for long.

Behaviours (--mode):
  normal  a pyftpdlib server with one user whose home is --root;
  silent  accepts TCP connections and never sends a byte;
  stall   like normal, but stops reading an upload after --stall-after bytes.
--die-after BYTES ends the whole process abruptly once an upload has brought
that many bytes, as if the server machine had gone away.
--read-limit BYTES_PER_SECOND slows uploads down.
"""
import argparse
import os
import socket
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler, DTPHandler
from pyftpdlib.servers import FTPServer


def write_port(path, port):
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        f.write("%d\n" % port)
    os.replace(tmp, path)


def run_silent(args, family, host):
    listener = socket.socket(family, socket.SOCK_STREAM)
    listener.bind((host, 0))
    listener.listen(16)
    listener.settimeout(0.05)
    write_port(args.port_file, listener.getsockname()[1])
    held = []
    deadline = time.monotonic() + args.lifetime
    while time.monotonic() < deadline and not os.path.exists(args.stop_file):
        try:
            conn, _ = listener.accept()
            held.append(conn)  # keep it open, say nothing
        except socket.timeout:
            pass
    os._exit(0)


def run_ftp(args, host):
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")

    base = ThrottledDTPHandler if args.read_limit else DTPHandler
    stalled = []

    class TestDTPHandler(base):
        if args.read_limit:
            read_limit = args.read_limit

        def handle_read(self):
            base.handle_read(self)
            received = self.tot_bytes_received
            if args.die_after and received >= args.die_after:
                os._exit(3)
            if args.mode == "stall" and received >= args.stall_after and self not in stalled:
                stalled.append(self)  # keep the socket open but never read it again
                self.del_channel()

    handler = FTPHandler
    handler.authorizer = authorizer
    handler.dtp_handler = TestDTPHandler
    handler.passive_ports = None
    handler.banner = "Quendrel test server ready."
    server = FTPServer((host, 0), handler)
    write_port(args.port_file, server.socket.getsockname()[1])

    started = time.monotonic()

    def check_stop():
        if os.path.exists(args.stop_file) or time.monotonic() - started > args.lifetime:
            os._exit(0)

    server.ioloop.call_every(0.05, check_stop)
    server.serve_forever(handle_exit=False)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--root", required=True)
    p.add_argument("--user", default="scanner")
    p.add_argument("--password", default="secret")
    p.add_argument("--port-file", required=True)
    p.add_argument("--stop-file", required=True)
    p.add_argument("--log-file")
    p.add_argument("--mode", choices=["normal", "silent", "stall"], default="normal")
    p.add_argument("--ipv6", action="store_true")
    p.add_argument("--read-limit", type=int, default=0)
    p.add_argument("--stall-after", type=int, default=256 * 1024)
    p.add_argument("--die-after", type=int, default=0)
    p.add_argument("--lifetime", type=float, default=600.0)
    args = p.parse_args()

    import logging
    logging.basicConfig(filename=args.log_file or os.devnull, level=logging.INFO)

    host = "::1" if args.ipv6 else "127.0.0.1"
    family = socket.AF_INET6 if args.ipv6 else socket.AF_INET
    if args.mode == "silent":
        run_silent(args, family, host)
    else:
        run_ftp(args, host)


if __name__ == "__main__":
    sys.exit(main())
