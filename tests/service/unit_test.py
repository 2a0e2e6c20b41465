#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
# unit_test.py MODE UNIT: the systemd unit, checked with systemd-analyze (no running systemd needed) on a
# copy whose ExecStart runs `true`, since /usr/bin/velkorin is not installed here; the program never runs.
# verify: systemd-analyze verify says nothing about it or its drop-in. exposure: systemd-analyze security rates
# it 1.0 or lower. system_calls: its SystemCallFilter= lines, applied in order as systemd does, and ProtectClock=
# let through every call the program makes. Ends with 77 (skipped) where systemd-analyze is missing.
# package: the maintainer scripts beside it take debhelper's steps; the descriptions name every code and the sound.
import os, pathlib, re, shutil, subprocess, sys, tempfile

# The kernel clock's state (glibc's ntp_adjtime is clock_adjtime on x86-64, adjtimex elsewhere), the tick
# timer, its slack and its stop, the locks, the port's lines, the self-pipe and the window's doorbell, Qt's event
# loop, notifying systemd; real-time for the tick and the sound, the memory lock, and what permits them.
NEEDED = """adjtimex clock_adjtime timerfd_create timerfd_settime prctl flock ioctl pipe2 eventfd2 poll ppoll read write
openat close futex rt_sigaction socket connect sendmsg sched_setscheduler mlockall capget prlimit64""".split()

def analyze(*args):
    return subprocess.run(["systemd-analyze", *args], capture_output=True, text=True)

def refused(unit_text):  # the calls in NEEDED that the unit refuses
    listing = analyze("syscall-filter", "--no-pager").stdout  # each @group, then its members indented
    groups = {name: [line.strip() for line in body.splitlines() if not line.strip().startswith("#")]
              for name, body in re.findall(r"^(@\S+)\n((?: .*\n?)*)", listing, re.M)}
    expand = lambda names: set().union(*(expand(groups[n]) if n[0] == "@" else {n} for n in names))
    filters = re.findall(r"^SystemCallFilter=(.*)$", unit_text, re.M)
    if re.search(r"^ProtectClock=(yes|true|on|1)\s*$", unit_text, re.M):
        filters.append("~@clock")  # a filter of its own, refusing these whatever the others allow
    allowing, listed = None, set()
    for value in filters:
        calls = expand(word.split(":")[0] for word in value.lstrip("~").split())
        if not calls:  # the empty assignment starts afresh
            allowing, listed = None, set()
            continue
        denying = value.startswith("~")
        if allowing is None:  # the first line: an allow list, which always holds @default, or with ~ a deny list
            allowing, listed = not denying, set() if denying else expand(["@default"])
        listed = listed | calls if denying != allowing else listed - calls
    return [call for call in NEEDED if allowing is not None and (call in listed) != allowing]

def package(unit):  # the maintainer scripts, run with stand-ins that tell what they are asked; the descriptions
    folder = os.path.dirname(unit)
    with tempfile.TemporaryDirectory() as stubs:
        for tool in ("systemctl", "deb-systemd-helper", "deb-systemd-invoke"):
            (stub := pathlib.Path(stubs, tool)).write_text(f'#!/bin/sh\necho "{tool} $*" >&2\n')
            stub.chmod(0o755)
        steps = lambda script, *args: subprocess.run(["sh", "-c", pathlib.Path(folder, script).read_text().replace(
            "/run/systemd/system", stubs), script, *args], env={"PATH": f"{stubs}:/usr/bin:/bin"}, capture_output=True,
            text=True, check=True).stderr.replace(" velkorin.service", "").splitlines()  # as where systemd runs
        record, reload = "deb-systemd-helper update-state", "systemctl --system daemon-reload"
        wrong = [(args, done) for args, wanted in [  # installed or upgraded: never enabled, never started
            (("postinst", "configure", ""), [record, reload]),
            (("postinst", "configure", "0.1"), [record, reload, "deb-systemd-invoke try-restart"]),
            (("prerm", "upgrade", "0.2"), []), (("prerm", "remove"), ["deb-systemd-invoke stop"]),
            (("postrm", "remove"), ["deb-systemd-helper disable", reload]),
            (("postrm", "purge"), ["deb-systemd-helper purge"])] if (done := steps(*args)) != wanted]
    wrong += [(name, word) for name in ("CMakeLists.txt", "velkorin.service", "velkorin.desktop", "velkorin.metainfo.xml")
              for word in ("DCF77", "MSF", "WWVB", "JJY", "sound") if word not in pathlib.Path(folder, name).read_text()]
    print("\n".join(map(str, wrong)) or "the maintainer scripts' steps as they should be; the descriptions name it all")
    return 1 if wrong else 0

def main(mode, unit):
    if shutil.which("systemd-analyze") is None:
        return 77
    with open(unit, encoding="utf-8") as source:
        text = source.read().replace("ExecStart=/usr/bin/velkorin", "ExecStart=" + shutil.which("true"))
    with tempfile.TemporaryDirectory() as folder:
        with open(copy := os.path.join(folder, os.path.basename(unit)), "w", encoding="utf-8") as target:
            target.write(text)
        if mode == "verify":  # it only warns of unknown settings: any word on the unit fails
            shutil.copytree(unit + ".d", copy + ".d")  # its drop-in for --audio, read from beside it
            done = analyze("verify", "--man=no", copy)
            said = [line for line in (done.stdout + done.stderr).splitlines() if "velkorin" in line]
            print("\n".join(said) or "verified")
            return 0 if done.returncode == 0 and not said else 1
        if mode == "exposure":
            done = analyze("security", "--offline=true", "--no-pager", copy)
            level = re.search(r"Overall exposure level for \S+: ([0-9.]+)", done.stdout)
            print(f"exposure {level[1]}" if level else done.stdout + done.stderr)
            return 0 if level and float(level[1]) <= 1.0 else 1
    calls = refused(text)
    print(f"refused: {' '.join(calls)}" if calls else f"allowed: {' '.join(NEEDED)}")
    return 1 if calls else 0

sys.exit(package(sys.argv[2]) if sys.argv[1] == "package" else main(*sys.argv[1:]))
