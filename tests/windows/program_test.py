# SPDX-License-Identifier: MIT
"""The Windows program under Wine on the display that scripts/windows-check provides, COM1 masked: its line requests,
a second copy, an absent port, closing, the installer. Wine refuses line changes on a port opened only for writing, so
the wire stays still; checked is what the program asks of the port, each request and its time, from Wine's trace."""

import os, pathlib, re, subprocess, sys, tempfile, unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "end_to_end"))
from harness import PORT, decode, wait_for  # noqa: E402

WINE, PREFIX = "/usr/lib/wine/wine64", pathlib.Path(os.environ.get("WINEPREFIX", "/nonexistent"))
LINE_REQUEST = re.compile(r"(?m)^(\d+\.\d+):\w+:trace:comm:io_control \S+ IOCTL_SERIAL_(SET|CLR)_(DTR|RTS)")
PULSE, IDLE = (("CLR", "RTS"), ("SET", "DTR")), (("CLR", "DTR"), ("SET", "RTS"))  # clear before set, as sent
LOGS = tempfile.mkdtemp(prefix="velkorin-wine-")


class Run:  # one start under Wine, with Wine's trace of the port's requests, timed in milliseconds, on standard error
    def __init__(self, name, *command):
        self.log = pathlib.Path(LOGS, name + ".log")
        env = dict(os.environ, WINEDEBUG="+timestamp,+comm", TZ="Europe/Berlin")
        with open(self.log, "w") as log:
            self.process = subprocess.Popen([WINE, *command], env=env, stdout=log, stderr=log)

    def pulses(self):
        """Each pulse's start and length in seconds, from its requests to those of the idle levels that end it."""
        found = LINE_REQUEST.findall(self.log.read_text("latin-1"))
        pairs = [(float(found[at][0]), (found[at][1:], found[at + 1][1:])) for at in range(0, len(found) - 1, 2)]
        assert {pair for _, pair in pairs} <= {PULSE, IDLE}, f"requests not in the pairs sent: {found[:40]}"
        ends = [at for at, pair in pairs if pair == IDLE]
        return [(at, next(end for end in ends if end > at) - at) for at, pair in pairs if pair == PULSE and any(end > at for end in ends)]

    def ended(self):
        return self.process.wait(timeout=30)


def answer(title, key):  # keys reach a window only once the window manager has made it the active one
    shown = wait_for(lambda: subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                                            capture_output=True, text=True).stdout.split(), 60, f"a window {title!r}")
    subprocess.run(["xdotool", "windowactivate", "--sync", shown[0], "key", key], check=True, timeout=30)


class Program(unittest.TestCase):
    def test_a_minute_sent_while_a_second_copy_is_told_and_the_window_closed(self):
        first = Run("first", os.environ["VELKORIN_PROGRAM"], "--start", "2027-06-01 11:59:56")
        wait_for(first.pulses, 60, "pulses")
        second = Run("second", os.environ["VELKORIN_PROGRAM"])
        # Told it is running already. Windows' serial driver would then refuse it the port the first holds, a second
        # box; Wine lets it open the port, so it ends here.
        answer("Error", "Return")
        self.assertEqual(second.ended(), 0)
        # Two minute marks 59 pulses apart, and the minute between them read as a receiver would: from 160 ms a 1.
        pulses = wait_for(lambda: (found := first.pulses()) and found[-1][0] > found[0][0] + 64 and found, 90, "a minute")
        answer("Velkorin", "alt+F4")
        self.assertEqual(first.ended(), 0)
        marks = [at for at, (start, after) in enumerate(zip(pulses, pulses[1:])) if after[0] - start[0] > 1.5]
        self.assertEqual(marks[1:2], [marks[0] + 59], pulses)
        minute = pulses[marks[0] + 1:marks[1] + 1]
        self.assertEqual(decode([int(length >= 0.16) for _, length in minute]), "2027-06-01 12:01 CEST", minute)

    def test_the_ports_listed_and_an_absent_one_told_once(self):
        listing = Run("list", os.environ["VELKORIN_PROGRAM"], "--list-ports")
        self.assertEqual(listing.ended(), 0)
        self.assertIn(r"COM1 (\\.\COM1)", listing.log.read_text("latin-1").splitlines())
        # COM1 is the masked stand-in here, so the absent port is one that no machine here has.
        run = Run("absent", os.environ["VELKORIN_PROGRAM"], "--port", "COM9")
        answer("Error", "Return")
        self.assertEqual(run.ended(), 0)  # a further box would keep it waiting
        self.assertIn(r"cannot open the port COM9 (\\.\COM9): File not found", run.log.read_text("latin-1"))


class Installer(unittest.TestCase):
    def test_installed_silently_run_from_the_menu_and_removed_leaving_nothing(self):
        files = lambda: {path for path in (PREFIX / "drive_c").rglob("*") if "Temp" not in path.parts}
        before, folder = files(), PREFIX / "drive_c" / "Program Files" / "Velkorin"
        self.assertEqual(Run("installer", os.environ["VELKORIN_INSTALLER"], "/S").ended(), 0)
        entry = PREFIX / "drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Velkorin.lnk"
        self.assertIn("velkorin.exe".encode("utf-16-le"), entry.read_bytes().lower())
        run = Run("installed", "start", "/wait", "/unix", str(entry))
        wait_for(run.pulses, 60, "the installed program's pulses")
        answer("Velkorin", "alt+F4")
        self.assertEqual(run.ended(), 0)
        self.assertEqual(Run("uninstaller", str(folder / "uninstall.exe"), "/S").ended(), 0)
        wait_for(lambda: not folder.exists(), 60, "the uninstaller, which goes on from a copy of itself")
        self.assertEqual(files() - before, set())


if __name__ == "__main__":
    if not (PREFIX.exists() and os.major(os.stat(PORT).st_rdev) == 136):  # 136: a pseudo-terminal
        sys.exit(f"{PORT} is no pseudo-terminal or WINEPREFIX is missing: run this under scripts/masked")
    unittest.main()
