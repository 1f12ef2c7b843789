// Injected before the page's scripts (addInitScript): navigator.hid replaced
// by a fake whose one device is the simulated controller compiled to
// WebAssembly (build/web/testsim). It behaves as Chromium does where that
// matters: inputreport carries 64 bytes without the report ID, and after an
// unplug the disconnect event fires, the device still says opened and a
// sendReport on it never settles.
// Options (window.__fakeHidOptions, set by the test): kind 1|2, model,
// subModel, granted, foreign, unplugAfter, silentAfter, answerDelayMs,
// openFails (open() rejects as Chromium's does without access to the node;
// window.__fakeHid.openFails turns it off for a retry).
// More granted controllers: navigator.hid.plug({ kind, model, subModel })
// connects one (its index back); reEnumerate(index) brings it back as a new
// HIDDevice, as after its restart; swap(index) puts a fresh stream
// controller of the same model in its place.
(() => {
  const o = Object.assign({ kind: 1, model: 0, subModel: 0, granted: false, foreign: false,
    unplugAfter: 0, silentAfter: 0, answerDelayMs: 0, openFails: false }, window.__fakeHidOptions || {});
  const record = { sent: 0, opened: 0, filters: null, progressPeak: 0, openFails: o.openFails };
  window.__fakeHid = record;

  const ready = (async () => {
    const source = await (await fetch('/testsim/sim_controller.js')).text();
    const create = new Function(`${source}; return createSimControllerModule;`)();
    const mod = await create({ locateFile: (f) => `/testsim/${f}` });
    return { mod, sim: mod._sim_create(o.kind, o.model, o.subModel), buffer: mod._malloc(64) };
  })();

  class FakeDevice extends EventTarget {
    constructor(vendorId, productId, sim) {
      super();
      Object.assign(this, { vendorId, productId, productName: 'Simulated controller', collections: [],
                            opened: false, sim, unplugged: false });
    }
    async open() {
      if (record.openFails) throw new DOMException('Failed to open the device.', 'NotAllowedError');
      record.opened++;
      this.opened = true;
    }
    async close() { this.opened = false; }
    sendReport(reportId, data) {
      if (this.unplugged) return new Promise(() => {});
      record.sent++;
      if (o.unplugAfter && record.sent > o.unplugAfter) { unplug(this); return new Promise(() => {}); }
      const { mod, sim, buffer } = this.sim;
      const bytes = new Uint8Array(64);
      bytes.set(new Uint8Array(data.buffer || data, data.byteOffset || 0, Math.min(64, data.byteLength)));
      mod.HEAPU8.set(bytes, buffer);
      mod._sim_write(sim, buffer);
      const answers = [];
      while (mod._sim_take_answer(sim, buffer)) answers.push(mod.HEAPU8.slice(buffer, buffer + 64));
      if (!(o.silentAfter && record.sent > o.silentAfter)) {
        for (const answer of answers) {
          setTimeout(() => {
            if (this.unplugged || !this.opened) return;
            const event = new Event('inputreport');
            Object.assign(event, { device: this, reportId: 0, data: new DataView(answer.buffer) });
            this.dispatchEvent(event);
          }, o.answerDelayMs);
        }
      }
      return Promise.resolve();
    }
  }

  const hid = new EventTarget();
  let device = null;
  const deviceReady = ready.then((sim) => {
    const foreign = o.foreign;
    device = new FakeDevice(foreign ? 0x1234 : sim.mod._sim_vendor_id(sim.sim),
                            foreign ? 0x0001 : sim.mod._sim_product_id(sim.sim), sim);
    return device;
  });
  function unplug(d) {
    d.unplugged = true;  // still "opened", as Chromium 156 leaves it
    const event = new Event('disconnect');
    event.device = d;
    hid.dispatchEvent(event);
  }
  const plugged = [];
  function connectNew(index, d) {
    plugged[index] = d;
    const event = new Event('connect');
    event.device = d;
    hid.dispatchEvent(event);
    return index;
  }
  hid.plug = async ({ kind = 1, model = 0, subModel = 0 } = {}) => {
    const base = await ready;
    const sim = { ...base, sim: base.mod._sim_create(kind, model, subModel) };
    return connectNew(plugged.length,
      new FakeDevice(base.mod._sim_vendor_id(sim.sim), base.mod._sim_product_id(sim.sim), sim));
  };
  hid.reEnumerate = (index) => {
    const old = plugged[index];
    unplug(old);
    connectNew(index, new FakeDevice(old.vendorId, old.productId, old.sim));
  };
  // Another controller of the same model, still on the old version, in its place.
  hid.swap = async (index) => {
    const old = plugged[index];
    unplug(old);
    const base = await ready;
    connectNew(index, new FakeDevice(old.vendorId, old.productId, { ...base, sim: base.mod._sim_create(1, 0, 0) }));
  };
  hid.getDevices = async () => [...(o.granted ? [await deviceReady] : []), ...plugged.filter((d) => !d.unplugged)];
  hid.requestDevice = async ({ filters }) => {
    record.filters = filters;
    const d = await deviceReady;
    return filters.some((f) => f.vendorId === d.vendorId && f.productId === d.productId) ? [d] : [];
  };
  hid.unplugNow = async () => unplug(await deviceReady);
  Object.defineProperty(Navigator.prototype, 'hid', { get: () => hid, configurable: true });

})();
