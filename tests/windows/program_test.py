# SPDX-License-Identifier: MIT
"""The Windows program under Wine on the display that scripts/windows-check provides, COM1 masked: its line requests in
another zone than the system's, a second copy, an absent port, an unknown zone, closing, Ctrl-C in a command prompt
with the code playing on a sound server's sink, the sound devices and a sound file, the installer and the service. Wine
refuses line changes on a port opened only for writing, so the wire stays still; checked is what the program asks of
the port, each request and its time, from Wine's trace."""

import array, contextlib, os, pathlib, pty, re, signal, subprocess, sys, tempfile, threading, unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "end_to_end"))
from harness import PORT, decode, wait_for  # noqa: E402

WINE, SERVER = "/usr/lib/wine/wine64", "/usr/lib/wine/wineserver64"
PREFIX = pathlib.Path(os.environ.get("WINEPREFIX", "/nonexistent"))
EVENT_SOURCE = r"HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Velkorin"
LINE_REQUEST = re.compile(r"(?m)^(\d+\.\d+):\w+:trace:comm:io_control \S+ IOCTL_SERIAL_(SET|CLR)_(DTR|RTS)")
PULSE, IDLE = (("CLR", "RTS"), ("SET", "DTR")), (("CLR", "DTR"), ("SET", "RTS"))  # clear before set, as sent
LOGS = tempfile.mkdtemp(prefix="velkorin-wine-")


class Run:  # one start under Wine, with Wine's trace of the port's requests, timed in milliseconds, on standard error
    def __init__(self, name, *command, zone="Europe/Berlin", trace="+timestamp,+comm"):
        self.log = pathlib.Path(LOGS, name + ".log")
        env = dict(os.environ, WINEDEBUG=trace, TZ=zone)
        with open(self.log, "w") as log:
            self.process = subprocess.Popen([WINE, *command], env=env, stdout=log, stderr=log)

    def text(self):
        return self.log.read_text("latin-1")

    def pulses(self):
        """Each pulse's start and length in seconds, from its first request to the first for the idle levels after it.
        Wine refuses the clear that begins each pair, so the set is never asked for, and the clear is asked again at
        every tick."""
        requests = [(float(at), (kind, line)) for at, kind, line in LINE_REQUEST.findall(self.text())]
        assert {request for _, request in requests} <= {PULSE[0], IDLE[0]}, f"a set after a refused clear: {requests}"
        pulses, began = [], None
        for at, request in requests:
            if request == PULSE[0] and began is None:
                began = at
            elif request == IDLE[0] and began is not None:
                pulses.append((began, at - began))
                began = None
        return pulses

    def ended(self):
        return self.process.wait(timeout=30)


def answer(title, key):  # keys reach a window only once the window manager has made it the active one
    # The title goes on with the options, and with the port's trouble: under Wine, "COM1 refuses its lines".
    shown = wait_for(lambda: subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}( .*)?$"],
                                            capture_output=True, text=True).stdout.split(), 60, f"a window {title!r}")
    subprocess.run(["xdotool", "windowactivate", "--sync", shown[0], "key", key], check=True, timeout=30)


class Program(unittest.TestCase):
    def test_a_minute_sent_while_a_second_copy_is_told_and_the_window_closed(self):
        # Berlin's time on a system in New York's zone, from just before Berlin changes to summer time, two weeks after
        # New York did: the first minute after the change names 03:01 CEST, which the system's zone would call 02:01.
        first = Run("first", os.environ["VELKORIN_PROGRAM"], "--zone", "Europe/Berlin",
                    "--start", "2027-03-28 01:59:56", zone="America/New_York")
        wait_for(first.pulses, 60, "pulses")
        second = Run("second", os.environ["VELKORIN_PROGRAM"])
        # Told it is running already. Windows' serial driver would then refuse it the port the first holds, a second
        # box; Wine lets it open the port, so it ends here.
        answer("Error", "Return")
        self.assertEqual(second.ended(), 1)
        # Two minute marks 59 pulses apart, and the minute between them read as a receiver would: from 160 ms a 1.
        pulses = wait_for(lambda: (found := first.pulses()) and found[-1][0] > found[0][0] + 64 and found, 90, "a minute")
        answer("Velkorin", "alt+F4")
        self.assertEqual(first.ended(), 0)
        marks = [at for at, (start, after) in enumerate(zip(pulses, pulses[1:])) if after[0] - start[0] > 1.5]
        self.assertEqual(marks[1:2], [marks[0] + 59], pulses)
        minute = pulses[marks[0] + 1:marks[1] + 1]
        self.assertEqual(decode([int(length >= 0.16) for _, length in minute]), "2027-03-28 03:01 CEST", minute)

    def test_the_ports_listed_an_absent_one_told_once_and_an_unknown_zone_refused(self):
        listing = Run("list", os.environ["VELKORIN_PROGRAM"], "--list-ports")
        self.assertEqual(listing.ended(), 0)
        self.assertIn(r"COM1 (\\.\COM1)", listing.log.read_text("latin-1").splitlines())
        # COM1 is the masked stand-in here, so the absent port is one that no machine here has.
        run = Run("absent", os.environ["VELKORIN_PROGRAM"], "--port", "COM9")
        answer("Error", "Return")
        self.assertEqual(run.ended(), 1)  # a further box would keep it waiting
        self.assertIn(r"cannot open the port COM9 (\\.\COM9): File not found", run.text())
        nowhere = Run("nowhere", os.environ["VELKORIN_PROGRAM"], "--zone", "Nowhere/Else")
        self.assertEqual(nowhere.ended(), 2)
        self.assertIn("Nowhere/Else", nowhere.text())

    def test_the_sound_devices_listed_and_a_sound_file_as_the_linux_programs(self):
        listing = Run("audio-list", os.environ["VELKORIN_PROGRAM"], "--list-audio")  # the sound server's, through Wine
        self.assertEqual(listing.ended(), 0)
        self.assertLessEqual({"default: the system's default output, now PulseAudio", "PulseAudio: mixed at 48000 Hz",
                              "Null Output: mixed at 48000 Hz"}, set(listing.text().splitlines()))
        options, files = ["--zone", "Europe/Berlin", "--start", "2027-03-28 01:59"], (f"{LOGS}/w.wav", f"{LOGS}/l.wav")
        self.assertEqual(Run("file", os.environ["VELKORIN_PROGRAM"], "--audio-file", files[0], *options).ended(), 0)
        subprocess.run([os.environ["VELKORIN_LINUX_PROGRAM"], "--audio-file", files[1], *options], check=True)
        windows, linux = (array.array("h", pathlib.Path(path).read_bytes()) for path in files)  # the header: 22 of them
        self.assertEqual((len(windows), windows[:22]), (len(linux), linux[:22]))
        self.assertLessEqual(max(abs(one - other) for one, other in zip(windows, linux)), 1)  # a sine may round apart


class Installer(unittest.TestCase):
    def test_installed_silently_run_from_the_menu_and_removed_leaving_nothing(self):
        before, folder = installed_files(), PREFIX / "drive_c" / "Program Files" / "Velkorin"
        self.assertEqual(Run("installer", os.environ["VELKORIN_INSTALLER"], "/S").ended(), 0)
        entry = PREFIX / "drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Velkorin.lnk"
        self.assertIn("velkorin.exe".encode("utf-16-le"), entry.read_bytes().lower())
        run = Run("installed", "start", "/wait", "/unix", str(entry))
        wait_for(run.pulses, 60, "the installed program's pulses")
        answer("Velkorin", "alt+F4")
        self.assertEqual(run.ended(), 0)
        self.assertEqual(Run("uninstaller", str(folder / "uninstall.exe"), "/S").ended(), 0)
        wait_for(lambda: not folder.exists(), 60, "the uninstaller, which goes on from a copy of itself")
        self.assertEqual(installed_files() - before, set())


class Console(unittest.TestCase):
    def test_ctrl_c_typed_in_a_command_prompt_ends_the_program_through_its_handler(self):
        # Started from Wine's command prompt on a terminal of its own, the program joins the prompt's console, as on
        # Windows, and Ctrl-C typed there reaches both. A program that does not take it is ended by Wine's default
        # handler, which says so in the trace, with the process's number: so is the prompt, which takes none under Wine.
        child, terminal = pty.fork()
        if child == 0:
            os.execve(WINE, [WINE, "cmd"], dict(os.environ, WINEDEBUG="+pid,+comm", TZ="Europe/Berlin"))
        shown = bytearray()
        threading.Thread(target=copy_all, args=(terminal, shown), daemon=True).start()
        command = "Z:" + os.environ["VELKORIN_PROGRAM"].replace("/", "\\") + " --no-window --audio default"
        self.addCleanup(os.close, terminal)
        self.addCleanup(lambda: [os.kill(pid, signal.SIGKILL) for pid in processes(command) + [child]])
        wait_for(lambda: re.search(rb"\w:\\\S*>", shown), 60, "the prompt")
        os.write(terminal, command.encode() + b"\r")
        requests = rb"(?m)^([0-9a-f]+):[0-9a-f]+:trace:comm:"
        (program,) = wait_for(lambda: set(re.findall(requests, shown)), 60, "the program's line requests")
        # The console draws the text with its cursor hidden and shown around each letter, a space as a move of the
        # cursor, and breaks the lines at its width.
        drawn = lambda: re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]|[\r\n]", b"", re.sub(rb"\x1b\[1C", b" ", shown))
        wait_for(lambda: b"velkorin: the port COM1" in drawn(), 60, "its reports in the prompt")
        self.assertTrue(processes(command))
        # Meanwhile the sink plays the tone at DCF77's 15 % for a tenth or a fifth of each second; no report tells of
        # trouble with the sound device.
        recorded = subprocess.run(["timeout", "4", "parec", "--device=clocked.monitor", "--raw", "--channels=1"],
                                  capture_output=True).stdout  # 16-bit at 44.1 kHz: 882 bytes in 10 ms
        peaks = [max(map(abs, array.array("h", recorded[at:at + 882]))) for at in range(0, len(recorded) - 881, 882)]
        self.assertTrue(0.05 < sum(0.08 < peak / max(peaks) < 0.3 for peak in peaks) / len(peaks) < 0.3, peaks)
        self.assertNotIn(b"sound device", drawn())
        os.write(terminal, b"\x03")
        wait_for(lambda: not processes(command), 30, "the program's end")
        ended = {int(found, 16) for found in re.findall(rb"default_ctrl_handler Terminating process (\w+)", shown)}
        self.assertTrue(ended, "Wine's default handler ended nothing: the Ctrl-C reached no one")
        self.assertNotIn(int(program, 16), ended, f"Wine's default handler ended the program, {program}")


class Service(unittest.TestCase):
    def test_installed_started_stopped_refused_as_a_second_copy_and_removed_leaving_nothing(self):
        # Wine's service manager starts with the session, from its first program, and hands that program's environment
        # and standard error on to the services it starts: the session is started afresh with the installer, so that
        # its log holds the service's trace, with the event log's calls, which Wine only traces, and the states the
        # service reports to the manager.
        for step in ("--kill", "--wait", "--persistent"):
            subprocess.run([SERVER, step], check=True)
        before, folder = installed_files(), PREFIX / "drive_c" / "Program Files" / "Velkorin"
        service = Run("service", os.environ["VELKORIN_INSTALLER"], "/S", "/SERVICE", "/PORT=COM1",
                      trace="+timestamp,+comm,+eventlog,+service")
        self.assertEqual(service.ended(), 0)
        self.assertIn("RUNNING", query("sc", "query", "Velkorin")[1])
        self.assertIn("velkorin.exe", query("reg", "query", EVENT_SOURCE, "/v", "EventMessageFile")[1])
        wait_for(service.pulses, 60, "the service's pulses")
        self.assertIn('warn:eventlog:ReportEventW L"the port COM1', service.text())

        self.assertEqual(query("net", "stop", "Velkorin")[0], 0)
        self.assertRegex(query("sc", "query", "Velkorin")[1],
                         r"STOPPED\s+WIN32_EXIT_CODE\s+: 0 .*\s+SERVICE_EXIT_CODE\s+: 0 ")
        # From the main thread: running, taking stop and shutdown; told to stop, stopping; then, its ports closed and no
        # line requested any more, stopped, with status 0. The lines are asked for from the tick's own thread.
        ticking = re.findall(r"(?m)^(\d+\.\d+):(\w+):trace:comm:", service.text())[-1]
        states = re.findall(r"(?m)^(\d+\.\d+):(\w+):trace:service:SetServiceStatus \S+ 0x10 (\S+ \S+ \S+ \S+)",
                            service.text())
        main = next(thread for _, thread, state in states if state.startswith("0x4 "))
        self.assertEqual([state for _, thread, state in states if thread == main],
                         ["0x4 0x5 0 0", "0x3 0 0 0", "0x1 0 0 0"])
        self.assertNotEqual(ticking[1], main)
        self.assertLess(float(ticking[0]), float(states[-1][0]))

        # A second copy, kept out by the one that runs, ends as a service that failed, with status 1, and says why.
        first = Run("first-copy", os.environ["VELKORIN_PROGRAM"], "--no-window", "--port", "COM9")
        self.addCleanup(lambda: (first.process.kill(), first.process.wait()))
        wait_for(lambda: "cannot open the port COM9" in first.text(), 60, "the first copy")
        query("sc", "start", "Velkorin")
        stopped = wait_for(lambda: "STOPPED" in (state := query("sc", "query", "Velkorin")[1]) and state, 60, "its end")
        self.assertRegex(stopped, r"WIN32_EXIT_CODE\s+: 1066 .*\s+SERVICE_EXIT_CODE\s+: 1 ")
        self.assertIn('err:eventlog:ReportEventW L"Application already running"', service.text())

        self.assertEqual(Run("uninstaller", str(folder / "uninstall.exe"), "/S").ended(), 0)
        wait_for(lambda: not folder.exists(), 60, "the uninstaller, which goes on from a copy of itself")
        self.assertNotEqual(query("sc", "query", "Velkorin")[0], 0)
        self.assertNotEqual(query("reg", "query", EVENT_SOURCE)[0], 0)
        self.assertEqual(installed_files() - before, set())


def copy_all(terminal, into):  # everything the terminal shows, until it is closed
    with contextlib.suppress(OSError):
        while chunk := os.read(terminal, 4096):
            into += chunk


def processes(command):  # Wine gives a program's process its Windows command line
    found = []
    for line in pathlib.Path("/proc").glob("[0-9]*/cmdline"):
        with contextlib.suppress(OSError):
            if line.read_bytes().replace(b"\0", b" ").strip() == command.encode():
                found.append(int(line.parent.name))
    return found


def query(*command):  # a Windows tool's status and what it printed
    run = Run(command[0], *command, trace="-all")
    return run.ended(), run.text()


def installed_files():  # the prefix's files, those in temporary folders aside
    return {path for path in (PREFIX / "drive_c").rglob("*") if "Temp" not in path.parts}


if __name__ == "__main__":
    if not (PREFIX.exists() and os.major(os.stat(PORT).st_rdev) == 136):  # 136: a pseudo-terminal
        sys.exit(f"{PORT} is no pseudo-terminal or WINEPREFIX is missing: run this under scripts/masked")
    unittest.main()
