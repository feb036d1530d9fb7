// The commands the editor offers as the author types, read from the engine's lexicon (the
// letters, and what each kind takes after its letter), with a word on what each is for. What
// a command does with its value is the engine's to say (hovering it asks); this is the list.
import * as lexicon from 'mml-lexicon';
import { wordReader } from './mml_words.js';

const words = wordReader(lexicon);

// What a kind of word is for, and for some words what that one is for and a value to offer.
const kindDetails = {
  note: 'note; + sharp, - flat, a length, dots', rest: 'rest; a length, dots',
  setting: 'setting', octave: 'octave step', open: 'repeat from here to ]',
  close: 'end of a repeat; the count follows', marker: 'marker',
};
const wordDetails = {
  t: ['tempo: quarters a minute', 't120'], o: ['octave', 'o4'], v: ['volume', 'v50'],
  q: ['gate: eighths of each note that sound', 'q6'], l: ['length of notes written without one', 'l4'],
  '<': ['one octave down'], '>': ['one octave up'], ']': ['end of a repeat; the count follows', ']2'],
};

// Every byte that starts a command, lower case where the engine reads both cases alike.
export const WORDS = lexicon.byteKinds.flatMap((kind, code) => {
  const label = String.fromCharCode(code);
  const lower = label.toLowerCase();
  if (!(kind in kindDetails) || (lower !== label && lexicon.byteKinds[lower.charCodeAt(0)] === kind))
    return [];
  const [detail, apply] = wordDetails[label] || [kindDetails[kind]];
  return [apply ? { label, detail, apply } : { label, detail }];
});

// The stretch before `offset` on its line that a command could complete, or null where no
// command goes: on the channel's name (a line's first word), in a comment.
export function wordBefore(lineText, offset) {
  const state = words.startState();
  let last = null;
  for (let p = 0; p < offset;) {
    const word = words.read(lineText, p, state);
    last = { from: p, end: Math.min(word.end, offset), kind: word.kind };
    p = word.end;
  }
  if (!state.named || (last && (last.kind === 'name' || last.kind === 'comment'))) return null;
  if (!last || last.end < offset || last.kind === 'blank') return { from: offset, text: '' };
  // A word the lexicon reads as skipped may still be a command being typed ('t' before its
  // number): it completes from its first byte.
  return { from: last.from, text: lineText.slice(last.from, offset) };
}
