// The control panel as an operator meets it: served by a running kxr-host
// (KXR_BASE_URL; two channels, no users) into headless Chromium, driven by
// clicks and keys, with every change arriving pushed over the event stream.
import assert from 'node:assert/strict';
import { after, before, beforeEach, test } from 'node:test';
import { openBrowser } from './browser.mjs';
import { base, command, openPanel, tile, tileView, waitForTile } from './panel.mjs';

const shot = process.env.KXR_SCREENSHOT;
assert.ok(base, 'KXR_BASE_URL names the running host');
const CHANNELS = 2;

let session;
before(async () => { session = await openBrowser(); });
after(async () => { await session?.close(); });
// Each test starts from stopped channels.
beforeEach(async () => {
  for (let channel = 0; channel < CHANNELS; channel += 1) await command(channel, { action: 'stop' });
});

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));
const api = (request) => new URL(request.url).pathname.startsWith('/api/v1/');

async function selectTile(page, channel) {
  await page.click(`${tile(channel)} .name`);
  await page.waitForFunction((selector) => document.querySelector(selector).classList.contains('selected'),
    {}, tile(channel));
  // The clip list of the newly selected channel, and its picons.
  await page.waitForNetworkIdle({ idleTime: 300, concurrency: 1 });
}

test('the panel loads from this server alone, shows every channel as pushed, and Play shows within a second with no polling', async () => {
  const { page, requests, failures } = await openPanel(session, { channels: CHANNELS });
  const origin = new URL(base).origin;
  assert.deepEqual(requests.filter((r) => new URL(r.url).origin !== origin), []);
  const paths = requests.map((r) => new URL(r.url).pathname);
  for (const file of ['/panel/main.js', '/panel/channels.js', '/panel/panel.css', '/api/v1/events', '/api/v1/me']) {
    assert.ok(paths.includes(file), `${file} in ${paths.join(' ')}`);
  }
  // The tiles come from the event stream, not from the channel list.
  assert.ok(!paths.includes('/api/v1/channels'), paths.join(' '));
  assert.deepEqual(await page.$$eval('.tile .name', (names) => names.map((n) => n.textContent)),
    ['Play A', 'Play <B>']);
  assert.equal(await page.$$eval('.tile .name b', (found) => found.length), 0);
  assert.deepEqual(await tileView(page, 1), { state: 'stopped', speed: '0×', timecode: '00:00:00:00', clip: 'alpha' });
  assert.equal(await page.$eval('#who', (who) => who.textContent), 'no login needed (admin)');
  assert.equal(await page.$$eval('.transport button:disabled', (found) => found.length), 0);

  await selectTile(page, 1);
  const seen = requests.length;
  const pressed = Date.now();
  await page.click(`${tile(1)} button[data-action="play"]`);
  await waitForTile(page, 1, { state: 'playing', speed: '1×' }, 1000);
  const shown = Date.now() - pressed;
  assert.ok(shown <= 1000, `the tile changed after ${shown} ms`);
  assert.equal((await tileView(page, 0)).state, 'stopped');

  // Another client's command reaches the tile the same way.
  await command(1, { action: 'pause' });
  await waitForTile(page, 1, { state: 'paused', speed: '0×' }, 1000);

  // Quiet for two seconds: the page asks nothing more.
  await sleep(2000);
  const after = requests.slice(seen).filter(api).map((r) => `${r.method} ${new URL(r.url).pathname}`);
  assert.deepEqual(after, ['POST /api/v1/channels/1/transport']);
  assert.deepEqual(failures, []);
  await page.close();
});

test('J, K, L and space drive the selected tile and no other', async () => {
  const { page, requests } = await openPanel(session, { channels: CHANNELS });
  await selectTile(page, 1);
  const steps = [
    ['l', { state: 'playing', speed: '1×' }],
    ['l', { state: 'shuttle', speed: '2×' }],
    ['l', { state: 'shuttle', speed: '4×' }],
    ['k', { state: 'paused', speed: '0×' }],
    ['j', { state: 'reverse', speed: '-1×' }],
    ['j', { state: 'shuttle', speed: '-2×' }],
    [' ', { state: 'paused', speed: '0×' }],
    [' ', { state: 'playing', speed: '1×' }],
  ];
  for (const [key, want] of steps) {
    await page.keyboard.press(key === ' ' ? 'Space' : key.toUpperCase());
    await waitForTile(page, 1, want);
  }
  const server = await (await fetch(`${base}/api/v1/channels/1`)).json();
  assert.equal(server.state, 'playing');
  assert.equal((await tileView(page, 0)).state, 'stopped');

  // Typing into a field is typing, not driving.
  const before = requests.length;
  await page.click(`${tile(1)} .seek input`);
  await page.keyboard.type('kjl ');
  await sleep(500);
  assert.equal(requests.slice(before).filter((r) => r.method === 'POST').length, 0);
  assert.equal((await tileView(page, 1)).state, 'playing');
  await page.close();
});

test('seek goes to a timecode; a refused one shows its reason and lands in the error log', async () => {
  const { page } = await openPanel(session, { channels: CHANNELS });
  const field = `${tile(0)} .seek input`;
  await page.type(field, '00:00:02:00');
  await page.keyboard.press('Enter');
  await waitForTile(page, 0, { state: 'paused', timecode: '00:00:02:00' });
  await page.$eval(field, (input) => { input.value = ''; });

  await page.type(field, '10:00:00:00');
  const [answer] = await Promise.all([
    page.waitForResponse((response) => response.url().endsWith('/channels/0/transport')),
    page.keyboard.press('Enter'),
  ]);
  assert.equal(answer.status(), 409);
  await page.waitForSelector('#notice:not([hidden])');
  const notice = await page.$eval('#notice', (node) => node.textContent);
  assert.equal(notice, `Channel 0, seek: ${(await answer.json()).detail}`);
  const log = await (await fetch(`${base}/api/v1/errors`)).json();
  const newest = log.errors.at(-1);
  assert.equal(newest.code, 2, JSON.stringify(newest));
  // Pushed as an errors event, shown newest first.
  await page.waitForFunction((text) => document.querySelector('#errors li .message')?.textContent === text,
    {}, newest.message);
  assert.equal(await page.$eval('#errors-count', (node) => node.textContent), `(${log.count})`);
  assert.equal(await page.$$eval('#errors li', (rows) => rows.length), log.count);
  await page.close();
});

test('the clip list shows picons, describes a clip and plays it on the selected channel', async () => {
  const { page, requests } = await openPanel(session, { channels: CHANNELS });
  await selectTile(page, 1);
  assert.equal(await page.$eval('#clips-channel', (node) => node.textContent), 'channel 1');
  const clips = await page.$$eval('#clips li', (rows) => rows.map((row) => ({
    name: row.dataset.clip,
    picture: row.querySelector('img.picon')?.naturalWidth > 0,
    empty: row.querySelector('.picon.none') !== null,
  })));
  // The sequence's first frame makes a picture; the others have none.
  assert.deepEqual(clips, [
    { name: 'alpha', picture: false, empty: true },
    { name: 'shot', picture: true, empty: false },
    { name: 'tone', picture: false, empty: true },
  ]);
  const picons = requests.map((r) => new URL(r.url)).filter((url) => url.pathname.endsWith('/picon'))
    .map((url) => url.pathname + url.search);
  for (const name of ['alpha', 'shot', 'tone']) {
    assert.ok(picons.includes(`/api/v1/clips/${name}/picon?channel=1`), picons.join(' '));
  }

  await page.click('#clips li[data-clip="tone"] button.name');
  await page.waitForSelector('#description table.media');
  const description = await page.$eval('#description', (node) => ({
    heading: node.querySelector('h3').textContent,
    facts: Object.fromEntries([...node.querySelectorAll('.facts dt')]
      .map((dt) => [dt.textContent, dt.nextElementSibling.textContent])),
    media: Object.fromEntries([...node.querySelectorAll('table.media tbody tr')]
      .map((tr) => [tr.cells[0].textContent, tr.cells[1].textContent])),
  }));
  const clip = await (await fetch(`${base}/api/v1/clips/tone?channel=1`)).json();
  assert.equal(description.heading, 'Clip tone');
  assert.equal(description.facts.Length, `${clip.length.timecode} (${clip.length.frames} frames)`);
  assert.equal(description.facts.File, clip.file);
  assert.match(clip.file, /tone\.wav$/);
  assert.equal(description.media.AudioChannels, '1');
  assert.equal(description.media.AudioFrequency, '8000');

  await page.click('#clips li[data-clip="shot"] button.load');
  await waitForTile(page, 1, { state: 'playing', clip: 'shot' });
  assert.equal((await tileView(page, 0)).clip, 'alpha');
  await page.close();
});

test('the file browser opens a root, groups a sequence, pages and describes a file', async () => {
  const { page } = await openPanel(session, { channels: CHANNELS });
  const names = () => page.$$eval('#files .entry', (rows) => rows.map((row) => [
    row.dataset.kind ?? 'up', row.querySelector('button').textContent, row.querySelector('.detail')?.textContent ?? '',
  ]));
  const open = async (name) => {
    await page.evaluate((text) => [...document.querySelectorAll('#files button')]
      .find((button) => button.textContent === text).click(), name);
  };
  await page.waitForFunction(() => [...document.querySelectorAll('#files button.name')]
    .some((button) => button.textContent === 'Media'));
  await open('Media');
  await page.waitForFunction(() => document.querySelector('#files-path').textContent === 'Roots › Media');
  // The engine may have left clip thumbnails (*.picon.jpg) beside them.
  const rows = await names();
  assert.deepEqual(rows[0], ['up', '↑ ..', '']);
  for (const row of [
    ['file', 'alpha.mov', '18 B'],
    ['folder', 'nested', ''],
    ['sequence', 'shot[0001-0003].png', '3 frames'],
    ['file', 'tone.wav', '7.9 KB'],
  ]) assert.ok(rows.some((seen) => seen.join() === row.join()), `${row} in ${rows.join(' | ')}`);
  assert.ok(!rows.some((row) => row[1].startsWith('shot0')), 'the frames are one entry');
  assert.equal(await page.$eval('#files-pager span', (node) => node.textContent),
    `1–${rows.length - 1} of ${rows.length - 1}`);

  await open('nested');
  await page.waitForFunction(() => document.querySelector('#files-path').textContent === 'Roots › Media › nested');
  assert.deepEqual((await names()).map((row) => row[1]), ['↑ ..', 'inner.txt']);
  await open('↑ ..');
  await page.waitForFunction(() => document.querySelector('#files-path').textContent === 'Roots › Media');

  await open('shot[0001-0003].png');
  await page.waitForSelector('#description table.media');
  const facts = await page.$$eval('#description .facts dd', (dds) => dds.map((dd) => dd.textContent));
  assert.ok(facts.includes('PNG image') || facts.some((text) => /network graphics/i.test(text)), facts.join(' | '));
  const media = await page.$$eval('#description table.media tbody tr',
    (rows) => Object.fromEntries(rows.map((tr) => [tr.cells[0].textContent, tr.cells[1].textContent])));
  assert.equal(media.Width, '8');
  assert.equal(media.Height, '8');
  await page.close();
});

test('on a tablet (768 px wide) nothing is wider than the screen and every button takes a finger', async () => {
  const { page } = await openPanel(session, { channels: CHANNELS, width: 768 });
  await page.waitForNetworkIdle({ idleTime: 300, concurrency: 1 });
  const layout = await page.evaluate(() => {
    const top = (selector) => document.querySelector(selector).getBoundingClientRect().top;
    return {
      scrollWidth: document.documentElement.scrollWidth,
      smallest: Math.min(...[...document.querySelectorAll('.tile button')]
        .map((button) => button.getBoundingClientRect().height)),
      tilesSideBySide: top('.tile[data-channel="0"]') === top('.tile[data-channel="1"]'),
      panesPerRow: [...document.querySelectorAll('.pane')]
        .filter((pane) => pane.getBoundingClientRect().top === top('.pane')).length,
    };
  });
  assert.ok(layout.scrollWidth <= 768, `the page is ${layout.scrollWidth} px wide`);
  assert.ok(layout.smallest >= 44, `a button is ${layout.smallest} px high`);
  assert.ok(layout.tilesSideBySide);
  assert.equal(layout.panesPerRow, 2);
  if (shot) await page.screenshot({ path: shot, fullPage: true });
  await page.close();
});
