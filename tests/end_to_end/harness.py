# SPDX-License-Identifier: MIT
"""Runs the real program as a user would, behind the masked serial port, and reads what it did from a system-call
trace. Holds `decode`, the project's strict decoder, which reads a minute's bits as a receiver would: run as a script,
it decodes the frames that the engine's tests send on a simulated clock, given one a line on standard input: the
zone (a name in the zone database), the time_t at which the minute began in it, then the lengths in ticks of its
60 pulses, or 61 in a minute with a leap second."""

import calendar, collections, contextlib, datetime, glob, os, pathlib, re, shutil, signal, stat, subprocess, sys
import struct, tempfile, termios, time

PROGRAM = os.environ.get("VELKORIN_PROGRAM", "")
RECORDER = os.environ.get("VELKORIN_RECORDER", "")  # bench/ioctl_recorder.cpp: the line changes, timed
LIBFAKETIME = next(iter(glob.glob("/usr/lib/*/faketime/libfaketime.so.1")), "")  # the Debian package libfaketime
PORT = "/dev/ttyS0"
TRACED = "open,openat,ioctl,read,write,writev,pwrite64,close,flock,fcntl,dup,dup2,dup3,timerfd_create,connect"
LINE_CHANGE = re.compile(r"\d+, (TIOCMBI[CS]), \[TIOCM_(DTR|RTS)\]$")
# With InvertOutput checked, as at every start: a pulse clears RTS and sets DTR, every idle tick the reverse. A
# pseudo-terminal refuses the clear (ENOTTY), and the set is then not tried: only the clear shows, at every tick.
PULSE, IDLE = (("TIOCMBIC", "RTS"), ("TIOCMBIS", "DTR")), (("TIOCMBIC", "DTR"), ("TIOCMBIS", "RTS"))
TICK_CHANGES = {(): ".", PULSE: "P", PULSE[:1]: "P", IDLE: "I", IDLE[:1]: "I"}

def require_masked_port():
    """Nothing is started unless /dev/ttyS0 is a pseudo-terminal (major 136) standing in for the machine's port."""
    seen = os.stat(PORT)
    if not (stat.S_ISCHR(seen.st_mode) and os.major(seen.st_rdev) == 136):
        sys.exit(f"{PORT} is no pseudo-terminal: run this under scripts/masked; nothing was started")
    if not (os.access(PROGRAM, os.X_OK) and shutil.which("strace")):
        sys.exit(f"VELKORIN_PROGRAM={PROGRAM!r} is no program, or strace is missing")


def wait_for(condition, timeout, what):
    deadline = time.monotonic() + timeout
    while not (result := condition()):
        if time.monotonic() > deadline:
            raise AssertionError(f"gave up after {timeout} s waiting for {what}")
        time.sleep(0.1)
    return result


Event = collections.namedtuple("Event", "time call args fd result error thread")  # fd: the first argument's, or -1


def read_trace(prefix):  # every thread's calls, from strace -ff (a file for each), in the order they were made
    return sorted(Event(float(at), call, args, int(fd or -1), int(result), error, path.rsplit(".", 1)[1])
                  for path in glob.glob(glob.escape(prefix) + ".*")
                  for at, call, args, fd, result, error in re.findall(
                      r"(?m)^(\d+\.\d+) (\w+)\(((\d*).*)\) += (-?\d+)(?: (E\w+))?",
                      pathlib.Path(path).read_text(errors="replace")))


def opened(events, path):
    return [event for event in events if event.call in ("open", "openat") and f'"{path}"' in event.args]


def port_events(events, port=PORT):
    """The one opening of the port that succeeded and the calls made on its descriptor from then until it is closed."""
    (opening,) = [event for event in opened(events, port) if event.result >= 0]
    after = [event for event in events if event.time >= opening.time and event.fd == opening.result]
    return opening, after[:next((at + 1 for at, event in enumerate(after) if event.call == "close"), None)]


def line_changes(events):
    return [found.groups() for event in events if event.call == "ioctl"
            if (found := LINE_CHANGE.search(event.args))]


def ticks(events, port=PORT):
    """Per expiry of the tick timer, the line changes tried, 'P' a pulse, 'I' the idle level, '.' none, and when: as the
    first was made, or else as the timer was read; up to the first that found the port hung up (EIO), as ending a run
    may do."""
    (timer,) = [event for event in events if event.call == "timerfd_create"]
    on_port, per_tick = set(port_events(events, port)[1]), []
    for event in events:
        if event.call == "read" and event.fd == timer.result and event.time > timer.time and event.result == 8:
            per_tick.append((event.time, ()))
        elif event in on_port and (found := LINE_CHANGE.search(event.args)):
            if event.error == "EIO":
                break
            at, changes = per_tick[-1]
            per_tick[-1] = (at if changes else event.time, changes + (found.groups(),))
    for at, (_, changes) in enumerate(per_tick[:-1]):  # the last tick may have been cut short by the run's end
        assert changes in TICK_CHANGES, f"tick {at} changed the lines so: {changes}"
    return [(at, TICK_CHANGES[changes]) for at, changes in per_tick[:-1]]


def frames(events, port=PORT):
    """The bits of each whole minute sent: the pulses, each from a 'P' to the next 'I', in periods of the 10 ms grid
    that the ticks fall in, and the minute marks, each a pulse start more than 150 periods after the one before."""
    pulses, began = [], None
    for at, tick in ticks(events, port):
        at = int(at * 100)
        if tick == "P" and began is None:
            began = at
        elif tick == "I" and began is not None:
            pulses.append((began, at - began))
            began = None
    marks = [at for at in range(1, len(pulses)) if pulses[at][0] - pulses[at - 1][0] > 150]
    for first, end in zip(marks, marks[1:]):
        lengths = [length for _, length in pulses[first:end]]
        # The lines' timing is held to the tick on the simulated clock; traced here on a shared machine, a tick held
        # up past its period moves an edge by a period or two.
        assert all(abs(length - 11) <= 2 or abs(length - 21) <= 2 for length in lengths), f"pulses of {lengths}"
        yield [int(length > 16) for length in lengths]


def decode(bits):
    """Reads a minute's bits as a strict receiver would, refusing what it would refuse; returns 'YYYY-MM-DD HH:MM ZONE',
    followed by ' A1' when it announces a change of the zone's offset and ' A2' when it announces a leap second."""
    sent = "".join(map(str, bits))

    def bcd(first, weights):
        units, tens = (sum(weight for weight, bit in zip(part, bits[at:]) if bit)
                       for part, at in ((weights[:4], first), (weights[4:], first + 4)))
        assert units <= 9 and tens <= 90, f"second {first} starts no BCD number: {sent}"
        return units + tens

    # A leap second adds one, second 59 a 0, before the minute mark.
    assert len(bits) == 59 or (len(bits) == 60 and bits[59] == 0), f"{len(bits)} bits between two minute marks: {sent}"
    assert not any(bits[0:16]), f"seconds 0 to 15 are not all 0: {sent}"
    assert bits[17] != bits[18], f"not exactly one of the zone bits 17 and 18: {sent}"
    assert bits[20] == 1, f"the start of the time, second 20, is not 1: {sent}"
    for first, parity in ((21, 28), (29, 35), (36, 58)):
        assert sum(bits[first:parity + 1]) % 2 == 0, f"odd parity over seconds {first} to {parity}: {sent}"
    minute, hour = bcd(21, (1, 2, 4, 8, 10, 20, 40)), bcd(29, (1, 2, 4, 8, 10, 20))
    day, month, year = bcd(36, (1, 2, 4, 8, 10, 20)), bcd(45, (1, 2, 4, 8, 10)), bcd(50, (1, 2, 4, 8, 10, 20, 40, 80))
    assert minute < 60 and hour < 24, f"no time of day: {sent}"
    assert 1 <= month <= 12 and 1 <= day <= calendar.monthrange(2000 + year, month)[1], f"no date: {sent}"
    date = datetime.date(2000 + year, month, day)
    assert bits[42] + 2 * bits[43] + 4 * bits[44] == date.isoweekday(), f"not the weekday of {date}: {sent}"
    announced = " A1" * bits[16] + " A2" * bits[19]
    return f"{date} {hour:02}:{minute:02} {'CEST' if bits[17] else 'CET'}{announced}"


def recorded_seconds(path):
    """The lines as the recorder saw them, per second of the clock: for each 10 ms period, '1' while the lines show a
    pulse (with InvertOutput checked, from setting DTR to setting RTS), as they stand at the period's end: a tick that
    the machine held up, as a busy one may, still changes them within the period it belongs to."""
    data = pathlib.Path(path).read_bytes()
    changes = [(nanos, lines == termios.TIOCM_DTR) for nanos, request, lines in struct.iter_unpack("=qIi", data[8:])
               if request == termios.TIOCMBIS]
    seconds, at = {}, 0
    for period in range(-(-changes[0][0] // 10_000_000), changes[-1][0] // 10_000_000):
        while at + 1 < len(changes) and changes[at + 1][0] < (period + 1) * 10_000_000:
            at += 1
        seconds.setdefault(period // 100, []).append("1" if changes[at][1] else "0")
    return {second: "".join(periods) for second, periods in seconds.items() if len(periods) == 100}


class Run(collections.namedtuple("Run", "process log")):
    """One start of the program, traced by strace into <log>.trace.<thread>."""

    def events(self):
        return read_trace(self.log + ".trace")

    def line_changes(self):
        return len(line_changes(self.events()))


class Session:
    """A private runtime directory and the runs started in it, each in a process group of its own, ended with it."""

    def __init__(self):
        require_masked_port()
        self.directory, self.runs = tempfile.mkdtemp(prefix="velkorin-e2e-"), []
        self.env = dict(os.environ, XDG_RUNTIME_DIR=self.directory, QT_QPA_PLATFORM="offscreen", TZ="Europe/Berlin")

    def __enter__(self):
        return self

    def __exit__(self, *_):
        for run in self.runs:
            self.stop(run)
        shutil.rmtree(self.directory, ignore_errors=True)

    def start(self, name="program", args=(), env=None, wrapper=()):  # wrapper: a command that runs the program
        log = os.path.join(self.directory, name)
        with open(log + ".out", "w") as output, open(log + ".err", "w") as errors:
            self.runs.append(Run(subprocess.Popen(
                ["strace", "-ff", "-ttt", "-s", "96", "--seccomp-bpf", "-e", f"trace={TRACED}", "-o", log + ".trace",
                 *wrapper, PROGRAM, *args], env=env or self.env, stdout=output, stderr=errors, start_new_session=True),
                log))
        return self.runs[-1]

    def start_recorded(self, name, args, **env):
        """The program on its own, its line changes recorded into <log>.lines, each answered as a serial port would."""
        log = os.path.join(self.directory, name)
        env = dict(self.env, LD_PRELOAD=RECORDER, IOCTL_RECORD_FILE=log + ".lines", **env)
        with open(log + ".err", "w") as errors:
            self.runs.append(Run(subprocess.Popen([PROGRAM, *args], env=env, stdout=subprocess.DEVNULL, stderr=errors,
                                                  start_new_session=True), log))
        return self.runs[-1]

    @staticmethod
    def stop(run):  # its process group asked to end, then, after a grace, killed
        for sig, grace in ((signal.SIGTERM, 3), (signal.SIGKILL, 10)):
            with contextlib.suppress(ProcessLookupError):
                os.killpg(run.process.pid, sig)
            with contextlib.suppress(subprocess.TimeoutExpired):
                return run.process.wait(timeout=grace)


if __name__ == "__main__":
    # With --refused-ok, a minute the decoder refuses is passed over, as a receiver waits for the next, but any minute it
    # reads must be right; pulses are timed as a receiver times them, a 0 from 40 to 140 ms and a 1 from 150 to 250 ms.
    lenient = "--refused-ok" in sys.argv
    for line in sys.stdin.readlines():
        zone, minute, *lengths = line.split()
        minute, lengths = int(minute), list(map(int, lengths))
        try:
            assert lengths[-1] == 0 and all(4 <= n <= 25 if lenient else n in (11, 21) for n in lengths[:-1]), lengths
            decoded = decode([int(length >= 15) for length in lengths[:-1]])
        except AssertionError:
            if lenient:
                continue
            raise
        # By the C library, which, unlike zoneinfo, reads the leap seconds that right/ zones count in time_t.
        os.environ["TZ"] = zone
        time.tzset()
        at = minute + len(lengths)
        mark = time.localtime(at)
        assert mark.tm_sec == 0, f"the minute from {minute} in {zone} ends at no minute mark"
        # Announced in the 60 frames before: a change of offset in the hour from the mark on; a leap second (the
        # zone's UTC shows 23:59:60, which counts as the next day's first second) from the mark's last second on,
        # up to the last second of a 61 s minute 59 minutes on.
        offset = [(time.localtime(t).tm_isdst, time.localtime(t).tm_gmtoff) for t in (at - 1, at + 3599)]
        leaps = 3542 - (calendar.timegm(time.gmtime(at + 3541)) - calendar.timegm(time.gmtime(at - 1)))
        # The code names the zone's summer and standard time as Germany's, whichever zone sends it.
        due = time.strftime("%Y-%m-%d %H:%M ", mark) + ("CEST" if mark.tm_isdst else "CET")
        due += " A1" * (offset[0] != offset[1]) + " A2" * leaps
        assert decoded == due, f"the frame sent from {minute} announces {decoded}, not {due}"
