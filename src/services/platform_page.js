// The page's host of the WebAssembly program (after platform_wasm.js): the run
// ends by throwing ExitStatus out of callMain, to the worker that started it;
// a trap is reported by the program first.
Module['quit'] = function (status, thrown) {
  quorvelReportTrap(thrown);
  throw thrown;
};
