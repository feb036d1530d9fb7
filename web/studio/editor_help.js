// Help where the score is written: hovering a command tells what the engine does with its
// value, completion offers the commands, and each line can show how long it lasts. The figures
// come from the engine, in a worker of their own so that help never waits behind a rendering.
import { EditorView, Decoration, WidgetType, hoverTooltip } from '@codemirror/view';
import { autocompletion } from '@codemirror/autocomplete';
import { Engine } from './engine.js';
import { byteColumnOf } from './score_bytes.js';
import { replacedMarks } from './score_view.js';
import { WORDS, wordBefore } from './editor_words.js';
import { score } from './session.js';

const $ = (id) => document.getElementById(id);
const KEPT = 'marrowtone-line-lengths';

// Asked only once help is wanted: a page that never hovers starts no worker for it.
let engine = null;
const waiting = {}; // kind -> { id, resolve }

function ask(kind, fields) {
  if (!engine) {
    engine = new Engine(['hover', 'lines'], {
      onReply: (reply) => {
        const w = waiting[reply.kind];
        if (w && w.id === reply.id) {
          delete waiting[reply.kind];
          w.resolve(reply);
        }
      },
      onBusy: () => {},
      bytesOf: (t) => score.bytesOf(t),
    });
  }
  // A question overtaken by a newer one of its kind is never answered: it gets nothing.
  if (waiting[kind]) waiting[kind].resolve(null);
  return new Promise((resolve) => {
    waiting[kind] = { id: engine.want(kind, fields).id, resolve };
  });
}

const raw = () => score.file.raw;

const hover = hoverTooltip(async (view, pos, side) => {
  const line = view.state.doc.lineAt(pos);
  const at = side < 0 && pos > line.from ? pos - 1 : pos;
  if (at >= line.to) return null;
  const text = view.state.doc.toString();
  const reply = await ask('hover', {
    text, line: line.number, column: byteColumnOf(line.text, at - line.from, raw()),
  });
  if (!reply || !reply.help || view.state.doc.toString() !== text) return null;
  return {
    pos: at,
    end: at + 1,
    above: true,
    create: () => {
      const dom = document.createElement('div');
      dom.className = 'cm-help';
      dom.textContent = reply.help;
      return { dom };
    },
  };
}, { hoverTime: 250 });

function complete(context) {
  const line = context.state.doc.lineAt(context.pos);
  const word = wordBefore(line.text, context.pos - line.from);
  if (!word || (!context.explicit && word.text === '')) return null;
  return { from: line.from + word.from, options: WORDS };
}

// ---- Each line's length -------------------------------------------------------------------

class LengthWidget extends WidgetType {
  constructor(text) {
    super();
    this.text = text;
  }

  eq(other) {
    return other.text === this.text;
  }

  toDOM() {
    const span = document.createElement('span');
    span.className = 'cm-lineLength';
    span.textContent = this.text;
    return span;
  }
}

const { set: setLengths, field: lengthsField } = replacedMarks();

const shown = (n) => String(Math.round(n * 10000) / 10000);

// Line, beats and seconds, three numbers a line, as marks at the lines' ends.
function lengthMarks(doc, numbers) {
  const marks = [];
  for (let i = 0; i + 2 < numbers.length; i += 3) {
    if (numbers[i] > doc.lines) continue;
    const beats = numbers[i + 1];
    const text = `${shown(beats)} ${beats === 1 ? 'beat' : 'beats'} · ${numbers[i + 2].toFixed(3)} s`;
    marks.push(Decoration.widget({ widget: new LengthWidget(text), side: 1 }).range(doc.line(numbers[i]).to));
  }
  return Decoration.set(marks, true);
}

async function showLengths(view) {
  if (!$('line-lengths').checked) {
    view.dispatch({ effects: setLengths.of(Decoration.none) });
    return;
  }
  const text = view.state.doc.toString();
  const reply = await ask('lines', { text });
  if (!reply || view.state.doc.toString() !== text || !$('line-lengths').checked) return;
  view.dispatch({ effects: setLengths.of(reply.lines ? lengthMarks(view.state.doc, reply.lines) : Decoration.none) });
}

// The editor's extensions for help; the line-length option's box is wired to `view` by
// wireHelp once it exists.
export const helpExtensions = [
  hover,
  autocompletion({ override: [complete], icons: false }),
  lengthsField,
  EditorView.updateListener.of((u) => {
    if (u.docChanged && $('line-lengths').checked) showLengths(u.view);
  }),
];

export function wireHelp(view) {
  const box = $('line-lengths');
  box.checked = localStorage.getItem(KEPT) === '1';
  box.addEventListener('change', () => {
    localStorage.setItem(KEPT, box.checked ? '1' : '0');
    showLengths(view);
  });
  if (box.checked) showLengths(view);
}
