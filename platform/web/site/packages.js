// Package files for the module: a File, a drop or a same-site URL becomes a
// file in the module's own file system. Nothing larger than any controller
// could hold is read: such a file is refused before its first byte.
export const LARGEST_PACKAGE_BYTES = 64 * 1024 * 1024;
// What the service worker answers for a file it never cached, offline.
const GATEWAY_TIMEOUT = 504;

export class Packages {
  constructor(module) {
    this.FS = module.FS;
    this.FS.mkdir('/packages');
    this.count = 0;
  }

  // { name, size, bytes() } from a File.
  static fromFile(file) {
    return { name: file.name, size: file.size, bytes: async () => new Uint8Array(await file.arrayBuffer()) };
  }

  // The package at url on this page's own site, or a reason it is not taken.
  static async fromUrl(url, texts) {
    const target = new URL(url, location.href);
    if (target.origin !== location.origin) return { refused: texts.otherSite };
    const response = await fetch(target, { credentials: 'same-origin' }).catch(() => null);
    if (!response || !response.ok)
      return { refused: response?.status === GATEWAY_TIMEOUT ? texts.notOffline : texts.fetchFailed };
    const length = Number(response.headers.get('content-length') || 0);
    if (length > LARGEST_PACKAGE_BYTES) return { refused: texts.tooLarge(LARGEST_PACKAGE_BYTES >> 20) };
    const bytes = new Uint8Array(await response.arrayBuffer());
    // A reply without a length is checked once it is here.
    if (bytes.length > LARGEST_PACKAGE_BYTES) return { refused: texts.tooLarge(LARGEST_PACKAGE_BYTES >> 20) };
    const name = decodeURIComponent(target.pathname.split('/').pop() || 'package.dat');
    return { package: { name, size: bytes.length, bytes: async () => bytes } };
  }

  static tooLarge(pkg) { return pkg.size > LARGEST_PACKAGE_BYTES; }

  // Writes the package where the module reads it; its path. One at a time.
  async store(pkg) {
    const bytes = await pkg.bytes();
    for (const name of this.FS.readdir('/packages'))
      if (name !== '.' && name !== '..') this.FS.unlink(`/packages/${name}`);
    const path = `/packages/p${++this.count}.dat`;
    this.FS.writeFile(path, bytes);
    return path;
  }
}
