#!/usr/bin/env python3
"""Crash-and-restart torture run of the real Quendrel.exe (started by bench/torture.sh).

Every round starts the program in the same working folder, picks event 510 and
fires a burst of VIN scans at scanner speed through the X keyboard; then, at a
random moment, the Windows process is killed outright: in the middle of the
scan burst, in the middle of Send Data, or after an upload has finished. Just
before the kill the window's scan list and upload log are read, so that the
run knows which scans the window showed as saved.

After every round the run checks:
  - savedata.dat holds only whole records of the fixed layout, ending in CR LF;
  - every scan the window showed as saved, and every record ever seen on disk,
    is still pending or inside a complete batch on the server (header, count,
    trailer);
  - no scan is twice in pending and on the server at once, except where an
    upload was cut between the server's confirmation and the rewrite of
    savedata.dat (counted apart as "cut duplicates").
"""
import argparse
import collections
import glob
import os
import random
import re
import signal
import string
import subprocess
import sys
import time

LOCATION = "X1"
RECORD = re.compile(rb"UP([A-Z0-9]{17})" + LOCATION.encode() + rb"(\d{12})510 {10}")
# A scan list entry of a saved VIN-only scan: the VIN and twelve blanks, the event.
ENTRY = re.compile(r"(?m)^(TQ[0-9]{8}[A-Z0-9]{7}) {12}\n510 Vehicle Received\n")
TRAILER = b"<<EOF:>>"
MODES = ("scan", "send", "calm")


def log(text):
    print(text, flush=True)


class Run:
    def __init__(self, a):
        self.a = a
        self.env = dict(os.environ, WINEPREFIX=a.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d")
        self.work = os.path.join(a.dir, "work")
        self.incoming = os.path.join(a.dir, "ftp", "incoming")
        self.rng = random.Random(a.seed)
        self.fired = []           # every VIN typed, in order
        self.shown = set()        # VINs the window showed in its scan list
        self.ever_saved = set()   # VINs once seen on disk or on the server
        self.explained = set()    # VINs duplicated by an upload cut before the rewrite
        self.corrupt = set()      # (where, bytes) of every damaged line seen
        self.rounds = 0
        self.failures = 0
        self.setup_keys = 0       # extra keys needed to reach the VIN field after a start
        self.last_texts = ""

    # --- Wine and the window --------------------------------------------------
    def wine(self, *argv, **kw):
        return subprocess.run([self.a.wine, *argv], env=self.env, stdin=subprocess.DEVNULL, **kw)

    def window_texts(self):
        """Blocks of the probe's output by control name; None when no window."""
        r = self.wine(self.a.probe, capture_output=True, timeout=60)
        if r.returncode == 1:
            return None
        blocks, name = {}, None
        self.last_texts = r.stdout.decode("latin-1").replace("\r\n", "\n")
        for line in self.last_texts.split("\n"):
            if line.startswith("== "):
                name = line[3:].split(" ")[0]
                blocks.setdefault(name, "")
            elif name is not None:
                blocks[name] += line + "\n"
        blocks["has-dialog"] = r.returncode == 2
        return blocks

    def xdotool(self, *argv):
        subprocess.run(["xdotool", *argv], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def find_window(self):
        r = subprocess.run(["xdotool", "search", "--name", "^Quendrel$"], capture_output=True, text=True)
        ids = r.stdout.split()
        return ids[0] if ids else None

    def start(self):
        out = open(os.path.join(self.a.dir, "quendrel.log"), "ab")
        app = subprocess.Popen([self.a.wine, self.a.exe], cwd=self.work, env=self.env,
                               stdin=subprocess.DEVNULL, stdout=out, stderr=out)
        deadline = time.monotonic() + 90
        while time.monotonic() < deadline:
            wid = self.find_window()
            if wid and self.window_texts() is not None:
                return app, wid
            if app.poll() is not None:
                raise RuntimeError("Quendrel ended at start-up (exit code %s)" % app.returncode)
            time.sleep(0.2)
        raise RuntimeError("Quendrel's window did not appear")

    def kill(self, app):
        # The process that runs Quendrel.exe, killed outright: no handler runs.
        try:
            os.kill(app.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        app.wait()
        deadline = time.monotonic() + 30
        while self.find_window() and time.monotonic() < deadline:
            time.sleep(0.1)

    def remember_shown(self, blocks):
        if blocks:
            self.shown.update(ENTRY.findall(blocks.get("scan-list", "")))

    # --- scans and uploads ----------------------------------------------------
    def new_vins(self, count):
        tail = string.ascii_uppercase + string.digits
        vins = []
        for _ in range(count):
            n = len(self.fired)
            vins.append("TQ%04d%04d" % (self.rounds, n % 10000) + "".join(self.rng.choice(tail) for _ in range(7)))
            self.fired.append(vins[-1])
        return vins

    def type_scans(self, vins):
        """Starts typing the scans as a keyboard-wedge scanner does; returns the typist."""
        keys = []
        for v in vins:
            keys += ["bracketright", *v, "Return"]  # a leading character, the VIN, Enter
        return subprocess.Popen(["xdotool", "key", "--delay", str(self.a.key_delay), *keys],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def burst_seconds(self, vins):
        return len(vins) * 19 * self.a.key_delay / 1000.0

    def batch_name_taken(self):
        # Send Data refuses a second batch within the same minute; such a
        # round kills during a refusal rather than an upload.
        name = time.strftime("%y%m%d%H%M", time.localtime()) + LOCATION + ".TXT"
        return os.path.exists(os.path.join(self.work, name))

    def choose_event(self, wid):
        """"510 Vehicle Received" chosen and the focus in the VIN field, by keyboard."""
        self.xdotool("windowfocus", "--sync", wid)
        self.xdotool("key", "Tab", "Down")  # from the tab control: the event list, its first event
        attempts = []
        for _ in range(20):
            time.sleep(0.2)
            blocks = self.window_texts() or {}
            chosen = blocks.get("101", "").startswith("510 ")
            focus = blocks.get("focus", "").strip()
            if chosen and focus == "vin":
                return
            self.setup_keys += 1
            attempts.append("%s/%s" % (focus or "?", "510" if chosen else "-"))
            if focus == "101":
                self.xdotool("key", "Tab" if chosen else "Home")
            else:
                self.xdotool("windowfocus", "--sync", wid)
                self.xdotool("key", "Tab")
        raise RuntimeError("could not choose the event by keyboard (focus/event: %s):\n%s"
                           % (" ".join(attempts), self.last_texts))

    def press_send_data(self):
        self.xdotool("key", "ctrl+Tab")
        time.sleep(0.3)
        self.xdotool("key", "Tab", "Return")  # Send Data has the focus after the tab control

    def round(self):
        self.rounds += 1
        mode = self.rng.choice(MODES)
        if mode != "scan" and self.batch_name_taken():
            if self.a.wait_for_minute:
                time.sleep(60.5 - time.time() % 60)
            else:
                mode = "scan"
        before = self.server_files()
        t0 = time.monotonic()
        app, wid = self.start()
        started = time.monotonic() - t0
        self.choose_event(wid)
        vins = self.new_vins(self.rng.randint(5, self.a.burst))
        typists = [self.type_scans(vins)]
        typist = typists[0]
        note = ""
        if mode == "scan":
            time.sleep(self.rng.uniform(0, self.burst_seconds(vins) * 1.3))
        else:
            typist.wait()
            time.sleep(0.5)
            self.remember_shown(self.window_texts())
            self.press_send_data()
            if self.rng.random() < 0.5:
                # Back to the "Scan" tab while the upload runs, and more scans.
                time.sleep(self.rng.uniform(0, 0.5))
                self.xdotool("key", "ctrl+Tab")
                more = self.new_vins(self.rng.randint(2, 8))
                typists.append(self.type_scans(more))
                vins += more
            if mode == "send":
                time.sleep(self.rng.uniform(0, 2.0))
            else:
                deadline = time.monotonic() + 30
                while time.monotonic() < deadline:
                    blocks = self.window_texts()
                    if blocks and (" File Sent." in blocks.get("upload-log", "") or blocks["has-dialog"]):
                        note = "sent" if " File Sent." in blocks.get("upload-log", "") else "refused"
                        break
                    time.sleep(0.3)
                typists[-1].wait()
                time.sleep(self.rng.uniform(0, 1.0))
        blocks = self.window_texts()
        self.remember_shown(blocks)
        if blocks and " File Sent." in blocks.get("upload-log", ""):
            note = "sent"
        elif blocks and blocks["has-dialog"]:
            note = note or "message"
        with open(os.path.join(self.a.dir, "round-%03d.txt" % self.rounds), "w") as f:
            f.write(self.last_texts)
        self.kill(app)
        for typist in typists:
            if typist.poll() is None:
                typist.kill()
            typist.wait()
        return mode, len(vins), started, note, before

    # --- what is left on disk and on the server --------------------------------
    def server_files(self):
        return {os.path.basename(p): open(p, "rb").read() for p in glob.glob(os.path.join(self.incoming, "*"))}

    def records(self, where, data, corrupt):
        """VINs of the whole records in CR LF text; damaged lines go to `corrupt`."""
        vins = []
        lines = data.split(b"\r\n")
        if lines and lines[-1] == b"":
            lines.pop()
        elif lines:
            corrupt.add((where, b"unended:" + lines[-1]))
            lines.pop()
        for line in lines:
            m = RECORD.fullmatch(line)
            if m:
                vins.append(m.group(1).decode())
            else:
                corrupt.add((where, line))
        return vins

    def batch(self, name, data, corrupt):
        """VINs of a complete batch file, or None for a cut one."""
        if not data.endswith(TRAILER + b"\r\n"):
            return None
        header, _, rest = data.partition(b"\r\n")
        body = rest[: len(rest) - len(TRAILER) - 2]
        m = re.fullmatch(rb"UH(\d{10}" + LOCATION.encode() + rb"\.TXT)(\d{4,})", header)
        if not m or m.group(1).decode() != name:
            return None
        vins = self.records(name, body, corrupt)
        if int(m.group(2)) != body.count(b"\r\n") + 1:
            corrupt.add((name, b"count:" + header))
        return vins

    def check(self, mode, before):
        try:
            pending_data = open(os.path.join(self.work, "savedata.dat"), "rb").read()
        except FileNotFoundError:
            pending_data = b""
        corrupt = set()
        pending = self.records("savedata.dat", pending_data, corrupt)
        on_server, cut, batches = [], 0, 0
        new_on_server = set()
        for name, data in sorted(self.server_files().items()):
            vins = self.batch(name, data, corrupt)
            if vins is None:
                cut += 1
                continue
            batches += 1
            on_server += vins
            if before.get(name) != data:
                new_on_server.update(vins)
        if mode in ("send", "calm"):
            # An upload cut after the server had the whole batch and before
            # savedata.dat was rewritten leaves its records in both places.
            self.explained.update(new_on_server & set(pending))
        self.corrupt |= corrupt
        counts = collections.Counter(pending + on_server)
        here = set(counts)
        self.ever_saved |= here
        lost = (self.shown | self.ever_saved) - here
        dups = {v: c - 1 for v, c in counts.items() if c > 1}
        cut_dups = sum(c for v, c in dups.items() if v in self.explained)
        other_dups = sum(c for v, c in dups.items() if v not in self.explained)
        return dict(pending=len(pending), on_server=len(on_server), batches=batches, cut=cut,
                    saved=len(here), lost=len(lost), lost_vins=sorted(lost)[:5], corrupt=len(corrupt),
                    cut_dups=cut_dups, other_dups=other_dups)

    def run(self):
        last = None
        for _ in range(self.a.rounds):
            mode, fired, started, note, before = self.round()
            c = self.check(mode, before)
            bad = c["lost"] or c["corrupt"] or c["other_dups"]
            self.failures += 1 if bad else 0
            log("round %3d %-4s %-7s fired %2d  start %4.1fs | pending %4d  on server %5d in %3d batches"
                " (%d cut) | shown %5d lost %d corrupt %d dup %d cut-dup %d%s"
                % (self.rounds, mode, note or "-", fired, started, c["pending"], c["on_server"], c["batches"],
                   c["cut"], len(self.shown), c["lost"], c["corrupt"], c["other_dups"], c["cut_dups"],
                   "  LOST " + " ".join(c["lost_vins"]) if c["lost"] else ""))
            last = c
        log("== torture summary")
        log("rounds %d, scans fired %d, scans saved %d (shown as saved %d), lost %d, corrupt lines %d, "
            "duplicates %d, duplicates from uploads cut before the rewrite %d, batches on server %d, cut batches %d"
            % (self.rounds, len(self.fired), last["saved"], len(self.shown), last["lost"], len(self.corrupt),
               last["other_dups"], last["cut_dups"], last["batches"], last["cut"]))
        log("(extra keys to reach the VIN field after a start: %d)" % self.setup_keys)
        for where, line in sorted(self.corrupt)[:10]:
            log("  corrupt line in %s: %r" % (where, line))
        return 1 if self.failures else 0


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--rounds", type=int, default=30)
    p.add_argument("--dir", required=True, help="working folder, FTP root and logs go here")
    p.add_argument("--exe", required=True)
    p.add_argument("--probe", required=True)
    p.add_argument("--prefix", required=True)
    p.add_argument("--wine", default="/usr/lib/wine/wine64")
    p.add_argument("--seed", type=int, default=int(time.time()))
    p.add_argument("--burst", type=int, default=30, help="most scans per burst")
    p.add_argument("--wait-for-minute", action="store_true",
                   help="let an upload round wait for a new batch name rather than turn into a scan round")
    p.add_argument("--key-delay", type=int, default=8, help="milliseconds between two characters")
    a = p.parse_args()
    log("torture run: %d rounds, seed %d" % (a.rounds, a.seed))
    sys.exit(Run(a).run())


if __name__ == "__main__":
    main()
