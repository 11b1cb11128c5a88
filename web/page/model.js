// What the page computes without a browser: the order and filtering of
// findings, places in the text, the rule selection sent to the checker, the
// smallest edit between two texts. Kept free of the DOM so that the tests
// can run it under node.

// Files up to this size go into the editor; larger ones are shown as a list
// of findings with their lines, as the editor no longer scrolls and types
// smoothly beyond a few megabytes.
export const EDITOR_LIMIT = 5 * 1024 * 1024;
// Beyond this a tab's memory is not enough for the file, its text and the
// checker's copy; the page refuses rather than lets the tab die.
export const MEMORY_LIMIT = 400 * 1024 * 1024;

export const CODE_PAGES = [
  ['auto', 'Automatic'],
  ['1252', '1252 Western'],
  ['932', '932 Japanese'],
  ['936', '936 Simplified Chinese'],
  ['949', '949 Korean'],
  ['950', '950 Traditional Chinese'],
  ['65001', '65001 UTF-8'],
];

export function codePageValue(choice) {
  return choice === 'auto' ? 'auto' : Number(choice);
}

const SEVERITY_RANK = { error: 0, warning: 1, info: 2, note: 2 };

// Place order: line, then column, then the checker's own order.
export function inPlaceOrder(findings) {
  return findings.slice().sort((a, b) => (a.line - b.line) || (a.start - b.start) ||
    (a.index - b.index));
}

// filter: { severity: 'all' | 'error' | 'warning' | 'note', rule: 'all' | id }
export function filterFindings(findings, filter) {
  return findings.filter((f) =>
    (filter.severity === 'all' || severityClass(f.severity) === filter.severity) &&
    (filter.rule === 'all' || f.rule === filter.rule));
}

export function severityClass(severity) {
  if (severity === 'error') return 'error';
  if (severity === 'warning') return 'warning';
  return 'note';
}

export function severityRank(severity) {
  return SEVERITY_RANK[severity] ?? 3;
}

// The rules that occur in the findings, sorted, for the rule filter.
export function rulesIn(findings) {
  return [...new Set(findings.map((f) => f.rule))].sort();
}

// Offsets of the start of each line of a text whose lines end with "\n".
export function lineStarts(text) {
  const starts = [0];
  for (let i = text.indexOf('\n'); i >= 0; i = text.indexOf('\n', i + 1)) starts.push(i + 1);
  return starts;
}

// A place { line, start, end, endLine } (0-based line, UTF-16 columns) as
// offsets into the text, clamped to it: a finding on the last line without
// a line end, or on an empty line, still gets a place the editor can show.
export function placeRange(starts, textLength, place) {
  const lineOffset = (line) => starts[Math.max(0, Math.min(line, starts.length - 1))];
  const lineEnd = (line) => (line + 1 < starts.length ? starts[line + 1] - 1 : textLength);
  const clampLine = (line) => Math.max(0, Math.min(line, starts.length - 1));
  const fromLine = clampLine(place.line ?? 0);
  const toLine = clampLine(place.endLine ?? fromLine);
  const from = Math.min(lineOffset(fromLine) + Math.max(0, place.start ?? 0), lineEnd(fromLine));
  let to = Math.min(lineOffset(toLine) + Math.max(0, place.end ?? 0), lineEnd(toLine));
  if (to < from) to = from;
  return { from, to };
}

// The selection sent to the checker from the user's choices: choices maps a
// rule id to on/off where the user changed the default.
export function selection(rules, choices) {
  const changed = rules.some((r) => id(r) in choices && choices[id(r)] !== r.defaultOn);
  if (!changed) return { select: [], ignore: [] };
  const on = rules.filter((r) => (id(r) in choices ? choices[id(r)] : r.defaultOn)).map(id);
  if (on.length === 0) return { select: ['ALL'], ignore: rules.map(id) };
  return { select: on, ignore: [] };
}

function id(rule) {
  return rule.id;
}

// Only the stored choices that name known rules and differ from the default
// survive: a rule that changed its default or left the table drops out.
export function cleanChoices(rules, stored) {
  const out = {};
  if (!stored || typeof stored !== 'object') return out;
  for (const r of rules) {
    if (typeof stored[r.id] === 'boolean' && stored[r.id] !== r.defaultOn) out[r.id] = stored[r.id];
  }
  return out;
}

// The checker's text as the editor holds it. The editor splits lines at
// "\n" alone, as the checker counts them; the file's own CR LF line ends
// become "\n" there and come back on the way to bytes. A CR that is no part
// of a CR LF stays a character of its line, as the checker reads it.
export function editorText(text, lineEnd) {
  return lineEnd === '\r\n' ? text.replaceAll('\r\n', '\n') : text;
}

// The smallest single replacement turning a into b, so that applying a fix
// keeps the editor's scroll position, cursor and undo history sensible.
export function smallestChange(a, b) {
  let from = 0;
  const max = Math.min(a.length, b.length);
  while (from < max && a.charCodeAt(from) === b.charCodeAt(from)) from++;
  let endA = a.length;
  let endB = b.length;
  while (endA > from && endB > from && a.charCodeAt(endA - 1) === b.charCodeAt(endB - 1)) {
    endA--;
    endB--;
  }
  return { from, to: endA, insert: b.slice(from, endB) };
}

// A download's name: the file's own name, with anything a file system cannot
// hold replaced; a protocol or SARIF log takes the name with its own ending.
export function downloadName(name, ending) {
  const base = String(name || 'untitled.ins').replace(/[\\/:*?"<>|\u0000-\u001f]/g, '_');
  if (!ending) return base;
  return base.replace(/\.[^.]*$/, '') + ending;
}

export function formatBytes(n) {
  if (n < 1024) return `${n} bytes`;
  if (n < 1024 * 1024) return `${(n / 1024).toFixed(1)} KB`;
  return `${(n / 1024 / 1024).toFixed(1)} MB`;
}

// The protocol as bytes. The checker hands it over as a string of the bytes
// it writes, one character each; a string that holds wider characters came
// as text and is written as UTF-8.
export function protocolBytes(protocol) {
  if (protocol instanceof Uint8Array) return protocol;
  let wide = false;
  for (let i = 0; i < protocol.length; i++) {
    if (protocol.charCodeAt(i) > 255) {
      wide = true;
      break;
    }
  }
  if (wide) return new TextEncoder().encode(protocol);
  const out = new Uint8Array(protocol.length);
  for (let i = 0; i < protocol.length; i++) out[i] = protocol.charCodeAt(i);
  return out;
}
