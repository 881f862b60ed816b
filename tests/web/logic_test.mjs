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

// The C64 palettes, by name, as src/c64/palettes.hpp holds them.
function publishedPalettes() {
  const source = fs.readFileSync(path.join(root, 'src/c64/palettes.hpp'), 'utf8');
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
  assert.deepEqual(logic.c64Palettes, palettes);
  const source = fs.readFileSync(path.join(root, 'src/c64/palettes.hpp'), 'utf8');
  assert.equal(logic.c64Tolerance, Number(source.match(/tolerance = (\d+);/)[1]));
});

test('a colour is a C64 colour in the palette that holds them all, else by itself', () => {
  const cases = [
    [[0x352879, 0x68372b], [6, 2]],  // Pepto
    [[0x2e2c9b, 0x813338], [6, 2]],  // Colodore
    [[0x3d3081, 0x813338], [6, 2]],  // within 10 of each, one palette each
    [[0x352879, 0x123456], [6, -1]],
  ];
  for (const [colours, numbers] of cases) assert.deepEqual(logic.c64Numbers(colours), numbers, String(colours));
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

test('the first choice moves four colours to indices 0 to 3, each keeping its colour', () => {
  const bytes = bitmap({});
  bytes.set([0x06, 0x70, 0xa0, 0x06], 54 + 64);  // the bottom row: indices 0, 6, 7, 0, 10, 0, 0, 6
  bytes.fill(0, 54 + 64 + 4);  // the top row: index 0
  for (let index = 0; index < 16; ++index) bytes.set([index, 2 * index, 3 * index, 0], 54 + 4 * index);
  const before = logic.readBitmap(bytes);
  const choice = logic.defaultChoice(logic.usedIndices(before), [0, 1, 2, 3]);
  assert.deepEqual(choice, [[0, 0], [6, 1], [7, 2], [10, 3]]);
  const made = logic.applyChoice(bytes, choice);
  const after = logic.readBitmap(made.bytes);
  assert.deepEqual(made.codes, [0, 1, 2, 3]);
  for (let x = 0; x < 8; ++x) {
    assert.ok(after.index(x, 1) <= 3);
    assert.equal(after.palette[after.index(x, 1)], before.palette[before.index(x, 1)], `pixel ${x}`);
  }
  assert.equal(logic.applyChoice(made.bytes, logic.defaultChoice(logic.usedIndices(after), [0, 1, 2, 3])).copied,
               false, 'nothing left to move');
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

// A 4-bit BMP of 8 by 2 pixels drawn in Pepto's C64 palette, with these
// indices, top row first.
function c64Bitmap(rows) {
  const bytes = bitmap({});
  logic.c64Palettes.Pepto.forEach((hex, index) => {
    const rgb = parseInt(hex.slice(1), 16);
    bytes.set([rgb & 255, rgb >> 8 & 255, rgb >> 16, 0], 54 + 4 * index);
  });
  [rows[1], rows[0]].forEach((row, stored) =>
    row.forEach((index, x) => {
      const at = 54 + 64 + stored * 4 + (x >> 1);
      bytes[at] = x & 1 ? (bytes[at] & 0xf0) | index : (bytes[at] & 0x0f) | index << 4;
    }));
  return bytes;
}

test('the registers start at the C64 colours the picture shows there', () => {
  const cases = [
    // indices above 3 show the background: black, the most pixels, wins it
    [[[0, 0, 10, 10, 1, 1, 8, 8], [0, 0, 0, 0, 0, 0, 0, 0]], [0, 1, 2, 3], { background: 0, multicolour1: 1 }],
    [[[6, 6, 1, 1, 2, 2, 3, 3], [6, 6, 6, 6, 6, 6, 6, 6]], [0, 1, 2, 3],
     { background: 6, multicolour1: 1, spritecolour: 2, multicolour2: 3 }],
    [[[6, 6, 1, 1, 2, 2, 3, 3], [6, 6, 6, 6, 6, 6, 6, 6]], [0, 3, 2, 1],
     { background: 6, multicolour2: 1, spritecolour: 2, multicolour1: 3 }],
  ];
  for (const [rows, codes, presets] of cases) {
    const header = logic.readBitmap(c64Bitmap(rows));
    assert.deepEqual(logic.registerPresets(header, logic.usedCounts(header), codes, false), presets, String(codes));
  }
  const other = bitmap({});
  for (let index = 0; index < 16; ++index) other.set([0x12, 0x34 + index, 0x56, 0], 54 + 4 * index);
  const header = logic.readBitmap(other);
  assert.equal(logic.registerPresets(header, logic.usedCounts(header), [0, 1, 2, 3], false), null);
});

test('the chosen registers: arguments alone, or a copy where a colour is above 3', () => {
  const picture = c64Bitmap([[6, 6, 7, 7, 10, 10, 0, 0], [0, 0, 0, 0, 0, 0, 0, 0]]);
  const before = logic.readBitmap(picture);
  const colourAt = (header, x, y) => header.palette[header.index(x, y)];
  const cases = [
    // [index, code] chosen for each used colour
    [[[0, 0], [6, 3], [7, 1], [10, 2]], [0, 1, 2, 3]],
    [[[0, 1], [6, 0], [7, 0], [10, 2]], [0, 1, 2, 0]],  // two colours in the background
  ];
  for (const [choice, codes] of cases) {
    const made = logic.applyChoice(picture, choice);
    assert.ok(made.copied);
    const after = logic.readBitmap(made.bytes);
    for (let y = 0; y < 2; ++y)
      for (let x = 0; x < 8; ++x) {
        assert.equal(colourAt(after, x, y), colourAt(before, x, y), `pixel ${x}, ${y}`);
        const index = after.index(x, y);
        assert.ok(index <= 3);
        const chosen = choice.find(([old]) => old === before.index(x, y))[1];
        assert.equal(made.codes[index], chosen, `the code of pixel ${x}, ${y}`);
      }
    assert.deepEqual(made.codes, codes, JSON.stringify(choice));
  }
  const arguments_ = logic.applyChoice(c64Bitmap([[0, 0, 1, 1, 2, 2, 3, 3], [0, 0, 0, 0, 0, 0, 0, 0]]),
                                       [[0, 2], [1, 0], [2, 3], [3, 1]]);
  assert.equal(arguments_.copied, false);
  assert.deepEqual(arguments_.codes, [2, 0, 3, 1]);
});

test('a sheet: its shape, quorvel-sheet\'s words, findings, labels and colours', () => {
  const png = Uint8Array.from([0x89, 0x50, 0x4e, 0x47, 13, 10, 26, 10, 0, 0, 0, 13, 73, 72, 68, 82, 0, 0, 0, 96, 0, 0, 0, 21]);
  assert.deepEqual(logic.pictureShape(png), { kind: 'png', width: 96, height: 21, bits: 0 });
  assert.equal(logic.holdsSheet(logic.pictureShape(bitmap({}))), false);
  assert.equal(logic.holdsSheet({ kind: 'bmp', width: 48, height: 21 }), true);
  assert.equal(logic.holdsSheet({ kind: 'bmp', width: 47, height: 41 }), false);
  assert.equal(logic.holdsSheet({ kind: 'png', width: 24, height: 21 }), true);
  const options = { cell: '32x32', origin: '0,0', spacing: '1,1', frames: '0-3', hires: false, byColour: true,
                    background: '6', multicolour1: '10', multicolour2: '8', codes: '0,1,2,3', address: '2000' };
  assert.deepEqual(logic.sheetWords(options), ['--cell', '32x32', '--spacing', '1,1', '--frames', '0-3',
    '--background', '6', '--multicolour1', '10', '--multicolour2', '8', '--address', '2000']);
  assert.deepEqual(logic.sheetWords({ ...options, byColour: false, codes: '3,2,1,0', cell: '24x21', spacing: '',
                                      frames: '', address: 'none' }), ['--codes', '3,2,1,0']);
  const text = 's.png: warning: cell 2, pixel 30, 4: 1 pair of pixels differ\ns.png: warning: 3 more findings not shown\n';
  assert.deepEqual(logic.sheetFindings(text, 's.png'), [{ cell: 2, x: 30, y: 4, message: '1 pair of pixels differ' }]);
  assert.deepEqual(logic.parseLabels('s_0 = 128\ns_0_colour = 1\n.const s_background = 6\n'),
                   { s_0: 128, s_0_colour: 1, s_background: 6 });
  assert.deepEqual(logic.frameColours('a_1_0 = 0\na_1_0_colour = 7\n.const a_1_1_colour = 8\na_1_background = 6\n'), [7, 8]);
  const census = logic.parseCensus('quorvel-sheet: "s.png" is read by its colours: give them (--background C). ' +
    'Its colours: C64 light red (10) 540 pixels, transparent (the background) 504 pixels, C64 white (1) 126 pixels, ' +
    'C64 orange (8) 100 pixels, C64 blue (6) 1 pixel');
  assert.deepEqual(census, [[10, 540], [-2, 504], [1, 126], [8, 100], [6, 1]]);
  assert.deepEqual(logic.censusPresets(census), { multicolour1: 10, multicolour2: 1 });
  assert.deepEqual(logic.censusPresets([[6, 900], [10, 50], [8, 40], [1, 30]]),
                   { background: 6, multicolour1: 10, multicolour2: 8 });
});
