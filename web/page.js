// The page: picks the picture, has the worker read it and run the programs
// whenever an input changes, and shows which colour lands in which C64
// register, what is wrong and how to fix it, what the program printed and the
// sprite it wrote. A sheet of many sprites has its own view (sheet.js). What
// is pure is in logic.js.
'use strict';

const {
  c64Colours, c64Numbers, noAddress, outputName, commandLine, hexDump, readBitmap, spriteCodes,
  registers, parseColours, mappingRows, conversionMode, findings, codeOf, registerPresets,
  defaultChoice, applyChoice, holdsSheet, grouped,
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
// A picture this large converts for a while: its runs wait until the typing stops.
const largeBitmap = 1 << 16;
// A picture larger than this is handed to the worker, which keeps it: a copy
// of it would hold up the page's thread.
const heldByWorker = 1 << 20;
let bitmap = null;  // the picked picture: { name, key, bytes, size, file, shape, header, counts, census, mode }
let pictures = 0;
let sheetView = false;
let fixedCopy = null;  // the copy made with the chosen registers, offered for download
let running = null;  // the run under way: its inputs, read when it started
let runs = 0;
let shown = null;  // the result on screen, with the inputs it belongs to
let worker = null;
let downloadUrls = [];
let liveTimer = 0;
let picks = 0;
const touched = new Set();  // the registers the person set, which presets leave alone
const answers = new Map();  // the worker's questions still open: id → what to do with the answer
const runsUnderWay = new Set();  // the ids of the runs the worker has not answered yet

// The worker starts first, while the module is compiled, once; each worker
// gets it, and each run instantiates it.
const workerUrl = URL.createObjectURL(
  new Blob([$('module-code').textContent, '\n', $('logic-script').textContent, '\n', $('worker-code').textContent],
    { type: 'text/javascript' }));
let compiled = null;
startWorker();
compiled = compiledModule;  // compile.js, in the head
// The page is ready once the module is: what it asks before the worker has
// started waits for it.
compiled.then((module) => {
  worker.postMessage({ type: 'load', module });
  document.body.dataset.ready = 'true';
  performance.mark('ready');
});

function startWorker() {
  worker = new Worker(workerUrl);
  worker.onmessage = (event) => receive(event.data);
  if (compiled) compiled.then((module) => worker.postMessage({ type: 'load', module }));
}

// Posts a question about the current picture to the worker; `answer` gets
// the worker's answer.
function ask(message, answer) {
  const id = ++runs;
  answers.set(id, answer);
  if (message.type !== 'inspect') runsUnderWay.add(id);
  worker.postMessage({ ...message, picture: bitmap.key, id });
  return id;
}

// Hands a picture to the worker, which keeps the latest: a copy of its bytes
// where the page keeps them too, else its file, which the worker reads.
function handOver(key, bytes, file) {
  if (!bytes) {
    worker.postMessage({ type: 'keep', key, file });
    return;
  }
  const given = bytes.slice();
  worker.postMessage({ type: 'keep', key, bytes: given }, [given.buffer]);
}

function receive(message) {
  if (message.type === 'ready') return;
  if (message.type === 'progress') {
    if (running && running.id === message.id)
      $('progress').textContent = `Converting… ${grouped(message.written)} bytes written`;
    return;
  }
  const answer = answers.get(message.id);
  answers.delete(message.id);
  runsUnderWay.delete(message.id);
  if (answer) answer(message);
}

// Whether a run is still under way in the worker (one asked for inputs that
// have changed since included), or the run is of a large bitmap: a change
// then ends it with its worker instead of waiting behind it. A run of a small
// bitmap is over long before the next key is typed.
function longRun() {
  return runsUnderWay.size > 0 || (running && running.large);
}

// Ends the worker and every question to it, and starts another: Cancel, or a
// long run that a change makes stale.
function stopWorker() {
  worker.terminate();
  answers.clear();
  runsUnderWay.clear();
  startWorker();
  setRunning(null);
  if (bitmap) handOver(bitmap.key, bitmap.bytes, bitmap.file);
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
  if (sheetView) showSheetCommand();
}

// Convert stays where the focus is, so that a second Enter never cancels.
function setRunning(run) {
  running = run;
  $('convert').setAttribute('aria-disabled', run ? 'true' : 'false');
  $('cancel').hidden = !run;
}

// A run of the inputs as they are now. An explicit Convert moves the focus to
// the result when it is shown; a run started by a change leaves it alone.
// `started`: when the change that asks for it happened; `reread`: whether
// the picked file is read again first (Convert does, once).
function startRun(explicit, started = performance.now(), reread = explicit) {
  clearTimeout(liveTimer);
  if (longRun()) stopWorker();
  showCommand();
  if (!bitmap || !bitmap.shape) {
    if (explicit) {
      $('progress').textContent = 'Pick a bitmap first.';
      $('bitmap').focus();
    }
    return;
  }
  if (sheetView) {
    startSheetRun(explicit, started);
    return;
  }
  showResult(null);
  const run = { explicit, started, large: bitmap.size > largeBitmap, ...inputs() };
  setRunning(run);
  $('progress').textContent = 'Converting…';
  // Convert reads the picked file again, so that a bitmap saved anew is
  // converted as it is now (a large one the worker reads anew); a change
  // converts the bytes read at the pick.
  if (reread && bitmap.file && !bitmap.bytes) {
    usePicture(bitmap.name, null, bitmap.file, () => startRun(true, started, false));
    return;
  }
  const read = reread && bitmap.file ? bitmap.file.arrayBuffer() : Promise.resolve(null);
  read.then((buffer) => {
    if (running !== run) return;  // cancelled, or another run started
    if (buffer && !sameBytes(bitmap.bytes, new Uint8Array(buffer))) {
      usePicture(bitmap.name, new Uint8Array(buffer), bitmap.file, () => startRun(true, started, false));
      return;
    }
    run.key = bitmap.key;
    run.header = bitmap.header;
    const { inname, outname, settings: words } = run;
    run.id = ask({ type: 'run', inname, outname, settings: words }, (message) => finished(run, message));
  }, (error) => {
    if (running !== run) return;
    setRunning(null);
    $('progress').textContent = `The bitmap could not be read (${error.name}): it has changed or ` +
      'gone since it was picked. Pick it again.';
  });
}

function sameBytes(one, other) {
  return one.length === other.length && one.every((byte, i) => byte === other[i]);
}

function finished(run, message) {
  if (running !== run) return;  // stale: another run started since
  setRunning(null);
  if (message.type === 'failure') {
    $('progress').textContent = 'The program could not run: ' + message.reason;
    return;
  }
  // The mode is what the program read, whatever the page's own reader made of the file.
  const mode = conversionMode(new TextDecoder().decode(message.console));
  if (bitmap && bitmap.key === run.key) bitmap.mode = mode;
  showResult({ ...message, ...run, hires: mode === 'hires' });
}

function convert(event) {
  event.preventDefault();
  if (!running) startRun(true);
}

// Every change converts again: at once, or for a large bitmap a moment after
// the typing stops. No line says done while no result is shown.
function changed() {
  const started = performance.now();
  showCommand();
  clearTimeout(liveTimer);
  if (longRun()) stopWorker();
  setRunning(null);
  if (!sheetView) showResult(null);
  $('progress').textContent = '';
  if (bitmap && bitmap.size > largeBitmap) liveTimer = setTimeout(() => startRun(false), 150);
  else startRun(false, started);
}

function cancel() {
  stopWorker();
  $('progress').textContent = 'Cancelled.';
  $('convert').focus();
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
  $('progress').textContent = `Done in ${Math.round(performance.now() - result.started)} ms.`;
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
  $('fix').hidden = $('fixed').hidden = $('sheet-way').hidden = true;
  if (!shown) return;
  const found = findings(new TextDecoder().decode(shown.check.console), shown.inname)
    .filter(({ kind }) => kind !== 'note');
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

// The picture's used colours as C64 colour numbers, where all of them are C64 colours.
function c64ColoursOf(used) {
  const header = bitmap && bitmap.header;
  if (!header || !header.paletteRgb || used.some((index) => index >= header.paletteRgb.length)) return null;
  const numbers = c64Numbers(used.map((index) => header.paletteRgb[index]));
  return numbers.every((number) => number >= 0) ? numbers : null;
}

// The fix of a picture drawn with at most four colours at indices above 3:
// the person chooses each colour's register; a copy holds them at 0 to 3.
function offerFix() {
  if (fixedCopy && fixedCopy.name === shown.inname) {
    const url = URL.createObjectURL(new Blob([fixedCopy.bytes], { type: 'image/bmp' }));
    downloadUrls.push(url);
    $('fixed-download').href = url;
    $('fixed-download').download = fixedCopy.name;
    $('fixed-name').textContent = `${fixedCopy.name}, each colour in the register you chose`;
    $('fixed').hidden = false;
    return;
  }
  const used = [...(bitmap && bitmap.counts ? bitmap.counts.keys() : [])].sort((a, b) => a - b);
  const header = shown.header;
  if (!header || !header.indexed || header.bits === 1 || shown.hires || used.length > 4 ||
      used.every((index) => index <= 3) || !bitmap.bytes) return;
  const codes = parseColours(shown.colours).map(({ code }) => code);
  const numbers = c64ColoursOf(used);
  const choices = $('choices');
  choices.replaceChildren();
  for (const [index, code] of defaultChoice(used, codes)) {
    const label = document.createElement('label');
    label.className = 'choice';
    const name = numbers ? `, C64 ${c64Colours[numbers[used.indexOf(index)]][0]}` : '';
    const select = document.createElement('select');
    select.dataset.index = index;
    registers(false).forEach((register, value) =>
      select.add(new Option(`${register.name} (${register.address})`, value)));
    select.value = code;
    if (numbers) select.addEventListener('change', () => offerSheetWay(used, numbers));
    label.append(...swatch(header.palette[index], `Palette index ${index}${name}`), select);
    choices.append(label);
  }
  $('fix-note').textContent = 'The picture has at most four colours, some at palette indices above 3, which ' +
    'Quorvel shows as the background. Choose the register each colour is to show in: a copy holds them at ' +
    'indices 0 to 3, each keeping its colour, and the colour arguments are set to match.';
  $('fix').hidden = false;
  if (numbers) offerSheetWay(used, numbers);
}

// For a picture in the C64's colours: quorvel-sheet converts the original by
// those colours, with the registers of the choice.
function offerSheetWay(used, numbers) {
  const chosen = choiceMade();
  const of = (code) => {
    const i = used.findIndex((index) => chosen.get(index) === code);
    return i >= 0 ? c64Colours[numbers[i]][0].replace(/ /g, '-') : null;
  };
  const words = [];
  for (const [option, code] of [['--background', 0], ['--multicolour1', 1], ['--multicolour2', 3]])
    if (of(code)) words.push(option, of(code));
  if (!of(0)) words.unshift('--background', 'black');
  const { inname, startaddress } = inputs();
  if (!noAddress(startaddress)) words.push('--address', startaddress);
  $('sheet-command').textContent = commandLine('quorvel-sheet', [...words, inname, outputName(inname, startaddress)]);
  $('sheet-way').hidden = false;
}

function choiceMade() {
  return new Map([...$('choices').querySelectorAll('select')].map((select) =>
    [Number(select.dataset.index), Number(select.value)]));
}

// Makes the copy (where a colour is above 3), sets the colour arguments and,
// for a picture in the C64's colours, each register to its colour.
function useChoice() {
  const chosen = [...choiceMade()];
  const used = chosen.map(([index]) => index);
  const numbers = c64ColoursOf(used);
  const made = applyChoice(bitmap.bytes, chosen);
  made.codes.forEach((code, i) => { $(`colour${i + 1}`).value = String(code); });
  if (numbers) chosen.forEach(([, code], i) => setRegister(registers(false)[code].id, numbers[i], true));
  if (made.copied) {
    const name = bitmap.name.replace(/(\.[^.]*)?$/, '-indexed.bmp');
    fixedCopy = { name, bytes: made.bytes };
    usePicture(name, made.bytes, null, () => startRun(true));
  } else {
    startRun(true);
  }
}

// Every run that wrote bytes offers them for download, however many.
function showBytes() {
  const output = shown ? shown.output : null;
  $('download').hidden = output === null;
  $('download-name').textContent = '';
  $('hexdump').textContent = output === null ? (shown ? '(no output file)' : '')
    : hexDump(output, narrow.matches ? 8 : 16);
  if (output === null) return;
  offerDownload($('download'), output, shown.outname, 'application/octet-stream');
  $('download').textContent = `Download ${shown.outname}`;
  $('download-name').textContent = `${grouped(output.length)} bytes`;
}

// A link that downloads `bytes` as `name`: its address is made when it is
// first followed, so that showing a result makes none.
function offerDownload(link, bytes, name, type) {
  link.download = name;
  link.removeAttribute('href');
  link.setAttribute('role', 'link');
  link.tabIndex = 0;
  link.onclick = () => {
    if (link.href) return;
    const url = URL.createObjectURL(new Blob([bytes], { type }));
    downloadUrls.push(url);
    link.href = url;
  };
  link.onkeydown = (event) => {
    if (event.key === 'Enter' && !link.href) link.click();
  };
}

function chosenColour(registerId) {
  return c64Colours[$(registerId).value][1];
}

// A sprite's 63 bytes drawn as a C64 shows them, in the colours of the
// registers (`colours`: C64 colour numbers by code): a pixel a pixel of a
// 24 by 21 canvas (the page scales it), else each pixel a square.
function paintSprite(canvas, sprite, hires, colours) {
  const context = canvas.getContext('2d');
  const size = canvas.width / 24;
  const codes = spriteCodes(sprite, hires);
  if (size === 1) {
    const rgb = colours.map((number) => parseInt(c64Colours[number][1].slice(1), 16));
    const image = context.createImageData(24, 21);
    let at = 0;
    for (const row of codes)
      for (const code of row) {
        const colour = rgb[code];
        image.data[at++] = colour >> 16;
        image.data[at++] = colour >> 8 & 255;
        image.data[at++] = colour & 255;
        image.data[at++] = 255;
      }
    context.putImageData(image, 0, 0);
    return;
  }
  codes.forEach((row, y) => row.forEach((code, x) => {
    context.fillStyle = c64Colours[colours[code]][1];
    context.fillRect(x * size, y * size, size, size);
  }));
}

// The sprite bytes of the output as the C64 draws them: 21 rows of 3 bytes
// after the load address, if any.
function drawSprite() {
  const canvas = $('sprite');
  const output = shown && shown.output;
  canvas.hidden = !output;
  $('sprite-note').hidden = !!output;
  if (!output) return;
  const start = noAddress(shown.startaddress) ? 0 : 2;
  const colours = registers(shown.hires).map((register) => Number($(register.id).value));
  paintSprite(canvas, output.subarray(start, start + 63), shown.hires, colours);
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

function hiresNow() {
  return shown ? shown.hires : Boolean(bitmap && bitmap.mode === 'hires');
}

// One row for each palette index the sprite reads: its colour in the bitmap,
// the argument, the code, the C64 register and the colour chosen for it; and
// one for each used index above 3, with what it becomes.
function showMapping() {
  // Between runs, the mode the program read in its last run of this bitmap.
  const hires = hiresNow();
  for (const register of registers(false))
    $(register.id).closest('.register').hidden =
      (hires && register.id.startsWith('multicolour')) || (sheetView && byColour() && register.id === 'spritecolour');
  const body = $('mapping').tBodies[0];
  body.replaceChildren();
  if (!shown) {
    $('mapping-note').textContent = hires
      ? 'A 1-bit bitmap becomes a hires sprite: palette index 0 or 1 shows the background or the sprite colour, as Colour 1 and Colour 2 say (0 the background, anything else the sprite colour); Colour 3 and Colour 4 play no part.'
      : 'Quorvel reads only each pixel\'s palette index. Colour 1 to Colour 4 give the code of palette indices 0 to 3, and the code selects the C64 colour register that shows it.';
    return;
  }
  const palette = (shown.header || {}).palette || [];
  const colours = parseColours(shown.colours);
  const rows = mappingRows(shown.hires, palette, shown.settings, colours);
  for (const row of rows) addMappingRow(body, row, [
    [`${row.argument} = ${row.text === '' ? '(empty)' : row.text}`], [codeText(row, shown.hires)]]);
  const codes = colours.map(({ code }) => code);
  for (const index of aboveThree()) {
    const code = codeOf(index, codes, false);
    const acts = (index & 15) <= 3 ? `acts as index ${index & 15} (its low four bits)` : 'above 3: none';
    addMappingRow(body, { index, bitmapColour: palette[index] || null, register: registers(false)[code] || null },
      [[acts], [`${code} (${code.toString(2).padStart(2, '0')})`]]);
  }
  $('mapping-note').textContent = shown.hires
    ? 'A hires sprite: palette index 0 or 1 shows the background or the sprite colour (any code but 0); Colour 3 and Colour 4 play no part.'
    : 'Each palette index 0 to 3 gets the code its colour argument gives; the indices above 3 that the picture uses show the background.';
}

// The used palette indices above 3 of a multicolour picture.
function aboveThree() {
  if (!shown || shown.hires || !bitmap || !bitmap.counts) return [];
  return [...bitmap.counts.keys()].filter((index) => index > 3).sort((a, b) => a - b);
}

function addMappingRow(body, row, middle) {
  const cells = [
    row.bitmapColour ? swatch(row.bitmapColour, String(row.index)) : [String(row.index)],
    ...middle,
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

function codeText(row, hires) {
  const notes = { 'not-a-number': ' (not a number)', negative: ' (negative)', 'too-large': ' (too large)' };
  const note = notes[row.kind] || '';
  if (hires) return `${row.code === 0 ? 0 : 1}${note}`;
  return `${row.code} (${row.code.toString(2).padStart(2, '0')})${note}`;
}

// The picture as the worker read it: the index view drawn there, and its
// palette, the entries it uses first and the rest folded away.
function showBitmap() {
  const { header, shape, view } = bitmap;
  const canvas = $('bitmap-view');
  $('palette').replaceChildren();
  $('palette-unused').replaceChildren();
  $('palette-rest').hidden = true;
  if (!header || !view) {
    canvas.hidden = $('marks').hidden = true;
    const size = shape.kind ? `${shape.width} by ${shape.height} pixels` : '';
    $('bitmap-note').textContent = shape.kind === 'png' ? `A PNG of ${size}: its pixels are read by their colours.`
      : header ? `A ${header.bits}-bit bitmap of ${size}: the page shows the palette indices of indexed, uncompressed bitmaps of up to 512 by 512 only.`
        : 'Not a BMP file: the findings say what to do.';
    return;
  }
  $('bitmap-note').textContent = `${header.width} by ${Math.abs(header.height)} pixels, ${header.bits} ${header.bits === 1 ? 'bit' : 'bits'} a pixel.`;
  canvas.width = view.width;
  canvas.height = view.height;
  canvas.getContext('2d').drawImage(view, 0, 0);
  canvas.hidden = $('marks').hidden = false;
  const numbers = c64Numbers(header.paletteRgb);
  header.palette.forEach((colour, index) => {
    const item = document.createElement('li');
    const pixels = bitmap.counts.get(index);
    const named = numbers[index] >= 0 ? `, C64 ${c64Colours[numbers[index]][0]}` : '';
    item.append(...swatch(colour, `${index}: ${colour}${named}${pixels ? `, ${grouped(pixels)} pixels` : ''}`));
    (pixels ? $('palette') : $('palette-unused')).append(item);
  });
  const rest = $('palette-unused').children.length;
  $('palette-rest').hidden = rest === 0;
  $('palette-rest').querySelector('summary').textContent =
    `The ${rest} ${rest === 1 ? 'entry' : 'entries'} the picture does not use`;
}

// Sets a register's colour: a preset only where the person has not set it.
function setRegister(id, number, byPerson = false) {
  if (!byPerson && touched.has(id)) return;
  if (byPerson) touched.add(id);
  $(id).value = String(number);
}

// The registers in the C64 colours the picture shows there.
function presetRegisters() {
  const { header, counts } = bitmap;
  if (!header || !header.paletteRgb || counts.size === 0) return;
  const codes = [1, 2, 3, 4].map((i) => Number($(`colour${i}`).value) & 255);
  const presets = registerPresets(header, counts, codes, header.bits === 1);
  if (presets) for (const [id, number] of Object.entries(presets)) setRegister(id, number);
}

// The picture is read in the worker; `then` runs once it is shown. `bytes`:
// the picture's, or null for a large file the worker reads itself.
function usePicture(name, bytes, file, then) {
  // The same picture read again keeps its view; a new one is taken by its size.
  const again = bitmap && bitmap.name === name && bitmap.file === file && file !== null;
  const mode = bitmap && bitmap.name === name ? bitmap.mode : null;  // until the program says
  const picture = { name, key: ++pictures, bytes, size: bytes ? bytes.length : file.size, file, mode, shape: null };
  bitmap = picture;
  handOver(picture.key, bytes, file);
  ask({ type: 'inspect', name }, (message) => {
    if (bitmap !== picture) return;
    if (message.type === 'failure') {
      $('bitmap-note').textContent = `${message.reason}. Pick it again.`;
      return;
    }
    Object.assign(picture, { shape: message.shape, header: message.header, counts: new Map(message.counts),
                             census: message.census, view: message.view });
    if (!again) $('view').value = holdsSheet(picture.shape) ? 'sheet' : 'single';
    showView();
    showBitmap();
    then();
  });
}

// The single sprite's view (quorvel), or the sheet's (quorvel-sheet): as
// chosen, at first by the picture's size.
function showView() {
  sheetView = $('view').value === 'sheet';
  for (const part of document.querySelectorAll('.single')) part.hidden = sheetView;
  for (const part of document.querySelectorAll('.sheet')) part.hidden = !sheetView;
  showColourWay();
  showResult(null);
  clearSheet();
  if (bitmap && bitmap.shape) {
    if (sheetView) presetSheet();
    else presetRegisters();
  }
  showMapping();
}

// Nothing of the picture before stays on screen while the new one is read.
function pick(file) {
  fixedCopy = null;
  bitmap = null;
  if (running) stopWorker();
  clearTimeout(liveTimer);
  showResult(null);
  clearSheet();
  $('bitmap-view').hidden = $('marks').hidden = true;
  $('palette').replaceChildren();
  $('palette-rest').hidden = true;
  $('bitmap-note').textContent = 'Reading the picture…';
  $('progress').textContent = '';
  const picked = ++picks;
  if (file.size > heldByWorker) {
    usePicture(file.name, null, file, () => startRun(false));
    return;
  }
  file.arrayBuffer().then((buffer) => {
    if (picked !== picks) return;  // another picture was picked since
    usePicture(file.name, new Uint8Array(buffer), file, () => startRun(false));
  }, (error) => {
    if (picked !== picks) return;
    $('bitmap-note').textContent = `The picture could not be read (${error.name}). Pick it again.`;
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
    select.addEventListener('change', () => {
      touched.add(register.id);
      registerChanged();
    });
    label.append(`${register.name} (${register.address}) `, select);
    fieldset.append(label);
  }
}

function registerChanged() {
  if (sheetView) {
    if (byColour()) changed();
    else drawCells();
    return;
  }
  showMapping();
  drawSprite();
}

$('arguments').addEventListener('submit', convert);
$('view').addEventListener('change', () => {
  showView();
  changed();
});
$('cancel').addEventListener('click', cancel);
$('apply-choice').addEventListener('click', useChoice);
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
