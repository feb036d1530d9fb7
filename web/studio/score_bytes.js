// A score is bytes: the engine reads them one by one, and the tool counts its columns in
// them. The editor holds text, so a file is kept as the bytes it came as, and text made
// from them must turn back into the same bytes.
//
// A byte that is no part of UTF-8 shows as a character of a private-use block reserved for
// it (U+F780 + byte - 0x80) and turns back into that byte. Only a file that holds such bytes
// is read that way: a file of valid UTF-8 keeps every character it spells.

const RAW_BASE = 0xf700;
export const RAW_CHARS = /[\uf780-\uf7ff]/;

// The engine's largest score, as a link or a file the page takes.
export const LARGEST_SCORE = 16 << 20;

const encoder = new TextEncoder();

// Where a valid UTF-8 sequence starting at `i` ends, or -1.
function sequenceEnd(b, i) {
  const c = b[i];
  let need;
  let low = 0x80;
  let high = 0xbf;
  if (c < 0x80) return i + 1;
  if (c >= 0xc2 && c <= 0xdf) need = 1;
  else if (c >= 0xe0 && c <= 0xef) {
    need = 2;
    if (c === 0xe0) low = 0xa0;
    if (c === 0xed) high = 0x9f;
  } else if (c >= 0xf0 && c <= 0xf4) {
    need = 3;
    if (c === 0xf0) low = 0x90;
    if (c === 0xf4) high = 0x8f;
  } else return -1;
  for (let k = 1; k <= need; ++k) {
    const d = b[i + k];
    if (d === undefined || d < (k === 1 ? low : 0x80) || d > (k === 1 ? high : 0xbf)) return -1;
  }
  return i + need + 1;
}

function lineBreakOf(text) {
  const m = /\r\n|\r|\n/.exec(text);
  return m ? m[0] : '\n';
}

// What the editor shows for `bytes`: { text, raw (some bytes are not UTF-8), lineBreak }.
export function readBytes(bytes) {
  let text;
  let raw = false;
  try {
    text = new TextDecoder('utf-8', { fatal: true, ignoreBOM: true }).decode(bytes);
  } catch {
    raw = true;
    const decoder = new TextDecoder('utf-8', { ignoreBOM: true });
    const parts = [];
    let run = 0;
    for (let i = 0; i < bytes.length;) {
      const end = sequenceEnd(bytes, i);
      if (end > 0) {
        i = end;
        continue;
      }
      if (run < i) parts.push(decoder.decode(bytes.subarray(run, i)));
      parts.push(String.fromCharCode(RAW_BASE + bytes[i]));
      run = ++i;
    }
    if (run < bytes.length) parts.push(decoder.decode(bytes.subarray(run)));
    text = parts.join('');
  }
  // The editor ends its lines with LF; the file's own line end comes back on writing.
  return { text: text.replace(/\r\n?/g, '\n'), raw, lineBreak: lineBreakOf(text) };
}

// The bytes of `text` (the editor's text, its lines ended by LF) with `lineBreak` ending
// each line as in the file it came from.
export function writeBytes(text, raw, lineBreak) {
  if (lineBreak !== '\n') text = text.replace(/\n/g, lineBreak);
  if (!raw || !RAW_CHARS.test(text)) return encoder.encode(text);
  const chunks = text.split(/([\uf780-\uf7ff]+)/).map((part, i) => (i % 2
    ? Uint8Array.from(part, (c) => c.charCodeAt(0) - RAW_BASE)
    : encoder.encode(part)));
  const out = new Uint8Array(chunks.reduce((n, c) => n + c.length, 0));
  let at = 0;
  for (const c of chunks) {
    out.set(c, at);
    at += c.length;
  }
  return out;
}

// Bytes the character at code point `code` stands for.
function bytesOfChar(code, raw) {
  if (code < 0x80) return 1;
  if (code < 0x800) return 2;
  if (code < 0x10000) return raw && code >= 0xf780 && code <= 0xf7ff ? 1 : 3;
  return 4;
}

// The editor offset within `lineText` of the tool's byte column `column` (1 is the first).
export function offsetOfByteColumn(lineText, column, raw) {
  let bytes = 0;
  let i = 0;
  while (i < lineText.length && bytes < column - 1) {
    const code = lineText.codePointAt(i);
    bytes += bytesOfChar(code, raw);
    i += code >= 0x10000 ? 2 : 1;
  }
  return i;
}

// The tool's byte column of editor offset `offset` within `lineText`.
export function byteColumnOf(lineText, offset, raw) {
  let bytes = 0;
  for (let i = 0; i < offset;) {
    const code = lineText.codePointAt(i);
    bytes += bytesOfChar(code, raw);
    i += code >= 0x10000 ? 2 : 1;
  }
  return bytes + 1;
}
