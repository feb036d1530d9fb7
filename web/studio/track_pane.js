// The track view under the editor, fed from the session: the map of the notes after each
// check, the channels heard after each Mute and Solo, the playhead on each frame, and the
// note at the editor's cursor. A click on a note takes the cursor to its command.
import { StateEffect } from '@codemirror/state';
import { EditorView } from '@codemirror/view';
import * as session from './session.js';
import { onFrame } from './transport.js';
import { TrackView } from './track_view.js';
import { quietLines, showQuiet } from './quiet_lines.js';
import { place } from './score_view.js';
import { byteColumnOf } from './score_bytes.js';

const $ = (id) => document.getElementById(id);
const { state, score } = session;

let tracks = null;
let editor = null;

function quietChannels() {
  const quiet = session.silenced();
  showQuiet(editor, quiet);
  tracks.setQuiet(new Set(state.channels.flatMap((n, i) => (quiet.includes(n) ? [i] : []))));
}

function cursorMoved() {
  const head = editor.state.selection.main.head;
  const line = editor.state.doc.lineAt(head);
  tracks.setCursor(line.number, byteColumnOf(line.text, head - line.from, score.file.raw));
}

function noteClicked(line, column) {
  const at = place(editor.state.doc, line, column, score.file.raw).from;
  editor.dispatch({ selection: { anchor: at }, scrollIntoView: true });
  editor.focus();
}

export function setTracksShown(shown) {
  $('tracks').hidden = !shown;
  $('show-tracks').checked = shown;
  localStorage.setItem('marrowtone-tracks', shown ? '1' : '0');
}

export function startTrackView(view) {
  editor = view;
  tracks = new TrackView($('tracks'), noteClicked);
  session.changes.addEventListener('map', () => {
    // The notes of an older text stay until the check of the new one says otherwise.
    if (state.map) tracks.setMap(state.map, state.channels);
    cursorMoved();
  });
  session.changes.addEventListener('channels', quietChannels);
  onFrame((seconds) => tracks.setHead(seconds, state.loop));
  view.dispatch({
    effects: StateEffect.appendConfig.of([quietLines, EditorView.updateListener.of((u) => {
      if (u.selectionSet && !u.docChanged) cursorMoved();
    })]),
  });
  setTracksShown(localStorage.getItem('marrowtone-tracks') !== '0');
  $('show-tracks').addEventListener('change', (e) => setTracksShown(e.target.checked));
  return tracks;
}
