#!/usr/bin/env python3
"""Drives the Windows build under Wine in a real X display with xdotool, as a user would.

Usage: wine_driver.py session PROGRAM_FOLDER SHOT_DIR
       wine_driver.py installer INSTALLER SHOT_DIR

session: the installed program folder's kbconfig-demo.exe: a macro recorded by typing (through
the low-level keyboard hook) with its delay and repeat typed sends the stored trace the Linux
demo is held to; the language switch; unplugging and plugging in the simulated keyboard
(Ctrl+Alt+U, typed into the window); a second start brings the hidden window back and exits 0;
the tray icon's menu ends the program. Then kbconfig.exe, the real device path, lists Wine's HID
devices, finds no keyboard and keeps running.

installer: silent install, the installed program shows its window; a change made there lives in
%APPDATA%\\kbconfig, survives a silent uninstall (which removes the program folder) and is shown
again after reinstalling.

The caller provides WINEPREFIX (booted) and DISPLAY, a display of its own; trayer is started as
the notification area, Wine docks its tray icons there. Every step waits on a condition with a
generous deadline.
"""

import glob
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from demo_driver import (TITLE, TITLE_CN, Demo, Failure, Tray, check_against_expected, expect,
                         layout_rects, record_macro_with_repeat, run, wait_until, window_size)

SKIP = 77
# Wine starts slowly on a loaded machine.
START_TIMEOUT = 120


class WineProgram(Demo):
    """One Windows program of a program folder, run by Wine from another working folder."""

    def __init__(self, root, program_folder, exe="kbconfig-demo.exe"):
        self.root = root
        self.app = program_folder
        self.exe = exe
        self.env = dict(os.environ)
        # Qt's variables reach a Windows program only as WINEQT_*: the windows platform, as a
        # user gets it.
        for name in list(self.env):
            if name.startswith("WINEQT_"):
                del self.env[name]
        self.rects = layout_rects(os.path.join(self.app, "uires", "layout", "main.xml"))
        self.title = TITLE
        self.proc = None
        self.window = None

    def start(self, tag="first"):
        out = open(os.path.join(self.root, f"{tag}.out"), "w")
        err = open(os.path.join(self.root, f"{tag}.err"), "w")
        proc = subprocess.Popen(["wine", os.path.join(self.app, self.exe)], cwd=self.root,
                                env=self.env, stdout=out, stderr=err)
        out.close()
        err.close()
        return proc

    def output(self, tag="first"):
        with open(os.path.join(self.root, f"{tag}.out"), errors="replace") as f:
            return f.read()

    def trace(self, tag="first"):
        with open(os.path.join(self.root, f"{tag}.err"), errors="replace") as f:
            return f.read().splitlines()

    def launch(self, connected=True):
        self.proc = self.start("first")
        self.window = wait_until("the main window", self.find_window, timeout=START_TIMEOUT)
        if connected:
            wait_until("the start-up read-back", lambda: self.sends(0, "07 fb"), timeout=60)
            time.sleep(0.3)

    def focus(self):
        """A click on the window's caption, as a user gives a window the keyboard. Without a
        window manager X's focus stays with the pointer's window, which Wine follows."""
        left, top = self.geometry()
        run("xdotool", "mousemove", str(left + 400), str(top + 24))
        run("xdotool", "click", "1")
        time.sleep(0.3)

    def status_is_red(self):
        """True when the status text ("Disconnected") is drawn in the danger colour."""
        x, y, w, h = self.rects["version"]
        left, top = self.geometry()
        image = subprocess.run(["import", "-window", "root", "-crop",
                                f"{w}x{h}+{left + x}+{top + y}", "-depth", "8", "rgb:-"],
                               capture_output=True, timeout=30).stdout
        pixels = [image[i:i + 3] for i in range(0, len(image) - 2, 3)]
        return sum(1 for r, g, b in pixels if r > 180 and g < 130 and b < 140) > 20

    def stop(self):
        super().stop()
        # What Wine started for the program (its tray host among them) goes with it.
        subprocess.run(["wineserver", "-k"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=60)


def tray_icons():
    """Wine's icon windows docked into the tray: its tray host is explorer.exe."""
    icons = []
    for panel in Tray.running().split():
        for line in run("xwininfo", "-tree", "-id", panel, check=False).splitlines():
            parts = line.split()
            if (parts and parts[0].startswith("0x") and '"explorer.exe"' in line and
                    "IsViewable" in run("xwininfo", "-id", parts[0], check=False)):
                icons.append(parts[0])
    return icons


def click_window_centre(window, button):
    info = run("xwininfo", "-id", window)
    x = int(info.split("Absolute upper-left X:")[1].split()[0])
    y = int(info.split("Absolute upper-left Y:")[1].split()[0])
    w, h = window_size(window)
    run("xdotool", "mousemove", str(x + w // 2), str(y + h // 2))
    time.sleep(0.1)
    run("xdotool", "click", str(button))


def session(program_folder, shots):
    started = time.monotonic()
    root = tempfile.mkdtemp(prefix="kbconfig-wine-")
    demo = WineProgram(root, program_folder)
    # Left over by an earlier run of the same folder.
    for name in ("demo-keyboard.xml", "demo-keyboard-keymap.xml", "macro.xml", "store.xml",
                 "settings.xml"):
        if os.path.exists(os.path.join(program_folder, name)):
            os.remove(os.path.join(program_folder, name))
    with Tray():
        demo.launch()
        demo.screenshot(shots, "wine-started")
        print(f"  started: {time.monotonic() - started:.0f} s")

        # The macro, typed through the low-level hook: the same reports and waits as on Linux.
        trace = record_macro_with_repeat(demo, shots, "wine-record")
        check_against_expected(trace, "record-macro.trace")
        print(f"  macro recorded and sent: {time.monotonic() - started:.0f} s")

        # The language buttons retitle the window.
        demo.click("zh_cn")
        wait_until("the Chinese title", lambda: demo.window_name() == TITLE_CN, timeout=15)
        demo.screenshot(shots, "wine-chinese")
        demo.click("jp")
        wait_until("the English title", lambda: demo.window_name() == TITLE, timeout=15)

        # Unplugging reports nothing; plugging in selects the profile and reads back.
        demo.focus()
        mark = len(demo.trace())
        searches = demo.discoveries()
        run("xdotool", "key", "ctrl+alt+u")
        wait_until("the unplug to be handled", lambda: demo.discoveries() > searches, timeout=15)
        time.sleep(0.3)
        expect(not demo.sends(mark, ""), "an unplugged keyboard was sent reports")
        demo.screenshot(shots, "wine-unplugged")
        run("xdotool", "key", "ctrl+alt+u")
        wait_until("the profile select after plugging in", lambda: demo.sends(mark, "07 fc 01"),
                   timeout=15)
        wait_until("the read-back after plugging in", lambda: demo.sends(mark, "07 fb"),
                   timeout=15)
        print(f"  unplugged and plugged in: {time.monotonic() - started:.0f} s")

        # Hidden into the tray, then a second start: it brings the window back and exits 0.
        demo.click("btn_min")
        wait_until("the window to hide", lambda: not demo.is_viewable(), timeout=15)
        second = demo.start("second")
        code = second.wait(timeout=START_TIMEOUT)
        expect(code == 0, f"the second start must exit 0, got {code}")
        expect(not [line for line in demo.trace("second") if line.startswith("send ")],
               "the second start talked to the keyboard")
        wait_until("the first window to come back", demo.is_viewable, timeout=15)
        expect(demo.proc.poll() is None, "the first instance ended")
        demo.screenshot(shots, "wine-second-start")
        print(f"  second start: {time.monotonic() - started:.0f} s")

        # The tray icon's menu: Upgrade, a separator, Exit.
        icons = wait_until("the tray icon", tray_icons, timeout=30)

        def menu():
            return next((w for w in run("xdotool", "search", "--onlyvisible", "--pid",
                                        str(demo.proc.pid), check=False).split()
                         if w != demo.window and 0 < window_size(w)[0] < 400), None)

        # Wine's tray host now and then drops the first click on an icon it has just docked;
        # a user clicks again.
        for attempt in range(3):
            click_window_centre(icons[0], 3)
            try:
                wait_until("the tray menu", menu, timeout=5 if attempt < 2 else 30,
                           retry=attempt < 2)
                break
            except Failure:
                if attempt == 2:
                    raise
        demo.screenshot(shots, "wine-tray-menu")
        for key in ("Down", "Down", "Return"):
            run("xdotool", "key", key)
            time.sleep(0.2)
        code = demo.proc.wait(timeout=30)
        demo.proc = None
        expect(code == 1, f"Exit from the tray menu must end with exit code 1, got {code}")
        print(f"  tray menu: {time.monotonic() - started:.0f} s")
    demo.stop()

    # The real device path: Wine's HID devices are listed, the keyboard is not among them.
    real = WineProgram(root, program_folder, "kbconfig.exe")
    real.launch(connected=False)
    wait_until("the device search", lambda: "enum interface" in real.output(), timeout=60)
    expect("open dev" not in real.output(), "a keyboard was found:\n" + real.output())
    # Start-up says so in a box of its own; Enter answers it.
    box = wait_until("the warning", lambda: next(
        (w for w in run("xdotool", "search", "--onlyvisible", "--pid", str(real.proc.pid),
                        "--name", "^Warning$", check=False).split() if w != real.window), None),
        timeout=60)
    time.sleep(0.5)
    real.screenshot(shots, "wine-real-absent")
    # The box has the keyboard. Without a window manager X hands a key to the window under the
    # pointer, and Wine takes it from the main window's X window to the box, not from the box's
    # own (a layered window): the pointer rests on the main window's caption.
    left, top = real.geometry()
    run("xdotool", "mousemove", str(left + 400), str(top + 24))
    time.sleep(0.3)
    run("xdotool", "key", "Return")
    wait_until("the warning to go", lambda: "IsViewable" not in run(
        "xwininfo", "-id", box, check=False), timeout=15)
    expect(real.proc.poll() is None, "kbconfig.exe ended:\n" + "\n".join(real.trace()[-20:]))
    wait_until("the status in the danger colour", lambda: real.status_is_red(), timeout=15)
    real.screenshot(shots, "wine-real-disconnected")
    expect(real.close_with_button() == 1, "closing kbconfig.exe must end with exit code 1")
    real.stop()
    print(f"  kbconfig.exe without the keyboard: {time.monotonic() - started:.0f} s")
    return root


def installer(installer_path, shots):
    started = time.monotonic()
    prefix = os.environ["WINEPREFIX"]
    program_folder = os.path.join(prefix, "drive_c", "Program Files", "kbconfig")
    users = glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Roaming"))
    users = [u for u in users if "/Public/" not in u]
    expect(len(users) == 1, f"expected one user's roaming folder, found {users}")
    data_folder = os.path.join(users[0], "kbconfig")
    settings = os.path.join(data_folder, "settings.xml")
    shortcut = os.path.join(prefix, "drive_c", "ProgramData", "Microsoft", "Windows",
                            "Start Menu", "Programs", "kbconfig", "kbconfig.lnk")
    subprocess.run(["rm", "-rf", data_folder], check=True)
    root = tempfile.mkdtemp(prefix="kbconfig-wine-install-")

    def wine(*args):
        # Not through pipes: a wineserver started here would hold them open.
        subprocess.run(["wine", *args], check=True, timeout=300, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    def install():
        wine(installer_path, "/S")
        wait_until("the installed program", lambda: os.path.isfile(
            os.path.join(program_folder, "kbconfig.exe")) and os.path.isfile(shortcut),
            timeout=120)

    def uninstall():
        # The uninstaller copies itself away and runs from there.
        wine("C:\\Program Files\\kbconfig\\Uninstall.exe", "/S")
        wait_until("the program folder to go", lambda: not os.path.exists(program_folder),
                   timeout=120)

    # Left by a run that stopped half-way, perhaps with files of its own in the folder.
    if os.path.exists(os.path.join(program_folder, "Uninstall.exe")):
        wine("C:\\Program Files\\kbconfig\\Uninstall.exe", "/S")
        wait_until("the earlier install to go", lambda: not os.path.exists(
            os.path.join(program_folder, "Uninstall.exe")), timeout=120)
    subprocess.run(["rm", "-rf", program_folder], check=True)
    install()
    demo = WineProgram(root, program_folder)
    demo.launch()
    demo.screenshot(shots, "wine-installed")
    demo.click("zh_cn")
    wait_until("the Chinese title", lambda: demo.window_name() == TITLE_CN, timeout=15)
    wait_until("the language saved", lambda: os.path.isfile(settings), timeout=15)
    demo.title = TITLE_CN
    expect(demo.close_with_button() == 1, "closing must end with exit code 1")
    demo.stop()
    left = sorted(n for n in os.listdir(program_folder) if n.endswith(".xml"))
    expect(left == ["config.xml", "keys.xml"],
           f"the installed program wrote into its folder: {left}")
    print(f"  installed, language changed: {time.monotonic() - started:.0f} s")

    uninstall()
    expect(os.path.isfile(settings), "uninstalling removed the user's data")
    print(f"  uninstalled, data kept: {time.monotonic() - started:.0f} s")

    install()
    demo = WineProgram(root, program_folder)
    demo.title = TITLE_CN
    demo.launch()
    demo.screenshot(shots, "wine-reinstalled")
    expect(demo.window_name() == TITLE_CN, "after reinstalling the language is not Chinese")
    demo.stop()
    uninstall()
    print(f"  reinstalled, the change shown, uninstalled: {time.monotonic() - started:.0f} s")
    return root


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("session", "installer"):
        print(__doc__, file=sys.stderr)
        return 2
    what, target, shots = sys.argv[1:]
    if not os.environ.get("DISPLAY") or not os.environ.get("WINEPREFIX"):
        print("DISPLAY or WINEPREFIX is not set: skipped")
        return SKIP
    for tool in ("wine", "wineserver", "xdotool", "xwininfo", "xprop", "import", "trayer"):
        if subprocess.run(["sh", "-c", f"command -v {tool}"], capture_output=True).returncode:
            print(f"{tool} is missing: skipped")
            return SKIP
    try:
        root = (session if what == "session" else installer)(target, shots)
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        os.makedirs(shots, exist_ok=True)
        run("import", "-window", "root", os.path.join(shots, f"wine-{what}-failed.png"),
            check=False, timeout=30)
        print(f"(screen in {shots}/wine-{what}-failed.png)", file=sys.stderr)
        subprocess.run(["wineserver", "-k"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=60)
        return 1
    subprocess.run(["rm", "-rf", root])
    print(f"wine {what}: passed; screenshots in {shots}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
