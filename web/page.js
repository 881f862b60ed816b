// The page: picks the bitmap, runs the program in a worker, and shows what it
// read, what it printed and the sprite it wrote. What is pure is in logic.js.
'use strict';

const { c64Colours, noAddress, outputName, commandLine, hexDump, readBitmap, spriteCodes } =
  QuorvelLogic;

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
let running = null;  // the run under way: its number and its inputs, read at the click
let runs = 0;
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
  worker.postMessage({ type: 'load', wasm: wasmBytes.slice() });
}

function settings() {
  return settingIds.map((id) => $(id).value);
}

function showCommand() {
  const inname = bitmapFile ? bitmapFile.name : 'ship.bmp';
  const words = [inname, outputName(inname, $('startaddress').value), ...settings()];
  $('command').textContent = commandLine('quorvel', words);
}

// Convert stays where the focus is, so that a second Enter never cancels.
function setRunning(run) {
  running = run;
  $('convert').setAttribute('aria-disabled', run ? 'true' : 'false');
  $('cancel').hidden = !run;
}

let clicked = 0;  // when Convert was pressed, for the time the page shows

function convert(event) {
  event.preventDefault();
  if (running) return;
  clicked = performance.now();
  if (!bitmapFile) {
    $('progress').textContent = 'Pick a bitmap first.';
    $('bitmap').focus();
    return;
  }
  showCommand();
  const startaddress = $('startaddress').value;
  const run = {
    id: ++runs, file: bitmapFile, inname: bitmapFile.name,
    outname: outputName(bitmapFile.name, startaddress), startaddress, settings: settings(),
  };
  setRunning(run);
  showResult(null);
  $('progress').textContent = 'Converting…';
  run.file.arrayBuffer().then((buffer) => {
    if (running !== run) return;  // cancelled while the file was read
    const bitmap = new Uint8Array(buffer);
    const header = readBitmap(bitmap);
    run.hires = header !== null && header.bits === 1;  // as the program decides
    const { inname, outname } = run;
    worker.postMessage({ type: 'run', inname, outname, bitmap, settings: run.settings });
  }, (error) => {
    if (running !== run) return;
    setRunning(null);
    $('progress').textContent = `The bitmap could not be read (${error.name}): it may have changed ` +
      'or gone since it was picked. Pick it again.';
  });
}

function cancel() {
  worker.terminate();
  startWorker();
  setRunning(null);
  $('progress').textContent = 'Cancelled.';
  $('convert').focus();
}

function receive(message) {
  if (message.type === 'ready') {
    document.body.dataset.ready = 'true';
  } else if (message.type === 'progress') {
    $('progress').textContent = `Converting… ${message.written.toLocaleString('en')} bytes written`;
  } else if (message.type === 'failure') {
    setRunning(null);
    $('progress').textContent = 'The program could not run: ' + message.reason;
  } else if (message.type === 'result') {
    const run = running;
    setRunning(null);
    showResult({ ...message, ...run });
  }
}

// The result of a run, or none while one is under way.
function showResult(result) {
  lastResult = result;
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
  showBytes(result.output, result.outname);
  drawSprite();
  const shownAfter = Math.round(performance.now() - clicked);
  $('progress').textContent = `Done in ${shownAfter} ms.`;
}

// Every run that wrote bytes offers them for download, however many.
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
  $('download-name').textContent = `${name}, ${output.length.toLocaleString('en')} bytes`;
}

// The sprite bytes of the output as the C64 draws them: 21 rows of 3 bytes
// after the load address, if any.
function drawSprite() {
  const canvas = $('sprite');
  const context = canvas.getContext('2d');
  const colour = (id) => c64Colours[$(id).value][1];
  context.fillStyle = colour('background');
  context.fillRect(0, 0, canvas.width, canvas.height);
  if (!lastResult || !lastResult.output) return;
  const start = noAddress(lastResult.startaddress) ? 0 : 2;
  const codes = spriteCodes(lastResult.output.subarray(start, start + 63), lastResult.hires);
  const registers = lastResult.hires ? ['background', 'spritecolour']
    : ['background', 'multicolour1', 'spritecolour', 'multicolour2'];
  const size = canvas.width / 24;
  codes.forEach((row, y) => row.forEach((code, x) => {
    context.fillStyle = colour(registers[code]);
    context.fillRect(x * size, y * size, size, size);
  }));
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
  header.palette.forEach((colour, index) => {
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
  file.arrayBuffer().then((buffer) => {
    if (bitmapFile === file) showBitmap(new Uint8Array(buffer));
  }, () => {
    $('bitmap-note').textContent = 'The bitmap could not be read. Pick it again.';
  });
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
