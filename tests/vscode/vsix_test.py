#!/usr/bin/env python3
"""Opens a platform-specific .vsix (a zip) and checks what VS Code will read
from it: the manifest, package.json, the grammar, the language
configuration, the icon, the client and the bundled programs. With
--lsp-client, also unpacks it and talks to the bundled server through the
language server tests' protocol client: it must answer initialize and
publish a diagnostic for a broken reference, and none for a TeX
installation file that also ends in .ins (an empty list is none).

  vsix_test.py --vsix FILE --target linux-x64 [--lsp-client DIR]
  vsix_test.py --pack BINDIR --target linux-x64 [--lsp-client DIR]
  vsix_test.py --vsix FILE --target win32-x64 --lsp-client DIR --runner wine

With --pack, the extension is first packed by editors/vscode/pack from the
programs in BINDIR into a scratch folder.
"""
import argparse
import json
import os
import re
import stat
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree
import zipfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "package"))
import portable_check  # noqa: E402

PREFIX = "extension/"
NODE_BUILTINS = {"child_process", "fs", "path", "os", "net", "crypto", "util", "events",
                 "stream", "url", "assert", "buffer", "string_decoder", "tty", "readline",
                 "worker_threads", "perf_hooks", "zlib"}

failures = []


def expect(condition, message):
    if not condition:
        failures.append(message)
    return condition


def check_manifest(vsix, target):
    root = ElementTree.fromstring(vsix.read("extension.vsixmanifest"))
    identity = next((e for e in root.iter() if e.tag.endswith("Identity")), None)
    if expect(identity is not None, "extension.vsixmanifest has no Identity"):
        for name, value in (("Id", "veltrane-vscode"), ("Publisher", "veltrane"),
                            ("Version", "1.0.0"), ("TargetPlatform", target)):
            expect(identity.get(name) == value,
                   f"manifest Identity {name} is {identity.get(name)!r}, not {value!r}")


def check_package_json(vsix, names):
    package = json.loads(vsix.read(PREFIX + "package.json"))
    for key, value in (("name", "veltrane-vscode"), ("publisher", "veltrane"), ("version", "1.0.0")):
        expect(package.get(key) == value, f"package.json {key} is {package.get(key)!r}")
    expect("vscode" in package.get("engines", {}), "package.json has no engines.vscode")
    expect("onLanguage:instrument-definition" in package.get("activationEvents", []),
           "the extension does not start with instrument definition files")
    main = os.path.normpath(package.get("main", "")).replace(os.sep, "/")
    expect(PREFIX + main in names, f"the client {main} is not in the package")

    contributes = package.get("contributes", {})
    languages = [l for l in contributes.get("languages", []) if l.get("id") == "instrument-definition"]
    if expect(len(languages) == 1, "no language instrument-definition"):
        language = languages[0]
        expect(".ins" in language.get("extensions", []), "the language does not claim *.ins")
        config = PREFIX + os.path.normpath(language.get("configuration", "")).replace(os.sep, "/")
        if expect(config in names, "the language configuration is not in the package"):
            configuration = json.loads(vsix.read(config))
            expect(configuration.get("comments", {}).get("lineComment") == ";",
                   "the line comment is not ';'")
            expect(["[", "]"] in configuration.get("brackets", []), "[ ] are not brackets")
    grammars = contributes.get("grammars", [])
    if expect(len(grammars) == 1, "not exactly one grammar"):
        grammar_path = PREFIX + os.path.normpath(grammars[0].get("path", "")).replace(os.sep, "/")
        if expect(grammar_path in names, f"the grammar {grammar_path} is not in the package"):
            grammar = json.loads(vsix.read(grammar_path))
            expect(grammar.get("scopeName") == grammars[0].get("scopeName"),
                   "the grammar's scopeName differs from package.json's")
            expect(grammars[0].get("language") == "instrument-definition",
                   "the grammar is not bound to the language")
    properties = contributes.get("configuration", {}).get("properties", {})
    expect("veltrane.server.path" in properties, "no setting veltrane.server.path")
    trace = properties.get("veltrane.trace.server", {})
    expect(trace.get("enum") == ["off", "messages", "verbose"], "veltrane.trace.server levels")
    commands = [c.get("command") for c in contributes.get("commands", [])]
    expect("veltrane.writeProtocol" in commands, "no command veltrane.writeProtocol")
    restricted = package.get("capabilities", {}).get("untrustedWorkspaces", {})
    expect("veltrane.server.path" in restricted.get("restrictedConfigurations", []),
           "an untrusted workspace could choose the server program")
    return package


def check_client(vsix, package):
    """The client is one bundled file: anything it requires beyond Node's
    own modules and 'vscode' would be missing at run time."""
    main = PREFIX + os.path.normpath(package.get("main", "")).replace(os.sep, "/")
    source = vsix.read(main).decode("utf-8")
    required = set(re.findall(r"""\brequire\(["']([^"']+)["']\)""", source))
    foreign = {r for r in required if r != "vscode" and r.removeprefix("node:") not in NODE_BUILTINS}
    expect(not foreign, f"the client requires modules that are not in the package: {sorted(foreign)}")
    expect("LanguageClient" in source, "the client does not contain the language client")


def check_png(vsix, names, path, size, what):
    icon = PREFIX + os.path.normpath(path).replace(os.sep, "/")
    if expect(icon in names and icon.endswith(".png"), f"no PNG {what} in the package"):
        data = vsix.read(icon)
        expect(data[:8] == b"\x89PNG\r\n\x1a\n" and data[12:16] == b"IHDR", f"the {what} is no PNG")
        width, height = struct.unpack(">II", data[16:24])
        expect((width, height) == (size, size), f"the {what} is {width}x{height}, not {size}x{size}")


def check_icon(vsix, package, names):
    check_png(vsix, names, package.get("icon", ""), 128, "icon")
    # .ins files get an icon of their own, not that of another language
    # that claims the extension too.
    for language in package.get("contributes", {}).get("languages", []):
        icon = language.get("icon", {})
        for theme in ("light", "dark"):
            check_png(vsix, names, icon.get(theme, ""), 32, f"{theme} file icon")


def check_programs(vsix, target, names, portable):
    exe = ".exe" if target.startswith("win32") else ""
    folders = {n.split("/")[2] for n in names if n.startswith(PREFIX + "server/") and n.count("/") >= 3}
    expect(folders == {target}, f"server folders {sorted(folders)}, not only {target}")
    for program in ("veltrane-lsp", "veltrane-check"):
        name = f"{PREFIX}server/{target}/{program}{exe}"
        if not expect(name in names, f"{name} is not in the package"):
            continue
        info = vsix.getinfo(name)
        with vsix.open(name) as f:
            head = f.read(4096)
        if exe:
            pe_offset = struct.unpack("<I", head[0x3C:0x40])[0] if len(head) >= 0x40 else 0
            expect(head[:2] == b"MZ" and head[pe_offset:pe_offset + 4] == b"PE\0\0" and
                   struct.unpack("<H", head[pe_offset + 4:pe_offset + 6])[0] == 0x8664,
                   f"{name} is not an x86-64 Windows program")
        else:
            expect(head[:4] == b"\x7fELF" and struct.unpack("<H", head[18:20])[0] == 0x3E,
                   f"{name} is not an x86-64 ELF program")
            mode = info.external_attr >> 16
            expect(mode & stat.S_IXUSR, f"{name} is not executable in the package")
            if not portable:
                continue
            # VS Code runs on glibc 2.28 and needs no C++ run time there.
            with tempfile.TemporaryDirectory() as scratch:
                path = vsix.extract(info, scratch)
                for problem in portable_check.problems(path):
                    expect(False, f"{name} does not run everywhere VS Code does: {problem}")


def unpack(vsix, folder):
    """Unpacks as VS Code does, keeping the Unix modes."""
    for info in vsix.infolist():
        path = vsix.extract(info, folder)
        mode = info.external_attr >> 16
        if mode:
            os.chmod(path, stat.S_IMODE(mode))


TEX_INS = """%% A TeX installation file, which also ends in .ins
\\input docstrip
\\generate{\\file{demo.sty}{\\from{demo.dtx}{package}}}
[not a list]
Patch[*]=Nothing
\\endbatchfile
"""

BROKEN_INS = """.Patch Names
[Piano Bank]
0=Grand
.Instrument Definitions
[Studio Rack]
Patch[*]=Piano Bnak
"""


def run_server(vsix, target, client_dir, runner):
    sys.path.insert(0, str(client_dir))
    from lsp_client import LspClient  # the language server tests' client

    exe = ".exe" if target.startswith("win32") else ""
    with tempfile.TemporaryDirectory() as folder:
        unpack(vsix, folder)
        server = Path(folder) / "extension" / "server" / target / f"veltrane-lsp{exe}"
        # A program that runs the server (Wine) may first set itself up.
        timeout = 120 if runner else 10
        client = LspClient(runner + [str(server)], cwd=folder)
        try:
            result = client.request("initialize", timeout=timeout, params={
                "processId": os.getpid(), "rootUri": None, "capabilities": {},
                "clientInfo": {"name": "vsix_test"}})
            capabilities = result.get("capabilities", {})
            expect("textDocumentSync" in capabilities, "initialize: no textDocumentSync")
            client.notify("initialized", {})
            tex_uri = Path(folder, "demo.ins").as_uri()
            ins_uri = Path(folder, "rack.ins").as_uri()
            for uri, text in ((tex_uri, TEX_INS), (ins_uri, BROKEN_INS)):
                client.notify("textDocument/didOpen", {"textDocument": {
                    "uri": uri, "languageId": "instrument-definition", "version": 1, "text": text}})
            # The TeX file was opened first: until the instrument file's
            # diagnostics arrive, anything published for it must be empty.
            while True:
                published = client.wait_notification("textDocument/publishDiagnostics", timeout=timeout)
                if published.get("uri") == ins_uri:
                    break
                expect(published.get("uri") == tex_uri and published.get("diagnostics") == [],
                       f"diagnostics for {published.get('uri')}: {published.get('diagnostics')}")
            diagnostics = published.get("diagnostics", [])
            broken = [d for d in diagnostics if d.get("code") == "VLT1003"]
            if expect(len(broken) == 1, f"not one diagnostic VLT1003: {diagnostics}"):
                d = broken[0]
                expect(d.get("source") == "veltrane", f"source {d.get('source')!r}")
                expect(d.get("range", {}).get("start") == {"line": 5, "character": 9},
                       f"range {d.get('range')}")
                expect("Piano Bnak" in d.get("message", ""), f"message {d.get('message')!r}")
        finally:
            # Under Wine the process may also take its time to end.
            status = client.close(timeout)
        expect(status == 0, f"the server ended with status {status} after shutdown and exit")


def main():
    parser = argparse.ArgumentParser()
    source = parser.add_mutually_exclusive_group(required=True)
    source.add_argument("--vsix", type=Path)
    source.add_argument("--pack", type=Path, help="pack from the programs in this folder first")
    parser.add_argument("--target", required=True)
    parser.add_argument("--lsp-client", type=Path, help="folder of lsp_client.py: run the server")
    parser.add_argument("--runner", default="", help="program that runs the server (wine)")
    parser.add_argument("--portable", action="store_true",
                        help="the Linux programs must run on older systems (a release package)")
    args = parser.parse_args()
    if args.pack is None:
        return check(args)
    with tempfile.TemporaryDirectory() as scratch:
        args.vsix = Path(scratch) / f"veltrane-vscode-{args.target}.vsix"
        pack = Path(__file__).resolve().parents[2] / "editors" / "vscode" / "pack"
        if subprocess.run([str(pack), args.target, str(args.pack), str(args.vsix)]).returncode != 0:
            print(f"FAIL: {pack} could not pack the programs of {args.pack}")
            return 1
        return check(args)


def check(args):
    with zipfile.ZipFile(args.vsix) as vsix:
        names = set(vsix.namelist())
        check_manifest(vsix, args.target)
        package = check_package_json(vsix, names)
        check_client(vsix, package)
        check_icon(vsix, package, names)
        check_programs(vsix, args.target, names, args.portable)
        if args.lsp_client is not None and not failures:
            run_server(vsix, args.target, args.lsp_client, args.runner.split())

    for failure in failures:
        print(f"FAIL {args.vsix.name}: {failure}")
    if not failures:
        print(f"ok {args.vsix}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
