// Moving in time: pause and resume, a timeline to hear the piece from any moment, a loop of
// the selection's notes or of a range marked while listening, and the editor following the
// playing note. Every move plays through the session, so what is heard is always the
// rendering of the text from that moment on.
import * as session from './session.js';
import { format } from './engine.js';
import { byteColumnOf } from './score_bytes.js';
import { FIELDS } from './score_view.js';
import { announce } from './status.js';

const $ = (id) => document.getElementById(id);
const { state, output, score, clock } = session;
// The last sample of the rendering, once the engine has told its play format.
const last = () => Math.max(0, format.rate * format.seconds - 1);
const STEP_SECONDS = 5;

let view = null;
const frameListeners = [];
let dragging = false;
let loopMark = null; // seconds, where a range to loop begins

// Where the author is in time: where the sound is, else where it paused; null for neither.
export function now() {
  const at = output.position();
  return at !== null ? at : state.pausedAt;
}

// `fn(seconds or null)` on every frame while playing and whenever the place in time moves.
export function onFrame(fn) {
  frameListeners.push(fn);
}

function moved() {
  const at = now();
  $('pause').textContent = !state.playing && state.pausedAt !== null ? 'Resume' : 'Pause';
  if (!dragging) {
    const timeline = $('timeline');
    timeline.max = String(last());
    timeline.value = String(Math.round((at || 0) * format.rate));
    timeline.setAttribute('aria-valuetext', clock(at || 0));
  }
  for (const fn of frameListeners) fn(at);
}

export function togglePause() {
  if (state.playing) {
    const at = output.position();
    session.stop();
    if (at === null) return; // still waiting for its rendering: stopped
    state.pausedAt = at;
    session.showTime(at);
    moved();
    announce(`Paused at ${clock(at)}`);
  } else {
    session.play(state.pausedAt || 0);
  }
}

export function seek(seconds) {
  session.play(Math.min(Math.max(seconds, 0), last() / format.rate));
}

export function step(direction) {
  seek((now() || 0) + direction * STEP_SECONDS);
}

// Loops samples [from, to) from their start, or ends the loop (null) where the sound is.
function setLoop(loop) {
  state.loop = loop;
  $('loop').setAttribute('aria-pressed', String(Boolean(loop)));
  $('loop-range').textContent = loop ? `${clock(loop.from / format.rate)}–${clock(loop.to / format.rate)}` : '';
  if (loop) {
    session.play(loop.from / format.rate);
    announce(`Looping ${clock(loop.from / format.rate)} to ${clock(loop.to / format.rate)}`);
  } else {
    if (state.playing && output.position() !== null) session.play(output.position());
    announce('Loop off');
  }
  moved();
}

// The samples the notes written in the selection take the first time they are heard (the
// cursor's line when nothing is selected): in each channel the first run of them, one after
// another, from the map of the text shown; null when none is heard.
function selectionSpan() {
  const map = state.map;
  const doc = view.state.doc;
  if (!map || map.text !== doc.toString()) return null;
  const range = view.state.selection.main;
  const placeOf = (pos) => {
    const line = doc.lineAt(pos);
    return line.number * 2 ** 32 + byteColumnOf(line.text, pos - line.from, score.file.raw);
  };
  const start = placeOf(range.empty ? doc.lineAt(range.head).from : range.from);
  const end = placeOf(range.empty ? doc.lineAt(range.head).to : range.to);
  const selected = (notes, i) => {
    const first = notes[i + 2] * 2 ** 32 + notes[i + 3];
    return i < notes.length && first + notes[i + 4] > start && first < end;
  };
  let from = Infinity;
  let to = -1;
  for (const notes of map.channels) {
    let i = 0;
    while (i < notes.length && !selected(notes, i)) i += FIELDS;
    if (i >= notes.length) continue;
    let last = i;
    while (selected(notes, last + FIELDS)) last += FIELDS;
    from = Math.min(from, notes[i]);
    to = Math.max(to, notes[last + 1]);
  }
  return to > from ? { from, to } : null;
}

export function toggleLoop() {
  if (state.loop) {
    setLoop(null);
    return;
  }
  const span = selectionSpan();
  if (span) setLoop(span);
  else announce(state.map ? 'No note of the selection is heard' : 'The notes are not known yet; try again after the check');
}

// Marks where a range to loop begins, then where it ends.
export function markLoop(end) {
  const at = now();
  if (at === null) {
    announce('Play first, then mark the loop while listening');
  } else if (!end) {
    loopMark = at;
    announce(`The loop will start at ${clock(at)}`);
  } else if (loopMark === null || at <= loopMark) {
    announce('Mark where the loop starts first');
  } else {
    setLoop({ from: Math.round(loopMark * format.rate), to: Math.round(at * format.rate) });
  }
}

export function setFollow(on) {
  state.follow = on;
  $('follow').checked = on;
  localStorage.setItem('marrowtone-follow', on ? '1' : '0');
}

export function startTransport(editorView) {
  view = editorView;
  setFollow(localStorage.getItem('marrowtone-follow') !== '0');
  const timeline = $('timeline');
  timeline.addEventListener('pointerdown', () => { dragging = true; });
  window.addEventListener('pointerup', () => { dragging = false; });
  timeline.addEventListener('input', () => seek(Number(timeline.value) / format.rate));
  $('pause').addEventListener('click', togglePause);
  $('loop').addEventListener('click', toggleLoop);
  $('follow').addEventListener('change', (e) => setFollow(e.target.checked));
  session.onFrame(moved);
  session.changes.addEventListener('stopped', () => {
    state.pausedAt = null;
    moved();
  });
}
