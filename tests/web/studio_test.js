// The studio in Debian's chromium, headless: problems where marrowtone-render --check finds
// them, the samples handed to Web Audio against the tool's, an edit heard from where the sound
// was, a solo, a share link, the WAV export, a visit without network, and a page that answers
// while a huge score renders. Each scenario on its own, its console free of errors.
//
//   node studio_test.js <site folder> <marrowtone-render>
'use strict';

const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const { startServer, stopServer, interceptDownloads } = require('./suite_support');
const { suite, fail, editor, button, studio, listen, open, chord, doc, setScore, typeScore, checked, cursor,
        saved, played, play, stop, tool, toolProblems, expectSamples, startOf, runScenarios } = require('./studio_support');

const firstVisitLimit = 500 * 1024; // bytes, gzip-compressed
const song = fs.readFileSync(path.join(suite.siteDir, 'examples', 'three-voices.mml'), 'utf8');
const gzipped = (name) => zlib.gzipSync(fs.readFileSync(path.join(suite.siteDir, name)), { level: 9 }).length;

// A first visit's size, then a second visit without network opens and plays, and the
// header's link to the player opens it. On a server of its own, which it stops, and in the
// browser's own context, as a visitor's is: an off-the-record one fetches no manifest.
async function firstAndOffline() {
  let server = await startServer(suite.siteDir);
  try {
    const url = `http://127.0.0.1:${server.port}/`;
    const page = await listen(suite.browser.defaultBrowserContext(), { address: url });
    const editable = await page.evaluate(() => window.studio.editableAt);
    const fetched = await page.evaluate(() => [performance.getEntriesByType('navigation')[0].name,
      ...performance.getEntriesByType('resource').map((e) => e.name)]);
    await page.waitForFunction(() => navigator.serviceWorker.controller !== null ||
                                      navigator.serviceWorker.ready.then(() => true));
    const files = new Set(fetched.map((u) => new URL(u).pathname.replace(/\/$/, '/index.html')));
    for (const file of ['/sw.js', '/marrowtone_studio.js', '/marrowtone_studio.wasm', '/link_worker.js']) files.add(file);
    const raw = [...files].reduce((n, f) => n + fs.statSync(path.join(suite.siteDir, f)).size, 0);
    const gzip = [...files].reduce((n, f) => n + gzipped(f), 0);
    console.log(`first visit: ${files.size} files, ${raw} bytes, ${gzip} gzip-compressed ` +
                `(limit ${firstVisitLimit}); editable ${editable.toFixed(0)} ms after the navigation`);
    if (gzip > firstVisitLimit) fail('the first visit transfers too much');
    const later = ['player.html', 'page.js', 'page.css', 'window.css', 'marrowtone.js', 'marrowtone.wasm']
      .reduce((n, f) => n + gzipped(f), 0);
    console.log(`the player page, kept for offline visits once the studio is: ${later} bytes gzip-compressed`);

    await page.waitForFunction(async () => Boolean(await caches.match('player.html') &&
                                                   await caches.match('marrowtone.wasm')));
    stopServer(server);
    server = null;
    await page.setOfflineMode(true);
    await open(page, url);
    await checked(page);
    const offline = await doc(page);
    await page.click(button('Play'));
    expectSamples(await played(page, 1), offline, 'offline');
    await page.click('header a[href="player.html"]');
    await page.waitForSelector('::-p-aria([role="menubar"])');
    return 'with the server gone, a second visit opened and played, and the player page opened from the cache';
  } finally {
    if (server) stopServer(server);
  }
}

// A faulty score typed in: the problems of --check, at their places; the keys that go
// through them, and the editor's keys where it does not have the focus; a load error.
async function problemsAndKeys(context) {
  const page = await studio(context);
  const faulty = 'A t120 o4 c d e x f\nB o9 c\n';
  await typeScore(page, faulty);
  const shown = await checked(page);
  const expected = toolProblems(faulty);
  if (JSON.stringify(shown) !== JSON.stringify(expected))
    fail(`problems ${JSON.stringify(shown)}, --check ${JSON.stringify(expected)}`);
  await page.click('#problems .problem');
  const at = await cursor(page);
  if (!expected[0].startsWith(at + ' ')) fail(`the problem took the cursor to ${at}`);
  // F8 is the editor's next problem (the first press selects the one at the cursor);
  // Ctrl+Shift+M goes to the list.
  await page.keyboard.press('F8');
  await page.keyboard.press('F8');
  await page.waitForFunction((p) => {
    const v = window.studio.view;
    const from = v.state.selection.main.from;
    return `${v.state.doc.lineAt(from).number}:${from - v.state.doc.lineAt(from).from + 1}` === p;
  }, {}, expected[1].split(' ')[0]);
  await chord(page, 'Control+Shift+M');
  await page.waitForFunction(() => document.activeElement.classList.contains('problem'));
  // F5 plays and Escape stops there too.
  await page.keyboard.press('F5');
  await page.waitForFunction(() => window.studio.state.playing);
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => !window.studio.state.playing);
  // A score that does not load says why, as the tool does.
  const overflow = 'A t120 o4 c d e\nA c99999999999999999999\n';
  await setScore(page, overflow);
  await checked(page);
  const error = await page.$eval('#error', (e) => e.textContent);
  const toolError = tool(overflow, ['score.mml', '-']).err;
  if (error !== toolError) fail(`shown ${JSON.stringify(error)}, the tool ${JSON.stringify(toolError)}`);
  return `${shown.length} problems as --check finds them; the first took the cursor to ${at}; F8 went to the ` +
         `next problem, Ctrl+Shift+M to the list, where F5 played and Escape stopped; a score that does not load: ${error}`;
}

// Played as the tool renders it; an edit while playing is heard from where the sound was.
async function playedAndEdited(context) {
  const page = await listen(context);
  expectSamples(await play(page, song), song, 'three-voices.mml');
  await page.waitForFunction(() => window.studio.output.position() > 1);
  const before = await page.evaluate(() => window.studio.output.position());
  await page.click(editor);
  await page.keyboard.press('End');
  await chord(page, 'Control+End');
  // The editor may take typed keys in after the last press has returned.
  const added = '\nC o5 v40 c d e f g';
  await page.keyboard.type(added);
  await page.waitForFunction((a) => window.studio.view.state.doc.toString().endsWith(a), {}, added);
  const edited = await doc(page);
  await page.waitForFunction((t) => window.studio.state.heardText === t, {}, edited);
  const last = await page.evaluate(() => window.__audio.buffers.at(-1));
  expectSamples(last, edited, 'the edited score', startOf(last));
  const offset = startOf(last) / 11025;
  if (!(offset > before)) fail(`the edit started at ${offset} s, the sound was at ${before} s`);
  await stop(page);
  return `three-voices.mml played as marrowtone-render renders it; the edit was heard from ` +
         `${offset.toFixed(2)} s on (the sound was at ${before.toFixed(2)} s)`;
}

// How soon a keystroke is checked and heard in a score of 10 KB.
async function keystrokeLatency(context) {
  const page = await listen(context);
  const voices = ['LEAD', 'ALTO', 'TENOR', 'BASS'];
  let ten = '; four voices\n';
  for (let i = 0; ten.length < 10240; ++i)
    ten += `${voices[i % 4]} t150 o${2 + i % 4} v30 l16 ${'cdefgab'.repeat(12).split('').reverse().slice(i % 5).join(' ')}\n`;
  await setScore(page, ten);
  await checked(page);
  const typeAtStart = async (what) => {
    await page.click(editor);
    await chord(page, 'Control+Home');
    await page.keyboard.type(what);
    await page.waitForFunction((w) => window.studio.view.state.doc.toString().startsWith(w), {}, what);
    return doc(page);
  };
  const typed = await typeAtStart('A c ');
  await checked(page);
  await page.click(button('Play'));
  await page.waitForFunction((t) => window.studio.state.heardKey === t, {}, typed);
  const tenEdited = await typeAtStart('d ');
  await page.waitForFunction((t) => window.studio.state.heardKey === t, {}, tenEdited);
  await checked(page);
  const latency = await page.evaluate(() => {
    const s = window.studio.stats;
    return { heard: s.heardLatency.at(-1), checked: s.checkLatency.at(-2),
             output: (window.studio.output.context.baseLatency || 0) * 1000 };
  });
  console.log(`a ${ten.length}-byte score: keystroke to problems ${latency.checked.toFixed(0)} ms; ` +
              `while playing, to the new sound started ${latency.heard.toFixed(0)} ms (the output adds ` +
              `${latency.output.toFixed(0)} ms)`);
  await stop(page);
  return 'a keystroke in a 10 KB score checked, and heard while playing';
}

// A solo is the score without the other channels' lines.
async function solo(context) {
  const page = await listen(context);
  const soloed = 'A t120 o4 l8 c d e f\nB t120 o2 l2 c g\nA g a b > c\n';
  await setScore(page, soloed);
  await checked(page);
  await page.click(button('Solo A'));
  await page.waitForFunction(() => document.querySelector('[aria-label="Solo A"]').getAttribute('aria-pressed') === 'true');
  await page.click(button('Play'));
  await page.waitForFunction((t) => window.studio.state.heardKey === t + '\0B', {}, soloed);
  const dimmed = await page.$$eval('.cm-quiet', (lines) => lines.map((l) => l.textContent));
  if (dimmed.join('\n') !== soloed.split('\n')[1]) fail(`dimmed ${JSON.stringify(dimmed)}`);
  const alone = soloed.split('\n').filter((l) => !l.startsWith('B')).join('\n');
  expectSamples(await page.evaluate(() => window.__audio.buffers.at(-1)), alone, 'A alone');
  await page.click(button('Stop'));
  return 'Solo A played the score without B\'s line, dimmed';
}

// Shared through the address, text with bytes beyond ASCII intact.
async function share(context) {
  const page = await studio(context);
  const greeting = '; Grüße, ünïcödé ♪ 🎹\nA t120 o4 l8 c d e f g4\n';
  await setScore(page, greeting);
  await checked(page);
  await page.click(button('Share'));
  await page.waitForFunction(() => location.hash.startsWith('#score='));
  const link = await page.evaluate(() => location.href);
  const other = await studio(context, { address: link });
  await other.waitForFunction((t) => {
    const s = window.studio;
    return s.view.state.doc.toString() === t && s.state.rendered && s.state.rendered.key === t;
  }, {}, greeting);
  return `the share link (${link.length - suite.url.length} characters after the page) opened the same text, ready to play`;
}

// The WAV file, as the tool writes it: the whole score, a muted channel left out, a range kept.
async function exportWav(context) {
  const page = await studio(context);
  const downloads = path.join(suite.work, 'downloads');
  fs.mkdirSync(downloads);
  const cdp = await page.createCDPSession();
  await cdp.send('Browser.setDownloadBehavior',
                 { behavior: 'allow', downloadPath: downloads, browserContextId: context.id });
  await setScore(page, song);
  await checked(page);
  await page.click(button('Export WAV'));
  await page.waitForFunction(() => document.getElementById('status').textContent.startsWith('Saved'));
  // The browser writes the file under another name first and renames it when complete.
  let wav;
  for (const until = Date.now() + 30000; !(wav = fs.readdirSync(downloads).find((n) => n.endsWith('.wav')));) {
    if (Date.now() > until) fail('no WAV file was downloaded');
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  const sameAsTool = (bytes, args, what) => {
    const run = ['marrowtone-render', ...args].join(' ');
    tool(song, [...args, 'score.mml', 'expected.wav']);
    if (!bytes.equals(fs.readFileSync(path.join(suite.work, 'expected.wav'))))
      fail(`${what}: the exported WAV differs from ${run}'s`);
  };
  sameAsTool(fs.readFileSync(path.join(downloads, wav)), [], 'the whole score');
  // The browser holds back further downloads, so the page's are taken as it starts them.
  await page.evaluate(interceptDownloads);
  await page.click(button('Mute ALTO'));
  await page.click(button('Export WAV'));
  sameAsTool(await saved(page, 1), ['--mute', 'ALTO'], 'ALTO muted');
  await page.click(button('Mute ALTO'));
  await page.type('#export-from', '1.5');
  await page.type('#export-to', '0:04.25');
  await page.click(button('Export WAV'));
  sameAsTool(await saved(page, 2), ['--from', '1.5', '--to', '0:04.25'], 'a range');
  return 'Export WAV wrote the files marrowtone-render writes: whole, with --mute ALTO, with --from 1.5 --to 0:04.25';
}

// A huge score renders in the worker; the page keeps answering, and the memory it took is
// given back. The page's longest task is held against the engine's whole job, which a
// slower machine makes longer too: work done on the page would take about all of it.
async function hugeScore(context) {
  const page = await listen(context);
  await checked(page);
  await page.evaluate(() => { window.__longTasks.length = 0; });
  await setScore(page, 'A l64 [c]16777000\n');
  await page.waitForFunction(() => !document.getElementById('progress').hidden);
  const began = Date.now();
  await checked(page, 300000);
  const job = Date.now() - began;
  const figures = await page.evaluate(() => ({
    longest: Math.max(0, ...window.__longTasks), memory: window.studio.stats.memory }));
  await setScore(page, song);
  await checked(page);
  const after = await page.evaluate(() => window.studio.stats.memory);
  console.log(`huge score: longest main-thread task ${figures.longest.toFixed(0)} ms while ` +
              `the engine worked ${job} ms; engine memory ${figures.memory} bytes after it, ` +
              `${after} bytes for the next score`);
  if (figures.longest > job / 4) fail('a main-thread task held the page for much of the job');
  if (!(after < figures.memory)) fail('the memory of the huge score was not given back');
  return 'a huge score rendered in the worker without holding up the page';
}

runScenarios('web studio', [firstAndOffline, problemsAndKeys, playedAndEdited, keystrokeLatency, solo,
                             share, exportWav, hugeScore]);
