// The page's worker: runs the program on a bitmap in memory, three times
// over: as quorvel-colours (the code of each colour argument), quorvel-check
// (the findings) and quorvel (the conversion), and hands back what each
// printed, its status and the output file.
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
    runAll(event.data).then((result) => postMessage({ type: 'result', ...result }),
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

// One run of the program as `program`, in a fresh instance.
async function runProgram(program, args, { inname, bitmap, outname }) {
  const stdout = [];
  const stderr = [];
  const module = await createQuorvel({
    wasmBinary,
    thisProgram: program,
    stdout: (byte) => byte !== null && stdout.push(byte),
    stderr: (byte) => byte !== null && stderr.push(byte),
    preRun: [(m) => {
      m.FS.mkdirTree(folder);
      m.FS.chdir(folder);
      if (bitmap) m.FS.writeFile(inname, bitmap);
      if (outname !== undefined) watchOutput(m, outname);
    }],
  });
  let status;
  try {
    status = module.callMain(args);
  } catch (thrown) {
    if (!thrown || thrown.name !== 'ExitStatus') throw thrown;
    status = thrown.status;
  }
  const written = outname && module.FS.analyzePath(outname).exists;
  return {
    status,
    console: new Uint8Array(stdout),
    error: new Uint8Array(stderr),
    output: written ? module.FS.readFile(outname) : null,
  };
}

async function runAll({ inname, outname, bitmap, settings }) {
  const colours = await runProgram('quorvel-colours', settings.slice(2), {});
  const check = await runProgram('quorvel-check', [inname, outname, ...settings], { inname, bitmap });
  const conversion = await runProgram('quorvel', [inname, outname, ...settings], { inname, bitmap, outname });
  return { colours: new TextDecoder().decode(colours.console), check, ...conversion };
}
