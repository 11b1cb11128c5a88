#!/usr/bin/env python3
"""Writes generated instrument files for the web engine's tests: the same
generators as the model's comparison (random files full of the scanner's
edge cases, and files of every rule's constructs), with names in the code
page the file is meant for.

Usage: generate_files.py FOLDER FILES SEED CODEPAGE
CODEPAGE is 1252, 65001, 932, 936, 949 or 950. The files are named
generated-N.ins."""

import os
import pathlib
import random
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "model"))

import ins_model  # noqa: E402
import rule_files  # noqa: E402


def main(argv):
    folder, files, seed, codepage = argv[0], int(argv[1]), int(argv[2]), int(argv[3])
    rng = random.Random(seed * 100000 + codepage)
    names, filler_parts = ins_model.generator_for(codepage if codepage in ins_model.LEAD_BYTES else None)
    for n in range(files):
        if n % 2:
            data = rule_files.rule_file(rng, rng.sample(names, 3),
                                        lambda r: ins_model.name_line(r, names))
        else:
            data = ins_model.random_file(rng, names, filler_parts)
        with open(os.path.join(folder, "generated-%d.ins" % n), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
