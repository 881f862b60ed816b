// The page's worker: runs the program, its main with the eight arguments, on a
// bitmap in memory, and hands back the console bytes, the status and the output.
let wasmBinary = null;

onmessage = (event) => {
  if (event.data.wasm) {
    wasmBinary = event.data.wasm;
    postMessage({ ready: true });
  } else {
    run(event.data).then(postMessage, (thrown) => postMessage({ failure: String(thrown) }));
  }
};

// Counts the bytes the program writes to its output, for the page's progress line.
function watchOutput(module, outname) {
  const write = module.FS.write;
  let written = 0;
  let shown = 0;
  module.FS.write = function (stream, buffer, offset, length) {
    const count = write.apply(this, arguments);
    if (outname === '' || stream.path === '/' + outname) written += count;
    if (written - shown >= 1 << 20) {
      shown = written;
      postMessage({ progress: written });
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
      m.FS.writeFile('/' + inname, bitmap);
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
  const written = outname !== '' && module.FS.analyzePath('/' + outname).exists;
  return {
    status,
    console: new Uint8Array(consoleBytes),
    error: new Uint8Array(errorBytes),
    output: written ? module.FS.readFile('/' + outname) : null,
  };
}
