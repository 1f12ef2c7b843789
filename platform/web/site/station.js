// Station mode on the page: with the switch on and a package chosen, each
// granted controller that connects is updated with that package, without
// the per-unit click. The module's station (web_station.cpp) decides which
// plug-ins are units (once per plug-in, the same unit after its update's
// re-enumeration, up to date left alone, a failed one again only when
// plugged in again); this module lists the present controllers, runs the
// queued units one at a time and shows each unit's line and the counters.

const EN = {
  switch: 'Update each controller I connect',
  note: 'Turning this on is your confirmation: every granted controller that connects (and any already connected) is updated with the chosen package, without asking.',
  noPackage: 'Choose a package first (drop it here, pick a file or open a ?package= link).',
  heading: 'Controllers updated here',
  counters: ({ updated, upToDate, failed, refused }) =>
    `Updated ${updated} · up to date ${upToDate} · failed ${failed} · refused ${refused}`,
  outcomes: {
    updated: 'updated', 'up to date': 'up to date, left alone', failed: 'failed', refused: 'refused: the package has nothing for it',
  },
  line: ({ time, family, before, after, words, message }) =>
    `${time}  ${family} controller  ${before} → ${after}  ${words}${message ? `: ${message}` : ''}`,
};

const ZH = {
  switch: '自动更新我连接的每个手柄',
  note: '打开此开关即表示您确认：每个已授权并连接的手柄（包括已连接的）都会用所选固件包更新，不再逐个询问。',
  noPackage: '请先选择固件包（拖到此处、选择文件或打开 ?package= 链接）。',
  heading: '本页更新的手柄',
  counters: ({ updated, upToDate, failed, refused }) =>
    `已更新 ${updated} · 已是最新 ${upToDate} · 失败 ${failed} · 拒绝 ${refused}`,
  outcomes: {
    updated: '已更新', 'up to date': '已是最新，未改动', failed: '失败', refused: '拒绝：固件包中没有适用于它的记录',
  },
  line: ({ time, family, before, after, words, message }) =>
    `${time}  ${family} 手柄  ${before} → ${after}  ${words}${message ? `：${message}` : ''}`,
};

// Each present controller as three 32-bit words: id, vendor id, product id.
const WORDS_PER_DEVICE = 3;
const WORD_BYTES = 4;

export class Station {
  // engine(name): the page's one engine call at a time; busy(): whether one
  // runs; packagePath(): the chosen package stored for the module, or null.
  constructor({ section, chinese, module, app, devices, engine, busy, packagePath, deployments, log }) {
    Object.assign(this, { section, module, app, devices, engine, busy, packagePath, deployments, log });
    this.texts = chinese ? ZH : EN;
    this.running = false;
    this.build();
  }

  build() {
    const t = this.texts;
    const make = (tag, props = {}) => Object.assign(document.createElement(tag), props);
    this.box = make('input', { type: 'checkbox', id: 'station-on' });
    const label = make('label', { htmlFor: 'station-on', textContent: t.switch });
    const note = make('p', { id: 'station-note', className: 'hint', textContent: t.note });
    this.box.setAttribute('aria-describedby', 'station-note');
    this.problem = make('p', { id: 'station-problem', className: 'status', hidden: true });
    this.counters = make('p', { id: 'station-counters', className: 'status' });
    this.lines = make('ol', { id: 'station-units', className: 'units' });
    this.lines.setAttribute('aria-live', 'polite');
    this.lines.setAttribute('aria-label', t.heading);
    const row = make('div', { className: 'switch' });
    row.append(this.box, label);
    this.section.append(row, note, this.problem, this.counters, this.lines);
    this.showCounters({ updated: 0, upToDate: 0, failed: 0, refused: 0 });
    this.box.addEventListener('change', () => this.deviceChange());
    this.section.hidden = false;
  }

  get on() { return this.box.checked; }

  // Any connect or disconnect of a granted device (and the switch itself).
  deviceChange() {
    if (!this.on) { this.problem.hidden = true; return; }
    this.reconcile();
    this.kick();
  }

  reconcile() {
    const present = [...this.devices.byId.entries()].sort(([a], [b]) => a - b)
      .map(([id, entry]) => [id, entry.device.vendorId, entry.device.productId]).flat();
    const words = this.module._malloc(Math.max(1, present.length) * WORD_BYTES);
    this.module.HEAP32.set(present, words / WORD_BYTES);
    this.module._web_station_reconcile(this.app, words, present.length / WORDS_PER_DEVICE);
    this.module._free(words);
  }

  // Runs the queued units one after the other, when the engine is free;
  // the page calls it again after each engine call.
  async kick() {
    if (!this.on || this.running || this.busy() || !this.module._web_station_queued(this.app)) return;
    // Running from here: a second kick while the package is stored would
    // store it again and remove the file this one is about to use.
    this.running = true;
    const path = await this.packagePath();
    this.problem.textContent = path ? '' : this.texts.noPackage;
    this.problem.hidden = Boolean(path);
    if (!path || this.busy()) { this.running = false; return; }
    this.deployments.pause();
    try {
      for (;;) {
        const pathBytes = this.cString(path);
        let json;
        try {
          json = this.take(await this.engine('web_station_run_next', pathBytes));
        } finally {
          this.module._free(pathBytes);
        }
        if (!json) break;
        this.show(JSON.parse(json));
      }
    } finally {
      this.running = false;
      this.deployments.resume();
    }
    this.kick();  // units that connected as the last one ended
  }

  cString(text) {
    const bytes = new TextEncoder().encode(`${text}\0`);
    const pointer = this.module._malloc(bytes.length);
    this.module.HEAPU8.set(bytes, pointer);
    return pointer;
  }

  take(pointer) {
    const value = this.module.UTF8ToString(pointer);
    this.module._free(pointer);
    return value;
  }

  show(unit) {
    const t = this.texts;
    const time = new Date().toLocaleTimeString(document.documentElement.lang, { hour12: false });
    const words = t.outcomes[unit.outcome] || unit.outcome;
    const item = document.createElement('li');
    item.dataset.outcome = unit.outcome;
    item.textContent = t.line({ ...unit, time, words });
    this.lines.append(item);
    this.showCounters(unit.counters);
    this.log(`station: ${unit.family} ${unit.before} -> ${unit.after} ${unit.outcome}${unit.message ? `: ${unit.message}` : ''}`);
  }

  showCounters(counters) {
    this.counters.textContent = this.texts.counters(counters);
    Object.assign(this.counters.dataset, counters);
  }
}
