// The studio page: the editor, its buttons, and what it opens with (the score of a
// link, the draft kept in this browser, or an example).
import { EditorState, Compartment } from '@codemirror/state';
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
import { studioKeymap, listenOnPage } from './keys.js';
import { exposeForSuites } from './suite_hooks.js';
import * as session from './session.js';
import { startTransport } from './transport.js';
import { startTrackView } from './track_pane.js';
import { startShortcuts } from './shortcuts.js';

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
        studioKeymap,
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
  listenOnPage(view);
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
  startTransport(view);
  const tracks = startTrackView(view);
  startShortcuts();
  wire();
  wireHelp(view);
  const draft = await readDraft('current');
  score.load(draft || await example());
  if (draft) announce(`Restored your draft of ${draft.name}`);
  await session.openLink();
  await score.showRestore();
  session.edited();
  exposeForSuites(view, tracks);
  if ('serviceWorker' in navigator) navigator.serviceWorker.register('sw.js').catch(() => {});
}

main();
