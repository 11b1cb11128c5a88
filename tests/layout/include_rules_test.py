#!/usr/bin/env python3
"""The layering check itself on small made-up trees: which includes of
checker/'s rooms it lets through and which it reports."""

import pathlib
import sys
import tempfile
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).parent))
import include_rules  # noqa: E402

# (file, the header it includes, whether that breaks the layering)
CASES = [
    ("checker/check.cpp", "checker/scanner.h", False),
    ("checker/check.cpp", "checker/rules/lint.h", True),
    ("checker/check.h", "checker/notes/note_finder.h", True),
    ("checker/finding.cpp", "checker/fix/fix_apply.h", True),
    ("checker/rules/lint_lists.cpp", "checker/notes/edit_distance.h", False),
    ("checker/rules/lint_lists.cpp", "checker/fix/reference_fix.h", False),
    ("checker/notes/check_notes.cpp", "checker/fix/reference_fix.h", False),
    ("checker/notes/note_finder.cpp", "checker/rules/lint.h", True),
    ("checker/fix/reference_fix.cpp", "checker/notes/note_finder.h", True),
    ("checker/fix/reference_fix.cpp", "checker/rules/rule_sink.h", True),
    ("checker/fix_apply_x.cpp", "checker/rules/lint.h", True),  # a name, not a room
    ("checker/rules/x.cpp", "lsp/analysis.h", True),
    ("lsp/analysis.h", "checker/rules/rule_selection.h", False),
    ("cli/fix_command.cpp", "checker/fix/fix_apply.h", False),
]


class IncludeRulesTest(unittest.TestCase):
    def test_rooms(self):
        for path, header, broken in CASES:
            with self.subTest(path=path, header=header), tempfile.TemporaryDirectory() as root:
                file = pathlib.Path(root, path)
                file.parent.mkdir(parents=True)
                file.write_text(f'#include "{header}"\n')
                problems = list(include_rules.broken_rules(pathlib.Path(root)))
                self.assertEqual(bool(problems), broken, problems)


if __name__ == "__main__":
    unittest.main()
