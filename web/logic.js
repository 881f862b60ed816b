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

  function hexRow(bytes, at) {
    const row = Array.from(bytes.subarray(at, at + 16), (b) => b.toString(16).padStart(2, '0'));
    return at.toString(16).padStart(8, '0') + ': ' + row.join(' ');
  }

  // The bytes as hex rows of 16; of a long output only its head and its tail,
  // so that the text stays small whatever was written.
  function hexDump(bytes, headRows = 256, tailRows = 16) {
    const rows = Math.ceil(bytes.length / 16);
    const lines = [];
    for (let row = 0; row < rows; ++row) {
      if (row === headRows && rows > headRows + tailRows) {
        const skipped = (rows - tailRows - headRows) * 16;
        lines.push(`… ${skipped.toLocaleString('en')} bytes not shown …`);
        row = rows - tailRows;
      }
      lines.push(hexRow(bytes, row * 16));
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

  Object.assign(exports, {
    c64Colours, maxTextBytes, noAddress, outputName, shellWord, commandLine, hexDump, readBitmap,
    spriteCodes,
  });
})(typeof module === 'object' ? module.exports : (self.QuorvelLogic = {}));
