#!/usr/bin/python3
"""An FTP proxy that injects faults into the control and data connections.

It relays each client's control connection to one FTP server and rewrites the
server's PASV (227) and EPSV (229) replies so that the data connections pass
through the proxy too. Each control session may carry one fault, which fires
once a given number of bytes has been relayed:

    WHERE,KIND,BYTES     for example  data,reset226,100000

WHERE  data      the session's data connections (bytes in either direction)
       reply     the control connection, bytes from the server to the client
       command   the control connection, bytes from the client to the server
KIND   drop      close the client's side (FIN) and the server's side
       stall     stop relaying the session's connections for --stall seconds,
                 then go on
       reset     close the client's side with a reset (SO_LINGER 0) and the
                 server's side
       reset226  data only: reset the client's side but let the server end the
                 transfer normally, so its 226 reaches the client (a download's
                 remaining bytes are read and discarded, an upload is ended
                 with a FIN)
       trickle   reply only: from then on pass the server's replies one byte
                 every --trickle seconds
BYTES  how many bytes pass before the fault; 0 faults at the first byte

After a data fault of kind drop or reset, the server's 2xx reply ending that
transfer reaches the client as "426 Connection closed; transfer aborted.",
since the client's data was cut short whatever the server saw. A transfer's
final reply is always held until the server's side of its data connection has
ended, so the client never meets a 226 while the data is still on its way.

Schedules:
    --fault SPEC ...     the first session gets the first SPEC, the second the
                         second, and so on; the last one repeats. "none" is a
                         session without a fault. Example, a download reset
                         after 1000 bytes whose 226 still arrives, once:
                             --fault data,reset226,1000 --fault none
    --seed N [--rate R]  each session gets a random fault with probability R
                         (default 0.5), reproducibly for the same N

Usage:
    faultproxy.py --target-port P [--target-host H] [--listen-host H]
                  [--listen-port P] [--stall SECONDS] [--trickle SECONDS]
                  (--fault SPEC ... |
                  --seed N [--rate R] [--data-bytes B])

Once listening it prints "ready PORT" on stdout, then one line per fault that
fires: "fault SESSION WHERE,KIND,BYTES". Stops on SIGTERM or SIGINT. Passive
mode only: a PORT command passes unchanged and its data connection bypasses
the proxy. Python 3 standard library only.
"""

import argparse
import asyncio
import contextlib
import dataclasses
import itertools
import random
import re
import signal
import socket
import struct
import sys

WHERE = ("data", "reply", "command")
KINDS = ("drop", "stall", "reset", "reset226", "trickle")
CHUNK = 64 * 1024
ABORTED_REPLY = b"426 Connection closed; transfer aborted.\r\n"
PASV_NUMBERS = re.compile(rb"(\d+),(\d+),(\d+),(\d+),(\d+),(\d+)")
EPSV_PORT = re.compile(rb"\(\|\|\|(\d+)\|\)")


@dataclasses.dataclass(frozen=True)
class Fault:
    where: str
    kind: str
    at: int

    def __post_init__(self):
        if self.where not in WHERE:
            raise ValueError(f"unknown place {self.where!r}: one of {', '.join(WHERE)}")
        if self.kind not in KINDS:
            raise ValueError(f"unknown fault {self.kind!r}: one of {', '.join(KINDS)}")
        if self.kind == "reset226" and self.where != "data":
            raise ValueError("reset226 applies to the data connection only")
        if self.kind == "trickle" and self.where != "reply":
            raise ValueError("trickle applies to the server's replies only")
        if self.at < 0:
            raise ValueError("the byte count must not be negative")

    def __str__(self):
        return f"{self.where},{self.kind},{self.at}"

    @staticmethod
    def parse(text):
        """Reads "WHERE,KIND,BYTES"; "none" gives None."""
        if text == "none":
            return None
        parts = text.split(",")
        if len(parts) != 3 or not parts[2].isdigit():
            raise ValueError(f"not WHERE,KIND,BYTES: {text!r}")
        return Fault(parts[0], parts[1], int(parts[2]))


# About the bytes of a short session's replies and commands: later faults would never fire.
CONTROL_BYTES = {"reply": 260, "command": 80}


def random_fault(rng, data_bytes):
    """A fault of any kind and place; data faults fire within data_bytes.

    With no data to cut (data_bytes 0) the fault goes to the control connection.
    """
    where = rng.choices(WHERE, weights=(70, 15, 15))[0] if data_bytes > 0 else rng.choice(WHERE[1:])
    if where == "data":
        kind = rng.choices(KINDS, weights=(20, 15, 25, 40, 0))[0]
        return Fault(where, kind, rng.randrange(data_bytes))
    kind = rng.choices(KINDS, weights=(35, 15, 35, 0, 15 if where == "reply" else 0))[0]
    return Fault(where, kind, rng.randrange(CONTROL_BYTES[where]))


def reset(writer):
    """Closes at once with a reset instead of a FIN."""
    sock = writer.get_extra_info("socket")
    if sock is not None:
        with contextlib.suppress(OSError):
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    writer.transport.abort()


def close(writer):
    with contextlib.suppress(Exception):
        writer.close()


class Trigger:
    """One session's fault: counts the bytes at its place and fires once."""

    def __init__(self, fault, stall_seconds, trickle_seconds, on_fire):
        self.fault = fault
        self.stall_seconds = stall_seconds
        self.trickle_seconds = trickle_seconds
        self.on_fire = on_fire
        self.counted = 0
        self.fired = False
        self.trickling = False
        self.running = asyncio.Event()
        self.running.set()

    def split(self, where, data):
        """The part of data that passes before the fault, or None when no fault is due."""
        if self.fired or self.fault is None or self.fault.where != where:
            return None
        if self.counted + len(data) <= self.fault.at:
            self.counted += len(data)
            return None
        head = data[:self.fault.at - self.counted]
        self.counted += len(head)
        self.fired = True
        self.on_fire(self.fault)
        return head

    async def stall(self):
        self.running.clear()
        try:
            await asyncio.sleep(self.stall_seconds)
        finally:
            self.running.set()

    async def trickle(self, writer, data):
        for i in range(len(data)):
            writer.write(data[i:i + 1])
            await writer.drain()
            await asyncio.sleep(self.trickle_seconds)


class DataRelay:
    """One data connection: waits for the client, then relays it to the server."""

    def __init__(self, session, server_port):
        self.session = session
        self.server_port = server_port
        self.listener = None
        self.streams = []
        self.tasks = []
        self.cut = False  # the client's data was cut short
        self.client_closed = False  # by the proxy, so its end of file is no news for the server
        self.server_done = asyncio.get_running_loop().create_future()

    async def listen(self):
        self.listener = await asyncio.start_server(self.accept, self.session.proxy.listen_host, 0)
        return self.listener.sockets[0].getsockname()[1]

    def finish(self):
        if not self.server_done.done():
            self.server_done.set_result(None)

    def stop(self):
        if self.listener is not None:
            self.listener.close()
        for task in self.tasks:
            task.cancel()
        for writer in self.streams:
            reset(writer)
        self.finish()

    async def accept(self, client_reader, client_writer):
        self.listener.close()  # one connection per PASV
        self.streams.append(client_writer)
        try:
            server_reader, server_writer = await asyncio.open_connection(
                self.session.proxy.target_host, self.server_port)
        except OSError:
            reset(client_writer)
            self.finish()
            return
        self.streams.append(server_writer)
        self.tasks.append(asyncio.current_task())
        upload = asyncio.ensure_future(
            self.pump(client_reader, server_writer, client_writer, server_writer, False))
        self.tasks.append(upload)
        try:
            await self.pump(server_reader, client_writer, client_writer, server_writer, True)
            self.finish()
            await upload
        finally:
            self.finish()
            upload.cancel()
            close(client_writer)
            close(server_writer)

    async def pump(self, reader, writer, client_writer, server_writer, from_server):
        trigger = self.session.trigger
        draining = False
        try:
            while True:
                data = await reader.read(CHUNK)
                if not data:
                    if not draining and (from_server or not self.client_closed):
                        with contextlib.suppress(OSError, RuntimeError):
                            writer.write_eof()
                    return
                if draining:
                    continue
                head = trigger.split("data", data)
                if head is None:
                    await trigger.running.wait()
                    writer.write(data)
                    await writer.drain()
                    continue
                writer.write(head)
                await writer.drain()
                kind = trigger.fault.kind
                if kind == "stall":
                    await trigger.stall()
                    writer.write(data[len(head):])
                    await writer.drain()
                elif kind == "reset226":
                    self.client_closed = True
                    reset(client_writer)
                    if not from_server:
                        server_writer.write_eof()  # the server takes the upload as complete
                        return
                    draining = True  # the server finishes sending and replies 226
                else:
                    self.cut = True
                    self.client_closed = True
                    if kind == "drop":
                        close(client_writer)
                    else:
                        reset(client_writer)
                    reset(server_writer)
                    return
        except (OSError, RuntimeError):
            if from_server:
                reset(client_writer)
            else:
                reset(server_writer)


class Session:
    """One client's control connection and the data connections it opens."""

    def __init__(self, proxy, number, fault):
        self.proxy = proxy
        self.number = number
        self.fired = []
        self.trigger = Trigger(fault, proxy.stall_seconds, proxy.trickle_seconds, self.fire)
        self.relays = []
        self.transfer = None  # the data relay of a transfer the server has begun (1xx)

    def fire(self, fault):
        self.fired.append(fault)
        self.proxy.report_fault(self.number, fault)

    async def run(self, client_reader, client_writer):
        try:
            server_reader, server_writer = await asyncio.open_connection(
                self.proxy.target_host, self.proxy.target_port)
        except OSError:
            close(client_writer)
            return
        commands = asyncio.ensure_future(
            self.relay_commands(client_reader, server_writer, client_writer))
        replies = asyncio.ensure_future(
            self.relay_replies(server_reader, client_writer, server_writer))
        await asyncio.wait((commands, replies), return_when=asyncio.FIRST_COMPLETED)
        for task in (commands, replies):
            task.cancel()
        await asyncio.gather(commands, replies, return_exceptions=True)
        for relay in self.relays:
            relay.stop()
        close(client_writer)
        close(server_writer)

    async def control_fault(self, where, data, writer, client_writer, server_writer):
        """Relays data, injecting the control fault when it is due; False once the session is cut."""
        if self.trigger.trickling and where == "reply":
            await self.trigger.trickle(writer, data)
            return True
        head = self.trigger.split(where, data)
        if head is None:
            await self.trigger.running.wait()
            writer.write(data)
            await writer.drain()
            return True
        writer.write(head)
        await writer.drain()
        kind = self.trigger.fault.kind
        if kind == "stall":
            await self.trigger.stall()
            writer.write(data[len(head):])
            await writer.drain()
            return True
        if kind == "trickle":
            self.trigger.trickling = True
            await self.trigger.trickle(writer, data[len(head):])
            return True
        if kind == "drop":
            close(client_writer)
        else:
            reset(client_writer)
        close(server_writer)
        return False

    async def relay_commands(self, reader, writer, client_writer):
        with contextlib.suppress(OSError):
            while data := await reader.read(CHUNK):
                if not await self.control_fault("command", data, writer, client_writer, writer):
                    return

    async def relay_replies(self, reader, writer, server_writer):
        pending = b""
        with contextlib.suppress(OSError):
            while data := await reader.read(CHUNK):
                pending += data
                *lines, pending = pending.split(b"\n")
                for line in lines:
                    line = await self.rewrite(line + b"\n")
                    if not await self.control_fault("reply", line, writer, writer, server_writer):
                        return
            if pending:
                await self.control_fault("reply", pending, writer, writer, server_writer)

    async def rewrite(self, line):
        """The reply line as the client must see it."""
        code = line[:3]
        final = len(line) > 3 and line[3:4] != b"-" and code.isdigit()
        if code == b"227" and final:
            return await self.passive_reply(line, PASV_NUMBERS, self.pasv_text)
        if code == b"229" and final:
            return await self.passive_reply(line, EPSV_PORT, lambda port: f"(|||{port}|)".encode())
        if code[:1] == b"1" and final and self.relays:
            self.transfer = self.relays[-1]
        elif final and code[:1] in b"2345" and self.transfer is not None:
            relay, self.transfer = self.transfer, None
            await relay.server_done
            if relay.cut and code[:1] == b"2":
                return ABORTED_REPLY
        return line

    def pasv_text(self, port):
        host = self.proxy.listen_host.replace(".", ",")
        return f"{host},{port >> 8},{port & 255}".encode()

    async def passive_reply(self, line, pattern, format_address):
        match = pattern.search(line)
        if match is None:
            return line
        numbers = [int(n) for n in match.groups()]
        server_port = numbers[-1] if len(numbers) == 1 else numbers[4] * 256 + numbers[5]
        for relay in self.relays:
            if relay.listener is not None:
                relay.listener.close()  # the server, too, drops an unused passive listener
        relay = DataRelay(self, server_port)
        self.relays.append(relay)
        port = await relay.listen()
        return line[:match.start()] + format_address(port) + line[match.end():]


class FaultProxy:
    """Listens for clients; plan(session_number) gives each session its fault or None."""

    def __init__(self, target_port, plan, target_host="127.0.0.1", listen_host="127.0.0.1",
                 listen_port=0, stall_seconds=4.5, trickle_seconds=1.0, on_fault=None,
                 on_session_end=None):
        self.target_host = target_host
        self.target_port = target_port
        self.listen_host = listen_host
        self.listen_port = listen_port
        self.stall_seconds = stall_seconds
        self.trickle_seconds = trickle_seconds
        self.plan = plan
        self.on_fault = on_fault
        self.on_session_end = on_session_end
        self.numbers = itertools.count(1)
        self.listener = None

    async def start(self):
        """Starts listening; returns the port."""
        self.listener = await asyncio.start_server(self.accept, self.listen_host, self.listen_port)
        return self.listener.sockets[0].getsockname()[1]

    def close(self):
        if self.listener is not None:
            self.listener.close()

    def report_fault(self, number, fault):
        if self.on_fault is not None:
            self.on_fault(number, fault)

    async def accept(self, reader, writer):
        number = next(self.numbers)
        session = Session(self, number, self.plan(number))
        try:
            await session.run(reader, writer)
        finally:
            if self.on_session_end is not None:
                self.on_session_end(number, session.fired)


def schedule_from(faults):
    def plan(number):
        return faults[min(number, len(faults)) - 1]
    return plan


def random_schedule(seed, rate, data_bytes):
    rng = random.Random(seed)

    def plan(_number):
        return random_fault(rng, data_bytes) if rng.random() < rate else None
    return plan


def parse_arguments(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--target-host", default="127.0.0.1")
    parser.add_argument("--target-port", type=int, required=True)
    parser.add_argument("--listen-host", default="127.0.0.1")
    parser.add_argument("--listen-port", type=int, default=0)
    parser.add_argument("--stall", type=float, default=4.5, help="seconds a stall lasts")
    parser.add_argument("--trickle", type=float, default=1.0,
                        help="seconds between the bytes of a trickling reply")
    parser.add_argument("--fault", action="append", default=[], metavar="SPEC",
                        help="WHERE,KIND,BYTES or none, one per session in order")
    parser.add_argument("--seed", type=int, help="random faults, reproducible for the same seed")
    parser.add_argument("--rate", type=float, default=0.5, help="share of sessions with a random fault")
    parser.add_argument("--data-bytes", type=int, default=1 << 20,
                        help="random data faults fire within this many bytes")
    options = parser.parse_args(argv)
    if bool(options.fault) == (options.seed is not None):
        parser.error("give either --fault or --seed")
    try:
        options.faults = [Fault.parse(text) for text in options.fault]
    except ValueError as error:
        parser.error(str(error))
    return options


async def serve(options):
    if options.seed is not None:
        plan = random_schedule(options.seed, options.rate, options.data_bytes)
    else:
        plan = schedule_from(options.faults)
    proxy = FaultProxy(options.target_port, plan, options.target_host, options.listen_host,
                       options.listen_port, options.stall, options.trickle,
                       on_fault=lambda number, fault: print("fault", number, fault, flush=True))
    port = await proxy.start()
    print("ready", port, flush=True)
    stop = asyncio.Event()
    loop = asyncio.get_running_loop()
    for signum in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(signum, stop.set)
    await stop.wait()
    proxy.close()


def main():
    asyncio.run(serve(parse_arguments()))


if __name__ == "__main__":
    sys.exit(main())
