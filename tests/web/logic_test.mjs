// The page's pure parts (web/logic.mjs) and the WebAssembly host's fault
// numbers, without a browser: node --test logic_test.mjs
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import vm from 'node:vm';
import * as logic from '../../web/logic.mjs';

const root = path.resolve(path.dirname(new URL(import.meta.url).pathname), '../..');

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

test('the sprite\'s pixels: the worked example 108, and hires bits', () => {
  const multicolour = logic.spriteCodes(Uint8Array.from([108]), false)[0].slice(0, 8);
  assert.deepEqual(multicolour, [1, 1, 2, 2, 3, 3, 0, 0]);
  const hires = logic.spriteCodes(Uint8Array.from([0b10100000]), true)[0].slice(0, 4);
  assert.deepEqual(hires, [1, 0, 1, 0]);
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

test('the first choice offers four colours the registers of indices 0 to 3, in order', () => {
  assert.deepEqual(logic.defaultChoice([0, 6, 7, 10], [0, 1, 2, 3]), [[0, 0], [6, 1], [7, 2], [10, 3]]);
  assert.deepEqual(logic.defaultChoice([1, 6], [3, 2, 1, 0]), [[1, 2], [6, 3]]);
});

test('the registers start at the C64 colours the picture shows there', () => {
  const pepto = Array.from({ length: 16 }, (_, i) => i);  // each entry its C64 colour
  const cases = [
    // indices above 3 show the background: black, the most pixels, wins it
    [[[0, 10], [1, 2], [8, 2], [10, 2]], [0, 1, 2, 3], { background: 0, multicolour1: 1 }],
    [[[1, 2], [2, 2], [3, 2], [6, 10]], [0, 1, 2, 3], { background: 6, multicolour1: 1, spritecolour: 2, multicolour2: 3 }],
    [[[1, 2], [2, 2], [3, 2], [6, 10]], [0, 3, 2, 1], { background: 6, multicolour2: 1, spritecolour: 2, multicolour1: 3 }],
  ];
  for (const [counts, codes, presets] of cases)
    assert.deepEqual(logic.registerPresets(pepto, new Map(counts), codes, false), presets, String(codes));
  const other = Array(16).fill(-1);  // no entry a C64 colour
  assert.equal(logic.registerPresets(other, new Map([[0, 8], [1, 8]]), [0, 1, 2, 3], false), null);
  assert.equal(logic.registerPresets(pepto, new Map([[0, 8], [20, 8]]), [0, 1, 2, 3], false), null, 'past the palette');
});

test('the chosen registers: arguments alone, or the moves of a copy where a colour is above 3', () => {
  const cases = [
    // [index, code] chosen for each used colour; the moves; the colour arguments' codes
    [[[0, 0], [6, 3], [7, 1], [10, 2]], [[0, 0], [6, 3], [7, 1], [10, 2]], [0, 1, 2, 3]],
    [[[0, 1], [6, 0], [7, 0], [10, 2]], [[0, 1], [6, 0], [10, 2], [7, 3]], [0, 1, 2, 0]],  // two colours in the background
  ];
  for (const [choice, moves, codes] of cases) {
    const made = logic.choiceMoves(choice);
    assert.ok(made.copied);
    assert.deepEqual(made.moves, moves, JSON.stringify(choice));
    assert.deepEqual(made.codes, codes, JSON.stringify(choice));
  }
  const arguments_ = logic.choiceMoves([[0, 2], [1, 0], [2, 3], [3, 1]]);
  assert.equal(arguments_.copied, false);
  assert.deepEqual(arguments_.moves, []);
  assert.deepEqual(arguments_.codes, [2, 0, 3, 1]);
});

test('a sheet: what holds one, quorvel-sheet\'s words, and the registers from the census', () => {
  assert.equal(logic.holdsSheet({ format: 'BMP', width: 24, height: 21 }), false);
  assert.equal(logic.holdsSheet({ format: 'BMP', width: 48, height: 21 }), true);
  assert.equal(logic.holdsSheet({ format: 'BMP', width: 47, height: 41 }), false);
  assert.equal(logic.holdsSheet({ format: 'PNG', width: 24, height: 21 }), true);
  const options = { cell: '32x32', origin: '0,0', spacing: '1,1', frames: '0-3', hires: false, byColour: true,
                    background: '6', multicolour1: '10', multicolour2: '8', codes: '0,1,2,3', address: '2000' };
  assert.deepEqual(logic.sheetWords(options), ['--cell', '32x32', '--spacing', '1,1', '--frames', '0-3',
    '--background', '6', '--multicolour1', '10', '--multicolour2', '8', '--address', '2000']);
  assert.deepEqual(logic.sheetWords({ ...options, byColour: false, codes: '3,2,1,0', cell: '24x21', spacing: '',
                                      frames: '', address: 'none' }), ['--codes', '3,2,1,0']);
  assert.deepEqual(logic.sheetWords({ ...options, syntax: 'kickass', name: 'enemy', palette: 'colodore' }).slice(-6),
                   ['--labels-syntax', 'kickass', '--name', 'enemy', '--palette', 'colodore']);
  assert.deepEqual(logic.sheetWords({ ...options, byColour: false, palette: 'colodore', syntax: '64tass' }).slice(-2),
                   ['--address', '2000'], 'a palette only by C64 colour; ACME, 64tass and ca65 take the default labels');
  const census = [[10, 540], [-2, 504], [1, 126], [8, 100], [6, 1]];
  assert.deepEqual(logic.censusPresets(census), { multicolour1: 10, multicolour2: 1 });
  assert.deepEqual(logic.censusPresets([[6, 900], [10, 50], [8, 40], [1, 30]]),
                   { background: 6, multicolour1: 10, multicolour2: 8 });
});

test('a sheet saved as a project says what its inputs say, in TOML', () => {
  const options = { cell: '32x32', origin: '1,1', spacing: '2,2', hires: false, byColour: true, codes: '0,1,2,3',
                    background: 'blue', multicolour1: 'light-red', multicolour2: 'orange', address: '2000',
                    syntax: 'ca65', palette: 'pepto' };
  const names = { blocks: 'ship.prg', labels: 'ship.inc', tables: 'ship-tables.asm', name: 'ship', cells: '0-3' };
  assert.equal(logic.sheetProject(options, 'my "ship".png', names), [
    'output = "ship.prg"', 'labels = "ship.inc"', 'tables = "ship-tables.asm"', 'syntax = "ca65"', 'name = "ship"',
    'address = "2000"', 'palette = "pepto"', '', '[registers]', 'background = "blue"', 'multicolour1 = "light-red"',
    'multicolour2 = "orange"', '', '[[sheet]]', 'picture = "my \\"ship\\".png"', 'cell = "32x32"', 'origin = "1,1"',
    'spacing = "2,2"', 'mode = "multicolour"', '', '[[sheet.animation]]', 'name = "ship"', 'cells = "0-3"', ''].join('\n'));
  const byIndex = logic.sheetProject({ ...options, byColour: false, hires: true, address: 'none' }, 'a.bmp',
                                     { ...names, tables: '' });
  assert.doesNotMatch(byIndex, /registers|address|palette|tables/);
  assert.match(byIndex, /mode = "hires"\ncodes = "0,1,2,3"\n/);
  assert.deepEqual(['ship.png', '2ships.bmp', 'my ship.png'].map(logic.labelName), ['ship', 'sprites_2ships', 'my_ship']);
});

test('the grid is the whole cells from the origin, as quorvel-sheet counts them', () => {
  const cases = [
    // cell, origin, spacing, width, height: columns, rows, the left and top of the last cell
    [['24x21', '0,0', '0,0', 96, 42], [4, 2, 72, 21]],
    [['24x21', '0,0', '0,0', 95, 42], [3, 2, 48, 21]],
    [['32x32', '1,1', '2,2', 1 + 4 * 34, 1 + 2 * 34], [4, 2, 103, 35]],
    [['24x21', '30,0', '0,0', 48, 21], [0, 0]],
    [['2 4x21', 'a,b', '', 48, 21], [2, 1, 24, 0]],  // unreadable texts: the defaults
  ];
  for (const [[cell, origin, spacing, width, height], [columns, rows, left, top]] of cases) {
    const grid = logic.sheetGrid(cell, origin, spacing, width, height);
    assert.deepEqual([grid.columns, grid.rows], [columns, rows], `${cell} ${origin} ${spacing} ${width}`);
    if (grid.count) assert.deepEqual([grid.left(grid.count - 1), grid.top(grid.count - 1)], [left, top]);
  }
});

test('a sheet is read by C64 colour where its pixels are C64 colours, and hires where it has two', () => {
  const cases = [
    // facts, by C64 colour, hires, census
    [{ bits: 0, census: [[6, 900], [1, 100]] }, true, true, [[6, 900], [1, 100]]],
    [{ bits: 0, census: [[-2, 900], [1, 80], [7, 20]] }, true, false, [[-2, 900], [1, 80], [7, 20]]],
    // an indexed picture in the C64's colours, its entries in another order
    [{ bits: 4, c64: [1, 6, 10, 8], counts: [[1, 500], [0, 40], [2, 30], [3, 10]] }, true, false,
     [[6, 500], [1, 40], [10, 30], [8, 10]]],
    [{ bits: 4, c64: [1, 6], counts: [[1, 500], [0, 40]] }, true, true, [[6, 500], [1, 40]]],
    // two entries of one C64 colour, or one of none: by palette index
    [{ bits: 4, c64: [0, 0, 0, 0], counts: [[0, 500], [1, 40]] }, false, false, [[0, 540]]],
    [{ bits: 8, c64: [6, -1], counts: [[0, 500], [1, 40]] }, false, false, [[6, 500], [-1, 40]]],
    [{ bits: 1, c64: [0, 1], counts: [[0, 500], [1, 40]] }, false, true, [[0, 500], [1, 40]]],
  ];
  for (const [facts, byColour, hires, census] of cases) {
    const proposal = logic.sheetProposal(facts);
    assert.deepEqual([proposal.byColour, proposal.hires, proposal.census], [byColour, hires, census], JSON.stringify(facts));
  }
});

test('index digits are black on light colours, white on dark ones', () => {
  const cases = [['#ffffff', '#000'], ['#000000', '#fff'], ['#b8c76f', '#000'], ['#352879', '#fff']];
  for (const [colour, ink] of cases) assert.equal(logic.inkOn(colour), ink, colour);
});
