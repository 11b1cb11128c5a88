#!/usr/bin/env python3
"""Checks the layering of the sources: dependencies point one way
(app -> ui -> checker -> platform), and only the backends and the file
layer's two halves see a toolkit or the Windows headers. Inside checker/,
the rooms stand on the engine at its top level and on each other one way
(rules -> notes -> fix -> the engine): the engine includes none of them.

Usage: include_rules.py SOURCE_DIR. Prints each broken rule and exits 1."""

import pathlib
import re
import sys

# What each folder may include of the program's own folders.
ALLOWED = {
    "platform": {"platform"},
    "checker": {"checker", "platform"},
    "checker/fix": {"checker", "checker/fix", "platform"},
    "checker/notes": {"checker", "checker/notes", "checker/fix", "platform"},
    "checker/rules": {"checker", "checker/rules", "checker/notes", "checker/fix", "platform"},
    "ui": {"ui", "checker", "platform", "res"},
    "app": {"app", "ui", "checker", "platform"},
    "res": {"res", "platform"},
    "cli": {"cli", "checker", "platform"},
    "lsp": {"lsp", "checker", "platform"},
    "web": {"web", "cli", "checker", "platform"},
}

# System headers that belong to one place each.
SYSTEM_HEADERS = [
    (re.compile(r"^(windows|commdlg|shellapi|winbase|winuser)\.h$", re.I),
     lambda path: path.startswith("platform/win32/")
     or path == "platform/file_win32.cpp"),
    (re.compile(r"^wx/"), lambda path: path.startswith("platform/wx/")),
]

ROOMS = ("checker/fix", "checker/notes", "checker/rules")


def folder_of(path):
    """The folder, or the room of checker/, that `path` stands in."""
    for room in ROOMS:
        if path.startswith(room + "/"):
            return room
    return path.split("/")[0]


INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def broken_rules(root):
    for file in sorted(root.rglob("*")):
        relative = file.relative_to(root)
        if file.suffix not in (".h", ".cpp") or relative.parts[0].startswith("build"):
            continue
        path = relative.as_posix()
        folder = folder_of(path)
        for kind, header in INCLUDE.findall(file.read_text(errors="replace")):
            for pattern, allowed_in in SYSTEM_HEADERS:
                if pattern.search(header) and not allowed_in(path):
                    yield f"{path}: includes <{header}>"
            if kind == '"' and folder in ALLOWED:
                # The faces see checker/ as one; its rooms matter inside it.
                used = folder_of(header) if folder.startswith("checker") else header.split("/")[0]
                if used in ALLOWED and used not in ALLOWED[folder]:
                    yield f'{path}: includes "{header}" ({folder} may not use {used})'


def main():
    root = pathlib.Path(sys.argv[1])
    problems = list(broken_rules(root))
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
