// The generated pages as a person meets them: served by a running kxr-host
// (KXR_BASE_URL), opened and clicked in headless Chromium.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { openBrowser } from './browser.mjs';

const base = process.env.KXR_BASE_URL;
const shot = process.env.KXR_SCREENSHOT;
assert.ok(base, 'KXR_BASE_URL names the running host');

let session;
before(async () => { session = await openBrowser(); });
after(async () => { await session?.close(); });

async function newPage() {
  const page = await session.browser.newPage();
  page.setDefaultTimeout(20000);
  return page;
}

// What a person would see instead of the page when the browser fails to
// parse it: an XML error document, or no body at all.
async function rendered(page) {
  return page.evaluate(() => ({
    type: document.contentType,
    title: document.title,
    parserError: document.getElementsByTagName('parsererror').length,
    body: document.body ? document.body.innerHTML : null,
  }));
}

const pages = [
  ['KXRStatus', 'KXR Status (Generated)', '<h1 class="pageheader">KXR Status</h1>'],
  ['KXRChannels', 'KXR Channel Status (Generated)', 'Stopped &nbsp;0%'],
  ['KXRSystem', 'KXR System (Generated)', '<b>Channel 1</b>'],
  ['KXRAudio', 'KXR Audio (Generated)', '<td width="100">In Level</td>'],
  ['KXRVideo', 'KXR Video (Generated)', '<td width="100">Output</td>'],
  ['KXRMisc', 'KXR Misc (Generated)', 'Other (JAR File)</a>'],
  ['KXRMedia', 'KXR Media Page', 'class="media"'],
];

test('every generated page renders as HTML from the server', async () => {
  const page = await newPage();
  for (const [path, title, content] of pages) {
    const response = await page.goto(`${base}/${path}`);
    assert.equal(response.status(), 200, path);
    assert.match(response.headers()['content-type'], /^text\/html/, path);
    const seen = await rendered(page);
    assert.equal(seen.parserError, 0, `${path}: parser error`);
    assert.equal(seen.type, 'text/html', path);
    assert.equal(seen.title, title, path);
    assert.ok(seen.body && seen.body.includes(content), `${path}: no "${content}" in the body`);
  }
  await page.close();
});

// The row of the clip table whose link loads clip.
function clipRowClass(page, clip) {
  return page.$eval(`a[href$="&load=${clip}"]`, (a) => a.closest('tr').className);
}

async function channelState(page) {
  return page.evaluate(async () => (await fetch('/KXRGetState')).text());
}

test('the media page links load a clip and play it when clicked', async () => {
  const page = await newPage();
  await page.goto(`${base}/KXRMedia`);
  assert.equal(await clipRowClass(page, 'bravo'), '');

  await Promise.all([page.waitForNavigation(), page.click('a[href$="&load=bravo"]')]);
  assert.equal((await rendered(page)).parserError, 0);
  assert.equal(await clipRowClass(page, 'bravo'), 'mediaSelected');
  assert.equal(await clipRowClass(page, 'alpha'), '');
  assert.equal(await channelState(page), 'Cued');

  await Promise.all([page.waitForNavigation(), page.click('img[alt="Play"]')]);
  assert.equal(await channelState(page), 'Playing');
  await Promise.all([page.waitForNavigation(), page.click('img[alt="Pause"]')]);
  assert.equal(await channelState(page), 'Paused');

  // A file name with markup shows as text, not as markup.
  const cells = await page.$$eval('td', (tds) => tds.map((td) => td.textContent));
  assert.ok(cells.some((text) => text.endsWith('/<b>bold&x.mov')), cells.join(' | '));
  assert.equal(await page.$$eval('td b', (found) => found.length), 0);

  if (shot) {
    await page.setViewport({ width: 1024, height: 768 });
    await page.screenshot({ path: shot });
  }
  await page.close();
});

test('names with markup are listed as text and their links lead to them', async () => {
  const page = await newPage();
  const response = await page.goto(`${base}/Media/`);
  assert.equal(response.status(), 201);
  const links = await page.$$eval('a', (as) => as.map((a) => a.textContent));
  assert.ok(links.includes('<i>made/'), links.join(' | '));
  assert.ok(links.includes('<b>bold&x.mov'), links.join(' | '));
  assert.equal(await page.$$eval('pre i, pre b', (found) => found.length), 0);

  await Promise.all([page.waitForNavigation(), page.click('a[href$="made/"]')]);
  assert.equal(await page.title(), 'Index of /Media/<i>made/');
  const inner = await page.$$eval('a', (as) => as.map((a) => a.textContent));
  assert.deepEqual(inner, ['../', 'inner.txt']);
  const file = await page.evaluate(async () => {
    const link = [...document.querySelectorAll('a')].find((a) => a.textContent === 'inner.txt');
    return (await fetch(link.href)).text();
  });
  assert.equal(file, 'inside');
  await page.close();
});
