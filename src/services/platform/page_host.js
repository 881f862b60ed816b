// The page's host of the WebAssembly program (after wasm_host.js). It patches
// emscripten's end of a run: the run ends by throwing ExitStatus out of
// callMain, to the worker that started it, instead of ending the worker; a
// trap is reported by the program first, as natively a fault signal is.
Module['quit'] = function (status, thrown) {
  quorvelReportTrap(thrown);
  throw thrown;
};
