#!/usr/bin/env python3
"""kbcfg on its real device path (hidapi, sysfs, hidraw ioctls) against kbemu.

Usage: kbcfg_under_kbemu.py BIN_DIR

Checks that `list` marks the emulated protocol interface and nothing else, that every command
puts the same reports on the wire as with --simulate (kbemu's firmware trace against kbcfg's own
trace without its waits), that both keep the same state file, and that unplugging, plugging
back and --deny look to kbcfg as they would with a real keyboard.
Exits 77 (skipped) where kbemu cannot run: no root, no namespaces, no /dev/fuse.
"""

import os
import shutil
import subprocess
import sys
import tempfile

SKIP = 77

LIBRARY = """<?xml version="1.0" encoding="UTF-8"?>
<group>
\t<items name="Hello">
\t\t<item code="4" name="A" state="0" delay="100" />
\t\t<item code="4" name="A" state="1" delay="20" />
\t</items>
</group>
"""


class Failure(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise Failure(message)


class Runner:
    def __init__(self, bin_dir, root):
        self.kbemu = os.path.join(bin_dir, "kbemu")
        self.kbcfg = os.path.join(bin_dir, "kbcfg")
        self.root = root
        self.library = os.path.join(root, "macro.xml")
        with open(self.library, "w") as f:
            f.write(LIBRARY)

    def run(self, args, timeout=60):
        return subprocess.run(args, capture_output=True, text=True, timeout=timeout)

    def emulated(self, state, *command, kbemu_args=()):
        return self.run([self.kbemu, "--trace", "--state", state, *kbemu_args, "--",
                         self.kbcfg, *command])

    def simulated(self, state, *command):
        return self.run([self.kbcfg, f"--simulate={state}", "--trace", *command])


def wire(lines):
    return [line for line in lines.splitlines() if line.startswith(("send ", "read "))]


def check_list(runner):
    result = runner.run([runner.kbemu, "--", runner.kbcfg, "list"])
    expect(result.returncode == 0, f"list failed: {result.stderr}")
    rows = result.stdout.splitlines()
    marked = [row for row in rows if row.startswith("* ") and "/dev/hidraw" in row]
    expect(len(marked) == 1, f"exactly one interface must be marked:\n{result.stdout}")
    expect("258a 0049" in marked[0] and "ff00:0001" in marked[0] and "  2  " in marked[0],
           f"the mark is not on the vendor collection 2 of interface 1:\n{result.stdout}")
    mouse = [row for row in rows if "Emulated Mouse" in row]
    expect(len(mouse) == 1 and not mouse[0].startswith("*"),
           f"the mouse must be listed and not marked:\n{result.stdout}")
    boot = [row for row in rows if "0001:0006" in row]
    expect(len(boot) == 1 and " 0 " in boot[0], f"no boot keyboard on interface 0:\n{result.stdout}")


def check_same_wire(runner):
    emulated_state = os.path.join(runner.root, "emulated.xml")
    simulated_state = os.path.join(runner.root, "simulated.xml")
    commands = [
        ["slots", "--profile", "2"],
        ["assign", "A", "--key", "B"],
        ["assign", "F1", "--media", "Play/Pause", "--profile", "2"],
        ["assign", "Ctrl Left", "--function", "Copy", "--profile", "3"],
        ["assign", "F2", "--macro", "Hello", "--repeat", "2", "--library", runner.library],
        ["slots"],
        ["clear", "A"],
        ["clear", "F2"],
        ["light", "8", "--areas", "0,1,2,3,4,15", "--brightness", "2"],
        ["light", "3", "--colour", "5", "--speed", "1"],
        ["reset", "--yes"],
    ]
    for command in commands:
        emulated = runner.emulated(emulated_state, *command)
        simulated = runner.simulated(simulated_state, *command)
        name = " ".join(command)
        expect(emulated.returncode == simulated.returncode == 0,
               f"{name}: exit {emulated.returncode} under kbemu, {simulated.returncode} simulated:"
               f"\n{emulated.stderr}\n{simulated.stderr}")
        expect(emulated.stdout == simulated.stdout,
               f"{name}: output differs:\n{emulated.stdout}\n---\n{simulated.stdout}")
        on_wire, expected = wire(emulated.stderr), wire(simulated.stderr)
        expect(on_wire and on_wire == expected,
               f"{name}: the firmware saw\n" + "\n".join(on_wire) +
               "\nbut --simulate sends\n" + "\n".join(expected))
        # The same state file format, kept the same way.
        with open(emulated_state) as a, open(simulated_state) as b:
            expect(a.read() == b.read(), f"{name}: the state files differ")
    # The state is read back on the next run.
    again = runner.emulated(emulated_state, "slots")
    expect("read 07 01 00 00" in again.stderr, "a fresh run lost the state file's profile 1")


def check_plug_and_deny(runner):
    # kbemu is the shell's parent: the shell unplugs and plugs back itself.
    script = (f'"{runner.kbcfg}" status; echo "exit $?"; kill -USR1 $PPID; sleep 0.5; '
              f'ls /dev | grep hidraw; "{runner.kbcfg}" status; echo "exit $?"; '
              f'kill -USR2 $PPID; sleep 0.5; "{runner.kbcfg}" status; echo "exit $?"; exit 5')
    result = runner.run([runner.kbemu, "--", "sh", "-c", script])
    expect(result.returncode == 5, f"kbemu must exit with the command's status, got "
                                   f"{result.returncode}: {result.stderr}")
    lines = result.stdout.splitlines()
    expect(lines[:2] == ["Connected", "exit 0"], f"not connected at first: {lines}")
    expect(lines[2:5] == ["hidraw0", "exit 1"] or lines[2:4] == ["hidraw0", "exit 1"],
           f"after unplugging only the mouse's node must be left and status must fail: {lines}")
    expect("Failed to open USB" in result.stderr, f"no failure message: {result.stderr}")
    expect("permission" not in result.stderr,
           f"an absent keyboard is no permission problem: {result.stderr}")
    expect(lines[-2:] == ["Connected", "exit 0"], f"not connected after plugging back: {lines}")

    denied = runner.run([runner.kbemu, "--deny", "--", runner.kbcfg, "status"])
    expect(denied.returncode == 1 and "Failed to open USB" in denied.stderr,
           f"--deny must make the keyboard unopenable: {denied.returncode} {denied.stderr}")
    expect("does not let this program use it" in denied.stderr
           and "\nsudo udevadm control --reload\n" in denied.stderr
           and "70-kbconfig.rules" in denied.stderr
           and "plug it in again" in denied.stderr,
           f"a refused keyboard must be explained with the udev rule: {denied.stderr}")
    probe = runner.run([runner.kbemu, "--deny", "--", "sh", "-c", "exec 3<>/dev/hidraw2"])
    expect("Permission denied" in probe.stderr, f"--deny must refuse with EACCES: {probe.stderr}")


def check_usage(runner):
    """Bad input is refused before anything is emulated, as kbcfg --simulate refuses it."""
    garbage = os.path.join(runner.root, "garbage.xml")
    with open(garbage, "w") as f:
        f.write("<simkeyboard version=\"1\" activeprofile=\"9\"/>")
    cases = [
        (["--state", os.path.join(runner.root, "missing", "state.xml")], "no folder"),
        (["--state", garbage], "cannot read simulator state"),
        (["--config", os.path.join(runner.root, "missing.xml")], "cannot read configuration"),
        (["--speed"], "unknown option"),
    ]
    for args, message in cases:
        result = runner.run([runner.kbemu, *args, "--", "true"])
        expect(result.returncode == 2 and message in result.stderr,
               f"kbemu {' '.join(args)}: exit {result.returncode}, {result.stderr.strip()}")
    with open(garbage) as f:
        expect("activeprofile=\"9\"" in f.read(), "an unreadable state file was overwritten")
    result = runner.run([runner.kbemu])
    expect(result.returncode == 2 and "no command" in result.stderr, "no command must be usage")


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    runner = Runner(sys.argv[1], tempfile.mkdtemp(prefix="kbemu-kbcfg-"))
    probe = runner.run([runner.kbemu, "--", "true"])
    if probe.returncode == SKIP:
        print(f"skipped: {probe.stderr.strip()}")
        return SKIP
    try:
        check_usage(runner)
        check_list(runner)
        check_same_wire(runner)
        check_plug_and_deny(runner)
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        print(f"(files kept in {runner.root})", file=sys.stderr)
        return 1
    shutil.rmtree(runner.root, ignore_errors=True)
    print("kbcfg under kbemu: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
