// The WebAssembly program's host code, for Node.js and the page alike. It
// adds what emscripten lacks for the runtime error report: code locations
// from the host's stack traces (deeper than V8's default of 10 frames), and a
// trap (WebAssembly's processor fault) reported by the program itself with
// its fault number, as natively a fault signal is.
Error.stackTraceLimit = 64;

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

// Has the program report a trap, once; the report ends the run (ExitStatus).
function quorvelReportTrap(thrown) {
  var trap = thrown instanceof WebAssembly.RuntimeError || thrown instanceof RangeError;
  var frame = trap && quorvelFrame.exec(thrown.stack);
  if (!frame || Module['faultStack']) return;
  Module['faultStack'] = thrown.stack;
  Module['_quorvel_fault'](quorvelFaultNumber(thrown), +frame[1]);
}
