// A score in the page's address: its bytes deflated and in base64url after "#score=".
import { LARGEST_SCORE } from './score_bytes.js';

// Browsers refuse to open addresses much longer than this.
export const LONGEST_LINK = 2 * 1000 * 1000;

async function pack(bytes) {
  const stream = new Blob([bytes]).stream().pipeThrough(new CompressionStream('deflate-raw'));
  const packed = new Uint8Array(await new Response(stream).arrayBuffer());
  let binary = '';
  for (let i = 0; i < packed.length; i += 0x8000)
    binary += String.fromCharCode.apply(null, packed.subarray(i, i + 0x8000));
  return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

const megabytes = (n) => `${(n / 1e6).toFixed(1)} MB`;

// The address that holds `bytes`, or { error } when it would be too long to open.
export async function linkOf(bytes) {
  const address = location.href.split('#')[0] + '#score=' + await pack(bytes);
  if (address.length > LONGEST_LINK) {
    return { error: `A link to this score would be ${megabytes(address.length)} long, more than ` +
                    `a browser opens (about ${megabytes(LONGEST_LINK)}): save it as a file instead` };
  }
  return { address };
}

export function linkedScore(hash = location.hash) {
  const m = /^#score=(.*)$/s.exec(hash);
  return m ? m[1] : null;
}

// The bytes the link's `packed` text stands for, or { error } saying why there are none.
// Unpacking runs in a worker of its own, ended once it answers.
export function unpackLink(packed) {
  if (!/^[A-Za-z0-9_-]*$/.test(packed) || packed.length % 4 === 1) {
    return Promise.resolve({ error: 'The link is damaged (it holds characters a score link never has); your own score is kept' });
  }
  return new Promise((resolve) => {
    const worker = new Worker('link_worker.js');
    const end = (reply) => {
      worker.terminate();
      if (reply.error === 'too large') {
        reply.error = `The link's score is larger than the ${LARGEST_SCORE >> 20} MiB the studio ` +
                      'takes, so it was not opened; your own score is kept';
      } else if (reply.error) {
        reply.error = 'The link is damaged or cut short: it holds no score that can be read; ' +
                      'your own score is kept';
      }
      resolve(reply);
    };
    worker.onmessage = (e) => end(e.data);
    worker.onerror = (e) => {
      e.preventDefault();
      end({ error: 'damaged' });
    };
    worker.postMessage({ packed, largest: LARGEST_SCORE });
  });
}

// Takes the score out of the address, once the text no longer is what it holds.
export function forgetLink() {
  if (linkedScore() !== null) window.history.replaceState(null, '', location.href.split('#')[0]);
}
