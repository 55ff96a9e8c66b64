#!/usr/bin/python3
"""Randomized fault run: ferrow-ftp transfers random files through a faulty proxy.

Starts pyftpdlib (tools/ftp_server.py) on 127.0.0.1 and, in this process, one
fault-injecting proxy (faultproxy.py) per parallel lane in front of it. Then
downloads and uploads random files (random sizes from 0 to --max-size, random
bytes, binary mode) with ferrow-ftp through the proxy. Each invocation may get
one random fault (drop, stall or reset of the control or the data connection,
or a data reset that still lets the server's 226 through). A file is resumed
with --offset = the local size (download) or the server's size (upload) until
ferrow-ftp exits 0, at most --max-resumes times.

Per direction and in total it prints:
    runs              files transferred (and the invocations it took)
    faults injected   faults that fired (a fault due after the last byte never does)
    corrupt files     files that, after any invocation, were not a prefix of the
                      source, or ended complete but different
    wrong exit codes  invocations that exited 0 with a file unlike the source, or
                      that ended with a code other than 0, 1 or 3 (a crash)
    hangs             invocations killed at --limit, and files still incomplete
                      after --max-resumes
and exits 1 when any of the last three is not 0, with one line per problem.
A file whose invocation exited 0 is not resumed: the tool claimed success.

The same --seed gives the same files and the same fault choices; where a fault
lands can still shift with timing (how far a resumed file had got). --only
repeats single files of a run, e.g. --seed 42 --only download-0082.

Usage:
    faultrun.py [--tool PATH] [--count N] [--seed N] [--jobs N] [--timeout S]
                [--limit S] [--rate R] [--max-size BYTES] [--max-resumes N]
                [--only NAME ...] [--keep]
"""

import argparse
import asyncio
import collections
import concurrent.futures
import contextlib
import dataclasses
import fcntl
import os
import queue
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import faultproxy  # noqa: E402

USER = "faultrun"
PASSWORD = "faultrun"
EXIT_FAILED = 1
EXIT_NO_LOGIN = 3
# Shared with the test suite's port blocks, so a run never takes ports a test is using.
PORT_LOCK = "/tmp/ferrow-test-ports.lock"
FIRST_PORT = 10000
BLOCK_SIZE = 100
BLOCK_COUNT = (32000 - FIRST_PORT) // BLOCK_SIZE
# Lines of ferrow-ftp's output that tell nothing about a problem.
ROUTINE = re.compile(r'"(QUIT|221 .*)"|Notify (Progress|Disconnect)')
# Waits for the run's own machinery (a session to end, the server to close a file).
SETTLE_SECONDS = 60


def parse_arguments(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tool", default=os.path.join(SOURCE, "build", "tools", "ferrow-ftp"))
    parser.add_argument("--count", type=int, default=100, help="files per direction (default 100)")
    parser.add_argument("--seed", type=int, help="default: a new one, printed")
    parser.add_argument("--jobs", type=int, default=4, help="files in flight at once (default 4)")
    parser.add_argument("--timeout", type=int, default=3, help="ferrow-ftp's --timeout (default 3)")
    parser.add_argument("--limit", type=float, default=60,
                        help="seconds before an invocation counts as a hang (default 60)")
    parser.add_argument("--rate", type=float, default=0.6,
                        help="share of invocations with a fault (default 0.6; near 1, files "
                             "may never complete)")
    parser.add_argument("--max-size", type=int, default=3 * 1024 * 1024)
    parser.add_argument("--max-resumes", type=int, default=50)
    parser.add_argument("--only", action="append", metavar="NAME",
                        help="run only this file of the seed's run, e.g. download-0082 (repeatable)")
    parser.add_argument("--keep", action="store_true", help="keep the files of a clean run too")
    options = parser.parse_args(argv)
    if options.count < 0 or options.jobs < 1 or options.timeout < 1 or options.max_size < 0:
        parser.error("counts and sizes must not be negative, --jobs and --timeout at least 1")
    if not 0 <= options.rate <= 1:
        parser.error("--rate is a share from 0 to 1")
    options.tool = os.path.abspath(options.tool)  # invocations run in the work folder
    if not os.access(options.tool, os.X_OK):
        parser.error(f"{options.tool} is not a program: build the target ferrow-ftp first")
    if options.seed is None:
        options.seed = random.SystemRandom().randrange(1 << 32)
    return options


class PortBlock:
    """A hundred ports no test run on this machine uses while we hold the lock."""

    def __init__(self):
        self.fd = self.open_lock_file()  # held for the run
        start = (os.getpid() * 7) % BLOCK_COUNT
        for i in range(BLOCK_COUNT):
            index = (start + i) % BLOCK_COUNT
            lock = struct.pack("hhqqi4x", fcntl.F_WRLCK, os.SEEK_SET, index, 1, 0)
            try:
                fcntl.fcntl(self.fd, fcntl.F_OFD_SETLK, lock)
            except OSError:
                continue
            self.first = FIRST_PORT + index * BLOCK_SIZE
            self.last = self.first + BLOCK_SIZE - 1
            return
        raise RuntimeError("every test port block is in use")

    @staticmethod
    def open_lock_file():
        # Without O_CREAT first: a sticky /tmp refuses O_CREAT on another user's file.
        try:
            return os.open(PORT_LOCK, os.O_RDWR | os.O_CLOEXEC)
        except FileNotFoundError:
            pass
        try:
            fd = os.open(PORT_LOCK, os.O_RDWR | os.O_CREAT | os.O_EXCL | os.O_CLOEXEC, 0o666)
            os.fchmod(fd, 0o666)  # shared by every user's test runs
            return fd
        except FileExistsError:
            return os.open(PORT_LOCK, os.O_RDWR | os.O_CLOEXEC)


class FtpServer:
    """pyftpdlib serving root, stopped on leaving the with block."""

    def __init__(self, root, ports):
        self.process = subprocess.Popen(
            ["/usr/bin/python3", os.path.join(SOURCE, "tools", "ftp_server.py"), "--root", root,
             "--user", USER, "--password", PASSWORD,
             "--passive-ports", f"{ports.first + 1}-{ports.last}"],
            stdout=subprocess.PIPE, text=True)
        words = self.process.stdout.readline().split()
        if words[:1] != ["ready"]:
            self.stop()
            raise RuntimeError("pyftpdlib did not start (is python3-pyftpdlib installed?)")
        self.port = int(words[1])

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()

    def wait_until_closed(self, path):
        """Waits until the server holds path open no longer; False if it still does."""
        target = os.path.realpath(path)
        fds = f"/proc/{self.process.pid}/fd"
        deadline = time.monotonic() + SETTLE_SECONDS
        while time.monotonic() < deadline:
            open_paths = set()
            with contextlib.suppress(OSError):
                for fd in os.listdir(fds):
                    with contextlib.suppress(OSError):
                        open_paths.add(os.readlink(os.path.join(fds, fd)))
            if target not in open_paths:
                return True
            time.sleep(0.05)
        return False

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.stop()


class Lane:
    """One proxy listener; each ferrow-ftp invocation on it is one proxy session."""

    def __init__(self, loop, server_port, stall_seconds):
        self.loop = loop
        self.next_fault = None
        self.ended = queue.Queue()
        self.proxy = faultproxy.FaultProxy(
            server_port, lambda _number: self.next_fault, stall_seconds=stall_seconds,
            on_session_end=lambda _number, fired: self.ended.put(list(fired)))
        self.port = asyncio.run_coroutine_threadsafe(self.proxy.start(), loop).result()

    def expect(self, fault):
        self.next_fault = fault
        with contextlib.suppress(queue.Empty):
            while True:
                self.ended.get_nowait()

    def session_faults(self):
        """The faults that fired in the session just ended, or None when it never ended."""
        try:
            return self.ended.get(timeout=SETTLE_SECONDS)
        except queue.Empty:
            return None


class ProxyThread:
    """An event loop in a thread for the lanes' proxies."""

    def __init__(self):
        self.loop = asyncio.new_event_loop()
        self.thread = threading.Thread(target=self.loop.run_forever, daemon=True)
        self.thread.start()

    def stop(self):
        self.loop.call_soon_threadsafe(self.loop.stop)
        self.thread.join(10)


@dataclasses.dataclass
class Tally:
    runs: int = 0
    invocations: int = 0
    faults: int = 0
    corrupt: int = 0
    wrong_exit: int = 0
    hangs: int = 0
    kinds: collections.Counter = dataclasses.field(default_factory=collections.Counter)

    def add(self, other):
        for field in dataclasses.fields(self):
            setattr(self, field.name, getattr(self, field.name) + getattr(other, field.name))

    def failed(self):
        return self.corrupt + self.wrong_exit + self.hangs > 0

    def line(self, name):
        return (f"{name + ':':10} {self.runs} runs ({self.invocations} invocations), "
                f"{self.faults} faults injected, {self.corrupt} corrupt files, "
                f"{self.wrong_exit} wrong exit codes, {self.hangs} hangs")


def file_size(path):
    try:
        return os.path.getsize(path)
    except FileNotFoundError:
        return 0


def read_file(path):
    try:
        with open(path, "rb") as file:
            return file.read()
    except FileNotFoundError:
        return None


def random_size(rng, max_size):
    roll = rng.random()
    if roll < 0.05:
        return 0
    if roll < 0.25:
        return rng.randrange(min(64 * 1024, max_size) + 1)
    return rng.randrange(max_size + 1)


class FileRun:
    """One file moved one way, resumed until ferrow-ftp reports success."""

    def __init__(self, run, direction, index):
        self.run = run
        self.options = run.options
        self.direction = direction
        self.rng = random.Random(f"{self.options.seed}:{direction}:{index}")
        self.name = f"{direction}-{index:04d}.bin"
        self.remote_path = os.path.join(run.server_root, self.name)
        self.local_path = os.path.join(run.local_root, self.name)
        self.tally = Tally(runs=1)
        self.problems = []
        self.corrupt = False

    @property
    def download(self):
        return self.direction == "download"

    @property
    def destination(self):
        return self.local_path if self.download else self.remote_path

    def execute(self, lane):
        content = self.rng.randbytes(random_size(self.rng, self.options.max_size))
        with open(self.remote_path if self.download else self.local_path, "wb") as file:
            file.write(content)
        self.content = content
        completed = False
        for _attempt in range(self.options.max_resumes + 1):
            offset = file_size(self.destination)
            fault = None
            if self.rng.random() < self.options.rate:
                fault = faultproxy.random_fault(self.rng, len(content) - offset)
            exit_code, output = self.invoke(lane, fault, offset)
            fired = lane.session_faults()
            if fired is None:
                self.tally.hangs += 1
                self.problem("hang", offset, fault, "the proxy session never ended", output)
                break
            self.tally.faults += len(fired)
            self.tally.kinds.update(f"{f.where} {f.kind}" for f in fired)
            fault = self.describe(fault, fired)
            if not self.download and not self.run.server.wait_until_closed(self.remote_path):
                self.tally.hangs += 1
                self.problem("hang", offset, fault, "the server kept the file open", output)
                break
            done = self.check(exit_code, offset, fault, output)
            if done:
                completed = True
                break
        else:
            self.tally.hangs += 1
            self.problem("hang", None, None,
                         f"still incomplete after {self.options.max_resumes} resumes", "")
        if completed and not self.problems and not self.options.keep:
            for path in (self.remote_path, self.local_path):
                with contextlib.suppress(FileNotFoundError):
                    os.remove(path)
        return self

    def invoke(self, lane, fault, offset):
        """Runs ferrow-ftp once; returns its exit code (None when killed) and its output."""
        lane.expect(fault)
        remote = "/" + self.name
        command = [self.options.tool, "--port", str(lane.port), "--user", USER,
                   "--password", PASSWORD, "--timeout", str(self.options.timeout), "127.0.0.1"]
        if self.download:
            command += ["get", remote, self.local_path]
        else:
            command += ["put", self.local_path, remote]
        if offset > 0:
            command += ["--offset", str(offset)]
        self.tally.invocations += 1
        try:
            result = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.PIPE, timeout=self.options.limit,
                                    cwd=self.run.work)
        except subprocess.TimeoutExpired as expired:
            return None, (expired.stderr or b"").decode(errors="replace")
        return result.returncode, result.stderr.decode(errors="replace")

    def check(self, exit_code, offset, fault, output):
        """Counts what the invocation did wrong; True once the file needs no more resumes."""
        state = read_file(self.destination)
        if state is not None and not self.corrupt and not self.content.startswith(state):
            self.corrupt = True
            self.tally.corrupt += 1
            self.problem("corrupt file", offset, fault,
                         f"{len(state):,} bytes, not a prefix of the source", output)
        if exit_code is None:
            self.tally.hangs += 1
            self.problem("hang", offset, fault, f"killed after {self.options.limit:g} s", output)
            return False
        if exit_code == 0:
            if state != self.content:
                self.tally.wrong_exit += 1
                size = "no file" if state is None else f"{len(state):,} bytes"
                self.problem("wrong exit code", offset, fault, f"exit 0 with {size}", output)
            return True
        if exit_code not in (EXIT_FAILED, EXIT_NO_LOGIN):
            self.tally.wrong_exit += 1
            self.problem("wrong exit code", offset, fault, f"exit {exit_code}", output)
        return False

    @staticmethod
    def describe(fault, fired):
        if fault is None:
            return "none"
        return str(fault) if fired else f"{fault} (not reached)"

    def problem(self, kind, offset, fault, text, output):
        where = "" if offset is None else f" at offset {offset:,}, fault {fault or 'none'}"
        tail = [line for line in output.splitlines() if line.strip() and not ROUTINE.search(line)][-3:]
        self.problems.append(f"{kind}: {self.direction} {self.name} ({len(self.content):,} bytes)"
                             f"{where}: {text}" + "".join("\n    " + line for line in tail))


class FaultRun:
    def __init__(self, options, work):
        self.options = options
        self.work = work
        self.server_root = os.path.join(work, "server")
        self.local_root = os.path.join(work, "local")
        os.makedirs(self.server_root)
        os.makedirs(self.local_root)

    def execute(self):
        """Runs every file, printing each problem; returns the tallies per direction."""
        tallies = {"download": Tally(), "upload": Tally()}
        proxies = ProxyThread()
        try:
            with FtpServer(self.server_root, PortBlock()) as self.server:
                lanes = queue.Queue()
                for _ in range(self.options.jobs):
                    lanes.put(Lane(proxies.loop, self.server.port, self.options.timeout + 1.5))

                def move(item):
                    lane = lanes.get()
                    try:
                        return FileRun(self, *item).execute(lane)
                    finally:
                        lanes.put(lane)

                items = [(direction, index) for index in range(self.options.count)
                         for direction in ("download", "upload")
                         if not self.options.only or f"{direction}-{index:04d}" in self.options.only]
                with concurrent.futures.ThreadPoolExecutor(self.options.jobs) as pool:
                    futures = [pool.submit(move, item) for item in items]
                    for future in concurrent.futures.as_completed(futures):
                        file_run = future.result()
                        tallies[file_run.direction].add(file_run.tally)
                        for problem in file_run.problems:
                            print(problem, flush=True)
        finally:
            proxies.stop()
        return tallies


def main():
    options = parse_arguments()
    work = tempfile.mkdtemp(prefix="ferrow-faultrun-")
    print(f"fault run: seed {options.seed}, {options.count} downloads and {options.count} uploads "
          f"of up to {options.max_size:,} bytes, {options.jobs} at once, ferrow-ftp --timeout "
          f"{options.timeout}, faults in {options.rate:.0%} of invocations", flush=True)
    started = time.monotonic()
    tallies = FaultRun(options, work).execute()
    total = Tally()
    for tally in tallies.values():
        total.add(tally)
    for name, tally in tallies.items():
        print(tally.line(name))
    print(total.line("total"))
    kinds = ", ".join(f"{kind} {count}" for kind, count in sorted(total.kinds.items()))
    print("faults by kind:", kinds or "none")
    print(f"took {time.monotonic() - started:.0f} s; repeat with --seed {options.seed}")
    if total.failed() or options.keep:
        print(f"files kept in {work}")
    else:
        shutil.rmtree(work)
    return 1 if total.failed() else 0


if __name__ == "__main__":
    sys.exit(main())
