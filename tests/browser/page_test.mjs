// The page in Debian's Chromium: opened alone from disk, it converts bitmaps to
// the native program's bytes and console lines, refuses what the program
// refuses, and a long run can be cancelled. No request leaves the page.
// Usage: node --test page_test.mjs (QUORVEL_PAGE, QUORVEL_NATIVE, QUORVEL_EXAMPLES set;
// QUORVEL_SCREENSHOT: where to save a picture of the page with the balloon).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';

const page_file = process.env.QUORVEL_PAGE;
const native = process.env.QUORVEL_NATIVE;
const examples = process.env.QUORVEL_EXAMPLES;

// A BMP header, little-endian fields in file order, with no pixels after it.
function header({ bits, width, height, offset = 54, compression = 0 }) {
  const bytes = Buffer.alloc(54);
  bytes.write('BM', 0, 'latin1');
  bytes.writeUInt32LE(54, 2);
  bytes.writeInt32LE(offset, 10);
  bytes.writeUInt32LE(40, 14);
  bytes.writeInt32LE(width, 18);
  bytes.writeInt32LE(height, 22);
  bytes.writeUInt16LE(1, 26);
  bytes.writeUInt16LE(bits, 28);
  bytes.writeUInt32LE(compression, 30);
  return bytes;
}

const example = (name) => fs.readFileSync(path.join(examples, name));
const cases = [
  { name: 'balloon.bmp', bytes: example('balloon.bmp'), settings: ['2000', '1', '0', '1', '2', '3'] },
  { name: 'balloon.bmp', bytes: example('balloon.bmp'), settings: ['none', '0', '3', '2', '1', '0'] },
  { name: 'balloon.bmp', bytes: example('balloon.bmp'), settings: ['$0801', '1', '%11', '$2', '0x1', '0'] },
  { name: 'smiley.bmp', bytes: example('smiley.bmp'), settings: ['c000', '1', '1', '0', '0', '0'] },
  { name: 'notes.bmp', bytes: Buffer.from('not a bitmap\n'), settings: ['2000', '1', '0', '1', '2', '3'] },
  { name: 'photo.bmp', bytes: header({ bits: 24, width: 24, height: 21 }), settings: ['2000', '1', '0', '1', '2', '3'] },
  { name: 'short.bmp', bytes: example('balloon.bmp').subarray(0, 200), settings: ['none', '1', '0', '1', '2', '3'] },
];

// The native program's run in a folder of its own: console bytes, status, output.
function runNative({ name, bytes, settings }, outname) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvel-native-'));
  fs.writeFileSync(path.join(folder, name), bytes);
  const run = spawnSync(native, [name, outname, ...settings], { cwd: folder });
  const output = path.join(folder, outname);
  return { console: run.stdout.toString('utf8'), status: run.status,
           output: fs.existsSync(output) ? fs.readFileSync(output) : null };
}

async function convert(page, { name, bytes, settings }) {
  await page.getByLabel('Bitmap', { exact: true }).setInputFiles({ name, mimeType: 'image/bmp', buffer: bytes });
  const labels = ['Start address', 'Zero byte', 'Colour 1', 'Colour 2', 'Colour 3', 'Colour 4'];
  for (const [i, label] of labels.entries()) await page.getByLabel(label, { exact: true }).fill(settings[i]);
  await page.getByRole('button', { name: 'Convert' }).click();
  await page.locator('#status').filter({ hasText: 'Exit status' }).waitFor();
  return Number((await page.locator('#progress').textContent()).match(/Done in (\d+) ms/)[1]);
}

test('the page converts as the program does, refuses what it refuses, and cancels', async () => {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvel-page-'));
  const alone = path.join(folder, 'quorvel.html');
  fs.copyFileSync(page_file, alone);
  const browser = await chromium.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--no-first-run'],
  });
  const context = await browser.newContext({ acceptDownloads: true });
  const page = await context.newPage();
  const requests = [];
  page.on('request', (request) => {
    if (!/^(file|data|blob):/.test(request.url())) requests.push(request.url());
  });
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  const opened = Date.now();
  await page.goto('file://' + alone);
  await page.locator('body[data-ready=true]').waitFor();
  const ready = Date.now() - opened;

  const times = [];
  for (const c of cases) {
    const outname = c.name.replace(/\.bmp$/, c.settings[0].toLowerCase() === 'none' ? '.spr' : '.prg');
    const expected = runNative(c, outname);
    times.push(await convert(page, c));
    const label = `${c.name} ${c.settings.join(' ')}`;
    assert.equal(await page.locator('#console').textContent(), expected.console, label);
    assert.match(await page.locator('#status').textContent(), new RegExp(`^Exit status ${expected.status}: `), label);
    assert.equal(await page.getByRole('link', { name: 'Download' }).isVisible(), expected.output !== null, label);
    if (expected.output !== null) {
      const [download] = await Promise.all([page.waitForEvent('download'),
                                            page.getByRole('link', { name: 'Download' }).click()]);
      assert.equal(download.suggestedFilename(), outname, label);
      assert.deepEqual(fs.readFileSync(await download.path()), expected.output, label);
    }
    assert.match(await page.locator('#command').textContent(), new RegExp(`^quorvel ${c.name} ${outname} `), label);
    if (c === cases[0] && process.env.QUORVEL_SCREENSHOT)
      await page.screenshot({ path: process.env.QUORVEL_SCREENSHOT, fullPage: true });
  }
  assert.ok(await page.getByRole('img', { name: /Sprite/ }).isVisible());
  assert.ok(await page.getByRole('region', { name: 'Console' }).isVisible());

  // A header asking for 256 MiB of sprite bytes: progress, then Cancel brings Convert back.
  const huge = { name: 'huge.bmp', bytes: header({ bits: 4, width: 65536, height: 32768, offset: 2147483647 }),
                 settings: ['none', '0', '0', '1', '2', '3'] };
  await page.getByLabel('Bitmap', { exact: true }).setInputFiles({ name: huge.name, mimeType: 'image/bmp', buffer: huge.bytes });
  await page.getByRole('button', { name: 'Convert' }).click();
  await page.locator('#progress').filter({ hasText: 'bytes written' }).waitFor({ timeout: 60000 });
  await page.getByRole('button', { name: 'Cancel' }).click();
  assert.ok(await page.getByRole('button', { name: 'Convert' }).isEnabled());
  assert.equal(await page.locator('#progress').textContent(), 'Cancelled.');
  assert.equal(await convert(page, cases[0]) >= 0, true, 'the page converts again after a cancel');

  await browser.close();
  assert.deepEqual(requests, [], 'the page made no network request');
  assert.deepEqual(errors, [], 'no script error');
  console.log(`page ready after ${ready} ms; conversions shown after ${times.join(', ')} ms`);
});
