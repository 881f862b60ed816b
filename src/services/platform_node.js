// The Node.js host of the WebAssembly program, run before it starts. A trap,
// WebAssembly's processor fault, is reported by the program itself, as a
// fault signal is natively; a file grown past its size limit is a failed
// write, as natively, not the end of the process.
Error.stackTraceLimit = 64;
process.on('SIGXFSZ', function () {});

// Files reach Node's fs by their whole names; what is not a regular file (a
// pipe, a device) is read and written in sequence, and seeking in it fails
// (ESPIPE), as natively.
Module['preRun'] = function () {
  var open = FS.open;
  FS.open = function (path) {
    // A name longer than the system allows fails, as natively; emscripten
    // would cut it to 255 characters and open another file.
    var tooLong = function (part) { return Buffer.byteLength(part) > 255; };
    if (typeof path == 'string' && path.split('/').some(tooLong))
      throw new FS.ErrnoError(ERRNO_CODES.ENAMETOOLONG);
    var stream = open.apply(null, arguments);
    if (stream.nfd !== undefined && !require('fs').fstatSync(stream.nfd).isFile())
      stream.seekable = false;
    return stream;
  };
  var llseek = FS.llseek;
  FS.llseek = function (stream) {
    if (stream.seekable === false) throw new FS.ErrnoError(ERRNO_CODES.ESPIPE);
    return llseek.apply(null, arguments);
  };
};

var quorvelFrame = /wasm-function\[\d+\]:(0x[0-9a-f]+)/;

// The offsets of the callers above the frame at `location`, innermost first,
// up to the first frame outside the module: from the trap's stack while a
// trap is reported, otherwise from the stack as it is now.
Module['quorvelCallerOffsets'] = function (location, most) {
  var lines = (Module['faultStack'] || new Error().stack).split('\n');
  var offsets = [];
  var found = false;
  for (var i = 0; i < lines.length && offsets.length < most; ++i) {
    var frame = quorvelFrame.exec(lines[i]);
    if (found && frame === null) break;
    if (found) offsets.push(+frame[1]);
    found = found || (frame !== null && +frame[1] === location);
  }
  return offsets;
};

function quorvelFaultNumber(thrown) {
  if (thrown instanceof RangeError) return 216;  // the stack overflowed
  if (/memory access out of bounds/.test(thrown.message)) return 216;
  if (/divide by zero|remainder by zero|integer overflow|unrepresentable/.test(thrown.message))
    return 200;
  return 218;
}

Module['quit'] = function (status, thrown) {
  var trap = thrown instanceof WebAssembly.RuntimeError || thrown instanceof RangeError;
  var frame = trap && quorvelFrame.exec(thrown.stack);
  if (frame && !Module['faultStack']) {
    Module['faultStack'] = thrown.stack;
    Module['_quorvel_fault'](quorvelFaultNumber(thrown), +frame[1]);
  }
  if (!(thrown instanceof ExitStatus)) console.error(thrown);
  process.exit(status);
};
