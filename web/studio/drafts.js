// The author's work, kept in this browser (IndexedDB) as it is typed: the score in the
// editor ("current") and one it replaced when a link or a file was opened over unsaved
// edits ("replaced"). A draft is { name, text, edited, raw, lineBreak, bytes }: `bytes` the
// file's own when the text is still the file's, so that it is checked, played and saved as
// those bytes after a reload too.

const DATABASE = 'marrowtone-studio';
const STORE = 'drafts';

let opened = null;

function database() {
  if (!opened) {
    opened = new Promise((resolve, reject) => {
      const request = indexedDB.open(DATABASE, 1);
      request.onupgradeneeded = () => request.result.createObjectStore(STORE);
      request.onsuccess = () => resolve(request.result);
      request.onerror = () => reject(request.error);
    });
  }
  return opened;
}

async function run(mode, fn) {
  const db = await database();
  return new Promise((resolve, reject) => {
    const transaction = db.transaction(STORE, mode);
    const request = fn(transaction.objectStore(STORE));
    transaction.oncomplete = () => resolve(request.result);
    transaction.onerror = () => reject(transaction.error);
    transaction.onabort = () => reject(transaction.error);
  });
}

export function readDraft(key) {
  return run('readonly', (store) => store.get(key)).then((d) => d || null, () => null);
}

export function writeDraft(key, draft) {
  return run('readwrite', (store) => (draft ? store.put(draft, key) : store.delete(key)));
}

// Writes the draft a moment after typing stops, and at once when the page is hidden: the
// latest text is kept without writing megabytes at each keystroke.
export class DraftKeeper {
  constructor(make, onKept, onFailed) {
    this.make = make; // () => the current draft
    this.onKept = onKept;
    this.onFailed = onFailed;
    this.timer = 0;
    this.writing = Promise.resolve();
    const now = () => this.flush();
    document.addEventListener('visibilitychange', () => { if (document.hidden) now(); });
    window.addEventListener('pagehide', now);
  }

  soon(delay = 400) {
    clearTimeout(this.timer);
    this.timer = setTimeout(() => this.flush(), delay);
  }

  flush() {
    clearTimeout(this.timer);
    const draft = this.make();
    if (!draft) return this.writing;
    this.writing = this.writing.then(() => writeDraft('current', draft))
      .then(() => this.onKept(draft), (e) => this.onFailed(e));
    return this.writing;
  }
}
