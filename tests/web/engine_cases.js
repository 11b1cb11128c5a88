// The engine's own promises, case by case: how bytes become the editor's
// text in each code page and back, what a request that cannot be served
// answers, the rule table, a quick fix of one finding, and progress.
'use strict';

const fs = require('fs');
const path = require('path');

const hex = (text) => Uint8Array.from(text.split(' ').filter(Boolean).map((h) => parseInt(h, 16)));

// Bytes, the code page chosen, and the text and code page the editor gets.
const DECODE_CASES = [
  ['1252: every byte its character, the five undefined ones as C1 controls', '80 81 e9 41', 1252, '\u20ac\u0081\u00e9A', 1252],
  ['auto: well-formed UTF-8 beyond ASCII reads as UTF-8', 'c3 a9 0d 0a', 'auto', '\u00e9\r\n', 65001],
  ['auto: anything else as 1252', 'e9 0a c3 a9', 'auto', '\u00e9\n\u00c3\u00a9', 1252],
  ['auto: plain ASCII as 1252', '5b 41 5d', 'auto', '[A]', 1252],
  ['auto: 1252 after more than a word of ASCII', '41 41 41 41 41 41 41 41 41 e9', 'auto', 'AAAAAAAAA\u00e9', 1252],
  ['auto: UTF-8 after more than a word of ASCII', '41 41 41 41 41 41 41 41 41 c3 a9', 'auto', 'AAAAAAAAA\u00e9', 65001],
  ['auto: a sequence cut off by the end after a word of ASCII', '41 41 41 41 41 41 41 41 c3', 'auto', 'AAAAAAAA\u00c3', 1252],
  ['65001: ASCII with a NUL and controls reads as itself', '00 09 41 7f 0d', 65001, '\u0000\tA\u007f\r', 65001],
  ['932: ASCII reads as itself', '5c 7e 41 42 43 44 45 46 47', 932, '\\~ABCDEFG', 932],
  ['auto: a byte-order mark stays in the text', 'ef bb bf 5b c3 a9 5d', 'auto', '\ufeff[\u00e9]', 65001],
  ['65001: a byte that starts no sequence is kept as its escape', 'c3 28 ff', 65001, '\udcc3(\udcff', 65001],
  ['65001: a character beyond the BMP is two units', 'f0 9f 8e b9', 65001, '\ud83c\udfb9', 65001],
  ['65001: an encoded surrogate is three escapes', 'ed a0 80', 65001, '\udced\udca0\udc80', 65001],
  ['932: a lead byte and its trail', '83 41', 932, '\u30a2', 932],
  ['932: half-width katakana alone', 'b1', 932, '\uff71', 932],
  ['932: a lead byte before a line end stands alone', '83 0a 41', 932, '\udc83\nA', 932],
  ['932: a lead byte at the end', '41 83', 932, 'A\udc83', 932],
  ['932: a pair that is no character keeps both bytes', '85 40 41', 932, '\udc85@A', 932],
  ['936', 'c4 e3 ba c3', 936, '\u4f60\u597d', 936],
  ['949', 'b0 a1', 949, '\uac00', 949],
  ['950', 'a4 a4', 950, '\u4e2d', 950],
];

// Texts that cannot be written, and what the message must name.
const ENCODE_FAILURES = [
  ['a character the code page lacks, on its line', 'a\r\nb\n\u4e00', 1252, ['U+4E00', 'line 3', '1252']],
  ['a lone high surrogate', 'x\ud800', 65001, ['U+D800', 'line 1']],
  ['an escape of an ASCII byte, which no decoding makes', '\udc41', 1252, ['U+DC41']],
  ['hangul in Shift-JIS', '\uac00', 932, ['U+AC00', '932']],
];

// Line breaks written as the file's own.
const LINE_END_CASES = [
  ['every break as CR LF', 'a\r\nb\rc\nd', '\r\n', 'a\r\nb\r\nc\r\nd'],
  ['every break as LF', 'a\r\n\r\nb\r', '\n', 'a\n\nb\n'],
  ['as they stand', 'a\r\nb\rc\n', null, 'a\r\nb\rc\n'],
];

// Requests the engine refuses, and words of its message.
const REFUSED = [
  ['a rule id that names no rule', {select: ['VLT9999']}, 'VLT9999'],
  ['an empty rule id', {ignore: ['']}, 'empty'],
  ['a veltrane.toml that is no TOML', {toml: '[check\n'}, 'veltrane.toml:'],
  ['a veltrane.toml with an unknown key', {toml: '[check]\ncolour = 1\n'}, 'veltrane.toml:'],
  ['a code page this program lacks', {codePage: 1234}, '1234'],
];

function run(engine, {expect, expectBytes, runCheck, examples}) {
  for (const [label, bytes, codePage, text, page] of DECODE_CASES) {
    const result = engine.check(hex(bytes), {name: 'x.ins', codePage});
    expect(`decode ${label}`, result.ok && result.text === text && result.codePage === page,
           `got ${JSON.stringify(result.text)} in ${result.codePage}: ${result.error || ''}`);
    const back = engine.encode(text, page, null);
    expect(`encode ${label}`, back.ok, back.error);
    if (back.ok) expectBytes(`encode ${label}`, back.bytes, hex(bytes));
  }
  for (const [label, text, codePage, words] of ENCODE_FAILURES) {
    const result = engine.encode(text, codePage, null);
    expect(`encode refuses ${label}`, !result.ok && words.every((w) => result.error.includes(w)),
           JSON.stringify(result));
  }
  for (const [label, text, lineEnd, want] of LINE_END_CASES) {
    const result = engine.encode(text, 1252, lineEnd);
    expect(`line ends ${label}`, result.ok && Buffer.from(result.bytes).toString('latin1') === want,
           JSON.stringify(result));
  }
  for (const [label, request, words] of REFUSED) {
    const result = engine.check(hex('5b 41 5d'), {name: 'x.ins', ...request});
    expect(`check refuses ${label}`, !result.ok && result.error.includes(words), JSON.stringify(result));
    const fixed = engine.fix(hex('5b 41 5d'), {name: 'x.ins', ...request});
    expect(`fix refuses ${label}`, !fixed.ok && fixed.error.includes(words), JSON.stringify(fixed));
  }
  let threw = false;
  try {
    engine.check('[A]', {name: 'x.ins'});
  } catch (e) {
    threw = e instanceof TypeError;
  }
  expect('check refuses a string for bytes', threw, 'no TypeError');

  // The rule table is what --list-rules lists and --explain explains.
  const rules = engine.rules();
  const listed = runCheck('.', ['--list-rules']).stdout.toString().trim().split('\n');
  expect('rules', rules.length === listed.length, `${rules.length} rules, ${listed.length} listed`);
  rules.forEach((rule, i) => {
    expect(`rule ${rule.id}`, listed[i] && listed[i].startsWith(rule.id + ' '), `listed as ${listed[i]}`);
    expectBytes(`rule ${rule.id} explanation`, Buffer.from(rule.explanation),
                runCheck('.', ['--explain', rule.id]).stdout);
    expect(`rule ${rule.id}`, ['none', 'safe', 'unsafe'].includes(rule.fix) &&
           typeof rule.defaultOn === 'boolean' && rule.summary && rule.example, JSON.stringify(rule));
  });

  // A quick fix takes its own finding away and touches nothing else that
  // a check sees: every other finding stays.
  for (const entry of fs.readdirSync(examples).filter((f) => f.endsWith('.ins'))) {
    const bytes = fs.readFileSync(path.join(examples, entry));
    const request = {name: entry, select: ['ALL']};
    const before = engine.check(bytes, request);
    const fixable = before.findings.filter((f) => f.fix);
    for (const finding of fixable.slice(0, 5)) {
      const label = `quick fix ${entry} #${finding.index} ${finding.rule}`;
      const fixed = engine.fix(bytes, {...request, unsafe: true, only: [finding.index]});
      expect(label, fixed.ok && fixed.fixed >= 1, JSON.stringify(fixed.error || fixed.fixed));
      if (!fixed.ok) continue;
      const after = engine.check(fixed.bytes, request);
      const count = (r) => r.findings.filter((f) => f.rule === finding.rule).length;
      expect(label, count(after) < count(before), `${count(before)} before, ${count(after)} after`);
      expect(label, fixed.diff.startsWith(`--- ${entry}\t`), fixed.diff.slice(0, 80));
    }
  }
  const outOfRange = engine.fix(hex('5b 41 5d'), {name: 'x.ins', only: [5]});
  expect('quick fix of a finding that is not there', !outOfRange.ok, JSON.stringify(outOfRange));

  // Without the outputs a request may go without, the rest is the same.
  const file = fs.readFileSync(path.join(examples, 'studio_rack.ins'));
  const whole = engine.check(file, {name: 'studio_rack.ins'});
  for (const left of ['sarif', 'text', 'protocol', 'gnu']) {
    const some = engine.check(file, {name: 'studio_rack.ins', [left]: false});
    const kept = ['sarif', 'text', 'protocol', 'gnu'].filter((k) => k !== left);
    expect(`check without ${left}`, some[left] === null && typeof whole[left] === 'string' &&
           kept.every((k) => some[k] === whole[k]) && JSON.stringify(some.findings) === JSON.stringify(whole.findings),
           `the check without ${left} differs`);
  }

  // Progress rises by phase to 1, through the pieces of many findings too.
  const manyNames = Buffer.from('[A]\n' + '0=x\n'.repeat(50000), 'latin1');
  for (const [label, bytes] of [['a file', hex('5b 41 5d')], ['many findings', manyNames]]) {
    const seen = [];
    engine.check(bytes, {name: 'x.ins', onProgress: (fraction) => seen.push(fraction)});
    expect(`progress ${label}`, seen.length >= 2 && seen[seen.length - 1] === 1 &&
           seen.every((f, i) => i === 0 || f >= seen[i - 1]), JSON.stringify(seen));
  }
}

module.exports = {run};
