#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/.

Each fuzz target reads its input through libFuzzer's FuzzedDataProvider: numbers are taken from the
end of the input, strings and file contents from the front. Input below lays a case out that way, so
that every seed is a readable case of its own rather than random bytes."""
import math
import os
import struct
import sys

DAY_MS = 86400000


class Input:
    def __init__(self):
        self.front = bytearray()
        self.back = bytearray()  # in the order the numbers are taken

    def number(self, lo, hi, value, size=8):
        span, count = hi - lo, 0
        while count < size and (span >> (8 * count)) > 0:
            count += 1
        assert lo <= value <= hi
        self.back += (value - lo).to_bytes(count, "big") if count else b""
        return self

    def flag(self, value):
        return self.number(0, 255, 1 if value else 0, 1)

    def text(self, value, max_length):
        self.front += value.replace(b"\\", b"\\\\")
        if len(value) < max_length:
            self.front += b"\\\x00"  # ends the text
        return self

    def raw(self, value):
        self.front += value
        return self

    def bytes(self):
        return bytes(self.front) + bytes(reversed(self.back))


def records(*pairs):
    return b"".join(struct.pack("<dd", s, e) for s, e in pairs)


def log_case(content, windows, missing=False, scratch=None, copies=0, shift=0, append=None):
    """windows: (pick, day shift, fallback day, offset in ms or None); append: (pick, delay s, length s)."""
    i = Input()
    i.number(0, 15, 0 if missing else 1, 4)
    i.number(0, 7, 0 if scratch is not None else 1, 4)
    i.number(0, 7, copies, 4)
    i.number(0, 40, shift, 4)
    pick, delay, length = append or (0, 0, 0)
    i.flag(append is not None).number(0, 65535, pick, 2).number(-2000, 2000, delay, 4).number(0, 90000, length, 4)
    i.number(1, 8, len(windows))
    for pick, day_shift, fallback, offset in windows:
        i.number(0, 65535, pick, 2).number(-1, 1, day_shift, 4).number(-1000, 80000, fallback, 4)
        i.flag(offset is None)
        if offset is not None:
            i.number(0, DAY_MS - 1, offset)
    scratch = scratch or b""
    i.number(0, 64, len(scratch))
    i.raw(scratch).raw(content)
    return i.bytes()


def profile_case(content, section, key, value, exists=True, from_file=(0, 0), pick=0, small=0):
    i = Input()
    i.number(0, 7, 1 if exists else 0, 4)
    i.number(0, 3, from_file[0], 4).number(0, 3, from_file[1], 4)
    i.number(0, 255, pick, 1).number(0, 40, small)
    i.text(section, 24).text(key, 24).text(value, 64).raw(content)
    return i.bytes()


def time_settings(i, sep=b":", dec=b".", am=b"AM", pm=b"PM"):
    i.text(sep, 3).text(dec, 3).text(am, 6).text(pm, 6)


def time_text_case(text, **settings):
    i = Input()
    time_settings(i, **settings)
    i.flag(False).raw(text)
    return i.bytes()


def time_written_case(parts, hour, minute=0, second=0, ms=0, twelve=False, first=False, literal=False,
                      blanks=0, width=1, **settings):
    """The same number of blanks and the same width everywhere."""
    i = Input()
    time_settings(i, **settings)
    i.flag(True).flag(twelve).number(1, 4, parts).number(0, 23, hour)
    if parts >= 2:
        i.number(0, 59, minute)
    if parts >= 3:
        i.number(0, 59, second)
    if parts >= 4:
        i.number(0, 999, ms)
    i.flag(first).flag(literal)
    i.number(0, 2, blanks)
    if twelve and first:
        i.number(0, 2, blanks)
    i.number(1, 3, width)
    for _ in range(parts - 1):
        i.number(0, 2, blanks).number(0, 2, blanks).number(1, 3, width)
    if twelve and not first:
        i.number(0, 2, blanks)
    i.number(0, 2, blanks)
    return i.bytes()


def readme_case(content, count=4, max_line=None, stop=False, padding=0, pad_at=0, pad_byte=b"x"):
    i = Input()
    i.number(0, 6, count)
    i.flag(max_line is not None)
    if max_line is not None:
        i.number(0, 64, max_line)
    i.flag(stop)
    i.number(0, 3, 0 if padding else 1, 4)
    if padding:
        i.number(1, 40000, padding)
    i.number(0, 65535, pad_at, 2).number(0, 255, pad_byte[0], 1)
    i.raw(content)
    return i.bytes()


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
    day = 46000.0  # 2025-12-09
    h = 1 / 24
    newest = day + 0.5
    seeds = {
        "fuzz_log": {
            "empty-log": log_case(b"", [(0, 0, 46000, None)]),
            "missing-log": log_case(b"", [(0, 0, 46000, None)], missing=True, scratch=records((day, day + h))),
            "across-midnight": log_case(records((day + 23 * h, day + 1 + h)),
                                        [(0, 0, 0, None), (0, 1, 0, None), (1, 0, 0, 23 * DAY_MS // 24)],
                                        append=(0, 600, 3600)),
            "window-edges": log_case(records((day - 0.5, day), (day + 1, day + 1.5), (day - 1, day + 2)),
                                     [(2, 1, 0, None), (0, 0, 0, DAY_MS // 2)]),
            "pruning": log_case(records(*[(newest - d, newest - d + h) for d in (30, 25, 21, 20, 19, 0)]),
                                [(10, 0, 0, None), (0, 0, 0, None)]),
            "no-pruning-needed": log_case(records((newest - 20, newest - 20 + h), (newest, newest + h)),
                                          [(2, 0, 0, None)], scratch=records((day, day + h))),
            "broken-last-record": log_case(records((day, day + h), (day + 0.5, day + 0.6)) + b"\x01\x02\x03\x04",
                                           [(0, 0, 0, None)], append=(1, 60, 120)),
            "many-blocks": log_case(records(*[(day - 2 + k * 0.01, day - 2 + k * 0.01 + 0.004) for k in range(40)]),
                                    [(5, 0, 0, None), (70, -1, 0, 3 * DAY_MS // 4), (30, 1, 0, None)],
                                    copies=7, shift=1, append=(39, 30, 7200)),
            "not-finite": log_case(records((math.inf, math.inf), (day, math.nan), (-math.inf, day + 1), (day, day + h),
                                           (math.nan, math.nan)), [(0, 0, 0, None), (6, 0, 0, None)]),
            "newest-past-calendar": log_case(records((day - 40, day), (day, day + h), (3e6, 3e6 + 1)),
                                             [(0, 0, 0, None)]),
        },
        "fuzz_profile": {
            "new-file": profile_case(b"", b"SETTINGS", b"Time limit", b"AUP 6", exists=False),
            "replace": profile_case(b"[SETTINGS]\r\nTime limit=AUP 1\r\n", b"SETTINGS", b"Time limit", b"AUP 12"),
            "other-sections": profile_case(b"; kept\n[Other]\nA = 1\n\n[settings]\nB=\"two\"\n[Third]\nC=3",
                                           b"SETTINGS", b"Time limit", b"AUP 18", from_file=(0, 0)),
            "existing-names": profile_case(b"[One]\nx=1\ny = \" spaced \"\n[Two]\nx=2\n", b"", b"", b"v",
                                           from_file=(1, 1), pick=1, small=3),
            "bom-and-case": profile_case(b"\xef\xbb\xbf[Settings]\r\ntime LIMIT=AUP 3\r\n", b"SETTINGS",
                                         b"Time limit", b"AUP 4"),
            "refused-name": profile_case(b"[S]\nk=v\n", b"S", b"a=b", b"x"),
            "no-final-newline": profile_case(b"[S]\nk=v", b"S", b"new", b"\"quoted\"", small=1),
        },
        "fuzz_time": {
            "aup-12": time_text_case(b" 12"),
            "aup-25": time_text_case(b" 25"),
            "hour-minute": time_text_case(b" 1:30"),
            "other-separator": time_text_case(b" 1:30", sep=b"."),
            "full": time_text_case(b"23:59:59.999"),
            "designator-before": time_text_case(b"pm 12:00", am=b"vorm.", pm=b"nachm."),
            "designator-after": time_text_case(b"12:00:01 AM"),
            "hour-13-pm": time_text_case(b"13 PM"),
            "long-number": time_text_case(b"0000000000000000001"),
            "written-24h": time_written_case(4, 17, 5, 9, 250, blanks=1, width=2),
            "written-12h": time_written_case(3, 0, 0, 0, twelve=True, literal=True, blanks=0, width=2),
            "written-locale": time_written_case(2, 13, 45, twelve=True, first=True, blanks=1, width=1,
                                                sep=b".", dec=b",", am=b"vm", pm=b"nm"),
        },
        "fuzz_readme": {
            "readme-crlf": readme_case(open(os.path.join(os.path.dirname(root), "..", "Readme.txt"), "rb").read()[:600]),
            "no-final-line-end": readme_case(b"a\r\nb\r\nc\r\nd"),
            "lf-only": readme_case(b"a\nb\nc\nd\n"),
            "lone-cr": readme_case(b"a\rb\r\nc\r\r\nd"),
            "ctrl-z": readme_case(b"a\r\nb\x1a\r\nc\r\nd\r\n"),
            "three-lines": readme_case(b"a\r\nb\r\nc\r\n"),
            "overlong-skip": readme_case(b"short\r\n" + b"y" * 100 + b"\r\nafter\r\n", max_line=10),
            "overlong-stop": readme_case(b"short\r\n" + b"y" * 100 + b"\r\nafter\r\n", max_line=10, stop=True),
            "across-blocks": readme_case(b"a\r\nb\r\nc\r\nd\r\n", padding=16383, pad_at=2, pad_byte=b"x"),
            "cr-lf-at-block-end": readme_case(b"\r\n\r\nc\r\nd\r\n", padding=16383, pad_at=0, pad_byte=b"p"),
        },
    }
    for target, cases in seeds.items():
        folder = os.path.join(root, target)
        os.makedirs(folder, exist_ok=True)
        for name, data in cases.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
