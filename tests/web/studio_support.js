// What the studio's browser suites share: the studio opened, driven and read back against
// marrowtone-render, in scenarios run as every browser suite runs them (suite_support.js).
//   node <suite> <site folder> <marrowtone-render>
'use strict';

const fs = require('fs');
const path = require('path');
const { runTool, recordBuffers, runEach, fail } = require('./suite_support');

const [siteDir, nativeRenderer] = process.argv.slice(2).map((p) => p && path.resolve(p));

// The server's address, the browser, a folder for the tool's files, what the pages said.
const suite = { siteDir, url: '', browser: null, work: '', errors: [], asked: [] };

const editor = '::-p-aria([name="Score"][role="textbox"])';
const button = (name) => `::-p-aria([name="${name}"][role="button"])`;

// Given to the page before its scripts, after recordBuffers: every source's start with its
// offset and whether it loops, and the main thread's long tasks.
function hookAudio() {
  window.__audio.starts = [];
  const start = AudioBufferSourceNode.prototype.start;
  AudioBufferSourceNode.prototype.start = function (when, offset) {
    window.__audio.starts.push({ offset: offset || 0, loop: this.loop });
    return start.call(this, when, offset);
  };
  window.__longTasks = [];
  new PerformanceObserver((list) => {
    for (const e of list.getEntries()) window.__longTasks.push(e.duration);
  }).observe({ type: 'longtask', buffered: true });
}

async function open(page, address) {
  await page.goto(address, { waitUntil: 'load' });
  await page.waitForFunction(() => window.studio && window.studio.ready);
}

// A page of `context` with the studio open and ready; `hooks` are given to it before its
// own scripts.
async function studio(context, { address = suite.url, viewport = null, hooks = [] } = {}) {
  const page = await context.newPage();
  const errors = suite.errors;
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  page.on('pageerror', (e) => errors.push(String(e)));
  // Leaving with unsaved edits asks first; the suites leave.
  page.on('dialog', (d) => {
    suite.asked.push(d.type());
    d.accept();
  });
  if (viewport) await page.setViewport(viewport);
  for (const hook of hooks) await page.evaluateOnNewDocument(hook);
  await open(page, address);
  return page;
}

// The studio with what it hands to Web Audio recorded.
const listen = (context, options) => studio(context, { hooks: [recordBuffers, hookAudio], ...options });

// Keys held together, as 'Control+Shift+M'.
async function chord(page, keys) {
  const held = keys.split('+');
  const key = held.pop();
  for (const k of held) await page.keyboard.down(k);
  await page.keyboard.press(key);
  for (const k of held.reverse()) await page.keyboard.up(k);
}

const doc = (page) => page.evaluate(() => window.studio.view.state.doc.toString());

const setScore = (page, text) => page.evaluate((t) => {
  const v = window.studio.view;
  v.dispatch({ changes: { from: 0, to: v.state.doc.length, insert: t } });
}, text);

async function typeScore(page, text) {
  await page.click(editor);
  await chord(page, 'Control+a');
  await page.keyboard.type(text);
  await page.waitForFunction((t) => window.studio.view.state.doc.toString() === t, {}, text);
}

// The problems shown once the check of the editor's present text has come back.
async function checked(page, timeout = 30000) {
  await page.waitForFunction(() => window.studio.idle(), { timeout });
  return page.$$eval('#problems .problem', (items) => items.map((e) => e.textContent));
}

// The editor's cursor as the tool names places, line:column.
const cursor = (page) => page.evaluate(() => {
  const v = window.studio.view;
  const head = v.state.selection.main.head;
  return `${v.state.doc.lineAt(head).number}:${head - v.state.doc.lineAt(head).from + 1}`;
});

// The `count`th file the page downloaded (after interceptDownloads), once it has.
async function saved(page, count) {
  await page.waitForFunction((n) => window.__saved.length >= n, {}, count);
  return Buffer.from((await page.evaluate((n) => window.__saved[n - 1], count)).base64, 'base64');
}

// The `count`th buffer handed to Web Audio, once it has been.
async function played(page, count) {
  await page.waitForFunction((n) => window.__audio.buffers.length >= n, {}, count);
  return page.evaluate((n) => window.__audio.buffers[n - 1], count);
}

// `text` set, checked and played on a page that has not played yet: the first buffer.
async function play(page, text) {
  await setScore(page, text);
  await checked(page);
  await page.click(button('Play'));
  return played(page, 1);
}

async function stop(page) {
  await page.click(button('Stop'));
  await page.waitForFunction(() => window.studio.output.position() === null);
}

// The tool on `text` saved as score.mml, as the page names its score.
function tool(text, args) {
  fs.writeFileSync(path.join(suite.work, 'score.mml'), text);
  return runTool(nativeRenderer, suite.work, args);
}

// The problems --check finds in `text` saved as score.mml, as the page lists them.
const toolProblems = (text) => tool(text, ['--check', 'score.mml']).out.toString().trim().split('\n')
  .map((l) => l.replace(/^score\.mml:(\d+):(\d+): /, '$1:$2 '));

// The samples of a buffer against the tool's from sample `from` on (--from), the first
// `length` of them when given (a loop's part).
function expectSamples(buffer, text, what, from = 0, length = undefined) {
  const time = ((from + 0.5) / 11025).toFixed(7);
  const expected = tool(text, from ? ['--from', time, 'score.mml', '-'] : ['score.mml', '-']);
  if (expected.status !== 0) fail(`marrowtone-render failed: ${expected.err}`);
  const got = Buffer.from(buffer.base64, 'base64');
  const want = expected.out.subarray(0, length);
  if (buffer.rate !== 11025) fail(`played at ${buffer.rate} Hz`);
  if (!got.equals(want)) {
    let at = 0;
    while (at < got.length && got[at] === want[at]) ++at;
    fail(`${what}: ${got.length} samples played, ${want.length} rendered from ${from}; ` +
         `first difference at ${at}`);
  }
}

// The sample a buffer that plays on to the end of the minute starts at.
const startOf = (buffer) => 661500 - Buffer.from(buffer.base64, 'base64').length;

// Runs `scenarios`, each async (context) => what it saw, and exits 1 if any failed.
const runScenarios = (name, scenarios) => runEach(name, suite, scenarios);

module.exports = { suite, fail, editor, button, studio, listen, open, chord, doc, setScore, typeScore,
                   checked, cursor, saved, played, play, stop, tool, toolProblems, expectSamples, startOf, runScenarios };
