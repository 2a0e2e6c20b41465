"""The real program end to end, as a user runs it: what goes over the wire, the minutes it sends on a sped-up
clock, its memory over an hour, and starting twice, failing to start, and closing. Run this under
scripts/masked, with VELKORIN_PROGRAM naming the program; it refuses to start anything otherwise."""

import contextlib
import glob
import os
import pathlib
import re
import signal
import subprocess
import time
import unittest

from harness import (PORT, PROGRAM, Session, decode, frames, guard_lock, line_changes, local_epoch, opened,
                     port_events, require_masked_port, seconds, ticks, wait_for)

SETS_THE_PORT_UP = re.compile(r"\d+, (TCSETS|TCSETA|TCSETX|TIOCMSET|TCSBRK|TCFLSH|TIOCSBRK)")


class OnTheWire(unittest.TestCase):
    def test_port_is_opened_plainly_and_only_its_two_lines_change_in_pulses_of_11_or_21_ticks(self):
        with Session() as session:
            run = session.start()
            wait_for(run.line_changes, 15, "line changes")
            time.sleep(3)
            session.stop(run)
            events = run.events()

        opening, (*calls, _) = port_events(events)  # the last of them closes the port, as the program is told to stop
        flags = set(opening.args.split(", ")[2].split("|"))
        self.assertGreaterEqual(opening.result, 0)
        self.assertLessEqual({"O_WRONLY", "O_NOCTTY"}, flags)
        self.assertFalse(flags & {"O_CREAT", "O_TRUNC", "O_RDWR", "O_APPEND"}, flags)
        self.assertEqual([(call.call, call.args.split(", ", 1)[1], call.result) for call in calls[:2]],
                         [("flock", "LOCK_EX|LOCK_NB", 0), ("ioctl", "TIOCEXCL", 0)])
        self.assertEqual({call.call for call in calls[2:]}, {"ioctl"}, "anything but line changes, writes included")
        changes = line_changes(calls[2:])
        self.assertEqual(len(changes), len(calls) - 2, "an ioctl on the port other than a line change")
        self.assertFalse([event for event in events if event.call == "ioctl" and SETS_THE_PORT_UP.match(event.args)])

        # Clear one line, then set the other: never both set, and after every pair one set, one clear.
        level = {"DTR": None, "RTS": None}
        for at, (request, line) in enumerate(changes):
            level[line] = request == "TIOCMBIS"
            self.assertFalse(level["DTR"] and level["RTS"], f"both lines set at change {at}")
            if at % 2:
                self.assertEqual({level["DTR"], level["RTS"]}, {True, False}, f"at change {at}")

        kinds, times = ticks(events)
        found = seconds(kinds, times)
        pulses = [second.ticks for second in found if second.kind == "pulse"]
        self.assertGreaterEqual(len(pulses), 2, kinds)
        self.assertLessEqual(set(pulses), {11, 21}, kinds)
        self.assertNotIn("cut", [second.kind for second in found], kinds)
        self.assertLessEqual({second.ticks for second in found if second.kind == "mark"}, {11}, kinds)


def record_minutes(session, start, zone, minutes, speed=10):
    """Starts the program at a Berlin time on a clock `speed` times faster, with a port of its own, and
    returns a function that, once the `minutes` minutes after the start's have been sent, stops it and
    returns its frames decoded, each checked against the minute mark due when it was sent."""
    instant = local_epoch(start, zone)
    run = session.start(name=f"minutes-{instant}", fake=(instant, speed), alone=True)

    def finish(test):
        # Until past the minute mark that ends the last of them; the fake clock starts soon after the exec.
        started = wait_for(lambda: [event.time for event in run.events() if event.call == "execve"], 10, "exec")
        last_mark_passed = (instant // 60 + minutes + 1) * 60 + 1
        time.sleep(max(0, started[0] + (last_mark_passed - instant) / speed + 1 - time.time()))
        session.stop(run)
        events = run.events()
        found = seconds(*ticks(events))
        test.assertLessEqual({second.ticks for second in found if second.kind == "mark"}, {11})
        decoded = []
        for bits, mark in frames(found):
            decoded.append(decode(bits))
            test.assertEqual(decoded[-1], run.announced_at(events, mark), f"frame {len(decoded)} from {start}")
        return decoded

    return finish


class Minutes(unittest.TestCase):
    def test_a_whole_minute_decodes_to_the_minute_mark_due(self):
        with Session() as session:
            self.assertEqual(len(record_minutes(session, "2027-07-14 19:46:40", "CEST", 1)(self)), 1)

    # From a Berlin time shortly before a change: the minute marks announced by the frames sent in each of
    # the three minutes after the start's, before, at and after the change.
    CHANGES = [
        ("2026-12-31 23:57:00", "CET", ["2026-12-31 23:59 CET", "2027-01-01 00:00 CET", "2027-01-01 00:01 CET"]),
        ("2028-02-28 23:57:00", "CET", ["2028-02-28 23:59 CET", "2028-02-29 00:00 CET", "2028-02-29 00:01 CET"]),
        ("2028-02-29 23:57:00", "CET", ["2028-02-29 23:59 CET", "2028-03-01 00:00 CET", "2028-03-01 00:01 CET"]),
        ("2027-03-28 01:57:00", "CET", ["2027-03-28 01:59 CET", "2027-03-28 03:00 CEST", "2027-03-28 03:01 CEST"]),
        ("2027-10-31 02:57:00", "CEST", ["2027-10-31 02:59 CEST", "2027-10-31 02:00 CET", "2027-10-31 02:01 CET"]),
    ]

    def test_year_end_leap_day_and_summer_time_changes(self):
        with Session() as session:  # all at once, each with a port of its own
            finishes = [(start, record_minutes(session, start, zone, len(expected)), expected)
                        for start, zone, expected in self.CHANGES]
            for start, finish, expected in finishes:
                with self.subTest(start=start):  # the later ones may have sent a minute more while waiting
                    self.assertEqual(finish(self)[:len(expected)], expected)


def holds_tick_timer(pid):
    """Whether the program has made its tick timer, which it does as it starts, just before it ticks."""
    for descriptor in glob.glob(f"/proc/{pid}/fd/*"):
        with contextlib.suppress(FileNotFoundError):
            if os.readlink(descriptor) == "anon_inode:[timerfd]":
                return True
    return False


class OverAnHour(unittest.TestCase):
    SPEED = 60  # an hour in a minute, which the program keeps up with: about one read of its timer a tick
    SLACK_KIB = 64

    def test_resident_memory_at_the_end_is_no_more_than_after_the_first_minute(self):
        def sample():
            with open(f"/proc/{run.process.pid}/status") as status:
                resident = next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))
            with open(f"/proc/{run.process.pid}/io") as io:
                reads = next(int(line.split()[1]) for line in io if line.startswith("syscr:"))
            return resident, reads

        with Session() as session:
            run = session.start(trace=False, fake=(local_epoch("2026-12-31 23:30:00", "CET"), self.SPEED))
            wait_for(lambda: holds_tick_timer(run.process.pid), 10, "the tick timer")
            time.sleep(1.2 * 60 / self.SPEED)  # the first simulated minute and a little more
            first, reads_before = sample()
            time.sleep(3600 / self.SPEED)
            last, reads_after = sample()
            self.assertIsNone(run.process.poll())
        print(f"VmRSS {first} KiB after the first minute, {last} KiB an hour later; "
              f"{reads_after - reads_before} reads in that hour, of 360000 ticks")
        self.assertLessEqual(last, first + self.SLACK_KIB)


class ChosenStart(unittest.TestCase):
    def test_autumn_change_sent_from_a_chosen_start_on_the_real_clock_and_a_skipped_time_refused(self):
        with Session() as session:
            refused = subprocess.run([PROGRAM, "--start", "2027-03-28 02:30"], env=session.env, capture_output=True,
                                     text=True, timeout=10)
            self.assertEqual(refused.returncode, 2, refused.stderr)
            self.assertIn("2027-03-28 02:30", refused.stderr)
            # In the hour that autumn repeats, so at its first pass: the one whole frame sent announces the change.
            run = session.start(args=["--start", "2027-10-31 02:58:50"])
            started = wait_for(lambda: [event.time for event in run.events() if event.call == "execve"], 10, "exec")
            time.sleep(max(0, started[0] + 73 - time.time()))
            session.stop(run)
            decoded = [decode(bits) for bits, _ in frames(seconds(*ticks(run.events())))]
        self.assertEqual(decoded, ["2027-10-31 02:00 CET"])


class StartingAndClosing(unittest.TestCase):
    def wait_for_line_changes(self, run, more_than=0):
        wait_for(lambda: run.line_changes() > more_than, 15, "line changes")

    def test_second_copy_is_told_twice_and_ends_while_the_first_carries_on(self):
        with Session(display=True) as session:
            first = session.start("first")
            self.wait_for_line_changes(first)
            second = session.start("second")
            box = session.window("Error")
            self.assertEqual(guard_lock(second.events(), session.directory), "EAGAIN")
            self.assertFalse(opened(second.events(), PORT), "the port is tried only once the first box is gone")
            session.press(box, "Return")
            wait_for(lambda: opened(second.events(), PORT), 10, "the second copy trying the port")
            session.press(session.window("Error", other_than=box), "Return")
            self.assertEqual(second.process.wait(timeout=10), 0)

            opening, calls = port_events(second.events())
            self.assertGreaterEqual(opening.result, 0)
            self.assertEqual([(call.call, call.error) for call in calls], [("flock", "EAGAIN"), ("close", "")])
            self.assertEqual(line_changes(second.events()), [])
            carried_on = first.line_changes()
            self.wait_for_line_changes(first, carried_on + 20)
            self.assertIsNone(first.process.poll())
            events = first.events()
            self.assertEqual(len(line_changes(port_events(events)[1])), len(line_changes(events)))

    def test_port_busy_or_absent_is_told_once_and_the_program_ends(self):
        for case, error in (("busy", "EAGAIN"), ("absent", "ENOENT")):
            with self.subTest(case), Session(display=True) as session:
                if case == "busy":  # flock runs the command only once it holds the lock
                    holder = session.spawn(["flock", "--nonblock", PORT, "sh", "-c", "echo held; exec sleep 60"],
                                           "holder.log")
                    told = pathlib.Path(session.directory, "holder.log")
                    wait_for(lambda: told.read_text() or holder.poll() is not None, 10, "the port locked")
                    self.assertIsNone(holder.poll(), "the port's lock was not to be had")
                run = session.start(without_port=case == "absent")
                session.press(session.window("Error"), "Return")
                self.assertEqual(run.process.wait(timeout=10), 0)  # another box would keep it waiting
                events = run.events()
                self.assertEqual(guard_lock(events, session.directory), 0)
                (opening,) = opened(events, PORT)
                lock = [event.error for event in events if event.call == "flock" and event.fd == opening.result]
                self.assertEqual(opening.error or lock[0], error)
                self.assertEqual(line_changes(events), [])

    def test_closing_the_window_closes_the_port_and_a_new_copy_starts_normally(self):
        with Session(display=True) as session:
            run = session.start("closed")
            self.wait_for_line_changes(run)
            session.press(session.window("Velkorin"), "alt+F4")
            self.assertEqual(run.process.wait(timeout=10), 0)
            events = run.events()
            opening, calls = port_events(events)
            (end,) = [event for event in events if event.call == "exit" and event.thread == opening.thread]
            self.assertEqual((calls[-1].call, calls[-1].result, end.result), ("close", 0, 0))
            self.assertLess(calls[-1].time, end.time)

            again = session.start("again")
            self.wait_for_line_changes(again)
            self.assertEqual(session.windows("Error"), [])
            self.assertEqual(guard_lock(again.events(), session.directory), 0)
            self.assertEqual(port_events(again.events())[1][0].result, 0)

    def test_told_to_stop_it_closes_the_port_and_ends_with_status_0(self):
        for stop in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            with self.subTest(stop.name), Session() as session:
                run = session.start(stop.name)
                self.wait_for_line_changes(run)
                os.killpg(run.process.pid, stop)  # strace, which runs the program in this group, lets it through
                self.assertEqual(run.process.wait(timeout=10), 0)
                self.assertEqual(port_events(run.events())[1][-1].call, "close")


class ChoosingThePort(unittest.TestCase):
    def test_a_chosen_port_is_driven_the_list_opens_no_terminal_and_a_command_line_refused_ends_at_once(self):
        other, chosen = os.openpty()
        with Session() as session, open(other), open(chosen):
            run = session.start(args=["--port", os.ttyname(chosen)])
            wait_for(run.line_changes, 15, "line changes")
            session.stop(run)
            self.assertEqual(len(line_changes(port_events(run.events(), os.ttyname(chosen))[1])), run.line_changes())
            self.assertEqual(opened(run.events(), PORT), [])
            for args, status, told in ((["--list-ports"], 0, "COM1 (/dev/ttyS0)\n"), (["-v"], 0, "Velkorin 0.1\n"),
                                       (["--port", "LPT1"], 2, "velkorin: 'LPT1' names no serial port")):
                run = session.start(name=args[-1].strip("-"), args=args)
                self.assertEqual(run.process.wait(timeout=10), status, args)
                self.assertIn(told, pathlib.Path(run.log + ".log").read_text(), args)
                self.assertEqual([event.args for event in run.events() if event.call in ("open", "openat")
                                  and re.search(r'"/dev/(tty|pts|serial)', event.args)], [], args)
                self.assertNotIn("timerfd_create", [event.call for event in run.events()], "a window was made")


if __name__ == "__main__":
    require_masked_port()
    unittest.main()
