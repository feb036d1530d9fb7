// Unpacks the score a link carries, off the page's thread, and no further than the largest
// score the engine takes: a few hundred kilobytes of deflate can stand for gigabytes.
// The packed data goes in a kilobyte at a time, so that no step inflates more than about a
// megabyte before the count is looked at.
'use strict';

const STEP = 1024;

function bytesOfBase64(packed) {
  const binary = atob(packed.replace(/-/g, '+').replace(/_/g, '/'));
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

async function feed(writer, packed) {
  try {
    for (let i = 0; i < packed.length; i += STEP) {
      await writer.ready;
      writer.write(packed.subarray(i, i + STEP)).catch(() => {});
    }
    await writer.close();
  } catch {
    // The reading side tells what went wrong.
  }
}

async function unpack(text, largest) {
  let packed;
  try {
    packed = bytesOfBase64(text);
  } catch {
    return { error: 'damaged' };
  }
  const stream = new DecompressionStream('deflate-raw');
  const writer = stream.writable.getWriter();
  const reader = stream.readable.getReader();
  feed(writer, packed);
  const chunks = [];
  let size = 0;
  try {
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      size += value.length;
      if (size > largest) {
        reader.cancel().catch(() => {});
        writer.abort().catch(() => {});
        return { error: 'too large' };
      }
      chunks.push(value);
    }
  } catch {
    return { error: 'damaged' };
  }
  const bytes = new Uint8Array(size);
  let at = 0;
  for (const c of chunks) {
    bytes.set(c, at);
    at += c.length;
  }
  return { bytes };
}

onmessage = async (event) => {
  const reply = await unpack(event.data.packed, event.data.largest);
  postMessage(reply, reply.bytes ? [reply.bytes.buffer] : []);
};
