#!/usr/bin/env python3
"""The tray program on a desktop without any notification area.

Starts Xvfb and a private session bus, no panel. The program must show its
phones window at once (with its note about the missing notification area,
which the log confirms), a second start must end with status 0 and leave
that one window, and closing the window must end the program. Every process
it starts is ended afterwards.

    no_tray_smoke.py --build BUILD --source SOURCE

Exit status 77 (skipped) when Xvfb, dbus-daemon or xdotool is missing.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tray_smoke import PHONES_TITLE, SKIP, Failure, Session, close_window, wait_for  # noqa: E402


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--source", required=True)
    ap.add_argument("--keep", action="store_true")
    args = ap.parse_args()
    for tool in ("Xvfb", "xdotool", "xwininfo", "dbus-daemon"):
        if not shutil.which(tool):
            print("skipped: %s is not installed" % tool)
            return SKIP

    s = Session(args)
    try:
        demo = os.path.join(s.tmp, "demo")
        s.run(["bash", os.path.join(args.source, "scripts", "prepare-demo.sh"), args.build, demo],
              timeout=60)
        s.start_xvfb()
        s.start_bus()
        s.env["QT_LOGGING_RULES"] = "zelvant.tray.info=true"
        program = s.start([os.path.join(demo, "Zelvant")], cwd=s.tmp)
        shown = wait_for("the phones window", lambda: s.window_named(PHONES_TITLE), 20)
        log = os.path.join(s.tmp, "Zelvant.log")
        wait_for("the program's word on the notification area",
                 lambda: "notification area absent" in open(log, errors="replace").read(), 10)

        second = s.run([os.path.join(demo, "Zelvant")], timeout=20, check=False)
        if second.returncode != 0:
            raise Failure("a second start ended with status %d" % second.returncode)
        time.sleep(0.5)
        if program.poll() is not None or s.window_named(PHONES_TITLE) != shown:
            raise Failure("after a second start: one program with its one window expected")

        close_window(s, shown[0])
        try:
            program.wait(timeout=15)
        except subprocess.TimeoutExpired:
            raise Failure("closing the window without a notification area did not end the program")
        if program.returncode != 0:
            raise Failure("the program ended with status %d" % program.returncode)
        print("ok: the phones window stood in for the tray; closing it ended the program")
        return 0
    except Failure as e:
        print("FAILED: %s (files in %s)" % (e, s.tmp), file=sys.stderr)
        args.keep = True
        return 1
    finally:
        s.cleanup()


if __name__ == "__main__":
    sys.exit(main())
