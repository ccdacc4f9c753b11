#!/usr/bin/env python3
"""What the window says and asks, in a real X session driven with xdotool.

Usage: feedback.py BIN_DIR SHOT_DIR

Unplugged, the keyboard's controls are grey with a tooltip saying why; the key picture stays
clickable (its dialog edits the macro library offline), says the keyboard is not connected and
refuses OK, sending nothing. Plugged back with the dialog open, the notice goes; an import over a
library of two groups asks first (Escape keeps the library, Enter replaces it).
In Chinese the questions are Chinese, "Delete all steps" clears at once, and the language chosen is
the one of the next start.
Exits 77 (skipped) without a display or without the tools.
"""

import os
import shutil
import signal
import sys
import time

import demo_driver
from demo_driver import Demo, Failure, expect, run, run_scenario, wait_until
from dialog_keys import Dialog, key, new_window_of, read_library, type_text, visible_windows, \
    write_library

SKIP = 77
TITLE_CN_DIALOG = "按键设置"


def box_of(demo, known):
    """A window that appeared since `known`: the message box (or chooser) of the moment."""
    found = run("xdotool", "search", "--onlyvisible", "--pid", str(demo.proc.pid),
                check=False).split()
    return next((w for w in found if w not in known and demo_driver.window_size(w)[0] >= 200),
                None)


def answer(demo, known, shots, shot, keys):
    """Waits for a message box, photographs it and answers it with `keys`."""
    box = wait_until(f"the box {shot}", lambda: box_of(demo, known), timeout=10)
    time.sleep(0.6)
    demo.screenshot(shots, shot)
    run("xdotool", "windowfocus", "--sync", box, check=False)
    key(keys)
    wait_until(f"the box {shot} to close", lambda: box not in visible_windows(demo), timeout=10)
    return box


def import_file(demo, dialog, path):
    known = visible_windows(demo)
    dialog.click_page_control("groupImport")
    wait_until("the open chooser", lambda: new_window_of(demo, known))
    time.sleep(0.5)
    type_text(path)
    key("Return")
    time.sleep(0.5)


def scenario(demo, shots):
    write_library(os.path.join(demo.app, "macro.xml"),
                  [("Old 1", [(4, "A", 0, 10)]), ("Old 2", [])])
    incoming = os.path.join(demo.root, "incoming.mcr")
    write_library(incoming, [("Imported", [(0x16, "S", 0, 5), (0x16, "S", 1, 5)])])
    demo.launch()

    # Unplugged: grey, no marks, a tooltip that says why.
    searches = demo.discoveries()
    demo.proc.send_signal(signal.SIGUSR1)
    wait_until("the unplug to be handled", lambda: demo.discoveries() > searches)
    time.sleep(0.5)
    mark = len(demo.trace())
    x, y, w, h = demo.rects["cmb_profile"]
    left, top = demo.geometry()
    run("xdotool", "mousemove", str(left + x + w // 2), str(top + y + h // 2))
    time.sleep(1.8)
    demo.screenshot(shots, "feedback-disconnected")
    # The keyboard picture stays clickable: the dialog opens for offline macro editing, says
    # the keyboard is away, and refuses OK.
    dialog = Dialog(demo).open("A")
    demo.screenshot(shots, "feedback-disconnected-dialog")
    known = visible_windows(demo)
    dialog.click_button("btnOK")
    answer(demo, known, shots, "feedback-disconnected-ok-refused", "Return")
    time.sleep(0.3)
    expect(not dialog.closed(), "OK closed the dialog while the keyboard was away")
    expect(not demo.sends(mark, ""), "an absent keyboard was sent reports")

    # Plugged back while the dialog is open: it says nothing more of it, and the import asks
    # before replacing two groups.
    demo.proc.send_signal(signal.SIGUSR2)
    wait_until("the read-back after plugging in", lambda: demo.sends(mark, "07 fb"))
    time.sleep(0.8)
    demo.screenshot(shots, "feedback-replugged-dialog")
    known = visible_windows(demo)
    import_file(demo, dialog, incoming)
    answer(demo, known, shots, "feedback-import-question-en", "Escape")
    expect([g[0] for g in read_library(demo)] == ["Old 1", "Old 2"],
           f"Cancel must keep the library: {read_library(demo)}")
    known = visible_windows(demo)
    import_file(demo, dialog, incoming)
    answer(demo, known, shots, "feedback-import-confirmed", "Return")
    wait_until("the imported library",
               lambda: [g[0] for g in read_library(demo)] == ["Imported"], timeout=5)
    dialog.click_button("btnCancel")
    wait_until("the dialog to close", dialog.closed)

    # In Chinese: the same question; "Delete all steps" asks nothing.
    demo.click("zh_cn")
    time.sleep(0.5)
    dialog = Dialog(demo)
    dialog.find = lambda: next(
        (w for w in run("xdotool", "search", "--all", "--onlyvisible", "--pid",
                        str(demo.proc.pid), "--name", TITLE_CN_DIALOG, check=False).split()
         if w != demo.window), None)
    dialog.open("A")
    known = visible_windows(demo)
    import_file(demo, dialog, incoming)
    answer(demo, known, shots, "feedback-import-question-cn", "Escape")
    dialog.click(dialog.group_row(0))
    time.sleep(0.3)
    # "Delete all steps" clears at once, without a question.
    known = visible_windows(demo)
    dialog.click_page_control("item_clear")
    wait_until("the steps cleared", lambda: len(read_library(demo)[0][1]) == 0, timeout=5)
    time.sleep(0.5)
    expect(new_window_of(demo, known) is None, "clearing the steps asked a question")
    dialog.click_button("btnCancel")
    wait_until("the dialog to close", dialog.closed)
    expect(demo.close_with_button() == 1, "closing must end with exit code 1")

    # The next start speaks the language chosen last.
    demo.title = demo_driver.TITLE_CN
    demo.launch()
    demo.screenshot(shots, "feedback-language-kept")
    demo.stop()


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    bin_dir, shots = sys.argv[1], sys.argv[2]
    if not os.environ.get("DISPLAY"):
        print("DISPLAY is not set: skipped")
        return SKIP
    for tool in ("xdotool", "xwininfo", "import"):
        if shutil.which(tool) is None:
            print(f"{tool} is missing: skipped")
            return SKIP
    return run_scenario("feedback", "kbconfig-e2e-feedback-", lambda root: Demo(root, bin_dir),
                        scenario, shots)


if __name__ == "__main__":
    sys.exit(main())
