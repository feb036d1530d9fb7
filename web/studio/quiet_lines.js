// The lines of the channels not heard, dimmed: what Mute and Solo leave out shows at a
// glance. A line belongs to the channel its first word names, as the loader reads it.
import { StateEffect, StateField, RangeSetBuilder } from '@codemirror/state';
import { Decoration, ViewPlugin } from '@codemirror/view';
import * as lexicon from 'mml-lexicon';
import { wordReader } from './mml_words.js';

const words = wordReader(lexicon);

const setQuiet = StateEffect.define();
const quietNames = StateField.define({
  create: () => new Set(),
  update(names, tr) {
    for (const e of tr.effects) if (e.is(setQuiet)) names = e.value;
    return names;
  },
});
const dim = Decoration.line({ class: 'cm-quiet' });

function decorate(view) {
  const names = view.state.field(quietNames);
  const builder = new RangeSetBuilder();
  if (names.size === 0) return builder.finish();
  const doc = view.state.doc;
  for (const { from, to } of view.visibleRanges) {
    for (let pos = from; pos <= to;) {
      const line = doc.lineAt(pos);
      if (names.has(words.nameOf(line.text))) builder.add(line.from, line.from, dim);
      pos = line.to + 1;
    }
  }
  return builder.finish();
}

const dimmer = ViewPlugin.fromClass(class {
  constructor(view) {
    this.decorations = decorate(view);
  }

  update(u) {
    if (u.docChanged || u.viewportChanged || u.transactions.some((t) => t.effects.some((e) => e.is(setQuiet))))
      this.decorations = decorate(u.view);
  }
}, { decorations: (p) => p.decorations });

export const quietLines = [quietNames, dimmer];

// Dims the lines of the channels named (as --info names them).
export function showQuiet(view, names) {
  view.dispatch({ effects: setQuiet.of(new Set(names)) });
}
