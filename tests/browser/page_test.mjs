// The page in Debian's Chromium: opened alone from disk, it converts bitmaps to
// the native program's bytes and console lines, draws the bitmap and the
// sprite as those bytes say, shows which palette index lands in which C64
// register and what the checker finds, starts the registers at a C64
// picture's own colours, fixes a picture in the C64 palette with the
// registers chosen for its colours, converts a sheet as the native
// quorvel-sheet does, never shows a result of other inputs, is accessible at a
// desktop's and a phone's width, and a long run can be cancelled; it prints
// how fast it answers. No request leaves the page.
// Usage: node --test page_test.mjs (QUORVEL_PAGE, QUORVEL_NATIVE, QUORVEL_EXAMPLES set;
// QUORVEL_SCREENSHOTS: the folder where to save pictures of the page with the
// balloon, page.png, and of a sheet, sheet.png).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';
import AxeBuilder from '@axe-core/playwright';

const page_file = process.env.QUORVEL_PAGE;
const native = process.env.QUORVEL_NATIVE;
const nativeSheet = path.join(path.dirname(native), 'quorvel-sheet');
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

// A 4-bit bitmap of `width` by 21 with every pixel index 1: width / 8 sprite bytes a row.
function wide(width) {
  const rows = Buffer.alloc(width / 2 * 21, 0x11);
  return Buffer.concat([header({ bits: 4, width, height: 21, offset: 54 }), rows]);
}

const example = (name) => fs.readFileSync(path.join(examples, name));
const balloon = example('balloon.bmp');
const standard = ['2000', '1', '0', '1', '2', '3'];
// command: the command line the page must show, exactly as a shell reads it.
const cases = [
  { name: 'balloon.bmp', bytes: balloon, settings: standard },
  { name: 'balloon.bmp', bytes: balloon, settings: ['none', '0', '3', '2', '1', '0'] },
  { name: 'balloon.bmp', bytes: balloon, settings: ['NONE', '1', '0', '1', '2', '3'], outname: 'balloon.spr' },
  { name: 'balloon.bmp', bytes: balloon, settings: ['$0801', '1', '%11', '$2', '0x1', '0'],
    command: "quorvel balloon.bmp balloon.prg '$0801' 1 %11 '$2' 0x1 0" },
  { name: 'smiley.bmp', bytes: example('smiley.bmp'), settings: ['c000', '1', '1', '0', '0', '0'] },
  { name: "my  ship's.bmp", bytes: balloon, settings: standard,
    command: "quorvel 'my  ship'\\''s.bmp' 'my  ship'\\''s.prg' 2000 1 0 1 2 3" },
  { name: 'tmp', bytes: balloon, settings: standard, outname: 'tmp.prg' },
  { name: 'x.prg', bytes: balloon, settings: standard, outname: 'x-sprite.prg' },
  { name: 'n'.repeat(255), bytes: balloon, settings: standard, outname: 'n'.repeat(251) + '.prg' },
  { name: 'wide.bmp', bytes: wide(4096), settings: standard },
  { name: 'notes.bmp', bytes: Buffer.from('not a bitmap\n'), settings: standard },
  { name: 'photo.bmp', bytes: header({ bits: 24, width: 24, height: 21 }), settings: standard },
  { name: 'short.bmp', bytes: balloon.subarray(0, 200), settings: ['none', '1', '0', '1', '2', '3'] },
  // cut inside its header: too short for the page's reader, a hires sprite for the program
  { name: 'cut.bmp', bytes: example('smiley.bmp').subarray(0, 40), settings: ['none', '1', '1', '0', '0', '0'] },
];

// The balloon drawn in the C64's palette: its indices 1, 2, 3 moved to 6, 7, 10
// with their colours, so that the picture looks the same.
function inC64Palette(bytes) {
  const copy = Buffer.from(bytes);
  const to = [0, 6, 7, 10];
  for (let at = 118; at < copy.length; ++at) copy[at] = to[copy[at] >> 4] << 4 | to[copy[at] & 15];
  for (let index = 1; index < 4; ++index) bytes.copy(copy, 54 + 4 * to[index], 54 + 4 * index, 58 + 4 * index);
  return copy;
}

const defaultOutname = (c) => c.name.replace(/\.bmp$/, '') + (c.settings[0] === 'none' ? '.spr' : '.prg');

// The native program's run in a folder of its own: console bytes, status, output.
function runNative({ name, bytes, settings }, outname) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvel-native-'));
  fs.writeFileSync(path.join(folder, name), bytes);
  const run = spawnSync(native, [name, outname, ...settings], { cwd: folder });
  const output = path.join(folder, outname);
  return { console: run.stdout.toString('utf8'), status: run.status,
           output: fs.existsSync(output) ? fs.readFileSync(output) : null };
}

// Pepto's C64 colours, as the page shows them.
const c64 = ['000000', 'ffffff', '68372b', '70a4b2', '6f3d86', '588d43', '352879', 'b8c76f', '6f4f25',
             '433900', '9a6759', '444444', '6c6c6c', '9ad284', '6c5eb5', '959595']
  .map((hex) => [0, 2, 4].map((at) => parseInt(hex.slice(at, at + 2), 16)));

// The C64 colour numbers the page's registers hold, in code order.
async function registerColours(page) {
  return page.evaluate(() => ['background', 'multicolour1', 'spritecolour', 'multicolour2']
    .map((id) => Number(document.getElementById(id).value)));
}

// What the C64 shows for sprite pixel (x, y), read straight off the bytes.
function spriteColour(sprite, hires, x, y, registers) {
  const byte = sprite[y * 3 + (x >> 3)];
  if (hires) return c64[[registers[0], registers[2]][(byte >> (7 - (x & 7))) & 1]];
  return c64[registers[(byte >> (6 - 2 * ((x & 7) >> 1))) & 3]];
}

// The colour of bitmap pixel (x, y), top row first, from a bottom-up 4-bit BMP.
function bitmapColour(bytes, x, y) {
  const offset = bytes.readInt32LE(10);
  const width = bytes.readInt32LE(18);
  const height = bytes.readInt32LE(22);
  const stride = Math.ceil(width * 4 / 32) * 4;
  const byte = bytes[offset + (height - 1 - y) * stride + (x >> 1)];
  const index = x & 1 ? byte & 15 : byte >> 4;
  const at = 14 + bytes.readUInt32LE(14) + 4 * index;
  return [bytes[at + 2], bytes[at + 1], bytes[at]];
}

// Pixels of a canvas at the given points, as [r, g, b].
async function canvasPixels(page, id, points) {
  return page.evaluate(([id, points]) => {
    const context = document.getElementById(id).getContext('2d');
    return points.map(([x, y]) => Array.from(context.getImageData(x, y, 1, 1).data.slice(0, 3)));
  }, [id, points]);
}

async function spriteMatches(page, output, startaddress, hires, label) {
  const start = startaddress.toLowerCase() === 'none' ? 0 : 2;
  const sprite = output.subarray(start, start + 63);
  const points = [];
  for (let y = 0; y < 21; ++y) for (let x = 0; x < 24; ++x) points.push([x * 10 + 5, y * 10 + 5]);
  const drawn = await canvasPixels(page, 'sprite', points);
  const registers = await registerColours(page);
  points.forEach(([px, py], i) =>
    assert.deepEqual(drawn[i], spriteColour(sprite, hires, (px - 5) / 10, (py - 5) / 10, registers),
                     `${label}: sprite pixel ${i}`));
}

// The right-hand pixel of each pair (the left-hand one is drawn faded), away
// from its digit and its mark.
async function bitmapViewMatches(page, bytes, label) {
  const cell = 24;  // 720 / 24 pixels, at most 24
  const points = [];
  for (let y = 0; y < 21; ++y) for (let x = 1; x < 24; x += 2) points.push([x * cell + 4, y * cell + 4]);
  const drawn = await canvasPixels(page, 'bitmap-view', points);
  points.forEach(([px, py], i) =>
    assert.deepEqual(drawn[i], bitmapColour(bytes, (px - 4) / cell, (py - 4) / cell), `${label}: bitmap pixel ${i}`));
}

// A file on disk is read by the browser itself; bytes are handed to the page
// by the test's own script, which would be counted against the page.
async function pickAndFill(page, { name, bytes, settings, file }) {
  await page.getByLabel('Bitmap', { exact: true }).setInputFiles(file || { name, mimeType: 'image/bmp', buffer: bytes });
  // A picture that holds many cells is taken as a sheet; here it is one sprite.
  // (whose palette-index view a sheet's view does not show)
  await page.locator('#bitmap-note').filter({ hasNotText: 'Reading' }).waitFor({ state: 'attached' });
  await page.waitForFunction(() => !document.getElementById('bitmap-note').textContent.startsWith('Reading'));
  if (await page.locator('#view').inputValue() !== 'single') await page.getByLabel('Convert as').selectOption('single');
  const labels = ['Start address', 'Zero byte', 'Colour 1', 'Colour 2', 'Colour 3', 'Colour 4'];
  for (const [i, label] of labels.entries()) await page.getByLabel(label, { exact: true }).fill(settings[i]);
}

// Picking and typing convert by themselves; Convert converts once more.
async function convert(page, c) {
  await pickAndFill(page, c);
  await page.getByRole('button', { name: 'Convert' }).click();
  return waitForResult(page);
}

async function waitForResult(page) {
  await page.locator('#status').filter({ hasText: 'Exit status' }).waitFor();
  return Number((await page.locator('#progress').textContent()).match(/Done in (\d+) ms/)[1]);
}

// The page's result equals the native program's: console, status, download.
async function sameAsNative(page, c, outname, expected) {
  const label = `${c.name} ${c.settings.join(' ')}`;
  assert.equal(await page.locator('#console').textContent(), expected.console, label);
  assert.match(await page.locator('#status').textContent(), new RegExp(`^Exit status ${expected.status}: `), label);
  assert.equal(await page.locator('#download').isVisible(), expected.output !== null, label);
  if (expected.output === null) return;
  assert.equal(await page.locator('#download').textContent(), `Download ${outname}`, label);
  assert.deepEqual(await download(page, '#download'), expected.output, label);
}

async function download(page, selector) {
  const [file] = await Promise.all([page.waitForEvent('download'), page.locator(selector).click()]);
  return fs.readFileSync(await file.path());
}

// What the page shows of a result, read at one moment: the console, the
// status, the download's name and the hex dump, "|" between them; and the
// progress line.
async function onScreen(page) {
  return page.evaluate(() => {
    const text = (id) => document.getElementById(id).textContent;
    const download = document.getElementById('download');
    return { result: [text('console'), text('status'), download.hidden ? '' : download.textContent,
                      text('hexdump')].join('|'), progress: text('progress') };
  });
}

// The findings the page shows, as the checker's messages.
async function shownFindings(page) {
  return (await page.locator('#findings li').allTextContents()).map((text) => text.replace(/^(Warning|Refused): /, ''));
}

async function noAccessibilityViolations(page, label) {
  const { violations } = await new AxeBuilder({ page }).analyze();
  assert.deepEqual(violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(' ')}`), [], label);
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
  try {
    await checkPage(browser, folder, alone);
  } finally {
    await browser.close();
  }
});

async function checkPage(browser, folder, alone) {
  const context = await browser.newContext({ acceptDownloads: true, viewport: { width: 1280, height: 900 } });
  const page = await context.newPage();
  const requests = [];
  page.on('request', (request) => {
    if (!/^(file|data|blob):/.test(request.url())) requests.push(request.url());
  });
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.goto('file://' + alone);
  await page.locator('body[data-ready=true]').waitFor();
  // From the start of the navigation to the module compiled, as the page measures it.
  const ready = Math.round(await page.evaluate(() => performance.getEntriesByName('ready')[0].startTime));
  assert.equal(await page.locator('canvas:visible').count(), 0, 'no empty canvas before a bitmap');

  const times = [];
  for (const c of cases) {
    const outname = c.outname || defaultOutname(c);
    const expected = runNative(c, outname);
    times.push(await convert(page, c));
    const label = `${c.name} ${c.settings.join(' ')}`;
    await sameAsNative(page, c, outname, expected);
    const command = c.command || ['quorvel', c.name, outname, ...c.settings].join(' ');
    assert.equal(await page.locator('#command').innerText(), command, label);
    if (expected.output !== null && expected.output.length >= 63) {
      await spriteMatches(page, expected.output, c.settings[0], c.bytes[28] === 1, label);
    }
    if (c.bytes === balloon) await bitmapViewMatches(page, c.bytes, label);
    if (c.name === 'wide.bmp') {
      assert.match(await page.locator('#hexdump').textContent(), /… [\d,]+ bytes not shown …/, label);
    }
    if (c.name === 'smiley.bmp' || c.name === 'cut.bmp') {  // hires: two mapping rows, two registers
      assert.equal(await page.locator('#mapping tbody tr').count(), 2, label);
      assert.equal(await page.locator('#registers select:visible').count(), 2, label);
    }
    if (c.name === 'smiley.bmp') assert.match(await page.locator('#bitmap-note').textContent(), /1 bit a pixel/, label);
    if (c === cases[0]) {
      // The balloon is drawn in the C64's colours: each register starts at its colour there.
      assert.deepEqual(await registerColours(page), [14, 2, 1, 9], 'light blue, red, white, brown');
      // One row for each index: its argument, its code and the register it selects.
      const rows = await page.locator('#mapping tbody tr').allInnerTexts();
      assert.equal(rows.length, 4, label);
      assert.match(rows[1], /Colour 2 = 1[\s\S]*multicolour 1 \(\$D025\)[\s\S]*red/, label);
      assert.match(rows[2], /sprite colour \(\$D027\+n\)/, label);
      assert.deepEqual(await shownFindings(page), [], label);
      assert.match(await page.locator('#status').textContent(), /written completely/, label);
      await noAccessibilityViolations(page, 'at 1280 px');
      if (process.env.QUORVEL_SCREENSHOTS) {  // the arguments, the colour panel and the result
        const bottom = await page.locator('#command').evaluate((node) => node.getBoundingClientRect().bottom + scrollY);
        await page.screenshot({ path: path.join(process.env.QUORVEL_SCREENSHOTS, 'page.png'), fullPage: true,
                                clip: { x: 0, y: 0, width: 1280, height: Math.ceil(bottom) + 16 } });
      }
    }
  }

  // A picture in the C64's palette, its colours at indices 6, 7 and 10: said,
  // and the fix takes the register chosen for each colour (not the one of its
  // index's order): the copy converts, as the native program converts it, to
  // the page's sprite, drawn in the picture's own colours; quorvel-sheet's
  // command converts the original without a copy.
  const c64 = { name: 'c64.bmp', bytes: inC64Palette(balloon), settings: standard };
  await convert(page, c64);
  assert.match((await shownFindings(page))[0], /^Palette indices 6, 7, 10 are used/);
  assert.match(await page.locator('#status').textContent(), /differs from the picture/);
  await page.getByLabel('Palette index 7, C64 white').selectOption({ label: 'multicolour 2 ($D026)' });
  await page.getByLabel('Palette index 10, C64 brown').selectOption({ label: 'sprite colour ($D027+n)' });
  assert.equal(await page.locator('#sheet-command').innerText(),
               'quorvel-sheet --background light-blue --multicolour1 red --multicolour2 white --address 2000 c64.bmp c64.prg');
  await page.getByRole('button', { name: 'Use these registers' }).click();
  await page.locator('#fixed').waitFor();
  await waitForResult(page);
  const fixed = await download(page, '#fixed-download');
  const fixedSettings = await page.evaluate((ids) => ids.map((id) => document.getElementById(id).value),
    ['startaddress', 'zerobyte', 'colour1', 'colour2', 'colour3', 'colour4']);
  const fixedRun = { name: 'c64-indexed.bmp', bytes: fixed, settings: fixedSettings };
  await sameAsNative(page, fixedRun, 'c64-indexed.prg', runNative(fixedRun, 'c64-indexed.prg'));
  assert.deepEqual(await registerColours(page), [14, 2, 9, 1], 'the registers in the chosen colours');
  await spriteMatches(page, runNative(fixedRun, 'c64-indexed.prg').output, '2000', false, 'the fixed copy');
  assert.deepEqual(await shownFindings(page), []);
  assert.match(await page.locator('#command').innerText(), /^quorvel c64-indexed.bmp c64-indexed.prg /);

  // The registers the person set, by hand or by the choice above, stay as set
  // when another C64 picture is picked; the others take its colours.
  await page.locator('#background').selectOption('0');
  await convert(page, cases[0]);
  assert.deepEqual(await registerColours(page), [0, 2, 9, 1], 'the registers as set');

  await checkSheet(page, folder);

  // Nothing of the bitmap before stays on screen once another is picked or
  // an argument changes; the result shown is always of the inputs shown.
  await convert(page, cases[0]);
  await page.getByLabel('Bitmap', { exact: true }).setInputFiles({ name: 'smiley.bmp', mimeType: 'image/bmp', buffer: example('smiley.bmp') });
  assert.doesNotMatch((await onScreen(page)).result, /balloon/, 'a result of the bitmap before');
  await waitForResult(page);
  await convert(page, cases[0]);
  await page.getByLabel('Start address', { exact: true }).fill('none');
  const { result, progress } = await onScreen(page);
  assert.match(result, /^(\|){3}$|balloon\.spr/, 'a result of the address before');
  if (result === '|||') assert.doesNotMatch(progress, /Done/, 'done said while no result is shown');
  await waitForResult(page);
  const none = { ...cases[0], settings: ['none', ...standard.slice(1)] };
  await sameAsNative(page, none, 'balloon.spr', runNative(none, 'balloon.spr'));

  // Enter twice on Convert converts once and never cancels.
  await convert(page, cases[0]);
  await page.getByRole('button', { name: 'Convert' }).focus();
  await page.keyboard.press('Enter');
  await page.keyboard.press('Enter');
  await waitForResult(page);
  assert.match(await page.locator('#status').textContent(), /^Exit status 0: /);
  assert.equal(await page.evaluate(() => document.activeElement.id), 'result', 'focus on the result');

  // A bitmap changed on disk after it was picked: said, and Convert comes back.
  const onDisk = path.join(folder, 'changing.bmp');
  fs.writeFileSync(onDisk, balloon);
  await page.getByLabel('Bitmap', { exact: true }).setInputFiles(onDisk);
  await waitForResult(page);
  fs.writeFileSync(onDisk, Buffer.concat([balloon, balloon]));
  await page.getByRole('button', { name: 'Convert' }).click();
  await page.locator('#progress').filter({ hasText: 'could not be read' }).waitFor();
  assert.equal(await page.getByRole('button', { name: 'Convert' }).getAttribute('aria-disabled'), 'false');

  // A header asking for 256 MiB of sprite bytes: progress, then Cancel ends
  // the run for good and brings Convert back.
  const huge = { name: 'huge.bmp', bytes: header({ bits: 4, width: 65536, height: 32768, offset: 2147483647 }),
                 settings: ['none', '0', '0', '1', '2', '3'] };
  await pickAndFill(page, huge);
  await page.locator('#progress').filter({ hasText: 'bytes written' }).waitFor({ timeout: 60000 });
  await page.getByRole('button', { name: 'Cancel' }).click();
  assert.equal(await page.getByRole('button', { name: 'Convert' }).getAttribute('aria-disabled'), 'false');
  assert.equal(await page.locator('#progress').textContent(), 'Cancelled.');
  await page.waitForTimeout(1500);
  assert.equal(await page.locator('#progress').textContent(), 'Cancelled.', 'the cancelled run went on');
  await convert(page, cases[0]);
  await sameAsNative(page, cases[0], 'balloon.prg', runNative(cases[0], 'balloon.prg'));

  const figures = await liveFigures(page, folder);

  // A phone's width: nothing but the hex dump scrolls sideways, 8 bytes a row;
  // a sheet neither.
  await page.setViewportSize({ width: 390, height: 844 });
  await convert(page, c64);
  assert.ok(await page.evaluate(() => document.documentElement.scrollWidth) <= 390, 'the page scrolls sideways');
  assert.match(await page.locator('#hexdump').textContent(), /^00000000: (\S\S ){7}\S\S\n/);
  await noAccessibilityViolations(page, 'at 390 px');
  await pickSheet(page, 'sheet.bmp', fourCells());
  assert.ok(await page.evaluate(() => document.documentElement.scrollWidth) <= 390, 'the sheet scrolls sideways');
  await noAccessibilityViolations(page, 'the sheet at 390 px');
  await page.getByLabel('Bitmap', { exact: true }).setInputFiles([path.join(examples, 'c64', 'scene.toml'),
                                                                  path.join(examples, 'scene.bmp')]);
  await page.locator('#project-status').filter({ hasText: 'Exit status 0' }).waitFor();
  assert.ok(await page.evaluate(() => document.documentElement.scrollWidth) <= 390, 'the project scrolls sideways');
  await noAccessibilityViolations(page, 'a project at 390 px');

  assert.deepEqual(requests, [], 'the page made no network request');
  assert.deepEqual(errors, [], 'no script error');
  console.log(`page ready after ${ready} ms; conversions shown after ${times.join(', ')} ms`);
  console.log(figures);
}

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[sorted.length >> 1];
}

// How live the page is (printed, not judged): a changed colour argument of the
// balloon to the changed bytes, median of 10; and the longest tasks of the
// page's own thread while a 4096 by 4096 8-bit bitmap is converted at every change.
async function liveFigures(page, folder) {
  await convert(page, cases[0]);
  const changes = [];
  for (let i = 0; i < 10; ++i)
    changes.push(await page.evaluate((value) => new Promise((resolve) => {
      const dump = document.getElementById('hexdump');
      const before = dump.textContent;
      const observer = new MutationObserver(() => {
        if (dump.textContent === before || dump.textContent === '') return;
        observer.disconnect();
        resolve(performance.now() - start);
      });
      observer.observe(dump, { childList: true, characterData: true, subtree: true });
      const input = document.getElementById('colour4');
      input.value = value;
      const start = performance.now();
      input.dispatchEvent(new Event('input', { bubbles: true }));
    }), String(i % 2 === 0 ? 2 : 3)));
  await page.getByLabel('Colour 4', { exact: true }).fill('3');
  await waitForResult(page);
  const large = Buffer.concat([header({ bits: 8, width: 4096, height: 4096, offset: 54 + 1024 }), Buffer.alloc(1024),
                               Buffer.alloc(4096 * 4096, 0x01)]);
  await page.evaluate(() => {
    window.longTasks = [];
    new PerformanceObserver((list) => window.longTasks.push(...list.getEntries().map((entry) => entry.duration)))
      .observe({ type: 'longtask' });
  });
  const file = path.join(folder, 'large.bmp');
  fs.writeFileSync(file, large);
  await convert(page, { name: 'large.bmp', file, settings: standard });
  for (const value of ['2', '3', '1']) {
    await page.getByLabel('Colour 2', { exact: true }).fill(value);
    await waitForResult(page);
  }
  const longTasks = await page.evaluate(() => window.longTasks);
  // The same picture as a sheet: drawn with its grid while quorvel-sheet converts its cells.
  await page.evaluate(() => { window.longTasks = []; });
  await page.getByLabel('Convert as').selectOption('sheet');
  await page.locator('#sheet-status').filter({ hasText: 'Exit status' }).waitFor({ timeout: 180000 });
  await page.locator('#sheet-picture').waitFor();
  const sheetTasks = await page.evaluate(() => window.longTasks);
  await page.getByLabel('Convert as').selectOption('single');
  return `a changed colour argument shown after ${median(changes).toFixed(1)} ms (median of 10: ` +
    `${changes.map((ms) => ms.toFixed(1)).join(', ')}); a 4096 by 4096 bitmap: ${longTasks.length} tasks over ` +
    `50 ms, the longest ${Math.max(0, ...longTasks).toFixed(0)} ms; as a sheet with its grid: ${sheetTasks.length} ` +
    `tasks over 50 ms, the longest ${Math.max(0, ...sheetTasks).toFixed(0)} ms`;
}

// A 48 by 42 4-bit sheet of four cells, each sprite drawn two pixels wide.
function fourCells() {
  const offset = 54 + 64;
  const bytes = Buffer.concat([header({ bits: 4, width: 48, height: 42, offset }), Buffer.alloc(64), Buffer.alloc(24 * 42)]);
  for (let row = 0; row < 42; ++row)
    for (let x = 0; x < 24; ++x) bytes[offset + row * 24 + x] = ((x + row) % 4) * 0x11;
  bytes.writeUInt32LE(bytes.length, 2);
  return bytes;
}

async function pickSheet(page, name, bytes) {
  await page.getByLabel('Bitmap', { exact: true }).setInputFiles({ name, mimeType: 'image/bmp', buffer: bytes });
  await page.locator('#sheet-status').filter({ hasText: 'Exit status' }).waitFor();
}

// quorvel-sheet as the native one, in a folder of its own: its blocks and labels.
function runNativeSheet(name, bytes, words, base = name.replace(/\.[^.]*$/, '')) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvel-sheet-'));
  fs.writeFileSync(path.join(folder, name), bytes);
  const run = spawnSync(nativeSheet, [...words, '--labels', base + '.inc', name, base + '.spr'], { cwd: folder });
  assert.equal(run.status, 0, run.stderr.toString());
  return { blocks: fs.readFileSync(path.join(folder, base + '.spr')), labels: fs.readFileSync(path.join(folder, base + '.inc')) };
}

// The colour of pixel (x, y) of a 4-bit bottom-up BMP, [red, green, blue].
function bmpPixel(bytes, x, y) {
  const width = bytes.readInt32LE(18), height = bytes.readInt32LE(22);
  const stride = ((width * 4 + 31) >> 5) * 4;
  const byte = bytes[bytes.readUInt32LE(10) + (height - 1 - y) * stride + (x >> 1)];
  const entry = 54 + 4 * (x & 1 ? byte & 15 : byte >> 4);
  return [bytes[entry + 2], bytes[entry + 1], bytes[entry]];
}

// The canvas's pixel at (x, y), [red, green, blue].
async function canvasPixel(page, id, x, y) {
  return page.evaluate(([id, x, y]) =>
    Array.from(document.getElementById(id).getContext('2d').getImageData(x, y, 1, 1).data.slice(0, 3)), [id, x, y]);
}

// The rocket as drawn, 8 times its size: its own pixels, the written cells
// outlined, the grid following the spacing at once, and each finding ringed,
// listed, chosen and shown in its cell; the single sprite's picture panel is
// not there.
async function checkSheetPicture(page, rocket) {
  assert.equal(await page.locator('#sheet-picture').isVisible(), true);
  assert.equal(await page.locator('#bitmap-heading').isVisible(), false, 'no palette-index view of a sheet');
  assert.deepEqual(await page.evaluate(() => [document.getElementById('sheet-picture').width,
                                              document.getElementById('sheet-picture').height]), [768, 168]);
  assert.equal(await page.locator('#sheet-picture-note').textContent(),
               '96 by 21 pixels, drawn 8 times: 4 cells of 24 by 21.');
  for (const [x, y] of [[12, 15], [13, 3], [40, 18], [60, 10]])
    assert.deepEqual(await canvasPixel(page, 'sheet-picture', x * 8 + 4, y * 8 + 4), bmpPixel(rocket, x, y), `${x}, ${y}`);
  assert.deepEqual(await canvasPixel(page, 'sheet-picture', 24 * 8 + 1, 80), [255, 210, 0], 'cell 1 is outlined');
  await page.getByLabel('Spacing', { exact: true }).fill('1,0');
  assert.equal(await page.locator('#sheet-picture-note').textContent(),
               '96 by 21 pixels, drawn 8 times: 3 cells of 24 by 21.', 'the grid follows at once');
  await page.getByLabel('Spacing', { exact: true }).fill('0,0');
  // A register that misses the rocket's red: a finding in every cell.
  await page.locator('#multicolour2').selectOption('3');
  await page.locator('#sheet-status').filter({ hasText: 'Exit status 1' }).waitFor();
  const findings = page.locator('#sheet-findings button');
  assert.equal(await findings.count(), 4);
  await findings.nth(2).click();
  assert.equal(await findings.nth(2).getAttribute('aria-pressed'), 'true');
  assert.match(await page.locator('#sheet-marked').textContent(), /^Ringed on the picture: cell 2, pixel \d+, \d+\.$/);
  assert.equal(await page.getByRole('img', { name: 'Cell 2 as drawn, each finding\'s pixel ringed' }).count(), 1);
  if (process.env.QUORVEL_SCREENSHOTS)  // the picture with its grid, a finding chosen and ringed
    await page.locator('#sheet-picture-section').screenshot({
      path: path.join(process.env.QUORVEL_SCREENSHOTS, 'sheet-finding.png') });
  await noAccessibilityViolations(page, 'a sheet with findings at 1280 px');
  await page.locator('#multicolour2').selectOption('2');
  await page.locator('#sheet-status').filter({ hasText: '4 sprites written' }).waitFor();
  assert.equal(await page.locator('#sheet-findings').isVisible(), false);
  assert.equal(await page.locator('#sheet-console').isVisible(), false, 'no empty console box');
}

// A 4-bit sheet of two cells in two C64 colours, white at palette entry 0 and
// blue at 1 (not the C64's order), drawn pixel by pixel: the page proposes
// C64 colour and hires, the background blue, and says so.
function twoColourSheet() {
  const offset = 54 + 64;
  const palette = Buffer.alloc(64);
  palette.writeUInt32LE(0xffffff, 0);
  palette.writeUInt32LE(0x352879, 4);
  const rows = Buffer.alloc(24 * 21);
  for (let y = 0; y < 21; ++y)
    for (let x = 0; x < 48; ++x) {
      const drawn = x % 24 >= 6 && x % 24 < 18 && y >= 3 && y < 18 && (x + y) % 3 === 0;
      if (!drawn) rows[(20 - y) * 24 + (x >> 1)] |= x & 1 ? 0x01 : 0x10;
    }
  const bytes = Buffer.concat([header({ bits: 4, width: 48, height: 21, offset }), palette, rows]);
  bytes.writeUInt32LE(bytes.length, 2);
  return bytes;
}

async function checkSheetProposals(page) {
  const digits = twoColourSheet();
  await pickSheet(page, 'digits.bmp', digits);
  assert.equal(await page.getByLabel('Colours by', { exact: true }).inputValue(), 'colour');
  assert.equal(await page.getByLabel('Sprites', { exact: true }).inputValue(), 'hires');
  assert.equal(await page.locator('#background').inputValue(), '6');
  assert.equal(await page.locator('#multicolour1').isVisible(), false, 'no multicolour register in hires');
  assert.equal(await page.locator('#sheet-proposal').textContent(),
               'Proposed for this picture: its palette holds C64 colours, so it is read by C64 colour, whatever ' +
               'the order of its entries; it has two colours, so it makes hires sprites.');
  await page.locator('#sheet-status').filter({ hasText: '2 sprites written' }).waitFor();
  assert.deepEqual(await download(page, '#sheet-download'),
                   runNativeSheet('digits.bmp', digits, ['--hires', '--background', '6']).blocks);
  // Cells of 32 by 32 from 1,1, 2 apart: the default grid leaves drawings
  // out of their cells, and the page offers the grid they lie on.
  const framed = framedSheet();
  await pickSheet(page, 'framed.bmp', framed);
  assert.match(await page.locator('#sheet-status').textContent(), /^Exit status 1/);
  assert.equal(await page.locator('#grid-proposal-text').textContent(),
               'The drawings seem to lie in cells of 24x21 from 1,1, with a spacing of 10,13; the grid of these ' +
               'inputs leaves some of them outside their cells.');
  assert.equal(await page.getByLabel('Origin', { exact: true }).inputValue(), '0,0', 'never taken by itself');
  // the drawing left outside every cell, each pixel framed: (48, 1) is one, drawn 8 times its size
  assert.deepEqual(await canvasPixel(page, 'sheet-picture', 48 * 8, 1 * 8 + 4), [255, 0, 255]);
  if (process.env.QUORVEL_SCREENSHOTS)
    await page.locator('#sheet-picture-section').screenshot({
      path: path.join(process.env.QUORVEL_SCREENSHOTS, 'sheet-grid.png') });
  await page.getByRole('button', { name: 'Use this grid' }).click();
  await page.locator('#sheet-status').filter({ hasText: '4 sprites written' }).waitFor();
  assert.equal(await page.locator('#grid-proposal').isVisible(), false);
  assert.deepEqual(await download(page, '#sheet-download'), runNativeSheet('framed.bmp', framed,
    ['--origin', '1,1', '--spacing', '10,13', '--hires', '--background', '6']).blocks);
  await page.getByLabel('Origin', { exact: true }).fill('0,0');
  await page.getByLabel('Spacing', { exact: true }).fill('0,0');
}

// The scene's project file with its picture: every animation and object
// shown, the blocks' places in the bank, and the four files byte for byte as
// the native quorvel-sheet writes them; a picture picked after it brings the
// picture's view back.
async function checkProject(page) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvel-project-'));
  fs.mkdirSync(path.join(folder, 'c64'));
  const project = path.join(folder, 'c64', 'scene.toml');
  fs.copyFileSync(path.join(examples, 'c64', 'scene.toml'), project);
  fs.copyFileSync(path.join(examples, 'scene.bmp'), path.join(folder, 'scene.bmp'));
  const run = spawnSync(nativeSheet, ['scene.toml'], { cwd: path.join(folder, 'c64') });
  assert.equal(run.status, 0, run.stderr.toString());
  await page.getByLabel('Bitmap', { exact: true }).setInputFiles([project, path.join(folder, 'scene.bmp')]);
  await page.locator('#project-status').filter({ hasText: 'Exit status 0' }).waitFor();
  assert.equal(await page.locator('#project-status').textContent(), 'Exit status 0: 5 animations and objects written.');
  assert.equal(await page.locator('#project-sets canvas').count(), 5);
  assert.equal(await page.getByRole('img', { name: 'The sheet ../scene.bmp as drawn' }).count(), 1);
  assert.equal(await page.getByRole('img', { name: 'Object boss, its 4 sprites side by side' }).count(), 1);
  assert.deepEqual(await page.evaluate(() => [...document.querySelectorAll('#project-layout li')].map((item) => item.textContent)), [
    '$2000 to $20FF: animation ship (4 blocks, pointers 128 to 131)',
    '$2100 to $21BF: animation enemy (3 blocks, pointers 132 to 134)',
    '$21C0 to $22FF: animation explosion (5 blocks, pointers 135 to 139)',
    '$2300 to $233F: animation crosshair (1 block, pointers 140 to 140)',
    '$2400 to $24FF: object boss (4 blocks, pointers 144 to 147)',
  ]);
  for (const name of ['scene.prg', 'scene.inc', 'scene-tables.asm', 'scene.d']) {
    const selector = `#project-downloads a[download="${name}"]`;
    assert.deepEqual(await download(page, selector), fs.readFileSync(path.join(folder, 'c64', name)), name);
  }
  assert.equal(await page.locator('#project-command').textContent(), 'quorvel-sheet scene.toml');
  assert.equal(await page.locator('#cells').isVisible(), false, 'no sheet panel for a project');
  await noAccessibilityViolations(page, 'a project at 1280 px');
  if (process.env.QUORVEL_SCREENSHOTS)
    await page.locator('#project-section').screenshot({ path: path.join(process.env.QUORVEL_SCREENSHOTS, 'project.png') });
  await pickSheet(page, 'rocket.bmp', example('rocket.bmp'));
  assert.equal(await page.locator('#project-section').isVisible(), false);
}

// A 4-bit sheet of 2 by 2 cells of 32 by 32 from 1,1 with gaps of 2, each
// holding a white drawing of 16 by 14 at its top left on blue (Pepto's
// palette in the C64's order).
function framedSheet() {
  const width = 70, height = 70, stride = 36, offset = 54 + 64;
  const palette = Buffer.alloc(64);
  palette.writeUInt32LE(0xffffff, 4);
  palette.writeUInt32LE(0x352879, 24);
  const rows = Buffer.alloc(stride * height, 0x66);
  for (let y = 0; y < height; ++y)
    for (let x = 0; x < width; ++x) {
      const inside = (at) => (at - 1) % 34 < 16 && at >= 1 && at < 69;
      if (inside(x) && (y - 1) % 34 < 14 && y >= 1 && y < 69) {
        const at = (height - 1 - y) * stride + (x >> 1);
        rows[at] = x & 1 ? (rows[at] & 0xf0) | 0x01 : (rows[at] & 0x0f) | 0x10;
      }
    }
  const bytes = Buffer.concat([header({ bits: 4, width, height, offset }), palette, rows]);
  bytes.writeUInt32LE(bytes.length, 2);
  return bytes;
}

// Name, Label syntax and Palette: the command line and the downloads follow,
// byte for byte as the native quorvel-sheet writes them.
async function checkSheetNames(page, rocket, byColour) {
  await page.getByLabel('Name', { exact: true }).fill('enemy');
  await page.getByLabel('Label syntax', { exact: true }).selectOption('kickass');
  await page.getByLabel('Palette', { exact: true }).selectOption('pepto');
  await page.locator('#labels-download').filter({ hasText: 'enemy.inc' }).waitFor();
  const words = [...byColour, '--labels-syntax', 'kickass', '--name', 'enemy', '--palette', 'pepto'];
  const expected = runNativeSheet('rocket.bmp', rocket, words, 'enemy');
  assert.deepEqual(await download(page, '#labels-download'), expected.labels);
  assert.match(expected.labels.toString(), /^\.const enemy_0 = 0\n/);
  assert.deepEqual(await download(page, '#sheet-download'), expected.blocks);
  assert.equal(await page.locator('#sheet-command-line').innerText(),
               'quorvel-sheet --background blue --multicolour1 light-grey --multicolour2 red --labels-syntax kickass ' +
               '--name enemy --palette pepto --labels enemy.inc rocket.bmp enemy.spr');
  // Tables, and C: through the project the page saves, as the native
  // quorvel-sheet makes it from that file.
  await page.getByLabel('Label syntax', { exact: true }).selectOption('c');
  await page.getByLabel('Tables', { exact: true }).selectOption('yes');
  await page.locator('#tables-download').filter({ hasText: 'enemy-tables.h' }).waitFor();
  assert.equal(await page.locator('#sheet-command-line').innerText(), 'quorvel-sheet enemy.toml');
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvel-saved-'));
  fs.writeFileSync(path.join(folder, 'enemy.toml'), await download(page, '#project-download'));
  fs.writeFileSync(path.join(folder, 'rocket.bmp'), rocket);
  const run = spawnSync(nativeSheet, ['enemy.toml'], { cwd: folder });
  assert.equal(run.status, 0, run.stderr.toString());
  for (const [selector, name] of [['#sheet-download', 'enemy.spr'], ['#labels-download', 'enemy.h'],
                                  ['#tables-download', 'enemy-tables.h']])
    assert.deepEqual(await download(page, selector), fs.readFileSync(path.join(folder, name)), name);
  assert.match(fs.readFileSync(path.join(folder, 'enemy-tables.h'), 'utf8'),
               /^#pragma once\nstatic const unsigned char enemy_pointers\[\] = \{0, 1, 2, 3\};\n/);
  await page.getByLabel('Tables', { exact: true }).selectOption('');
  await page.getByLabel('Name', { exact: true }).fill('');
  await page.getByLabel('Label syntax', { exact: true }).selectOption('acme');
  await page.getByLabel('Palette', { exact: true }).selectOption('');
  await page.locator('#labels-download').filter({ hasText: 'rocket.inc' }).waitFor();
  assert.equal(await page.locator('#tables-download').isVisible(), false);
}

// A sheet: its cells as a C64 shows them, one download of its blocks and one
// of its labels, byte for byte as the native quorvel-sheet writes them, and
// the command line that does so.
async function checkSheet(page, folder) {
  const sheet = fourCells();
  await pickSheet(page, 'sheet.bmp', sheet);
  assert.match(await page.locator('#sheet-status').textContent(), /^Exit status 0: 4 sprites written/);
  assert.equal(await page.locator('#cells canvas').count(), 4);
  const expected = runNativeSheet('sheet.bmp', sheet, []);
  assert.deepEqual(await download(page, '#sheet-download'), expected.blocks, 'the four blocks');
  assert.equal(expected.blocks.length, 4 * 64);
  assert.deepEqual(await download(page, '#labels-download'), expected.labels, 'the labels');
  assert.equal(await page.locator('#sheet-command-line').innerText(),
               'quorvel-sheet --labels sheet.inc sheet.bmp sheet.spr');
  await noAccessibilityViolations(page, 'the sheet at 1280 px');
  // The frames chosen, in their order: the download follows them.
  await page.getByLabel('Frames', { exact: true }).fill('3,0');
  await page.locator('#sheet-status').filter({ hasText: '2 sprites written' }).waitFor();
  const chosen = runNativeSheet('sheet.bmp', sheet, ['--frames', '3,0']);
  assert.deepEqual(await download(page, '#sheet-download'), chosen.blocks, 'frames 3 and 0');
  assert.equal(await page.locator('#cells canvas').count(), 4, 'every cell still shown');
  await page.getByLabel('Frames', { exact: true }).fill('');
  // A sheet in the C64's colours, by those colours: each cell in its own colour.
  const rocket = example('rocket.bmp');
  await pickSheet(page, 'rocket.bmp', rocket);
  await page.getByLabel('Colours by', { exact: true }).selectOption('colour');
  await page.locator('#background').selectOption('6');
  await page.locator('#multicolour1').selectOption('15');
  await page.locator('#multicolour2').selectOption('2');
  await page.locator('#sheet-status').filter({ hasText: '4 sprites written' }).waitFor();
  const byColour = ['--background', '6', '--multicolour1', '15', '--multicolour2', '2'];
  assert.deepEqual(await download(page, '#sheet-download'), runNativeSheet('rocket.bmp', rocket, byColour).blocks);
  await checkSheetPicture(page, rocket);
  await checkSheetNames(page, rocket, byColour);
  await checkSheetProposals(page);
  await checkProject(page);
  if (process.env.QUORVEL_SCREENSHOTS) {  // the inputs, the registers, the cells, the downloads and the command
    await page.getByRole('button', { name: 'Pause' }).click();
    const [top, bottom] = await page.evaluate(() => ['arguments', 'sheet-command-line'].map((id) => {
      const box = document.getElementById(id).getBoundingClientRect();
      return [box.top + scrollY, box.bottom + scrollY];
    }));
    await page.screenshot({ path: path.join(process.env.QUORVEL_SCREENSHOTS, 'sheet.png'), fullPage: true,
                            clip: { x: 0, y: Math.floor(top[0]) - 8, width: 1280,
                                    height: Math.ceil(bottom[1] - top[0]) + 24 } });
  }
}
