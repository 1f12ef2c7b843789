// Every wait the engine is in, so one stop ends them all at once. Each wait
// ends exactly once: on its own event (end), its time-out or a stop; the
// same cleanup runs whichever came first.
export class Waits {
  constructor() { this.pending = new Set(); }

  begin({ ms, onEnd, onTimeout, onStop, cleanup = () => {} }) {
    let timer = 0;
    const wait = {};
    const finish = (call, ...args) => {
      if (!this.pending.delete(wait)) return;
      clearTimeout(timer);
      cleanup();
      call(...args);
    };
    wait.end = (...args) => finish(onEnd, ...args);
    wait.stop = () => finish(onStop);
    this.pending.add(wait);
    timer = setTimeout(() => finish(onTimeout), ms);
    return wait;
  }

  // A stop: every wait running now ends; later ones wait as usual.
  stopAll() { for (const wait of [...this.pending]) wait.stop(); }
}
