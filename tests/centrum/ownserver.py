"""Runs centrumd from a copy of its program folder on free ports, for the scripted checks."""

import contextlib
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time


class Run:
    def __init__(self, folder):
        self.folder = folder
        self.msg = None  # the ports the system gave the server, read back from what it prints
        self.web = None
        self.status = None  # centrumd's exit status once it has stopped


@contextlib.contextmanager
def own_server(source, files, data_home=None, subject=()):
    """Copies files from the program folder source, starts centrumd there and stops it afterwards.
    With data_home, centrumd runs where it is installed instead and keeps its files in the
    user's own folder below data_home (as XDG_DATA_HOME), copying what it ships there itself.
    subject: further "name=value" settings of section subject, such as "secure=1"."""
    with tempfile.TemporaryDirectory() as copy:
        env = None
        if data_home is None:
            folder, program = copy, os.path.join(copy, "centrumd")
            for name in ("centrumd",) + tuple(files):
                shutil.copy2(os.path.join(source, name), folder)
        else:
            folder, program = os.path.join(data_home, "exam-suite", "centrum"), os.path.join(source, "centrumd")
            os.makedirs(folder, exist_ok=True)
            env = dict(os.environ, XDG_DATA_HOME=data_home)
        run = Run(folder)
        with open(os.path.join(folder, "setting.ini"), "w", encoding="utf-8") as f:
            # Port 0: the system picks free ports, so nothing else can take them in between.
            f.write("[comm]\nmsg=0\nfile=8602\nweb=0\n[subject]\nfile=sample.dat\n")
            f.writelines(setting + "\n" for setting in subject)
        # The log goes to a file: a pipe nobody reads would fill up and hold the server.
        log_name = os.path.join(copy, "centrumd.out")
        with open(log_name, "w+b") as log:
            server = subprocess.Popen([program], stdout=log, stderr=subprocess.STDOUT, env=env)
            try:
                deadline = time.monotonic() + 30
                ports = None
                while ports is None:
                    text = open(log_name, "rb").read().decode("utf-8", "replace")
                    ports = re.search(r"serving candidates on port (\d+) and browsers on port (\d+)", text)
                    if ports is None and (server.poll() is not None or time.monotonic() > deadline):
                        raise RuntimeError("the server did not start: %s" % text)
                    time.sleep(0.05)
                run.msg, run.web = int(ports.group(1)), int(ports.group(2))
                yield run
            finally:
                server.send_signal(signal.SIGTERM)
                run.status = server.wait(30)
