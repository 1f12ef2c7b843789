// The inspect view: what `controller-updater inspect` shows, from the
// module's package checks.
const $ = (id) => document.getElementById(id);
const hex = (n) => `0x${n.toString(16).toUpperCase()}`;

export function showInspection(name, report, texts, problem) {
  $('inspect').hidden = false;
  $('inspect-title').textContent = texts.inspectTitle(name);
  $('inspect-head').replaceChildren(...texts.columns.map((label) => cell('th', label)));
  const rows = (report ? report.records : []).map((r) => {
    const row = document.createElement('tr');
    const sound = r.problem === 'None';
    row.append(
      cell('td', String(r.offset)),
      cell('td', r.headerRead ? `${hex(r.deviceType)}${r.special ? ` (${texts.special})` : ''}` : ''),
      cell('td', r.headerRead ? r.version : ''),
      cell('td', r.headerRead ? hex(r.imageAddress) : ''),
      cell('td', r.headerRead ? String(r.imageSize) : ''),
      cell('td', texts.problems[r.problem] || r.problem, sound ? '' : 'bad'),
      cell('td', r.chosenFor.length ? r.chosenFor.join(', ') : texts.none));
    return row;
  });
  $('inspect-rows').replaceChildren(...rows);
  const sound = report && report.records.length > 0 && report.records.every((r) => r.problem === 'None');
  const verdict = problem || (sound ? texts.sound : texts.broken);
  $('inspect-verdict').textContent = verdict;
  $('inspect-verdict').className = sound && !problem ? '' : 'bad';
}

function cell(tag, content, className = '') {
  const element = document.createElement(tag);
  element.textContent = content;
  if (className) element.className = className;
  return element;
}
