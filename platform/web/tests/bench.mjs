// Figures of the web page, no verdicts: host time per request/answer
// exchange and the paced ratio (bench/update_bench built with the page's
// Asyncify flags, run in headless Chromium, against the native build in the
// same run), the gzip weight of a first visit, and the time to a usable page
// online and offline (from the service worker's cache), and the time the
// page takes to verify a catalogue of 1,000 packages (one trusted key's
// signature, or a key chain from root keys, against the native bench) and
// pick the ones that fit the demo's stream controller.
import { execFileSync } from 'node:child_process';
import { existsSync } from 'node:fs';
import { mkdir, readFile, readdir, rm, writeFile } from 'node:fs/promises';
import { join } from 'node:path';
import { gzipSync } from 'node:zlib';
import { createHash } from 'node:crypto';
import { BUILD, CHAIN_BUILD, FOR_BLOCK, FOR_STREAM, ROOT, catalogueText, launch, serve } from './harness.mjs';

const NATIVE = join(ROOT, 'build/linux-release/bin/update_bench');
const NATIVE_CATALOGUE = join(ROOT, 'build/linux-release/bin/catalogue_bench');

function rows(table) {
  const out = {};
  for (const line of table.split('\n')) {
    const m = line.match(/\|\s*(\w+)\s*\|\s*(at once|paced)[^|]*\|[^|]*\|[^|]*\|\s*(?:ratio )?([\d.]+)/);
    if (m) out[`${m[1]} ${m[2]}`] = Number(m[3]);
  }
  return out;
}

// 1,000 entries of one record each, of every device type the demo
// packages hold, at versions 1.40 to 1.99: as a maintainer's years of releases.
const CATALOGUE_PACKAGES = 1000;
function benchCatalogue() {
  const types = [0, 0x3010, 0x5111];
  const packages = Array.from({ length: CATALOGUE_PACKAGES }, (_, i) => ({
    file: `fw/pad-${i}.dat`, size: 40056, sha256: createHash('sha256').update(String(i)).digest('hex'),
    channel: i % 10 ? 'stable' : 'beta', date: '2026-12-01',
    notes: { en: `Release ${i}: fixes and improvements.`, zh: `版本 ${i}：修复与改进。` },
    records: [{ deviceType: types[i % types.length], desVersion: 140 + (i % 60), revision: i % 7,
                imageAddress: 0x08004000, imageSize: 24576 }],
    for: types[i % types.length] ? FOR_BLOCK([types[i % types.length]]) : FOR_STREAM,
  }));
  return catalogueText(packages, 1);
}

// The bench catalogue's .sig by keys (signify key files' paths without .sec), and the key sets of the chain build
// (its roots r1-r3; a 4-step rotation to two catalogue keys, both needed),
// written to a folder the native bench reads too.
const signify = (...args) => execFileSync('signify-openbsd', args, { stdio: 'pipe' });
const ROOTS = [1, 2, 3].map((n) => join(CHAIN_BUILD, `test_roots/root${n}`));
async function signatures(file, keys) {
  let sig = '';
  for (const key of keys) {
    await rm(`${file}.one`, { force: true });
    signify('-S', '-s', `${key}.sec`, '-m', file, '-x', `${file}.one`);
    sig += await readFile(`${file}.one`, 'utf8');
  }
  await writeFile(`${file}.sig`, sig);
  await rm(`${file}.one`, { force: true });
  return sig;
}
async function catalogueFiles(text, keys, folder = join(BUILD, 'bench')) {
  await mkdir(join(folder, 'keys'), { recursive: true });
  const file = join(folder, 'catalogue.json');
  await writeFile(file, text);
  return { folder, text, signature: await signatures(file, keys), keySets: [] };
}
async function chainFiles(text) {
  const folder = join(CHAIN_BUILD, 'bench');
  await rm(folder, { recursive: true, force: true });
  await mkdir(join(folder, 'keys'), { recursive: true });
  const key = (name) => {
    const base = join(folder, name);
    signify('-G', '-n', '-c', `bench ${name}`, '-p', `${base}.pub`, '-s', `${base}.sec`);
    return base;
  };
  const [r4, c1, c2, c3, c4] = ['r4', 'c1', 'c2', 'c3', 'c4'].map(key);
  const line = async (base) => (await readFile(`${base}.pub`, 'utf8')).split('\n')[1];
  const [r1, r2, r3] = ROOTS;
  const sets = [[[r1, r2, r3], [c1], 1, [r1, r2]], [[r1, r2, r3], [c2], 1, [r2, r3]],
                [[r2, r3, r4], [c2], 1, [r2, r3]], [[r2, r3, r4], [c3, c4], 2, [r3, r4]]];
  const keySets = [];
  for (const [i, [roots, catalogueKeys, threshold, signers]] of sets.entries()) {
    const keys = JSON.stringify({ format: 2, type: 'keys', version: i + 1, expires: '2099-01-01T00:00:00Z',
      root: { threshold: 2, keys: await Promise.all(roots.map(line)) },
      catalogue: { threshold, keys: await Promise.all(catalogueKeys.map(line)) } });
    const file = join(folder, `keys/${i + 1}.keys.json`);
    await writeFile(file, keys);
    keySets.push([keys, await signatures(file, signers)]);
  }
  const files = await catalogueFiles(text, [c3, c4], folder);
  return { ...files, keySets };
}

// Runs of the page's load and pick in fresh pages at origin.
async function catalogueRounds(origin, files) {
  const rounds = [];
  for (let round = 0; round < 5; round++) {
    const context = await browser.newContext();
    const fresh = await context.newPage();
    await fresh.goto(`${origin}/site/index.html?simulate=stream`);
    await fresh.waitForSelector('body[data-ready="true"]');
    rounds.push(await fresh.evaluate(async ({ text, signature, keySets }) => {
      const { Catalogue } = await import('/site/catalogue.js');
      const quiet = () => {};
      const host = { hid: null, log: quiet, sleep: (ms, done) => setTimeout(() => done(1), ms),
        ui: { title: quiet, enableUpdate: quiet, doneLabel: quiet, message: (b, c, o, done) => done(1),
              progress: (p, done) => done(), chooseFile: (l, done) => done(null) } };
      const m = await createUpdaterModule({ webHost: host });
      const app = m._web_app_create(1, 0);
      await m.ccall('web_app_start', 'number', ['number'], [app], { async: true });
      const served = new Map([['/bench/catalogue.json', text], ['/bench/catalogue.json.sig', signature]]);
      keySets.forEach(([keys, sig], i) => {
        served.set(`/bench/keys/${i + 1}.keys.json`, keys);
        served.set(`/bench/keys/${i + 1}.keys.json.sig`, sig);
      });
      const encoder = new TextEncoder();
      const fetches = { get: async (url) => (served.has(new URL(url).pathname)
        ? { bytes: encoder.encode(served.get(new URL(url).pathname)) } : { problem: 'status', status: 404 }) };
      const memory = { load: async () => ({ absent: true }), save: async () => '' };
      const take = (pointer) => { const s = m.UTF8ToString(pointer); m._free(pointer); return s; };
      const catalogue = new Catalogue(m, take, false, fetches, memory, quiet);
      const runs = [];
      for (let i = 0; i < 7; i++) {
        const start = performance.now();
        const loaded = await catalogue.load({ url: new URL('/bench/catalogue.json', location.href), required: true });
        if (!loaded.trust) throw new Error(`bench catalogue refused: ${loaded.problem}`);
        const found = catalogue.fitting(app, true).length;
        runs.push({ ms: performance.now() - start, found });
      }
      return runs;
    }, files));
    await context.close();
  }
  return rounds;
}

const [browser, site, chainSite] = await Promise.all([launch(), serve(), serve({}, CHAIN_BUILD)]);
try {
  const page = await browser.newPage();
  await page.goto(`${site.origin}/site/index.html?simulate=stream`);
  await page.waitForSelector('body[data-ready="true"]');

  // The benchmark module in the same browser, its output collected.
  const table = await page.evaluate(async () => {
    const source = await (await fetch('/testsim/update_bench.js')).text();
    const create = new Function(`${source}; return createUpdateBench;`)();
    let text = '';
    await new Promise((resolve) => create({ locateFile: (f) => `/testsim/${f}`,
      print: (line) => { text += `${line}\n`; }, onExit: resolve }));
    return text;
  });
  const web = rows(table);

  // Verify and pick as the page does it (site/catalogue.js's load: the
  // bytes written to the module's file system, the key sets handed over,
  // the module's signature questions answered by WebCrypto until it asks
  // none, the SHA-256; the fitting list read back as JSON), the files
  // served from memory, in a fresh page each round: the first call is what
  // a visitor waits for (the module's code not yet optimised), the next ones
  // show the steady state. Nothing remembered: judged as on a first visit.
  const catalogueText = benchCatalogue();
  const single = await catalogueFiles(catalogueText, [join(BUILD, 'test_key/test')]);
  const chain = await chainFiles(catalogueText);
  const singleRounds = await catalogueRounds(site.origin, single);
  const chainRounds = await catalogueRounds(chainSite.origin, chain);
  const sorted = (values) => values.sort((a, b) => a - b);
  const figures = (rounds) => ({ first: sorted(rounds.map((runs) => runs[0].ms)),
                                 steady: sorted(rounds.map((runs) => runs[runs.length - 1].ms)),
                                 found: rounds[0][0].found });
  const catalogueFigures = { 'one trusted key, 1 signature': figures(singleRounds),
                             'root keys, a 4-step key chain, 2 signatures': figures(chainRounds) };
  const nativeChain = existsSync(NATIVE_CATALOGUE)
    ? execFileSync(NATIVE_CATALOGUE, [chain.folder, '2', ...ROOTS.map((r) => `${r}.pub`)], { encoding: 'utf8' }).match(/([\d.]+) ms/)?.[1]
    : null;
  const native = existsSync(NATIVE) ? rows(execFileSync(NATIVE, { encoding: 'utf8' })) : {};

  // Everything a first visit loads: the page, and what the service worker
  // caches behind it (the demo packages, the installed app's PNG icons).
  const siteDir = join(BUILD, 'site');
  let raw = 0, gz = 0, behindGz = 0;
  for (const file of await readdir(siteDir)) {
    const bytes = await readFile(join(siteDir, file));
    const packed = gzipSync(bytes, { level: 9 }).length;
    raw += bytes.length;
    gz += packed;
    if (/\.(dat|png)$|^demo_catalogue/.test(file)) behindGz += packed;
  }

  // Navigation start to the page's ready mark, fresh context each time.
  const ready = [];
  for (let i = 0; i < 5; i++) {
    const context = await browser.newContext();
    const p = await context.newPage();
    await p.goto(`${site.origin}/site/index.html`);
    await p.waitForSelector('body[data-ready="true"]');
    ready.push(Number(await p.getAttribute('body', 'data-ready-ms')));
    await context.close();
  }
  ready.sort((a, b) => a - b);

  // The same offline: one visit online, then reloads with the network gone.
  const offline = [];
  const context = await browser.newContext();
  const p = await context.newPage();
  await p.goto(`${site.origin}/site/index.html`);
  await p.waitForFunction(() => navigator.serviceWorker.controller !== null);
  await context.setOffline(true);
  site.down(true);
  for (let i = 0; i < 5; i++) {
    await p.reload();
    await p.waitForSelector('body[data-ready="true"]');
    offline.push(Number(await p.getAttribute('body', 'data-ready-ms')));
  }
  site.down(false);
  await context.close();
  offline.sort((a, b) => a - b);

  console.log('| figure | browser (Asyncify) | native | ratio |');
  console.log('|---|---|---|---|');
  for (const family of ['stream', 'block']) {
    const w = web[`${family} at once`], n = native[`${family} at once`];
    console.log(`| ${family}: host time per exchange, answers at once | ${w} us | ${n ?? '-'} us | ${n ? (w / n).toFixed(1) + 'x' : '-'} |`);
  }
  for (const family of ['stream', 'block'])
    console.log(`| ${family}: paced ratio (update time / frame limit) | ${web[`${family} paced`]} | ${native[`${family} paced`] ?? '-'} | |`);
  console.log(`| page weight, first visit | ${(gz / 1024).toFixed(1)} KB gzip (${(raw / 1024).toFixed(1)} KB raw; ${((gz - behindGz) / 1024).toFixed(1)} KB gzip before the worker's caching) | | |`);
  const range = (ms) => `${ms[2].toFixed(1)} ms (${ms[0].toFixed(1)}-${ms[4].toFixed(1)})`;
  for (const [name, f] of Object.entries(catalogueFigures)) {
    const native = name.startsWith('root') && nativeChain ? `${nativeChain} ms` : '';
    console.log(`| catalogue of ${CATALOGUE_PACKAGES} packages, ${name}: verify and pick (${f.found} fit), first call in a fresh page, median of 5 (min-max) | ${range(f.first)} | ${native} | |`);
    console.log(`| the same, seventh call (steady state) | ${range(f.steady)} | | |`);
  }
  console.log(`| time to usable page, median of 5 (min-max) | ${ready[2]} ms (${ready[0]}-${ready[4]}) | | |`);
  console.log(`| time to usable page offline, median of 5 (min-max) | ${offline[2]} ms (${offline[0]}-${offline[4]}) | | |`);
} finally {
  await browser.close();
  site.server.close();
  chainSite.server.close();
}
