#!/usr/bin/env python3
"""The language server's memory with documents open: starts veltrane-lsp,
opens a generated document of each size, waits for its diagnostics, and
reads the server's resident memory (VmRSS) and peak (VmHWM) from /proc,
against the documents' size. Run by scripts/bench --lsp.

Usage: lsp_memory.py VELTRANE_LSP VELTRANE_GEN_INS WORK_DIR [KBYTES...]"""

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
    main(sys.argv[1], sys.argv[2], sys.argv[3], [int(k) for k in sys.argv[4:]] or [200, 10240])
