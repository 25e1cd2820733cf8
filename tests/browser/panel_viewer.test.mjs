// The control panel behind a login: a host with users (KXR_VIEWER and
// KXR_OPERATOR name one of each, as "name:password"), the browser's own
// Basic login, the role from /api/v1/me.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { openBrowser } from './browser.mjs';
import { base, command, openPanel, tile, tileView, waitForTile } from './panel.mjs';

assert.ok(base, 'KXR_BASE_URL names the running host');
const CHANNELS = 2;

function account(variable) {
  const text = process.env[variable];
  assert.ok(text, `${variable} names a user as name:password`);
  const colon = text.indexOf(':');
  return { username: text.slice(0, colon), password: text.slice(colon + 1) };
}
const viewer = account('KXR_VIEWER');
const operator = account('KXR_OPERATOR');

// The host is configured with users: nothing answers without a login.
assert.equal((await fetch(`${base}/api/v1/me`)).status, 401);

let session;
before(async () => { session = await openBrowser(); });
after(async () => { await session?.close(); });

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

test('a viewer sees the channels live and finds the transport disabled, keys included', async () => {
  await command(1, { action: 'stop' }, operator);
  const { page, requests } = await openPanel(session, { channels: CHANNELS, login: viewer });
  assert.equal(await page.$eval('#who', (who) => who.textContent), `${viewer.username} (viewer)`);
  const controls = await page.$$eval('.tile button, .tile input, #clips button.load',
    (nodes) => nodes.map((node) => node.disabled));
  assert.ok(controls.length > 0);
  assert.ok(controls.every(Boolean), 'every transport control is disabled');

  await page.click(`${tile(1)} .name`);
  for (const key of ['L', 'J', 'K', 'Space']) await page.keyboard.press(key);
  await sleep(1000);
  assert.equal(requests.filter((r) => r.method === 'POST').length, 0);
  assert.equal((await tileView(page, 1)).state, 'stopped');

  // Still live: an operator's command elsewhere shows on the viewer's tile.
  await command(1, { action: 'play' }, operator);
  await waitForTile(page, 1, { state: 'playing' });
  await page.close();
});

test('an operator logged in to the same panel drives a channel', async () => {
  await command(1, { action: 'stop' }, operator);
  const { page } = await openPanel(session, { channels: CHANNELS, login: operator });
  assert.equal(await page.$eval('#who', (who) => who.textContent), `${operator.username} (operator)`);
  await page.click(`${tile(1)} button[data-action="play"]`);
  await waitForTile(page, 1, { state: 'playing' }, 1000);
  await page.close();
});
