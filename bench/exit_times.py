#!/usr/bin/env python3
"""How long Exit takes in each phase of an upload (run by bench/exit_times.sh).

The real Quendrel.exe (x86-64 build) under 64-bit Wine, with a location whose
FTP test server holds the upload in one phase: the connection that is never
accepted, a reply that never comes, a store the server stops reading, the
confirmation of a store that the server reads slowly, and a QUIT that is never
answered. In each, once Send Data is in that phase, the window is closed (as
File > Exit and the close box do) and the time until the process is gone is
taken. Fails when one takes a second or more.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WINE = "/usr/lib/wine/wine64"
RECORD = b"UP1ABCD23E45F678901X1011108090507510          \r\n"


def commands_in(log):
    return open(log).read().split("\n") if os.path.exists(log) else []


# name, the server's options, scans pending, when the phase has come, and
# whether the batch is sent by then
PHASES = [
    ("connecting", ["--mode", "deaf"], 1, lambda log, t: t > 2, False),
    ("a reply", ["--mode", "silent"], 1, lambda log, t: t > 2, False),
    ("the store", ["--mode", "stall", "--stall-after", "65536"], 200000,
     lambda log, t: any(c.startswith("STOR") for c in commands_in(log)) and t > 3, False),
    ("the wait for the confirmation", ["--mode", "vsftpd", "--read-limit", "2000"], 2000, lambda log, t: t > 5, False),
    ("the final QUIT", ["--swallow-quit"], 1, lambda log, t: "QUIT" in commands_in(log), True),
]


def main():
    build = os.path.abspath(sys.argv[1])
    env = dict(os.environ, WINEPREFIX=os.path.join(build, "wineprefix"), WINEDEBUG="-all",
               WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d")
    slow = []
    wanted = sys.argv[2:]  # names of phases to try; all by default
    for name, options, records, reached, sent in PHASES:
        if wanted and not any(w in name for w in wanted):
            continue
        run = tempfile.mkdtemp(prefix="exit-")
        os.chmod(run, 0o755)  # vsftpd serves the folder as its own user
        os.makedirs(os.path.join(run, "root", "in"))
        os.makedirs(os.path.join(run, "work"))
        log = os.path.join(run, "commands")
        server = subprocess.Popen(["/usr/bin/python3", os.path.join(ROOT, "tests", "support", "ftp_test_server.py"),
                                   "--root", os.path.join(run, "root"), "--user", "exit", "--password", "exit-pw",
                                   "--port-file", os.path.join(run, "port"), "--stop-file", os.path.join(run, "stop"),
                                   "--command-log", log, "--pin-file", os.path.join(run, "pin"), "--lifetime", "120", *options],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(400):
            if os.path.exists(os.path.join(run, "port")):
                break
            time.sleep(0.05)
        else:
            raise RuntimeError("the FTP test server for %s did not start" % name)
        user = "anonymous" if "vsftpd" in options else "exit"
        wine = lambda *argv, **kw: subprocess.run([WINE, *argv], env=env, cwd=os.path.join(run, "work"),
                                                  stdin=subprocess.DEVNULL, capture_output=True, **kw)
        wine(os.path.join(build, "tools", "makereg.exe"), "--host", "127.0.0.1:" + open(os.path.join(run, "port")).read().strip(),
             "--user", user, "--password", "exit-pw", "--remote-path", "/in/", "--location", "X1", check=True)
        wine("regedit", "/S", "location.reg", check=True)
        with open(os.path.join(run, "work", "savedata.dat"), "wb") as f:
            f.write(RECORD * records)
        app = subprocess.Popen([WINE, os.path.join(build, "Quendrel.exe")], env=env, cwd=os.path.join(run, "work"),
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        driver = os.path.join(build, "window_driver.exe")
        while wine(driver, "texts").returncode != 0:
            time.sleep(0.2)
        wine(driver, "send-data")
        pressed = time.monotonic()
        while not reached(log, time.monotonic() - pressed):
            time.sleep(0.1)
        wine(driver, "close")  # returns once the close is posted
        closed = time.monotonic()
        app.wait(timeout=60)
        took = time.monotonic() - closed
        left = os.path.join(run, "work", "savedata.dat")
        kept = (not os.path.exists(left)) if sent else open(left, "rb").read() == RECORD * records
        print("Exit during %-31s %.2f s%s" % (name + ":", took, "" if kept else "  (savedata.dat is not as it should be!)"),
              flush=True)
        if took >= 1 or not kept:
            slow.append(name)
        server.kill()
        shutil.rmtree(run, ignore_errors=True)
    return 1 if slow else 0


if __name__ == "__main__":
    sys.exit(main())
