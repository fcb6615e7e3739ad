#!/usr/bin/env python3
"""A whole exam on this machine, driven as people drive it: the exam server in its program
folder, a candidate's login client and test program in theirs, on 127.0.0.1. Run inside an X
display (xvfb-run); the windows get the mouse and the keyboard through xdotool.

  exam_room.py --dist build/dist [--language en|zh] [--scenario whole|killed|crashes|secure] [--shots FOLDER]
  exam_room.py --installed /usr/lib/exam-suite [--language en|zh]

--dist copies the staged programs into a program folder of their own for each person.
--installed runs the installed programs where they are, as a user who cannot write there:
each person's files are in their own folder below a home of their own, and the installed
folders must be left as they were.

A candidate logs in, receives the sample paper, answers every question, submits, and the
result is in the server's day report with full marks; a second login with the same ID is
refused.

--scenario killed: the workstation fails in the middle of the test, its test program and login
client both killed. The candidate logs in again with the same ID at the same workstation, finds
the answers given so far, answers the rest and submits: one result, scored on every answer.
--scenario crashes: the test program alone, on a received paper, killed after each answer and
started again; every answer its journal held comes back.
--scenario secure: the server in secure mode (secure=1). The workstation receives the paper
without its answers, examdesk hands in the answers and says so, and the server scores them:
full marks in the report, every answer in the day's answer file.
"""
import argparse
import csv
import datetime
import io
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "centrum"))
import ownserver  # noqa: E402
from protocol_client import KEY, report_entries, report_values  # noqa: E402

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


def move(keys="alt+Right", what="the next question"):
    """Moves between questions with the keyboard and gives the window of the question now on show."""
    before = visible_windows()
    xdotool("key", keys)
    window = wait_until(what, lambda: visible_windows() - before)
    settle()
    return window.pop()


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


# The sample paper answered right, question by question: the options clicked or the words typed
# into the blanks, what the test keeps of the answer, and the screenshot taken after it.
RIGHT_ANSWERS = (
    ("options", (2,), "2", "examdesk-single"),                 # Mercury
    ("options", (1, 3, 4), "134", "examdesk-multiple"),        # the primes 2, 7 and 11
    ("blanks", ("Au", "Fe"), "Au~Fe~~~~~", "examdesk-blanks"),
    ("options", (1,), "1", "examdesk-truefalse"),              # True
    ("options", (3,), "3", None),                              # the Yangtze
)


def start_the_test(shots=None):
    """Clicks Start in the test window once it is there and gives the first question's window."""
    first_window("the test window", "--class", "^examdesk$")
    settle()
    if shots:
        shots.take("examdesk-ready")
    before = visible_windows()
    click(START)
    window = wait_until("the first question", lambda: visible_windows() - before)
    settle()
    return window.pop()


def answer(number, shots=None):
    """Answers the question on show, the sample paper's question number, right."""
    how, given, _, shot = RIGHT_ANSWERS[number - 1]
    for k, item in enumerate(given):
        if how == "blanks":
            click((BLANK_X, BLANK_Y + BLANK_STEP * k))
            xdotool("type", "--delay", "20", item)
        else:
            click((OPTION_X, OPTION_Y + OPTION_STEP * (item - 1)))
        settle()
    if shots and shot:
        shots.take(shot)


def take_the_test(shots):
    """Answers every question of the sample paper right, then submits."""
    start_the_test(shots)
    for number in range(1, len(RIGHT_ANSWERS) + 1):
        if number > 1:
            move()
        answer(number, shots)
    click(SUBMIT)


def listing(folders):
    return {os.path.join(top, name): os.stat(os.path.join(top, name)).st_mtime_ns
            for folder in folders for top, dirs, files in os.walk(folder) for name in dirs + files}


def one_result(server_folder):
    """The score and the seconds used of the report's one result, which must be CANDIDATE's from
    this machine on the sample paper."""
    values = report_values(server_folder)
    assert len(values) == 1, "expected one report entry, found %r" % values
    address, candidate_id, result = values[0].split(":", 2)
    score, paper_name, seconds = decipher(result).split(":")
    assert address == "127.0.0.1" and candidate_id == CANDIDATE, values[0]
    assert paper_name == PAPER, decipher(result)
    return int(score), int(seconds)


def a_whole_exam(room):
    """Logs in, takes the test, and checks the result; a second login from elsewhere is refused."""
    first = room.candidate("first")
    process = first.start()
    first.log_in(room.title, CANDIDATE)
    take_the_test(room.shots)
    # The result goes to the login client, which delivers it and ends.
    if process.wait(60) != 0:
        raise AssertionError("entrant ended with %d" % process.returncode)
    wait_until("the test program to end", lambda: not program_windows("--class", "^examdesk$"))
    received = open(os.path.join(first.folder, PAPER), "rb").read()
    assert received == room.paper, "the candidate's copy of the paper differs from the server's"
    assert os.path.isfile(os.path.join(first.folder, PAPER + ".result")), "no copy of the result beside the paper"
    if room.installed:
        assert any(first.folder in line for line in first.status_lines()), \
            "entrant did not say where it keeps its files: %r" % first.status_lines()

    score, seconds = one_result(room.server.folder)
    assert score == FULL_MARKS, "scored %d" % score
    assert 0 < seconds < 600, "time used %s s" % seconds

    # Another workstation tries the same ID.
    second = room.candidate("second")
    process = second.start()
    second.log_in(room.title, CANDIDATE)
    wait_until("the refusal", lambda: room.refused in second.status_lines())
    settle()
    room.shots.take("entrant-refused")
    process.terminate()
    process.wait(30)
    assert not os.path.exists(os.path.join(second.folder, PAPER)) or \
        os.path.getsize(os.path.join(second.folder, PAPER)) == 0, "a refused login received a paper"
    assert len(report_values(room.server.folder)) == 1
    return "a whole exam: %s scored %s of %d in %s s; the second login was refused" % (
        CANDIDATE, score, FULL_MARKS, seconds)


def journal_answers(folder):
    """The answers in the journal beside the paper, or None while there is no whole one."""
    try:
        lines = open(os.path.join(folder, PAPER + ".journal"), encoding="utf-8").read().split("\n")
    except OSError:
        return None
    if not lines[-1] == "" or not any(line.startswith("checksum=") for line in lines):
        return None
    return [line[2:] for line in lines if line.startswith("a=")]


def window_picture(window):
    """What a window shows, as the bytes of a PPM picture."""
    return subprocess.run(["import", "-window", window, "ppm:-"], check=True, capture_output=True).stdout


def look_at(window):
    """What the window shows, to compare; None for every window where ImageMagick's import, which
    takes the picture, is not installed (the score alone then tells what was kept)."""
    if not shutil.which("import"):
        return None
    # The focus on the question's text, where no cursor blinks, and the pointer away from the
    # window: an option under it is drawn lit.
    xdotool("mousemove", "--window", window, 300, 80, "click", "1")
    xdotool("mousemove", 1, 799)
    settle()
    return window_picture(window)


def gone(pid):
    """Whether the process has ended (a zombie has)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] == "Z"
    except OSError:
        return True


def a_killed_workstation(room):
    """The test program and the login client are killed in the middle of the test; logged in
    again with the same ID, the candidate finds the answers given, answers the rest and submits,
    and the one result counts every answer."""
    answered = 2
    candidate = room.candidate("workstation")
    process = candidate.start()
    candidate.log_in(room.title, CANDIDATE)
    window = start_the_test()
    started = time.monotonic()
    looks = []
    for number in range(1, answered + 1):
        if number > 1:
            window = move()
        answer(number)
        looks.append(look_at(window))
    kept = [right[2] for right in RIGHT_ANSWERS[:answered]] + [""] * (len(RIGHT_ANSWERS) - answered)
    wait_until("the answers in the journal", lambda: journal_answers(candidate.folder) == kept)

    paper = os.path.join(candidate.folder, PAPER)
    first_copy = os.stat(paper)
    examdesk = int(xdotool("getwindowpid", window))
    os.kill(examdesk, signal.SIGKILL)
    os.kill(process.pid, signal.SIGKILL)
    process.wait(30)
    killed = time.monotonic()
    wait_until("the test program to end", lambda: gone(examdesk) and not program_windows("--class", "^examdesk$"))

    process = candidate.start()
    candidate.log_in(room.title, CANDIDATE)
    # The paper comes again, a new file in place of the one received before.
    wait_until("the paper again", lambda: (lambda now: (now.st_ino, now.st_mtime_ns) !=
                                           (first_copy.st_ino, first_copy.st_mtime_ns))(os.stat(paper)))
    window = start_the_test()
    assert open(paper, "rb").read() == room.paper, "the paper sent again differs from the server's"
    # The test goes on at the question that was on show, with the answers given so far.
    assert look_at(window) == looks[-1], "question %d is not shown as it was answered" % answered
    for number in range(answered - 1, 0, -1):
        window = move("alt+Left", "the previous question")
        assert look_at(window) == looks[number - 1], "question %d is not shown as it was answered" % number
    for number in range(2, len(RIGHT_ANSWERS) + 1):
        move()
        if number > answered:
            answer(number)
    click(SUBMIT)
    if process.wait(60) != 0:
        raise AssertionError("entrant ended with %d" % process.returncode)

    score, seconds = one_result(room.server.folder)
    assert score == FULL_MARKS, "scored %d after the answers before the kill were given back" % score
    # The time counts from the first Start, through the failure.
    assert seconds >= int(killed - started), "time used %d s" % seconds
    return "a killed workstation: %s logged in again and scored %s of %d in %s s" % (
        CANDIDATE, score, FULL_MARKS, seconds)


def killed_after_each_answer(room):
    """examdesk alone on a received paper, killed after each answer once its journal holds it:
    started again each time, it shows the answers given so far at the question that was on show,
    and the test submitted at last is scored on every answer."""
    candidate = room.candidate("crashes")
    program = os.path.join(room.programs if room.installed else candidate.folder, "examdesk")
    paper = os.path.join(candidate.folder, PAPER)
    with open(paper, "wb") as f:
        f.write(room.paper)

    def start():
        process = subprocess.Popen([program, paper], cwd=candidate.folder, env=room.env)
        return process, start_the_test()

    looks = []
    for number in range(1, len(RIGHT_ANSWERS) + 1):
        process, window = start()
        if number > 1:
            assert look_at(window) == looks[-1], "after %d kills question %d is not shown as it was answered" % (
                number - 1, number - 1)
            window = move()
        answer(number)
        looks.append(look_at(window))
        kept = [right[2] for right in RIGHT_ANSWERS[:number]] + [""] * (len(RIGHT_ANSWERS) - number)
        wait_until("answer %d in the journal" % number, lambda: journal_answers(candidate.folder) == kept)
        process.send_signal(signal.SIGKILL)
        process.wait(30)
        wait_until("the test program to end", lambda: not program_windows("--class", "^examdesk$"))

    process, window = start()
    for number in range(len(RIGHT_ANSWERS), 0, -1):
        if number < len(RIGHT_ANSWERS):
            window = move("alt+Left", "the previous question")
        assert look_at(window) == looks[number - 1], "question %d is not shown as it was answered" % number
    # Without a login client the hand-off fails, and the copy beside the paper has the result.
    click(SUBMIT)
    result = wait_until("the result beside the paper", lambda: os.path.isfile(paper + ".result") and
                        open(paper + ".result").read().strip())
    process.send_signal(signal.SIGKILL)
    process.wait(30)
    score = int(decipher(result).split(":")[0])
    assert score == FULL_MARKS, "scored %d after a kill behind each answer" % score
    return "killed after each of %d answers: every answer came back, scored %d of %d" % (
        len(RIGHT_ANSWERS), score, FULL_MARKS)


def paper_lines(data):
    return [decipher(line).split("^") for line in data.decode("ascii").split()]


def a_secure_exam(room):
    """The server in secure mode: the copy received has no answers, examdesk hands in the
    answers and tells the candidate, and the server's score and the answers are stored."""
    candidate = room.candidate("secure")
    process = candidate.start()
    candidate.log_in(room.title, CANDIDATE)
    take_the_test(None)
    # By its title, read back whole: xdotool's own name search misses titles in Chinese.
    notice = wait_until("the notice that the answers went in", lambda: next(
        (w for w in program_windows("--class", "^examdesk$")
         if subprocess.run(["xdotool", "getwindowname", w], capture_output=True, text=True).stdout.strip()
         == room.handed_in), None))
    settle()
    room.shots.take("examdesk-handed-in")
    xdotool("windowfocus", "--sync", notice)
    xdotool("key", "Return")
    if process.wait(60) != 0:
        raise AssertionError("entrant ended with %d:\n%s" % (process.returncode, open(candidate.log).read()))
    wait_until("the test program to end", lambda: not program_windows("--class", "^examdesk$"))

    # The copy: the header's first field an 18-digit token, every answer field empty and each
    # fill-in word "_"; the rest as the paper has it.
    paper = paper_lines(room.paper)
    copy = paper_lines(open(os.path.join(candidate.folder, PAPER), "rb").read())
    token = copy[0][0]
    assert len(token) == 18 and token.isdigit() and copy[0][1:] == paper[0][1:], copy[0]
    expected = [line[:2] + [""] + line[3:5] + (["_"] * len(line[5:]) if right[0] == "blanks" else line[5:])
                for line, right in zip(paper[1:], RIGHT_ANSWERS)]
    assert copy[1:] == expected, "the copy is not the paper without its answers: %r" % copy[1:]

    score, seconds = one_result(room.server.folder)
    assert score == FULL_MARKS, "the server scored %d" % score
    (report_key, _), = report_entries(room.server.folder)
    answers = [value.split(":") for _, value in report_entries(room.server.folder, ".ans")]
    assert len(answers) == 1, "expected one entry in the answer file, found %r" % answers
    mark, key, candidate_id, paper_name, stored_seconds, stored_score, count, *given = answers[0]
    assert (mark, urllib.parse.unquote(key), urllib.parse.unquote(candidate_id), paper_name, int(stored_seconds),
            int(stored_score), int(count)) == ("ans1", report_key, CANDIDATE, PAPER, seconds, score, len(given)), \
        answers[0]
    pairs = [item.rsplit(",", 1) for item in given]
    assert [urllib.parse.unquote(a) for a, _ in pairs] == [right[2] for right in RIGHT_ANSWERS], given
    assert sum(float(points) for _, points in pairs) == FULL_MARKS, given
    analysed = analyse_answers(room)
    return "a secure exam: the copy had no answers; the server scored %s's answers %s of %d in %s s; %s" % (
        CANDIDATE, score, FULL_MARKS, seconds, analysed)


def analyse_answers(room):
    """papertool's item analysis of the day's answer file: one candidate, every question
    answered and right, so each is easy and none can be correlated."""
    if not room.papertool:
        return "no item analysis (papertool not given)"
    day = datetime.date.today()
    answers = os.path.join(room.server.folder, "%d-%d-%d.ans" % (day.year, day.month, day.day))
    done = subprocess.run([room.papertool, "analyse", answers, "--paper", os.path.join(room.server.folder, PAPER),
                           "--csv"], capture_output=True, text=True, timeout=60)
    assert done.returncode == 0, "papertool analyse ended with %d: %s" % (done.returncode, done.stderr)
    header, *rows = list(csv.reader(io.StringIO(done.stdout)))
    assert header[:8] == ["No.", "Kind", "Marks", "Answered", "Blank", "Facility", "Discrimination r",
                          "Upper-lower"], header
    assert [row[0] for row in rows] == [str(n) for n in range(1, len(RIGHT_ANSWERS) + 1)], rows
    for row in rows:
        assert row[3:8] == ["1", "0", "1.00", "", "0.00"] and row[9].startswith("easy"), row
    # A choice question's counts name the option chosen, marked as the correct one.
    assert "B* 1" in rows[0][8], rows[0]
    # The report viewer's table of the same day holds the same cells.
    if room.viewer:
        viewer = subprocess.run([room.viewer, answers[:-len(".ans")] + ".rpt", os.path.join(room.server.folder, PAPER)],
                                capture_output=True, text=True, timeout=60)
        assert viewer.returncode == 0, viewer.stderr
        assert viewer.stdout == done.stdout, "the viewer shows\n%s\npapertool\n%s" % (viewer.stdout, done.stdout)
    return "papertool analyse and the viewer: %d questions, every one answered and right" % len(rows)


class Room:
    """What the scenarios share: the server, the candidates' programs and the texts to expect."""

    def __init__(self, home, server, programs, env, installed, shots, language):
        self.home, self.server, self.programs, self.env = home, server, programs, env
        self.installed, self.shots = installed, shots
        self.title = "ZeloClientV1.1" if language == "en" else "Orla客户端程序V1.1"
        self.refused = "This User has Logined" if language == "en" else "该用户已登录"
        self.handed_in = "Handed in" if language == "en" else "已交卷"
        self.paper = open(os.path.join(server.folder, PAPER), "rb").read()

    def candidate(self, name):
        """A workstation of its own: a folder below home with the candidate's programs."""
        folder = os.path.join(self.home, name)
        os.mkdir(folder)
        return Candidate(self.programs, folder, self.server.msg, self.env, self.installed)


SCENARIOS = {"whole": a_whole_exam, "killed": a_killed_workstation, "crashes": killed_after_each_answer,
             "secure": a_secure_exam}


def main():
    parser = argparse.ArgumentParser()
    where = parser.add_mutually_exclusive_group(required=True)
    where.add_argument("--dist", help="the staged program folders, copied for each person")
    where.add_argument("--installed", help="the installed program folders, run where they are")
    parser.add_argument("--language", choices=("en", "zh"), default="en")
    parser.add_argument("--scenario", choices=sorted(SCENARIOS), default="whole")
    parser.add_argument("--shots", help="a folder for screenshots of each step")
    parser.add_argument("--papertool", help="papertool, for the item analysis of a secure exam's answers")
    parser.add_argument("--viewer", help="the report viewer's table of questions printed (viewerquestions)")
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        sys.exit("exam_room.py needs an X display; run it under xvfb-run")
    installed = args.installed is not None
    if installed and os.geteuid() == 0:
        sys.exit("exam_room.py --installed runs as a user who cannot write the installed folders, not as root")
    programs = args.installed or args.dist
    program_folders = [os.path.join(programs, "centrum"), os.path.join(programs, "candidate")]
    installed_before = listing(program_folders) if installed else None

    with tempfile.TemporaryDirectory() as home, \
            ownserver.own_server(program_folders[0], [PAPER],
                                 data_home=os.path.join(home, "examiner") if installed else None,
                                 subject=["secure=1"] if args.scenario == "secure" else []) as server:
        env = dict(os.environ)
        env.pop("QT_QPA_PLATFORM", None)
        env["LANG"] = env["LC_ALL"] = "en_US.UTF-8" if args.language == "en" else "zh_CN.UTF-8"
        # The result channel and the single-instance locks live in the temporary folder.
        env["TMPDIR"] = home
        room = Room(home, server, program_folders[1], env, installed, Shots(args.shots, args.language), args.language)
        room.papertool, room.viewer = args.papertool, args.viewer
        said = SCENARIOS[args.scenario](room)

    if installed:
        assert listing(program_folders) == installed_before, "the installed program folders were changed"
    print(said)


if __name__ == "__main__":
    main()
