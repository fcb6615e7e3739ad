"""Runs centrumd from a copy of its program folder on free ports, for the scripted checks."""

import contextlib
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Run:
    def __init__(self, folder):
        self.folder = folder
        self.msg = free_port()
        self.web = free_port()
        self.status = None  # centrumd's exit status once it has stopped


@contextlib.contextmanager
def own_server(source, files):
    """Copies files from the program folder source, starts centrumd there and stops it afterwards."""
    with tempfile.TemporaryDirectory() as folder:
        for name in ("centrumd",) + tuple(files):
            shutil.copy2(os.path.join(source, name), folder)
        run = Run(folder)
        with open(os.path.join(folder, "setting.ini"), "w", encoding="utf-8") as f:
            f.write("[comm]\nmsg=%d\nfile=8602\nweb=%d\n[subject]\nfile=sample.dat\n" % (run.msg, run.web))
        # The log goes to a file: a pipe nobody reads would fill up and hold the server.
        log_name = os.path.join(folder, "centrumd.out")
        with open(log_name, "w+b") as log:
            server = subprocess.Popen([os.path.join(folder, "centrumd")], stdout=log, stderr=subprocess.STDOUT)
            try:
                deadline = time.monotonic() + 30
                while b"Started" not in open(log_name, "rb").read():
                    if server.poll() is not None or time.monotonic() > deadline:
                        raise RuntimeError("the server did not start: %s"
                                           % open(log_name, "rb").read().decode("utf-8", "replace"))
                    time.sleep(0.05)
                yield run
            finally:
                server.send_signal(signal.SIGTERM)
                run.status = server.wait(30)
