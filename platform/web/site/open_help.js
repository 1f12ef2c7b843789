// What to do when the browser cannot open the controller: on Linux the udev
// rule this site serves and the commands that install it, elsewhere another
// program holding the device. "Try again" retries without a reload.
const UDEV_RULE = '70-controller-updater.rules';

function onLinux(nav = navigator) {
  const platform = nav.userAgentData?.platform;
  if (platform) return platform === 'Linux';
  return /Linux/.test(nav.userAgent) && !/Android|CrOS/.test(nav.userAgent);
}

export class OpenHelp {
  constructor(section, texts, retry) {
    this.section = section;
    this.texts = texts;
    this.retry = retry;
  }

  show() {
    const t = this.texts.openFailed;
    const parts = [paragraph(t.what)];
    if (onLinux()) {
      const link = document.createElement('a');
      link.href = UDEV_RULE;
      link.download = UDEV_RULE;
      link.textContent = UDEV_RULE;
      const commands = document.createElement('pre');
      commands.textContent = t.commands(UDEV_RULE).join('\n');
      parts.push(paragraph(t.linux, link), commands, paragraph(t.replug));
    } else {
      parts.push(paragraph(t.elsewhere));
    }
    const again = document.createElement('button');
    again.type = 'button';
    again.className = 'secondary';
    again.textContent = t.retry;
    again.addEventListener('click', () => { this.hide(); this.retry(); });
    parts.push(again);
    this.section.replaceChildren(...parts);
    this.section.hidden = false;
  }

  hide() { this.section.hidden = true; }
}

function paragraph(...content) {
  const p = document.createElement('p');
  p.append(...content);
  return p;
}
