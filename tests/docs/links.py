#!/usr/bin/env python3
"""Every relative link and image of the README and the docs pages leads
somewhere: to a file or folder of the checkout, and where it names a
heading (`page.md#heading`), to a heading of that page.

Usage: links.py REPOSITORY. Prints each broken link; exit 1."""

import glob
import os
import re
import sys

LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)\)")


def without_blocks(path):
    """The text of `path` without its fenced blocks, where "#" is no heading."""
    text = open(path, encoding="utf-8").read()
    return re.sub(r"^```.*?^```", "", text, flags=re.S | re.M)


def anchors(path):
    """The anchors a renderer gives the headings of `path`: lower case,
    punctuation dropped but "-" and "_", blanks made "-"."""
    return {re.sub(r"[^\w\- ]", "", heading.lower()).replace(" ", "-")
            for heading in re.findall(r"^#+ (.+)$", without_blocks(path), re.M)}


def main(repo):
    pages = [os.path.join(repo, "README.md")] + sorted(
        glob.glob(os.path.join(repo, "docs", "**", "*.md"), recursive=True))
    failures = []
    for page in pages:
        # Brackets inside `code` are no links.
        text = re.sub(r"`[^`\n]*`", "", without_blocks(page))
        for target in LINK.findall(text):
            if re.match(r"[a-z]+:", target):
                continue
            path, _, anchor = target.partition("#")
            path = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
            where = os.path.relpath(page, repo)
            if not os.path.exists(path):
                failures.append(f"{where}: {target}: no such file")
            elif anchor and anchor not in anchors(path):
                failures.append(f"{where}: {target}: no such heading")
    for failure in failures:
        print(failure)
    print(f"{len(pages)} pages, {len(failures)} broken links")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
