// The page's pure parts (web/logic.js) and the WebAssembly host's fault
// numbers, without a browser: node --test logic_test.mjs
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import vm from 'node:vm';
import { createRequire } from 'node:module';

const root = path.resolve(path.dirname(new URL(import.meta.url).pathname), '../..');
const logic = createRequire(import.meta.url)(path.join(root, 'web/logic.js'));

test('a command line reads back, word for word, in a POSIX shell', () => {
  const words = ["my  ship's.bmp", 'a\tb', 'new\nline', '$HOME', '`id`', '*', '', 'ä.bmp', "'", '\\', '$0801', '%11'];
  const line = logic.commandLine('printf', ['%s\\0', ...words]);
  const read = execFileSync('sh', ['-c', line]).toString('utf8').split('\0').slice(0, -1);
  assert.deepEqual(read, words);
});

test('the output name: .prg or .spr, never the bitmap, at most 255 bytes', () => {
  const cases = [
    ['balloon.bmp', '2000', 'balloon.prg'],
    ['balloon.bmp', 'NONE', 'balloon.spr'],
    ['balloon.bmp', 'none ', 'balloon.prg'],
    ['x.prg', '2000', 'x-sprite.prg'],
    ['x.spr', 'None', 'x-sprite.spr'],
    ['tmp', '2000', 'tmp.prg'],
    ['.bmp', '2000', 'sprite.prg'],
    ['n'.repeat(255), '2000', 'n'.repeat(251) + '.prg'],
    ['ä'.repeat(200) + '.bmp', '2000', 'ä'.repeat(125) + '.prg'],
  ];
  for (const [inname, address, expected] of cases) {
    assert.equal(logic.outputName(inname, address), expected, inname);
    assert.ok(Buffer.byteLength(expected) <= 255);
  }
});

test('no load address only for "none" in any letter case, as the program reads it', () => {
  const cases = [['none', true], ['NONE', true], ['nOnE', true], ['none ', false], ['non', false],
                 ['İone', false], ['', false], ['n\u00f6ne', false]];
  for (const [text, expected] of cases) assert.equal(logic.noAddress(text), expected, text);
});

test('the hex dump of any output stays small: its head and its tail', () => {
  assert.equal(logic.hexDump(Uint8Array.from([0, 0x20, 0xff])), '00000000: 00 20 ff');
  const huge = new Uint8Array(256 * 1024 * 1024);
  huge[huge.length - 1] = 0xab;
  const lines = logic.hexDump(huge).split('\n');
  assert.equal(lines.length, 256 + 1 + 16);
  assert.equal(lines[256], '… 268,431,104 bytes not shown …');
  assert.equal(lines.at(-1), '0ffffff0: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 ab');
});

// A 4-bit BMP of 8 by 2 pixels: row y holds indices y*8 .. y*8+7 (mod 16).
function bitmap({ height = 2, offset = 54 + 64 }) {
  const bytes = new Uint8Array(offset + 8);
  const view = new DataView(bytes.buffer);
  bytes.set([0x42, 0x4d]);
  view.setInt32(10, offset, true);
  view.setUint32(14, 40, true);
  view.setInt32(18, 8, true);
  view.setInt32(22, height, true);
  view.setUint16(28, 4, true);
  const stored = height > 0 ? [1, 0] : [0, 1];  // the picture's rows in file order
  stored.forEach((y, i) => bytes.set([0x01, 0x23, 0x45, 0x67].map((b) => b + y * 0x88 & 0xff), offset + i * 4));
  return bytes;
}

test('the bitmap view reads rows bottom-up, or top-down for a negative height', () => {
  for (const height of [2, -2]) {
    const header = logic.readBitmap(bitmap({ height }));
    const rows = [0, 1].map((y) => Array.from({ length: 8 }, (_, x) => header.index(x, y)));
    assert.deepEqual(rows, [[0, 1, 2, 3, 4, 5, 6, 7], [8, 9, 10, 11, 12, 13, 14, 15]], String(height));
  }
});

test('the palette holds at most the entries the depth has, whatever the data offset', () => {
  const bytes = new Uint8Array(1 << 20);
  bytes.set(bitmap({}).subarray(0, 54));
  new DataView(bytes.buffer).setInt32(10, 0x7fffffff, true);
  assert.equal(logic.readBitmap(bytes).palette.length, 16);
});

test('the sprite\'s pixels: the worked example 108, and hires bits', () => {
  const multicolour = logic.spriteCodes(Uint8Array.from([108]), false)[0].slice(0, 8);
  assert.deepEqual(multicolour, [1, 1, 2, 2, 3, 3, 0, 0]);
  const hires = logic.spriteCodes(Uint8Array.from([0b10100000]), true)[0].slice(0, 4);
  assert.deepEqual(hires, [1, 0, 1, 0]);
});

// The C64 palettes, by name, as src/check/c64_palettes.hpp holds them.
function publishedPalettes() {
  const source = fs.readFileSync(path.join(root, 'src/check/c64_palettes.hpp'), 'utf8');
  const names = JSON.parse('[' + source.match(/colour_names = \{([^}]*)\}/)[1] + ']');
  const palettes = {};
  for (const [, name, body] of source.matchAll(/\{"(\w+)",\s*\{([^}]*)\}\}/g))
    palettes[name] = body.match(/0x[0-9A-F]{6}/g).map((hex) => '#' + hex.slice(2).toLowerCase());
  return { names, palettes };
}

test('the page\'s C64 colours are the shared table\'s, in Pepto\'s palette', () => {
  const { names, palettes } = publishedPalettes();
  assert.deepEqual(Object.keys(palettes), ['Pepto', 'Colodore']);
  assert.deepEqual(logic.c64Colours, names.map((name, i) => [name, palettes.Pepto[i]]));
});

test('a trap is reported with the fault number of its kind', () => {
  const context = vm.createContext({ Module: {} });
  vm.runInContext(fs.readFileSync(path.join(root, 'src/services/platform/wasm_host.js'), 'utf8'), context);
  const cases = [['new WebAssembly.RuntimeError("memory access out of bounds")', 216],
                 ['new RangeError("Maximum call stack size exceeded")', 216],
                 ['new WebAssembly.RuntimeError("divide by zero")', 200],
                 ['new WebAssembly.RuntimeError("integer overflow")', 200],
                 ['new WebAssembly.RuntimeError("unreachable")', 218]];
  for (const [thrown, number] of cases)
    assert.equal(vm.runInContext(`quorvelFaultNumber(${thrown})`, context), number, thrown);
});

test('moving four colours to indices 0 to 3 keeps every pixel\'s colour', () => {
  const bytes = bitmap({});
  bytes.set([0x06, 0x70, 0xa0, 0x06], 54 + 64);  // the bottom row: indices 0, 6, 7, 0, 10, 0, 0, 6
  bytes.fill(0, 54 + 64 + 4);  // the top row: index 0
  for (let index = 0; index < 16; ++index) bytes.set([index, 2 * index, 3 * index, 0], 54 + 4 * index);
  const before = logic.readBitmap(bytes);
  const { bytes: moved, moved: pairs } = logic.movedToFirstFour(bytes);
  const after = logic.readBitmap(moved);
  assert.deepEqual(pairs, [[6, 1], [7, 2], [10, 3]]);
  for (let x = 0; x < 8; ++x) {
    assert.ok(after.index(x, 1) <= 3);
    assert.equal(after.palette[after.index(x, 1)], before.palette[before.index(x, 1)], `pixel ${x}`);
  }
  assert.equal(logic.movedToFirstFour(moved), null, 'nothing left to move');
});

test('the sprite\'s mode is what the program says it made', () => {
  const cases = [
    ['Image is in 1 bit black/white mode: Converting it to a hires sprite\r\n', 'hires'],
    ['Image is in 8 bit indexed colours mode: Converting it to a multicolor sprite\r\n', 'multicolour'],
    ['load_header... ERROR: Cannot find BMP header. Aborting...\r\nClosing file...\r\n', null],
    ['Opening file "Converting it to a hires sprite" for reading...\r\n', null],
  ];
  for (const [text, mode] of cases) assert.equal(logic.conversionMode(text), mode, text);
});
