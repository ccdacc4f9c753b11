#!/usr/bin/env python3
"""Every key at a glance, in a real X session driven with xdotool.

Usage: key_overview.py BIN_DIR SHOT_DIR

Assigned keys carry a label of what they do on their caps (photographed in English and Chinese,
and at 200 % when the screen is large enough for the scaled window). "All assigned keys" beside
the legend lists them in the order of the keyboard; a click on a row opens the key dialog on that
key, and OK there assigns that key.
Exits 77 (skipped) without a display or without the tools.
"""

import os
import re
import shutil
import sys
import time

import demo_driver
from demo_driver import Demo, Failure, expect, run, run_scenario, wait_until
from dialog_keys import Dialog, key, new_window_of, type_text, visible_windows

SKIP = 77
OVERVIEW_TITLE = "Assigned keys"
OVERVIEW_TITLE_CN = "已设置按键"
# The overview's fixed geometry (profile_overview.h): margin, summary line and spacing above the
# list, the list's frame, its header and rows.
LIST_TOP = 16 + 24 + 10 + 1
HEADER, ROW = 28, 30


def screen_size():
    out = run("xdpyinfo", check=False)
    found = re.search(r"dimensions:\s+(\d+)x(\d+)", out)
    return (int(found.group(1)), int(found.group(2))) if found else (0, 0)


def open_overview(demo, title, scale=1):
    known = visible_windows(demo)
    demo.click_at(tuple(v * scale for v in demo.rects["key_overview"]))
    overview = wait_until("the overview", lambda: new_window_of(demo, known))
    time.sleep(0.6)
    name = run("xdotool", "getwindowname", overview).strip()
    expect(title in name, f"the overview is called {name!r}")
    return overview


def click_row(demo, overview, row):
    demo.click_at((20, LIST_TOP + HEADER + row * ROW, 200, ROW), overview)


def assign_media(demo, dialog):
    """On the open dialog: the media page's first entry (Play/Pause, 205), OK."""
    dialog.click(dialog.tab(2))
    time.sleep(0.3)
    dialog.click_button("btnOK")
    wait_until("the dialog to close", dialog.closed)


def scenario(demo, shots):
    demo.launch()
    # F1 gets a media key, B the key X.
    mark = len(demo.trace())
    dialog = Dialog(demo).open("F1")
    assign_media(demo, dialog)
    wait_until("F1's remap", lambda: demo.sends(mark, "07 fa 01 01 3a 01 cd 01"))
    dialog = Dialog(demo).open("B")
    dialog.click(dialog.tab(1))
    time.sleep(0.3)
    key("x")
    dialog.click_button("btnOK")
    wait_until("B's remap", lambda: demo.sends(mark, "07 fa 01 02 05 01 1b 01"))
    wait_until("the dialog to close", dialog.closed)
    time.sleep(0.5)
    demo.screenshot(shots, "overview-labels-en")

    overview = open_overview(demo, OVERVIEW_TITLE)
    demo.screenshot(shots, "overview-list-en")
    # Rows in the keyboard's order: F1, then B. B's row opens the dialog on B.
    mark = len(demo.trace())
    click_row(demo, overview, 1)
    wait_until("the overview to close", lambda: overview not in visible_windows(demo))
    dialog = Dialog(demo)
    dialog.window = wait_until("the key dialog from the overview", dialog.find)
    time.sleep(1.0)
    demo.screenshot(shots, "overview-dialog-on-b")
    assign_media(demo, dialog)
    sent = wait_until("B's new remap", lambda: demo.sends(mark, "07 fa"))
    expect(sent[0] == "send 07 fa 01 02 05 01 cd 01",
           f"the dialog opened from B's row assigned {sent[0]}, not B")

    # Escape closes the overview without opening anything.
    overview = open_overview(demo, OVERVIEW_TITLE)
    known = visible_windows(demo)
    run("xdotool", "windowfocus", "--sync", overview, check=False)
    key("Escape")
    wait_until("the overview to close", lambda: overview not in visible_windows(demo))
    time.sleep(0.5)
    expect(visible_windows(demo) <= known, "Escape on the overview opened a window")

    # In Chinese: labels and the overview follow the language.
    demo.click("zh_cn")
    time.sleep(0.5)
    demo.screenshot(shots, "overview-labels-cn")
    overview = open_overview(demo, OVERVIEW_TITLE_CN)
    demo.screenshot(shots, "overview-list-cn")
    run("xdotool", "windowfocus", "--sync", overview, check=False)
    key("Escape")
    wait_until("the overview to close", lambda: overview not in visible_windows(demo))
    demo.click("jp")
    time.sleep(0.3)
    expect(demo.close_with_button() == 1, "closing must end with exit code 1")

    # At 200 %, where the screen holds the scaled window: the same keys, labelled.
    width, height = screen_size()
    if width >= 2100 and height >= 1500:
        demo.env["QT_SCALE_FACTOR"] = "2"
        demo.launch()
        demo.screenshot(shots, "overview-labels-200")
        overview = open_overview(demo, OVERVIEW_TITLE, scale=2)
        demo.screenshot(shots, "overview-list-200")
        run("xdotool", "windowfocus", "--sync", overview, check=False)
        key("Escape")
        demo.stop()
    else:
        print(f"the screen ({width}x{height}) is too small for the window at 200 %: "
              "that part skipped")


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    bin_dir, shots = sys.argv[1], sys.argv[2]
    if not os.environ.get("DISPLAY"):
        print("DISPLAY is not set: skipped")
        return SKIP
    for tool in ("xdotool", "xwininfo", "import", "xdpyinfo"):
        if shutil.which(tool) is None:
            print(f"{tool} is missing: skipped")
            return SKIP
    return run_scenario("key_overview", "kbconfig-e2e-overview-", lambda root: Demo(root, bin_dir),
                        scenario, shots)


if __name__ == "__main__":
    sys.exit(main())
