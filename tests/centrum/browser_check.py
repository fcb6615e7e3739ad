#!/usr/bin/env python3
"""Has a real browser (headless chromium) fetch files from a running exam server and
compares them byte for byte with the files of the server's folder: index.html as the
page a browser shows for "/", and a paper as a download.

  browser_check.py --url http://127.0.0.1:8680 --folder build/dist/centrum [--paper sample.dat]
or against a server of its own, run from a copy of the program folder:
  browser_check.py --server build/dist/centrum

Without the browser it exits with 77, which ctest counts as skipped; with CI=true, where the
browser is installed on purpose, it fails instead.
"""
import argparse
import base64
import json
import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time

import ownserver


class DevTools:
    """Just enough of a WebSocket client to speak the browser's debugging protocol."""

    def __init__(self, ws_url):
        m = re.match(r"ws://([^:/]+):(\d+)(/.*)", ws_url)
        self.sock = socket.create_connection((m.group(1), int(m.group(2))), timeout=30)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall(("GET %s HTTP/1.1\r\nHost: %s:%s\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                           "Sec-WebSocket-Key: %s\r\nSec-WebSocket-Version: 13\r\n\r\n"
                           % (m.group(3), m.group(1), m.group(2), key)).encode())
        head = b""
        while b"\r\n\r\n" not in head:
            head += self.sock.recv(1)
        if b" 101 " not in head.split(b"\r\n")[0]:
            raise RuntimeError("no WebSocket: %r" % head)
        self.next_id = 0
        self.events = []

    def _recv_exact(self, n):
        data = b""
        while len(data) < n:
            chunk = self.sock.recv(n - len(data))
            if not chunk:
                raise RuntimeError("the browser closed the connection")
            data += chunk
        return data

    def _recv_message(self):
        message = b""
        while True:
            b0, b1 = self._recv_exact(2)
            length = b1 & 0x7F
            if length == 126:
                length = struct.unpack(">H", self._recv_exact(2))[0]
            elif length == 127:
                length = struct.unpack(">Q", self._recv_exact(8))[0]
            message += self._recv_exact(length)
            if b0 & 0x80:
                return json.loads(message)

    def send(self, method, params=None, session=None):
        self.next_id += 1
        payload = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            payload["sessionId"] = session
        data = json.dumps(payload).encode()
        mask = os.urandom(4)
        header = bytes([0x81])
        if len(data) < 126:
            header += bytes([0x80 | len(data)])
        elif len(data) < 65536:
            header += bytes([0x80 | 126]) + struct.pack(">H", len(data))
        else:
            header += bytes([0x80 | 127]) + struct.pack(">Q", len(data))
        self.sock.sendall(header + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(data)))
        while True:
            reply = self._recv_message()
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError("%s: %s" % (method, reply["error"]))
                return reply.get("result", {})
            self.events.append(reply)

    def wait_event(self, accept, timeout=30):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for e in self.events:
                if accept(e):
                    self.events.remove(e)
                    return e
            self.events.append(self._recv_message())
        raise RuntimeError("no such event in time")


SKIPPED = 77


def with_own_server(args):
    with ownserver.own_server(args.server, ("sample.dat", "index.html")) as run:
        args.url = "http://127.0.0.1:%d" % run.web
        args.folder = run.folder
        return check(args)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--url", default="http://127.0.0.1:8680")
    parser.add_argument("--folder", help="the server's program folder")
    parser.add_argument("--server", help="a program folder holding centrumd, sample.dat and index.html")
    parser.add_argument("--paper", default="sample.dat")
    parser.add_argument("--browser", default="chromium")
    args = parser.parse_args()
    browser = shutil.which(args.browser)
    if browser is None:
        print("no browser: %s is not installed (Debian package chromium)" % args.browser)
        return 1 if os.environ.get("CI") == "true" else SKIPPED
    args.browser = browser
    if args.server:
        return with_own_server(args)
    if not args.folder:
        parser.error("--folder or --server is needed")
    return check(args)


def check(args):
    # The browser's helper processes may still be writing its profile as it ends.
    with tempfile.TemporaryDirectory(ignore_cleanup_errors=True) as work:
        downloads = os.path.join(work, "downloads")
        os.mkdir(downloads)
        # As root chromium starts only without its sandbox. A fresh profile, and nothing fetched
        # from anywhere but the server under test.
        browser = subprocess.Popen([args.browser, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                                    "--disable-background-networking", "--disable-component-update",
                                    "--disable-sync", "--disable-quic", "--remote-debugging-port=0",
                                    "--user-data-dir=" + os.path.join(work, "profile"), "about:blank"],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        try:
            ws_url = None
            while ws_url is None:
                line = browser.stderr.readline().decode(errors="replace")
                if not line:
                    raise RuntimeError("the browser did not start")
                m = re.search(r"DevTools listening on (ws://\S+)", line)
                if m:
                    ws_url = m.group(1)
            tools = DevTools(ws_url)

            # The page a browser shows for "/": its body as received, byte for byte.
            target = tools.send("Target.createTarget", {"url": "about:blank"})["targetId"]
            session = tools.send("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
            tools.send("Network.enable", {}, session)
            tools.send("Page.navigate", {"url": args.url + "/"}, session)
            response = tools.wait_event(lambda e: e.get("method") == "Network.responseReceived"
                                        and e["params"]["type"] == "Document")
            tools.wait_event(lambda e: e.get("method") == "Network.loadingFinished"
                             and e["params"]["requestId"] == response["params"]["requestId"])
            body = tools.send("Network.getResponseBody", {"requestId": response["params"]["requestId"]}, session)
            page = base64.b64decode(body["body"]) if body["base64Encoded"] else body["body"].encode("utf-8")
            with open(os.path.join(args.folder, "index.html"), "rb") as f:
                expected = f.read()
            status = response["params"]["response"]["status"]
            print("index.html: status %d, %d bytes, %s" % (status, len(page), "same" if page == expected else "DIFFERENT"))
            ok = page == expected and status == 200

            # A paper: downloaded as a file.
            tools.send("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads,
                                                       "eventsEnabled": True})
            tools.send("Page.navigate", {"url": args.url + "/" + args.paper}, session)
            done = tools.wait_event(lambda e: e.get("method") == "Browser.downloadProgress"
                                    and e["params"]["state"] in ("completed", "canceled"))
            files = os.listdir(downloads)
            with open(os.path.join(args.folder, args.paper), "rb") as f:
                expected = f.read()
            got = open(os.path.join(downloads, files[0]), "rb").read() if files else b""
            print("%s: download %s, %d bytes, %s" % (args.paper, done["params"]["state"], len(got),
                                                    "same" if got == expected else "DIFFERENT"))
            ok = ok and got == expected
        finally:
            browser.terminate()
            browser.wait(30)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
