// The checker's side of the page. It runs in a Web Worker started from a
// Blob (a page opened from disk may not start a worker from a file), with
// the engine's script joined in front of this one, so that createVeltraneEngine
// is a global here. It owns the file's bytes: the page sends the editor's
// text, this side turns it into bytes in the file's code page and line end
// and checks them, so that what is checked is what a download would hold.
/* global createVeltraneEngine */
import { lineStarts } from './model.js';

let engine = null;
const file = {
  name: 'untitled.ins',
  bytes: new Uint8Array(0),
  choice: 'auto', // the code page the user chose
  codePage: 65001, // the one the last check used
  lineEnd: '\r\n',
  select: [],
  ignore: [],
  last: null, // the last check's result
  pending: null, // fixed bytes waiting for the user's yes
};

// How many findings of a large file carry their line's text to the page.
const LINE_TEXT_LIMIT = 100000;

function post(message, transfer) {
  self.postMessage(message, transfer || []);
}

// The SARIF log and the protocol are wanted only when downloaded (the log
// costs more than the check on a large file): checks leave them out, a
// download makes them. The page never shows the gnu lines.
function request(extra) {
  return {
    name: file.name,
    codePage: file.choice,
    select: file.select,
    ignore: file.ignore,
    toml: null,
    sarif: false,
    protocol: false,
    gnu: false,
    ...extra,
  };
}

function progress(id, phase) {
  let last = -1;
  return (fraction, stage) => {
    const step = Math.floor(fraction * 100);
    if (step === last) return;
    last = step;
    post({ type: 'progress', id, phase: stage || phase, fraction });
  };
}

// A check of the current bytes; the page gets the findings and, for files
// it shows in the editor, the text; for large ones each finding's line.
// A check of typed text needs no text back: the editor has it (withText
// false).
function check(id, large, withText = true) {
  post({ type: 'progress', id, phase: 'checking', fraction: null });
  const started = performance.now();
  const result = engine.check(file.bytes, request({
    onProgress: progress(id, 'checking'),
    text: withText || large,
  }));
  const seconds = (performance.now() - started) / 1000;
  if (!result.ok) {
    file.last = null;
    return { ok: false, error: result.error };
  }
  file.last = result;
  file.codePage = result.codePage;
  file.lineEnd = result.lineEnd || '\r\n';
  const reply = {
    ok: true,
    codePage: result.codePage,
    lineEnd: file.lineEnd,
    findings: result.findings,
    fileNotes: result.fileNotes || [],
    size: file.bytes.length,
    seconds, // the engine's time, for scripts/bench
  };
  if (large && typeof result.text === 'string') {
    const starts = lineStarts(result.text);
    reply.lines = starts.length;
    reply.findings = result.findings.map((f, k) => {
      if (k >= LINE_TEXT_LIMIT) return f;
      const from = starts[Math.min(f.line, starts.length - 1)];
      const next = f.line + 1 < starts.length ? starts[f.line + 1] - 1 : result.text.length;
      const line = result.text.slice(from, Math.min(next, from + 2000));
      return { ...f, lineText: line.endsWith('\r') ? line.slice(0, -1) : line };
    });
  } else if (typeof result.text === 'string') {
    reply.text = result.text;
  }
  return reply;
}

// Each message brings the page's view of the file (name, code pages, line
// end, rules), so that a worker started after a Cancel or a failure knows
// as much as the one before it.
// A message without them (a download) leaves them as they are.
function take(msg) {
  if (msg.name !== undefined) file.name = msg.name;
  if (msg.codePage !== undefined) file.choice = msg.codePage;
  if (msg.select !== undefined) file.select = msg.select;
  if (msg.ignore !== undefined) file.ignore = msg.ignore;
  if (msg.encodeCodePage) file.codePage = msg.encodeCodePage;
  if (msg.lineEnd) file.lineEnd = msg.lineEnd;
}

const handlers = {
  // A file opened, dropped or pasted: its bytes, or a text to encode.
  open(msg) {
    file.pending = null;
    if (msg.bytes) {
      file.bytes = msg.bytes;
    } else {
      const cp = msg.codePage === 'auto' ? 65001 : msg.codePage;
      const encoded = engine.encode(msg.text, cp, '\r\n');
      if (!encoded.ok) return { ok: false, error: encoded.error };
      file.bytes = encoded.bytes;
    }
    return check(msg.id, msg.large);
  },
  // The editor's text after the user typed.
  edit(msg) {
    if (!msg.encodeCodePage) file.codePage = msg.codePage === 'auto' ? 65001 : msg.codePage;
    const encoded = engine.encode(msg.text, file.codePage, file.lineEnd);
    if (!encoded.ok) return { ok: false, error: encoded.error, encode: true };
    file.bytes = encoded.bytes;
    file.pending = null;
    return check(msg.id, false, false);
  },
  // The same bytes with other rules or another code page.
  recheck(msg) {
    return check(msg.id, msg.large);
  },
  // A fix of one finding or of all, shown as a diff before it is applied.
  fix(msg) {
    const extra = { unsafe: Boolean(msg.unsafe) };
    if (msg.only) extra.only = msg.only;
    post({ type: 'progress', id: msg.id, phase: 'fixing', fraction: null });
    const result = engine.fix(file.bytes, request(extra));
    if (!result.ok) return { ok: false, error: result.error };
    file.pending = result.bytes;
    return { ok: true, diff: result.diff, fixed: result.fixed };
  },
  apply(msg) {
    if (!file.pending) return { ok: false, error: 'There is no fix waiting to be applied.' };
    file.bytes = file.pending;
    file.pending = null;
    return check(msg.id, msg.large);
  },
  download(msg) {
    if (msg.what === 'file') {
      const copy = file.bytes.slice();
      return { ok: true, bytes: copy, transfer: [copy.buffer] };
    }
    if (!file.last) return { ok: false, error: 'There is no check to download yet.' };
    const sarif = msg.what === 'sarif';
    const have = sarif ? typeof file.last.sarif === 'string'
      : file.last.protocolBytes instanceof Uint8Array || typeof file.last.protocol === 'string';
    if (!have) {
      post({ type: 'progress', id: msg.id, phase: 'formatting', fraction: null });
      const result = engine.check(file.bytes, request({ sarif, protocol: !sarif, text: false }));
      if (!result.ok) return { ok: false, error: result.error };
      if (sarif) file.last.sarif = result.sarif;
      else Object.assign(file.last, { protocol: result.protocol, protocolBytes: result.protocolBytes });
    }
    if (sarif) return { ok: true, text: file.last.sarif };
    return { ok: true, text: file.last.protocolBytes || file.last.protocol };
  },
};

self.onmessage = (event) => {
  const msg = event.data;
  if (msg.type === 'init') {
    createVeltraneEngine().then((e) => {
      engine = e;
      post({ type: 'ready', rules: engine.rules() });
    }, (err) => post({ type: 'fatal', error: String(err && err.message || err) }));
    return;
  }
  const handler = handlers[msg.type];
  try {
    if (!engine) throw new Error('The checker is not ready yet.');
    take(msg);
    const reply = handler(msg);
    const transfer = reply.transfer;
    delete reply.transfer;
    post({ type: 'reply', id: msg.id, ...reply }, transfer);
  } catch (err) {
    // The engine aborted (out of memory, most likely): this worker is done
    // for, and the page starts another one.
    post({ type: 'fatal', id: msg.id, error: String(err && err.message || err) });
  }
};
