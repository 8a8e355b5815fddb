#!/usr/bin/env python3
"""Prints one line per test that CTest did not run, from its JUnit file: the test's name and the reason
the test gave (GoogleTest's "Skipped" message, or what a program that exited 77 said last)."""
import re
import sys
import xml.etree.ElementTree as ET


def reason(output: str) -> str:
    lines = [line.strip() for line in output.splitlines() if line.strip()]
    # GoogleTest: "file:line: Skipped" followed by the message.
    for i, line in enumerate(lines):
        if re.search(r": Skipped$", line) and i + 1 < len(lines):
            return lines[i + 1]
    # A program that exits 77 says why; prefer its line that mentions the skip.
    for line in reversed(lines):
        if re.search(r"skip", line, re.IGNORECASE) and not line.startswith("[  SKIPPED"):
            return line
    return lines[-1] if lines else "(no reason given)"


def main() -> int:
    root = ET.parse(sys.argv[1]).getroot()
    for case in root.iter("testcase"):
        if case.get("status") not in ("notrun", "disabled") and case.find("skipped") is None:
            continue
        out = case.find("system-out")
        text = out.text if out is not None and out.text else ""
        print(f"  {case.get('name')}: {reason(text)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
