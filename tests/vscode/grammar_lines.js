// Tokenizes instrument definition files with the extension's grammar, the
// way VS Code does, and checks that every line the checker reads gets the
// scope that says what the checker makes of it: section headers, other "."
// lines, labels, the six reference keys with their values, numbered
// entries and comments; any other line stays plain.
//
//   node grammar_lines.js --modules NODE_MODULES --grammar FILE [--if-present] PATH...
//
// A PATH may be a folder: its *.ins files are read. With --if-present, PATHs
// that do not exist are left out, and no PATH at all ends with status 77. Files are read byte by
// byte (latin1), as the checker reads them without a code page.
'use strict';
const fs = require('fs');
const path = require('path');

const HEADERS = ['.Patch Names', '.Note Names', '.Controller Names', '.RPN Names', '.NRPN Names',
  '.Instrument Definitions'];
const KEYS = ['BasedOn', 'Control', 'RPN', 'NRPN', 'Patch', 'Key'];
const NUMBERED_LISTS = ['1..128', '0..127'];

// What the checker makes of LINE, as the scopes that its character ranges
// must carry ([from, to, scope] triples). Empty for a plain line.
function expectedScopes(line) {
  if (line.startsWith(';')) {
    return [[0, line.length, 'comment.line.semicolon.ins']];
  }
  if (line.startsWith('.')) {
    const header = HEADERS.find((h) => line.startsWith(h));
    return header !== undefined ?
      [[0, header.length, 'entity.name.section.ins']] :
      [[0, line.length, 'keyword.control.directive.unknown.ins']];
  }
  if (line.startsWith('[')) {
    const end = line.indexOf(']');
    if (end < 0) {
      return [[0, 1, 'punctuation.definition.label.begin.ins']];
    }
    return [[0, 1, 'punctuation.definition.label.begin.ins'],
      [1, end, 'entity.name.type.label.ins'],
      [end, end + 1, 'punctuation.definition.label.end.ins']];
  }
  const key = KEYS.find((k) => line.startsWith(k));
  if (key !== undefined) {
    const scopes = [[0, key.length, 'keyword.other.key.ins']];
    const equals = line.indexOf('=');
    if (equals >= 0) {
      const value = line.slice(equals + 1);
      const numbered = (key === 'Patch' || key === 'Key') && NUMBERED_LISTS.includes(value);
      scopes.push([equals, equals + 1, 'keyword.operator.assignment.ins']);
      scopes.push([equals + 1, line.length,
        numbered ? 'constant.numeric.range.ins' : 'entity.name.type.reference.ins']);
    }
    return scopes;
  }
  const entry = /^(\d+)=/.exec(line);
  if (entry !== null) {
    return [[0, entry[1].length, 'constant.numeric.integer.ins'],
      [entry[1].length + 1, line.length, 'string.unquoted.entry.ins']];
  }
  return [];
}

function parseArgs(argv) {
  const args = { modules: '', grammar: '', ifPresent: false, paths: [] };
  for (let i = 0; i < argv.length; i++) {
    if (argv[i] === '--modules') args.modules = argv[++i];
    else if (argv[i] === '--grammar') args.grammar = argv[++i];
    else if (argv[i] === '--if-present') args.ifPresent = true;
    else args.paths.push(argv[i]);
  }
  if (args.modules === '' || args.grammar === '' || args.paths.length === 0) {
    console.error('usage: grammar_lines.js --modules NODE_MODULES --grammar FILE PATH...');
    process.exit(2);
  }
  return args;
}

async function loadGrammar(modules, grammarFile) {
  modules = path.resolve(modules);
  const textmate = require(path.join(modules, 'vscode-textmate'));
  const oniguruma = require(path.join(modules, 'vscode-oniguruma'));
  const wasm = fs.readFileSync(path.join(modules, 'vscode-oniguruma', 'release', 'onig.wasm'));
  await oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.byteLength));
  const registry = new textmate.Registry({
    onigLib: Promise.resolve({
      createOnigScanner: (patterns) => new oniguruma.OnigScanner(patterns),
      createOnigString: (text) => new oniguruma.OnigString(text),
    }),
    loadGrammar: async () => textmate.parseRawGrammar(fs.readFileSync(grammarFile, 'utf8'), grammarFile),
  });
  const grammar = await registry.loadGrammar('source.instrument-definition');
  return { grammar, initial: textmate.INITIAL };
}

function insFiles(paths) {
  return paths.flatMap((p) => fs.statSync(p).isDirectory() ?
    fs.readdirSync(p).filter((f) => f.endsWith('.ins')).sort().map((f) => path.join(p, f)) : [p]);
}

// Checks one file; returns its failures as text lines.
function checkFile(tokenizer, file) {
  const failures = [];
  // Lines end at LF, CR LF or a lone CR, as in the editor.
  const lines = fs.readFileSync(file, 'latin1').split(/\r\n|\r|\n/);
  let state = tokenizer.initial;
  lines.forEach((line, index) => {
    const result = tokenizer.grammar.tokenizeLine(line, state);
    state = result.ruleStack;
    const expected = expectedScopes(line);
    for (const [from, to, scope] of expected) {
      for (const token of result.tokens) {
        if (token.startIndex < to && token.endIndex > from && !token.scopes.includes(scope)) {
          failures.push(`${file}:${index + 1}: columns ${token.startIndex}-${token.endIndex} ` +
            `lack ${scope} (have ${token.scopes.join(' ')}): ${JSON.stringify(line)}`);
        }
      }
    }
    if (expected.length === 0) {
      const coloured = result.tokens.find((t) => t.scopes.length > 1);
      if (coloured !== undefined) {
        failures.push(`${file}:${index + 1}: a plain line got ${coloured.scopes.join(' ')}: ` +
          JSON.stringify(line));
      }
    }
  });
  return { failures, lines: lines.length };
}

async function main() {
  const args = parseArgs(process.argv.slice(2));
  const tokenizer = await loadGrammar(args.modules, args.grammar);
  let paths = args.paths;
  if (args.ifPresent) {
    paths = [...new Set(paths.filter((p) => fs.existsSync(p)).map((p) => fs.realpathSync(p)))];
    if (paths.length === 0) {
      console.log(`none of ${args.paths.join(', ')} is there`);
      process.exit(77);
    }
  }
  const files = insFiles(paths);
  if (files.length === 0) {
    console.error('no .ins files found');
    process.exit(2);
  }
  let failed = 0;
  for (const file of files) {
    const { failures, lines } = checkFile(tokenizer, file);
    console.log(`${failures.length === 0 ? 'ok  ' : 'FAIL'} ${file} (${lines} lines)`);
    failures.slice(0, 20).forEach((f) => console.log(`  ${f}`));
    if (failures.length > 20) console.log(`  ... ${failures.length - 20} more`);
    failed += failures.length > 0 ? 1 : 0;
  }
  process.exit(failed === 0 ? 0 : 1);
}

main().catch((error) => {
  console.error(error);
  process.exit(2);
});
