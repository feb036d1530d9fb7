// A line of MML read into words as the engine's loader reads it, from the engine's own
// lexicon (mml_lexicon.js, written from it at build time): which kind of word each byte
// starts, and what each kind takes after its first byte. A line's first word names its
// channel; a comment runs to the line's end. Kinds are the lexicon's names: 'name', 'note',
// 'rest', 'setting', 'marker', 'octave', 'open', 'close', 'comment', 'skipped', 'blank'.

const isDigit = (code) => code >= 48 && code <= 57;

export function wordReader(lexicon) {
  const kindOf = (code) => (code < lexicon.byteKinds.length ? lexicon.byteKinds[code] : 'skipped');
  const isBlank = (code) => kindOf(code) === 'blank';

  // Past the sign, digits and dots the kind's shape takes after `p`; -1 where a number it
  // needs is missing.
  function shaped(line, p, kind) {
    const shape = lexicon.shapes[kind];
    let q = p + 1;
    if (shape.sign && q < line.length && lexicon.signs.includes(line[q])) ++q;
    const digits = q;
    if (shape.number !== 'none') while (q < line.length && isDigit(line.charCodeAt(q))) ++q;
    if (shape.number === 'required' && q === digits) return -1;
    if (shape.dots) while (line[q] === lexicon.dot) ++q;
    return q;
  }

  // The word at `p` of `line` and where it ends; `state` carries what the line read so far
  // (its name, the '['s still open), made by startState() at each line's start.
  function read(line, p, state) {
    const code = line.charCodeAt(p);
    let kind = kindOf(code);
    let end = p + 1;
    if (kind === 'blank') {
      while (end < line.length && isBlank(line.charCodeAt(end))) ++end;
    } else if (kind === 'comment') {
      end = line.length;
    } else if (!state.named) {
      kind = 'name';
      while (end < line.length && !isBlank(line.charCodeAt(end))) ++end;
    } else if (kind === 'close' && state.open === 0) {
      kind = 'skipped';
    } else if (kind !== 'skipped') {
      const past = shaped(line, p, kind);
      if (past < 0) kind = 'skipped';
      else end = past;
    }
    if (kind === 'name') state.named = true;
    if (kind === 'open') ++state.open;
    if (kind === 'close') --state.open;
    return { kind, end };
  }

  const startState = () => ({ named: false, open: 0 });

  // The channel `line` names, or null for a line that names none (blank, or a comment).
  function nameOf(line) {
    const state = startState();
    for (let p = 0; p < line.length;) {
      const { kind, end } = read(line, p, state);
      if (kind === 'name') return line.slice(p, end);
      if (kind !== 'blank') return null;
      p = end;
    }
    return null;
  }

  return { kindOf, read, startState, nameOf };
}
