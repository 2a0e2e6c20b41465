# SPDX-License-Identifier: MIT
"""The real program as a user runs it, under strace and scripts/masked, with VELKORIN_PROGRAM naming it: its port,
its lines, a second copy kept out, its end when told to stop, and a port and a start time chosen on the command line."""

import os, pathlib, signal, unittest

from harness import IDLE, PORT, PULSE, Session, decode, frames, line_changes, opened, port_events, require_masked_port
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


class ChosenStart(unittest.TestCase):
    def test_the_autumn_change_sent_from_a_chosen_start_on_the_real_clock(self):
        with Session() as session:
            # In the hour that autumn repeats, at its first pass: the one whole minute sent announces the change.
            run = session.start("autumn", ["--start", "2027-10-31 02:58:50"])
            wait_for(lambda: run.line_changes() and list(frames(run.events())), 90, "a whole minute")
            session.stop(run)
            self.assertEqual([decode(bits) for bits in frames(run.events())], ["2027-10-31 02:00 CET A1"])


if __name__ == "__main__":
    require_masked_port()
    unittest.main()
