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

const { hostile } = require('./hostile_scores.js');

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
