"""Headless Ferret kept running between pictures.

    tc_ferret_warm.py draw LOG      commands on standard input
    tc_ferret_warm.py serve SOCKET OWNER OWNER_START

`draw` hands the commands to a Ferret process of its owner (the program
or batch run named by TC_FERRET_OWNER), starting one when none is free,
and waits for it; Ferret's output goes to LOG, the work directory is the
caller's.  Each owner keeps a small pool, one process per request running
at the same time, so a batch run gets one per processor; requests at a
lower priority (niced) have a pool of their own.  Status 0 when
the commands ran, 1 when Ferret died or hung (it is killed), 3 when no
warm process can be had (the caller runs a Ferret of its own).

A process serves one request at a time from a clean state.  It ends
after a request that reported an error or left it larger than
TC_FERRET_WARM_MB (default 400 MB resident), when its owner is gone, and
after TC_FERRET_IDLE seconds (default 600, 60 for the niced pool)
without a request.  A
request with commands beyond those the program writes may leave Ferret
changed in ways the reset does not undo: its Ferret ends after it.  A
request that failed is drawn again by a fresh Ferret (status 3), so that
its picture never depends on an earlier one.

The sockets, locks and pid files lie in a directory of this user's alone
($XDG_RUNTIME_DIR/tcferret, else $TMPDIR/tcferret-UID), checked at every
use: another user may have made it, or planted links or a socket in it.
Anything in doubt and no warm Ferret is used (status 3).
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
import stat
import struct
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
    "ppl axset 1,1,1,1",
    "set window/clear/new",
]
# The lines of the program's command files (and of tcferret.bat's and the
# go scripts' own additions), first words in lower case: a request made of
# these alone leaves nothing behind that RESET does not undo.
KNOWN = ("!", "cancel mode journal", "set mode metafile", "go fer_", "label", "ppl clsplt",
         "set view top", "frame/file=", "say/outfile=", "define symbol tcrange ",
         "define symbol tcdata_dir ", "define symbol tcpanels ")
NOFOLLOW = os.O_NOFOLLOW | os.O_CLOEXEC


class Doubt(Exception):
    """The private directory, or a process in it, is not to be trusted."""


def home_path():
    """$XDG_RUNTIME_DIR/tcferret where that is this user's private
    directory, else $TMPDIR/tcferret-UID."""
    runtime = os.environ.get("XDG_RUNTIME_DIR", "")
    try:
        info = os.lstat(runtime) if runtime.startswith("/") else None
    except OSError:
        info = None
    if info and stat.S_ISDIR(info.st_mode) and info.st_uid == os.getuid() \
            and not info.st_mode & 0o077:
        return os.path.join(runtime, "tcferret")
    return os.path.join(os.environ.get("TMPDIR") or "/tmp", f"tcferret-{os.getuid()}")


def private_directory(path):
    """Directory PATH opened: (descriptor, path).  Made with mode 0700
    where it is missing; one that is not a directory of this user's with
    no access for others (a link, another user's, group or world access)
    is refused with Doubt."""
    try:
        os.mkdir(path, 0o700)
    except FileExistsError:
        pass
    except OSError as e:
        raise Doubt(f"cannot make {path}: {e.strerror}")
    try:
        fd = os.open(path, os.O_RDONLY | os.O_DIRECTORY | NOFOLLOW)
    except OSError:
        raise Doubt(f"{path} is not a directory (a link?)")
    info = os.fstat(fd)
    if info.st_uid != os.getuid() or info.st_mode & 0o077:
        os.close(fd)
        raise Doubt(f"{path} belongs to user {info.st_uid} or is open to others "
                    f"(mode {stat.S_IMODE(info.st_mode):o})")
    return fd, path


def in_directory(fd, name):
    """A path to NAME through the opened directory, which no later swap of
    the directory's own path can redirect."""
    return f"/proc/self/fd/{fd}/{name}"


def open_private(fd, name, flags):
    return os.open(name, flags | NOFOLLOW, 0o600, dir_fd=fd)


def peer_uid(conn):
    return struct.unpack("3i", conn.getsockopt(socket.SOL_SOCKET, socket.SO_PEERCRED,
                                               struct.calcsize("3i")))[1]


def known_commands(commands):
    return all(line.strip().lower().startswith(KNOWN) or not line.strip() for line in commands)


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
    # Those drawing ahead (niced) are wanted only while the user browses.
    idle = float(os.environ.get("TC_FERRET_IDLE", "60" if os.getpriority(os.PRIO_PROCESS, 0) > 0 else "600"))
    devnull = os.open(os.devnull, os.O_RDWR)
    os.dup2(devnull, 0)
    os.dup2(devnull, 1)
    os.dup2(devnull, 2)
    home, name = os.path.split(path)
    try:
        folder, _ = private_directory(home)
    except Doubt:
        os._exit(1)
    pyferret.init(["-nodisplay", "-nojnl", "-quiet"], False)

    listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    for stale in (name, name + ".new"):
        try:
            os.unlink(stale, dir_fd=folder)
        except FileNotFoundError:
            pass
    listener.bind(in_directory(folder, name + ".new"))
    listener.listen(1)
    os.rename(name + ".new", name, src_dir_fd=folder, dst_dir_fd=folder)
    last = [time.monotonic()]
    busy = threading.Event()

    # The owner is watched apart from the requests: a request that hangs
    # still ends with the owner.
    def watch():
        try:
            while True:
                time.sleep(0.5)
                gone = start_time(owner) != owner_start
                if not gone and (busy.is_set() or time.monotonic() - last[0] <= idle):
                    continue
                if not gone:
                    # A client holds the slot's lock from before it connects
                    # until it has the answer: idle only if the lock is free.
                    slot = open_private(folder, name[:-len(".sock")] + ".lock",
                                        os.O_WRONLY | os.O_CREAT | os.O_APPEND)
                    try:
                        fcntl.flock(slot, fcntl.LOCK_EX | fcntl.LOCK_NB)
                    except OSError:
                        os.close(slot)
                        continue
                # The lock file stays while the owner may still ask for it.
                if gone:
                    remove_files(folder, (str(owner), owner_start))
                else:
                    os.unlink(name, dir_fd=folder)
                break
        finally:
            # With whatever a request spawned; also when the directory went
            # away under it.
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
            if peer_uid(conn) != os.getuid():
                continue
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
            tired = (erred or not known_commands(request["commands"])
                     or resident_kb("VmRSS") > request["cap_mb"] * 1024)
            last[0] = time.monotonic()
            busy.clear()
            if tired:
                os.unlink(name, dir_fd=folder)
            conn.sendall((json.dumps({"peak_kb": peak, "restart": tired, "erred": erred})
                          + "\n").encode())
        if tired:
            os._exit(0)


def server_name(owner, owner_start):
    """One pool per owner and Ferret setting: a different drive root gets
    processes of its own."""
    key = "\0".join(os.environ.get(k, "") for k in
                    ("FER_GO", "FER_DATA", "TC_PYTHON", "PYTHONPATH"))
    digest = hashlib.sha1(key.encode()).hexdigest()[:12]
    return f"{owner}-{owner_start}-{digest}"


def remove_files(folder, owner=None):
    """The files of the owner given, else of every owner that is gone."""
    try:
        names = os.listdir(folder)
    except OSError:
        return
    for name in names:
        pid, start = (name.split("-") + ["", ""])[:2]
        if (pid, start) == owner or owner is None and start_time(pid) != start:
            try:
                os.unlink(name, dir_fd=folder)
            except OSError:
                pass


def draw(log):
    owner = os.environ.get("TC_FERRET_OWNER", "")
    owner_start = start_time(owner) if owner.isdigit() else None
    if owner_start is None:
        return 3
    try:
        folder, home = private_directory(home_path())
    except Doubt as doubt:
        print(f"tc_ferret_warm.py: no warm Ferret: {doubt}", file=sys.stderr)
        return 3
    base = server_name(owner, owner_start)
    # Work ahead of the user (a niced client) has processes of its own: a
    # picture asked for neither waits for them nor starts a Ferret while
    # they draw, and theirs keep the lower priority they were started with.
    if os.getpriority(os.PRIO_PROCESS, 0) > 0:
        base += "-ahead"
    for slot in range(POOL):
        try:
            lock = open_private(folder, f"{base}-{slot}.lock", os.O_WRONLY | os.O_CREAT | os.O_APPEND)
        except OSError as e:
            print(f"tc_ferret_warm.py: no warm Ferret: {home}: {e.strerror}", file=sys.stderr)
            return 3
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            break
        except OSError:
            os.close(lock)
    else:
        return 3
    name = f"{base}-{slot}.sock"
    path = os.path.join(home, name)
    pid_file = f"{base}-{slot}.pid"
    limit = float(os.environ.get("TC_FERRET_LIMIT", "30"))

    def kill_server():
        # Only while the pid is still this slot's server.
        try:
            fd = open_private(folder, pid_file, os.O_RDONLY)
            with os.fdopen(fd) as f:
                pid = int(f.read())
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                if path.encode() in f.read().split(b"\0"):
                    os.killpg(pid, signal.SIGKILL)
        except (OSError, ValueError):
            pass
        try:
            os.unlink(name, dir_fd=folder)
        except OSError:
            pass

    # Stopped while its request runs (a batch run interrupted), the
    # request's Ferret ends with it.
    def stopped(signum, _):
        kill_server()
        for end in (".pid", ".lock"):
            try:
                os.unlink(f"{base}-{slot}{end}", dir_fd=folder)
            except OSError:
                pass
        os._exit(128 + signum)

    for signum in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, stopped)
    commands = sys.stdin.read().splitlines()
    conn = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    try:
        conn.connect(in_directory(folder, name))
    except OSError:
        # What servers killed with their owner could not remove.
        remove_files(folder)
        server = subprocess.Popen(
            [sys.executable, os.path.abspath(__file__), "serve", path, owner, owner_start],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            close_fds=True, start_new_session=True)
        fd = open_private(folder, pid_file, os.O_WRONLY | os.O_CREAT | os.O_TRUNC)
        with os.fdopen(fd, "w") as f:
            f.write(f"{server.pid}\n")
        deadline = time.monotonic() + 60
        while True:
            try:
                conn.connect(in_directory(folder, name))
                break
            except OSError:
                if server.poll() is not None or time.monotonic() > deadline:
                    server.kill()
                    return 1
                time.sleep(0.02)
    if peer_uid(conn) != os.getuid():
        print(f"tc_ferret_warm.py: no warm Ferret: {path} is served by user {peer_uid(conn)}",
              file=sys.stderr)
        return 3
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
    return 3 if answer.get("erred") else 0


if __name__ == "__main__":
    if sys.argv[1:2] == ["serve"]:
        serve(sys.argv[2], int(sys.argv[3]), sys.argv[4])
    elif sys.argv[1:2] == ["draw"] and len(sys.argv) == 3:
        sys.exit(draw(sys.argv[2]))
    else:
        sys.exit("usage: tc_ferret_warm.py draw LOG < COMMANDS")
