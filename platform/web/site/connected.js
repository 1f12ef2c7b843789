// "Connected: …": what the engine learnt when it attached the controller, in
// the page's own words beside the dialog's title (which keeps its own rule).
export function showConnected(element, json, texts) {
  const controller = json ? JSON.parse(json) : null;
  element.hidden = !controller;
  element.textContent = controller ? texts.connected(controller) : '';
  return Boolean(controller);
}
