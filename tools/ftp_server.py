#!/usr/bin/python3
"""A pyftpdlib FTP server for Ferrow's tests and demo.

One user with full rights, optional anonymous read-only access, passive ports in a
given range. Binds the given port (0: any free one) and, once listening, prints
"ready PORT BANNER" on stdout. Stops on SIGTERM or SIGINT.

Run with /usr/bin/python3: another python3 earlier on PATH may lack pyftpdlib.
"""

import argparse
import logging
import signal
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import ActiveDTP, FTPHandler
from pyftpdlib.servers import FTPServer


def port_range(text):
    low, _, high = text.partition("-")
    low, high = int(low), int(high or low)
    if not 0 < low <= high < 65536:
        raise argparse.ArgumentTypeError("not a port range: " + text)
    return range(low, high + 1)


def parse_arguments(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--root", required=True, help="folder served to the user")
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--anonymous-root", help="serve this folder read-only to anonymous")
    parser.add_argument("--passive-ports", type=port_range, help="LOW-HIGH")
    parser.add_argument("--log", help="file for the protocol dialogue")
    return parser.parse_args(argv)


class HandedOverActiveDTP(ActiveDTP):
    """pyftpdlib 1.5.7's active-mode connector keeps the data socket's number after it
    hands the socket to the data handler, and closes it again at the next PORT. By then
    a new control connection may have that number, and it is never read again."""

    def handle_connect(self):
        super().handle_connect()
        handler = self.cmd_channel.data_channel
        if handler is not None and handler.socket is self.socket:
            self._closed = True  # the data handler owns the socket now


def make_server(options):
    authorizer = DummyAuthorizer()
    # M: SITE CHMOD, T: MFMT.
    authorizer.add_user(options.user, options.password, options.root, perm="elradfmwMT")
    if options.anonymous_root:
        authorizer.add_anonymous(options.anonymous_root, perm="elr")

    # A subclass, so the settings stay this server's own.
    class Handler(FTPHandler):
        pass

    Handler.authorizer = authorizer
    Handler.passive_ports = options.passive_ports
    Handler.permit_foreign_addresses = False
    # Otherwise every wrong password costs a 3-second pause.
    Handler.auth_failed_timeout = 0
    Handler.active_dtp = HandedOverActiveDTP
    return FTPServer((options.host, options.port), Handler)


def log_dialogue_to(path):
    # At DEBUG level pyftpdlib logs every command and reply.
    handler = logging.FileHandler(path)
    handler.setFormatter(logging.Formatter("%(asctime)s %(message)s"))
    logger = logging.getLogger("pyftpdlib")
    logger.setLevel(logging.DEBUG)
    logger.addHandler(handler)
    logger.propagate = False


def quiet():
    logger = logging.getLogger("pyftpdlib")
    logger.setLevel(logging.WARNING)
    logger.addHandler(logging.StreamHandler())
    logger.propagate = False


def stop(_signal, _frame):
    raise SystemExit(0)


def configure_logging(options):
    if options.log:
        log_dialogue_to(options.log)
    else:
        quiet()


def run(server, announce):
    """Calls announce(port, banner), then serves until SIGTERM or SIGINT."""
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    announce(server.socket.getsockname()[1], server.handler.banner)
    try:
        server.serve_forever(handle_exit=False)
    except SystemExit:
        pass
    finally:
        server.close_all()


def main():
    options = parse_arguments()
    configure_logging(options)
    server = make_server(options)
    run(server, lambda port, banner: print("ready", port, banner, flush=True))


if __name__ == "__main__":
    sys.exit(main())
