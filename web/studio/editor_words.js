// The commands the editor offers as the author types, with a word on what each is for. What a
// command does with its value is the engine's to say (hovering it asks); this is only the list.
export const WORDS = [
  ...'cdefgab'.split('').map((n) => ({ label: n, detail: 'note; + sharp, - flat, a length, dots' })),
  { label: 'r', detail: 'rest; a length, dots' },
  { label: 't', detail: 'tempo: quarters a minute', apply: 't120' },
  { label: 'o', detail: 'octave', apply: 'o4' },
  { label: 'v', detail: 'volume', apply: 'v50' },
  { label: 'q', detail: 'gate: eighths of each note that sound', apply: 'q6' },
  { label: 'l', detail: 'length of notes written without one', apply: 'l4' },
  { label: '<', detail: 'one octave down' },
  { label: '>', detail: 'one octave up' },
  { label: '[', detail: 'repeat from here to ]' },
  { label: ']', detail: 'end of a repeat; the count follows', apply: ']2' },
];

// The stretch before `pos` on its line that a command could complete, or null where no command
// goes: on the channel's name (a line's first word), in a comment.
export function wordBefore(lineText, offset) {
  const before = lineText.slice(0, offset);
  if (/^[ \t]*[^ \t]*$/.test(before) || before.includes(';')) return null;
  const m = /[a-gA-GrRtovqlTOVQL][+-]?[0-9]*\.*$|[<>[\]]$/.exec(before);
  return { from: m ? offset - m[0].length : offset, text: m ? m[0] : '' };
}
