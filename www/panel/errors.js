// The engine's error log, newest first. The pushed errors event carries the
// count and the newest message: one new message is added from it; any other
// change (several at once, the oldest dropped, a cleared log) reads the log
// again with since=.
import { getJson } from './api.js';
import { el } from './ui.js';

export class ErrorLog {
  constructor(root, count) {
    this.root = root;
    this.count = count;
    this.known = null; // { lastChange, count }
    this.reading = false;
    this.pending = null; // the newest event that came while reading
  }

  async changed(event) {
    if (this.reading) {
      this.pending = event;
      return;
    }
    const known = this.known;
    if (known && known.lastChange === event.lastChange && known.count === event.count) return;
    if (known && event.latest && event.count === known.count + 1 && event.latest.index === known.count) {
      this.root.prepend(this.row(event.latest));
      this.set(event.lastChange, event.count);
      return;
    }
    if (event.count === 0) {
      this.root.replaceChildren();
      this.set(event.lastChange, 0);
      return;
    }
    this.reading = true;
    try {
      // since= answers nothing while the stamp stands still; two changes
      // within one stamp need the whole log.
      const moved = known && known.lastChange !== event.lastChange;
      const log = await getJson('errors', moved ? { since: known.lastChange } : {});
      if (log.errors.length > 0 || log.count === 0) {
        this.root.replaceChildren(...log.errors.map((message) => this.row(message)).reverse());
        this.set(log.lastChange, log.count);
      }
    } catch {
      // The next event tries again.
    } finally {
      this.reading = false;
    }
    const pending = this.pending;
    this.pending = null;
    if (pending) this.changed(pending);
  }

  set(lastChange, count) {
    this.known = { lastChange, count };
    this.count.textContent = count ? `(${count})` : '';
  }

  row(message) {
    return el('li', { dataset: { index: message.index } },
      el('time', {}, message.time.replace('T', ' ')),
      el('span', { class: 'code' }, `#${message.code}`),
      el('span', { class: 'message' }, message.message));
  }
}
