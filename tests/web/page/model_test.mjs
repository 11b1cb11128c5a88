// The page's logic without a browser: places, order, filters, the rule
// selection, the smallest change, names and bytes of downloads, the
// highlighting of lines, the rules page's escaping. Tables of cases; each
// names what it guards against.
import assert from 'node:assert/strict';
import { pathToFileURL } from 'node:url';
import { join, resolve } from 'node:path';

const web = resolve(process.argv[2] || join(import.meta.dirname, '..', '..', '..', 'web'));
const load = (file) => import(pathToFileURL(join(web, 'page', file)).href);
// ins-language.js imports CodeMirror; the modules come from web/node_modules.
const model = await load('model.js');
const { lineTokens } = await load('ins-language.js');
const { rulesPage, escapeHtml } = await load('rules-page.js');

let failures = 0;
function test(name, fn) {
  try {
    fn();
  } catch (err) {
    failures++;
    console.error(`FAIL ${name}\n${err.message}`);
  }
}

test('placeRange', () => {
  const text = 'ab\ncdef\n\nxyz';
  const starts = model.lineStarts(text);
  assert.deepEqual(starts, [0, 3, 8, 9]);
  const cases = [
    // [what it guards, place, expected]
    ['a place on the first line', { line: 0, start: 0, end: 2 }, { from: 0, to: 2 }],
    ['columns are within their line', { line: 1, start: 1, end: 3 }, { from: 4, to: 6 }],
    ['an end past the line stops at its end', { line: 1, start: 2, end: 99 }, { from: 5, to: 7 }],
    ['an empty line gives an empty range on it', { line: 2, start: 0, end: 0 }, { from: 8, to: 8 }],
    ['the last line without a line end', { line: 3, start: 3, end: 3 }, { from: 12, to: 12 }],
    ['a line past the text lands on the last', { line: 40, start: 0, end: 1 }, { from: 9, to: 10 }],
    ['a place over two lines', { line: 0, start: 1, end: 2, endLine: 1 }, { from: 1, to: 5 }],
    ['an end before the start is no reversed range', { line: 1, start: 3, end: 1 }, { from: 6, to: 6 }],
    ['a note without a place goes to the start', {}, { from: 0, to: 0 }],
  ];
  for (const [what, place, expected] of cases) {
    assert.deepEqual(model.placeRange(starts, text.length, place), expected, what);
  }
});

test('inPlaceOrder and filters', () => {
  const f = (index, line, start, rule, severity) => ({ index, line, start, rule, severity });
  const findings = [f(0, 9, 1, 'VLT1003', 'error'), f(1, 2, 5, 'VLT1002', 'error'),
    f(2, 2, 1, 'VLT1001', 'warning'), f(3, 2, 1, 'VLT2006', 'note'), f(4, 0, 0, 'VLT3008', 'info')];
  assert.deepEqual(model.inPlaceOrder(findings).map((x) => x.index), [4, 2, 3, 1, 0]);
  assert.deepEqual(findings.map((x) => x.index), [0, 1, 2, 3, 4], 'the input keeps its order');
  const cases = [
    [{ severity: 'all', rule: 'all' }, [0, 1, 2, 3, 4]],
    [{ severity: 'error', rule: 'all' }, [0, 1]],
    [{ severity: 'warning', rule: 'all' }, [2]],
    // "note" takes in whatever is neither error nor warning.
    [{ severity: 'note', rule: 'all' }, [3, 4]],
    [{ severity: 'all', rule: 'VLT1002' }, [1]],
    [{ severity: 'warning', rule: 'VLT1002' }, []],
  ];
  for (const [filter, expected] of cases) {
    assert.deepEqual(model.filterFindings(findings, filter).map((x) => x.index), expected,
      JSON.stringify(filter));
  }
  assert.deepEqual(model.rulesIn(findings), ['VLT1001', 'VLT1002', 'VLT1003', 'VLT2006', 'VLT3008']);
});

test('selection and stored choices', () => {
  const rules = [{ id: 'VLT1001', defaultOn: true }, { id: 'VLT3007', defaultOn: false },
    { id: 'VLT3008', defaultOn: true }];
  const cases = [
    ['nothing changed: the defaults, as the command line', {}, { select: [], ignore: [] }],
    ['a choice equal to the default changes nothing', { VLT1001: true }, { select: [], ignore: [] }],
    ['a rule turned off', { VLT1001: false }, { select: ['VLT3008'], ignore: [] }],
    ['a rule off by default turned on', { VLT3007: true },
      { select: ['VLT1001', 'VLT3007', 'VLT3008'], ignore: [] }],
    // An empty select would mean the defaults: every rule off must say so.
    ['every rule off', { VLT1001: false, VLT3008: false },
      { select: ['ALL'], ignore: ['VLT1001', 'VLT3007', 'VLT3008'] }],
  ];
  for (const [what, choices, expected] of cases) {
    assert.deepEqual(model.selection(rules, choices), expected, what);
  }
  const stored = [
    ['garbage', 'x', {}],
    ['null', null, {}],
    ['unknown rules and non-booleans drop out', { VLT9999: true, VLT1001: 'no' }, {}],
    ['choices equal to the default drop out', { VLT1001: true, VLT3007: true }, { VLT3007: true }],
  ];
  for (const [what, value, expected] of stored) {
    assert.deepEqual(model.cleanChoices(rules, value), expected, what);
  }
});

test('smallestChange', () => {
  const cases = [
    ['abc', 'abc'], ['', 'x'], ['x', ''], ['abc', 'abXc'], ['aaa', 'aa'], ['line\r', 'line\r\n'],
    ['[A]\n0=x', '[A]\n0=x\n'], ['ab', 'ba'], ['aXbXc', 'aYbYc'],
  ];
  for (const [a, b] of cases) {
    const c = model.smallestChange(a, b);
    assert.equal(a.slice(0, c.from) + c.insert + a.slice(c.to), b, `${JSON.stringify(a)} -> ${JSON.stringify(b)}`);
    assert.ok(c.from <= c.to);
  }
  assert.deepEqual(model.smallestChange('[A]\n0=x', '[A]\n0=x\n'), { from: 7, to: 7, insert: '\n' });
});

test('editorText', () => {
  const cases = [
    // [what it guards, text, line end, the editor's text]
    ['CR LF ends become the editor\'s line breaks', 'a\r\nb\r\n', '\r\n', 'a\nb\n'],
    ['no final line end stays so', 'a\r\nb', '\r\n', 'a\nb'],
    ['a lone CR stays a character of its line', 'a\rb\r\nc', '\r\n', 'a\rb\nc'],
    ['CR CR LF keeps the first CR', 'a\r\r\nb', '\r\n', 'a\r\nb'],
    ['LF files pass unchanged', 'a\r\nb\n', '\n', 'a\r\nb\n'],
    ['an empty file', '', '\r\n', ''],
  ];
  for (const [what, text, lineEnd, expected] of cases) {
    assert.equal(model.editorText(text, lineEnd), expected, what);
    // The checker's lines and the editor's agree.
    assert.equal(model.lineStarts(model.editorText(text, lineEnd)).length, text.split('\n').length, what);
  }
});

test('downloadName', () => {
  const cases = [
    ['studio.ins', undefined, 'studio.ins'],
    ['studio.ins', '.txt', 'studio.txt'],
    ['studio.ins', '.sarif', 'studio.sarif'],
    ['no-ending', '.txt', 'no-ending.txt'],
    ['a/b\\c:d*.ins', undefined, 'a_b_c_d_.ins'],
    ['', undefined, 'untitled.ins'],
    ['<img src=x>.ins', undefined, '_img src=x_.ins'],
  ];
  for (const [name, ending, expected] of cases) assert.equal(model.downloadName(name, ending), expected);
});

test('protocolBytes', () => {
  const cases = [
    ['a byte string stays byte for byte', 'Line 1: \u00e9\r\n', [76, 105, 110, 101, 32, 49, 58, 32, 0xe9, 13, 10]],
    ['text with wide characters becomes UTF-8', '\u30c9', [0xe3, 0x83, 0x89]],
    ['bytes pass through', new Uint8Array([1, 2]), [1, 2]],
  ];
  for (const [what, input, expected] of cases) {
    assert.deepEqual([...model.protocolBytes(input)], expected, what);
  }
});

test('lineTokens', () => {
  const cases = [
    // [line, expected tokens as text:token]
    ['; a comment', ['; a comment:comment']],
    ['.Patch Names', ['.Patch Names:heading']],
    ['.Patch Names extra', ['.Patch Names:heading', ' extra:heading']],
    ['.Sequences', ['.Sequences:invalid']],
    ['[Rack A] tail', ['[:bracket', 'Rack A:labelName', ']:bracket', ' tail:null']],
    ['[Unclosed', ['[:bracket', 'Unclosed:invalid']],
    ['[]', ['[:bracket', ']:bracket']],
    ['Patch[*]=1..128', ['Patch:keyword', '[*]:null', '=:operator', '1..128:number']],
    ['Patch[3]=Bank A', ['Patch:keyword', '[:null', '3:number', ']:null', '=:operator', 'Bank A:typeName']],
    ['Key[0,8]=Kit', ['Key:keyword', '[:null', '0:number', ',:null', '8:number', ']:null', '=:operator', 'Kit:typeName']],
    ['Control=0..127', ['Control:keyword', '=:operator', '0..127:typeName']],
    ['ControllerX', ['Control:keyword', 'lerX:null']],
    ['12=Name=x', ['12:number', '=:operator', 'Name=x:string']],
    [' 12=Name', [' 12=Name:null']],
    ['', []],
  ];
  for (const [line, expected] of cases) {
    let pos = 0;
    const got = lineTokens(line).map(([n, token]) => {
      const text = line.slice(pos, pos + n);
      pos += n;
      return `${text}:${token}`;
    });
    assert.deepEqual(got, expected, JSON.stringify(line));
    assert.equal(pos, line.length, `the tokens of ${JSON.stringify(line)} cover it`);
  }
});

test('rulesPage escapes every text', () => {
  const hostile = '<img src=x onerror=alert(1)>';
  const html = rulesPage([{ id: 'VLT1001', name: hostile, severity: 'warning', defaultOn: true,
    fix: 'safe', summary: `"${hostile}'`, description: `a & ${hostile}`, example: `[${hostile}]`,
    help: hostile }, { id: 'VLT1002', name: 'N', severity: 'error', defaultOn: false, fix: 'none',
    summary: 's', explanation: `only an explanation ${hostile}` }]);
  assert.ok(!html.includes('<img'), 'no markup from the rule table');
  assert.ok(html.includes('id="VLT1001"'), 'the rule is linkable by its id');
  assert.ok(html.includes('&lt;img src=x onerror=alert(1)&gt;'));
  assert.ok(!/<script/i.test(html), 'the rules page runs no script');
  assert.ok(html.includes('only an explanation &lt;img'), 'a rule with only an explanation shows it');
  assert.ok(html.includes('<h3>Fix</h3>'), 'the fix has its heading');
  assert.equal(escapeHtml(`<&>"'`), '&lt;&amp;&gt;&quot;&#39;');
});

if (failures) {
  console.error(`${failures} failed`);
  process.exit(1);
}
console.log('all passed');
