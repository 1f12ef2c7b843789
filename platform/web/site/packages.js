// Package files for the module: a File, a drop or a same-site URL becomes a
// file in the module's own file system. Nothing larger than any controller
// could hold is read whole: a file or a reply with a larger length is refused
// before its first byte, a reply without a length once it has passed the cap.
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
    // A redirect to another site makes a same-origin fetch fail.
    const response = await fetch(target, { mode: 'same-origin', credentials: 'same-origin' }).catch(() => null);
    if (!response || !response.ok)
      return { refused: response?.status === GATEWAY_TIMEOUT ? texts.notOffline : texts.fetchFailed };
    const tooLarge = { refused: texts.tooLarge(LARGEST_PACKAGE_BYTES >> 20) };
    const length = Number(response.headers.get('content-length') || 0);
    if (length > LARGEST_PACKAGE_BYTES) { response.body?.cancel(); return tooLarge; }
    const bytes = await readCapped(response.body, LARGEST_PACKAGE_BYTES).catch(() => undefined);
    if (bytes === undefined) return { refused: texts.fetchFailed };
    if (bytes === null) return tooLarge;
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

// A reply's body in pieces; null (and the rest never fetched) once it passes limit.
export async function readCapped(body, limit) {
  if (!body) return new Uint8Array(0);
  const reader = body.getReader();
  const pieces = [];
  let total = 0;
  for (let piece = await reader.read(); !piece.done; piece = await reader.read()) {
    total += piece.value.length;
    if (total > limit) { await reader.cancel(); return null; }
    pieces.push(piece.value);
  }
  const bytes = new Uint8Array(total);
  let at = 0;
  for (const piece of pieces) { bytes.set(piece, at); at += piece.length; }
  return bytes;
}
