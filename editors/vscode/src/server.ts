// Whether the language server can be started, and what the user is told
// when it cannot: one message with the reason and the setting to change.

import * as fs from 'fs';

// Why `command` cannot run as a server, or undefined when it can (as far
// as the file system tells before starting it). Tries to make a bundled
// server executable first: an unpacker that drops the mode bits leaves it
// unrunnable.
export function serverProblem(command: string, platform: string = process.platform): string | undefined {
  let stat: fs.Stats;
  try {
    stat = fs.statSync(command);
  } catch {
    return 'it does not exist';
  }
  if (!stat.isFile()) {
    return 'it is not a file';
  }
  if (platform === 'win32') {
    return undefined;
  }
  try {
    fs.accessSync(command, fs.constants.X_OK);
    return undefined;
  } catch {
    try {
      fs.chmodSync(command, 0o755);
      fs.accessSync(command, fs.constants.X_OK);
      return undefined;
    } catch {
      return 'it is not executable';
    }
  }
}

// The one message for a server that did not start: which one, why, and
// the setting that chooses another.
export function startFailureMessage(command: string, configured: boolean, reason: string): string {
  const fix = configured
    ? 'Set "veltrane.server.path" to a veltrane-lsp that runs here, or clear it to use the bundled one.'
    : 'Set "veltrane.server.path" to a veltrane-lsp that runs here.';
  return `Veltrane: the language server ${command} cannot start: ${reason}. ${fix}`;
}

// What a language client's handler of a closed connection says: the
// library's CloseHandlerResult, with its CloseAction as a number.
export interface ClosedResult {
  action: number;
  message?: string;
  handled?: boolean;
}

// Wraps `closed`, a client's handler of a closed connection, for a server
// that keeps stopping: the first time the handler gives up restarting it,
// `stoppedForGood` gets one message for the user, and the result says it is
// handled, so that the library adds none of its own. `doNotRestart` is the
// library's CloseAction.DoNotRestart.
export function tellWhenStoppedForGood(
  closed: () => ClosedResult | Promise<ClosedResult>, doNotRestart: number, command: string,
  stoppedForGood: (message: string) => void): () => Promise<ClosedResult> {
  let told = false;
  return async () => {
    const result = await closed();
    if (result.action !== doNotRestart) {
      return result;
    }
    if (!told) {
      told = true;
      stoppedForGood(stoppedForGoodMessage(command));
    }
    return { ...result, handled: true };
  };
}

// The message for a server that stopped again after every restart.
export function stoppedForGoodMessage(command: string): string {
  return `Veltrane: the language server ${command} stopped again after each restart and is not ` +
    'started any more, so no file is checked now. The output "Veltrane" shows what it said; ' +
    'reload the window or change "veltrane.server.path" to start it again.';
}
