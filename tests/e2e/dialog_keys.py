#!/usr/bin/env python3
"""The key-assignment dialog's keyboard handling in a real X session, typed with xdotool.

Usage: dialog_keys.py SCENARIO BIN_DIR SHOT_DIR

Scenarios:
  fields     typing reaches every text field and the file choosers right after the dialog
             opens, whichever page it opens on
  elsewhere  keys typed into another program's window reach it while the dialog is open and
             not capturing, and do not while the single-key page captures them
  together   keys pressed and released in the same millisecond are all recorded, in order
  limit      the step-limit box opens once per burst and closes with Enter and Escape
Exits 77 (skipped) without a display or without the tools.
"""

import os
import shutil
import subprocess
import sys
import time
import xml.etree.ElementTree as ET

import demo_driver
from demo_driver import Demo, Failure, expect, layout_rects_of, run, run_scenario, wait_until

SKIP = 77
DIALOG_TITLE = "Key assignment"

# Keyboard codes of the keys typed below.
CODE_A, CODE_S, CODE_D, CODE_X = 0x04, 0x16, 0x07, 0x1B


class Dialog:
    """Where the key-assignment dialog's controls are, from its layout."""

    def __init__(self, demo):
        self.demo = demo
        layout = ET.parse(os.path.join(demo.app, "uires", "layout", "macro.xml")).getroot()
        tabs = layout.find(".//tabctrl2")
        self.tx, self.ty, _, _ = (int(v) for v in tabs.get("pos").split(","))
        self.tab_width = int(tabs.get("tabWidth"))
        self.tab_gap = int(tabs.get("tabInterSize"))
        self.tab_height = int(tabs.get("tabHeight"))
        self.rects = layout_rects_of(layout)
        self.window = None

    def open(self, key_name):
        demo = self.demo
        demo.click_key(key_name)
        self.window = wait_until("the key-assignment dialog", self.find)
        time.sleep(1.0)  # placed over the main window once shown
        return self

    def find(self):
        found = run("xdotool", "search", "--all", "--onlyvisible", "--pid",
                    str(self.demo.proc.pid), "--name", DIALOG_TITLE, check=False).split()
        return next((w for w in found if w != self.demo.window), None)

    def in_page(self, name):
        x, y, w, h = self.rects[name]
        return (self.tx + x, self.ty + self.tab_height + y, w, h)

    def tab(self, index):
        return (self.tx + index * (self.tab_width + self.tab_gap), self.ty, self.tab_width,
                self.tab_height)

    def group_row(self, row):
        x, y, w, _ = self.in_page("macro_group")
        return (x + 6, y + row * 32 + 2, w - 12, 28)

    def step_delay(self, row):
        x, y, _, _ = self.in_page("key_info")
        return (x + 324, y + 30 + row * 28 + 2, 110, 24)

    def click(self, rect):
        self.demo.click_at(rect, self.window)

    def click_page_control(self, name):
        self.click(self.in_page(name))

    def click_button(self, name):
        self.click(self.rects[name])

    def closed(self):
        return self.find() is None


def new_window_of(demo, known):
    found = run("xdotool", "search", "--onlyvisible", "--pid", str(demo.proc.pid),
                check=False).split()
    return next((w for w in found if w not in known and demo_driver.window_size(w)[0] >= 200),
                None)


def visible_windows(demo):
    return set(run("xdotool", "search", "--onlyvisible", "--pid", str(demo.proc.pid),
                   check=False).split())


def warning_box(demo):
    found = run("xdotool", "search", "--all", "--onlyvisible", "--pid", str(demo.proc.pid),
                "--name", "^Warning$", check=False).split()
    return found[0] if found else None


def type_text(text):
    run("xdotool", "type", "--delay", "60", text)
    time.sleep(0.3)


def key(*names):
    for name in names:
        run("xdotool", "key", name)
        time.sleep(0.2)


def replace_field_text(text):
    """Types into the focused field as a user does: select what is there, type over it."""
    key("ctrl+a")
    type_text(text)


def write_store(demo, page, dlymode=0):
    with open(os.path.join(demo.app, "store.xml"), "w") as f:
        f.write('<?xml version="1.0"?>\n'
                f'<macro page="{page}" repeat="1" delay="10" dlymode="{dlymode}" mediasel="0" '
                'functsel="0" sgcode="0" groupsel="0" />\n')


def write_library(path, groups):
    """groups: list of (name, [(code, name, state, delay), ...])."""
    top = ET.Element("group")
    for name, steps in groups:
        items = ET.SubElement(top, "items", name=name)
        for code, key_name, state, delay in steps:
            ET.SubElement(items, "item", code=str(code), name=key_name, state=str(state),
                          delay=str(delay))
    ET.ElementTree(top).write(path, encoding="UTF-8", xml_declaration=True)


def read_library(demo):
    root = ET.parse(os.path.join(demo.app, "macro.xml")).getroot()
    return [(items.get("name"), [(int(item.get("code")), int(item.get("state")), item.get("delay"))
                                 for item in items])
            for items in root]


def store_value(demo, name):
    return ET.parse(os.path.join(demo.app, "store.xml")).getroot().get(name)


def scenario_fields(demo, shots):
    """After the dialog opens (on each page in turn), typing reaches the repeat count, and on
    the macro page every other field and both file choosers."""
    write_library(os.path.join(demo.app, "macro.xml"), [("Group 0", [(CODE_A, "A", 0, 25)])])
    imported = os.path.join(demo.root, "other.mcr")
    write_library(imported, [("Imported", [(CODE_S, "S", 0, 0)])])
    demo.launch()
    # The main window's controls are reachable with Tab.
    run("xdotool", "windowfocus", "--sync", demo.window)
    key("Tab", "Tab", "Tab")
    demo.screenshot(shots, "keys-main-window-tab")
    dialog = Dialog(demo)

    for page, repeat in ((1, "2"), (2, "3"), (3, "4"), (0, "5")):
        write_store(demo, page, dlymode=1)
        dialog.open("F2")
        if page != 0:
            dialog.click(dialog.tab(0))
        dialog.click_page_control("edit_macro_repeat_times")
        replace_field_text(repeat)
        wait_until(f"repeat {repeat} after opening on page {page}",
                   lambda: store_value(demo, "repeat") == repeat, timeout=5)
        key("Return")  # a field's Enter leaves the dialog open
        expect(not dialog.closed(), "Enter in the repeat field closed the dialog")
        if page != 0:
            dialog.click_button("btnCancel")
            wait_until("the dialog to close", dialog.closed)

    # Still in the dialog that opened on the macro page: the other fields.
    dialog.click_page_control("edit_macro_delay_time")
    replace_field_text("33")
    wait_until("the fixed delay", lambda: store_value(demo, "delay") == "33", timeout=5)
    dialog.click(dialog.step_delay(0))
    replace_field_text("77")
    wait_until("the step delay", lambda: read_library(demo)[0][1][0][2] == "77", timeout=5)
    dialog.click(dialog.group_row(0))
    replace_field_text("Typed")
    wait_until("the group name", lambda: read_library(demo)[0][0] == "Typed", timeout=5)
    demo.screenshot(shots, "keys-fields-typed")

    # Tab from the group name: the add button shows the keyboard focus.
    key("Tab")
    demo.screenshot(shots, "keys-dialog-tab")

    # The save chooser: a name typed without extension gets ".mcr".
    known = visible_windows(demo)
    dialog.click_page_control("groupExport")
    chooser = wait_until("the save chooser", lambda: new_window_of(demo, known))
    time.sleep(0.5)
    exported = os.path.join(demo.root, "typed")
    type_text(exported)
    demo.screenshot(shots, "keys-export-chooser")
    key("Return")
    wait_until("the exported file", lambda: os.path.exists(exported + ".mcr"), timeout=5)
    wait_until("the save chooser to close",
               lambda: chooser not in visible_windows(demo), timeout=5)
    # A written file needs no word.
    time.sleep(1.0)
    expect(warning_box(demo) is None, "a written export was announced")

    known = visible_windows(demo)
    dialog.click_page_control("groupImport")
    chooser = wait_until("the open chooser", lambda: new_window_of(demo, known))
    time.sleep(0.5)
    type_text(imported)
    key("Return")
    # Importing over a library asks first; Enter answers OK.
    wait_until("the import question", lambda: warning_box(demo), timeout=5)
    key("Return")
    wait_until("the imported library", lambda: read_library(demo)[0][0] == "Imported",
               timeout=5)
    time.sleep(0.3)
    demo.screenshot(shots, "keys-imported")
    key("Escape")
    wait_until("Escape to cancel the dialog", dialog.closed)
    demo.stop()


NOTEPAD = r"""
import sys, tkinter as tk
root = tk.Tk()
root.title("kbconfig-e2e-notepad")
root.geometry("360x60+1200+900")
entry = tk.Entry(root)
entry.pack(fill="x")
entry.focus_set()
def save(_event):
    with open(sys.argv[1], "a") as f:
        f.write(entry.get() + "\n")
    entry.delete(0, "end")
entry.bind("<Return>", save)
root.mainloop()
"""


class Notepad:
    """Another program's small window with a text field; each Return appends its line to a
    file."""

    def __init__(self, root):
        self.path = os.path.join(root, "notepad.txt")
        self.proc = None
        self.window = None

    def __enter__(self):
        open(self.path, "w").close()
        self.proc = subprocess.Popen([sys.executable, "-c", NOTEPAD, self.path])
        self.window = wait_until("the notepad window", lambda: run(
            "xdotool", "search", "--onlyvisible", "--name", "kbconfig-e2e-notepad",
            check=False).split())[0]
        return self

    def __exit__(self, *exc):
        self.proc.terminate()
        self.proc.wait(timeout=5)

    def type_line(self, text):
        run("xdotool", "windowfocus", "--sync", self.window)
        time.sleep(0.3)
        type_text(text)
        key("Return")
        time.sleep(0.3)

    def lines(self):
        with open(self.path) as f:
            return f.read().splitlines()


def scenario_elsewhere(demo, shots):
    """Another program gets its keys while the dialog is open on the macro page, not recording;
    while the single-key page shows, keys typed there are captured by the dialog instead."""
    write_store(demo, 0)
    demo.launch()
    with Notepad(demo.root) as notepad:
        dialog = Dialog(demo).open("F3")
        notepad.type_line("hello")
        expect(notepad.lines() == ["hello"],
               f"the other window got {notepad.lines()} while the dialog was open")
        demo.screenshot(shots, "keys-elsewhere-macro-page")

        dialog.click(dialog.tab(1))
        time.sleep(0.3)
        notepad.type_line("x")
        demo.screenshot(shots, "keys-elsewhere-single-key")
        expect(notepad.lines() == ["hello"],
               f"keys reached the other window while the single-key page captured: "
               f"{notepad.lines()}")

        dialog.click(dialog.tab(2))
        time.sleep(0.3)
        notepad.type_line("media")
        expect(notepad.lines() == ["hello", "media"],
               f"the other window got {notepad.lines()} on the media-key page")

        # The key captured on the single-key page is assigned.
        mark = len(demo.trace())
        dialog.click(dialog.tab(1))
        dialog.click_button("btnOK")
        # F3 is 0x3c; the notepad's Return came after x, so Enter (0x28) was captured last.
        wait_until("the remap report", lambda: demo.sends(mark, "07 fa 01 01 3c 01 28 01"))

    # The next dialog opens on the single-key page showing Enter: OK assigns what it shows.
    time.sleep(0.5)
    mark = len(demo.trace())
    dialog = Dialog(demo).open("F6")
    demo.screenshot(shots, "keys-single-key-remembered")
    dialog.click_button("btnOK")
    sent = wait_until("the remap report", lambda: demo.sends(mark, "07 fa"))
    expect(sent[0].endswith(" 3f 01 28 01"), f"F6 should get Enter (0x28), got {sent[0]}")
    demo.stop()


def scenario_together(demo, shots):
    """Five times a, s, d pressed together, then released together: 30 steps in order."""
    write_store(demo, 0, dlymode=2)
    write_library(os.path.join(demo.app, "macro.xml"), [("Earlier", [])])
    demo.launch()
    dialog = Dialog(demo).open("F4")
    dialog.click_page_control("groupAdd")  # the added group is the one recorded into
    dialog.click_page_control("chk_macro_record")
    for _ in range(5):
        run("xdotool", "keydown", "--delay", "0", "a", "s", "d")
        run("xdotool", "keyup", "--delay", "0", "a", "s", "d")
        time.sleep(0.15)
    time.sleep(0.5)
    demo.screenshot(shots, "keys-together-recorded")
    dialog.click_page_control("chk_macro_record")
    library = read_library(demo)
    expect([name for name, _ in library] == ["Earlier", "Group 1"],
           f"unexpected groups {library}")
    steps = [(code, state) for code, state, _ in library[1][1]]
    burst = [(CODE_A, 0), (CODE_S, 0), (CODE_D, 0), (CODE_A, 1), (CODE_S, 1), (CODE_D, 1)]
    expect(steps == burst * 5, f"expected 30 steps a s d down, a s d up; got {steps}")
    dialog.click_button("btnCancel")
    wait_until("the dialog to close", dialog.closed)
    demo.stop()


def scenario_limit(demo, shots):
    """A group one step short of the limit: the next key fills it and its release opens the
    box; Enter closes it and the box stays closed for the rest of the burst; the next burst
    opens it once more and Escape closes it."""
    write_store(demo, 0, dlymode=2)
    write_library(os.path.join(demo.app, "macro.xml"),
                  [("Almost full", [(CODE_X, "X", i % 2, 0) for i in range(79)])])
    demo.launch()
    dialog = Dialog(demo).open("F5")
    dialog.click(dialog.group_row(0))
    dialog.click_page_control("chk_macro_record")

    run("xdotool", "key", "a")
    box = wait_until("the step-limit box", lambda: warning_box(demo), timeout=5)
    time.sleep(0.3)
    demo.screenshot(shots, "keys-limit-box")
    key("Return")
    wait_until("the box to close with Enter", lambda: warning_box(demo) is None, timeout=5)
    time.sleep(1.0)
    expect(warning_box(demo) is None, "the box opened again after Enter closed it")
    expect(len(read_library(demo)[0][1]) == 80, "the group does not hold 80 steps")

    # Keys pressed together: one burst, one box.
    run("xdotool", "keydown", "--delay", "0", "s", "d")
    run("xdotool", "keyup", "--delay", "0", "s", "d")
    box = wait_until("the box of the next burst", lambda: warning_box(demo), timeout=5)
    time.sleep(0.3)
    key("Escape")
    wait_until("the box to close with Escape", lambda: warning_box(demo) is None, timeout=5)
    time.sleep(1.0)
    expect(warning_box(demo) is None, "the box opened again after Escape closed it")
    del box

    dialog.click_page_control("chk_macro_record")
    expect(len(read_library(demo)[0][1]) == 80, "the group does not hold 80 steps")
    demo.screenshot(shots, "keys-limit-closed")
    dialog.click_button("btnCancel")
    wait_until("the dialog to close", dialog.closed)
    demo.stop()


SCENARIOS = {"fields": scenario_fields, "elsewhere": scenario_elsewhere,
             "together": scenario_together, "limit": scenario_limit}


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in SCENARIOS:
        print(__doc__, file=sys.stderr)
        return 2
    scenario, bin_dir, shots = sys.argv[1], sys.argv[2], sys.argv[3]
    if not os.environ.get("DISPLAY"):
        print("DISPLAY is not set: skipped")
        return SKIP
    for tool in ("xdotool", "xwininfo", "import"):
        if shutil.which(tool) is None:
            print(f"{tool} is missing: skipped")
            return SKIP
    if scenario == "elsewhere":
        try:
            import tkinter  # noqa: F401  (the other program's window)
        except ImportError:
            print("tkinter is missing: skipped")
            return SKIP
    return run_scenario(scenario, f"kbconfig-e2e-keys-{scenario}-",
                        lambda root: Demo(root, bin_dir), SCENARIOS[scenario], shots)


if __name__ == "__main__":
    sys.exit(main())
