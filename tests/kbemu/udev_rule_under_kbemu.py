#!/usr/bin/env python3
"""The installed udev rule against the emulated keyboard's sysfs attributes, without udevd.

Usage: udev_rule_under_kbemu.py BUILD_DIR [RULES_FILE]

Installs the build into a temporary DESTDIR (cmake --install), or takes RULES_FILE as installed
(for example by the Debian package), then, inside kbemu, evaluates
every rule of the installed rules file for each hidraw node the way udev would on "add": the
node's own keys (SUBSYSTEM, KERNEL, ATTR, ENV) on the node, the parent keys (ATTRS, SUBSYSTEMS,
KERNELS) all on one device of the walk up from it, ENV assignments carried to the later rules,
sysfs values with trailing white space removed, glob patterns with "|" alternatives. Exactly the
node kbcfg marks as the keyboard must end up tagged "uaccess"; the boot keyboard interface of
the same device and the unrelated mouse must not.
Exits 77 (skipped) where kbemu cannot run.
"""

import fnmatch
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
RULE_KEY = re.compile(r'\s*([A-Z_]+)(?:\{([^}]*)\})?\s*(==|!=|\+=|-=|:=|=)\s*"((?:[^"\\]|\\.)*)"\s*,?')


class Failure(Exception):
    pass


def parse_rules(text):
    rules = []
    for line in text.replace("\\\n", "").splitlines():
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        keys, pos = [], 0
        while pos < len(line):
            match = RULE_KEY.match(line, pos)
            if not match:
                if line[pos:].strip():
                    raise Failure(f"cannot read rule: {line}")
                break
            keys.append(match.groups())
            pos = match.end()
        rules.append(keys)
    return rules


def glob_match(pattern, value):
    return any(fnmatch.fnmatchcase(value, alternative) for alternative in pattern.split("|"))


def read_attribute(folder, name):
    try:
        with open(os.path.join(folder, name), "rb") as f:
            return f.read().decode(errors="replace").rstrip()
    except OSError:
        return None


class SysDevice:
    def __init__(self, path):
        self.path = path
        self.kernel = os.path.basename(path)
        link = os.path.join(path, "subsystem")
        self.subsystem = os.path.basename(os.readlink(link)) if os.path.islink(link) else ""
        self.properties = {}
        with open(os.path.join(path, "uevent")) as f:
            for line in f.read().splitlines():
                key, _, value = line.partition("=")
                self.properties[key] = value


def walk_up(device_path):
    """The device itself, then each parent folder that is a device (has a uevent file)."""
    path = device_path
    while path.startswith("/sys/devices/"):
        if os.path.isfile(os.path.join(path, "uevent")):
            yield SysDevice(path)
        path = os.path.dirname(path)


def evaluate(rules, node):
    """udev's verdict for one hidraw node on "add": its environment and tags."""
    devices = list(walk_up(os.path.realpath(f"/sys/class/hidraw/{node}")))
    device = devices[0]
    env = dict(device.properties, ACTION="add", SUBSYSTEM=device.subsystem,
               DEVPATH=device.path[len("/sys"):])
    tags = set()
    for rule in rules:
        matched, parent_keys = True, []
        for key, attr, op, value in rule:
            if op not in ("==", "!="):
                continue
            if key in ("ATTRS", "SUBSYSTEMS", "KERNELS"):
                parent_keys.append((key, attr, op, value))
                continue
            if key == "SUBSYSTEM":
                actual = device.subsystem
            elif key == "KERNEL":
                actual = device.kernel
            elif key == "ACTION":
                actual = "add"
            elif key == "ENV":
                actual = env.get(attr, "")
            elif key == "ATTR":
                actual = read_attribute(device.path, attr)
            else:
                raise Failure(f"this check does not know the match key {key}")
            hit = actual is not None and glob_match(value, actual)
            if hit != (op == "=="):
                matched = False
        if matched and parent_keys:
            def on(candidate):
                for key, attr, op, value in parent_keys:
                    if key == "ATTRS":
                        actual = read_attribute(candidate.path, attr)
                    elif key == "SUBSYSTEMS":
                        actual = candidate.subsystem
                    else:
                        actual = candidate.kernel
                    if (actual is not None and glob_match(value, actual)) != (op == "=="):
                        return False
                return True
            matched = any(on(candidate) for candidate in devices)
        if not matched:
            continue
        for key, attr, op, value in rule:
            if op in ("==", "!="):
                continue
            if key == "ENV" and op in ("=", ":="):
                env[attr] = value
            elif key == "TAG" and op == "+=":
                tags.add(value)
            elif key == "TAG" and op == "-=":
                tags.discard(value)
            else:
                raise Failure(f"this check does not know the assignment {key}{op}")
    return {"tags": sorted(tags), "env": env}


def inside(rules_file):
    """Runs in kbemu's namespaces: the verdict for every emulated hidraw node, as JSON."""
    rules = parse_rules(open(rules_file).read())
    verdicts = {node: evaluate(rules, node) for node in sorted(os.listdir("/sys/class/hidraw"))}
    print(json.dumps(verdicts))
    return 0


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--inside":
        return inside(sys.argv[2])
    if len(sys.argv) not in (2, 3):
        print(__doc__, file=sys.stderr)
        return 2
    build_dir = sys.argv[1]
    given_rules = sys.argv[2] if len(sys.argv) == 3 else None
    kbemu = os.path.join(build_dir, "bin", "kbemu")
    kbcfg = os.path.join(build_dir, "bin", "kbcfg")
    probe = subprocess.run([kbemu, "--", "true"], capture_output=True, text=True, timeout=30)
    if probe.returncode == SKIP:
        print(f"skipped: {probe.stderr.strip()}")
        return SKIP
    root = tempfile.mkdtemp(prefix="kbemu-udev-rule-")
    try:
        if given_rules:
            rules_file = given_rules
        else:
            installed = subprocess.run(["cmake", "--install", build_dir, "--prefix", "/usr"],
                                       env=dict(os.environ, DESTDIR=root), capture_output=True,
                                       text=True)
            if installed.returncode != 0:
                raise Failure(f"cmake --install failed:\n{installed.stdout}{installed.stderr}")
            rules_file = os.path.join(root, "usr/lib/udev/rules.d/70-kbconfig.rules")
        if not os.path.isfile(rules_file):
            raise Failure(f"no rule installed at {rules_file}")
        result = subprocess.run([kbemu, "--", sys.executable, os.path.abspath(__file__),
                                 "--inside", rules_file], capture_output=True, text=True,
                                timeout=60)
        if result.returncode != 0:
            raise Failure(f"the evaluation failed: {result.stderr}")
        verdicts = json.loads(result.stdout)
        listed = subprocess.run([kbemu, "--", kbcfg, "list"], capture_output=True, text=True,
                                timeout=60).stdout
        marked = {row.split()[-1].removeprefix("/dev/") for row in listed.splitlines()
                  if row.startswith("* ") and "/dev/hidraw" in row}
        granted = {node for node, verdict in verdicts.items() if "uaccess" in verdict["tags"]}
        if len(verdicts) != 3:
            raise Failure(f"expected three emulated nodes, got {sorted(verdicts)}")
        if not marked or granted != marked:
            raise Failure(f"the rule grants access to {sorted(granted)}, but the keyboard's "
                          f"protocol interface is {sorted(marked)}:\n{listed}")
        keyboard_nodes = {node for node, verdict in verdicts.items()
                          if verdict["env"].get("KBCONFIG_KEYBOARD") == "1"}
        if len(keyboard_nodes) != 2 or not granted <= keyboard_nodes:
            raise Failure(f"the rule should mark both nodes of the keyboard, and only them: "
                          f"{sorted(keyboard_nodes)}")
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    finally:
        shutil.rmtree(root, ignore_errors=True)
    print(f"udev rule: access for {sorted(granted)} only; passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
