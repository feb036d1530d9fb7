// The keys for moving in time and for the track view, in the editor and on the rest of the
// page alike, and the list of every key the studio answers (F1, or ? outside the editor):
// the buttons' own keys as they declare them, these, and the editor's.
import { Prec, StateEffect } from '@codemirror/state';
import { keymap } from '@codemirror/view';
import { togglePause, step, toggleLoop, markLoop, setFollow } from './transport.js';
import { setTracksShown } from './track_pane.js';
import * as session from './session.js';

let editor = null;

const $ = (id) => document.getElementById(id);

// `key` as the editor names it, `code` the key's place on the page, `shown` as the list
// tells it. Keys with a button say so on the button (aria-keyshortcuts) instead.
const keys = [
  { key: 'F9', code: 'F9', run: togglePause },
  { key: 'Alt-,', code: 'Comma', alt: true, shown: 'Alt+,', what: 'Back 5 seconds', run: () => step(-1) },
  { key: 'Alt-.', code: 'Period', alt: true, shown: 'Alt+.', what: 'Forward 5 seconds', run: () => step(1) },
  { key: 'Alt-k', code: 'KeyK', alt: true, run: toggleLoop },
  { key: 'Alt-[', code: 'BracketLeft', alt: true, shown: 'Alt+[', what: 'Mark where a loop starts, at the sound', run: () => markLoop(false) },
  { key: 'Alt-]', code: 'BracketRight', alt: true, shown: 'Alt+]', what: 'Loop from the mark to the sound', run: () => markLoop(true) },
  { key: 'Alt-j', code: 'KeyJ', alt: true, run: () => setFollow(!session.state.follow) },
  { key: 'Alt-t', code: 'KeyT', alt: true, run: () => setTracksShown($('tracks').hidden) },
  { key: 'F1', code: 'F1', run: showKeys },
];

// What the editor itself answers, besides what the page's buttons list.
const editorKeys = [
  ['Ctrl+F', 'Find and replace'], ['F3', 'Find the next match'], ['Ctrl+Z', 'Undo'],
  ['Ctrl+Shift+Z', 'Redo'], ['Ctrl+/', 'Comment or uncomment the line'],
  ['F8', 'Go to the next problem'], ['Ctrl+]', 'Indent'], ['Ctrl+[', 'Unindent'],
  ['Alt+↑ / Alt+↓', 'Move the line'], ['Ctrl+D', 'Select the next match too'],
];

function pageKeys(e) {
  if (e.defaultPrevented || editor.hasFocus) return;
  const typing = /^(INPUT|TEXTAREA|SELECT)$/.test(e.target.tagName) && e.target.type !== 'range' &&
    e.target.type !== 'checkbox';
  if (e.key === '?' && !typing && !e.ctrlKey && !e.metaKey && !e.altKey) {
    e.preventDefault();
    showKeys();
    return;
  }
  const hit = keys.find((k) => k.code === e.code && Boolean(k.alt) === e.altKey && !e.ctrlKey && !e.metaKey);
  if (!hit) return;
  e.preventDefault();
  hit.run();
}

function row(keysText, what) {
  const item = document.createElement('tr');
  for (const text of [keysText, what]) {
    const cell = document.createElement(text === keysText ? 'th' : 'td');
    cell.textContent = text;
    item.append(cell);
  }
  return item;
}

// Made when first asked for: a closed dialog's button would still be in the page.
function keysDialog() {
  const dialog = document.createElement('dialog');
  dialog.id = 'keys';
  dialog.setAttribute('aria-labelledby', 'keys-title');
  const title = dialog.appendChild(document.createElement('h2'));
  title.id = 'keys-title';
  title.textContent = 'Keys';
  dialog.appendChild(document.createElement('table')).append(document.createElement('tbody'));
  const close = dialog.appendChild(document.createElement('button'));
  close.type = 'button';
  close.textContent = 'Close';
  close.addEventListener('click', () => dialog.close());
  document.body.append(dialog);
  return dialog;
}

export function showKeys() {
  const rows = [];
  for (const element of document.querySelectorAll('[aria-keyshortcuts]')) {
    if (element.closest('#keys')) continue;
    const what = (element.title || element.textContent).replace(/ \(.*\)$/, '');
    rows.push(row(element.getAttribute('aria-keyshortcuts').replace(/Control/g, 'Ctrl').split(' ').join(' or '), what));
  }
  for (const k of keys) if (k.shown) rows.push(row(k.shown, k.what));
  rows.push(row('? (outside the editor)', 'This list'));
  for (const [shown, what] of editorKeys) rows.push(row(shown, what));
  const dialog = $('keys') || keysDialog();
  dialog.querySelector('tbody').replaceChildren(...rows);
  if (!dialog.open) dialog.showModal();
}

export function startShortcuts(view) {
  editor = view;
  view.dispatch({
    effects: StateEffect.appendConfig.of(Prec.highest(keymap.of(
      keys.map((k) => ({ key: k.key, run: () => (k.run(), true), preventDefault: true }))))),
  });
  window.addEventListener('keydown', pageKeys);
  $('keys-button').addEventListener('click', showKeys);
}
