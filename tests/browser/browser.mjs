// Debian's Chromium, headless, driven by puppeteer-core: the launch every
// browser test shares.
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import puppeteer from 'puppeteer-core';

export const chromiumPath = process.env.KXR_CHROMIUM || '/usr/bin/chromium';

// Opens a browser with a profile of its own; close() also removes the profile.
export async function openBrowser() {
  const profile = mkdtempSync(join(tmpdir(), 'kxr-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: chromiumPath,
    headless: true,
    userDataDir: profile,
    // The machine has no network beyond loopback: no background traffic.
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  return {
    browser,
    async close() {
      await browser.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}
