// The page in headless Chromium, opened from disk: how soon it is ready
// (from the start of the navigation to the engine answering in its worker),
// and how long a file's check takes with every rule on, as the median of
// RUNS runs: the engine's check call in the worker (check_s, what the
// command line's run compares with), and from the file input to the
// findings in the panel (shown_s: reading the file, the editor taking its
// text, the panel). Prints one line of JSON for scripts/bench --web.
//
//   node bench/web_bench.mjs --page build-bench/web --file gen-10.ins --runs 5
//        [--chromium /usr/bin/chromium] [--modules web/node_modules]
import { createRequire } from 'node:module';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

const args = {};
for (let i = 2; i < process.argv.length; i += 2) args[process.argv[i].replace(/^--/, '')] = process.argv[i + 1];
const modules = resolve(args.modules || join(import.meta.dirname, '..', 'web', 'node_modules'));
const puppeteer = createRequire(join(modules, 'x.js'))('puppeteer-core');
const runs = Number(args.runs || 5);
const median = (xs) => xs.slice().sort((a, b) => a - b)[Math.floor((xs.length - 1) / 2)];

const browser = await puppeteer.launch({
  executablePath: args.chromium || '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--no-first-run'],
});
const url = pathToFileURL(join(resolve(args.page), 'index.html')).href;

// Ready: a fresh page each time, timed by the page's own clock from the
// start of the navigation.
const ready = [];
for (let i = 0; i < runs; i++) {
  const page = await browser.newPage();
  await page.goto(url);
  await page.waitForSelector('html[data-ready="true"]', { timeout: 30000 });
  ready.push(await page.evaluate(() => self.veltranePage.readyAt));
  await page.close();
}

// Every rule on, as --select ALL: the rules that are off by default are
// turned on in the page's stored choice.
const page = await browser.newPage();
await page.goto(url);
await page.waitForSelector('html[data-ready="true"]');
await page.evaluate(() => {
  const on = {};
  for (const r of self.veltranePage.state.rules) if (!r.defaultOn) on[r.id] = true;
  localStorage.setItem('veltrane.rules', JSON.stringify(on));
});
await page.reload();
await page.waitForSelector('html[data-ready="true"]');
const check = [];
const shown = [];
let findings = 0;
for (let i = 0; i <= runs; i++) {
  const before = await page.evaluate(() => self.veltranePage.state.checks);
  const input = await page.$('#file-input');
  const started = Date.now();
  await input.uploadFile(resolve(args.file));
  await page.waitForFunction((n) => self.veltranePage.state.checks > n, { timeout: 300000, polling: 10 }, before);
  // The first run warms the engine up, as the command line's warm-up run
  // pulls the file into the page cache.
  if (i > 0) {
    shown.push((Date.now() - started) / 1000);
    check.push(await page.evaluate(() => self.veltranePage.state.checkSeconds));
  }
  findings = await page.evaluate(() => self.veltranePage.state.findings.length);
}
await page.evaluate(() => localStorage.removeItem('veltrane.rules'));
await browser.close();
console.log(JSON.stringify({ ready_ms: Math.round(median(ready)), check_s: median(check),
  shown_s: median(shown), findings }));
