// The catalogue's offer: the newest fitting package with its notes and an
// update button, the other fitting versions (beta ones behind a switch),
// "up to date", and why a catalogue or a package was refused.
const $ = (id) => document.getElementById(id);

export class CatalogueView {
  // onInstall(entry): the page's update with that package.
  // isBusy(): an engine call runs (the module cannot be asked then).
  constructor(texts, chinese, onInstall, isBusy) {
    this.isBusy = isBusy;
    this.words = texts.catalogue;
    this.language = chinese ? 'zh' : 'en';
    this.onInstall = onInstall;
    this.catalogue = null;
    this.app = null;
    this.running = '';
    $('offer-versions-title').textContent = this.words.versions;
    $('offer-beta-label').textContent = this.words.showBeta;
    $('offer-beta').addEventListener('change', () => { if (!this.isBusy()) this.refresh(); });
  }

  // expiring: { expires, daysLeft } when it expires soon, else null.
  use(catalogue, app, trust, expiring) {
    this.catalogue = catalogue;
    this.app = app;
    $('offer-trust').textContent = this.words.trust[trust];
    $('offer-expiring').textContent = expiring ? this.words.expiring(expiring.expires, expiring.daysLeft) : '';
    $('offer-expiring').hidden = !expiring;
  }

  refused(problem) {
    $('offer-problem').textContent = this.words.refused(this.words.why[problem] || problem);
    $('offer-problem').hidden = false;
  }

  // What the package check (a name) or the download (a sentence) said,
  // before anything was sent.
  packageRefused(why) {
    const mismatch = this.words.mismatch[why];
    $('offer-problem').textContent = mismatch ? this.words.packageRefused(mismatch) : this.words.downloadFailed(why);
    $('offer-problem').hidden = false;
  }

  clearProblem() { $('offer-problem').hidden = true; }

  // After every engine call: the connected controller may have changed.
  refresh(connectedJson) {
    if (connectedJson !== undefined) this.running = connectedJson ? JSON.parse(connectedJson).release : null;
    const section = $('catalogue');
    const stable = this.catalogue && this.running !== null ? this.catalogue.fitting(this.app, false) : null;
    section.hidden = !stable;
    if (!stable) return;
    const newest = stable[0];
    const others = this.catalogue.fitting(this.app, $('offer-beta').checked).filter((p) => p.index !== newest?.index);
    const version = (p) => this.words.version(p);
    if (!newest) $('offer-title').textContent = this.words.noneFits;
    else if (newest.newer) $('offer-title').textContent = this.words.available(version(newest), this.words.running(this.running));
    else $('offer-title').textContent = this.words.upToDate(this.running);
    $('offer-notes').textContent = newest?.newer ? newest.notes[this.language] : '';
    $('offer-update').hidden = !newest?.newer;
    if (newest?.newer) {
      $('offer-update').textContent = this.words.install(version(newest));
      $('offer-update').onclick = () => this.onInstall(newest);
    }
    $('offer-list').replaceChildren(...others.map((p) => this.item(p)));
  }

  item(p) {
    const li = document.createElement('li');
    const what = document.createElement('span');
    what.textContent = `${this.words.version(p)}${p.channel === 'beta' ? ` (${this.words.beta})` : ''}` +
      `${p.date ? `, ${p.date}` : ''}`;
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'secondary';
    button.textContent = this.words.install(this.words.version(p));
    button.onclick = () => this.onInstall(p);
    const notes = document.createElement('p');
    notes.className = 'offer-notes';
    notes.textContent = p.notes[this.language];
    li.append(what, button, notes);
    return li;
  }
}
