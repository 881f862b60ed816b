// The Node.js host of the WebAssembly program, run before it starts (after
// platform_wasm.js). A file grown past its size limit is a failed write, as
// natively, not the end of the process.
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

// The end of every run: a trap is reported first; anything else thrown is
// Node's to show.
Module['quit'] = function (status, thrown) {
  quorvelReportTrap(thrown);
  if (!(thrown instanceof ExitStatus)) console.error(thrown);
  process.exit(status);
};
