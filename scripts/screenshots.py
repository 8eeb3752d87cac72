#!/usr/bin/env python3
"""Pictures of the demo for the README, taken on Xvfb with the window manager
openbox and the tray host trayer: the tray icon in the panel, the phones
window, the setup window and the chart tab of a phone's history.

    screenshots.py --build BUILD --source SOURCE --out FOLDER [--keep]

Writes tray.png, phones.png, setup.png and chart.png into FOLDER (built by
the target zelvant_grab). Exit status 77 when Xvfb, openbox, trayer, xdotool
or xwininfo is missing.
"""

import datetime
import os
import shutil
import sqlite3
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "smoke"))
from tray_smoke import PHONES_TITLE, SKIP, Failure, Session, arguments, wait_for

SETUP_TITLE = "Настройка программы Zelvant"
HISTORY_TITLE = "История баланса"
PHONE_HISTORY_TITLE = "История баланса по телефону"


def sample_history(path):
    """Four weeks of the first demo phone before today, two requests a day,
    with a top-up, so that the chart has a line to show; returns the count."""
    con = sqlite3.connect(path)
    try:
        now = datetime.datetime.now().replace(minute=0, second=0, microsecond=0)
        balance = 110.0
        rows = []
        for half_day in range(56, 0, -1):
            balance -= 2.35 / 2
            if half_day == 30:
                balance += 100
            when = now - datetime.timedelta(hours=12 * half_day)
            rows.append(("9161234567", when.strftime("%Y-%m-%d %H:%M:%S"), round(balance, 2),
                         2.35, int(balance / 2.35), 300.0, 45, 75, 28.65))
        con.executemany("INSERT INTO Phones (PhoneNumber, QueryDateTime, Balance, Average, "
                        "TurnOff, Recomend, SMS, Minutes, USDRate) "
                        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)", rows)
        con.commit()
        return len(rows)
    finally:
        con.close()


def main():
    args = arguments(("--out", {"required": True}))
    for tool in ("Xvfb", "openbox", "trayer", "xdotool", "xwininfo"):
        if not shutil.which(tool):
            print("skipped: %s is not installed" % tool)
            return SKIP
    grab = os.path.join(args.build, "tests", "zelvant_grab")
    os.makedirs(args.out, exist_ok=True)

    with Session(args) as s:
        demo = os.path.join(s.tmp, "demo")
        s.run(["bash", os.path.join(args.source, "scripts", "prepare-demo.sh"), args.build, demo],
              timeout=60)
        history_file = os.path.join(demo, "Zelvant.mdb")
        earlier = sample_history(history_file)
        s.start_xvfb()
        s.env["QT_QPA_PLATFORM"] = "xcb"
        s.start(["openbox", "--sm-disable"])
        # A light panel across the top of the screen.
        s.start(["trayer", "--edge", "top", "--align", "right", "--widthtype", "percent",
                 "--width", "100", "--height", "24", "--SetDockType", "true", "--tint",
                 "0xdcdcdc", "--transparent", "true", "--alpha", "0"])
        wait_for("the tray host", lambda: '"panel"' in s.tree(), 20)
        s.start([os.path.join(demo, "Zelvant")], cwd=s.tmp)
        x, y = wait_for("the icon to dock", s.docked_icons, 20)[0]

        def shot(name, *where):
            path = os.path.join(args.out, name)
            s.run([grab, path] + [str(w) for w in where])
            print("wrote", path)

        def window(title, timeout=15):
            return wait_for('the window "%s"' % title, lambda: s.window_named(title),
                            timeout)[0].decode()

        def from_menu(title, downs):
            # As in modal_smoke: a menu that was not up in time is opened again.
            for _ in range(3):
                s.run(["xdotool", "mousemove", str(x), str(y), "click", "3"])
                time.sleep(0.7)
                s.run(["xdotool", "key"] + ["Down"] * downs + ["Return"])
                try:
                    return window(title, 8)
                except Failure:
                    continue
            raise Failure('the window "%s" did not open from the menu' % title)

        def stored():
            con = sqlite3.connect(history_file)
            try:
                return con.execute("select count(*) from Phones").fetchone()[0]
            finally:
                con.close()
        wait_for("the start-up cycle", lambda: stored() >= earlier + 3, 40, interval=0.5)
        time.sleep(1.5)
        # The icon shows the balance now; the panel with some room around it.
        shot("tray.png", max(0, x - 160), 0, 174, 24)

        s.run(["xdotool", "mousemove", str(x), str(y), "click", "1"])
        shot("phones.png", window(PHONES_TITLE))
        s.run(["xdotool", "key", "Escape"])

        setup = from_menu(SETUP_TITLE, 3)
        time.sleep(0.5)
        shot("setup.png", setup)
        s.run(["xdotool", "key", "Escape"])
        wait_for("the setup window to close", lambda: not s.window_named(SETUP_TITLE), 10)

        # Enter on the first phone shows its history; a click on the second
        # tab (below the 24 pixels of the header) turns to the chart.
        from_menu(HISTORY_TITLE, 4)
        time.sleep(0.5)
        s.run(["xdotool", "key", "Return"])
        history = window(PHONE_HISTORY_TITLE)
        time.sleep(0.5)
        s.run(["xdotool", "mousemove", "--window", history, "115", "37", "click", "1"])
        time.sleep(1.0)
        shot("chart.png", history)
        return 0
    return 1


if __name__ == "__main__":
    sys.exit(main())
