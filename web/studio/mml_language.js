// MML highlighted as the engine's loader reads it: the words come from mml_words.js on the
// engine's own lexicon ('mml-lexicon', the module the build writes from it), so a word the
// loader learns is highlighted without a change here.
import { StreamLanguage, HighlightStyle } from '@codemirror/language';
import { tags } from '@lezer/highlight';
import * as lexicon from 'mml-lexicon';
import { wordReader } from './mml_words.js';

const words = wordReader(lexicon);
const comment = String.fromCharCode(lexicon.byteKinds.indexOf('comment'));
// The editor's token for each kind of word; blanks are no token.
const tokens = {
  name: 'channel', note: 'note', rest: 'rest', setting: 'command', octave: 'octave',
  open: 'repeat', close: 'repeat', marker: 'marker', comment: 'comment', skipped: 'invalid',
};

export const mml = StreamLanguage.define({
  name: 'mml',
  startState: words.startState,
  copyState: (state) => ({ ...state }),
  token(stream, state) {
    if (stream.sol()) Object.assign(state, words.startState());
    const { kind, end } = words.read(stream.string, stream.pos, state);
    stream.pos = end;
    return tokens[kind] ?? null;
  },
  tokenTable: {
    channel: tags.labelName,
    note: tags.keyword,
    rest: tags.atom,
    command: tags.operatorKeyword,
    octave: tags.operator,
    repeat: tags.bracket,
    marker: tags.meta,
    comment: tags.lineComment,
    invalid: tags.invalid,
  },
  languageData: { commentTokens: { line: comment } },
});

// Every colour at least 4.5:1 against the editor's white.
export const mmlHighlight = HighlightStyle.define([
  { tag: tags.labelName, color: '#7b1f6e', fontWeight: 'bold' },
  { tag: tags.keyword, color: '#0b4f8a' },
  { tag: tags.atom, color: '#595959' },
  { tag: tags.operatorKeyword, color: '#1d6b2f' },
  { tag: tags.operator, color: '#8a4500' },
  { tag: tags.bracket, color: '#a0133a', fontWeight: 'bold' },
  { tag: tags.meta, color: '#595959' },
  { tag: tags.lineComment, color: '#5c6356', fontStyle: 'italic' },
  { tag: tags.invalid, color: '#b00020', textDecoration: 'underline wavy' },
]);
