// The studio's engine off the page's thread: loading, checking and rendering may take
// seconds for a huge score, and the page must answer meanwhile. One job at a time, in the
// order the page sends them; the page keeps at most one in flight.
'use strict';

importScripts('marrowtone_studio.js');

const ready = createStudio();
const encoder = new TextEncoder();

// Copies `bytes` (or the UTF-8 of a string) into the module for the length of `fn(at, size)`.
function withBytes(module, bytes, fn) {
  if (typeof bytes === 'string') bytes = encoder.encode(bytes);
  const at = module._malloc(bytes.length || 1);
  module.HEAPU8.set(bytes, at);
  try {
    return fn(at, bytes.length);
  } finally {
    module._free(at);
  }
}

// Runs an export on the score's bytes (and on `extra` text, when given, or on the numbers
// `more`) and reads what it left.
function call(module, fn, score, extra, more = []) {
  const status = withBytes(module, score, (at, size) => (extra === undefined
    ? module[fn](at, size, ...more)
    : withBytes(module, extra, (at2, size2) => module[fn](at, size, at2, size2))));
  return readResult(module, status);
}

function readResult(module, status) {
  const size = module._ms_bytes_size();
  const from = module._ms_bytes();
  const count = module._ms_notes_size();
  const notes = module._ms_notes() / 8;
  return {
    status,
    text: module.UTF8ToString(module._ms_text()),
    bytes: size ? module.HEAPU8.slice(from, from + size) : null,
    notes: count ? module.HEAPF64.slice(notes, notes + count) : null,
  };
}

onmessage = async (event) => {
  const job = event.data;
  let started = performance.now();
  let module = null;
  let reply;
  try {
    module = await ready;
    started = performance.now(); // the job's own time, after the engine's start
    if (job.kind === 'check') {
      const r = call(module, '_ms_check', job.bytes);
      reply = Object.assign(JSON.parse(r.text), { pcm: r.bytes, notes: r.notes });
    } else if (job.kind === 'render') {
      const r = call(module, '_ms_render', job.bytes, job.silenced.join('\n'));
      reply = r.status === 0 ? { pcm: r.bytes } : { error: r.text };
    } else if (job.kind === 'cursor') {
      const sample = withBytes(module, job.bytes,
                               (at, size) => module._ms_first_heard(at, size, job.line, job.column));
      reply = sample === -2 ? { error: module.UTF8ToString(module._ms_text()) } : { sample };
    } else if (job.kind === 'wav') {
      // The channels left out and the range kept, as the tool's --mute and --from/--to.
      const r = withBytes(module, job.silenced.join('\n'), (s, sn) => withBytes(
        module, job.range, (g, gn) => call(module, '_ms_wav', job.bytes, undefined, [s, sn, g, gn])));
      reply = r.status === 0 ? { wav: r.bytes } : { error: r.text };
    } else if (job.kind === 'hover') {
      reply = { help: call(module, '_ms_help', job.bytes, undefined, [job.line, job.column]).text };
    } else if (job.kind === 'lines') {
      reply = { lines: call(module, '_ms_lines', job.bytes).notes };
    }
  } catch (e) {
    // Out of memory and the like: the page starts a fresh worker for the next job.
    reply = { error: 'Error: ' + (e && e.message || e), broken: true };
  }
  reply.id = job.id;
  reply.kind = job.kind;
  reply.ms = performance.now() - started;
  reply.memory = module ? module.HEAPU8.length : 0;
  if (module) reply.format = { rate: module._ms_sample_rate(), seconds: module._ms_play_seconds() };
  const transfer = ['pcm', 'wav', 'notes'].filter((k) => reply[k]).map((k) => reply[k].buffer);
  postMessage(reply, transfer);
};
