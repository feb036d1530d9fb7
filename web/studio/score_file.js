// The score in the editor as a file: its name, the bytes it came as, whether it holds
// unsaved edits; opening over unsaved edits keeps them as the replaced draft, one press
// away; saving writes back to the file where the browser lets the page, else downloads.
import { readBytes, writeBytes, LARGEST_SCORE } from './score_bytes.js';
import { readDraft, writeDraft, DraftKeeper } from './drafts.js';
import { announce } from './status.js';
import { forgetLink } from './sharing.js';

const $ = (id) => document.getElementById(id);

// A file's record from its bytes: { name, bytes, text, raw, lineBreak, edited, handle }.
export function fromBytes(name, bytes, handle = null) {
  return Object.assign({ name, bytes, edited: false, handle }, readBytes(bytes));
}

export class ScoreFile {
  constructor() {
    this.view = null;
    this.loading = false;
    this.file = { name: 'score.mml', bytes: null, text: '', raw: false, lineBreak: '\n', edited: false, handle: null };
    this.kept = null; // the draft last written
    // Said once: a browser that keeps nothing (storage turned off) fails every write.
    let told = false;
    this.keeper = new DraftKeeper(() => this.draft(), (d) => { this.kept = d; }, () => {
      if (!told) announce('Your draft could not be kept in this browser: save it as a file');
      told = true;
    });
    window.addEventListener('beforeunload', (e) => {
      if (!this.file.edited) return;
      this.keeper.flush();
      e.preventDefault();
      e.returnValue = '';
    });
  }

  text() {
    return this.view.state.doc.toString();
  }

  // The bytes the engine reads for `text`: the file's own while the text is still theirs.
  bytesOf(text) {
    const f = this.file;
    if (f.bytes && text === f.text) return f.bytes;
    // Both workers ask for the same text after an edit: it is encoded once.
    if (this.encoded && this.encoded.text === text && this.encoded.file === f) return this.encoded.bytes;
    this.encoded = { text, file: f, bytes: writeBytes(text, f.raw, f.lineBreak) };
    return this.encoded.bytes;
  }

  draft() {
    if (!this.view) return null;
    const f = this.file;
    const text = this.text();
    return { name: f.name, text, edited: f.edited, raw: f.raw, lineBreak: f.lineBreak,
             bytes: f.bytes && text === f.text ? f.bytes : null, handle: f.handle };
  }

  // Shows `record` (a file's or a draft's) in the editor; returns what to say of it.
  load(record) {
    const f = record.bytes
      ? fromBytes(record.name, record.bytes, record.handle)
      : { name: record.name, bytes: null, text: null, raw: record.raw, lineBreak: record.lineBreak,
          handle: record.handle || null };
    f.edited = !!record.edited;
    const text = record.text === undefined ? f.text : record.text;
    this.file = f;
    this.loading = true;
    this.view.dispatch({ changes: { from: 0, to: this.view.state.doc.length, insert: text } });
    this.loading = false;
    this.showName();
    this.keeper.flush();
    return f.raw ? `. ${f.name} holds bytes that are not UTF-8: each shows as its hex number in a ` +
                   'box, and is written back as the same byte' : '';
  }

  // Called on every change of the text.
  changed() {
    if (this.loading) return;
    forgetLink();
    if (!this.file.edited) {
      this.file.edited = true;
      this.showName();
    }
    this.keeper.soon();
  }

  showName() {
    const { name, edited } = this.file;
    document.title = `${name}${edited ? ' (edited)' : ''} – Marrowtone studio`;
    $('file-name').textContent = name + (edited ? ' (edited)' : '');
  }

  // Puts `record` in the editor; unsaved edits become the replaced draft.
  async replaceWith(record, message) {
    const before = this.draft();
    if (before && this.file.edited && before.text !== record.text) {
      if (!(await writeDraft('replaced', before).then(() => true, () => false))) {
        announce(`Nothing was opened: your unsaved ${before.name} could not be kept in this ` +
                 'browser; save it first');
        return;
      }
      const note = this.load(record);
      announce(`${message}${note}. Your unsaved ${before.name} is kept: “Restore your draft” brings it back`);
    } else {
      announce(message + this.load(record));
    }
    await this.showRestore();
  }

  async showRestore() {
    const replaced = await readDraft('replaced');
    const button = $('restore');
    button.hidden = !replaced;
    if (replaced) button.title = `Bring back ${replaced.name}, replaced with its unsaved edits`;
  }

  async restore() {
    const replaced = await readDraft('replaced');
    if (!replaced) return this.showRestore();
    if (!this.file.edited) await writeDraft('replaced', null);
    forgetLink();
    await this.replaceWith(replaced, `Restored your draft of ${replaced.name}`);
  }

  async open(file, handle = null) {
    if (!file) return;
    if (file.size > LARGEST_SCORE) {
      announce(`${file.name} is larger than the ${LARGEST_SCORE >> 20} MiB the studio takes; it was not opened`);
      return;
    }
    const bytes = new Uint8Array(await file.arrayBuffer());
    forgetLink();
    await this.replaceWith(fromBytes(file.name, bytes, handle), `Opened ${file.name}`);
  }

  // Open… with a file the page may write back to, where the browser has them.
  async pick() {
    if (!window.showOpenFilePicker) return false;
    let handle;
    try {
      [handle] = await window.showOpenFilePicker({
        types: [{ description: 'MML scores', accept: { 'text/plain': ['.mml', '.txt'] } }],
      });
    } catch {
      return true; // the author closed the picker
    }
    await this.open(await handle.getFile(), handle);
    return true;
  }

  async save() {
    const text = this.text();
    const bytes = this.bytesOf(text);
    const f = this.file;
    let where = null;
    if (f.handle) {
      try {
        if (await f.handle.requestPermission({ mode: 'readwrite' }) === 'granted') {
          const out = await f.handle.createWritable();
          await out.write(bytes);
          await out.close();
          where = `Saved ${f.name}`;
        }
      } catch {
        // Written as a download instead.
      }
    }
    if (!where) {
      const link = document.createElement('a');
      link.href = URL.createObjectURL(new Blob([bytes], { type: 'text/plain' }));
      link.download = f.name;
      document.body.append(link);
      link.click();
      link.remove();
      setTimeout(() => URL.revokeObjectURL(link.href), 60000);
      where = `Saved ${f.name} as a download`;
    }
    // What was saved is the file from now on: an unedited text is saved as these bytes.
    Object.assign(f, { bytes, text, edited: false });
    this.showName();
    this.keeper.flush();
    announce(where);
  }
}
