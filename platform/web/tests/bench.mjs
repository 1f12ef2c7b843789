// Figures of the web page, no verdicts: host time per request/answer
// exchange and the paced ratio (bench/update_bench built with the page's
// Asyncify flags, run in headless Chromium, against the native build in the
// same run), the gzip weight of a first visit, and the time to a usable page
// online and offline (from the service worker's cache).
import { execFileSync } from 'node:child_process';
import { existsSync } from 'node:fs';
import { readFile, readdir } from 'node:fs/promises';
import { join } from 'node:path';
import { gzipSync } from 'node:zlib';
import { BUILD, ROOT, launch, serve } from './harness.mjs';

const NATIVE = join(ROOT, 'build/linux-release/bin/update_bench');

function rows(table) {
  const out = {};
  for (const line of table.split('\n')) {
    const m = line.match(/\|\s*(\w+)\s*\|\s*(at once|paced)[^|]*\|[^|]*\|[^|]*\|\s*(?:ratio )?([\d.]+)/);
    if (m) out[`${m[1]} ${m[2]}`] = Number(m[3]);
  }
  return out;
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
    if (/\.(dat|png)$/.test(file)) behindGz += packed;
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
  console.log(`| time to usable page, median of 5 (min-max) | ${ready[2]} ms (${ready[0]}-${ready[4]}) | | |`);
  console.log(`| time to usable page offline, median of 5 (min-max) | ${offline[2]} ms (${offline[0]}-${offline[4]}) | | |`);
} finally {
  await browser.close();
  site.server.close();
}
