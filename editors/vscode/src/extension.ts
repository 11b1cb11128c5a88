// Starts veltrane-lsp for instrument definition files and registers the
// protocol command. The server runs on this machine over stdio; nothing
// goes to the network.

import * as fs from 'fs';
import * as vscode from 'vscode';
import { LanguageClient, LanguageClientOptions, ServerOptions } from 'vscode-languageclient/node';
import { bundledServer } from './programs';
import { writeProtocol } from './protocol';

let client: LanguageClient | undefined;
let output: vscode.OutputChannel | undefined;

// The configured server, or the bundled one. Undefined (with a message)
// when there is none to start.
function serverCommand(extensionDir: string): string | undefined {
  const configured = vscode.workspace.getConfiguration('veltrane').get<string>('server.path', '').trim();
  if (configured !== '') {
    return configured;
  }
  const bundled = bundledServer(extensionDir);
  if (!fs.existsSync(bundled)) {
    void vscode.window.showErrorMessage(
      `Veltrane: this extension has no language server for ${process.platform}-${process.arch}. ` +
        'Set "veltrane.server.path" to a veltrane-lsp.');
    return undefined;
  }
  if (process.platform !== 'win32') {
    try {
      fs.accessSync(bundled, fs.constants.X_OK);
    } catch {
      // An unpacker that drops the mode bits leaves the server unrunnable.
      // If the mode cannot be set either, starting it says so.
      try {
        fs.chmodSync(bundled, 0o755);
      } catch {
        // reported by the start below
      }
    }
  }
  return bundled;
}

// veltrane.rules.select and veltrane.rules.ignore, as the server takes them.
function ruleSettings(): { select: string[]; ignore: string[] } {
  const settings = vscode.workspace.getConfiguration('veltrane.rules');
  return { select: settings.get<string[]>('select', []), ignore: settings.get<string[]>('ignore', []) };
}

async function startClient(extensionDir: string): Promise<void> {
  const command = serverCommand(extensionDir);
  if (command === undefined) {
    return;
  }
  output ??= vscode.window.createOutputChannel('Veltrane');
  // No transport given: plain stdio, with no extra argument for the server.
  const serverOptions: ServerOptions = { command, args: [] };
  const clientOptions: LanguageClientOptions = {
    // Files on disk and new ones; not the old versions that diff views
    // open, whose findings would stand twice in the problems list.
    documentSelector: [
      { scheme: 'file', language: 'instrument-definition' },
      { scheme: 'untitled', language: 'instrument-definition' },
    ],
    outputChannel: output,
    // The rules to report go along at the start and again whenever the
    // settings change (workspace/didChangeConfiguration).
    initializationOptions: { rules: ruleSettings() },
    synchronize: { configurationSection: 'veltrane' },
  };
  // The id "veltrane" makes the client follow the setting veltrane.trace.server.
  client = new LanguageClient('veltrane', 'Veltrane', serverOptions, clientOptions);
  try {
    await client.start();
  } catch (error) {
    void vscode.window.showErrorMessage(`Veltrane: the language server ${command} did not start: ${String(error)}`);
  }
}

async function stopClient(): Promise<void> {
  const running = client;
  client = undefined;
  if (running !== undefined) {
    await running.stop().catch(() => undefined);
  }
}

export async function activate(context: vscode.ExtensionContext): Promise<void> {
  const extensionDir = context.extensionPath;
  context.subscriptions.push(
    vscode.commands.registerCommand('veltrane.writeProtocol', () => writeProtocol(extensionDir)),
    vscode.workspace.onDidChangeConfiguration(async (event) => {
      if (event.affectsConfiguration('veltrane.server.path')) {
        await stopClient();
        await startClient(extensionDir);
      }
    }),
  );
  await startClient(extensionDir);
}

export function deactivate(): Promise<void> {
  return stopClient();
}
