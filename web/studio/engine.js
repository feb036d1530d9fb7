// The engine in a worker (studio_worker.js): one job at a time, the latest of each kind.
// The studio keeps two: one for what is heard, one for checks, so that an edit while playing
// is rendered at once however long the check of a large score takes.

// Work the worker has been at this long shows as progress.
export const SHOW_PROGRESS_MS = 300;
// A worker whose module grew past this is replaced once it is idle: memory a huge score
// took is given back.
const MEMORY_KEPT = 96 << 20;
// A job whose text is out of date is ended when it has run this long, or when the last of
// its kind took this long: a fresh worker starts on the new text sooner than the old job
// would finish. The time is the engine's own work, never a worker's start: a worker still
// starting is left to finish, since a fresh one would only start again (typing on a slow
// machine would otherwise replace the worker on every key, and never check).
const CANCEL_AFTER_MS = 150;

export const stats = { checkLatency: [], heardLatency: [], longestJob: 0, cancelled: 0 };

// The play format of the engine's renderings, as its worker tells it with every reply:
// samples a second, and the seconds a rendering lasts. Zero until the first reply.
export const format = { rate: 0, seconds: 0 };

export class Engine {
  // `kinds` in the order they go first; `bytesOf(text)` the bytes the engine reads for a
  // job's text; `holdUntil(job)` when (performance.now()) a job may start.
  constructor(kinds, { onReply, onBusy, bytesOf, holdUntil }) {
    this.kinds = kinds;
    this.onReply = onReply;
    this.onBusy = onBusy;
    this.bytesOf = bytesOf;
    this.holdUntil = holdUntil || (() => 0);
    this.nextId = 1;
    this.wanted = {}; // kind -> job, the latest of each kind
    this.took = {}; // kind -> how long its last job took
    this.start();
  }

  start() {
    this.worker = new Worker('studio_worker.js');
    this.worker.onmessage = (e) => this.done(e.data);
    this.worker.onerror = (e) => {
      e.preventDefault();
      const job = this.current;
      this.restart();
      if (job) this.onReply({ kind: job.kind, id: job.id, error: 'Error: ' + (e.message || 'the engine stopped') }, job);
    };
    this.current = null;
    this.memory = 0;
    this.warm = false; // once the worker has answered: its engine is loaded
  }

  restart() {
    this.worker.terminate();
    clearTimeout(this.busyTimer);
    this.onBusy(null, this);
    this.start();
    this.pump();
  }

  want(kind, fields) {
    const job = Object.assign({ kind, id: this.nextId++ }, fields);
    this.wanted[kind] = job;
    const running = this.current;
    if (running && this.warm && running.kind === kind && running.text !== job.text &&
        Math.max(performance.now() - running.sent, this.took[kind] || 0) > CANCEL_AFTER_MS) {
      ++stats.cancelled;
      this.current = null;
      this.restart();
    } else {
      this.pump();
    }
    return job;
  }

  drop(kind) {
    delete this.wanted[kind];
  }

  pump() {
    if (this.current) return;
    const kind = this.kinds.find((k) => this.wanted[k]);
    if (!kind) {
      if (this.memory > MEMORY_KEPT) {
        this.worker.terminate();
        this.start();
      }
      return;
    }
    const job = this.wanted[kind];
    const wait = this.holdUntil(job) - performance.now();
    if (wait > 0) {
      clearTimeout(this.pauseTimer);
      this.pauseTimer = setTimeout(() => this.pump(), wait);
      return;
    }
    delete this.wanted[kind];
    this.current = job;
    job.sent = performance.now();
    this.busyTimer = setTimeout(() => this.onBusy(job, this), SHOW_PROGRESS_MS);
    const { silenced, line, column, range } = job;
    this.worker.postMessage({ kind, id: job.id, bytes: this.bytesOf(job.text), silenced, line, column, range });
  }

  // Ends the job in hand (and any of its kind waiting): a fresh worker takes the next.
  cancel() {
    const job = this.current;
    if (!job) return null;
    this.current = null;
    this.restart();
    return job;
  }

  busy() {
    return this.current;
  }

  idle() {
    return this.current === null && Object.keys(this.wanted).length === 0;
  }

  done(reply) {
    const job = this.current;
    if (!job || reply.id !== job.id) return;
    this.current = null;
    clearTimeout(this.busyTimer);
    this.onBusy(null, this);
    this.memory = reply.memory;
    this.warm = true;
    this.took[job.kind] = reply.ms;
    stats.longestJob = Math.max(stats.longestJob, performance.now() - job.sent);
    stats.memory = reply.memory;
    if (reply.broken) this.memory = Infinity;
    if (reply.format) Object.assign(format, reply.format);
    this.onReply(reply, job);
    this.pump();
  }
}
