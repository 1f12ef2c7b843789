// The modal message box and the package chooser, as native <dialog>s: they
// take the focus, keep it inside and give it back to where it was when
// they close (when that is disabled by then, the page takes it on).
import { ANSWER } from './codes.js';

export class MessageBox {
  constructor(texts) {
    this.box = document.getElementById('message');
    this.ok = document.getElementById('message-ok');
    this.cancel = document.getElementById('message-cancel');
    this.ok.textContent = texts.ok;
    this.cancel.textContent = texts.cancel;
    this.queue = Promise.resolve();
  }

  // Resolves with ANSWER.OK or ANSWER.CANCEL (also Esc on a question). One box at a time.
  show(text, caption, okCancel) {
    const shown = this.queue.then(() => new Promise((resolve) => {
      document.getElementById('message-caption').textContent = caption;
      document.getElementById('message-text').textContent = text;
      this.cancel.hidden = !okCancel;
      const opener = document.activeElement;
      const close = (answer) => {
        this.ok.onclick = this.cancel.onclick = this.box.oncancel = null;
        this.box.close();
        opener?.focus();
        resolve(answer);
      };
      this.ok.onclick = () => close(ANSWER.OK);
      this.cancel.onclick = () => close(ANSWER.CANCEL);
      this.box.oncancel = (e) => { e.preventDefault(); close(okCancel ? ANSWER.CANCEL : ANSWER.OK); };
      this.box.showModal();
      this.ok.focus();
    }));
    this.queue = shown;
    return shown;
  }
}

export class Chooser {
  constructor(texts) {
    this.texts = texts;
    this.box = document.getElementById('chooser');
    this.input = document.getElementById('chooser-file');
    this.use = document.getElementById('chooser-use');
    this.cancel = document.getElementById('chooser-cancel');
    this.pending = null;
    document.getElementById('chooser-caption').textContent = texts.chooserCaption;
    document.getElementById('chooser-pick').textContent = texts.pickFile;
    this.cancel.textContent = texts.cancel;
    this.input.addEventListener('change', () => {
      if (this.input.files.length) this.choose(this.input.files[0]);
      this.input.value = '';
    });
    this.box.addEventListener('cancel', (e) => { e.preventDefault(); this.choose(null); });
    this.cancel.addEventListener('click', () => this.choose(null));
  }

  get open() { return this.pending !== null; }

  // Resolves with the File (or preloaded package) the user picked, or null.
  show(label, preselected) {
    document.getElementById('chooser-label').textContent = label;
    this.use.hidden = !preselected;
    this.use.textContent = preselected ? this.texts.use(preselected.name) : '';
    this.use.onclick = () => this.choose(preselected);
    this.opener = document.activeElement;
    return new Promise((resolve) => {
      this.pending = resolve;
      this.box.showModal();
      (preselected ? this.use : this.input).focus();
    });
  }

  choose(file) {
    const resolve = this.pending;
    if (!resolve) return;
    this.pending = null;
    this.box.close();
    this.opener?.focus();
    resolve(file);
  }
}
