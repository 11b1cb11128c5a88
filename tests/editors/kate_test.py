#!/usr/bin/env python3
"""The syntax definition editors/kate/ins.xml in KSyntaxHighlighting's own
command-line highlighter, found where Kate finds it: an .ins file is
"Instrument Definition" rather than LaTeX, and each kind of line gets its
formats. The LSP client settings name that definition.

Usage: kate_test.py KATE_DIR
Exits 77 (skipped) without kate-syntax-highlighter."""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

from report import report

# Each line of the file and the formats the highlighter gives it, in order.
LINES = [
    (".Patch Names", ["Section"]),
    ("[General]", ["Bracket", "Label", "Bracket"]),
    ("0=Piano", ["Number", "Operator", "Entry Text"]),
    ("; a comment", ["Comment"]),
    (".Drum Names", ["Other Dot Line"]),
    ("[Open", ["Unclosed Label"]),
    (".Instrument Definitions", ["Section"]),
    ("[Synth]", ["Bracket", "Label", "Bracket"]),
    ("Patch[*]=General", ["Key", "Wildcard", "Operator", "Reference"]),
    ("Key[0,*]=0..127", ["Key", "Number", "Wildcard", "Operator", "Numbered List"]),
    ("Control=Standard ; not a comment", ["Key", "Operator", "Reference"]),
    (" Patch=indented", []),
]
FORMATS = sorted({f for _, formats in LINES for f in formats}, key=len, reverse=True)
ANSI = re.compile(r"\x1b\[[0-9;]*[A-Za-z]")


def formats_by_line(output):
    """The format names of the trace under each line of the file."""
    rows = [ANSI.sub("", row) for row in output.split("\n")]
    found = []
    i = 0
    for text, _ in LINES:
        while i < len(rows) and rows[i] != text:
            i += 1
        i += 1
        names = []
        while i < len(rows) and rows[i] not in [t for t, _ in LINES]:
            row = rows[i]
            # Each name starts at the column of its text, several to a row
            # and the rest on the rows below: take them by position, longest
            # first, so that "Entry Text" is one name.
            hits = []
            for name in FORMATS:
                for m in re.finditer(re.escape(name), row):
                    if not any(s <= m.start() < e for s, e, _ in hits):
                        hits.append((m.start(), m.end(), name))
            names += [(start, name) for start, _, name in hits]
            i += 1
        found.append([name for _, name in sorted(names)])
    return found


def main(kate_dir):
    highlighter = shutil.which("kate-syntax-highlighter")
    if not highlighter:
        print("kate-syntax-highlighter is not installed")
        return 77
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        syntax_dir = os.path.join(tmp, "share", "org.kde.syntax-highlighting", "syntax")
        os.makedirs(syntax_dir)
        shutil.copy(os.path.join(kate_dir, "ins.xml"), syntax_dir)
        env = dict(os.environ, XDG_DATA_DIRS=os.path.join(tmp, "share") + ":/usr/share",
                   XDG_DATA_HOME=os.path.join(tmp, "home"), QT_QPA_PLATFORM="offscreen")
        listed = subprocess.run([highlighter, "--list"], env=env, capture_output=True, text=True)
        if "Instrument Definition" not in listed.stdout.split("\n"):
            failures.append("--list does not name Instrument Definition")
        path = os.path.join(tmp, "rack.ins")
        with open(path, "w") as f:
            f.write("\n".join(text for text, _ in LINES) + "\n")
        # No -s: the definition is chosen by the file's name, over LaTeX's *.ins.
        run = subprocess.run([highlighter, "-f", "ansi", "-b", "--syntax-trace", "format", path],
                             env=env, capture_output=True, text=True)
        if run.returncode != 0 or run.stderr.strip():
            failures.append(f"status {run.returncode}, standard error: {run.stderr.strip()}")
        for (text, want), got in zip(LINES, formats_by_line(run.stdout)):
            if got != want:
                failures.append(f"{text!r}: {got}, not {want}")
    with open(os.path.join(kate_dir, "lspclient-settings.json")) as f:
        servers = json.load(f)["servers"]
    regexes = [s.get("highlightingModeRegex", "") for s in servers.values()]
    if not any(re.search(r, "Instrument Definition") for r in regexes):
        failures.append(f"no LSP server for the mode Instrument Definition: {regexes}")
    if any(re.search(r, "LaTeX") or re.search(r, "INI Files") for r in regexes):
        failures.append(f"the LSP settings start the server for other modes: {regexes}")
    return report(failures, "Instrument Definition chosen for .ins, every line with its formats")


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
