#!/usr/bin/env python3
"""The manual pages render without a groff warning and keep up with the code: every settings
value, every command and event of palaverlyd and every section a reader looks for is there.
Usage: manpages_test.py SOURCE_DIR PALAVERLY.1 PALAVERLYD.1"""
import re
import shutil
import subprocess
import sys
from pathlib import Path


def roff(text):
    """A text as the pages write it: non-ASCII characters as groff's \\[uXXXX]."""
    return "".join(c if ord(c) < 128 else "\\[u%04X]" % ord(c) for c in text)


def main():
    if not shutil.which("groff"):
        print("SKIP: groff is missing")
        return 77
    source = Path(sys.argv[1])
    pages = {Path(p).stem: Path(p).read_text() for p in sys.argv[2:4]}
    failures = []

    for name, text in pages.items():
        # UTF-8, as man renders in any UTF-8 locale and as lintian checks.
        run = subprocess.run(["groff", "-man", "-ww", "-z", "-Tutf8"], input=text,
                             capture_output=True, text=True)
        if run.returncode != 0 or run.stderr:
            failures.append(f"{name}.1: {run.stderr.strip()}")
        if "@" in text:
            failures.append(f"{name}.1 keeps an unreplaced @VARIABLE@")
        for section in ("NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "PORT NUMBER", "SETTINGS",
                        "DAILY LOG FILES", "EXIT STATUS", "FILES", "SEE ALSO"):
            if f"\n.SH {section}\n" not in text:
                failures.append(f"{name}.1 lacks the section {section}")
        for needle in ("\\-\\-help", "\\-\\-version", "8000", ".B 255", "palaverly.conf",
                       "CHAT", "060R\\-003"):
            if needle not in text:
                failures.append(f"{name}.1 does not mention {needle}")

    settings = ""
    for cpp in sorted((source / "src/settings").glob("*.cpp")):
        settings += cpp.read_text()
    names = set(re.findall(r'constexpr const char\* k\w+ = "([^"]+)"', settings))
    names |= set(re.findall(r'\{"([^"]+)", &COptionValues::', settings))
    names |= {"定型Msg01", "定型Msg10"} | {"文言0%d" % n for n in range(1, 6)}
    if len(names) < 30:
        failures.append(f"only {len(names)} settings names found in the sources")
    for name, text in pages.items():
        for value in sorted(names):
            pattern = r'^\.B[IR]? (?:.*[ "])?' + re.escape(roff(value)) + r'(?=[ "]|$)'
            if not re.search(pattern, text, re.M):
                failures.append(f"{name}.1 does not describe the setting {value}")

    station = (source / "src/headless/CHeadlessStation.cpp").read_text()
    commands = set(re.findall(r'\{"([a-z-]+)", "[A-Z]*", ', station))
    events = set(re.findall(r'Print\("([A-Z]+)', station)) | set(
        re.findall(r'std::string (?:line|out) = "([A-Z]+)"', station)) | set(
        re.findall(r'PrintRows\([^;]*, "([A-Z]+)", (?:true|false)\)', station))
    if len(commands) < 15 or len(events) < 10:
        failures.append(f"found only {len(commands)} commands and {len(events)} events")
    daemon = pages["palaverlyd"]
    for word in sorted(commands | events):
        if not re.search(r"^\.BI? " + re.escape(word.replace("-", "\\-")) + r"(?= |$)", daemon,
                         re.M):
            failures.append(f"palaverlyd.1 does not describe {word}")

    for failure in failures:
        print("FAIL:", failure)
    if not failures:
        print("PASS")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
