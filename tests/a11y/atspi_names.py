#!/usr/bin/python3
"""Every window read through AT-SPI, as a screen reader meets it.

Starts Xvfb, a private session bus and the accessibility bus (at-spi2-core),
shows every window of the program with tests/a11y/show_windows (built as
zelvant_show_windows), and walks their accessibility trees: the test fails on
a control that takes the keyboard focus and has no name, on a window that is
not announced as a window or dialog with its title, and on a chart without a
description of what it shows.

    atspi_names.py --build BUILD --source SOURCE [--keep]

Needs the Debian python3 (for pyatspi); exit status 77 (skipped) when Xvfb,
dbus-daemon, at-spi2-core or python3-pyatspi is missing.
"""

import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "smoke"))
from tray_smoke import Failure, Session, arguments, wait_for  # noqa: E402

SKIP = 77
LAUNCHERS = ("/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher")
# Titles of the windows that must be there, in Russian (the test runs on a
# Russian interface, as the program's own default).
TITLES = ["About", "Настройка программы Zelvant", "Выбор региона для телефона",
          "Добавить региональную ЛУМО", "История баланса", "История баланса по телефону",
          "Информация о балансе телефонов"]
# Data, not controls: a table's cells and column titles are named by their text.
DATA_ROLES = ("table cell", "column header", "row header")


def walk(node, path, found):
    """Every descendant of node with its path of role names."""
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is None:
            continue
        where = path + ["%s \"%s\"" % (child.getRoleName(), child.name) if child.name
                        else child.getRoleName()]
        found.append((child, where))
        walk(child, where, found)


def check_window(window, pyatspi):
    faults = []
    title = window.name
    role = window.getRoleName()
    if window.getRole() not in (pyatspi.ROLE_FRAME, pyatspi.ROLE_WINDOW, pyatspi.ROLE_DIALOG):
        faults.append('"%s" is announced as a %s, not as a window' % (title, role))
    found = []
    walk(window, [role], found)
    charts = 0
    for node, path in found:
        if node.getRoleName() in DATA_ROLES:
            continue
        states = node.getState()
        if states.contains(pyatspi.STATE_FOCUSABLE) and not node.name.strip():
            faults.append('"%s": a focusable %s has no name (%s)'
                          % (title, node.getRoleName(), " > ".join(path)))
        if node.name == "График баланса":
            charts += 1
            if not node.description.strip():
                faults.append('"%s": the chart has no description' % title)
    return faults, charts


def accessibility_bus_address(env):
    """The accessibility bus's address once its launcher answers, else None."""
    answer = subprocess.run(
        ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
         "org.a11y.Bus.GetAddress"], env=env, capture_output=True, text=True, timeout=10)
    return answer.stdout if answer.returncode == 0 and "unix:" in answer.stdout else None


def main():
    args = arguments()

    launcher = next((p for p in LAUNCHERS if os.access(p, os.X_OK)), None)
    for tool, present in (("Xvfb", shutil.which("Xvfb")),
                          ("dbus-daemon", shutil.which("dbus-daemon")),
                          ("dbus-send", shutil.which("dbus-send")),
                          ("at-spi2-core", launcher)):
        if not present:
            print("skipped: %s is not installed" % tool)
            return SKIP
    import importlib.util
    if importlib.util.find_spec("pyatspi") is None:
        print("skipped: python3-pyatspi is not installed")
        return SKIP

    with Session(args) as s:
        s.start_xvfb()
        socket = os.path.join(s.tmp, "bus")
        s.start(["dbus-daemon", "--session", "--nofork", "--address=unix:path=" + socket])
        wait_for("the session bus", lambda: os.path.exists(socket), 20)
        s.env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + socket
        s.start([launcher, "--launch-immediately"])
        s.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        s.env["QT_ACCESSIBILITY"] = "1"
        s.env["QT_QPA_PLATFORM"] = "xcb"
        # pyatspi finds the accessibility bus through these.
        os.environ.update({k: s.env[k] for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS")})
        # pyatspi asks the session bus for the accessibility bus once, at its
        # first use, and falls back to the session bus itself when the
        # launcher has not answered yet: on a loaded machine it then waits
        # for windows on a bus that never gets any. So the launcher first.
        wait_for("the accessibility bus launcher", lambda: accessibility_bus_address(s.env), 30,
                 interval=0.2)
        import pyatspi

        shown = s.start([os.path.join(args.build, "tests", "zelvant_show_windows")], cwd=s.tmp)

        def application():
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                if app is not None and app.name == "zelvant_show_windows":
                    names = [app.getChildAtIndex(j).name for j in range(app.childCount)]
                    if all(t in names for t in TITLES):
                        return app
            if shown.poll() is not None:
                raise Failure("zelvant_show_windows exited with status %d" % shown.returncode)
            return None
        # Seven windows, one of them with 500 controls: under the sanitizers
        # on a busy machine that takes a while.
        app = wait_for("the windows on the accessibility bus", application, 90, interval=0.5)

        faults = []
        charts = 0
        windows = app.childCount
        for i in range(windows):
            window = app.getChildAtIndex(i)
            window_faults, window_charts = check_window(window, pyatspi)
            faults += window_faults
            charts += window_charts
        if charts == 0:
            faults.append("no balance chart was found")
        for fault in faults:
            print(fault)
        if faults:
            print("%d fault(s)" % len(faults))
            return 1
        print("ok: %d windows, every focusable control named" % windows)
        return 0
    return 1


if __name__ == "__main__":
    sys.exit(main())
