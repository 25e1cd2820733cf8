// The description pane: a clip (length, file, picon) or a file, sequence or
// folder with its full media description.
import { apiUrl, getJson } from './api.js';
import { el, formatBytes, formatTime } from './ui.js';

function facts(pairs) {
  return el('dl', { class: 'facts' },
    pairs.filter(([, value]) => value !== null && value !== undefined && value !== '')
      .flatMap(([name, value]) => [el('dt', {}, name), el('dd', {}, String(value))]));
}

function mediaTable(fields) {
  if (fields.length === 0) return el('p', { class: 'empty' }, 'No media description for this file.');
  return el('table', { class: 'media' },
    el('thead', {}, el('tr', {}, el('th', {}, 'Field'), el('th', {}, 'Value'))),
    el('tbody', {}, fields.map((field) => el('tr', {}, el('td', {}, field.name), el('td', {}, field.text)))));
}

function fileParts(info) {
  const frames = info.frames ? `${info.frames.first}–${info.frames.last}` : null;
  return [
    facts([
      ['Locator', info.locator],
      ['Kind', info.kind],
      ['Frames', frames],
      ['Size', formatBytes(info.size)],
      ['Modified', formatTime(info.modified)],
      ['Type', info.type ? (info.type.long ?? info.type.short) : 'unknown'],
    ]),
    mediaTable(info.media),
  ];
}

export class Description {
  constructor(root) {
    this.root = root;
    this.asked = 0;
  }

  // The answer to the latest question wins.
  async fill(heading, first, locator) {
    const asked = ++this.asked;
    this.root.replaceChildren(el('h3', {}, heading), ...first);
    if (!locator) return;
    const waiting = el('p', { class: 'empty' }, 'Reading the media description…');
    this.root.append(waiting);
    let parts;
    try {
      parts = fileParts(await getJson('files/info', { locator }));
    } catch (error) {
      parts = [el('p', { class: 'empty' }, error.message)];
    }
    if (asked === this.asked) waiting.replaceWith(...parts);
  }

  showClip(clip) {
    const picon = el('img', { class: 'picon large', src: apiUrl(clip.picon), alt: `${clip.name}` });
    picon.addEventListener('error', () => picon.remove(), { once: true });
    const summary = facts([
      ['Clip', clip.name],
      ['Length', `${clip.length.timecode} (${clip.length.frames} frames)`],
      ['File', clip.file ?? 'none below the file roots'],
    ]);
    return this.fill(`Clip ${clip.name}`, [picon, summary], clip.file);
  }

  showFile(entry) {
    return this.fill(entry.name, [], entry.locator);
  }
}
