// The catalogue's attack vectors (tests/vectors/attack_vectors.tsv, the
// table the core, the command line and the station run) in the page.
// make_vectors.sh builds them into build/web-test/vectors, signed with the
// keys the web-test builds trust, and its server serves the pages too: the
// page loads catalogues and packages from its own site only.
// A refusal must say the row's words, send nothing to the fake controller
// and leave the remembered state as it was; an accepted row must update.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { copyFile, mkdir, readFile, rm, symlink } from 'node:fs/promises';
import { join } from 'node:path';
import { BUILD, CHAIN_BUILD, LONG, MESSAGES_OPENED, ROOT, answerAll, assertTextComes, launch, sent } from './harness.mjs';

const PROGRAM = process.env.CONTROLLER_UPDATER || join(ROOT, 'build/linux/bin/controller-updater');
const OUT = join(BUILD, 'vectors');
const KEYS = join(BUILD, 'vector-keys');
const FAKE_HID = await readFile(new URL('./fake_hid.js', import.meta.url), 'utf8');

// Rows the page cannot express, with why.
const CANNOT = {
  keys_as_catalogue: 'one root key, threshold 1: no page build trusts such a root (keys_as_catalogue_roots is its case under the roots)',
  catalogue_as_keys: 'one root key, threshold 1: no page build trusts such a root (catalogue_as_keys_roots is its case under the roots)',
  below_floor: 'the page asks for no version by number (--version); a floor hides the package from its offer',
  stale_mirror_beside_current: 'the page has no mirrors (--mirror)',
  stale_mirror_only: 'the page has no mirrors (--mirror)',
};
// Where the page says it in its own words (texts.js, in English and
// Chinese) or judges by its own rule, with why.
const PAGE = {
  format_downgrade: { words: /a format this page does not read/, why: 'the page names the module\'s refusal in its own words' },
  keys_as_catalogue_roots: { words: /the file is not a catalogue/, why: 'the page names the module\'s wrong-type refusal in its own words' },
  endless_catalogue: { words: /the catalogue is too large/, why: 'the page\'s own words for a download past its cap' },
  stalled_catalogue: { words: /the server stopped sending the catalogue/, why: 'the page\'s own words for a stall' },
  stalled_package: { words: /the server stopped sending it/, why: 'the page\'s own words for a stall' },
  trickled_package: { words: /the server took too long to send it/, why: 'the page\'s own words for a deadline passed' },
  url_other_host: { words: /^Packages are loaded from this site only\. Nothing was sent\.$/,
                    why: 'the page loads packages from its own site only (the core takes them and judges the bytes)' },
  redirect_other_host: { verdict: 'package-other-site', words: /^Refused: the link redirects to another site/,
                         why: 'the page follows no redirect to another site (the core does)' },
  redirect_ftp: { words: /^Refused: the link redirects to another site/, why: 'the same rule: ftp:// is another site' },
  path_nul: { words: /an entry of the catalogue is incomplete/, why: 'the page\'s own words for the module\'s bad-entry' },
  url_nul: { words: /an entry of the catalogue is incomplete/, why: 'the page\'s own words for the module\'s bad-entry' },
};
// Rows the page gets wrong today: run, reported as to do, until fixed.
const FAULTS = {};
// Refusals shown as the offer's title: nothing fits, so nothing is offered.
const NO_OFFER = new Set(['package-none']);
// Refusals the update itself makes, before its confirmation: in the status line.
const AT_UPDATE = new Set(['package-other-controller']);

const rows = (await readFile(join(ROOT, 'tests/vectors/attack_vectors.tsv'), 'utf8')).trim().split('\n').slice(1)
  .map((line) => {
    const [name, catalogue, mirror, keys, state, clock, controller, options, verdict, updated, words] = line.split('\t');
    return { name, catalogue, mirror, keys, state, clock, controller, options, verdict, updated, words: new RegExp(words) };
  });

let browser, origin;
before(async () => {
  // The builds' keys under the fixtures' names: a the catalogue key, r1-r3 the roots.
  await rm(KEYS, { recursive: true, force: true });
  await mkdir(KEYS, { recursive: true });
  const keys = { a: join(BUILD, 'test_key/test') };
  for (const n of [1, 2, 3]) keys[`r${n}`] = join(CHAIN_BUILD, `test_roots/root${n}`);
  for (const [name, from] of Object.entries(keys))
    for (const kind of ['pub', 'sec']) await copyFile(`${from}.${kind}`, join(KEYS, `${name}.${kind}`));
  execFileSync(join(ROOT, 'tests/vectors/make_vectors.sh'), [PROGRAM, join(BUILD, 'site'), OUT],
    { stdio: ['ignore', 'ignore', 'inherit'], env: { ...process.env, FIXTURE_KEYS: KEYS } });
  for (const [link, target] of [['page', BUILD], ['chain-page', CHAIN_BUILD]])
    await symlink(join(target, 'site'), join(OUT, 'site', link));
  await symlink(join(BUILD, 'testsim'), join(OUT, 'site/testsim'));
  origin = `http://127.0.0.1:${(await readFile(join(OUT, 'port'), 'utf8')).trim()}`;
  browser = await launch();
});
after(async () => {
  await browser?.close();
  try { process.kill(Number(await readFile(join(OUT, 'server.pid'), 'utf8'))); } catch { /* already ended */ }
});

const stored = (page) => page.evaluate(async () =>
  (await new (await import(new URL('catalogue_memory.js', location.href).href)).CatalogueMemory().load()).text ?? null);
const store = (page, text) => page.evaluate(async (t) =>
  new (await import(new URL('catalogue_memory.js', location.href).href)).CatalogueMemory().save(t), text);

for (const row of rows) {
  test(row.name, { skip: CANNOT[row.name] || false, todo: FAULTS[row.name] || false, timeout: 120_000 }, async () => {
    const { verdict, words } = { verdict: row.verdict, words: row.words, ...PAGE[row.name] };
    const stall = row.options.match(/^--stall-timeout (\d+)$/);
    assert.ok(row.options === '-' || stall, `options ${row.options} are not in CANNOT`);
    const pageAt = `${origin}/${row.keys === 'roots' ? 'chain-page' : 'page'}/index.html`;
    const catalogue = row.catalogue.replace(/^@(URL|SITE)@/, '');
    const query = `?catalogue=${encodeURIComponent(catalogue)}${stall ? `&test-stall-ms=${stall[1] * 1000}` : ''}`;

    const context = await browser.newContext({ locale: 'en-US' });
    await context.addInitScript(MESSAGES_OPENED);
    await context.addInitScript(`window.__fakeHidOptions = ${JSON.stringify(
      { kind: row.controller === 'block' ? 2 : 1, granted: true })};\n${FAKE_HID}`);
    // The clock the catalogue is judged by (Date.now): page.clock would
    // freeze performance.now too, and the module's waits would never end.
    if (row.clock !== '-') await context.addInitScript(`Date.now = () => ${Date.parse(row.clock)};`);
    const page = await context.newPage();
    // First without a catalogue: what a page sends at start-up, and the row's state remembered.
    await page.goto(pageAt);
    await page.waitForSelector('body[data-ready="true"]', LONG);
    const startup = await sent(page);
    if (row.state !== '-') await store(page, await readFile(join(OUT, row.state), 'utf8'));
    const before = await stored(page);

    await page.goto(pageAt + query);
    await page.waitForSelector('body[data-ready="true"]', LONG);
    assert.equal(row.updated === 'yes', row.verdict === 'accepted', 'the sent column as the verdict');
    if (verdict === 'accepted') {
      await assertTextComes(page, '#offer-title', /^Firmware 1\.40 r3 is available/);
      await page.click('#offer-update');
      assert.equal((await answerAll(page)).outcome, 'succeeded');
    } else {
      if (/^(catalogue|keys)-/.test(verdict)) {
        await assertTextComes(page, '#offer-problem', words);
        assert.ok(await page.isHidden('#catalogue'), 'nothing offered');
      } else if (NO_OFFER.has(verdict)) {
        await assertTextComes(page, '#offer-title', words);
        assert.ok(await page.isHidden('#offer-update'), 'nothing offered');
      } else {  // judged as it downloads
        await page.waitForSelector('#offer-update:not([hidden])', LONG);
        await page.click('#offer-update');
        await assertTextComes(page, AT_UPDATE.has(verdict) ? '#status' : '#offer-problem', words);
      }
      // Refused at the update: only the update's first query, whose answer names the model.
      assert.equal(await sent(page), startup + (AT_UPDATE.has(verdict) ? 1 : 0), 'nothing sent');
      assert.equal(await page.evaluate(() => window.__messagesOpened), 0, 'no message box');
      const after = await stored(page);
      if (row.state !== '-' || /^(catalogue|keys)-/.test(verdict)) assert.equal(after, before, 'the memory is unchanged');
    }
    await context.close();
  });
}
