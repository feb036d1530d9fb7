// The studio's highlighter reads every score word for word as the loader does: the same
// boundaries and kinds on the examples, the hostile and noise scores and some thousands of
// generated lines, the loader's words as it tells them and the highlighter's from the
// lexicon module the build writes.
//
//   node lexicon_test.js <lexicon_words> <mml_lexicon.js> <examples folder>
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const { pathToFileURL } = require('url');
const { spawnSync } = require('child_process');
const { hostile, bytes } = require('./hostile_scores.js');

const [wordsProgram, lexiconModule, examplesDir] = process.argv.slice(2);
if (!wordsProgram || !lexiconModule || !examplesDir) {
  console.error('usage: node lexicon_test.js <lexicon_words> <mml_lexicon.js> <examples>');
  process.exit(2);
}

// Lines of every printable byte, the blanks and a few others, thick with MML's own.
function generated(seed) {
  let any = '\t\x00\x80\xe9';
  for (let c = 0x20; c < 0x7f; ++c) any += String.fromCharCode(c);
  const sets = [any, 'abcdefgrABCDEFGRtovqlTOVQL<>[]()+-.;0123456789  '];
  let text = '';
  for (const b of bytes(seed, 2400, (x) => x)) {
    const set = sets[b & 1];
    text += b % 37 ? set[(b >> 1) % set.length] : '\n';
  }
  return Buffer.from(text, 'latin1');
}

// The loader's words of each file, in order, as lexicon_words prints them.
function loaderWords(files) {
  const r = spawnSync(path.resolve(wordsProgram), files, {
    maxBuffer: 256 << 20, encoding: 'latin1',
  });
  if (r.error || r.status !== 0) throw r.error || new Error(`lexicon_words failed: ${r.stderr}`);
  const read = [];
  for (const line of r.stdout.split('\n')) {
    const fields = line.split(' ');
    const last = read[read.length - 1];
    if (fields[0] === '=') read.push({ words: [], failed: null });
    else if (fields[0] === '!') last.failed = fields.slice(1).map(Number);
    else if (line) last.words.push([...fields.slice(0, 3).map(Number), fields[3]]);
  }
  return read;
}

// The file's lines as the loader splits them (CR LF is one end), the highlighter's words
// of each.
function highlighterWords(data, lexicon, reader) {
  const text = data.toString('latin1');
  const lines = [];
  let begin = 0;
  for (let i = 0; i < text.length; ++i) {
    if (!lexicon.lineEnds.includes(text.charCodeAt(i))) continue;
    lines.push(text.slice(begin, i));
    if (text[i] === '\r' && text[i + 1] === '\n') ++i;
    begin = i + 1;
  }
  if (begin < text.length) lines.push(text.slice(begin));
  const words = [];
  lines.forEach((line, n) => {
    const state = reader.startState();
    for (let p = 0; p < line.length; ) {
      const { kind, end } = reader.read(line, p, state);
      if (kind !== 'blank') words.push([n + 1, p + 1, end - p, kind]);
      p = end;
    }
  });
  return words;
}

// Runs of skipped bytes are one word; nothing at or past the place where a load stopped counts.
function canonical(words, failed) {
  const out = [];
  for (const w of words) {
    if (failed && (w[0] > failed[0] || (w[0] === failed[0] && w[1] + w[2] > failed[1]))) break;
    const last = out[out.length - 1];
    const joins = last && last[0] === w[0] && last[1] + last[2] === w[1];
    if (joins && w[3] === 'skipped' && last[3] === 'skipped') last[2] += w[2];
    else out.push([...w]);
  }
  return out.map((w) => w.join(' '));
}

(async () => {
  const lexicon = await import(pathToFileURL(path.resolve(lexiconModule)));
  const words = path.join(__dirname, '../../web/studio/mml_words.js');
  const { wordReader } = await import(pathToFileURL(words));
  const reader = wordReader(lexicon);
  const scores = {};
  for (const name of fs.readdirSync(examplesDir).filter((n) => n.endsWith('.mml')))
    scores[name] = fs.readFileSync(path.join(examplesDir, name));
  Object.assign(scores, hostile);
  for (let seed = 1; seed <= 60; ++seed) scores[`generated-${seed}.mml`] = generated(seed);

  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'marrowtone-lexicon-'));
  const files = Object.keys(scores).map((name) => path.join(work, name));
  Object.values(scores).forEach((data, i) => fs.writeFileSync(files[i], data));
  const loader = loaderWords(files);
  fs.rmSync(work, { recursive: true, force: true });

  const failures = [];
  const kinds = new Set();
  Object.entries(scores).forEach(([name, data], i) => {
    const { words, failed } = loader[i];
    const expected = canonical(words, failed);
    const actual = canonical(highlighterWords(data, lexicon, reader), failed);
    expected.forEach((w) => kinds.add(w.split(' ')[3]));
    const at = expected.findIndex((w, k) => w !== actual[k]);
    if (at >= 0 || actual.length !== expected.length) {
      const k = at >= 0 ? at : expected.length;
      failures.push(`${name}: the loader reads '${expected[k]}', the highlighter '${actual[k]}'`);
    }
  });
  const unseen = lexicon.kinds.filter((k) => k !== 'blank' && !kinds.has(k));
  if (unseen.length) failures.push(`no word of kind ${unseen.join(', ')} was tried`);
  if (failures.length) {
    console.error(failures.join('\n'));
    process.exit(1);
  }
  console.log(`${Object.keys(scores).length} scores read alike`);
})().catch((e) => {
  console.error(e);
  process.exit(1);
});
