// The command "Veltrane: Write check protocol" against a scripted stand-in
// for the editor and the real veltrane-check: when the question is asked,
// what each answer does to the protocol file, and what the user is told.
//
//   node protocol_command_test.js --modules NODE_MODULES --source protocol.ts --check VELTRANE_CHECK
'use strict';
const assert = require('assert');
const fs = require('fs');
const Module = require('module');
const path = require('path');
const { execFileSync } = require('child_process');
const { option, scratchFolder, loadSource, run, finish } = require('./harness');

const checkProgram = option('--check');
const scratch = scratchFolder();

// The editor as the command sees it; each case sets the document and the
// answers, and reads what was shown.
const editor = {
  document: undefined,
  answers: [],
  questions: [],
  errors: [],
  opened: [],
  serverPath: '',
};
const fake = {
  ViewColumn: { Beside: -2 },
  window: {
    get activeTextEditor() {
      return editor.document === undefined ? undefined : { document: editor.document };
    },
    showWarningMessage: async (message, options, ...items) => {
      editor.questions.push({ message, detail: options.detail, items });
      return editor.answers.shift();
    },
    showErrorMessage: async (message) => {
      editor.errors.push(message);
      return undefined;
    },
    showTextDocument: async (document) => {
      editor.opened.push(document.fileName);
    },
  },
  workspace: {
    getConfiguration: () => ({ get: (key, fallback) => (key === 'server.path' ? editor.serverPath : fallback) }),
    openTextDocument: async (file) => ({ fileName: file }),
  },
};
const load = Module._load;
Module._load = function (request, ...rest) {
  return request === 'vscode' ? fake : load.call(this, request, ...rest);
};
const { writeProtocol } = loadSource(option('--modules'), option('--source'), scratch);

const BROKEN = '.Patch Names\n[Piano Bank]\n0=Grand\n.Instrument Definitions\n[Rack]\nPatch[*]=Piano Bnak\n';
const OLD = 'an older protocol\n';

function fileDocument(file, { dirty = false, saves = true } = {}) {
  return {
    uri: { scheme: 'file', fsPath: file },
    isDirty: dirty,
    save: async () => saves,
  };
}

// Returns the protocol veltrane-check writes for FILE, for comparing.
function expectedProtocol(file) {
  const out = path.join(scratch, 'expected.txt');
  fs.rmSync(out, { force: true });
  try {
    execFileSync(checkProgram, ['--output', out, file]);
  } catch (error) {
    assert.strictEqual(error.status, 1, `veltrane-check ${file}`);
  }
  return fs.readFileSync(out, 'latin1');
}

// Sets up one case in a folder of its own; PROTOCOL undefined: no file.
function setUp(name, protocol, documentOptions) {
  const folder = fs.mkdtempSync(path.join(scratch, 'case-'));
  const input = path.join(folder, `${name}.ins`);
  fs.writeFileSync(input, BROKEN);
  if (protocol !== undefined) fs.writeFileSync(path.join(folder, `${name}.txt`), protocol);
  Object.assign(editor, { document: fileDocument(input, documentOptions), answers: [], questions: [],
    errors: [], opened: [], serverPath: path.join(path.dirname(checkProgram), 'veltrane-lsp') });
  return { input, protocol: path.join(folder, `${name}.txt`) };
}

const cases = [
  // name, existing protocol, answers, document, asked, written
  { name: 'no protocol yet: written without a question', existing: undefined, answers: [], asked: [], written: true },
  { name: 'an empty protocol: replaced without a question', existing: '', answers: [], asked: [], written: true },
  { name: 'a protocol, answer Yes: replaced', existing: OLD, answers: ['Yes'], asked: ['Overwrite existing file?'], written: true },
  { name: 'a protocol, answer No: left alone', existing: OLD, answers: ['No'], asked: ['Overwrite existing file?'], written: false },
  { name: 'a protocol, question dismissed: left alone', existing: OLD, answers: [undefined], asked: ['Overwrite existing file?'], written: false },
  { name: 'unsaved changes, saved: written', existing: undefined, answers: ['Save'], document: { dirty: true },
    asked: ['The file has unsaved changes. Save it before the check?'], written: true },
  { name: 'unsaved changes, not saved: nothing', existing: OLD, answers: [undefined], document: { dirty: true },
    asked: ['The file has unsaved changes. Save it before the check?'], written: false },
  { name: 'unsaved changes, the save fails: nothing', existing: undefined, answers: ['Save'], document: { dirty: true, saves: false },
    asked: ['The file has unsaved changes. Save it before the check?'], written: false },
];

async function main() {
  for (const c of cases) {
    await run(c.name, async () => {
      const files = setUp('Synth', c.existing, c.document);
      editor.answers = [...c.answers];
      await writeProtocol(scratch);
      assert.deepStrictEqual(editor.questions.map((q) => q.message), c.asked);
      for (const q of editor.questions.filter((q) => q.message === 'Overwrite existing file?')) {
        assert.deepStrictEqual(q.items, ['Yes', 'No']);
        assert.strictEqual(q.detail, files.protocol);
      }
      assert.deepStrictEqual(editor.errors, []);
      if (c.written) {
        assert.strictEqual(fs.readFileSync(files.protocol, 'latin1'), expectedProtocol(files.input));
        assert.deepStrictEqual(editor.opened, [files.protocol]);
      } else {
        assert.strictEqual(fs.existsSync(files.protocol) ? fs.readFileSync(files.protocol, 'latin1') : undefined,
          c.existing);
        assert.deepStrictEqual(editor.opened, []);
      }
    });
  }

  await run('an input that cannot be read: the reason, and no protocol', async () => {
    const files = setUp('Gone', undefined);
    fs.rmSync(files.input);
    await writeProtocol(scratch);
    assert.strictEqual(editor.errors.length, 1);
    assert.match(editor.errors[0], /^Veltrane: no protocol written\. .*Gone\.ins/);
    assert.ok(!fs.existsSync(files.protocol));
    assert.deepStrictEqual(editor.opened, []);
  });

  await run('a document that is no file: told to save it first', async () => {
    setUp('Untitled', undefined);
    editor.document = { uri: { scheme: 'untitled', fsPath: 'Untitled-1' }, isDirty: true, save: async () => true };
    await writeProtocol(scratch);
    assert.deepStrictEqual(editor.errors, ['Veltrane: save the file first; the protocol is written next to it.']);
    assert.deepStrictEqual(editor.questions, []);
  });

  await run('no veltrane-check anywhere: told so', async () => {
    const files = setUp('Lonely', undefined);
    editor.serverPath = '';
    const savedPath = process.env.PATH;
    process.env.PATH = '';
    try {
      await writeProtocol(path.join(scratch, 'no-extension'));
    } finally {
      process.env.PATH = savedPath;
    }
    assert.deepStrictEqual(editor.errors,
      ['Veltrane: veltrane-check was found neither in this extension nor on PATH.']);
    assert.ok(!fs.existsSync(files.protocol));
  });

  finish();
}

main();
