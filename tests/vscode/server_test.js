// Whether the extension can start a server, and the one message it shows
// when it cannot.
//
//   node server_test.js --modules NODE_MODULES --source editors/vscode/src/server.ts
'use strict';
const assert = require('assert');
const fs = require('fs');
const path = require('path');
const { option, scratchFolder, loadSource, run, finish } = require('./harness');

const scratch = scratchFolder();
const server = loadSource(option('--modules'), option('--source'), scratch);

async function main() {
  await run('what keeps a server from starting', () => {
    const runnable = path.join(scratch, 'veltrane-lsp');
    fs.writeFileSync(runnable, '#!/bin/sh\n', { mode: 0o755 });
    // An unpacker dropped its mode bits: the extension sets them again.
    const unpacked = path.join(scratch, 'unpacked-lsp');
    fs.writeFileSync(unpacked, '#!/bin/sh\n', { mode: 0o644 });
    const cases = [
      [runnable, 'linux', undefined],
      [unpacked, 'linux', undefined],
      [path.join(scratch, 'missing'), 'linux', 'it does not exist'],
      [path.join(scratch, 'missing.exe'), 'win32', 'it does not exist'],
      [scratch, 'linux', 'it is not a file'],
    ];
    for (const [command, platform, problem] of cases) {
      assert.strictEqual(server.serverProblem(command, platform), problem, command);
    }
    assert.ok(fs.statSync(unpacked).mode & 0o100, 'the bundled server was made executable');
  });

  await run('one message names the server, the reason and the setting', () => {
    const cases = [
      [true, 'it does not exist',
        'Veltrane: the language server /opt/lsp cannot start: it does not exist. ' +
        'Set "veltrane.server.path" to a veltrane-lsp that runs here, or clear it to use the bundled one.'],
      [false, 'spawn EACCES',
        'Veltrane: the language server /opt/lsp cannot start: spawn EACCES. ' +
        'Set "veltrane.server.path" to a veltrane-lsp that runs here.'],
    ];
    for (const [configured, reason, message] of cases) {
      assert.strictEqual(server.startFailureMessage('/opt/lsp', configured, reason), message);
    }
  });

  await run('a server that keeps stopping is told of once, and the library adds nothing', async () => {
    const restart = 2;
    const doNotRestart = 1;
    const told = [];
    // The library's answers to five closes in a row: restarts, then it
    // gives up, and a later close (after a manual start) gives up again.
    const answers = [restart, restart, doNotRestart, doNotRestart, restart];
    let next = 0;
    const closed = server.tellWhenStoppedForGood(
      () => ({ action: answers[next++], message: 'the library speaks' }), doNotRestart, '/opt/lsp',
      (message) => told.push(message));
    const results = [];
    for (let i = 0; i < answers.length; i++) {
      results.push(await closed());
    }
    assert.deepStrictEqual(results.map((r) => [r.action, r.handled === true]),
      [[restart, false], [restart, false], [doNotRestart, true], [doNotRestart, true], [restart, false]]);
    assert.deepStrictEqual(told, [server.stoppedForGoodMessage('/opt/lsp')]);
    assert.match(told[0], /\/opt\/lsp stopped again after each restart/);
    assert.match(told[0], /no file is checked/);
  });
}

main().then(finish);
