// What the control panel's tests share: opening the panel on a running
// kxr-host (KXR_BASE_URL) and reading a channel's tile.
export const base = process.env.KXR_BASE_URL;

export const tile = (channel) => `.tile[data-channel="${channel}"]`;

// Opens the panel and waits until its event stream is live, a tile stands
// for every channel and the server has said who is logged in. Every request
// the page makes is kept, in order.
export async function openPanel(session, { channels, width = 1280, login } = {}) {
  // A login gets a context of its own: the browser keeps Basic credentials
  // for the whole session and would send an earlier user's again.
  const owner = login ? await session.browser.createBrowserContext() : session.browser;
  const page = await owner.newPage();
  page.setDefaultTimeout(20000);
  await page.setViewport({ width, height: 1024 });
  if (login) await page.authenticate(login);
  const requests = [];
  const failures = [];
  page.on('request', (request) => requests.push({ method: request.method(), url: request.url() }));
  page.on('pageerror', (error) => failures.push(error.message));
  await page.goto(`${base}/panel/`);
  await page.waitForFunction((count) => document.querySelectorAll('.tile').length === count
    && document.getElementById('link').dataset.state === 'live'
    && document.body.dataset.role !== '', {}, channels);
  return { page, requests, failures };
}

// The state, speed, timecode and clip a tile shows.
export function tileView(page, channel) {
  return page.$eval(tile(channel), (node) => ({
    state: node.dataset.state,
    speed: node.querySelector('.speed').textContent,
    timecode: node.querySelector('.timecode').textContent,
    clip: node.querySelector('.clip').textContent,
  }));
}

// Waits until the tile shows every field of want, at most timeout ms.
export function waitForTile(page, channel, want, timeout = 20000) {
  return page.waitForFunction((selector, fields) => {
    const node = document.querySelector(selector);
    if (!node) return false;
    const seen = {
      state: node.dataset.state,
      speed: node.querySelector('.speed').textContent,
      timecode: node.querySelector('.timecode').textContent,
      clip: node.querySelector('.clip').textContent,
    };
    return Object.entries(fields).every(([name, value]) => seen[name] === value);
  }, { timeout }, tile(channel), want);
}

// A transport command sent by another client, straight to the server.
export async function command(channel, body, auth) {
  const headers = { 'Content-Type': 'application/json' };
  if (auth) headers.Authorization = `Basic ${Buffer.from(`${auth.username}:${auth.password}`).toString('base64')}`;
  const response = await fetch(`${base}/api/v1/channels/${channel}/transport`, {
    method: 'POST', headers, body: JSON.stringify(body),
  });
  if (response.status !== 200) throw new Error(`${JSON.stringify(body)}: ${response.status} ${await response.text()}`);
  return response.json();
}
