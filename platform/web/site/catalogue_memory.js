// What the page remembers of the catalogues it accepted: the module's state
// text (catalogue/freshness_state.h), as the native programs keep it in a
// file, here in one IndexedDB record. Only bytes: the module judges them.
// Any failure (no IndexedDB, a private window, a throw) reads as nothing
// remembered, and the module falls back to its build's floors.
const DATABASE = 'controller-updater';
const DATABASE_VERSION = 1;
const STORE = 'catalogue-memory';
const KEY = 'state';

function openDatabase() {
  return new Promise((resolve, reject) => {
    const request = indexedDB.open(DATABASE, DATABASE_VERSION);
    request.onupgradeneeded = () => request.result.createObjectStore(STORE);
    request.onsuccess = () => resolve(request.result);
    request.onerror = () => reject(request.error);
    request.onblocked = () => reject(new Error('blocked by another tab'));
  });
}

// use(store) makes one request: its result once the transaction is done.
async function withStore(mode, use) {
  const database = await openDatabase();
  try {
    const transaction = database.transaction(STORE, mode);
    const done = new Promise((resolve, reject) => {
      transaction.oncomplete = resolve;
      transaction.onerror = transaction.onabort = () => reject(transaction.error || new Error('aborted'));
    });
    const request = use(transaction.objectStore(STORE));
    const result = new Promise((resolve, reject) => {
      request.onsuccess = () => resolve(request.result);
      request.onerror = () => reject(request.error);
    });
    return (await Promise.all([result, done]))[0];
  } finally {
    database.close();
  }
}

let persistAsked = false;

export class CatalogueMemory {
  // { text } as stored, { absent } when nothing is, { failed: words }.
  async load() {
    try {
      const value = await withStore('readonly', (store) => store.get(KEY));
      if (value === undefined) return { absent: true };
      return typeof value === 'string' ? { text: value } : { failed: 'not text' };
    } catch (error) {
      return { failed: String(error?.message || error) };
    }
  }

  // '' once stored, else the cause in words.
  async save(text) {
    // Advisory: asked once, the answer ignored (the browser may still evict).
    if (!persistAsked) {
      persistAsked = true;
      navigator.storage?.persist?.().catch(() => {});
    }
    try {
      await withStore('readwrite', (store) => store.put(text, KEY));
      return '';
    } catch (error) {
      return String(error?.message || error);
    }
  }
}
