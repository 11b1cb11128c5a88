#!/usr/bin/env python3
"""The language server's memory with documents open: starts veltrane-lsp,
opens a generated document of each size, waits for its diagnostics, and
reads the server's resident memory (VmRSS) and peak (VmHWM) from /proc,
against the documents' size. Then a document of 300,000 unused lists (as
many findings): the server's peak against veltrane-check --format=gnu's on
the same file, and what the server holds once it is closed and a small
document is open. Run by scripts/bench --lsp.

Usage: lsp_memory.py VELTRANE_LSP VELTRANE_GEN_INS VELTRANE_CHECK WORK_DIR [KBYTES...]"""

import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "lsp"))
from lsp_client import LspClient  # noqa: E402


def memory_kb(pid):
    values = {}
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            name, _, rest = line.partition(":")
            if name in ("VmRSS", "VmHWM"):
                values[name] = int(rest.split()[0])
    return values


def gnu_peak_kb(check, path):
    """veltrane-check --format=gnu's peak resident memory on `path`, in KB."""
    run = subprocess.run(["/usr/bin/time", "-f", "%M", check, "--format=gnu", path],
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    return int(run.stderr.strip().splitlines()[-1])


def many_findings(server, check, work, lists=300000):
    path = os.path.join(work, f"lsp-unused-{lists}.ins")
    text = ".Patch Names\n" + "".join(f"[List {i}]\n" for i in range(lists))
    with open(path, "w") as f:
        f.write(text)
    gnu = gnu_peak_kb(check, path)
    client = LspClient([server])
    client.initialize()
    uri = "file:///unused.ins"
    client.notify("textDocument/didOpen", {"textDocument": {
        "uri": uri, "languageId": "ins", "version": 1, "text": text}})
    published = client.wait_notification("textDocument/publishDiagnostics", timeout=300)
    peak = memory_kb(client.process.pid)["VmHWM"]
    client.notify("textDocument/didClose", {"textDocument": {"uri": uri}})
    client.notify("textDocument/didOpen", {"textDocument": {
        "uri": "file:///small.ins", "languageId": "ins", "version": 1,
        "text": ".Patch Names\n[A]\n"}})
    client.request("textDocument/hover", {
        "textDocument": {"uri": "file:///small.ins"}, "position": {"line": 0, "character": 0}})
    held = memory_kb(client.process.pid)["VmRSS"]
    client.close()
    print()
    print("| document | findings | veltrane-check --format=gnu peak | server peak | ratio | server after didClose |")
    print("|---|---|---|---|---|---|")
    print(f"| {len(text) / 1e6:.1f} MB | {len(published['diagnostics'])} | {gnu / 1024:.0f} MB "
          f"| {peak / 1024:.0f} MB | {peak / gnu:.2f} | {held / 1024:.1f} MB |")
    return peak <= 2 * gnu and held <= 64 * 1024


def main(server, generator, work, sizes):
    os.makedirs(work, exist_ok=True)
    print("| document | server before | server with it open | per byte of the document | peak | peak per byte |")
    print("|---|---|---|---|---|---|")
    for kbytes in sizes:
        path = os.path.join(work, f"lsp-{kbytes}k.ins")
        if not os.path.exists(path):
            subprocess.run([generator, "--kbytes", str(kbytes), "--output", path], check=True)
        with open(path, "rb") as f:
            text = f.read().decode("latin-1")
        size = len(text.encode("utf-8"))
        client = LspClient([server])
        client.initialize()
        before = memory_kb(client.process.pid)
        client.notify("textDocument/didOpen", {"textDocument": {
            "uri": "file:///bench.ins", "languageId": "ins", "version": 1, "text": text}})
        client.wait_notification("textDocument/publishDiagnostics", timeout=120)
        # One more round trip: the server has finished with the message.
        client.request("textDocument/hover", {
            "textDocument": {"uri": "file:///bench.ins"}, "position": {"line": 0, "character": 0}})
        after = memory_kb(client.process.pid)
        client.close()
        held = (after["VmRSS"] - before["VmRSS"]) * 1024
        peak = (after["VmHWM"] - before["VmRSS"]) * 1024
        print(f"| {size / 1e6:.2f} MB | {before['VmRSS'] / 1024:.1f} MB | {after['VmRSS'] / 1024:.1f} MB "
              f"| {held / size:.2f} | {after['VmHWM'] / 1024:.1f} MB | {peak / size:.2f} |")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], sys.argv[4], [int(k) for k in sys.argv[5:]] or [200, 10240])
    if not many_findings(sys.argv[1], sys.argv[3], sys.argv[4]):
        print("   the server's memory is over its limits", file=sys.stderr)
        sys.exit(1)
