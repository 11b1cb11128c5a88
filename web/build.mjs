// Builds the page into one folder that works from any static host and
// straight from disk: index.html, veltrane.js (the page), veltrane-worker.js
// (the engine and the worker's code as one string, started as a Blob, since
// a page opened from a file may neither fetch nor start a worker from a
// file), veltrane.css and rules.html, made from the engine's rule table.
//
//   node web/build.mjs [--engine build-web/web/veltrane-engine.js] [--out build/web]
//                      [--skip-without-engine]
// (the last for the tests: without the engine, say so and exit 77)
import { build } from 'esbuild';
import { createRequire } from 'node:module';
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { rulesPage } from './page/rules-page.js';

const here = dirname(fileURLToPath(import.meta.url));
const root = resolve(here, '..');

function option(name, fallback) {
  const i = process.argv.indexOf(name);
  return i >= 0 && process.argv[i + 1] ? resolve(process.argv[i + 1]) : fallback;
}

const enginePath = option('--engine', join(root, 'build-web', 'web', 'veltrane-engine.js'));
const out = option('--out', join(root, 'build', 'web'));

// The page's own scripts, and WebAssembly; the worker comes from a Blob; no
// connection anywhere. Styles: CodeMirror sets some inline.
export const CSP = [
  "default-src 'none'",
  "script-src 'self' 'wasm-unsafe-eval'",
  'worker-src blob:',
  "style-src 'self' 'unsafe-inline'",
  "img-src 'self' data:",
  "connect-src 'none'",
  "form-action 'none'",
  "base-uri 'none'",
].join('; ');

async function bundle(entry, extra = {}) {
  const result = await build({
    entryPoints: [join(here, 'page', entry)],
    bundle: true,
    minify: true,
    format: 'iife',
    target: ['es2020'],
    write: false,
    legalComments: 'none',
    ...extra,
  });
  return result.outputFiles[0].text;
}

let engineSource;
try {
  engineSource = readFileSync(enginePath, 'utf8');
} catch (err) {
  console.error(`build.mjs: the engine ${enginePath} is missing (${err.code}); build build-web first`);
  process.exit(process.argv.includes('--skip-without-engine') ? 77 : 1);
}

mkdirSync(out, { recursive: true });
const page = await bundle('main.js');
const workerCode = await bundle('worker.js');
writeFileSync(join(out, 'veltrane.js'), page);
writeFileSync(join(out, 'veltrane-worker.js'),
  `self.veltraneWorkerSource=${JSON.stringify(`${engineSource}\n${workerCode}`)};\n`);
writeFileSync(join(out, 'veltrane.css'), readFileSync(join(here, 'page', 'veltrane.css')));
writeFileSync(join(out, 'index.html'),
  readFileSync(join(here, 'page', 'index.html'), 'utf8').replace('@CSP@', CSP));

const createEngine = createRequire(import.meta.url)(enginePath);
const engine = await createEngine();
writeFileSync(join(out, 'rules.html'), rulesPage(engine.rules()));
console.log(`build.mjs: the page is in ${out}`);
