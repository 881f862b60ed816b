// The Node.js host of the WebAssembly program, run before it starts (after
// wasm_host.js). It patches emscripten's real-file layer (NODERAWFS) where
// it would reach another file or lose bytes:
// - names: Node decodes arguments and paths as UTF-8, so a byte such as 0xff
//   would name the file of U+FFFD. Arguments come as the bytes given (Linux:
//   /proc/self/cmdline), paths reach the system as those bytes, and relative
//   names stay relative; where the bytes cannot be had, a name holding U+FFFD
//   is refused (EILSEQ) instead of naming another file;
// - a name part over 255 bytes fails, as natively; emscripten would cut it;
// - seeking fails (ESPIPE) only where Linux refuses it: pipes, sockets, terminals;
// - a FIFO as input never waits for a writer that is not there: emscripten
//   drops O_NONBLOCK on its way to Node, so the host opens for reading without
//   waiting itself, and a read that finds a writer but no data yet waits, as a
//   pipe's does; with no writer the FIFO reads as empty, as natively;
// - a standard output that was closed when Node started, and that Node filled
//   with /dev/null, is closed again, so that writes to it fail, as natively;
// - the device and inode behind a loop device, for the input-is-never-output rule;
// - a file grown past its size limit is a failed write, not the end of the process.
process.on('SIGXFSZ', function () {});

var quorvelFs = require('fs');

// Bytes that are not UTF-8 travel in JavaScript strings as U+DC80 to U+DCFF,
// one for each byte (as Python's "surrogateescape"), so nothing is lost.
function quorvelDecodeName(bytes) {
  var text = '';
  for (var i = 0; i < bytes.length;) {
    var length = quorvelSequenceLength(bytes, i);
    if (length === 0) {
      text += String.fromCharCode(0xdc00 + bytes[i++]);
      continue;
    }
    text += Buffer.from(bytes.subarray(i, i + length)).toString('utf8');
    i += length;
  }
  return text;
}

// The length of the well-formed UTF-8 sequence at `at`, or 0.
function quorvelSequenceLength(bytes, at) {
  var lead = bytes[at];
  if (lead < 0x80) return 1;
  var length = lead >= 0xc2 && lead <= 0xdf ? 2 : lead >= 0xe0 && lead <= 0xef ? 3
             : lead >= 0xf0 && lead <= 0xf4 ? 4 : 0;
  var low = lead === 0xe0 ? 0xa0 : lead === 0xf0 ? 0x90 : 0x80;
  var high = lead === 0xed ? 0x9f : lead === 0xf4 ? 0x8f : 0xbf;
  for (var k = 1; k < length; ++k) {
    var next = bytes[at + k];
    if (next === undefined || next < (k === 1 ? low : 0x80) || next > (k === 1 ? high : 0xbf)) return 0;
  }
  return length;
}

// A name as the system takes it: a Buffer of the bytes it stands for.
function quorvelNameBytes(text) {
  var parts = [];
  for (var i = 0; i < text.length; ++i) {
    var unit = text.charCodeAt(i);
    if (unit >= 0xdc80 && unit <= 0xdcff) {
      parts.push(Buffer.from([unit - 0xdc00]));
    } else {
      var pair = unit >= 0xd800 && unit <= 0xdbff ? 2 : 1;
      parts.push(Buffer.from(text.substr(i, pair), 'utf8'));
      i += pair - 1;
    }
  }
  return Buffer.concat(parts);
}

// The arguments as the bytes the user gave, when the system shows them and
// they are the ones Node decoded; otherwise null.
function quorvelRawArguments() {
  var line;
  try {
    line = quorvelFs.readFileSync('/proc/self/cmdline');
  } catch (e) {
    return null;
  }
  var words = [];
  for (var start = 0, end; start < line.length; start = end + 1) {
    end = line.indexOf(0, start);
    if (end < 0) end = line.length;
    words.push(line.subarray(start, end));
  }
  var count = process.argv.length - 2;
  var raw = words.slice(words.length - count);
  var same = raw.length === count && raw.every(function (word, i) {
    return word.toString('utf8') === process.argv[i + 2];
  });
  return same ? raw : null;
}

Module['quorvelRawArguments'] = quorvelRawArguments();

// A path from the program as the system must get it.
function quorvelSystemPath(path) {
  if (typeof path != 'string') return path;
  if (!Module['quorvelRawArguments'] && path.indexOf('\ufffd') >= 0) {
    var refused = new Error('a name that came through as U+FFFD: ' + path);
    refused.code = 'EILSEQ';
    throw refused;
  }
  return /[\udc80-\udcff]/.test(path) ? quorvelNameBytes(path) : path;
}

// Every call by name that NODERAWFS makes takes the path first.
['openSync', 'statSync', 'lstatSync', 'readlinkSync'].forEach(function (name) {
  var call = quorvelFs[name];
  quorvelFs[name] = function (path) {
    var rest = Array.prototype.slice.call(arguments, 1);
    return call.apply(quorvelFs, [quorvelSystemPath(path)].concat(rest));
  };
});

// Opens for reading only (the program's input) go without waiting; their
// reads wait for data, a moment at a time, while a writer is there.
var quorvelWaitingReads = new Set();
var quorvelOpen = quorvelFs.openSync;
quorvelFs.openSync = function (path, flags) {
  var reading = typeof flags == 'number' && (flags & 3) === 0 && quorvelFs.constants.O_NONBLOCK;
  if (!reading) return quorvelOpen.apply(quorvelFs, arguments);
  var rest = Array.prototype.slice.call(arguments, 2);
  var fd = quorvelOpen.apply(quorvelFs, [path, flags | quorvelFs.constants.O_NONBLOCK].concat(rest));
  quorvelWaitingReads.add(fd);
  return fd;
};
var quorvelRead = quorvelFs.readSync;
quorvelFs.readSync = function (fd) {
  for (;;) {
    try {
      return quorvelRead.apply(quorvelFs, arguments);
    } catch (e) {
      if (e.code !== 'EAGAIN' || !quorvelWaitingReads.has(fd)) throw e;
      Atomics.wait(new Int32Array(new SharedArrayBuffer(4)), 0, 0, 2);
    }
  }
};
var quorvelClose = quorvelFs.closeSync;
quorvelFs.closeSync = function (fd) {
  quorvelWaitingReads.delete(fd);
  return quorvelClose.apply(quorvelFs, arguments);
};

// Node put /dev/null, opened for reading and writing, on a standard
// descriptor that was closed; a shell's redirection opens it write-only.
function quorvelNodeFilledIn(fd) {
  try {
    var info = quorvelFs.readFileSync('/proc/self/fdinfo/' + fd, 'latin1');
    var flags = parseInt(/flags:\s*([0-7]+)/.exec(info)[1], 8);
    return (flags & 3) === 2 && quorvelFs.fstatSync(fd).rdev === quorvelFs.statSync('/dev/null').rdev;
  } catch (e) {
    return false;
  }
}

// The file behind a loop device, from sysfs: [device, inode], or null.
Module['quorvelLoopBacking'] = function (device) {
  var major = (device >>> 8) & 0xfff;
  var minor = (device & 0xff) | ((device >>> 12) & 0xfff00);
  try {
    var name = quorvelFs.readFileSync('/sys/dev/block/' + major + ':' + minor + '/loop/backing_file');
    var file = quorvelFs.statSync(name.subarray(0, name.length - 1));
    return [file.dev % 4294967296, file.ino];
  } catch (e) {
    return null;
  }
};

Module['preRun'] = function () {
  SYSCALLS.getStr = function (pointer) {
    var end = pointer;
    while (HEAPU8[end]) ++end;
    return quorvelDecodeName(HEAPU8.subarray(pointer, end));
  };
  // "." rather than Node's decoded folder name: relative names stay relative.
  FS.cwd = function () { return '.'; };
  var standardStreams = FS.createStandardStreams;
  FS.createStandardStreams = function () {
    standardStreams.apply(null, arguments);
    if (quorvelNodeFilledIn(1)) FS.streams[1] = null;
  };
  var open = FS.open;
  FS.open = function (path) {
    var tooLong = function (part) { return quorvelNameBytes(part).length > 255; };
    if (typeof path == 'string' && path.split('/').some(tooLong))
      throw new FS.ErrnoError(ERRNO_CODES.ENAMETOOLONG);
    var stream = open.apply(null, arguments);
    if (stream.nfd !== undefined) {
      var status = quorvelFs.fstatSync(stream.nfd);
      stream.seekable = !(status.isFIFO() || status.isSocket() || require('tty').isatty(stream.nfd));
    }
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
