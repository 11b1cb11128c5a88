"""Whether veltrane-check's fixes keep what programs read a file to mean.

Usage: fix_safety.py --check VELTRANE_CHECK [--corpus DIR] [--files N] [--seed S]

A small loader reads a file the ways programs do: its lists, their
entries, the instruments' keys and what each reference names, once for
every way of reading (a ";" comment kept or cut, the first or the last of
repeated entries, keys and labels winning, blanks around names trimmed or
kept, an instrument read on past a blank or comment line or not). On each
.ins file of the corpus folder (skipped when it is absent) and on generated
files holding every construct, in single- and double-byte code pages, it
runs --fix and --fix --unsafe-fixes on a copy and checks:

- what every way of reading agreed on before, each reads the same after;
  where they disagreed (the fault a fix removes), each reads after what one
  of them read before, and a reference that named a list still names it.
  The unsafe fixes may also change what they guess: a reference that named
  no list in any reading, a key no program knows, and the section of lists
  that a forgotten section header is put back above.
- no rule reports more findings after than before, and "N findings fixed"
  is the number of findings that are gone.
"""

import getopt
import itertools
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ins_model  # noqa: E402
import rule_files  # noqa: E402

LIST_SECTIONS = {1, 2, 3, 4, 5}
INSTRUMENTS = 6
# The keys that name a list, and the section of that list (None: an instrument).
REFERENCE_KEYS = {b"Patch": 1, b"Key": 2, b"Control": 3, b"RPN": 4, b"NRPN": 5, b"BasedOn": INSTRUMENTS}
KNOWN_KEYS = set(REFERENCE_KEYS) | {b"Drum", b"BankSelMethod", b"UseNotesAsControllers",
                                    b"UsesNotesAsControllers"}
NUMBERED_LISTS = {b"1..128", b"0..127"}
BLANKS = b" \t"

# Every way of reading: (keep ";" comments, last entry wins, trim blanks, stop at a gap).
WAYS = list(itertools.product([False, True], repeat=4))


def find(text, char, leads):
    return ins_model.find(text, ord(char), leads)


def key_name(key, leads):
    bracket = find(key, "[", leads)
    return key if bracket < 0 else key[:bracket]


def load(data, leads, way):
    """What a program reading `data` the way `way` says sees, as items:
    ("label", n) -> (section, name), ("entry", n, number) -> name and
    ("key", n, key) -> (value, what it names), where n counts the label
    lines of the file; what a reference names is ("list", n) or None."""
    keep_comments, last_wins, trim, stop_at_gap = way
    # A Ctrl-Z at the very end is the DOS end-of-file mark, where a program
    # reading text stops: no character of the last line.
    if data.endswith(b"\x1a"):
        data = data[:-1]
    lines = data.split(b"\n")
    section = 0
    label = -1        # the label line at hand, or -1 outside any list
    stopped = False
    labels = {}       # n -> (section, name)
    entries = {}      # (n, number) -> name
    keys = {}         # (n, key) -> value
    first_named = {}  # (section, name) -> n, by the way's rule

    def clean(value):
        if not keep_comments:
            semicolon = find(value, ";", leads)
            if semicolon >= 0:
                value = value[:semicolon]
        return value.strip(BLANKS) if trim else value

    def put(table, item, value):
        if last_wins or item not in table:
            table[item] = value

    for n, line in enumerate(lines):
        if line.endswith(b"\r") and n + 1 < len(lines):
            line = line[:-1]
        if line.startswith(b"."):
            section = ins_model.header_kind(line, section)
            label = -1
            continue
        if line.startswith(b"["):
            label = len(labels)
            close = find(line, "]", leads)
            name = line[1:close] if close >= 0 else b""
            if trim:
                name = name.strip(BLANKS)
            labels[label] = (section, name)
            put(first_named, (section, name), label)
            stopped = False
            continue
        if label < 0 or stopped:
            continue
        gap = line.strip(BLANKS) == b"" or line.lstrip(BLANKS).startswith(b";")
        owner = labels[label][0]
        if owner in LIST_SECTIONS:
            digits = len(line) - len(line.lstrip(b"0123456789"))
            if digits and line[digits:digits + 1] == b"=":
                put(entries, (label, int(line[:digits])), clean(line[digits + 1:]))
        elif owner == INSTRUMENTS:
            if gap:
                stopped = stop_at_gap
                continue
            equals = find(line, "=", leads)
            if equals >= 0:
                put(keys, (label, line[:equals]), clean(line[equals + 1:]))

    items = {("label", n): value for n, value in labels.items()}
    items.update({("entry",) + item: value for item, value in entries.items()})
    for (n, key), value in keys.items():
        wanted = REFERENCE_KEYS.get(key_name(key, leads))
        named = None
        if wanted is not None and value not in NUMBERED_LISTS:
            target = first_named.get((wanted, value))
            named = None if target is None else ("list", target)
        items[("key", n, key)] = (value, named)
    return items


def readings(data, leads):
    loads = [load(data, leads, way) for way in WAYS]
    return {item: [got.get(item) for got in loads] for item in set().union(*loads)}


def guessed(item, before):
    """Whether an unsafe fix may change `item` as a way read it (`before`):
    a key no program knows, or a key that named no list that way."""
    if item[0] != "key":
        return False
    return key_name(item[2], frozenset()) not in KNOWN_KEYS or before is None or before[1] is None


def header_added(item, before, after):
    """Whether `item` is a list that an inserted section header moved into
    another section, name and all (the unsafe fix of a forgotten header)."""
    return (item[0] == "label" and before is not None and after is not None and
            before[1].strip(BLANKS) == after[1].strip(BLANKS) and before[0] != after[0])


def canonical(reading):
    """A key's reading with its value trimmed, as programs that trim read it."""
    if isinstance(reading, tuple) and len(reading) == 2 and isinstance(reading[0], bytes):
        return reading[0].strip(BLANKS), reading[1]
    return reading


def meaning_changes(old, new, leads, unsafe):
    """The items whose reading a fix changed in a way no fix may."""
    before, after = readings(old, leads), readings(new, leads)
    wrong = []
    # The lists an inserted header moved: their entries are now read as
    # those of their new section.
    moved = set()
    if unsafe:
        for item in before:
            if any(header_added(item, b, a) for b, a in zip(before[item], after.get(item, []))):
                moved.add(item[1])
    for item in sorted(set(before) | set(after), key=repr):
        if item[0] == "entry" and item[1] in moved:
            continue
        was = before.get(item, [None] * len(WAYS))
        now = after.get(item, [None] * len(WAYS))
        ways = WAYS
        went_on = dict(zip(WAYS, now))
        if unsafe:
            # The ways whose reading a guess may change are left out.
            kept = [(w, b, a) for w, b, a in zip(WAYS, was, now)
                    if not guessed(item, b) and not header_added(item, b, a)]
            ways, was, now = [w for w, _, _ in kept], [b for _, b, _ in kept], [a for _, _, a in kept]
        # A fix that cuts a comment leaves no blanks before it: a value that
        # names what another way found, but for its blanks, counts as read.
        agreed = len(set(was)) == 1
        same = {canonical(b) for b in was}
        for way, b, a in zip(ways, was, now):
            # Once a gap is gone, a program that stopped there reads what
            # one that goes on reads (which is checked in its own right), or
            # at least keys it never reached before, up to the next gap.
            if a == b or (way[3] and (a == went_on[way[:3] + (False,)] or
                                      (b is None and item[0] == "key"))):
                continue
            named_before = item[0] == "key" and b is not None and b[1] is not None
            if (agreed or canonical(a) not in same or
                    (named_before and (a is None or a[1] != b[1]))):
                wrong.append((item, was[0] if agreed else was, now))
                break
    return wrong


GNU_LINE = re.compile(rb"^.*?:\d+:\d+: (?:error|warning|note): (.*) \[(VLT\d+)\]$")
FIXED_LINE = re.compile(rb": (\d+) findings? fixed, ")


def finding_counts(output):
    """The findings of gnu lines, by rule."""
    counts = {}
    for line in output.split(b"\n"):
        match = GNU_LINE.match(line)
        if match:
            counts[match.group(2)] = counts.get(match.group(2), 0) + 1
    return counts


def check_file(exe, path, data, codepage, tmp):
    """The failures of --fix and --fix --unsafe-fixes on `data`."""
    leads = frozenset(ins_model.LEAD_BYTES.get(codepage, ()))
    options = ["--select", "ALL", "--no-notes"] + (["--codepage=%d" % codepage] if codepage else [])
    before = subprocess.run([exe, "--format=gnu"] + options + [path], capture_output=True)
    counts = finding_counts(before.stdout)
    failures = []
    for unsafe in (False, True):
        copy = os.path.join(tmp, "fixed.ins")
        shutil.copyfile(path, copy)
        run = subprocess.run([exe, "--fix"] + (["--unsafe-fixes"] if unsafe else []) + options + [copy],
                             capture_output=True)
        label = "--fix --unsafe-fixes" if unsafe else "--fix"
        fixed = FIXED_LINE.search(run.stdout)
        if run.returncode == 2 or not fixed:
            failures.append("%s failed: %r %r" % (label, run.stdout[-200:], run.stderr))
            continue
        with open(copy, "rb") as f:
            new = f.read()
        after = finding_counts(run.stdout)
        raised = {rule: n for rule, n in after.items() if n > counts.get(rule, 0)}
        if raised:
            failures.append("%s raised findings: %r (before %r)" % (label, raised, counts))
        gone = sum(n - after.get(rule, 0) for rule, n in counts.items() if n > after.get(rule, 0))
        if int(fixed.group(1)) != gone:
            failures.append("%s says %s fixed, %d are gone" % (label, fixed.group(1).decode(), gone))
        for item, was, now in meaning_changes(data, new, leads, unsafe)[:3]:
            failures.append("%s changed %r: %r -> %r" % (label, item, was, now))
    return failures


# Lines where fixes once changed what programs read: names with ";" that
# references name whole, entries repeated with others between, comments
# after keys right after the label, keys with suppression comments above
# them, references with blanks before them, and close names used and unused.
TRICKY = [
    [b".Patch Names", b"[Piano; Bright]", b"0=Grand", b".Instrument Definitions", b"[P]",
     b"Patch[0]=Piano; Bright", b"Patch[1]=Piano; Bright ", b"Patch[2]=Piano ;Bright"],
    [b".Patch Names", b"[R]", b"0=Piano", b"0=Organ", b"0=Piano", b"1=A", b"1=A", b"2=B", b"02=B",
     b"3=C", b"3=C ", b"3=C"],
    [b".Instrument Definitions", b"[Q]", b"BankSelMethod=1 ; msb", b"Patch[*]=R ; patches",
     b"Control=Std;x", b"BankSelMethod=2"],
    [b".Instrument Definitions", b"[S]", b"Patch[*]=R", b"; veltrane: ignore VLT3001",
     b"BankSelMethod=1 ; msb"],
    [b".Instrument Definitions", b"[T]", b"; veltrane: ignore VLT1003", b"Patch[*]=Nowhere",
     b"BankSelMethod=1"],
    [b".Patch Names", b"[Bank 0 (GM1)]", b"[Bank 1]", b"[ Lead]", b"[Pad1]", b"[Pad2]",
     b".Instrument Definitions", b"[U]", b"Patch[0]=Bank 0", b"Patch[1]=Bank 1", b"Patch[2]= R",
     b"Patch[3]= Lead", b"Patch[4]= Lead;x", b"Patch[5]=Pad", b"Patch[6]=Bank 1 "],
    [b"; veltrane: ignore VLT1002", b"[V ]", b"; veltrane: ignore\r[W]", b"; veltrane: ignore VLT3005"],
]
LINE_ENDS = [b"\n", b"\r\n"]


def generated(files, seed):
    """(name, bytes, code page) of generated files, in single- and double-byte
    code pages; every other one with some of the tricky lines among its own."""
    rng = random.Random(seed)
    for n in range(files):
        codepage = [None, 65001, 932, 936, 949, 950][n % 6]
        names, _ = ins_model.generator_for(codepage)
        data = rule_files.rule_file(rng, rng.sample(names, 3),
                                    lambda r: ins_model.name_line(r, names))
        if n % 2:
            lines = data.split(b"\n")
            for tricky in rng.sample(TRICKY, rng.randint(1, 3)):
                at = rng.randint(0, len(lines))
                end = rng.choice(LINE_ENDS)
                lines[at:at] = [line + end[:-1] for line in tricky]
            data = b"\n".join(lines)
        yield "generated file %d (code page %s)" % (n, codepage or "1252"), data, codepage


def main(argv):
    opts, args = getopt.getopt(argv, "", ["check=", "corpus=", "files=", "seed="])
    opts = dict(opts)
    if args or "--check" not in opts:
        print(__doc__)
        return 2
    exe = opts["--check"]
    corpus = opts.get("--corpus")
    sources = []
    if corpus and os.path.isdir(corpus):
        for name in sorted(os.listdir(corpus)):
            if name.lower().endswith(".ins"):
                with open(os.path.join(corpus, name), "rb") as f:
                    sources.append((name, f.read(), None))
    else:
        print("no corpus folder %r: generated files only" % corpus)
    sources += generated(int(opts.get("--files", 120)), int(opts.get("--seed", 1)))
    failed = 0
    checked = 0
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "file.ins")
        for name, data, codepage in sources:
            with open(path, "wb") as f:
                f.write(data)
            failures = check_file(exe, path, data, codepage, tmp)
            checked += 1
            if failures:
                failed += 1
                keep = os.path.join(tempfile.gettempdir(), "veltrane-fix-safety-%d.ins" % checked)
                shutil.copyfile(path, keep)
                print("%s (kept as %s):" % (name, keep))
                for failure in failures:
                    print("  " + failure)
    print("%d files, %d failed" % (checked, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
