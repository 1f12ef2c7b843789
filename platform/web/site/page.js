// The page: loads the module, shows the dialog's texts and runs its flow.
// The engine runs on this thread (Asyncify): one engine call at a time, and
// device changes that come during one are handled once it has returned, as
// the dialog handles them after its worker.
import { ANSWER, DEVICE_CHANGE, OUTCOME } from './codes.js';
import { Chooser, MessageBox } from './dialogs.js';
import { HidDevices } from './hid.js';
import { LARGEST_PACKAGE_BYTES, Packages } from './packages.js';
import { isChinesePrc, pageTexts } from './texts.js';
import { Waits } from './waits.js';
import { showInspection } from './inspect.js';
import { showSteps } from './steps.js';
import { showConnected } from './connected.js';
import { OpenHelp } from './open_help.js';
import { Deployments } from './deployments.js';
import { progressAnnouncer } from './progress_words.js';
import { Catalogue } from './catalogue.js';
import { CatalogueMemory } from './catalogue_memory.js';
import { CatalogueView } from './catalogue_view.js';
import { Station } from './station.js';
import { Fetches } from './fetches.js';

const $ = (id) => document.getElementById(id);
const DEMO_KINDS = { stream: 1, block: 2 };

const chinese = isChinesePrc(navigator.languages);
const texts = pageTexts(chinese);
const params = new URLSearchParams(location.search);
const demoName = params.get('simulate');
const demo = DEMO_KINDS[demoName] || 0;
const webHid = 'hid' in navigator ? navigator.hid : null;

const logLines = [];
function log(text) {
  for (const line of String(text).split('\n')) if (line.trim()) logLines.push([Date.now(), line]);
}

const waits = new Waits();
const messages = new MessageBox(texts);
const chooser = new Chooser(texts);
const deployments = new Deployments($('new-version'), texts);
const announceProgress = progressAnnouncer($('progress-words'), texts);
const openHelp = new OpenHelp($('open-help'), texts, () => deviceChange(DEVICE_CHANGE.ARRIVAL));
let module, app, packages, devices, station, fetches;
let preselected = null;   // a dropped or linked package, offered by the chooser
let checkedPath = null;   // a catalogue package that passed its checks: the update's choice
let checkedIndex = -1;    // and its entry in the catalogue
const catalogueView = new CatalogueView(texts, chinese, (entry) => updateFromCatalogue(entry),
  () => busy);
let catalogue = null;
const catalogueMemory = new CatalogueMemory();
let busy = false, pendingChange = false, updating = false, downloading = false;

function text(index) { return takeString(module._web_text(index)); }
function takeString(pointer) {
  const value = module.UTF8ToString(pointer);
  module._free(pointer);
  return value;
}
function status(message) { $('status').textContent = message || ''; }

// --- What the engine calls (web_library.js) ---
const host = {
  hid: null,
  sleep(ms, done) {
    waits.begin({ ms, onEnd: () => done(1), onTimeout: () => done(1), onStop: () => done(0) });
  },
  log,
  ui: {
    title(title) { $('title').textContent = title; document.title = title; },
    message(body, caption, okCancel, done) { messages.show(body, caption, okCancel).then(done); },
    progress(position, done) {
      const bar = $('progress');
      bar.value = position;
      bar.setAttribute('aria-valuenow', String(position));
      announceProgress(position);
      setTimeout(done, 0);  // lets the page repaint and take a stop
    },
    enableUpdate(enable) { $('update').disabled = !enable; },
    doneLabel() { $('done').hidden = false; },
    async chooseFile(label, done) {
      if (checkedPath) { done(checkedPath); checkedPath = null; return; }
      const pkg = await chooser.show(label, preselected);
      if (!pkg) { done(null); return; }
      if (Packages.tooLarge(pkg)) {
        status(texts.tooLarge(LARGEST_PACKAGE_BYTES >> 20));
        await messages.show(`${text(17)}\n`, text(6), false);
        done(null);
        return;
      }
      log(`package ${pkg.name}, ${pkg.size} bytes`);
      done(await packages.store(pkg));
    },
  },
};

// One engine call at a time; the ones that wait suspend and resolve later.
async function engine(name, ...args) {
  busy = true;
  try {
    return await module.ccall(name, 'number', args.map(() => 'number'), [app, ...args], { async: true });
  } finally {
    busy = false;
    showWhatIsConnected();
    if (pendingChange) {
      pendingChange = false;
      await deviceChange(DEVICE_CHANGE.NODES_CHANGED);
    }
    station?.kick();  // units that connected meanwhile
  }
}

function showWhatIsConnected() {
  const connected = takeString(module._web_app_connected(app));
  if (showConnected($('connected'), connected, texts)) openHelp.hide();
  catalogueView.refresh(connected);
}

async function deviceChange(code) {
  // During an update the app only notes it (it never suspends then) and
  // says afterwards whether one code 7 follows: none after a stop.
  if (updating) { module._web_app_device_change(app, code); return; }
  if (busy) { pendingChange = true; return; }
  await engine('web_app_device_change', code);
}

async function update() {
  if (busy || downloading) return;
  $('done').hidden = true;
  status('');
  updating = true;
  // A listed package goes only to the controllers its entry names; a loose one by the dialog's rules.
  module._web_app_bind_catalogue_package(app, catalogue?.handle ?? 0, checkedPath ? checkedIndex : -1);
  deployments.pause();
  $('stop').hidden = false;
  const outcome = takeString(await engine('web_app_update'));
  updating = false;
  deployments.resume();
  if (module._web_app_take_deferred_change(app)) await deviceChange(DEVICE_CHANGE.NODES_CHANGED);
  // The dialogs gave focus back to a button the update had disabled.
  const focus = document.activeElement;
  if (!focus || focus === document.body || focus.closest('dialog:not([open])')) $('update').focus();
  $('stop').hidden = true;
  const refusal = takeString(module._web_app_last_refusal(app));
  log(`update ${outcome}${refusal ? ` (${refusal})` : ''}`);
  document.body.dataset.outcome = outcome;
  if (refusal === 'stopped' || stopRequested) {
    stopRequested = false;
    status(texts.stopped);
    await engine('web_app_start');  // a new session, as after the dialog is opened again
  } else if (outcome === OUTCOME.QUIET && texts.refusals[refusal]) {
    status(texts.refusals[refusal]);
  }
}

// A listed package: downloaded and checked before the normal update flow
// takes it in place of the file chooser.
async function updateFromCatalogue(entry) {
  if (busy || updating || downloading) return;
  catalogueView.clearProblem();
  status('');
  log(`catalogue package ${entry.file}`);
  downloading = true;
  $('stop').hidden = false;
  const got = await catalogue.download(entry, packages, texts).finally(() => {
    downloading = false;
    $('stop').hidden = true;
  });
  if (got.refused || got.mismatch) {
    log(`catalogue package refused: ${got.refused || got.mismatch}`);
    catalogueView.packageRefused(got.mismatch || got.refused);
    return;
  }
  [checkedPath, checkedIndex] = [got.path, entry.index];
  try { await update(); } finally { [checkedPath, checkedIndex] = [null, -1]; }
}

async function openCatalogue() {
  const where = Catalogue.location(params, demo);
  const candidate = new Catalogue(module, takeString, demo, fetches, catalogueMemory, log);
  const result = await candidate.load(where);
  if (result.absent) return;
  log(`catalogue ${where.url.pathname}: ${result.trust || result.problem}`);
  if (result.problem) { catalogueView.refused(result.problem); return; }
  catalogue = candidate;
  catalogueView.use(catalogue, app, result.trust, result.expiring);
  // Otherwise the engine call running now shows it when it returns.
  if (!busy) catalogueView.refresh();
}

let stopRequested = false;
function stop() {
  stopRequested = true;
  module._web_app_stop(app);
  waits.stopAll();
  fetches.stopAll();
}

async function askStop() {
  // Nothing was sent yet: a download ends without a question.
  if (downloading) { fetches.stopAll(); return; }
  if (!updating) return;
  if (await messages.show(text(2), text(6), true) === ANSWER.OK && updating) stop();
}

async function connect() {
  try {
    if (await devices.request()) await deviceChange(DEVICE_CHANGE.ARRIVAL);
  } catch (error) {
    log(`requestDevice: ${error}`);
  }
}

async function inspect(pkg) {
  preselected = pkg;
  log(`inspect ${pkg.name}, ${pkg.size} bytes`);
  if (Packages.tooLarge(pkg)) { showInspection(pkg.name, null, texts, texts.tooLarge(LARGEST_PACKAGE_BYTES >> 20)); return; }
  if (pkg.size === 0) { showInspection(pkg.name, null, texts, texts.empty); return; }
  const path = await packages.store(pkg);
  const report = JSON.parse(takeString(module.ccall('web_inspect', 'number', ['string'], [path])));
  showInspection(pkg.name, report, texts, report.opened ? '' : texts.cannotOpen);
  station?.kick();  // units that waited for a package
}

function saveLog() {
  const pad = (n, w = 2) => String(n).padStart(w, '0');
  const body = logLines.map(([ms, line]) => {
    const d = new Date(ms);
    return `${d.getFullYear()}-${pad(d.getMonth() + 1)}-${pad(d.getDate())} ` +
      `${pad(d.getHours())}:${pad(d.getMinutes())}:${pad(d.getSeconds())}.${pad(d.getMilliseconds(), 3)} ${line}`;
  }).join('\n') + '\n';
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([body], { type: 'text/plain' }));
  link.download = 'controller-updater.log';
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 0);
}

function wireDrops() {
  const zone = document.body;
  zone.addEventListener('dragover', (e) => { e.preventDefault(); $('drop').classList.add('over'); });
  zone.addEventListener('dragleave', () => $('drop').classList.remove('over'));
  zone.addEventListener('drop', (e) => {
    e.preventDefault();
    $('drop').classList.remove('over');
    const file = e.dataTransfer.files[0];
    if (!file) return;
    if (chooser.open) chooser.choose(Packages.fromFile(file));
    else if (!updating) inspect(Packages.fromFile(file));
  });
  $('inspect-file').addEventListener('change', (e) => {
    const file = e.target.files[0];
    e.target.value = '';
    if (file) inspect(Packages.fromFile(file));
  });
}

function showStaticTexts() {
  document.documentElement.lang = chinese ? 'zh-CN' : 'en';
  showSteps($('hint'), text(14));
  $('update').textContent = text(12);
  $('done').textContent = text(4);
  $('stop').textContent = texts.stop;
  $('connect').textContent = texts.connect;
  $('save-log').textContent = texts.saveLog;
  $('drop-label').textContent = texts.dropHere;
  $('inspect-pick').textContent = texts.pickFile;
  $('progress').setAttribute('aria-valuenow', '0');
  if (demo) { $('mode').textContent = texts.demo(demoName); $('mode').hidden = false; }
}

async function main() {
  module = await createUpdaterModule({ webHost: host });
  app = module._web_app_create(demo, chinese ? 1 : 0);
  log(`page ${location.pathname}${location.search}, ${navigator.userAgent}, ${chinese ? 'zh' : 'en'}`);
  packages = new Packages(module);
  // test-stall-ms: the browser tests' shorter stall limit, so a stall test
  // need not wait the real one.
  const stallMs = Number(params.get('test-stall-ms')) || module._web_fetch_stall_ms();
  fetches = new Fetches(stallMs, (bytes) => module._web_fetch_deadline_ms(bytes, stallMs));
  showStaticTexts();
  host.ui.title(text(6));
  wireDrops();
  $('update').addEventListener('click', update);
  $('stop').addEventListener('click', askStop);
  $('save-log').addEventListener('click', saveLog);
  window.addEventListener('beforeunload', (e) => { if (updating) { e.preventDefault(); e.returnValue = ''; } });
  window.addEventListener('pagehide', () => { fetches.stopAll(); if (updating) stop(); });

  if (!demo && !webHid) {
    $('no-webhid').textContent = texts.noWebHid;
    $('no-webhid').hidden = false;
  } else if (!demo) {
    const filters = JSON.parse(takeString(module._web_supported_controllers()))
      .map(([vendorId, productId]) => ({ vendorId, productId }));
    devices = new HidDevices(webHid, filters, waits, (code) => { station?.deviceChange(); return deviceChange(code); }, log);
    host.hid = devices;
    devices.onOpenFailed = () => openHelp.show();
    $('connect').hidden = false;
    $('connect').addEventListener('click', connect);
    await devices.remembered().catch((error) => log(`getDevices: ${error}`));
    station = new Station({ section: $('station'), chinese, module, app, devices, log, deployments,
      engine, busy: () => busy, packagePath: async () => (preselected ? packages.store(preselected) : null) });
  }
  const linked = params.get('package');
  if (linked) {
    const result = await Packages.fromUrl(linked, texts, fetches);
    if (result.refused) status(result.refused);
    else await inspect(result.package);
  }
  // Not waited for: a slow or stalled site must not hold the controller back.
  openCatalogue().catch((error) => log(`catalogue: ${error}`));
  if (demo || webHid) await engine('web_app_start');
  document.querySelector('main').setAttribute('aria-busy', 'false');
  document.body.dataset.readyMs = String(Math.round(performance.now()));
  document.body.dataset.ready = 'true';
  deployments.start().catch((error) => log(`service worker: ${error}`));
}

main().catch((error) => { log(`start: ${error}`); status(String(error)); });
