"""The real program as a user runs it, under strace and scripts/masked, with VELKORIN_PROGRAM naming it: its port,
its lines, and a second copy kept out by the guard."""

import collections
import unittest

from harness import PORT, Session, line_changes, opened, port_events, require_masked_port, wait_for

# With InvertOutput checked, as at every start: a pulse clears RTS and sets DTR, every idle tick the reverse.
PULSE, IDLE = (("TIOCMBIC", "RTS"), ("TIOCMBIS", "DTR")), (("TIOCMBIC", "DTR"), ("TIOCMBIS", "RTS"))


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
            pairs = collections.Counter(tuple(changes[at:at + 2]) for at in range(0, len(changes) - 1, 2))
            self.assertEqual((set(pairs), pairs.most_common(1)[0][0]), ({PULSE, IDLE}, IDLE))

            second = session.start("second")  # held by its first message box, which no one closes here
            locks = wait_for(lambda: [event for event in second.events() if event.call == "flock"], 15, "its guard")
            self.assertEqual([lock.error for lock in locks], ["EAGAIN"])
            wait_for(lambda before=first.line_changes(): first.line_changes() > before + 20, 15, "the first going on")
            self.assertFalse(opened(second.events(), PORT), "the port tried while the first box is shown")


if __name__ == "__main__":
    require_masked_port()
    unittest.main()
