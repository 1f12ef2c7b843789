// Figures of the web page, no verdicts: host time per request/answer
// exchange and the paced ratio (bench/update_bench built with the page's
// Asyncify flags, run in headless Chromium, against the native build in the
// same run), the gzip weight of a first visit, and the time to a usable page
// online and offline (from the service worker's cache), and the time the
// page's module takes to parse a catalogue of 1,000 packages and pick the
// ones that fit the demo's stream controller.
import { execFileSync } from 'node:child_process';
import { existsSync } from 'node:fs';
import { readFile, readdir, rm, writeFile } from 'node:fs/promises';
import { join } from 'node:path';
import { gzipSync } from 'node:zlib';
import { createHash } from 'node:crypto';
import { BUILD, FOR_BLOCK, FOR_STREAM, ROOT, catalogueText, launch, serve } from './harness.mjs';

const NATIVE = join(ROOT, 'build/linux-release/bin/update_bench');

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

const [browser, site] = await Promise.all([launch(), serve()]);
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

  // Parse and pick as the page does it (the fetched bytes written to the
  // module's file system, opened, the fitting list read back as JSON), in a
  // fresh page each round: the first call is what a visitor waits for (the
  // module's code not yet optimised), the next ones show the steady state.
  const catalogueText = benchCatalogue();
  // Signed with the build's trusted test key; WebCrypto's answer is not part
  // of the figure, so the module is told the signature verified.
  const benchFile = join(BUILD, 'bench.json');
  await writeFile(benchFile, catalogueText);
  await rm(`${benchFile}.sig`, { force: true });
  execFileSync('signify-openbsd', ['-S', '-s', join(BUILD, 'test_key/test.sec'), '-m', benchFile,
                                   '-x', `${benchFile}.sig`], { stdio: 'pipe' });
  const catalogueSignature = await readFile(`${benchFile}.sig`, 'utf8');
  const rounds = [];
  for (let round = 0; round < 5; round++) {
    const context = await browser.newContext();
    const fresh = await context.newPage();
    await fresh.goto(`${site.origin}/site/index.html?simulate=stream`);
    await fresh.waitForSelector('body[data-ready="true"]');
    rounds.push(await fresh.evaluate(async ([text, signature]) => {
      const quiet = () => {};
      const host = { hid: null, log: quiet, sleep: (ms, done) => setTimeout(() => done(1), ms),
        ui: { title: quiet, enableUpdate: quiet, doneLabel: quiet, message: (b, c, o, done) => done(1),
              progress: (p, done) => done(), chooseFile: (l, done) => done(null) } };
      const m = await createUpdaterModule({ webHost: host });
      const app = m._web_app_create(1, 0);
      await m.ccall('web_app_start', 'number', ['number'], [app], { async: true });
      const catalogue = m._web_catalogue_create(0);
      const bytes = new TextEncoder().encode(text);
      m.FS.writeFile('/bench.json.sig', signature);
      const runs = [];
      for (let i = 0; i < 7; i++) {
        const start = performance.now();
        m.FS.writeFile('/bench.json', bytes);
        // Nothing remembered, no digest: judged as on a first visit.
        const opened = m.ccall('web_catalogue_open', 'number',
          ['number', 'string', 'string', 'number', 'string', 'string', 'number'],
          [catalogue, '/bench.json', '/bench.json.sig', 1, '', '', Date.now()]);
        if (!JSON.parse(m.UTF8ToString(opened)).accepted) throw new Error('bench catalogue refused');
        m._free(opened);
        const parsed = performance.now();
        const fitting = m._web_catalogue_fitting(catalogue, app, 1);
        const found = JSON.parse(m.UTF8ToString(fitting)).packages.length;
        m._free(fitting);
        runs.push({ ms: performance.now() - start, parseMs: parsed - start, found });
      }
      return runs;
    }, [catalogueText, catalogueSignature]));
    await context.close();
  }
  const sorted = (values) => values.sort((a, b) => a - b);
  const firstMs = sorted(rounds.map((runs) => runs[0].ms));
  const firstParseMs = sorted(rounds.map((runs) => runs[0].parseMs));
  const steadyMs = sorted(rounds.map((runs) => runs[runs.length - 1].ms));
  const catalogueFound = rounds[0][0].found;
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
  console.log(`| catalogue of ${CATALOGUE_PACKAGES} packages: parse and pick (${catalogueFound} fit), first call in a fresh page, median of 5 (min-max) | ${firstMs[2].toFixed(1)} ms (${firstMs[0].toFixed(1)}-${firstMs[4].toFixed(1)}), of which parse ${firstParseMs[2].toFixed(1)} ms | | |`);
  console.log(`| the same, seventh call (steady state), median of 5 (min-max) | ${steadyMs[2].toFixed(1)} ms (${steadyMs[0].toFixed(1)}-${steadyMs[4].toFixed(1)}) | | |`);
  console.log(`| time to usable page, median of 5 (min-max) | ${ready[2]} ms (${ready[0]}-${ready[4]}) | | |`);
  console.log(`| time to usable page offline, median of 5 (min-max) | ${offline[2]} ms (${offline[0]}-${offline[4]}) | | |`);
} finally {
  await browser.close();
  site.server.close();
}
