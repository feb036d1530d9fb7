// The studio's engine off the page's thread: loading, checking and rendering may take
// seconds for a huge score, and the page must answer meanwhile. One job at a time, in the
// order the page sends them; the page keeps at most one in flight.
'use strict';

importScripts('marrowtone_studio.js');

const ready = createStudio();
const encoder = new TextEncoder();

// Runs `fn` (an export taking the score's bytes) and reads what it left.
function call(module, fn, text) {
  const bytes = encoder.encode(text);
  const at = module._malloc(bytes.length || 1);
  module.HEAPU8.set(bytes, at);
  let status;
  try {
    status = module[fn](at, bytes.length);
  } finally {
    module._free(at);
  }
  const size = module._ms_bytes_size();
  const from = module._ms_bytes();
  return {
    status,
    text: module.UTF8ToString(module._ms_text()),
    bytes: size ? module.HEAPU8.slice(from, from + size) : null,
  };
}

onmessage = async (event) => {
  const job = event.data;
  const module = await ready;
  const started = performance.now();
  let reply;
  try {
    if (job.kind === 'check') {
      const r = call(module, '_ms_check', job.text);
      reply = Object.assign(JSON.parse(r.text), { pcm: r.bytes });
    } else if (job.kind === 'render') {
      const r = call(module, '_ms_render', job.text);
      reply = r.status === 0 ? { pcm: r.bytes } : { error: r.text };
    } else if (job.kind === 'wav') {
      const r = call(module, '_ms_wav', job.text);
      reply = r.status === 0 ? { wav: r.bytes } : { error: r.text };
    }
  } catch (e) {
    // Out of memory and the like: the page starts a fresh worker for the next job.
    reply = { error: 'Error: ' + (e && e.message || e), broken: true };
  }
  reply.id = job.id;
  reply.kind = job.kind;
  reply.ms = performance.now() - started;
  reply.memory = module.HEAPU8.length;
  const transfer = ['pcm', 'wav'].filter((k) => reply[k]).map((k) => reply[k].buffer);
  postMessage(reply, transfer);
};
