#!/usr/bin/env python3
"""The language server's rules: veltrane.toml beside the document, the
client's select and ignore (initializationOptions and
workspace/didChangeConfiguration), suppression comments, and what a broken
configuration tells the user.

Usage: rules_test.py --server VELTRANE_LSP [unittest arguments]"""

import argparse
import os
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from lsp_client import LspClient  # noqa: E402

SERVER = None

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

    def start(self, options=None):
        self.client = LspClient([SERVER])
        params = {"processId": None, "rootUri": None, "capabilities": {}}
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
    global SERVER
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    args, rest = parser.parse_known_args()
    SERVER = args.server
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
