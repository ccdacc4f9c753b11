#!/usr/bin/env python3
"""Drives kbconfig-demo in a real X session with xdotool and checks its report trace.

Usage: demo_driver.py SCENARIO BIN_DIR SHOT_DIR

Each run copies the program and its run-time files into a private temporary folder (so the
program folder is writable and nothing is shared with other runs), starts it from another
working directory and talks to it only through the X server, signals and its output.
Exits 77 (skipped) without a display or without xdotool and ImageMagick.
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET

SKIP = 77
TITLE = "Keyboard Configurator"
TITLE_CN = "键盘配置工具"
RUNTIME_FILES = ["kbconfig-demo", "uires", "config.xml", "keys.xml"]


class Failure(Exception):
    pass


def run(*args, check=True, timeout=20):
    result = subprocess.run(list(args), capture_output=True, text=True, timeout=timeout)
    if check and result.returncode != 0:
        raise Failure(f"{' '.join(args)} failed: {result.stderr.strip()}")
    return result.stdout


# A loaded 2-core machine (a build beside the tests) can take many seconds for what takes a moment
# alone: no wait for something that must happen gives up sooner than this.
MIN_DEADLINE = 30.0


def wait_until(what, probe, timeout=15.0, interval=0.1, retry=False):
    """Polls `probe` until it gives a true value and returns it. `timeout` is raised to
    MIN_DEADLINE unless `retry` says the caller tries again itself after a short wait."""
    deadline = time.monotonic() + (timeout if retry else max(timeout, MIN_DEADLINE))
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"timed out waiting for {what}")
        time.sleep(interval)


def window_size(window):
    info = run("xwininfo", "-id", window, check=False)
    width = re.search(r"Width: (\d+)", info)
    height = re.search(r"Height: (\d+)", info)
    return (int(width.group(1)), int(height.group(1))) if width and height else (0, 0)


def layout_rects(path):
    return layout_rects_of(ET.parse(path).getroot())


def layout_rects_of(root):
    """name -> (x, y, w, h) of every named element of a layout."""
    rects = {}
    for element in root.iter():
        name, pos = element.get("name"), element.get("pos")
        if name and pos:
            x, y, w, h = (int(v) for v in pos.split(","))
            rects[name] = (x, y, w, h)
    return rects


class Tray:
    """A system tray on the display (trayer), as a desktop panel would provide it."""

    def __init__(self):
        self.proc = None

    def __enter__(self):
        # A second panel would cover the icons of the first one.
        if self.running():
            return self
        # A panel that fails to come up on a loaded machine is started once more.
        for attempt in range(2):
            log = tempfile.TemporaryFile()
            self.proc = subprocess.Popen(
                ["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel",
                 "--width", "120", "--height", "32", "--expand", "false", "--transparent",
                 "false"], stdout=subprocess.DEVNULL, stderr=log)
            try:
                wait_until("the tray", self.running, timeout=15)
                return self
            except Failure:
                self.proc.kill()
                self.proc.wait(timeout=5)
                self.proc = None
                log.seek(0)
                if attempt == 1:
                    raise Failure("the tray did not come up: " +
                                  log.read().decode(errors="replace"))
        return self

    @staticmethod
    def running():
        return run("xdotool", "search", "--onlyvisible", "--class", "trayer",
                   check=False).strip()

    def __exit__(self, *exc):
        if self.proc:
            self.proc.terminate()
            self.proc.wait(timeout=5)


class Demo:
    """One running kbconfig-demo in its own folder."""

    def __init__(self, root, bin_dir):
        self.root = root
        self.app = os.path.join(root, "app")
        if not os.path.isdir(self.app):
            os.makedirs(self.app)
            for name in RUNTIME_FILES:
                source = os.path.join(bin_dir, name)
                target = os.path.join(self.app, name)
                if os.path.isdir(source):
                    shutil.copytree(source, target)
                else:
                    shutil.copy2(source, target)
        # The single-instance socket and the device gate live in these folders: private per run.
        self.run_dir = os.path.join(root, "run")
        os.makedirs(self.run_dir, mode=0o700, exist_ok=True)
        self.env = dict(os.environ)
        self.env.update({"TMPDIR": self.run_dir, "XDG_RUNTIME_DIR": self.run_dir,
                         "HOME": os.path.join(root, "home"), "QT_QPA_PLATFORM": "xcb"})
        self.env.pop("XDG_DATA_HOME", None)
        self.rects = layout_rects(os.path.join(self.app, "uires", "layout", "main.xml"))
        self.title = TITLE
        self.proc = None
        self.window = None

    def start(self, tag="first"):
        out = open(os.path.join(self.root, f"{tag}.out"), "w")
        err = open(os.path.join(self.root, f"{tag}.err"), "w")
        # Started from elsewhere: the program must still find its folder's files.
        proc = subprocess.Popen([os.path.join(self.app, "kbconfig-demo")], cwd=self.root,
                                env=self.env, stdout=out, stderr=err)
        out.close()
        err.close()
        return proc

    def trace(self, tag="first"):
        with open(os.path.join(self.root, f"{tag}.err")) as f:
            return f.read().splitlines()

    def launch(self):
        # A loaded X server can refuse a connection now and then; that is the test machine's
        # trouble, not the program's, so such a start is tried again.
        for attempt in range(3):
            self.proc = self.start("first")
            try:
                self.window = wait_until("the main window", self.find_window)
                break
            except Failure:
                if attempt == 2 or "could not connect to display" not in "\n".join(self.trace()):
                    raise
                time.sleep(1)
        # Start-up ends with the profile select and both slot tables read back.
        wait_until("the start-up read-back", lambda: self.sends(0, "07 fb"))
        time.sleep(0.3)

    def find_window(self):
        if self.proc.poll() is not None:
            raise Failure(f"kbconfig-demo exited early with {self.proc.returncode}: "
                          + "\n".join(self.trace()[-20:]))
        found = run("xdotool", "search", "--onlyvisible", "--pid", str(self.proc.pid),
                    "--name", self.title, check=False).split()
        # The tray icon's embedded window belongs to the process too: take the large one.
        for window in found:
            if window_size(window)[0] >= 500:
                return window
        return None

    def discoveries(self):
        """How often the program has looked for the keyboard (its diagnostic lines)."""
        with open(os.path.join(self.root, "first.out")) as f:
            return f.read().count("got classs")

    def tray_icon(self):
        """The program's icon window embedded in the tray, or None."""
        found = run("xdotool", "search", "--onlyvisible", "--pid", str(self.proc.pid),
                    check=False).split()
        for window in found:
            if 0 < window_size(window)[0] < 100:
                return window
        return None

    def click_tray_icon(self, button):
        info = run("xwininfo", "-id", self.tray_icon())
        x = int(re.search(r"Absolute upper-left X:\s+(-?\d+)", info).group(1))
        y = int(re.search(r"Absolute upper-left Y:\s+(-?\d+)", info).group(1))
        w, h = window_size(self.tray_icon())
        run("xdotool", "mousemove", str(x + w // 2), str(y + h // 2))
        time.sleep(0.1)
        run("xdotool", "click", str(button))
        time.sleep(0.4)

    def is_viewable(self):
        return "IsViewable" in run("xwininfo", "-id", self.window, check=False)

    def geometry(self, window=None):
        values = dict(line.split("=", 1)
                      for line in run("xdotool", "getwindowgeometry", "--shell",
                                      window or self.window).split())
        return int(values["X"]), int(values["Y"])

    def click_at(self, rect, window=None):
        x, y, w, h = rect
        left, top = self.geometry(window)
        run("xdotool", "mousemove", str(left + x + w // 2), str(top + y + h // 2))
        time.sleep(0.1)
        run("xdotool", "click", "1")
        time.sleep(0.3)

    def click(self, name):
        self.click_at(self.rects[name])

    def click_key(self, key_name):
        """Clicks a key of the keyboard picture, placed by the key coordinate file."""
        keys = ET.parse(os.path.join(self.app, "keys.xml")).getroot()
        key = next(k for k in keys.iter("key") if k.get("name") == key_name)
        x, y, w, h = (int(v) for v in key.get("rect").split(","))
        px, py, _, _ = self.rects["img_keyboard"]
        self.click_at((px + x, py + y, w, h))

    def choose(self, combo, steps_down):
        """Opens a combo box's list with a click and moves the selection down (up when
        negative)."""
        self.click(combo)
        for _ in range(abs(steps_down)):
            run("xdotool", "key", "Down" if steps_down > 0 else "Up")
            time.sleep(0.05)
        run("xdotool", "key", "Return")
        time.sleep(0.3)

    def panel_rect(self, name):
        """A control of the lighting panel: its containers are placed in the window, their
        controls within them."""
        panel = ET.parse(os.path.join(self.app, "uires", "layout", "ledmode.xml")).getroot()
        for container in panel:
            px, py, _, _ = (int(v) for v in container.get("pos").split(","))
            for control in container:
                if control.get("name") == name:
                    x, y, w, h = (int(v) for v in control.get("pos").split(","))
                    return px + x, py + y, w, h
        raise Failure(f"no {name} in the lighting panel")

    def window_name(self):
        """The title the window manager shows (_NET_WM_NAME)."""
        out = run("xprop", "-id", self.window, "-notype", "_NET_WM_NAME", check=False)
        found = re.search(r'_NET_WM_NAME = "(.*)"', out)
        return found.group(1) if found else None

    def sends(self, start, prefix):
        lines = self.trace()[start:]
        return [line for line in lines if line.startswith("send " + prefix)]

    def screenshot(self, shot_dir, name):
        os.makedirs(shot_dir, exist_ok=True)
        run("import", "-window", "root", os.path.join(shot_dir, name + ".png"), timeout=30)

    def close_with_button(self):
        self.click("btn_close")
        code = self.proc.wait(timeout=10)
        self.proc = None
        return code

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc = None


def expect(condition, message):
    if not condition:
        raise Failure(message)


def scenario_flow(demo, shots):
    """Start-up trace, a profile change and a lighting-effect change from real clicks."""
    demo.launch()
    start = demo.trace()
    expect("send 07 fc 01 00 00 00 00 00" in start, "start-up did not select profile 1")
    expect("wait 50" in start, "start-up waits are missing from the trace")
    demo.screenshot(shots, "flow-started")

    mark = len(demo.trace())
    demo.choose("cmb_profile", 1)
    wait_until("the profile 2 report", lambda: demo.sends(mark, "07 fc 02"))
    wait_until("the read-back after the profile change", lambda: demo.sends(mark, "07 fb"))

    mark = len(demo.trace())
    demo.choose("cmb_led_mode", 3)
    sent = wait_until("the lighting report", lambda: demo.sends(mark, "07 f7"))
    expect(sent[-1].startswith("send 07 f7 03 "), f"effect 3 expected, got {sent[-1]}")
    demo.screenshot(shots, "flow-profile2-static")

    expect(demo.close_with_button() == 1, "closing the main window must end with exit code 1")
    state = open(os.path.join(demo.app, "demo-keyboard.xml")).read()
    expect(re.search(r'activeprofile="2"', state) and re.search(r'effect="3"', state),
           "the simulated keyboard did not keep profile 2 and effect 3:\n" + state)

    # A restart finds the keyboard as it was left: its file is read again.
    demo.launch()
    demo.screenshot(shots, "flow-restarted")
    demo.stop()


def scenario_handover(demo, shots):
    """A second start while the window is hidden in the tray shows it and exits 0 on its own."""
    with Tray():
        demo.launch()
        demo.click("btn_min")
        wait_until("the window to hide", lambda: not demo.is_viewable(), timeout=5)
        demo.screenshot(shots, "handover-hidden")

        second = demo.start("second")
        code = second.wait(timeout=15)
        expect(code == 0, f"the second start must exit 0, got {code}")
        expect(not [line for line in demo.trace("second") if line.startswith("send ")],
               "the second start talked to the keyboard")
        wait_until("the first window to come back", demo.is_viewable, timeout=5)
        expect(demo.proc.poll() is None, "the first instance ended")
        demo.screenshot(shots, "handover-shown")
        demo.stop()


def scenario_burst(demo, shots):
    """Starts that come together leave exactly one instance, with one window, every time."""
    bursts, starts = 8, 6
    # Temporary files of saves cut short by a kill: the instance that runs clears those of
    # processes that have ended, and only those.
    ended = subprocess.Popen(["true"])
    ended.wait()
    leftovers = [f"{name}.tmp-{ended.pid}-{i}-0" for i, name in enumerate(
        ["macro.xml", "store.xml", "keymap.xml", "settings.xml", "demo-keyboard.xml",
         "demo-keyboard-keymap.xml"])]
    kept = f"macro.xml.tmp-{os.getpid()}-1-0"
    for name in leftovers + [kept]:
        with open(os.path.join(demo.app, name), "w") as f:
            f.write("<group")
    for burst in range(bursts):
        tags = [f"burst{burst}-{i}" for i in range(starts)]
        procs = [demo.start(tag) for tag in tags]

        def settled():
            running = [p for p in procs if p.poll() is None]
            return running if len(running) <= 1 else None

        survivors = wait_until(f"burst {burst} to settle", settled, timeout=60)
        codes = [p.returncode for p in procs if p.poll() is not None]
        expect(len(survivors) == 1, f"burst {burst}: no instance kept running, exit codes {codes}")
        expect(codes == [0] * (starts - 1), f"burst {burst}: the others exited with {codes}")
        survivor = survivors[0]
        demo.proc = survivor
        owner = tags[procs.index(survivor)]

        def one_window():
            found = run("xdotool", "search", "--onlyvisible", "--name", demo.title,
                        check=False).split()
            windows = [w for w in found if window_size(w)[0] >= 500]
            return windows if windows else None

        windows = wait_until(f"burst {burst}: the window", one_window, timeout=30)
        time.sleep(0.5)  # a second window would have shown by now
        windows = one_window()
        expect(len(windows) == 1, f"burst {burst}: {len(windows)} windows")
        wait_until(f"burst {burst}: the start-up read-back",
                   lambda: [line for line in demo.trace(owner) if line.startswith("send 07 fb")])
        for tag in tags:
            talked = [line for line in demo.trace(tag) if line.startswith("send ")]
            expect(bool(talked) == (tag == owner),
                   f"burst {burst}: {tag} {'talked' if talked else 'did not talk'} to the keyboard")
        if burst == 0:
            demo.screenshot(shots, "burst-one-window")
            present = sorted(n for n in os.listdir(demo.app) if ".tmp-" in n)
            expect(present == [kept], f"temporary files after the start: {present}")
        # Ended without a chance to tidy up: the next burst finds its socket in the way.
        survivor.kill()
        survivor.wait()
        demo.proc = None


def scenario_tray(demo, shots):
    """Left clicks on the tray icon hide and show the window; the tray menu's Exit ends it."""
    with Tray():
        demo.launch()
        wait_until("the tray icon", demo.tray_icon, timeout=10)
        demo.click_tray_icon(1)
        wait_until("the window to hide", lambda: not demo.is_viewable(), timeout=5)
        demo.click_tray_icon(1)
        wait_until("the window to come back", demo.is_viewable, timeout=5)

        demo.click_tray_icon(3)
        demo.screenshot(shots, "tray-menu")
        # Upgrade, separator, Exit.
        for key in ("Down", "Down", "Return"):
            run("xdotool", "key", key)
            time.sleep(0.1)
        code = demo.proc.wait(timeout=10)
        demo.proc = None
        expect(code == 1, f"Exit from the tray menu must end with exit code 1, got {code}")


def scenario_plug(demo, shots):
    """Unplugging reports nothing; plugging in again selects the profile and reads back."""
    demo.launch()
    mark = len(demo.trace())
    searches = demo.discoveries()
    demo.proc.send_signal(signal.SIGUSR1)
    wait_until("the unplug to be handled", lambda: demo.discoveries() > searches)
    time.sleep(0.3)
    expect(not demo.sends(mark, ""), "an unplugged keyboard was sent reports")
    demo.screenshot(shots, "plug-unplugged")

    demo.proc.send_signal(signal.SIGUSR2)
    wait_until("the profile select after plugging in", lambda: demo.sends(mark, "07 fc 01"))
    wait_until("the read-back after plugging in", lambda: demo.sends(mark, "07 fb"))
    expect(demo.proc.poll() is None, "the program ended on a device change")
    demo.screenshot(shots, "plug-replugged")
    demo.stop()


def scenario_assign(demo, shots):
    """A key click opens the key-assignment dialog; OK on a media key remaps the key, and the
    assignment is still there after a restart."""
    dialog_layout = ET.parse(os.path.join(demo.app, "uires", "layout", "macro.xml")).getroot()
    tabs = dialog_layout.find(".//tabctrl2")
    tx, ty, _, _ = (int(v) for v in tabs.get("pos").split(","))
    tab_width, tab_gap = int(tabs.get("tabWidth")), int(tabs.get("tabInterSize"))
    media_tab = (tx + 2 * (tab_width + tab_gap), ty, tab_width, int(tabs.get("tabHeight")))
    ok = layout_rects_of(dialog_layout)["btnOK"]

    demo.launch()
    mark = len(demo.trace())
    demo.click_key("F1")
    dialog = wait_until("the key-assignment dialog", lambda: next(
        (w for w in run("xdotool", "search", "--all", "--onlyvisible", "--pid",
                        str(demo.proc.pid), "--name", "Key assignment", check=False).split()
         if w != demo.window), None))
    time.sleep(1.0)  # placed over the main window once shown
    demo.click_at(media_tab, dialog)
    demo.screenshot(shots, "assign-dialog")
    demo.click_at(ok, dialog)
    # F1 (0x3a) in remap slot 1 of profile 1 gives the first media key of config.xml, 205.
    wait_until("the remap report", lambda: demo.sends(mark, "07 fa 01 01 3a 01 cd 01"))
    wait_until("the read-back", lambda: demo.sends(mark, "07 fb"))
    time.sleep(0.3)
    demo.screenshot(shots, "assign-done")
    expect(demo.close_with_button() == 1, "closing must end with exit code 1")

    demo.launch()
    expect("read 07 3a 00 00 00 00 00 00" in demo.trace(),
           "after a restart the remap slot table no longer holds F1")
    demo.stop()


def scenario_macro(demo, shots):
    """The key-assignment flow with real keystrokes: a macro recorded from typed keys goes out
    as the 28-report transfer and marks its key; a captured single key becomes a remap; the
    delete button clears the macro again."""
    dialog_layout = ET.parse(os.path.join(demo.app, "uires", "layout", "macro.xml")).getroot()
    tabs = dialog_layout.find(".//tabctrl2")
    tx, ty, _, _ = (int(v) for v in tabs.get("pos").split(","))
    tab_width, tab_gap = int(tabs.get("tabWidth")), int(tabs.get("tabInterSize"))
    tab_height = int(tabs.get("tabHeight"))
    rects = layout_rects_of(dialog_layout)

    def in_page(name):
        # Page widgets are placed in the page area under the tab strip.
        x, y, w, h = rects[name]
        return (tx + x, ty + tab_height + y, w, h)

    def tab(index):
        return (tx + index * (tab_width + tab_gap), ty, tab_width, tab_height)

    group_list = in_page("macro_group")
    first_group = (group_list[0], group_list[1], group_list[2], 32)

    def open_dialog(key_name):
        demo.click_key(key_name)
        dialog = wait_until("the key-assignment dialog", lambda: next(
            (w for w in run("xdotool", "search", "--all", "--onlyvisible", "--pid",
                            str(demo.proc.pid), "--name", "Key assignment", check=False).split()
             if w != demo.window), None))
        time.sleep(1.0)
        return dialog

    def type_keys(*keys):
        for key in keys:
            run("xdotool", "key", key)
            time.sleep(0.25)

    demo.launch()

    # A macro on A (0x04): add a group, pick it, record h and i, OK.
    mark = len(demo.trace())
    dialog = open_dialog("A")
    demo.click_at(tab(0), dialog)
    demo.click_at(in_page("groupAdd"), dialog)
    demo.click_at(first_group, dialog)
    demo.click_at(in_page("chk_macro_record"), dialog)
    type_keys("h", "i")
    demo.click_at(in_page("chk_macro_record"), dialog)
    demo.screenshot(shots, "macro-recorded")
    demo.click_at(rects["btnOK"], dialog)
    wait_until("the macro transfer", lambda: len(demo.sends(mark, "07 00")) >= 27)
    wait_until("the read-back", lambda: demo.sends(mark, "07 fb"))
    time.sleep(0.5)
    first = demo.sends(mark, "07 f1")
    expect(len(first) == 1, f"expected one first report, got {first}")
    # Profile 1, slot 1, key A, repeat 1, then h (0x0b) down.
    expect(first[0].startswith("send 07 f1 01 01 04 01 0b 0"),
           f"unexpected first report {first[0]}")
    expect(len(demo.sends(mark, "07 00")) == 27, "the transfer is not 28 reports")
    expect("read 07 01 04 00 00 00 00 00" in demo.trace()[mark:],
           "the read-back does not show the macro on A")
    demo.screenshot(shots, "macro-assigned")

    # A single key on B (0x05): capture x (0x1b) on the single-key page.
    mark = len(demo.trace())
    dialog = open_dialog("B")
    demo.click_at(tab(1), dialog)
    time.sleep(0.3)
    type_keys("x")
    demo.screenshot(shots, "single-key-captured")
    demo.click_at(rects["btnOK"], dialog)
    wait_until("the remap report", lambda: demo.sends(mark, "07 fa 01 01 05 01 1b 01"))
    wait_until("the read-back", lambda: demo.sends(mark, "07 fb"))
    time.sleep(0.5)

    # Delete the macro on A: the slot goes out zeroed and A is no longer read back.
    mark = len(demo.trace())
    dialog = open_dialog("A")
    demo.click_at(rects["btnDelete"], dialog)
    wait_until("the clearing transfer", lambda: len(demo.sends(mark, "07 00")) >= 27)
    wait_until("the read-back", lambda: demo.sends(mark, "07 fb"))
    time.sleep(0.5)
    expect(demo.sends(mark, "07 f1 01 01 00 00 00 00"), "the macro slot was not cleared")
    expect("read 07 01 00 00 00 00 00 00" in demo.trace()[mark:],
           "the read-back still shows a macro")
    demo.screenshot(shots, "macro-deleted")
    expect(demo.close_with_button() == 1, "closing must end with exit code 1")


def scenario_chinese(demo, shots):
    """config.xml asking for Chinese installs the Chinese translator at start-up."""
    config = os.path.join(demo.app, "config.xml")
    text = open(config, encoding="utf-8").read()
    with open(config, "w", encoding="utf-8") as f:
        f.write(re.sub(r'<local language="[^"]*"', '<local language="cn"', text))
    demo.title = TITLE_CN
    demo.launch()
    demo.screenshot(shots, "chinese")
    demo.stop()


def scenario_lighting(demo, shots):
    """Colour cycle chosen for Wave stays chosen after another effect showed its colour."""
    demo.launch()
    mark = len(demo.trace())
    demo.choose("cmb_led_mode", 1)  # Wave
    wait_until("Wave", lambda: demo.sends(mark, "07 f7 01 01 01 02 03 00"))
    demo.click_at(demo.panel_rect("bar_color0"))
    wait_until("colour cycle", lambda: demo.sends(mark, "07 f7 01 00 01 02 03 00"))
    demo.choose("cmb_led_mode", 3)  # Breathing, on its red
    wait_until("Breathing", lambda: demo.sends(mark, "07 f7 04 01 01 02 03 00"))
    demo.screenshot(shots, "lighting-breathing-red")
    demo.choose("cmb_led_mode", -3)  # Wave again
    wait_until("Wave again", lambda: len(demo.sends(mark, "07 f7 01 00 01 02 03 00")) == 2)
    time.sleep(0.3)
    demo.screenshot(shots, "lighting-wave-colour-cycle")

    # The speed slider at its second step: Wave keeps colour cycle.
    x, y, w, h = demo.panel_rect("bar_speed")
    mark = len(demo.trace())
    demo.click_at((x + w // 3 - 10, y, 20, h))
    sent = wait_until("the speed change", lambda: demo.sends(mark, "07 f7"))
    expect(sent == ["send 07 f7 01 00 01 01 03 00"],
           f"the slider move must keep colour cycle, sent {sent}")

    # Spectrum after Static shows no colour row.
    demo.choose("cmb_led_mode", 2)  # Static
    demo.choose("cmb_led_mode", 2)  # Spectrum
    wait_until("Spectrum", lambda: demo.sends(mark, "07 f7 05"))
    time.sleep(0.3)
    demo.screenshot(shots, "lighting-spectrum")
    demo.stop()


def scenario_title(demo, shots):
    """The title the window manager shows follows a language switch."""
    demo.launch()
    expect(demo.window_name() == TITLE, f"start-up title {demo.window_name()!r}")
    demo.click("zh_cn")
    wait_until("the Chinese title", lambda: demo.window_name() == TITLE_CN, timeout=5)
    expect(run("xdotool", "getwindowname", demo.window).strip() == TITLE_CN,
           "xdotool reads another title")
    demo.screenshot(shots, "title-chinese")
    demo.click("jp")
    wait_until("the English title", lambda: demo.window_name() == TITLE, timeout=5)
    demo.screenshot(shots, "title-english")
def scenario_backup(demo, shots):
    """Keys say what they do in their tooltip; the more menu backs the keyboard up to a file
    and restores it after a factory restore, in English and in Chinese."""
    dialog_layout = ET.parse(os.path.join(demo.app, "uires", "layout", "macro.xml")).getroot()
    tabs = dialog_layout.find(".//tabctrl2")
    tx, ty, _, _ = (int(v) for v in tabs.get("pos").split(","))
    tab_width, tab_gap = int(tabs.get("tabWidth")), int(tabs.get("tabInterSize"))
    media_tab = (tx + 2 * (tab_width + tab_gap), ty, tab_width, int(tabs.get("tabHeight")))
    ok = layout_rects_of(dialog_layout)["btnOK"]
    backup = os.path.join(demo.root, "settings.kbbackup")

    def other_window(name):
        return wait_until(f"the window {name}", lambda: next(
            (w for w in run("xdotool", "search", "--all", "--onlyvisible", "--pid",
                            str(demo.proc.pid), "--name", name, check=False).split()
             if w != demo.window), None))

    def menu_command(steps_down):
        demo.click("btn_more")
        time.sleep(0.5)
        for _ in range(steps_down):
            run("xdotool", "key", "Down")
            time.sleep(0.05)
        run("xdotool", "key", "Return")
        time.sleep(0.5)

    def answer_file_chooser(path):
        time.sleep(1.5)  # the chooser comes up with its file name field focused
        run("xdotool", "key", "ctrl+a")
        run("xdotool", "type", "--delay", "20", path)
        run("xdotool", "key", "Return")
        time.sleep(1.0)

    def hover_key(key_name):
        keys = ET.parse(os.path.join(demo.app, "keys.xml")).getroot()
        key = next(k for k in keys.iter("key") if k.get("name") == key_name)
        x, y, w, h = (int(v) for v in key.get("rect").split(","))
        px, py, _, _ = demo.rects["img_keyboard"]
        left, top = demo.geometry()
        run("xdotool", "mousemove", str(left + px + x + w // 2 - 3),
            str(top + py + y + h // 2 - 3))
        time.sleep(0.2)
        run("xdotool", "mousemove_relative", "3", "3")
        time.sleep(1.5)  # the tooltip's delay

    demo.launch()
    mark = len(demo.trace())
    demo.click_key("F1")
    dialog = other_window("Key assignment")
    time.sleep(1.0)
    demo.click_at(media_tab, dialog)
    demo.screenshot(shots, "backup-dialog")
    demo.click_at(ok, dialog)
    wait_until("the remap report", lambda: demo.sends(mark, "07 fa 01 01 3a 01 cd 01"))
    time.sleep(0.5)
    hover_key("F1")
    demo.screenshot(shots, "keys-tooltip-en")

    demo.click("btn_more")
    time.sleep(0.6)
    demo.screenshot(shots, "more-menu-en")
    run("xdotool", "key", "Escape")
    time.sleep(0.3)

    # Back up: the second entry, a file chooser, then the result.
    menu_command(2)
    answer_file_chooser(backup)
    wait_until("the backup file", lambda: os.path.exists(backup))
    demo.screenshot(shots, "backup-done")
    run("xdotool", "key", "Return")
    time.sleep(0.5)
    expect("Play/Pause" in open(backup, encoding="utf-8").read() or
           'kind="media"' in open(backup, encoding="utf-8").read(),
           "the backup does not hold F1's media key")

    mark = len(demo.trace())
    demo.click("btn_restore_factory")
    time.sleep(0.8)
    run("xdotool", "key", "Return")
    wait_until("the factory reset", lambda: demo.sends(mark, "07 f0 aa"))
    time.sleep(1.5)

    # Restore: the third entry, a file chooser, a confirmation, then the result.
    mark = len(demo.trace())
    menu_command(3)
    answer_file_chooser(backup)
    demo.screenshot(shots, "restore-confirm")
    run("xdotool", "key", "Return")
    wait_until("F1 assigned again", lambda: demo.sends(mark, "07 fa 01 01 3a 01 cd 01"), timeout=30)
    time.sleep(1.0)
    demo.screenshot(shots, "restore-done")
    run("xdotool", "key", "Return")
    time.sleep(0.5)

    demo.click("zh_cn")
    time.sleep(0.5)
    hover_key("F1")
    demo.screenshot(shots, "keys-tooltip-cn")
    demo.click("btn_more")
    time.sleep(0.6)
    demo.screenshot(shots, "more-menu-cn")
    run("xdotool", "key", "Escape")
    time.sleep(0.3)
    expect(demo.close_with_button() == 1, "closing must end with exit code 1")


def warning_box(demo, caption="Warning"):
    found = run("xdotool", "search", "--all", "--onlyvisible", "--pid", str(demo.proc.pid),
                "--name", f"^{caption}$", check=False).split()
    return found[0] if found else None


def scenario_files(demo, shots):
    """Files the program could not read are kept as copies and named in one box at start; a
    save that fails later is said in a box too, in the language in use."""
    broken = {"settings.xml": "<settings language=", "store.xml": "<other/>",
              "macro.xml": "<group><items name=\"a\">", "demo-keyboard.xml": "junk",
              "demo-keyboard-keymap.xml": "<keymap><keyboard"}
    for name, text in broken.items():
        with open(os.path.join(demo.app, name), "w") as f:
            f.write(text)
    demo.launch()
    wait_until("the box naming the unreadable files", lambda: warning_box(demo))
    demo.screenshot(shots, "files-kept-aside")
    for name, text in broken.items():
        copy = os.path.join(demo.app, name + ".unreadable")
        expect(os.path.exists(copy) and open(copy).read() == text, f"{name} was not kept")
    run("xdotool", "key", "Return")
    wait_until("the box to close", lambda: not warning_box(demo))
    expect(not warning_box(demo), "a second box about the unreadable files")

    # In Chinese now; then what is sent to the keys can no longer be kept.
    demo.click("zh_cn")
    time.sleep(0.5)
    keymap = os.path.join(demo.app, "demo-keyboard-keymap.xml")
    os.remove(keymap)
    os.mkdir(keymap)
    mark = len(demo.trace())
    demo.choose("cmb_led_mode", 1)
    wait_until("the lighting report", lambda: demo.sends(mark, "07 f7"))
    wait_until("the box saying the save failed", lambda: warning_box(demo, "警告"))
    demo.screenshot(shots, "files-save-failed-cn")
    run("xdotool", "key", "Return")
    wait_until("the box to close", lambda: not warning_box(demo, "警告"))
    # A second failure of the same file is not said again until a save of it succeeded.
    mark = len(demo.trace())
    demo.choose("cmb_led_mode", 1)
    wait_until("the next lighting report", lambda: demo.sends(mark, "07 f7"))
    time.sleep(1.0)
    expect(not warning_box(demo, "警告"), "the same failure was said twice in a row")


EXPECTED_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "expected")


def protocol_lines(lines):
    """The reports and waits of a trace, without anything else the process wrote."""
    return [line for line in lines if line.split(" ", 1)[0] in ("send", "read", "wait")]


def record_macro_with_repeat(demo, shots, shot_prefix):
    """On the running demo: a macro on A recorded from typed keys with a fixed delay and a repeat
    count typed into their fields, then OK. Returns the reports and waits from the key click to
    the read-back. The steps depend on nothing but the keys, so every platform sends the same."""
    dialog_layout = ET.parse(os.path.join(demo.app, "uires", "layout", "macro.xml")).getroot()
    tabs = dialog_layout.find(".//tabctrl2")
    tx, ty, _, _ = (int(v) for v in tabs.get("pos").split(","))
    tab_height = int(tabs.get("tabHeight"))
    rects = layout_rects_of(dialog_layout)

    def in_page(name):
        x, y, w, h = rects[name]
        return (tx + x, ty + tab_height + y, w, h)

    def type_into(name, text):
        demo.click_at(in_page(name), dialog)
        run("xdotool", "key", "ctrl+a")
        run("xdotool", "type", "--delay", "80", text)
        time.sleep(0.3)

    mark = len(demo.trace())
    demo.click_key("A")
    dialog = wait_until("the key-assignment dialog", lambda: next(
        (w for w in run("xdotool", "search", "--all", "--onlyvisible", "--pid",
                        str(demo.proc.pid), "--name", "Key assignment", check=False).split()
         if w != demo.window), None), timeout=30)
    time.sleep(1.0)  # placed over the main window once shown
    demo.click_at((tx, ty, int(tabs.get("tabWidth")), tab_height), dialog)
    demo.click_at(in_page("groupAdd"), dialog)
    group_list = in_page("macro_group")
    demo.click_at((group_list[0], group_list[1], group_list[2], 32), dialog)
    demo.click_at(in_page("chk_macro_fixed_delay"), dialog)
    type_into("edit_macro_delay_time", "40")
    type_into("edit_macro_repeat_times", "3")
    demo.click_at(in_page("chk_macro_record"), dialog)
    for key in ("h", "i"):
        run("xdotool", "key", key)
        time.sleep(0.25)
    demo.click_at(in_page("chk_macro_record"), dialog)
    demo.screenshot(shots, shot_prefix + "-recorded")
    demo.click_at(rects["btnOK"], dialog)
    wait_until("the macro transfer", lambda: len(demo.sends(mark, "07 00")) >= 27, timeout=30)
    def read_back_done():
        lines = demo.trace()[mark:]
        starts = [i for i, line in enumerate(lines) if line.startswith("send 07 fb")]
        # The profile's read-back ends with its fourth read.
        return starts and len([l for l in lines[starts[-1]:] if l.startswith("read ")]) >= 4

    wait_until("the read-back", read_back_done, timeout=30)
    demo.screenshot(shots, shot_prefix + "-assigned")
    return protocol_lines(demo.trace()[mark:])


def check_against_expected(trace, name):
    with open(os.path.join(EXPECTED_DIR, name)) as f:
        expected = [line for line in f.read().splitlines() if line and not line.startswith("#")]
    if trace != expected:
        import difflib
        diff = "\n".join(difflib.unified_diff(expected, trace, "expected", "sent", lineterm=""))
        raise Failure(f"the trace differs from {name}:\n{diff}")


def scenario_record(demo, shots):
    """A macro recorded from typed keys, with its delay and repeat typed: the reports and waits
    are the stored ones the Windows build is checked against too."""
    demo.launch()
    trace = record_macro_with_repeat(demo, shots, "record")
    if os.environ.get("KB_WRITE_EXPECTED"):
        with open(os.path.join(EXPECTED_DIR, "record-macro.trace"), "w") as f:
            f.write("\n".join(trace) + "\n")
    check_against_expected(trace, "record-macro.trace")
    demo.stop()


SCENARIOS = {"flow": scenario_flow, "handover": scenario_handover, "burst": scenario_burst,
             "tray": scenario_tray, "plug": scenario_plug, "assign": scenario_assign,
             "macro": scenario_macro, "chinese": scenario_chinese,
             "lighting": scenario_lighting, "title": scenario_title, "backup": scenario_backup,
             "files": scenario_files, "record": scenario_record}
NEEDS_TRAY = {"handover", "tray"}



def run_scenario(label, root_prefix, start, scenario, shots):
    """Runs one scenario against the program start(root) starts in a fresh folder of its own.
    The folder goes when the scenario passes and stays for a look when it fails."""
    root = tempfile.mkdtemp(prefix=root_prefix)
    program = start(root)
    try:
        scenario(program, shots)
        # A program a scenario left running would take the clicks of the next one.
        program.stop()
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        print(f"(output kept in {root})", file=sys.stderr)
        program.stop()
        return 1
    except Exception:
        program.stop()
        raise
    shutil.rmtree(root, ignore_errors=True)
    print(f"{label}: passed; screenshots in {shots}")
    return 0

def main():
    if len(sys.argv) != 4 or sys.argv[1] not in SCENARIOS:
        print(__doc__, file=sys.stderr)
        return 2
    scenario, bin_dir, shots = sys.argv[1], sys.argv[2], sys.argv[3]
    if not os.environ.get("DISPLAY"):
        print("DISPLAY is not set: skipped")
        return SKIP
    tools = ["xdotool", "xwininfo", "import"] + (["trayer"] if scenario in NEEDS_TRAY else [])
    for tool in tools:
        if shutil.which(tool) is None:
            print(f"{tool} is missing: skipped")
            return SKIP
    return run_scenario(scenario, f"kbconfig-e2e-{scenario}-", lambda root: Demo(root, bin_dir),
                        SCENARIOS[scenario], shots)


if __name__ == "__main__":
    sys.exit(main())
