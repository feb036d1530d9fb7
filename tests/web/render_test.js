// The page's module renders every example and a set of hostile scores in node, and each
// rendering must equal marrowtone-render's byte for byte; a score that does not load must
// give the same "Error: ..." line.
//
//   node render_test.js <marrowtone.js> <marrowtone-render> <examples folder>
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const { spawnSync } = require('child_process');

const [modulePath, nativeRenderer, examplesDir] = process.argv.slice(2);
if (!modulePath || !nativeRenderer || !examplesDir) {
  console.error('usage: node render_test.js <marrowtone.js> <marrowtone-render> <examples>');
  process.exit(2);
}

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

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'marrowtone-web-render-'));
const scores = [];
for (const name of fs.readdirSync(examplesDir).filter((n) => n.endsWith('.mml')).sort())
  scores.push({ name, data: fs.readFileSync(path.join(examplesDir, name)) });
for (const [name, data] of Object.entries(hostile)) scores.push({ name, data });

function native(name) {
  const r = spawnSync(path.resolve(nativeRenderer), [name, '-'], {
    cwd: work, maxBuffer: 64 << 20, encoding: 'buffer',
  });
  if (r.error) throw r.error;
  return { status: r.status, out: r.stdout, err: r.stderr.toString() };
}

(async () => {
  const errors = [];
  const createMarrowtone = require(path.resolve(modulePath));
  // The module as the page loads it; its bytes are handed over, as this Emscripten fetches
  // them by URL whenever the runtime has fetch, which node now has.
  const wasmBinary = fs.readFileSync(path.join(path.dirname(modulePath), 'marrowtone.wasm'));
  const m = await createMarrowtone({ wasmBinary, print: () => {}, printErr: (t) => errors.push(t) });
  m.FS.mkdir('/scores');
  m.FS.chdir('/scores');

  function wasm(name) {
    errors.length = 0;
    const namePtr = m._malloc(Buffer.byteLength(name) + 1);
    m.stringToUTF8 ? m.stringToUTF8(name, namePtr, Buffer.byteLength(name) + 1)
                   : m.HEAPU8.set([...Buffer.from(name), 0], namePtr);
    const status = m._mt_render(namePtr);
    m._free(namePtr);
    const at = m._mt_rendered();
    const size = m._mt_rendered_size();
    const out = Buffer.from(m.HEAPU8.subarray(at, at + size));
    return { status, out, err: errors.map((t) => t + '\n').join('') };
  }

  // sameWords: false where the tool says more than the player of what it refuses to read.
  const check = (name, setUp, sameWords = true) => {
    setUp();
    const t0 = Date.now();
    const a = native(name);
    const t1 = Date.now();
    const b = wasm(name);
    const t2 = Date.now();
    let problem = '';
    if (a.status !== b.status) problem = `status ${b.status}, native ${a.status}`;
    else if (sameWords ? a.err !== b.err : !a.err.includes(name) || !b.err.includes(name))
      problem = `error ${JSON.stringify(b.err)}, native ${JSON.stringify(a.err)}`;
    else if (a.status === 0 && !a.out.equals(b.out)) {
      let at = 0;
      while (at < a.out.length && a.out[at] === b.out[at]) ++at;
      problem = `${b.out.length} bytes, native ${a.out.length}; first difference at byte ${at}`;
    } else if (a.status === 0 && a.out.length === 0) problem = 'nothing rendered';
    const what = a.status === 0 ? `${a.out.length} bytes` : a.err.trim();
    console.log(`${problem ? 'FAIL' : 'ok  '} ${name}: ${problem || what} ` +
                `(native ${t1 - t0} ms, wasm ${t2 - t1} ms)`);
    return !problem;
  };

  let failed = 0;
  for (const s of scores) {
    const ok = check(s.name, () => {
      fs.writeFileSync(path.join(work, s.name), s.data);
      m.FS.writeFile('/scores/' + s.name, s.data);
    });
    if (!ok) ++failed;
  }
  // Files that cannot be read at all.
  if (!check('missing.mml', () => {})) ++failed;
  if (!check('a-folder.mml', () => {
    fs.mkdirSync(path.join(work, 'a-folder.mml'));
    m.FS.mkdir('/scores/a-folder.mml');
  }, false)) ++failed;

  fs.rmSync(work, { recursive: true, force: true });
  const total = scores.length + 2;
  if (failed) {
    console.log(`web render: ${failed} of ${total} scores differ from marrowtone-render`);
    process.exit(1);
  }
  console.log(`web render: all ${total} scores render as marrowtone-render does`);
})().catch((e) => {
  console.error(e);
  process.exit(1);
});
