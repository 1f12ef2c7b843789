// The web page in headless Chromium: the demo mode, and the WebHID backend's
// own path against a fake navigator.hid wired to the simulated controllers
// (fake_hid.js). Screenshots land in build/web-test/artifacts.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { mkdir, open, readFile, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import AxeBuilder from '@axe-core/playwright';
import { pageReady, watchConsole } from './ready.mjs';
import { BUILD, CHAIN_BUILD, FOR_STREAM, LONG, MESSAGES_OPENED, answerAll, assertTextComes, catalogueText, dialogTexts,
  launch, sent, serve } from './harness.mjs';

const FAKE_HID = await readFile(new URL('./fake_hid.js', import.meta.url), 'utf8');
const ARTIFACTS = join(BUILD, 'artifacts');
const WORK = join(tmpdir(), `web-test-${process.pid}`);
const WCAG_21_A_AA = ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa'];
const axeViolations = async (page) => (await new AxeBuilder({ page }).withTags(WCAG_21_A_AA).analyze()).violations;

// The highest progress the page showed.
const PROGRESS_PEAK = `new MutationObserver(() => {
  const bar = document.getElementById('progress');
  if (bar) window.__progressPeak = Math.max(window.__progressPeak || 0, Number(bar.value));
}).observe(document, { subtree: true, attributes: true, attributeFilter: ['value'] });`;

let browser, site, T;
// The same server under another name: another origin for the page.
const otherOrigin = () => site.origin.replace('127.0.0.1', 'localhost');

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

// Routes that misbehave as servers do. bodyOf(length, { withLength }):
// that many bytes, written only as fast as they are read (served counts
// them); stalled: accepted, nothing sent; headersOnly: a 200 and no body;
// trickle(text): the text in pieces a while apart (TRICKLE_GAP_MS);
// endless: a byte each TRICKLE_GAP_MS, never ending.
const HUGE_CATALOGUE_BYTES = 50 * 1024 ** 2;
const served = {};
function bodyOf(path, length, { withLength }) {
  return (request, response) => {
    const piece = Buffer.alloc(64 * 1024, 0x20);
    response.writeHead(200, { 'content-type': 'application/json', ...(withLength ? { 'content-length': length } : {}) });
    served[path] = 0;
    const more = () => {
      while (served[path] < length && !response.destroyed) {
        served[path] += piece.length;
        if (!response.write(piece)) { response.once('drain', more); return; }
      }
      response.end();
    };
    more();
  };
}
const stalled = () => {};
const headersOnly = (request, response) => {
  response.writeHead(200, { 'content-type': 'application/json' });
  response.flushHeaders();
};
const TRICKLE_PIECES = 6;
const TRICKLE_GAP_MS = 300;
const endless = (request, response) => {
  response.writeHead(200, { 'content-type': 'application/octet-stream' });
  const next = () => { if (!response.destroyed) { response.write(Buffer.alloc(1)); setTimeout(next, TRICKLE_GAP_MS); } };
  next();
};
const trickle = (text) => (request, response) => {
  response.writeHead(200, { 'content-type': 'application/json' });
  const size = Math.ceil(text.length / TRICKLE_PIECES);
  let at = 0;
  const next = () => {
    if (response.destroyed) return;
    if (at >= text.length) { response.end(); return; }
    response.write(text.slice(at, at += size));
    setTimeout(next, TRICKLE_GAP_MS);
  };
  next();
};

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

// The web-test build trusts this key (scripts/web-test.sh generates it); the
// catalogues under /site/cat/ are signed with it by signify itself.
const TEST_KEY = join(BUILD, 'test_key/test.sec');
const signify = (...args) => execFileSync('signify-openbsd', args, { stdio: 'pipe' });
let signings = 0;
async function signatureOf(text, key = TEST_KEY) {
  const path = await fixture(`signed-${++signings}.json`, text);
  signify('-S', '-s', key, '-m', path, '-x', `${path}.sig`);
  return readFile(`${path}.sig`);
}
async function deploySigned(path, text) {
  site.deploy(path, text);
  site.deploy(`${path}.sig`, await signatureOf(text));
}
async function ownKey() {
  const [pub, sec] = [join(WORK, 'own.pub'), join(WORK, 'own.sec')];
  await rm(pub, { force: true }); await rm(sec, { force: true });
  signify('-G', '-n', '-c', 'a key the page does not trust', '-p', pub, '-s', sec);
  return sec;
}

// init: a script of the test's own, run before the page's.
async function openPage({ locale = 'en-US', query = '', fake = null, noHid = false, platform = '',
                         colorScheme = 'light', init = '', origin = site.origin } = {}) {
  const context = await browser.newContext({ locale, colorScheme, acceptDownloads: true });
  if (init) await context.addInitScript(init);
  await context.addInitScript(PROGRESS_PEAK);
  await context.addInitScript(MESSAGES_OPENED);
  if (fake) await context.addInitScript(`window.__fakeHidOptions = ${JSON.stringify(fake)};\n${FAKE_HID}`);
  if (noHid) await context.addInitScript('delete Navigator.prototype.hid;');
  if (platform) await context.addInitScript(`Object.defineProperty(Navigator.prototype, 'userAgentData',
    { get: () => ({ platform: ${JSON.stringify(platform)} }), configurable: true });`);
  const page = watchConsole(await context.newPage());
  await page.goto(`${origin}/site/index.html${query}`);
  await pageReady(page);
  return page;
}

const messageText = (page) => page.textContent('#message-text');

// Update click, the package through the file input, the confirmation's text.
async function startUpdate(page, file) {
  await page.click('#update');
  await page.waitForSelector('#chooser[open]', LONG);
  await page.setInputFiles('#chooser-file', file);
}

async function connect(page) {
  await page.click('#connect');
  await page.waitForFunction(() => !document.getElementById('update').disabled, null, LONG);
}

// A test catalogue beside the page (/site/cat/): the demo stream package as
// 1.40 r3, a 1.39 and a 1.41 beta1 made from it by their header's version
// word, and one whose served bytes differ from the listing.
const HEADER_WORDS = 7;
const VERSION_WORD = 0;
const SIZE_WORD = 2;
const [ADDRESS_WORD, TYPE_WORD, REVISION_WORD] = [1, 3, 5];
const BETA_SHIFT = 16;
function listedRecords(bytes) {
  const records = [];
  for (let at = 0; at + HEADER_WORDS * 4 <= bytes.length;) {
    const w = (i) => bytes.readUInt32LE(at + i * 4);
    records.push({ deviceType: w(TYPE_WORD), desVersion: w(VERSION_WORD), revision: w(REVISION_WORD),
                   imageAddress: w(ADDRESS_WORD), imageSize: w(SIZE_WORD) });
    at += HEADER_WORDS * 4 + w(SIZE_WORD);
  }
  return records;
}
const withVersion = (bytes, word) => { const copy = Buffer.from(bytes); copy.writeUInt32LE(word, VERSION_WORD); return copy; };
const entry = (file, bytes, channel, notes) => ({ file, size: bytes.length, channel, date: '2026-12-01',
  sha256: createHash('sha256').update(bytes).digest('hex'), notes, for: FOR_STREAM, records: listedRecords(bytes) });
const NOTES = { en: 'Fixes the rumble motor.', zh: '修复了振动马达。' };
async function deployCatalogue() {
  const pad = await readFile(join(BUILD, 'site/demo_stream.dat'));
  const older = withVersion(pad, 0x8b);
  // All 32 revision bits set: listed as the confirmation writes it, r-1.
  const beta = withVersion(pad, (1 << BETA_SHIFT) | 0x8d);
  beta.writeUInt32LE(0xffffffff, REVISION_WORD * 4);
  const tampered = Buffer.from(pad);
  tampered[tampered.length - 1] ^= 0xff;
  const files = { 'pad-1.40.dat': pad, 'pad-1.39.dat': older, 'pad-1.41b1.dat': beta, 'tampered.dat': tampered };
  for (const [name, bytes] of Object.entries(files)) site.deploy(`/site/cat/${name}`, bytes);
  const catalogue = (packages) => catalogueText(packages);
  await deploySigned('/site/cat/catalogue.json', catalogue([entry('pad-1.40.dat', pad, 'stable', NOTES),
    entry('pad-1.39.dat', older, 'stable', { en: 'Older.', zh: '旧版。' }),
    entry('pad-1.41b1.dat', beta, 'beta', { en: 'Trial.', zh: '试用。' })]));
  const current = withVersion(pad, 0x89);
  site.deploy('/site/cat/pad-1.37.dat', current);
  await deploySigned('/site/cat/current.json', catalogue([entry('pad-1.37.dat', current, 'stable', NOTES)]));
  await deploySigned('/site/cat/tampered.json', catalogue([{ ...entry('tampered.dat', pad, 'stable', NOTES) }]));
  // Bad input: a listing that fits where the file does not (5.02 for a
  // controller that takes nothing older), packages that never come.
  await deploySigned('/site/cat/claims.json', catalogue([{ ...entry('pad-1.40.dat', pad, 'stable', NOTES),
    records: listedRecords(pad).map((r) => ({ ...r, desVersion: RULED_LOWEST })) }]));
  await deploySigned('/site/cat/stall-package.json', catalogue([{ ...entry('stall.dat', pad, 'stable', NOTES) }]));
  await deploySigned('/site/cat/endless-package.json', catalogue([{ ...entry('endless.dat', pad, 'stable', NOTES) }]));
  await deploySigned('/site/cat/missing-package.json', catalogue([{ ...entry('none.dat', pad, 'stable', NOTES) }]));
  await deploySigned('/site/cat/malformed.json', '{"format": 2, "packages": [');
  await deploySigned('/site/cat/format-1.json', catalogue([]).replace('"format":2', '"format":1'));
  await deploySigned('/site/cat/many.json', catalogue([]).replace('"packages":[]', `"packages":[${Array(MANY_ENTRIES).fill('{}').join(',')}]`));
  TRICKLED.text = catalogue([entry('pad-1.40.dat', pad, 'stable', NOTES)]);
  site.deploy('/site/cat/sig-stall.json', TRICKLED.text);
  site.deploy('/site/cat/slow.json.sig', await signatureOf(TRICKLED.text));
  // The same catalogue from another site, as a public host serves it (CORS
  // open to all): only the page's own rule keeps it out.
  PUBLIC.catalogue = TRICKLED.text;
  PUBLIC.signature = await signatureOf(TRICKLED.text);
  PUBLIC.package = pad;
  // Signatures the trusted key did not make, or none.
  const good = PUBLIC.signature;
  site.deploy('/site/cat/changed-byte.json', TRICKLED.text.replace('2026-12-01', '2026-12-02'));
  site.deploy('/site/cat/changed-byte.json.sig', good);
  site.deploy('/site/cat/other-key.json', TRICKLED.text);
  site.deploy('/site/cat/other-key.json.sig', await signatureOf(TRICKLED.text, await ownKey()));
  site.deploy('/site/cat/cut-sig.json', TRICKLED.text);
  site.deploy('/site/cat/cut-sig.json.sig', good.subarray(0, 60));
  site.deploy('/site/cat/no-sig.json', TRICKLED.text);
  site.deploy('/site/cat/sig-error.json', TRICKLED.text);  // its .sig: a route answering 500
}
// The lowest release a stream controller of model 261, sub-model 2 takes.
const RULED_LOWEST = 502;
const MANY_ENTRIES = 100_000;
const TRICKLED = { text: '' };
const PUBLIC = { catalogue: '', signature: null, package: null };
// Served on the other origin with Access-Control-Allow-Origin: *.
const publicly = (body) => (request, response) => {
  response.writeHead(200, { 'access-control-allow-origin': '*' });
  response.end(body());
};
const redirectTo = (path) => (request, response) => response.writeHead(302, { location: `${otherOrigin()}${path}` }).end();

before(async () => {
  await mkdir(WORK, { recursive: true });
  await mkdir(ARTIFACTS, { recursive: true });
  [browser, site, T] = await Promise.all([launch(), serve({
    '/site/endless.dat': endlessPackage,
    '/site/cat/elsewhere.json': redirectTo('/site/cat/public.json'),
    '/site/cat/elsewhere.json.sig': redirectTo('/site/cat/public.json.sig'),
    '/site/cat/public.json': publicly(() => PUBLIC.catalogue),
    '/site/cat/public.json.sig': publicly(() => PUBLIC.signature),
    '/site/elsewhere.dat': redirectTo('/site/public.dat'),
    '/site/public.dat': publicly(() => PUBLIC.package),
    '/site/cat/sig-error.json.sig': (request, response) => response.writeHead(500).end(),
    '/site/cat/huge-length.json': bodyOf('huge-length', HUGE_CATALOGUE_BYTES, { withLength: true }),
    '/site/cat/huge-chunked.json': bodyOf('huge-chunked', HUGE_CATALOGUE_BYTES, { withLength: false }),
    '/site/cat/stall.json': stalled,
    '/site/cat/stall-headers.json': headersOnly,
    '/site/cat/sig-stall.json.sig': stalled,
    '/site/cat/stall.dat': stalled,
    '/site/cat/endless.dat': endless,
    '/site/cat/slow.json': (request, response) => trickle(TRICKLED.text)(request, response),
  }), dialogTexts()]);
  await deployCatalogue();
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

describe('the firmware catalogue', () => {
  const CAT = '?catalogue=cat/catalogue.json';
  const WORDS = {
    'en-US': { offer: 'Firmware 1.40 r3 is available (this controller runs 1.37)', notes: NOTES.en, trust: 'signed',
               older: /^1\.39 r3, 2026-12-01$/, beta: /^1\.41 beta1 r-1 \(beta\)/, upToDate: 'This controller runs 1.37, the newest firmware.' },
    'zh-CN': { offer: '固件 1.40 r3 可用（此手柄运行 1.37）', notes: NOTES.zh, trust: '已签名',
               older: /^1\.39 r3, 2026-12-01$/, beta: /^1\.41 beta1 r-1 \(测试版\)/, upToDate: '此手柄运行 1.37，已是最新固件。' },
  };
  const versions = (page) => page.$$eval('#offer-list li span', (items) => items.map((i) => i.textContent));
  for (const [locale, w] of Object.entries(WORDS)) {
    test(`${locale}: offer, notes, versions, beta switch; an update from it; up to date`, async () => {
      const page = await openPage({ locale, query: CAT, fake: { kind: 1, granted: true, answerDelayMs: 1 } });
      await assertTextComes(page, '#offer-title', /\S/);
      assert.equal(await page.textContent('#offer-title'), w.offer);
      assert.equal(await page.textContent('#offer-notes'), w.notes);
      assert.equal(await page.textContent('#offer-trust'), w.trust);
      const stable = await versions(page);
      assert.equal(stable.length, 1);
      assert.match(stable[0], w.older);
      await page.click('#offer-versions-title');
      await page.check('#offer-beta');
      const all = await versions(page);
      assert.equal(all.length, 2);
      assert.match(all[0], w.beta);
      if (locale === 'en-US') await page.screenshot({ path: join(ARTIFACTS, 'catalogue.png') });
      await page.click('#offer-update');
      await page.waitForSelector('#message[open]', LONG);
      assert.match(await messageText(page), new RegExp(`^${T[locale.slice(0, 2)][18]} ?1\\.40 r3\\n$`));
      await page.click('#message-ok');
      const { outcome } = await answerAll(page);
      assert.equal(outcome, 'succeeded');
      await page.context().close();
      // A controller already on the newest listed package.
      const current = await openPage({ locale, query: '?catalogue=cat/current.json', fake: { kind: 1, granted: true } });
      await assertTextComes(current, '#offer-title', /\S/);
      assert.equal(await current.textContent('#offer-title'), w.upToDate);
      assert.ok(await current.isHidden('#offer-update'));
      await current.context().close();
    });
  }

  test('a package whose bytes differ from the listing: refused, nothing sent', async () => {
    const page = await openPage({ query: '?catalogue=cat/tampered.json', fake: { kind: 1, granted: true } });
    await page.waitForSelector('#offer-update:not([hidden])', LONG);
    const before = await sent(page);
    await page.click('#offer-update');
    await assertTextComes(page, '#offer-problem', /SHA-256 differs.*Nothing was sent/);
    assert.equal(await sent(page), before);
    assert.equal(await page.evaluate(() => window.__messagesOpened), 0);
    assert.ok(!(await page.isDisabled('#update')), 'the page stays usable');
    await page.context().close();
  });

  for (const [name, query, why] of [
    ['on another origin', () => `?catalogue=${otherOrigin()}/site/cat/catalogue.json`, /this site only/],
    ['redirected to another origin', () => '?catalogue=cat/elsewhere.json', /redirects to another site/]]) {
    test(`a catalogue ${name} is refused`, async () => {
      const page = await openPage({ query: query(), fake: { kind: 1, granted: true } });
      await assertTextComes(page, '#offer-problem', /^Catalogue not used: /);
      assert.match(await page.textContent('#offer-problem'), why);
      assert.ok(await page.isHidden('#catalogue'));
      await page.context().close();
    });
  }
});

describe('the firmware catalogue under bad input: refused in words, nothing sent, the page usable', () => {
  const SHORT_STALL = '&test-stall-ms=1000';  // under the trickle's whole time, well over its gaps
  // What a page sends at start-up (the version read) with no catalogue at all.
  let startupSent;
  const startup = async (fake) => {
    if (startupSent === undefined) {
      const page = await openPage({ fake });
      startupSent = await sent(page);
      await page.context().close();
    }
    return startupSent;
  };
  // The loose-package path still opens, and nothing went out since before.
  async function assertUsable(page, before) {
    assert.equal(await sent(page), before, 'nothing sent');
    assert.equal(await page.evaluate(() => window.__messagesOpened), 0);
    await page.click('#update');
    await page.waitForSelector('#chooser[open]', LONG);
  }

  const catalogues = [
    { name: 'malformed JSON', file: 'malformed.json', why: /not valid JSON/ },
    { name: 'the older format', file: 'format-1.json', why: /a format this page does not read/ },
    { name: '50 MB with a length', file: 'huge-length.json', why: /too large/, served: 'huge-length' },
    { name: '50 MB chunked', file: 'huge-chunked.json', why: /too large/, served: 'huge-chunked' },
    { name: `${MANY_ENTRIES} entries in under 4 MiB`, file: 'many.json', why: /too many packages/ },
    { name: 'a 404', file: 'none.json', why: /not on this site \(the server answered 404\)/ },
    { name: 'a stall before any byte, at the 15 s limit', file: 'stall.json', why: /stopped sending/, waitsMs: 15_000 },
    { name: 'a stall after the headers', file: 'stall-headers.json', why: /stopped sending/, extra: SHORT_STALL },
    { name: 'a stall of its signature', file: 'sig-stall.json', why: /stopped sending/, extra: SHORT_STALL },
    // The build's trusted key with a real controller: anything but its signature is refused.
    { name: 'a byte changed after signing', file: 'changed-byte.json', why: /does not match its contents/ },
    { name: 'signed by a key not trusted', file: 'other-key.json', why: /not from a trusted key/ },
    { name: 'a signature cut short', file: 'cut-sig.json', why: /damaged or cut short/ },
    { name: 'no signature', file: 'no-sig.json', why: /not signed, and this page trusts only signed/ },
    { name: 'a signature the server fails (500)', file: 'sig-error.json', why: /signature could not be loaded/ },
  ];
  for (const c of catalogues) {
    test(c.name, async () => {
      const fake = { kind: 1, granted: true };
      const before = await startup(fake);
      const started = Date.now();
      const page = await openPage({ query: `?catalogue=cat/${c.file}${c.extra || ''}`, fake });
      const readyMs = Date.now() - started;
      await assertTextComes(page, '#offer-problem', /^Catalogue not used: /);
      if (c.waitsMs) {
        const endedMs = Date.now() - started;
        assert.ok(endedMs >= c.waitsMs - 1000 && readyMs < c.waitsMs / 2, `ready after ${readyMs} ms, ended after ${endedMs} ms`);
      }
      assert.match(await page.textContent('#offer-problem'), c.why);
      assert.ok(await page.isHidden('#catalogue'));
      if (c.served) assert.ok(served[c.served] < HUGE_CATALOGUE_BYTES / 2, `${served[c.served]} bytes served`);
      await assertUsable(page, before);
      await page.context().close();
    });
  }

  test('a slow catalogue that keeps coming is not cut off', async () => {
    const page = await openPage({ query: `?catalogue=cat/slow.json${SHORT_STALL}`, fake: { kind: 1, granted: true } });
    await assertTextComes(page, '#offer-title', /^Firmware 1\.40 r3 is available/);
    await page.context().close();
  });

  const packages = [
    { name: 'a listing that fits where the file does not', file: 'claims.json', fake: { model: 261, subModel: 2 },
      why: /^Refused: .*its records differ from the listing.*Nothing was sent\.$/ },
    { name: 'a package that stalls', file: 'stall-package.json', extra: SHORT_STALL,
      why: /^The package could not be loaded: the server stopped sending it\. Nothing was sent\.$/ },
    { name: 'a package that keeps coming past its deadline', file: 'endless-package.json', extra: SHORT_STALL,
      why: /^The package could not be loaded: the server took too long to send it\. Nothing was sent\.$/ },
    { name: 'a package stopped while it loads', file: 'stall-package.json', stop: true,
      why: /^Loading the package was stopped\. Nothing was sent\.$/ },
    { name: 'a package that is not there', file: 'missing-package.json', why: /^The package could not be loaded\. Nothing/ },
  ];
  for (const c of packages) {
    test(`${c.name}: refused before anything is sent`, async () => {
      const page = await openPage({ query: `?catalogue=cat/${c.file}${c.extra || ''}`,
                                    fake: { kind: 1, granted: true, ...c.fake } });
      await page.waitForSelector('#offer-update:not([hidden])', LONG);
      const before = await sent(page);
      await page.click('#offer-update');
      if (c.stop) {
        await page.click('#update');  // one at a time: not while it downloads
        assert.equal(await page.waitForSelector('#chooser[open]', { timeout: 500 }).catch(() => null), null);
        await page.click('#stop');
      }
      await assertTextComes(page, '#offer-problem', c.why);
      assert.ok(await page.isHidden('#stop'));
      await assertUsable(page, before);
      await page.context().close();
    });
  }
});

describe('the catalogue memory: kept across reloads, judged by the module', () => {
  const DAY_MS = 86_400_000;
  const utc = (ms) => new Date(ms).toISOString().replace(/\.\d+Z$/, 'Z');
  const SEEN_PUBLISHED = utc(Date.now() - DAY_MS);
  const CLOCK_BACK = '2026-03-01T00:00:00Z';
  const EXPIRED = { published: '2026-05-01T00:00:00Z', expires: '2026-06-01T00:00:00Z' };
  const HEADERS = {
    'mem-v1': { version: 1 },
    'mem-v2': { version: 2 },
    'mem-v2-other': { version: 2, published: '2026-12-02T00:00:00Z' },
    'mem-v4-soon': { version: 4, published: SEEN_PUBLISHED, expires: utc(Date.now() + 5 * DAY_MS) },
    'mem-v5-expired': { version: 5, ...EXPIRED },
  };
  before(async () => {
    const listed = [entry('pad-1.40.dat', await readFile(join(BUILD, 'site/demo_stream.dat')), 'stable', NOTES)];
    for (const [file, header] of Object.entries(HEADERS))
      await deploySigned(`/site/cat/${file}.json`, catalogueText(listed, undefined, header));
  });
  const FAKE = { kind: 1, granted: true };
  const OFFER = /^Firmware 1\.40 r3 is available/;
  // The page's own store, read or written from the page.
  const stored = (page) => page.evaluate(async () =>
    (await new (await import('/site/catalogue_memory.js')).CatalogueMemory().load()).text);
  const storeText = (page, text) => page.evaluate(async (t) =>
    new (await import('/site/catalogue_memory.js')).CatalogueMemory().save(t), text);

  // One browser profile, one page load after another.
  const steps = [
    { name: 'first seen: remembered', file: 'mem-v2', remembers: 2 },
    { name: 'an older one: refused', file: 'mem-v1',
      why: /the catalogue of "test" \(version 1\) is older than the catalogue already seen \(version 2\)/ },
    { name: 'the same version with other bytes: refused', file: 'mem-v2-other',
      why: /"test" \(version 2\) differs from the version 2 already seen: the same version with other contents/ },
    { name: 'the same bytes again: nothing changes', file: 'mem-v2' },
    { name: 'expiring in days: a warning', file: 'mem-v4-soon', remembers: 4,
      warning: /^Warning: this catalogue expires \S+, in [45] days; a newer one should be published\.$/ },
    { name: 'expired: refused', file: 'mem-v5-expired', why: new RegExp(`"test" \\(version 5\\) expired ${EXPIRED.expires}; `) },
    { name: 'expired, the clock set back before its expiry: refused', file: 'mem-v5-expired', clock: CLOCK_BACK,
      why: new RegExp(`expired ${EXPIRED.expires}; .*the clock says ${CLOCK_BACK}, the latest signed time seen is ${SEEN_PUBLISHED}`) },
  ];
  test(steps.map((s) => s.name).join('; '), async () => {
    const page = await openPage({ fake: FAKE });
    for (const step of steps) {
      const before = await stored(page);
      // Date.now alone, the clock the catalogue is judged by: Playwright's
      // page.clock would hold performance.now too, and with it the module's
      // waits, so the page could stop short of ready.
      if (step.clock) await page.context().addInitScript(`Date.now = () => ${Date.parse(step.clock)};`);
      await page.goto(`${site.origin}/site/index.html?catalogue=cat/${step.file}.json`);
      await pageReady(page);
      if (step.why) {
        await assertTextComes(page, '#offer-problem', step.why);
        assert.ok(await page.isHidden('#catalogue'), `${step.name}: nothing offered`);
      } else {
        await assertTextComes(page, '#offer-title', OFFER);
        assert.equal(await page.isVisible('#offer-expiring'), Boolean(step.warning), step.name);
        if (step.warning) assert.match(await page.textContent('#offer-expiring'), step.warning);
      }
      const after = await stored(page);
      if (step.remembers) assert.equal(JSON.parse(after).repositories.test.version, step.remembers, step.name);
      else assert.equal(after, before, `${step.name}: the memory is unchanged`);
    }
    await page.context().close();
  });

  for (const c of [
    { name: 'a stored text that is not a state', spoil: (page) => storeText(page, '{"format": 1, "repositories": [') },
    { name: 'IndexedDB throwing', init: 'IDBFactory.prototype.open = () => { throw new DOMException("denied", "SecurityError"); };' },
  ]) {
    test(`${c.name}: judged by the build's floors, the page works`, async () => {
      const page = await openPage({ query: '?catalogue=cat/mem-v2.json', fake: FAKE, init: c.init });
      await assertTextComes(page, '#offer-title', OFFER);
      await c.spoil?.(page);
      await page.goto(`${site.origin}/site/index.html?catalogue=cat/mem-v1.json`);
      await pageReady(page);
      await assertTextComes(page, '#offer-title', OFFER);
      assert.ok(await page.isHidden('#offer-problem'));
      await page.context().close();
    });
  }
});

describe('the key chain: walked by the module from the build\'s root keys', () => {
  // Key pairs by name: r1-r3 are the chain build's roots, the rest the test's own.
  const KEYS = {};
  const keyPair = (name) => {
    const [pub, sec] = [join(WORK, `${name}.pub`), join(WORK, `${name}.sec`)];
    signify('-G', '-n', '-c', `test ${name}`, '-p', pub, '-s', sec);
    KEYS[name] = { pub, sec };
  };
  const keyLine = async (name) => (await readFile(KEYS[name].pub, 'utf8')).split('\n')[1];
  const signedBy = async (text, names) => Buffer.concat(await Promise.all(names.map((n) => signatureOf(text, KEYS[n].sec))));
  const keySet = async (version, roots, catalogueKeys) => JSON.stringify({ format: 2, type: 'keys', version,
    expires: '2099-01-01T00:00:00Z', root: { threshold: 2, keys: await Promise.all(roots.map(keyLine)) },
    catalogue: { threshold: 1, keys: await Promise.all(catalogueKeys.map(keyLine)) } });
  // A rotation: catalogue keys c1 -> c2 -> c3 -> c4 (c3 left out of set 5), root r1 -> r4 at set 3.
  const SETS = {
    1: [['r1', 'r2', 'r3'], ['c1'], ['r1', 'r2']],
    2: [['r1', 'r2', 'r3'], ['c2'], ['r2', 'r3']],
    3: [['r2', 'r3', 'r4'], ['c2'], ['r2', 'r3']],
    4: [['r2', 'r3', 'r4'], ['c3'], ['r3', 'r4']],
    5: [['r2', 'r3', 'r4'], ['c4'], ['r2', 'r4']],
  };
  // Each case's folder: the key sets published (signers replaced where given, one changed
  // after signing) and the catalogue's signer.
  const CHAINS = {
    rotation: { sets: [1, 2, 3, 4], signer: 'c3', version: 5 },
    gap: { sets: [1, 2, 4], signer: 'c3' },
    revoked: { sets: [1, 2, 3, 4, 5], signer: 'c3' },
    short: { sets: [1, 2], signers: { 2: ['r1'] }, signer: 'c2' },
    twice: { sets: [1], signers: { 1: ['r1', 'r1'] }, signer: 'c1' },
    forged: { sets: [1, 2], changed: 2, signer: 'c2' },
    'new-series': { sets: [1, 2, 3, 4, 5], signer: 'c4', version: 1 },
  };
  let chainSite;
  before(async () => {
    for (const n of [1, 2, 3]) KEYS[`r${n}`] = { pub: join(CHAIN_BUILD, `test_roots/root${n}.pub`), sec: join(CHAIN_BUILD, `test_roots/root${n}.sec`) };
    for (const name of ['r4', 'c1', 'c2', 'c3', 'c4']) keyPair(name);
    chainSite = await serve({}, CHAIN_BUILD);
    const listed = [entry('pad-1.40.dat', await readFile(join(BUILD, 'site/demo_stream.dat')), 'stable', NOTES)];
    for (const [name, chain] of Object.entries(CHAINS)) {
      for (const version of chain.sets) {
        const [roots, catalogueKeys, signers] = SETS[version];
        const text = await keySet(version, roots, catalogueKeys);
        const served = chain.changed === version ? text.replace('2099', '2098') : text;
        chainSite.deploy(`/site/chain/${name}/keys/${version}.keys.json`, served);
        chainSite.deploy(`/site/chain/${name}/keys/${version}.keys.json.sig`, await signedBy(text, chain.signers?.[version] || signers));
      }
      const text = catalogueText(listed, undefined, { version: chain.version || 1 });
      chainSite.deploy(`/site/chain/${name}/catalogue.json`, text);
      chainSite.deploy(`/site/chain/${name}/catalogue.json.sig`, await signedBy(text, [chain.signer]));
    }
  });
  after(() => chainSite?.server.close());

  const stored = (page) => page.evaluate(async () =>
    (await new (await import('/site/catalogue_memory.js')).CatalogueMemory().load()).text);
  // One browser profile, one page load after another. The walks refused
  // first start from the roots; once key set 4 is remembered, from there.
  const steps = [
    { name: 'a gap: the walk stops before it', chain: 'gap', why: /signed by 0 of the 1 catalogue keys of key set 2 it needs/ },
    { name: 'a threshold not met', chain: 'short', why: /key set 2 is signed by 1 of the 2 previous root keys it needs/ },
    { name: 'a key counted twice', chain: 'twice', why: /key set 1 is signed by 1 of the 2 previous root keys it needs/ },
    { name: 'a key set changed after signing', chain: 'forged', why: /key set 2 is signed by 0 of the 2 previous root keys it needs/ },
    { name: 'a 4-step rotation: accepted, key set 4 remembered', chain: 'rotation', remembers: { version: 5, keySetVersion: 4 } },
    { name: 'a revoked key\'s catalogue', chain: 'revoked', why: /signed by a key that key set 5 no longer lists \(revoked\)/ },
    { name: 'a new key set after a revoked key: the series starts again', chain: 'new-series',
      remembers: { version: 1, keySetVersion: 5 } },
  ];
  test(steps.map((s) => s.name).join('; '), async () => {
    const fake = { kind: 1, granted: true };
    const page = await openPage({ fake, origin: chainSite.origin });
    const startup = await sent(page);
    for (const step of steps) {
      const before = await stored(page);
      await page.goto(`${chainSite.origin}/site/index.html?catalogue=chain/${step.chain}/catalogue.json`);
      await pageReady(page);
      if (step.why) {
        await assertTextComes(page, '#offer-problem', step.why);
        assert.ok(await page.isHidden('#catalogue'), `${step.name}: nothing offered`);
        assert.equal(await stored(page), before, `${step.name}: the memory is unchanged`);
      } else {
        await assertTextComes(page, '#offer-title', /^Firmware 1\.40 r3 is available/);
        const state = JSON.parse(await stored(page));
        const { version, keySetVersion } = state.repositories.test;
        assert.deepEqual({ version, keySetVersion }, step.remembers, step.name);
        const [walkedTo] = Object.values(state.keyChains).map((text) => JSON.parse(text).version);
        assert.equal(walkedTo, keySetVersion, `${step.name}: the next walk starts there`);
      }
      assert.equal(await sent(page), startup, `${step.name}: nothing sent`);
    }
    await page.context().close();
  });

  test('offline: the walk ends at the last key set the worker kept, and the catalogue is offered', async () => {
    const offer = /^Firmware 1\.40 r3 is available/;
    const page = await openPage({ fake: { kind: 1, granted: true }, origin: chainSite.origin,
                                  query: '?catalogue=chain/rotation/catalogue.json' });
    await page.waitForFunction(() => navigator.serviceWorker.controller !== null, null, LONG);
    await page.reload();  // now through the worker, which keeps what it fetches
    await pageReady(page);
    await assertTextComes(page, '#offer-title', offer);
    await page.context().setOffline(true);
    chainSite.down(true);
    try {
      await page.reload();
      await pageReady(page);
      await assertTextComes(page, '#offer-title', offer);
    } finally {
      chainSite.down(false);
      await page.context().close();
    }
  });
});

describe('the demo catalogue and signatures', () => {
  const DEMO_KEY = join(BUILD, 'platform/web/demo_key/demo.sec');
  // The demo catalogue as the build signed it, with a listed date changed.
  const changed = async () => (await readFile(join(BUILD, 'site/demo_catalogue.json'), 'utf8')).replace('2026-12-01', '2026-12-02');
  // Files signed by signify itself: with the build's demo key, or a key of the test's own.
  const signed = async (text, key) => ({ text, sig: await signatureOf(text, key) });
  const original = async () => readFile(join(BUILD, 'site/demo_catalogue.json.sig'));
  const cases = [
    { name: 'the build\'s own, signed by signify', query: '', trust: 'signed' },
    { name: 'changed and re-signed by signify with the demo key', trust: 'signed',
      files: async () => signed(await changed(), DEMO_KEY) },
    { name: 'changed after signing', why: /does not match its contents/,
      files: async () => ({ text: await changed(), sig: await original() }) },
    { name: 'signed by a key not trusted', why: /not from a trusted key/,
      files: async () => signed(await changed(), await ownKey()) },
    { name: 'a signature cut short', why: /damaged or cut short/,
      files: async () => ({ text: await changed(), sig: (await original()).subarray(0, 60) }) },
    { name: 'no signature', why: /not signed/, files: async () => ({ text: await changed(), sig: null }) },
  ];
  for (const c of cases) {
    test(`${c.name}: ${c.trust || 'refused'}`, async () => {
      let query = '';
      if (c.files) {
        const { text, sig } = await c.files();
        const name = c.name.replace(/\W+/g, '-');
        site.deploy(`/site/cat/${name}.json`, text);
        site.deploy(`/site/cat/${name}.json.sig`, sig);  // null: none
        query = `&catalogue=cat/${name}.json`;
      }
      const page = await openPage({ query: `?simulate=stream${query}` });
      if (c.trust) {
        await assertTextComes(page, '#offer-title', /\S/);
        assert.equal(await page.textContent('#offer-title'), 'Firmware 1.40 r3 is available (this controller runs 1.37)');
        assert.equal(await page.textContent('#offer-trust'), c.trust);
      } else {
        await assertTextComes(page, '#offer-problem', c.why);
        assert.ok(await page.isHidden('#catalogue'), 'nothing offered');
        assert.ok(!(await page.isDisabled('#update')), 'the page stays usable');
      }
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
      // The instructions keep the dialog's bytes; on screen each step is one
      // line of its own, without the runs of spaces meant for the dialog.
      const steps = T[lang][14].split(/(?:\r?\n)+/).map((step) => step.replace(/ +/g, ' '));
      assert.equal(await page.textContent('#hint'), T[lang][14]);
      assert.equal(await page.innerText('#hint'), steps.join('\n'));
      assert.deepEqual(await page.$$eval('#hint .step', (spans) => spans.map((span) => {
        const range = document.createRange();
        range.selectNodeContents(span);
        return range.getClientRects().length;
      })), steps.map(() => 1));
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

describe('what is connected, and help when the browser cannot open it', () => {
  for (const [locale, lang, connected] of [['en-US', 'en', /^Connected: stream controller, firmware V\d\.\d\d/],
                                            ['zh-CN', 'zh', /^已连接：stream 手柄，固件 V\d\.\d\d/]]) {
    test(`${locale}: the version read at start-up beside the dialog's plain title`, async () => {
      const page = await openPage({ locale, fake: { kind: 1, granted: true } });
      await assertTextComes(page, '#connected', connected);
      assert.equal(await page.textContent('#title'), T[lang][6]);
      await page.context().close();
    });
  }

  const cases = [
    { locale: 'en-US', platform: 'Linux', help: /could not open.*udev rule.*udevadm control --reload-rules/s },
    { locale: 'zh-CN', platform: 'Linux', help: /无法打开手柄.*udev 规则.*udevadm control --reload-rules/s },
    { locale: 'en-US', platform: 'Windows', help: /could not open.*Close other programs/s },
    { locale: 'zh-CN', platform: 'macOS', help: /无法打开手柄.*关闭使用手柄的其他程序/s },
  ];
  for (const c of cases) {
    test(`${c.locale} on ${c.platform}: open() rejected, what to do, a retry without a reload`, async () => {
      const page = await openPage({ locale: c.locale, platform: c.platform, fake: { kind: 1, granted: true, openFails: true } });
      await page.waitForSelector('#open-help:not([hidden])', LONG);
      assert.match(await page.textContent('#open-help'), c.help);
      const rule = await page.getAttribute('#open-help a', 'href').catch(() => null);
      if (c.platform === 'Linux') {
        const served = await page.evaluate(async (href) => (await fetch(href)).text(), rule);
        assert.equal(served, await readFile(join(BUILD, '../../platform/linux/70-controller-updater.rules'), 'utf8'));
      } else {
        assert.equal(rule, null);
      }
      await page.evaluate(() => { window.__fakeHid.openFails = false; });
      await page.click('#open-help button');
      await page.waitForSelector('#connected:not([hidden])', LONG);
      assert.ok(await page.isHidden('#open-help'));
      await page.context().close();
    });
  }
});

describe('offline, and a new deployment', () => {
  const controlled = (page) => page.waitForFunction(() => navigator.serviceWorker.controller !== null, null, LONG);

  test('installable; offline: the page reloads from its cache, demo and packages included', async () => {
    const page = await openPage({ query: '?simulate=stream' });
    await controlled(page);
    const cdp = await page.context().newCDPSession(page);
    // Everything but the test profile itself (incognito, where nothing installs).
    const { installabilityErrors } = await cdp.send('Page.getInstallabilityErrors');
    assert.deepEqual(installabilityErrors.map((e) => e.errorId).filter((id) => id !== 'in-incognito'), []);
    await page.context().setOffline(true);
    site.down(true);  // the worker's own fetches too
    try {
      await page.goto(`${site.origin}/site/index.html?simulate=stream&package=demo_stream.dat`);
      await pageReady(page);
      await assertTextComes(page, '#inspect-verdict', /Every record is sound/);
      await page.click('#update');
      await page.click('#chooser-use');
      const { outcome } = await answerAll(page);
      assert.equal(outcome, 'succeeded');
      const missing = await openPageIn(page.context(), '?simulate=stream&package=not-cached.dat');
      await assertTextComes(missing, '#status', /^Not available offline\.$/);
    } finally {
      site.down(false);
      await page.context().close();
    }
  });

  test('?package= redirected to another site: refused as such, also once the worker controls the page', async () => {
    const refused = /^Refused: the link redirects to another site/;
    const page = await openPage({ query: '?package=elsewhere.dat' });
    await assertTextComes(page, '#status', refused);
    await controlled(page);
    const again = await openPageIn(page.context(), '?package=elsewhere.dat');
    await assertTextComes(again, '#status', refused);
    assert.ok(await again.isHidden('#inspect'), 'nothing inspected');
    await page.context().close();
  });

  test('a new deployment is offered after an update, never during it, and the reload brings it', async () => {
    const page = await openPage({ query: '?simulate=block' });
    await controlled(page);
    const worker = await readFile(join(BUILD, 'site/sw.js'), 'utf8');
    const next = worker.replace(/^const VERSION = '[^']*'/, "const VERSION = 'next'");
    await page.click('#update');
    await page.setInputFiles('#chooser-file', join(BUILD, 'site/demo_block.dat'));
    await page.waitForSelector('#message[open]', LONG);
    site.deploy('/site/sw.js', next);
    try {
      assert.ok(await page.evaluate(async () => {
        const registration = await navigator.serviceWorker.getRegistration();
        await registration.update();
        for (let i = 0; i < 1000 && !registration.waiting; i++) await new Promise((resolve) => setTimeout(resolve, 20));
        return registration.waiting !== null;
      }), 'the new deployment waits');
      assert.ok(await page.isHidden('#new-version'), 'not offered mid-update');
      await page.click('#message-ok');
      assert.equal((await answerAll(page)).outcome, 'succeeded');
      await page.waitForSelector('#new-version:not([hidden])', LONG);
      assert.deepEqual((await axeViolations(page)).map((v) => v.id), [], 'axe: the offer');
      await Promise.all([page.waitForEvent('load'), page.click('#new-version button')]);
      await pageReady(page);
      assert.deepEqual(await page.evaluate(() => caches.keys()), ['updater-next']);
      assert.ok(await page.isHidden('#new-version'));
    } finally {
      site.deploy('/site/sw.js', null);
      await page.context().close();
    }
  });
});

async function openPageIn(context, query) {
  const page = watchConsole(await context.newPage());
  await page.goto(`${site.origin}/site/index.html${query}`);
  await pageReady(page);
  return page;
}

// Station mode: the switch, granted controllers connecting (navigator.hid.plug), one unit at a time.
const counters = (page) => page.evaluate(() => ({ ...document.getElementById('station-counters').dataset }));
const unitLines = (page) => page.$$eval('#station-units li', (items) => items.map((li) => li.dataset.outcome));
async function countersReach(page, field, n) {
  await page.waitForFunction(([f, v]) => Number(document.getElementById('station-counters').dataset[f]) >= v,
    [field, n], LONG).catch(async (e) => { throw new Error(`${e}: ${await page.textContent('#station')}`); });
}
async function stationOn(page) {
  await page.check('#station-on');
}
// The demo package with its version word set to the simulated controllers' 1.37.
const upToDatePackage = async () => {
  const bytes = await readFile(join(BUILD, 'site/demo_stream.dat'));
  bytes.writeUInt32LE(0x89, 0);
  return fixture('up_to_date.dat', bytes);
};

describe('station mode: each controller that connects, updated once', () => {
  test('off: nothing on connect; on: the connected one and one plugged while it runs, each once; '
       + 're-enumeration not taken again; a controller swapped into its place updated', async () => {
    const page = await openPage({ query: '?package=demo_stream.dat', fake: { kind: 1, answerDelayMs: 1 } });
    const first = await page.evaluate(() => navigator.hid.plug());
    await page.waitForFunction(() => !document.getElementById('update').disabled, null, LONG);
    assert.deepEqual(await unitLines(page), []);
    assert.equal((await counters(page)).updated, '0');

    await stationOn(page);
    await page.waitForFunction(() => document.getElementById('progress').value > 0, null, LONG);
    await page.evaluate(() => navigator.hid.plug());  // while the first one runs
    await countersReach(page, 'updated', 2);
    assert.equal(await page.$$eval('#station-units li', (items) => items.length), 2);
    assert.match(await page.textContent('#station-units li'), /stream controller {2}1\.37 → 1\.40 {2}updated$/);

    await page.evaluate((i) => navigator.hid.reEnumerate(i), first);  // back after its restart
    await page.evaluate(() => navigator.hid.plug());                   // a new unit after it
    await countersReach(page, 'updated', 3);
    assert.deepEqual(await unitLines(page), ['updated', 'updated', 'updated']);
    await page.evaluate((i) => navigator.hid.swap(i), first);  // within the window, still on 1.37
    await countersReach(page, 'updated', 4);
    assert.deepEqual(await counters(page), { updated: '4', upToDate: '0', failed: '0', refused: '0' });
    await page.context().close();
  });

  for (const [locale, label] of [['en-US', 'Update each controller I connect'], ['zh-CN', '自动更新我连接的每个手柄']]) {
    test(`${locale}: the switch's label; an up-to-date controller left alone`, async () => {
      const page = await openPage({ locale, fake: { kind: 1, answerDelayMs: 1 } });
      assert.equal(await page.textContent('label[for="station-on"]'), label);
      await page.setInputFiles('#inspect-file', await upToDatePackage());
      await page.waitForSelector('#inspect:not([hidden])', LONG);
      await stationOn(page);
      const before = await sent(page);
      await page.evaluate(() => navigator.hid.plug());
      await countersReach(page, 'upToDate', 1);
      assert.deepEqual(await unitLines(page), ['up to date']);
      assert.equal((await counters(page)).updated, '0');
      assert.ok(await sent(page) > before, 'its version was read');
      await page.context().close();
    });
  }
});

describe('keyboard and screen readers', () => {
  test('every action by keyboard, focus shown and given back after a dialog, progress told in quarters', async () => {
    const page = await openPage({ fake: { kind: 1, granted: true, answerDelayMs: 1 } });
    await page.evaluate(() => {
      window.__said = [];
      new MutationObserver(() => window.__said.push(document.getElementById('progress-words').textContent))
        .observe(document.getElementById('progress-words'), { childList: true, characterData: true, subtree: true });
    });
    const reached = [];
    for (let i = 0; i < 8; i++) {
      await page.keyboard.press('Tab');
      reached.push(await page.evaluate(() => {
        const e = document.activeElement;
        return [e.id || e.closest('label')?.querySelector('input')?.id, getComputedStyle(e.closest('label') || e).outlineStyle];
      }));
    }
    const ids = reached.map(([id]) => id);
    for (const id of ['connect', 'update', 'inspect-file', 'save-log']) assert.ok(ids.includes(id), `${id} in ${ids}`);
    for (const [id, outline] of reached.filter(([id]) => id)) assert.notEqual(outline, 'none', `${id} shows focus`);
    await page.focus('#update');
    await page.keyboard.press('Enter');
    await page.waitForSelector('#chooser[open]', LONG);
    await page.keyboard.press('Escape');
    await page.waitForSelector('body[data-outcome]', LONG);
    assert.equal(await page.evaluate(() => document.activeElement.id), 'update');
    await page.evaluate(() => delete document.body.dataset.outcome);
    await startUpdate(page, join(BUILD, 'site/demo_stream.dat'));
    assert.equal((await answerAll(page)).outcome, 'succeeded');
    assert.deepEqual(await page.evaluate(() => window.__said), [25, 50, 75, 100].map((p) => `Update ${p}% done`));
    await page.context().close();
  });
});

// Each state the page can be in, audited by axe for WCAG 2.1 A and AA.
describe('axe: no WCAG 2.1 A or AA violation in any state', () => {
  const audit = async (page, state, found) => {
    found[state] = (await axeViolations(page)).map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(' ')}`);
  };
  const flows = {
    'idle (demo), chooser, confirmation, progress, success': async (page, found) => {
      await audit(page, 'idle demo', found);
      await page.click('#update');
      await page.waitForSelector('#chooser[open]', LONG);
      await audit(page, 'chooser', found);
      await page.setInputFiles('#chooser-file', join(BUILD, 'site/demo_block.dat'));
      await page.waitForSelector('#message[open]', LONG);
      await audit(page, 'confirmation', found);
      await page.click('#message-ok');
      await page.waitForFunction(() => document.getElementById('progress').value >= 5, null, LONG);
      await audit(page, 'progress', found);
      await answerAll(page);
      await audit(page, 'success', found);
    },
    'connected, failure': async (page, found) => {
      await audit(page, 'connected', found);
      await startUpdate(page, join(BUILD, 'site/demo_stream.dat'));
      await page.waitForSelector('#message[open]', LONG);
      await page.click('#message-ok');
      await page.waitForSelector('#message[open]', LONG);
      await audit(page, 'failure message', found);
      await answerAll(page);
      await audit(page, 'failure', found);
    },
    'no WebHID, inspect table': async (page, found) => {
      await audit(page, 'no WebHID', found);
      await page.setInputFiles('#inspect-file', join(BUILD, 'site/demo_block.dat'));
      await page.waitForSelector('#inspect:not([hidden])', LONG);
      await audit(page, 'inspect', found);
    },
    'catalogue offer, versions, refused package': async (page, found) => {
      await page.waitForSelector('#offer-update:not([hidden])', LONG);
      await page.click('#offer-versions-title');
      await page.check('#offer-beta');
      await audit(page, 'catalogue offer', found);
      await page.click('#offer-update');
      await page.waitForSelector('#offer-problem:not([hidden])', LONG);
      await audit(page, 'catalogue refusal', found);
    },
    'station mode with a unit updated': async (page, found) => {
      await page.check('#station-on');
      await page.evaluate(() => navigator.hid.plug());
      await page.waitForFunction(() => Number(document.getElementById('station-counters').dataset.updated) >= 1,
        null, LONG);
      await audit(page, 'station', found);
    },
    'open failure help': async (page, found) => {
      await page.waitForSelector('#open-help:not([hidden])', LONG);
      await audit(page, 'open failure', found);
    },
  };
  const setups = {
    'idle (demo), chooser, confirmation, progress, success': { query: '?simulate=block' },
    'connected, failure': { fake: { kind: 1, granted: true, unplugAfter: 200 } },
    'no WebHID, inspect table': { noHid: true },
    'catalogue offer, versions, refused package': { query: '?catalogue=cat/tampered.json', fake: { kind: 1, granted: true } },
    'station mode with a unit updated': { query: '?package=demo_stream.dat', fake: { kind: 1, answerDelayMs: 1 } },
    'open failure help': { platform: 'Linux', fake: { kind: 1, granted: true, openFails: true } },
  };
  for (const locale of ['en-US', 'zh-CN']) {
    for (const colorScheme of ['light', 'dark']) {
      for (const [name, flow] of Object.entries(flows)) {
        test(`${locale} ${colorScheme}: ${name}`, async () => {
          const page = await openPage({ locale, colorScheme, ...setups[name] });
          const found = {};
          await flow(page, found);
          console.log(`axe ${locale} ${colorScheme}: ${Object.entries(found).map(([s, v]) => `${s} ${v.length}`).join(', ')}`);
          assert.deepEqual(Object.values(found).flat(), [], JSON.stringify(found));
          await page.context().close();
        });
      }
    }
  }
});
