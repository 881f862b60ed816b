// The page: picks the bitmap, runs the program and its checker in a worker
// whenever an input changes, and shows which colour lands in which C64
// register, what is wrong and how to fix it, what the program printed and the
// sprite it wrote. What is pure is in logic.js.
'use strict';

const {
  c64Colours, noAddress, outputName, commandLine, hexDump, readBitmap, spriteCodes, registers,
  parseColours, mappingRows, conversionMode, findings, movedToFirstFour, inkOn,
} = QuorvelLogic;

// What an exit status of a run on this page means (the page runs the program
// on a file in memory, with a name of its own: no other status can come).
const statusMeanings = {
  0: 'the sprite was written completely',
  1: 'the bitmap was refused: the findings above say why and what to do',
  131: 'the header puts the pixel data at a negative position: the bitmap is damaged',
  200: 'Quorvel crashed (arithmetic fault): please report it',
  216: 'Quorvel crashed (invalid memory access): please report it',
  218: 'Quorvel crashed (invalid instruction): please report it',
};

const $ = (id) => document.getElementById(id);
const settingIds = ['startaddress', 'zerobyte', 'colour1', 'colour2', 'colour3', 'colour4'];
const registerDefaults = { background: 6, multicolour1: 10, spritecolour: 1, multicolour2: 8 };
const narrow = matchMedia('(max-width: 34rem)');
let bitmap = null;  // the picked bitmap: { name, bytes, header }, or a made copy
let fixedCopy = null;  // the copy made by "Move the colours", offered for download
let running = null;  // the run under way: its inputs, read when it started
let runs = 0;
let shown = null;  // the result on screen, with the inputs it belongs to
let worker = null;
let downloadUrls = [];
let liveTimer = 0;
let picks = 0;

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

function inputs() {
  const inname = bitmap ? bitmap.name : 'ship.bmp';
  const startaddress = $('startaddress').value;
  return { inname, outname: outputName(inname, startaddress), startaddress, settings: settings() };
}

function showCommand() {
  const { inname, outname, settings: words } = inputs();
  $('command').textContent = commandLine('quorvel', [inname, outname, ...words]);
}

// Convert stays where the focus is, so that a second Enter never cancels.
function setRunning(run) {
  running = run;
  $('convert').setAttribute('aria-disabled', run ? 'true' : 'false');
  $('cancel').hidden = !run;
}

// A run of the inputs as they are now. An explicit Convert moves the focus to
// the result when it is shown; a run started by a change leaves it alone.
function startRun(explicit) {
  clearTimeout(liveTimer);
  if (running) stopWorker();
  showCommand();
  showResult(null);
  if (!bitmap) {
    if (explicit) {
      $('progress').textContent = 'Pick a bitmap first.';
      $('bitmap').focus();
    }
    return;
  }
  const run = { id: ++runs, explicit, started: performance.now(), ...inputs() };
  setRunning(run);
  $('progress').textContent = 'Converting…';
  // Convert reads the picked file again, so that a bitmap saved anew is
  // converted as it is now; a change converts the bytes read at the pick.
  const read = explicit && bitmap.file ? bitmap.file.arrayBuffer() : Promise.resolve(null);
  read.then((buffer) => {
    if (running !== run) return;  // cancelled, or another run started
    if (buffer) useBitmap(bitmap.name, new Uint8Array(buffer), bitmap.file);
    Object.assign(run, { bytes: bitmap.bytes, header: bitmap.header });
    const { inname, outname, settings: words } = run;
    worker.postMessage({ type: 'run', inname, outname, bitmap: run.bytes, settings: words });
  }, (error) => {
    if (running !== run) return;
    setRunning(null);
    $('progress').textContent = `The bitmap could not be read (${error.name}): it has changed or ` +
      'gone since it was picked. Pick it again.';
  });
}

function convert(event) {
  event.preventDefault();
  if (!running) startRun(true);
}

// Every change converts again, a moment after the typing stops. No line says
// done while no result is shown.
function changed() {
  showCommand();
  clearTimeout(liveTimer);
  if (running) stopWorker();
  showResult(null);
  $('progress').textContent = '';
  liveTimer = setTimeout(() => startRun(false), 150);
}

function stopWorker() {
  worker.terminate();
  startWorker();
  setRunning(null);
}

function cancel() {
  stopWorker();
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
  } else if (message.type === 'result' && running) {
    const run = running;
    setRunning(null);
    // The mode is what the program read, whatever the page's own reader made of the file.
    const mode = conversionMode(new TextDecoder().decode(message.console));
    if (bitmap && bitmap.bytes === run.bytes) bitmap.mode = mode;
    showResult({ ...message, ...run, hires: mode === 'hires' });
  }
}

// The result of a run, or none (while one is under way, or after an input changed).
function showResult(result) {
  shown = result;
  for (const url of downloadUrls) URL.revokeObjectURL(url);
  downloadUrls = [];
  showMapping();
  showFindings();
  showConsole();
  showBytes();
  drawSprite();
  if (!result) return;
  const shownAfter = Math.round(performance.now() - result.started);
  $('progress').textContent = `Done in ${shownAfter} ms.`;
  if (result.explicit) $('result').focus();
}

function showConsole() {
  const decode = (bytes) => new TextDecoder().decode(bytes);
  $('console').textContent = shown ? decode(shown.console) + decode(shown.error) : '';
}

function showFindings() {
  const list = $('findings');
  list.replaceChildren();
  $('status').textContent = '';
  $('status').className = '';
  $('fix').hidden = $('fixed').hidden = true;
  if (!shown) return;
  const found = findings(new TextDecoder().decode(shown.check.console), shown.inname);
  for (const { kind, message } of found) {
    const item = document.createElement('li');
    item.className = kind;
    const label = document.createElement('strong');
    label.textContent = kind === 'error' ? 'Refused: ' : 'Warning: ';
    item.append(label, message.charAt(0).toUpperCase() + message.slice(1) + '.');
    list.append(item);
  }
  const differs = found.length > 0 && shown.status === 0;
  const meaning = differs ? 'the sprite was written, but it differs from the picture: see the findings above'
    : statusMeanings[shown.status] || "the operating system's error number";
  $('status').textContent = `Exit status ${shown.status}: ${meaning}.`;
  $('status').className = shown.status === 0 && !differs ? 'done' : 'failed';
  offerFix();
}

// The mechanical fix of a picture drawn with four colours at the wrong indices.
function offerFix() {
  if (fixedCopy && fixedCopy.name === shown.inname) {
    const url = URL.createObjectURL(new Blob([fixedCopy.bytes], { type: 'image/bmp' }));
    downloadUrls.push(url);
    $('fixed-download').href = url;
    $('fixed-download').download = fixedCopy.name;
    $('fixed-name').textContent = `${fixedCopy.name}, ${fixedCopy.moved.map(([from, to]) => `index ${from} now ${to}`).join(', ')}`;
    $('fixed').hidden = false;
    return;
  }
  const copy = movedToFirstFour(shown.bytes);
  if (!copy) return;
  $('fix-note').textContent = 'The picture has at most four colours, ' +
    copy.moved.map(([from, to]) => `index ${from} to ${to}`).join(', ') +
    ', each keeping its colour; the copy is converted and offered for download.';
  $('fix').hidden = false;
}

function moveColours() {
  const copy = movedToFirstFour(bitmap.bytes);
  if (!copy) return;
  const name = bitmap.name.replace(/(\.[^.]*)?$/, '-indexed.bmp');
  fixedCopy = { name, bytes: copy.bytes, moved: copy.moved };
  useBitmap(name, copy.bytes);
  startRun(true);
}

// Every run that wrote bytes offers them for download, however many.
function showBytes() {
  const output = shown ? shown.output : null;
  $('download').hidden = output === null;
  $('download-name').textContent = '';
  $('hexdump').textContent = output === null ? (shown ? '(no output file)' : '')
    : hexDump(output, narrow.matches ? 8 : 16);
  if (output === null) return;
  const url = URL.createObjectURL(new Blob([output], { type: 'application/octet-stream' }));
  downloadUrls.push(url);
  $('download').href = url;
  $('download').download = shown.outname;
  $('download').textContent = `Download ${shown.outname}`;
  $('download-name').textContent = `${output.length.toLocaleString('en')} bytes`;
}

function chosenColour(registerId) {
  return c64Colours[$(registerId).value][1];
}

// The sprite bytes of the output as the C64 draws them: 21 rows of 3 bytes
// after the load address, if any.
function drawSprite() {
  const canvas = $('sprite');
  const output = shown && shown.output;
  canvas.hidden = !output;
  $('sprite-note').hidden = !!output;
  if (!output) return;
  const context = canvas.getContext('2d');
  const start = noAddress(shown.startaddress) ? 0 : 2;
  const codes = spriteCodes(output.subarray(start, start + 63), shown.hires);
  const size = canvas.width / 24;
  codes.forEach((row, y) => row.forEach((code, x) => {
    context.fillStyle = chosenColour(registers(shown.hires)[code].id);
    context.fillRect(x * size, y * size, size, size);
  }));
}

function swatch(colour, label) {
  const box = document.createElement('span');
  box.className = 'swatch';
  box.style.background = colour;
  box.setAttribute('aria-hidden', 'true');
  const text = document.createElement('span');
  text.textContent = label;
  return [box, text];
}

// One row for each palette index the sprite uses: its colour in the bitmap,
// the argument, the code, the C64 register and the colour chosen for it.
function showMapping() {
  // Between runs, the mode the program read in its last run of this bitmap.
  const hires = shown ? shown.hires : Boolean(bitmap && bitmap.mode === 'hires');
  for (const register of registers(false))
    $(register.id).closest('.register').hidden = hires && register.id.startsWith('multicolour');
  const body = $('mapping').tBodies[0];
  body.replaceChildren();
  if (!shown) {
    $('mapping-note').textContent = hires
      ? 'A 1-bit bitmap becomes a hires sprite: palette index 0 or 1 shows the background or the sprite colour, as Colour 1 and Colour 2 say (0 the background, anything else the sprite colour); Colour 3 and Colour 4 play no part.'
      : 'Quorvel reads only each pixel\'s palette index. Colour 1 to Colour 4 give the code of palette indices 0 to 3, and the code selects the C64 colour register that shows it.';
    return;
  }
  const palette = (shown.header || {}).palette || [];
  for (const row of mappingRows(shown.hires, palette, shown.settings, parseColours(shown.colours))) {
    const cells = [
      row.bitmapColour ? swatch(row.bitmapColour, String(row.index)) : [String(row.index)],
      [`${row.argument} = ${row.text === '' ? '(empty)' : row.text}`],
      [codeText(row, shown.hires)],
      [row.register ? `${row.register.name} (${row.register.address})` : 'none: a code above 3 spills into the next pixel'],
      row.register ? swatch(chosenColour(row.register.id), c64Colours[$(row.register.id).value][0]) : ['—'],
    ];
    const tr = body.insertRow();
    const headings = [...$('mapping').tHead.rows[0].cells].map((cell) => cell.textContent);
    cells.forEach((parts, column) => {
      const cell = column === 0 ? document.createElement('th') : document.createElement('td');
      if (column === 0) cell.scope = 'row';
      cell.dataset.label = headings[column];  // shown where the table is stacked
      cell.append(...parts);
      tr.append(cell);
    });
  }
  $('mapping-note').textContent = shown.hires
    ? 'A hires sprite: palette index 0 or 1 shows the background or the sprite colour (any code but 0); Colour 3 and Colour 4 play no part.'
    : 'Each palette index 0 to 3 gets the code its colour argument gives; indices above 3 show the background.';
}

function codeText(row, hires) {
  const notes = { 'not-a-number': ' (not a number)', negative: ' (negative)', 'too-large': ' (too large)' };
  const note = notes[row.kind] || '';
  if (hires) return `${row.code === 0 ? 0 : 1}${note}`;
  return `${row.code} (${row.code.toString(2).padStart(2, '0')})${note}`;
}

// The bitmap, each pixel with its index in a colour that reads on it, and
// marked where the checker's findings point: indices above 3, the left-hand
// pixel of each pair (a multicolour sprite does not read it), and what lies
// outside 24 by 21.
function showBitmap() {
  const header = bitmap.header;
  const canvas = $('bitmap-view');
  const palette = $('palette');
  palette.replaceChildren();
  if (!header || !header.index) {
    canvas.hidden = $('marks').hidden = true;
    $('bitmap-note').textContent = header
      ? `A ${header.bits}-bit bitmap of ${header.width} by ${header.height} pixels: the page shows the pixels of indexed, uncompressed bitmaps of up to 512 by 512 only. The findings say what to do.`
      : 'Not a BMP file: the findings say what to do.';
    return;
  }
  const height = Math.abs(header.height);
  const multicolour = header.bits !== 1;
  $('bitmap-note').textContent = `${header.width} by ${height} pixels, ${header.bits} ${header.bits === 1 ? 'bit' : 'bits'} a pixel.`;
  const cell = Math.max(4, Math.min(24, Math.floor(720 / header.width)));
  canvas.width = header.width * cell;
  canvas.height = height * cell;
  canvas.hidden = $('marks').hidden = false;
  const context = canvas.getContext('2d');
  context.font = `${Math.floor(cell * 0.6)}px monospace`;
  context.textAlign = 'center';
  context.textBaseline = 'middle';
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < header.width; ++x) {
      const index = header.index(x, y);
      const colour = index === null ? '#ffffff' : header.palette[index] || '#000000';
      context.fillStyle = colour;
      context.fillRect(x * cell, y * cell, cell, cell);
      markPixel(context, { x, y, cell, index, multicolour });
      if (index === null || cell < 14) continue;
      context.fillStyle = inkOn(colour.startsWith('#') ? '' : colour);
      context.fillText(index, x * cell + cell / 2, y * cell + cell / 2);
    }
  }
  header.palette.forEach((colour, index) => {
    const item = document.createElement('li');
    item.append(...swatch(colour, `${index}: ${colour}`));
    palette.append(item);
  });
}

function markPixel(context, { x, y, cell, index, multicolour }) {
  if (x >= 24 || y >= 21) {
    context.fillStyle = 'rgba(128, 128, 128, 0.6)';
    context.fillRect(x * cell, y * cell, cell, cell);
  } else if (multicolour && x % 2 === 0) {
    context.fillStyle = 'rgba(255, 255, 255, 0.45)';
    context.fillRect(x * cell, y * cell, cell, cell);
  }
  if (multicolour && index > 3) {
    context.strokeStyle = '#d00000';
    context.lineWidth = Math.max(1, cell / 8);
    context.strokeRect(x * cell + 1, y * cell + 1, cell - 2, cell - 2);
  }
}

function useBitmap(name, bytes, file = null) {
  const mode = bitmap && bitmap.name === name ? bitmap.mode : null;  // until the program says
  bitmap = { name, bytes, header: readBitmap(bytes), file, mode };
  showBitmap();
}

// Nothing of the bitmap before stays on screen while the new one is read.
function pick(file) {
  fixedCopy = null;
  bitmap = null;
  if (running) stopWorker();
  clearTimeout(liveTimer);
  showResult(null);
  $('bitmap-view').hidden = $('marks').hidden = true;
  $('palette').replaceChildren();
  $('bitmap-note').textContent = 'Reading the bitmap…';
  $('progress').textContent = '';
  const picked = ++picks;
  file.arrayBuffer().then((buffer) => {
    if (picked !== picks) return;  // another bitmap was picked since
    useBitmap(file.name, new Uint8Array(buffer), file);
    startRun(false);
  }, (error) => {
    if (picked !== picks) return;
    $('bitmap-note').textContent = `The bitmap could not be read (${error.name}). Pick it again.`;
  });
}

function fillColourChoices() {
  const fieldset = $('registers');
  for (const register of registers(false)) {
    const label = document.createElement('label');
    label.className = 'register';
    const select = document.createElement('select');
    select.id = register.id;
    c64Colours.forEach(([name], value) => select.add(new Option(`${value} ${name}`, value)));
    select.value = registerDefaults[register.id];
    select.addEventListener('change', () => { showMapping(); drawSprite(); });
    label.append(`${register.name} (${register.address}) `, select);
    fieldset.append(label);
  }
}

$('arguments').addEventListener('submit', convert);
$('cancel').addEventListener('click', cancel);
$('move').addEventListener('click', moveColours);
$('bitmap').addEventListener('change', () => $('bitmap').files[0] && pick($('bitmap').files[0]));
settingIds.forEach((id) => $(id).addEventListener('input', changed));
narrow.addEventListener('change', showBytes);
document.addEventListener('dragover', (event) => event.preventDefault());
document.addEventListener('drop', (event) => {
  event.preventDefault();
  if (event.dataTransfer.files[0]) pick(event.dataTransfer.files[0]);
});
fillColourChoices();
showMapping();
showCommand();
startWorker();
