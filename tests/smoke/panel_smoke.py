#!/usr/bin/env python3
"""The tray program on a real panel from Debian under Xvfb.

Starts Xvfb, a private session bus and the panel (xfce4-panel with its
status tray, or lxqt-panel with its status notifier) at sizes 24, 32 and 48,
and the demo program. At each size the panel's own pixels are grabbed: every
pixel of the icon must be pure ink (dark blue, red), its white outline or the
panel's ground, never a blend of them, as a smooth-scaled picture would give.
Then the tooltip the panel shows must hold a line for each phone, and a left
click on the icon must open the phones window. Every process it starts is
ended afterwards.

    panel_smoke.py --build BUILD --source SOURCE --panel xfce|lxqt --grab GRAB

Exit status 77 (skipped) when the panel, Xvfb, dbus-daemon or xdotool is missing.
"""

import os
import re
import shutil
import sqlite3
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tray_smoke import PHONES_TITLE, SKIP, Failure, Session, arguments, wait_for  # noqa: E402

SIZES = (24, 32, 48)
WATCHER = "org.kde.StatusNotifierWatcher"
INK = {(0, 0, 128), (255, 0, 0)}
OUTLINE = (255, 255, 255)
DEMO_PHONES = 3

XFCE_CONFIG = """<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="%d"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
"""

LXQT_CONFIG = """[General]
__userfile__=true

[panel1]
plugins=statusnotifier
position=Top
panelSize=%d
iconSize=22
desktop=0

[statusnotifier]
type=statusnotifier
"""


def read_ppm(path):
    data = open(path, "rb").read()
    fields = data.split(maxsplit=4)
    if fields[0] != b"P6" or fields[3] != b"255":
        raise Failure("unexpected grab format")
    width, height = int(fields[1]), int(fields[2])
    pixels = fields[4]
    rows = [[tuple(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
            for y in range(height)]
    return rows


class PanelSession(Session):
    def __init__(self, args):
        super().__init__(args)
        self.panel = None
        # No accessibility bus: it only slows the GTK panel's start.
        self.env["NO_AT_BRIDGE"] = "1"
        self.env["GTK_A11Y"] = "none"
        self.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "0"

    def grab(self, x, y, w, h):
        out = os.path.join(self.tmp, "grab.ppm")
        self.run([self.args.grab, out, str(x), str(y), str(w), str(h)],
                 check=True)
        return read_ppm(out)

    def start_panel(self, size):
        if self.args.panel == "xfce":
            if self.panel is None:
                folder = os.path.join(self.env["XDG_CONFIG_HOME"], "xfce4", "xfconf",
                                      "xfce-perchannel-xml")
                os.makedirs(folder, exist_ok=True)
                with open(os.path.join(folder, "xfce4-panel.xml"), "w") as f:
                    f.write(XFCE_CONFIG % size)
                self.panel = self.start(["xfce4-panel", "--disable-wm-check"])
            else:
                # xfconfd holds the settings: the running panel follows them.
                self.run(["xfconf-query", "-c", "xfce4-panel", "-p", "/panels/panel-1/size",
                          "-s", str(size)])
        else:
            if self.panel is not None:
                os.killpg(self.panel.pid, 15)
                self.panel.wait(timeout=10)
                self.procs.remove(self.panel)
            folder = os.path.join(self.env["XDG_CONFIG_HOME"], "lxqt")
            os.makedirs(folder, exist_ok=True)
            with open(os.path.join(folder, "panel.conf"), "w") as f:
                f.write(LXQT_CONFIG % size)
            self.panel = self.start(["lxqt-panel"])
        wait_for("the panel's watcher", lambda: self.bus_name_owned(WATCHER), 20)

    def icon_area(self, size):
        """The icon's square on the panel (the strip along the top edge), once
        its ink is there and two grabs agree."""
        previous = None
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            rows = self.grab(0, 0, 1024, size)
            ink = [(x, y) for y, row in enumerate(rows) for x, c in enumerate(row) if c in INK]
            if ink and ink == previous:
                return rows, ink
            previous = ink
            time.sleep(0.4)
        raise Failure("no steady icon on the panel at size %d" % size)


def check_crisp(rows, ink, size):
    """Every pixel around the ink is ink, outline or the ground; returns the
    ink's bounding box and how many screen pixels make one drawing pixel."""
    left = min(x for x, _ in ink)
    right = max(x for x, _ in ink)
    top = min(y for _, y in ink)
    bottom = max(y for _, y in ink)
    # The smallest run of ink in a line is one drawing pixel wide.
    runs = []
    for y in range(top, bottom + 1):
        run = 0
        for x in range(left, right + 2):
            if rows[y][x] in INK:
                run += 1
            elif run:
                runs.append(run)
                run = 0
    scale = min(runs)
    margin = 2 * scale
    x0, x1 = max(0, left - margin), min(len(rows[0]) - 1, right + margin)
    y0, y1 = max(0, top - margin), min(len(rows) - 1, bottom + margin)
    ground = rows[y0][x0]
    blended = [(x, y, rows[y][x]) for y in range(y0, y1 + 1) for x in range(x0, x1 + 1)
               if rows[y][x] not in INK and rows[y][x] != OUTLINE and rows[y][x] != ground]
    if blended:
        raise Failure("panel size %d: %d blended pixels in the icon, e.g. %r"
                      % (size, len(blended), blended[:5]))
    return (left, top, right, bottom), scale


def text_lines(rows):
    """How many lines of text a tooltip shows: bands of rows that hold pixels
    other than the tooltip's ground, inside its border."""
    ground = rows[len(rows) // 2][3]
    bands, inside = 0, False
    for row in rows[3:-3]:
        inked = any(sum(abs(a - b) for a, b in zip(c, ground)) > 150 for c in row[4:-4])
        if inked and not inside:
            bands += 1
        inside = inked
    return bands


def top_windows(s):
    # The root's children: "     0x2a00003 "name": ("c" "C")  200x40+10+20  +10+20".
    return {m.group(1): tuple(map(int, m.group(4, 5, 2, 3)))
            for m in re.finditer(r"^     (0x[0-9a-f]+) .*?\s(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)",
                                 s.tree(), re.M)}


def viewable(s, wid):
    info = s.run(["xwininfo", "-id", wid], check=False).stdout.decode()
    return "IsViewable" in info


def main():
    args = arguments(("--panel", {"choices": ("xfce", "lxqt"), "required": True}),
                     ("--grab", {"required": True}),
                     ("--sizes", {"default": ",".join(map(str, SIZES))}))
    sizes = [int(size) for size in args.sizes.split(",")]

    binary = "xfce4-panel" if args.panel == "xfce" else "lxqt-panel"
    tools = [binary, "Xvfb", "xdotool", "xwininfo", "dbus-daemon", "dbus-send"]
    if args.panel == "xfce":
        tools.append("xfconf-query")
    for tool in tools:
        if not shutil.which(tool):
            print("skipped: %s is not installed" % tool)
            return SKIP

    with PanelSession(args) as s:
        demo = os.path.join(s.tmp, "demo")
        s.run(["bash", os.path.join(args.source, "scripts", "prepare-demo.sh"), args.build, demo],
              timeout=60)
        s.start_xvfb()
        s.start_bus()
        s.start_panel(sizes[0])
        program = s.start([os.path.join(demo, "Zelvant")], cwd=s.tmp)
        history = os.path.join(demo, "Zelvant.mdb")

        def stored():
            con = sqlite3.connect(history)
            try:
                return con.execute("select count(*) from Phones").fetchone()[0]
            finally:
                con.close()
        # The demo cycle ends with every phone's balance in the tip.
        wait_for("the demo balances", lambda: stored() >= DEMO_PHONES, 40, interval=0.5)

        seen = []
        for size in sizes:
            if size != sizes[0]:
                s.start_panel(size)
                time.sleep(1)
            rows, ink = s.icon_area(size)
            box, scale = check_crisp(rows, ink, size)
            seen.append("%d: ink %dx%d at %d,%d, %d px per drawing pixel"
                        % (size, box[2] - box[0] + 1, box[3] - box[1] + 1, box[0], box[1], scale))
        x = (box[0] + box[2]) // 2
        y = (box[1] + box[3]) // 2

        before = top_windows(s)
        s.run(["xdotool", "mousemove", str(x), str(y)])

        def tooltip():
            for wid, geometry in top_windows(s).items():
                if wid not in before and geometry[3] > 10 and viewable(s, wid):
                    return geometry
            return None
        tip = wait_for("the panel's tooltip", tooltip, 15, interval=0.3)
        time.sleep(0.5)  # drawn after it is mapped
        lines = text_lines(s.grab(*tip))
        if lines < DEMO_PHONES:
            raise Failure("the tooltip shows %d lines of text, fewer than the %d phones"
                          % (lines, DEMO_PHONES))

        s.run(["xdotool", "mousemove", str(x), str(y), "click", "1"])
        wait_for("the phones window", lambda: s.window_named(PHONES_TITLE), 15)
        if program.poll() is not None:
            raise Failure("the program ended (status %d)" % program.returncode)
        print("ok (%s): %s; tooltip of %d lines" % (args.panel, "; ".join(seen), lines))
        return 0
    return 1


if __name__ == "__main__":
    sys.exit(main())
