#!/usr/bin/env python3
"""Neovim (0.7, headless) with the package in editors/vim: detection of
instrument and TeX .ins files by content, colours, comments, and
veltrane-lsp started by the ftplugin, with each note in its diagnostic's
message and list names completed through omnifunc.

Usage: nvim_package_test.py VELTRANE_LSP VIM_DIR
Exits 77 (skipped) without nvim."""

import json
import os
import re
import shutil
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "lsp"))
from nvim_test import run_nvim  # noqa: E402
from report import report  # noqa: E402

# File name, text, and the file type Neovim must give it.
DETECTION = [
    ("rack.ins", ".Patch Names\n[GM]\n", "ins"),
    # A comment block first, as many real files have.
    ("commented.ins", "".join("; line %d\n" % i for i in range(40)) + ".Instrument Definitions\n", "ins"),
    ("crlf.ins", "; made on Windows\r\n.Controller Names\r\n[Standard]\r\n", "ins"),
    ("docstrip.ins", "\\input docstrip\n\\generate{\\file{x.sty}{\\from{x.dtx}{package}}}\n\\endbatchfile\n", "tex"),
    # A header must start its line; here it is only mentioned.
    ("mention.ins", "%% the .Patch Names section is described in x.dtx\n\\endbatchfile\n", "tex"),
    ("empty.ins", "", ""),
]

EDIT = (".Patch Names\n"       # 1
        "[General]\n"          # 2
        "0=Piano\n"            # 3
        ".Controller Names\n"  # 4
        "[Standard]\n"         # 5
        "; a comment\n"        # 6
        ".Instrument Definitions\n"
        "[Synth]\n"            # 8
        "Patch[*]=General\n"   # 9
        "Control=Standrd\n"    # 10
        "Key[0,*]=0..127\n")   # 11

# (line, column) and the syntax group there.
SYNTAX = [
    ((1, 1), "insSection"), ((2, 1), "insLabel"), ((2, 3), "insLabelName"),
    ((3, 1), "insEntryNumber"), ((6, 3), "insComment"), ((9, 1), "insKey"),
    ((9, 7), "insWildcard"), ((9, 9), "insAssign"), ((9, 12), "insReference"),
    ((11, 10), "insRange"),
]


def main(server, vim_dir):
    if not shutil.which("nvim"):
        print("nvim is not installed")
        return 77
    with tempfile.TemporaryDirectory() as tmp:
        files = []
        for name, text, _ in DETECTION:
            files.append(os.path.join(tmp, name))
            with open(files[-1], "w", newline="") as f:
                f.write(text)
        edit = os.path.join(tmp, "edit.ins")
        with open(edit, "w") as f:
            f.write(EDIT)
        # The package on the runtime path from the start, as where Debian's
        # package installs it.
        out = run_nvim(os.path.join(HERE, "nvim_package.lua"), dict(
            VELTRANE_LSP=os.path.abspath(server), VELTRANE_NVIM_FILES=json.dumps(files),
            VELTRANE_NVIM_EDIT=edit, VELTRANE_NVIM_SYNTAX=json.dumps([at for at, _ in SYNTAX])),
            tmp, ["--cmd", "set runtimepath^=" + os.path.abspath(vim_dir)])
        if out is None:
            return 1
    failures = []
    if "failed" in out:
        failures.append(out["failed"] + " after " + ", ".join(out["steps"]))
    for name, _, want in DETECTION:
        got = out["filetypes"].get(name)
        if got != want:
            failures.append(f"{name}: file type {got!r}, not {want!r}")
    # An installed package, or a user's configuration, would load beside
    # the one under test.
    foreign = ["/usr/share/nvim/site", "/usr/local/share/nvim/site", "/etc/xdg"]
    home = os.path.expanduser("~")
    if home not in ("", "/"):
        foreign.append(home.rstrip("/") + "/")
    for folder in out.get("runtimepath", "").split(","):
        if folder.startswith(tuple(foreign)):
            failures.append(f"the runtime path holds {folder}")
    if out.get("commentstring") != ";%s":
        failures.append(f"commentstring {out.get('commentstring')!r}")
    if out.get("omnifunc") != "v:lua.vim.lsp.omnifunc":
        failures.append(f"omnifunc {out.get('omnifunc')!r}")
    for ((at, want), got) in zip(SYNTAX, out.get("syntax", [])):
        if got != want:
            failures.append(f"syntax at {at}: {got!r}, not {want!r}")
    want_messages = ['Label "Standard" not used',
                     'Label "Standrd" not found\ndid you mean "Standard" (line 5)?']
    if "failed" not in out and out.get("messages") != want_messages:
        failures.append(f"diagnostics {out.get('messages')}")
    if "failed" not in out and sorted(out.get("completion", [])) != ["Standard"]:
        failures.append(f"completion after Control= offered {out.get('completion')}")
    failures += manpage_setup(server, vim_dir)
    return report(failures, "file types, colours, comments, notes, completion, the manual's "
                            "set-up and fix-all as expected")


def manpage_init():
    """The Lua of veltrane-lsp(1)'s set-up for init.lua without the package,
    as a reader copies it from the page."""
    with open(os.path.join(HERE, "..", "..", "packaging", "man", "veltrane-lsp.1")) as f:
        page = f.read()
    section = page[page.index(".SS Neovim"):page.index(".SS Emacs")]
    blocks = re.findall(r"^\.nf\n(.*?)^\.fi$", section, re.S | re.M)
    init = next(b for b in blocks if "start_client" in b)
    return init.replace("\\-", "-")


def manpage_setup(server, vim_dir):
    """The manual's set-up with the package's ftplugin: one client, each
    diagnostic once, and :VeltraneFixAll fixes."""
    with tempfile.TemporaryDirectory() as tmp:
        bin_dir = os.path.join(tmp, "bin")
        os.makedirs(bin_dir)
        os.symlink(os.path.abspath(server), os.path.join(bin_dir, "veltrane-lsp"))
        files = []
        for name, text in [("fixable.ins", EDIT.replace("Standrd", "Standard  ")),
                           ("other.ins", EDIT)]:
            files.append(os.path.join(tmp, name))
            with open(files[-1], "w") as f:
                f.write(text)
        out = run_nvim(os.path.join(HERE, "nvim_manpage.lua"), dict(
            PATH=bin_dir + os.pathsep + os.environ.get("PATH", ""),
            VELTRANE_NVIM_INIT=manpage_init(), VELTRANE_NVIM_FILES=json.dumps(files)),
            tmp, ["--cmd", "set runtimepath^=" + os.path.abspath(vim_dir)])
    if out is None:
        return ["the manual's set-up: nvim wrote no result"]
    if "failed" in out:
        return ["the manual's set-up: " + out["failed"] + " after " + ", ".join(out["steps"])]
    failures = []
    if out["clients"] != 1:
        failures.append(f"the manual's set-up and the ftplugin started {out['clients']} clients")
    # Two clients would show each finding twice.
    for name, found in zip(["fixable.ins", "other.ins"], out["diagnostics"]):
        if not found or len(set(found)) != len(found):
            failures.append(f"{name}: diagnostics {found}")
    if len(out["diagnostics"][1]) != 2:
        failures.append(f"other.ins: diagnostics {out['diagnostics'][1]}, not its two findings")
    if out["fixed"] != EDIT.replace("Standrd", "Standard").rstrip("\n").split("\n"):
        failures.append(f":VeltraneFixAll left {out['fixed']}")
    return failures


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
