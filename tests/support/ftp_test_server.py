"""A local FTP server for the upload tests and benchmarks.

Listens on 127.0.0.1 on a free port (or on --port) and writes that port to
--port-file once it accepts connections. It ends when --stop-file appears,
after --lifetime seconds, or at once when a behaviour below says so, so that a
test that dies never leaves it running for long.

Behaviours (--mode):
  normal  a pyftpdlib server with one user whose home is --root;
  silent  accepts TCP connections and never sends a byte;
  deaf    listens, but accepts nothing: a client's connect waits;
  stall   like normal, but stops reading an upload after --stall-after bytes;
  tls     Debian's vsftpd with FTP over TLS required for the login and every
          data connection, for the anonymous user (who may store, rename and
          delete in "in"), with a self-signed certificate made here for
          IP:127.0.0.1; --pin-file gets the SHA-256 of its public key;
  vsftpd  the same vsftpd without TLS (for comparisons); --read-limit sets
          its anon_max_rate.
--die-after BYTES ends the whole process abruptly once an upload has brought
that many bytes, as if the server machine had gone away.
--read-limit BYTES_PER_SECOND slows uploads down, like a slow link: the data
connection's receive buffer is small, so the client's bytes wait on its side.
--refuse-store-after BYTES answers 552 to an upload at that many bytes (quota).
--size-reply CODE is the code of the answer to every SIZE (500, 550).
--refuse-rename answers RNFR with 550, as servers that forbid renames do.
--store-only gives the user the right to store and nothing else (no SIZE,
listing, rename or delete), as "drop box" accounts have it.
--refuse-mkd takes the user the right to make folders, and nothing else.
--lose-rnto-reply renames at the first RNTO, then closes the control
connection without a reply, as if the link had gone at that moment.
--swallow-quit never answers QUIT, and keeps the connection open.
--tls13-only has vsftpd offer TLS 1.3 alone: its TLS 1.2 ciphers are PSK
ones, which need keys that nobody has.
--reply-delay SECONDS sends every reply (the greeting, and a store's final
one, among them) that much later, in order, as over a distant link.
--existing PATH puts a file at PATH (below the root) before the server starts;
it may be given more than once.
--command-log FILE gets every command the server receives, one a line (the
argument of PASS left out).
--check REPORT writes to REPORT one line for each program or system user that
the modes given with --mode (a comma-separated list here) need and this
machine lacks, naming its Debian package, and ends.
"""
import argparse
import importlib.util
import logging
import os
import pwd
import shutil
import socket
import subprocess
import sys
import threading
import time

VSFTPD = "/usr/sbin/vsftpd"


def missing_requirements(modes):
    """What this machine lacks for the modes, one line each."""
    missing = []
    if modes & {"normal", "stall"} and importlib.util.find_spec("pyftpdlib") is None:
        missing.append("the Python module pyftpdlib is missing: install the package python3-pyftpdlib")
    if not modes & {"tls", "vsftpd"}:
        return missing
    if not os.access(VSFTPD, os.X_OK):
        missing.append(VSFTPD + " is missing: install the package vsftpd")
    if shutil.which("openssl") is None:
        missing.append("the program openssl is missing: install the package openssl")
    try:
        pwd.getpwnam("ftp")
    except KeyError:
        missing.append("the system user ftp, whom vsftpd serves anonymous users as, is missing: "
                       "the package vsftpd makes it (apt-get install --reinstall vsftpd)")
    return missing


def write_check(path, modes):
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        f.writelines(line + "\n" for line in missing_requirements(set(modes.split(","))))
    os.replace(tmp, path)


def write_port(path, port):
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        f.write("%d\n" % port)
    os.replace(tmp, path)


def end(args, code):
    # The port file goes first: its absence tells the tests the server is gone.
    try:
        os.remove(args.port_file)
    except OSError:
        pass
    os._exit(code)


def watch_for_stop(args):
    """Ends the process once the stop file appears or the lifetime is over."""
    def watch():
        deadline = time.monotonic() + args.lifetime
        while time.monotonic() < deadline and not os.path.exists(args.stop_file):
            time.sleep(0.02)
        end(args, 0)
    threading.Thread(target=watch, daemon=True).start()


def run_silent(args, host):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind((host, args.port))
    listener.listen(0 if args.mode == "deaf" else 16)
    listener.settimeout(0.05)
    write_port(args.port_file, listener.getsockname()[1])
    watch_for_stop(args)
    held = []
    if args.mode == "deaf":
        # The backlog filled by connections of its own, never accepted.
        for _ in range(4):
            filler = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            filler.setblocking(False)
            filler.connect_ex(listener.getsockname())
            held.append(filler)
        while True:
            time.sleep(1)
    while True:
        try:
            conn, _ = listener.accept()
            held.append(conn)  # keep it open, say nothing
        except socket.timeout:
            pass


VSFTPD_CONFIG = """listen=YES
listen_address={host}
listen_port={port}
background=NO
anonymous_enable=YES
no_anon_password=YES
local_enable=NO
write_enable=YES
anon_root={root}
anon_upload_enable=YES
anon_other_write_enable=YES
anon_mkdir_write_enable=YES
anon_max_rate={rate}
anon_umask=022
ssl_enable={tls}
allow_anon_ssl=YES
force_anon_logins_ssl=YES
force_anon_data_ssl=YES
ssl_ciphers={ciphers}
require_ssl_reuse=NO
rsa_cert_file={dir}/cert.pem
rsa_private_key_file={dir}/key.pem
secure_chroot_dir={dir}/empty
seccomp_sandbox=NO
isolate=NO
isolate_network=NO
pasv_enable=YES
vsftpd_log_file={dir}/vsftpd.log
log_ftp_protocol=YES
xferlog_enable=YES
"""


def free_port(host):
    probe = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    probe.bind((host, 0))
    port = probe.getsockname()[1]
    probe.close()
    return port


def run_vsftpd(args, host):
    folder = os.path.dirname(os.path.abspath(args.port_file))
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30",
                    "-keyout", folder + "/key.pem", "-out", folder + "/cert.pem", "-subj", "/CN=127.0.0.1",
                    "-addext", "subjectAltName=IP:127.0.0.1"], check=True, capture_output=True)
    key = subprocess.run("openssl x509 -in %s/cert.pem -pubkey -noout | openssl pkey -pubin -outform der"
                         " | sha256sum" % folder, shell=True, check=True, capture_output=True)
    with open(args.pin_file, "w") as f:
        f.write(key.stdout.decode().split()[0] + "\n")
    os.makedirs(folder + "/empty", exist_ok=True)
    # vsftpd refuses an anonymous root the anonymous user may write to.
    os.chmod(args.root, 0o755)
    try:
        ftp_user = pwd.getpwnam("ftp")
    except KeyError:
        sys.exit("the system user ftp is missing: the package vsftpd makes it")
    os.chown(os.path.join(args.root, "in"), ftp_user.pw_uid, -1)
    for _ in range(5):
        port = free_port(host)
        with open(folder + "/vsftpd.conf", "w") as f:
            f.write(VSFTPD_CONFIG.format(host=host, port=port, root=args.root, dir=folder, rate=args.read_limit, ciphers="PSK" if args.tls13_only else "HIGH",
                                         tls="YES" if args.mode == "tls" else "NO"))
        server = subprocess.Popen([VSFTPD, folder + "/vsftpd.conf"], stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(200):
            if server.poll() is not None:
                break
            try:
                socket.create_connection((host, port), timeout=1).close()
                break
            except OSError:
                time.sleep(0.02)
        if server.poll() is None:
            break
    write_port(args.port_file, port)
    deadline = time.monotonic() + args.lifetime
    while time.monotonic() < deadline and not os.path.exists(args.stop_file) and server.poll() is None:
        time.sleep(0.02)
    server.kill()
    server.wait()
    end(args, 0)


def run_ftp(args, host):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler, DTPHandler, PassiveDTP
    from pyftpdlib.servers import FTPServer

    authorizer = DummyAuthorizer()
    rights = "w" if args.store_only else "elradfwMT" if args.refuse_mkd else "elradfmwMT"
    authorizer.add_user(args.user, args.password, args.root, perm=rights)

    base = ThrottledDTPHandler if args.read_limit else DTPHandler
    stalled = []

    class TestDTPHandler(base):
        if args.read_limit:
            read_limit = args.read_limit

        def handle_read(self):
            base.handle_read(self)
            received = self.tot_bytes_received
            if args.die_after and received >= args.die_after:
                end(args, 3)
            if args.refuse_store_after and received >= args.refuse_store_after and not self._closed:
                self.transfer_finished = False
                self._resp = ("552 Requested file action aborted. Exceeded storage allocation.", logging.info)
                self.close()
                return
            if args.mode == "stall" and received >= args.stall_after and self not in stalled:
                stalled.append(self)  # keep the socket open but never read it again
                self.del_channel()

        # The loop calls handle_read_event, which the base class binds to
        # its own handle_read.
        handle_read_event = handle_read

    class SlowLinkPassiveDTP(PassiveDTP):
        def listen(self, num):
            # Set before listening, so that the data connection never offers
            # a large window: bytes wait with the client, as on a slow link.
            self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
            PassiveDTP.listen(self, num)

    commands = open(args.command_log, "a", buffering=1) if args.command_log else None
    lost_replies = []

    class TestFTPHandler(FTPHandler):
        def pre_process_command(self, line, cmd, arg):
            if commands:
                commands.write(("PASS" if cmd == "PASS" else line) + "\n")
            return FTPHandler.pre_process_command(self, line, cmd, arg)

        def ftp_SIZE(self, path):
            if args.size_reply:
                return self.respond("%s SIZE is not answered on this server." % args.size_reply)
            return FTPHandler.ftp_SIZE(self, path)

        def ftp_RNFR(self, path):
            if args.refuse_rename:
                return self.respond("550 Renaming is not allowed on this server.")
            return FTPHandler.ftp_RNFR(self, path)

        def respond(self, resp, logfun=logging.debug):
            if not args.reply_delay:
                return FTPHandler.respond(self, resp, logfun)
            # Each reply after the one before it, never sooner than the delay.
            self.reply_due = max(getattr(self, "reply_due", 0.0) + 0.001, time.monotonic() + args.reply_delay)
            self.ioloop.call_later(self.reply_due - time.monotonic(), FTPHandler.respond, self, resp, logfun)

        def ftp_QUIT(self, line):
            if not args.swallow_quit:
                return FTPHandler.ftp_QUIT(self, line)

        def ftp_RNTO(self, path):
            if args.lose_rnto_reply and self._rnfr and not lost_replies:
                lost_replies.append(path)
                self.run_as_current_user(self.fs.rename, self._rnfr, path)
                self._rnfr = None
                return self.close()
            return FTPHandler.ftp_RNTO(self, path)

    for existing in args.existing or []:
        with open(os.path.join(args.root, existing.lstrip("/")), "wb") as f:
            f.write(b"a batch that was here first\r\n")

    handler = TestFTPHandler
    handler.authorizer = authorizer
    handler.dtp_handler = TestDTPHandler
    if args.read_limit:
        handler.passive_dtp = SlowLinkPassiveDTP
    handler.passive_ports = None
    handler.banner = "Quendrel test server ready."
    # Refuse a wrong password at once: pyftpdlib waits 3 s by default, which
    # only slows the tests down and races their response bounds.
    handler.auth_failed_timeout = 0
    server = FTPServer((host, args.port), handler)
    write_port(args.port_file, server.socket.getsockname()[1])

    watch_for_stop(args)
    server.serve_forever(handle_exit=False)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--check")
    p.add_argument("--root")
    p.add_argument("--user", default="scanner")
    p.add_argument("--password", default="secret")
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--port-file")
    p.add_argument("--stop-file")
    p.add_argument("--log-file")
    p.add_argument("--mode", default="normal")
    p.add_argument("--pin-file")
    p.add_argument("--read-limit", type=int, default=0)
    p.add_argument("--stall-after", type=int, default=256 * 1024)
    p.add_argument("--die-after", type=int, default=0)
    p.add_argument("--refuse-store-after", type=int, default=0)
    p.add_argument("--size-reply")
    p.add_argument("--existing", action="append")
    p.add_argument("--refuse-rename", action="store_true")
    p.add_argument("--store-only", action="store_true")
    p.add_argument("--refuse-mkd", action="store_true")
    p.add_argument("--lose-rnto-reply", action="store_true")
    p.add_argument("--swallow-quit", action="store_true")
    p.add_argument("--reply-delay", type=float, default=0.0)
    p.add_argument("--tls13-only", action="store_true")
    p.add_argument("--command-log")
    p.add_argument("--lifetime", type=float, default=600.0)
    args = p.parse_args()
    if args.check:
        write_check(args.check, args.mode)
        return 0
    if not (args.root and args.port_file and args.stop_file):
        p.error("--root, --port-file and --stop-file are needed to serve")
    if args.mode not in ("normal", "silent", "deaf", "stall", "tls", "vsftpd"):
        p.error("unknown mode " + args.mode)

    logging.basicConfig(filename=args.log_file or os.devnull, level=logging.INFO)

    host = "127.0.0.1"
    if args.mode in ("silent", "deaf"):
        run_silent(args, host)
    elif args.mode in ("tls", "vsftpd"):
        run_vsftpd(args, host)
    else:
        run_ftp(args, host)


if __name__ == "__main__":
    sys.exit(main())
