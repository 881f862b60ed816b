// The sheet as the artist drew it: the picture at a whole-number zoom, its
// pixels crisp, with the grid quorvel-sheet reads over it (each cell
// numbered, the margin and the gaps shaded, the written cells outlined with
// their frame's place), each finding ringed at its pixel, and each pixel of
// drawing outside every cell framed. The browser only
// draws the picture; which cells are written and what is wrong where come
// from quorvel-sheet's JSON document.
import { sheetGrid } from './logic.mjs';
import { $, state } from './state.mjs';

// The picture as the browser decodes it, for the picture picked last.
let image = null;
let imageOf = 0;
// The finding chosen in the list, marked larger.
let chosen = -1;
// Cells numbered and outlined at most: a grid of thousands is shaded alone.
const mostCellsDrawn = 4096;

// Decodes the picked picture for drawing (off the page's thread), then draws it.
export function readSheetImage() {
  const picture = state.picture;
  if (picture && imageOf === picture.key) return drawSheetPicture();  // read already
  image = null;
  imageOf = picture ? picture.key : 0;
  chosen = -1;
  drawSheetPicture();
  if (!picture || !picture.facts) return;
  const blob = picture.bytes ? new Blob([picture.bytes]) : picture.file;
  // a picture larger than the canvas is made smaller as it is decoded, off the page's thread
  const { width, height } = picture.facts;
  const zoom = zoomFor(width, height);
  const smaller = zoom < 1 ? { resizeWidth: Math.round(width * zoom), resizeHeight: Math.round(height * zoom),
                               resizeQuality: 'pixelated' } : {};
  createImageBitmap(blob, smaller).then((decoded) => {
    if (state.picture !== picture) return decoded.close();
    image = decoded;
    drawSheetPicture();
  }, () => {
    if (state.picture === picture) $('sheet-picture-note').textContent = 'The browser cannot draw this picture.';
  });
}

// The cell image drawn large, for a cell without a sprite: `findings` ringed.
export function cellPicture(cell, findings) {
  if (!image || !state.picture || imageOf !== state.picture.key) return null;
  const grid = currentGrid();
  if (cell >= grid.count) return null;
  const zoom = 4;
  const canvas = document.createElement('canvas');
  canvas.width = grid.cellWidth * zoom;
  canvas.height = grid.cellHeight * zoom;
  const context = canvas.getContext('2d');
  context.imageSmoothingEnabled = false;
  const scale = image.width / state.picture.facts.width;  // below 1 for a picture decoded smaller
  context.drawImage(image, grid.left(cell) * scale, grid.top(cell) * scale, grid.cellWidth * scale,
                    grid.cellHeight * scale, 0, 0, canvas.width, canvas.height);
  for (const { x, y } of findings)
    if (x !== null) ring(context, (x - grid.left(cell) + 0.5) * zoom, (y - grid.top(cell) + 0.5) * zoom, zoom * 1.5, false);
  canvas.setAttribute('role', 'img');
  canvas.setAttribute('aria-label', `Cell ${cell} as drawn, each finding's pixel ringed`);
  return canvas;
}

function currentGrid() {
  const { width, height } = state.picture.facts;
  return sheetGrid($('cell').value, $('origin').value, $('spacing').value, width, height);
}

// The zoom that shows a sheet whole on a desktop, never below one pixel a
// pixel (a picture larger than 1024 is drawn smaller: a canvas of millions of
// pixels would hold the page up at every change).
function zoomFor(width, height) {
  if (width > 1024 || height > 1024) return 1024 / Math.max(width, height);
  return Math.max(1, Math.min(8, Math.floor(Math.min(960 / width, 720 / height))));
}

function ring(context, x, y, radius, large) {
  context.lineWidth = large ? 3 : 2;
  for (const [colour, grow] of [['#ffffff', 2], [large ? '#ff00ff' : '#e00000', 0]]) {
    context.strokeStyle = colour;
    context.beginPath();
    context.arc(x, y, radius + (large ? radius : 0) + grow, 0, 2 * Math.PI);
    context.stroke();
  }
}

// The findings that point at a pixel, as the run over every cell told them.
function pointed() {
  const shown = state.sheetShown;
  return shown ? shown.cellFindings.filter(({ x }) => x !== null) : [];
}

// The frames written, in order: each one's cell.
function frameCells() {
  const shown = state.sheetShown;
  const frames = shown && shown.chosen && shown.chosen.report.frames;
  return frames ? frames.map(({ cell }) => cell) : [];
}

export function drawSheetPicture() {
  const canvas = $('sheet-picture');
  const ready = state.sheetView && image && state.picture && imageOf === state.picture.key && state.picture.facts;
  canvas.hidden = !ready;
  if (!ready) return;
  const { width, height } = state.picture.facts;
  const zoom = zoomFor(width, height);
  // (a canvas given its size anew is made anew: only when the size changes)
  if (canvas.width !== Math.round(width * zoom)) canvas.width = Math.round(width * zoom);
  if (canvas.height !== Math.round(height * zoom)) canvas.height = Math.round(height * zoom);
  const context = canvas.getContext('2d');
  context.imageSmoothingEnabled = false;
  context.drawImage(image, 0, 0, canvas.width, canvas.height);
  const grid = currentGrid();
  const box = (cell) => [grid.left(cell) * zoom, grid.top(cell) * zoom, grid.cellWidth * zoom, grid.cellHeight * zoom];
  // the margin and the gaps shaded: everything but the cells; each cell's
  // edge drawn, all in one path
  const drawn = Math.min(grid.count, mostCellsDrawn);
  const edges = new Path2D();
  context.beginPath();
  context.rect(0, 0, canvas.width, canvas.height);
  for (let cell = 0; cell < drawn; ++cell) {
    const [left, top, across, down] = box(cell);
    context.rect(left, top, across, down);
    edges.rect(left + 0.5, top + 0.5, across - 1, down - 1);
  }
  context.fillStyle = 'rgba(40, 40, 60, 0.6)';
  if (grid.count <= mostCellsDrawn) context.fill('evenodd');
  context.strokeStyle = 'rgba(255, 255, 255, 0.5)';
  context.lineWidth = 1;
  context.stroke(edges);
  const roomy = grid.cellWidth * zoom >= 40;
  context.font = `${Math.max(10, Math.min(14, zoom * 4))}px sans-serif`;
  context.textBaseline = 'top';
  for (let cell = 0; roomy && cell < drawn; ++cell) label(context, String(cell), box(cell)[0] + 2, box(cell)[1] + 2, '#ffffff');
  // the written cells outlined, each with its place among the frames
  const places = new Map();
  frameCells().forEach((cell, frame) => {
    if (cell < drawn) places.set(cell, [...(places.get(cell) || []), frame]);
  });
  const outlines = new Path2D();
  for (const cell of places.keys()) {
    const [left, top, across, down] = box(cell);
    outlines.rect(left + 1, top + 1, across - 2, down - 2);
  }
  context.strokeStyle = '#ffd200';
  context.lineWidth = 2;
  context.stroke(outlines);
  context.textBaseline = 'bottom';
  for (const [cell, frames] of places) {
    const [left, top, , down] = box(cell);
    if (roomy) label(context, `→${frames.map((frame) => frame + 1).join(',')}`, left + 2, top + down - 2, '#ffd200');
  }
  // drawing outside every cell: each of its pixels framed
  context.strokeStyle = '#ff00ff';
  context.lineWidth = Math.max(1, zoom / 4);
  for (const { pixels } of state.sheetShown ? state.sheetShown.cellFindings : [])
    for (const [x, y] of pixels || []) context.strokeRect(x * zoom + 0.5, y * zoom + 0.5, Math.max(1, zoom - 1), Math.max(1, zoom - 1));
  pointed().forEach(({ x, y }, index) => {
    if (index !== chosen) ring(context, (x + 0.5) * zoom, (y + 0.5) * zoom, Math.max(3, zoom * 1.5), false);
  });
  const marked = pointed()[chosen];
  if (marked) ring(context, (marked.x + 0.5) * zoom, (marked.y + 0.5) * zoom, Math.max(3, zoom * 1.5), true);
  $('sheet-picture-note').textContent =
    `${width} by ${height} pixels, drawn ${zoom >= 1 ? `${zoom} times` : 'smaller'}: ` +
    `${grid.count} ${grid.count === 1 ? 'cell' : 'cells'} of ${grid.cellWidth} by ${grid.cellHeight}` +
    (grid.count > mostCellsDrawn ? `, too many to draw: the first ${mostCellsDrawn} outlined` : '') + '.';
}

function label(context, text, x, y, colour) {
  context.lineWidth = 3;
  context.strokeStyle = '#000000';
  context.strokeText(text, x, y);
  context.fillStyle = colour;
  context.fillText(text, x, y);
}

// The findings as a list: choosing one rings its pixel larger and says where.
export function listSheetFindings() {
  const list = $('sheet-findings');
  list.replaceChildren();
  const found = pointed();
  list.hidden = $('sheet-findings-heading').hidden = found.length === 0;
  $('sheet-marked').textContent = '';
  if (chosen >= found.length) chosen = -1;
  found.forEach(({ message }, index) => {
    const item = document.createElement('li');
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = message.charAt(0).toUpperCase() + message.slice(1) + '.';
    button.setAttribute('aria-pressed', String(index === chosen));
    button.addEventListener('click', () => choose(index));
    item.append(button);
    list.append(item);
  });
}

function choose(index) {
  chosen = index;
  for (const [n, button] of [...$('sheet-findings').querySelectorAll('button')].entries())
    button.setAttribute('aria-pressed', String(n === chosen));
  drawSheetPicture();
  const { cell, x, y } = pointed()[index];
  $('sheet-marked').textContent = `Ringed on the picture: ${cell === null ? '' : `cell ${cell}, `}pixel ${x}, ${y}.`;
  $('sheet-picture').scrollIntoView({ block: 'nearest' });
}
