// Where the extension finds its two programs. No vscode import, so that the
// tests can load this file under plain Node.

import * as fs from 'fs';
import * as path from 'path';

// The folder of server/ that holds the programs for this system, named as
// the platform-specific package is named (linux-x64, win32-x64, ...).
export function platformFolder(platform: string = process.platform, arch: string = process.arch): string {
  return `${platform}-${arch}`;
}

export function exeName(name: string, platform: string = process.platform): string {
  return platform === 'win32' ? `${name}.exe` : name;
}

// The language server packed into the extension for this system.
export function bundledServer(extensionDir: string, platform: string = process.platform,
                              arch: string = process.arch): string {
  return path.join(extensionDir, 'server', platformFolder(platform, arch), exeName('veltrane-lsp', platform));
}

// The program `command` names: a bare name (no folder in it) is looked for
// in the folders of `searchPath` (PATH), as a shell finds it, with ".exe"
// added on Windows where it has no extension; a path stays as it is, and so
// does a name found nowhere.
export function programOnPath(command: string, searchPath: string = process.env.PATH ?? '',
                              platform: string = process.platform): string {
  const paths = platform === 'win32' ? path.win32 : path.posix;
  const inFolder = platform === 'win32' ? /[\\/:]/.test(command) : command.includes('/');
  if (command === '' || inFolder) {
    return command;
  }
  const name = platform === 'win32' && paths.extname(command) === '' ? `${command}.exe` : command;
  // An empty or relative entry would mean a folder that depends on where
  // VS Code was started: not a place to run programs from.
  const folders = searchPath.split(paths.delimiter).filter((folder) => paths.isAbsolute(folder));
  return folders.map((folder) => paths.join(folder, name)).find(isFile) ?? command;
}

function isFile(file: string): boolean {
  try {
    return fs.statSync(file).isFile();
  } catch {
    return false;
  }
}

// Returns the first existing veltrane-check from: the folder of a server the
// user configured, the bundled server's folder, each folder of `searchPath`
// (PATH). Returns undefined when there is none.
export function findCheckProgram(configuredServer: string, extensionDir: string,
                                 searchPath: string = process.env.PATH ?? '',
                                 platform: string = process.platform,
                                 arch: string = process.arch): string | undefined {
  const name = exeName('veltrane-check', platform);
  const folders: string[] = [];
  if (configuredServer !== '' && path.isAbsolute(configuredServer)) {
    folders.push(path.dirname(configuredServer));
  }
  folders.push(path.dirname(bundledServer(extensionDir, platform, arch)));
  // An empty entry of PATH would mean the current folder: not a place to
  // run programs from.
  folders.push(...searchPath.split(path.delimiter).filter((folder) => path.isAbsolute(folder)));
  return folders.map((folder) => path.join(folder, name)).find(isFile);
}

// The protocol of INPUT goes next to it: the same name with ".txt" instead
// of the extension, or with ".txt" added when that would be INPUT itself.
// (Windows compares names without regard to case.)
export function protocolPathFor(input: string, platform: string = process.platform): string {
  const paths = platform === 'win32' ? path.win32 : path.posix;
  const parsed = paths.parse(input);
  const candidate = paths.join(parsed.dir, `${parsed.name}.txt`);
  const same = platform === 'win32' ? candidate.toLowerCase() === input.toLowerCase() : candidate === input;
  return same ? `${input}.txt` : candidate;
}

// Whether writing PROTOCOL needs the user's consent: it is a file that is
// not empty (an empty file holds nothing to lose; anything that is no file
// is refused by veltrane-check itself).
export function needsOverwriteConsent(protocol: string): boolean {
  try {
    const stat = fs.statSync(protocol);
    return stat.isFile() && stat.size > 0;
  } catch {
    return false;
  }
}
