#!/usr/bin/env python3
"""Smoke test of the tray program on a real X server.

Starts Xvfb (on a free display), prepares a demo folder in a temporary
directory, starts the program there, and checks that: it runs without a
notification area, showing its phones window instead; the icon docks once the
tray host trayer starts, and closing the window then leaves the program
running; a second start ends at once with status 0, no second icon, and the
running program's phones window shown; a left click on the icon opens the phones window; the demo
cycle stores the three demo balances; the menu's last item ends the program,
which saves its settings. Every process it starts is ended afterwards.

    tray_smoke.py --build BUILD --source SOURCE [--keep] [--screenshot FILE]

Exit status 77 (skipped) when Xvfb, trayer or xdotool is missing.
"""

import argparse
import os
import re
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time

PHONES_TITLE = "Информация о балансе телефонов"
SKIP = 77


class Failure(Exception):
    pass


def wait_for(what, predicate, timeout, interval=0.1):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(interval)


def close_window(s, title):
    # No window manager: the window gets the focus directly, then Escape. On a
    # loaded machine the focus can come late and the key go astray: again.
    for _ in range(4):
        shown = s.window_named(title)
        if not shown:
            return
        s.run(["xdotool", "windowfocus", "--sync", shown[0].decode(), "key", "Escape"],
              check=False)
        try:
            wait_for("the window to close", lambda: not s.window_named(title), 3)
            return
        except Failure:
            pass
    raise Failure("the window %r did not close" % title)


def arguments(*extra):
    """The options every desktop test takes (--build, --source, --keep) and
    `extra` as (name, keyword arguments) pairs for its own."""
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--source", required=True)
    ap.add_argument("--keep", action="store_true")
    for name, options in extra:
        ap.add_argument(name, **options)
    args = ap.parse_args()
    args.build = os.path.abspath(args.build)
    return args


def ended_cleanly(program, what):
    """Waits for `program` to end by itself with status 0; `what` names the
    action that should have ended it."""
    try:
        program.wait(timeout=15)
    except subprocess.TimeoutExpired:
        raise Failure("%s did not end the program" % what)
    if program.returncode != 0:
        raise Failure("the program ended with status %d" % program.returncode)


class Session:
    def __init__(self, args):
        self.args = args
        self.procs = []
        self.tmp = tempfile.mkdtemp(prefix="zelvant-smoke-")
        self.env = dict(os.environ)
        # Nothing of the user's home is touched; the single-instance lock
        # lives in our own runtime folder.
        for name in ("HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                     "XDG_RUNTIME_DIR"):
            path = os.path.join(self.tmp, name.lower())
            os.makedirs(path, mode=0o700, exist_ok=True)
            self.env[name] = path
        self.env.pop("WAYLAND_DISPLAY", None)
        self.env.pop("QT_QPA_PLATFORM", None)
        self.env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        self.env["LC_ALL"] = "C.UTF-8"
        # The windows are found by their Russian titles, whatever LANGUAGE says.
        self.env["ZELVANT_LANGUAGE"] = "ru"

    # A test's body runs as `with Session(args) as s:` followed by `return 1`:
    # a Failure is printed with the folder of its files, which is then kept,
    # and whatever happens every process started is ended.
    def __enter__(self):
        return self

    def __exit__(self, kind, error, trace):
        if kind is not None and issubclass(kind, Failure):
            print("FAILED: %s (files in %s)" % (error, self.tmp), file=sys.stderr)
            self.args.keep = True
        self.cleanup()
        return kind is not None and issubclass(kind, Failure)

    def start(self, argv, name=None, **kw):
        log = open(os.path.join(self.tmp, (name or os.path.basename(argv[0])) + ".log"), "ab")
        p = subprocess.Popen(argv, env=self.env, stdout=log, stderr=subprocess.STDOUT,
                             start_new_session=True, **kw)
        self.procs.append(p)
        return p

    def run(self, argv, timeout=20, check=True):
        r = subprocess.run(argv, env=self.env, capture_output=True, timeout=timeout)
        if check and r.returncode != 0:
            raise Failure("%s failed (%d): %s" % (argv[0], r.returncode,
                                                 r.stderr.decode(errors="replace")))
        return r

    def start_xvfb(self):
        # -displayfd lets the server pick a free display number itself.
        # -noreset: by default the server resets when its last client leaves,
        # and a client connecting during the reset is refused; a helper that
        # looks at the screen and leaves (the accessibility bus launcher does)
        # would then make the program under test fail to start at random.
        read_fd, write_fd = os.pipe()
        p = self.start(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24",
                        "-nolisten", "tcp", "-noreset"], pass_fds=(write_fd,))
        os.close(write_fd)
        data = b""
        deadline = time.monotonic() + 20
        while not data.endswith(b"\n"):
            if time.monotonic() > deadline or p.poll() is not None:
                raise Failure("Xvfb did not start")
            chunk = os.read(read_fd, 64)
            if not chunk:
                break
            data += chunk
        os.close(read_fd)
        self.env["DISPLAY"] = ":" + data.decode().strip()

    def start_bus(self):
        # A private session bus: the panels' watcher and the item meet there.
        p = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                             env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                             start_new_session=True)
        self.procs.append(p)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = p.stdout.readline().decode().strip()

    def bus_name_owned(self, name):
        r = self.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                      "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                      "string:" + name], check=False)
        return b"boolean true" in r.stdout

    def tree(self):
        return self.run(["xwininfo", "-root", "-tree"], check=False).stdout.decode(
            errors="replace")

    def docked_icons(self):
        # A docked icon is a window of class Zelvant inside the tray host,
        # with its absolute position: "0x.. "Zelvant": ("Zelvant" "Zelvant")
        # 22x22+0+0  +1001+1".
        found = []
        for m in re.finditer(r'0x[0-9a-f]+ "[^"]*": \("Zelvant" "Zelvant"\)\s+(\d+)x(\d+)'
                             r'\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)', self.tree()):
            w, h, x, y = map(int, m.groups())
            # The phones window has the class too; an icon is small.
            if 1 < w <= 64 and 1 < h <= 64 and x >= 0 and y >= 0:
                found.append((x + w // 2, y + h // 2))
        return found

    def window_named(self, name):
        # Only a mapped window counts: the phones window exists hidden from
        # the start.
        r = self.run(["xdotool", "search", "--name", name], check=False)
        shown = []
        for wid in r.stdout.split():
            info = self.run(["xwininfo", "-id", wid.decode()], check=False).stdout.decode()
            if "IsViewable" in info:
                shown.append(wid)
        return shown

    def cleanup(self):
        for p in reversed(self.procs):
            if p.poll() is None:
                try:
                    os.killpg(p.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
        for p in reversed(self.procs):
            try:
                p.wait(timeout=5)
            except subprocess.TimeoutExpired:
                os.killpg(p.pid, signal.SIGKILL)
                p.wait()
        if not self.args.keep:
            shutil.rmtree(self.tmp, ignore_errors=True)


def main():
    args = arguments(("--screenshot", {}))

    for tool in ("Xvfb", "trayer", "xdotool", "xwininfo"):
        if not shutil.which(tool):
            print("skipped: %s is not installed" % tool)
            return SKIP

    with Session(args) as s:
        demo = os.path.join(s.tmp, "demo")
        s.run(["bash", os.path.join(args.source, "scripts", "prepare-demo.sh"), args.build, demo],
              timeout=60)
        s.start_xvfb()
        # The program starts before any notification area exists: it must
        # keep running, and dock once a tray host appears.
        s.env["ZELVANT_STARTUP_MARK"] = "1"
        s.env["QT_LOGGING_RULES"] = "zelvant.tray.info=true"
        program = s.start([os.path.join(demo, "Zelvant")], cwd=s.tmp)
        # Meanwhile its phones window stands in for the icon.
        wait_for("the phones window without a tray", lambda: s.window_named(PHONES_TITLE), 15)
        if program.poll() is not None:
            raise Failure("the program ended without a notification area (status %d)"
                          % program.returncode)
        s.start(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                 "--height", "24", "--SetDockType", "true"])
        wait_for("the tray host", lambda: '"panel"' in s.tree(), 20)
        icons = wait_for("the icon to dock", s.docked_icons, 20)
        if len(icons) != 1:
            raise Failure("expected one tray icon, found %d" % len(icons))

        # With the tray there (the program says so), closing the window no
        # longer ends the program.
        wait_for("the program to see the tray",
                 lambda: "notification area present" in open(
                     os.path.join(s.tmp, "Zelvant.log"), errors="replace").read(), 10)
        close_window(s, PHONES_TITLE)
        time.sleep(0.5)
        if program.poll() is not None:
            raise Failure("closing the window ended the program although the tray is there")

        second = s.run([os.path.join(demo, "Zelvant")], timeout=20, check=False)
        if second.returncode != 0 or second.stdout or second.stderr.strip():
            raise Failure("a second start must end silently with status 0, got %d: %r"
                          % (second.returncode, second.stderr))
        wait_for("the running program's window after a second start",
                 lambda: s.window_named(PHONES_TITLE), 10)
        if len(s.docked_icons()) != 1:
            raise Failure("a second start added an icon")
        close_window(s, PHONES_TITLE)

        x, y = icons[0]
        s.run(["xdotool", "mousemove", str(x), str(y), "click", "1"])
        wait_for("the phones window", lambda: s.window_named(PHONES_TITLE), 15)

        # The demo requests at start-up: three phones, five seconds apart.
        history = os.path.join(demo, "Zelvant.mdb")

        def stored():
            con = sqlite3.connect(history)
            try:
                return sorted(r[0] for r in con.execute("select PhoneNumber from Phones"))
            finally:
                con.close()
        numbers = wait_for("the demo balances", lambda: len(stored()) >= 3 and stored(), 40,
                           interval=0.5)
        if numbers != ["9037654321", "9161234567", "9265550011"]:
            raise Failure("unexpected history rows: %r" % numbers)
        # The demo's pages are files and it publishes nothing: the network
        # and broker libraries (parts opened at their first use) never loaded;
        # the history is written through libsqlite3 without Qt Sql's plug-in.
        with open("/proc/%d/maps" % program.pid) as maps:
            mapped = maps.read()
        for library in ("libQt6Network", "libmosquitto", "libQt6Sql", "sqldrivers"):
            if library in mapped:
                raise Failure("%s is loaded though nothing used it" % library)
        if args.screenshot and shutil.which("import"):
            time.sleep(0.5)
            s.run(["import", "-window", "root", args.screenshot], check=False)

        # Right click opens the menu; Up selects its last item, "Выйти".
        s.run(["xdotool", "mousemove", str(x), str(y), "click", "3"])
        time.sleep(0.7)
        s.run(["xdotool", "key", "Up", "Return"])
        ended_cleanly(program, "\"Выйти\" from its menu")
        settings = open(os.path.join(demo, "Zelvant.ini"), encoding="cp1251").read()
        if "[PhonesInfo Form]" not in settings:
            raise Failure("the phones window did not keep its position")
        log = open(os.path.join(s.tmp, "Zelvant.log"), encoding="utf-8", errors="replace").read()
        mark = re.search(r"ZELVANT_STARTUP_MARK (\d+)", log)
        if not mark:
            raise Failure("no start-up mark in the program's output")
        print("ok: icon docked at %d,%d; start-up %s ms; balances stored for %s"
              % (x, y, mark.group(1), ", ".join(numbers)))
        return 0
    return 1


if __name__ == "__main__":
    sys.exit(main())
