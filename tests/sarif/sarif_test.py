#!/usr/bin/env python3
"""veltrane-check --format=sarif end to end: the log is one SARIF 2.1.0 run
that Microsoft's SARIF multitool accepts, and its results say what the
--format=gnu lines say, notes included, on the bundled examples and on files
with bytes that JSON and URIs must escape.

Usage: sarif_test.py --check VELTRANE_CHECK --multitool SARIF_MULTITOOL
                     --examples DIR
Exits 77 (skipped) when the multitool is not installed.
"""

import argparse
import codecs
import json
import os
import shutil
import subprocess
import sys
import tempfile
import urllib.parse

FAILURES = []


def check(condition, what):
    if not condition:
        FAILURES.append(what)
        print("FAIL:", what)


# Bytes that are not UTF-8 are Windows-1252 characters in the log; the five
# that code page leaves undefined keep their own code point.
def _cp1252(error):
    byte = error.object[error.start]
    try:
        char = bytes([byte]).decode("cp1252")
    except UnicodeDecodeError:
        char = chr(byte)
    return char, error.start + 1


codecs.register_error("veltrane-cp1252", _cp1252)


def as_text(data):
    return data.decode("utf-8", errors="veltrane-cp1252")


EDGE_FILES = {
    # A NUL, a Windows-1252 e-acute, well-formed UTF-8, quotes and a
    # backslash, and a name that differs only in case: a note.
    "bytes.ins": b'.Patch Names\n[Caf\xe9 Bank]\n[Bank "Q" \\ \x00 \xc3\x9c]\n'
                 b".Instrument Definitions\n[I]\nPatch[*]=caf\xe9 bank\n"
                 b'Patch[1]=Bank "Q" \\ \x00 \xc3\x9c\n',
    "dup.ins": b".Controller Names\n[Std]\n[Std]\n.Instrument Definitions\n[I]\n"
               b"Control=Std\nControl=Sdt\n",
    "crlf.ins": b".RPN Names\r\n[R]\r\n.Note Names\r\n[R]\r\n.Instrument Definitions\r\n"
                b"[I]\r\nRPN=R\r\nNRPN=R\r\n",
    "my rack#1?.ins": b".Patch Names\n[Unused]\n",
    "clean.ins": b".Instrument Definitions\n[I]\n",
    # A byte-order mark hides the first header: a note on the whole file.
    "bom.ins": b"\xef\xbb\xbf.Patch Names\n[GM]\n.Instrument Definitions\n[I]\nPatch[*]=GM\n",
    # A long line and a lone CR: lines as editors count them.
    "long.ins": b".Instrument Definitions\n[I]\n;" + b"x" * 253 + b"Key[*,*]=Gone\rControl=Lost\n",
}


def run(argv, cwd):
    result = subprocess.run(argv, cwd=cwd, capture_output=True)
    return result.returncode, result.stdout, result.stderr


def lines_of_log(log, notes=True):
    """The gnu lines the log's results and note notifications stand for."""
    file_notes = {}
    invocation = log["runs"][0]["invocations"][0]
    for notification in invocation.get("toolExecutionNotifications", []):
        if notification["level"] != "note":
            continue
        location = notification["locations"][0]["physicalLocation"]
        path = urllib.parse.unquote(location["artifactLocation"]["uri"])
        file_notes.setdefault(path, []).append(
            f"{path}:{location['region']['startLine']}:1: note: "
            f"{notification['message']['text']}\n")
    lines = []
    for result in log["runs"][0]["results"]:
        location = result["locations"][0]["physicalLocation"]
        path = urllib.parse.unquote(location["artifactLocation"]["uri"])
        if notes:
            lines.extend(file_notes.pop(path, []))
        region = location["region"]
        place = f"{path}:{region['startLine']}:{region['startColumn']}"
        lines.append(f"{place}: {result['level']}: {result['message']['text']} "
                     f"[{result['ruleId']}]\n")
        for related in result.get("relatedLocations", []):
            if result["ruleId"] == "VLT1001" and related["id"] == 1:
                continue  # the first definition: part of the message already
            if notes:
                # A note on a label not found stands at the reference; any
                # other at the place it speaks of.
                at = place
                if result["ruleId"] != "VLT1003":
                    own = related["physicalLocation"]["region"]
                    at = f"{path}:{own['startLine']}:{own['startColumn']}"
                lines.append(f"{at}: note: {related['message']['text']}\n")
    return "".join(lines)


def rule_table(check_exe):
    """id -> (severity, on by default), as veltrane-check --list-rules gives them."""
    listing = subprocess.run([check_exe, "--list-rules"], capture_output=True, text=True).stdout
    table = {}
    for line in listing.splitlines():
        parts = line.split()
        table[parts[0]] = (parts[2], parts[3] == "on")
    return table


RULES = {}


def check_structure(log, inputs_failed):
    check(log.get("version") == "2.1.0", "version is 2.1.0")
    check("sarif-schema-2.1.0.json" in log.get("$schema", ""), "$schema names 2.1.0")
    check(len(log.get("runs", [])) == 1, "one run")
    run_ = log["runs"][0]
    driver = run_["tool"]["driver"]
    check(driver["name"] == "veltrane-check", "driver name")
    check(driver["version"] == "1.0.0", "driver version")
    rules = driver["rules"]
    check(sorted(r["id"] for r in rules) == sorted(RULES), "every rule, once")
    for rule in rules:
        for key in ("shortDescription", "fullDescription", "help"):
            check(rule.get(key, {}).get("text"), f"rule {rule['id']} has {key}")
        level, enabled = RULES[rule["id"]]
        check(rule["defaultConfiguration"] == {"level": level, "enabled": enabled},
              f"default configuration of {rule['id']}")
    check(run_.get("columnKind") == "unicodeCodePoints", "the run says how it counts columns")
    for result in run_["results"]:
        check(rules[result["ruleIndex"]]["id"] == result["ruleId"], "ruleIndex matches ruleId")
        region = result["locations"][0]["physicalLocation"]["region"]
        name = result["message"]["text"].split('"')[1] if '"' in result["message"]["text"] else ""
        snippet = region.get("snippet", {}).get("text", "")
        check(region["startColumn"] <= region["endColumn"], "a region's columns are in order")
        if result["ruleId"].startswith("VLT1") and '"' not in name and "\r" not in snippet:
            check(snippet[region["startColumn"] - 1:region["endColumn"] - 1] == name[
                :region["endColumn"] - region["startColumn"]],
                  f"the region is the name in its line: {result['message']['text']}")
        check(result["level"] == RULES[result["ruleId"]][0], f"level of {result['ruleId']}")
        if result["ruleId"] == "VLT1001":
            first = int(result["message"]["text"].rsplit(" ", 1)[1])
            related = result.get("relatedLocations", [])
            check(len(related) == 1 and
                  related[0]["physicalLocation"]["region"]["startLine"] == first,
                  "a duplicate points at its first definition")
    invocation = run_["invocations"][0]
    check(invocation["executionSuccessful"] == (not inputs_failed), "executionSuccessful")
    notifications = [n for n in invocation.get("toolExecutionNotifications", [])
                     if n["level"] != "note"]
    check(len(notifications) == len(inputs_failed), "one notification per unreadable input")
    for notification, name in zip(notifications, inputs_failed):
        check(notification["level"] == "error", "notification level")
        check(name in notification["message"]["text"], "notification names the input")


def validate(multitool, path, work):
    """The multitool's findings on the log at `path`, or None if it failed."""
    out = os.path.join(work, "validation.sarif")
    code, stdout, stderr = run([multitool, "validate", path, "-o", out,
                                "--log", "ForceOverwrite"], work)
    if code != 0 or not os.path.exists(out):
        print(as_text(stdout), as_text(stderr))
        return None
    with open(out, encoding="utf-8") as f:
        return json.load(f)["runs"][0].get("results", [])


def errors_among(findings):
    """Schema and rule violations; advice (SARIF2xxx, warnings and notes
    about what a log could add) is not counted."""
    return [f for f in findings
            if f.get("level") == "error" or not f.get("ruleId", "").startswith("SARIF2")]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--check", required=True)
    parser.add_argument("--multitool", default="")
    parser.add_argument("--examples", required=True)
    args = parser.parse_args()
    if not args.multitool or not os.access(args.multitool, os.X_OK):
        print("SARIF multitool not installed (scripts/test installs it); skipped")
        return 77

    RULES.update(rule_table(args.check))
    check(len(RULES) > 3 and "VLT2001" in RULES, "--list-rules lists the rules")
    work = tempfile.mkdtemp(prefix="veltrane-sarif-")
    try:
        inputs = []
        for name in sorted(os.listdir(args.examples)):
            if name.endswith(".ins"):
                shutil.copy(os.path.join(args.examples, name), work)
                inputs.append(name)
        for name, data in EDGE_FILES.items():
            with open(os.path.join(work, name), "wb") as f:
                f.write(data)
            inputs.append(name)
        everything = inputs + ["missing.ins"]

        for notes in (True, False):
            flags = [] if notes else ["--no-notes"]
            gnu = run([args.check, "--format=gnu"] + flags + everything, work)
            sarif = run([args.check, "--format=sarif"] + flags + everything, work)
            check(sarif[0] == gnu[0] == 2, "exit status as with gnu lines")
            check(sarif[2] == gnu[2], "the same standard error as with gnu lines")
            log = json.loads(sarif[1].decode("utf-8"))
            check_structure(log, ["missing.ins"])
            check(lines_of_log(log) == as_text(gnu[1]),
                  f"results equal the gnu lines (notes {notes})")
            if notes:
                with open(os.path.join(work, "all.sarif"), "wb") as f:
                    f.write(sarif[1])
                check(any("did you mean" in r.get("relatedLocations", [{}])[-1]
                          .get("message", {}).get("text", "")
                          for r in log["runs"][0]["results"]),
                      "notes are related locations")
                uris = {r["locations"][0]["physicalLocation"]["artifactLocation"]["uri"]
                        for r in log["runs"][0]["results"]}
                check("my%20rack%231%3F.ins" in uris, "blanks, # and ? are encoded")

        for name in inputs:
            code, out, _ = run([args.check, "--format=sarif", name], work)
            log = json.loads(out.decode("utf-8"))
            check_structure(log, [])
            check(code == run([args.check, "--format=gnu", name], work)[0],
                  f"exit status of {name}")

        with open(os.path.join(work, "clean.sarif"), "wb") as f:
            f.write(run([args.check, "--format=sarif", "clean.ins"], work)[1])
        for log_name in ("all.sarif", "clean.sarif"):
            findings = validate(args.multitool, os.path.join(work, log_name), work)
            check(findings is not None, f"the multitool validates {log_name}")
            if findings is not None:
                for finding in errors_among(findings):
                    print(json.dumps(finding)[:400])
                check(not errors_among(findings), f"{log_name} is valid SARIF 2.1.0")

        # The validator itself must reject a broken log, or the checks above
        # prove nothing.
        with open(os.path.join(work, "all.sarif"), encoding="utf-8") as f:
            broken = json.load(f)
        broken["runs"][0]["results"][0]["locations"][0]["physicalLocation"]["region"][
            "startLine"] = 0
        with open(os.path.join(work, "broken.sarif"), "w", encoding="utf-8") as f:
            json.dump(broken, f)
        findings = validate(args.multitool, os.path.join(work, "broken.sarif"), work)
        check(findings is not None and errors_among(findings), "a broken log is rejected")
    finally:
        shutil.rmtree(work, ignore_errors=True)

    if FAILURES:
        print(f"0 passed, {len(FAILURES)} failed")
        return 1
    print("SARIF log checks: all passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
