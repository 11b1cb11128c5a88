// Starts veltrane-lsp for instrument definition files and registers the
// protocol command. The server runs on this machine over stdio; nothing
// goes to the network.

import * as vscode from 'vscode';
import { LanguageClient, LanguageClientOptions, ServerOptions, State } from 'vscode-languageclient/node';
import { bundledServer } from './programs';
import { writeProtocol } from './protocol';
import { serverProblem, startFailureMessage } from './server';

let client: LanguageClient | undefined;
let output: vscode.OutputChannel | undefined;

// The client with the library's own error pop-ups left out: they would
// stand beside this extension's message, which says what to change. What
// went wrong still goes to the output channel.
class QuietClient extends LanguageClient {
  override error(message: string, data?: unknown): void {
    super.error(message, data, false);
  }
}

// The configured server, or the bundled one, and whether it is configured.
function serverCommand(extensionDir: string): { command: string; configured: boolean } {
  const configured = vscode.workspace.getConfiguration('veltrane').get<string>('server.path', '').trim();
  if (configured !== '') {
    return { command: configured, configured: true };
  }
  return { command: bundledServer(extensionDir), configured: false };
}

// veltrane.rules.select and veltrane.rules.ignore, as the server takes them.
function ruleSettings(): { select: string[]; ignore: string[] } {
  const settings = vscode.workspace.getConfiguration('veltrane.rules');
  return { select: settings.get<string[]>('select', []), ignore: settings.get<string[]>('ignore', []) };
}

async function startClient(extensionDir: string): Promise<void> {
  const { command, configured } = serverCommand(extensionDir);
  output ??= vscode.window.createOutputChannel('Veltrane');
  const fail = (reason: string): void => {
    const message = startFailureMessage(command, configured, reason);
    output?.appendLine(message);
    void vscode.window.showErrorMessage(message);
  };
  const problem = serverProblem(command);
  if (problem !== undefined) {
    fail(problem === 'it does not exist' && !configured
      ? `this extension has no language server for ${process.platform}-${process.arch}`
      : problem);
    return;
  }
  output.appendLine(`Starting the language server ${command}`);
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
    // A failed start is reported once, below.
    initializationFailedHandler: () => false,
  };
  // The id "veltrane" makes the client follow the setting veltrane.trace.server.
  const started = new QuietClient('veltrane', 'Veltrane', serverOptions, clientOptions);
  client = started;
  started.onDidChangeState((event) => {
    if (event.newState === State.Stopped && client === started) {
      output?.appendLine(`The language server ${command} stopped`);
    }
  });
  try {
    await started.start();
    const info = started.initializeResult?.serverInfo;
    output.appendLine(`Started ${info?.name ?? 'the language server'} ${info?.version ?? ''} (${command})`);
  } catch (error) {
    client = undefined;
    // The library's reason ("write EPIPE") says little; what the server
    // wrote on its way out (a missing library, say) is in the output.
    const reason = error instanceof Error ? error.message : String(error);
    fail(`${reason} (the output "Veltrane" shows what the server said)`);
  }
}

async function stopClient(): Promise<void> {
  const running = client;
  client = undefined;
  if (running !== undefined) {
    await running.stop().catch(() => undefined);
    output?.appendLine('Stopped the language server');
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
