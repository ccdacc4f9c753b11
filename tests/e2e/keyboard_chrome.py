#!/usr/bin/env python3
"""Keyboard-only use, the window buttons and the file chooser in a real X session.

Usage: keyboard_chrome.py SCENARIO BIN_DIR SHOT_DIR

Scenarios:
  keys     Tab reaches the keyboard picture, the arrows move between keys, Enter opens the
           dialog on the focused key; in the dialog each list is one Tab stop, the arrows move
           in it and F2 renames a group; Escape cancels
  chrome   the maximize button maximizes with the content centred and turns into restore,
           which restores; a double-click on the title toggles; the dialog's restore shows only
           while it is maximized and its close button cancels
  chooser  exporting opens a dark chooser in the documents folder offering <group>.mcr, in
           English and in Chinese; a written export says nothing
Exits 77 (skipped) without a display or without the tools.
"""

import os
import re
import shutil
import subprocess
import sys
import time

from demo_driver import Demo, Failure, expect, run, run_scenario, wait_until
import dialog_keys
from dialog_keys import (Dialog, key, read_library, type_text, warning_box, write_library,
                         write_store)

SKIP = 77


def focus_main(demo):
    """A click on an empty part of the window gives it the keyboard, as a user does."""
    x, y, w, h = demo.rects["img_keyboard"]
    demo.click_at((x + w - 40, y + h + 160, 4, 4))
    time.sleep(0.3)


def window_size(window):
    values = dict(line.split("=", 1)
                  for line in run("xdotool", "getwindowgeometry", "--shell", window).split())
    return int(values["WIDTH"]), int(values["HEIGHT"])


def pixel(shot, x, y):
    """The colour at (x, y) of a screenshot, as ImageMagick names it in hex."""
    out = run("convert", shot, "-crop", f"1x1+{x}+{y}", "-depth", "8", "txt:-")
    return out.splitlines()[-1].split()[2]


def picture_pixels(demo):
    x, y, w, h = demo.rects["img_keyboard"]
    return subprocess.run(["import", "-window", demo.window, "-crop", f"{w}x{h}+{x}+{y}",
                           "-depth", "8", "rgb:-"], capture_output=True, timeout=30).stdout


def tab_until_dialog(demo, limit=40):
    """Tabs from the focused main window until Enter on the focused control opens the dialog:
    the keyboard picture is one stop on the way."""
    dialog = Dialog(demo)
    for presses in range(1, limit + 1):
        key("Tab")
        # Enter on a button would run its command; the picture is the only control whose
        # Enter opens this dialog. Probe with Right first: on the picture it moves the focus
        # ring and nothing else.
        before = picture_pixels(demo)
        key("Right")
        after = picture_pixels(demo)
        if before != after:
            return presses, dialog
    raise Failure("Tab never reached the keyboard picture")


def scenario_keys(demo, shots):
    write_library(os.path.join(demo.app, "macro.xml"),
                  [("first", []), ("second", [(4, "A", 0, 10)] * 70)])
    write_store(demo, page=0)
    demo.launch()
    focus_main(demo)
    presses, dialog = tab_until_dialog(demo)
    expect(presses <= 12, f"the keyboard picture took {presses} Tab presses")
    demo.screenshot(shots, "keys_picture_focused")
    key("Return")
    dialog.window = wait_until("the dialog opened with Enter", dialog.find, timeout=30)
    time.sleep(1.0)
    demo.screenshot(shots, "keys_dialog_opened")

    # The group list is one stop before its rows: Shift+Tab from a row's name field is the
    # list, where Down selects the next group as a click does and F2 renames it.
    dialog.click(dialog.group_row(0))
    key("shift+Tab", "Down")
    time.sleep(0.5)
    demo.screenshot(shots, "keys_group_list_arrow")
    key("F2", "ctrl+a")
    type_text("Renamed")
    time.sleep(0.5)
    names = [name for name, _ in read_library(demo)]
    expect(names == ["first", "Renamed"], f"F2 and typing did not rename the second group: {names}")
    key("Tab", "Escape")
    wait_until("the dialog cancelled with Escape", dialog.closed)
    print(f"keyboard picture reached after {presses} Tab presses")


def swatch_row_pixels(demo):
    x, y, _, h = demo.panel_rect("bar_color0")
    right, _, w, _ = demo.panel_rect("bar_color7")
    return subprocess.run(["import", "-window", demo.window, "-crop",
                           f"{right + w - x + 8}x{h + 8}+{x - 4}+{y - 4}", "-depth", "8", "rgb:-"],
                          capture_output=True, timeout=30).stdout


def scenario_swatches(demo, shots):
    """Tab reaches the colour swatches with a visible mark, and Space picks the focused one."""
    demo.launch()
    mark = len(demo.trace())
    demo.choose("cmb_led_mode", 1)  # Wave: its colour row, red chosen
    wait_until("Wave", lambda: demo.sends(mark, "07 f7 01 01"))
    focus_main(demo)
    before = swatch_row_pixels(demo)
    for presses in range(1, 60):
        key("Tab")
        if swatch_row_pixels(demo) != before:
            break
    else:
        raise Failure("Tab never marked a colour swatch")
    demo.screenshot(shots, "keys_swatch_focused")
    mark = len(demo.trace())
    key("space")
    # The first swatch of the row is the colour cycle.
    wait_until("the colour cycle picked with Space", lambda: demo.sends(mark, "07 f7 01 00"))
    print(f"colour swatches reached after {presses} Tab presses")


class WindowManager:
    """A window manager for the scenario's length: maximizing is the window manager's work. It
    runs on a display of its own, started here, so nothing of it (the root window's properties
    that tell Qt a window manager runs, say) stays behind for the scenarios that follow on the
    shared display."""

    def __init__(self):
        self.server = None
        self.proc = None
        self.shared_display = None

    def __enter__(self):
        self.shared_display = os.environ.get("DISPLAY")
        # Next to the shared display first: machines shared by several testers give each a
        # range of display numbers.
        shared = re.fullmatch(r":(\d+)(\.\d+)?", self.shared_display or "")
        nearby = range(int(shared.group(1)) + 1, int(shared.group(1)) + 20) if shared else []
        for number in list(nearby) + list(range(400, 460)):
            if not os.path.exists(f"/tmp/.X{number}-lock") and \
                    not os.path.exists(f"/tmp/.X11-unix/X{number}"):
                break
        else:
            raise Failure("no free display number for the window manager's display")
        display = f":{number}"
        self.server = subprocess.Popen(["Xvfb", display, "-screen", "0", "1600x1000x24",
                                        "-nolisten", "tcp"], stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
        os.environ["DISPLAY"] = display
        wait_until("the window manager's display",
                   lambda: subprocess.run(["xdpyinfo"], stdout=subprocess.DEVNULL,
                                          stderr=subprocess.DEVNULL).returncode == 0)
        self.proc = subprocess.Popen(["openbox"], stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        wait_until("the window manager", lambda: "window id" in run(
            "xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False))
        return self

    def __exit__(self, *exc):
        for proc in (self.proc, self.server):
            if proc:
                proc.terminate()
                proc.wait(timeout=10)
        if self.shared_display is not None:
            os.environ["DISPLAY"] = self.shared_display


def scenario_chrome(demo, shots):
    shared = demo.env.get("DISPLAY")
    with WindowManager():
        # The program starts on the window manager's display too.
        demo.env["DISPLAY"] = os.environ["DISPLAY"]
        try:
            chrome_with_window_manager(demo, shots)
        finally:
            demo.stop()
            if shared is not None:
                demo.env["DISPLAY"] = shared


def chrome_with_window_manager(demo, shots):
    demo.launch()
    normal = window_size(demo.window)
    demo.click("btn_max")
    maximized = wait_until("the window maximized",
                           lambda: window_size(demo.window)[0] > normal[0] + 100 and
                           window_size(demo.window))
    time.sleep(0.8)
    demo.screenshot(shots, "chrome_maximized")
    # The content is centred: the restore button sits where the layout puts it, offset by
    # half of the extra room.
    dx = (maximized[0] - normal[0]) // 2
    dy = (maximized[1] - normal[1]) // 2
    x, y, w, h = demo.rects["btn_restore"]
    demo.click_at((dx + x, dy + y, w, h))
    wait_until("the window restored", lambda: window_size(demo.window) == normal)
    time.sleep(0.5)
    demo.screenshot(shots, "chrome_restored")

    # A double-click on the title maximizes, another restores.
    left, top = demo.geometry()
    run("xdotool", "mousemove", str(left + 500), str(top + 20))
    run("xdotool", "click", "--repeat", "2", "--delay", "80", "1")
    wait_until("the title double-click maximizing",
               lambda: window_size(demo.window)[0] > normal[0] + 100)
    time.sleep(0.8)
    left, top = demo.geometry()
    run("xdotool", "mousemove", str(left + dx + 500), str(top + dy + 20))
    run("xdotool", "click", "--repeat", "2", "--delay", "80", "1")
    wait_until("the title double-click restoring", lambda: window_size(demo.window) == normal)
    time.sleep(0.5)

    # The dialog: restore hidden while normal; its close button cancels.
    dialog = Dialog(demo).open("A")
    demo.screenshot(shots, "chrome_dialog_buttons")
    dialog.click_button("btnClose")
    wait_until("the dialog closed by its close button", dialog.closed)
    expect(demo.proc.poll() is None, "the program ended")


def scenario_chooser(demo, shots):
    write_library(os.path.join(demo.app, "macro.xml"), [("Gaming", [(4, "A", 0, 10)])])
    write_store(demo, page=0)
    documents = os.path.join(demo.env["HOME"], "Documents")
    os.makedirs(documents, exist_ok=True)
    demo.launch()
    for language, button, title in (("en", None, "Key assignment"),
                                    ("cn", "zh_cn", "按键设置")):
        if button:
            demo.click(button)
            time.sleep(1.0)
        dialog_keys.DIALOG_TITLE = title
        demo.screenshot(shots, f"chooser_main_{language}")
        dialog = Dialog(demo).open("A")
        dialog.click(dialog.group_row(0))
        known = set(run("xdotool", "search", "--onlyvisible", "--pid", str(demo.proc.pid),
                        check=False).split())
        dialog.click_page_control("groupExport")
        chooser = wait_until("the file chooser", lambda: next(
            (w for w in run("xdotool", "search", "--onlyvisible", "--pid", str(demo.proc.pid),
                            check=False).split() if w not in known), None))
        time.sleep(1.5)
        shot = os.path.join(shots, f"chooser_{language}.png")
        demo.screenshot(shots, f"chooser_{language}")
        # Dark: the chooser's own background is the program's.
        info = run("xwininfo", "-id", chooser)
        cx = int(re.search(r"Absolute upper-left X:\s+(-?\d+)", info).group(1))
        cy = int(re.search(r"Absolute upper-left Y:\s+(-?\d+)", info).group(1))
        colour = pixel(shot, cx + 4, cy + 4)
        expect(int(colour[1:3], 16) < 0x40, f"the chooser is not dark ({colour})")
        # The suggested name is typed in already, in the documents folder: Enter saves.
        key("Return")
        target = os.path.join(documents, "Gaming.mcr")
        wait_until("the export in the documents folder", lambda: os.path.exists(target))
        time.sleep(0.8)
        expect(warning_box(demo) is None, "a written export was announced")
        os.remove(target)
        if language == "cn":
            # Saved once in another folder, the next chooser starts there.
            elsewhere = os.path.join(demo.root, "elsewhere")
            os.makedirs(elsewhere, exist_ok=True)
            for name in ("Other.mcr", None):
                known = set(run("xdotool", "search", "--onlyvisible", "--pid",
                                str(demo.proc.pid), check=False).split())
                dialog.click_page_control("groupExport")
                wait_until("the file chooser again", lambda: next(
                    (w for w in run("xdotool", "search", "--onlyvisible", "--pid",
                                    str(demo.proc.pid), check=False).split()
                     if w not in known), None))
                time.sleep(1.0)
                if name:
                    key("ctrl+a")
                    type_text(os.path.join(elsewhere, name))
                key("Return")
                written = os.path.join(elsewhere, name or "Gaming.mcr")
                wait_until(f"{written} written", lambda: os.path.exists(written))
                time.sleep(0.8)
        key("Escape")
        wait_until("the dialog cancelled", dialog.closed)


def stopping(scenario):
    def run_then_stop(demo, shots):
        try:
            scenario(demo, shots)
        finally:
            demo.stop()
    return run_then_stop


SCENARIOS = {"keys": stopping(scenario_keys), "chrome": scenario_chrome,
             "chooser": stopping(scenario_chooser), "swatches": stopping(scenario_swatches)}


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in SCENARIOS:
        print(__doc__, file=sys.stderr)
        return 2
    scenario, bin_dir, shots = sys.argv[1], sys.argv[2], sys.argv[3]
    if not os.environ.get("DISPLAY"):
        print("DISPLAY is not set: skipped")
        return SKIP
    tools = ["xdotool", "xwininfo", "import", "convert", "xprop"]
    if scenario == "chrome":
        tools += ["openbox", "Xvfb", "xdpyinfo"]
    for tool in tools:
        if shutil.which(tool) is None:
            print(f"{tool} is missing: skipped")
            return SKIP
    return run_scenario(scenario, f"kbconfig-e2e-chrome-{scenario}-",
                        lambda root: Demo(root, bin_dir), SCENARIOS[scenario], shots)


if __name__ == "__main__":
    sys.exit(main())
