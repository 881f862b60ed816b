// The page's view of a project: a project file picked with its pictures runs
// through quorvel-sheet itself, and what it made comes from its JSON
// document: every animation playing, every object composed as a C64 shows
// its sprites side by side, the blocks' places in the VIC bank, and the
// files the command line writes, to download.
import { ask } from './channel.mjs';
import { offerDownload, paintSprite } from './draw.mjs';
import { commandLine, grouped } from './logic.mjs';
import { $, state } from './state.mjs';

const reducedMotion = matchMedia('(prefers-reduced-motion: reduce)');
let timer = 0;

export function isProject(files) {
  return [...files].some((file) => /\.toml$/i.test(file.name));
}

// Reads the picked files and runs the project; `shown` is told when the view shows.
export function openProject(files, shown) {
  const list = [...files];
  const project = list.find((file) => /\.toml$/i.test(file.name));
  const run = ++state.picks;
  $('project-status').textContent = 'Making the project…';
  Promise.all(list.map((file) => file.arrayBuffer().then((buffer) => [file.name, new Uint8Array(buffer)])))
    .then((read) => {
      if (run !== state.picks) return;
      const pictures = Object.fromEntries(read.filter(([name]) => name !== project.name));
      const bytes = read.find(([name]) => name === project.name)[1];
      ask({ type: 'project', name: project.name, bytes, pictures }, (message) => {
        if (run !== state.picks) return;
        if (message.type === 'failure') {
          $('project-status').textContent = 'The program could not run: ' + message.reason;
          return;
        }
        showProject(project.name, message);
        showSheets(message.report, pictures);
        shown();
      });
    });
}

export function closeProject() {
  clearInterval(timer);
  state.project = null;
}

function showProject(name, { status, report, error, files }) {
  state.project = { name, report, files };
  const meanings = {
    0: `${report.sets.length} ${report.sets.length === 1 ? 'animation or object' : 'animations and objects'} written`,
    1: 'cells have findings (listed below), and nothing was written',
    2: 'quorvel-sheet cannot make this project: it says why below',
  };
  $('project-status').textContent = `Exit status ${status}: ${meanings[status] || 'see below'}.`;
  $('project-status').className = status === 0 ? 'done' : 'failed';
  $('project-findings').replaceChildren(...report.findings.map(({ file, message }) => {
    const item = document.createElement('li');
    item.textContent = `${file}: ${message.charAt(0).toUpperCase()}${message.slice(1)}.`;
    return item;
  }));
  $('project-error').textContent = error;
  $('project-error').hidden = error === '';
  $('project-command').textContent = commandLine('quorvel-sheet', [name]);
  const written = status === 0;
  $('project-sets').replaceChildren(...(written ? report.sets.map(setItem) : []));
  $('project-layout').replaceChildren(...(written ? layoutItems(report) : []));
  $('project-layout-heading').hidden = $('project-sets-heading').hidden = !written;
  offerFiles(report, files, written);
  play();
}

// Every sheet of the project, as drawn: each picture its sets name, a whole
// number of times its size (the browser draws it; it converts nothing).
function showSheets(report, pictures) {
  const list = $('project-sheets');
  list.replaceChildren();
  const files = [...new Set(report.sets.map(({ file }) => file))];
  $('project-sheets-heading').hidden = files.length === 0;
  for (const file of files) {
    const bytes = pictures[file.slice(file.lastIndexOf('/') + 1)];
    if (!bytes) continue;
    const item = document.createElement('li');
    const caption = document.createElement('p');
    caption.className = 'cell-name';
    caption.textContent = `${file}: ${report.sets.filter((set) => set.file === file).map(({ name }) => name).join(', ')}`;
    const canvas = document.createElement('canvas');
    canvas.setAttribute('role', 'img');
    canvas.setAttribute('aria-label', `The sheet ${file} as drawn`);
    item.append(caption, canvas);
    list.append(item);
    createImageBitmap(new Blob([bytes])).then((image) => {
      const zoom = Math.max(1, Math.min(4, Math.floor(480 / Math.max(image.width, image.height))));
      canvas.width = image.width * zoom;
      canvas.height = image.height * zoom;
      const context = canvas.getContext('2d');
      context.imageSmoothingEnabled = false;
      context.drawImage(image, 0, 0, canvas.width, canvas.height);
    }, () => item.append(' (the browser cannot draw this picture)'));
  }
}

// Where a block lies in the blocks file: after the load address, from the first pointer.
function blockAt(report, pointer) {
  const { address } = report;
  const start = address === null ? 0 : 2;
  const first = address === null ? 0 : (address % 16384) / 64;
  const blocks = state.project.files[report.outputs[0]];
  const at = start + (pointer - first) * 64;
  return blocks.subarray(at, at + 63);
}

function coloursOf(report, own, hires) {
  const { background, multicolour1, multicolour2 } = report.registers;
  const known = (number) => (number === null || number === undefined ? 0 : number);
  return hires ? [known(background), known(own)]
    : [known(background), known(multicolour1), known(own), known(multicolour2)];
}

function setItem(set) {
  const item = document.createElement('li');
  const caption = document.createElement('p');
  caption.className = 'cell-name';
  const pointers = set.frames.map(({ pointer }) => pointer);
  const one = set.frames.length === 1;
  caption.textContent = `${set.kind} ${set.name} (${set.file}, ${set.mode}): ${set.frames.length} ` +
    `${set.kind === 'object' ? (one ? 'sprite' : 'sprites') : (one ? 'frame' : 'frames')}, ` +
    `pointers ${pointers[0]} to ${pointers.at(-1)}`;
  const canvas = document.createElement('canvas');
  const object = set.kind === 'object';
  canvas.width = 24 * (object ? set.columns : 1) * 4;
  canvas.height = 21 * (object ? set.rows : 1) * 4;
  canvas.setAttribute('role', 'img');
  canvas.setAttribute('aria-label', object ? `Object ${set.name}, its ${set.frames.length} sprites side by side`
    : `Animation ${set.name}, its frames one after another`);
  canvas.dataset.set = String(state.project.report.sets.indexOf(set));
  item.append(caption, canvas);
  return item;
}

// Each animation at frame `frame`, each object composed.
function paintSets(frame) {
  const { report } = state.project;
  for (const canvas of $('project-sets').querySelectorAll('canvas')) {
    const set = report.sets[Number(canvas.dataset.set)];
    const hires = set.mode === 'hires';
    const context = canvas.getContext('2d');
    if (set.kind !== 'object') {
      const shown = set.frames[frame % set.frames.length];
      paintSprite(canvas, blockAt(report, shown.pointer), hires, coloursOf(report, shown.colour, hires));
      continue;
    }
    const sprite = document.createElement('canvas');
    sprite.width = 96;
    sprite.height = 84;
    set.frames.forEach(({ pointer, colour }, n) => {
      paintSprite(sprite, blockAt(report, pointer), hires, coloursOf(report, colour, hires));
      context.drawImage(sprite, (n % set.columns) * 96, Math.floor(n / set.columns) * 84);
    });
  }
}

function play() {
  clearInterval(timer);
  if (!state.project || !state.project.report.sets.length || $('project-sets').children.length === 0) return;
  let frame = 0;
  paintSets(frame);
  if (reducedMotion.matches) return;
  timer = setInterval(() => paintSets(++frame), 125);
}

// The blocks in the VIC bank, set by set, from the lowest.
function layoutItems(report) {
  const bank = report.address === null ? 0 : Math.floor(report.address / 16384) * 16384;
  const hex = (value) => '$' + value.toString(16).toUpperCase().padStart(4, '0');
  return [...report.sets].sort((a, b) => a.frames[0].pointer - b.frames[0].pointer).map((set) => {
    const first = bank + set.frames[0].pointer * 64;
    const item = document.createElement('li');
    item.textContent = `${hex(first)} to ${hex(first + 64 * set.frames.length - 1)}: ${set.kind} ${set.name} ` +
      `(${set.frames.length} ${set.frames.length === 1 ? 'block' : 'blocks'}, pointers ${set.frames[0].pointer} ` +
      `to ${set.frames.at(-1).pointer})`;
    return item;
  });
}

// The files quorvel-sheet wrote, each under its own name.
function offerFiles(report, files, written) {
  const list = $('project-downloads');
  list.replaceChildren();
  if (!written) return;
  for (const path of report.outputs) {
    const bytes = files[path];
    if (!bytes) continue;
    const name = path.slice(path.lastIndexOf('/') + 1);
    const item = document.createElement('li');
    const link = document.createElement('a');
    offerDownload(link, bytes, name, name.endsWith('.prg') || name.endsWith('.spr') ? 'application/octet-stream' : 'text/plain');
    link.textContent = `Download ${name} (${grouped(bytes.length)} bytes)`;
    item.append(link);
    list.append(item);
  }
}

reducedMotion.addEventListener('change', () => state.project && play());
