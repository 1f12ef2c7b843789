// Waiting for the page's start (body[data-ready]), with what it showed when
// it did not get there: its status, worker, last console lines and failed
// requests. (A start that hung once in CI had a faked clock holding
// performance.now, and with it the module's waits.)
const READY = 'body[data-ready="true"]';
const CONSOLE_KEPT = 40;

// Keeps the page's last console lines and errors for pageReady's report.
export function watchConsole(page) {
  const lines = [];
  const keep = (line) => { lines.push(line); if (lines.length > CONSOLE_KEPT) lines.shift(); };
  page.on('console', (m) => keep(`${m.type()}: ${m.text()}`));
  page.on('pageerror', (e) => keep(`error: ${e}`));
  page.on('requestfailed', (r) => keep(`failed: ${r.url()} ${r.failure()?.errorText}`));
  page.__consoleLines = lines;
  return page;
}

async function whereItStood(page) {
  const state = await page.evaluate(() => ({
    url: location.href,
    readyState: document.readyState,
    status: document.getElementById('status')?.textContent,
    worker: navigator.serviceWorker?.controller?.state ?? 'none',
  })).catch((e) => ({ evaluate: String(e) }));
  return `${JSON.stringify(state)}\n  ${(page.__consoleLines || []).join('\n  ')}`;
}

export async function pageReady(page, timeout = 60_000) {
  await page.waitForSelector(READY, { timeout }).catch(async (e) => {
    throw new Error(`${e.message}\nthe page stood at ${await whereItStood(page)}`);
  });
}
