// MML as the loader reads it (sound/loader.cpp): a line's first word names its channel,
// then notes a-g and rests r with '+' or '-', a length and dots; t o v q l with a number;
// '<' and '>'; '[' ... ']' with a count; '(' and ')'; ';' ends the line's commands. Blanks
// are spaces and tabs. Anything else is skipped by the loader, and shown as such.
import { StreamLanguage, HighlightStyle } from '@codemirror/language';
import { tags } from '@lezer/highlight';

const blank = /[ \t]/;

export const mml = StreamLanguage.define({
  name: 'mml',
  startState: () => ({ named: false }),
  token(stream, state) {
    if (stream.sol()) state.named = false;
    if (stream.eatWhile(blank)) return null;
    if (stream.peek() === ';') {
      stream.skipToEnd();
      return 'comment';
    }
    if (!state.named) {
      state.named = true;
      stream.eatWhile(/[^ \t]/);
      return 'channel';
    }
    const c = stream.next();
    if (/[a-gA-G]/.test(c)) {
      stream.eat(/[+-]/);
      stream.eatWhile(/[0-9]/);
      stream.eatWhile('.');
      return 'note';
    }
    if (c === 'r' || c === 'R') {
      stream.eatWhile(/[0-9]/);
      stream.eatWhile('.');
      return 'rest';
    }
    if (/[tovqlTOVQL]/.test(c)) {
      if (!stream.eatWhile(/[0-9]/)) return 'invalid';
      return 'command';
    }
    if (c === '<' || c === '>') return 'octave';
    if (c === '[') return 'repeat';
    if (c === ']') {
      stream.eatWhile(/[0-9]/);
      return 'repeat';
    }
    if (c === '(' || c === ')') {
      stream.eatWhile(/[0-9]/);
      return 'marker';
    }
    if (/[0-9]/.test(c)) {
      stream.eatWhile(/[0-9]/);
      return 'invalid';
    }
    return 'invalid';
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
  languageData: { commentTokens: { line: ';' } },
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
