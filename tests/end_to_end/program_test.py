# SPDX-License-Identifier: MIT
"""The real program as a user runs it, under strace and scripts/masked, with VELKORIN_PROGRAM naming it: its port,
its lines, a second copy kept out, its end when told to stop, and a port and a start time chosen on the command line."""

import contextlib, os, pathlib, signal, socket, threading, time, unittest

import codes

from harness import IDLE, PORT, PULSE, Session, decode, frames, line_changes, opened, port_events, recorded_seconds
from harness import LIBFAKETIME, require_masked_port
from harness import wait_for


class OnTheWire(unittest.TestCase):
    def test_the_port_and_its_lines_and_a_second_copy_kept_out(self):
        with Session() as session:
            first = session.start("first")
            wait_for(lambda: first.line_changes() > 300, 15, "line changes")
            opening, calls = port_events(first.events())
            self.assertEqual(opening.args.split(", ")[2], "O_WRONLY|O_NOCTTY|O_NONBLOCK|O_CLOEXEC")
            self.assertEqual([(call.call, call.args.split(", ", 1)[1], call.result) for call in calls[:2]],
                             [("flock", "LOCK_EX|LOCK_NB", 0), ("ioctl", "TIOCEXCL", 0)])
            changes = line_changes(calls)
            self.assertEqual(len(changes), len(calls) - 2, "anything but line changes on the port: no bytes, no settings")
            # The pseudo-terminal refuses every clear, so no line is ever set; told of once, with the system's reason.
            self.assertEqual(set(changes), {PULSE[0], IDLE[0]})
            told = pathlib.Path(first.log + ".err").read_text()
            self.assertEqual(told.count("does not take line changes: Inappropriate ioctl for device"), 1, told)

            second = session.start("second")  # held by its first message box, which no one closes here
            locks = wait_for(lambda: [event for event in second.events() if event.call == "flock"], 15, "its guard")
            self.assertEqual([lock.error for lock in locks], ["EAGAIN"])
            wait_for(lambda before=first.line_changes(): first.line_changes() > before + 20, 15, "the first going on")
            self.assertFalse(opened(second.events(), PORT), "the port tried while the first box is shown")


class ToldToStop(unittest.TestCase):
    def test_each_stop_signal_closes_the_port_and_ends_with_status_0(self):
        for stop in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            with self.subTest(stop.name), Session() as session:
                run = session.start(stop.name)
                wait_for(run.line_changes, 15, "line changes")
                os.killpg(run.process.pid, stop)  # strace, which runs the program in this group, lets it through
                self.assertEqual(run.process.wait(timeout=10), 0)
                self.assertEqual(port_events(run.events())[1][-1].call, "close")

    def test_ended_within_two_seconds_whatever_its_sound_device_does(self):
        with Session() as session:  # the device writes into a pipe no one reads: it stalls once the pipe is full
            fifo, config = (os.path.join(session.directory, name) for name in ("fifo", "asound.conf"))
            os.mkfifo(fifo)
            pathlib.Path(config).write_text(f'pcm.stall {{ type file; slave.pcm {{ type null }}; file "{fifo}" }}')
            with open(os.open(fifo, os.O_RDONLY | os.O_NONBLOCK), "rb"):
                run = session.start("stalled", ["--no-window", "--audio", "stall"], dict(session.env, ALSA_CONFIG_PATH=config))
                time.sleep(4)  # the pipe filled
                told = time.monotonic()
                os.killpg(run.process.pid, signal.SIGTERM)
                self.assertEqual(run.process.wait(timeout=10), 0)
                self.assertLess(time.monotonic() - told, 2)
            self.assertIn("the sound device stall does not answer", pathlib.Path(run.log + ".err").read_text())

    def test_told_while_a_start_up_box_waits_for_an_answer(self):
        with Session() as session:
            first = session.start("first")
            wait_for(first.line_changes, 15, "line changes")
            second = session.start("second")  # its box, "Application already running", waits for an answer
            wait_for(lambda: [event for event in second.events() if event.call == "flock"], 15, "its guard")
            os.killpg(second.process.pid, signal.SIGTERM)
            self.assertEqual(second.process.wait(timeout=10), 0)


class ChoosingThePort(unittest.TestCase):
    def test_a_chosen_port_driven_the_list_opening_no_terminal_and_a_command_line_refused_at_once(self):
        master, chosen = os.openpty()
        with Session() as session, open(master), open(chosen):
            run = session.start("chosen", ["--port", os.ttyname(chosen)])
            wait_for(run.line_changes, 15, "line changes")
            session.stop(run)
            self.assertEqual(len(line_changes(port_events(run.events(), os.ttyname(chosen))[1])), run.line_changes())
            self.assertEqual(opened(run.events(), PORT), [])
            for args, status, stream, told in ((["--list-ports"], 0, "out", "COM1 (/dev/ttyS0)"),
                                               (["--no-such-option"], 2, "err", "no-such-option"),
                                               (["--port", "LPT1"], 2, "err", "'LPT1' names no serial port"),
                                               (["--start", "2027-03-28 02:30"], 2, "err", "2027-03-28 02:30")):
                run = session.start(args[-1].strip("-"), args)
                self.assertEqual(run.process.wait(timeout=10), status, args)
                self.assertIn(told, pathlib.Path(f"{run.log}.{stream}").read_text(), args)
                self.assertEqual([event.args for event in run.events() if event.call in ("open", "openat")
                                  and ('"/dev/tty' in event.args or '"/dev/pts' in event.args)], [], args)
                self.assertNotIn("timerfd_create", [event.call for event in run.events()], f"a window made for {args}")
            # The tick's and the sound's threads say at start what they got: as root, real-time; denied it, why, and
            # they run on.
            denied = ["setpriv", "--inh-caps=-sys_nice,-ipc_lock", "--bounding-set=-sys_nice,-ipc_lock"]
            for wrapper, timing in (([], "the tick real-time (SCHED_FIFO 30), the sound real-time (SCHED_FIFO 25), "
                                         "memory locked;"),
                                    (denied, "the tick and the sound ordinary, as real-time is not permitted "
                                             "(RLIMIT_RTPRIO 0, no CAP_SYS_NICE), memory not locked")):
                run = session.start(f"timing{len(wrapper)}", ["--no-window", "--audio", "null"], wrapper=wrapper)
                wait_for(run.line_changes, 15, "line changes")
                session.stop(run)
                self.assertIn("; timing: " + timing, pathlib.Path(run.log + ".err").read_text(), wrapper)
            # What can never be a serial port is refused, not waited for; the terminal without the preloaded
            # stand-in's answers is one without modem-control lines.
            for port, env, why in ((os.devnull, {}, "a device without modem-control lines"),
                                   (session.directory, {}, "a directory"), (run.log + ".err", {}, "no device but a file"),
                                   (os.ttyname(chosen), {"LD_PRELOAD": ""}, "a device without modem-control lines")):
                run = session.start("no-port", ["--no-window", "--port", port], dict(session.env, **env))
                self.assertEqual(run.process.wait(timeout=10), 2, port)
                self.assertIn(f"{port} is no serial port: it is {why}", pathlib.Path(run.log + ".err").read_text())


class ChosenStart(unittest.TestCase):
    def test_the_autumn_change_sent_from_a_chosen_start_on_the_real_clock(self):
        with Session() as session:
            # In the hour that autumn repeats, at its first pass: the one whole minute sent announces the change.
            run = session.start("autumn", ["--start", "2027-10-31 02:58:50"])
            wait_for(lambda: run.line_changes() and list(frames(run.events())), 90, "a whole minute")
            session.stop(run)
            self.assertEqual([decode(bits) for bits in frames(run.events())], ["2027-10-31 02:00 CET A1"])


def shaped(ticks, shapes):
    """The pulse shape a second was sent as: the lines' timing is held to the tick on the simulated clock, but here,
    three programs at once on a shared machine, a tick held up past its period moves an edge by a tick or two."""
    nearest = min(shapes, key=lambda shape: sum(sent != due for sent, due in zip(ticks, shape)))
    return nearest if sum(sent != due for sent, due in zip(ticks, nearest)) <= 2 else ticks


class ClockSet(unittest.TestCase):
    def test_the_minute_the_clock_is_set_in_is_not_sent_and_the_next_is_right(self):
        with Session() as session:  # the clock set by libfaketime, whose offset file is read at every reading
            offset = os.path.join(session.directory, "offset")
            pathlib.Path(offset).write_text("+0")
            env = dict(session.env, LD_PRELOAD=f"{LIBFAKETIME} {session.env.get('LD_PRELOAD', '')}",
                       FAKETIME_TIMESTAMP_FILE=offset, FAKETIME_NO_CACHE="1",
                       FAKETIME_DONT_FAKE_MONOTONIC="1")
            run = session.start("set", ["--start", "2027-06-01 11:58:50"], env)
            # 11:59:05, set to 12:59:50; half-way through the second, between its pulses, as the chosen start and the
            # step are whole seconds: a pulse cut by the step would have the step's length in the trace's time.
            time.sleep(15 + (0.5 - time.time() % 1) % 1)
            pathlib.Path(offset).write_text("+3645")
            time.sleep(75)
            session.stop(run)
            read = []
            for bits in frames(run.events()):
                with contextlib.suppress(AssertionError):
                    read.append(decode(bits))
            self.assertEqual(read, ["2027-06-01 13:01 CEST"])  # sent during 13:00, the first minute after
            self.assertIn("nothing more is sent in this minute: the PC clock was set by +3645.0",
                          pathlib.Path(run.log + ".err").read_text())


class EveryCode(unittest.TestCase):
    def test_each_code_read_from_the_wire_by_its_own_decoder(self):
        # Each at a chosen start, a minute hard for it; all three at once, each with a port, a guard and a service
        # manager of its own, whose status names the minute the code's frames name.
        wanted = {"msf": ("2027-03-28 00:58:50", codes.decode_msf, "2027-03-28 02:00 BST", "summer_time_warning",
                          "00:59 GMT"),  # the first status: MSF's frame names the coming minute, the others their own
                  "wwvb": ("2028-12-31 23:58:50", codes.decode_wwvb, "2028-12-31 23:59 UTC", "leap_year", "23:58 UTC"),
                  "jjy": ("2027-06-01 12:44:50", lambda minute: codes.decode_jjy(minute, 2027), "2027-06-01 12:45 JST",
                          "call_sign_minute", "12:44 JST")}
        with contextlib.ExitStack() as stack:
            runs, managers = {}, {}
            for code, (start, *_) in wanted.items():
                master, stand_in = os.openpty()
                stack.callback(os.close, master)
                stack.callback(os.close, stand_in)
                session = stack.enter_context(Session())
                managers[code] = stack.enter_context(socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM))
                managers[code].bind(os.path.join(session.directory, "notify"))
                runs[code] = session.start_recorded(code, ["--no-window", "--code", code, "--port",
                                                           os.ttyname(stand_in), "--start", start],
                                                    NOTIFY_SOCKET=managers[code].getsockname())
            time.sleep(75)
            for run in runs.values():
                Session.stop(run)
            for code, run in runs.items():
                _, decode_minute, named, flag, status = wanted[code]
                shapes = {"msf": codes.MSF_SHAPES, "wwvb": codes.WWVB_SHAPES, "jjy": codes.JJY_SHAPES}[code]
                seconds = {second: shaped(ticks, shapes)
                           for second, ticks in recorded_seconds(run.log + ".lines").items()}
                marker = "1" * 50 + "0" * 50 if code == "msf" else "1" * 80 + "0" * 20 if code == "wwvb" else \
                    "0" * 20 + "1" * 80  # MSF's second 0; WWVB's and JJY's, after second 59's marker
                decoded = [decode_minute([seconds[second + at] for at in range(60)]) for second in seconds
                           if all(second + at in seconds for at in range(60)) and seconds[second] == marker and
                           (code == "msf" or seconds.get(second - 1) == marker)]
                self.assertIn(named, [minute for minute, _ in decoded], code)
                self.assertTrue(all(flags[flag] for minute, flags in decoded if minute == named), code)
                managers[code].setblocking(False)
                told = []
                with contextlib.suppress(BlockingIOError):
                    told += iter(lambda code=code: managers[code].recv(4096).decode(), None)
                self.assertTrue([line for line in told if "STATUS" in line][0].startswith("STATUS=Sending " + status))


class Unattended(unittest.TestCase):
    def test_no_window_two_ports_one_late_and_the_service_manager_told(self):
        master, stand_in = os.openpty()
        with Session() as session, open(master), open(stand_in), \
                socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM) as manager:
            late = os.path.join(session.directory, "late-adapter")
            manager.bind(os.path.join(session.directory, "notify"))
            told = []  # what the program told its manager, and when
            threading.Thread(target=lambda: [told.append((time.monotonic(), manager.recv(4096).decode()))
                                             for _ in iter(int, 1)], daemon=True).start()
            env = {name: value for name, value in session.env.items()
                   if name not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
            env.update(NOTIFY_SOCKET=manager.getsockname(), WATCHDOG_USEC="2000000")
            run = session.start("unattended", ["--no-window", "--port", "COM1", "--port", late, "--start",
                                               "2027-06-01 11:59:50"], env)
            wait_for(run.line_changes, 15, "line changes")
            time.sleep(2)
            os.symlink(os.ttyname(stand_in), late)  # as udev makes the stable name of an adapter plugged in
            appeared = time.time()
            wait_for(lambda: (events := run.events()) and [opening for opening in opened(events, late)
                                                            if opening.result >= 0] and list(frames(events, late)),
                     100, "a whole minute on the late port")
            # A second copy, its standard error the journal's stream as systemd names it: the line with its severity.
            journal = pathlib.Path(session.directory, "second.err")
            journal.touch()
            env["JOURNAL_STREAM"] = f"{journal.stat().st_dev}:{journal.stat().st_ino}"
            self.assertEqual(session.start("second", ["--no-window"], env).process.wait(timeout=10), 1)
            session.stop(run)
            self.assertEqual(run.process.returncode, 0)

            events = run.events()
            self.assertLess(port_events(events, late)[1][0].time - appeared, 1.5, "the late port's first pulse")
            for port in (PORT, late):
                self.assertIn("2027-06-01 12:01 CEST", [decode(bits) for bits in frames(events, port)], port)
            self.assertEqual([event.args for event in events if event.call == "connect"
                              and ("X11" in event.args or "wayland" in event.args)], [], "a display tried")
            messages = [message for _, message in told]
            self.assertEqual((messages[0], messages[-1]), ("READY=1", "STOPPING=1"))
            status = f"STATUS=Sending 12:01 CEST on COM1 (/dev/ttyS0) and {late}; PC clock "  # and its state here
            self.assertTrue([message for message in messages if message.startswith(status)], messages)
            alive = [at for at, message in told if message == "WATCHDOG=1"]
            self.assertLess(max(later - earlier for earlier, later in zip(alive, alive[1:])), 2.0, "the watchdog")
            errors = pathlib.Path(run.log + ".err").read_text()
            self.assertIn(f"sending DCF77 (Germany, 77.5 kHz), the PC's local time (CEST), on COM1 (/dev/ttyS0); "
                          f"waiting for {late}; a chosen time, from 2027-06-01 11:59:5", errors)
            # The lines are switched on the tick's own thread, not on the main thread, which made the timer.
            (timer,) = [event for event in events if event.call == "timerfd_create"]
            switching = {event.thread for event in port_events(events)[1] if "TIOCMBI" in event.args}
            self.assertEqual(len(switching), 1)
            self.assertNotIn(timer.thread, switching)
            self.assertEqual(errors.count("PC clock"), 1, "the clock's state told again at the first second")
            self.assertEqual(errors.count(f"cannot open the port {late}: No such file or directory; trying it again "
                                          "every second"), 1, errors)
            self.assertEqual(journal.read_text(), "<3>Application already running\n")


if __name__ == "__main__":
    require_masked_port()
    unittest.main()
