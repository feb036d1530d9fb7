// The studio's engine client with a worker of our own making: an edit ends a job whose text is
// out of date only on a worker that is at work, and never replaces one still starting (on a
// slow machine, typing would otherwise replace the worker on every key and nothing would be
// checked).
//   node engine_test.mjs <web/studio/engine.js>
import assert from 'node:assert/strict';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const workers = [];
globalThis.Worker = class {
  constructor() {
    this.sent = [];
    this.ended = false;
    workers.push(this);
  }
  postMessage(message) { this.sent.push(message); }
  terminate() { this.ended = true; }
};
let now = 0;
globalThis.performance = { now: () => now };

const { Engine, stats } = await import(pathToFileURL(path.resolve(process.argv[2])));
const replies = [];
const engine = new Engine(['check'], { onReply: (r) => replies.push(r.id), onBusy: () => {}, bytesOf: (t) => t });
const answer = (worker, ms) => worker.onmessage({ data: { id: worker.sent.at(-1).id, kind: 'check', ms, memory: 0 } });
const lastText = (worker) => worker.sent.at(-1).bytes;

engine.want('check', { text: 'A c' });
now = 1000; // the engine is still starting when the next key comes, however long that takes
engine.want('check', { text: 'A cd' });
assert.equal(workers.length, 1, 'a starting worker was replaced');
answer(workers[0], 20);
assert.equal(lastText(workers[0]), 'A cd', 'the latest text goes next, to the same worker');

now += 50; // a quick job on a working engine is let finish
engine.want('check', { text: 'A cde' });
assert.equal(workers.length, 1);
now += 200; // one that has run too long is ended, and a fresh worker takes the latest text
engine.want('check', { text: 'A cdef' });
assert.equal(workers.length, 2);
assert.ok(workers[0].ended);
assert.equal(lastText(workers[1]), 'A cdef');
assert.equal(stats.cancelled, 1);
answer(workers[1], 20);
assert.deepEqual(replies, [1, 4], 'only the jobs let finish are answered');
console.log('engine: an out-of-date job ends only on a working engine');
