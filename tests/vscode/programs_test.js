// The extension's choices that involve files: where the protocol goes,
// when the overwrite question is asked, which veltrane-check runs.
//
//   node programs_test.js --modules NODE_MODULES --source editors/vscode/src/programs.ts
'use strict';
const assert = require('assert');
const fs = require('fs');
const path = require('path');
const { option, scratchFolder, loadSource, run, finish } = require('./harness');

const scratch = scratchFolder();
const programs = loadSource(option('--modules'), option('--source'), scratch);

async function main() {
  await run('a program name is looked for in the folders of PATH', () => {
    const bin = path.join(scratch, 'bin');
    const other = path.join(scratch, 'other');
    fs.mkdirSync(bin);
    fs.mkdirSync(other);
    fs.writeFileSync(path.join(bin, 'veltrane-lsp'), '#!/bin/sh\n', { mode: 0o755 });
    fs.writeFileSync(path.join(other, 'veltrane-lsp'), '#!/bin/sh\n', { mode: 0o755 });
    fs.mkdirSync(path.join(scratch, 'veltrane-lsp-folder'));
    const cases = [
      ['veltrane-lsp', `${bin}:${other}`, 'linux', path.join(bin, 'veltrane-lsp')],
      ['veltrane-lsp', `relative:${other}`, 'linux', path.join(other, 'veltrane-lsp')],
      ['veltrane-lsp', `:${scratch}`, 'linux', 'veltrane-lsp'],              // not found
      ['veltrane-lsp-folder', scratch, 'linux', 'veltrane-lsp-folder'],      // a folder
      ['./veltrane-lsp', bin, 'linux', './veltrane-lsp'],                    // a path stays
      [path.join(bin, 'veltrane-lsp'), other, 'linux', path.join(bin, 'veltrane-lsp')],
      ['', bin, 'linux', ''],
      ['C:\\Veltrane\\veltrane-lsp.exe', bin, 'win32', 'C:\\Veltrane\\veltrane-lsp.exe'],
      ['veltrane-lsp', 'C:\\nowhere', 'win32', 'veltrane-lsp'],
    ];
    for (const [command, searchPath, platform, expected] of cases) {
      assert.strictEqual(programs.programOnPath(command, searchPath, platform), expected,
        `${command} in ${searchPath}`);
    }
  });

  await run('the protocol goes next to the file, never onto it', () => {
    const cases = [
      ['linux', '/music/Synth.ins', '/music/Synth.txt'],
      ['linux', '/music/my.synth.ins', '/music/my.synth.txt'],
      ['linux', '/music/Synth', '/music/Synth.txt'],
      ['linux', '/music/.ins', '/music/.ins.txt'],
      ['linux', '/music/Notes.txt', '/music/Notes.txt.txt'],
      ['linux', '/music/Notes.TXT', '/music/Notes.txt'],
      ['win32', 'C:\\Music\\Synth.INS', 'C:\\Music\\Synth.txt'],
      ['win32', 'C:\\Music\\Notes.TXT', 'C:\\Music\\Notes.TXT.txt'],
    ];
    for (const [platform, input, expected] of cases) {
      assert.strictEqual(programs.protocolPathFor(input, platform), expected, `${platform} ${input}`);
    }
  });

  await run('only a file with something in it needs consent', () => {
    const empty = path.join(scratch, 'empty.txt');
    const full = path.join(scratch, 'full.txt');
    fs.writeFileSync(empty, '');
    fs.writeFileSync(full, 'Veltrane Protocol\n');
    const cases = [
      [path.join(scratch, 'missing.txt'), false],
      [empty, false],
      [full, true],
      [scratch, false],
    ];
    for (const [file, expected] of cases) {
      assert.strictEqual(programs.needsOverwriteConsent(file), expected, file);
    }
  });

  await run('the bundled server is in the folder of this system', () => {
    assert.strictEqual(programs.bundledServer('/ext', 'linux', 'x64'),
      path.join('/ext', 'server', 'linux-x64', 'veltrane-lsp'));
    assert.strictEqual(programs.bundledServer('/ext', 'win32', 'x64'),
      path.join('/ext', 'server', 'win32-x64', 'veltrane-lsp.exe'));
  });

  await run('veltrane-check: beside the configured server, then bundled, then PATH', () => {
    const folder = (name) => {
      const dir = path.join(scratch, name);
      fs.mkdirSync(dir, { recursive: true });
      return dir;
    };
    const withCheck = (dir) => {
      fs.writeFileSync(path.join(dir, 'veltrane-check'), '');
      return path.join(dir, 'veltrane-check');
    };
    const configured = folder('configured');
    const extension = folder('extension');
    const bundled = folder(path.join('extension', 'server', 'linux-x64'));
    const onPath1 = folder('path1');
    const onPath2 = folder('path2');
    const searchPath = ['relative', onPath1, onPath2].join(path.delimiter);
    const find = (server) => programs.findCheckProgram(server, extension, searchPath, 'linux', 'x64');

    assert.strictEqual(find(''), undefined, 'none anywhere');
    process.chdir(scratch);
    withCheck(folder('relative'));
    assert.strictEqual(find(''), undefined, 'a relative folder of PATH is not searched');
    const second = withCheck(onPath2);
    assert.strictEqual(find(''), second, 'on PATH');
    const first = withCheck(onPath1);
    assert.strictEqual(find(''), first, 'the first on PATH');
    const inBundle = withCheck(bundled);
    assert.strictEqual(find(''), inBundle, 'bundled before PATH');
    assert.strictEqual(find('veltrane-lsp'), inBundle, 'a server given by name has no folder');
    const besideConfigured = withCheck(configured);
    assert.strictEqual(find(path.join(configured, 'veltrane-lsp')), besideConfigured,
      'beside the configured server first');
    fs.mkdirSync(path.join(folder('dirs'), 'veltrane-check'));
    assert.strictEqual(find(path.join(scratch, 'dirs', 'veltrane-lsp')), inBundle, 'a folder is no program');
  });

  finish();
}

main();
