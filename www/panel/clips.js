// The clips of the selected channel with their thumbnails (picons). A clip's
// name opens its description; its play button loads it into the channel and
// plays it (the interface loads a clip only with play).
import { apiUrl, getJson, transport } from './api.js';
import { el, notify } from './ui.js';

export class ClipList {
  constructor(root, { title, describe }) {
    this.root = root;
    this.title = title;
    this.describe = describe;
    this.channel = null;
    this.canDrive = false;
    this.asked = 0; // answers to older questions are dropped
  }

  setCanDrive(canDrive) {
    this.canDrive = canDrive;
    for (const button of this.root.querySelectorAll('button.load')) button.disabled = !canDrive;
  }

  async show(channel) {
    this.channel = channel;
    this.title.textContent = `channel ${channel}`;
    const asked = ++this.asked;
    try {
      const { clips } = await getJson('clips', { channel });
      if (asked === this.asked) this.render(clips);
    } catch (error) {
      if (asked === this.asked) {
        this.root.replaceChildren(el('li', { class: 'empty' }, error.message));
      }
    }
  }

  refresh() {
    if (this.channel !== null) this.show(this.channel);
  }

  render(clips) {
    if (clips.length === 0) {
      this.root.replaceChildren(el('li', { class: 'empty' }, 'No clips.'));
      return;
    }
    const channel = this.channel;
    this.root.replaceChildren(...clips.map((clip) => {
      const picon = el('img', {
        class: 'picon', src: apiUrl(clip.picon), alt: '', loading: 'lazy', width: 80, height: 45,
      });
      // A clip whose first frame is no picture has no picon: an empty frame
      // keeps the rows aligned.
      picon.addEventListener('error', () => picon.replaceWith(el('span', { class: 'picon none' })),
        { once: true });
      return el('li', { class: 'clip', dataset: { clip: clip.name } },
        picon,
        el('button', {
          type: 'button', class: 'name link', title: 'Describe this clip',
          onclick: () => this.describe(clip),
        }, clip.name),
        el('span', { class: 'length' }, clip.length.timecode),
        el('button', {
          type: 'button', class: 'load', title: `Load into channel ${channel} and play`,
          'aria-label': `Play ${clip.name} on channel ${channel}`, disabled: !this.canDrive,
          onclick: () => this.load(channel, clip.name),
        }, '▶'));
    }));
  }

  async load(channel, name) {
    try {
      await transport(channel, { action: 'play', clip: name });
    } catch (error) {
      notify(`Channel ${channel}, ${name}: ${error.message}`);
    }
  }
}
