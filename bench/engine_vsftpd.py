#!/usr/bin/python3
"""Starts vsftpd on 127.0.0.1 for the engine's transfer benchmark.

Serves ROOT (handed to the system account the sessions run as) with the same account,
password and PAM service as the test suite's vsftpd fixture, on a port block reserved
through the test suite's lock file, so it never collides with a test server. Once the
server has sent its welcome it prints "ready PORT USER PASSWORD" on stdout, then runs
until standard input closes or it receives SIGTERM/SIGINT, and stops vsftpd with every
session process it started. Needs root.

    engine_vsftpd.py --root ROOT --work FOLDER [--vsftpd BINARY]
"""

import argparse
import fcntl
import grp
import os
import pwd
import signal
import socket
import subprocess
import sys
import threading
import time

USER = "ferrowtest"
PASSWORD = "Ferrow-test-42"
# The password above in crypt(3) form, as the test fixture sets it.
PASSWORD_HASH = ("$6$ferrowtestsalt$TgJyTKW.5FWKIzFw02zpCzxjo.dyGwhe4DHChriZyZnf/vToLxmdkkvhwCG."
                 "sKETKubw5.FJcddnqJfBpRHN1.")
ANONYMOUS = "ftp"
PAM_SERVICE = "ferrow-test-vsftpd"
PAM_CONFIG = ("# Ferrow's test servers: plain password check, no delay.\n"
              "auth required pam_unix.so nodelay\n"
              "account required pam_unix.so\n"
              "session required pam_permit.so\n")
SETUP_LOCK = "/tmp/ferrow-test-setup.lock"
PORT_LOCK = "/tmp/ferrow-test-ports.lock"
FIRST_PORT = 10000
BLOCK_SIZE = 100
BLOCK_COUNT = (32000 - FIRST_PORT) // BLOCK_SIZE


def fail(message):
    print("engine_vsftpd: " + message, file=sys.stderr)
    sys.exit(1)


def shadow_hash(name):
    with open("/etc/shadow") as shadow:
        for line in shadow:
            fields = line.split(":")
            if fields[0] == name and len(fields) > 1:
                return fields[1]
    return None


def ensure_account(name, password_hash):
    try:
        pwd.getpwnam(name)
    except KeyError:
        command = ["/usr/sbin/useradd", "--system", "--no-create-home", "--home-dir", "/",
                   "--shell", "/usr/sbin/nologin"]
        try:
            grp.getgrnam(name)
            command += ["--gid", name]
        except KeyError:
            pass
        if password_hash:
            command += ["--password", password_hash]
        subprocess.run(command + [name], check=True)
        return
    if password_hash and shadow_hash(name) != password_hash:
        subprocess.run(["/usr/sbin/usermod", "--password", password_hash, name], check=True)


def ensure_setup():
    """The PAM service and the accounts, under the lock the test fixture takes too."""
    with open(SETUP_LOCK, "a+") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        path = "/etc/pam.d/" + PAM_SERVICE
        try:
            with open(path) as current:
                same = current.read() == PAM_CONFIG
        except OSError:
            same = False
        if not same:
            with open(path + ".tmp", "w") as new:
                new.write(PAM_CONFIG)
            os.chmod(path + ".tmp", 0o644)
            os.replace(path + ".tmp", path)
        ensure_account(USER, PASSWORD_HASH)
        ensure_account(ANONYMOUS, None)


def reserve_port_block():
    """Locks one byte of the tests' port lock file: the block is ours while we live."""
    fd = os.open(PORT_LOCK, os.O_RDWR | os.O_CREAT, 0o666)
    start = (os.getpid() * 7) % BLOCK_COUNT
    for i in range(BLOCK_COUNT):
        index = (start + i) % BLOCK_COUNT
        try:
            fcntl.lockf(fd, fcntl.LOCK_EX | fcntl.LOCK_NB, 1, index, os.SEEK_SET)
        except OSError:
            continue
        return fd, FIRST_PORT + index * BLOCK_SIZE
    fail("every port block is in use")


def hand_over(root):
    account = pwd.getpwnam(USER)
    for folder, folders, files in os.walk(root):
        os.lchown(folder, account.pw_uid, account.pw_gid)
        for name in folders + files:
            os.lchown(os.path.join(folder, name), account.pw_uid, account.pw_gid)


def write_config(work, root, port):
    empty = os.path.join(work, "empty")
    os.makedirs(empty, exist_ok=True)
    os.chmod(empty, 0o755)
    userlist = os.path.join(work, "userlist")
    with open(userlist, "w") as out:
        out.write(USER + "\n")
    settings = {
        "listen": "YES", "listen_ipv6": "NO", "listen_address": "127.0.0.1",
        "listen_port": str(port), "background": "NO",
        "local_enable": "YES", "write_enable": "YES", "local_umask": "022",
        "local_root": root, "chroot_local_user": "YES", "allow_writeable_chroot": "YES",
        "userlist_enable": "YES", "userlist_deny": "NO", "userlist_file": userlist,
        "pam_service_name": PAM_SERVICE, "anonymous_enable": "NO",
        "pasv_enable": "YES", "pasv_min_port": str(port + 1),
        "pasv_max_port": str(port + BLOCK_SIZE - 1), "pasv_address": "127.0.0.1",
        "port_enable": "YES", "connect_from_port_20": "NO",
        # Without these every session dies at once on this kind of machine.
        "seccomp_sandbox": "NO", "isolate": "NO", "isolate_network": "NO",
        "delay_failed_login": "0", "delay_successful_login": "0",
        "secure_chroot_dir": empty,
        # No transfer log: the server's own writes would be measured too.
        "xferlog_enable": "NO", "log_ftp_protocol": "NO", "syslog_enable": "NO",
        "dirmessage_enable": "NO", "tcp_wrappers": "NO", "ssl_enable": "NO",
        "idle_session_timeout": "300", "data_connection_timeout": "300",
    }
    path = os.path.join(work, "vsftpd.conf")
    with open(path, "w") as out:
        for key, value in settings.items():
            out.write(key + "=" + value + "\n")
    return path


def wait_for_welcome(process, port, timeout=30):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if process.poll() is not None:
            return None
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1) as probe:
                welcome = probe.makefile("rb").readline().decode("latin-1").rstrip()
                if welcome.startswith("220"):
                    return welcome
        except OSError:
            pass
        time.sleep(0.05)
    return None


def descendants(root_pid):
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            children.setdefault(int(fields[1]), []).append(int(entry))
        except (OSError, IndexError):
            continue
    found, pending = [], [root_pid]
    while pending:
        pid = pending.pop()
        found.append(pid)
        pending.extend(children.get(pid, []))
    return found


def stop(process):
    """vsftpd's sessions call setsid(): signal every process of the tree, TERM then KILL."""
    for sig in (signal.SIGTERM, signal.SIGKILL):
        pids = descendants(process.pid) if process.poll() is None else []
        for pid in pids:
            try:
                os.kill(pid, sig)
            except OSError:
                pass
        try:
            process.wait(timeout=3)
            return
        except subprocess.TimeoutExpired:
            continue


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--vsftpd", default="/usr/sbin/vsftpd")
    options = parser.parse_args()
    if os.geteuid() != 0:
        fail("needs root (PAM logins as a system account, chroot)")
    if not os.access(options.vsftpd, os.X_OK):
        fail("vsftpd not found at " + options.vsftpd)

    ensure_setup()
    root = os.path.abspath(options.root)
    hand_over(root)
    _lock, port = reserve_port_block()
    config = write_config(os.path.abspath(options.work), root, port)
    log = open(os.path.join(options.work, "vsftpd.out"), "w")
    process = subprocess.Popen([options.vsftpd, config], stdin=subprocess.DEVNULL, stdout=log,
                               stderr=subprocess.STDOUT, start_new_session=True)
    done = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: done.set())
    signal.signal(signal.SIGINT, lambda *_: done.set())
    try:
        if not wait_for_welcome(process, port):
            fail("vsftpd did not start; see " + log.name)
        print("ready %d %s %s" % (port, USER, PASSWORD), flush=True)
        # Our owner closes standard input (or dies) when it is done with us.
        threading.Thread(target=lambda: (sys.stdin.read(), done.set()), daemon=True).start()
        done.wait()
    finally:
        stop(process)


if __name__ == "__main__":
    main()
