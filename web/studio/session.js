// What the studio does with the text while the author writes: checks it and plays it as
// marrowtone-render would, shares and exports it. The engine runs in workers (engine.js);
// this page only shows and plays what they hand back.
import { Engine, stats, format, SHOW_PROGRESS_MS } from './engine.js';
import { Output } from './sound_output.js';
import { byteColumnOf } from './score_bytes.js';
import { announce } from './status.js';
import { showProblems, showPlaying, showChannels, splitNotes } from './score_view.js';
import { ScoreFile, fromBytes } from './score_file.js';
import { linkOf, linkedScore, unpackLink } from './sharing.js';

// While the author types over playing sound, checks wait for a pause, and no check starts
// while the sound is being rendered: the rendering should have the processor.
const TYPING_PAUSE_MS = 250;
const SOUND_FIRST_MS = 50;

const $ = (id) => document.getElementById(id);

let view;
export function setView(v) {
  view = v;
  score.view = v;
}
const score = new ScoreFile();
const output = new Output(() => $('volume').value / 100);
const state = {
  playing: false,     // the author asked for sound and has not stopped it
  rendered: null,     // { key, pcm } the latest rendering
  editedAt: 0,        // when the text last changed
  channels: [],       // as --info names them, the first ones
  channelCount: 0,
  muted: new Set(),
  soloed: new Set(),
  map: null,          // where each channel's notes sound, for the text checked last
  startAt: 0,         // where a play that waits for its rendering begins
  seeking: false,     // the next rendering heard starts at startAt, not where the sound is
  heardKey: '',       // what the rendering heard last is of (soundKey)
  heardText: '',      // the text it was rendered from
  progressTimer: 0,   // counts up the seconds of the work shown in progress
  frame: 0,           // the next frame that moves the time and the notes sounding
  pausedAt: null,     // seconds, where a paused play resumes
  loop: null,         // { from, to } samples heard over and over
  follow: true,       // the editor scrolls to the playing note
};
// Told when the map of the notes ('map'), the channels heard ('channels') or the sound
// ('playing', 'stopped') change.
const changes = new EventTarget();
const tell = (what) => changes.dispatchEvent(new Event(what));

const engineOptions = { onReply, onBusy, bytesOf: (t) => score.bytesOf(t) };
const sound = new Engine(['render', 'cursor', 'wav'], engineOptions);
const checker = new Engine(['check'], Object.assign({}, engineOptions, {
  holdUntil: (job) => (sound.busy() ? performance.now() + SOUND_FIRST_MS
    : state.playing ? job.edited + TYPING_PAUSE_MS : 0),
}));

const text = () => view.state.doc.toString();
const raw = () => score.file.raw;

function onBusy() {
  const jobs = [sound.busy(), checker.busy()].filter((j) => j && performance.now() - j.sent >= SHOW_PROGRESS_MS - 10);
  const job = jobs.sort((a, b) => a.sent - b.sent)[0];
  const bar = $('progress');
  clearInterval(state.progressTimer);
  updateButtons();
  if (!job) {
    bar.hidden = true;
    return;
  }
  const what = { check: 'Checking', render: 'Rendering', cursor: 'Finding the note',
                 wav: 'Writing the WAV file' }[job.kind];
  const show = () => {
    const seconds = ((performance.now() - job.sent) / 1000).toFixed(1);
    $('progress-text').textContent = `${what}… ${seconds} s` + (job.kind === 'check' ? '' : ' (Stop ends it)');
  };
  show();
  bar.hidden = false;
  state.progressTimer = setInterval(show, 100);
}

function onReply(reply, job) {
  if (reply.kind === 'check') showCheck(reply, job);
  if (reply.kind === 'render') heard(reply, job);
  if (reply.kind === 'wav') saveWav(reply);
  if (reply.kind === 'cursor') playFrom(reply, job);
  if (reply.pcm) state.rendered = { key: soundKey(job.text, job.silenced || []), pcm: reply.pcm };
}

// What a rendering is of: the text and the channels left out.
function soundKey(current, silenced) {
  return [current, ...silenced].join('\0');
}

// The channels not to be heard: the muted ones, and with any solo, all but the soloed.
function silenced() {
  const solo = state.channels.some((n) => state.soloed.has(n));
  return state.channels.filter((n) => state.muted.has(n) || (solo && !state.soloed.has(n)));
}

function showCheck(reply, job) {
  if (job.text !== text()) return; // a newer check follows
  stats.checkLatency.push(performance.now() - job.edited);
  showProblems(view, reply, raw());
  if (reply.channels && (reply.channels.join('\n') !== state.channels.join('\n') ||
                         reply.channelCount !== state.channelCount)) {
    state.channels = reply.channels;
    state.channelCount = reply.channelCount;
    showChannels(reply.channels, reply.channelCount, state.muted, state.soloed, toggled);
    tell('channels');
  }
  state.map = reply.notes ? { text: job.text, channels: splitNotes(reply.notes) } : null;
  tell('map');
}

function toggled(what, name, on) {
  announce(`${name} ${on ? (what === 'Mute' ? 'muted' : 'soloed') : (what === 'Mute' ? 'heard' : 'no longer soloed')}`);
  tell('channels');
  if (state.playing) sound.want('render', { text: text(), silenced: silenced(), edited: performance.now() });
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
  if (offset >= format.seconds) return;
  state.heardKey = soundKey(job.text, job.silenced || []);
  output.play(reply.pcm, offset, ended, state.loop);
  state.pausedAt = null;
  tell('playing');
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
  sound.drop('render');
  cancelAnimationFrame(state.frame);
  updateButtons();
  showTime(null);
  showPlaying(view, null, null, '', false);
  tell('stopped');
  checker.pump(); // a check held for the typing pause goes now
}

// A moment as the page shows it, to the tenth: 1:02.5.
function clock(seconds) {
  const tenths = Math.floor(seconds * 10 + 1e-6);
  return `${Math.floor(tenths / 600)}:${String(Math.floor((tenths % 600) / 10)).padStart(2, '0')}.${tenths % 10}`;
}

function showTime(seconds) {
  if (!format.seconds) return; // before the engine has told its format, the page's own text
  const total = `${Math.floor(format.seconds / 60)}:${String(format.seconds % 60).padStart(2, '0')}`;
  $('time').textContent = `${clock(seconds || 0)} / ${total}`;
}

// What else moves with the sound (the timeline, the track view) follows the one frame loop.
const frameListeners = [];
function onFrame(fn) {
  frameListeners.push(fn);
}

function tick() {
  cancelAnimationFrame(state.frame);
  const at = output.position();
  if (at === null) return;
  showTime(at);
  const quiet = silenced();
  const skip = new Set(state.channels.flatMap((n, i) => (quiet.includes(n) ? [i] : [])));
  showPlaying(view, state.map, at, text(), raw(), { skip, follow: state.follow });
  for (const fn of frameListeners) fn();
  state.frame = requestAnimationFrame(tick);
}

function play(from = 0) {
  output.ensure();
  state.playing = true;
  state.startAt = from;
  state.seeking = true;
  const job = { text: text(), silenced: silenced(), edited: performance.now() };
  if (state.rendered && state.rendered.key === soundKey(job.text, job.silenced)) {
    heard({ pcm: state.rendered.pcm }, job);
  } else {
    sound.want('render', job);
  }
  updateButtons();
}

// Plays from the first moment the note under the cursor is heard.
function playFromCursor() {
  output.ensure();
  const head = view.state.selection.main.head;
  const line = view.state.doc.lineAt(head);
  const column = byteColumnOf(line.text, head - line.from, raw());
  sound.want('cursor', { text: text(), line: line.number, column, edited: performance.now() });
}

function playFrom(reply, job) {
  if (reply.error) announce(reply.error);
  else if (reply.sample < 0) announce(`No note at or after line ${job.line}, column ${job.column} is heard within the minute`);
  else play(reply.sample / format.rate);
}

// Ends the sound and the work on it that shows its progress. A check goes on: it holds up
// no sound, and the Problems list must come to match the text.
function stop() {
  if (sound.busy() && !$('progress').hidden) {
    sound.cancel();
    sound.drop('render');
    announce('Stopped the work on this score');
  }
  const wasPlaying = state.playing;
  output.stop();
  stopped();
  if (wasPlaying) announce('Stopped');
}

function updateButtons() {
  $('stop').disabled = !state.playing && !(sound.busy() && !$('progress').hidden);
}

function edited() {
  const current = text();
  state.editedAt = performance.now();
  if (state.playing) sound.want('render', { text: current, silenced: silenced(), edited: state.editedAt });
  checker.want('check', { text: current, edited: state.editedAt });
}

// ---- Share and export -----------------------------------------------------------------

async function share() {
  const link = await linkOf(score.bytesOf(text()));
  if (link.error) {
    announce(link.error);
    return;
  }
  window.history.replaceState(null, '', link.address);
  try {
    await navigator.clipboard.writeText(link.address);
    announce('Link copied: the score is in the address');
  } catch {
    announce('The score is in the address bar; copy it from there');
  }
}

// Opens the score of the address's link, if it has one; false when it could not be read.
async function openLink() {
  const packed = linkedScore();
  if (packed === null) return true;
  const reply = await unpackLink(packed);
  if (reply.error) {
    announce(reply.error);
    return false;
  }
  const record = fromBytes('shared.mml', reply.bytes);
  if (record.text === text()) return true;
  await score.replaceWith(record, 'Opened the score in the link');
  return true;
}

// What is heard: the channels muted or left out by a solo, and the range asked for, if any.
function exportWav() {
  const range = `${$('export-from').value.trim()}\n${$('export-to').value.trim()}`;
  sound.want('wav', { text: text(), silenced: silenced(), range, edited: performance.now() });
  announce('Writing the WAV file');
}

function saveWav(reply) {
  if (reply.error) {
    announce(reply.error);
    return;
  }
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([reply.wav], { type: 'audio/wav' }));
  link.download = score.file.name.replace(/\.[^.]*$/, '') + '.wav';
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  announce(`Saved ${link.download}`);
}

export { play, stop, playFromCursor, exportWav, share, openLink, edited, score, state, output,
         sound, checker, stats, changes, silenced, showTime, clock, onFrame };
