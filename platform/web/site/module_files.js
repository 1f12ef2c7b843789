// The module's files (the catalogue, key sets, signatures, the remembered
// state, packages): kept here, where the module reads them by path
// (web_library.js). Only plain JavaScript: the page puts files while the
// module may be suspended in the middle of a call.
const encoder = new TextEncoder();

const filesOf = (module) => (module.pageFiles ||= new Map());

// Puts bytes (a Uint8Array, or a string as UTF-8) at path, replacing a file there.
export function putFile(module, path, bytes) {
  filesOf(module).set(path, typeof bytes === 'string' ? encoder.encode(bytes) : bytes);
}

// Removes every file whose path starts with prefix.
export function removeFiles(module, prefix) {
  const files = filesOf(module);
  for (const path of [...files.keys()]) if (path.startsWith(prefix)) files.delete(path);
}
