// The studio's keys, written once: the editor takes them while it has the focus, the page
// anywhere else (a button, the Problems list, the page itself).
import { Prec } from '@codemirror/state';
import { keymap, runScopeHandlers } from '@codemirror/view';
import * as session from './session.js';

const $ = (id) => document.getElementById(id);

// Opens the Problems list and puts the focus on its first problem.
function showProblemsList() {
  $('problems-panel').open = true;
  const first = document.querySelector('#problems .problem');
  (first || $('problems')).focus();
}

const done = (fn) => () => (fn(), true);
const scope = 'editor studio';

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
].map((binding) => Object.assign(binding, { scope }));

// The keys as the editor's extension, ahead of its own.
export const studioKeymap = Prec.high(keymap.of(studioKeys));

// The same keys where the editor does not have the focus.
export function listenOnPage(view) {
  window.addEventListener('keydown', (event) => {
    if (event.defaultPrevented || view.hasFocus) return;
    if (runScopeHandlers(view, event, 'studio')) event.preventDefault();
  });
}
