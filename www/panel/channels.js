// A tile per channel, filled only from pushed channel events, with its
// transport buttons and a seek field; the keys J, K, L and space drive the
// selected tile.
import { transport } from './api.js';
import { el, formatSpeed, notify } from './ui.js';

// The fastest shuttle J and L step up to (the engine would take 100).
const SHUTTLE_MAX = 32;

// L plays; pressed again while the channel runs forward it doubles the
// speed. J runs backwards at normal speed; pressed again it doubles that.
export function jogForward(speed) {
  if (!(speed >= 1)) return { action: 'play' };
  return { action: 'shuttle', speed: Math.min(speed * 2, SHUTTLE_MAX) };
}

export function jogBack(speed) {
  if (!(speed <= -1)) return { action: 'shuttle', speed: -1 };
  return { action: 'shuttle', speed: Math.max(speed * 2, -SHUTTLE_MAX) };
}

// Space: a moving channel pauses, a still one plays.
export function toggle(speed) {
  return speed !== 0 ? { action: 'pause' } : { action: 'play' };
}

const BUTTONS = [
  { name: 'back', glyph: '◀◀', label: 'Reverse, shuttle back (J)', command: (c) => jogBack(c.speed) },
  { name: 'pause', glyph: '❚❚', label: 'Pause (K)', command: () => ({ action: 'pause' }) },
  { name: 'play', glyph: '▶', label: 'Play', command: () => ({ action: 'play' }) },
  { name: 'forward', glyph: '▶▶', label: 'Play, shuttle forward (L)', command: (c) => jogForward(c.speed) },
  { name: 'stop', glyph: '■', label: 'Stop', command: () => ({ action: 'stop' }) },
  { name: 'record', glyph: '●', label: 'Record', command: () => ({ action: 'record' }) },
  { name: 'eject', glyph: '⏏', label: 'Eject', command: () => ({ action: 'eject' }) },
];

const KEYS = {
  j: (c) => jogBack(c.speed),
  k: () => ({ action: 'pause' }),
  l: (c) => jogForward(c.speed),
  ' ': (c) => toggle(c.speed),
};

// A frame count as digits, else timecode text as typed.
function seekPosition(text) {
  const trimmed = text.trim();
  return /^\d+$/.test(trimmed) ? Number(trimmed) : trimmed;
}

export class ChannelBoard {
  constructor(root, { onSelect }) {
    this.root = root;
    this.onSelect = onSelect;
    this.tiles = new Map(); // index -> { channel, node, fields }
    this.selected = null;
    this.canDrive = false;
    document.addEventListener('keydown', (event) => this.key(event));
    // A space that drove a channel must not also press a focused button.
    document.addEventListener('keyup', (event) => {
      if (event.key === ' ' && this.canDrive && !editing(event.target)) event.preventDefault();
    });
  }

  setCanDrive(canDrive) {
    this.canDrive = canDrive;
    for (const node of this.root.querySelectorAll('.transport button, .seek input, .seek button')) {
      node.disabled = !canDrive;
    }
  }

  // Whether no event has arrived for a while: the tiles may be out of date.
  setStale(stale) {
    this.root.classList.toggle('stale', stale);
  }

  update(channel) {
    const tile = this.tiles.get(channel.index) ?? this.create(channel.index);
    tile.channel = channel;
    const { fields } = tile;
    fields.name.textContent = channel.name;
    fields.mode.textContent = channel.mode;
    fields.state.textContent = channel.state;
    fields.timecode.textContent = channel.position.timecode;
    fields.clip.textContent = channel.clip ?? '—';
    fields.speed.textContent = formatSpeed(channel.speed);
    tile.node.dataset.state = channel.state;
    if (this.selected === null) this.select(channel.index);
  }

  create(index) {
    const fields = {
      name: el('h3', { class: 'name' }),
      mode: el('span', { class: 'mode' }),
      state: el('div', { class: 'state' }),
      timecode: el('div', { class: 'timecode' }),
      clip: el('dd', { class: 'clip' }),
      speed: el('dd', { class: 'speed' }),
    };
    const tile = { channel: null, fields, node: null };
    const buttons = BUTTONS.map((button) => el('button', {
      type: 'button',
      class: `tb-${button.name}`,
      dataset: { action: button.name },
      title: button.label,
      'aria-label': button.label,
      disabled: !this.canDrive,
      onclick: () => this.send(index, button.command(tile.channel)),
    }, button.glyph));
    const seekField = el('input', {
      name: 'position', placeholder: '00:00:00:00', 'aria-label': 'Seek to timecode or frame',
      autocomplete: 'off', disabled: !this.canDrive,
    });
    const seek = el('form', {
      class: 'seek',
      onsubmit: (event) => {
        event.preventDefault();
        if (seekField.value.trim() !== '') {
          this.send(index, { action: 'seek', position: seekPosition(seekField.value) });
        }
      },
    }, seekField, el('button', { type: 'submit', disabled: !this.canDrive }, 'Seek'));
    tile.node = el('article', {
      class: 'tile',
      tabindex: 0,
      dataset: { channel: index },
      onpointerdown: () => this.select(index),
      onfocusin: () => this.select(index),
    },
    el('header', {}, el('span', { class: 'index' }, String(index)), fields.name, fields.mode),
    fields.state,
    fields.timecode,
    el('dl', {}, el('dt', {}, 'Clip'), fields.clip, el('dt', {}, 'Speed'), fields.speed),
    el('div', { class: 'transport' }, buttons.slice(0, 5)),
    el('div', { class: 'transport secondary' }, buttons.slice(5), seek));
    tile.node.setAttribute('aria-label', `Channel ${index}`);
    this.tiles.set(index, tile);
    const later = [...this.tiles.keys()].filter((other) => other > index).sort((a, b) => a - b);
    this.root.insertBefore(tile.node, later.length ? this.tiles.get(later[0]).node : null);
    return tile;
  }

  select(index) {
    if (this.selected === index) return;
    this.selected = index;
    for (const [other, tile] of this.tiles) {
      tile.node.classList.toggle('selected', other === index);
      tile.node.setAttribute('aria-current', other === index ? 'true' : 'false');
    }
    this.onSelect(index);
  }

  key(event) {
    if (event.ctrlKey || event.metaKey || event.altKey || event.repeat) return;
    if (editing(event.target)) return;
    const command = KEYS[event.key.toLowerCase()];
    const tile = this.tiles.get(this.selected);
    if (!command || !tile || !this.canDrive) return;
    event.preventDefault();
    this.send(this.selected, command(tile.channel));
  }

  async send(index, command) {
    if (!this.canDrive) return;
    try {
      await transport(index, command);
    } catch (error) {
      notify(`Channel ${index}, ${command.action}: ${error.message}`);
    }
  }
}

function editing(target) {
  return target instanceof Element && target.closest('input, textarea, select, [contenteditable]');
}
