"""Headless Ferret kept running between pictures.

    tc_ferret_warm.py draw LOG      commands on standard input
    tc_ferret_warm.py serve SOCKET OWNER OWNER_START

`draw` hands the commands to a Ferret process of its owner (the program
or batch run named by TC_FERRET_OWNER), starting one when none is free,
and waits for it; Ferret's output goes to LOG, the work directory is the
caller's.  Each owner keeps a small pool, one process per request running
at the same time, so a batch run gets one per processor.  Status 0 when
the commands ran, 1 when Ferret died or hung (it is killed), 3 when no
warm process can be had (the caller runs a Ferret of its own).

A process serves one request at a time from a clean state.  It ends
after a request that reported an error or left it larger than
TC_FERRET_WARM_MB (default 400 MB resident), when its owner is gone, and
after TC_FERRET_IDLE seconds (default 600) without a request.
Environment: TC_FERRET_LIMIT, the seconds a request may take (default
30); TC_FERRET_STATS, a file that receives one line per request with its
peak resident memory in kB.
"""

import fcntl
import hashlib
import json
import os
import signal
import socket
import subprocess
import sys
import threading
import time

POOL = 16
# What a request may leave behind that tc_begin/tc_end do not undo, back
# to how Ferret starts.
RESET = [
    "cancel data/all",
    "cancel variable/all",
    "cancel symbol/all",
    "cancel axis/all",
    "cancel region",
    "cancel viewport",
    "cancel memory/all",
    "cancel mode interpolate",
    "cancel mode ignore_errors",
    "set mode calendar:minutes",
    "set mode long_label:4",
    "set mode latit_label:3",
    "set mode verify",
    "set window/clear/new",
]


def start_time(pid):
    """The kernel's start time of a process, so a reused pid is told apart."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[19]
    except (OSError, IndexError):
        return None


def resident_kb(field):
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def receive(conn):
    data = b""
    while not data.endswith(b"\n"):
        chunk = conn.recv(65536)
        if not chunk:
            return None
        data += chunk
    return json.loads(data)


def serve(path, owner, owner_start):
    import ctypes
    import io
    import pyferret

    libc = ctypes.CDLL(None)
    idle = float(os.environ.get("TC_FERRET_IDLE", "600"))
    devnull = os.open(os.devnull, os.O_RDWR)
    os.dup2(devnull, 0)
    os.dup2(devnull, 1)
    os.dup2(devnull, 2)
    pyferret.init(["-nodisplay", "-nojnl", "-quiet"], False)

    listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    try:
        os.unlink(path)
    except FileNotFoundError:
        pass
    listener.bind(path + ".new")
    listener.listen(1)
    os.rename(path + ".new", path)
    last = [time.monotonic()]
    busy = threading.Event()

    # The owner is watched apart from the requests: a request that hangs
    # still ends with the owner.
    def watch():
        while True:
            time.sleep(0.5)
            gone = start_time(owner) != owner_start
            if not gone and (busy.is_set() or time.monotonic() - last[0] <= idle):
                continue
            if not gone:
                # A client holds the slot's lock from before it connects
                # until it has the answer: idle only if the lock is free.
                slot = open(path[:-len(".sock")] + ".lock", "a")
                try:
                    fcntl.flock(slot, fcntl.LOCK_EX | fcntl.LOCK_NB)
                except OSError:
                    slot.close()
                    continue
            # The lock file stays while the owner may still ask for it.
            if gone:
                remove_files(os.path.dirname(path), (str(owner), owner_start))
            else:
                try:
                    os.unlink(path)
                except OSError:
                    pass
            # With whatever a request spawned.
            os.killpg(0, signal.SIGKILL)

    threading.Thread(target=watch, daemon=True).start()

    # Python's prompts and C's buffers reach the request's own log.
    def flush():
        sys.stdout.flush()
        sys.stderr.flush()
        libc.fflush(None)

    def ferret(commands, sink):
        flush()
        os.dup2(sink, 1)
        os.dup2(sink, 2)
        try:
            # Ferret's command loop, as on standard input: a failing line
            # does not stop the ones after it.
            sys.stdin = io.StringIO("".join(line + "\n" for line in commands)
                                    + "exit/topython\n")
            return pyferret.run()
        finally:
            flush()
            os.dup2(devnull, 1)
            os.dup2(devnull, 2)

    while True:
        conn, _ = listener.accept()
        with conn:
            request = receive(conn)
            if request is None:
                continue
            busy.set()
            ferret(RESET, devnull)
            with open("/proc/self/clear_refs", "w") as f:
                f.write("5")
            os.chdir(request["cwd"])
            sink = os.open(request["log"], os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644)
            try:
                ferret(request["commands"], sink)
            finally:
                os.close(sink)
            os.chdir("/")
            with open(request["log"], "rb") as f:
                f.seek(request["log_size"])
                said = f.read()
            erred = b"**ERROR" in said or b"**TMAP ERR" in said
            peak = resident_kb("VmHWM")
            tired = erred or resident_kb("VmRSS") > request["cap_mb"] * 1024
            last[0] = time.monotonic()
            busy.clear()
            if tired:
                os.unlink(path)
            conn.sendall((json.dumps({"peak_kb": peak, "restart": tired}) + "\n").encode())
        if tired:
            os._exit(0)


def server_name(owner, owner_start):
    """One pool per owner and Ferret setting: a different drive root gets
    processes of its own."""
    key = "\0".join(os.environ.get(k, "") for k in
                    ("FER_GO", "FER_DATA", "TC_PYTHON", "PYTHONPATH"))
    digest = hashlib.sha1(key.encode()).hexdigest()[:12]
    home = os.path.join(os.environ.get("TMPDIR") or "/tmp", f"tcferret-{os.getuid()}")
    os.makedirs(home, mode=0o700, exist_ok=True)
    return os.path.join(home, f"{owner}-{owner_start}-{digest}")


def remove_files(home, owner=None):
    """The files of the owner given, else of every owner that is gone."""
    for name in os.listdir(home):
        pid, start = (name.split("-") + ["", ""])[:2]
        if (pid, start) == owner or owner is None and start_time(pid) != start:
            try:
                os.unlink(os.path.join(home, name))
            except OSError:
                pass


def draw(log):
    owner = os.environ.get("TC_FERRET_OWNER", "")
    owner_start = start_time(owner) if owner.isdigit() else None
    if owner_start is None:
        return 3
    base = server_name(owner, owner_start)
    for slot in range(POOL):
        lock = open(f"{base}-{slot}.lock", "a")
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            break
        except OSError:
            lock.close()
    else:
        return 3
    path = f"{base}-{slot}.sock"
    pid_file = f"{base}-{slot}.pid"
    limit = float(os.environ.get("TC_FERRET_LIMIT", "30"))

    def kill_server():
        # Only while the pid is still this slot's server.
        try:
            with open(pid_file) as f:
                pid = int(f.read())
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                if path.encode() in f.read().split(b"\0"):
                    os.killpg(pid, signal.SIGKILL)
        except (OSError, ValueError):
            pass
        try:
            os.unlink(path)
        except OSError:
            pass

    # Stopped while its request runs (a batch run interrupted), the
    # request's Ferret ends with it.
    def stopped(signum, _):
        kill_server()
        for end in (".pid", ".lock"):
            try:
                os.unlink(base + f"-{slot}" + end)
            except OSError:
                pass
        os._exit(128 + signum)

    for signum in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, stopped)
    commands = sys.stdin.read().splitlines()
    conn = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    try:
        conn.connect(path)
    except OSError:
        # What servers killed with their owner could not remove.
        remove_files(os.path.dirname(base))
        server = subprocess.Popen(
            [sys.executable, os.path.abspath(__file__), "serve", path, owner, owner_start],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            close_fds=True, start_new_session=True)
        with open(pid_file, "w") as f:
            f.write(f"{server.pid}\n")
        deadline = time.monotonic() + 60
        while True:
            try:
                conn.connect(path)
                break
            except OSError:
                if server.poll() is not None or time.monotonic() > deadline:
                    server.kill()
                    return 1
                time.sleep(0.02)
    try:
        log_size = os.path.getsize(log)
    except OSError:
        log_size = 0
    conn.settimeout(limit)
    try:
        conn.sendall((json.dumps({"cwd": os.getcwd(), "log": os.path.abspath(log),
                                  "log_size": log_size, "commands": commands,
                                  "cap_mb": int(os.environ.get("TC_FERRET_WARM_MB", "400"))})
                      + "\n").encode())
        answer = receive(conn)
    except (OSError, socket.timeout, ValueError):
        answer = None
    if answer is None:
        # Died or hung: this one ends, the next request starts another.
        kill_server()
        with open(log, "a") as f:
            f.write(f"**ERROR: Ferret stopped or took more than {limit:g} s\n")
        return 1
    stats = os.environ.get("TC_FERRET_STATS")
    if stats:
        with open(stats, "a") as f:
            f.write(f"{answer['peak_kb']}\n")
    return 0


if __name__ == "__main__":
    if sys.argv[1:2] == ["serve"]:
        serve(sys.argv[2], int(sys.argv[3]), sys.argv[4])
    elif sys.argv[1:2] == ["draw"] and len(sys.argv) == 3:
        sys.exit(draw(sys.argv[2]))
    else:
        sys.exit("usage: tc_ferret_warm.py draw LOG < COMMANDS")
