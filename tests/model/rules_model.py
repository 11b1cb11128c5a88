"""The rules beyond cross-references, modelled plainly from their description:
one pass over the file's lines for the line rules, the BasedOn graph over
the scanner's resolved references, then suppression comments, selection and
the order of gnu lines. Findings are (file offset, rule id, message bytes);
ins_model.py places them and writes the lines."""

# id: (severity, on by default)
RULES = {
    "VLT0001": ("note", True),
    "VLT1001": ("warning", True), "VLT1002": ("error", True), "VLT1003": ("error", True),
    "VLT2001": ("error", True), "VLT2002": ("warning", True), "VLT2003": ("error", True),
    "VLT2004": ("error", True), "VLT2005": ("warning", True), "VLT2006": ("note", True),
    "VLT2007": ("error", True), "VLT2008": ("warning", True), "VLT2009": ("warning", True),
    "VLT2010": ("warning", True),
    "VLT3001": ("warning", True), "VLT3002": ("warning", True), "VLT3003": ("note", True),
    "VLT3004": ("warning", True), "VLT3005": ("note", True), "VLT3006": ("note", True),
    "VLT3007": ("note", False), "VLT3008": ("warning", True), "VLT3009": ("warning", True),
}
SECTIONS = [b".Patch Names", b".Note Names", b".Controller Names", b".RPN Names",
            b".NRPN Names", b".Instrument Definitions"]
INSTRUMENTS = 6
LARGEST = {1: 127, 2: 127, 3: 127, 4: 16383, 5: 16383}
# In the order that breaks ties between equally close misspellings.
KNOWN_KEYS = [b"Patch", b"Key", b"Drum", b"Control", b"RPN", b"NRPN", b"BasedOn",
              b"BankSelMethod", b"UseNotesAsControllers", b"UsesNotesAsControllers"]
BLANKS = b" \t"
DIGITS = b"0123456789"


def shown(text):
    """Control characters as escapes: a tab as \\t, any other as \\xHH."""
    out = bytearray()
    for c in text:
        if c == 9:
            out += b"\\t"
        elif c < 0x20 or c == 0x7F:
            out += b"\\x%02X" % c
        else:
            out.append(c)
    return bytes(out)


def quoted(text):
    return b'"' + shown(text) + b'"'


def rule_lines(data):
    """(offset, text) of each line split at LF; a CR before the LF is part of
    the line end, a lone CR stays in the text. Nothing after a final LF."""
    out = []
    start = 0
    while start < len(data):
        end = data.find(b"\n", start)
        stop = len(data) if end < 0 else end
        text = data[start:stop]
        if end >= 0 and text.endswith(b"\r"):
            text = text[:-1]
        out.append((start, text))
        start = stop + 1
    return out


def without_end_mark(data):
    """One Ctrl-Z at the very end, the DOS end-of-file mark, is no part of any line."""
    return data[:-1] if data.endswith(b"\x1a") else data


def is_blank(text):
    return all(c in BLANKS for c in text)


def is_comment(text):
    return text.lstrip(BLANKS)[:1] == b";"


def section_of(text):
    for n, header in enumerate(SECTIONS, 1):
        if text.startswith(header):
            return n
    return None


def digits_prefix(text):
    n = 0
    while n < len(text) and text[n] in DIGITS:
        n += 1
    return text[:n]


def first_of(text, chars, leads):
    """Index of the first character of `text` that is one of `chars` (a lead
    byte and its trail byte are one character), or len(text)."""
    i = 0
    while i < len(text):
        if text[i] in leads and i + 1 < len(text):
            i += 2
            continue
        if text[i] in chars:
            return i
        i += 1
    return len(text)


def distance(a, b):
    """Damerau-Levenshtein distance: insertions, deletions, substitutions and
    transpositions of adjacent letters, any of them more than once."""
    inf = len(a) + len(b)
    last_row = {}
    d = [[inf] * (len(b) + 2) for _ in range(len(a) + 2)]
    for i in range(len(a) + 1):
        d[i + 1][0] = inf
        d[i + 1][1] = i
    for j in range(len(b) + 1):
        d[0][j + 1] = inf
        d[1][j + 1] = j
    for i in range(1, len(a) + 1):
        last_col = 0
        for j in range(1, len(b) + 1):
            k = last_row.get(b[j - 1], 0)
            ell = last_col
            cost = 0 if a[i - 1] == b[j - 1] else 1
            if cost == 0:
                last_col = j
            d[i + 1][j + 1] = min(d[i][j] + cost, d[i + 1][j] + 1, d[i][j + 1] + 1,
                                  d[k][ell] + (i - k - 1) + 1 + (j - ell - 1))
        last_row[a[i - 1]] = i
    return d[len(a) + 1][len(b) + 1]


def likely_key(name):
    """The known key `name` most likely misspells, or None."""
    best = None
    for key in KNOWN_KEYS:
        limit = 1 if len(key) <= 4 else 2
        d = distance(name.lower(), key.lower())
        if d <= limit and (best is None or d < best[0]):
            best = (d, key)
    return best[1] if best else None


def value_of(text, eq, leads):
    """A key's value: after "=", cut at ";", without blanks at its end."""
    value = text[eq + 1:]
    return value[:first_of(value, b";", leads)].rstrip(BLANKS)


def bank_ok(text):
    return text == b"*" or (text != b"" and digits_prefix(text) == text and int(text) <= 16383)


def program_ok(text):
    return text == b"*" or (text != b"" and digits_prefix(text) == text and int(text) <= 127)


def normal(number):
    return number if number == b"*" else b"%d" % int(number)


# The values a key may take, and what is said of any other.
VALUES = {
    b"Drum": ((b"0", b"1"), b"Drum is set to %s, neither 0 nor 1"),
    b"BankSelMethod": ((b"0", b"1", b"2", b"3"), b"BankSelMethod is set to %s, not 0..3"),
    b"UseNotesAsControllers": ((b"0", b"1"), b"UseNotesAsControllers is set to %s, neither 0 nor 1"),
    b"UsesNotesAsControllers": ((b"0", b"1"), b"UsesNotesAsControllers is set to %s, neither 0 nor 1"),
}


def key_problem(name, text, leads, people):
    """The first problem of a known key's line as (offset in the line, message),
    or None and the key's identity for duplicates."""
    eq = first_of(text, b"=", leads)
    bracketed = name in (b"Patch", b"Key", b"Drum")
    if not bracketed and text[len(name):len(name) + 1] == b"[":
        return (0, b"Malformed key: %s takes no brackets, %s=" % (name, name)), None
    if eq == len(text):
        return (0, b"Malformed key: " + quoted(name) + b' has no "="'), None
    part = text[len(name):eq]
    if bracketed:
        close = first_of(part, b"]", leads)
        numbers = part[1:-1].split(b",")
        if part[:1] != b"[" or close != len(part) - 1 or len(numbers) != (1 if name == b"Patch" else 2):
            if name == b"Patch":
                return (0, b"Malformed key: Patch takes one bank, Patch[BANK]="), None
            return (0, b"Malformed key: %s takes a bank and a program, %s[BANK,PROGRAM]=" % (name, name)), None
        # A part that would be a number but for blanks at its ends: the blank is said.
        blank = (b"Malformed key: a blank inside the brackets of %s makes its %s no number "
                 b"for programs; remove the blank")
        if not bank_ok(numbers[0]):
            if numbers[0] != numbers[0].strip(BLANKS) and bank_ok(numbers[0].strip(BLANKS)):
                return (0, blank % (name, b"bank")), None
            return (0, b"Malformed key: the bank of %s is neither * nor 0..16383" % name), None
        if name != b"Patch" and not program_ok(numbers[1]):
            if numbers[1] != numbers[1].strip(BLANKS) and program_ok(numbers[1].strip(BLANKS)):
                return (0, blank % (name, b"program")), None
            return (0, b"Malformed key: the program of %s is neither * nor 0..127" % name), None
        identity = name + b"[" + b",".join(normal(n) for n in numbers) + b"]"
    else:
        identity = b"UseNotesAsControllers" if name == b"UsesNotesAsControllers" else name
    if name in VALUES:
        value = value_of(text, eq, leads)
        allowed, said = VALUES[name]
        if value not in allowed:
            return (eq + 1, said % quoted(people(value))), None
    return None, identity


class LinePass:
    """The line rules over one file; `people` turns bytes into the text that
    messages quote, `line_of` gives an offset's physical line."""

    def __init__(self, data, leads, people, line_of):
        self.data, self.leads, self.people, self.line_of = data, leads, people, line_of
        self.out = []

    def add(self, offset, rule, message):
        self.out.append((offset, rule, message))

    def run(self):
        section = 0
        unknown = False          # the last "." line names no section
        list_entries = None      # number -> (physical line, text) of the open name list
        instrument = None        # the open instrument's state
        data = without_end_mark(self.data)
        for start, text in rule_lines(data):
            if len(text) > 253:
                self.add(start + 253, "VLT3009", b"Line of %d bytes: programs read a line of more than "
                         b"253 bytes as several" % len(text))
            if text[:1] == b".":
                kind = section_of(text)
                unknown = kind is None
                if kind is None:
                    self.add(start, "VLT2009", b"Unknown section header " + quoted(self.people(text[:80])) +
                             b": programs read the lists after it differently")
                else:
                    section = kind
                self.end_instrument(instrument)
                list_entries = instrument = None
            elif text[:1] == b"[":
                self.end_instrument(instrument)
                list_entries = instrument = None
                # Under a header of no section, the lines after a label are
                # neither entries nor keys.
                if unknown:
                    pass
                elif 1 <= section <= 5:
                    list_entries = {}
                elif section == INSTRUMENTS:
                    # Without "]", as for the scanner, the name is empty.
                    close = first_of(text, b"]", self.leads)
                    instrument = {"name": text[1:close] if close < len(text) else b"",
                                  "keys": {}, "patch": None, "gap": None, "drums": []}
            elif list_entries is not None:
                self.entry(start, text, section, list_entries)
            elif instrument is not None:
                self.key_line(start, text, instrument)
        self.end_instrument(instrument)
        if data and data[-1:] not in (b"\n", b"\r"):
            self.add(len(data), "VLT3008",
                     b"The last line has no line end: one program loses its last character")
        return self.out

    def end_instrument(self, instrument):
        """VLT3006 for each Drum[B,P]=0 that no wider Drum line of the
        instrument (B or * and * for P, * for B, or both *) sets to 1."""
        if instrument is None:
            return
        ones = {bp for start, bp, value in instrument["drums"] if value == b"1"}
        for start, (bank, program), value in instrument["drums"]:
            wider = {(bank, b"*"), (b"*", program), (b"*", b"*")} - {(bank, program)}
            if value == b"0" and not wider & ones:
                self.add(start, "VLT3006", b"Drum[...]=0: one program counts every Drum line as a drum")

    def entry(self, start, text, section, entries):
        if is_blank(text) or is_comment(text) or text.startswith(b"BasedOn"):
            return
        digits = digits_prefix(text)
        if not digits or text[len(digits):len(digits) + 1] != b"=":
            self.add(start, "VLT2003",
                     b"Not an entry: a line of a name list is NUMBER=NAME, a comment or blank")
            return
        number = int(digits)
        if number > LARGEST[section]:
            self.add(start, "VLT2001", b"Number %s is outside 0..%d" % (digits, LARGEST[section]))
        name = text[len(digits) + 1:]
        if number in entries:
            first_line, first_text = entries[number]
            message = b"Number %s already has an entry in line %d" % (digits, first_line)
            if first_text == name:
                message += b", with the same text"
            else:
                message += b", with another text: " + quoted(self.people(first_text))
            self.add(start, "VLT2002", message)
        else:
            entries[number] = (self.line_of(start), name)
        semicolon = first_of(name, b";", self.leads)
        if semicolon < len(name):
            self.add(start + len(digits) + 1 + semicolon, "VLT3007",
                     b'";" in the name of entry %s: some programs cut the name there' % digits)

    def key_line(self, start, text, instrument):
        if is_blank(text) or is_comment(text):
            # The message says what the gap's first line is.
            if instrument["gap"] is None:
                instrument["gap"] = (start, is_comment(text))
            return
        if instrument["gap"] is not None:
            gap, comment = instrument["gap"]
            instrument["gap"] = None
            self.add(gap, "VLT3005", (b"Comment line" if comment else b"Blank line") +
                     b" inside instrument " + quoted(self.people(instrument["name"])) +
                     b": one program stops reading the instrument here")
        name = text[:first_of(text, b"[=", self.leads)]
        if name not in KNOWN_KEYS:
            # Without a name, the message shows the line's start.
            said = quoted(self.people(name or text[:40]))
            likely = likely_key(name)
            if likely is not None:
                self.add(start, "VLT2005", b"Unknown key " + said + b": most likely " +
                         quoted(likely) + b", which the instrument lacks in every program")
            else:
                self.add(start, "VLT2006", b"Unknown key " + said + b": most programs ignore it")
            return
        eq = first_of(text, b"=", self.leads)
        semicolon = eq + 1 + first_of(text[eq + 1:], b";", self.leads)
        if semicolon < len(text):
            self.add(start + semicolon, "VLT3001",
                     b"Comment after the value of " + name + b": some programs keep it as part of the value")
        problem, identity = key_problem(name, text, self.leads, self.people)
        if problem is not None:
            where, message = problem
            self.add(start + where, "VLT2004", message)
            return
        line = self.line_of(start)
        if identity in instrument["keys"]:
            self.add(start, "VLT2008", b"Key %s already set in line %d: programs disagree which one wins"
                     % (identity, instrument["keys"][identity]))
        else:
            instrument["keys"][identity] = line
        if name == b"Patch" and instrument["patch"] is None:
            instrument["patch"] = line
        if name == b"BankSelMethod" and instrument["patch"] is not None:
            self.add(start, "VLT3004", b"BankSelMethod after the instrument's Patch lines (the first in line %d): "
                     b"one program applies it only to later ones" % instrument["patch"])
        if name == b"Drum":
            bank, program = identity[5:-1].split(b",")
            instrument["drums"].append((start, (bank, program), value_of(text, eq, self.leads)))


# ---- Over the scanner's resolved lists ----

def strongly_connected(nodes, edges):
    """Component number of each node (Tarjan's algorithm, recursion-free)."""
    index, low, comp, stack, on_stack = {}, {}, {}, [], set()
    counter = [0]
    for root in nodes:
        if root in index:
            continue
        work = [(root, iter(edges.get(root, ())))]
        index[root] = low[root] = counter[0]
        counter[0] += 1
        stack.append(root)
        on_stack.add(root)
        while work:
            node, it = work[-1]
            advanced = False
            for nxt in it:
                if nxt not in index:
                    index[nxt] = low[nxt] = counter[0]
                    counter[0] += 1
                    stack.append(nxt)
                    on_stack.add(nxt)
                    work.append((nxt, iter(edges.get(nxt, ()))))
                    advanced = True
                    break
                if nxt in on_stack:
                    low[node] = min(low[node], index[nxt])
            if advanced:
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    comp[member] = node
                    if member == node:
                        break
    return comp


def list_rules(labels, based_on, blank_refs, people, line_of):
    """VLT2007, VLT3003 and VLT3002 over the scanner's results.
    labels: (offset of name, name, section kind) of every label, in file order.
    based_on: (offset of reference, index of its label or None, index of target).
    blank_refs: (offset, name) of references that resolve to a label whose
    name starts or ends with a blank or tab."""
    out = []
    edges = {}
    for offset, owner, target in based_on:
        if owner is not None:
            edges.setdefault(owner, []).append(target)
    comp = strongly_connected(list(range(len(labels))), edges)
    for offset, owner, target in based_on:
        if owner is None:
            continue
        name = people(labels[target][1])
        if comp[owner] == comp[target]:
            if owner == target:
                message = b"List " + quoted(name) + b" is based on itself"
            else:
                message = (b"List " + quoted(people(labels[owner][1])) + b" is based on " + quoted(name) +
                           b", which leads back to it")
            out.append((offset, "VLT2007", message))
        elif labels[target][0] > offset:
            out.append((offset, "VLT3003", b"BasedOn names " + quoted(name) +
                        b", which is defined only later, in line %d" % line_of(labels[target][0])))
        elif target in edges:
            out.append((offset, "VLT3003", b"BasedOn names " + quoted(name) + b", which is itself based on " +
                        quoted(people(labels[edges[target][0]][1])) + b": a chain more than one level deep"))
    for offset, name, kind in labels:
        if name[:1] in (b" ", b"\t") or name[-1:] in (b" ", b"\t"):
            out.append((offset, "VLT3002", b"Label " + quoted(people(name)) + b" has blanks around its name"))
    for offset, name in blank_refs:
        out.append((offset, "VLT3002", b"Reference " + quoted(people(name)) +
                    b" matches its list only with the blanks around it"))
    return out


LISTS_OF = {1: b"patch lists", 2: b"note lists", 3: b"controller lists", 4: b"RPN lists",
            5: b"NRPN lists"}


def section_text(kind):
    return SECTIONS[kind - 1] if 1 <= kind <= 6 else b"no section"


def missing_headers(labels, header_lines, uses, people, line_of):
    """VLT2010: the lists of a stretch between two section headers after the
    last one that a key of its own section uses, when the keys that use them
    want one other section, two times or more.
    labels: (offset of name, name, kind, used by a key of its own section) in
    file order, name lists only. header_lines: the physical lines of the
    known headers. uses: label index -> the sections that keys not found
    naming it want."""
    def block(offset):
        return sum(1 for h in header_lines if h <= line_of(offset))
    out = []
    n = 0
    while n < len(labels):
        end = n + 1
        while end < len(labels) and block(labels[end][0]) == block(labels[n][0]):
            end += 1
        first = n
        for i in range(n, end):
            if labels[i][3]:
                first = i + 1
        while first < end and not uses.get(first):
            first += 1
        wanted = [w for i in range(first, end) for w in uses.get(i, [])]
        if first < end and len(wanted) >= 2 and len(set(wanted)) == 1:
            offset, name, kind, _ = labels[first]
            want = wanted[0]
            count = end - first
            if count == 1:
                said = (b"List " + quoted(people(name)) + b" is used as " +
                        (b"an " if want in (4, 5) else b"a ") + LISTS_OF[want][:-1] + b" but stands under ")
            else:
                said = (b"Lists " + quoted(people(name)) + b" to " + quoted(people(labels[end - 1][1])) +
                        b" (%d lists) are used as " % count + LISTS_OF[want] + b" but stand under ")
            out.append((offset, "VLT2010", said + section_text(kind) + b': a "' + section_text(want) +
                        b'" line is probably missing above line %d' % line_of(offset)))
        n = end
    return out


# ---- Suppression, selection, order ----

def patterns_of(text):
    """The suppression of a comment line as (whole file?, [(index, pattern)]),
    or None. A lone CR ends it: editors show what follows on a line of its own."""
    text = text.split(b"\r")[0]
    i = 0
    while i < len(text) and text[i] in BLANKS:
        i += 1
    if text[i:i + 1] != b";":
        return None
    i += 1
    while i < len(text) and text[i] in BLANKS:
        i += 1
    if text[i:i + 9] != b"veltrane:":
        return None
    i += 9
    while i < len(text) and text[i] in BLANKS:
        i += 1
    if text[i:i + 11] == b"ignore-file":
        whole, i = True, i + 11
    elif text[i:i + 6] == b"ignore":
        whole, i = False, i + 6
    else:
        return None
    if i < len(text) and text[i] not in b" \t,":
        return None
    out = []
    while i < len(text):
        if text[i] in b" \t,":
            i += 1
            continue
        j = i
        while j < len(text) and text[j] not in b" \t,":
            j += 1
        out.append((i, text[i:j]))
        i = j
    return whole, out


def matches(pattern, rule):
    return pattern == b"ALL" or rule.encode().startswith(pattern)


def suppress(findings, data, selected, people, line_of):
    """The findings of selected rules that no comment silences, plus VLT0001
    for each pattern that silenced nothing. "ignore" reaches the findings on
    the physical line where its target line starts."""
    findings = [f for f in findings if f[1] in selected]
    lines = rule_lines(without_end_mark(data))
    scopes = []          # [physical line, "file" or None, pattern, its offset, used?]
    bare = []            # where the comments that name no rule start
    for n, (start, text) in enumerate(lines):
        found = patterns_of(text)
        if found is None:
            continue
        whole, patterns = found
        if not patterns:
            bare.append(start)
        if whole:
            line = "file"
        else:
            target = next((s for s, t in lines[n + 1:] if not is_blank(t) and not is_comment(t)), None)
            line = None if target is None else line_of(target)
        scopes += [[line, pattern, start + index, False] for index, pattern in patterns]
    kept = []
    for f in findings:
        silenced = False
        for scope in scopes:
            if scope[0] in ("file", line_of(f[0])) and matches(scope[1], f[1]):
                scope[3] = silenced = True
        if not silenced:
            kept.append(f)
    if "VLT0001" in selected:
        # A suppression that silences nothing is reported; one without an
        # id silences nothing at all.
        for offset in bare:
            kept.append((offset, "VLT0001", b"Suppression without a rule id silences nothing: "
                         b"name the rules, as in \"; veltrane: ignore VLT2002\""))
        for _, pattern, offset, used in scopes:
            said = b"Suppression of " + quoted(people(pattern))
            if not any(matches(pattern, r) for r in RULES):
                kept.append((offset, "VLT0001", said + b", which names no rule"))
            elif not used and any(matches(pattern, r) for r in selected if r != "VLT0001"):
                kept.append((offset, "VLT0001", said + b" silences nothing"))
    return kept


def selection(select_all):
    return {r for r, (_, on) in RULES.items() if on or select_all}


def chosen(select, ignore):
    """The rules that --select SELECT --ignore IGNORE (comma-separated ids
    or prefixes; select None for the default) leave on."""
    def named(patterns):
        return {r for r in RULES if any(matches(p.encode(), r) for p in patterns.split(","))}
    on = selection(False) if select is None else named(select)
    return on - named(ignore) if ignore else on


def ordered(findings):
    """gnu order: by place in the file, then rule id; stable otherwise."""
    return sorted(findings, key=lambda f: (f[0], f[1]))
