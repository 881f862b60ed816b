// The page's pure parts, apart from the DOM: the C64 palette, the start-address
// rule, output names, the command line as a shell reads it, the hex dump, the
// bitmap as the view reads it, and the sprite's pixels. The page loads it as a
// script (QuorvelLogic); node --test loads it as a module.
'use strict';

(function (exports) {
  // The C64's sixteen colours (the "Pepto" palette), by colour number.
  const c64Colours = [
    ['black', '#000000'], ['white', '#ffffff'], ['red', '#68372b'], ['cyan', '#70a4b2'],
    ['purple', '#6f3d86'], ['green', '#588d43'], ['blue', '#352879'], ['yellow', '#b8c76f'],
    ['orange', '#6f4f25'], ['brown', '#433900'], ['light red', '#9a6759'], ['dark grey', '#444444'],
    ['grey', '#6c6c6c'], ['light green', '#9ad284'], ['light blue', '#6c5eb5'], ['light grey', '#959595'],
  ];

  // The C64's colours in the published palettes the programs know
  // (src/c64/palettes.hpp), and how near a picture's colour must be.
  const c64Palettes = {
    Pepto: c64Colours.map(([, hex]) => hex),
    Colodore: ['#000000', '#ffffff', '#813338', '#75cec8', '#8e3c97', '#56ac4d', '#2e2c9b', '#edf171',
               '#8e5029', '#553800', '#c46c71', '#4a4a4a', '#7b7b7b', '#a9ff9f', '#706deb', '#b2b2b2'],
  };
  const c64Tolerance = 10;

  function withinTolerance(rgb, hex) {
    const published = parseInt(hex.slice(1), 16);
    return [16, 8, 0].every((shift) => Math.abs((rgb >> shift & 255) - (published >> shift & 255)) <= c64Tolerance);
  }

  // The C64 colour number of each colour (0xRRGGBB), in the one published
  // palette that holds them all, else each by itself; -1 where none.
  function c64Numbers(colours) {
    const inPalette = (hexes) => colours.map((rgb) => hexes.findIndex((hex) => withinTolerance(rgb, hex)));
    for (const hexes of Object.values(c64Palettes)) {
      const numbers = inPalette(hexes);
      if (numbers.every((number) => number >= 0)) return numbers;
    }
    return colours.map((rgb) => {
      for (const hexes of Object.values(c64Palettes)) {
        const number = hexes.findIndex((hex) => withinTolerance(rgb, hex));
        if (number >= 0) return number;
      }
      return -1;
    });
  }

  // The program reads each argument as its first 255 bytes.
  const maxTextBytes = 255;
  const utf8 = (text) => new TextEncoder().encode(text);

  // A start address that asks for no load address: "none" in any letter case,
  // as the program reads it (ASCII letters only).
  function noAddress(text) {
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
  function outputName(inname, startaddress) {
    const extension = noAddress(startaddress) ? '.spr' : '.prg';
    let base = inname.replace(/\.[^.]*$/, '') || 'sprite';
    if (base + extension === inname) base += '-sprite';
    return cutToBytes(base, maxTextBytes - extension.length) + extension;
  }

  // A word as a POSIX shell needs it written to read it back as it is.
  function shellWord(word) {
    return /^[A-Za-z0-9_.,:/+=%@-]+$/.test(word) ? word : "'" + word.replace(/'/g, "'\\''") + "'";
  }

  function commandLine(program, words) {
    return [program, ...words.map(shellWord)].join(' ');
  }

  // A count with its thousands marked, "1,234,567" (without the cost of
  // starting the browser's locale support).
  function grouped(count) {
    return String(count).replace(/\B(?=(\d{3})+(?!\d))/g, ',');
  }

  function hexRow(bytes, at, rowBytes) {
    const row = Array.from(bytes.subarray(at, at + rowBytes), (b) => b.toString(16).padStart(2, '0'));
    return at.toString(16).padStart(8, '0') + ': ' + row.join(' ');
  }

  // The bytes as hex rows (16 bytes a row, or fewer on a narrow screen); of a
  // long output only its head and its tail, so that the text stays small
  // whatever was written.
  function hexDump(bytes, rowBytes = 16, headRows = 256, tailRows = 16) {
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

  // The header fields and palette of a BMP, and each pixel's palette index,
  // read the standard way (rows bottom-up unless the height is negative, each
  // padded to four bytes); null for a file that is not a BMP.
  function readBitmap(bytes) {
    if (bytes.length < 54 || bytes[0] !== 0x42 || bytes[1] !== 0x4d) return null;
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    const header = {
      offset: view.getInt32(10, true), size: view.getUint32(14, true),
      width: view.getInt32(18, true), height: view.getInt32(22, true),
      bits: view.getUint16(28, true), compression: view.getUint32(30, true),
    };
    header.indexed = [1, 4, 8].includes(header.bits) && header.compression === 0;
    if (!header.indexed || header.width <= 0 || header.width > 512 || header.height === 0 ||
        Math.abs(header.height) > 512) return header;
    // At most one entry for each index the depth has.
    header.palette = [];
    header.paletteRgb = [];
    const end = Math.min(header.offset, bytes.length, 14 + header.size + 4 * (1 << header.bits));
    for (let at = 14 + header.size; at + 4 <= end; at += 4) {
      header.palette.push(`rgb(${bytes[at + 2]},${bytes[at + 1]},${bytes[at]})`);
      header.paletteRgb.push(bytes[at + 2] << 16 | bytes[at + 1] << 8 | bytes[at]);
    }
    const stride = Math.ceil(header.width * header.bits / 32) * 4;
    header.index = (x, y) => {
      const row = header.height > 0 ? header.height - 1 - y : y;
      const at = header.offset + row * stride + Math.floor(x * header.bits / 8);
      const shift = 8 - header.bits - (x * header.bits) % 8;
      return at >= 0 && at < bytes.length ? (bytes[at] >> shift) & ((1 << header.bits) - 1) : null;
    };
    return header;
  }

  // The sprite's 24 by 21 pixels as codes, rows top first: hires 0
  // (background) or 1 (sprite colour); multicolour 0 to 3 (background,
  // multicolour 1, sprite colour, multicolour 2), each pixel two wide.
  function spriteCodes(sprite, hires) {
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

  function registers(hires) {
    return hires ? hiresRegisters : multicolourRegisters;
  }

  // The lines of quorvel-colours: "CODE KIND" for each colour argument.
  function parseColours(text) {
    return text.split('\n').filter(Boolean).map((line) => {
      const [code, kind] = line.split(' ');
      return { code: Number(code), kind };
    });
  }

  // One row for each palette index the sprite can use: its colour in the
  // bitmap, the colour argument that maps it, the code that gives, and the
  // C64 register that code selects (none for a code above 3).
  function mappingRows(hires, palette, settings, colours) {
    return Array.from({ length: hires ? 2 : 4 }, (_, index) => {
      const { code, kind } = colours[index];
      const shown = hires ? (code === 0 ? 0 : 1) : code;
      return {
        index, bitmapColour: palette[index] || null, argument: `Colour ${index + 1}`,
        text: settings[index + 2], code, kind, register: registers(hires)[shown] || null,
      };
    });
  }

  // The sprite the program made, as its console says: 'hires', 'multicolour',
  // or null when it converted nothing. The page never decides this itself.
  function conversionMode(consoleText) {
    if (consoleText.includes(': Converting it to a hires sprite\r\n')) return 'hires';
    if (consoleText.includes(': Converting it to a multicolor sprite\r\n')) return 'multicolour';
    return null;
  }

  // The checker's lines for `name`, as { kind, message }.
  function findings(text, name) {
    return text.split('\n').filter(Boolean).map((line) => {
      const rest = line.startsWith(name + ': ') ? line.slice(name.length + 2) : line;
      const [, kind, message] = rest.match(/^(warning|error): (.*)$/) || [null, 'warning', rest];
      return { kind, message };
    });
  }

  // The pixels of each palette index a picture uses.
  function usedCounts(header) {
    const counts = new Map();
    for (let y = 0; y < Math.abs(header.height); ++y)
      for (let x = 0; x < header.width; ++x) {
        const index = header.index(x, y);
        if (index !== null) counts.set(index, (counts.get(index) || 0) + 1);
      }
    return counts;
  }

  // The palette indices a 4-bit or 8-bit picture uses, in ascending order.
  function usedIndices(header) {
    return [...usedCounts(header).keys()].sort((a, b) => a - b);
  }

  // The code a palette index gets from the colour arguments' codes, as the
  // program takes it: of an 8-bit index its low four bits, 0 above 3.
  function codeOf(index, codes, hires) {
    if (hires) return ((index & 1) === 1) !== (codes[0] !== 0) ? 1 : 0;  // colour 1 complements
    return (index & 15) <= 3 ? codes[index & 15] : 0;
  }

  // For a picture drawn in C64 colours: the C64 colour each register shows
  // it in, by the colour arguments' codes (the most pixels decide where two
  // colours meet in one register); null for a picture of other colours.
  function registerPresets(header, counts, codes, hires) {
    const used = [...counts.keys()].filter((index) => index < header.paletteRgb.length);
    if (used.length === 0 || used.length !== counts.size) return null;
    const numbers = c64Numbers(used.map((index) => header.paletteRgb[index]));
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
  function defaultChoice(used, codes) {
    const free = [0, 1, 2, 3].filter((index) => !used.includes(index));
    return used.map((index) => [index, index <= 3 ? codes[index] : codes[free.shift()] ?? 0]);
  }

  // The picture with each used colour given the register chosen for it:
  // where all of them are at indices 0 to 3 only the colour arguments change;
  // otherwise a copy holds them at indices 0 to 3 (each colour at the index of
  // its code where it can), every pixel keeping its colour. Returns the bytes,
  // whether they are a copy, and the four colour arguments' codes.
  function applyChoice(bytes, choice) {
    const header = readBitmap(bytes);
    const codes = [0, 0, 0, 0];
    if (choice.every(([index]) => index <= 3)) {
      for (const [index, code] of choice) codes[index] = code;
      return { bytes, copied: false, codes };
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
    const copy = moved(bytes, header, [...place.entries()]);
    return { bytes: copy, copied: true, codes };
  }

  // A copy of the bitmap with palette entries and pixels moved: each
  // [from, to] swaps the two entries' colours and their pixels.
  function moved(bytes, header, moves) {
    const order = Array.from({ length: 1 << header.bits }, (_, i) => i);  // old index at each place
    for (const [from, to] of moves) {
      const at = order.indexOf(from), other = order[to];
      order[to] = from;
      order[at] = other;
    }
    const newIndex = [];
    order.forEach((old, place) => { newIndex[old] = place; });
    const copy = Uint8Array.from(bytes);
    const paletteAt = 14 + header.size;
    order.forEach((old, place) => {
      const from = paletteAt + 4 * old, to = paletteAt + 4 * place;
      if (to + 4 <= header.offset && from + 4 <= header.offset) copy.set(bytes.subarray(from, from + 4), to);
    });
    const stride = Math.ceil(header.width * header.bits / 32) * 4;
    const perByte = 8 / header.bits;
    for (let row = 0; row < Math.abs(header.height); ++row)
      for (let x = 0; x < header.width; ++x) {
        const at = header.offset + row * stride + Math.floor(x / perByte);
        if (at >= copy.length) continue;
        const shift = 8 - header.bits - (x % perByte) * header.bits;
        const mask = ((1 << header.bits) - 1) << shift;
        const index = (bytes[at] & mask) >> shift;
        copy[at] = (copy[at] & ~mask) | (newIndex[index] << shift);
      }
    return copy;
  }

  // What the start of a picture says: a BMP or a PNG, its size and depth.
  function pictureShape(bytes) {
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    if (bytes.length >= 24 && bytes[0] === 0x89 && bytes[1] === 0x50 && bytes[2] === 0x4e && bytes[3] === 0x47)
      return { kind: 'png', width: view.getUint32(16), height: view.getUint32(20), bits: 0 };
    if (bytes.length >= 30 && bytes[0] === 0x42 && bytes[1] === 0x4d)
      return { kind: 'bmp', width: view.getInt32(18, true), height: Math.abs(view.getInt32(22, true)),
               bits: view.getUint16(28, true) };
    return { kind: null, width: 0, height: 0, bits: 0 };
  }

  // A sheet is a PNG, or a picture that holds more than one 24 by 21 cell.
  function holdsSheet(shape) {
    return shape.kind === 'png' || Math.floor(shape.width / 24) * Math.floor(shape.height / 21) > 1;
  }

  // quorvel-sheet's words for the sheet's inputs, before its picture and output.
  function sheetWords(options) {
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
    return words;
  }

  // quorvel-sheet's findings: { cell, x, y, message } a line.
  function sheetFindings(text, name) {
    const found = [];
    for (const line of text.split('\n')) {
      const match = line.slice(name.length).match(/^: warning: cell (\d+), pixel (\d+), (\d+): (.*)$/);
      if (line.startsWith(name) && match)
        found.push({ cell: Number(match[1]), x: Number(match[2]), y: Number(match[3]), message: match[4] });
    }
    return found;
  }

  // The labels quorvel-sheet writes: NAME = VALUE a line.
  function parseLabels(text) {
    const labels = {};
    for (const [, name, value] of text.matchAll(/^(?:\.const )?(\w+) = (\d+)$/gm)) labels[name] = Number(value);
    return labels;
  }

  // Each frame's own colour from the labels, by frame number, whatever the prefix.
  function frameColours(text) {
    const colours = [];
    for (const [, frame, value] of text.matchAll(/^(?:\.const )?\w*?_(\d+)_colour = (\d+)$/gm))
      colours[Number(frame)] = Number(value);
    return colours;
  }

  // The C64 colours quorvel-sheet counts in a picture given without colours
  // (its message "Its colours: C64 blue (6) 504 pixels, ..."), the most
  // pixels first: [number, pixels], transparent as number -2.
  function parseCensus(text) {
    const part = text.slice(text.indexOf('Its colours: ') + 13);
    const census = [];
    for (const [, name, number, pixels] of part.matchAll(/(C64 [a-z ]+ \((\d+)\)|transparent \(the background\)) (\d+) pixels?/g))
      census.push([name.startsWith('transparent') ? -2 : Number(number), Number(pixels)]);
    return census;
  }

  // The registers by C64 colour for a sheet: the background its most common
  // colour (unless the background is transparent), the multicolour registers
  // the next two; the rest are each sprite's own.
  function censusPresets(census) {
    const colours = census.filter(([number]) => number >= 0).map(([number]) => number);
    const transparent = census.some(([number]) => number === -2);
    const presets = {};
    if (!transparent && colours.length) presets.background = colours.shift();
    if (colours.length > 1) presets.multicolour1 = colours.shift();
    if (colours.length > 1) presets.multicolour2 = colours.shift();
    return presets;
  }

  // Black or white, whichever reads better on a colour "rgb(r,g,b)".
  function inkOn(colour) {
    const [r, g, b] = (colour.match(/\d+/g) || [0, 0, 0]).map(Number);
    return 0.299 * r + 0.587 * g + 0.114 * b > 140 ? '#000' : '#fff';
  }

  Object.assign(exports, {
    c64Colours, c64Palettes, c64Tolerance, c64Numbers, maxTextBytes, noAddress, outputName, shellWord, grouped,
    commandLine, hexDump, readBitmap, spriteCodes, registers, parseColours, mappingRows, conversionMode,
    findings, usedCounts, usedIndices, codeOf, registerPresets, defaultChoice, applyChoice,
    pictureShape, holdsSheet, sheetWords, sheetFindings, parseLabels, frameColours, parseCensus,
    censusPresets, inkOn,
  });
})(typeof module === 'object' ? module.exports : (self.QuorvelLogic = {}));
