// The list of every key the studio answers (F1, or ? outside the editor): the buttons' own
// keys as they declare them, the studio's other keys, and the editor's.
import { listedKeys } from './keys.js';

const $ = (id) => document.getElementById(id);

// What the editor itself answers, besides what the page's buttons list.
const editorKeys = [
  ['Ctrl+F', 'Find and replace'], ['F3', 'Find the next match'], ['Ctrl+Z', 'Undo'],
  ['Ctrl+Shift+Z', 'Redo'], ['Ctrl+/', 'Comment or uncomment the line'],
  ['F8', 'Go to the next problem'], ['Ctrl+]', 'Indent'], ['Ctrl+[', 'Unindent'],
  ['Alt+↑ / Alt+↓', 'Move the line'], ['Ctrl+D', 'Select the next match too'],
];

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
  for (const k of listedKeys) rows.push(row(k.shown, k.what));
  rows.push(row('? (outside the editor)', 'This list'));
  for (const [shown, what] of editorKeys) rows.push(row(shown, what));
  const dialog = $('keys') || keysDialog();
  dialog.querySelector('tbody').replaceChildren(...rows);
  if (!dialog.open) dialog.showModal();
}

export function startShortcuts() {
  $('keys-button').addEventListener('click', showKeys);
}
