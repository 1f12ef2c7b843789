// Package files for the module: a File, a drop or a same-site URL becomes a
// file of the module's. Nothing larger than any controller could hold is
// read whole: a file or a reply with a larger length is refused before its
// first byte, a reply without a length once it has passed the cap.
import { PAST_DEADLINE } from './fetches.js';
import { putFile, removeFiles } from './module_files.js';

export const LARGEST_PACKAGE_BYTES = 64 * 1024 * 1024;
// What the service worker answers for a file it never cached, offline.
export const NOT_OFFLINE = 504;
const PACKAGE_FOLDER = '/packages/';

export class Packages {
  constructor(module) {
    this.module = module;
    this.count = 0;
  }

  // { name, size, bytes() } from a File.
  static fromFile(file) {
    return { name: file.name, size: file.size, bytes: async () => new Uint8Array(await file.arrayBuffer()) };
  }

  // The package at url on this page's own site (fetches: the page's
  // Fetches; listed: the most bytes taken, when known, and its deadline's
  // size), or a reason it is not taken (tooLarge: longer than listed).
  static async fromUrl(url, texts, fetches, listed = LARGEST_PACKAGE_BYTES) {
    const limit = Math.min(listed, LARGEST_PACKAGE_BYTES);
    const got = await fetches.get(url, limit, listed);
    if (got.problem) return { refused: refusal(got, texts), tooLarge: got.problem === 'too-large' };
    const name = decodeURIComponent(new URL(url, location.href).pathname.split('/').pop() || 'package.dat');
    return { package: { name, size: got.bytes.length, bytes: async () => got.bytes } };
  }

  static tooLarge(pkg) { return pkg.size > LARGEST_PACKAGE_BYTES; }

  // Writes the package where the module reads it; its path. One at a time.
  async store(pkg) {
    const bytes = await pkg.bytes();
    removeFiles(this.module, PACKAGE_FOLDER);
    const path = `${PACKAGE_FOLDER}p${++this.count}.dat`;
    putFile(this.module, path, bytes);
    return path;
  }
}

// The words for a download that did not bring a package.
function refusal({ problem, status }, texts) {
  switch (problem) {
  case 'other-site': return texts.otherSite;
  case 'redirected': return texts.redirected;
  case 'too-large': return texts.tooLarge(LARGEST_PACKAGE_BYTES >> 20);
  case 'timed-out': return texts.stalled;
  case PAST_DEADLINE: return texts.tookTooLong;
  case 'stopped': return texts.downloadStopped;
  default: return status === NOT_OFFLINE ? texts.notOffline : texts.fetchFailed;
  }
}
