// The piece over time: a row per channel, each note a bar at its pitch, the playhead over
// them. The notes are drawn on one canvas only when the map, the channels heard, the size or
// the stretch of time shown change; a frame while playing draws on a second canvas above it
// the playhead, the loop and the cursor's note, a handful of shapes.
import { FIELDS, noteAt } from './score_view.js';
import { format } from './engine.js';

const SHOWN_SECONDS = 15; // across the view
const LABEL = 64; // pixels for the channels' names
const ROW = 22; // pixels a row takes, while the view has room

// The first note of `notes` that ends after `sample`: notes of a channel never overlap, so
// their ends are in order too.
function firstEndingAfter(notes, sample) {
  let lo = 0;
  let hi = notes.length / FIELDS;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    if (notes[mid * FIELDS + 1] <= sample) lo = mid + 1;
    else hi = mid;
  }
  return lo * FIELDS;
}

// The lowest and highest pitch (octaves, from the period) a channel sounds.
function pitchRange(notes) {
  let lo = Infinity;
  let hi = -Infinity;
  for (let i = 0; i < notes.length; i += FIELDS) {
    if (!notes[i + 6]) continue;
    const p = -Math.log2(notes[i + 6]);
    lo = Math.min(lo, p);
    hi = Math.max(hi, p);
  }
  return { lo, hi };
}

export class TrackView {
  // In `box`; `onNote(line, column)` when a note is clicked.
  constructor(box, onNote) {
    this.box = box;
    this.onNote = onNote;
    this.notesLayer = box.appendChild(document.createElement('canvas'));
    this.overLayer = box.appendChild(document.createElement('canvas'));
    this.map = null;
    this.names = [];
    this.quiet = new Set();
    this.ranges = [];
    this.start = 0;
    this.head = null;
    this.loop = null;
    this.marked = [];
    this.stats = { noteDraws: 0, longestDraw: 0 };
    new ResizeObserver(() => this.resize()).observe(box);
    this.overLayer.addEventListener('click', (e) => this.clicked(e));
    this.overLayer.addEventListener('wheel', (e) => this.scrolled(e), { passive: false });
  }

  // The notes of `map` (null: none known), on the channels called `names`.
  setMap(map, names) {
    this.map = map;
    this.names = names;
    this.ranges = map ? map.channels.map(pitchRange) : [];
    const rows = map ? map.channels.length : 0;
    this.box.style.height = `${Math.min(240, Math.max(3, rows) * ROW)}px`;
    this.drawNotes();
    this.drawOver();
  }

  // The channels, by index, not heard.
  setQuiet(quiet) {
    this.quiet = quiet;
    this.drawNotes();
  }

  // The playhead at `seconds` (null: none), the view turning to the next stretch when it
  // leaves the one shown.
  setHead(seconds, loop) {
    this.head = seconds;
    this.loop = loop;
    if (seconds !== null) {
      const sample = seconds * format.rate;
      if (sample < this.start || sample >= this.start + this.shown()) {
        this.start = Math.max(0, Math.min(Math.floor(sample - this.shown() / 10), this.lastStart()));
        this.drawNotes();
      }
    }
    this.drawOver();
  }

  // Marks the notes written at the byte column `column` of line `line`.
  setCursor(line, column) {
    this.marked = [];
    if (this.map) {
      for (const [c, notes] of this.map.channels.entries()) {
        for (let i = 0; i < notes.length; i += FIELDS) {
          if (notes[i + 2] === line && notes[i + 3] <= column && column < notes[i + 3] + notes[i + 4])
            this.marked.push([c, i]);
        }
      }
    }
    this.drawOver();
  }

  resize() {
    const ratio = window.devicePixelRatio || 1;
    this.width = this.box.clientWidth;
    this.height = this.box.clientHeight;
    for (const layer of [this.notesLayer, this.overLayer]) {
      layer.width = Math.round(this.width * ratio);
      layer.height = Math.round(this.height * ratio);
      layer.getContext('2d').setTransform(ratio, 0, 0, ratio, 0, 0);
    }
    this.drawNotes();
    this.drawOver();
  }

  // Samples across the view.
  shown() {
    return SHOWN_SECONDS * format.rate;
  }

  // The first sample the view may start at: the view's width before the rendering's end.
  lastStart() {
    return Math.max(0, format.seconds * format.rate - this.shown());
  }

  rowHeight() {
    return this.map && this.map.channels.length ? this.height / this.map.channels.length : this.height;
  }

  xOf(sample) {
    return LABEL + ((sample - this.start) * (this.width - LABEL)) / this.shown();
  }

  // Where a note's bar is: { x, y, w, h } in the view's pixels.
  barOf(c, i) {
    const notes = this.map.channels[c];
    const rowH = this.rowHeight();
    const barH = Math.max(2, Math.min(6, rowH / 5));
    const { lo, hi } = this.ranges[c];
    const p = -Math.log2(notes[i + 6]);
    const y = c * rowH + 2 + ((hi - p) / (hi - lo || 1)) * Math.max(0, rowH - 4 - barH);
    const x = this.xOf(notes[i]);
    return { x, y, w: Math.max(1, this.xOf(notes[i + 1]) - x - 0.5), h: barH };
  }

  drawNotes() {
    const began = performance.now();
    const ctx = this.notesLayer.getContext('2d');
    ctx.clearRect(0, 0, this.width, this.height);
    if (!this.map || !this.width) return;
    const rowH = this.rowHeight();
    const end = this.start + this.shown();
    ctx.font = `${Math.min(12, Math.max(8, rowH - 4))}px system-ui, sans-serif`;
    ctx.textBaseline = 'middle';
    for (const [c, notes] of this.map.channels.entries()) {
      const quiet = this.quiet.has(c);
      ctx.fillStyle = quiet ? '#d9dbe0' : c % 2 ? '#f3f5f8' : '#ffffff';
      ctx.fillRect(0, c * rowH, this.width, rowH);
      ctx.fillStyle = quiet ? '#6b6b6b' : '#1a1a1a';
      if (rowH >= 8) ctx.fillText(this.names[c] || '', 4, c * rowH + rowH / 2, LABEL - 8);
      ctx.beginPath();
      for (let i = firstEndingAfter(notes, this.start); i < notes.length && notes[i] < end; i += FIELDS) {
        if (!notes[i + 6]) continue;
        const bar = this.barOf(c, i);
        ctx.rect(Math.max(bar.x, LABEL), bar.y, bar.w, bar.h);
        ++this.stats.noteDraws;
      }
      ctx.fillStyle = quiet ? '#9aa0a8' : '#0b4f8a';
      ctx.fill();
    }
    this.stats.longestDraw = Math.max(this.stats.longestDraw, performance.now() - began);
  }

  drawOver() {
    const ctx = this.overLayer.getContext('2d');
    ctx.clearRect(0, 0, this.width, this.height);
    if (!this.map || !this.width) return;
    if (this.loop) {
      ctx.fillStyle = 'rgba(26, 95, 180, 0.12)';
      const x = Math.max(LABEL, this.xOf(this.loop.from));
      ctx.fillRect(x, 0, Math.max(0, this.xOf(this.loop.to) - x), this.height);
    }
    ctx.strokeStyle = '#8a6d00';
    ctx.lineWidth = 2;
    ctx.fillStyle = '#ffe08a';
    for (const [c, i] of this.marked) {
      const bar = this.barOf(c, i);
      if (bar.x + bar.w < LABEL || bar.x > this.width) continue;
      ctx.fillRect(bar.x, bar.y - 1, bar.w, bar.h + 2);
      ctx.strokeRect(bar.x, bar.y - 1, bar.w, bar.h + 2);
    }
    this.shownAt = null;
    if (this.head === null) return;
    const x = this.xOf(this.head * format.rate);
    ctx.fillStyle = '#b00020';
    ctx.fillRect(x - 1, 0, 2, this.height);
    this.shownAt = this.head;
  }

  // The point in the page at `seconds` in channel `c`'s row, at the height of its note there.
  pointAt(seconds, c) {
    const rect = this.overLayer.getBoundingClientRect();
    const i = noteAt(this.map.channels[c], Math.floor(seconds * format.rate));
    const y = i >= 0 && this.map.channels[c][i + 6] ? this.barOf(c, i).y + 1 : (c + 0.5) * this.rowHeight();
    return { x: rect.left + this.xOf(seconds * format.rate), y: rect.top + y };
  }

  clicked(event) {
    if (!this.map) return;
    const rect = this.overLayer.getBoundingClientRect();
    const c = Math.floor((event.clientY - rect.top) / this.rowHeight());
    const notes = this.map.channels[c];
    if (!notes) return;
    const sample = this.start + ((event.clientX - rect.left - LABEL) * this.shown()) / (this.width - LABEL);
    const i = noteAt(notes, Math.floor(sample));
    if (i >= 0) this.onNote(notes[i + 2], notes[i + 3]);
  }

  scrolled(event) {
    const delta = Math.abs(event.deltaX) > Math.abs(event.deltaY) ? event.deltaX : event.deltaY;
    if (!this.map || !delta) return;
    event.preventDefault();
    const perPixel = this.shown() / Math.max(1, this.width - LABEL);
    this.start = Math.max(0, Math.min(this.start + delta * perPixel, this.lastStart()));
    this.drawNotes();
    this.drawOver();
  }
}
