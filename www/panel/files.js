// A browser over the file roots: one page of a folder at a time (the
// server keeps no cursor), numbered frames grouped into sequences, folders
// opened in place, files and sequences described.
import { getJson } from './api.js';
import { el, formatBytes } from './ui.js';

const PAGE = 50;
const KIND_MARK = { folder: 'dir', file: 'file', sequence: 'seq' };

export class FileBrowser {
  constructor(root, { path, pager, describe }) {
    this.root = root;
    this.path = path;
    this.pager = pager;
    this.describe = describe;
    this.asked = 0;
  }

  async open(locator = '\\', offset = 0) {
    const asked = ++this.asked;
    try {
      const page = await getJson('files', { locator, offset, limit: PAGE });
      if (asked === this.asked) this.render(page);
    } catch (error) {
      if (asked === this.asked) this.root.replaceChildren(el('li', { class: 'empty' }, error.message));
    }
  }

  // "\Media\clips\" as links: Roots › Media › clips
  crumbs(locator) {
    const names = locator.split('\\').filter((name) => name !== '');
    const links = [el('button', { type: 'button', class: 'link', onclick: () => this.open('\\') }, 'Roots')];
    names.forEach((name, at) => {
      const target = `\\${names.slice(0, at + 1).join('\\')}`;
      links.push(' › ', el('button', { type: 'button', class: 'link', onclick: () => this.open(target) }, name));
    });
    return links;
  }

  render(page) {
    this.path.replaceChildren(...this.crumbs(page.locator));
    const rows = [];
    if (page.parent !== null) {
      rows.push(el('li', { class: 'entry up' },
        el('button', { type: 'button', class: 'link', onclick: () => this.open(page.parent) }, '↑ ..')));
    }
    for (const entry of page.entries) {
      const open = entry.kind === 'folder' ? () => this.open(entry.locator) : () => this.describe(entry);
      const detail = entry.kind === 'sequence' && entry.frames
        ? `${entry.frames.last - entry.frames.first + 1} frames`
        : formatBytes(entry.size);
      rows.push(el('li', { class: 'entry', dataset: { kind: entry.kind } },
        el('span', { class: 'kind', title: entry.kind }, KIND_MARK[entry.kind] ?? entry.kind),
        el('button', { type: 'button', class: 'link name', title: entry.locator, onclick: open }, entry.name),
        el('span', { class: 'detail' }, detail)));
    }
    if (page.entries.length === 0) rows.push(el('li', { class: 'empty' }, 'Empty folder.'));
    this.root.replaceChildren(...rows);

    const last = page.offset + page.entries.length;
    this.pager.replaceChildren(
      el('button', {
        type: 'button', disabled: page.offset === 0,
        onclick: () => this.open(page.locator, Math.max(0, page.offset - page.limit)),
      }, '‹ Previous'),
      el('span', {}, page.total ? `${page.offset + 1}–${last} of ${page.total}` : ''),
      el('button', {
        type: 'button', disabled: last >= page.total,
        onclick: () => this.open(page.locator, last),
      }, 'Next ›'));
  }
}
