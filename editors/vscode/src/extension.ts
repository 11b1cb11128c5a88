// Starts veltrane-lsp for instrument definition files and registers the
// protocol command. The server runs on this machine over stdio; nothing
// goes to the network.

import * as vscode from 'vscode';
import {
  CloseAction, ErrorAction, ErrorHandler, LanguageClient, LanguageClientOptions, ServerOptions, State,
} from 'vscode-languageclient/node';
import { bundledServer, programOnPath } from './programs';
import { writeProtocol } from './protocol';
import { serverProblem, startFailureMessage, stoppedForGoodMessage, tellWhenStoppedForGood } from './server';

let client: LanguageClient | undefined;
let output: vscode.OutputChannel | undefined;

// The client with the library's own error pop-ups left out: they would
// stand beside this extension's message, which says what to change. What
// went wrong still goes to the output channel.
class QuietClient extends LanguageClient {
  // Called when a restart after a crash failed: the library then gives up
  // without asking the error handler.
  onRestartFailed: () => void = () => undefined;

  override error(message: string, data?: unknown): void {
    super.error(message, data, false);
    if (message === 'Restarting server failed') {
      this.onRestartFailed();
    }
  }
  // The library passes whether it would show a pop-up as the data of its
  // "will restart" line, which the output then shows as a line "true".
  override info(message: string, data?: unknown, showNotification?: boolean): void {
    super.info(message, typeof data === 'boolean' ? undefined : data, showNotification);
  }
}

// The library's restarts, and one message once it gives up: a server that
// keeps crashing must not look like a file without findings. The message's
// button shows the output, where the server's last words are.
function errorHandler(client: () => QuietClient | undefined, command: string): ErrorHandler {
  let standard: ErrorHandler | undefined;
  let told = false;
  const tell = (message: string): void => {
    if (told) {
      return;
    }
    told = true;
    output?.appendLine(message);
    void vscode.window.showErrorMessage(message, 'Show Output').then((choice) => {
      if (choice === 'Show Output') {
        output?.show(true);
      }
    });
  };
  const closed = tellWhenStoppedForGood(() => {
    standard ??= client()?.createDefaultErrorHandler();
    const started = client();
    if (started !== undefined) {
      started.onRestartFailed = () => tell(stoppedForGoodMessage(command));
    }
    return standard?.closed() ?? { action: CloseAction.DoNotRestart };
  }, CloseAction.DoNotRestart, command, tell);
  return {
    error: (error, message, count) => {
      standard ??= client()?.createDefaultErrorHandler();
      return standard?.error(error, message, count) ?? { action: ErrorAction.Shutdown };
    },
    closed,
  };
}

// The configured server, or the bundled one, and whether it is configured.
function serverCommand(extensionDir: string): { command: string; configured: boolean } {
  const configured = vscode.workspace.getConfiguration('veltrane').get<string>('server.path', '').trim();
  if (configured !== '') {
    return { command: programOnPath(configured), configured: true };
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
  // A name that is no path and was not found on PATH stays as it was.
  const notOnPath = configured && !/[\\/]/.test(command);
  const problem = notOnPath ? 'no program of that name is in the folders of PATH' : serverProblem(command);
  if (problem !== undefined) {
    fail(problem === 'it does not exist' && !configured
      ? `this extension has no language server for ${process.platform}-${process.arch}`
      : problem);
    return;
  }
  output.appendLine(`Starting the language server ${command}`);
  // No transport given: plain stdio, with no extra argument for the server.
  const serverOptions: ServerOptions = { command, args: [] };
  // The client, for the error handler, which the client's options hold.
  let started: QuietClient | undefined;
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
    errorHandler: errorHandler(() => started, command),
  };
  // The id "veltrane" makes the client follow the setting veltrane.trace.server.
  started = new QuietClient('veltrane', 'Veltrane', serverOptions, clientOptions);
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
