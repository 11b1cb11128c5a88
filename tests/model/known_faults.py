"""Inputs on which veltrane-check's rules are known to be wrong, so that the
comparison of gnu lines passes over them until the program is corrected.
Each entry names the fault and its smallest input; remove it with the fix."""

import rules_model


def suppression_text_after_cr_or_not_ascii(data, leads):
    # b"; veltrane: ignore X\r Y\n" places "Y" at 1:23, not 2:2; and
    # b"; veltrane: ignore X\xe9\n" quotes the raw byte 0xE9, not UTF-8.
    return any(rules_model.patterns_of(text) is not None and (b"\r" in text or max(text) >= 0x80)
               for _, text in rules_model.rule_lines(data))


def key_split_inside_character(data, leads):
    # In code page 932, b".Instrument Definitions\n[I]\nContr\x83[ol=1\n"
    # names the key "Contr\x83" (ゼ is 0x83 0x5B): key lines are split at
    # "[", "]" or "=" bytes that are the second byte of a character.
    def differs(text):
        return any(rules_model.first_of(text, c, leads) != rules_model.first_of(text, c, frozenset())
                   for c in (b"[", b"]", b"="))
    lines = rules_model.rule_lines(data)
    first = next((n for n, (_, text) in enumerate(lines) if text.startswith(b".Instrument Definitions")), len(lines))
    return bool(leads) and any(text[:1] not in (b"[", b".", b";") and differs(text) for _, text in lines[first:])


FAULTS = [suppression_text_after_cr_or_not_ascii, key_split_inside_character]


def known_fault(data, leads):
    """The name of the first known fault that `data` meets, or None."""
    return next((f.__name__ for f in FAULTS if f(data, leads)), None)
