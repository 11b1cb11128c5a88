// The web page's engine under node against veltrane-check on the same
// bytes: the findings and the gnu lines (default rules and every rule),
// the SARIF log, the protocol byte for byte, the bytes --fix writes (with
// and without unsafe fixes) and the diff --diff writes, in every code page
// the page offers; and the editor's text encoded back into the file's
// bytes. On the real files beside the repository (when they are there),
// the examples, and generated files.
//
// Usage: node binding_test.js --engine JS --check EXE --examples DIR
//        [--corpus DIR] [--generator PY] [--files N] [--seed S]
'use strict';

const childProcess = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const CODE_PAGES = ['auto', 1252, 932, 936, 949, 950, 65001];

function parseArguments(argv) {
  const options = {files: 8, seed: 1};
  for (let i = 0; i < argv.length; i += 2) options[argv[i].replace(/^--/, '')] = argv[i + 1];
  options.files = Number(options.files);
  options.seed = Number(options.seed);
  return options;
}

const options = parseArguments(process.argv.slice(2));
options.check = path.resolve(options.check);
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'veltrane-web-'));
let failures = 0;
let comparisons = 0;

function fail(label, message) {
  failures += 1;
  if (failures <= 20) console.log(`FAIL ${label}: ${message}`);
}

// The first place where two byte strings differ, shown with what stands
// around it.
function difference(got, want) {
  const a = Buffer.from(got);
  const b = Buffer.from(want);
  let i = 0;
  while (i < a.length && i < b.length && a[i] === b[i]) ++i;
  const show = (buffer) => JSON.stringify(buffer.subarray(Math.max(0, i - 60), i + 60).toString('latin1'));
  return `differ at byte ${i} (lengths ${a.length}, ${b.length}):\n  engine: ${show(a)}\n  cli:    ${show(b)}`;
}

function expectBytes(label, got, want) {
  comparisons += 1;
  if (Buffer.compare(Buffer.from(got), Buffer.from(want)) !== 0) fail(label, difference(got, want));
}

function expect(label, condition, message) {
  comparisons += 1;
  if (!condition) fail(label, message);
}

// Runs veltrane-check in `dir` (the file is named as the engine names it).
function runCheck(dir, args) {
  const run = childProcess.spawnSync(options.check, args, {cwd: dir, maxBuffer: 1 << 30});
  if (run.error) throw run.error;
  return {stdout: run.stdout, stderr: run.stderr.toString(), status: run.status};
}

function lineEndsOf(bytes) {
  const kinds = new Set();
  for (let i = 0; i < bytes.length; ++i) {
    if (bytes[i] === 13) {
      kinds.add(bytes[i + 1] === 10 ? '\r\n' : '\r');
      if (bytes[i + 1] === 10) ++i;
    } else if (bytes[i] === 10) {
      kinds.add('\n');
    }
  }
  return kinds;
}

// The finding lines of gnu output (their notes left out): LINE, COLUMN and the
// rest of the line.
function findingLines(gnu, name) {
  const lines = [];
  for (const line of gnu.split('\n')) {
    if (!line.startsWith(name + ':')) continue;
    const match = /^(\d+):(\d+): (\w+): (.*)$/.exec(line.slice(name.length + 1));
    // A finding's line ends with its rule id; its note's does not.
    if (match && / \[VLT\d+\]$/.test(match[4])) lines.push({line: +match[1], column: +match[2], rest: `${match[3]}: ${match[4]}`});
  }
  return lines;
}

// The findings as the page gets them agree with the gnu lines: the same
// findings in the same order, each on its line, and where the text before
// the name is plain ASCII, at the same column.
function compareFindings(label, result, name) {
  const lines = findingLines(result.gnu, name);
  expect(label, lines.length === result.findings.length,
         `${result.findings.length} findings, ${lines.length} gnu lines`);
  const textLines = result.text.split(/\r\n|\r|\n/);
  result.findings.forEach((finding, i) => {
    const gnu = lines[i];
    if (!gnu) return;
    const rest = `${finding.severity}: ${finding.message} [${finding.rule}]`;
    expect(label, gnu.rest === rest, `finding ${i}: ${JSON.stringify(rest)} but gnu says ${JSON.stringify(gnu.rest)}`);
    expect(label, finding.index === i, `finding ${i} has index ${finding.index}`);
    if (finding.line === undefined) return;
    expect(label, finding.line + 1 === gnu.line, `finding ${i} on line ${finding.line + 1}, gnu ${gnu.line}`);
    const text = textLines[finding.line];
    expect(label, text !== undefined && finding.start <= finding.end && finding.end <= text.length,
           `finding ${i}: columns ${finding.start}-${finding.end} outside its line`);
    if (text !== undefined && /^[\x00-\x7f]*$/.test(text.slice(0, finding.start)))
      expect(label, finding.start + 1 === gnu.column, `finding ${i} at column ${finding.start + 1}, gnu ${gnu.column}`);
    for (const note of finding.notes) {
      if (note.line === undefined) continue;
      const noteText = textLines[note.line];
      expect(label, noteText !== undefined && note.start <= note.end && note.end <= noteText.length,
             `finding ${i}: a note's place ${note.line}:${note.start}-${note.end} is outside the text`);
    }
  });
}

// One file in one code page, with or without a veltrane.toml.
function compareFile(engine, label, name, bytes, codePage, toml) {
  const dir = fs.mkdtempSync(path.join(scratch, 'run-'));
  const file = path.join(dir, name);
  fs.writeFileSync(file, bytes);
  const pageArgs = codePage === 'auto' ? [] : [`--codepage=${codePage}`];
  let configArgs = ['--no-config'];
  if (toml !== null) {
    fs.writeFileSync(path.join(dir, 'veltrane.toml'), toml);
    configArgs = ['--config', 'veltrane.toml'];
  }
  const request = {name, codePage, select: [], ignore: [], toml};
  label = `${label} (code page ${codePage}${toml === null ? '' : ', veltrane.toml'})`;

  const result = engine.check(bytes, request);
  if (!result.ok) return fail(label, `check failed: ${result.error}`);
  expectBytes(`${label} gnu`, Buffer.from(result.gnu), runCheck(dir, ['--format=gnu', ...pageArgs, ...configArgs, name]).stdout);
  expectBytes(`${label} sarif`, Buffer.from(result.sarif), runCheck(dir, ['--format=sarif', ...pageArgs, ...configArgs, name]).stdout);
  compareFindings(label, result, name);
  if (toml === null) {
    expectBytes(`${label} protocol`, result.protocolBytes, runCheck(dir, [...pageArgs, name]).stdout);
    const protocol = engine.encode(result.protocol, result.codePage, null);
    expect(`${label} protocol text`, protocol.ok, protocol.error);
    if (protocol.ok) expectBytes(`${label} protocol text`, protocol.bytes, result.protocolBytes);
  }

  const all = engine.check(bytes, {...request, select: ['ALL']});
  if (!all.ok) return fail(label, `check of every rule failed: ${all.error}`);
  expectBytes(`${label} gnu ALL`, Buffer.from(all.gnu),
              runCheck(dir, ['--format=gnu', '--select', 'ALL', ...pageArgs, ...configArgs, name]).stdout);
  expectBytes(`${label} sarif ALL`, Buffer.from(all.sarif),
              runCheck(dir, ['--format=sarif', '--select', 'ALL', ...pageArgs, ...configArgs, name]).stdout);
  compareFindings(`${label} ALL`, all, name);

  for (const unsafe of [false, true]) {
    const unsafeArgs = unsafe ? ['--unsafe-fixes'] : [];
    const fixed = engine.fix(bytes, {...request, unsafe});
    if (!fixed.ok) {
      fail(label, `fix failed: ${fixed.error}`);
      continue;
    }
    const diff = runCheck(dir, ['--diff', ...unsafeArgs, ...pageArgs, ...configArgs, name]);
    expectBytes(`${label} diff unsafe=${unsafe}`, fixed.diffBytes, diff.stdout);
    const run = runCheck(dir, ['--fix', ...unsafeArgs, ...pageArgs, ...configArgs, name]);
    expectBytes(`${label} fix unsafe=${unsafe}`, fixed.bytes, fs.readFileSync(file));
    const count = /: (\d+) findings? fixed, \d+ remains?\n$/.exec(run.stdout.toString('latin1'));
    expect(`${label} fix unsafe=${unsafe}`, count && +count[1] === fixed.fixed,
           `fixed ${fixed.fixed}, veltrane-check says ${count && count[0]}`);
    fs.writeFileSync(file, bytes);
  }

  // The editor's text is the file: as it came, and with every line break
  // made LF (as an editor holds it) and written back as the file's own.
  const back = engine.encode(result.text, result.codePage, null);
  expect(`${label} encode`, back.ok, back.error);
  if (back.ok) expectBytes(`${label} encode`, back.bytes, bytes);
  const ends = lineEndsOf(bytes);
  if (ends.size === 1 && ends.has(result.lineEnd)) {
    const typed = engine.encode(result.text.replace(/\r\n|\r/g, '\n'), result.codePage, result.lineEnd);
    expect(`${label} encode with line ends`, typed.ok, typed.error);
    if (typed.ok) expectBytes(`${label} encode with line ends`, typed.bytes, bytes);
  }
  fs.rmSync(dir, {recursive: true, force: true});
}

function inputs() {
  const list = [];
  const add = (folder, kind) => {
    if (!folder || !fs.existsSync(folder)) return;
    for (const entry of fs.readdirSync(folder).sort()) {
      if (entry.endsWith('.ins')) list.push({label: `${kind} ${entry}`, name: entry, bytes: fs.readFileSync(path.join(folder, entry)), codePages: CODE_PAGES});
    }
  };
  add(options.corpus, 'corpus');
  add(options.examples, 'example');
  // More findings than the engine hands over at once (they come in pieces
  // of 20,000), with names beyond ASCII before some of them.
  const many = ['.Patch Names\r\n'];
  for (let k = 0; k < 180; ++k) {
    many.push(`[List ${k}${k % 3 ? '' : ' \u00e9t\u00e9'}]\r\n`);
    for (let i = 0; i < 128; ++i) many.push(`${i}=Name ${i}\r\n${i}=Name ${i}\r\n`);
  }
  list.push({label: 'many findings', name: 'many.ins', bytes: Buffer.from(many.join(''), 'latin1'), codePages: ['auto', 65001]});
  if (options.generator && options.files > 0) {
    for (const page of [1252, 65001, 932, 936, 949, 950]) {
      const dir = fs.mkdtempSync(path.join(scratch, `generated-${page}-`));
      childProcess.execFileSync('python3', [options.generator, dir, String(options.files), String(options.seed), String(page)]);
      for (const entry of fs.readdirSync(dir).sort()) {
        const codePages = page === 1252 || page === 65001 ? ['auto', page] : [page];
        list.push({label: `generated ${page} ${entry}`, name: entry, bytes: fs.readFileSync(path.join(dir, entry)), codePages});
      }
    }
  }
  return list;
}

// What veltrane.toml may say, as the command line reads it too.
const TOMLS = [
  '[check]\nselect = ["VLT1", "VLT3"]\nignore = ["VLT1002"]\n',
  '[check]\ncodepage = 932\n[check.per-file-ignores]\n"*.ins" = ["VLT2"]\n',
];

async function main() {
  if (!fs.existsSync(options.engine)) {
    console.log(`${options.engine} is not built: skipped`);
    process.exit(77);
  }
  const createVeltraneEngine = require(path.resolve(options.engine));
  const engine = await createVeltraneEngine();
  const list = inputs();
  for (const input of list) {
    for (const codePage of input.codePages) compareFile(engine, input.label, input.name, input.bytes, codePage, null);
  }
  // A veltrane.toml on the first few inputs.
  for (const input of list.slice(0, 4)) {
    for (const toml of TOMLS) compareFile(engine, input.label, input.name, input.bytes, 'auto', toml);
  }
  require('./engine_cases').run(engine, {expect, expectBytes, runCheck, examples: options.examples});
  fs.rmSync(scratch, {recursive: true, force: true});
  console.log(`${list.length} files, ${comparisons} comparisons, ${failures} failed`);
  process.exit(failures ? 1 : 0);
}

main().catch((error) => {
  console.log(error.stack || String(error));
  process.exit(1);
});
