// The web page in headless Chromium: the demo mode, and the WebHID backend's
// own path against a fake navigator.hid wired to the simulated controllers
// (fake_hid.js). Screenshots land in build/web/artifacts.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { mkdir, open, readFile, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { BUILD, dialogTexts, launch, serve } from './harness.mjs';

const FAKE_HID = await readFile(new URL('./fake_hid.js', import.meta.url), 'utf8');
const ARTIFACTS = join(BUILD, 'artifacts');
const WORK = join(tmpdir(), `web-test-${process.pid}`);
const LONG = { timeout: 60_000 };  // generous: bounds, not timings

// The highest progress the page showed.
const PROGRESS_PEAK = `new MutationObserver(() => {
  const bar = document.getElementById('progress');
  if (bar) window.__progressPeak = Math.max(window.__progressPeak || 0, Number(bar.value));
}).observe(document, { subtree: true, attributes: true, attributeFilter: ['value'] });`;

let browser, site, T;

// 3 GB without a Content-Length (chunked), written only as fast as it is read.
const ENDLESS_BYTES = 3 * 1024 ** 3;
let endlessServed = 0;
function endlessPackage(request, response) {
  const piece = Buffer.alloc(1024 ** 2, 0x5a);
  response.writeHead(200, { 'content-type': 'application/octet-stream' });
  const more = () => {
    while (endlessServed < ENDLESS_BYTES && !response.destroyed) {
      endlessServed += piece.length;
      if (!response.write(piece)) { response.once('drain', more); return; }
    }
    response.end();
  };
  more();
}

// One record: the 28-byte header (little-endian words) and its image.
function record({ version = 0x8c, address = 0x08014000, size = 64, type = 0, revision = 0, image = size }) {
  const header = Buffer.alloc(28);
  [version, address, size, type, 0, revision, 0].forEach((w, i) => header.writeUInt32LE(w >>> 0, i * 4));
  return Buffer.concat([header, Buffer.alloc(image, 0x5a)]);
}

async function fixture(name, bytes) {
  const path = join(WORK, name);
  await writeFile(path, bytes);
  return path;
}

async function openPage({ locale = 'en-US', query = '', fake = null, noHid = false } = {}) {
  const context = await browser.newContext({ locale, acceptDownloads: true });
  await context.addInitScript(PROGRESS_PEAK);
  if (fake) await context.addInitScript(`window.__fakeHidOptions = ${JSON.stringify(fake)};\n${FAKE_HID}`);
  if (noHid) await context.addInitScript('delete Navigator.prototype.hid;');
  const page = await context.newPage();
  await page.goto(`${site.origin}/site/index.html${query}`);
  await page.waitForSelector('body[data-ready="true"]', LONG);
  return page;
}

const messageText = (page) => page.textContent('#message-text');
// The page fills some texts in after an event: wait (bounded) for a match, then check.
async function assertTextComes(page, selector, pattern) {
  await page.waitForFunction(([sel, source]) => new RegExp(source).test(document.querySelector(sel)?.textContent ?? ''),
    [selector, pattern.source], LONG).catch(() => {});
  assert.match(await page.textContent(selector), pattern);
}
const sent = (page) => page.evaluate(() => window.__fakeHid.sent);

// Update click, the package through the file input, the confirmation's text.
async function startUpdate(page, file) {
  await page.click('#update');
  await page.waitForSelector('#chooser[open]', LONG);
  await page.setInputFiles('#chooser-file', file);
}

async function answerAll(page) {
  const shown = [];
  while (!(await page.getAttribute('body', 'data-outcome'))) {
    const box = await Promise.race([
      page.waitForSelector('#message[open]', LONG).then(() => true),
      page.waitForSelector('body[data-outcome]', LONG).then(() => false)]);
    if (!box) break;
    shown.push(await messageText(page));
    await page.click('#message-ok');
    await page.waitForSelector('#message:not([open])', { state: 'attached' });
  }
  return { shown, outcome: await page.getAttribute('body', 'data-outcome') };
}

async function connect(page) {
  await page.click('#connect');
  await page.waitForFunction(() => !document.getElementById('update').disabled, null, LONG);
}

before(async () => {
  await mkdir(WORK, { recursive: true });
  await mkdir(ARTIFACTS, { recursive: true });
  [browser, site, T] = await Promise.all([launch(), serve({ '/site/endless.dat': endlessPackage }), dialogTexts()]);
});
after(async () => {
  await browser?.close();
  site?.server.close();
  await rm(WORK, { recursive: true, force: true });
});

describe('a whole update shows the dialog\'s texts', () => {
  for (const [kind, how] of [['stream', 'demo'], ['block', 'demo'], ['stream', 'webhid'], ['block', 'webhid']]) {
    test(`${kind} over ${how}`, async () => {
      const fake = how === 'webhid' ? { kind: kind === 'stream' ? 1 : 2, answerDelayMs: 1 } : null;
      const page = await openPage({ query: how === 'demo' ? `?simulate=${kind}` : '', fake });
      assert.equal(await page.textContent('#title'), T.en[6]);
      if (fake) {
        await connect(page);
        assert.deepEqual(await page.evaluate(() => window.__fakeHid.filters),
          [[0x0483, 0x5750], [0x5a3c, 0x5750], [0x5a3c, 0x4c21]].map(([vendorId, productId]) => ({ vendorId, productId })));
      }
      const shot = how === 'webhid' && kind === 'stream';
      if (shot) await page.screenshot({ path: join(ARTIFACTS, 'connected.png') });
      await startUpdate(page, join(BUILD, `site/demo_${kind}.dat`));
      await page.waitForSelector('#message[open]', LONG);
      assert.match(await messageText(page), new RegExp(`^${T.en[18]} ?1\\.40( r\\d+)?\\n$`));
      if (shot) await page.screenshot({ path: join(ARTIFACTS, 'confirmation.png') });
      await page.click('#message-ok');
      if (shot) {
        await page.waitForFunction(() => document.getElementById('progress').value >= 20, null, LONG);
        await page.screenshot({ path: join(ARTIFACTS, 'progress.png') });
      }
      const { shown, outcome } = await answerAll(page);
      if (shot) await page.screenshot({ path: join(ARTIFACTS, 'success.png') });
      assert.deepEqual(shown, [`\n ${T.en[4]} \n`]);
      assert.equal(outcome, 'succeeded');
      assert.equal(await page.evaluate(() => window.__progressPeak), 100);
      assert.ok(await page.isVisible('#done'));
      await page.context().close();
    });
  }
});

describe('packages the update refuses: the dialog\'s text, nothing sent', () => {
  const broken = () => record({ size: 4096, image: 10 });
  const cases = [
    { name: 'broken record', file: () => fixture('broken.dat', broken()) },
    { name: 'not a package', file: () => fixture('notes.txt', Buffer.from('just some text, not firmware\n'.repeat(4))) },
    { name: 'empty file', file: () => fixture('empty.dat', Buffer.alloc(0)) },
    { name: 'incompatible version', file: async () => join(BUILD, 'site/demo_stream.dat'),
      fake: { model: 261, subModel: 2 }, shown: [], status: /does not accept/ },
    { name: '3 GB file', file: async () => {
        const path = join(WORK, 'huge.dat');
        const handle = await open(path, 'w');
        await handle.truncate(3 * 1024 ** 3);  // sparse: nothing is written
        await handle.close();
        return path;
      }, status: /larger than/ },
  ];
  for (const c of cases) {
    test(c.name, async () => {
      const page = await openPage({ fake: { kind: 1, granted: true, ...(c.fake || {}) } });
      const before = await sent(page);
      await startUpdate(page, await c.file());
      const afterChoice = await sent(page);
      const { shown, outcome } = await answerAll(page);
      assert.deepEqual(shown, c.shown || [`${T.en[17]}\n`]);
      assert.equal(outcome, 'quiet');
      assert.equal(afterChoice, before + 1, 'UPDATE_START alone before the choice');
      assert.equal(await sent(page), afterChoice, 'nothing sent after the refusal');
      if (c.status) assert.match(await page.textContent('#status'), c.status);
      assert.ok(!(await page.isDisabled('#update')), 'the page stays usable');
      await page.context().close();
    });
  }
});

describe('the WebHID backend under faults', () => {
  test('unplugged mid-update: the failure text, no success', async () => {
    const page = await openPage({ fake: { kind: 1, granted: true, unplugAfter: 200 } });
    await startUpdate(page, join(BUILD, 'site/demo_stream.dat'));
    await page.waitForSelector('#message[open]', LONG);
    await page.click('#message-ok');
    const { shown, outcome } = await answerAll(page);
    assert.equal(outcome, 'failed');
    assert.ok(shown.includes(`${T.en[7]}\n`), JSON.stringify(shown));
    assert.ok(!shown.includes(`\n ${T.en[4]} \n`));
    assert.ok(await page.isDisabled('#update'), 'no controller left');
    await page.context().close();
  });

  for (const kind of [1, 2]) {
    test(`a ${kind === 1 ? 'stream' : 'block'} controller that stops answering: the waits end`, async () => {
      const page = await openPage({ fake: { kind, granted: true, silentAfter: 40 } });
      await startUpdate(page, join(BUILD, `site/demo_${kind === 1 ? 'stream' : 'block'}.dat`));
      await page.waitForSelector('#message[open]', LONG);
      await page.click('#message-ok');
      const { shown, outcome } = await answerAll(page);
      // Not a quiet end either: the user is told, as the native updates tell.
      assert.equal(outcome, 'failed');
      assert.deepEqual(shown, [`${T.en[7]}\n`]);
      await page.context().close();
    });
  }

  test('a stop mid-update ends it quietly and the page goes on', async () => {
    const page = await openPage({ fake: { kind: 2, granted: true, answerDelayMs: 2 } });
    await startUpdate(page, join(BUILD, 'site/demo_block.dat'));
    await page.waitForSelector('#message[open]', LONG);
    await page.click('#message-ok');
    await page.waitForFunction(() => document.getElementById('progress').value >= 5, null, LONG);
    await page.click('#stop');
    await page.waitForSelector('#message[open]', LONG);
    assert.equal(await messageText(page), T.en[2]);
    await page.click('#message-ok');
    await page.waitForSelector('body[data-outcome]', LONG);
    assert.equal(await page.getAttribute('body', 'data-outcome'), 'quiet');
    assert.ok(!(await page.isVisible('#message')), 'no message after a stop');
    await page.waitForFunction(() => !document.getElementById('update').disabled, null, LONG);
    await page.context().close();
  });

  test('a device that is not ours is never opened or written to', async () => {
    const page = await openPage({ fake: { kind: 1, granted: true, foreign: true } });
    assert.ok(await page.isDisabled('#update'));
    assert.deepEqual(await page.evaluate(() => [window.__fakeHid.opened, window.__fakeHid.sent]), [0, 0]);
    await page.context().close();
  });
});

describe('the page around the update', () => {
  test('without WebHID: a plain message naming the browsers that work', async () => {
    const page = await openPage({ noHid: true });
    assert.match(await page.textContent('#no-webhid'), /Chrome, Edge or Opera/);
    assert.ok(await page.isHidden('#connect'));
    assert.equal(await page.textContent('#title'), T.en[6]);
    await page.context().close();
  });

  for (const [locale, lang] of [['zh-CN', 'zh'], ['en-US', 'en'], ['zh-TW', 'en']]) {
    test(`${locale}: the dialog's ${lang} texts`, async () => {
      const page = await openPage({ locale, query: '?simulate=block' });
      assert.equal(await page.textContent('#title'), T[lang][6]);
      assert.equal(await page.textContent('#update'), T[lang][12]);
      assert.equal(await page.textContent('#hint'), T[lang][14].replaceAll('\r\n', '\n'));
      await page.context().close();
    });
  }

  test('inspect without a controller, ?package= from this site only, the log', async () => {
    const page = await openPage({ query: '?package=demo_block.dat' });
    await assertTextComes(page, '#inspect-verdict', /Every record is sound/);
    await assertTextComes(page, '#inspect-rows', /block type 0x5111/);
    await page.setInputFiles('#inspect-file', await fixture('broken.dat', record({ size: 4096, image: 10 })));
    await assertTextComes(page, '#inspect-verdict', /broken record/);
    const other = await openPage({ query: '?package=http://example.invalid/x.dat' });
    await assertTextComes(other, '#status', /this site only/);
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#save-log')]);
    const log = await readFile(await download.path(), 'utf8');
    assert.match(log, /^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} /);
    await page.context().close();
    await other.context().close();
  });

  test('?package= without a length: refused once past the cap, the rest never fetched', async () => {
    const page = await openPage({ query: '?package=endless.dat' });
    await assertTextComes(page, '#status', /larger than/);
    assert.ok(endlessServed < ENDLESS_BYTES / 8, `${endlessServed} bytes served`);
    await page.context().close();
  });
});
