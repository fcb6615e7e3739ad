#!/usr/bin/env python3
"""A whole exam on this machine, driven as people drive it: the exam server in its program
folder, a candidate's login client and test program in theirs, on 127.0.0.1. Run inside an X
display (xvfb-run); the windows get the mouse and the keyboard through xdotool.

  exam_room.py --dist build/dist [--language en|zh] [--shots FOLDER]
  exam_room.py --installed /usr/lib/exam-suite [--language en|zh]

--dist copies the staged programs into a program folder of their own for each person.
--installed runs the installed programs where they are, as a user who cannot write there:
each person's files are in their own folder below a home of their own, and the installed
folders must be left as they were.

A candidate logs in, receives the sample paper, answers every question, submits, and the
result is in the server's day report with full marks; a second login with the same ID is
refused.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "centrum"))
import ownserver  # noqa: E402
from protocol_client import KEY, report_values  # noqa: E402

CANDIDATE = "alice"
PAPER = "sample.dat"
FULL_MARKS = 10

# Where the test program puts its controls on a 96 DPI screen, its bar at the top left.
START, SUBMIT = (104, 29), (544, 29)
OPTION_X, OPTION_Y, OPTION_STEP = 47, 233, 40
BLANK_X, BLANK_Y, BLANK_STEP = 160, 239, 40


def decipher(text):
    data = bytes.fromhex(text)
    key = KEY.encode("utf-16-le")
    return bytes(b ^ key[i % len(key)] for i, b in enumerate(data)).decode("utf-16-le")


def xdotool(*args):
    return subprocess.run(["xdotool", *map(str, args)], check=True, capture_output=True, text=True).stdout


def visible_windows():
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", ".*"], capture_output=True, text=True)
    return set(found.stdout.split())


def wait_until(what, condition, seconds=30):
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("gave up waiting for " + what)
        time.sleep(0.05)


def program_windows(*how):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", *map(str, how)], capture_output=True, text=True)
    return found.stdout.split()


def first_window(what, *how):
    """The first visible window found by xdotool's search terms, once there is one."""
    return wait_until(what, lambda: (program_windows(*how) or [None])[0])


class Shots:
    def __init__(self, folder, language):
        self.folder, self.language = folder, language

    def take(self, name):
        if self.folder:
            os.makedirs(self.folder, exist_ok=True)
            subprocess.run(["import", "-window", "root",
                            os.path.join(self.folder, "%s-%s.png" % (self.language, name))], check=True)


def click(point):
    xdotool("mousemove", point[0], point[1], "click", "1")


def settle():
    # A click or key is handled once the program has read it; give the X server a moment to
    # pass it on before the next one goes to whatever window is under the pointer.
    time.sleep(0.3)


def next_question():
    """Moves on with the keyboard and waits for the next question's window."""
    before = visible_windows()
    xdotool("key", "alt+Right")
    wait_until("the next question", lambda: visible_windows() - before)
    settle()


class Candidate:
    """entrant and examdesk copied from programs into a program folder of their own, or, when
    installed, run from programs with the candidate's files in their own folder below home."""

    def __init__(self, programs, home, server_port, env, installed=False):
        if installed:
            self.program = os.path.join(programs, "entrant")
            self.folder = os.path.join(home, "exam-suite", "candidate")
            os.makedirs(self.folder)
            env = dict(env, XDG_DATA_HOME=home)
        else:
            for name in ("entrant", "examdesk"):
                shutil.copy2(os.path.join(programs, name), home)
            self.program, self.folder = os.path.join(home, "entrant"), home
        with open(os.path.join(self.folder, "setting.ini"), "w", encoding="utf-8") as f:
            # File port 0: the client listens where the system lets it and tells the server.
            f.write("[comm]\nrmtHost=127.0.0.1\nmsg=%d\nfile=0\n" % server_port)
        self.env = env
        self.log = os.path.join(home, "entrant.err")

    def start(self):
        self.errors = open(self.log, "w")
        self.process = subprocess.Popen([self.program], cwd=self.folder, env=self.env, stderr=self.errors)
        return self.process

    def status_lines(self):
        with open(self.log, encoding="utf-8") as f:
            return [line[len("entrant: "):].rstrip("\n") for line in f if line.startswith("entrant: ")]

    def log_in(self, title, candidate_id):
        try:
            window = first_window("the login window", "--pid", self.process.pid)
        except AssertionError:
            self.process.poll()
            sys.stderr.write("entrant (exit %s) said:\n%s\n" % (self.process.returncode, open(self.log).read()))
            raise
        name = xdotool("getwindowname", window).strip()
        assert name == title, "the login window is titled %r" % name
        # The name box is at the window's top left, beside its caption.
        xdotool("mousemove", "--window", window, 130, 22, "click", "1")
        settle()
        xdotool("type", "--delay", "20", candidate_id)
        xdotool("key", "Return")


def take_the_test(shots):
    """Answers every question of the sample paper right, then submits."""
    first_window("the test window", "--class", "^examdesk$")
    settle()
    shots.take("examdesk-ready")
    before = visible_windows()
    click(START)
    wait_until("the first question", lambda: visible_windows() - before)
    settle()
    option = lambda k: (OPTION_X, OPTION_Y + OPTION_STEP * (k - 1))
    click(option(2))                          # 1: Mercury
    settle()
    shots.take("examdesk-single")
    next_question()
    for k in (1, 3, 4):                       # 2: the primes 2, 7 and 11
        click(option(k))
        settle()
    shots.take("examdesk-multiple")
    next_question()
    for k, word in ((1, "Au"), (2, "Fe")):    # 3: the two blanks
        click((BLANK_X, BLANK_Y + BLANK_STEP * (k - 1)))
        xdotool("type", "--delay", "20", word)
        settle()
    shots.take("examdesk-blanks")
    next_question()
    click(option(1))                          # 4: True
    settle()
    shots.take("examdesk-truefalse")
    next_question()
    click(option(3))                          # 5: the Yangtze
    settle()
    click(SUBMIT)


def listing(folders):
    return {os.path.join(top, name): os.stat(os.path.join(top, name)).st_mtime_ns
            for folder in folders for top, dirs, files in os.walk(folder) for name in dirs + files}


def main():
    parser = argparse.ArgumentParser()
    where = parser.add_mutually_exclusive_group(required=True)
    where.add_argument("--dist", help="the staged program folders, copied for each person")
    where.add_argument("--installed", help="the installed program folders, run where they are")
    parser.add_argument("--language", choices=("en", "zh"), default="en")
    parser.add_argument("--shots", help="a folder for screenshots of each step")
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        sys.exit("exam_room.py needs an X display; run it under xvfb-run")
    installed = args.installed is not None
    if installed and os.geteuid() == 0:
        sys.exit("exam_room.py --installed runs as a user who cannot write the installed folders, not as root")
    programs = args.installed or args.dist
    program_folders = [os.path.join(programs, "centrum"), os.path.join(programs, "candidate")]
    installed_before = listing(program_folders) if installed else None

    shots = Shots(args.shots, args.language)
    title = "ZeloClientV1.1" if args.language == "en" else "Orla客户端程序V1.1"
    refused = "This User has Logined" if args.language == "en" else "该用户已登录"

    with tempfile.TemporaryDirectory() as home, \
            ownserver.own_server(program_folders[0], [PAPER],
                                 data_home=os.path.join(home, "examiner") if installed else None) as server:
        env = dict(os.environ)
        env.pop("QT_QPA_PLATFORM", None)
        env["LANG"] = env["LC_ALL"] = "en_US.UTF-8" if args.language == "en" else "zh_CN.UTF-8"
        # The result channel and the single-instance locks live in the temporary folder.
        env["TMPDIR"] = home
        paper = open(os.path.join(server.folder, PAPER), "rb").read()

        first_folder = os.path.join(home, "first")
        os.mkdir(first_folder)
        first = Candidate(program_folders[1], first_folder, server.msg, env, installed)
        process = first.start()
        first.log_in(title, CANDIDATE)
        take_the_test(shots)
        # The result goes to the login client, which delivers it and ends.
        if process.wait(60) != 0:
            raise AssertionError("entrant ended with %d" % process.returncode)
        wait_until("the test program to end", lambda: not program_windows("--class", "^examdesk$"))
        received = open(os.path.join(first.folder, PAPER), "rb").read()
        assert received == paper, "the candidate's copy of the paper differs from the server's"
        assert os.path.isfile(os.path.join(first.folder, PAPER + ".result")), "no copy of the result beside the paper"
        if installed:
            assert any(first.folder in line for line in first.status_lines()), \
                "entrant did not say where it keeps its files: %r" % first.status_lines()

        values = report_values(server.folder)
        assert len(values) == 1, "expected one report entry, found %r" % values
        address, candidate_id, result = values[0].split(":", 2)
        score, paper_name, seconds = decipher(result).split(":")
        assert address == "127.0.0.1" and candidate_id == CANDIDATE, values[0]
        assert (int(score), paper_name) == (FULL_MARKS, PAPER), decipher(result)
        assert 0 < int(seconds) < 600, "time used %s s" % seconds

        # Another workstation tries the same ID.
        second_folder = os.path.join(home, "second")
        os.mkdir(second_folder)
        second = Candidate(program_folders[1], second_folder, server.msg, env, installed)
        process = second.start()
        second.log_in(title, CANDIDATE)
        wait_until("the refusal", lambda: refused in second.status_lines())
        settle()
        shots.take("entrant-refused")
        process.terminate()
        process.wait(30)
        assert not os.path.exists(os.path.join(second.folder, PAPER)) or \
            os.path.getsize(os.path.join(second.folder, PAPER)) == 0, "a refused login received a paper"
        assert len(report_values(server.folder)) == 1

    if installed:
        assert listing(program_folders) == installed_before, "the installed program folders were changed"

    print("a whole exam: %s scored %s of %d in %s s; the second login was refused" %
          (CANDIDATE, score, FULL_MARKS, seconds))


if __name__ == "__main__":
    main()
