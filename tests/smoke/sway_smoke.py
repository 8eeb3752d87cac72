#!/usr/bin/env python3
"""The tray program natively on Wayland: sway on its headless backend.

Starts a private session bus and sway without any bar, then the program with
Qt's Wayland platform: its phones window must appear (the compositor's tree
shows it), the program must say the notification area is absent, and closing
the window must end it. Then with waybar's tray module the program must run
with its icon only, and a second start must show the running program's
window; never Qt's warning about X11 tray windows. sway refuses to run as
root, so under root everything runs as the user nobody. Every process it
starts is ended afterwards.

    sway_smoke.py --build BUILD --source SOURCE

Exit status 77 (skipped) when sway, waybar, swaymsg or dbus-daemon is missing.
"""

import glob
import json
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tray_smoke import PHONES_TITLE, SKIP, Failure, Session, arguments, ended_cleanly, wait_for  # noqa: E402

NOBODY = 65534


def main():
    args = arguments()
    tools = ["sway", "swaymsg", "waybar", "dbus-daemon"]
    if os.geteuid() == 0:
        tools.append("setpriv")
    for tool in tools:
        if not shutil.which(tool):
            print("skipped: %s is not installed" % tool)
            return SKIP

    user = []
    if os.geteuid() == 0:
        user = ["setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY, "--clear-groups"]
    with Session(args) as s:
        demo = os.path.join(s.tmp, "demo")
        s.run(["bash", os.path.join(args.source, "scripts", "prepare-demo.sh"), args.build, demo],
              timeout=60)
        if user:
            subprocess.run(["chown", "-R", "%d:%d" % (NOBODY, NOBODY), s.tmp], check=True)
            os.chmod(s.tmp, 0o755)
        s.env.pop("DISPLAY", None)
        s.env.update(WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1",
                     WLR_RENDERER="pixman", QT_LOGGING_RULES="zelvant.tray.info=true")
        bus = subprocess.Popen(user + ["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                               env=s.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                               start_new_session=True)
        s.procs.append(bus)
        s.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()

        config = os.path.join(s.tmp, "sway.conf")
        with open(config, "w") as f:
            f.write("output HEADLESS-1 resolution 1024x768\n")
        waybar_config = os.path.join(s.tmp, "waybar.json")
        with open(waybar_config, "w") as f:
            json.dump({"layer": "top", "height": 24, "modules-right": ["tray"],
                       "tray": {"icon-size": 16}}, f)
        s.start(user + ["sway", "-c", config], name="sway")
        runtime = s.env["XDG_RUNTIME_DIR"]
        sockets = wait_for("sway's Wayland socket", lambda: [
            p for p in glob.glob(os.path.join(runtime, "wayland-*")) if not p.endswith(".lock")],
            20)
        s.env["WAYLAND_DISPLAY"] = os.path.basename(sockets[0])
        s.env["SWAYSOCK"] = wait_for("sway's socket",
                                     lambda: glob.glob(os.path.join(runtime, "sway-ipc.*")), 10)[0]
        s.env["QT_QPA_PLATFORM"] = "wayland"
        # Under AddressSanitizer the Wayland client library's own allocations
        # left at exit would count as the program's leaks.
        s.env["ASAN_OPTIONS"] = s.env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"

        def phones_window():
            r = s.run(user + ["swaymsg", "-t", "get_tree"], check=False)
            found = []

            def walk(node):
                if node.get("app_id") == "zelvant" and node.get("name") == PHONES_TITLE:
                    found.append(node)
                for child in node.get("nodes", []) + node.get("floating_nodes", []):
                    walk(child)
            try:
                walk(json.loads(r.stdout))
            except ValueError:
                pass
            return found

        log = os.path.join(s.tmp, "Zelvant.log")

        def said(text):
            return text in open(log, errors="replace").read()
        program = s.start(user + [os.path.join(demo, "Zelvant")], name="Zelvant", cwd=s.tmp)
        wait_for("the phones window without a bar", phones_window, 20)
        wait_for("the word on the missing notification area",
                 lambda: said("notification area absent"), 10)
        # Without a tray the window is all there is of the program: closing it ends it.
        s.run(user + ["swaymsg", "[app_id=zelvant] kill"])
        ended_cleanly(program, "closing the window without a notification area")

        s.start(user + ["waybar", "-c", waybar_config], name="waybar")
        watcher = user + ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                          "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                          "string:org.kde.StatusNotifierWatcher"]
        wait_for("waybar's tray",
                 lambda: b"boolean true" in s.run(watcher, check=False).stdout, 20)
        program = s.start(user + [os.path.join(demo, "Zelvant")], name="Zelvant", cwd=s.tmp)
        wait_for("the program to see waybar's tray", lambda: said("notification area present"),
                 20)
        time.sleep(0.5)
        if phones_window() or program.poll() is not None:
            raise Failure("with a tray the program must run with its icon only")
        second = s.run(user + [os.path.join(demo, "Zelvant")], timeout=20, check=False)
        if second.returncode != 0:
            raise Failure("a second start ended with status %d" % second.returncode)
        wait_for("the running program's window after a second start", phones_window, 10)
        if said("systemTrayWindowChanged"):
            raise Failure("Qt warned about X11 tray windows under Wayland")
        print("ok: sway without a bar showed the window; waybar's tray took the icon")
        return 0
    return 1


if __name__ == "__main__":
    sys.exit(main())
