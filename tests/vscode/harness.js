// What the extension's node tests share: their options, a scratch folder,
// loading one TypeScript source of the extension (bundled with esbuild, as
// the package is), and named cases that report and count failures.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');

// The value after NAME on the command line, as an absolute path.
function option(name) {
  const index = process.argv.indexOf(name);
  if (index < 0 || index + 1 >= process.argv.length) {
    console.error(`missing ${name}`);
    process.exit(2);
  }
  return path.resolve(process.argv[index + 1]);
}

// A folder that is removed when the process ends.
function scratchFolder() {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'veltrane-vscode-test-'));
  process.on('exit', () => fs.rmSync(folder, { recursive: true, force: true }));
  return folder;
}

// Loads the TypeScript file SOURCE; 'vscode' stays an external require.
function loadSource(modules, source, scratch) {
  const outfile = path.join(scratch, `${path.basename(source, '.ts')}.js`);
  require(path.join(modules, 'esbuild')).buildSync({
    entryPoints: [source], outfile, bundle: true, platform: 'node', format: 'cjs',
    external: ['vscode'], logLevel: 'warning',
  });
  return require(outfile);
}

let failed = 0;

// Runs one named case; a thrown assertion fails it and the run goes on.
async function run(name, body) {
  try {
    await body();
    console.log(`ok   ${name}`);
  } catch (error) {
    failed++;
    console.log(`FAIL ${name}\n  ${String(error.message).split('\n').join('\n  ')}`);
  }
}

// Sets the exit status from the cases run.
function finish() {
  process.exitCode = failed === 0 ? 0 : 1;
}

module.exports = { option, scratchFolder, loadSource, run, finish };
