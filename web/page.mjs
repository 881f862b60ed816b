// The page: picks the picture, has the worker tell what it holds and run the
// programs whenever an input changes, and shows which colour lands in which
// C64 register, what is wrong and how to fix it, what the program printed and
// the sprite it wrote. What the programs did it reads from their JSON
// documents. A sheet of many sprites has its own view (sheet.mjs); what is
// pure is in logic.mjs, what the page holds in state.mjs.
import { ask, handOver, longRun, setRunning, startChannel, stopWorker } from './channel.mjs';
import { chosenColour, chosenName, offerDownload, paintSprite, setRegister, swatch } from './draw.mjs';
import {
  choiceMoves, codeOf, commandLine, defaultChoice, grouped, hexDump, holdsSheet, mappingRows, noAddress,
  outputName, registerPresets, registers,
} from './logic.mjs';
import {
  byColour, clearSheet, drawCells, fillPalettes, presetSheet, sheetHooks, showColourWay, showSheetCommand,
  startSheetRun,
} from './sheet.mjs';
import { closeProject, isProject, openProject } from './project.mjs';
import { $, largePicture, state } from './state.mjs';

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

const settingIds = ['startaddress', 'zerobyte', 'colour1', 'colour2', 'colour3', 'colour4'];
const registerDefaults = { background: 6, multicolour1: 10, spritecolour: 1, multicolour2: 8 };
const narrow = matchMedia('(max-width: 34rem)');
// A picture larger than this is handed to the worker, which keeps it: a copy
// of it would hold up the page's thread.
const heldByWorker = 1 << 20;
// The C64's colours, once the programs have told them.
let colourTable = null;

function settings() {
  return settingIds.map((id) => $(id).value);
}

function inputs() {
  const inname = state.picture ? state.picture.name : 'ship.bmp';
  const startaddress = $('startaddress').value;
  return { inname, outname: outputName(inname, startaddress), startaddress, settings: settings() };
}

function showCommand() {
  const { inname, outname, settings: words } = inputs();
  $('command').textContent = commandLine('quorvel', [inname, outname, ...words]);
  if (state.sheetView) showSheetCommand();
}

// A run of the inputs as they are now. An explicit Convert moves the focus to
// the result when it is shown; a run started by a change leaves it alone.
// `started`: when the change that asks for it happened; `reread`: whether
// the picked file is read again first (Convert does, once).
function startRun(explicit, started = performance.now(), reread = explicit) {
  clearTimeout(state.liveTimer);
  if (longRun()) stopWorker();
  showCommand();
  if (!state.picture || !state.picture.facts) {
    if (explicit) {
      $('progress').textContent = 'Pick a bitmap first.';
      $('bitmap').focus();
    }
    return;
  }
  if (state.sheetView) {
    startSheetRun(explicit, started);
    return;
  }
  showResult(null);
  const run = { explicit, started, large: state.picture.size > largePicture, ...inputs() };
  setRunning(run);
  $('progress').textContent = 'Converting…';
  // Convert reads the picked file again, so that a bitmap saved anew is
  // converted as it is now (a large one the worker reads anew); a change
  // converts the bytes read at the pick.
  if (reread && state.picture.file && !state.picture.bytes) {
    usePicture(state.picture.name, null, state.picture.file, () => startRun(true, started, false));
    return;
  }
  const read = reread && state.picture.file ? state.picture.file.arrayBuffer() : Promise.resolve(null);
  read.then((buffer) => {
    if (state.running !== run) return;  // cancelled, or another run started
    if (buffer && !sameBytes(state.picture.bytes, new Uint8Array(buffer))) {
      usePicture(state.picture.name, new Uint8Array(buffer), state.picture.file, () => startRun(true, started, false));
      return;
    }
    run.key = state.picture.key;
    run.facts = state.picture.facts;
    const { inname, outname, settings: words } = run;
    run.id = ask({ type: 'run', inname, outname, settings: words }, (message) => finished(run, message));
  }, (error) => {
    if (state.running !== run) return;
    setRunning(null);
    $('progress').textContent = `The bitmap could not be read (${error.name}): it has changed or ` +
      'gone since it was picked. Pick it again.';
  });
}

function sameBytes(one, other) {
  return one.length === other.length && one.every((byte, i) => byte === other[i]);
}

function finished(run, message) {
  if (state.running !== run) return;  // stale: another run started since
  setRunning(null);
  if (message.type === 'failure') {
    $('progress').textContent = 'The program could not run: ' + message.reason;
    return;
  }
  // The mode is what quorvel-check says the converter makes of the file.
  const mode = message.check.sprite;
  if (state.picture && state.picture.key === run.key) state.picture.mode = mode;
  showResult({ ...message, ...run, hires: mode === 'hires' });
}

function convert(event) {
  event.preventDefault();
  if (!state.running) startRun(true);
}

// Every change converts again: at once, or for a large bitmap a moment after
// the typing stops. No line says done while no result is shown.
function changed() {
  const started = performance.now();
  showCommand();
  clearTimeout(state.liveTimer);
  if (longRun()) stopWorker();
  setRunning(null);
  if (!state.sheetView) showResult(null);
  $('progress').textContent = '';
  if (state.picture && state.picture.size > largePicture) state.liveTimer = setTimeout(() => startRun(false), 150);
  else startRun(false, started);
}

function cancel() {
  stopWorker();
  $('progress').textContent = 'Cancelled.';
  $('convert').focus();
}

// The result of a run, or none (while one is under way, or after an input changed).
function showResult(result) {
  state.shown = result;
  for (const url of state.downloadUrls) URL.revokeObjectURL(url);
  state.downloadUrls = [];
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
  $('console').textContent = state.shown ? decode(state.shown.console) + decode(state.shown.error) : '';
}

function showFindings() {
  const list = $('findings');
  list.replaceChildren();
  $('status').textContent = '';
  $('status').className = '';
  $('fix').hidden = $('fixed').hidden = $('sheet-way').hidden = true;
  if (!state.shown) return;
  const found = state.shown.check.findings;
  for (const { severity, message } of found) {
    const item = document.createElement('li');
    item.className = severity;
    const label = document.createElement('strong');
    label.textContent = severity === 'error' ? 'Refused: ' : 'Warning: ';
    item.append(label, message.charAt(0).toUpperCase() + message.slice(1) + '.');
    list.append(item);
  }
  const differs = found.length > 0 && state.shown.status === 0;
  const meaning = differs ? 'the sprite was written, but it differs from the picture: see the findings above'
    : statusMeanings[state.shown.status] || "the operating system's error number";
  $('status').textContent = `Exit status ${state.shown.status}: ${meaning}.`;
  $('status').className = state.shown.status === 0 && !differs ? 'done' : 'failed';
  offerFix();
}

// The picture's used colours as C64 colour numbers, where all of them are C64
// colours (quorvel-picture matches them).
function c64ColoursOf(used) {
  const facts = state.picture && state.picture.facts;
  if (!facts || !facts.c64 || used.some((index) => index >= facts.c64.length)) return null;
  const numbers = used.map((index) => facts.c64[index]);
  return numbers.every((number) => number >= 0) ? numbers : null;
}

// The fix of a picture drawn with at most four colours at indices above 3:
// the person chooses each colour's register; a copy holds them at 0 to 3.
function offerFix() {
  if (state.fixedCopy && state.fixedCopy.name === state.shown.inname) {
    const url = URL.createObjectURL(new Blob([state.fixedCopy.bytes], { type: 'image/bmp' }));
    state.downloadUrls.push(url);
    $('fixed-download').href = url;
    $('fixed-download').download = state.fixedCopy.name;
    $('fixed-name').textContent = `${state.fixedCopy.name}, each colour in the register you chose`;
    $('fixed').hidden = false;
    return;
  }
  const used = [...(state.picture && state.picture.counts ? state.picture.counts.keys() : [])].sort((a, b) => a - b);
  const facts = state.shown.facts;
  if (!facts || !facts.palette || facts.bits === 1 || state.shown.hires || used.length > 4 ||
      used.every((index) => index <= 3) || !state.picture.bytes) return;
  const codes = state.shown.colours.map(({ code }) => code);
  const numbers = c64ColoursOf(used);
  const choices = $('choices');
  choices.replaceChildren();
  for (const [index, code] of defaultChoice(used, codes)) {
    const label = document.createElement('label');
    label.className = 'choice';
    const name = numbers ? `, C64 ${state.c64Colours[numbers[used.indexOf(index)]][0]}` : '';
    const select = document.createElement('select');
    select.dataset.index = index;
    registers(false).forEach((register, value) =>
      select.add(new Option(`${register.name} (${register.address})`, value)));
    select.value = code;
    if (numbers) select.addEventListener('change', () => offerSheetWay(used, numbers));
    label.append(...swatch(facts.palette[index], `Palette index ${index}${name}`), select);
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
    return i >= 0 ? state.c64Colours[numbers[i]][0].replace(/ /g, '-') : null;
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
  const made = choiceMoves(chosen);
  made.codes.forEach((code, i) => { $(`colour${i + 1}`).value = String(code); });
  if (numbers) chosen.forEach(([, code], i) => setRegister(registers(false)[code].id, numbers[i], true));
  if (!made.copied) {
    startRun(true);
    return;
  }
  // The copy is made by quorvel-picture, which moves the entries with their pixels.
  const picture = state.picture;
  ask({ type: 'move', name: picture.name, moves: made.moves }, (message) => {
    if (state.picture !== picture) return;  // another picture since
    if (message.type === 'failure' || !message.bytes) {
      $('progress').textContent = 'The copy could not be made' + (message.reason ? `: ${message.reason}` : '.');
      return;
    }
    const name = picture.name.replace(/(\.[^.]*)?$/, '-indexed.bmp');
    state.fixedCopy = { name, bytes: message.bytes };
    usePicture(name, message.bytes, null, () => startRun(true));
  });
}

// Every run that wrote bytes offers them for download, however many.
function showBytes() {
  const output = state.shown ? state.shown.output : null;
  $('download').hidden = output === null;
  $('download-name').textContent = '';
  $('hexdump').textContent = output === null ? (state.shown ? '(no output file)' : '')
    : hexDump(output, narrow.matches ? 8 : 16);
  if (output === null) return;
  offerDownload($('download'), output, state.shown.outname, 'application/octet-stream');
  $('download').textContent = `Download ${state.shown.outname}`;
  $('download-name').textContent = `${grouped(output.length)} bytes`;
}

// The sprite bytes of the output as the C64 draws them: 21 rows of 3 bytes
// after the load address, if any.
function drawSprite() {
  const canvas = $('sprite');
  const output = state.shown && state.shown.output;
  canvas.hidden = !output;
  $('sprite-note').hidden = !!output;
  if (!output) return;
  const start = noAddress(state.shown.startaddress) ? 0 : 2;
  const colours = registers(state.shown.hires).map((register) => Number($(register.id).value));
  paintSprite(canvas, output.subarray(start, start + 63), state.shown.hires, colours);
}

function hiresNow() {
  if (state.sheetView) return $('mode').value === 'hires';
  return state.shown ? state.shown.hires : Boolean(state.picture && state.picture.mode === 'hires');
}

// One row for each palette index the sprite reads: its colour in the bitmap,
// the argument, the code, the C64 register and the colour chosen for it; and
// one for each used index above 3, with what it becomes.
function showMapping() {
  // Between runs, the mode the program read in its last run of this bitmap.
  const hires = hiresNow();
  for (const register of registers(false).filter(({ id }) => $(id)))
    $(register.id).closest('.register').hidden =
      (hires && register.id.startsWith('multicolour')) || (state.sheetView && byColour() && register.id === 'spritecolour');
  const body = $('mapping').tBodies[0];
  body.replaceChildren();
  if (!state.shown) {
    $('mapping-note').textContent = hires
      ? 'A 1-bit bitmap becomes a hires sprite: palette index 0 or 1 shows the background or the sprite colour, as Colour 1 and Colour 2 say (0 the background, anything else the sprite colour); Colour 3 and Colour 4 play no part.'
      : 'Quorvel reads only each pixel\'s palette index. Colour 1 to Colour 4 give the code of palette indices 0 to 3, and the code selects the C64 colour register that shows it.';
    return;
  }
  const palette = (state.shown.facts || {}).palette || [];
  const colours = state.shown.colours;
  const rows = mappingRows(state.shown.hires, palette, state.shown.settings, colours);
  for (const row of rows) addMappingRow(body, row, [
    [`${row.argument} = ${row.text === '' ? '(empty)' : row.text}`], [codeText(row, state.shown.hires)]]);
  const codes = colours.map(({ code }) => code);
  for (const index of aboveThree()) {
    const code = codeOf(index, codes, false);
    const acts = (index & 15) <= 3 ? `acts as index ${index & 15} (its low four bits)` : 'above 3: none';
    addMappingRow(body, { index, bitmapColour: palette[index] || null, register: registers(false)[code] || null },
      [[acts], [`${code} (${code.toString(2).padStart(2, '0')})`]]);
  }
  $('mapping-note').textContent = state.shown.hires
    ? 'A hires sprite: palette index 0 or 1 shows the background or the sprite colour (any code but 0); Colour 3 and Colour 4 play no part.'
    : 'Each palette index 0 to 3 gets the code its colour argument gives; the indices above 3 that the picture uses show the background.';
}

// The used palette indices above 3 of a multicolour picture.
function aboveThree() {
  if (!state.shown || state.shown.hires || !state.picture || !state.picture.counts) return [];
  return [...state.picture.counts.keys()].filter((index) => index > 3).sort((a, b) => a - b);
}

function addMappingRow(body, row, middle) {
  const cells = [
    row.bitmapColour ? swatch(row.bitmapColour, String(row.index)) : [String(row.index)],
    ...middle,
    [row.register ? `${row.register.name} (${row.register.address})` : 'none: a code above 3 spills into the next pixel'],
    row.register ? swatch(chosenColour(row.register.id), chosenName(row.register.id)) : ['—'],
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

// The picture as quorvel-picture told it: the index view the worker drew,
// and its palette, the entries it uses first and the rest folded away.
function showBitmap() {
  const { facts, view } = state.picture;
  const canvas = $('bitmap-view');
  $('palette').replaceChildren();
  $('palette-unused').replaceChildren();
  $('palette-rest').hidden = true;
  if (!view) {
    canvas.hidden = $('marks').hidden = true;
    $('bitmap-note').textContent = pictureNote(facts);
    return;
  }
  const bit = facts.bits === 1 ? 'bit' : 'bits';
  $('bitmap-note').textContent = `${facts.width} by ${facts.height} pixels, ${facts.bits} ${bit} a pixel.`;
  canvas.width = view.width;
  canvas.height = view.height;
  canvas.getContext('2d').drawImage(view, 0, 0);
  canvas.hidden = $('marks').hidden = false;
  facts.palette.forEach((colour, index) => {
    const item = document.createElement('li');
    const pixels = state.picture.counts.get(index);
    const named = facts.c64[index] >= 0 ? `, C64 ${state.c64Colours[facts.c64[index]][0]}` : '';
    item.append(...swatch(colour, `${index}: ${colour}${named}${pixels ? `, ${grouped(pixels)} pixels` : ''}`));
    (pixels ? $('palette') : $('palette-unused')).append(item);
  });
  const rest = $('palette-unused').children.length;
  $('palette-rest').hidden = rest === 0;
  $('palette-rest').querySelector('summary').textContent =
    `The ${rest} ${rest === 1 ? 'entry' : 'entries'} the picture does not use`;
}

// What the page says of a picture it draws no index view of.
function pictureNote(facts) {
  const size = `${facts.width} by ${facts.height} pixels`;
  if (facts.format === 'PNG') return `A PNG of ${size}: its pixels are read by their colours.`;
  if (facts.format !== 'BMP' || facts.width === 0) return 'Not a BMP file: the findings say what to do.';
  if (facts.refusal && [1, 4, 8].includes(facts.depth) && facts.width <= 512 && facts.height <= 512)
    return `A ${facts.depth}-bit bitmap of ${size} that cannot be read whole: the findings say what to do.`;
  return `A ${facts.depth}-bit bitmap of ${size}: the page shows the palette indices of indexed, ` +
    'uncompressed bitmaps of up to 512 by 512 only.';
}

// The registers in the C64 colours the picture shows there.
function presetRegisters() {
  const { facts, counts } = state.picture;
  if (!facts.c64 || counts.size === 0) return;
  const codes = [1, 2, 3, 4].map((i) => Number($(`colour${i}`).value) & 255);
  const presets = registerPresets(facts.c64, counts, codes, facts.bits === 1);
  if (presets) for (const [id, number] of Object.entries(presets)) setRegister(id, number);
}

// The picture is read in the worker; `then` runs once it is shown. `bytes`:
// the picture's, or null for a large file the worker reads itself.
function usePicture(name, bytes, file, then) {
  // The same picture read again keeps its view; a new one is taken by its size.
  const again = state.picture && state.picture.name === name && state.picture.file === file && file !== null;
  const mode = state.picture && state.picture.name === name ? state.picture.mode : null;  // until the program says
  const picture = { name, key: ++state.pictures, bytes, size: bytes ? bytes.length : file.size, file, mode, facts: null };
  state.picture = picture;
  handOver(picture.key, bytes, file);
  ask({ type: 'inspect', name }, (message) => colourTable.then(() => {
    if (state.picture !== picture) return;
    if (message.type === 'failure') {
      $('bitmap-note').textContent = `${message.reason}. Pick it again.`;
      return;
    }
    Object.assign(picture, { facts: message.facts, counts: new Map(message.facts.counts || []),
                             view: message.view });
    if (!again) $('view').value = holdsSheet(picture.facts) ? 'sheet' : 'single';
    showView();
    showBitmap();
    then();
  }));
}

// The single sprite's view (quorvel), or the sheet's (quorvel-sheet): as
// chosen, at first by the picture's size.
function showView() {
  state.sheetView = $('view').value === 'sheet';
  for (const part of document.querySelectorAll('.single')) part.hidden = state.sheetView;
  for (const part of document.querySelectorAll('.sheet')) part.hidden = !state.sheetView;
  showColourWay();
  showResult(null);
  clearSheet();
  if (state.picture && state.picture.facts) {
    if (state.sheetView) presetSheet();
    else presetRegisters();
  }
  showMapping();
}

// Nothing of the picture before stays on screen while the new one is read.
function pick(file) {
  state.fixedCopy = null;
  state.picture = null;
  if (state.running) stopWorker();
  clearTimeout(state.liveTimer);
  showResult(null);
  clearSheet();
  $('bitmap-view').hidden = $('marks').hidden = true;
  $('palette').replaceChildren();
  $('palette-rest').hidden = true;
  $('bitmap-note').textContent = 'Reading the picture…';
  $('progress').textContent = '';
  const picked = ++state.picks;
  if (file.size > heldByWorker) {
    usePicture(file.name, null, file, () => startRun(false));
    return;
  }
  file.arrayBuffer().then((buffer) => {
    if (picked !== state.picks) return;  // another picture was picked since
    usePicture(file.name, new Uint8Array(buffer), file, () => startRun(false));
  }, (error) => {
    if (picked !== state.picks) return;
    $('bitmap-note').textContent = `The picture could not be read (${error.name}). Pick it again.`;
  });
}

// The register choices, in the C64's colours as the programs know them.
function fillColourChoices(colours) {
  state.c64Colours = colours;
  const fieldset = $('registers');
  for (const register of registers(false)) {
    const label = document.createElement('label');
    label.className = 'register';
    const select = document.createElement('select');
    select.id = register.id;
    colours.forEach(([name], value) => select.add(new Option(`${value} ${name}`, value)));
    select.value = registerDefaults[register.id];
    select.addEventListener('change', () => {
      state.touched.add(register.id);
      registerChanged();
    });
    label.append(`${register.name} (${register.address}) `, select);
    fieldset.append(label);
  }
  showMapping();
}

function registerChanged() {
  if (state.sheetView) {
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
// A project file with its pictures, or one picture.
function picked(files) {
  if (!files.length) return;
  if (isProject(files)) {
    showProjectView(true);
    openProject(files, () => {});
    return;
  }
  showProjectView(false);
  pick(files[0]);
}

// The project's view, in place of the picture's: only the file input stays.
function showProjectView(on) {
  if (!on) closeProject();
  else {
    if (state.running) stopWorker();
    state.picture = null;
    showResult(null);
    clearSheet();
  }
  for (const part of document.querySelectorAll('.project')) part.hidden = !on;
  for (const part of document.querySelectorAll('#arguments > .field:not(.wide), #arguments > .buttons, #registers-section'))
    part.hidden = on;
  if (on) for (const part of document.querySelectorAll('.single, .sheet')) part.hidden = true;
  else showView();
}

$('bitmap').addEventListener('change', () => picked($('bitmap').files));
settingIds.forEach((id) => $(id).addEventListener('input', changed));
narrow.addEventListener('change', showBytes);
document.addEventListener('dragover', (event) => event.preventDefault());
document.addEventListener('drop', (event) => {
  event.preventDefault();
  picked(event.dataTransfer.files);
});
sheetHooks.changed = changed;
sheetHooks.showMapping = showMapping;
startChannel();
colourTable = new Promise((resolve) => ask({ type: 'table' }, (message) => {
  fillColourChoices(message.colours);
  fillPalettes(message.palettes);
  resolve();
}));
showMapping();
showCommand();
