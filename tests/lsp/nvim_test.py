#!/usr/bin/env python3
"""Neovim (0.7, headless) with its built-in language client on veltrane-lsp:
opens real files (the corpus when present, else the examples) and compares
their diagnostics with veltrane-check --format=gnu, then on a file of its
own shows the note under a "not found", goes to a definition, renames a list, applies a quick fix, and checks
the buffer's text after the edits. On each real file it runs fix-all and
compares the buffer with what veltrane-check --fix makes of the file.

Usage: nvim_test.py VELTRANE_LSP VELTRANE_CHECK CORPUS_DIR EXAMPLES_DIR VIM_DIR
Exits 77 (skipped) without nvim."""

import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from lsp_test import RACK  # noqa: E402


def gnu_lines(check, path):
    """The findings of veltrane-check --format=gnu as Neovim shows them: it
    announces no relatedInformation, so each note is its finding's second
    line. Neovim opens a file that is UTF-8 as such and sends it as it is,
    and any other byte by byte as Latin-1, each byte a character."""
    with open(path, "rb") as f:
        data = f.read()
    try:
        data.decode("utf-8")
        code_page = ["--codepage=65001"]
    except UnicodeDecodeError:
        code_page = []
    run = subprocess.run([check, "--format=gnu"] + code_page + [path], capture_output=True)
    out = []
    for line in run.stdout.decode("utf-8").splitlines():
        line_no, _column, severity, message = line[len(path) + 1:].split(":", 3)
        # Findings end in their rule's id; a note line after one goes into
        # its message, as the server writes it for this client.
        if message.endswith("]") and " [VLT" in message:
            message = message[1:message.rindex(" [VLT")]
            out.append((int(line_no) - 1, {"error": 1, "warning": 2, "note": 3}[severity.strip()],
                        message))
        elif out:
            # The note of the finding before, wherever it points.
            out[-1] = (out[-1][0], out[-1][1], out[-1][2] + "\n" + message[1:])
    return sorted(out, key=lambda t: (t[0], t[2]))


def buffer_text(data):
    """A file's bytes as Neovim holds them: UTF-8 or else Latin-1 text, with
    CR LF read as LF when every LF has a CR before it."""
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError:
        text = data.decode("latin-1")
    dos = "\n" in text and text.count("\r\n") == text.count("\n")
    return text.replace("\r\n", "\n") if dos else text


def fixed_by_check(check, path, tmp):
    """The text Neovim would hold after veltrane-check --fix on the text it
    holds of `path` (its UTF-8 bytes are what the server gets), and whether
    that changes anything."""
    with open(path, "rb") as f:
        before = buffer_text(f.read())
    with open(path, "rb") as f:
        data = f.read()
    try:
        data.decode("utf-8")
    except UnicodeDecodeError:
        data = data.decode("latin-1").encode("utf-8")
    copy = os.path.join(tmp, "fixed-by-check.ins")
    with open(copy, "wb") as f:
        f.write(data)
    subprocess.run([check, "--fix", "--codepage=65001", copy], capture_output=True)
    with open(copy, "rb") as f:
        fixed = buffer_text(f.read())
    return fixed, fixed != before


def with_safe_fixes(path, tmp):
    """A copy of the real file `path` with mistakes that have safe fixes:
    blanks after the first reference that names a list, and no line end
    after the last line."""
    with open(path, "rb") as f:
        data = f.read()
    reference = re.search(rb"^(?:Control|RPN|NRPN|Patch\[[^\]\r\n]*\])=[^\r\n0-9][^\r\n]*", data, re.M)
    if reference:
        data = data[:reference.end()] + b"  " + data[reference.end():]
    data = data.rstrip(b"\r\n")
    copy = os.path.join(tmp, "fixable-" + os.path.basename(path))
    with open(copy, "wb") as f:
        f.write(data)
    return copy


def run_nvim(script, env, tmp, options=()):
    """Runs Lua `script` in a headless Neovim in `tmp`; returns the JSON it
    wrote to VELTRANE_NVIM_OUT, or None (having said why)."""
    out_file = os.path.join(tmp, "out.json")
    # Folders of its own for everything Neovim looks for: an installed
    # package (/usr/share/nvim/site) or a user's configuration would add
    # their plugins to the ones under test.
    home = os.path.join(tmp, "nvim-home")
    folders = {name: os.path.join(home, name.lower()) for name in (
        "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME",
        "XDG_CONFIG_DIRS", "XDG_DATA_DIRS")}
    for folder in folders.values():
        os.makedirs(folder, exist_ok=True)
    env = dict(os.environ, VELTRANE_NVIM_OUT=out_file, **folders, **env)
    run = subprocess.run(["nvim", "--headless", "--clean", "-n", "-i", "NONE", *options,
                          "-c", "luafile " + script],
                         env=env, capture_output=True, timeout=300, cwd=tmp)
    if not os.path.exists(out_file):
        print("nvim wrote no result; status", run.returncode, run.stderr.decode(errors="replace"))
        return None
    with open(out_file) as f:
        return json.load(f)


def main(server, check, corpus, examples, vim_dir):
    server, check = os.path.abspath(server), os.path.abspath(check)
    if not shutil.which("nvim"):
        print("nvim is not installed")
        return 77
    with tempfile.TemporaryDirectory() as tmp:
        source = corpus if os.path.isdir(corpus) else examples
        files = []
        for name in sorted(os.listdir(source)):
            if name.endswith(".ins"):
                # A copy: the editor never gets to touch the originals.
                files.append(os.path.join(tmp, name))
                shutil.copyfile(os.path.join(source, name), files[-1])
        if files:
            files.append(with_safe_fixes(files[0], tmp))
        edit = os.path.join(tmp, "rack.ins")
        with open(edit, "w") as f:
            f.write(RACK)
        want_fixed = {path: fixed_by_check(check, path, tmp) for path in files}
        out = run_nvim(os.path.join(HERE, "nvim_test.lua"), dict(
            VELTRANE_LSP=server, VELTRANE_VIM_DIR=os.path.abspath(vim_dir),
            VELTRANE_NVIM_FILES=json.dumps(files), VELTRANE_NVIM_EDIT=edit,
            VELTRANE_NVIM_FIX=json.dumps({p: changes for p, (_, changes) in want_fixed.items()})),
            tmp, ["-u", "NONE"])
        if out is None:
            return 1
        failures = []
        # Lua's empty table comes out as a JSON list.
        if not out.get("files"):
            out["files"] = {}
        if "failed" in out:
            failures.append(out["failed"] + " after " + ", ".join(out["steps"]))
        for path in files:
            got = sorted(((d["lnum"], d["severity"], d["message"]) for d in out["files"].get(path, [])),
                         key=lambda t: (t[0], t[2]))
            want = gnu_lines(check, path)
            if got != want:
                failures.append(f"{os.path.basename(path)}: {len(got)} diagnostics, "
                                f"veltrane-check has {len(want)}")
            else:
                print(f"{os.path.basename(path)}: {len(got)} diagnostics, as veltrane-check")
            fixed, changes = want_fixed[path]
            digest = hashlib.sha256(fixed.encode("utf-8")).hexdigest()
            if "failed" not in out and out["fixed"].get(path) != digest:
                failures.append(f"{os.path.basename(path)}: fix all in Neovim differs from --fix")
            elif "failed" not in out:
                print(f"{os.path.basename(path)}: fix all as --fix ({'changed' if changes else 'nothing to fix'})")
        if "failed" not in out:
            missing = [d["message"] for d in out["rack"] if "not found" in d["message"]]
            if missing != ['Label "Standrd" not found\ndid you mean "Standard" (line 9)?']:
                failures.append(f"the not found and its note: {missing}")
            if out["definition"] != [2, 1]:
                failures.append(f"definition went to {out['definition']}, not line 2")
            want_lines = RACK.replace("[Drums]\n[Drums]", "[Kit]\n[Drums]").replace(
                "Key[*,*]=Drums", "Key[*,*]=Kit").replace("Control=Standrd", "Control=Standard")
            if out["lines"] != want_lines.split("\n")[:-1]:
                failures.append("buffer after the edits:\n" + "\n".join(out["lines"]))
            messages = [d["message"] for d in out["final"]]
            if any("not found" in d["message"] for d in out["final"]):
                failures.append(f"diagnostics after the quick fix still have one not found: {out['final']}")
            print("after the edits:", len(out["final"]), "diagnostics:", messages)
        for failure in failures:
            print("FAILED:", failure)
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:6]))
