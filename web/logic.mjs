// The page's pure parts, apart from the DOM: the start-address rule, output
// names, the command line as a shell reads it, the hex dump, the sprite's
// pixels, which colour lands in which register, and the presets from what the
// programs say of a picture. The page and node --test import it as a module;
// the worker gets it as a script (make_page.js).
// The program reads each argument as its first 255 bytes.
export const maxTextBytes = 255;
const utf8 = (text) => new TextEncoder().encode(text);

// A start address that asks for no load address: "none" in any letter case,
// as the program reads it (ASCII letters only).
export function noAddress(text) {
  return text.length === 4 && text.replace(/[A-Z]/g, (c) => c.toLowerCase()) === 'none';
}

// The first bytes of `text` that fit in `bytes`, whole characters only.
function cutToBytes(text, bytes) {
  let cut = '';
  for (const character of text) {
    if (utf8(cut + character).length > bytes) break;
    cut += character;
  }
  return cut;
}

// The output's name for a bitmap: its name with .prg (.spr without a load
// address), never the bitmap's own name, and short enough for any system.
export function outputName(inname, startaddress) {
  const extension = noAddress(startaddress) ? '.spr' : '.prg';
  let base = inname.replace(/\.[^.]*$/, '') || 'sprite';
  if (base + extension === inname) base += '-sprite';
  return cutToBytes(base, maxTextBytes - extension.length) + extension;
}

// A word as a POSIX shell needs it written to read it back as it is.
export function shellWord(word) {
  return /^[A-Za-z0-9_.,:/+=%@-]+$/.test(word) ? word : "'" + word.replace(/'/g, "'\\''") + "'";
}

export function commandLine(program, words) {
  return [program, ...words.map(shellWord)].join(' ');
}

// A count with its thousands marked, "1,234,567" (without the cost of
// starting the browser's locale support).
export function grouped(count) {
  return String(count).replace(/\B(?=(\d{3})+(?!\d))/g, ',');
}

function hexRow(bytes, at, rowBytes) {
  const row = Array.from(bytes.subarray(at, at + rowBytes), (b) => b.toString(16).padStart(2, '0'));
  return at.toString(16).padStart(8, '0') + ': ' + row.join(' ');
}

// The bytes as hex rows (16 bytes a row, or fewer on a narrow screen); of a
// long output only its head and its tail, so that the text stays small
// whatever was written.
export function hexDump(bytes, rowBytes = 16, headRows = 256, tailRows = 16) {
  const rows = Math.ceil(bytes.length / rowBytes);
  const lines = [];
  for (let row = 0; row < rows; ++row) {
    if (row === headRows && rows > headRows + tailRows) {
      const skipped = (rows - tailRows - headRows) * rowBytes;
      lines.push(`… ${grouped(skipped)} bytes not shown …`);
      row = rows - tailRows;
    }
    lines.push(hexRow(bytes, row * rowBytes, rowBytes));
  }
  return lines.join('\n');
}

// The sprite's 24 by 21 pixels as codes, rows top first: hires 0
// (background) or 1 (sprite colour); multicolour 0 to 3 (background,
// multicolour 1, sprite colour, multicolour 2), each pixel two wide.
export function spriteCodes(sprite, hires) {
  const rows = [];
  for (let y = 0; y < 21; ++y) {
    const row = [];
    for (let x = 0; x < 24; ++x) {
      const byte = sprite[y * 3 + (x >> 3)] || 0;
      const bit = 7 - (x & 7);
      row.push(hires ? (byte >> bit) & 1 : (byte >> (bit & ~1)) & 3);
    }
    rows.push(row);
  }
  return rows;
}

// What each sprite code shows on a C64: the colour register it selects.
const multicolourRegisters = [
  { id: 'background', name: 'background', address: '$D021' },
  { id: 'multicolour1', name: 'multicolour 1', address: '$D025' },
  { id: 'spritecolour', name: 'sprite colour', address: '$D027+n' },
  { id: 'multicolour2', name: 'multicolour 2', address: '$D026' },
];
const hiresRegisters = [multicolourRegisters[0], multicolourRegisters[2]];

export function registers(hires) {
  return hires ? hiresRegisters : multicolourRegisters;
}

// One row for each palette index the sprite can use: its colour in the
// bitmap, the colour argument that maps it, the code that gives, and the
// C64 register that code selects (none for a code above 3). `colours`: what
// quorvel-colours says of each colour argument, { code, kind }.
export function mappingRows(hires, palette, settings, colours) {
  return Array.from({ length: hires ? 2 : 4 }, (_, index) => {
    const { code, kind } = colours[index];
    const shown = hires ? (code === 0 ? 0 : 1) : code;
    return {
      index, bitmapColour: palette[index] || null, argument: `Colour ${index + 1}`,
      text: settings[index + 2], code, kind, register: registers(hires)[shown] || null,
    };
  });
}

// The code a palette index gets from the colour arguments' codes, as the
// program takes it: of an 8-bit index its low four bits, 0 above 3.
export function codeOf(index, codes, hires) {
  if (hires) return ((index & 1) === 1) !== (codes[0] !== 0) ? 1 : 0;  // colour 1 complements
  return (index & 15) <= 3 ? codes[index & 15] : 0;
}

// For a picture drawn in C64 colours: the C64 colour each register shows
// it in, by the colour arguments' codes (the most pixels decide where two
// colours meet in one register); null for a picture of other colours.
// `c64`: the C64 colour number of each palette entry, as quorvel-picture
// matches them (-1 for none); `counts`: the pixels of each used index.
export function registerPresets(c64, counts, codes, hires) {
  const used = [...counts.keys()].filter((index) => index < c64.length);
  if (used.length === 0 || used.length !== counts.size) return null;
  const numbers = used.map((index) => c64[index]);
  if (numbers.some((number) => number < 0)) return null;
  const presets = {};
  const pixels = {};
  used.forEach((index, i) => {
    const code = codeOf(index, codes, hires);
    const register = registers(hires)[code];
    if (!register || (pixels[register.id] || 0) >= counts.get(index)) return;
    pixels[register.id] = counts.get(index);
    presets[register.id] = numbers[i];
  });
  return presets;
}

// The register each used colour is first offered for: an index 0 to 3 its
// code; one above 3 the code of the next index 0 to 3 the picture leaves
// free. Entries: [index, code].
export function defaultChoice(used, codes) {
  const free = [0, 1, 2, 3].filter((index) => !used.includes(index));
  return used.map((index) => [index, index <= 3 ? codes[index] : codes[free.shift()] ?? 0]);
}

// The picture with each used colour given the register chosen for it:
// where all of them are at indices 0 to 3 only the colour arguments change;
// otherwise a copy holds them at indices 0 to 3 (each colour at the index of
// its code where it can), every pixel keeping its colour: the palette moves
// that make it ([from, to], in order, as quorvel-picture --move takes them),
// and the four colour arguments' codes.
export function choiceMoves(choice) {
  const codes = [0, 0, 0, 0];
  if (choice.every(([index]) => index <= 3)) {
    for (const [index, code] of choice) codes[index] = code;
    return { moves: [], copied: false, codes };
  }
  const place = new Map();
  const taken = new Set();
  for (const [index, code] of choice)
    if (!taken.has(code)) place.set(index, code), taken.add(code);
  for (const [index] of choice) {
    if (place.has(index)) continue;
    const free = [0, 1, 2, 3].find((at) => !taken.has(at));
    place.set(index, free);
    taken.add(free);
  }
  for (const [index, code] of choice) codes[place.get(index)] = code;
  return { moves: [...place.entries()], copied: true, codes };
}

// A sheet is a PNG, or a picture that holds more than one 24 by 21 cell
// (`facts`: what quorvel-picture says of it).
export function holdsSheet(facts) {
  return facts.format === 'PNG' || Math.floor(facts.width / 24) * Math.floor(facts.height / 21) > 1;
}

// quorvel-sheet's words for the sheet's inputs, before its picture and output.
export function sheetWords(options) {
  const words = [];
  const given = (option, value, fallback) => {
    if (value !== '' && value !== fallback) words.push(option, value);
  };
  given('--cell', options.cell, '24x21');
  given('--origin', options.origin, '0,0');
  given('--spacing', options.spacing, '0,0');
  given('--frames', options.frames, '');
  if (options.hires) words.push('--hires');
  if (options.byColour) {
    words.push('--background', options.background);
    if (!options.hires) words.push('--multicolour1', options.multicolour1, '--multicolour2', options.multicolour2);
  } else {
    given('--codes', options.codes, '0,1,2,3');
  }
  given('--address', options.address, 'none');
  // ACME, 64tass and ca65 take the same label lines; C's only a project writes
  if (options.syntax === 'kickass') words.push('--labels-syntax', 'kickass');
  given('--name', options.name || '', '');
  if (options.byColour) given('--palette', options.palette || '', '');
  return words;
}

// The project file of one sheet and one animation that writes what the
// sheet's inputs say, with tables where asked: `names` its files' and the
// animation's names.
export function sheetProject(options, picture, names) {
  const text = (value) => JSON.stringify(value);  // a TOML basic string: JSON's escapes are TOML's
  const lines = [`output = ${text(names.blocks)}`, `labels = ${text(names.labels)}`];
  if (names.tables) lines.push(`tables = ${text(names.tables)}`);
  lines.push(`syntax = ${text(options.syntax || 'acme')}`, `name = ${text(names.name)}`);
  if (!noAddress(options.address)) lines.push(`address = ${text(options.address)}`);
  if (options.byColour && options.palette) lines.push(`palette = ${text(options.palette)}`);
  if (options.byColour) {
    lines.push('', '[registers]', `background = ${text(options.background)}`);
    if (!options.hires)
      lines.push(`multicolour1 = ${text(options.multicolour1)}`, `multicolour2 = ${text(options.multicolour2)}`);
  }
  lines.push('', '[[sheet]]', `picture = ${text(picture)}`, `cell = ${text(options.cell)}`,
             `origin = ${text(options.origin)}`, `spacing = ${text(options.spacing)}`,
             `mode = ${text(options.hires ? 'hires' : 'multicolour')}`);
  if (!options.byColour) lines.push(`codes = ${text(options.codes)}`);
  lines.push('', '[[sheet.animation]]', `name = ${text(names.name)}`, `cells = ${text(names.cells)}`);
  return lines.join('\n') + '\n';
}

// A label name from a file's: letters, digits and _, a letter first.
export function labelName(file) {
  const name = file.replace(/\.[^.]*$/, '').replace(/[^A-Za-z0-9_]/g, '_');
  return /^[A-Za-z]/.test(name) ? name : `sprites_${name}`;
}

// The grid quorvel-sheet reads from its options, over a picture of
// `width` by `height`: the whole cells from the origin, numbered row by row.
// A text it cannot read counts as the option's default.
export function sheetGrid(cellText, originText, spacingText, width, height) {
  const pair = (text, between, fallback) => {
    const parts = text.split(between);
    const [one, other] = parts.map((part) => (/^[0-9]{1,5}$/.test(part) ? Number(part) : NaN));
    return parts.length === 2 && Number.isInteger(one) && Number.isInteger(other) ? [one, other] : fallback;
  };
  const [cellWidth, cellHeight] = pair(cellText, 'x', [24, 21]);
  const [originX, originY] = pair(originText, ',', [0, 0]);
  const [gapX, gapY] = pair(spacingText, ',', [0, 0]);
  const whole = (length, origin, cell, gap) =>
    length - origin < cell ? 0 : Math.floor((length - origin - cell) / (cell + gap)) + 1;
  const columns = whole(width, originX, cellWidth, gapX);
  const rows = columns === 0 ? 0 : whole(height, originY, cellHeight, gapY);
  return {
    columns, rows, count: columns * rows, cellWidth, cellHeight,
    left: (cell) => originX + (cell % columns) * (cellWidth + gapX),
    top: (cell) => originY + Math.floor(cell / columns) * (cellHeight + gapY),
  };
}

// The registers by C64 colour for a sheet: the background its most common
// colour (unless the background is transparent), the multicolour registers
// the next two; the rest are each sprite's own. `census`: quorvel-picture's,
// [number, pixels] the most first, transparent -2, no C64 colour -1.
export function censusPresets(census) {
  const colours = census.filter(([number]) => number >= 0).map(([number]) => number);
  const transparent = census.some(([number]) => number === -2);
  const presets = {};
  if (!transparent && colours.length) presets.background = colours.shift();
  if (colours.length > 1) presets.multicolour1 = colours.shift();
  if (colours.length > 1) presets.multicolour2 = colours.shift();
  return presets;
}

// A sheet's pixels by C64 colour, [number, pixels] the most first, as
// quorvel-picture's census gives them: for an indexed picture made of its
// palette entries' C64 colours (`c64`, -1 for none) and its entries' pixels
// (`counts`, [entry, pixels]).
export function sheetCensus(facts) {
  if (facts.census) return facts.census;
  const pixels = new Map();
  for (const [entry, count] of facts.counts || []) {
    const number = entry < (facts.c64 || []).length ? facts.c64[entry] : -1;
    pixels.set(number, (pixels.get(number) || 0) + count);
  }
  return [...pixels].sort((a, b) => b[1] - a[1] || a[0] - b[0]);
}

// How the page proposes to read a sheet: by C64 colour where its pixels are
// C64 colours (a true-colour picture, or an indexed one whose used entries
// are each another C64 colour, whatever the file's order), else by palette
// index, as a 1-bit picture is (the converter's own hires way); hires for a
// 1-bit picture, or one of two colours (one of them transparent or the
// background) read by C64 colour.
export function sheetProposal(facts) {
  const census = sheetCensus(facts);
  const used = (facts.counts || []).map(([entry]) => entry);
  const numbers = used.map((entry) => (entry < (facts.c64 || []).length ? facts.c64[entry] : -1));
  const distinct = new Set(numbers);
  const byColour = !facts.bits ||
    (facts.bits !== 1 && numbers.length > 0 && !distinct.has(-1) && distinct.size === numbers.length);
  const colours = census.filter(([number]) => number !== -1).length;
  const hires = facts.bits === 1 || (byColour && colours === 2);
  return { byColour, hires, census };
}

// Black or white, whichever reads better on a colour "#rrggbb".
export function inkOn(colour) {
  const rgb = parseInt(colour.slice(1), 16) || 0;
  return 0.299 * (rgb >> 16) + 0.587 * (rgb >> 8 & 255) + 0.114 * (rgb & 255) > 140 ? '#000' : '#fff';
}
