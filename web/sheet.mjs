// The page's view of a sheet: quorvel-sheet's options as inputs, every cell's
// sprite as a C64 shows it with its findings, the chosen frames one after
// another, the blocks and the labels to download, and the command line. The
// worker runs quorvel-sheet itself, and what it did comes from its JSON
// document; nothing here converts.
import { ask, setRunning } from './channel.mjs';
import { chosenName, offerDownload, paintSprite, setRegister } from './draw.mjs';
import { cellPicture, drawSheetPicture, listSheetFindings, readSheetImage } from './grid.mjs';
import {
  censusPresets, commandLine, grouped, labelName, noAddress, sheetGrid, sheetProject, sheetProposal, sheetWords,
} from './logic.mjs';
import { $, largePicture, state } from './state.mjs';

// What the sheet's view asks of the page's: filled by page.mjs.
export const sheetHooks = { changed: () => {}, showMapping: () => {} };

const sheetIds = ['cell', 'origin', 'spacing', 'frames', 'mode', 'way', 'codes', 'sheet-address', 'sheet-name',
                  'labels-syntax', 'tables', 'sheet-palette', 'frame-rate'];
// The inputs that move the grid: it follows them at once, before the run.
const gridIds = new Set(['cell', 'origin', 'spacing']);
// The findings that say the grid is not the one the sheet was drawn on.
const wrongGrid = new Set(['outside-every-cell', 'drawing-crosses-cell-edge', 'outside-sprite']);
// Cells shown at most: a sheet of thousands lists the first ones.
const mostCells = 64;
const reducedMotion = matchMedia('(prefers-reduced-motion: reduce)');
let animation = { timer: 0, frame: 0, paused: reducedMotion.matches };

export function byColour() {
  return $('way').value === 'colour';
}

// The codes are an input of the sheet by palette index only.
export function showColourWay() {
  $('codes').closest('.field').hidden = !state.sheetView || byColour();
  $('sheet-palette').closest('.field').hidden = !state.sheetView || !byColour();
}

// The published palettes, by name, as the programs know them.
export function fillPalettes(names) {
  for (const name of names || []) {
    const option = document.createElement('option');
    option.value = option.textContent = name;
    $('sheet-palette').append(option);
  }
}

function sheetOptions() {
  return {
    cell: $('cell').value, origin: $('origin').value, spacing: $('spacing').value, frames: $('frames').value,
    hires: $('mode').value === 'hires', byColour: byColour(), codes: $('codes').value,
    background: colourName('background'), multicolour1: colourName('multicolour1'),
    multicolour2: colourName('multicolour2'),
    address: $('sheet-address').value,
    name: $('sheet-name').value.trim(), syntax: $('labels-syntax').value, palette: $('sheet-palette').value,
  };
}

// A register's C64 colour as quorvel-sheet takes its name: "light-blue".
function colourName(id) {
  return chosenName(id).replace(/ /g, '-');
}

// The names of what quorvel-sheet writes for this picture.
function sheetNames() {
  const base = $('sheet-name').value.trim() || state.picture.name.replace(/\.[^.]*$/, '') || 'sheet';
  const blocks = base + (noAddress($('sheet-address').value) ? '.spr' : '.prg');
  const c = $('labels-syntax').value === 'c';
  return {
    blocks: blocks === state.picture.name ? base + '-sprites.spr' : blocks, labels: base + (c ? '.h' : '.inc'),
    tables: $('tables').value ? base + (c ? '-tables.h' : '-tables.asm') : '', project: base + '.toml',
    name: labelName($('sheet-name').value.trim() || state.picture.name),
  };
}

// Tables, and labels for C, only a project file writes: the sheet is then
// made through one of its own.
function throughProject() {
  return $('tables').value !== '' || $('labels-syntax').value === 'c';
}

// The project file of the sheet as the inputs say.
function projectText() {
  const names = sheetNames();
  const cells = $('frames').value.trim() || `0-${Math.max(0, cellCount() - 1)}`;
  return sheetProject(sheetOptions(), state.picture.name, { ...names, cells });
}

export function showSheetCommand() {
  if (!state.picture) return;
  const { blocks, labels, project } = sheetNames();
  const words = sheetWords(sheetOptions());
  $('sheet-command-line').textContent = throughProject() ? commandLine('quorvel-sheet', [project])
    : commandLine('quorvel-sheet', [...words, '--labels', labels, state.picture.name, blocks]);
  $('project-download').hidden = !state.picture.facts;
  if (!state.picture.facts) return;
  offerDownload($('project-download'), new TextEncoder().encode(projectText()), project, 'text/plain');
  $('project-download').textContent = `Save as a project (${project})`;
}

// The registers, the way of giving colours and the kind of sprite for the
// picture just read: as the page proposes them, saying why.
export function presetSheet() {
  const { facts } = state.picture;
  const proposal = sheetProposal(facts);
  $('way').value = proposal.byColour ? 'colour' : 'index';
  $('way').querySelector('option[value=index]').disabled = !facts.bits;
  $('mode').value = proposal.hires ? 'hires' : 'multicolour';
  const why = [];
  if (facts.bits && proposal.byColour) why.push('its palette holds C64 colours, so it is read by C64 colour, whatever the order of its entries');
  if (proposal.hires && facts.bits !== 1) why.push('it has two colours, so it makes hires sprites');
  $('sheet-proposal').textContent = why.length ? `Proposed for this picture: ${why.join('; ')}.` : '';
  showColourWay();
  presetRegisters();
  readSheetImage();
}

// The registers by C64 colour from the picture's colours, but those the person set.
function presetRegisters() {
  const presets = censusPresets(sheetProposal(state.picture.facts).census);
  for (const [id, number] of Object.entries(presets)) setRegister(id, number);
  sheetHooks.showMapping();
}

// Runs quorvel-sheet as the inputs say, for the download; then, for the view
// of every cell, over all cells, and where some cells have findings over the
// others, so that their sprites show too.
export function startSheetRun(explicit, started) {
  clearSheet();
  showSheetCommand();
  const run = { explicit, started, large: state.picture.size > largePicture, options: sheetOptions(), ...sheetNames(),
                projectText: throughProject() ? projectText() : '' };
  setRunning(run);
  $('progress').textContent = 'Converting…';
  const words = sheetWords(run.options);
  // The cells shown: the first 64 at most.
  const allCells = sheetWords({ ...run.options, frames: `0-${Math.max(0, Math.min(cellCount(), mostCells) - 1)}` });
  const grid = { words: allCells, outname: 'cells.spr', labels: 'cells.inc' };
  const runs = [{ words, outname: run.blocks, labels: run.labels }];
  if (run.options.frames !== '' || cellCount() > mostCells) runs.push(grid);
  run.id = ask({ type: 'sheet', name: state.picture.name, runs }, (message) => {
    if (state.running !== run) return;
    if (message.type === 'failure') return sheetFailed(message);
    const [chosen, all = chosen] = message.runs;  // with all frames, the grid's run is the user's
    run.chosen = chosen;
    run.cellFindings = all.report.findings;
    const clean = cleanCells(all, run.cellFindings);
    if (all.status === 0 || clean.length === 0) return withProject(run, () => sheetFinished(run, all, null));
    const again = { ...grid, words: [...grid.words, '--frames', clean.join(',')] };
    run.id = ask({ type: 'sheet', name: state.picture.name, runs: [again] }, (second) => {
      if (state.running !== run) return;
      if (second.type === 'failure') return sheetFailed(second);
      withProject(run, () => sheetFinished(run, second.runs[0], clean));
    });
  });
}

// Through a project, its run (`run.made`) before the view shows; else at once.
function withProject(run, then) {
  if (!throughProject()) return then();
  const name = run.project;
  const take = (bytes) => {
    run.id = ask({ type: 'project', name, bytes: new TextEncoder().encode(run.projectText),
                   pictures: { [state.picture.name]: bytes } }, (message) => {
      if (state.running !== run) return;
      if (message.type === 'failure') return sheetFailed(message);
      run.made = message;
      then();
    });
  };
  if (state.picture.bytes) take(state.picture.bytes);
  else state.picture.file.arrayBuffer().then((buffer) => state.running === run && take(new Uint8Array(buffer)));
}

// The cells shown without a finding, where the run over them found some.
function cleanCells(all, found) {
  if (all.status !== 1) return [];
  const count = Math.min(cellCount(), mostCells);
  const bad = new Set(found.map(({ cell }) => cell));
  return Array.from({ length: count }, (_, cell) => cell).filter((cell) => !bad.has(cell));
}

// The cells of the grid: the picture's whole cells, as quorvel-sheet counts them.
function cellCount() {
  const { facts } = state.picture;
  return sheetGrid($('cell').value, $('origin').value, $('spacing').value, facts.width, facts.height).count;
}

// Each frame's own colour, by C64 colour (by palette index quorvel-sheet gives none).
function frameColours(report) {
  return (report.frames || []).map(({ colour }) => (colour === null ? undefined : colour));
}

function sheetFailed(message) {
  setRunning(null);
  $('progress').textContent = 'The program could not run: ' + message.reason;
}

// What the runs gave: `grid` holds the sprites of every cell, or of the
// cells in `only`.
function sheetFinished(run, grid, only) {
  setRunning(null);
  const colours = frameColours(grid.report);
  const sprites = new Map();
  const cells = only || Array.from({ length: Math.min(cellCount(), mostCells) }, (_, cell) => cell);
  const start = grid.output && grid.output.length % 64 === 2 ? 2 : 0;  // after a load address
  cells.forEach((cell, n) => {
    if (grid.output && cell < mostCells)
      sprites.set(cell, { bytes: grid.output.subarray(start + 64 * n, start + 64 * n + 63), colour: colours[n] });
  });
  state.sheetShown = { ...run, sprites, count: cellCount() };
  showSheet();
  $('progress').textContent = `Done in ${Math.round(performance.now() - run.started)} ms.`;
  if (run.explicit) $('sheet').focus();
}

function showSheet() {
  const { chosen } = state.sheetShown;
  const written = chosen.status === 0;
  const frames = written ? chosen.output.length / 64 | 0 : 0;
  const meanings = {
    0: `${frames} ${frames === 1 ? 'sprite' : 'sprites'} written`,
    1: 'cells have findings (below each cell), and nothing was written',
    2: 'quorvel-sheet cannot convert with these inputs: it says why below',
  };
  $('sheet-status').textContent = `Exit status ${chosen.status}: ${meanings[chosen.status] || 'see below'}.`;
  $('sheet-status').className = written ? 'done' : 'failed';
  // What quorvel-sheet said: its findings' lines, made from its report, and its refusal.
  const { report } = chosen;
  $('sheet-console').textContent =
    report.findings.map(({ severity, message }) => `${report.file}: ${severity}: ${message}\n`).join('') + chosen.error;
  // through a project, what it said where it wrote nothing
  const { made } = state.sheetShown;
  if (made && made.status !== 0) {
    $('sheet-status').textContent = `Exit status ${made.status} of the project: nothing was written; it says why below.`;
    $('sheet-status').className = 'failed';
    $('sheet-console').textContent += made.error +
      made.report.findings.map(({ file, severity, message }) => `${file}: ${severity}: ${message}\n`).join('');
  }
  $('sheet-console').hidden = $('sheet-console-heading').hidden = $('sheet-console').textContent === '';
  offerSheetDownloads(chosen);
  drawCells();
  drawSheetPicture();
  listSheetFindings();
  offerGrid();
  startAnimation();
}

// The grid quorvel-picture sees in the sheet, where the run over these
// inputs says that theirs is not the one the sheet was drawn on: offered,
// never taken by itself.
function offerGrid() {
  const proposal = state.picture.facts.grid;
  const { cellFindings, chosen } = state.sheetShown;
  const current = { cell: $('cell').value, origin: $('origin').value, spacing: $('spacing').value };
  const differs = proposal && Object.keys(current).some((key) => proposal[key] !== current[key]);
  const offer = differs && [...cellFindings, ...chosen.report.findings].some(({ kind }) => wrongGrid.has(kind));
  $('grid-proposal').hidden = !offer;
  if (offer)
    $('grid-proposal-text').textContent = `The drawings seem to lie in cells of ${proposal.cell} from ` +
      `${proposal.origin}, with a spacing of ${proposal.spacing}; the grid of these inputs leaves some of ` +
      'them outside their cells.';
}

function useGrid() {
  const { grid } = state.picture.facts;
  $('cell').value = grid.cell;
  $('origin').value = grid.origin;
  $('spacing').value = grid.spacing;
  $('grid-proposal').hidden = true;
  drawSheetPicture();
  sheetHooks.changed();
}

function offerSheetDownloads(chosen) {
  const written = chosen.status === 0;
  const { blocks, labels, tables, made } = state.sheetShown;
  const file = (name) => (made && made.status === 0 ? made.files[name] : null);
  // through a project, its files; else the command line's
  const offers = made ? [['sheet-download', file(blocks), blocks, 'application/octet-stream'],
                         ['labels-download', file(labels), labels, 'text/plain'],
                         ['tables-download', file(tables), tables, 'text/plain']]
    : [['sheet-download', chosen.output, blocks, 'application/octet-stream'],
       ['labels-download', chosen.labels, labels, 'text/plain'], ['tables-download', null, '', '']];
  for (const [id, bytes, name, type] of offers) {
    const link = $(id);
    link.hidden = (!made && !written) || !bytes;
    if (link.hidden) continue;
    offerDownload(link, bytes, name, type);
    link.textContent = `Download ${name} (${grouped(bytes.length)} bytes)`;
  }
}

// The C64 colour numbers a sprite's codes show: the registers, and its own colour.
function spriteColours(own, hires) {
  const own_ = byColour() && own !== undefined ? own : Number($('spritecolour').value);
  const background = Number($('background').value);
  return hires ? [background, own_]
    : [background, Number($('multicolour1').value), own_, Number($('multicolour2').value)];
}

// Every cell (up to the first 64): its sprite as a C64 shows it, or why it
// has none; sixteen a frame, so that a large sheet never holds the page up.
let cellsDrawn = 0;
export function drawCells() {
  const list = $('cells');
  list.replaceChildren();
  const drawing = ++cellsDrawn;
  if (!state.sheetShown) return;
  const shown = Math.min(state.sheetShown.count, mostCells);
  const draw = (from) => {
    if (drawing !== cellsDrawn || !state.sheetShown) return;  // drawn anew, or cleared, since
    for (let cell = from; cell < Math.min(from + 16, shown); ++cell) list.append(cellItem(cell));
    if (from + 16 < shown) requestAnimationFrame(() => draw(from + 16));
  };
  draw(0);
  $('cells-more').hidden = state.sheetShown.count <= mostCells;
  $('cells-more').textContent = `and ${grouped(state.sheetShown.count - shown)} more cells, not shown here`;
}

function cellItem(cell) {
  const hires = $('mode').value === 'hires';
  const item = document.createElement('li');
  const caption = document.createElement('p');
  caption.className = 'cell-name';
  caption.textContent = `Cell ${cell}`;
  item.append(caption);
  const sprite = state.sheetShown.sprites.get(cell);
  if (sprite) {
    const canvas = document.createElement('canvas');
    canvas.width = 24;
    canvas.height = 21;
    canvas.setAttribute('role', 'img');
    canvas.setAttribute('aria-label', `Cell ${cell} as a C64 shows it`);
    paintSprite(canvas, sprite.bytes, hires, spriteColours(sprite.colour, hires));
    item.append(canvas);
  }
  const found = state.sheetShown.cellFindings.filter((finding) => finding.cell === cell);
  // a cell without a sprite shows its drawing, each finding's pixel ringed
  const drawing = sprite ? null : cellPicture(cell, found);
  if (drawing) item.append(drawing);
  if (found.length) {
    const notes = document.createElement('ul');
    notes.className = 'cell-findings';
    for (const { message } of found) {
      const note = document.createElement('li');
      note.textContent = `${message.charAt(0).toUpperCase()}${message.slice(1)}.`;
      notes.append(note);
    }
    item.append(notes);
  }
  return item;
}

// The written frames one after another, at the rate asked; none under
// reduced motion, until Play is pressed.
function startAnimation() {
  clearInterval(animation.timer);
  const { chosen } = state.sheetShown || {};
  const canvas = $('animation');
  const written = chosen && chosen.status === 0 && chosen.output;
  canvas.hidden = $('pause').hidden = !written;
  $('motion-note').hidden = !reducedMotion.matches;
  if (!written) return;
  const start = noAddress($('sheet-address').value) ? 0 : 2;
  const frames = (chosen.output.length - start) / 64 | 0;
  const colours = frameColours(chosen.report);
  const hires = $('mode').value === 'hires';
  const show = () => {
    const n = animation.frame % frames;
    paintSprite(canvas, chosen.output.subarray(start + 64 * n, start + 64 * n + 63), hires, spriteColours(colours[n], hires));
  };
  animation.frame = 0;
  show();
  $('pause').textContent = animation.paused ? 'Play' : 'Pause';
  if (animation.paused) return;
  const rate = Math.min(50, Math.max(1, Number($('frame-rate').value) || 8));
  animation.timer = setInterval(() => { ++animation.frame; show(); }, 1000 / rate);
}

function togglePause() {
  animation.paused = !animation.paused;
  startAnimation();
}

export function clearSheet() {
  clearInterval(animation.timer);
  ++cellsDrawn;
  state.sheetShown = null;
  $('cells').replaceChildren();
  $('cells-more').hidden = true;
  $('sheet-status').textContent = '';
  $('sheet-console').textContent = '';
  $('sheet-console').hidden = $('sheet-console-heading').hidden = true;
  $('sheet-download').hidden = $('labels-download').hidden = $('tables-download').hidden = true;
  $('animation').hidden = $('pause').hidden = true;
  $('grid-proposal').hidden = true;
  listSheetFindings();
  drawSheetPicture();
}

sheetIds.filter((id) => id !== 'frame-rate').forEach((id) => $(id).addEventListener('input', () => {
  if (gridIds.has(id)) drawSheetPicture();
  if (id === 'way') {
    showColourWay();
    if (byColour() && state.picture && state.picture.facts) presetRegisters();
  }
  if (id === 'mode') sheetHooks.showMapping();
  sheetHooks.changed();
}));
$('frame-rate').addEventListener('input', () => state.sheetShown && startAnimation());
$('pause').addEventListener('click', togglePause);
$('use-grid').addEventListener('click', useGrid);
reducedMotion.addEventListener('change', () => {
  animation.paused = reducedMotion.matches;
  if (state.sheetShown) startAnimation();
});
