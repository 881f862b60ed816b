// The page's one worker and the questions it answers: the worker is started
// once the module compiles, ended with every question when a long run is
// cancelled or goes stale, and started again; each answer reaches the function
// that asked. Convert and Cancel say whether a run is under way.
import { grouped } from './logic.mjs';
import { $, state } from './state.mjs';

// The worker's code: the module's own script, the page's pure parts and the
// worker (make_page.js puts them together).
const workerUrl = URL.createObjectURL(new Blob([$('worker-code').textContent], { type: 'text/javascript' }));
let worker = null;
let compiled = null;
let questions = 0;
const answers = new Map();  // the worker's questions still open: id → what to do with the answer
const runsUnderWay = new Set();  // the ids of the runs the worker has not answered yet

// The worker starts first, while the module is compiled (compile.js, in the
// page's head), once; each worker gets it, and each run instantiates it. The
// page is ready once the module is: what it asks before waits for it.
export function startChannel() {
  startWorker();
  compiled = compiledModule;  // compile.js
  compiled.then((module) => {
    worker.postMessage({ type: 'load', module });
    document.body.dataset.ready = 'true';
    performance.mark('ready');
  });
}

function startWorker() {
  worker = new Worker(workerUrl);
  worker.onmessage = (event) => receive(event.data);
  if (compiled) compiled.then((module) => worker.postMessage({ type: 'load', module }));
}

// Posts a question to the worker, about the current picture where it has
// one; `answer` gets the worker's answer.
export function ask(message, answer) {
  const id = ++questions;
  answers.set(id, answer);
  if (!['inspect', 'table', 'move'].includes(message.type)) runsUnderWay.add(id);
  worker.postMessage({ ...message, picture: state.picture ? state.picture.key : 0, id });
  return id;
}

// Hands a picture to the worker, which keeps the latest: a copy of its bytes
// where the page keeps them too, else its file, which the worker reads.
export function handOver(key, bytes, file) {
  if (!bytes) {
    worker.postMessage({ type: 'keep', key, file });
    return;
  }
  const given = bytes.slice();
  worker.postMessage({ type: 'keep', key, bytes: given }, [given.buffer]);
}

function receive(message) {
  if (message.type === 'ready') return;
  if (message.type === 'progress') {
    if (state.running && state.running.id === message.id)
      $('progress').textContent = `Converting… ${grouped(message.written)} bytes written`;
    return;
  }
  const answer = answers.get(message.id);
  answers.delete(message.id);
  runsUnderWay.delete(message.id);
  if (answer) answer(message);
}

// Whether a run is still under way in the worker (one asked for inputs that
// have changed since included), or the run is of a large picture: a change
// then ends it with its worker instead of waiting behind it. A run of a small
// picture is over long before the next key is typed.
export function longRun() {
  return runsUnderWay.size > 0 || (state.running && state.running.large);
}

// Ends the worker and every question to it, and starts another: Cancel, or a
// long run that a change makes stale.
export function stopWorker() {
  worker.terminate();
  answers.clear();
  runsUnderWay.clear();
  startWorker();
  setRunning(null);
  const picture = state.picture;
  if (picture) handOver(picture.key, picture.bytes, picture.file);
}

// Convert stays where the focus is, so that a second Enter never cancels.
export function setRunning(run) {
  state.running = run;
  $('convert').setAttribute('aria-disabled', run ? 'true' : 'false');
  $('cancel').hidden = !run;
}
