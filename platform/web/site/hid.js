// The granted WebHID devices, as the module's backend sees them
// (web_library.js): ids, attributes, open, and bounded reads and writes.
//
// After a disconnect Chromium keeps the old device "opened" and a sendReport
// on it never settles, so no wait here ends on a promise alone: each also
// ends on the device leaving, its time-out or a stop.
import { DEVICE_CHANGE } from './codes.js';

const READ_REPORT = 0, READ_TIMEOUT = 1, READ_GONE = 2;
const OPEN_TIMEOUT_MS = 3000;
const QUEUE_LIMIT = 256;

export class HidDevices {
  constructor(hid, filters, waits, onChange, log) {
    this.hid = hid;
    this.filters = filters;
    this.waits = waits;
    this.onChange = onChange;   // (eventCode) => void, the dialog's codes
    this.log = log;
    this.byDevice = new Map();  // HIDDevice -> entry
    this.byId = new Map();      // id -> entry
    this.nextId = 1;
    hid.addEventListener('connect', (e) => { this.add(e.device); onChange(DEVICE_CHANGE.ARRIVAL); });
    hid.addEventListener('disconnect', (e) => this.gone(e.device));
  }

  async remembered() {
    for (const device of await this.hid.getDevices()) this.add(device);
  }

  // The browser's chooser, filtered to our controllers. True when one was granted.
  async request() {
    const devices = await this.hid.requestDevice({ filters: this.filters });
    for (const device of devices) this.add(device);
    return devices.length > 0;
  }

  add(device) {
    let entry = this.byDevice.get(device);
    if (entry && !entry.gone) return entry;
    entry = { id: this.nextId++, device, gone: false, listening: false, queue: [],
              readers: new Set(), others: new Set() };
    this.byDevice.set(device, entry);
    this.byId.set(entry.id, entry);
    device.addEventListener('inputreport', (e) => this.input(entry, e));
    this.log(`device ${entry.id}: ${hex(device.vendorId)}:${hex(device.productId)} ${device.productName || ''}`);
    return entry;
  }

  gone(device) {
    const entry = this.byDevice.get(device);
    if (!entry || entry.gone) return;
    entry.gone = true;
    this.byDevice.delete(device);
    this.byId.delete(entry.id);
    this.log(`device ${entry.id} disconnected`);
    for (const wait of [...entry.readers]) wait.end(READ_GONE);
    for (const wait of [...entry.others]) wait.end(0);
    this.onChange(DEVICE_CHANGE.REMOVE_COMPLETE);
  }

  input(entry, event) {
    if (!entry.listening || entry.gone) return;
    const data = event.data;
    const bytes = new Uint8Array(64);
    bytes.set(new Uint8Array(data.buffer, data.byteOffset, Math.min(64, data.byteLength)));
    const reader = entry.readers.values().next().value;
    if (reader) { reader.end(READ_REPORT, bytes); return; }
    if (entry.queue.length >= QUEUE_LIMIT) entry.queue.shift();
    entry.queue.push(bytes);
  }

  // --- The module's calls ---
  list() { return [...this.byId.keys()]; }

  attributes(id) {
    const entry = this.byId.get(id);
    if (!entry) return null;
    return { vendorId: entry.device.vendorId, productId: entry.device.productId, version: 0 };
  }

  open(id, done) {
    const entry = this.byId.get(id);
    if (!entry) { done(0); return; }
    if (entry.device.opened) { done(1); return; }
    const wait = this.waits.begin({ ms: OPEN_TIMEOUT_MS, onEnd: done, onTimeout: () => done(0),
      onStop: () => done(0), cleanup: () => entry.others.delete(wait) });
    entry.others.add(wait);
    entry.device.open().then(() => wait.end(1), (error) => {
      this.log(`open: ${error}`);
      this.onOpenFailed?.(error);  // set by the page: its help for this case
      wait.end(0);
    });
  }

  listen(id, on) {
    const entry = this.byId.get(id);
    if (!entry) return;
    entry.listening = on;
    entry.queue.length = 0;
  }

  write(id, bytes, timeoutMs, done) {
    const entry = this.byId.get(id);
    if (!entry) { done(0); return; }
    const wait = this.waits.begin({ ms: timeoutMs, onEnd: done, onTimeout: () => done(0),
      onStop: () => done(0), cleanup: () => entry.others.delete(wait) });
    entry.others.add(wait);
    entry.device.sendReport(0, bytes).then(() => wait.end(1),
      (error) => { this.log(`sendReport: ${error}`); wait.end(0); });
  }

  read(id, timeoutMs, done) {
    const entry = this.byId.get(id);
    if (!entry) { done(READ_GONE); return; }
    if (entry.queue.length) { done(READ_REPORT, entry.queue.shift()); return; }
    const wait = this.waits.begin({ ms: timeoutMs, onEnd: done, onTimeout: () => done(READ_TIMEOUT),
      onStop: () => done(READ_TIMEOUT), cleanup: () => entry.readers.delete(wait) });
    entry.readers.add(wait);
  }
}

function hex(n) { return n.toString(16).padStart(4, '0'); }
