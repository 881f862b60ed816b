// The page's worker: runs the program, its main with the eight arguments, on a
// bitmap in memory, and hands back the console bytes, the status and the output.
// Messages each way carry a type: load, run; ready, progress, result, failure.
let wasmBinary = null;

// The run's own empty folder, so that no name (tmp, dev, proc...) meets
// emscripten's folders.
const folder = '/run/quorvel';

onmessage = (event) => {
  if (event.data.type === 'load') {
    wasmBinary = event.data.wasm;
    postMessage({ type: 'ready' });
  } else if (event.data.type === 'run') {
    run(event.data).then((result) => postMessage({ type: 'result', ...result }),
      (thrown) => postMessage({ type: 'failure', reason: String(thrown) }));
  }
};

// Counts the bytes the program writes to its output, for the page's progress line.
function watchOutput(module, outname) {
  const write = module.FS.write;
  let written = 0;
  let shown = 0;
  module.FS.write = function (stream, buffer, offset, length) {
    const count = write.apply(this, arguments);
    if (outname === '' || stream.path === folder + '/' + outname) written += count;
    if (written - shown >= 1 << 20) {
      shown = written;
      postMessage({ type: 'progress', written });
    }
    return count;
  };
}

async function run({ inname, outname, bitmap, settings }) {
  const consoleBytes = [];
  const errorBytes = [];
  const module = await createQuorvel({
    wasmBinary,
    thisProgram: 'quorvel',
    stdout: (byte) => byte !== null && consoleBytes.push(byte),
    stderr: (byte) => byte !== null && errorBytes.push(byte),
    preRun: [(m) => {
      m.FS.mkdirTree(folder);
      m.FS.chdir(folder);
      m.FS.writeFile(inname, bitmap);
      watchOutput(m, outname);
    }],
  });
  let status;
  try {
    status = module.callMain([inname, outname, ...settings]);
  } catch (thrown) {
    if (!thrown || thrown.name !== 'ExitStatus') throw thrown;
    status = thrown.status;
  }
  const written = outname !== '' && module.FS.analyzePath(outname).exists;
  return {
    status,
    console: new Uint8Array(consoleBytes),
    error: new Uint8Array(errorBytes),
    output: written ? module.FS.readFile(outname) : null,
  };
}
