// The studio's keys, written once: the editor takes them while it has the focus, the page
// anywhere else (a button, the Problems list, the page itself).
import { Prec } from '@codemirror/state';
import { keymap, runScopeHandlers } from '@codemirror/view';
import * as session from './session.js';
import { togglePause, step, toggleLoop, markLoop, setFollow } from './transport.js';
import { setTracksShown } from './track_pane.js';
import { showKeys } from './shortcuts.js';

const $ = (id) => document.getElementById(id);

// Opens the Problems list and puts the focus on its first problem.
function showProblemsList() {
  $('problems-panel').open = true;
  const first = document.querySelector('#problems .problem');
  (first || $('problems')).focus();
}

const done = (fn) => () => (fn(), true);
const scope = 'editor studio';

// Whether the page's focus is where the author types (a field of the page, not the editor).
const typing = () => {
  const at = document.activeElement;
  return /^(INPUT|TEXTAREA|SELECT)$/.test(at?.tagName) && at.type !== 'range' && at.type !== 'checkbox';
};

const studioKeys = [
  { key: 'Mod-Enter', run: done(() => session.play()) },
  { key: 'F5', run: done(() => session.play()) },
  { key: 'Shift-F5', run: done(session.stop) },
  { key: 'Mod-Shift-Enter', run: done(session.playFromCursor) },
  { key: 'F6', run: done(session.playFromCursor) },
  { key: 'Mod-s', run: done(() => session.score.save()) },
  { key: 'Mod-Shift-m', run: done(showProblemsList) },
  // Escape ends the sound or the work on it; otherwise the editor's own Escape goes on.
  {
    key: 'Escape',
    run: () => (session.state.playing || session.sound.busy() ? (session.stop(), true) : false),
  },
  // Moving in time and the track view. `shown` and `what` are for the list of keys; keys
  // with a button say so on the button (aria-keyshortcuts) instead.
  { key: 'F9', run: done(togglePause) },
  { key: 'Alt-,', shown: 'Alt+,', what: 'Back 5 seconds', run: done(() => step(-1)) },
  { key: 'Alt-.', shown: 'Alt+.', what: 'Forward 5 seconds', run: done(() => step(1)) },
  { key: 'Alt-k', run: done(toggleLoop) },
  { key: 'Alt-[', shown: 'Alt+[', what: 'Mark where a loop starts, at the sound', run: done(() => markLoop(false)) },
  { key: 'Alt-]', shown: 'Alt+]', what: 'Loop from the mark to the sound', run: done(() => markLoop(true)) },
  { key: 'Alt-j', run: done(() => setFollow(!session.state.follow)) },
  { key: 'Alt-t', run: done(() => setTracksShown($('tracks').hidden)) },
  { key: 'F1', run: done(showKeys) },
].map((binding) => Object.assign(binding, { scope, preventDefault: true }));

// `?` lists the keys only where it is not a character being typed.
studioKeys.push({ key: '?', scope: 'studio', run: () => !typing() && (showKeys(), true) });

// The keys the list of keys names besides the buttons' own.
export const listedKeys = studioKeys.filter((binding) => binding.shown);

// The keys as the editor's extension, ahead of its own.
export const studioKeymap = Prec.high(keymap.of(studioKeys));

// The same keys where the editor does not have the focus.
export function listenOnPage(view) {
  window.addEventListener('keydown', (event) => {
    // A dialog's own keys (Escape closes it) come before the studio's.
    if (event.defaultPrevented || view.hasFocus || event.target.closest?.('dialog')) return;
    if (runScopeHandlers(view, event, 'studio')) event.preventDefault();
  });
}
