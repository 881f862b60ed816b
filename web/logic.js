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
        lines.push(`… ${skipped.toLocaleString('en')} bytes not shown …`);
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
    const end = Math.min(header.offset, bytes.length, 14 + header.size + 4 * (1 << header.bits));
    for (let at = 14 + header.size; at + 4 <= end; at += 4)
      header.palette.push(`rgb(${bytes[at + 2]},${bytes[at + 1]},${bytes[at]})`);
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

  // The palette indices a 4-bit or 8-bit picture uses, in ascending order.
  function usedIndices(header) {
    const used = new Set();
    for (let y = 0; y < Math.abs(header.height); ++y)
      for (let x = 0; x < header.width; ++x) {
        const index = header.index(x, y);
        if (index !== null) used.add(index);
      }
    return [...used].sort((a, b) => a - b);
  }

  // A copy of a picture that uses at most four palette indices, some above 3,
  // with those moved to the indices of 0 to 3 that are free, their palette
  // entries with them (swapped), so that every pixel keeps its colour; null
  // when there is nothing to move or more than four to move.
  function movedToFirstFour(bytes) {
    const header = readBitmap(bytes);
    if (!header || !header.index || header.bits === 1) return null;
    const used = usedIndices(header);
    if (used.length > 4 || used.every((index) => index <= 3)) return null;
    const free = [0, 1, 2, 3].filter((index) => !used.includes(index));
    const moved = used.filter((index) => index > 3).map((index) => [index, free.shift()]);
    const order = Array.from({ length: 1 << header.bits }, (_, i) => i);  // old index at each place
    for (const [from, to] of moved) [order[to], order[from]] = [order[from], order[to]];
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
    return { bytes: copy, moved };
  }

  // Black or white, whichever reads better on a colour "rgb(r,g,b)".
  function inkOn(colour) {
    const [r, g, b] = (colour.match(/\d+/g) || [0, 0, 0]).map(Number);
    return 0.299 * r + 0.587 * g + 0.114 * b > 140 ? '#000' : '#fff';
  }

  Object.assign(exports, {
    c64Colours, maxTextBytes, noAddress, outputName, shellWord, commandLine, hexDump, readBitmap,
    spriteCodes, registers, parseColours, mappingRows, conversionMode, findings, usedIndices,
    movedToFirstFour, inkOn,
  });
})(typeof module === 'object' ? module.exports : (self.QuorvelLogic = {}));
