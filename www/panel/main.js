// The control panel: who is logged in decides whether the transport is
// offered; channel tiles and the error log follow the pushed events; clips,
// files and descriptions are read when asked for.
import { getJson } from './api.js';
import { ChannelBoard } from './channels.js';
import { ClipList } from './clips.js';
import { Description } from './describe.js';
import { ErrorLog } from './errors.js';
import { FileBrowser } from './files.js';
import { connectLive } from './live.js';
import { notify } from './ui.js';

const byId = (id) => document.getElementById(id);

const description = new Description(byId('description'));
const clips = new ClipList(byId('clips'), {
  title: byId('clips-channel'),
  describe: (clip) => description.showClip(clip),
});
const board = new ChannelBoard(byId('channels'), { onSelect: (index) => clips.show(index) });
const files = new FileBrowser(byId('files'), {
  path: byId('files-path'),
  pager: byId('files-pager'),
  describe: (entry) => description.showFile(entry),
});
const errors = new ErrorLog(byId('errors'), byId('errors-count'));

const LINK_TEXT = { live: 'live', reconnecting: 'reconnecting…', down: 'no live updates' };

function showLink(state) {
  const link = byId('link');
  link.dataset.state = state;
  link.textContent = LINK_TEXT[state];
  board.setStale(state !== 'live');
}

// Viewers see everything and drive nothing; so does anyone until the server
// has said who they are.
async function login() {
  let me;
  try {
    me = await getJson('me');
  } catch (error) {
    notify(`Cannot tell who is logged in: ${error.message}`);
    me = { user: null, role: 'viewer' };
  }
  document.body.dataset.role = me.role;
  byId('who').textContent = me.user === null ? `no login needed (${me.role})` : `${me.user} (${me.role})`;
  const canDrive = me.role === 'operator' || me.role === 'admin';
  board.setCanDrive(canDrive);
  clips.setCanDrive(canDrive);
}

byId('clips-refresh').addEventListener('click', () => clips.refresh());
showLink('reconnecting');
login();
files.open();
connectLive({
  onChannel: (channel) => board.update(channel),
  onErrors: (event) => errors.changed(event),
  onLink: showLink,
});
