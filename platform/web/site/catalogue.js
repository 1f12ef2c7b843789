// The firmware catalogue in the page: fetches it, its signature and (with a
// build's root keys) the key sets beside it from this site, answers the
// module's signature questions with WebCrypto, and checks a downloaded
// package before the update may read it. Which packages fit, what counts as
// signed and whether it is fresh, the module decides
// (web_catalogue_exports.cpp); the page keeps the state it hands back.
import { PAST_DEADLINE } from './fetches.js';
import { putFile } from './module_files.js';
import { NOT_OFFLINE, Packages } from './packages.js';

const NOT_FOUND = 404;
const GONE = 410;  // a key set not published, as a 404
const SIGNATURE_SUFFIX = '.sig';
const CATALOGUE_FILE = '/catalogue.json';
const SIGNATURE_FILE = '/catalogue.json.sig';
const STATE_FILE = '/catalogue-state.json';
const KEY_SET_FOLDER = 'keys/';
const keySetFile = (version) => `/keys-${version}.json`;
// How a key set was fetched (web_catalogue_add_key_set's codes).
const KEY_SET = { FOUND: 0, FAILED: 1, TOO_LARGE: 2 };

const hexBytes = (hex) => Uint8Array.from(hex.match(/../g), (pair) => parseInt(pair, 16));
const bytesHex = (bytes) => Array.from(new Uint8Array(bytes), (b) => b.toString(16).padStart(2, '0')).join('');

// A same-site file's bytes, capped: { bytes } or { problem } ('missing' for a 404).
async function fetchCapped(fetches, url, limit) {
  const got = await fetches.get(url, limit);
  if (got.problem !== 'status') return got;
  return { problem: got.status === NOT_FOUND ? 'missing' : 'fetch' };
}
// What ends a download for every file alike, the signature's too.
const ENDED = new Set(['timed-out', PAST_DEADLINE, 'stopped']);

async function verifyEd25519(keyHex, signatureHex, bytes) {
  if (!globalThis.crypto?.subtle) return false;  // not a secure context
  try {
    const key = await crypto.subtle.importKey('raw', hexBytes(keyHex), { name: 'Ed25519' }, false, ['verify']);
    return await crypto.subtle.verify({ name: 'Ed25519' }, key, hexBytes(signatureHex), bytes);
  } catch {
    return false;
  }
}

export class Catalogue {
  // demo: the demo mode (its build's key is trusted too); fetches: the
  // page's Fetches; memory: a CatalogueMemory; log(line): the page's log.
  constructor(module, take, demo, fetches, memory, log) {
    this.module = module;
    this.fetches = fetches;
    this.memory = memory;
    this.log = log;
    this.take = take;  // a module string, freed
    this.handle = module._web_catalogue_create(demo ? 1 : 0);
    this.url = null;
  }

  // Where the page's catalogue is: ?catalogue=, else the demo's or the site's own.
  static location(params, demo) {
    const named = params.get('catalogue');
    if (named) return { url: new URL(named, location.href), required: true };
    return { url: new URL(demo ? 'demo_catalogue.json' : `.${CATALOGUE_FILE}`, location.href), required: false };
  }

  // { trust, expiring } once accepted (expiring: { expires, daysLeft } or
  // null); { problem } (a name in texts.catalogue.why, or the module's
  // words); { absent } when an optional catalogue is not there.
  async load({ url, required }) {
    const limit = this.module._web_catalogue_largest();
    const got = await fetchCapped(this.fetches, url, limit + 1);
    if (got.problem === 'missing' && !required) return { absent: true };
    if (got.problem) return { problem: got.problem };
    const signature = await fetchCapped(this.fetches, new URL(url.href + SIGNATURE_SUFFIX),
      this.module._web_signature_largest());
    if (ENDED.has(signature.problem)) return { problem: signature.problem };
    // Only a 404 is "no signature"; a server error says nothing on that.
    if (signature.problem === 'too-large') return { problem: 'bad-signature-file' };
    if (signature.problem && signature.problem !== 'missing') return { problem: 'signature-unreachable' };
    putFile(this.module, '/catalogue', got.bytes);
    const signaturePath = signature.bytes ? SIGNATURE_FILE : '';
    if (signature.bytes) putFile(this.module, signaturePath, signature.bytes);
    this.module.ccall('web_catalogue_begin', null, ['number', 'string', 'string'],
      [this.handle, '/catalogue', signaturePath]);
    if (await this.fetchKeySets(url) === 'stopped') return { problem: 'stopped' };
    const digest = globalThis.crypto?.subtle ? bytesHex(await crypto.subtle.digest('SHA-256', got.bytes)) : '';
    const statePath = await this.recall();
    const opened = await this.open(statePath, digest);
    if (opened.stateUnusable) this.log('catalogue memory unusable: judged by the build\'s floors alone');
    if (!opened.accepted) return { problem: opened.refusal || opened.problem || opened.trust };
    if (opened.state) {
      const error = await this.memory.save(opened.state);
      if (error) this.log(`catalogue memory not written (${error}): this catalogue is used but not remembered`);
    }
    this.url = url;
    const expiring = opened.expiresSoon ? { expires: opened.expires, daysLeft: opened.daysLeft } : null;
    return { trust: opened.trust, expiring };
  }

  // The module's verdict, once every signature it asks about is verified:
  // each run's questions are verified together, and only a run that asks
  // nothing new counts.
  async open(statePath, digest) {
    const clock = Date.now();
    for (;;) {
      const opened = JSON.parse(this.take(this.module.ccall('web_catalogue_open', 'number',
        ['number', 'string', 'string', 'number'], [this.handle, statePath, digest, clock])));
      if (!opened.questions) return opened;
      const heap = this.module.HEAPU8;
      const verdicts = await Promise.all(opened.questions.map((q) =>
        verifyEd25519(q.key, q.signature, heap.slice(q.at, q.at + q.length))));
      this.module.ccall('web_catalogue_answer', null, ['number', 'string'],
        [this.handle, verdicts.map((good) => (good ? '1' : '0')).join('')]);
    }
  }

  // keys/1.keys.json, 2, ... and their .sig beside the catalogue, to the
  // first one not published (at most as many as the module walks), handed
  // to the module as fetched; 'stopped' when the page stopped them.
  async fetchKeySets(url) {
    const most = this.module._web_catalogue_key_sets(this.handle);
    const keysLimit = this.module._web_key_set_largest() + 1;
    const sigLimit = this.module._web_signature_largest() + 1;
    for (let version = 1; version <= most; ++version) {
      const keysUrl = new URL(`${KEY_SET_FOLDER}${version}.keys.json`, url);
      const keys = await this.fetches.get(keysUrl, keysLimit);
      // Offline, one the worker never kept is not known to be published
      // either: the walk ends there, as at a 404 (the memory still keeps it
      // from ending before a key set already seen).
      const unpublished = keys.status === NOT_FOUND || keys.status === GONE || (keys.status === NOT_OFFLINE && !navigator.onLine);
      if (keys.problem === 'status' && unpublished) return '';
      if (keys.problem === 'stopped') return 'stopped';
      const path = keySetFile(version);
      let fetched = keys.problem === 'too-large' ? KEY_SET.TOO_LARGE : keys.problem ? KEY_SET.FAILED : KEY_SET.FOUND;
      let sigPath = '';
      if (fetched === KEY_SET.FOUND) {
        putFile(this.module, path, keys.bytes);
        const sig = await this.fetches.get(new URL(keysUrl.href + SIGNATURE_SUFFIX), sigLimit);
        if (sig.problem === 'stopped') return 'stopped';
        // Any answer of the server is "no .sig"; too large is a damaged one.
        if (sig.bytes || sig.problem === 'too-large') {
          sigPath = `${path}${SIGNATURE_SUFFIX}`;
          putFile(this.module, sigPath, sig.bytes || new Uint8Array(0));
        } else if (sig.problem !== 'status') {
          fetched = KEY_SET.FAILED;
        }
      }
      this.module.ccall('web_catalogue_add_key_set', null, ['number', 'number', 'string', 'string'],
        [this.handle, fetched, path, sigPath]);
      if (fetched === KEY_SET.FAILED) return '';
    }
    return '';
  }

  // The remembered state as a module file: its path, '' when there is none.
  async recall() {
    const remembered = await this.memory.load();
    if (remembered.failed) this.log(`catalogue memory unreadable (${remembered.failed}): judged by the build's floors alone`);
    if (remembered.text === undefined) return '';
    putFile(this.module, STATE_FILE, remembered.text);
    return STATE_FILE;
  }

  // { packages: [...] } fitting the app's controller, newest first; null while none is known.
  fitting(app, withBeta) {
    const json = this.take(this.module._web_catalogue_fitting(this.handle, app, withBeta ? 1 : 0));
    return json ? JSON.parse(json).packages : null;
  }

  // Downloads a listed package and checks it: { path } saved for the
  // update, { mismatch } (a name in texts.catalogue.mismatch) or { refused }
  // (words).
  async download(entry, packages, texts) {
    // Where the native programs take it from, or refused as they refuse it.
    const url = this.take(this.module.ccall('web_catalogue_package_location', 'number',
      ['number', 'number', 'string'], [this.handle, entry.index, this.url.href]));
    if (!url) return { mismatch: 'location' };
    // One byte more than listed tells a longer package from the listed one.
    const got = await Packages.fromUrl(url, texts, this.fetches, entry.size + 1);
    if (got.tooLarge) return { mismatch: 'size' };
    if (got.refused) return { refused: got.refused };
    const bytes = await got.package.bytes();
    const path = await packages.store(got.package);
    const digest = bytesHex(await crypto.subtle.digest('SHA-256', bytes));
    const mismatch = this.take(this.module.ccall('web_catalogue_check', 'number',
      ['number', 'number', 'string', 'string'], [this.handle, entry.index, path, digest]));
    return mismatch ? { mismatch } : { path, name: got.package.name };
  }
}
