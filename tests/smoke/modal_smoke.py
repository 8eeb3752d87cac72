#!/usr/bin/env python3
"""Modal windows above the phones window, on a real X server with a window
manager.

The phones window stays on top of other windows. Starts Xvfb, the window
manager openbox and the tray host trayer, opens the phones window with a left
click on the icon, then opens the about box, the setup window and the history
window from the tray menu in turn and checks, in the window manager's
stacking order, that each appears above the phones window; once it is closed
the phones window is on top again.

    modal_smoke.py --build BUILD --source SOURCE [--keep] [--screenshot FILE]

Exit status 77 (skipped) when Xvfb, openbox, trayer, xdotool, xprop or
xwininfo is missing.
"""

import os
import shutil
import sqlite3
import sys
import time

from tray_smoke import PHONES_TITLE, SKIP, Failure, Session, arguments, wait_for

# Tray menu: the number of Down presses that select an item (separators are
# skipped).
MODALS = [
    ("About", 1),
    ("Настройка программы Zelvant", 3),
    ("История баланса", 4),
]


def stacking(s):
    """Window manager's client windows, bottom to top, as (id, title, states)."""
    out = s.run(["xprop", "-root", "_NET_CLIENT_LIST_STACKING"]).stdout.decode()
    result = []
    for wid in out.split("#", 1)[-1].replace(",", " ").split():
        props = s.run(["xprop", "-id", wid, "_NET_WM_NAME", "_NET_WM_STATE"],
                      check=False).stdout.decode(errors="replace")
        title = ""
        for line in props.splitlines():
            if line.startswith("_NET_WM_NAME") and "=" in line:
                title = line.split("=", 1)[1].strip().strip('"')
        result.append((wid, title, props))
    return result


def position(stack, title):
    for i, (_, t, props) in enumerate(stack):
        if t == title:
            return i, props
    return None, ""


def main():
    args = arguments(("--screenshot", {}))

    for tool in ("Xvfb", "openbox", "trayer", "xdotool", "xprop", "xwininfo"):
        if not shutil.which(tool):
            print("skipped: %s is not installed" % tool)
            return SKIP

    with Session(args) as s:
        demo = os.path.join(s.tmp, "demo")
        s.run(["bash", os.path.join(args.source, "scripts", "prepare-demo.sh"), args.build, demo],
              timeout=60)
        s.start_xvfb()
        s.start(["openbox", "--sm-disable"])
        wait_for("the window manager",
                 lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in s.run(
                     ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False).stdout.decode(),
                 20)
        s.start(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                 "--height", "24", "--SetDockType", "true"])
        wait_for("the tray host", lambda: '"panel"' in s.tree(), 20)
        program = s.start([os.path.join(demo, "Zelvant")], cwd=s.tmp)
        icons = wait_for("the icon to dock", s.docked_icons, 20)
        x, y = icons[0]

        # A click that comes while the program is still busy starting can go
        # astray on a loaded machine; it is repeated until the window shows.
        def phones_shown():
            for _ in range(10):
                if position(stacking(s), PHONES_TITLE)[0] is not None:
                    return True
                time.sleep(0.3)
            s.run(["xdotool", "mousemove", str(x), str(y), "click", "1"])
            return False
        s.run(["xdotool", "mousemove", str(x), str(y), "click", "1"])
        wait_for("the phones window", phones_shown, 30)
        # The demo requests its three phones at start-up; the menu commands
        # stay disabled until that cycle has ended.
        def stored():
            con = sqlite3.connect(os.path.join(demo, "Zelvant.mdb"))
            try:
                return con.execute("select count(*) from Phones").fetchone()[0]
            finally:
                con.close()
        wait_for("the start-up cycle", lambda: stored() >= 3, 40, interval=0.5)
        time.sleep(1.5)

        def open_from_menu(title, downs):
            # Right click opens the menu, the keys choose the item; a menu
            # that was not up yet in time on a loaded machine is opened again
            # (the keys alone do nothing in the phones window).
            for _ in range(3):
                s.run(["xdotool", "mousemove", str(x), str(y), "click", "3"])
                time.sleep(0.7)
                s.run(["xdotool", "key"] + ["Down"] * downs + ["Return"])
                deadline = time.monotonic() + 8
                while time.monotonic() < deadline:
                    if position(stacking(s), title)[0] is not None:
                        return
                    time.sleep(0.2)
            raise Failure("the window \"%s\" did not open from the menu" % title)

        for title, downs in MODALS:
            open_from_menu(title, downs)
            time.sleep(0.5)
            stack = stacking(s)
            m, _ = position(stack, title)
            p, phones_props = position(stack, PHONES_TITLE)
            if p is None:
                raise Failure("the phones window went away while \"%s\" was open" % title)
            if m < p:
                raise Failure("\"%s\" opened beneath the phones window: %r"
                              % (title, [t for _, t, _ in stack]))
            if "_NET_WM_STATE_ABOVE" in phones_props:
                raise Failure("the phones window stayed on top of \"%s\"" % title)
            if args.screenshot and title == "About" and shutil.which("import"):
                s.run(["import", "-window", "root", args.screenshot], check=False)

            s.run(["xdotool", "key", "Escape"])
            wait_for("\"%s\" to close" % title,
                     lambda: position(stacking(s), title)[0] is None, 15)
            wait_for("the phones window to be on top again",
                     lambda: "_NET_WM_STATE_ABOVE" in position(stacking(s), PHONES_TITLE)[1], 15)

        program.terminate()
        print("ok: %s each opened above the phones window"
              % ", ".join('"%s"' % t for t, _ in MODALS))
        return 0
    return 1


if __name__ == "__main__":
    sys.exit(main())
