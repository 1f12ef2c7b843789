// What the browser tests and the figures share: a static server on
// 127.0.0.1 for build/web-test, headless Chromium, and the dialog's texts.
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
