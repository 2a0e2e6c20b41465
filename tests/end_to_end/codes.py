# SPDX-License-Identifier: MIT
"""Strict decoders for the MSF, WWVB and JJY time codes, each written from its keeper's published description and
reading a minute as a receiver would, and what a frame's announcement bits must be by the zone database. A minute is
one string per second, from second 0 (begun at the minute's first second edge) to its last, each 100 ticks of 10 ms
from the second's edge, '1' where the carrier is reduced or off. Run as a script, it reads a minute a line, `CODE
ZONE TIME_T S0 S1 ... Sn` (CODE msf, wwvb or jjy; ZONE the code's time base; TIME_T the time_t at which second 0
began), and holds the minute each frame names and its announcement bits to what the C library makes of TIME_T."""

import calendar, datetime, os, re, sys, time

# MSF: "MSF 60 kHz Time and Date Code", National Physical Laboratory, TAF001 v06, July 2007,
# http://www.npl.co.uk/upload/pdf/MSF_Time_Date_Code.pdf (reached from https://www.npl.co.uk/msf-signal), and NPL's
# answer "Why did my radio-controlled clock move to summer time at 2 a.m., one hour late?" (the code is sent ahead).
# A second is 100 ms off, then 100 ms off for bit A and 100 ms for bit B where they are 1; second 0 is 500 ms off.
MSF_SHAPES = {"1" * 50 + "0" * 50: "M", **{"1" * 10 + a * 10 + b * 10 + "0" * 70: str(int(a) + 2 * int(b))
                                         for a in "01" for b in "01"}}  # symbol: M, or A + 2B
MSF_FIELDS = {"year": (17, (80, 40, 20, 10, 8, 4, 2, 1)), "month": (25, (10, 8, 4, 2, 1)),
              "day": (30, (20, 10, 8, 4, 2, 1)), "weekday": (36, (4, 2, 1)), "hour": (39, (20, 10, 8, 4, 2, 1)),
              "minute": (45, (40, 20, 10, 8, 4, 2, 1))}  # bits A, the most significant first
MSF_PARITY = ((17, 24, 54), (25, 35, 55), (36, 38, 56), (39, 51, 57))  # bits A covered, and the B bit making it odd

# WWVB: NIST SP 432, "NIST Time and Frequency Services", M. A. Lombardi, 2002 edition, revised April 2003,
# https://tf.nist.gov/general/pdf/1383.pdf; NIST SP 250-67, "NIST Time and Frequency Radio Stations: WWV, WWVH, and
# WWVB", 2005, https://tf.nist.gov/general/pdf/1969.pdf; NIST, "WWVB Time Code Format",
# http://tf.nist.gov/stations/wwvbtimecode.htm; J. Lowe, "Enhanced WWVB Broadcast Format", NIST, revision 1.01,
# November 2013, which keeps this amplitude code. Power is reduced from the edge for 0.2 s (0), 0.5 s (1), 0.8 s (M).
WWVB_SHAPES = {"1" * 20 + "0" * 80: "0", "1" * 50 + "0" * 50: "1", "1" * 80 + "0" * 20: "M"}
BCD_TIME = {"minute": (1, (40, 20, 10, 0, 8, 4, 2, 1)), "hour": (12, (20, 10, 0, 8, 4, 2, 1)),
            "day": (22, (200, 100, 0, 80, 40, 20, 10, 0, 8, 4, 2, 1))}  # weight 0: a fixed 0 or a marker between
WWVB_FIELDS = {**BCD_TIME, "dut1": (40, (8, 4, 2, 1)), "year": (45, (80, 40, 20, 10, 0, 8, 4, 2, 1))}
WWVB_ZEROS = (4, 10, 11, 14, 20, 21, 24, 34, 35, 44, 54)

# JJY: NICT, the page on how JJY is sent (Japanese, as of April 2004), http://jjy.nict.go.jp/jjy/trans/index.html,
# and its time code figures https://jjy.nict.go.jp/jjy/trans/timecode1-e.html and timecode2-e.html (call-sign
# minutes); NICT on leap seconds, http://jjy.nict.go.jp/news/leaps.html (January 2006) and
# http://jjy.nict.go.jp/QandA/reference/leapsec-addendum2009.html (January 2009); Ministry of Posts and
# Telecommunications notice 382 of 1999, https://www.tele.soumu.go.jp/horei/law_honbun/72999538.html (the call
# sign). Full power from the second's edge for 0.8 s (0), 0.5 s (1) or 0.2 s (marker), then 10 % power.
JJY_SHAPES = {"0" * 80 + "1" * 20: "0", "0" * 50 + "1" * 50: "1", "0" * 20 + "1" * 80: "M"}
JJY_FIELDS = {**BCD_TIME, "year": (41, (80, 40, 20, 10, 8, 4, 2, 1)), "weekday": (50, (4, 2, 1))}
JJY_ZEROS = (4, 10, 11, 14, 20, 21, 24, 34, 35, 38, 56, 57, 58)  # 38 and 40 are SU1 and SU2, summer time, unused
JJY_LEAP = {"00": "none", "11": "insert", "10": "delete"}  # LS1 LS2
MORSE = {".---": "J", "-.--": "Y"}


def _read(code, seconds, shapes):
    """The minute's symbols, '?' for a second of no allowed shape, and a function refusing the minute."""
    assert len(seconds) in (60, 61) and all(len(s) == 100 and not set(s) - set("01") for s in seconds), \
        f"{code}: {len(seconds)} seconds, each wanted as 100 ticks of 0 and 1"
    symbols = [shapes.get(second, "?") for second in seconds]

    def fail(second, why):
        raise AssertionError(f"{code} second {second}: {why}; the minute: {''.join(symbols)}")
    return symbols, fail


def _want(symbols, fail, seconds, allowed):
    for at in seconds:
        if symbols[at] not in allowed:
            fail(at, f"{symbols[at]!r} where only {'/'.join(allowed)} belongs ('?': no allowed pulse shape)")


def _number(bit, fail, field, fields):
    first, weights = fields[field]
    for scale in (1, 10, 100):  # each decimal digit at most 9
        if sum(w for at, w in enumerate(weights, first) if scale <= w < 10 * scale and bit(at)) > 9 * scale:
            fail(first, f"the {field} is no BCD number")
    return sum(w for at, w in enumerate(weights, first) if bit(at))


def _named(year, month, day, hour, minute, zone, fail, at):
    """The date, and 'YYYY-MM-DD HH:MM ZONE'; with month None, `day` is the day of the year."""
    if month is None and not 1 <= day <= 365 + calendar.isleap(year):
        fail(at, f"day {day} is not in {year}")
    if month is None:
        month, day = (datetime.date(year, 1, 1) + datetime.timedelta(day - 1)).timetuple()[1:3]
    if not 1 <= month <= 12 or not 1 <= day <= calendar.monthrange(year, month)[1] or hour > 23 or minute > 59:
        fail(at, f"{year}-{month}-{day} {hour}:{minute} is no time")
    return datetime.date(year, month, day), f"{year}-{month:02}-{day:02} {hour:02}:{minute:02} {zone}"


def decode_msf(seconds):
    """Names the minute that begins at the next minute marker, in UK civil time: the code is sent ahead. A leap
    second adds a 0 after the DUT1 bits (seconds 1 to 16), bits 17 to 59 keeping their places before the marker,
    from which a receiver counts back. Returns ('YYYY-MM-DD HH:MM BST|GMT', flags)."""
    m, fail = _read("msf", seconds, MSF_SHAPES)
    shift = len(m) - 60
    place = lambda k: k + shift if k >= 17 else k
    a, b = (lambda k: m[place(k)] in "13"), (lambda k: m[place(k)] in "23")
    _want(m, fail, [0], "M")
    _want(m, fail, range(1, len(m)), "0123")
    _want(m, fail, [17] if shift else [], "0")
    for k in [*range(1, 17), *range(17, 53), 59]:  # bits 1A to 16A, 17B to 52B and 59B are 0
        if (a if k < 17 else b)(k):
            fail(place(k), f"bit {k}{'A' if k < 17 else 'B'} is 1, not 0")
    if "".join(str(int(a(k))) for k in range(52, 60)) != "01111110":
        fail(place(52), "bits 52A to 59A are not the minute identifier 01111110")
    for first, last, parity in MSF_PARITY:
        if (sum(map(a, range(first, last + 1))) + b(parity)) % 2 != 1:
            fail(place(parity), f"bit {parity}B leaves bits {first}A to {last}A without odd parity")
    plus, minus = ("".join(str(int(b(k))) for k in range(first, first + 8)) for first in (1, 9))
    if not (re.fullmatch("1*0*", plus) and re.fullmatch("1*0*", minus)) or "1" in plus and "1" in minus:
        fail(1, f"DUT1 bits {plus} {minus} are not one run from 1B or from 9B")
    year, month, day, weekday, hour, minute = (_number(a, fail, f, MSF_FIELDS) for f in MSF_FIELDS)
    date, named = _named(2000 + year, month, day, hour, minute, "BST" if b(58) else "GMT", fail, place(17))
    if weekday != date.isoweekday() % 7:  # 0 is Sunday
        fail(place(36), f"weekday {weekday} is not that of {date}")
    if shift and (hour, minute, day) != (int(b(58)), 0, 1):
        fail(17, "a leap second in a minute that does not end a UTC month")
    return named, {"summer_time_warning": b(53), "dut1": plus.count("1") - minus.count("1")}


def decode_wwvb(seconds):
    """Names the minute that begins at its own second 0, the frame reference marker, in UTC. A leap second is a
    marker: seconds 59 and 60 both are, three markers in a row with the next second 0. Returns ('YYYY-MM-DD HH:MM
    UTC', flags), flags['dst'] being (bit 57, bit 58): DST in effect at 24:00 and at 00:00 UTC of the current day."""
    m, fail = _read("wwvb", seconds, WWVB_SHAPES)
    markers = {0, 9, 19, 29, 39, 49, 59, len(m) - 1}
    _want(m, fail, markers, "M")
    _want(m, fail, set(range(len(m))) - markers, "01")
    _want(m, fail, WWVB_ZEROS, "0")
    bit = lambda k: m[k] == "1"
    if m[36:39] not in (list("101"), list("010")):
        fail(36, "the DUT1 sign, bits 36 to 38, is neither 101 (+) nor 010 (-)")
    minute, hour, day, dut1, year = (_number(bit, fail, f, WWVB_FIELDS) for f in WWVB_FIELDS)
    date, named = _named(2000 + year, None, day, hour, minute, "UTC", fail, 22)
    if len(m) == 61 and not ((hour, minute, (date + datetime.timedelta(1)).day) == (23, 59, 1) and bit(56)):
        fail(60, "a leap second unannounced by bit 56, or in a minute other than 23:59 on a month's last day")
    return named, {"leap_year": bit(55), "leap_second_warning": bit(56), "dst": (bit(57), bit(58)),
                   "dut1": dut1 if bit(36) else -dut1}


def _morse(ticks):
    """The text keyed with the carrier full ('0') for a mark, or None where it is no clean Morse."""
    runs, text, letter = re.findall("0+|1+", ticks.strip("1")), "", ""
    unit = min((len(run) for run in runs if run[0] == "0"), default=1)
    for run in runs:
        units, rest = divmod(len(run), unit)
        if rest or units not in (1, 3) and (run[0] == "0" or units < 7):  # a space between words: 7 units or more
            return None
        if run[0] == "0":
            letter += "." if units == 1 else "-"
        elif units > 1:
            text, letter = text + MORSE.get(letter, "?") + (" " if units >= 7 else ""), ""
    return text + MORSE.get(letter, "?") if runs else ""


def decode_jjy(seconds, year=None):
    """Names the minute that begins at its own marker M (second 0), in Japan Standard Time. At minutes 15 and 45
    seconds 40 to 48 key the call sign JJY twice in Morse, the carrier on and off, and seconds 50 to 55 carry the
    notice of interruptions (ST1 to ST6) where the weekday and leap second bits were: such a minute has no year, and
    `year` is the one the receiver kept. A leap second makes second 59 a 0 and second 60 the position marker P0.
    Returns ('YYYY-MM-DD HH:MM JST', flags)."""
    m, fail = _read("jjy", seconds, JJY_SHAPES)
    markers = {0, 9, 19, 29, 39, 49, len(m) - 1}
    _want(m, fail, markers, "M")
    _want(m, fail, set(range(len(m))) - markers - set(range(40, 49)), "01")
    bit = lambda k: m[k] == "1"
    minute, hour, day = (_number(bit, fail, f, JJY_FIELDS) for f in BCD_TIME)
    call = minute in (15, 45)
    if call and _morse("".join(seconds[40:49])) != "JJY JJY":
        fail(40, f"seconds 40 to 48 of minute {minute} do not key JJY JJY in Morse")
    m[40:49] = "~" * 9 if call else m[40:49]
    _want(m, fail, range(40, 49), "~" if call else "01")
    _want(m, fail, [*JJY_ZEROS, *([] if call else [40, 55]), *([59] if len(m) == 61 else [])], "0")
    for parity, first, last in ((36, 12, 18), (37, 1, 8)):  # PA1 over the hour, PA2 over the minute, both even
        if (sum(map(bit, range(first, last + 1))) + bit(parity)) % 2:
            fail(parity, f"bit {parity} leaves bits {first} to {last} without even parity")
    if call:
        assert year is not None, "jjy: a call-sign minute carries no year; give the one last received"
        leap, notice = None, "".join(m[50:56])
    else:
        year, leap, notice = 2000 + _number(bit, fail, "year", JJY_FIELDS), JJY_LEAP.get("".join(m[53:55])), None
        if leap is None:
            fail(53, "LS1 LS2 are 01, which means nothing")
    date, named = _named(year, None, day, hour, minute, "JST", fail, 22)
    if not call and _number(bit, fail, "weekday", JJY_FIELDS) != date.isoweekday() % 7:  # 0 is Sunday
        fail(50, f"the weekday is not that of {date}")
    if len(m) == 61 and (leap, hour, minute, date.day) != ("insert", 8, 59, 1):
        fail(60, "a leap second unannounced by LS1 LS2, or in a minute other than 08:59 on a month's first day")
    return named, {"leap_second": leap, "call_sign_minute": call, "stop_notice": notice}


def expected_flags(code, zone_name, minute_start, seconds_in_minute):
    """The announcement bits of the frame sent in the minute from `minute_start`, a time_t in `zone_name`, by the C
    library. MSF 53B: set in the frames sent in the 61 minutes before a change of summer time, which name the minutes
    from one hour before the change to the change. WWVB 56: from the start of a UTC month that ends in a leap second
    to the leap second; 57 and 58 by US rules. JJY LS1 LS2: both 1 from 09:00 JST on the 2nd of the UTC month that
    ends in a leap second (00:00 UTC) to the leap second, as NICT has sent them."""
    os.environ["TZ"] = zone_name
    time.tzset()
    if code == "msf":
        named = minute_start + seconds_in_minute
        return {"summer_time_warning": time.localtime(named - 1).tm_isdst != time.localtime(named + 3600).tm_isdst}
    now = time.gmtime(minute_start)  # right/ zones count leap seconds in time_t, and glibc's gmtime reads them
    month_end = calendar.timegm((now.tm_year + now.tm_mon // 12, now.tm_mon % 12 + 1, 1, 0, 0, 0))
    leap = time.gmtime(minute_start + month_end - calendar.timegm(now[:6])).tm_sec == 60  # 23:59:60 at month end
    if code == "jjy":
        call = time.localtime(minute_start).tm_min in (15, 45)
        return {"call_sign_minute": call, "stop_notice": "000000" if call else None,
                "leap_second": None if call else "insert" if leap and now.tm_mday >= 2 else "none"}
    today = calendar.timegm((now.tm_year, now.tm_mon, now.tm_mday, 0, 0, 0))
    os.environ["TZ"] = "America/New_York"  # US rules change on the same UTC day in every US zone
    time.tzset()
    dst = tuple(time.localtime(at).tm_isdst > 0 for at in (today + 86400, today))
    os.environ["TZ"] = zone_name
    time.tzset()
    return {"leap_year": calendar.isleap(now.tm_year), "leap_second_warning": leap, "dst": dst}


if __name__ == "__main__":
    lenient = "--refused-ok" in sys.argv  # a minute refused is passed over; any read must be right
    for number, line in enumerate(sys.stdin, 1):
        if not line.strip():
            continue
        code, zone, start, *seconds = line.split()
        start, length = int(start), len(seconds)
        os.environ["TZ"] = zone
        time.tzset()
        try:
            assert code in ("msf", "wwvb", "jjy"), f"no code {code!r}"
            named = time.gmtime(start) if code == "wwvb" else time.localtime(start + length * (code == "msf"))
            try:
                decoded, flags = decode_jjy(seconds, named.tm_year) if code == "jjy" else \
                    {"msf": decode_msf, "wwvb": decode_wwvb}[code](seconds)
            except AssertionError:
                if lenient:
                    continue
                raise
            assert time.localtime(start).tm_sec == 0 and time.localtime(start + length).tm_sec == 0, \
                f"{length} seconds from {start} are no whole minute in {zone}"
            due = time.strftime("%Y-%m-%d %H:%M ", named) + ("UTC" if code == "wwvb" else time.strftime("%Z", named))
            assert decoded == due, f"the frame sent from {start} names {decoded}, not {due}"
            wanted = expected_flags(code, zone, start, length)
            got = {name: flags[name] for name in wanted}
            assert got == wanted, f"the frame sent from {start} ({due}) announces {got}, not {wanted}"
        except AssertionError as failure:
            sys.exit(f"line {number}: {failure}")
