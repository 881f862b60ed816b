// Makes quorvel.html, one file: the page with its style, its scripts, the
// worker and the WebAssembly module inside.
// Usage: node make_page.js WEB_FOLDER MODULE_JS OUTPUT_HTML
'use strict';
const fs = require('fs');
const path = require('path');

const [web, moduleJs, output] = process.argv.slice(2);
const read = (name) => fs.readFileSync(path.join(web, name), 'utf8');
// Text inside a <script> element must not end it early.
const scriptText = (text) => text.replace(/<\/script/gi, '<\\/script');

const parts = {
  '<link rel="stylesheet" href="style.css">': `<style>\n${read('style.css')}</style>`,
  '<script id="logic-script" src="logic.js"></script>': `<script id="logic-script">\n${scriptText(read('logic.js'))}</script>`,
  '<script src="compile.js"></script>': `<script>\n${scriptText(read('compile.js'))}</script>`,
  '<script src="page.js"></script>': `<script>\n${scriptText(read('page.js'))}</script>`,
  '<script src="sheet.js"></script>': `<script>\n${scriptText(read('sheet.js'))}</script>`,
  '/*WORKER*/': scriptText(read('worker.js')),
  '/*MODULE*/': scriptText(fs.readFileSync(moduleJs, 'utf8')),
  '/*WASM*/': fs.readFileSync(moduleJs.replace(/\.js$/, '.wasm')).toString('base64'),
};
let html = read('index.html');
for (const [mark, text] of Object.entries(parts)) {
  if (!html.includes(mark)) throw new Error(`index.html lacks ${mark}`);
  html = html.replace(mark, () => text);
}
fs.writeFileSync(output, html);
