#!/usr/bin/env python3
"""The real kbconfig under kbemu in an X session, driven with xdotool.

Usage: kbconfig_under_kbemu.py SCENARIO BIN_DIR SHOT_DIR    (SCENARIO: plug, deny or late)

plug: the program starts connected; a profile click and a lighting change reach the emulated
firmware (kbemu's trace); unplugging shows "Disconnected" and sends nothing; plugging back
reconnects through the udev watcher with the profile select and the read-back; closing ends
with the program's exit code and the firmware kept its state.
deny: a keyboard that refuses to open: the program warns, then says it has no permission and
how to fix that in a second box, settles disconnected, keeps running and never reaches the
firmware.
late: started without the keyboard, the program warns and settles disconnected; plugging the
keyboard in connects it without a warning.

The connection status is compared as pixels of the `version` control between the states.
Exits 77 (skipped) without a display, xdotool or ImageMagick, or where kbemu cannot run.
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import demo_driver  # noqa: E402
from demo_driver import Demo, Failure, expect, run, run_scenario, wait_until  # noqa: E402

SKIP = 77


class EmulatedProgram(Demo):
    """kbconfig in its own folder, run by kbemu; the trace is the emulated firmware's."""

    def __init__(self, root, bin_dir, kbemu_args=(), unplugged=False):
        demo_driver.RUNTIME_FILES = ["kbconfig", "uires", "config.xml", "keys.xml"]
        super().__init__(root, bin_dir)
        self.kbemu = os.path.join(bin_dir, "kbemu")
        self.state = os.path.join(root, "keyboard.xml")
        self.kbemu_args = list(kbemu_args)
        self.unplugged = unplugged

    def start(self, tag="first"):
        out = open(os.path.join(self.root, f"{tag}.out"), "w")
        err = open(os.path.join(self.root, f"{tag}.err"), "w")
        program = [os.path.join(self.app, "kbconfig")]
        if self.unplugged:
            # kbemu is the shell's parent; the shell becomes the program, with the same pid.
            program = ["sh", "-c", 'kill -USR1 $PPID && sleep 0.5 && exec "$0"', *program]
        proc = subprocess.Popen(
            [self.kbemu, "--trace", "--state", self.state, *self.kbemu_args, "--", *program],
            cwd=self.root, env=self.env, stdout=out, stderr=err)
        out.close()
        err.close()
        return proc

    def program_pid(self):
        """kbconfig's own process id: kbemu's child, which owns the windows."""
        try:
            with open(f"/proc/{self.proc.pid}/task/{self.proc.pid}/children") as f:
                children = f.read().split()
        except OSError:
            return None
        return children[0] if children else None

    def windows(self):
        pid = self.program_pid()
        if pid is None:
            return []
        return run("xdotool", "search", "--onlyvisible", "--pid", pid, check=False).split()

    def find_window(self):
        if self.proc.poll() is not None:
            raise Failure(f"kbemu ended early with {self.proc.returncode}: "
                          + "\n".join(self.trace()[-20:]))
        for window in self.windows():
            name = run("xdotool", "getwindowname", window, check=False).strip()
            if name == self.title and demo_driver.window_size(window)[0] >= 500:
                return window
        return None

    def status_pixels(self, shots, name):
        """A screenshot, and a signature of the pixels of the connection status text."""
        self.screenshot(shots, name)
        x, y, w, h = self.rects["version"]
        left, top = self.geometry()
        crop = os.path.join(self.root, name + "-status.png")
        run("convert", os.path.join(shots, name + ".png"), "-crop",
            f"{w}x{h}+{left + x}+{top + y}", "+repage", crop, timeout=30)
        return run("identify", "-format", "%#", crop, timeout=30).strip()


def scenario_plug(program, shots):
    program.launch()
    start = program.trace()
    expect("send 07 fc 01 00 00 00 00 00" in start, f"no profile select at start-up: {start}")
    expect(any(line.startswith("read 07 01 ") for line in start),
           f"the firmware answered no slot-table read at start-up: {start}")
    connected = program.status_pixels(shots, "kbemu-connected")

    mark = len(program.trace())
    program.choose("cmb_profile", 1)
    wait_until("profile 2 at the firmware", lambda: program.sends(mark, "07 fc 02"))
    wait_until("the read-back of profile 2", lambda: program.sends(mark, "07 fb"))

    mark = len(program.trace())
    program.choose("cmb_led_mode", 3)
    sent = wait_until("the lighting report", lambda: program.sends(mark, "07 f7"))
    expect(sent[-1].startswith("send 07 f7 03 "), f"effect 3 expected, got {sent[-1]}")

    mark = len(program.trace())
    program.proc.send_signal(signal.SIGUSR1)
    wait_until("the status to change on unplugging",
               lambda: program.status_pixels(shots, "kbemu-unplugged") != connected)
    time.sleep(0.5)
    expect(not program.sends(mark, ""), "an unplugged keyboard reached the firmware")
    expect(program.proc.poll() is None, "the program ended on unplugging")

    mark = len(program.trace())
    program.proc.send_signal(signal.SIGUSR2)
    wait_until("the profile select after plugging back", lambda: program.sends(mark, "07 fc 02"))
    wait_until("the read-back after plugging back", lambda: program.sends(mark, "07 fb"))
    wait_until("the status to show connected again",
               lambda: program.status_pixels(shots, "kbemu-replugged") == connected)
    reads = [line for line in program.trace()[mark:] if line.startswith("read 07 02 ")]
    expect(reads, "the read-back after plugging back did not reach the firmware")
    expect(not [line for line in program.trace() if line.endswith(" failed")],
           "an exchange failed at the firmware")

    # The new handle works: a change after plugging back arrives.
    mark = len(program.trace())
    program.choose("cmb_led_mode", 1)
    wait_until("a lighting report after plugging back",
               lambda: program.sends(mark, "07 f7 04"))

    expect(program.close_with_button() == 1, "kbemu must end with kbconfig's exit code 1")
    state = open(program.state).read()
    expect(re.search(r'activeprofile="2"', state) and re.search(r'effect="4"', state),
           "the emulated keyboard did not keep profile 2 and effect 4:\n" + state)


def dismiss_warning(program, shots, name):
    """Waits for the window the program opens about the keyboard and closes it with Return."""
    def warning_window():
        program.find_window()  # fails early when the program has ended
        for window in program.windows():
            title = run("xdotool", "getwindowname", window, check=False).strip()
            if title != program.title and demo_driver.window_size(window)[0] >= 100:
                return window
        return None

    warning = wait_until("a warning window", warning_window, timeout=20)
    time.sleep(0.5)
    size = demo_driver.window_size(warning)
    program.screenshot(shots, name)
    run("xdotool", "windowfocus", "--sync", warning, check=False)
    run("xdotool", "key", "Return")
    wait_until("the warning to close", lambda: warning not in program.windows(), timeout=10)
    program.window = wait_until("the main window", program.find_window, timeout=20)
    time.sleep(0.5)
    return size


def scenario_deny(program, shots):
    program.proc = program.start("first")
    # What the program says about a keyboard it may not open comes in a window of its own,
    # before or over the main window: "Failed to open USB", then what permission is missing.
    first = dismiss_warning(program, shots, "kbemu-denied-warning")
    second = dismiss_warning(program, shots, "kbemu-denied-permission")
    # The explanation is several lines long: its box grows beyond the one-line warning's.
    expect(second[1] > first[1], f"no second, longer box about the permission: {first} {second}")
    program.screenshot(shots, "kbemu-denied")
    time.sleep(0.5)
    expect([w for w in program.windows() if w != program.window] == [],
           "more boxes than the warning and the permission message")
    expect(program.proc.poll() is None, "the program ended on a keyboard it may not open")
    expect(not program.sends(0, ""), "the firmware was reached through a refused open")
    program.stop()


def scenario_late(program, shots):
    """Started without the keyboard: a warning, then "Disconnected"; plugging it in afterwards
    connects through the udev watcher, selects the profile and reads back, with no warning."""
    program.proc = program.start("first")
    dismiss_warning(program, shots, "kbemu-late-warning")
    absent = program.status_pixels(shots, "kbemu-late-absent")
    expect(not program.sends(0, ""), "an absent keyboard reached the firmware")

    program.proc.send_signal(signal.SIGUSR2)
    wait_until("the profile select after plugging in", lambda: program.sends(0, "07 fc 01"))
    wait_until("the read-back after plugging in", lambda: program.sends(0, "07 fb"))
    wait_until("the status to change on plugging in",
               lambda: program.status_pixels(shots, "kbemu-late-plugged") != absent)
    expect([w for w in program.windows() if w != program.window] == [],
           "plugging the keyboard in must not warn")
    program.stop()


SCENARIOS = {"plug": scenario_plug, "deny": scenario_deny, "late": scenario_late}


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in SCENARIOS:
        print(__doc__, file=sys.stderr)
        return 2
    scenario, bin_dir, shots = sys.argv[1], sys.argv[2], sys.argv[3]
    if not os.environ.get("DISPLAY"):
        print("DISPLAY is not set: skipped")
        return SKIP
    for tool in ("xdotool", "xwininfo", "import", "convert", "identify"):
        if shutil.which(tool) is None:
            print(f"{tool} is missing: skipped")
            return SKIP
    probe = subprocess.run([os.path.join(bin_dir, "kbemu"), "--", "true"], capture_output=True,
                           text=True, timeout=30)
    if probe.returncode == SKIP:
        print(f"skipped: {probe.stderr.strip()}")
        return SKIP
    return run_scenario(
        scenario, f"kbemu-kbconfig-{scenario}-",
        lambda root: EmulatedProgram(root, bin_dir, ["--deny"] if scenario == "deny" else [],
                                     unplugged=scenario == "late"),
        SCENARIOS[scenario], shots)


if __name__ == "__main__":
    sys.exit(main())
