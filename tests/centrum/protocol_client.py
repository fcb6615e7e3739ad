#!/usr/bin/env python3
"""A candidate client written from the wire protocol alone: fetch the paper, submit a
result, and find the result in the server's day report file.

Against a running server:
  protocol_client.py --port 8601 --folder build/dist/centrum [--clients 200]
Against a server of its own, run from a copy of the program folder and stopped afterwards:
  protocol_client.py --server build/dist/centrum [--clients 200]
"""
import argparse
import asyncio
import datetime
import os
import sys
import time

import ownserver

KEY = "lanterns"


def encipher(text):
    """The result text as the server stores it: UTF-16LE bytes XOR the key's, upper-case hex."""
    data = text.encode("utf-16-le")
    key = KEY.encode("utf-16-le")
    return "".join("%02X" % (b ^ key[i % len(key)]) for i, b in enumerate(data))


def id_field(candidate_id):
    return candidate_id.strip()[:12].ljust(12)


async def fetch(host, port, candidate_id, timeout):
    papers = []
    got_connection = asyncio.get_running_loop().create_future()

    async def on_file(reader, writer):
        if not got_connection.done():
            got_connection.set_result((reader, writer))

    file_server = await asyncio.start_server(on_file, "0.0.0.0", 0)
    file_port = file_server.sockets[0].getsockname()[1]
    reader, writer = await asyncio.open_connection(host, port)
    file_reader = None
    try:
        while True:
            message = (await asyncio.wait_for(reader.read(65536), timeout)).decode("utf-8")
            tag = message[:4]
            if tag == "lgMo":
                raise RuntimeError("%s: already logged in" % candidate_id)
            if tag == "finx":
                return papers
            if tag != "fINF":
                continue
            name, length = message[4:].split(",", 1)
            length = int(length)
            writer.write(("infd" + id_field(candidate_id) + str(file_port)).encode("utf-8"))
            await writer.drain()
            if file_reader is None:
                file_reader, file_writer = await asyncio.wait_for(got_connection, timeout)
                file_server.close()
                writer.write(b"rqsF")
                await writer.drain()
            received = bytearray()
            while len(received) < length:
                piece = await asyncio.wait_for(file_reader.read(65536), timeout)
                if not piece:
                    raise RuntimeError("%s: file connection closed early" % candidate_id)
                received += piece
            papers.append((name, bytes(received)))
            writer.write(("over" + name).encode("utf-8"))
            await writer.drain()
    finally:
        writer.close()
        file_server.close()


async def submit(host, port, candidate_id, result, timeout):
    reader, writer = await asyncio.open_connection(host, port)
    try:
        greeting = (await asyncio.wait_for(reader.read(65536), timeout)).decode("utf-8")
        if not greeting.startswith("fINF"):
            raise RuntimeError("%s: no announcement" % candidate_id)
        writer.write(("rprt" + id_field(candidate_id) + result).encode("utf-8"))
        await writer.drain()
        answer = (await asyncio.wait_for(reader.read(65536), timeout)).decode("utf-8")
        if answer != "finx":
            raise RuntimeError("%s: submit not confirmed: %r" % (candidate_id, answer))
    finally:
        writer.close()


def report_entries(folder, suffix=".rpt"):
    """The key and value of each entry of today's day file (the report, or the answers with
    suffix ".ans"), in file order."""
    day = datetime.date.today()
    path = os.path.join(folder, "%d-%d-%d%s" % (day.year, day.month, day.day, suffix))
    entries, in_record = [], False
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\r\n")
            if line.strip().startswith("["):
                in_record = line.strip().lower() == "[record]"
            elif in_record and "=" in line:
                entries.append(tuple(line.split("=", 1)))
    return entries


def report_values(folder):
    return [value for _, value in report_entries(folder)]


async def one_candidate(args, n):
    candidate_id = "%s%d" % (args.id, n) if args.clients > 1 else args.id
    papers = await fetch(args.host, args.port, candidate_id, args.timeout)
    if not papers:
        raise RuntimeError("%s: no paper" % candidate_id)
    if args.paper:
        with open(args.paper, "rb") as f:
            if papers[0][1] != f.read():
                raise RuntimeError("%s: paper differs from %s" % (candidate_id, args.paper))
    result = encipher("%d:%s:%d" % (n, papers[-1][0], 60 + n))
    await submit(args.host, args.port, candidate_id, result, args.timeout)
    return "%s:%s:%s" % (args.expect_ip, candidate_id, result)


def run_own_server(args):
    """Runs a server of its own from a copy of the program folder and the candidates against it."""
    with ownserver.own_server(args.server, ("sample.dat",)) as run:
        args.port = run.msg
        args.folder = run.folder
        args.paper = os.path.join(run.folder, "sample.dat")
        status = asyncio.run(run_candidates(args))
    if run.status != 0:
        print("the server ended with status %d" % run.status, file=sys.stderr)
        return 1
    return status


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=8601)
    parser.add_argument("--id", default="py")
    parser.add_argument("--folder", help="the server's program folder")
    parser.add_argument("--server", help="a program folder holding centrumd and sample.dat to run a server from")
    parser.add_argument("--paper", help="the paper file the candidates must receive byte for byte")
    parser.add_argument("--clients", type=int, default=1)
    parser.add_argument("--timeout", type=float, default=60)
    parser.add_argument("--expect-ip", default="127.0.0.1")
    args = parser.parse_args()
    if args.server:
        return run_own_server(args)
    if not args.folder:
        parser.error("--folder or --server is needed")
    return asyncio.run(run_candidates(args))


async def run_candidates(args):
    start = time.monotonic()
    entries = await asyncio.gather(*(one_candidate(args, n) for n in range(args.clients)))
    elapsed = time.monotonic() - start
    stored = set(report_values(args.folder))
    missing = [e for e in entries if e not in stored]
    if missing:
        print("missing from the report: %d, e.g. %s" % (len(missing), missing[0]), file=sys.stderr)
        return 1
    print("%d candidate(s) fetched and submitted in %.2f s; every result is in the report" % (len(entries), elapsed))
    return 0


if __name__ == "__main__":
    sys.exit(main())
