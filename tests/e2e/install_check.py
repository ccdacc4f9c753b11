#!/usr/bin/env python3
"""Installs the build into a temporary DESTDIR and checks the installed layout.

Usage: install_check.py BUILD_DIR CONFIG_XML

Checks the program folder (programs, config.xml, the key coordinate file, every resource the
index lists), the links in bin/, the desktop entry and its icon, and that the udev rule grants
access to exactly the keyboard interface config.xml names. With a display, the installed demo is
started through its link and must show its window.
"""

import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET

PREFIX = "/usr"
PROGRAM_DIR = "usr/lib/kbconfig"


class Failure(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise Failure(message)


def usb_identity(config_xml):
    """(vid, pid, interface) as sysfs writes them: 4, 4 and 2 lower-case hex digits."""
    text = open(config_xml, encoding="utf-8").read()
    text = re.sub(r"<\?xml[^>]*\?>", "", text)
    usb = ET.fromstring(f"<root>{text}</root>").find("usb")

    def hexvalue(name, digits):
        value = int(usb.get(name).lower().removeprefix("0x"), 16)
        return f"{value:0{digits}x}"

    return hexvalue("vid", 4), hexvalue("pid", 4), hexvalue("interface", 2)


def check_program_folder(root):
    folder = os.path.join(root, PROGRAM_DIR)
    for name in ("kbconfig", "kbconfig-demo", "kbcfg"):
        path = os.path.join(folder, name)
        expect(os.path.isfile(path) and os.access(path, os.X_OK), f"{path} is not a program")
        link = os.path.join(root, "usr/bin", name)
        expect(os.path.islink(link), f"{link} is not a symbolic link")
        expect(not os.path.isabs(os.readlink(link)), f"{link} points to an absolute path")
        expect(os.path.realpath(link) == os.path.realpath(path), f"{link} points elsewhere")
    for name in ("config.xml", "keys.xml", "uires/uires.idx"):
        expect(os.path.isfile(os.path.join(folder, name)), f"{name} is not installed")
    index = ET.parse(os.path.join(folder, "uires/uires.idx")).getroot()
    missing = [f.get("path") for f in index.iter("file")
               if not os.path.isfile(os.path.join(folder, "uires", f.get("path")))]
    expect(not missing, f"resources listed in uires.idx but not installed: {missing}")


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    expect(head[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is not a PNG image")
    return struct.unpack(">II", head[16:24])


def check_desktop_entry(root):
    entry = open(os.path.join(root, "usr/share/applications/kbconfig.desktop")).read()
    keys = dict(line.split("=", 1) for line in entry.splitlines() if "=" in line)
    expect(keys.get("Exec") == "kbconfig", "the desktop entry does not start kbconfig")
    expect(keys.get("Type") == "Application", "the desktop entry is not an application")
    icon = os.path.join(root, "usr/share/icons/hicolor/256x256/apps", keys.get("Icon", "") + ".png")
    expect(os.path.isfile(icon), f"the desktop entry's icon {icon} is not installed")
    expect(png_size(icon) == (256, 256), f"{icon} is not 256x256")


def check_udev_rule(root, config_xml):
    rules_dir = os.path.join(root, "usr/lib/udev/rules.d")
    names = os.listdir(rules_dir)
    expect(names == ["70-kbconfig.rules"], f"unexpected udev rule files {names}")
    lines = [line for line in open(os.path.join(rules_dir, names[0])).read().splitlines()
             if line.strip() and not line.lstrip().startswith("#")]
    vid, pid, interface = usb_identity(config_xml)
    expect(all('SUBSYSTEM=="hidraw"' in line for line in lines),
           "every rule must be limited to hidraw nodes")
    marker = [line for line in lines if "ENV{KBCONFIG_KEYBOARD}=\"1\"" in line]
    expect(len(marker) == 1, "one rule must mark the keyboard's nodes")
    expect(f'ATTRS{{idVendor}}=="{vid}"' in marker[0] and
           f'ATTRS{{idProduct}}=="{pid}"' in marker[0],
           f"the marking rule does not match {vid}:{pid}: {marker[0]}")
    granting = [line for line in lines if "uaccess" in line]
    expect(len(granting) == 1, "exactly one rule must grant access")
    expect('ENV{KBCONFIG_KEYBOARD}=="1"' in granting[0] and
           f'ATTRS{{bInterfaceNumber}}=="{interface}"' in granting[0],
           f"the granting rule is broader than interface {interface} of the keyboard")
    expect(not any(re.search(r"MODE|GROUP|OWNER", line) for line in lines),
           "the rules must not change modes, groups or owners")


def smoke_run(root):
    """Starts the installed demo through its link; its window must appear."""
    if not os.environ.get("DISPLAY") or shutil.which("xdotool") is None:
        return
    work = tempfile.mkdtemp(prefix="kbconfig-install-run-")
    env = dict(os.environ, TMPDIR=work, XDG_RUNTIME_DIR=work, HOME=work, QT_QPA_PLATFORM="xcb")
    env.pop("XDG_DATA_HOME", None)
    proc = subprocess.Popen([os.path.join(root, "usr/bin/kbconfig-demo")], cwd=work, env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            expect(proc.poll() is None, f"the installed demo exited with {proc.returncode}")
            found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(proc.pid),
                                    "--name", "Keyboard Configurator"],
                                   capture_output=True, text=True).stdout.split()
            if found:
                return
            time.sleep(0.2)
        raise Failure("the installed demo showed no window")
    finally:
        proc.terminate()
        proc.wait(timeout=10)
        shutil.rmtree(work, ignore_errors=True)


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    build_dir, config_xml = sys.argv[1], sys.argv[2]
    root = tempfile.mkdtemp(prefix="kbconfig-install-")
    try:
        result = subprocess.run(["cmake", "--install", build_dir, "--prefix", PREFIX],
                                env=dict(os.environ, DESTDIR=root), capture_output=True,
                                text=True)
        expect(result.returncode == 0, f"cmake --install failed:\n{result.stdout}{result.stderr}")
        check_program_folder(root)
        check_desktop_entry(root)
        check_udev_rule(root, config_xml)
        smoke_run(root)
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    finally:
        shutil.rmtree(root, ignore_errors=True)
    print("install layout: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
