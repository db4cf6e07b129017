#!/usr/bin/env python3
"""Two PCs of one location press Send Data in the same minute.

Each PC is the real Quendrel.exe (x86-64 build) in a Wine prefix and working
folder of its own, with the same REGCODE and 20,000 pending scans of its own;
the FTP test server takes 250 KB/s of each upload, so that the stores meet.
Each round starts both, presses Send Data in both at once late in a minute,
waits for both logs to end and closes them. It fails when a PC that said
"<name> File Sent." has not that very batch on the server, a PC that did not
send lost a pending scan, a scan is on the server twice, or a temporary file
or claim is left there. Run by CTest beside the other suites (with a display,
prefixes and server of its own), and for many rounds by bench/two_pcs.sh.
  two_pcs.py --build BUILD_WIN64 [--rounds N] [--records N] [--rate BYTES]
"""
import argparse
import collections
import os
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE, WINESERVER = "/usr/lib/wine/wine64", "/usr/lib/wine/wineserver"
SENT = re.compile(r"^(\d{10}X1\.TXT) File Sent\.$")


def clone_prefix(source, target):
    """Windows' own files shared by hard links (nothing writes them), the
    rest, the registry above all, copied."""
    os.makedirs(os.path.dirname(target), exist_ok=True)
    subprocess.run(["cp", "-al", source, target], check=True)
    for folder, dirs, files in os.walk(target):
        if folder == os.path.join(target, "drive_c", "windows"):
            dirs.clear()
            continue
        for path in (os.path.join(folder, name) for name in files):
            if not os.path.islink(path):
                shutil.copy2(path, path + ".copy")
                os.replace(path + ".copy", path)


class Pc:
    def __init__(self, a, display, number):
        self.a, self.number = a, number
        self.prefix, self.work = (os.path.join(a.dir, "pc%d" % number, d) for d in ("prefix", "work"))
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all", DISPLAY=display,
                        WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d")
        clone_prefix(os.path.join(a.build, "wineprefix"), self.prefix)
        os.makedirs(self.work)
        subprocess.run([WINESERVER, "-p"], env=self.env)
        # Wine's own background programs start now, so that none of them
        # holds the output of a command below open.
        subprocess.run([WINE, "wineboot"], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    def wine(self, *argv, **kw):
        return subprocess.run([WINE, *argv], env=self.env, cwd=self.work, stdin=subprocess.DEVNULL,
                              capture_output=True, **kw)

    def start(self, round_number):
        stamp = time.strftime("%y%m%d%H%M%S").encode()
        self.records = [b"UP%dR%03dN%011d" % (self.number, round_number, n) + b"X1" + stamp + b"510" + b" " * 10
                        for n in range(self.a.records)]
        with open(os.path.join(self.work, "savedata.dat"), "wb") as f:
            f.write(b"".join(r + b"\r\n" for r in self.records))
        self.app = subprocess.Popen([WINE, os.path.join(self.a.build, "Quendrel.exe")], env=self.env, cwd=self.work,
                                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(300):
            if self.texts()[0] == 0:
                return
            time.sleep(0.2)
        raise RuntimeError("PC %d: Quendrel's window did not appear" % self.number)

    def texts(self):
        r = self.wine(os.path.join(self.a.build, "window_driver.exe"), "texts", timeout=60)
        return r.returncode, r.stdout.decode("latin-1")

    def outcome(self):
        """The upload log's last line and a message box's text, once the run has ended."""
        code, texts = self.texts()
        last = texts.split("== upload-log ", 1)[-1].split("\n== ", 1)[0].strip().split("\n")[-1]
        if code == 2 or SENT.match(last) or last.startswith("Not sent: "):
            return last, texts.split("== dialog\n", 1)[-1].strip() if code == 2 else ""
        return None

    def stop(self):
        self.wine(os.path.join(self.a.build, "window_driver.exe"), "close", timeout=60)
        self.app.wait(timeout=30)


def round_of(number, pcs, a, incoming, pending, counts):
    for pc in pcs:
        pc.start(number)
    # Late in a minute of its own (no batch of it on the server yet): the
    # next minute, which a PC that finds the name taken goes on to, is near.
    time.sleep((a.press_at - time.time() % 60) % 60)
    while any(name.startswith(time.strftime("%y%m%d%H%M")) for name in os.listdir(incoming)):
        time.sleep(60)
    minute = time.strftime("%y%m%d%H%M")
    for press in [subprocess.Popen([WINE, os.path.join(a.build, "window_driver.exe"), "send-data"], env=pc.env)
                  for pc in pcs]:
        press.wait(timeout=60)
    ended, failures, said = {}, [], []
    deadline = time.monotonic() + 150
    while len(ended) < len(pcs) and time.monotonic() < deadline:
        for pc in pcs:
            outcome = None if pc in ended else pc.outcome()
            if outcome:
                ended[pc] = outcome
        time.sleep(0.3)
    for pc in pcs:
        last, message = ended.get(pc, ("(no end within 150 s)", ""))
        said.append("PC %d: %s%s" % (pc.number, last, " [%s]" % message if message else ""))
        pc.stop()
        sent, left = SENT.match(last), os.path.join(pc.work, "savedata.dat")
        if sent:
            counts["sent"] += 1
            counts["under the next minute's name"] += sent.group(1)[:10] != minute
            with open(os.path.join(pc.work, sent.group(1)), "rb") as kept, \
                    open(os.path.join(incoming, sent.group(1)), "rb") as stored:
                if kept.read() != stored.read():
                    failures.append("PC %d said %s, and the server holds another batch" % (pc.number, last))
        else:
            counts["refused"] += 1
            with open(left, "rb") as f:
                if f.read() != b"".join(r + b"\r\n" for r in pc.records):
                    failures.append("PC %d did not send, and its pending scans changed" % pc.number)
            pending.update(pc.records)
        for name in os.listdir(pc.work):  # the next round starts with nothing of this one
            os.remove(os.path.join(pc.work, name))
    on_server = collections.Counter()
    for name in os.listdir(incoming):
        if not name.endswith(".TXT"):
            failures.append("left on the server: " + name)
            continue
        with open(os.path.join(incoming, name), "rb") as f:
            on_server.update(f.read().split(b"\r\n")[1:-2])
    failures += ["on the server %d times: %r" % (n, r) for r, n in on_server.items() if n > 1]
    failures += ["on the server and pending: %r" % r for r in pending if r in on_server]
    print("round %d: %s; the server holds %d scans" % (number, "; ".join(said), len(on_server)), flush=True)
    for failure in failures:
        print("FAIL: " + failure, flush=True)
    return failures


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--build", required=True, help="the x86-64 build tree")
    p.add_argument("--rounds", type=int, default=1)
    p.add_argument("--records", type=int, default=20000)
    p.add_argument("--rate", type=int, default=250000, help="bytes a second the server takes of an upload")
    p.add_argument("--press-at", type=float, default=45.0, help="the second of a minute at which both press")
    a = p.parse_args()
    a.build = os.path.abspath(a.build)
    a.dir = os.path.join(a.build, "two-pcs")
    shutil.rmtree(a.dir, ignore_errors=True)
    incoming = os.path.join(a.dir, "ftp", "in")
    os.makedirs(incoming)
    subprocess.run(["bash", os.path.join(ROOT, "scripts", "wine-prefix.sh"), os.path.join(a.build, "wineprefix")],
                   check=True, stdout=subprocess.DEVNULL)
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp"], pass_fds=(write_end,),
                            stderr=subprocess.DEVNULL)
    os.close(write_end)
    display = ":" + os.fdopen(read_end).readline().strip()
    port_file = os.path.join(a.dir, "ftp.port")
    server = subprocess.Popen(["/usr/bin/python3", os.path.join(ROOT, "tests", "support", "ftp_test_server.py"),
                               "--root", os.path.dirname(incoming), "--user", "pcs", "--password", "pcs-pw",
                               "--port-file", port_file, "--stop-file", os.path.join(a.dir, "ftp.stop"),
                               "--read-limit", str(a.rate), "--lifetime", "7200"])
    pcs = []
    try:
        pcs = [Pc(a, display, 1), Pc(a, display, 2)]
        while not os.path.exists(port_file):
            time.sleep(0.05)
        # One location.reg for both, as the package puts one REGCODE on every PC.
        pcs[0].wine(os.path.join(a.build, "tools", "makereg.exe"), "--host", "127.0.0.1:" + open(port_file).read().strip(),
                    "--user", "pcs", "--password", "pcs-pw", "--remote-path", "/in/", "--location", "X1",
                    "--output", "Z:" + a.dir.replace("/", "\\") + "\\location.reg", check=True)
        for pc in pcs:
            pc.wine("regedit", "/S", "Z:" + a.dir.replace("/", "\\") + "\\location.reg", check=True)
        pending, counts, failures = set(), collections.Counter(), []
        for number in range(1, a.rounds + 1):
            failures += round_of(number, pcs, a, incoming, pending, counts)
    finally:
        for pc in pcs:
            subprocess.run([WINESERVER, "-k"], env=pc.env)
        server.kill()
        xvfb.kill()
    print("%d rounds: %s; %d scans pending; %d failures"
          % (a.rounds, ", ".join("%d %s" % (n, what) for what, n in counts.items()), len(pending), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
