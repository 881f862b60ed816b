// The page's worker: runs the programs of the one WebAssembly module, each in a
// fresh instance of the module compiled once by the page, on files in memory,
// so that nothing long runs on the page's own thread. What the programs did
// comes back as their JSON documents, parsed. Messages in: load (the compiled
// module), keep (a picture's bytes, kept until the next), table (the C64's
// colours), inspect (what quorvel-picture says of the picture, and its index
// view drawn), run (quorvel-colours, quorvel-check and quorvel), sheet
// (quorvel-sheet runs), move (a copy with palette entries moved). Messages
// out: ready, table, inspected, result, sheet, moved, progress, failure; each
// answer carries the id of its question. A classic script: a worker of a page
// opened from disk cannot import modules, so make_page.js puts the page's
// pure parts (QuorvelLogic) before it.
let compiled = null;
// Questions may come before the module: instances wait for it.
let loaded = null;
const moduleLoaded = new Promise((resolve) => { loaded = resolve; });
// The picture the page asks about: its key, and its bytes once they arrive.
const kept = { key: 0, bytes: null, waiting: [] };

// The run's own empty folder, so that no name (tmp, dev, proc...) meets
// emscripten's folders.
const folder = '/run/quorvel';

onmessage = (event) => {
  const message = event.data;
  if (message.type === 'load') {
    compiled = message.module;
    loaded();
    postMessage({ type: 'ready' });
    setTimeout(() => {
      for (const program of ['quorvel-colours', 'quorvel-check', 'quorvel']) spares[program] ||= instance(program);
    });
    return;
  }
  if (message.type === 'keep') {
    const read = message.bytes ? Promise.resolve(message.bytes)
      : message.file.arrayBuffer().then((buffer) => new Uint8Array(buffer));
    Object.assign(kept, { key: message.key, bytes: null, failed: null });
    read.then((bytes) => {
      if (kept.key !== message.key) return;  // another picture since
      kept.bytes = bytes;
      for (const resume of kept.waiting.splice(0)) resume();
    }, (error) => { kept.failed = String(error); for (const resume of kept.waiting.splice(0)) resume(); });
    return;
  }
  if (message.type === 'table') {
    runProgram('quorvel-picture', [], {}).then((run) =>
      postMessage({ id: message.id, type: 'table', ...json(run.console) }));
    return;
  }
  if (message.type === 'project') {
    runProject(message).then((answer) => postMessage({ id: message.id, ...answer }),
      (thrown) => postMessage({ type: 'failure', id: message.id, reason: String(thrown) }));
    return;
  }
  const work = { inspect, run: runAll, sheet: runSheets, move }[message.type];
  picture(message.picture).then((bytes) => work({ ...message, bytes }))
    .then((answer) => postMessage({ id: message.id, ...answer }, handedOver(answer)),
    (thrown) => postMessage({ type: 'failure', id: message.id, reason: String(thrown) }));
};

// Counts the bytes the program writes to its output, for the page's progress line.
function watchOutput(module, outname, id) {
  const write = module.FS.write;
  let written = 0;
  let shown = 0;
  module.FS.write = function (stream, buffer, offset, length) {
    const count = write.apply(this, arguments);
    if (outname === '' || stream.path === folder + '/' + outname) written += count;
    if (written - shown >= 1 << 20) {
      shown = written;
      postMessage({ type: 'progress', id, written });
    }
    return count;
  };
}

// The buffers of an answer's files, handed over whole to the page (copying a
// large output would hold up the page's thread).
function handedOver(answer) {
  const files = answer.type === 'sheet' ? answer.runs.flatMap((run) => [run.output, run.labels])
    : answer.type === 'result' ? [answer.output] : answer.type === 'moved' ? [answer.bytes] : [];
  return files.filter((file) => file && file.byteOffset === 0 && file.byteLength === file.buffer.byteLength)
    .map((file) => file.buffer);
}

// The bytes of the picture of `key`, once the page has handed them over
// (after a new worker starts, the page reads them again).
function picture(key) {
  if (kept.key === key && kept.bytes) return Promise.resolve(kept.bytes);
  if (kept.key > key) return Promise.reject(new Error('another picture was picked since'));
  if (kept.key === key && kept.failed) return Promise.reject(new Error(`the picture could not be read (${kept.failed})`));
  return new Promise((resume) => kept.waiting.push(resume)).then(() => picture(key));
}

// A fresh instance of the module started as `program`, ready to run: its
// console goes to the arrays of its `output`, which each run sets.
function instance(program) {
  const output = { stdout: [], stderr: [] };
  return moduleLoaded.then(() => createQuorvel({
    instantiateWasm(imports, done) {
      WebAssembly.instantiate(compiled, imports).then((made) => done(made, compiled));
      return {};
    },
    thisProgram: program,
    stdout: (byte) => byte !== null && output.stdout.push(byte),
    stderr: (byte) => byte !== null && output.stderr.push(byte),
    preRun: [(m) => {
      m.FS.mkdirTree(folder);
      m.FS.chdir(folder);
    }],
  })).then((module) => ({ module, output }));
}

// One instance of each program kept ready, so that a run starts at once: each
// is used once (a run ends its instance), and the next one is made after it.
const spares = {};
function spare(program) {
  const ready = spares[program] || instance(program);
  spares[program] = null;
  return ready;
}

// One run of the program as `program`, in a fresh instance; `files` are
// written into its folder first, `read` read back after it.
async function runProgram(program, args, { files = {}, read = [], outname, id }) {
  const { module, output } = await spare(program);
  for (const [name, bytes] of Object.entries(files)) {
    // (emscripten makes a tree from the root: a relative name's from the run's folder)
    const at = name.startsWith('/') ? name : `${folder}/${name}`;
    module.FS.mkdirTree(at.slice(0, at.lastIndexOf('/')));
    module.FS.writeFile(name, bytes);
  }
  if (outname !== undefined) watchOutput(module, outname, id);
  let status;
  try {
    status = module.callMain(args);
  } catch (thrown) {
    if (!thrown || thrown.name !== 'ExitStatus') throw thrown;
    status = thrown.status;
  }
  const files_read = {};
  // the files to read back: named before the run, or by what the run said
  const names = typeof read === 'function' ? read(new Uint8Array(output.stdout)) : read;
  for (const name of names) files_read[name] = module.FS.analyzePath(name).exists ? module.FS.readFile(name) : null;
  setTimeout(() => { spares[program] = spares[program] || instance(program); });
  return { status, console: new Uint8Array(output.stdout), error: new Uint8Array(output.stderr), files: files_read };
}

const decode = (bytes) => new TextDecoder().decode(bytes);
const json = (bytes) => JSON.parse(decode(bytes));

async function runAll({ id, inname, outname, bytes, settings }) {
  const files = { [inname]: bytes };
  const colours = await runProgram('quorvel-colours', settings.slice(2), {});
  const check = await runProgram('quorvel-check', ['--format', 'json', inname, outname, ...settings], { files });
  const conversion = await runProgram('quorvel', [inname, outname, ...settings],
    { files, read: outname ? [outname] : [], outname, id });
  return { type: 'result', colours: json(colours.console).colours, check: json(check.console),
           status: conversion.status, console: conversion.console, error: conversion.error,
           output: outname ? conversion.files[outname] : null };
}

// quorvel-sheet runs on one picture: each with its words, its output and
// labels, and what it did, from its JSON document.
async function runSheets({ name, bytes, runs }) {
  const results = [];
  for (const { words, outname, labels } of runs) {
    const args = ['--format', 'json', ...words, ...(labels ? ['--labels', labels] : []), name, outname];
    const run = await runProgram('quorvel-sheet', args,
      { files: { [name]: bytes }, read: [outname, ...(labels ? [labels] : [])] });
    // the labels the page takes from their file: a sheet of thousands of cells
    // would make the message long to read on the page's own thread
    const { labels: _labels, ...report } = json(run.console);
    results.push({ status: run.status, report, error: decode(run.error),
                   output: run.files[outname], labels: labels ? run.files[labels] : null });
  }
  return { type: 'sheet', runs: results };
}

// quorvel-sheet on a project file and its pictures, run as in the project
// file's folder: each picture in it and in the folder above it, so that
// names relative to the project ("ship.png", "../ship.png") find them, and
// the files it writes are the command line's; those, as its JSON document
// names them.
async function runProject({ name, bytes, pictures }) {
  const files = { [name]: bytes };
  const above = folder.slice(0, folder.lastIndexOf('/'));
  for (const [picture, data] of Object.entries(pictures)) files[picture] = files[`${above}/${picture}`] = data;
  const run = await runProgram('quorvel-sheet', ['--format', 'json', name], {
    files, read: (console) => (console.length ? json(console).outputs || [] : []),
  });
  const report = json(run.console);
  return { type: 'project', status: run.status, report, error: decode(run.error), files: run.files };
}

// The copy of an indexed BMP with palette entries moved, [from, to] each.
async function move({ name, bytes, moves }) {
  const args = moves.flatMap(([from, to]) => ['--move', `${from},${to}`]);
  const run = await runProgram('quorvel-picture', [...args, name, 'moved.bmp'],
    { files: { [name]: bytes }, read: ['moved.bmp'] });
  return { type: 'moved', bytes: run.status === 0 ? run.files['moved.bmp'] : null };
}

// What the page shows of a picture before any run: what quorvel-picture says
// of it, and for an indexed picture up to 512 by 512 the index view drawn.
async function inspect({ name, bytes }) {
  const run = await runProgram('quorvel-picture', [name, 'indices.bin'],
    { files: { [name]: bytes }, read: ['indices.bin'] });
  const facts = json(run.console);
  const indices = run.files['indices.bin'];
  const view = indices ? drawIndices(facts, indices) : null;
  return { type: 'inspected', facts, view: view && view.bitmap, cell: view && view.cell };
}

// The picture, each pixel with its index in a colour that reads on it, and
// marked where the checker's findings point: indices above 3, the left-hand
// pixel of each pair (a multicolour sprite does not read it), and what lies
// outside 24 by 21.
function drawIndices(facts, indices) {
  const { width, height } = facts;
  const multicolour = facts.bits !== 1;
  const cell = Math.max(4, Math.min(24, Math.floor(720 / width)));
  const canvas = new OffscreenCanvas(width * cell, height * cell);
  const context = canvas.getContext('2d');
  context.font = `${Math.floor(cell * 0.6)}px monospace`;
  context.textAlign = 'center';
  context.textBaseline = 'middle';
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      const index = indices[y * width + x];
      const colour = facts.palette[index] || '#000000';
      context.fillStyle = colour;
      context.fillRect(x * cell, y * cell, cell, cell);
      markPixel(context, { x, y, cell, index, multicolour });
      if (cell < 14) continue;
      context.fillStyle = QuorvelLogic.inkOn(colour);
      context.fillText(index, x * cell + cell / 2, y * cell + cell / 2);
    }
  }
  return { bitmap: canvas.transferToImageBitmap(), cell };
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
