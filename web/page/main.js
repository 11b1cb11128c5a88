// The page: the editor, the findings panel, the rules, opening and
// downloading. Every name, label and line from a file goes into the page as
// text (textContent, never markup).
import { EditorState, Annotation } from '@codemirror/state';
import {
  EditorView, keymap, lineNumbers, highlightActiveLine, highlightActiveLineGutter, drawSelection,
  highlightSpecialChars,
} from '@codemirror/view';
import { defaultKeymap, history, historyKeymap } from '@codemirror/commands';
import { searchKeymap, highlightSelectionMatches } from '@codemirror/search';
import { setDiagnostics, lintKeymap, lintGutter } from '@codemirror/lint';
import { insHighlighting } from './ins-language.js';
import {
  EDITOR_LIMIT, MEMORY_LIMIT, CODE_PAGES, codePageValue, inPlaceOrder, filterFindings,
  severityClass, rulesIn, lineStarts, placeRange, selection, cleanChoices, smallestChange,
  downloadName, formatBytes, protocolBytes, editorText,
} from './model.js';

const $ = (id) => document.getElementById(id);
const el = (tag, props = {}, ...children) => {
  const node = document.createElement(tag);
  for (const [k, v] of Object.entries(props)) {
    if (k === 'text') node.textContent = v;
    else if (k === 'class') node.className = v;
    else if (k.startsWith('on')) node.addEventListener(k.slice(2), v);
    else node.setAttribute(k, v);
  }
  for (const c of children) if (c) node.append(c);
  return node;
};

const RULES_KEY = 'veltrane.rules';
const EDIT_DELAY = 250; // ms after the last keystroke before the text is checked again
const PAGE_SIZE = 500; // findings shown at once; "Show more" adds as many again

const state = {
  rules: [],
  rulesById: new Map(),
  choices: {},
  name: 'untitled.ins',
  findings: [],
  fileNotes: [], // notes on the file as a whole, at the top of the panel
  shown: PAGE_SIZE,
  large: false,
  largeBytes: null, // a large file's bytes, kept to check it again after a Cancel
  codePage: null, // the code page the last check used
  lineEnd: '\r\n',
  haveFile: false,
  dirty: false, // the user typed since the file was opened
  fromText: false, // the file was typed or pasted, not opened
  workerHasFile: false, // the worker holds the file's bytes (a new one holds none)
  checked: false, // the findings belong to the text as it is
  checks: 0, // how many checks the page has shown, for whoever waits for the next
  checkSeconds: null, // how long the last one took the engine in the worker
};

// ---------------------------------------------------------------- messages

function say(text, kind = 'error') {
  // The same message again (a character the code page cannot hold, typed
  // on) stays one message.
  const last = $('messages').lastElementChild;
  if (last && last.firstChild.textContent === text) return;
  const close = el('button', { type: 'button', 'aria-label': 'Dismiss', text: '×' });
  const box = el('div', { class: `message ${kind}` }, el('span', { text }), close);
  close.addEventListener('click', () => box.remove());
  $('messages').append(box);
  while ($('messages').children.length > 4) $('messages').firstChild.remove();
}

function clearMessages() {
  $('messages').replaceChildren();
}

// ---------------------------------------------------------------- the worker

let worker = null;
let ready = null; // resolves when the engine in the worker is up
let nextId = 1;
const waiting = new Map(); // id -> { resolve, reject, label }

function startWorker() {
  const source = self.veltraneWorkerSource;
  if (typeof source !== 'string') {
    say('The checker is missing from this page (veltrane-worker.js did not load).');
    return;
  }
  const url = URL.createObjectURL(new Blob([source], { type: 'text/javascript' }));
  worker = new Worker(url);
  URL.revokeObjectURL(url);
  let readyResolve;
  let readyReject;
  ready = new Promise((resolve, reject) => {
    readyResolve = resolve;
    readyReject = reject;
  });
  ready.catch(() => {});
  worker.onmessage = (event) => {
    const msg = event.data;
    if (msg.type === 'ready') {
      setRules(msg.rules);
      readyResolve();
    } else if (msg.type === 'progress') {
      // Short checks never flash the bar; long ones show it and the Cancel.
      if (Date.now() - callStarted > 200) showProgress(msg);
    } else if (msg.type === 'reply') {
      const w = waiting.get(msg.id);
      waiting.delete(msg.id);
      if (w) w.resolve(msg);
    } else if (msg.type === 'fatal') {
      workerFailed(msg.error);
      readyReject(new Error(msg.error));
    }
  };
  worker.onerror = (event) => {
    event.preventDefault();
    workerFailed(event.message || 'unknown error');
    readyReject(new Error(event.message));
  };
  state.workerHasFile = false;
  document.documentElement.dataset.ready = 'false';
  ready.then(() => {
    // How long the page took from the start of its navigation to a checker
    // that answers: scripts/bench --web reads it.
    self.veltranePage.readyAt ??= performance.now();
    document.documentElement.dataset.ready = 'true';
  }, () => {});
  worker.postMessage({ type: 'init' });
}

function failAll(reason) {
  for (const w of waiting.values()) w.reject(reason);
  waiting.clear();
}

function workerFailed(error) {
  failAll(new Error(error));
  worker.terminate();
  hideProgress();
  if (document.documentElement.dataset.ready !== 'true') {
    // It never started (a browser without WebAssembly, or too little
    // memory): another worker would fail the same way.
    say(`The checker cannot start in this browser (${error}). Your text is kept; reload the ` +
      'page to try again.');
    document.documentElement.dataset.ready = 'failed';
    return;
  }
  say(`The checker stopped (${error}). Your text is kept; it is checked again when you type` +
    ' or press "Check again".');
  offerRecheck();
  startWorker();
}

function cancel() {
  failAll(Object.assign(new Error('cancelled'), { cancelled: true }));
  worker.terminate();
  hideProgress();
  say('The check was cancelled. Your text is kept.', 'info');
  offerRecheck();
  startWorker();
}

let progressTimer = null;
let callStarted = 0;
function call(type, payload = {}, transfer = []) {
  return ready.then(() => new Promise((resolve, reject) => {
    const id = nextId++;
    waiting.set(id, { resolve, reject });
    worker.postMessage({ type, id, ...payload }, transfer);
    callStarted = Date.now();
    clearTimeout(progressTimer);
    progressTimer = setTimeout(() => {
      if (waiting.has(id)) showProgress({ phase: type === 'fix' ? 'fixing' : 'checking', fraction: null });
    }, 200);
  })).finally(() => {
    if (waiting.size === 0) hideProgress();
  });
}

function showProgress(msg) {
  if (waiting.size === 0) return;
  const bar = $('progress-bar');
  const words = { reading: 'Reading', checking: 'Checking', formatting: 'Writing', fixing: 'Fixing' };
  $('progress-text').textContent = `${words[msg.phase] || 'Working'} ${state.name}…`;
  if (typeof msg.fraction === 'number') bar.value = msg.fraction;
  else bar.removeAttribute('value');
  $('progress').hidden = false;
}

function hideProgress() {
  clearTimeout(progressTimer);
  $('progress').hidden = true;
}

function offerRecheck() {
  state.checked = false;
  const again = el('button', { type: 'button', text: 'Check again' });
  again.addEventListener('click', () => {
    again.parentElement?.remove();
    recheck();
  });
  $('messages').lastChild?.append(again);
  // The Cancel that had the focus is gone: a keyboard user lands here.
  if (!document.activeElement || document.activeElement === document.body ||
      document.activeElement.closest('[hidden]')) {
    again.focus();
  }
}

// ---------------------------------------------------------------- the editor

const fromChecker = Annotation.define();

const view = new EditorView({
  parent: $('editor'),
  state: EditorState.create({
    doc: '',
    extensions: [
      // Lines end at "\n" only, as the checker counts them (see editorText).
      EditorState.lineSeparator.of('\n'),
      highlightSpecialChars(),
      lineNumbers(),
      highlightActiveLineGutter(),
      highlightActiveLine(),
      drawSelection(),
      history(),
      highlightSelectionMatches(),
      lintGutter(),
      insHighlighting,
      keymap.of([...defaultKeymap, ...historyKeymap, ...searchKeymap, ...lintKeymap]),
      EditorView.contentAttributes.of({ 'aria-label': 'File text' }),
      EditorView.updateListener.of((update) => {
        if (update.docChanged && !update.transactions.some((t) => t.annotation(fromChecker))) {
          edited();
        }
      }),
    ],
  }),
});

function setEditorText(text) {
  const current = view.state.doc.toString();
  if (current === text) return;
  const change = smallestChange(current, text);
  view.dispatch({ changes: change, annotations: fromChecker.of(true) });
}

// ---------------------------------------------------------------- checking

let editTimer = null;
let checking = null; // the running check of an edit, if any
let editAgain = false;

function edited() {
  state.checked = false;
  state.dirty = true;
  state.haveFile = true;
  enableFileButtons();
  clearTimeout(editTimer);
  editTimer = setTimeout(checkEdit, EDIT_DELAY);
}

// One check at a time: typing during a check asks for one more after it.
function checkEdit() {
  if (checking) {
    editAgain = true;
    return checking;
  }
  checking = (async () => {
    try {
      do {
        editAgain = false;
        const reply = await call('edit', { text: view.state.doc.toString(), ...context() });
        if (!editAgain) show(reply);
      } while (editAgain);
    } catch (err) {
      if (!err.cancelled) throw err;
    } finally {
      checking = null;
    }
  })().catch((err) => say(`The check failed: ${err.message}`));
  return checking;
}

// Waits until the findings belong to the text as it stands.
async function settled() {
  if (editTimer) {
    clearTimeout(editTimer);
    editTimer = null;
    if (!state.checked && !state.large) await checkEdit();
  }
  if (checking) await checking;
  return state.checked;
}

// As settled(), and a worker that holds no file (after a Cancel or a
// failure) gets it again first.
async function ensureChecked() {
  await settled();
  if (!state.checked || !state.workerHasFile) await recheck();
  return state.checked;
}

function context() {
  // Typed or pasted text has no bytes of its own: with the automatic choice
  // it is kept as UTF-8, which holds every character (the automatic choice
  // for bytes reads them single-byte, as the command line does).
  const chosen = codePageValue($('code-page').value);
  const textCodePage = state.fromText && chosen === 'auto' ? 65001 : null;
  return {
    name: state.name,
    codePage: textCodePage ?? chosen,
    encodeCodePage: textCodePage ?? state.codePage,
    lineEnd: state.lineEnd,
    large: state.large,
    ...selection(state.rules, state.choices),
  };
}

async function recheck() {
  try {
    if (state.large && state.workerHasFile) {
      show(await call('recheck', context()));
    } else if (state.large && state.largeBytes) {
      // A new worker after a Cancel or a failure: it gets the bytes again.
      show(await call('open', { ...context(), bytes: state.largeBytes.slice() }));
    } else if (state.haveFile) {
      show(await call('edit', { text: view.state.doc.toString(), ...context() }));
    }
  } catch (err) {
    if (!err.cancelled) say(`The check failed: ${err.message}`);
  }
}

// A check's reply: the text into the editor (when it came from the checker),
// the findings into the editor and the panel.
function show(reply) {
  if (!reply.ok) {
    state.checked = false;
    say(reply.encode
      ? `The text cannot be saved in code page ${state.codePage}: ${reply.error}`
      : reply.error);
    return false;
  }
  state.codePage = reply.codePage;
  state.lineEnd = reply.lineEnd;
  state.workerHasFile = true;
  if (typeof reply.text === 'string') setEditorText(editorText(reply.text, reply.lineEnd));
  state.findings = inPlaceOrder(reply.findings);
  state.fileNotes = reply.fileNotes || [];
  state.checked = true;
  state.checkSeconds = reply.seconds ?? null;
  state.checks++;
  state.shown = PAGE_SIZE;
  updateRuleFilter();
  renderFindings();
  updateDiagnostics();
  updateStatus(reply);
  enableFileButtons();
  return true;
}

function updateStatus(reply) {
  const ends = { '\r\n': 'CRLF', '\n': 'LF', '\r': 'CR' };
  const n = state.findings.length;
  $('file-status').textContent = `${state.name} · ${formatBytes(reply.size ?? 0)} · code page ` +
    `${reply.codePage} · ${ends[reply.lineEnd] || 'line ends as found'} · ` +
    `${n === 0 ? 'no findings' : n === 1 ? '1 finding' : `${n} findings`}`;
}

function enableFileButtons() {
  $('download-file').disabled = !state.haveFile;
  $('download-protocol').disabled = !state.checked;
  $('download-sarif').disabled = !state.checked;
  $('fix-all').disabled = !state.findings.some((f) => f.fix);
}

// ---------------------------------------------------------------- findings

function lintSeverity(severity) {
  const s = severityClass(severity);
  return s === 'note' ? 'info' : s;
}

function explanationOf(rule) {
  const r = state.rulesById.get(rule);
  return r ? (r.explanation || r.summary || '') : '';
}

function updateDiagnostics() {
  if (state.large) return;
  const text = view.state.doc.toString();
  const starts = lineStarts(text);
  const diagnostics = state.findings.map((f) => {
    const { from, to } = placeRange(starts, text.length, f);
    const d = {
      from,
      to,
      severity: lintSeverity(f.severity),
      source: f.rule,
      message: `${f.rule}: ${f.message}`,
      renderMessage: () => hoverContent(f),
    };
    if (f.fix) d.actions = [{ name: f.fix.title || 'Fix', apply: () => fix([f.index]) }];
    return d;
  });
  view.dispatch(setDiagnostics(view.state, diagnostics));
}

function hoverContent(f) {
  const box = el('div', {}, el('div', { text: `${f.rule}: ${f.message}` }));
  if (f.notes && f.notes.length) {
    box.append(el('ul', { class: 'vlt-notes' },
      ...f.notes.map((n) => el('li', { text: noteText(n) }))));
  }
  const explanation = explanationOf(f.rule);
  if (explanation) box.append(el('div', { class: 'vlt-explanation', text: explanation }));
  box.append(el('a', { href: `rules.html#${encodeURIComponent(f.rule)}`, target: '_blank',
    text: `About ${f.rule}` }));
  return box;
}

function noteText(n) {
  return typeof n.line === 'number' ? `Line ${n.line + 1}: ${n.message}` : n.message;
}

function updateRuleFilter() {
  const select = $('filter-rule');
  const current = select.value;
  const ids = rulesIn(state.findings);
  select.replaceChildren(el('option', { value: 'all', text: 'All' }),
    ...ids.map((id) => el('option', { value: id, text: id })));
  select.value = ids.includes(current) ? current : 'all';
}

function renderFindings() {
  const list = $('findings-list');
  const filtered = filterFindings(state.findings, {
    severity: $('filter-severity').value,
    rule: $('filter-rule').value,
  });
  const n = state.findings.length;
  $('findings-count').textContent = filtered.length === n ? `(${n})` : `(${filtered.length} of ${n})`;
  const notes = $('filter-severity').value === 'error' || $('filter-severity').value === 'warning'
    ? [] : state.fileNotes;
  list.replaceChildren(...notes.map((n) => el('li', { class: 'finding file-note sev-note' },
    el('span', { class: 'sev', text: 'note' }), ' ', el('span', { text: n.message }))),
  ...filtered.slice(0, state.shown).map(findingItem));
  $('more').hidden = filtered.length <= state.shown;
  $('more').textContent = `Show more (${filtered.length - state.shown} left)`;
}

function findingItem(f) {
  const sev = severityClass(f.severity);
  // Without the editor there is no place to jump to: the finding is text.
  const link = el(state.large ? 'span' : 'a',
    state.large ? { class: 'place-text' } : { href: `#line-${f.line + 1}`, class: 'jump' },
    el('span', { class: 'place', text: `${f.line + 1}:${f.start + 1}` }), ' ',
    el('span', { class: 'sev', text: f.severity }), ' ',
    el('span', { class: 'rule', text: f.rule }), ' ',
    el('span', { class: 'msg', text: f.message }));
  link.addEventListener('click', (event) => {
    event.preventDefault();
    jump(f);
  });
  const head = el('div', { class: 'finding-head' }, link);
  if (f.fix) {
    head.append(el('button', {
      type: 'button', class: 'fix-button', text: f.fix.safe ? 'Fix…' : 'Fix (unsafe)…',
      'aria-label': `Fix line ${f.line + 1}: ${f.fix.title || f.message}`,
      onclick: () => fix([f.index]),
    }));
  }
  const item = el('li', {
    class: `finding sev-${sev}`, 'data-index': String(f.index), 'data-line': String(f.line + 1),
    'data-rule': f.rule,
  }, head);
  if (typeof f.lineText === 'string') item.append(el('code', { class: 'line-text', text: f.lineText }));
  if (f.notes && f.notes.length) {
    item.append(el('ul', { class: 'notes' }, ...f.notes.map((n) => {
      if (typeof n.line !== 'number' || state.large) return el('li', { class: 'note', text: noteText(n) });
      const a = el('a', { href: `#line-${n.line + 1}`, text: noteText(n) });
      a.addEventListener('click', (event) => {
        event.preventDefault();
        jump(n);
      });
      return el('li', { class: 'note' }, a);
    })));
  }
  // The rule's explanation, as the hover gives it, for the keyboard and
  // screen readers; filled when opened, as most never are.
  if (state.rulesById.has(f.rule)) {
    const about = el('details', { class: 'about' }, el('summary', { text: `About ${f.rule}` }));
    about.addEventListener('toggle', () => {
      if (!about.open || about.childElementCount > 1) return;
      about.append(el('div', { class: 'vlt-explanation', text: explanationOf(f.rule) }),
        el('a', { href: `rules.html#${encodeURIComponent(f.rule)}`, target: '_blank',
          text: `${f.rule} on the rules page` }));
    });
    item.append(about);
  }
  return item;
}

function jump(place) {
  if (state.large) return;
  const text = view.state.doc.toString();
  const { from, to } = placeRange(lineStarts(text), text.length, place);
  view.dispatch({ selection: { anchor: from, head: to }, scrollIntoView: true });
  view.focus();
}

// ---------------------------------------------------------------- fixes

async function fix(only) {
  try {
    if (!(await ensureChecked())) {
      say('The text could not be checked, so it cannot be fixed yet.');
      return;
    }
    const reply = await call('fix', { ...context(), only, unsafe: only ? true : $('unsafe').checked });
    if (!reply.ok) {
      say(reply.error);
      return;
    }
    if (!reply.diff) {
      say(only ? 'This fix changes nothing.' : 'There is nothing to fix' +
        ($('unsafe').checked ? '.' : ' with safe fixes; tick "Also unsafe fixes" to see the others.'),
      'info');
      return;
    }
    if (!(await confirmDiff(reply))) return;
    if (show(await call('apply', context())) && state.large) {
      // A large file's bytes stay here too, for a worker started after a
      // Cancel: they must be the fixed ones.
      const bytes = await call('download', { what: 'file' });
      if (bytes.ok) state.largeBytes = bytes.bytes;
    }
  } catch (err) {
    if (!err.cancelled) say(`The fix failed: ${err.message}`);
  }
}

function confirmDiff(reply) {
  const dialog = $('diff-dialog');
  const pre = $('diff-text');
  pre.replaceChildren(...reply.diff.replace(/\n$/, '').split('\n').map((line) => {
    const cls = line.startsWith('+') && !line.startsWith('+++') ? 'add'
      : line.startsWith('-') && !line.startsWith('---') ? 'del'
        : line.startsWith('@@') ? 'hunk' : '';
    return cls ? el('span', { class: cls, text: `${line}\n` }) : `${line}\n`;
  }));
  const n = reply.fixed;
  $('diff-summary').textContent = `${n === 1 ? '1 finding goes' : `${n} findings go`} away.`;
  return new Promise((resolve) => {
    const done = (answer) => {
      $('diff-apply').onclick = null;
      $('diff-cancel').onclick = null;
      dialog.onclose = null;
      if (dialog.open) dialog.close();
      resolve(answer);
    };
    $('diff-apply').onclick = () => done(true);
    $('diff-cancel').onclick = () => done(false);
    dialog.onclose = () => done(false);
    dialog.showModal();
    $('diff-apply').focus();
  });
}

// ---------------------------------------------------------------- opening

function setLarge(large, size) {
  state.large = large;
  document.querySelector('.work').classList.toggle('large-mode', large);
  $('editor').hidden = large;
  $('large').hidden = !large;
  if (large) {
    $('large-text').textContent = `This file is ${formatBytes(size)}, more than the editor ` +
      `carries smoothly (${formatBytes(EDITOR_LIMIT)}). Its findings are listed with their ` +
      'lines; fixes and downloads work as for any file.';
  }
}

// A check of typed text still waiting would check the old text in place of
// the new file.
function dropPendingEdit() {
  clearTimeout(editTimer);
  editTimer = null;
  editAgain = false;
}

async function openBytes(name, bytes) {
  dropPendingEdit();
  clearMessages();
  state.dirty = false;
  state.fromText = false;
  state.name = name;
  state.haveFile = true;
  const large = bytes.length > EDITOR_LIMIT;
  setLarge(large, bytes.length);
  $('file-status').textContent = `${name} · ${formatBytes(bytes.length)} · being checked…`;
  state.largeBytes = large ? bytes : null;
  if (large) {
    view.dispatch({ changes: { from: 0, to: view.state.doc.length, insert: '' },
      annotations: fromChecker.of(true) });
  }
  try {
    const copy = large ? bytes.slice() : bytes;
    show(await call('open', { ...context(), large, bytes: copy }, [copy.buffer]));
  } catch (err) {
    if (!err.cancelled) say(`"${name}" could not be checked: ${err.message}`);
  }
}

async function openFile(file) {
  if (!file) return;
  if (file.size > MEMORY_LIMIT) {
    say(`"${file.name}" is ${formatBytes(file.size)}: too large for this browser's memory ` +
      `(the page takes files up to ${formatBytes(MEMORY_LIMIT)}).`);
    return;
  }
  let bytes;
  try {
    bytes = new Uint8Array(await file.arrayBuffer());
  } catch (err) {
    say(`"${file.name}" could not be read: ${err.message || err}`);
    return;
  }
  await openBytes(file.name, bytes);
}

async function openText(text, name) {
  dropPendingEdit();
  clearMessages();
  state.dirty = text.length > 0;
  state.fromText = true;
  state.name = name;
  state.haveFile = true;
  state.largeBytes = null;
  setLarge(false, 0);
  view.dispatch({ changes: { from: 0, to: view.state.doc.length, insert: text },
    annotations: fromChecker.of(true) });
  try {
    show(await call('open', { ...context(), text }));
  } catch (err) {
    if (!err.cancelled) say(`The text could not be checked: ${err.message}`);
  }
}

// ---------------------------------------------------------------- downloads

function save(name, data, type) {
  const url = URL.createObjectURL(new Blob([data], { type }));
  const a = el('a', { href: url, download: name });
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

async function download(what) {
  try {
    if (!(await ensureChecked())) {
      // The last bytes the checker holds are not the text as it stands.
      say('Nothing was downloaded: the text must be checked first (see the message above).');
      return;
    }
    const reply = await call('download', { what });
    if (!reply.ok) {
      say(reply.error);
      return;
    }
    if (what === 'file') save(downloadName(state.name), reply.bytes, 'application/octet-stream');
    else if (what === 'sarif') save(downloadName(state.name, '.sarif'), reply.text, 'application/sarif+json');
    else save(downloadName(state.name, '.txt'), protocolBytes(reply.text), 'text/plain');
  } catch (err) {
    if (!err.cancelled) say(`The download failed: ${err.message}`);
  }
}

// ---------------------------------------------------------------- rules

function loadChoices(rules) {
  try {
    return cleanChoices(rules, JSON.parse(localStorage.getItem(RULES_KEY) || '{}'));
  } catch {
    return {};
  }
}

function storeChoices() {
  try {
    localStorage.setItem(RULES_KEY, JSON.stringify(state.choices));
  } catch {
    // Storage may be off (private windows, file pages in some browsers):
    // the choice then lasts as long as the page.
  }
}

function setRules(rules) {
  if (state.rules.length) return; // a restarted worker brings the same table
  state.rules = rules;
  state.rulesById = new Map(rules.map((r) => [r.id, r]));
  state.choices = loadChoices(rules);
  renderRules();
}

function renderRules() {
  $('rules-list').replaceChildren(...state.rules.map((r) => {
    const on = r.id in state.choices ? state.choices[r.id] : r.defaultOn;
    const box = el('input', { type: 'checkbox', id: `rule-${r.id}`, 'data-rule': r.id });
    box.checked = on;
    box.addEventListener('change', () => {
      if (box.checked === r.defaultOn) delete state.choices[r.id];
      else state.choices[r.id] = box.checked;
      storeChoices();
      recheck();
    });
    return el('li', {}, el('label', { for: `rule-${r.id}` }, box,
      el('span', { class: 'rule-id', text: r.id }),
      el('span', { text: `${r.name}: ${r.summary}` })));
  }));
}

// ---------------------------------------------------------------- wiring

function wire() {
  for (const [value, label] of CODE_PAGES) $('code-page').append(el('option', { value, text: label }));
  $('open').addEventListener('click', () => $('file-input').click());
  $('file-input').addEventListener('change', () => {
    const file = $('file-input').files[0];
    $('file-input').value = '';
    openFile(file);
  });
  $('new').addEventListener('click', () => {
    openText('', 'untitled.ins');
    say('Paste or type the file\'s text into the editor; it is checked as you type.', 'info');
    view.focus();
  });
  $('code-page').addEventListener('change', async () => {
    // The same bytes read in another code page: the editor shows them anew.
    try {
      if (!state.haveFile) return;
      if (state.large) return recheck();
      await settled();
      // A worker started after a Cancel holds no bytes yet: the text first.
      if (!state.workerHasFile) await recheck();
      show(await call('recheck', context()));
    } catch (err) {
      if (!err.cancelled) say(`The check failed: ${err.message}`);
    }
  });
  $('rules-toggle').addEventListener('click', () => {
    const panel = $('rules-panel');
    panel.hidden = !panel.hidden;
    $('rules-toggle').setAttribute('aria-expanded', String(!panel.hidden));
    if (!panel.hidden) panel.querySelector('input')?.focus();
  });
  $('rules-reset').addEventListener('click', () => {
    state.choices = {};
    storeChoices();
    renderRules();
    recheck();
  });
  $('filter-severity').addEventListener('change', () => { state.shown = PAGE_SIZE; renderFindings(); });
  $('filter-rule').addEventListener('change', () => { state.shown = PAGE_SIZE; renderFindings(); });
  $('more').addEventListener('click', () => { state.shown += PAGE_SIZE; renderFindings(); });
  $('fix-all').addEventListener('click', () => fix(null));
  $('cancel').addEventListener('click', cancel);
  $('download-file').addEventListener('click', () => download('file'));
  $('download-protocol').addEventListener('click', () => download('protocol'));
  $('download-sarif').addEventListener('click', () => download('sarif'));

  // Drag and drop anywhere on the page.
  let depth = 0;
  document.addEventListener('dragenter', (event) => {
    if (!event.dataTransfer?.types.includes('Files')) return;
    depth++;
    $('drop').hidden = false;
  });
  document.addEventListener('dragleave', () => {
    depth = Math.max(0, depth - 1);
    if (depth === 0) $('drop').hidden = true;
  });
  document.addEventListener('dragover', (event) => event.preventDefault());
  document.addEventListener('drop', (event) => {
    event.preventDefault();
    depth = 0;
    $('drop').hidden = true;
    const file = event.dataTransfer?.files[0];
    if (file) openFile(file);
  });
  // Text pasted outside the editor becomes a new file.
  document.addEventListener('paste', (event) => {
    if (view.dom.contains(event.target)) return;
    if (event.target instanceof HTMLInputElement || event.target instanceof HTMLSelectElement) return;
    const text = event.clipboardData?.getData('text/plain');
    if (text) {
      event.preventDefault();
      openText(text, 'pasted.ins');
    }
  });
  window.addEventListener('beforeunload', (event) => {
    // Typed text lives only in the page: ask before it goes.
    if (state.dirty) event.preventDefault();
  });
}

// Exposed for the page's tests and for whoever wants to look under the hood.
self.veltranePage = {
  view, state, readyAt: undefined, get worker() { return worker; },
};
wire();
startWorker();
