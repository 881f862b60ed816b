// The page: picks the bitmap, runs the program in a worker, and shows what it
// read, what it printed and the sprite it wrote.
'use strict';

// The C64's sixteen colours (the "Pepto" palette).
const c64Colours = [
  ['black', '#000000'], ['white', '#ffffff'], ['red', '#68372b'], ['cyan', '#70a4b2'],
  ['purple', '#6f3d86'], ['green', '#588d43'], ['blue', '#352879'], ['yellow', '#b8c76f'],
  ['orange', '#6f4f25'], ['brown', '#433900'], ['light red', '#9a6759'], ['dark grey', '#444444'],
  ['grey', '#6c6c6c'], ['light green', '#9ad284'], ['light blue', '#6c5eb5'], ['light grey', '#959595'],
];

// What each exit status means, as the README's table says.
const statusMeanings = {
  0: 'the sprite was written completely',
  1: 'wrong number of arguments, or the bitmap was refused (see the console)',
  2: 'a file of that name cannot be found',
  3: 'a folder in the path does not exist, or the name is too long',
  5: 'access denied',
  6: 'the input name is empty',
  101: 'a write failed',
  131: 'the header puts the pixel data at a negative position: the bitmap is damaged',
  150: 'read-only file system', 152: 'no such device', 156: 'not seekable',
  160: 'I/O error writing', 161: 'I/O error reading', 162: 'I/O error',
  200: 'Quorvel crashed (arithmetic fault): please report it',
  216: 'Quorvel crashed (invalid memory access): please report it',
  218: 'Quorvel crashed (invalid instruction): please report it',
};

const $ = (id) => document.getElementById(id);
const settingIds = ['startaddress', 'zerobyte', 'colour1', 'colour2', 'colour3', 'colour4'];
let bitmapFile = null;
let pending = null;  // the names and start address of the run under way
let lastResult = null;
let worker = null;
let downloadUrl = null;

const wasmBytes = Uint8Array.from(atob($('module-wasm').textContent.trim()), (c) => c.charCodeAt(0));
const workerUrl = URL.createObjectURL(
  new Blob([$('module-code').textContent, '\n', $('worker-code').textContent],
    { type: 'text/javascript' }));

function startWorker() {
  worker = new Worker(workerUrl);
  worker.onmessage = (event) => receive(event.data);
  worker.postMessage({ wasm: wasmBytes.slice() });
}

// A start address that asks for no load address: "none" in any letter case.
function noAddress(text) {
  return text.slice(0, 255).toLowerCase() === 'none';
}

function outputName(inname, startaddress) {
  const base = inname.replace(/\.[^.]*$/, '') || 'sprite';
  return base + (noAddress(startaddress) ? '.spr' : '.prg');
}

// A word as a POSIX shell needs it written.
function shellWord(word) {
  return /^[A-Za-z0-9_.,:\/+=%@-]+$/.test(word) ? word : "'" + word.replace(/'/g, "'\\''") + "'";
}

function settings() {
  return settingIds.map((id) => $(id).value);
}

function showCommand() {
  const inname = bitmapFile ? bitmapFile.name : 'ship.bmp';
  const words = [inname, outputName(inname, $('startaddress').value), ...settings()];
  $('command').textContent = 'quorvel ' + words.map(shellWord).join(' ');
}

function setRunning(running) {
  $('convert').disabled = running;
  $('cancel').hidden = !running;
  if (running) $('cancel').focus();
}

let clicked = 0;  // when Convert was pressed, for the time the page shows

function convert(event) {
  event.preventDefault();
  clicked = performance.now();
  if (!bitmapFile) {
    $('progress').textContent = 'Pick a bitmap first.';
    $('bitmap').focus();
    return;
  }
  showCommand();
  setRunning(true);
  showResult(null);
  $('progress').textContent = 'Converting…';
  const startaddress = $('startaddress').value;
  pending = { inname: bitmapFile.name, outname: outputName(bitmapFile.name, startaddress), startaddress };
  bitmapFile.arrayBuffer().then((buffer) => {
    worker.postMessage({ ...pending, bitmap: new Uint8Array(buffer), settings: settings() });
  });
}

function cancel() {
  worker.terminate();
  startWorker();
  setRunning(false);
  $('progress').textContent = 'Cancelled.';
  $('convert').focus();
}

function receive(message) {
  if (message.ready) {
    document.body.dataset.ready = 'true';
  } else if (message.progress !== undefined) {
    $('progress').textContent = `Converting… ${message.progress.toLocaleString('en')} bytes written`;
  } else if (message.failure !== undefined) {
    setRunning(false);
    $('progress').textContent = 'The program could not run: ' + message.failure;
  } else {
    setRunning(false);
    showResult(message);
  }
}

// The result of a run, or none while one is under way.
function showResult(result) {
  lastResult = result && { ...result, ...pending };
  if (!result) {
    $('console').textContent = $('status').textContent = $('hexdump').textContent = '';
    showBytes(null);
    drawSprite();
    return;
  }
  const text = new TextDecoder().decode(result.console);
  const errors = new TextDecoder().decode(result.error);
  $('console').textContent = text + errors;
  const meaning = statusMeanings[result.status] || "the operating system's error number";
  $('status').textContent = `Exit status ${result.status}: ${meaning}.`;
  $('status').className = result.status === 0 ? '' : 'failed';
  showBytes(result.output, lastResult.outname);
  drawSprite();
  const shownAfter = Math.round(performance.now() - clicked);
  $('progress').textContent = `Done in ${shownAfter} ms.`;
}

function hexDump(bytes) {
  const lines = [];
  for (let at = 0; at < bytes.length; at += 16) {
    const row = Array.from(bytes.slice(at, at + 16), (b) => b.toString(16).padStart(2, '0'));
    lines.push(at.toString(16).padStart(8, '0') + ': ' + row.join(' '));
  }
  return lines.join('\n');
}

function showBytes(output, name) {
  if (downloadUrl) URL.revokeObjectURL(downloadUrl);
  downloadUrl = null;
  $('download').hidden = output === null;
  $('download-name').textContent = '';
  $('hexdump').textContent = output === null ? (lastResult ? '(no output file)' : '') : hexDump(output);
  if (output === null) return;
  downloadUrl = URL.createObjectURL(new Blob([output], { type: 'application/octet-stream' }));
  $('download').href = downloadUrl;
  $('download').download = name;
  $('download-name').textContent = `${name}, ${output.length} bytes`;
}

// The sprite bytes of the output, as the C64 draws them: 21 rows of 3 bytes;
// multicolour pixels are two wide, bit pairs 00 background, 01 multicolour 1,
// 10 sprite colour, 11 multicolour 2.
function drawSprite() {
  const canvas = $('sprite');
  const context = canvas.getContext('2d');
  const colour = (id) => c64Colours[$(id).value][1];
  context.fillStyle = colour('background');
  context.fillRect(0, 0, canvas.width, canvas.height);
  if (!lastResult || !lastResult.output) return;
  const start = noAddress(lastResult.startaddress) ? 0 : 2;
  const bytes = lastResult.output.slice(start, start + 63);
  const hires = new TextDecoder().decode(lastResult.console).includes('hires sprite');
  const codes = hires ? ['background', 'spritecolour'] : ['background', 'multicolour1', 'spritecolour', 'multicolour2'];
  const bits = hires ? 1 : 2;
  const size = canvas.width / 24;
  for (let i = 0; i < bytes.length; ++i) {
    for (let shift = 8 - bits, x = (i % 3) * 8; shift >= 0; shift -= bits, x += bits) {
      context.fillStyle = colour(codes[(bytes[i] >> shift) & (bits === 1 ? 1 : 3)]);
      context.fillRect(x * size, Math.floor(i / 3) * size, bits * size, size);
    }
  }
}

// The bitmap's header fields and palette, enough to show each pixel's index.
function readBitmap(bytes) {
  const view = new DataView(bytes.buffer);
  if (bytes.length < 54 || view.getUint16(0, true) !== 0x4d42) return null;
  const header = {
    offset: view.getInt32(10, true), size: view.getUint32(14, true),
    width: view.getInt32(18, true), height: view.getInt32(22, true),
    bits: view.getUint16(28, true), compression: view.getUint32(30, true),
  };
  if (![1, 4, 8].includes(header.bits) || header.width <= 0 || header.width > 512 ||
      header.height === 0 || Math.abs(header.height) > 512) return header;
  header.palette = [];
  for (let at = 14 + header.size; at + 4 <= header.offset && at + 4 <= bytes.length; at += 4)
    header.palette.push(`rgb(${bytes[at + 2]},${bytes[at + 1]},${bytes[at]})`);
  const stride = Math.ceil(header.width * header.bits / 32) * 4;
  header.index = (x, y) => {
    const row = header.height > 0 ? header.height - 1 - y : y;
    const at = header.offset + row * stride + Math.floor(x * header.bits / 8);
    const shift = 8 - header.bits - (x * header.bits) % 8;
    return at < bytes.length ? (bytes[at] >> shift) & ((1 << header.bits) - 1) : null;
  };
  return header;
}

function showBitmap(bytes) {
  const header = readBitmap(bytes);
  const canvas = $('bitmap-view');
  const palette = $('palette');
  palette.replaceChildren();
  if (!header || !header.index) {
    canvas.width = canvas.height = 0;
    $('bitmap-note').textContent = header
      ? `A ${header.bits}-bit bitmap of ${header.width} by ${header.height} pixels: the page shows only indexed bitmaps of up to 512 by 512 pixels.`
      : 'Not a BMP file: the program will say so.';
    return;
  }
  $('bitmap-note').textContent = `${header.width} by ${Math.abs(header.height)} pixels, ${header.bits} bits a pixel. Colour 1 to Colour 4 say what palette indices 0 to 3 become.`;
  const height = Math.abs(header.height);
  const cell = Math.max(4, Math.min(24, Math.floor(720 / header.width)));
  canvas.width = header.width * cell;
  canvas.height = height * cell;
  const context = canvas.getContext('2d');
  context.font = `${Math.floor(cell * 0.6)}px monospace`;
  context.textAlign = 'center';
  context.textBaseline = 'middle';
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < header.width; ++x) {
      const index = header.index(x, y);
      context.fillStyle = index === null ? '#fff' : header.palette[index] || '#000';
      context.fillRect(x * cell, y * cell, cell, cell);
      if (index === null || cell < 14) continue;
      context.fillStyle = '#fff';
      context.strokeStyle = '#000';
      context.strokeText(index, x * cell + cell / 2, y * cell + cell / 2);
      context.fillText(index, x * cell + cell / 2, y * cell + cell / 2);
    }
  }
  header.palette.slice(0, 256).forEach((colour, index) => {
    const item = document.createElement('li');
    const swatch = document.createElement('span');
    swatch.style.background = colour;
    item.append(swatch, `${index}: ${colour}`);
    palette.append(item);
  });
}

function pick(file) {
  bitmapFile = file;
  showCommand();
  file.arrayBuffer().then((buffer) => showBitmap(new Uint8Array(buffer)));
}

function fillColourChoices() {
  const defaults = { background: 6, multicolour1: 10, multicolour2: 8, spritecolour: 1 };
  for (const [id, chosen] of Object.entries(defaults)) {
    const select = $(id);
    c64Colours.forEach(([name], value) => select.add(new Option(`${value} ${name}`, value)));
    select.value = chosen;
    select.addEventListener('change', drawSprite);
  }
}

$('arguments').addEventListener('submit', convert);
$('cancel').addEventListener('click', cancel);
$('bitmap').addEventListener('change', () => $('bitmap').files[0] && pick($('bitmap').files[0]));
settingIds.forEach((id) => $(id).addEventListener('input', showCommand));
document.addEventListener('dragover', (event) => event.preventDefault());
document.addEventListener('drop', (event) => {
  event.preventDefault();
  if (event.dataTransfer.files[0]) pick(event.dataTransfer.files[0]);
});
fillColourChoices();
drawSprite();
startWorker();
