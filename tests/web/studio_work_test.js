// The studio keeps the author's work, in Debian's chromium, headless: a typed score outlives
// a reload and a closed tab, a link opened over it leaves it one press away, Save writes
// the bytes the editor holds, a file's own bytes are checked as marrowtone-render --check
// checks them and saved back unchanged, a deflate bomb of a link is refused, and both
// layouts pass axe-core. Run as studio_test.js is.
'use strict';

const zlib = require('zlib');
const { interceptDownloads, rendererMemory } = require('./suite_support');
const { suite, fail, studio: open, doc, typeScore, checked, saved, toolProblems, runScenarios } =
  require('./studio_support');

const memoryLimit = 100 << 20;

const link = (bytes) => '#score=' + zlib.deflateRawSync(bytes).toString('base64url');

// The studio with the files it downloads kept.
const studio = (context, address = suite.url, viewport = null) =>
  open(context, { address, viewport, hooks: [interceptDownloads] });

const kept = (page, text) => page.waitForFunction(
  (t) => window.studio.score.kept && window.studio.score.kept.text === t, {}, text);
const status = (page, pattern) => page.waitForFunction(
  (p) => new RegExp(p).test(document.getElementById('status').textContent), {}, pattern.source);

// Drops a file of `bytes` on the editor and waits until the studio holds them.
async function drop(page, name, bytes) {
  await page.evaluate((n, b64) => {
    const data = new DataTransfer();
    data.items.add(new File([Uint8Array.from(atob(b64), (c) => c.charCodeAt(0))], n));
    document.querySelector('.cm-content').dispatchEvent(
      new DragEvent('drop', { dataTransfer: data, bubbles: true, cancelable: true }));
  }, name, bytes.toString('base64'));
  await page.waitForFunction((b64) => {
    const held = window.studio.score.file.bytes;
    return held && btoa(String.fromCharCode(...held)) === b64;
  }, {}, bytes.toString('base64'));
}

// The byte of `bytes` at the tool's line and column (lines end at LF, CR or CR LF).
function byteAt(bytes, line, column) {
  const starts = [0];
  for (let i = 0; i < bytes.length; ++i) {
    if (bytes[i] === 10 || (bytes[i] === 13 && bytes[i + 1] !== 10)) starts.push(i + 1);
  }
  return starts[line - 1] + column - 1;
}

const typed = 'LEAD t120 o4 l8 c d e f g a b > c\n; kept as typed: grün\n';

async function survivesReload(context) {
  const page = await studio(context);
  await typeScore(page, typed);
  await kept(page, typed);
  suite.asked.length = 0;
  await page.reload({ waitUntil: 'load' });
  await page.waitForFunction(() => window.studio && window.studio.ready);
  if (await doc(page) !== typed) fail('the reload lost the typed score');
  if (!suite.asked.includes('beforeunload')) fail('leaving with unsaved edits did not ask');
  const title = await page.title();
  if (!/\(edited\)/.test(title)) fail(`the title ${JSON.stringify(title)} does not say the score is edited`);
  await page.close();
  const again = await studio(context);
  if (await doc(again) !== typed) fail('a new tab did not bring the typed score back');
  return `a typed score: leaving asked first; restored after a reload and in a new tab, titled ${JSON.stringify(title)}`;
}

async function linkOverDraft(context) {
  const page = await studio(context);
  await typeScore(page, typed);
  await kept(page, typed);
  const shared = 'B t90 o3 l4 c e g\n';
  const other = await studio(context, suite.url + link(Buffer.from(shared)));
  if (await doc(other) !== shared) fail('the link did not open its score');
  await other.waitForSelector('#restore:not([hidden])');
  await other.click('#restore');
  await other.waitForFunction((t) => window.studio.view.state.doc.toString() === t, {}, typed);
  return 'a link opened over a draft: its score shown, "Restore your draft" brought the typed one back';
}

async function saveWrites(context) {
  const page = await studio(context);
  await typeScore(page, typed);
  await page.keyboard.down('Control');
  await page.keyboard.press('s');
  await page.keyboard.up('Control');
  const file = await saved(page, 1);
  if (!file.equals(Buffer.from(typed))) fail(`saved ${JSON.stringify(file.toString())}`);
  await page.waitForFunction(() => !/edited/.test(document.title));
  return `Ctrl+S saved ${file.length} bytes, the title no longer says edited`;
}

async function ownBytes(context) {
  const page = await studio(context);
  const files = {
    '0xFF': Buffer.from('A t120 o4 c d\xffe f x\nB o9 c \xfe x\n', 'latin1'),
    'a byte-order mark': Buffer.from('\ufeffA t120 o4 c d e x\r\nB c x\r\n'),
    UTF16: Buffer.from('\ufeffA t120 o4 c d\nB c e\n', 'utf16le'),
  };
  let count = 0;
  for (const [what, bytes] of Object.entries(files)) {
    await drop(page, 'score.mml', bytes);
    const shown = await checked(page);
    const expected = toolProblems(bytes);
    if (JSON.stringify(shown) !== JSON.stringify(expected))
      fail(`${what}: problems ${JSON.stringify(shown)}, --check ${JSON.stringify(expected)}`);
    // Each problem takes the cursor to the byte the tool names.
    for (let i = 0; i < expected.length; ++i) {
      const [line, column] = expected[i].split(' ')[0].split(':').map(Number);
      const at = await page.evaluate((k) => {
        document.querySelectorAll('#problems .problem')[k].click();
        const s = window.studio;
        const text = s.view.state.doc.toString();
        return s.score.bytesOf(text.slice(0, s.view.state.selection.main.head)).length;
      }, i);
      if (at !== byteAt(bytes, line, column)) fail(`${what}: ${expected[i]} took the cursor to byte ${at}`);
    }
    await page.click('#save');
    if (!(await saved(page, ++count)).equals(bytes)) fail(`${what}: the unedited file saved as other bytes`);
  }
  return 'files\' own bytes: problems and places as --check tells them; each unedited file saved byte for byte';
}

async function bombRefused(context) {
  const page = await studio(context);
  await typeScore(page, typed);
  const bomb = link(Buffer.alloc(200 << 20));
  const pid = suite.browser.process().pid;
  const before = rendererMemory(pid);
  let peak = before;
  const sampler = setInterval(() => { peak = Math.max(peak, rendererMemory(pid)); }, 5);
  const started = Date.now();
  await page.evaluate((h) => { location.hash = h; }, bomb);
  await status(page, /larger than the 16 MiB/);
  const took = Date.now() - started;
  clearInterval(sampler);
  peak = Math.max(peak, rendererMemory(pid));
  if (await doc(page) !== typed) fail('the refused link replaced the score');
  const growth = peak - before;
  if (growth > memoryLimit) fail(`the renderers grew by ${growth} bytes`);
  if (took > 5000) fail(`refused only after ${took} ms`);
  await page.evaluate((h) => { location.hash = h; }, link(Buffer.from(typed)).slice(0, 30));
  await status(page, /damaged or cut short/);
  return `a ${bomb.length}-character link of 200 MiB refused in ${took} ms, the renderers ` +
         `growing ${(growth / 1048576).toFixed(1)} MiB at most; a cut link said so`;
}

async function axeClean(context) {
  const found = [];
  for (const viewport of [{ width: 1280, height: 800 }, { width: 390, height: 844, isMobile: true, hasTouch: true }]) {
    const page = await studio(context, suite.url, viewport);
    await checked(page);
    await page.addScriptTag({ path: require.resolve('axe-core/axe.min.js') });
    const violations = await page.evaluate(async () => (await window.axe.run(document)).violations
      .map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`));
    found.push(...violations.map((v) => `${viewport.width} px: ${v}`));
    if (viewport.width < 700) {
      const [problems, editor] = await page.evaluate(() => [
        document.getElementById('problems-title').getBoundingClientRect().bottom,
        document.querySelector('.cm-editor').getBoundingClientRect().top]);
      if (!(problems <= editor)) fail(`on a phone the Problems list is at ${problems} px, below the editor's top ${editor} px`);
      const small = await page.$$eval('button:not([hidden]), summary', (items) => items
        .filter((e) => e.getBoundingClientRect().height < 44).map((e) => e.textContent));
      if (small.length) fail(`targets under 44 px: ${small.join(', ')}`);
    }
    await page.close();
  }
  if (found.length) fail(found.join('\n'));
  return 'axe-core: no violations at 1280 and 390 px; on the phone the Problems list is above the editor';
}

runScenarios('web studio work', [survivesReload, linkOverDraft, saveWrites, ownBytes, bombRefused, axeClean]);
