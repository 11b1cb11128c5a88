#!/usr/bin/env python3
"""The language server's rules: veltrane.toml beside the document, the
client's select and ignore (initializationOptions and
workspace/didChangeConfiguration), suppression comments, and what a broken
configuration tells the user.

Usage: rules_test.py --server VELTRANE_LSP --check VELTRANE_CHECK [unittest arguments]"""

import argparse
import json
import os
import re
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from lsp_client import LspClient  # noqa: E402

SERVER = None
CHECK = None

# A file with one finding of three kinds: a list nothing uses (VLT1002), an
# entry out of range (VLT2001) and a comment after a value (VLT3001).
TEXT = (".Patch Names\n[Unused]\n128=x\n.Instrument Definitions\n[I]\n"
        "BankSelMethod=1 ; MSB only\n")


class RulesTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.path = os.path.join(self.folder.name, "sub", "a.ins")
        os.makedirs(os.path.dirname(self.path))
        self.uri = "file://" + self.path
        self.client = None

    def tearDown(self):
        if self.client is not None:
            self.client.close()
        self.folder.cleanup()

    def start(self, options=None, capabilities=None):
        self.client = LspClient([SERVER])
        params = {"processId": None, "rootUri": None, "capabilities": capabilities or {}}
        if options is not None:
            params["initializationOptions"] = options
        self.client.request("initialize", params)
        self.client.notify("initialized", {})

    def codes(self, text=TEXT):
        self.client.notify("textDocument/didOpen", {"textDocument": {
            "uri": self.uri, "languageId": "ins", "version": 1, "text": text}})
        return self.published()

    def published(self):
        params = self.client.wait_notification("textDocument/publishDiagnostics")
        return [d["code"] for d in params["diagnostics"]]

    def write_config(self, text, folder=None):
        with open(os.path.join(folder or self.folder.name, "veltrane.toml"), "w") as f:
            f.write(text)

    def test_defaults(self):
        self.start()
        self.assertEqual(self.codes(), ["VLT1002", "VLT2001", "VLT3001"])

    def test_the_configuration_above_the_document(self):
        self.write_config('[check]\nselect = ["VLT2", "VLT3"]\nignore = ["VLT3001"]\n')
        self.start()
        self.assertEqual(self.codes(), ["VLT2001"])

    def test_client_settings_on_top(self):
        self.write_config('[check]\nignore = ["VLT2001"]\n')
        self.start({"rules": {"ignore": ["VLT1002"]}})
        self.assertEqual(self.codes(), ["VLT3001"])
        # New settings check the open documents again.
        self.client.notify("workspace/didChangeConfiguration",
                           {"settings": {"veltrane": {"rules": {"select": ["VLT1"], "ignore": []}}}})
        self.assertEqual(self.published(), ["VLT1002"])

    def test_suppression_comment(self):
        self.start()
        text = TEXT.replace("BankSelMethod", "; veltrane: ignore VLT3001\nBankSelMethod")
        self.assertEqual(self.codes(text), ["VLT1002", "VLT2001", "VLT3005"])

    def test_broken_configuration_is_shown_once(self):
        self.write_config('[check]\nselect = ["VLT9"]\n')
        self.start()
        self.assertEqual(self.codes(), ["VLT1002", "VLT2001", "VLT3001"])
        message = self.client.wait_notification("window/showMessage")
        self.assertEqual(message["type"], 2)
        self.assertIn('veltrane.toml:2: "VLT9" in "select" names no rule', message["message"])

    def test_settings_that_name_no_rule(self):
        self.start({"rules": {"select": "VLT1, VLT7"}})
        self.assertEqual(self.codes(), ["VLT1002"])
        message = self.client.wait_notification("window/showMessage")
        self.assertIn("VLT7", message["message"])

    def test_settings_that_name_no_rule_make_one_bounded_message(self):
        ids = ["VLT%d" % (9000000 + i) for i in range(100000)]
        self.start({"rules": {"select": ids, "ignore": ",".join(ids)}})
        self.assertEqual(self.codes(), ["VLT1002", "VLT2001", "VLT3001"])
        self.settings({"veltrane": {"rules": {"ignore": ["VLT8"] + ids}}})
        self.assertEqual(self.published(), ["VLT1002", "VLT2001", "VLT3001"])
        messages = self.messages()
        self.assertEqual(len(messages), 2, messages)
        for message, names in zip(messages, [["rules.select", "rules.ignore"], ["veltrane.rules.ignore"]]):
            self.assertLess(len(message["message"]), 1000)
            for name in names:
                self.assertIn('"%s" names no rule' % name, message["message"])
        self.assertIn("VLT8, VLT9000000", messages[1]["message"])
        self.assertIn("and 99991 more", messages[1]["message"])

    def test_other_unknown_ids_at_each_change_pop_up_once(self):
        self.start()
        self.assertEqual(self.codes(), ["VLT1002", "VLT2001", "VLT3001"])
        for i in range(100):
            self.settings({"veltrane": {"rules": {"ignore": ["VLT%d" % (8000 + i), "VLT2"]}}})
            self.assertEqual(self.published(), ["VLT1002", "VLT3001"])
        self.assertEqual(len(self.messages()), 1)
        logged = []
        while True:
            try:
                logged.append(self.client.wait_notification("window/logMessage", timeout=0.01))
            except Exception:
                break
        self.assertEqual(len(logged), 99)
        self.assertIn("VLT8099", logged[-1]["message"])
        # Fine, then wrong again: told again.
        self.settings({})
        self.settings({"veltrane": {"rules": {"ignore": ["VLT9"]}}})
        self.assertEqual(len(self.messages()), 1)

    def settings(self, settings):
        self.client.notify("workspace/didChangeConfiguration", {"settings": settings})

    def messages(self):
        """The window/showMessage notifications so far, once the server has
        answered everything sent before."""
        self.client.request("textDocument/documentSymbol", {"textDocument": {"uri": self.uri}})
        found = []
        while True:
            try:
                found.append(self.client.wait_notification("window/showMessage", timeout=0.01))
            except Exception:
                return found

    def gnu_codes(self, select, ignore, config=True):
        """What the command line reports for the document with these options."""
        argv = [CHECK, "--format=gnu", "--codepage=65001", "--no-notes"]
        if select:
            argv += ["--select", ",".join(select)]
        if ignore:
            argv += ["--ignore", ",".join(ignore)]
        if not config:
            argv.append("--no-config")
        result = subprocess.run(argv + [self.path], capture_output=True, text=True)
        self.assertIn(result.returncode, (0, 1), result.stderr)
        return re.findall(r"\[(VLT\d+)\]$", result.stdout, re.M)

    def test_states_against_the_command_line(self):
        """A sequence of veltrane.toml and settings states, none of them told
        by a save: each check agrees with the command line, each distinct
        problem is told once, and a repaired file is said to be used again."""
        with open(self.path, "w") as f:
            f.write(TEXT)
        broken = '[check]\nselect = "VLT1"\n'
        broken2 = '[check]\nselect = "VLT2"\n'
        # (veltrane.toml or None, settings or "same", the command line's
        # --select and --ignore, the messages this state tells)
        states = [
            (None, "same", [], [], []),
            ('[check]\nignore = ["VLT2"]\n', "same", [], [], []),
            ('[check]\nignore = ["VLT3"]\n', "same", [], [], []),
            ('[check]\nignore = ["VLT3"]\n', {"veltrane": {"rules": {"select": ["VLT1003"]}}},
             ["VLT1003"], [], []),
            # Removing a setting brings its default back.
            ('[check]\nignore = ["VLT3"]\n', {}, [], [], []),
            ('[check]\nignore = ["VLT3"]\n', {"veltrane": {"rules": {"ignore": "VLT1"}}},
             [], ["VLT1"], []),
            ('[check]\nignore = ["VLT3"]\n', None, [], [], []),
            (None, {"veltrane": {"rules": {"select": ["ALL"]}}}, ["ALL"], [], []),
            (None, {"veltrane": {}}, [], [], []),
            (broken, "same", [], [], ['"select" must be']),
            (broken, "same", [], [], []),                        # the same again: told once
            ('[check]\nselect = ["VLT2"]\n', "same", [], [], ["read again"]),
            (broken, "same", [], [], ['"select" must be']),      # broken anew: told again
            # Other bytes with the same problem: another broken content.
            (broken2, "same", [], [], ['"select" must be']),
            (broken2, "same", [], [], []),
            # A setting of the wrong type is left out, the rest applies.
            (None, {"veltrane": {"rules": {"select": 5, "ignore": ["VLT2", 7]}}}, [], ["VLT2"],
             ['"veltrane.rules.select" must be', '"veltrane.rules.ignore" must be']),
            (None, {"veltrane": {"rules": 3}}, [], [], ['"veltrane.rules" must be an object']),
            (None, {"rules": {"select": "VLT2, VLT3", "ignore": None}}, ["VLT2", "VLT3"], [], []),
        ]
        toml = os.path.join(self.folder.name, "veltrane.toml")
        self.start()
        self.client.notify("textDocument/didOpen", {"textDocument": {
            "uri": self.uri, "languageId": "ins", "version": 1, "text": TEXT}})
        self.published()
        version = 1
        for step, (config, settings, select, ignore, told) in enumerate(states):
            with self.subTest(step=step, config=config, settings=settings):
                if config is None:
                    if os.path.exists(toml):
                        os.remove(toml)
                else:
                    self.write_config(config)
                    # The same size and content may come twice within one
                    # tick of a coarse clock.
                    os.utime(toml, ns=(time.time_ns(), time.time_ns() + step * 1000000))
                if settings != "same":
                    self.settings(settings)
                else:
                    version += 1
                    self.client.notify("textDocument/didChange", {
                        "textDocument": {"uri": self.uri, "version": version},
                        "contentChanges": [{"text": TEXT}]})
                got = self.published()
                usable = config not in (broken, broken2)
                self.assertEqual(got, self.gnu_codes(select, ignore, usable))
                messages = []
                while True:
                    try:
                        messages.append(self.client.wait_notification("window/showMessage",
                                                                      timeout=0.3))
                    except Exception:
                        break
                self.assertEqual(len(messages), 1 if told else 0, messages)
                for part in told:
                    self.assertIn(part, messages[0]["message"])

    def test_watched_where_the_client_lets_it(self):
        toml = os.path.join(self.folder.name, "veltrane.toml")
        self.start(capabilities={"workspace": {"didChangeWatchedFiles": {"dynamicRegistration": True}}})
        registration = self.client.next_message()
        self.assertEqual(registration["method"], "client/registerCapability")
        (entry,) = registration["params"]["registrations"]
        self.assertEqual(entry["method"], "workspace/didChangeWatchedFiles")
        self.assertEqual(entry["registerOptions"]["watchers"], [{"globPattern": "**/veltrane.toml"}])
        self.client.send({"jsonrpc": "2.0", "id": registration["id"], "result": None})
        self.assertEqual(self.codes(), ["VLT1002", "VLT2001", "VLT3001"])
        # Written, then told: every open document is checked again at once.
        self.write_config('[check]\nignore = ["VLT1", "VLT2"]\n')
        self.client.notify("workspace/didChangeWatchedFiles", {"changes": [
            {"uri": "file://" + toml, "type": 1}]})
        self.assertEqual(self.published(), ["VLT3001"])
        os.remove(toml)
        self.client.notify("workspace/didChangeWatchedFiles", {"changes": [
            {"uri": "file://" + toml, "type": 3}]})
        self.assertEqual(self.published(), ["VLT1002", "VLT2001", "VLT3001"])

    def test_file_uris_of_every_spelling(self):
        self.write_config('[check]\nselect = ["VLT2"]\n')
        self.start()
        cases = [("file://" + self.path, ["VLT2001"]),
                 ("FILE://" + self.path, ["VLT2001"]),
                 ("file:" + self.path, ["VLT2001"]),
                 ("file://LOCALHOST" + self.path, ["VLT2001"]),
                 ("file://elsewhere" + self.path, ["VLT1002", "VLT2001", "VLT3001"]),
                 ("untitled:" + self.path, ["VLT1002", "VLT2001", "VLT3001"])]
        for uri, codes in cases:
            with self.subTest(uri=uri):
                self.uri = uri
                self.assertEqual(self.codes(), codes)

    def test_severities_and_tags(self):
        self.start({"rules": {"select": ["ALL"]}})
        self.client.notify("textDocument/didOpen", {"textDocument": {
            "uri": self.uri, "languageId": "ins", "version": 1,
            "text": TEXT + "; veltrane: ignore VLT2\n[J]\n"}})
        diagnostics = self.client.wait_notification("textDocument/publishDiagnostics")["diagnostics"]
        by_code = {d["code"]: d for d in diagnostics}
        self.assertEqual(by_code["VLT1002"]["severity"], 1)
        self.assertEqual(by_code["VLT3001"]["severity"], 2)
        self.assertEqual(by_code["VLT0001"]["severity"], 3)
        self.assertEqual(by_code["VLT0001"]["tags"], [1])


def main():
    global SERVER, CHECK
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("--check", required=True)
    args, rest = parser.parse_known_args()
    SERVER = args.server
    CHECK = args.check
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
