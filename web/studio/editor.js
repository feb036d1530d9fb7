// The studio page: the editor, its keys and buttons, and what it opens with (the score of a
// link, the draft kept in this browser, or an example).
import { EditorState, Prec, Compartment } from '@codemirror/state';
import {
  EditorView, keymap, lineNumbers, highlightActiveLine, highlightActiveLineGutter,
  drawSelection, highlightSpecialChars,
} from '@codemirror/view';
import { history, defaultKeymap, historyKeymap } from '@codemirror/commands';
import { search, searchKeymap, highlightSelectionMatches } from '@codemirror/search';
import { syntaxHighlighting } from '@codemirror/language';
import { lintGutter, lintKeymap } from '@codemirror/lint';
import { mml, mmlHighlight } from './mml_language.js';
import { helpExtensions, wireHelp } from './editor_help.js';
import { RAW_CHARS } from './score_bytes.js';
import { announce } from './status.js';
import { playingField } from './score_view.js';
import { readDraft } from './drafts.js';
import * as session from './session.js';

const $ = (id) => document.getElementById(id);
const { score } = session;
const narrow = window.matchMedia('(max-width: 700px)');

// A byte that is not UTF-8 shows as its hex number; other special characters as the editor
// shows them.
function specialChar(code, description, placeholder) {
  const span = document.createElement('span');
  span.className = 'cm-specialChar';
  if (RAW_CHARS.test(String.fromCharCode(code))) {
    span.classList.add('cm-rawByte');
    span.textContent = (code - 0xf700).toString(16).toUpperCase();
    span.title = `the byte 0x${span.textContent}, not UTF-8`;
  } else {
    span.textContent = placeholder;
    span.title = description || '';
  }
  span.setAttribute('aria-label', span.title);
  return span;
}

function showProblemsList() {
  $('problems-panel').open = true;
  const first = document.querySelector('#problems .problem');
  (first || $('problems')).focus();
}

const studioKeys = [
  { key: 'Mod-Enter', run: () => (session.play(), true) },
  { key: 'F5', run: () => (session.play(), true) },
  { key: 'Shift-F5', run: () => (session.stop(), true) },
  { key: 'Mod-Shift-Enter', run: () => (session.playFromCursor(), true) },
  { key: 'F6', run: () => (session.playFromCursor(), true) },
  { key: 'Mod-s', run: () => (score.save(), true) },
  { key: 'Mod-Shift-m', run: () => (showProblemsList(), true) },
  {
    key: 'Escape',
    run: () => (session.state.playing || session.sound.busy() ? (session.stop(), true) : false),
  },
];

// The same keys where the editor does not have the focus.
function pageKeys(e) {
  if (e.defaultPrevented || (view && view.hasFocus)) return;
  const mod = e.ctrlKey || e.metaKey;
  const act = (fn) => {
    e.preventDefault();
    fn();
  };
  if ((e.key === 'F5' && !e.shiftKey) || (e.key === 'Enter' && mod && !e.shiftKey)) act(session.play);
  else if ((e.key === 'F5' && e.shiftKey) || (e.key === 'Escape' && session.state.playing)) act(session.stop);
  else if (e.key === 'F6' || (e.key === 'Enter' && mod && e.shiftKey)) act(session.playFromCursor);
  else if (mod && !e.shiftKey && e.key.toLowerCase() === 's') act(() => score.save());
  else if (mod && e.shiftKey && e.key.toLowerCase() === 'm') act(showProblemsList);
}

const wrapping = new Compartment();
let view = null;

function createView(doc) {
  return new EditorView({
    parent: $('editor'),
    state: EditorState.create({
      doc,
      extensions: [
        lineNumbers(), highlightActiveLineGutter(),
        highlightSpecialChars({ addSpecialChars: RAW_CHARS, render: specialChar }), history(),
        drawSelection(), highlightActiveLine(), highlightSelectionMatches(), search({ top: true }),
        mml, syntaxHighlighting(mmlHighlight), lintGutter(), playingField, helpExtensions,
        wrapping.of($('wrap').checked ? EditorView.lineWrapping : []),
        Prec.high(keymap.of(studioKeys)),
        keymap.of([...defaultKeymap, ...historyKeymap, ...searchKeymap, ...lintKeymap]),
        EditorView.contentAttributes.of({ 'aria-label': 'Score' }),
        EditorView.domEventHandlers({ drop: (event) => dropped(event) }),
        EditorView.updateListener.of((u) => {
          if (!u.docChanged) return;
          score.changed();
          session.edited();
        }),
      ],
    }),
  });
}

// A dropped file, with a handle to write it back where the browser gives one.
function dropped(event) {
  if (event.defaultPrevented) return true; // taken where it landed, on the editor
  const item = event.dataTransfer && event.dataTransfer.items && event.dataTransfer.items[0];
  const file = event.dataTransfer && event.dataTransfer.files[0];
  if (!file) return false;
  event.preventDefault();
  const handle = item && item.getAsFileSystemHandle ? item.getAsFileSystemHandle() : null;
  Promise.resolve(handle).catch(() => null).then((h) => score.open(file, h && h.kind === 'file' ? h : null));
  return true;
}

function wire() {
  $('play').addEventListener('click', () => session.play());
  $('play-cursor').addEventListener('click', session.playFromCursor);
  $('stop').addEventListener('click', session.stop);
  $('share').addEventListener('click', session.share);
  $('export').addEventListener('click', session.exportWav);
  $('save').addEventListener('click', () => score.save());
  $('restore').addEventListener('click', () => score.restore());
  $('open').addEventListener('click', async () => {
    if (!(await score.pick())) $('file').click();
  });
  $('file').addEventListener('change', (e) => {
    score.open(e.target.files[0]);
    e.target.value = '';
  });
  $('volume').addEventListener('input', (e) => session.output.setVolume(e.target.value / 100));
  $('wrap').addEventListener('change', (e) => {
    localStorage.setItem('marrowtone-wrap', e.target.checked ? '1' : '0');
    view.dispatch({ effects: wrapping.reconfigure(e.target.checked ? EditorView.lineWrapping : []) });
  });
  window.addEventListener('keydown', pageKeys);
  window.addEventListener('hashchange', () => session.openLink());
  document.body.addEventListener('dragover', (e) => e.preventDefault());
  document.body.addEventListener('drop', dropped);
}

async function example() {
  try {
    const response = await fetch('examples/three-voices.mml');
    if (response.ok) {
      return { name: 'three-voices.mml', bytes: new Uint8Array(await response.arrayBuffer()) };
    }
  } catch {
    // Offline without the example kept: an empty score.
  }
  return { name: 'score.mml', text: '', raw: false, lineBreak: '\n' };
}

async function main() {
  const kept = localStorage.getItem('marrowtone-wrap');
  $('wrap').checked = kept === null ? narrow.matches : kept === '1';
  if (narrow.matches) {
    $('problems-panel').open = false;
    $('channels-panel').open = false;
  }
  view = createView('');
  session.setView(view);
  wire();
  wireHelp(view);
  const draft = await readDraft('current');
  score.load(draft || await example());
  if (draft) announce(`Restored your draft of ${draft.name}`);
  await session.openLink();
  await score.showRestore();
  session.edited();
  window.studio = {
    view, stats: session.stats, output: session.output, state: session.state, score,
    engines: [session.sound, session.checker], ready: true, editableAt: performance.now(),
    idle: () => session.sound.idle() && session.checker.idle(),
  };
  if ('serviceWorker' in navigator) navigator.serviceWorker.register('sw.js').catch(() => {});
}

main();
