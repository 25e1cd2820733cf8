// Small helpers every part of the panel uses: building elements (texts from
// the server always go in as text, never as markup), the notice line, and
// number formats.

// el('li', { class: 'x', dataset: { n: 1 }, onclick: f }, 'text', child)
export function el(tag, props = {}, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(props)) {
    if (value === undefined || value === null || value === false) continue;
    if (key === 'class') node.className = value;
    else if (key === 'dataset') Object.assign(node.dataset, value);
    else if (key.startsWith('on')) node.addEventListener(key.slice(2), value);
    else node.setAttribute(key, value === true ? '' : String(value));
  }
  node.append(...children.flat().filter((child) => child !== null && child !== undefined));
  return node;
}

const NOTICE_MS = 8000;
let noticeTimer = 0;

// Shows a message (a refused command, a failed request) for a while.
export function notify(text) {
  const notice = document.getElementById('notice');
  notice.textContent = text;
  notice.hidden = false;
  clearTimeout(noticeTimer);
  noticeTimer = setTimeout(() => { notice.hidden = true; }, NOTICE_MS);
}

export function formatBytes(bytes) {
  if (bytes === null || bytes === undefined) return '';
  const units = ['B', 'KB', 'MB', 'GB', 'TB'];
  let value = bytes;
  let unit = 0;
  while (value >= 1024 && unit < units.length - 1) {
    value /= 1024;
    unit += 1;
  }
  return unit === 0 ? `${value} B` : `${value.toFixed(value < 10 ? 1 : 0)} ${units[unit]}`;
}

export function formatSpeed(speed) {
  return `${Number.isInteger(speed) ? speed : speed.toFixed(2)}×`;
}

// "2026-12-06T05:28:47Z" as the browser's local time.
export function formatTime(text) {
  if (!text) return '';
  const time = new Date(text);
  return Number.isNaN(time.getTime()) ? text : time.toLocaleString();
}
