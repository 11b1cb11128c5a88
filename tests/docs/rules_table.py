#!/usr/bin/env python3
"""The table of rules in docs/rules.md against the program's own:
`veltrane-check --list-rules` and `--explain` for each rule, and each id
linked to a rule page that exists.

Usage: rules_table.py VELTRANE_CHECK RULES_MD. Prints what differs; exit 1."""

import os
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


def in_table(page):
    """The rows of the table in `page`, and the page each id links to."""
    text = open(page, encoding="utf-8").read()
    start = text.index("<!-- rules table:")
    end = text.index("<!-- end of rules table -->")
    rows, links = [], {}
    for line in text[start:end].splitlines():
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        link = re.fullmatch(r"\[(VLT\d{4})\]\(([^)]+)\)", cells[0])
        if len(cells) == 5 and link:
            rows.append((link.group(1), *cells[1:]))
            links[link.group(1)] = link.group(2)
    return rows, links


def main(check, page):
    failures = []
    rules = listed(check)
    rows, links = in_table(page)
    if rules != rows:
        failures.append(f"the table in {page} differs from --list-rules:\n" +
                        "\n".join(" | ".join(r) for r in rules))
    for rule_id, target in links.items():
        if target != f"rules/{rule_id}.md":
            failures.append(f"{rule_id} links to {target}, not to rules/{rule_id}.md")
        elif not os.path.isfile(os.path.join(os.path.dirname(page), target)):
            failures.append(f"{rule_id} links to {target}, which is missing")
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
