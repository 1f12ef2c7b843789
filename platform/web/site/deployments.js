// Offline use and new deployments: registers the service worker (sw.js,
// written at build time). A new deployment installs beside the running one
// and waits; the page offers a reload only while no update runs, and only
// the user's click lets the new one take over and reload this page.
export class Deployments {
  constructor(section, texts) {
    this.section = section;
    this.texts = texts;
    this.waiting = null;
    this.paused = false;
    this.reloading = false;
  }

  async start() {
    if (!('serviceWorker' in navigator)) return;
    const workers = navigator.serviceWorker;
    workers.addEventListener('controllerchange', () => { if (this.reloading) location.reload(); });
    const registration = await workers.register('sw.js');
    const found = () => {
      // The first install of all is no new deployment: nothing controls the page yet.
      if (registration.waiting && workers.controller) { this.waiting = registration.waiting; this.offer(); }
    };
    registration.addEventListener('updatefound', () => {
      const worker = registration.installing;
      worker?.addEventListener('statechange', () => { if (worker.state === 'installed') found(); });
    });
    found();
  }

  // While an update runs nothing is offered; afterwards a waiting version is.
  pause() { this.paused = true; this.section.hidden = true; }
  resume() { this.paused = false; this.offer(); }

  offer() {
    if (!this.waiting || this.paused) return;
    const reload = document.createElement('button');
    reload.type = 'button';
    reload.className = 'secondary';
    reload.textContent = this.texts.reload;
    reload.addEventListener('click', () => {
      if (this.paused) return;
      this.reloading = true;
      this.waiting.postMessage('reload');
    });
    const note = document.createElement('span');
    note.textContent = this.texts.newVersion;
    this.section.replaceChildren(note, reload);
    this.section.hidden = false;
  }
}
