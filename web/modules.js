// Starts the page's ES modules from the text make_page.js put in the page:
// each becomes a blob: module whose imports name the blobs of the modules it
// imports, since a page opened from disk cannot load modules from files.
'use strict';

(() => {
  const urls = new Map();
  const load = (name) => {
    if (!urls.has(name)) {
      const source = document.querySelector(`script[data-module="${name}"]`).textContent;
      const text = source.replace(/from '\.\/([\w-]+\.mjs)'/g, (_, imported) => `from '${load(imported)}'`);
      urls.set(name, URL.createObjectURL(new Blob([text], { type: 'text/javascript' })));
    }
    return urls.get(name);
  };
  import(load('page.mjs'));
})();
