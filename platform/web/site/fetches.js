// Downloads from this page's own site, bounded: one ends when no byte has
// come for the stall limit (counted from the request until the first byte,
// then afresh for each piece, so a slow but moving download goes on), when
// it has taken longer than its deadline in all (however steadily it moves),
// when its body passes a cap (never read whole), or when the page stops them all.

// A download that passed its deadline.
export const PAST_DEADLINE = 'past-deadline';

export class Fetches {
  // stallMs: how long a download may go without a byte; deadlineMs(bytes):
  // how long in all one of that many bytes may take.
  constructor(stallMs, deadlineMs) {
    this.stallMs = stallMs;
    this.deadlineMs = deadlineMs;
    this.running = new Set();  // each running download's abort
  }

  // The bytes at a same-site url, at most limit of them, within the
  // deadline of the listed size (default: limit): { bytes }, or { problem }
  // with problem one of 'other-site', 'redirected' (to another site),
  // 'status' (and status), 'too-large', 'timed-out', PAST_DEADLINE,
  // 'stopped', 'fetch'.
  async get(url, limit, listed = limit) {
    const target = new URL(url, location.href);
    if (target.origin !== location.origin) return { problem: 'other-site' };
    const controller = new AbortController();
    let why = 'fetch';
    const end = (problem) => { why = problem; controller.abort(); };
    let timer = 0;
    const stallFrom = () => { clearTimeout(timer); timer = setTimeout(() => end('timed-out'), this.stallMs); };
    const stop = () => end('stopped');
    this.running.add(stop);
    stallFrom();
    const deadline = setTimeout(() => end(PAST_DEADLINE), this.deadlineMs(listed));
    try {
      // A redirect to another site makes a same-origin fetch fail.
      const response = await fetch(target, { mode: 'same-origin', credentials: 'same-origin',
                                             signal: controller.signal });
      if (!response.ok) { response.body?.cancel(); return { problem: 'status', status: response.status }; }
      if (Number(response.headers.get('content-length') || 0) > limit) {
        response.body?.cancel();
        return { problem: 'too-large' };
      }
      const bytes = await readCapped(response.body, limit, stallFrom);
      return bytes ? { bytes } : { problem: 'too-large' };
    } catch {
      const redirected = why === 'fetch' && await redirects(target, controller.signal);
      return { problem: redirected ? 'redirected' : why };
    } finally {
      clearTimeout(timer);
      clearTimeout(deadline);
      this.running.delete(stop);
    }
  }

  // Ends every download running now; each answers 'stopped'.
  stopAll() { for (const stop of [...this.running]) stop(); }
}

// Whether url answers with a redirect: after a failed same-origin fetch,
// a redirect means it led to another site (the fetch refused it), not that
// the network failed.
async function redirects(url, signal) {
  try {
    const response = await fetch(url, { mode: 'same-origin', credentials: 'same-origin', redirect: 'manual', signal });
    return response.type === 'opaqueredirect';
  } catch {
    return false;
  }
}

// A reply's body in pieces, onPiece() after each; null (and the rest never
// fetched) once it passes limit.
async function readCapped(body, limit, onPiece) {
  if (!body) return new Uint8Array(0);
  const reader = body.getReader();
  const pieces = [];
  let total = 0;
  for (let piece = await reader.read(); !piece.done; piece = await reader.read()) {
    onPiece();
    total += piece.value.length;
    if (total > limit) { await reader.cancel(); return null; }
    pieces.push(piece.value);
  }
  const bytes = new Uint8Array(total);
  let at = 0;
  for (const piece of pieces) { bytes.set(piece, at); at += piece.length; }
  return bytes;
}
