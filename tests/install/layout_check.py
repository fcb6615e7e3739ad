#!/usr/bin/env python3
"""`cmake --install` of a build into a temporary prefix: the program folders, launchers, desktop
entries and icons are all there and nothing else is, the launchers lead the programs to their
own folders, and the installed sample paper and settings are the shipped ones.

  layout_check.py --build BUILD_FOLDER
"""
import argparse
import configparser
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree

PACKAGE = "exam-suite"
FOLDERS = {
    "vellum": ["vellum", "sample-questions.csv"],
    "centrum": ["centrum", "centrumd", "setting.ini", "sample.dat", "index.html"],
    "candidate": ["entrant", "examdesk", "setting.ini"],
}
LAUNCHERS = {"vellum": "vellum", "centrum": "centrum", "centrumd": "centrum", "entrant": "candidate",
             "examdesk": "candidate"}
WINDOWED = {"vellum": "vellum", "centrum": "centrum", "entrant": "candidate", "examdesk": "candidate"}


def expected_files():
    files = {"lib/%s/%s/%s" % (PACKAGE, folder, name) for folder, names in FOLDERS.items() for name in names}
    files |= {"bin/" + name for name in LAUNCHERS} | {"bin/papertool"}
    for name in WINDOWED:
        files.add("share/applications/%s-%s.desktop" % (PACKAGE, name))
        files.add("share/icons/hicolor/scalable/apps/%s-%s.svg" % (PACKAGE, name))
    return files


def installed_files(prefix):
    return {os.path.relpath(os.path.join(top, name), prefix)
            for top, dirs, files in os.walk(prefix) for name in files + [d for d in dirs if os.path.islink(os.path.join(top, d))]}


def check_desktop_entries(prefix):
    for name, folder in WINDOWED.items():
        entry = configparser.ConfigParser(interpolation=None)
        entry.optionxform = str
        entry.read(os.path.join(prefix, "share/applications/%s-%s.desktop" % (PACKAGE, name)), encoding="utf-8")
        fields = entry["Desktop Entry"]
        program = fields["Exec"].split()[0]
        assert program == os.path.join(prefix, "lib", PACKAGE, folder, name), "%s starts %s" % (name, program)
        assert fields.get("Name") and fields.get("Name[zh_CN]"), "%s needs an English and a Chinese name" % name
        assert fields["Icon"] == "%s-%s" % (PACKAGE, name)
        icon = ElementTree.parse(os.path.join(prefix, "share/icons/hicolor/scalable/apps", fields["Icon"] + ".svg"))
        assert icon.getroot().tag == "{http://www.w3.org/2000/svg}svg", "%s's icon is not an SVG picture" % name


def check_launcher_finds_its_folder(prefix):
    """centrumd started through bin/ reads the settings beside the installed program."""
    folder = os.path.join(prefix, "lib", PACKAGE, "centrum")
    with open(os.path.join(folder, "setting.ini"), "w", encoding="utf-8") as f:
        f.write("[comm]\nmsg=0\nfile=8602\nweb=0\n[subject]\nfile=sample.dat\n")
    log = os.path.join(prefix, "centrumd.err")
    with open(log, "wb") as err:
        server = subprocess.Popen([os.path.join(prefix, "bin", "centrumd")], stdout=subprocess.DEVNULL, stderr=err)
    try:
        deadline = time.monotonic() + 30
        while "serving candidates" not in open(log, encoding="utf-8", errors="replace").read():
            assert server.poll() is None, "centrumd from bin/ ended: %s" % open(log).read()
            assert time.monotonic() < deadline, "centrumd from bin/ did not start serving"
            time.sleep(0.05)
    finally:
        server.send_signal(signal.SIGTERM)
        assert server.wait(30) == 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    args = parser.parse_args()
    source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
    with tempfile.TemporaryDirectory() as prefix:
        subprocess.run(["cmake", "--install", args.build, "--prefix", prefix], check=True, stdout=subprocess.DEVNULL)
        found = installed_files(prefix)
        assert found == expected_files(), "missing %s; unexpected %s" % (
            sorted(expected_files() - found), sorted(found - expected_files()))
        for name, folder in LAUNCHERS.items():
            target = os.path.realpath(os.path.join(prefix, "bin", name))
            assert target == os.path.join(os.path.realpath(prefix), "lib", PACKAGE, folder, name), \
                "bin/%s leads to %s" % (name, target)
            assert os.readlink(os.path.join(prefix, "bin", name)).startswith("../"), "bin/%s is not relative" % name
        for folder in ("centrum", "candidate"):
            shipped = open(os.path.join(source, "dist", folder, "setting.ini"), "rb").read()
            installed = open(os.path.join(prefix, "lib", PACKAGE, folder, "setting.ini"), "rb").read()
            assert installed == shipped, "%s's installed settings are not the shipped ones" % folder
        checked = subprocess.run([os.path.join(prefix, "bin", "papertool"), "check",
                                  os.path.join(prefix, "lib", PACKAGE, "centrum", "sample.dat")],
                                 capture_output=True, text=True)
        assert checked.returncode == 0, "the installed sample paper: %s" % checked.stdout
        check_desktop_entries(prefix)
        check_launcher_finds_its_folder(prefix)
    print("installed layout: %d files, launchers and desktop entries lead to the program folders" % len(found))


if __name__ == "__main__":
    main()
