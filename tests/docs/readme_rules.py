#!/usr/bin/env python3
"""The README's table of rules against the program's own:
`veltrane-check --list-rules` and `--explain` for each rule.

Usage: readme_rules.py VELTRANE_CHECK README. Prints what differs; exit 1."""

import re
import subprocess
import sys


def listed(check):
    out = subprocess.run([check, "--list-rules"], capture_output=True, text=True, check=True).stdout
    rows = []
    for line in out.splitlines():
        match = re.match(r"(VLT\d{4})  (\S+)\s+(error|warning|note)\s+(on|off)\s+(.+)$", line)
        if not match:
            raise SystemExit(f"--list-rules line not understood: {line!r}")
        rows.append(match.groups())
    return rows


def in_readme(readme):
    text = open(readme, encoding="utf-8").read()
    start = text.index("<!-- rules table:")
    end = text.index("<!-- end of rules table -->")
    rows = []
    for line in text[start:end].splitlines():
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if len(cells) == 5 and cells[0].startswith("VLT"):
            rows.append(tuple(cells))
    return rows


def main(check, readme):
    failures = []
    rules = listed(check)
    if rules != in_readme(readme):
        failures.append("the README's table differs from --list-rules:\n" +
                        "\n".join(" | ".join(r) for r in rules))
    for rule in rules:
        run = subprocess.run([check, "--explain", rule[0]], capture_output=True, text=True)
        if run.returncode != 0 or not run.stdout.startswith(f"{rule[0]} {rule[1]} ({rule[2]}, "):
            failures.append(f"--explain {rule[0]}: {run.stdout[:80]!r} {run.stderr!r}")
        for part in ("Example:\n    ", "\nFix: ", "\nAutomatic fix: "):
            if part not in run.stdout:
                failures.append(f"--explain {rule[0]} lacks {part.strip()!r}")
    for failure in failures:
        print(failure)
    print(f"{len(rules) - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
