#!/usr/bin/env python3
"""A second, deliberately plain implementation of the checker, used to test
veltrane-check on generated files: it reads the file byte by byte, sorts with
an insertion sort, resolves with a nested scan and finds duplicates by
looking back over all earlier definitions, as slowly as it likes.

Usage: ins_model.py [--compare VELTRANE_CHECK] [--files N] [--seed S] [--codepage CP]
  Without --compare it prints the protocol of the file named on the command
  line. With --compare it generates N files and compares byte for byte.
  --codepage 932, 936, 949 or 950 reads names as double-byte text (a lead
  byte and the byte after it are one character) and passes the same
  --codepage to VELTRANE_CHECK; without it, or with a single-byte code page
  such as 1252, every byte is a character.
"""

import os
import random
import subprocess
import sys
import tempfile

HEADERS = [(b".Patch Names", 1), (b".Note Names", 2), (b".Controller Names", 3),
           (b".RPN Names", 4), (b".NRPN Names", 5), (b".Instrument Definitions", 6)]
KEYS = [(b"BasedOn", None), (b"Control", 3), (b"RPN", 4), (b"NRPN", 5),
        (b"Patch", 1), (b"Key", 2)]
PIECE = 254
LEAD_BYTES = {
    932: set(range(0x81, 0xA0)) | set(range(0xE0, 0xFD)),
    936: set(range(0x81, 0xFF)),
    949: set(range(0x81, 0xFF)),
    950: set(range(0x81, 0xFF)),
}


def characters(text, leads):
    """The characters of `text` as (position, code): a lead byte and the byte
    after it are one character of code lead * 256 + trail."""
    out = []
    i = 0
    while i < len(text):
        if text[i] in leads and i + 1 < len(text):
            out.append((i, text[i] * 256 + text[i + 1]))
            i += 2
        else:
            out.append((i, text[i]))
            i += 1
    return out


def find(text, char, leads):
    for pos, code in characters(text, leads):
        if code == char:
            return pos
    return -1


def sort_key(name, leads):
    return [code for _, code in characters(name, leads)]


def pieces(data):
    """Text-mode reading: CR LF is one LF, a lone CR stays; pieces end after
    LF or at 254 characters."""
    chars = bytearray()
    i = 0
    while i < len(data):
        if data[i] == 13 and i + 1 < len(data) and data[i + 1] == 10:
            chars.append(10)
            i += 2
        else:
            chars.append(data[i])
            i += 1
    out = []
    cur = bytearray()
    for c in chars:
        cur.append(c)
        if c == 10 or len(cur) == PIECE:
            out.append(bytes(cur))
            cur = bytearray()
    if cur:
        out.append(bytes(cur))
    return out


def header_kind(piece, kind):
    for literal, k in HEADERS:
        if len(piece) >= len(literal) and piece[:len(literal)] == literal:
            return k
    return kind


def scan(data, leads):
    defs, refs = [], []
    kind = 0
    for line, piece in enumerate(pieces(data), 1):
        if piece[:1] == b".":
            kind = header_kind(piece, kind)
        elif piece[:1] == b"[":
            close = find(piece, ord("]"), leads)
            name = piece[1:close] if close > 0 else b""
            defs.append([name, line, piece, kind, False])
    kind = 0
    for line, piece in enumerate(pieces(data), 1):
        if piece[:1] == b".":
            kind = header_kind(piece, kind)
            continue
        for prefix, key_kind in KEYS:
            if piece[:len(prefix)] == prefix:
                eq = find(piece, ord("="), leads)
                value = piece if eq < 0 else piece[eq + 1:]
                if value.endswith(b"\n"):
                    value = value[:-1]
                if prefix in (b"Patch", b"Key") and value in (b"1..128", b"0..127"):
                    break
                refs.append([value, line, piece, kind if key_kind is None else key_kind, False])
                break
    return defs, refs


def check(data, display, leads=frozenset()):
    defs, refs = scan(data, leads)
    # Insertion sort, stable, by character codes (unsigned bytes when there
    # are no lead bytes).
    for p in range(1, len(defs)):
        key = defs[p]
        q = p - 1
        while q >= 0 and sort_key(defs[q][0], leads) > sort_key(key[0], leads):
            defs[q + 1] = defs[q]
            q -= 1
        defs[q + 1] = key
    for d in defs:
        if d[3] == 6:
            d[4] = True
    for r in refs:
        for d in defs:
            if d[0] == r[0] and d[3] == r[3]:
                r[4] = True
                d[4] = True
                break
    out = [b"Veltrane Protocol\nFile: \"" + display + b"\"\n\n"]
    errors = 0

    def record(entry, finding):
        text = entry[2] if entry[2].endswith(b"\n") else entry[2] + b"\n"
        out.append(b"Line %d: " % entry[1] + text + finding)

    for j, d in enumerate(defs):
        if d[3] == 0:
            continue
        first = next((e for e in defs[:j] if e[0] == d[0] and e[3] == d[3]), None)
        if first is not None:
            record(d, b"Warning: Label \"" + d[0] + b"\" already in line %d\n" % first[1])
            errors += 1
    for d in defs:
        if not d[4]:
            record(d, b"Error: Label \"" + d[0] + b"\" not used\n\n")
            errors += 1
    for r in refs:
        if not r[4]:
            record(r, b"Error: Label \"" + r[0] + b"\" not found\n\n")
            errors += 1
    out.append(b"Number of errors %d" % errors)
    return b"".join(out), errors


NAMES = [b"A", b"a", b"B", b"Std", b"Std ", b" Std", b"GM", b"", b"1..128", b"0..127",
         b"1..127", b"\xe9t\xe9", b"x\x00y", b"Drums", b"Drumz", b"=", b"]"]
# Double-byte names: trail bytes that look like "]" or "=", half-width
# katakana of 932, lead bytes at the end of a name, and plain double-byte
# characters, which sort differently from their bytes.
DOUBLE_BYTE_NAMES = [b"\x83\x5d\x83\x41 Kit", b"\x83\x41", b"\xb1", b"\xb1\xb2", b"\x81=",
                     b"\x95\x5c", b"\x83", b"A\x83", b"\xe0\x40", b"\xfc\xfc", b"\xfe]",
                     b"\x81\x40\x81", b"\x82\x41x", b"\xa4\x40"]
LINE_ENDS = [b"\n", b"\r\n", b"\r", b"", b"\r\r\n"]


def random_file(rng, names=NAMES):
    lines = []
    for _ in range(rng.randint(0, 60)):
        roll = rng.random()
        name = rng.choice(names)
        if roll < 0.15:
            line = rng.choice([h for h, _ in HEADERS] + [b".Other", b".patch names"])
            if rng.random() < 0.2:
                line += b" trailing"
        elif roll < 0.4:
            line = b"[" + name + (b"]" if rng.random() < 0.9 else b"") + rng.choice([b"", b" x", b"]"])
        elif roll < 0.8:
            key = rng.choice([b"BasedOn", b"Control", b"RPN", b"NRPN", b"Patch[*]", b"Key[*,*]",
                              b"Patch[0]", b"Controller", b"KeyXYZ", b"control", b"Patch"])
            line = key + (b"=" + name if rng.random() < 0.9 else b"")
        elif roll < 0.9:
            line = rng.choice([b"0=Piano", b"; comment", b"", b" [A]", b"\t[A]"])
        else:
            line = rng.choice([b"[", b"Control=", b"x"]) + bytes(rng.choice(b"ab]=[\r\x00\x83\xb1") for _ in range(rng.randint(240, 520)))
        lines.append(line + rng.choice(LINE_ENDS))
    return b"".join(lines)


def compare(exe, files, seed, codepage=None):
    rng = random.Random(seed)
    leads = LEAD_BYTES.get(codepage, frozenset())
    names = NAMES + DOUBLE_BYTE_NAMES if leads else NAMES
    options = ["--codepage=%d" % codepage] if codepage else []
    failures = 0
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "generated.ins")
        for n in range(files):
            data = random_file(rng, names)
            with open(path, "wb") as f:
                f.write(data)
            expected, errors = check(data, path.encode(), leads)
            got = subprocess.run([exe] + options + [path], capture_output=True)
            want_status = 1 if errors else 0
            if got.stdout != expected or got.returncode != want_status:
                failures += 1
                keep = os.path.join(tempfile.gettempdir(), "veltrane-model-failure-%d.ins" % n)
                with open(keep, "wb") as f:
                    f.write(data)
                print("file %d differs (kept as %s, status %d, expected %d)"
                      % (n, keep, got.returncode, want_status))
                if failures >= 5:
                    break
    print("%d passed, %d failed" % (files - failures, failures))
    return 1 if failures else 0


def main(argv):
    if len(argv) >= 2 and argv[0] == "--compare":
        exe = argv[1]
        opts = dict(zip(argv[2::2], argv[3::2]))
        codepage = int(opts["--codepage"]) if "--codepage" in opts else None
        return compare(exe, int(opts.get("--files", 500)), int(opts.get("--seed", 1)), codepage)
    codepage = None
    if len(argv) == 3 and argv[0] == "--codepage":
        codepage = int(argv[1])
        argv = argv[2:]
    if len(argv) == 1:
        with open(argv[0], "rb") as f:
            text, _ = check(f.read(), argv[0].encode(), LEAD_BYTES.get(codepage, frozenset()))
        sys.stdout.buffer.write(text)
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
