"""Generated files that hold every construct of the rules: sections known and
unknown, name lists with numbers at the edges of their ranges, duplicates
and malformed entries, instruments with every key well and badly written,
misspelt and unknown keys, BasedOn chains, cycles and forward references,
gaps, comments after values, suppression comments, long lines, every line
end and a last line without one."""

SECTION_LINES = [b".Patch Names", b".Note Names", b".Controller Names", b".RPN Names",
                 b".NRPN Names", b".Instrument Definitions",
                 # Headers match by their start; the rest is no header.
                 b".Patch Names trailing", b".Instrument Definitionsx", b".Sequences",
                 b".patch names", b".", b". Patch Names", b".Other" + b"x" * 90]
NUMBERS = [b"0", b"1", b"2", b"127", b"128", b"129", b"16383", b"16384", b"007", b"0128",
           b"00016383", b"99999999999999999999999"]
TEXTS = [b"Piano", b"Piano", b"Organ", b"", b"Pad; bright", b";", b"Drums ", b"a=b", b"\tTab"]
BAD_ENTRIES = [b"12 Warm Pad", b"x=Pad", b"=Pad", b" 12=Pad", b"12 =Pad", b"-1=Pad", b"+1=Pad",
               b"1.5=Pad", b"12", b"BasedOn=A", b"BasedOnX", b"basedon=A", b"0x10=Pad"]
GAPS = [b"", b" ", b"\t \t", b"; comment", b"  ;", b"\t; x"]
BANKS = [b"*", b"0", b"16383", b"042", b"*", b"5", b"16384", b"", b"x", b"-1", b"1 ", b"99999999999"]
PROGRAMS = [b"*", b"0", b"127", b"128", b"07", b"", b"y", b" 8", b"*\t"]
SWITCHES = [b"0", b"0", b"1", b"1", b"2", b"", b" 1", b"1 ", b"1\t; on", b"01", b"0 ;", b"10"]
METHODS = [b"0", b"1", b"3", b"2", b"0", b"4", b"1 ; MSB only", b"10", b"", b"-1", b"1\t"]
MISSPELT = [b"Contol", b"patch", b"BasedOnn", b"KEY", b"Drun", b"Bankselmethod", b"Cnxotrol",
            b"Pacxth", b"UseNoteAsControllers", b"UsesNoteAsControllers", b"Kye", b"NRNP",
            b"RPN ", b"Keys", b"Ky", b"PN", b"Drums", b"Controller", b"Patches",
            b"SupportsPitchBend", b"Foo", b"", b" Patch", b"DRUM", b"rpn",
            # "[", "]" and "=" as the second byte of a double-byte character.
            b"Contr\x83[ol", b"RPN\x83", b"Patch[\x83]]", b"Key[\x83],0]"]


def reference(rng, labels):
    name = rng.choice(labels)
    return name + rng.choice([b"", b"", b"", b" ", b" ; comment", b";x", b"\t"])


def key_line(rng, labels, words):
    """One line of an instrument."""
    roll = rng.random()
    bank, program = rng.choice(BANKS), rng.choice(PROGRAMS)
    if roll < 0.15:
        return b"Patch[" + bank + b"]=" + reference(rng, labels)
    if roll < 0.25:
        return b"Key[" + bank + b"," + program + b"]=" + reference(rng, labels)
    if roll < 0.35:
        return b"Drum[" + bank + b"," + program + b"]=" + rng.choice(SWITCHES)
    if roll < 0.45:
        return rng.choice([b"Control", b"RPN", b"NRPN", b"BasedOn"]) + b"=" + reference(rng, labels)
    if roll < 0.52:
        return b"BankSelMethod=" + rng.choice(METHODS)
    if roll < 0.57:
        return rng.choice([b"UseNotesAsControllers", b"UsesNotesAsControllers"]) + b"=" + rng.choice(SWITCHES)
    if roll < 0.72:
        # Brackets and "=" wrong or missing.
        return rng.choice([b"Patch[0", b"Patch0]=A", b"Patch[]=A", b"Patch[0,0]=A", b"Patch[0]]=A",
                           b"Patch", b"Patch[0]", b"Key[0]=A", b"Key[0,0,0]=A", b"Key[,]=A",
                           b"Key[0,0]x=A", b"Drum[0,0]", b"Drum=1", b"Control[1]=A", b"Control",
                           b"RPN[=A", b"BankSelMethod[1]=1", b"UseNotesAsControllers",
                           b"Drum[*,*]=0", b"Drum[0,0]=1", b"Patch[*]=A;B"])
    if roll < 0.92:
        return rng.choice(MISSPELT + words) + rng.choice([b"=1", b"[0]=A", b"[0,0]=1", b"", b"=A ; c"])
    return rng.choice(GAPS)


def entry_line(rng, labels, words):
    """One line of a name list."""
    roll = rng.random()
    if roll < 0.7:
        return rng.choice(NUMBERS) + b"=" + rng.choice(TEXTS + words)
    if roll < 0.8:
        return rng.choice(BAD_ENTRIES)
    if roll < 0.9:
        return b"BasedOn=" + reference(rng, labels)
    return rng.choice(GAPS)


def suppression(rng):
    patterns = [b"VLT2002", b"VLT3001", b"VLT3", b"VLT2", b"ALL", b"VLT1003", b"VLT1", b"VLT9",
                b"vlt2", b"VLT0001", b"VLT3007", b"VLT", b"X", b"VLT2001", b"VLT3005", b"VLT20041"]
    separators = [b", ", b" ", b",", b"\t", b" ,, "]
    ids = b""
    for n in range(rng.randint(0, 3)):
        ids += (rng.choice(separators) if n else b"") + rng.choice(patterns)
    head = rng.choice([b"; veltrane: ignore ", b"; veltrane: ignore-file ", b";veltrane:ignore ",
                       b"  ; veltrane:  ignore\t", b"; veltrane: ignore", b"; Veltrane: ignore ",
                       b"; veltrane: ignored ", b"; veltrane ignore "])
    return head + ids


def chain(rng, labels):
    """Lists based on one another: forward references, chains and circles."""
    lines = []
    for _ in range(rng.randint(1, 4)):
        lines.append(b"[" + rng.choice(labels[:4]) + b"]")
        lines.append(b"BasedOn=" + rng.choice(labels[:4]))
        if rng.random() < 0.3:
            lines.append(rng.choice([b"0=x", b"; c", b"BasedOn=" + rng.choice(labels)]))
    return lines


def rule_file(rng, words, odd_line):
    """A file of sections, lists and instruments; `words` adds names of the
    code page and `odd_line` gives one of the scanner's odd lines."""
    labels = [b"A", b"B", b"C", b"A ", b" B", b"\tC", b"Kit", b""] + words
    lines = []
    instruments = False
    for _ in range(rng.randint(1, 14)):
        roll = rng.random()
        if roll < 0.25:
            # A long unknown header is quoted up to a cut that may halve a character.
            header = rng.choice(SECTION_LINES[:6] * 3 + SECTION_LINES[6:] + [b"." + b"".join(words) * 20])
            instruments = header.startswith(b".Instrument Definitions") or (
                instruments and not any(header.startswith(h) for h in SECTION_LINES[:5]))
            lines.append(header)
        elif roll < 0.65:
            lines.append(b"[" + rng.choice(labels) + rng.choice([b"]", b"]", b"]", b"", b"] x"]))
            body = key_line if instruments == (rng.random() < 0.9) else entry_line
            lines += [body(rng, labels, words) for _ in range(rng.randint(0, 8))]
        elif roll < 0.69:
            lines += chain(rng, labels)
        elif roll < 0.72:
            # A whole list, counted from 0 or from 1, sometimes with both ends.
            first = rng.choice([0, 1, 1])
            lines.append(b"[" + rng.choice(labels) + b"]")
            lines += [b"%d=n%d" % (i, i) for i in range(first, first + 128)]
            if rng.random() < 0.3:
                lines.append(b"0=zero" if first else b"128=end")
        elif roll < 0.74:
            # Kits in whatever section stands, used by Key lines: a forgotten
            # ".Note Names" when that is another one.
            kits = [rng.choice(labels) for _ in range(rng.randint(1, 3))]
            for kit in kits:
                lines += [b"[" + kit + b"]", b"36=Kick"]
            lines += [b".Instrument Definitions", b"[I]"]
            lines += [rng.choice([b"Key[0,%d]=", b"Patch[%d]="]) % n + rng.choice(kits)
                      for n in range(rng.randint(1, 4))]
            instruments = True
        elif roll < 0.8:
            lines.append(suppression(rng))
        elif roll < 0.9:
            lines.append(odd_line(rng))
        else:
            # Long lines about the 253 bytes a line may have.
            length = rng.choice([252, 253, 254, 255, 300, 600])
            start = rng.choice([b"0=", b"Patch[0]=", b"; ", b"[", b"x"])
            lines.append(start + b"n" * (length - len(start)))
    ends = [b"\n"] * 8 + [b"\r\n"] * 3 + [b"\r", b"\r\r\n", b""]
    data = b"".join(line + rng.choice(ends) for line in lines)
    if rng.random() < 0.2:
        data = data.rstrip(b"\r\n")
    if rng.random() < 0.1:
        # The DOS end-of-file mark, after a line end or in the last line.
        data += b"\x1a"
    return data
