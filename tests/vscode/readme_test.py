#!/usr/bin/env python3
"""What the docs tell VS Code users against the extension itself: the
fix-on-save snippets name the extension's language and the kind of the
server's fix-all, and the editors page's table has every setting the
extension contributes.

Usage: readme_test.py REPOSITORY. Prints what differs; exit 1."""

import json
import os
import re
import sys


def snippets(text):
    """The JSON blocks of `text` that set codeActionsOnSave, parsed."""
    found = []
    for block in re.findall(r"```json\n(.*?)```", text, re.S):
        if "codeActionsOnSave" in block:
            found.append(json.loads("{" + block + "}"))
    return found


def main():
    repo = sys.argv[1]
    with open(os.path.join(repo, "editors", "vscode", "package.json")) as f:
        package = json.load(f)
    with open(os.path.join(repo, "lsp", "features.h")) as f:
        fix_all = re.search(r'kFixAllKind\[\] = "([^"]+)"', f.read()).group(1)
    languages = [language["id"] for language in package["contributes"]["languages"]]
    failures = []
    editors_page = os.path.join("docs", "editors.md")
    for readme in [editors_page, os.path.join("editors", "vscode", "README.md")]:
        with open(os.path.join(repo, readme), encoding="utf-8") as f:
            text = f.read()
        found = snippets(text)
        if len(found) != 1:
            failures.append(f"{readme}: {len(found)} fix-on-save snippets, not one")
        for snippet in found:
            for key, value in snippet.items():
                if key.strip("[]") not in languages or not key.startswith("["):
                    failures.append(f"{readme}: {key} is no language of the extension {languages}")
                kinds = value.get("editor.codeActionsOnSave", {})
                if fix_all not in kinds:
                    failures.append(f"{readme}: the snippet does not run {fix_all}: {kinds}")
    with open(os.path.join(repo, editors_page), encoding="utf-8") as f:
        page = f.read()
    vscode = page[page.index("\n## VS Code\n"):]
    if "\n## " in vscode[1:]:
        vscode = vscode[:vscode.index("\n## ", 1)]
    listed = set(re.findall(r"^\| `(veltrane\.[\w.]+)` \|", vscode, re.M))
    contributed = set(package["contributes"]["configuration"]["properties"])
    if listed != contributed:
        failures.append(f"{editors_page}'s settings table lists {sorted(listed)}, the extension "
                        f"contributes {sorted(contributed)}")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
