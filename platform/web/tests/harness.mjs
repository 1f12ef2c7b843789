// What the browser tests and the figures share: a static server on
// 127.0.0.1 for build/web-test, headless Chromium, and the dialog's texts.
import assert from 'node:assert/strict';
import { createServer } from 'node:http';
import { readFile } from 'node:fs/promises';
import { extname, join, normalize } from 'node:path';
import { chromium } from 'playwright-core';

export const ROOT = new URL('../../..', import.meta.url).pathname;
// The web-test preset's build: the page trusts the test key in test_key/.
export const BUILD = join(ROOT, 'build/web-test');
// The web-test-chain preset's: built with the root keys in test_roots/.
export const CHAIN_BUILD = join(ROOT, 'build/web-test-chain');

const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css',
                '.wasm': 'application/wasm', '.dat': 'application/octet-stream', '.png': 'image/png',
                '.svg': 'image/svg+xml', '.webmanifest': 'application/manifest+json' };

// Serves build (the site under /site/, the test controller under
// /testsim/); routes: { path: (request, response) => void } answered
// instead; deploy(path, body) serves other bytes at path, as a new
// deployment would, until deploy(path, null); down(true) drops every
// request as an unreachable host would.
export async function serve(routes = {}, build = BUILD) {
  const deployed = new Map();
  let down = false;
  const server = createServer(async (request, response) => {
    if (down) { request.socket.destroy(); return; }
    const path = normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname));
    if (routes[path]) { routes[path](request, response); return; }
    try {
      const body = deployed.get(path) ?? await readFile(join(build, path));
      response.writeHead(200, { 'content-type': TYPES[extname(path)] || 'application/octet-stream' });
      response.end(body);
    } catch {
      response.writeHead(404).end();
    }
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const deploy = (path, body) => (body === null ? deployed.delete(path) : deployed.set(path, body));
  return { server, deploy, down: (on) => { down = on; }, origin: `http://127.0.0.1:${server.address().port}` };
}

export function launch() {
  return chromium.launch({ executablePath: '/usr/bin/chromium',
                           args: process.getuid() === 0 ? ['--no-sandbox'] : [] });
}

// The dialog's texts by index, from the one source the build uses.
export async function dialogTexts() {
  const tsv = await readFile(join(ROOT, 'res/texts.tsv'), 'utf8');
  const unquote = (s) => JSON.parse(s.replace(/\\r/g, '\\r'));
  const texts = { zh: [], en: [] };
  for (const line of tsv.split('\n')) {
    const m = line.match(/^(\d+)\t(".*")\t(".*")$/);
    if (m) { texts.zh[+m[1]] = unquote(m[2]); texts.en[+m[1]] = unquote(m[3]); }
  }
  return texts;
}

// A test catalogue as `catalogue make` writes it: format 2 with its header
// (header: fields that differ from the default one), each entry bound to
// the controllers it is for.
export const FOR_STREAM = { family: 'stream', usb: ['0483:5750', '5a3c:5750'] };
export const FOR_BLOCK = (types) => ({ family: 'block', usb: ['5a3c:4c21'], deviceTypes: types });
export const catalogueText = (packages, indent, header = {}) => JSON.stringify({
  format: 2, type: 'catalogue', repository: 'test', version: 1,
  published: '2026-12-01T00:00:00Z', expires: '2099-01-01T00:00:00Z', ...header, packages }, null, indent);

// Helpers the page tests share (the attack vectors' runner uses these).
export const LONG = { timeout: 60_000 };  // generous: bounds, not timings
// An init script counting how many times a message box opened.
export const MESSAGES_OPENED = `window.__messagesOpened = 0;
const showModal = HTMLDialogElement.prototype.showModal;
HTMLDialogElement.prototype.showModal = function () {
  if (this.id === 'message') window.__messagesOpened++;
  return showModal.call(this);
};`;
// How many reports the fake controller (fake_hid.js) was sent.
export const sent = (page) => page.evaluate(() => window.__fakeHid.sent);

// The page fills some texts in after an event: wait (bounded) for a match, then check.
export async function assertTextComes(page, selector, pattern) {
  await page.waitForFunction(([sel, source]) => new RegExp(source).test(document.querySelector(sel)?.textContent ?? ''),
    [selector, pattern.source], LONG).catch(() => {});
  assert.match(await page.textContent(selector), pattern);
}

// OK to each message box until the update ends: the texts shown and
// body[data-outcome]. Needs MESSAGES_OPENED.
export async function answerAll(page) {
  const shown = [];
  while (!(await page.getAttribute('body', 'data-outcome'))) {
    const box = await Promise.race([
      page.waitForSelector('#message[open]', LONG).then(() => true),
      page.waitForSelector('body[data-outcome]', LONG).then(() => false)]);
    if (!box) break;
    shown.push(await page.textContent('#message-text'));
    const opened = await page.evaluate(() => window.__messagesOpened);
    await page.click('#message-ok');
    // Closed, or already the next one: a slow poll can miss the moment between.
    await page.waitForFunction((n) => !document.getElementById('message').open || window.__messagesOpened > n,
      opened, LONG);
  }
  return { shown, outcome: await page.getAttribute('body', 'data-outcome') };
}
