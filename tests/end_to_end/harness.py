"""Runs the real program as a user would, always behind the masked serial port, and reads what it did
from a system-call trace: the port's descriptor, its line changes tick by tick, and the minutes they send.

Run as a script with --without-serial-port DIR -- COMMAND, it is the launcher for a run on a machine
without the port: in a mount namespace of its own, it puts a fresh /dev holding only what the program
needs over the real one, checks that /dev/ttyS0 is gone, and becomes COMMAND.
"""

import datetime
import glob
import os
import re
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time
import zoneinfo
from typing import NamedTuple

PROGRAM = os.environ.get("VELKORIN_PROGRAM", "")
MASKED = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "masked")
PORT = "/dev/ttyS0"
PSEUDO_TERMINAL_MAJOR = 136
BERLIN = zoneinfo.ZoneInfo("Europe/Berlin")
TOOLS = {"strace": "strace", "Xvfb": "xvfb", "openbox": "openbox", "xdotool": "xdotool", "flock": "util-linux",
         "unshare": "util-linux"}
FAKETIME_LIBRARY = "/usr/$LIB/faketime/libfaketime.so.1"  # ld.so expands $LIB; Debian package libfaketime
TRACED = "execve,open,openat,ioctl,read,write,writev,pwrite64,close,flock,fcntl,dup,dup2,dup3,timerfd_create"
# Alt+F4 closes the active window, as on most desktops; the rest is openbox's default.
OPENBOX_CONFIG = """<openbox_config xmlns="http://openbox.org/3.4/rc"><keyboard>
<keybind key="A-F4"><action name="Close"/></keybind></keyboard></openbox_config>"""


def require_masked_port():
    """Nothing is started unless /dev/ttyS0 is a pseudo-terminal standing in for the machine's port."""
    seen = os.stat(PORT)
    if not (stat.S_ISCHR(seen.st_mode) and os.major(seen.st_rdev) == PSEUDO_TERMINAL_MAJOR):
        sys.exit(f"{PORT} is no pseudo-terminal: run this under scripts/masked; nothing was started")
    if not os.access(PROGRAM, os.X_OK):
        sys.exit(f"VELKORIN_PROGRAM={PROGRAM!r} is no program")
    missing = {package for tool, package in TOOLS.items() if not shutil.which(tool)}
    missing |= set() if glob.glob(FAKETIME_LIBRARY.replace("$LIB", "lib*/*")) else {"libfaketime"}
    if missing:
        sys.exit(f"missing Debian packages: {' '.join(sorted(missing))}")


def local_epoch(local_time, zone):
    """The instant of a Berlin wall-clock time; the zone's name settles the hour that autumn repeats."""
    for fold in (0, 1):
        moment = datetime.datetime.fromisoformat(local_time).replace(tzinfo=BERLIN, fold=fold)
        if moment.tzname() == zone:
            return int(moment.timestamp())
    raise ValueError(f"{local_time} is never {zone} in Berlin")


def wait_for(condition, timeout, what):
    deadline = time.monotonic() + timeout
    while not (result := condition()):
        if time.monotonic() > deadline:
            raise AssertionError(f"gave up after {timeout} s waiting for {what}")
        time.sleep(0.1)
    return result


class Event(NamedTuple):
    time: float  # real time, whatever the program's clock says
    thread: int
    call: str  # "exit" for the process's end, with its status as the result
    args: str
    result: int
    error: str

    @property
    def fd(self):
        first = self.args.split(",", 1)[0]
        return int(first) if first.isdigit() else None


CALL = re.compile(r"(?P<time>\d+\.\d+) (?P<call>\w+)\((?P<args>.*)\) += (?P<result>-?\d+)(?: (?P<error>E\w+))?")
EXIT = re.compile(r"(?P<time>\d+\.\d+) \+\+\+ exited with (?P<result>\d+) \+\+\+")
LINE_CHANGE = re.compile(r"\d+, (TIOCMBI[CS]), \[TIOCM_(DTR|RTS)\]$")


def read_trace(prefix):
    """Every thread's calls from strace -ff, in the order they were made."""
    events = []
    for path in glob.glob(glob.escape(prefix) + ".*"):
        thread = int(path.rsplit(".", 1)[1])
        with open(path, errors="replace") as trace:
            for line in trace:
                if found := CALL.match(line):
                    call, args, error = found["call"], found["args"], found["error"] or ""
                elif found := EXIT.match(line):
                    call, args, error = "exit", "", ""
                else:
                    continue
                events.append(Event(float(found["time"]), thread, call, args, int(found["result"]), error))
    return sorted(events, key=lambda event: event.time)


def opened(events, path):
    return [event for event in events if event.call in ("open", "openat") and f'"{path}"' in event.args]


def port_events(events):
    """The one opening of the port and the calls made on its descriptor from then until it is closed."""
    (opening,) = opened(events, PORT)
    calls = []
    for event in events:
        if event.time >= opening.time and event.fd == opening.result and event is not opening:
            calls.append(event)
            if event.call == "close":
                break
    return opening, calls


def guard_lock(events, runtime_directory):
    """The result of locking the single-instance guard: 0 or the error."""
    (opening,) = opened(events, f"{runtime_directory}/test.lock")
    (lock,) = [event for event in events if event.call == "flock" and event.fd == opening.result]
    return lock.error or lock.result


def line_changes(events):
    return [(found[1], found[2]) for event in events if event.call == "ioctl"
            if (found := LINE_CHANGE.search(event.args))]


# By default the output is inverted: a pulse sets DTR and clears RTS, the idle level the other way round.
PULSE_PAIR = [("TIOCMBIC", "RTS"), ("TIOCMBIS", "DTR")]
IDLE_PAIR = [("TIOCMBIC", "DTR"), ("TIOCMBIS", "RTS")]


def ticks(events):
    """Per tick, that is per read of the tick timer that finds it expired or the clock set, what the port
    saw: 'P' a pulse starting, 'I' the idle level, '.' nothing. Returns those as a string, and the ticks'
    real times."""
    (timer,) = [event.result for event in events if event.call == "timerfd_create"]
    on_port = {id(event) for event in port_events(events)[1]}
    per_tick, times = [], []
    for event in events:
        if event.call == "read" and event.fd == timer and (event.result == 8 or event.error == "ECANCELED"):
            per_tick.append([])
            times.append(event.time)
        elif id(event) in on_port and (found := LINE_CHANGE.search(event.args)):
            assert per_tick, f"a line change before the first tick: {event}"
            per_tick[-1].append((found[1], found[2]))
    kinds = ""
    for at, changes in enumerate(per_tick[:-1]):  # the last tick may have been cut off by the end of the run
        assert changes in ([], PULSE_PAIR, IDLE_PAIR), f"tick {at} changed the lines so: {changes}"
        kinds += "P" if changes == PULSE_PAIR else "I" if changes == IDLE_PAIR else "."
    return kinds, times


class Second(NamedTuple):
    kind: str  # "pulse"; "mark", the silent second 59; "cut", a pulse that the next second began in
    ticks: int
    time: float  # real time of its first tick


def seconds(kinds, times):
    """Splits the ticks into seconds: a pulse runs from its start to the next idle level; the minute mark
    is a run of silent ticks between idle ones. The seconds that the program's start or the run's end
    cut short are left out: the first tick may come at any moment of a second."""
    found = re.finditer(r"P\.*(?=[PI])|(?<=I)\.+(?=I)", kinds)
    return [Second("mark" if run[0][0] == "." else "pulse" if kinds[run.end()] == "I" else "cut",
                   len(run[0]), times[run.start()]) for run in found if run.start() > 0]


def decode(bits):
    """Reads one minute's bits as a strict receiver would, refusing what it would refuse, and returns the
    minute mark they announce as 'YYYY-MM-DD HH:MM ZONE'."""
    def check(condition, what):
        if not condition:
            raise AssertionError(f"{what}: {''.join(map(str, bits))}")

    def bcd(first, weights):
        units = sum(weight for weight, bit in zip(weights[:4], bits[first:]) if bit)
        tens = sum(weight for weight, bit in zip(weights[4:], bits[first + 4:]) if bit)
        check(units <= 9 and tens <= 90, f"second {first} starts no BCD number")
        return units + tens

    check(len(bits) == 59, f"{len(bits)} bits between two minute marks")
    check(bits[0] == 0 and not any(bits[1:17]) and bits[19] == 0, "seconds 0 to 16 and 19 are not all 0")
    check(bits[17] != bits[18], "not exactly one of the zone bits 17 and 18")
    check(bits[20] == 1, "the start of the time, second 20, is not 1")
    for first, parity in ((21, 28), (29, 35), (36, 58)):
        check(sum(bits[first:parity + 1]) % 2 == 0, f"odd parity over seconds {first} to {parity}")
    minute, hour = bcd(21, (1, 2, 4, 8, 10, 20, 40)), bcd(29, (1, 2, 4, 8, 10, 20))
    day, month, year = bcd(36, (1, 2, 4, 8, 10, 20)), bcd(45, (1, 2, 4, 8, 10)), bcd(50, (1, 2, 4, 8, 10, 20, 40, 80))
    weekday = bits[42] + 2 * bits[43] + 4 * bits[44]
    check(minute < 60 and hour < 24, "no time of day")
    try:
        date = datetime.date(2000 + year, month, day)
    except ValueError:
        raise AssertionError(f"no date: {year} {month} {day}") from None
    check(weekday == date.isoweekday(), f"weekday {weekday} for {date}")
    return f"{date} {hour:02}:{minute:02} {'CEST' if bits[17] else 'CET'}"


def frames(marked_seconds):
    """The complete minutes: each the bits between two minute marks, with the later mark."""
    marks = [at for at, second in enumerate(marked_seconds) if second.kind == "mark"]
    for previous, mark in zip(marks, marks[1:]):
        minute = marked_seconds[previous + 1:mark]
        lengths = [second.ticks for second in minute if second.kind == "pulse"]
        assert len(lengths) == len(minute) and set(lengths) <= {11, 21}, f"pulses of {lengths} ticks"
        assert marked_seconds[mark].ticks == 11, f"a minute mark of {marked_seconds[mark].ticks} ticks"
        yield [int(length == 21) for length in lengths], marked_seconds[mark]


class Run:
    """One start of the program; with a trace, strace's files are <log>.trace.<thread>."""

    def __init__(self, process, log, fake):
        self.process, self.log, self.fake = process, log, fake

    def events(self):
        return read_trace(self.log + ".trace")

    def line_changes(self):
        return len(line_changes(self.events()))

    def announced_at(self, events, mark):
        """The minute mark the frame ending at this minute mark announces, in Berlin: found from the
        fake clock's start and speed and the real time since the program's start, within half a minute."""
        start, speed = self.fake
        started = next(event.time for event in events if event.call == "execve" and event.result == 0)
        minute_start = round((start + speed * (mark.time - started) - 59) / 60) * 60
        announced = datetime.datetime.fromtimestamp(minute_start + 60, BERLIN)
        return f"{announced:%Y-%m-%d %H:%M} {announced.tzname()}"


class Session:
    """One test's world: a private runtime directory, optionally a virtual display with a window manager,
    and every process started in it, each in a process group of its own, all ended when it ends."""

    def __init__(self, display=False):
        require_masked_port()
        self.display = display
        self.directory = tempfile.mkdtemp(prefix="velkorin-e2e-")
        self.groups = []
        self.env = {key: value for key, value in os.environ.items() if not key.startswith(("QT_", "DISPLAY"))}
        self.env.update(XDG_RUNTIME_DIR=self.directory, QT_QPA_PLATFORM="offscreen", TZ="Europe/Berlin")

    def __enter__(self):
        try:
            if self.display:
                self._start_display()
        except BaseException:
            self.__exit__(*sys.exc_info())
            raise
        return self

    def __exit__(self, failure, *_):
        for process in reversed(self.groups):
            self._end(process)
        for log in sorted(glob.glob(f"{self.directory}/*.log")) if failure else ():
            with open(log, errors="replace") as output:
                print(f"--- end of {os.path.basename(log)}:", *output.readlines()[-15:], sep="\n  ", file=sys.stderr)
        shutil.rmtree(self.directory, ignore_errors=True)

    def spawn(self, argv, log, env=None, **options):
        with open(os.path.join(self.directory, log), "w") as output:
            process = subprocess.Popen(argv, env=env or self.env, stdout=output, stderr=subprocess.STDOUT,
                                       start_new_session=True, **options)
        self.groups.append(process)
        return process

    def start(self, name="program", trace=True, fake=None, alone=False, without_port=False, args=()):
        """Starts the program in Berlin time; fake=(instant, speed) runs its clock from that instant that
        much faster. alone gives it a masked port and a runtime directory of its own, as if it ran on a
        machine of its own; without_port a /dev in which there is no port."""
        log = os.path.join(self.directory, name)
        env, argv = dict(self.env), [PROGRAM, *args]
        # Files' times stay real: faked, they make fontconfig find its caches stale and, as root, rewrite them.
        faked = {"LD_PRELOAD": FAKETIME_LIBRARY, "FAKETIME": f"@{fake[0]} x{fake[1]}", "FAKETIME_FMT": "%s",
                 "NO_FAKE_STAT": "1"} if fake else {}
        if trace:  # the fake clock goes to the program only, so that the trace's times stay real
            argv = ["strace", "-ff", "-ttt", "-s", "16", "--seccomp-bpf", "-e", f"trace={TRACED}",
                    "-o", log + ".trace", *[f"-E{key}={value}" for key, value in faked.items()], *argv]
        else:
            env.update(faked)
        if alone:  # the same script again, in a namespace nested in this one, over this one's stand-in
            env.pop("VELKORIN_MASKED_NS", None)
            env["XDG_RUNTIME_DIR"] = log + ".runtime"
            os.mkdir(env["XDG_RUNTIME_DIR"], 0o700)
            argv = [MASKED, *argv]
        if without_port:
            argv = ["unshare", "--mount", "--", sys.executable, "-B", os.path.abspath(__file__),
                    "--without-serial-port", os.path.join(self.directory, name + ".dev"), "--", *argv]
        return Run(self.spawn(argv, name + ".log", env), log, fake)

    def stop(self, run):
        self._end(run.process)

    @staticmethod
    def _end(process):
        for sig, grace in ((signal.SIGTERM, 3), (signal.SIGKILL, 10)):
            try:
                os.killpg(process.pid, sig)
            except ProcessLookupError:
                pass
            try:
                process.wait(timeout=grace)
                break
            except subprocess.TimeoutExpired:
                continue

    def _start_display(self):
        config = os.path.join(self.directory, "openbox.xml")
        with open(config, "w") as file:
            file.write(OPENBOX_CONFIG)
        # Servers starting at the same moment may reach for the same display number: the loser ends.
        for _ in range(3):
            reader, writer = os.pipe()
            server = self.spawn(["Xvfb", "-displayfd", str(writer), "-screen", "0", "800x600x24", "-nolisten", "tcp"],
                                "xvfb.log", pass_fds=[writer])
            os.close(writer)
            with os.fdopen(reader) as announced:
                self.env.update(DISPLAY=f":{announced.readline().strip()}", QT_QPA_PLATFORM="xcb")
            manager = self.spawn(["openbox", "--sm-disable", "--config-file", config], "openbox.log")
            wait_for(lambda: server.poll() is not None or manager.poll() is not None
                     or self.xdotool("get_desktop").returncode == 0, 15, "openbox")
            if server.poll() is None and manager.poll() is None:
                return
            self._end(manager)
            self._end(server)
        raise AssertionError("no virtual display with a window manager after three tries")

    def xdotool(self, *args, timeout=15):
        return subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True, timeout=timeout)

    def windows(self, title):
        """The visible windows titled exactly so."""
        return self.xdotool("search", "--onlyvisible", "--name", f"^{title}$").stdout.split()

    def window(self, title, other_than=None):
        found = wait_for(lambda: [window for window in self.windows(title) if window != other_than], 15,
                         f"a window titled {title!r}")
        assert len(found) == 1, f"{len(found)} windows titled {title!r}"
        return found[0]

    def press(self, window, keys):
        """Keys typed by a user into that window, made active as a click would."""
        typed = self.xdotool("windowactivate", "--sync", window, "key", "--clearmodifiers", keys)
        assert typed.returncode == 0, typed.stderr


def run_without_serial_port(staging, argv):
    os.makedirs(staging)
    subprocess.run(["mount", "-t", "tmpfs", "-o", "mode=755", "tmpfs", staging], check=True)
    for name in ("null", "zero", "full", "random", "urandom", "pts", "shm"):
        if os.path.isdir(f"/dev/{name}"):
            os.mkdir(f"{staging}/{name}")
        else:
            open(f"{staging}/{name}", "w").close()
        subprocess.run(["mount", "--rbind", f"/dev/{name}", f"{staging}/{name}"], check=True)
    os.symlink("/proc/self/fd", f"{staging}/fd")
    subprocess.run(["mount", "--move", staging, "/dev"], check=True)
    if os.path.exists(PORT):
        sys.exit(f"{PORT} is still there; not starting")
    os.execvp(argv[0], argv)


if __name__ == "__main__":
    assert sys.argv[1] == "--without-serial-port" and sys.argv[3] == "--", sys.argv
    run_without_serial_port(sys.argv[2], sys.argv[4:])
