// The page's own words, around the dialog's texts (which come from the
// module's text table). Chinese under the PRC language, English otherwise,
// as the dialog chooses.
// The same two commands in either language: install the rule, apply it.
const udevCommands = (rule) => [`sudo cp ~/Downloads/${rule} /etc/udev/rules.d/`,
  'sudo udevadm control --reload-rules && sudo udevadm trigger --subsystem-match=hidraw'];

const EN = {
  noWebHid: 'This browser cannot talk to USB controllers (no WebHID). Open this page in Chrome, Edge or Opera on Windows, macOS, Linux or ChromeOS, served over https or from localhost. You can still drop a package here to see what it holds.',
  connect: 'Connect controller',
  stop: 'Stop',
  ok: 'OK',
  cancel: 'Cancel',
  saveLog: 'Save log',
  dropHere: 'Drop a .dat package here to see what it holds.',
  pickFile: 'Choose file…',
  chooserCaption: 'Firmware package',
  use: (name) => `Use ${name}`,
  demo: (kind) => `Demo: simulated ${kind} controller`,
  inspectTitle: (name) => `Package ${name}`,
  columns: ['Offset', 'Type', 'Version', 'Address', 'Size', 'Check', 'Taken by'],
  special: 'special',
  none: 'none',
  sound: 'Every record is sound.',
  broken: 'The package has a broken record.',
  cannotOpen: 'The package cannot be read.',
  tooLarge: (mb) => `The file is larger than ${mb} MB; no controller takes a package that size.`,
  empty: 'The file is empty (0 bytes).',
  problems: {
    None: 'sound', CannotOpen: 'cannot be opened', ReadError: 'header cannot be read',
    HeaderCutShort: 'broken: header cut short', EmptyImage: 'broken: image size 0',
    OffsetOverflow: 'broken: ends beyond 2 GiB', ImagePastEnd: 'broken: image runs past the end',
  },
  refusals: {
    'no-record': 'The package has no record for this controller; nothing was sent.',
    'cannot-open': 'The package cannot be opened; nothing was sent.',
    incompatible: 'This controller does not accept that firmware version; nothing was sent.',
    cancelled: 'Cancelled; nothing was sent.',
  },
  stopped: 'The update was stopped.',
  otherSite: 'Packages are loaded from this site only.',
  fetchFailed: 'The package could not be loaded.',
  notOffline: 'Not available offline.',
  connected: ({ family, release, beta }) =>
    `Connected: ${family} controller, ${release ? `firmware V${release}${beta ? ` beta${beta}` : ''}` : 'no firmware'}`,
  openFailed: {
    what: 'The browser could not open the controller.',
    linux: 'On Linux a browser may open it only with this udev rule installed: ',
    commands: udevCommands,
    replug: 'Run these two commands (from the folder you saved the rule to), then unplug the controller and plug it in again.',
    elsewhere: 'Another program may be using it. Close other programs that use the controller, then unplug it and plug it in again.',
    retry: 'Try again',
  },
  progressAt: (percent) => `Update ${percent}% done`,
  newVersion: 'A new version of this page is ready.',
  reload: 'Reload',
};

const ZH = {
  noWebHid: '此浏览器无法连接 USB 手柄（不支持 WebHID）。请在 Windows、macOS、Linux 或 ChromeOS 上用 Chrome、Edge 或 Opera 打开本页（https 或 localhost）。仍可将固件包拖到此处查看其内容。',
  connect: '连接手柄',
  stop: '停止',
  ok: '确定',
  cancel: '取消',
  saveLog: '保存日志',
  dropHere: '将 .dat 固件包拖到此处查看其内容。',
  pickFile: '选择文件…',
  chooserCaption: '固件包',
  use: (name) => `使用 ${name}`,
  demo: (kind) => `演示：模拟的 ${kind} 手柄`,
  inspectTitle: (name) => `固件包 ${name}`,
  columns: ['偏移', '类型', '版本', '地址', '大小', '检查', '适用于'],
  special: '特殊',
  none: '无',
  sound: '所有记录均完好。',
  broken: '固件包中有损坏的记录。',
  cannotOpen: '无法读取固件包。',
  tooLarge: (mb) => `文件大于 ${mb} MB，没有手柄接受这么大的固件包。`,
  empty: '文件为空（0 字节）。',
  problems: {
    None: '完好', CannotOpen: '无法打开', ReadError: '无法读取头部',
    HeaderCutShort: '损坏：头部不完整', EmptyImage: '损坏：映像大小为 0',
    OffsetOverflow: '损坏：超出 2 GiB', ImagePastEnd: '损坏：映像超出文件末尾',
  },
  refusals: {
    'no-record': '固件包中没有适用于此手柄的记录，未发送任何数据。',
    'cannot-open': '无法打开固件包，未发送任何数据。',
    incompatible: '此手柄不接受该固件版本，未发送任何数据。',
    cancelled: '已取消，未发送任何数据。',
  },
  stopped: '更新已停止。',
  otherSite: '只能从本站加载固件包。',
  fetchFailed: '无法加载固件包。',
  notOffline: '离线时不可用。',
  connected: ({ family, release, beta }) =>
    `已连接：${family} 手柄，${release ? `固件 V${release}${beta ? ` beta${beta}` : ''}` : '无固件'}`,
  openFailed: {
    what: '浏览器无法打开手柄。',
    linux: '在 Linux 上，需安装此 udev 规则后浏览器才能打开手柄：',
    commands: udevCommands,
    replug: '请在保存规则的文件夹中运行以上两条命令，然后拔下手柄并重新插入。',
    elsewhere: '可能有其他程序正在使用手柄。请关闭使用手柄的其他程序，然后拔下手柄并重新插入。',
    retry: '重试',
  },
  progressAt: (percent) => `已更新 ${percent}%`,
  newVersion: '本页有新版本。',
  reload: '重新加载',
};

// The dialog's rule: only Chinese as used in the PRC counts as Chinese.
export function isChinesePrc(languages) {
  const tag = (languages && languages[0] || '').toLowerCase();
  return tag === 'zh' || tag === 'zh-cn' || tag.startsWith('zh-hans') || tag.startsWith('zh-cn-');
}

export function pageTexts(chinese) { return chinese ? ZH : EN; }
