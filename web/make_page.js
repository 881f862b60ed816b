// Makes quorvel.html, one file: the page with its style, its scripts, its
// ES modules, the worker and the WebAssembly module inside.
// Usage: node make_page.js WEB_FOLDER MODULE_JS OUTPUT_HTML
'use strict';
const fs = require('fs');
const path = require('path');

const [web, moduleJs, output] = process.argv.slice(2);
const read = (name) => fs.readFileSync(path.join(web, name), 'utf8');
// Text inside a <script> element must not end it early.
const scriptText = (text) => text.replace(/<\/script/gi, '<\\/script');

// Each module as text the page's loader (modules.js) makes a module of.
const modules = fs.readdirSync(web).filter((name) => name.endsWith('.mjs')).sort()
  .map((name) => `<script type="text/plain" data-module="${name}">\n${scriptText(read(name))}</script>`)
  .join('\n');

// The pure module as a script for the worker, which cannot import (a page
// opened from disk gives its workers no modules): its exports become the
// members of one constant.
function asScript(name, global) {
  const text = read(name);
  if (/^import /m.test(text)) throw new Error(`${name} imports: the worker cannot take it`);
  const names = [...text.matchAll(/^export (?:function|const) (\w+)/gm)].map((match) => match[1]);
  return `const ${global} = (() => {\n${text.replace(/^export /gm, '')}\nreturn { ${names.join(', ')} };\n})();\n`;
}

const worker = [fs.readFileSync(moduleJs, 'utf8'), asScript('logic.mjs', 'QuorvelLogic'), read('worker.js')];
const parts = {
  '<link rel="stylesheet" href="style.css">': `<style>\n${read('style.css')}</style>`,
  '<script src="compile.js"></script>': `<script>\n${scriptText(read('compile.js'))}</script>`,
  '<!--MODULES-->': modules,
  '<script src="modules.js"></script>': `<script>\n${scriptText(read('modules.js'))}</script>`,
  '/*WORKER*/': scriptText(worker.join('\n')),
  '/*WASM*/': fs.readFileSync(moduleJs.replace(/\.js$/, '.wasm')).toString('base64'),
};
let html = read('index.html');
for (const [mark, text] of Object.entries(parts)) {
  if (!html.includes(mark)) throw new Error(`index.html lacks ${mark}`);
  html = html.replace(mark, () => text);
}
fs.writeFileSync(output, html);
