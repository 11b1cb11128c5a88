#!/usr/bin/env python3
"""veltrane-lsp.exe under Wine, driven by the protocol test client as an
editor would drive it: its diagnostics on the examples, on generated files
and (when the checkout has ../shared/corpus beside it) on real files are
those of the Linux veltrane-check --format=gnu on the same bytes; a
definition, a rename and a quick fix; hostile framing; exit statuses.

Usage: lsp_e2e.py WINDOWS_BIN LINUX_BIN WORK_DIR
  WINDOWS_BIN holds veltrane-lsp.exe, LINUX_BIN veltrane-check; WORK_DIR
  gets the Wine prefix.
"""

import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "lsp"))
sys.path.insert(0, os.path.join(ROOT, "tests", "model"))
sys.path.insert(0, HERE)
import ins_model  # noqa: E402
import lsp_test  # noqa: E402
from cli_e2e import Wine  # noqa: E402
from lsp_client import LspClient, LspError  # noqa: E402


def main(argv):
    win_bin, linux_bin, work = (os.path.abspath(a) for a in argv[:3])
    os.makedirs(work, exist_ok=True)
    wine = Wine(os.path.join(work, "prefix"))
    wine.create()
    lsp_test.CHECK = os.path.join(linux_bin, "veltrane-check")
    exe = os.path.join(win_bin, "veltrane-lsp.exe")
    argv = ["env"] + ["%s=%s" % (k, wine.env[k]) for k in
                      ("WINEPREFIX", "HOME", "WINEARCH", "WINEDEBUG", "WINEDLLOVERRIDES")] + ["wine", exe]
    problems = []

    def expect(ok, what):
        print(("ok: " if ok else "FAIL: ") + what)
        if not ok:
            problems.append(what)

    version = wine.run([exe, "--version"], work)
    expect(version.returncode == 0 and version.stdout.startswith(b"veltrane-lsp "), "--version")

    texts = []
    for folder in (os.path.join(ROOT, "examples"), os.path.join(ROOT, "..", "shared", "corpus")):
        if os.path.isdir(folder):
            for name in sorted(os.listdir(folder)):
                if name.endswith(".ins"):
                    with open(os.path.join(folder, name), "rb") as f:
                        texts.append((name, f.read().decode("latin-1")))
    source = random.Random(9)
    texts += [("generated-%d" % n, ins_model.random_file(source).decode("latin-1")) for n in range(40)]

    client = LspClient(argv, cwd=work)
    try:
        client.initialize(lsp_test.SHOWS_RELATED, timeout=60)
        for n, (name, text) in enumerate(texts):
            uri = "file:///c:/work/%d.ins" % n
            client.notify("textDocument/didOpen", {"textDocument": {
                "uri": uri, "languageId": "ins", "version": 1, "text": text}})
            published = client.wait_notification("textDocument/publishDiagnostics", timeout=60)
            want = lsp_test.gnu_findings(text.encode("utf-8"), work)
            got = lsp_test.lsp_findings(text, published["diagnostics"])
            has_header = lsp_test.is_instrument_file(text.encode("utf-8"))
            expect(published["uri"] == uri and got == (want if has_header else []),
                   "%s: %d diagnostics as veltrane-check" % (name, len(got)))
        client.notify("textDocument/didOpen", {"textDocument": {
            "uri": lsp_test.URI, "languageId": "ins", "version": 1, "text": lsp_test.RACK}})
        client.wait_notification("textDocument/publishDiagnostics", timeout=60)
        location = client.request("textDocument/definition", lsp_test.at(12, 10))
        expect(location["range"] == lsp_test.rng(1, 1, 1, 8), "definition")
        edit = client.request("textDocument/rename", {**lsp_test.at(13, 10), "newName": "Kit"})
        expect(len(edit["changes"][lsp_test.URI]) == 2, "rename")
        actions = client.request("textDocument/codeAction", {
            **lsp_test.doc(), "range": lsp_test.rng(14, 9, 14, 9), "context": {"diagnostics": []}})
        expect([a["edit"]["changes"][lsp_test.URI][0]["newText"] for a in actions] == ["Standard"],
               "quick fix")
        client.send_raw(b"Content-Length: nine\r\n\r\n{}")
        skipped = client.next_message()
        expect(skipped.get("error", {}).get("code") == -32700, "a bad header is answered")
        try:
            client.request("no/such", {})
            expect(False, "unknown method")
        except LspError as error:
            expect(error.code == -32601, "unknown method")
        expect(client.close(timeout=60) == 0, "exit status 0 after shutdown")
    finally:
        if client.process.poll() is None:
            client.process.kill()

    client = LspClient(argv, cwd=work)
    client.initialize(timeout=60)
    client.notify("exit", None)
    expect(client.wait_exit(timeout=60) == 1, "exit status 1 without shutdown")
    wine.stop()
    print("%d problems" % len(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
