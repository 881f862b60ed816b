// Starts compiling the page's WebAssembly module while the browser still reads the rest of the page.
'use strict';

// Compiling runs off the page's thread; started from the head, it overlaps
// the reading of the page's other scripts instead of following it. channel.mjs
// hands the compiled module to each worker.
const compiledModule = (() => {
  const binary = atob(document.getElementById('module-wasm').textContent.trim());
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
  return WebAssembly.compile(bytes);
})();
