// The dialog's instructions, laid out for the page: each numbered step on a
// line of its own. The text keeps its bytes (the dialog's fixed-width runs of
// spaces and line breaks included); the steps are blocks and white space
// collapses, so the gaps meant for the dialog's layout do not show.
export function showSteps(element, text) {
  const parts = text.split(/((?:\r?\n)+)/);
  element.replaceChildren(...parts.map((part, i) => {
    if (i % 2) return document.createTextNode(part);  // the breaks between steps
    const step = document.createElement('span');
    step.className = 'step';
    step.textContent = part;
    return step;
  }));
}
