// Highlighting for instrument definition files, read line by line the way
// the checker reads them: only a line's first characters decide what it is,
// so the tokenizer never carries state from one line to the next. The token
// names follow the scopes of the editor grammar in editors/vscode.
import { StreamLanguage, HighlightStyle, syntaxHighlighting } from '@codemirror/language';
import { tags } from '@lezer/highlight';

const SECTIONS = ['Patch Names', 'Note Names', 'Controller Names', 'RPN Names', 'NRPN Names',
  'Instrument Definitions'];
const KEYS = ['BasedOn', 'Control', 'RPN', 'NRPN', 'Patch', 'Key'];
const NUMBERED_LISTS = /^(1\.\.128|0\.\.127)$/;

// The tokens of one whole line as [length, token] pairs: a pure function, so
// that the tests can check it on lines without an editor.
export function lineTokens(line) {
  const out = [];
  const push = (text, token) => { if (text.length > 0) out.push([text.length, token]); };
  if (line.startsWith(';')) {
    push(line, 'comment');
  } else if (line.startsWith('.')) {
    const section = SECTIONS.find((s) => line.startsWith('.' + s));
    if (section) {
      push('.' + section, 'heading');
      push(line.slice(section.length + 1), 'heading');
    } else {
      push(line, 'invalid');
    }
  } else if (line.startsWith('[')) {
    const close = line.indexOf(']');
    push('[', 'bracket');
    if (close < 0) {
      push(line.slice(1), 'invalid');
    } else {
      push(line.slice(1, close), 'labelName');
      push(']', 'bracket');
      push(line.slice(close + 1), null);
    }
  } else if (KEYS.some((k) => line.startsWith(k))) {
    const key = KEYS.find((k) => line.startsWith(k));
    push(key, 'keyword');
    const eq = line.indexOf('=', key.length);
    const index = eq < 0 ? line.slice(key.length) : line.slice(key.length, eq);
    for (const m of index.matchAll(/\d+|[^\d]+/g)) push(m[0], /^\d/.test(m[0]) ? 'number' : null);
    if (eq >= 0) {
      push('=', 'operator');
      const value = line.slice(eq + 1);
      push(value, (key === 'Patch' || key === 'Key') && NUMBERED_LISTS.test(value)
        ? 'number' : 'typeName');
    }
  } else {
    const m = /^(\d+)(=)(.*)$/.exec(line);
    if (m) {
      push(m[1], 'number');
      push('=', 'operator');
      push(m[3], 'string');
    } else {
      push(line, null);
    }
  }
  return out;
}

const insParser = {
  name: 'instrument-definition',
  startState: () => ({ tokens: null, next: 0 }),
  copyState: (s) => ({ tokens: s.tokens, next: s.next }),
  token(stream, state) {
    if (stream.sol()) {
      state.tokens = lineTokens(stream.string);
      state.next = 0;
    }
    const t = state.tokens[state.next++];
    if (!t) {
      stream.skipToEnd();
      return null;
    }
    stream.pos = Math.min(stream.string.length, stream.pos + t[0]);
    return t[1];
  },
  tokenTable: {
    heading: tags.heading,
    labelName: tags.labelName,
    typeName: tags.typeName,
    bracket: tags.bracket,
    invalid: tags.invalid,
  },
};

export const insLanguage = StreamLanguage.define(insParser);

// Colours picked for contrast on both backgrounds; the variables come from
// the page's stylesheet, which switches them with prefers-color-scheme.
const insStyle = HighlightStyle.define([
  { tag: tags.comment, color: 'var(--hl-comment)', fontStyle: 'italic' },
  { tag: tags.heading, color: 'var(--hl-section)', fontWeight: 'bold' },
  { tag: tags.labelName, color: 'var(--hl-label)', fontWeight: 'bold' },
  { tag: tags.typeName, color: 'var(--hl-label)' },
  { tag: tags.keyword, color: 'var(--hl-key)' },
  { tag: tags.number, color: 'var(--hl-number)' },
  { tag: tags.operator, color: 'var(--hl-operator)' },
  { tag: tags.string, color: 'var(--hl-text)' },
  { tag: tags.invalid, color: 'var(--hl-invalid)', textDecoration: 'underline dotted' },
]);

export const insHighlighting = [insLanguage, syntaxHighlighting(insStyle)];
