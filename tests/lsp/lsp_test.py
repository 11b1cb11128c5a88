#!/usr/bin/env python3
"""veltrane-lsp through its standard input and output, as editors use it.

Usage: lsp_test.py --server VELTRANE_LSP --check VELTRANE_CHECK
                   [--corpus DIR] [--examples DIR] [unittest arguments]
"""

import argparse
import collections
import json
import os
import random
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "model"))

from lsp_client import LspClient, LspError, LspTimeout, frame  # noqa: E402
import ins_model  # noqa: E402

SERVER = None
CHECK = None
CORPUS = None
SANITIZED = False
EXAMPLES = None

URI = "file:///work/test.ins"

# Line numbers (0-based) below are those of this text.
RACK = (
    ".Patch Names\n"             # 0
    "[General]\n"                # 1
    "0=Piano\n"                  # 2
    "[Unused Patches]\n"         # 3
    ".Note Names\n"              # 4
    "[Drums]\n"                  # 5
    "[Drums]\n"                  # 6  a duplicate
    ".Controller Names\n"        # 7
    "[Standard]\n"               # 8
    "[Extra]\n"                  # 9
    ".Instrument Definitions\n"  # 10
    "[Synth]\n"                  # 11
    "Patch[*]=General\n"         # 12
    "Key[*,*]=Drums\n"           # 13
    "Control=Standrd\n"          # 14  not found; "Standard" is close
    "Patch[0]=1..128\n"          # 15
    "BasedOn=Synth\n"            # 16
)


def pos(line, character):
    return {"line": line, "character": character}


def rng(l1, c1, l2, c2):
    return {"start": pos(l1, c1), "end": pos(l2, c2)}


def doc(uri=URI):
    return {"textDocument": {"uri": uri}}


def at(line, character, uri=URI):
    return {"textDocument": {"uri": uri}, "position": pos(line, character)}


# A client that shows relatedInformation: it gets the notes there.
SHOWS_RELATED = {"textDocument": {"publishDiagnostics": {"relatedInformation": True}}}


class ServerCase(unittest.TestCase):
    """Each test gets a fresh, initialized server."""

    # As VS Code and Kate announce it; NotesInMessageTest goes without.
    capabilities = SHOWS_RELATED

    def setUp(self):
        self.client = LspClient([SERVER])
        self.init = self.client.initialize(self.capabilities)
        self.version = 0

    def tearDown(self):
        if self.client.process.poll() is None:
            self.client.process.kill()
        self.client.wait_exit()

    def open(self, text, uri=URI):
        self.version += 1
        self.client.notify("textDocument/didOpen", {"textDocument": {
            "uri": uri, "languageId": "ins", "version": self.version, "text": text}})
        return self.diagnostics(uri)

    def change(self, changes, uri=URI):
        self.version += 1
        self.client.notify("textDocument/didChange", {
            "textDocument": {"uri": uri, "version": self.version}, "contentChanges": changes})

    def diagnostics(self, uri=URI, version=None):
        """The diagnostics of the next publication for `uri` (for `version`
        when given: earlier ones are passed over)."""
        while True:
            params = self.client.wait_notification("textDocument/publishDiagnostics")
            if params["uri"] != uri:
                continue
            if version is not None and params.get("version") != version:
                continue
            return params

    def error_of(self, method, params):
        with self.assertRaises(LspError) as caught:
            self.client.request(method, params)
        return caught.exception


class LifecycleTest(unittest.TestCase):
    def start(self):
        client = LspClient([SERVER])
        def stop():
            if client.process.poll() is None:
                client.process.kill()
            client.wait_exit()
        self.addCleanup(stop)
        return client

    def test_help_and_version(self):
        help_run = subprocess.run([SERVER, "--help"], capture_output=True, text=True)
        self.assertEqual(help_run.returncode, 0)
        self.assertIn("Language Server Protocol", help_run.stdout)
        version = subprocess.run([SERVER, "--version"], capture_output=True, text=True)
        self.assertEqual(version.returncode, 0)
        self.assertRegex(version.stdout, r"^veltrane-lsp \d+\.\d+\.\d+\n$")
        wrong = subprocess.run([SERVER, "--bogus"], capture_output=True, text=True)
        self.assertEqual(wrong.returncode, 2)
        self.assertIn("--bogus", wrong.stderr)

    def test_requests_before_initialize(self):
        client = self.start()
        with self.assertRaises(LspError) as caught:
            client.request("textDocument/hover", at(0, 0))
        self.assertEqual(caught.exception.code, -32002)
        with self.assertRaises(LspError) as caught:
            client.request("shutdown", None)
        self.assertEqual(caught.exception.code, -32002)
        # A notification before initialize is dropped: the document is not
        # open afterwards.
        client.notify("textDocument/didOpen", {"textDocument": {
            "uri": URI, "languageId": "ins", "version": 1, "text": RACK}})
        client.initialize()
        with self.assertRaises(LspError) as caught:
            client.request("textDocument/hover", at(12, 10))
        self.assertEqual(caught.exception.code, -32602)
        with self.assertRaises(LspError) as caught:
            client.request("initialize", {"capabilities": {}})
        self.assertEqual(caught.exception.code, -32600)
        self.assertEqual(client.close(), 0)

    def test_exit_statuses(self):
        client = self.start()
        client.initialize()
        self.assertEqual(client.close(), 0)

        client = self.start()
        client.initialize()
        client.notify("exit", None)
        self.assertEqual(client.wait_exit(), 1)

        client = self.start()
        client.notify("exit", None)
        self.assertEqual(client.wait_exit(), 1)

        client = self.start()
        client.initialize()
        client.process.stdin.close()
        self.assertEqual(client.wait_exit(), 1)

    def test_requests_after_shutdown(self):
        client = self.start()
        client.initialize()
        self.assertIsNone(client.request("shutdown", None))
        with self.assertRaises(LspError) as caught:
            client.request("textDocument/hover", at(0, 0))
        self.assertEqual(caught.exception.code, -32600)
        client.notify("exit", None)
        self.assertEqual(client.wait_exit(), 0)

    def test_a_client_that_never_reads_stderr(self):
        client = LspClient([SERVER], read_stderr=False)
        self.addCleanup(lambda: client.process.kill())
        client.initialize()
        # Each of these was once a line of its own on standard error, more
        # than a pipe holds.
        note = frame(b'{"jsonrpc":"2.0","method":"no/such","params":{}}')
        for _ in range(100):
            client.send_raw(note * 500)
        self.assertIsNone(client.request("shutdown", None, timeout=30))
        client.notify("exit", None)
        self.assertEqual(client.wait_exit(timeout=30), 0)

    def test_logs_only_on_stderr(self):
        client = self.start()
        client.initialize()
        client.notify("no/suchNotification", {})
        client.send_body(b"{broken")
        self.assertEqual(client.next_message()["error"]["code"], -32700)
        self.assertEqual(client.close(), 0)
        self.assertIn(b"not JSON", client.stderr)


class ErrorTest(ServerCase):
    def test_method_not_found(self):
        self.assertEqual(self.error_of("textDocument/noSuchThing", doc()).code, -32601)
        self.assertEqual(self.error_of("workspace/symbol", {"query": ""}).code, -32601)

    def test_invalid_params(self):
        self.open(RACK)
        for params in [
            {},                                                        # no textDocument
            {"textDocument": {"uri": 5}, "position": pos(0, 0)},       # uri not a string
            {"textDocument": {"uri": URI}},                            # no position
            {"textDocument": {"uri": URI}, "position": pos(-1, 0)},    # negative
            {"textDocument": {"uri": URI}, "position": {"line": "a", "character": 0}},
            at(0, 0, uri="file:///not/open.ins"),
        ]:
            with self.subTest(params=params):
                self.assertEqual(self.error_of("textDocument/hover", params).code, -32602)
        self.assertEqual(self.error_of("textDocument/rename", at(1, 2)).code, -32602)
        # The server goes on.
        self.assertIsNotNone(self.client.request("textDocument/hover", at(1, 2)))

    def test_parse_error_then_goes_on(self):
        for body in [b"{\"jsonrpc\": \"2.0\", \"id\": 1", b"\xff\xfe", b""]:
            with self.subTest(body=body):
                self.client.send_body(body)
                message = self.client.next_message()
                self.assertEqual(message["error"]["code"], -32700)
                self.assertIsNone(message["id"])
        self.open(RACK)
        self.assertTrue(self.client.request("textDocument/documentSymbol", doc()))

    def test_invalid_requests(self):
        cases = [
            (b"[1, 2]", None),
            (b"42", None),
            (b'{"jsonrpc": "2.0", "id": 7}', 7),
            (b'{"jsonrpc": "1.0", "id": 8, "method": "shutdown"}', 8),
            (b'{"jsonrpc": "2.0", "id": 9, "method": 5}', 9),
            (b'{"jsonrpc": "2.0", "id": [1], "method": "shutdown"}', None),
            (b'{"jsonrpc": "2.0", "id": 10, "method": "textDocument/hover", "params": 3}', 10),
        ]
        for body, request_id in cases:
            with self.subTest(body=body):
                self.client.send_body(body)
                message = self.client.next_message()
                self.assertEqual(message["id"], request_id)
                code = message["error"]["code"]
                self.assertEqual(code, -32602 if request_id == 10 else -32600)

    def test_bad_headers_are_skipped(self):
        good = frame(b'{"jsonrpc":"2.0","id":"after","method":"textDocument/documentSymbol",'
                     b'"params":{"textDocument":{"uri":"file:///none.ins"}}}')
        for raw in [b"Content-Type: text/plain\r\n\r\n{}",
                    b"Content-Length: ten\r\n\r\n{}",
                    b"Content-Length: -3\r\n\r\n",
                    b"not a header at all\r\n\r\n",
                    b"X" * 20000 + b"\r\n\r\n"]:
            with self.subTest(raw=raw[:40]):
                self.client.send_raw(raw + good)
                skipped = self.client.next_message()
                self.assertEqual(skipped["error"]["code"], -32700)
                self.assertIsNone(skipped["id"])
                answer = self.client.next_message()
                self.assertEqual(answer["id"], "after")

    def test_every_good_message_after_a_broken_one_is_answered(self):
        good = frame(b'{"jsonrpc":"2.0","id":"after","method":"textDocument/documentSymbol",'
                     b'"params":{"textDocument":{"uri":"file:///none.ins"}}}')
        body = b'{"jsonrpc":"2.0","method":"initialized","params":{}}'
        cases = {
            "header runs into the body": b"Content-Length: %d\r\n" % len(body) + body,
            "length shorter than the body": b"Content-Length: 10\r\n\r\n" + body,
            "CR CR as the separator": b"Content-Length: %d\r\r" % len(body) + body,
            "two lengths": b"Content-Length: 2\r\nContent-Length: %d\r\n\r\n" % len(body) + body,
            "length longer than the body": b"Content-Length: %d\r\n\r\n" % (len(body) + 9) + body,
        }
        for name, raw in cases.items():
            with self.subTest(name):
                self.client.send_raw(raw + good)
                while True:
                    message = self.client.next_message()
                    self.assertIsNotNone(message, "the server ended")
                    if message.get("id") == "after":
                        break
                    self.assertEqual(message["error"]["code"], -32700)
                    self.assertIsNone(message["id"])

    def test_what_is_logged_of_bad_input_is_escaped(self):
        self.client.send_raw(b"Content-Length: \x1b[2J\x07\r\n\r\n")
        self.assertEqual(self.client.next_message()["error"]["code"], -32700)
        self.assertEqual(self.client.close(), 0)
        self.assertIn(b"\\x1B[2J\\x07", self.client.stderr)
        self.assertNotIn(b"\x1b", self.client.stderr)

    def peak_kb(self):
        with open(f"/proc/{self.client.process.pid}/status") as status:
            return int(next(l for l in status if l.startswith("VmHWM")).split()[1])

    def test_oversized_message_is_read_through_unheld(self):
        before = self.peak_kb()
        size = 64 * 1024 * 1024 + 1
        self.client.send_raw(b"Content-Length: %d\r\n\r\n" % size)
        message = self.client.next_message()
        self.assertEqual(message["error"]["code"], -32600)
        chunk = b" " * (1 << 20)
        for _ in range(size // len(chunk)):
            self.client.send_raw(chunk)
        self.client.send_raw(b" " * (size % len(chunk)))
        self.open(RACK)
        self.assertLess(self.peak_kb() - before, 16 * 1024, "the body was held in memory")

    def test_a_length_over_the_limit_swallows_nothing(self):
        self.open(RACK)
        symbols = frame(json.dumps({"jsonrpc": "2.0", "id": "after",
                                    "method": "textDocument/documentSymbol",
                                    "params": doc()}).encode())
        for size in [64 * 1024 * 1024 + 1, 10 ** 17]:
            with self.subTest(size=size):
                self.client.send_raw(b"Content-Length: %d\r\n\r\n" % size + symbols)
                self.assertEqual(self.client.next_message()["error"]["code"], -32600)
                self.assertEqual(self.client.next_message()["id"], "after")

    def test_deep_nesting_in_any_message(self):
        """200,000 nested arrays (400 KB) wherever a message has room for
        them: a request is refused, a notification dropped, and the server
        answers the next request."""
        self.open(RACK)
        deep = "[" * 200000 + "]" * 200000
        deep_object = '{"a":' * 100000 + "1" + "}" * 100000
        methods = ["initialize", "shutdown", "textDocument/hover", "textDocument/definition",
                   "textDocument/references", "textDocument/documentHighlight",
                   "textDocument/documentSymbol", "textDocument/completion",
                   "textDocument/prepareRename", "textDocument/rename",
                   "textDocument/codeAction", "workspace/executeCommand"]
        notifications = ["workspace/didChangeConfiguration", "textDocument/didOpen",
                         "textDocument/didChange", "textDocument/didClose",
                         "textDocument/didSave", "workspace/didChangeWatchedFiles",
                         "$/cancelRequest", "initialized", "exit"]
        where = {
            "params": lambda v: '{"textDocument":{"uri":"%s"},"position":%s}' % (URI, v),
            "settings": lambda v: '{"settings":%s}' % v,
            "range": lambda v: ('{"textDocument":{"uri":"%s"},"range":{"start":%s,"end":%s},'
                                '"context":{"only":%s,"diagnostics":%s}}' % (URI, v, v, v, v)),
            "whole": lambda v: v,
        }
        check = ('{"jsonrpc":"2.0","id":"alive","method":"textDocument/documentSymbol",'
                 '"params":{"textDocument":{"uri":"%s"}}}' % URI).encode()
        for value in [deep, deep_object]:
            for name, params in where.items():
                for method in methods + notifications:
                    with self.subTest(method=method, where=name, value=value[:2]):
                        is_request = method in methods
                        body = '{"jsonrpc":"2.0",%s"method":"%s","params":%s}' % (
                            '"id":"deep",' if is_request else "", method, params(value))
                        self.client.send_body(body.encode())
                        self.client.send_body(check)
                        if is_request:
                            refused = self.client.next_message()
                            self.assertEqual(refused["id"], "deep")
                            self.assertEqual(refused["error"]["code"], -32600)
                        answer = self.client.next_message()
                        self.assertEqual(answer.get("id"), "alive", answer)
                        self.assertTrue(answer["result"])
        # A response nesting deep is passed over too.
        self.client.send_body(('{"jsonrpc":"2.0","id":3,"result":%s}' % deep).encode())
        self.assertTrue(self.client.request("textDocument/documentSymbol", doc()))
        self.assertEqual(self.client.close(), 0)

    def rss_kb(self):
        with open(f"/proc/{self.client.process.pid}/status") as status:
            return int(next(l for l in status if l.startswith("VmRSS")).split()[1])

    def test_memory_goes_back_after_a_flood(self):
        if SANITIZED:
            self.skipTest("memory figures of a sanitized server")
        self.open(RACK)
        self.client.request("textDocument/hover", at(12, 10))
        before = self.rss_kb()
        count = 50000
        methods = [("textDocument/hover", at(12, 10)), ("textDocument/documentSymbol", doc()),
                   ("textDocument/completion", at(12, 10)),
                   ("textDocument/references", {**at(12, 10), "context": {"includeDeclaration": True}})]
        flood = b"".join(frame(json.dumps({"jsonrpc": "2.0", "id": 1000 + i, "method": methods[i % 4][0],
                                           "params": methods[i % 4][1]}).encode())
                         for i in range(count))
        writer = threading.Thread(target=self.client.send_raw, args=(flood,))
        writer.start()
        answered = 0
        while answered < count:
            if "id" in self.client.next_message(timeout=60):
                answered += 1
        writer.join()
        # The memory goes back once the last answers are written.
        deadline = time.monotonic() + 3
        while self.rss_kb() >= 2 * before and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertLess(self.rss_kb(), 2 * before, "memory held after %d requests" % count)

    def test_cancelled_request(self):
        # A large document keeps the server busy while the request and its
        # cancellation arrive together.
        big = (".Controller Names\n" + "".join(f"[List {i}]\n" for i in range(150000)) +
               ".Instrument Definitions\n" +
               "".join(f"[I{i}]\nControl=List {i}\n" for i in range(150000)))
        self.client.notify("textDocument/didOpen", {"textDocument": {
            "uri": "file:///big.ins", "languageId": "ins", "version": 1, "text": big}})
        self.open(RACK)
        request = {"jsonrpc": "2.0", "id": 99, "method": "textDocument/hover", "params": at(12, 10)}
        cancel = {"jsonrpc": "2.0", "method": "$/cancelRequest", "params": {"id": 99}}
        self.client.notify("textDocument/didChange", {
            "textDocument": {"uri": "file:///big.ins", "version": 2},
            "contentChanges": [{"text": big + "x"}]})
        self.client.send_raw(frame(json.dumps(request).encode()) + frame(json.dumps(cancel).encode()))
        with self.assertRaises(LspError) as caught:
            self.client.response(99, timeout=30)
        self.assertEqual(caught.exception.code, -32800)


class DocumentTest(ServerCase):
    def test_diagnostics_follow_versions_and_close(self):
        published = self.open(RACK)
        self.assertEqual(published["version"], 1)
        self.assertEqual(len(published["diagnostics"]), 7)
        # Fix the broken reference incrementally: "Standrd" -> "Standard".
        self.change([{"range": rng(14, 13, 14, 13), "text": "a"}])
        published = self.diagnostics(version=2)
        self.assertEqual([d["code"] for d in published["diagnostics"]].count("VLT1003"), 0)
        self.change([{"text": ".Note Names\n[A]\n"}])
        published = self.diagnostics(version=3)
        self.assertEqual([d["code"] for d in published["diagnostics"]], ["VLT1002"])
        self.client.notify("textDocument/didClose", doc())
        closed = self.diagnostics()
        self.assertEqual(closed["diagnostics"], [])
        self.assertEqual(self.error_of("textDocument/hover", at(1, 1)).code, -32602)

    def test_a_malformed_change_rejects_the_whole_notification(self):
        self.open(RACK)
        fix = {"range": rng(14, 8, 14, 15), "text": "Standard"}
        self.client.notify("textDocument/didChange", {
            "textDocument": {"uri": URI, "version": 2},
            "contentChanges": [fix, {"range": rng(0, 0, 0, 0)}]})
        self.client.notify("textDocument/didChange", {
            "textDocument": {"uri": URI, "version": 3},
            "contentChanges": [{"range": rng(17, 0, 17, 0), "text": "\n"}]})
        published = self.diagnostics()
        self.assertEqual(published["version"], 3)
        messages = [d["message"] for d in published["diagnostics"]]
        self.assertIn('Label "Standrd" not found', messages)

    def test_not_an_instrument_file(self):
        tex = "\\def\\x{1}\n[draft]\nControl=nothing\n%% .Patch Names is no header here\n"
        self.assertEqual(self.open(tex)["diagnostics"], [])
        self.change([{"range": rng(0, 0, 0, 0), "text": ".Patch Names\n"}])
        # The list nothing uses, the reference not found, and two lines of
        # the list that are no entries.
        self.assertEqual([d["code"] for d in self.diagnostics(version=2)["diagnostics"]],
                         ["VLT1002", "VLT2003", "VLT1003", "VLT2003"])

    def test_diagnostic_fields(self):
        diagnostics = self.open(RACK)["diagnostics"]
        by_code = {}
        for d in diagnostics:
            by_code.setdefault(d["code"], []).append(d)
            self.assertEqual(d["source"], "veltrane")
        duplicate, = by_code["VLT1001"]
        self.assertEqual(duplicate["severity"], 2)
        self.assertEqual(duplicate["range"], rng(6, 1, 6, 6))
        first = duplicate["relatedInformation"][0]["location"]
        self.assertEqual(first, {"uri": URI, "range": rng(5, 1, 5, 6)})
        unused = by_code["VLT1002"]
        # The second "Drums" is a list of its own that nothing can use.
        self.assertEqual(sorted(d["range"]["start"]["line"] for d in unused), [3, 6, 8, 9])
        for d in unused:
            self.assertEqual(d["severity"], 1)
            self.assertEqual(d["tags"], [1])
        missing, = by_code["VLT1003"]
        self.assertEqual(missing["severity"], 1)
        self.assertEqual(missing["range"], rng(14, 8, 14, 15))
        self.assertNotIn("tags", missing)
        note = missing["relatedInformation"][0]
        self.assertEqual(note["location"]["range"], rng(8, 1, 8, 9))
        self.assertIn("Standard", note["message"])

    def test_only_the_newest_text_is_checked(self):
        self.open(RACK)
        changes = b"".join(
            frame(json.dumps({"jsonrpc": "2.0", "method": "textDocument/didChange", "params": {
                "textDocument": {"uri": URI, "version": 100 + i},
                "contentChanges": [{"range": rng(2, 0, 2, 0), "text": "x"}]}}).encode())
            for i in range(300))
        self.client.send_raw(changes)
        published = []
        while True:
            params = self.diagnostics()
            published.append(params["version"])
            if params["version"] == 399:
                break
        self.assertLess(len(published), 150, published)
        self.assertEqual(published, sorted(published))

    def test_empty_name_has_an_empty_range(self):
        diagnostics = self.open(".RPN Names\n[Kit\n.Instrument Definitions\n[I]\nControl=\n")["diagnostics"]
        ranges = {d["code"]: d["range"] for d in diagnostics}
        self.assertEqual(ranges["VLT1003"], rng(4, 8, 4, 8))
        start = ranges["VLT1002"]["start"]
        self.assertEqual(ranges["VLT1002"]["end"], start)


class NotesInMessageTest(ServerCase):
    """A client that does not announce relatedInformation (Neovim 0.7,
    eglot) gets each note as the second line of its diagnostic's message."""

    CASES = [
        # (capabilities, message of the "not found", relatedInformation kept)
        ({}, 'Label "Standrd" not found\nnote', False),
        ({"textDocument": {"publishDiagnostics": {}}}, 'Label "Standrd" not found\nnote', False),
        ({"textDocument": {"publishDiagnostics": {"relatedInformation": False}}},
         'Label "Standrd" not found\nnote', False),
        ({"textDocument": {"publishDiagnostics": {"relatedInformation": "yes"}}},
         'Label "Standrd" not found\nnote', False),
        ({"textDocument": {"publishDiagnostics": {"relatedInformation": True}}},
         'Label "Standrd" not found', True),
    ]

    def test_by_capability(self):
        for capabilities, message, related in self.CASES:
            with self.subTest(capabilities=capabilities):
                self.client.close()
                self.client = LspClient([SERVER])
                self.client.initialize(capabilities)
                by_code = {d["code"]: d for d in self.open(RACK)["diagnostics"]}
                missing = by_code["VLT1003"]
                note = 'did you mean "Standard" (line 9)?'
                self.assertEqual(missing["message"], message.replace("note", note))
                self.assertEqual("relatedInformation" in missing, related)
                # The duplicate's message names the first line already.
                self.assertEqual(by_code["VLT1001"]["message"], 'Label "Drums" already in line 6')
                self.assertEqual("relatedInformation" in by_code["VLT1001"], related)


class EncodingTest(ServerCase):
    # "𝄞" is two UTF-16 code units and four UTF-8 bytes; "ä" one and two.
    TEXT = ".Note Names\n[\U0001d11e\u00e4 Kit]\n.Instrument Definitions\n[I]\nKey[*,*]=\U0001d11e\u00e4 Kit\n"

    def test_utf16_by_default(self):
        self.assertEqual(self.init["capabilities"]["positionEncoding"], "utf-16")
        self.open(self.TEXT)
        location = self.client.request("textDocument/definition", at(4, 13))
        self.assertEqual(location["range"], rng(1, 1, 1, 8))
        self.assertIsNone(self.client.request("textDocument/definition", at(4, 8)))

    def test_utf8_when_offered(self):
        self.client.close()
        self.client = LspClient([SERVER])
        init = self.client.initialize({"general": {"positionEncodings": ["utf-16", "utf-8"]}})
        self.assertEqual(init["capabilities"]["positionEncoding"], "utf-8")
        self.open(self.TEXT)
        location = self.client.request("textDocument/definition", at(4, 16))
        self.assertEqual(location["range"], rng(1, 1, 1, 11))
        # An edit in UTF-8 units: "ä" -> "a" in the list name.
        self.change([{"range": rng(1, 5, 1, 7), "text": "a"}])
        codes = [d["code"] for d in self.diagnostics(version=2)["diagnostics"]]
        self.assertEqual(sorted(codes), ["VLT1002", "VLT1003"])

    def test_line_ends_of_every_kind(self):
        # A lone CR ends a line for the editor but not for the reader of
        # pieces: "[A]\r[B]" is one label line, the list "A".
        text = ".Note Names\r\n[A]\r[B]\n.Instrument Definitions\n[I]\r\nKey[*,*]=A\r\nKey[*,*]=B"
        diagnostics = self.open(text)["diagnostics"]
        self.assertEqual([(d["code"], d["range"]) for d in diagnostics],
                         [("VLT2008", rng(6, 0, 6, 8)), ("VLT1003", rng(6, 9, 6, 10)),
                          ("VLT3008", rng(6, 10, 6, 10))])
        location = self.client.request("textDocument/definition", at(5, 9))
        self.assertEqual(location["range"], rng(1, 1, 1, 2))


class NavigationTest(ServerCase):
    def setUp(self):
        super().setUp()
        self.open(RACK)

    def request(self, method, params):
        return self.client.request("textDocument/" + method, params)

    def test_definition(self):
        self.assertEqual(self.request("definition", at(12, 10)), {"uri": URI, "range": rng(1, 1, 1, 8)})
        self.assertEqual(self.request("definition", at(12, 16))["range"], rng(1, 1, 1, 8))
        self.assertEqual(self.request("definition", at(13, 9))["range"], rng(5, 1, 5, 6))
        self.assertEqual(self.request("definition", at(16, 9))["range"], rng(11, 1, 11, 6))
        self.assertIsNone(self.request("definition", at(14, 9)))   # not found
        self.assertIsNone(self.request("definition", at(2, 3)))    # no name

    def test_references_and_highlights(self):
        with_declaration = self.request("references", {**at(1, 3), "context": {"includeDeclaration": True}})
        self.assertEqual([r["range"] for r in with_declaration], [rng(1, 1, 1, 8), rng(12, 9, 12, 16)])
        from_reference = self.request("references", {**at(12, 12), "context": {"includeDeclaration": False}})
        self.assertEqual([r["range"] for r in from_reference], [rng(12, 9, 12, 16)])
        # The duplicate has no reference of its own.
        self.assertEqual(self.request("references", {**at(6, 2), "context": {"includeDeclaration": False}}), [])
        highlights = self.request("documentHighlight", at(13, 10))
        self.assertEqual([h["range"] for h in highlights], [rng(5, 1, 5, 6), rng(13, 9, 13, 14)])

    def test_hover(self):
        self.assertIn("line 2", self.request("hover", at(12, 10))["contents"]["value"])
        self.assertIn("No list", self.request("hover", at(14, 10))["contents"]["value"])
        self.assertIn("used by 1 reference", self.request("hover", at(1, 2))["contents"]["value"])
        self.assertIn("no reference", self.request("hover", at(9, 2))["contents"]["value"])
        self.assertIn("line 6", self.request("hover", at(6, 2))["contents"]["value"])
        self.assertIsNone(self.request("hover", at(0, 3)))

    def test_document_symbols(self):
        symbols = self.request("documentSymbol", doc())
        tree = [(s["name"], [c["name"] for c in s["children"]]) for s in symbols]
        self.assertEqual(tree, [(".Patch Names", ["General", "Unused Patches"]),
                                (".Note Names", ["Drums", "Drums"]),
                                (".Controller Names", ["Standard", "Extra"]),
                                (".Instrument Definitions", ["Synth"])])
        self.assertEqual(symbols[0]["range"], rng(0, 0, 3, 16))
        self.assertEqual(symbols[3]["children"][0]["range"]["end"], pos(17, 0))
        self.assertEqual(symbols[1]["children"][0]["selectionRange"], rng(5, 1, 5, 6))

    def test_sections_are_those_the_checker_reads(self):
        # After a lone CR, ".Patch Names" starts an editor's line but not
        # one the checker reads: [A] stays an instrument.
        self.open(".Instrument Definitions\n[I]\nx\r.Patch Names\n[A]\n", "file:///cr.ins")
        symbols = self.client.request("textDocument/documentSymbol", doc("file:///cr.ins"))
        tree = [(s["name"], [c["name"] for c in s["children"]]) for s in symbols]
        self.assertEqual(tree, [(".Instrument Definitions", ["I", "A"])])
        hover = self.client.request("textDocument/hover", at(4, 1, uri="file:///cr.ins"))
        self.assertEqual(hover["contents"]["value"], 'Instrument "A"')

    def test_rename_to_a_numbered_name_elsewhere(self):
        # Control values are never the numbered lists.
        edit = self.request("rename", {**at(8, 2), "newName": "1..128"})
        self.assertEqual(len(edit["changes"][URI]), 1)

    def completion(self, line, character):
        items = self.request("completion", at(line, character))
        return [item["label"] for item in items]

    def test_completion(self):
        self.assertEqual(self.completion(12, 9), ["General", "Unused Patches", "1..128", "0..127"])
        self.assertEqual(self.completion(13, 12), ["Drums", "1..128", "0..127"])
        self.assertEqual(self.completion(14, 8), ["Extra", "Standard"])
        self.assertEqual(self.completion(16, 8), ["Synth"])
        self.assertEqual(self.completion(14, 3), [])    # before the "="
        self.assertEqual(self.completion(2, 4), [])     # not a key line
        item = self.request("completion", at(14, 10))[1]
        self.assertEqual(item["textEdit"], {"range": rng(14, 8, 14, 15), "newText": "Standard"})

    def test_rename(self):
        prepared = self.request("prepareRename", at(13, 10))
        self.assertEqual(prepared, {"range": rng(13, 9, 13, 14), "placeholder": "Drums"})
        edit = self.request("rename", {**at(13, 10), "newName": "Kit"})
        self.assertEqual(edit, {"changes": {URI: [
            {"range": rng(5, 1, 5, 6), "newText": "Kit"},
            {"range": rng(13, 9, 13, 14), "newText": "Kit"}]}})

    def test_rename_refusals(self):
        cases = [
            ("prepareRename", at(14, 10), None, "Standrd"),         # resolves to nothing
            ("prepareRename", at(2, 2), None, "no list name"),
            ("rename", at(1, 2), "Gen]eral", "\"]\""),
            ("rename", at(1, 2), "Gen\neral", "line end"),
            ("rename", at(1, 2), "", "name"),
            ("rename", at(8, 2), "Extra", "line 10"),
            ("rename", at(1, 2), "x" * 260, "read as two"),
            # Patch and Key values of these names are the built-in lists.
            ("rename", at(1, 2), "1..128", "built-in numbered list"),
            ("rename", at(13, 10), "0..127", "built-in numbered list"),
            # Each of these would raise a finding the file did not have.
            ("rename", at(1, 2), "1..128 ", "built-in numbered list"),
            ("rename", at(5, 2), "\t0..127", "built-in numbered list"),
            ("rename", at(1, 2), " General2", "blank"),
            ("rename", at(1, 2), "General2 ", "blank"),
            ("rename", at(1, 2), "Gen\teral", "control character"),
            ("rename", at(1, 2), "Gen\x01eral", "control character"),
            ("rename", at(1, 2), "Gen\x7feral", "control character"),
            ("rename", at(1, 2), "Gen;eral", "\";\""),
            ("rename", at(1, 2), "General ; old", "\";\""),
        ]
        for method, params, new_name, reason in cases:
            with self.subTest(method=method, new_name=new_name):
                if new_name is not None:
                    params = {**params, "newName": new_name}
                error = self.error_of("textDocument/" + method, params)
                self.assertEqual(error.code, -32803)
                self.assertIn(reason, error.message)

    def test_an_accepted_rename_makes_no_finding(self):
        """Whatever name a rename accepts, the renamed text has no finding
        the text did not have."""
        def findings(text, uri):
            published = self.open(text, uri)
            return sorted((d["code"], d["range"]["start"]["line"]) for d in published["diagnostics"])
        names = ["Kit", "Two Words", "Drums 2", "\u00c4rger", "x=y", "[x", "a\\b", "1..127",
                 "0..128", ".Patch Names", "1..128x", "-", "\u00a0Kit", "Kit\u3000",
                 "1..128 ", " 0..127", "Kit ", "\tKit", "Ki;t", "K\x0bit", "Ki\x7ft"]
        # A patch list (General, from its reference at line 12) and a note
        # list (Drums, from line 5).
        for place in [at(12, 10), at(5, 2)]:
            for number, name in enumerate(names):
                with self.subTest(place=place["position"], name=name):
                    try:
                        edit = self.request("rename", {**place, "newName": name})
                    except LspError:
                        continue
                    uri = "file:///work/renamed%d.ins" % number
                    renamed = apply_edit(RACK, edit, URI)
                    # Renaming the first of two Drums lists ends a finding.
                    new = collections.Counter(findings(renamed, uri))
                    new.subtract(findings(RACK, "file:///work/plain.ins"))
                    self.assertEqual(+new, collections.Counter())

    def test_code_action(self):
        actions = self.request("codeAction", {**doc(), "range": rng(14, 9, 14, 9), "context": {"diagnostics": []}})
        self.assertEqual(len(actions), 1)
        action = actions[0]
        self.assertEqual(action["kind"], "quickfix")
        self.assertEqual(action["title"], 'Change to "Standard"')
        # A guess: offered, never preferred.
        self.assertNotIn("isPreferred", action)
        self.assertEqual(action["edit"], {"changes": {URI: [{"range": rng(14, 8, 14, 15), "newText": "Standard"}]}})
        self.assertEqual(action["diagnostics"][0]["code"], "VLT1003")
        self.assertEqual(self.request("codeAction", {**doc(), "range": rng(1, 0, 1, 3), "context": {"diagnostics": []}}), [])
        self.assertEqual(self.request("codeAction", {**doc(), "range": rng(14, 9, 14, 9),
                                                      "context": {"diagnostics": [], "only": ["refactor"]}}), [])

    def test_quick_fix_for_the_only_unused_list(self):
        text = ".Controller Names\n[Main Controls]\n.Instrument Definitions\n[I]\nControl=Something else\n"
        self.open(text, uri="file:///only.ins")
        actions = self.client.request("textDocument/codeAction", {
            "textDocument": {"uri": "file:///only.ins"}, "range": rng(4, 10, 4, 10),
            "context": {"diagnostics": []}})
        self.assertEqual([a["edit"]["changes"]["file:///only.ins"][0]["newText"] for a in actions],
                         ["Main Controls"])


# -- against veltrane-check ------------------------------------------------

def is_instrument_file(data):
    """Whether the server checks `data` (bytes): it has a section header
    where the checker reads one, at the start of a piece (not after a lone
    CR)."""
    return any(ins_model.header_kind(p, 0) for p, _ in ins_model.pieces(data))


def gnu_findings(data, tmp):
    """veltrane-check --format=gnu on `data`, as (line, column, severity,
    message) tuples: each note line follows the finding it explains. In
    code page 65001, as the server reads the UTF-8 text editors send."""
    path = os.path.join(tmp, "document.ins")
    with open(path, "wb") as f:
        f.write(data)
    run = subprocess.run([CHECK, "--format=gnu", "--codepage=65001", path], capture_output=True)
    assert run.returncode in (0, 1), run.stderr
    out = []
    # Names may hold a lone CR: only LF ends a line here.
    for line in run.stdout.decode("utf-8").split("\n")[:-1]:
        assert line.startswith(path + ":"), line
        line_no, column, severity, message = line[len(path) + 1:].split(":", 3)
        out.append((int(line_no), int(column), severity.strip(), message[1:]))
    return out


def column_of(text_lines, position):
    """The 1-based column in characters of a UTF-16 position."""
    line = text_lines[position["line"]] if position["line"] < len(text_lines) else ""
    units = line.encode("utf-16-le")[:2 * position["character"]]
    return len(units.decode("utf-16-le")) + 1


def split_lines(text):
    lines, start, i = [], 0, 0
    while i < len(text):
        if text[i] in "\r\n":
            lines.append(text[start:i])
            i += 2 if text[i] == "\r" and text[i + 1:i + 2] == "\n" else 1
            start = i
        else:
            i += 1
    lines.append(text[start:])
    return lines


def lsp_findings(text, diagnostics):
    lines = split_lines(text)
    names = {1: "error", 2: "warning", 3: "note"}
    out = []
    for d in diagnostics:
        start = d["range"]["start"]
        # gnu lines end a finding's message with its rule id; the server
        # gives the id as the diagnostic's code.
        message = d["message"] + (f" [{d['code']}]" if "code" in d else "")
        out.append((start["line"] + 1, column_of(lines, start), names[d["severity"]], message))
        for related in d.get("relatedInformation", []):
            if related["message"].startswith("Label \"") and related["message"].endswith("first defined here"):
                continue
            # A note on a label not found points at the list it suggests;
            # gnu shows it on the finding's own line. Any other note stands
            # at the place it speaks of, in gnu too.
            at = start if d.get("code") == "VLT1003" else related["location"]["range"]["start"]
            out.append((at["line"] + 1, column_of(lines, at), "note", related["message"]))
    return out


class AgainstCheckTest(ServerCase):
    def assert_same(self, text, uri, tmp):
        diagnostics = self.open(text, uri)["diagnostics"]
        data = text.encode("utf-8")
        if not is_instrument_file(data):
            self.assertEqual(diagnostics, [])
            return
        self.assertEqual(lsp_findings(text, diagnostics), gnu_findings(data, tmp))

    def test_corpus(self):
        if not CORPUS or not os.path.isdir(CORPUS):
            self.skipTest("no corpus")
        with tempfile.TemporaryDirectory() as tmp:
            for name in sorted(os.listdir(CORPUS)):
                if not name.endswith(".ins"):
                    continue
                with self.subTest(file=name):
                    with open(os.path.join(CORPUS, name), "rb") as f:
                        data = f.read()
                    try:
                        text = data.decode("utf-8")
                    except UnicodeDecodeError:
                        text = data.decode("cp1252", errors="replace")
                    self.assert_same(text, "file:///corpus/" + name, tmp)

    def test_examples(self):
        with tempfile.TemporaryDirectory() as tmp:
            for name in sorted(os.listdir(EXAMPLES)):
                with self.subTest(file=name):
                    with open(os.path.join(EXAMPLES, name), "rb") as f:
                        text = f.read().decode("latin-1")
                    self.assert_same(text, "file:///examples/" + name, tmp)

    def test_generated_files(self):
        random_source = random.Random(15)
        with tempfile.TemporaryDirectory() as tmp:
            for n in range(300):
                data = ins_model.random_file(random_source)
                with self.subTest(file=n):
                    self.assert_same(data.decode("latin-1"), f"file:///generated/{n}.ins", tmp)

    def test_random_edits_end_as_a_fresh_check(self):
        random_source = random.Random(1515)
        base = RACK
        if CORPUS and os.path.isfile(os.path.join(CORPUS, "GM1_GM2.ins")):
            with open(os.path.join(CORPUS, "GM1_GM2.ins"), "rb") as f:
                base = f.read().decode("latin-1")
        text = base
        self.open(text)
        snippets = ["", "x", "]", "[", "=", "\n", "\r\n", "\r", "[Drums]\n", "Key[*,*]=Drums\n",
                    ".Note Names\n", "\u00e4", "\U0001d11e", "Control=Standard", "BasedOn="]
        for step in range(400):
            lines = split_lines(text)
            a_line = random_source.randrange(len(lines))
            b_line = min(len(lines) - 1, a_line + random_source.choice([0, 0, 0, 1, 2]))
            a_units = len(lines[a_line].encode("utf-16-le")) // 2
            b_units = len(lines[b_line].encode("utf-16-le")) // 2
            a_char = random_source.randint(0, a_units)
            b_char = random_source.randint(0, b_units) if b_line != a_line else random_source.randint(a_char, a_units)
            new = random_source.choice(snippets) + random_source.choice(snippets)
            start = self.offset(text, lines, a_line, a_char)
            end = self.offset(text, lines, b_line, b_char)
            text = text[:start] + new + text[end:]
            self.change([{"range": rng(a_line, a_char, b_line, b_char), "text": new}])
        edited = self.diagnostics(version=self.version)["diagnostics"]
        fresh = self.open(text, uri="file:///fresh.ins")["diagnostics"]
        for d in fresh:
            for related in d.get("relatedInformation", []):
                related["location"]["uri"] = URI
        self.assertEqual(edited, fresh)
        with tempfile.TemporaryDirectory() as tmp:
            self.assertEqual(lsp_findings(text, edited), gnu_findings(text.encode("utf-8"), tmp))

    @staticmethod
    def offset(text, lines, line, units):
        """The index in `text` of a UTF-16 position, counting as split_lines
        does."""
        index = 0
        for i in range(line):
            index += len(lines[i])
            index += 2 if text[index:index + 2] == "\r\n" else 1
        prefix = lines[line].encode("utf-16-le")[:2 * units].decode("utf-16-le", errors="ignore")
        return index + len(prefix)


def apply_edit(text, edit, uri):
    """`text` after a WorkspaceEdit's edits for `uri`, positions in UTF-16."""
    if "documentChanges" in edit:
        edits = [e for change in edit["documentChanges"] if change["textDocument"]["uri"] == uri
                 for e in change["edits"]]
    else:
        edits = edit["changes"].get(uri, [])
    lines = split_lines(text)
    spans = []
    for e in edits:
        start, end = e["range"]["start"], e["range"]["end"]
        spans.append((AgainstCheckTest.offset(text, lines, start["line"], start["character"]),
                      AgainstCheckTest.offset(text, lines, end["line"], end["character"]), e["newText"]))
    for start, end, new in sorted(spans, reverse=True):
        text = text[:start] + new + text[end:]
    return text


def fixed_by_check(data, tmp, *options):
    """The bytes veltrane-check --fix leaves of `data`, read in code page
    65001 as the server reads the UTF-8 text editors send."""
    path = os.path.join(tmp, "fixed.ins")
    with open(path, "wb") as f:
        f.write(data)
    run = subprocess.run([CHECK, "--fix", "--codepage=65001", *options, path], capture_output=True)
    assert run.returncode in (0, 1), run.stderr
    with open(path, "rb") as f:
        return f.read()


class FixTest(ServerCase):
    capabilities = {"workspace": {"workspaceEdit": {"documentChanges": True}}}

    def code_actions(self, line, character, only=None, uri=URI, trigger=None):
        context = {"diagnostics": []}
        if only is not None:
            context["only"] = only
        if trigger is not None:
            context["triggerKind"] = trigger
        return self.client.request("textDocument/codeAction", {
            "textDocument": {"uri": uri}, "range": rng(line, character, line, character), "context": context})

    def test_fix_all_is_announced(self):
        kinds = self.init["capabilities"]["codeActionProvider"]["codeActionKinds"]
        self.assertEqual(kinds, ["quickfix", "source.fixAll.veltrane"])

    def test_quick_fix_edits_name_the_version_they_were_made_for(self):
        self.open(RACK)
        self.change([{"range": rng(16, 0, 16, 0), "text": "; edited\n"}])
        [action] = self.code_actions(14, 9)
        self.assertEqual(action["edit"], {"documentChanges": [{
            "textDocument": {"uri": URI, "version": self.version},
            "edits": [{"range": rng(14, 8, 14, 15), "newText": "Standard"}]}]})

    def test_safe_fixes_are_preferred(self):
        # Blanks after the name keep the reference from naming the list.
        text = RACK.replace("Control=Standrd\n", "Control=Standard  \n")
        self.open(text)
        # As the editor asks by itself at the cursor: the quick fix alone.
        [action] = self.code_actions(14, 9, trigger=2)
        self.assertTrue(action["isPreferred"])
        self.assertEqual(action["diagnostics"][0]["code"], "VLT1003")
        self.assertEqual(apply_edit(text, action["edit"], URI), RACK.replace("Standrd", "Standard"))

    def test_fix_all_follows_the_rules_of_the_settings(self):
        text = RACK.replace("Control=Standrd\n", "Control=Standard  \n").rstrip("\n")
        self.open(text)
        [action] = self.code_actions(0, 0, ["source.fixAll.veltrane"])
        self.assertEqual(apply_edit(text, action["edit"], URI), RACK.replace("Standrd", "Standard"))
        self.client.notify("workspace/didChangeConfiguration",
                           {"settings": {"veltrane": {"rules": {"ignore": ["VLT3008"]}}}})
        self.diagnostics()
        [action] = self.code_actions(0, 0, ["source.fixAll.veltrane"])
        self.assertEqual(apply_edit(text, action["edit"], URI),
                         RACK.replace("Standrd", "Standard").rstrip("\n"))

    def test_fix_all_edits_only_what_changes(self):
        # A large document with many safe fixes apart: one small edit for
        # each, however large the document and however many they are.
        fixes = 3000
        text = (".Patch Names\n[P]\n0=Piano\n.Controller Names\n[C]\n.Instrument Definitions\n" +
                "".join("[I%d]\nPatch[*]=P%s\nControl=C\n" % (i, "  " if i % 20 == 0 else "")
                        for i in range(fixes * 20)))
        self.open(text, "file:///big.ins")
        [action] = self.code_actions(0, 0, ["source.fixAll.veltrane"], "file:///big.ins")
        [change] = action["edit"]["documentChanges"]
        # Instrument i's Patch line is line 7 + 3 i.
        self.assertEqual(change["edits"], [{"range": rng(7 + 3 * i, 0, 8 + 3 * i, 0),
                                            "newText": "Patch[*]=P\n"}
                                           for i in range(0, fixes * 20, 20)])

    def test_fix_all_of_a_large_document_holds_one_check(self):
        """Fix-all on a large document with a few fixes costs about what
        opening it cost, not the two or three checks more it once held."""
        if SANITIZED:
            self.skipTest("memory figures of a sanitized server")
        text = (".Patch Names\n[P]\n" + "".join("%d=Patch number %d with a long name\n" % (i, i)
                                                 for i in range(128)) +
                ".Controller Names\n[C]\n.Instrument Definitions\n" +
                "".join("[I%d]\nPatch[*]=P%s\nControl=C\n" % (i, "  " if i % 2500 == 0 else "")
                        for i in range(100000)))

        def peak_kb():
            with open(f"/proc/{self.client.process.pid}/status") as status:
                return int(next(l for l in status if l.startswith("VmHWM")).split()[1])
        base = peak_kb()
        self.open(text, "file:///big.ins")
        opened = peak_kb()
        [action] = self.code_actions(0, 0, ["source.fixAll.veltrane"], "file:///big.ins")
        self.assertEqual(len(action["edit"]["documentChanges"][0]["edits"]), 40)
        size_kb = len(text) // 1024
        self.assertLess(peak_kb() - opened, 3 * size_kb + 4 * 1024,
                        "fix-all's peak over the open document's (%d KB before it, %d KB text)"
                        % (opened - base, size_kb))
        # The document's check comes back for the next request.
        self.assertEqual(len(self.code_actions(0, 0, ["source.fixAll.veltrane"], "file:///big.ins")), 1)
        self.assertTrue(self.client.request("textDocument/documentSymbol", doc("file:///big.ins")))

    def test_fix_all_only_when_asked_for(self):
        # One safe fix: blanks after a reference.
        self.open(RACK.replace("Control=Standrd\n", "Control=Standard  \n"))
        # (only, triggerKind, offered): without `only`, an editor's own
        # request (2, Automatic) gets none, the user's (1, or an editor that
        # does not say) gets it.
        cases = [(None, 2, False), (["quickfix"], None, False), (["refactor"], 1, False),
                 (["source.organizeImports"], None, False), (None, 1, True), (None, None, True),
                 (["source"], 2, True)]
        for only, trigger, offered in cases:
            with self.subTest(only=only, trigger=trigger):
                kinds = [a["kind"] for a in self.code_actions(14, 9, only, trigger=trigger)]
                self.assertEqual("source.fixAll.veltrane" in kinds, offered)
                # The quick fixes of the place come first.
                self.assertEqual(kinds[-1:] == ["source.fixAll.veltrane"], offered)

    def assert_fix_all_as_check(self, text, uri, tmp):
        self.open(text, uri)
        want = fixed_by_check(text.encode("utf-8"), tmp).decode("utf-8")
        # The server leaves files that are no instrument definitions alone.
        if not is_instrument_file(text.encode("utf-8")):
            want = text
        actions = []
        for only in (["source.fixAll.veltrane"], ["source.fixAll"], ["source"], [""]):
            actions = [a for a in self.code_actions(0, 0, only, uri) if a["kind"] == "source.fixAll.veltrane"]
            self.assertEqual(len(actions), 0 if want == text else 1, only)
        if want != text:
            self.assertEqual(apply_edit(text, actions[0]["edit"], uri), want)
        return want != text

    def test_fix_all_equals_fix_of_the_check(self):
        with tempfile.TemporaryDirectory() as tmp:
            texts = []
            for folder in (CORPUS, EXAMPLES):
                if folder and os.path.isdir(folder):
                    for name in sorted(os.listdir(folder)):
                        if name.endswith(".ins"):
                            with open(os.path.join(folder, name), "rb") as f:
                                texts.append((name, f.read().decode("latin-1")))
            random_source = random.Random(21)
            texts += [(f"generated {n}", ins_model.random_file(random_source).decode("latin-1"))
                      for n in range(100)]
            for n, (name, text) in enumerate(texts):
                with self.subTest(file=name):
                    self.assert_fix_all_as_check(text, f"file:///fix/{n}.ins", tmp)


def main():
    global SERVER, CHECK, CORPUS, EXAMPLES, SANITIZED
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("--check", required=True)
    parser.add_argument("--corpus")
    parser.add_argument("--examples", default=os.path.join(HERE, "..", "..", "examples"))
    # A server built with AddressSanitizer keeps freed memory in quarantine
    # and maps shadow memory: its figures say nothing of the program's own.
    parser.add_argument("--sanitized", action="store_true")
    args, rest = parser.parse_known_args()
    SERVER, CHECK, CORPUS, EXAMPLES = args.server, args.check, args.corpus, args.examples
    SANITIZED = args.sanitized
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
