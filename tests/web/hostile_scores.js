// Scores that try the loader's edges, and noise, shared by the suites that run the engine
// on them: the same bytes on every run.
'use strict';

// A small deterministic generator, so that the odd bytes are the same on every run.
function bytes(seed, length, pick) {
  const out = Buffer.alloc(length);
  let x = seed >>> 0;
  for (let i = 0; i < length; ++i) {
    x = (Math.imul(x, 1664525) + 1013904223) >>> 0;
    out[i] = pick(x >>> 24);
  }
  return out;
}
const mmlish = 'abcdefgrlotvq<>[]+-#.0123456789 ;\n\r\tABCDEFGRLOTVQ';

const hostile = {
  'empty.mml': Buffer.alloc(0),
  'comments-only.mml': Buffer.from('; nothing but a comment\n;\n'),
  'name-only.mml': Buffer.from('A\nB\n'),
  'number-overflow.mml': Buffer.from('A t120 o4 c99999999999999999999\n'),
  'number-overflow-later-line.mml': Buffer.from('A c d e\nA l4294967296 c\n'),
  'int32-edge.mml': Buffer.from('A t2147483647 l2147483647 c2147483647 v2147483647 q2147483647\n'),
  'zero-tempo-length.mml': Buffer.from('A t0 l0 c d t1 e l1 f\n'),
  'huge-repeat.mml': Buffer.from('A [c]999999999\n'),
  'huge-nested-repeat.mml': Buffer.from('A [[[cdefgab]9999]9999]9999\n'),
  'big-repeat.mml': Buffer.from('A t255 l64 [c d e f]100000\nB [r]3\n'),
  'unbalanced.mml': Buffer.from('A ]]]3 [c [d ]2 e\nB [[[[\nC ]9 c\n'),
  'octaves.mml': Buffer.from('A o9 c o0 c <<<<<<<<<<<< c >>>>>>>>>>>>>>>>>>>>>>> c o8 b+ o0 c- \n'),
  'dots.mml': Buffer.from('A c4' + '.'.repeat(80) + ' d1' + '.'.repeat(30) + '\n'),
  'gate-volume.mml': Buffer.from('A q0 c q8 d v0 e v127 f v-3 g q-1 a\n'),
  'tiny-notes.mml': Buffer.from('A t9999 l9999 cdefgab r9999\n'),
  'crlf-bom.mml': Buffer.concat([Buffer.from([0xef, 0xbb, 0xbf]), Buffer.from('A t120 c d\r\nB e f\r\n')]),
  'long-line.mml': Buffer.from('A ' + 'c'.repeat(200000) + '\n'),
  'no-newline.mml': Buffer.from('A cde'),
  'nul-and-high-bytes.mml': Buffer.from([0x41, 0x20, 0x63, 0x00, 0x64, 0xff, 0xfe, 0x80, 0x65, 0x0a]),
  'many-channels.mml': Buffer.from(Array.from({ length: 300 }, (_, i) => `C${i} c${i % 64 + 1}\n`).join('')),
};
for (let seed = 1; seed <= 6; ++seed) {
  hostile[`odd-bytes-${seed}.mml`] = bytes(seed, 4000, (b) => b);
  hostile[`mml-noise-${seed}.mml`] = bytes(seed * 7919, 4000, (b) => mmlish.charCodeAt(b % mmlish.length));
}

module.exports = { hostile, bytes };
