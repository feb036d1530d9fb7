// What the engine tells about the text, shown: the problems in the editor and in their
// list, the channels with their Mute and Solo, and the notes sounding while playing.
import { StateEffect, StateField } from '@codemirror/state';
import { EditorView, Decoration } from '@codemirror/view';
import { setDiagnostics } from '@codemirror/lint';
import { offsetOfByteColumn } from './score_bytes.js';
import { format } from './engine.js';
import { announceProblems } from './status.js';

const $ = (id) => document.getElementById(id);

// A warning may name a million channels; the page shows its beginning.
const LONGEST_MESSAGE = 2000;
function shortened(message) {
  return message.length <= LONGEST_MESSAGE ? message
    : message.slice(0, LONGEST_MESSAGE) + ` … (${message.length - LONGEST_MESSAGE} more characters)`;
}

// The tool's line and byte column as a range of the editor: to the end of the word there.
export function place(doc, line, column, raw) {
  const l = doc.line(Math.min(Math.max(line, 1), doc.lines));
  const from = l.from + offsetOfByteColumn(l.text, column, raw);
  let to = from;
  while (to < l.to && !/[ \t]/.test(l.text[to - l.from])) ++to;
  return { from, to: Math.max(to, Math.min(from + 1, l.to)) };
}

// Shows a check's reply, whose problems come as --check finds them (line, byte column,
// kind, text); `raw` whether the text shows bytes that are not UTF-8.
export function showProblems(view, reply, raw) {
  const problems = reply.problems || [];
  const doc = view.state.doc;
  const diagnostics = problems.map((p) => Object.assign(place(doc, p.line, p.column, raw), {
    severity: p.kind, message: shortened(p.text),
  }));
  view.dispatch(setDiagnostics(view.state, diagnostics));
  const list = $('problems');
  list.replaceChildren();
  const error = $('error');
  error.hidden = !reply.error;
  error.textContent = reply.error || '';
  for (const p of problems) {
    const item = document.createElement('li');
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'problem ' + p.kind;
    button.textContent = `${p.line}:${p.column} ${p.kind}: ${shortened(p.text)}`;
    button.addEventListener('click', () => {
      const at = place(view.state.doc, p.line, p.column, raw).from;
      view.dispatch({ selection: { anchor: at }, scrollIntoView: true });
      view.focus();
    });
    item.append(button);
    list.append(item);
  }
  if (!reply.error && problems.length === 0) {
    const item = document.createElement('li');
    item.className = 'none';
    item.textContent = 'No problems';
    list.append(item);
  }
  const count = problems.length;
  $('problems-count').textContent = String(count);
  announceProblems(count);
}

// ---- The notes sounding ------------------------------------------------------------------

// Marks the page sets whole, kept in place through edits: the field, and the effect that
// sets them.
export function replacedMarks() {
  const set = StateEffect.define();
  const field = StateField.define({
    create: () => Decoration.none,
    update(marks, tr) {
      marks = marks.map(tr.changes);
      for (const e of tr.effects) if (e.is(set)) marks = e.value;
      return marks;
    },
    provide: (f) => EditorView.decorations.from(f),
  });
  return { set, field };
}

const playingMark = Decoration.mark({ class: 'cm-playing' });
const { set: setPlaying, field: playingField } = replacedMarks();
export { playingField };

// Per channel its notes, FIELDS numbers each (from, to, line, column, length, rest, period).
export const FIELDS = 7;
export function splitNotes(flat) {
  const channels = [];
  for (let i = 0; i < flat.length;) {
    const count = flat[i++];
    channels.push(flat.subarray(i, i + count * FIELDS));
    i += count * FIELDS;
  }
  return channels;
}

// The index of the first number of the note sounding at `sample`, or -1.
export function noteAt(notes, sample) {
  let lo = 0;
  let hi = notes.length / FIELDS;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    if (notes[mid * FIELDS] <= sample) lo = mid + 1;
    else hi = mid;
  }
  if (lo === 0 || notes[(lo - 1) * FIELDS + 1] <= sample) return -1;
  return (lo - 1) * FIELDS;
}

// Marks the note each channel sounds at `seconds`, when `map` is of the text shown; none of
// the channels in `skip`, and with `follow` the editor scrolls to the first one marked.
let shownKey = '';
export function showPlaying(view, map, seconds, current, raw, { skip = new Set(), follow = false } = {}) {
  let marks = Decoration.none;
  let key = '';
  if (seconds !== null && map && map.text === current) {
    const sample = Math.floor(seconds * format.rate);
    const doc = view.state.doc;
    const ranges = [];
    for (const [c, notes] of map.channels.entries()) {
      if (skip.has(c)) continue;
      const at = noteAt(notes, sample);
      if (at < 0 || notes[at + 5]) continue;
      const line = notes[at + 2];
      const column = notes[at + 3];
      if (line > doc.lines) continue;
      const l = doc.line(line);
      const from = l.from + offsetOfByteColumn(l.text, column, raw);
      const to = l.from + offsetOfByteColumn(l.text, column + notes[at + 4], raw);
      if (to > from) ranges.push(playingMark.range(from, to));
      key += from + ':' + to + ',';
    }
    marks = Decoration.set(ranges, true);
  }
  if (key === shownKey) return;
  shownKey = key;
  const first = follow && marks.size ? marks.iter().from : -1;
  view.dispatch({ effects: first < 0 ? setPlaying.of(marks)
    : [setPlaying.of(marks), EditorView.scrollIntoView(first, { y: 'nearest' })] });
}

// ---- Channels ------------------------------------------------------------------------------

// Lists the channels with a Mute and a Solo each; `onToggle(what, name, on)` on a press.
export function showChannels(names, total, muted, soloed, onToggle) {
  const list = $('channels');
  list.replaceChildren();
  for (const name of names) {
    const item = document.createElement('li');
    const label = document.createElement('span');
    label.className = 'channel-name';
    label.textContent = name;
    item.append(label);
    for (const [what, set] of [['Mute', muted], ['Solo', soloed]]) {
      const toggle = document.createElement('button');
      toggle.type = 'button';
      toggle.textContent = what;
      toggle.setAttribute('aria-label', `${what} ${name}`);
      toggle.setAttribute('aria-pressed', String(set.has(name)));
      toggle.addEventListener('click', () => {
        if (set.has(name)) set.delete(name);
        else set.add(name);
        toggle.setAttribute('aria-pressed', String(set.has(name)));
        onToggle(what, name, set.has(name));
      });
      item.append(toggle);
    }
    list.append(item);
  }
  if (total > names.length) {
    const item = document.createElement('li');
    item.textContent = `and ${total - names.length} more`;
    list.append(item);
  }
}
