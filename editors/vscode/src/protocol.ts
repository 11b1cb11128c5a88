// The command "Veltrane: Write check protocol": veltrane-check writes the
// protocol of the active file next to it, with the dialog's overwrite
// question.

import { execFile } from 'child_process';
import * as vscode from 'vscode';
import { findCheckProgram, needsOverwriteConsent, programOnPath, protocolPathFor } from './programs';

interface CheckOutcome {
  status: number | null;
  stderr: string;
  startError?: Error;
}

function runCheck(program: string, args: string[]): Promise<CheckOutcome> {
  return new Promise((resolve) => {
    // An argument vector, no shell: file names are passed as they are.
    execFile(program, args, { windowsHide: true }, (error, _stdout, stderr) => {
      if (error === null) {
        resolve({ status: 0, stderr });
      } else if (typeof error.code === 'number') {
        resolve({ status: error.code, stderr });
      } else {
        resolve({ status: null, stderr, startError: error });
      }
    });
  });
}

// The file that the protocol describes must be the file as the editor shows
// it: unsaved changes are saved first, or the command stops.
async function savedInput(document: vscode.TextDocument): Promise<boolean> {
  if (!document.isDirty) {
    return true;
  }
  const save = 'Save';
  const answer = await vscode.window.showWarningMessage(
    'The file has unsaved changes. Save it before the check?', { modal: true }, save);
  return answer === save && (await document.save());
}

export async function writeProtocol(extensionDir: string): Promise<void> {
  const document = vscode.window.activeTextEditor?.document;
  if (document === undefined) {
    void vscode.window.showErrorMessage('Veltrane: open an instrument definition file first.');
    return;
  }
  if (document.uri.scheme !== 'file') {
    void vscode.window.showErrorMessage(
      'Veltrane: save the file first; the protocol is written next to it.');
    return;
  }
  if (!(await savedInput(document))) {
    return;
  }

  const input = document.uri.fsPath;
  const protocol = protocolPathFor(input);
  const force = needsOverwriteConsent(protocol);
  if (force) {
    const answer = await vscode.window.showWarningMessage(
      'Overwrite existing file?', { modal: true, detail: protocol }, 'Yes', 'No');
    if (answer !== 'Yes') {
      return;
    }
  }

  const configured = vscode.workspace.getConfiguration('veltrane').get<string>('server.path', '');
  // A server given by its name is the one on PATH; its folder comes first.
  const program = findCheckProgram(programOnPath(configured.trim()), extensionDir);
  if (program === undefined) {
    void vscode.window.showErrorMessage(
      'Veltrane: veltrane-check was found neither in this extension nor on PATH.');
    return;
  }

  const args = ['--output', protocol, ...(force ? ['--force'] : []), input];
  const outcome = await runCheck(program, args);
  if (outcome.startError !== undefined) {
    void vscode.window.showErrorMessage(`Veltrane: ${program} did not start: ${outcome.startError.message}`);
    return;
  }
  // 0: no errors, 1: errors; both wrote the protocol. Anything else wrote
  // nothing and says why in one line.
  if (outcome.status !== 0 && outcome.status !== 1) {
    const reason = outcome.stderr.trim() || `exit status ${outcome.status}`;
    void vscode.window.showErrorMessage(`Veltrane: no protocol written. ${reason}`);
    return;
  }
  const protocolDocument = await vscode.workspace.openTextDocument(protocol);
  await vscode.window.showTextDocument(protocolDocument, { preview: true, viewColumn: vscode.ViewColumn.Beside });
}
