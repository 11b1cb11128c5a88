// The built page in a real headless Chromium, opened from disk with every
// request that is not file:, blob: or data: refused, driven as a user would:
// files opened through the file input, dropped and pasted, the findings
// panel read and compared with veltrane-check, a jump to a finding, a quick
// fix, "Fix all" and the downloads compared byte for byte with --fix, the
// protocol and SARIF; hostile names; a large file and a Cancel; the rules
// kept in local storage; screenshots in both themes at 360 and 1600 px.
//
//   node page_test.mjs --page build/web --check veltrane-check --chromium /usr/bin/chromium
//        --examples examples [--corpus /work/shared/corpus] --out DIR [--modules web/node_modules]
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import { createRequire } from 'node:module';
import {
  chmodSync, copyFileSync, existsSync, mkdirSync, readdirSync, readFileSync, rmSync, writeFileSync,
} from 'node:fs';
import { basename, join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

const args = {};
for (let i = 2; i < process.argv.length; i += 2) args[process.argv[i].replace(/^--/, '')] = process.argv[i + 1];
const here = import.meta.dirname;
const modules = resolve(args.modules || join(here, '..', '..', '..', 'web', 'node_modules'));
const pageDir = resolve(args.page);
const check = resolve(args.check);
const out = resolve(args.out);
const chromium = args.chromium || '/usr/bin/chromium';

if (!existsSync(chromium)) {
  console.log(`chromium is not installed (${chromium}): the page tests are skipped`);
  process.exit(77);
}
if (!existsSync(join(pageDir, 'index.html'))) {
  console.log(`the page is not built (${pageDir}/index.html): the page tests are skipped`);
  process.exit(77);
}
const puppeteer = createRequire(join(modules, 'x.js'))('puppeteer-core');

rmSync(out, { recursive: true, force: true });
const work = join(out, 'files');
const downloads = join(out, 'downloads');
mkdirSync(work, { recursive: true });
mkdirSync(downloads, { recursive: true });

// ------------------------------------------------------------ the command line

// Runs veltrane-check in the work folder on a copy of the file under its own
// name, so that names in protocol and SARIF are the page's.
function cli(file, options, { fix = false } = {}) {
  const name = basename(file);
  const dir = join(work, `cli-${Date.now()}-${Math.random().toString(36).slice(2)}`);
  mkdirSync(dir);
  copyFileSync(file, join(dir, name));
  chmodSync(join(dir, name), 0o644); // the corpus may be read-only
  const config = options.length ? ['--no-config'] : [];
  const run = spawnSync(check, [...options, ...config, name], { cwd: dir, maxBuffer: 1 << 30 });
  if (run.status > 1) throw new Error(`veltrane-check ${options.join(' ')} ${name}: ${run.stderr}`);
  return { stdout: run.stdout, fixed: fix ? readFileSync(join(dir, name)) : null };
}

// The findings of --format=gnu as "line rule message", notes left out.
function gnuFindings(file, select) {
  const options = ['--format=gnu', '--no-notes'];
  if (select) options.push('--select', select);
  const lines = cli(file, options).stdout.toString('latin1').split('\n');
  const found = [];
  for (const line of lines) {
    const m = /^.*?:(\d+):\d+: (error|warning|note|info): (.*) \[(VLT\d+)\]$/.exec(line);
    if (m) found.push(`${m[1]} ${m[4]} ${m[3]}`);
  }
  return found.sort();
}

// ------------------------------------------------------------ the browser

const refused = [];
const dialogs = [];
const errors = [];
const browser = await puppeteer.launch({
  executablePath: chromium,
  headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--no-first-run'],
});

// Downloads go to the test's folder, set for the whole browser: set through
// a page's session, it would end when that page closes.
const browserSession = await browser.target().createCDPSession();
await browserSession.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });

let failures = 0;
const pages = [];
async function test(name, fn) {
  const started = Date.now();
  try {
    await fn();
    console.log(`ok ${name} (${Date.now() - started} ms)`);
  } catch (err) {
    failures++;
    console.error(`FAIL ${name}\n${err.stack || err}`);
  }
}

async function newPage({ width = 1280, height = 900, scheme = 'light', spoilEngine = false } = {}) {
  const page = await browser.newPage();
  await page.setViewport({ width, height });
  await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: scheme }]);
  await page.setRequestInterception(true);
  page.on('request', (request) => {
    const url = request.url();
    if (/^(file|blob|data):/.test(url)) request.continue();
    else {
      refused.push(url);
      request.abort('blockedbyclient');
    }
  });
  page.on('dialog', (dialog) => {
    // The question before a reload that would lose typed text is the page's
    // own; any other dialog is a fault.
    if (dialog.type() === 'beforeunload') dialog.accept();
    else {
      dialogs.push(dialog.message());
      dialog.dismiss();
    }
  });
  page.on('pageerror', (err) => errors.push(err.message));
  page.on('console', (msg) => {
    if (msg.type() === 'error') errors.push(msg.text());
  });
  // What the Content-Security-Policy refused: nothing, when the page keeps to it.
  await page.evaluateOnNewDocument(() => {
    self.cspViolations = [];
    document.addEventListener('securitypolicyviolation', (e) => {
      self.cspViolations.push(`${e.violatedDirective} ${e.blockedURI}`);
    });
  });
  pages.push(page);
  if (spoilEngine) {
    // The engine refuses to start, as it would without WebAssembly.
    await page.evaluateOnNewDocument(() => {
      Object.defineProperty(self, 'veltraneWorkerSource', {
        configurable: true,
        get() { return this.spoilt; },
        set(source) {
          this.spoilt = `${source}\ncreateVeltraneEngine = () => Promise.reject(new Error('refused for the test'));`;
        },
      });
    });
  }
  const started = Date.now();
  await page.goto(pathToFileURL(join(pageDir, 'index.html')).href);
  await page.waitForSelector(`html[data-ready="${spoilEngine ? 'failed' : 'true'}"]`, { timeout: 20000 });
  page.readyMs = Date.now() - started;
  return page;
}

const checks = (page) => page.evaluate(() => self.veltranePage.state.checks);

async function nextCheck(page, before, timeout = 60000) {
  await page.waitForFunction((n) => self.veltranePage.state.checks > n, { timeout }, before);
}

async function open(page, file) {
  const before = await checks(page);
  const input = await page.$('#file-input');
  await input.uploadFile(file);
  await nextCheck(page, before);
}

async function panel(page) {
  return page.$$eval('#findings-list > li[data-rule]', (items) => items.map((li) =>
    `${li.dataset.line} ${li.dataset.rule} ${li.querySelector('.msg').textContent}`));
}

async function download(page, button) {
  for (const f of readdirSync(downloads)) rmSync(join(downloads, f));
  await page.click(button);
  const deadline = Date.now() + 120000;
  while (Date.now() < deadline) {
    const files = readdirSync(downloads).filter((f) => !f.endsWith('.crdownload'));
    if (files.length === 1) {
      await new Promise((r) => setTimeout(r, 100));
      return { name: files[0], bytes: readFileSync(join(downloads, files[0])) };
    }
    await new Promise((r) => setTimeout(r, 50));
  }
  const said = await page.$eval('#messages', (m) => m.textContent);
  throw new Error(`no download from ${button} (${readdirSync(downloads).join(', ')}; the page says: ${said})`);
}

// Opens the diff of a fix, checks it is shown, applies it.
async function applyFix(page, button, { unsafe = false } = {}) {
  await page.$eval('#unsafe', (box, on) => { box.checked = on; }, unsafe);
  const before = await checks(page);
  await page.click(button);
  await page.waitForSelector('#diff-dialog[open]', { timeout: 30000 });
  const diff = await page.$eval('#diff-text', (pre) => pre.textContent);
  await page.click('#diff-apply');
  await nextCheck(page, before);
  return diff;
}

function sameBytes(actual, expected, what) {
  if (Buffer.compare(Buffer.from(actual), Buffer.from(expected)) !== 0) {
    throw new Error(`${what}: ${actual.length} bytes differ from the expected ${expected.length}`);
  }
}

// ------------------------------------------------------------ the files

const files = [join(resolve(args.examples), 'studio_rack.ins')];
const corpus = args.corpus && existsSync(args.corpus)
  ? readdirSync(args.corpus).filter((f) => f.endsWith('.ins')).sort().map((f) => join(args.corpus, f))
  : [];
if (corpus.length === 0) console.log('no corpus beside the checkout: only the examples are used');
files.push(...corpus.slice(0, 3));

const page = await newPage();

await test('ready from disk', async () => {
  assert.ok(page.readyMs < 5000, `ready after ${page.readyMs} ms`);
});

for (const file of files) {
  const name = basename(file);
  const original = readFileSync(file);

  await test(`${name}: the findings panel against --format=gnu`, async () => {
    await open(page, file);
    assert.deepEqual((await panel(page)).sort(), gnuFindings(file));
    const status = await page.$eval('#file-status', (p) => p.textContent);
    assert.ok(status.startsWith(name), status);
  });

  await test(`${name}: the file downloads with its bytes kept`, async () => {
    const got = await download(page, '#download-file');
    assert.equal(got.name, name);
    sameBytes(got.bytes, original, 'the downloaded file');
  });

  await test(`${name}: protocol and SARIF as the command line writes them`, async () => {
    const protocol = await download(page, '#download-protocol');
    assert.equal(protocol.name, name.replace(/\.[^.]*$/, '.txt'));
    sameBytes(protocol.bytes, cli(file, []).stdout, 'the protocol');
    const sarif = await download(page, '#download-sarif');
    sameBytes(sarif.bytes, cli(file, ['--format=sarif']).stdout, 'the SARIF log');
  });

  await test(`${name}: a finding's link jumps to its place`, async () => {
    const items = await page.$$('#findings-list > li[data-rule]');
    if (items.length === 0) return;
    const target = items[Math.floor(items.length / 2)];
    const line = Number(await target.evaluate((li) => li.dataset.line));
    await (await target.$('a.jump')).click();
    const at = await page.evaluate(() => {
      const { view } = self.veltranePage;
      const head = view.state.selection.main.head;
      return { line: view.state.doc.lineAt(head).number, focused: view.hasFocus };
    });
    assert.deepEqual(at, { line, focused: true });
  });

  await test(`${name}: Fix all gives the bytes of --fix`, async () => {
    const expected = cli(file, ['--fix'], { fix: true }).fixed;
    if (!(await page.$eval('#fix-all', (b) => !b.disabled))) {
      sameBytes(expected, original, 'nothing to fix in the page, but --fix changed the file');
      return;
    }
    if (Buffer.compare(expected, original) === 0) {
      // No safe fix: the page says so rather than shows an empty diff.
      await page.$eval('#unsafe', (box) => { box.checked = false; });
      await page.click('#fix-all');
      await page.waitForFunction(() => document.querySelector('#messages').textContent.includes('nothing to fix'));
      return;
    }
    const diff = await applyFix(page, '#fix-all');
    // The diff the page shows is --diff's, line for line.
    const cliDiff = cli(file, ['--diff']).stdout.toString('latin1');
    assert.equal(diff.split('\n').length, cliDiff.split('\n').length, 'the diff has the lines of --diff');
    sameBytes((await download(page, '#download-file')).bytes, expected, 'the fixed file');
    const fixed = join(work, `fixed-${name}`);
    writeFileSync(fixed, expected);
    assert.deepEqual((await panel(page)).sort(), gnuFindings(fixed), 'the findings left are those of the fixed file');
  });

  await test(`${name}: Fix all with unsafe fixes gives the bytes of --fix --unsafe-fixes`, async () => {
    await open(page, file);
    const expected = cli(file, ['--fix', '--unsafe-fixes'], { fix: true }).fixed;
    if (!(await page.$eval('#fix-all', (b) => !b.disabled))) return;
    await applyFix(page, '#fix-all', { unsafe: true });
    sameBytes((await download(page, '#download-file')).bytes, expected, 'the fixed file');
  });

  await test(`${name}: one quick fix takes its finding away`, async () => {
    await open(page, file);
    const before = await panel(page);
    const button = await page.$('#findings-list .fix-button');
    if (!button) return;
    // Escape closes the diff and changes nothing.
    await button.click();
    await page.waitForSelector('#diff-dialog[open]');
    await page.keyboard.press('Escape');
    await page.waitForSelector('#diff-dialog:not([open])');
    const kept = (await download(page, '#download-file')).bytes;
    sameBytes(kept, original, 'the file after a fix not applied');
    const diff = await applyFix(page, '#findings-list .fix-button');
    assert.ok(/^@@/m.test(diff), 'the diff is shown before the fix');
    const after = await panel(page);
    assert.ok(after.length < before.length, `${before.length} findings before, ${after.length} after`);
    const bytes = (await download(page, '#download-file')).bytes;
    assert.ok(Buffer.compare(bytes, original) !== 0, 'the download holds the fix');
  });
}

await test('every rule on, kept in local storage, back to the defaults', async () => {
  const file = files[files.length - 1];
  await open(page, file);
  await page.click('#rules-toggle');
  const off = await page.$$('#rules-list input:not(:checked)');
  for (const box of off) {
    const before = await checks(page);
    await box.focus();
    await page.keyboard.press('Space');
    await nextCheck(page, before);
  }
  assert.deepEqual((await panel(page)).sort(), gnuFindings(file, 'ALL'));
  await page.reload();
  await page.waitForSelector('html[data-ready="true"]');
  await page.click('#rules-toggle');
  assert.equal(await page.$$eval('#rules-list input:not(:checked)', (l) => l.length), 0,
    'the choice outlives a reload');
  await open(page, file);
  assert.deepEqual((await panel(page)).sort(), gnuFindings(file, 'ALL'));
  const before = await checks(page);
  await page.click('#rules-reset');
  await nextCheck(page, before);
  assert.deepEqual((await panel(page)).sort(), gnuFindings(file));
  await page.click('#rules-toggle');
});

await test('the code page chooser reads the same bytes anew', async () => {
  await open(page, files[0]);
  const cases = [['65001', 'code page 65001'], ['932', 'code page 932'], ['auto', 'code page 1252']];
  for (const [value, words] of cases) {
    const before = await checks(page);
    await page.select('#code-page', value);
    await nextCheck(page, before);
    const status = await page.$eval('#file-status', (p) => p.textContent);
    assert.ok(status.includes(words), `${value}: ${status}`);
  }
  sameBytes((await download(page, '#download-file')).bytes, readFileSync(files[0]), 'the bytes after the changes');
});

await test('filters by severity and rule', async () => {
  await open(page, files[0]);
  const all = await panel(page);
  await page.select('#filter-severity', 'warning');
  const warnings = await panel(page);
  assert.ok(warnings.length > 0 && warnings.length < all.length);
  await page.select('#filter-severity', 'all');
  await page.select('#filter-rule', 'VLT1003');
  const refs = await panel(page);
  assert.ok(refs.length > 0 && refs.every((f) => f.split(' ')[1] === 'VLT1003'));
  await page.select('#filter-rule', 'all');
});

const HOSTILE = '<img src=x onerror=alert(1)>';
await test('hostile names show as text', async () => {
  const file = join(work, `${HOSTILE}.ins`);
  writeFileSync(file, `.Patch Names\r\n[${HOSTILE}]\r\n0=<b>bold</b>\r\n[${HOSTILE}]\r\n` +
    `.Instrument Definitions\r\n[Synth]\r\nPatch[*]=<script>alert(2)</script>\r\n`);
  await open(page, file);
  const texts = await panel(page);
  assert.ok(texts.some((t) => t.includes(`"${HOSTILE}"`)), texts.join('\n'));
  const status = await page.$eval('#file-status', (p) => p.textContent);
  assert.ok(status.startsWith(`${HOSTILE}.ins`), status);
  // The hover over the underlined label: message, notes and explanation.
  const where = await page.evaluate(() => {
    const { view } = self.veltranePage;
    const pos = view.state.doc.line(2).from + 3;
    const c = view.coordsAtPos(pos);
    return { x: c.left + 2, y: (c.top + c.bottom) / 2 };
  });
  await page.mouse.move(where.x, where.y);
  await page.waitForSelector('.cm-tooltip-lint', { timeout: 5000 });
  const hover = await page.$eval('.cm-tooltip-lint', (t) => t.textContent);
  assert.ok(hover.includes(HOSTILE), hover);
  assert.ok(hover.includes('VLT100'), hover);
  await page.mouse.move(0, 0);
  assert.equal(await page.$$eval('img, script:not([src]), b', (l) => l.length), 0, 'no markup from the file');
  assert.deepEqual(dialogs, []);
});

await test('typing re-checks; a character the code page cannot hold keeps the text', async () => {
  await open(page, files[0]);
  const before = await checks(page);
  await page.evaluate(() => {
    const { view } = self.veltranePage;
    view.dispatch({ selection: { anchor: view.state.doc.length } });
    view.focus();
  });
  await page.keyboard.type('\nControl=Nowhere Here\n', { delay: 5 });
  await nextCheck(page, before);
  await page.waitForFunction(() => [...document.querySelectorAll('#findings-list .msg')]
    .some((m) => m.textContent.includes('Nowhere Here')), { timeout: 20000 });
  const text = await page.evaluate(() => self.veltranePage.view.state.doc.toString());
  await page.keyboard.type('\u6f22');
  await page.waitForFunction(() => document.querySelector('#messages').textContent.includes('code page'),
    { timeout: 20000 });
  const after = await page.evaluate(() => self.veltranePage.view.state.doc.toString());
  assert.equal(after, `${text}\u6f22`, 'the typed text stays');
});

await test('typing in a CR LF file keeps its line ends and its bytes', async () => {
  const file = join(work, 'crlf.ins');
  const text = '.Patch Names\r\n[Bank \u00e9]\r\n0=Piano\r\n.Instrument Definitions\r\n[Synth]\r\nPatch[*]=Bank \u00e9\r\n';
  writeFileSync(file, Buffer.from(text, 'latin1'));
  await open(page, file);
  assert.equal(await page.evaluate(() => self.veltranePage.view.state.doc.lines), 7, 'one editor line a line');
  const cases = [
    // [where, what is typed, the bytes after it]
    ['end', '; added\n', `${text}; added\r\n`],
    ['line 3', '1=Organ\n', text.replace('0=Piano\r\n', '0=Piano\r\n1=Organ\r\n') + '; added\r\n'],
  ];
  for (const [where, typed, expected] of cases) {
    const before = await checks(page);
    await page.evaluate((at, insert) => {
      const { view } = self.veltranePage;
      const from = at === 'end' ? view.state.doc.length : view.state.doc.line(4).from;
      view.dispatch({ changes: { from, insert } });
    }, where, typed);
    await nextCheck(page, before);
    sameBytes((await download(page, '#download-file')).bytes, Buffer.from(expected, 'latin1'), where);
  }
});

await test('drop and paste open files', async () => {
  const content = readFileSync(files[0], 'latin1');
  let before = await checks(page);
  await page.evaluate((text) => {
    const dt = new DataTransfer();
    dt.items.add(new File([text], 'dropped.ins'));
    document.querySelector('.file').dispatchEvent(new DragEvent('drop', { dataTransfer: dt, bubbles: true, cancelable: true }));
  }, content);
  await nextCheck(page, before);
  assert.ok((await page.$eval('#file-status', (p) => p.textContent)).startsWith('dropped.ins'));
  const dropped = await panel(page);
  before = await checks(page);
  await page.evaluate((text) => {
    const dt = new DataTransfer();
    dt.setData('text/plain', text);
    document.querySelector('#findings-title').dispatchEvent(new ClipboardEvent('paste', { clipboardData: dt, bubbles: true, cancelable: true }));
  }, content.replace(/\r\n/g, '\n'));
  await nextCheck(page, before);
  assert.ok((await page.$eval('#file-status', (p) => p.textContent)).startsWith('pasted.ins'));
  assert.deepEqual((await panel(page)).sort(), dropped.sort());
  // Pasted text beyond one code page stays as it was pasted, kept as UTF-8.
  const wide = '.Patch Names\n[\u00dcbung \u6f22\u5b57]\n0=Caf\u00e9\n';
  before = await checks(page);
  await page.evaluate((text) => {
    const dt = new DataTransfer();
    dt.setData('text/plain', text);
    document.querySelector('#findings-title').dispatchEvent(new ClipboardEvent('paste', { clipboardData: dt, bubbles: true, cancelable: true }));
  }, wide);
  await nextCheck(page, before);
  assert.equal(await page.evaluate(() => self.veltranePage.view.state.doc.toString()), wide);
  assert.ok((await panel(page)).some((f) => f.includes('\u00dcbung \u6f22\u5b57')), 'the label as pasted');
  assert.ok((await page.$eval('#file-status', (p) => p.textContent)).includes('code page 65001'));
  before = await checks(page);
  await page.evaluate(() => {
    const { view } = self.veltranePage;
    view.dispatch({ changes: { from: view.state.doc.length, insert: '1=\u00c5ngstr\u00f6m \u97f3\n' } });
  });
  await nextCheck(page, before);
  assert.equal(await page.$eval('#messages', (m) => m.textContent), '', 'typing more of them is no fault');
  const saved = (await download(page, '#download-file')).bytes;
  assert.equal(Buffer.from(saved).toString('utf8'), `${wide}1=\u00c5ngstr\u00f6m \u97f3\n`.replace(/\n/g, '\r\n'));
});

await test('a file too large or unreadable, a checker that fails: messages, and the text stays', async () => {
  await open(page, files[0]);
  const before = await checks(page);
  await page.evaluate(() => {
    const { view } = self.veltranePage;
    view.dispatch({ changes: { from: view.state.doc.length, insert: '\n; typed here' } });
  });
  await nextCheck(page, before);
  const text = await page.evaluate(() => self.veltranePage.view.state.doc.toString());
  const cases = [
    // [what goes wrong, words the message must hold]
    ['size', 'too large for this browser'],
    ['read', 'could not be read'],
    ['worker', 'The checker stopped'],
  ];
  for (const [what, words] of cases) {
    await page.evaluate((spoil) => {
      document.querySelector('#messages').replaceChildren();
      if (spoil === 'worker') {
        // A message the worker knows nothing of fails it as an abort would.
        self.veltranePage.worker.postMessage({ type: 'no such thing', id: 0 });
        return;
      }
      const file = new File(['[A]'], 'spoilt.ins');
      if (spoil === 'size') Object.defineProperty(file, 'size', { value: 900 * 1024 * 1024 });
      else file.arrayBuffer = () => Promise.reject(new DOMException('gone', 'NotReadableError'));
      const dt = new DataTransfer();
      dt.items.add(file);
      document.body.dispatchEvent(new DragEvent('drop', { dataTransfer: dt, bubbles: true, cancelable: true }));
    }, what);
    await page.waitForFunction((w) => document.querySelector('#messages').textContent.includes(w),
      { timeout: 10000 }, words);
    assert.equal(await page.evaluate(() => self.veltranePage.view.state.doc.toString()), text, what);
  }
  // A new worker takes over: the text is checked again as the user types.
  await page.waitForSelector('html[data-ready="true"]');
  const again = await checks(page);
  await page.evaluate(() => {
    const { view } = self.veltranePage;
    view.dispatch({ changes: { from: view.state.doc.length, insert: '\nControl=After Restart' } });
  });
  await nextCheck(page, again);
  assert.ok((await panel(page)).some((f) => f.includes('After Restart')));
});

await test('keyboard alone: Tab to a finding, Enter jumps to it', async () => {
  await open(page, files[0]);
  await page.evaluate(() => document.activeElement?.blur());
  let reached = false;
  for (let i = 0; i < 60 && !reached; i++) {
    await page.keyboard.press('Tab');
    reached = await page.evaluate(() => document.activeElement?.classList.contains('jump'));
  }
  assert.ok(reached, 'a finding is reachable by Tab');
  const line = await page.evaluate(() => Number(document.activeElement.closest('li').dataset.line));
  // Its rule's explanation opens from the keyboard too.
  const link = await page.evaluateHandle(() => document.activeElement);
  // Past its fix and its notes, if it has them.
  for (let i = 0; i < 6 && await page.evaluate(() => document.activeElement.tagName !== 'SUMMARY'); i++) {
    await page.keyboard.press('Tab');
  }
  assert.equal(await page.evaluate(() => document.activeElement.tagName), 'SUMMARY');
  await page.keyboard.press('Enter');
  // The explanation comes with the details' toggle event, a moment later.
  await page.waitForFunction(() => document.activeElement.parentElement.childElementCount > 1);
  const about = await page.evaluate(() => document.activeElement.parentElement.textContent);
  assert.ok(about.length > 100 && /VLT\d{4}/.test(about), about);
  await link.focus();
  await page.keyboard.press('Enter');
  const at = await page.evaluate(() => {
    const { view } = self.veltranePage;
    return { line: view.state.doc.lineAt(view.state.selection.main.head).number, focused: view.hasFocus };
  });
  assert.deepEqual(at, { line, focused: true });
});

// A file past the editor's limit: the findings with their lines, and Fix all
// and the download still work.
function bigFile(name, mb) {
  const file = join(work, name);
  const unit = readFileSync(files[0]);
  const parts = [];
  let size = 0;
  for (let k = 0; size < mb * 1024 * 1024; k++) {
    const copy = Buffer.from(unit.toString('latin1').replace(/\[([^\]]*)\]/g, `[$1 ${k}]`), 'latin1');
    parts.push(copy);
    size += copy.length;
  }
  // A last line without a line end: a safe fix at the very end.
  parts.push(Buffer.from('[Last]\r\n0=End'));
  writeFileSync(file, Buffer.concat(parts));
  return file;
}

await test('a file too large for the editor', async () => {
  const file = bigFile('large.ins', 6);
  // Typed just before: that check must not stand in for the new file.
  await page.evaluate(() => {
    const { view } = self.veltranePage;
    view.dispatch({ changes: { from: 0, insert: '; typed\n' } });
  });
  await open(page, file);
  await new Promise((r) => setTimeout(r, 400));
  assert.ok(await page.$eval('#large', (d) => !d.hidden));
  assert.ok(await page.$eval('#editor', (d) => d.hidden));
  const lineText = await page.$eval('#findings-list .line-text', (c) => c.textContent);
  assert.ok(lineText.length > 0);
  assert.equal((await panel(page)).length, 500, 'the panel shows a page of findings');
  await applyFix(page, '#fix-all');
  sameBytes((await download(page, '#download-file')).bytes, cli(file, ['--fix'], { fix: true }).fixed,
    'the fixed large file');
});

await test('50 MB: progress, Cancel, the page stays responsive and keeps working', async () => {
  const file = bigFile('huge.ins', 50);
  const input = await page.$('#file-input');
  await input.uploadFile(file);
  await page.waitForSelector('#progress:not([hidden])', { timeout: 20000 });
  const t = Date.now();
  await page.evaluate(() => document.title);
  assert.ok(Date.now() - t < 2000, 'the page answers during the check');
  await page.focus('#cancel');
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => document.querySelector('#messages').textContent.includes('cancelled'));
  assert.equal(await page.evaluate(() => document.activeElement.textContent), 'Check again',
    'the focus goes where the keyboard can go on');
  await page.waitForSelector('html[data-ready="true"]', { timeout: 20000 });
  await open(page, files[0]);
  assert.deepEqual((await panel(page)).sort(), gnuFindings(files[0]));
});

await test('an engine that cannot start: one message, no endless restarts', async () => {
  const spoilt = await newPage({ spoilEngine: true });
  await new Promise((r) => setTimeout(r, 1000));
  const messages = await spoilt.$$eval('#messages .message', (l) => l.map((m) => m.textContent));
  assert.equal(messages.length, 1, messages.join('\n'));
  assert.ok(messages[0].includes('cannot start') && messages[0].includes('refused for the test'), messages[0]);
  await spoilt.close();
});

await test('50 MB checked to the end: its findings, its bytes', async () => {
  // A real file with 50 MB of comment lines after it: big, yet quick to check.
  const file = join(work, 'long.ins');
  const filler = Buffer.from(`; ${'filler '.repeat(30)}\r\n`);
  const parts = [readFileSync(files[0])];
  for (let size = 0; size < 50 * 1024 * 1024; size += filler.length) parts.push(filler);
  writeFileSync(file, Buffer.concat(parts));
  const before = await checks(page);
  // Comment lines are checked quickly: the bar, which comes up only for a
  // check of more than a moment, may not come at all (the test above, of a
  // file with many findings, sees it and cancels the check).
  await (await page.$('#file-input')).uploadFile(file);
  await nextCheck(page, before, 300000);
  assert.deepEqual((await panel(page)).sort(), gnuFindings(file));
  sameBytes((await download(page, '#download-file')).bytes, readFileSync(file), 'the 50 MB file');
  rmSync(file);
});

for (const scheme of ['light', 'dark']) {
  for (const width of [360, 1600]) {
    await test(`screenshot ${scheme} ${width}px`, async () => {
      const shot = await newPage({ width, height: width === 360 ? 780 : 1000, scheme });
      await open(shot, files[0]);
      const overflow = await shot.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
      assert.ok(overflow <= 0, `the page is ${overflow} px wider than the window`);
      await shot.screenshot({ path: join(out, `page-${scheme}-${width}.png`), fullPage: width === 360 });
      await shot.close();
    });
  }
}

await test('the Content-Security-Policy is in force: no connection, no inline script', async () => {
  const probe = await newPage();
  const errorsBefore = errors.length;
  const outcome = await probe.evaluate(async () => {
    let fetched = 'no';
    try {
      await fetch('https://example.com/');
      fetched = 'yes';
    } catch {
      // refused, as it must be
    }
    const script = document.createElement('script');
    script.textContent = 'self.inlineRan = true';
    document.body.append(script);
    await new Promise((r) => setTimeout(r, 100));
    const found = self.cspViolations.splice(0);
    return { fetched, inline: Boolean(self.inlineRan), violations: found.map((v) => v.split(' ')[0]).sort() };
  });
  await probe.close();
  // What the policy refused here is reported on the console: expected.
  errors.splice(errorsBefore);
  assert.deepEqual(outcome, { fetched: 'no', inline: false, violations: ['connect-src', 'script-src-elem'] });
});

await test('nothing left the computer, no script ran from a file, no error', async () => {
  assert.deepEqual(refused, []);
  for (const p of pages) {
    if (!p.isClosed()) assert.deepEqual(await p.evaluate(() => self.cspViolations), []);
  }
  assert.deepEqual(dialogs, []);
  assert.deepEqual(errors.filter((e) => !/Failed to load resource/.test(e)), []);
});

await browser.close();
if (failures) {
  console.error(`${failures} failed`);
  process.exit(1);
}
console.log(`all passed; screenshots in ${out}`);
