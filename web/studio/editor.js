// The studio: an editor for MML scores that checks and plays them as marrowtone-render
// would, while the author writes. The engine runs in a worker (studio_worker.js); this
// page only edits, shows and plays what the worker hands back.
import { EditorState, StateEffect, StateField, Prec } from '@codemirror/state';
import {
  EditorView, Decoration, keymap, lineNumbers, highlightActiveLine, highlightActiveLineGutter,
  drawSelection, highlightSpecialChars,
} from '@codemirror/view';
import { history, defaultKeymap, historyKeymap } from '@codemirror/commands';
import { search, searchKeymap, highlightSelectionMatches } from '@codemirror/search';
import { syntaxHighlighting } from '@codemirror/language';
import { setDiagnostics, lintGutter, lintKeymap } from '@codemirror/lint';
import { mml, mmlHighlight } from './mml_language.js';

const RATE = 11025;
const SECONDS = 60;
// Sounds are switched and stopped through short ramps, not cut: a cut clicks.
const FADE = 0.015;
const STOP_FADE = 0.03;
// Work the worker has been at this long shows as progress, and Stop ends it.
const SHOW_PROGRESS_MS = 300;
// A worker whose module grew past this is replaced once it is idle: memory a huge score
// took is given back.
const MEMORY_KEPT = 96 << 20;
const TYPING_PAUSE_MS = 250;

const $ = (id) => document.getElementById(id);
const stats = { checkLatency: [], heardLatency: [], longestJob: 0 };

// ---- Announcements ----------------------------------------------------------------

function announce(text) {
  const region = $('announce');
  region.textContent = '';
  // A new node each time: screen readers announce a repeated text too.
  requestAnimationFrame(() => { region.textContent = text; });
}

// ---- Byte columns --------------------------------------------------------------------

// The tool counts columns in bytes of UTF-8; the editor in UTF-16 units.
function offsetOfByteColumn(lineText, column) {
  let bytes = 0;
  let i = 0;
  while (i < lineText.length && bytes < column - 1) {
    const code = lineText.codePointAt(i);
    bytes += code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
    i += code >= 0x10000 ? 2 : 1;
  }
  return i;
}

function place(doc, line, column) {
  const l = doc.line(Math.min(Math.max(line, 1), doc.lines));
  const from = l.from + offsetOfByteColumn(l.text, column);
  let to = from;
  while (to < l.to && !/[ \t]/.test(l.text[to - l.from])) ++to;
  return { from, to: Math.max(to, Math.min(from + 1, l.to)) };
}

// A warning may name a million channels; the page shows its beginning.
const LONGEST_MESSAGE = 2000;
function shortened(message) {
  return message.length <= LONGEST_MESSAGE ? message
    : message.slice(0, LONGEST_MESSAGE) + ` … (${message.length - LONGEST_MESSAGE} more characters)`;
}

// "score.mml:3:14: warning: TEXT" lines, as --check prints them.
function parseCheck(text) {
  const problems = [];
  for (const line of text.split('\n')) {
    const m = /^score\.mml:(\d+):(\d+): (warning|error): (.*)$/.exec(line);
    if (m) problems.push({ line: +m[1], column: +m[2], severity: m[3], message: m[4] });
  }
  return problems;
}

// ---- The worker ----------------------------------------------------------------------

class Engine {
  constructor(onReply, onBusy) {
    this.onReply = onReply;
    this.onBusy = onBusy;
    this.nextId = 1;
    this.wanted = {}; // kind -> job, the latest of each kind
    this.start();
  }

  start() {
    this.worker = new Worker('studio_worker.js');
    this.worker.onmessage = (e) => this.done(e.data);
    this.worker.onerror = (e) => {
      e.preventDefault();
      const job = this.current;
      this.restart();
      if (job) this.onReply({ kind: job.kind, id: job.id, error: 'Error: ' + (e.message || 'the engine stopped') }, job);
    };
    this.current = null;
    this.memory = 0;
  }

  restart() {
    this.worker.terminate();
    clearTimeout(this.busyTimer);
    this.onBusy(null);
    this.start();
    this.pump();
  }

  want(kind, fields) {
    const job = Object.assign({ kind, id: this.nextId++ }, fields);
    this.wanted[kind] = job;
    this.pump();
    return job;
  }

  drop(kind) {
    delete this.wanted[kind];
  }

  // Sound first: what is heard should follow the text before anything is shown.
  pump() {
    if (this.current) return;
    const kind = ['render', 'cursor', 'wav', 'check'].find((k) => this.wanted[k]);
    if (!kind) {
      if (this.memory > MEMORY_KEPT) {
        this.worker.terminate();
        this.start();
      }
      return;
    }
    const job = this.wanted[kind];
    // While the author types over playing sound, a check would hold up the next rendering:
    // checks wait for a pause.
    const wait = kind === 'check' && state.playing ? job.edited + TYPING_PAUSE_MS - performance.now() : 0;
    if (wait > 0) {
      clearTimeout(this.pauseTimer);
      this.pauseTimer = setTimeout(() => this.pump(), wait);
      return;
    }
    delete this.wanted[kind];
    this.current = job;
    job.sent = performance.now();
    this.busyTimer = setTimeout(() => this.onBusy(job), SHOW_PROGRESS_MS);
    const { text, silenced, line, column } = job;
    this.worker.postMessage({ kind, id: job.id, text, silenced, line, column });
  }

  // Ends the job in hand (and any of its kind waiting): a fresh worker takes the next.
  cancel() {
    const job = this.current;
    if (!job) return null;
    this.current = null;
    this.restart();
    return job;
  }

  busy() {
    return this.current;
  }

  done(reply) {
    const job = this.current;
    if (!job || reply.id !== job.id) return;
    this.current = null;
    clearTimeout(this.busyTimer);
    this.onBusy(null);
    this.memory = reply.memory;
    stats.longestJob = Math.max(stats.longestJob, performance.now() - job.sent);
    stats.memory = reply.memory;
    if (reply.broken) this.memory = Infinity;
    this.onReply(reply, job);
    this.pump();
  }
}

// ---- Sound -----------------------------------------------------------------------------

class Output {
  constructor() {
    this.context = null;
    this.source = null;
  }

  ensure() {
    if (!this.context) {
      this.context = new AudioContext();
      // Against the step from silence to the 8-bit middle and back: the offset the bytes
      // carry is not heard, so starting and stopping do not click.
      this.highPass = this.context.createBiquadFilter();
      this.highPass.type = 'highpass';
      this.highPass.frequency.value = 5;
      this.volume = this.context.createGain();
      this.volume.gain.value = $('volume').value / 100;
      this.highPass.connect(this.volume).connect(this.context.destination);
    }
    if (this.context.state === 'suspended') this.context.resume();
  }

  setVolume(v) {
    if (this.volume) this.volume.gain.setTargetAtTime(v, this.context.currentTime, 0.01);
  }

  // Where the sound is, in seconds of the rendering; null when nothing plays.
  position() {
    if (!this.source) return null;
    return Math.min(SECONDS, this.offset + (this.context.currentTime - this.startedAt));
  }

  play(pcm, offset, onEnded) {
    const c = this.context;
    const samples = new Float32Array(pcm.length);
    for (let i = 0; i < pcm.length; ++i) samples[i] = (pcm[i] - 128) / 128;
    const buffer = c.createBuffer(1, pcm.length, RATE);
    buffer.copyToChannel(samples, 0);
    const source = c.createBufferSource();
    source.buffer = buffer;
    const fade = c.createGain();
    source.connect(fade).connect(this.highPass);
    const now = c.currentTime;
    if (this.source) {
      fade.gain.setValueAtTime(0, now);
      fade.gain.linearRampToValueAtTime(1, now + FADE);
      this.fadeOut(FADE);
    }
    source.onended = () => {
      if (this.source === source) {
        this.source = null;
        onEnded();
      }
    };
    source.start(now, offset);
    this.source = source;
    this.fade = fade;
    this.startedAt = now;
    this.offset = offset;
  }

  fadeOut(seconds) {
    const { source, fade } = this;
    if (!source) return;
    this.source = null;
    const now = this.context.currentTime;
    fade.gain.setValueAtTime(fade.gain.value, now);
    fade.gain.linearRampToValueAtTime(0, now + seconds);
    source.stop(now + seconds);
  }

  stop() {
    this.fadeOut(STOP_FADE);
  }
}

// ---- The page ----------------------------------------------------------------------------

const playingMark = Decoration.mark({ class: 'cm-playing' });
const setPlaying = StateEffect.define();
const playingField = StateField.define({
  create: () => Decoration.none,
  update(marks, tr) {
    marks = marks.map(tr.changes);
    for (const e of tr.effects) if (e.is(setPlaying)) marks = e.value;
    return marks;
  },
  provide: (f) => EditorView.decorations.from(f),
});

let fileName = 'score.mml';
let view;
const output = new Output();
const state = {
  playing: false,     // the author asked for sound and has not stopped it
  rendered: null,     // { text, pcm } the latest rendering
  editedAt: 0,        // when the text last changed
  problems: -1,
  channels: [],       // as --info names them, the first ones
  channelCount: 0,
  muted: new Set(),
  soloed: new Set(),
  map: null,          // where each channel's notes sound, for the text checked last
  startAt: 0,         // where a play that waits for its rendering begins
};

const engine = new Engine(onReply, onBusy);

function text() {
  return view.state.doc.toString();
}

function onBusy(job) {
  const bar = $('progress');
  clearInterval(onBusy.timer);
  if (!job) {
    bar.hidden = true;
    updateButtons();
    return;
  }
  const what = { check: 'Checking', render: 'Rendering', cursor: 'Finding the note',
                 wav: 'Writing the WAV file' }[job.kind];
  const show = () => {
    const seconds = ((performance.now() - job.sent) / 1000).toFixed(1);
    $('progress-text').textContent = `${what}… ${seconds} s (Stop ends it)`;
  };
  show();
  bar.hidden = false;
  onBusy.timer = setInterval(show, 100);
  updateButtons();
}

function onReply(reply, job) {
  if (reply.kind === 'check') showCheck(reply, job);
  if (reply.kind === 'render') heard(reply, job);
  if (reply.kind === 'wav') saveWav(reply);
  if (reply.kind === 'cursor') playFrom(reply, job);
  if (reply.pcm) state.rendered = { key: soundKey(job.text, job.silenced || []), pcm: reply.pcm };
}

// What a rendering is of: the text and the channels left out.
function soundKey(score, silenced) {
  return [score, ...silenced].join('\0');
}

// The channels not to be heard: the muted ones, and with any solo, all but the soloed.
function silenced() {
  const solo = state.channels.some((n) => state.soloed.has(n));
  return state.channels.filter((n) => state.muted.has(n) || (solo && !state.soloed.has(n)));
}

function showCheck(reply, job) {
  if (job.text !== text()) return; // a newer check follows
  stats.checkLatency.push(performance.now() - job.edited);
  const problems = parseCheck(reply.check || '');
  const doc = view.state.doc;
  const diagnostics = problems.map((p) => Object.assign(place(doc, p.line, p.column), {
    severity: p.severity, message: shortened(p.message),
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
    button.className = 'problem ' + p.severity;
    button.textContent = `${p.line}:${p.column} ${p.severity}: ${shortened(p.message)}`;
    button.addEventListener('click', () => {
      const at = place(view.state.doc, p.line, p.column).from;
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
  if (reply.error) announce(reply.error);
  else if (count !== state.problems) announce(count === 1 ? '1 problem' : `${count} problems`);
  state.problems = reply.error ? -1 : count;
  if (reply.channels) showChannels(reply.channels, reply.channelCount);
  state.map = reply.notes ? { text: job.text, channels: splitNotes(reply.notes) } : null;
}

// Per channel its notes, six numbers each (from, to, line, column, length, rest).
function splitNotes(flat) {
  const channels = [];
  for (let i = 0; i < flat.length;) {
    const count = flat[i++];
    channels.push(flat.subarray(i, i + count * 6));
    i += count * 6;
  }
  return channels;
}

function noteAt(notes, sample) {
  let lo = 0;
  let hi = notes.length / 6;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    if (notes[mid * 6] <= sample) lo = mid + 1;
    else hi = mid;
  }
  if (lo === 0 || notes[(lo - 1) * 6 + 1] <= sample) return -1;
  return (lo - 1) * 6;
}

// Marks the note each channel sounds at `seconds`, when the map is of the text shown.
function showPlaying(seconds) {
  const map = state.map;
  let marks = Decoration.none;
  let key = '';
  if (seconds !== null && map && map.text === text()) {
    const sample = Math.floor(seconds * RATE);
    const doc = view.state.doc;
    const ranges = [];
    for (const notes of map.channels) {
      const at = noteAt(notes, sample);
      if (at < 0 || notes[at + 5]) continue;
      const line = notes[at + 2];
      const column = notes[at + 3];
      if (line > doc.lines) continue;
      const l = doc.line(line);
      const from = l.from + offsetOfByteColumn(l.text, column);
      const to = l.from + offsetOfByteColumn(l.text, column + notes[at + 4]);
      if (to > from) ranges.push(playingMark.range(from, to));
      key += from + ':' + to + ',';
    }
    marks = Decoration.set(ranges, true);
  }
  if (key === showPlaying.key) return;
  showPlaying.key = key;
  view.dispatch({ effects: setPlaying.of(marks) });
}

function showChannels(names, total) {
  if (names.join('\n') === state.channels.join('\n') && total === state.channelCount) return;
  state.channels = names;
  state.channelCount = total;
  const list = $('channels');
  list.replaceChildren();
  for (const name of names) {
    const item = document.createElement('li');
    const label = document.createElement('span');
    label.className = 'channel-name';
    label.textContent = name;
    item.append(label);
    for (const [what, set] of [['Mute', state.muted], ['Solo', state.soloed]]) {
      const toggle = document.createElement('button');
      toggle.type = 'button';
      toggle.textContent = what;
      toggle.setAttribute('aria-label', `${what} ${name}`);
      toggle.setAttribute('aria-pressed', String(set.has(name)));
      toggle.addEventListener('click', () => {
        if (set.has(name)) set.delete(name);
        else set.add(name);
        toggle.setAttribute('aria-pressed', String(set.has(name)));
        announce(`${name} ${set.has(name) ? (what === 'Mute' ? 'muted' : 'soloed') : (what === 'Mute' ? 'heard' : 'no longer soloed')}`);
        if (state.playing) engine.want('render', { text: text(), silenced: silenced(), edited: performance.now() });
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

function heard(reply, job) {
  if (reply.error) {
    // The last version that loaded plays on, as with marrowtone-render --watch.
    $('error').hidden = false;
    $('error').textContent = reply.error;
    announce(reply.error);
    if (!output.source) stopped();
    return;
  }
  if (!state.playing) return;
  const at = state.seeking ? null : output.position();
  state.seeking = false;
  const offset = at === null ? state.startAt : at;
  if (offset >= SECONDS) return;
  state.heardKey = soundKey(job.text, job.silenced || []);
  output.play(reply.pcm, offset, ended);
  state.heardText = job.text;
  stats.heardLatency.push(performance.now() - job.edited);
  if (at === null) announce('Playing');
  tick();
}

function ended() {
  stopped();
  announce('Stopped at the end');
}

function stopped() {
  state.playing = false;
  engine.drop('render');
  cancelAnimationFrame(tick.frame);
  updateButtons();
  showTime(null);
  showPlaying(null);
}

function showTime(seconds) {
  const shown = (s) => {
    const tenths = Math.floor(s * 10 + 1e-6);
    return `${Math.floor(tenths / 600)}:${String(Math.floor((tenths % 600) / 10)).padStart(2, '0')}.${tenths % 10}`;
  };
  $('time').textContent = `${shown(seconds || 0)} / 1:00`;
}

function tick() {
  cancelAnimationFrame(tick.frame);
  const at = output.position();
  if (at === null) return;
  showTime(at);
  showPlaying(at);
  tick.frame = requestAnimationFrame(tick);
}

function play(from = 0) {
  output.ensure();
  state.playing = true;
  state.startAt = from;
  state.seeking = true;
  const current = text();
  const job = { text: current, silenced: silenced(), edited: performance.now() };
  if (state.rendered && state.rendered.key === soundKey(job.text, job.silenced)) {
    heard({ pcm: state.rendered.pcm }, job);
  } else {
    engine.want('render', job);
  }
  updateButtons();
}

// Plays from the first moment the note under the cursor is heard.
function playFromCursor() {
  output.ensure();
  const head = view.state.selection.main.head;
  const line = view.state.doc.lineAt(head);
  const column = new TextEncoder().encode(line.text.slice(0, head - line.from)).length + 1;
  engine.want('cursor', { text: text(), line: line.number, column, edited: performance.now() });
}

function playFrom(reply, job) {
  if (reply.error) {
    announce(reply.error);
  } else if (reply.sample < 0) {
    announce(`No note at or after line ${job.line}, column ${job.column} is heard within the minute`);
  } else {
    play(reply.sample / RATE);
  }
}

function stop() {
  const job = engine.busy();
  // Work of a moment finishes on its own; work that shows its progress is ended.
  if (job && !$('progress').hidden) {
    engine.cancel();
    engine.drop('check');
    engine.drop('render');
    announce('Stopped the work on this score');
  }
  const wasPlaying = state.playing;
  output.stop();
  stopped();
  if (wasPlaying) announce('Stopped');
}

function updateButtons() {
  $('stop').disabled = !state.playing && !(engine.busy() && !$('progress').hidden);
}

function edited() {
  const current = text();
  state.editedAt = performance.now();
  if (state.playing) engine.want('render', { text: current, silenced: silenced(), edited: state.editedAt });
  engine.want('check', { text: current, edited: state.editedAt });
}

function setText(newText, name) {
  if (name) fileName = name;
  view.dispatch({ changes: { from: 0, to: view.state.doc.length, insert: newText } });
}

async function openFile(file) {
  if (!file) return;
  const bytes = new Uint8Array(await file.arrayBuffer());
  setText(new TextDecoder().decode(bytes), file.name);
  announce(`Opened ${file.name}`);
}

// ---- Share and export -----------------------------------------------------------------

async function pack(value) {
  const stream = new Blob([new TextEncoder().encode(value)]).stream()
    .pipeThrough(new CompressionStream('deflate-raw'));
  const bytes = new Uint8Array(await new Response(stream).arrayBuffer());
  let binary = '';
  for (let i = 0; i < bytes.length; i += 0x8000)
    binary += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
  return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

async function unpack(packed) {
  const binary = atob(packed.replace(/-/g, '+').replace(/_/g, '/'));
  const bytes = Uint8Array.from(binary, (c) => c.charCodeAt(0));
  const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate-raw'));
  return new TextDecoder('utf-8', { fatal: true }).decode(await new Response(stream).arrayBuffer());
}

async function share() {
  const address = location.href.split('#')[0] + '#score=' + await pack(text());
  window.history.replaceState(null, '', address);
  try {
    await navigator.clipboard.writeText(address);
    announce('Link copied: the score is in the address');
  } catch {
    announce('The score is in the address bar; copy it from there');
  }
}

async function sharedScore() {
  const m = /^#score=([A-Za-z0-9_-]*)$/.exec(location.hash);
  if (!m) return null;
  try {
    return await unpack(m[1]);
  } catch {
    announce('The address holds no score that can be read; the example is shown instead');
    return null;
  }
}

function exportWav() {
  engine.want('wav', { text: text(), edited: performance.now() });
  announce('Writing the WAV file');
}

function saveWav(reply) {
  if (reply.error) {
    announce(reply.error);
    return;
  }
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([reply.wav], { type: 'audio/wav' }));
  link.download = fileName.replace(/\.[^.]*$/, '') + '.wav';
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  announce(`Saved ${link.download}`);
}

// ---- Set-up -------------------------------------------------------------------------------

const studioKeys = [
  { key: 'Mod-Enter', run: () => (play(), true) },
  { key: 'F5', run: () => (play(), true) },
  { key: 'F8', run: () => (stop(), true) },
  { key: 'Mod-Shift-Enter', run: () => (playFromCursor(), true) },
  { key: 'F6', run: () => (playFromCursor(), true) },
  { key: 'Escape', run: () => (state.playing || engine.busy() ? (stop(), true) : false) },
];

async function main() {
  const initial = await sharedScore();
  let startText = initial;
  if (startText === null) {
    try {
      const response = await fetch('examples/three-voices.mml');
      startText = response.ok ? await response.text() : '';
      fileName = 'three-voices.mml';
    } catch {
      startText = '';
    }
  }
  view = new EditorView({
    parent: $('editor'),
    state: EditorState.create({
      doc: startText,
      extensions: [
        lineNumbers(), highlightActiveLineGutter(), highlightSpecialChars(), history(),
        drawSelection(), highlightActiveLine(), highlightSelectionMatches(), search({ top: true }),
        mml, syntaxHighlighting(mmlHighlight), lintGutter(), playingField,
        Prec.high(keymap.of(studioKeys)),
        keymap.of([...defaultKeymap, ...historyKeymap, ...searchKeymap, ...lintKeymap]),
        EditorView.contentAttributes.of({ 'aria-label': 'Score' }),
        EditorView.updateListener.of((u) => { if (u.docChanged) edited(); }),
        EditorView.domEventHandlers({
          drop(event) {
            const file = event.dataTransfer && event.dataTransfer.files[0];
            if (!file) return false;
            event.preventDefault();
            openFile(file);
            return true;
          },
        }),
      ],
    }),
  });
  edited();
  window.addEventListener('keydown', (e) => {
    if (e.defaultPrevented || view.hasFocus) return;
    if (e.key === 'F5' || (e.key === 'Enter' && (e.ctrlKey || e.metaKey) && !e.shiftKey)) { e.preventDefault(); play(); }
    if (e.key === 'F8' || e.key === 'Escape' && state.playing) { e.preventDefault(); stop(); }
    if (e.key === 'F6' || (e.key === 'Enter' && (e.ctrlKey || e.metaKey) && e.shiftKey)) {
      e.preventDefault();
      playFromCursor();
    }
  });
  $('play').addEventListener('click', () => play());
  $('play-cursor').addEventListener('click', playFromCursor);
  $('stop').addEventListener('click', stop);
  $('share').addEventListener('click', share);
  $('export').addEventListener('click', exportWav);
  $('open').addEventListener('click', () => $('file').click());
  $('file').addEventListener('change', (e) => { openFile(e.target.files[0]); e.target.value = ''; });
  $('volume').addEventListener('input', (e) => output.setVolume(e.target.value / 100));
  window.addEventListener('hashchange', async () => {
    const shared = await sharedScore();
    if (shared !== null && shared !== text()) setText(shared);
  });
  document.body.addEventListener('dragover', (e) => e.preventDefault());
  document.body.addEventListener('drop', (e) => {
    e.preventDefault();
    openFile(e.dataTransfer.files[0]);
  });
  showTime(null);
  updateButtons();
  window.studio = { view, stats, output, state, engine, ready: true, editableAt: performance.now() };
  if ('serviceWorker' in navigator) navigator.serviceWorker.register('sw.js').catch(() => {});
}

main();
