// The studio page in Debian's chromium, headless: problems shown where marrowtone-render
// --check finds them, the samples handed to Web Audio against the tool's bytes, an edit
// heard from where the sound was, pause, seek and loop heard as --from gives those moments,
// the track view, a share link, the WAV export, a visit without network,
// and a page that answers while a huge score renders. The console stays free of errors.
//
//   node studio_test.js <site folder> <marrowtone-render>
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const zlib = require('zlib');
const { startServer, stopServer, launchBrowser, runTool, recordBuffers, interceptDownloads } =
  require('./suite_support');

const [siteDir, nativeRenderer] = process.argv.slice(2).map((p) => p && path.resolve(p));
const firstVisitLimit = 500 * 1024; // bytes, gzip-compressed

function fail(text) {
  throw new Error(text);
}

// The tool on `text` saved as score.mml, as the page names its score.
function tool(work, text, args) {
  fs.writeFileSync(path.join(work, 'score.mml'), text);
  return runTool(nativeRenderer, work, args);
}

// Every source's start with its offset and whether it loops (after recordBuffers).
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

const step = (text) => console.log('  ' + text);

async function main() {
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'marrowtone-studio-'));
  let server = await startServer(siteDir);
  const url = `http://127.0.0.1:${server.port}/`;
  const browser = await launchBrowser(path.join(work, 'profile'));
  const consoleErrors = [];
  const watch = (page) => {
    page.on('console', (m) => { if (m.type() === 'error') consoleErrors.push(m.text()); });
    page.on('pageerror', (e) => consoleErrors.push(String(e)));
    // Leaving with unsaved edits asks first; the suite leaves.
    page.on('dialog', (d) => d.accept());
  };
  try {
    const page = await browser.newPage();
    watch(page);
    await page.evaluateOnNewDocument(recordBuffers);
    await page.evaluateOnNewDocument(hookAudio);
    const editor = '::-p-aria([name="Score"][role="textbox"])';
    const button = (name) => `::-p-aria([name="${name}"][role="button"])`;
    const open = async (p, address) => {
      await p.goto(address, { waitUntil: 'load' });
      await p.waitForFunction(() => window.studio && window.studio.ready);
      return p.evaluate(() => window.studio.editableAt);
    };
    const setScore = (text) => page.evaluate((t) => {
      const v = window.studio.view;
      v.dispatch({ changes: { from: 0, to: v.state.doc.length, insert: t } });
    }, text);
    // The problems shown once the check of the editor's present text has come back.
    const checked = async (timeout = 30000) => {
      await page.waitForFunction(() => window.studio.idle(), { timeout });
      return page.$$eval('#problems .problem', (items) => items.map((e) => e.textContent));
    };
    const played = async (count) => {
      await page.waitForFunction((n) => window.__audio.buffers.length >= n, {}, count);
      return page.evaluate((n) => window.__audio.buffers[n - 1], count);
    };
    // The samples of a buffer against the tool's from sample `from` on (--from), the first
    // `length` of them when given (a loop's part).
    const expectSamples = (buffer, text, what, from = 0, length = undefined) => {
      const time = ((from + 0.5) / 11025).toFixed(7);
      const expected = tool(work, text, from ? ['--from', time, 'score.mml', '-'] : ['score.mml', '-']);
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
    };
    // The sample a buffer that plays on to the end of the minute starts at.
    const startOf = (buffer) => 661500 - Buffer.from(buffer.base64, 'base64').length;

    console.log('the studio:');
    const editable = await open(page, url);
    const fetched = await page.evaluate(() => [performance.getEntriesByType('navigation')[0].name,
      ...performance.getEntriesByType('resource').map((e) => e.name)]);
    await page.waitForFunction(() => navigator.serviceWorker.controller !== null ||
                                      navigator.serviceWorker.ready.then(() => true));
    let raw = 0;
    let gzip = 0;
    const files = new Set(fetched.map((u) => new URL(u).pathname.replace(/\/$/, '/index.html')));
    for (const file of ['/sw.js', '/marrowtone_studio.js', '/marrowtone_studio.wasm', '/link_worker.js']) files.add(file);
    for (const name of files) {
      const bytes = fs.readFileSync(path.join(siteDir, name));
      raw += bytes.length;
      gzip += zlib.gzipSync(bytes, { level: 9 }).length;
    }
    console.log(`first visit: ${files.size} files, ${raw} bytes, ${gzip} gzip-compressed ` +
                `(limit ${firstVisitLimit}); editable ${editable.toFixed(0)} ms after the navigation`);
    if (gzip > firstVisitLimit) fail('the first visit transfers too much');
    const later = ['player.html', 'page.js', 'page.css', 'window.css', 'marrowtone.js', 'marrowtone.wasm']
      .reduce((n, f) => n + zlib.gzipSync(fs.readFileSync(path.join(siteDir, f)), { level: 9 }).length, 0);
    console.log(`the player page, kept for offline visits once the studio is: ${later} bytes gzip-compressed`);

    // A faulty score typed in: the problems of --check, at their places.
    const faulty = 'A t120 o4 c d e x f\nB o9 c\n';
    await page.click(editor);
    await page.keyboard.down('Control');
    await page.keyboard.press('a');
    await page.keyboard.up('Control');
    await page.keyboard.type(faulty);
    await page.waitForFunction((t) => window.studio.view.state.doc.toString() === t, {}, faulty);
    const shown = await checked();
    const expected = tool(work, faulty, ['--check', 'score.mml']).out.toString().trim().split('\n')
      .map((l) => l.replace(/^score\.mml:(\d+):(\d+): /, '$1:$2 '));
    if (JSON.stringify(shown) !== JSON.stringify(expected))
      fail(`problems ${JSON.stringify(shown)}, --check ${JSON.stringify(expected)}`);
    await page.click('#problems .problem');
    const cursor = await page.evaluate(() => {
      const v = window.studio.view;
      const head = v.state.selection.main.head;
      const line = v.state.doc.lineAt(head);
      return `${line.number}:${head - line.from + 1}`;
    });
    if (!expected[0].startsWith(cursor + ' ')) fail(`the problem took the cursor to ${cursor}`);
    step(`${shown.length} problems as --check finds them; the first took the cursor to ${cursor}`);
    // F8 is the editor's next problem (the first press selects the one at the cursor);
    // Ctrl+Shift+M goes to the list.
    await page.keyboard.press('F8');
    await page.keyboard.press('F8');
    await page.waitForFunction((p) => {
      const v = window.studio.view;
      const at = v.state.selection.main.from;
      const line = v.state.doc.lineAt(at);
      return `${line.number}:${at - line.from + 1}` === p;
    }, {}, expected[1].split(' ')[0]);
    await page.keyboard.down('Control');
    await page.keyboard.down('Shift');
    await page.keyboard.press('M');
    await page.keyboard.up('Shift');
    await page.keyboard.up('Control');
    await page.waitForFunction(() => document.activeElement.classList.contains('problem'));
    // The editor's keys hold where it does not have the focus: F5 plays, Escape stops.
    await page.keyboard.press('F5');
    await page.waitForFunction(() => window.studio.state.playing);
    await page.keyboard.press('Escape');
    await page.waitForFunction(() => !window.studio.state.playing);
    await page.evaluate(() => { window.__audio.buffers.length = 0; }); // the plays below count from one
    step('F8 went to the next problem, Ctrl+Shift+M to the list, where F5 played and Escape stopped');

    const overflow = 'A t120 o4 c d e\nA c99999999999999999999\n';
    await setScore(overflow);
    await checked();
    const error = await page.$eval('#error', (e) => e.textContent);
    const toolError = tool(work, overflow, ['score.mml', '-']).err;
    if (error !== toolError) fail(`shown ${JSON.stringify(error)}, the tool ${JSON.stringify(toolError)}`);
    step(`a score that does not load: ${error}`);

    // Played as the tool renders it.
    const song = fs.readFileSync(path.join(siteDir, 'examples', 'three-voices.mml'), 'utf8');
    await setScore(song);
    await checked();
    await page.click(button('Play'));
    expectSamples(await played(1), song, 'three-voices.mml');
    step('three-voices.mml played as marrowtone-render renders it');

    // An edit while playing is heard from where the sound was.
    await page.waitForFunction(() => window.studio.output.position() > 1);
    const before = await page.evaluate(() => window.studio.output.position());
    await page.click(editor);
    await page.keyboard.press('End');
    await page.keyboard.down('Control');
    await page.keyboard.press('End');
    await page.keyboard.up('Control');
    await page.keyboard.type('\nC o5 v40 c d e f g');
    const edited = await page.evaluate(() => window.studio.view.state.doc.toString());
    await page.waitForFunction((t) => window.studio.state.heardText === t, {}, edited);
    const last = await page.evaluate(() => window.__audio.buffers.at(-1));
    expectSamples(last, edited, 'the edited score', startOf(last));
    const offset = startOf(last) / 11025;
    if (!(offset > before)) fail(`the edit started at ${offset} s, the sound was at ${before} s`);
    step(`the edit was heard from ${offset.toFixed(2)} s on (the sound was at ${before.toFixed(2)} s)`);
    await page.click(button('Stop'));
    await page.waitForFunction(() => window.studio.output.position() === null);

    // Pause and resume, a seek on the timeline and a loop of a line's notes: Web Audio gets
    // what --from gives from those moments. The track view's playhead follows the sound.
    const phrase = 'A t120 l8 c d e f\nA g a b > c\nB t120 o3 l2 c g\n';
    await setScore(phrase);
    await checked();
    let count = await page.evaluate(() => window.__audio.buffers.length);
    await page.click(button('Play'));
    await played(++count);
    await page.waitForFunction(() => window.studio.output.position() > 0.5);
    await page.keyboard.press('F9');
    await page.waitForFunction(() => window.studio.state.pausedAt !== null);
    const paused = await page.evaluate(() => window.studio.state.pausedAt);
    await page.keyboard.press('F9');
    const resumed = await played(++count);
    expectSamples(resumed, phrase, 'resumed', startOf(resumed));
    if (startOf(resumed) !== Math.round(paused * 11025)) fail(`paused at ${paused} s, resumed from sample ${startOf(resumed)}`);
    await page.waitForFunction((p) => window.studio.tracks.shownAt > p + 0.5, {}, paused);
    const [drawn, heard] = await page.evaluate(() => [window.studio.tracks.shownAt, window.studio.output.position()]);
    if (!(Math.abs(drawn - heard) < 0.5)) fail(`the playhead was drawn at ${drawn} s, the sound at ${heard} s`);
    const timeline = await (await page.$('#timeline')).boundingBox();
    await page.mouse.click(timeline.x + timeline.width * 0.75, timeline.y + timeline.height / 2);
    const sought = await played(++count);
    const target = await page.evaluate(() => window.studio.state.startAt);
    expectSamples(sought, phrase, 'sought', startOf(sought));
    if (startOf(sought) !== Math.round(target * 11025) || Math.abs(target / 60 - 0.75) > 0.05)
      fail(`a click at three quarters of the timeline played from ${target} s, sample ${startOf(sought)}`);
    await page.evaluate(() => {
      const v = window.studio.view;
      v.dispatch({ selection: { anchor: v.state.doc.line(2).from, head: v.state.doc.line(2).to } });
      v.focus();
    });
    const altKey = async (key) => {
      await page.keyboard.down('Alt');
      await page.keyboard.press(key);
      await page.keyboard.up('Alt');
    };
    await altKey('k');
    const looped = await played(++count);
    const [loop, looping] = await page.evaluate(() => [window.studio.state.loop, window.__audio.starts.at(-1).loop]);
    // Line 2 is the second half of A's pass, as long as the first.
    const pass = Number(/A: .* one pass ([\d.]+) s/.exec(tool(work, phrase, ['--info', 'score.mml']).out)[1]) * 11025;
    if (!looping || Math.abs(loop.from - pass / 2) > 12 || Math.abs(loop.to - pass) > 12)
      fail(`line 2 looped samples ${loop.from} to ${loop.to}; A's pass is ${pass} samples`);
    expectSamples(looped, phrase, 'the loop', loop.from, loop.to - loop.from);
    await altKey('k');
    await played(++count);
    await page.click(button('Stop'));
    await page.waitForFunction(() => window.studio.output.position() === null);
    step(`paused at ${paused.toFixed(2)} s and resumed, sought to ${target.toFixed(2)} s, looped line 2 ` +
         `(${loop.from}–${loop.to}): each as --from gives it; the playhead drawn with the sound`);

    // A click on B's second note in the track view takes the cursor to its command, and marks it.
    const point = await page.evaluate(() => window.studio.tracks.pointAt(1.5, 1));
    await page.mouse.click(point.x, point.y);
    const [place, marked] = await page.evaluate(() => {
      const v = window.studio.view;
      const head = v.state.selection.main.head;
      const line = v.state.doc.lineAt(head);
      return [`${line.number}:${head - line.from + 1}`, window.studio.tracks.marked.map(([c]) => c)];
    });
    const expectedPlace = `3:${phrase.split('\n')[2].lastIndexOf('g') + 1}`;
    if (place !== expectedPlace || !marked.includes(1)) fail(`the click took the cursor to ${place} (marked ${marked}), not ${expectedPlace}`);
    step(`a click on B's second note took the cursor to ${place}, marked in the view`);
    await page.keyboard.press('F1');
    const listed = await page.evaluate(() => [...document.querySelectorAll('#keys th')].map((e) => e.textContent));
    const declared = await page.$$eval('[aria-keyshortcuts]', (all) => all.length);
    if (listed.length < declared || !listed.includes('F9')) fail(`F1 listed ${listed}`);
    await page.keyboard.press('Escape');

    // Ten thousand notes played with the view shown: the longest main-thread task.
    let many = '';
    for (let c = 0; c < 10; ++c) {
      for (let k = 0; k < 1000; ++k)
        many += (k % 50 ? ' ' : `${k ? '\n' : ''}V${c}${k ? '' : ` t250 o${2 + c % 4} l16`} `) + 'cdefgab'[(k * (c + 3)) % 7];
      many += '\n';
    }
    await page.evaluate(() => { window.__longTasks.length = 0; });
    await setScore(many);
    await checked();
    const loading = await page.evaluate(() => Math.max(0, ...window.__longTasks.splice(0)));
    await page.click(button('Play'));
    await page.waitForFunction(() => window.studio.output.position() > 5);
    const tasks = await page.evaluate(() => ({ longest: Math.max(0, ...window.__longTasks),
                                               draw: window.studio.tracks.stats.longestDraw }));
    console.log(`10,000 notes playing with the track view: longest main-thread task ${tasks.longest.toFixed(0)} ms ` +
                `(0: none over 50 ms; ${loading.toFixed(0)} ms while it was set and checked); longest ` +
                `drawing of the notes ${tasks.draw.toFixed(1)} ms`);
    await page.click(button('Stop'));
    await page.waitForFunction(() => window.studio.output.position() === null);

    // How soon a keystroke is checked and heard in a score of 10 KB.
    const voices = ['LEAD', 'ALTO', 'TENOR', 'BASS'];
    let ten = '; four voices\n';
    for (let i = 0; ten.length < 10240; ++i)
      ten += `${voices[i % 4]} t150 o${2 + i % 4} v30 l16 ${'cdefgab'.repeat(12).split('').reverse().slice(i % 5).join(' ')}\n`;
    await setScore(ten);
    await checked();
    const typeAtStart = async (what) => {
      await page.click(editor);
      await page.keyboard.down('Control');
      await page.keyboard.press('Home');
      await page.keyboard.up('Control');
      await page.keyboard.type(what);
      return page.evaluate(() => window.studio.view.state.doc.toString());
    };
    const typed = await typeAtStart('A c ');
    await checked();
    await page.click(button('Play'));
    await page.waitForFunction((t) => window.studio.state.heardKey === t, {}, typed);
    const tenEdited = await typeAtStart('d ');
    await page.waitForFunction((t) => window.studio.state.heardKey === t, {}, tenEdited);
    await checked();
    const latency = await page.evaluate(() => {
      const s = window.studio.stats;
      return { heard: s.heardLatency.at(-1), checked: s.checkLatency.at(-2),
               output: (window.studio.output.context.baseLatency || 0) * 1000 };
    });
    console.log(`a ${ten.length}-byte score: keystroke to problems ${latency.checked.toFixed(0)} ms; ` +
                `while playing, to the new sound started ${latency.heard.toFixed(0)} ms (the output adds ` +
                `${latency.output.toFixed(0)} ms)`);
    await page.click(button('Stop'));
    await page.waitForFunction(() => window.studio.output.position() === null);

    // A solo is the score without the other channels' lines.
    const soloed = 'A t120 o4 l8 c d e f\nB t120 o2 l2 c g\nA g a b > c\n';
    await setScore(soloed);
    await checked();
    await page.click(button('Solo A'));
    await page.waitForFunction(() => document.querySelector('[aria-label="Solo A"]').getAttribute('aria-pressed') === 'true');
    await page.click(button('Play'));
    await page.waitForFunction((t) => window.studio.state.heardKey === t + '\0B', {}, soloed);
    const dimmed = await page.$$eval('.cm-quiet', (lines) => lines.map((l) => l.textContent));
    if (dimmed.join('\n') !== soloed.split('\n')[1]) fail(`dimmed ${JSON.stringify(dimmed)}`);
    const alone = soloed.split('\n').filter((l) => !l.startsWith('B')).join('\n');
    expectSamples(await page.evaluate(() => window.__audio.buffers.at(-1)), alone, 'A alone');
    await page.click(button('Stop'));
    await page.click(button('Solo A'));
    step('Solo A played the score without B\'s line, dimmed');

    // Hovering a command tells what the engine does with its value.
    await setScore('A t120 o4 c\n');
    await checked();
    const tempo = await page.evaluate(() => window.studio.view.coordsAtPos(3));
    await page.mouse.move(tempo.left + 2, (tempo.top + tempo.bottom) / 2);
    const help = await (await page.waitForSelector('.cm-tooltip-hover .cm-help')).evaluate((e) => e.textContent);
    if (help !== 't120: a quarter lasts 0.661 s') fail(`hovering t120 told ${JSON.stringify(help)}`);
    await page.mouse.move(0, 0);
    step(`hovering t120 told "${help}"`);

    // Shared through the address, text with bytes beyond ASCII intact.
    const greeting = '; Grüße, ünïcödé ♪ 🎹\nA t120 o4 l8 c d e f g4\n';
    await setScore(greeting);
    await checked();
    await page.click(button('Share'));
    await page.waitForFunction(() => location.hash.startsWith('#score='));
    const link = await page.evaluate(() => location.href);
    const other = await browser.newPage();
    watch(other);
    await open(other, link);
    await other.waitForFunction((t) => {
      const s = window.studio;
      return s.view.state.doc.toString() === t && s.state.rendered && s.state.rendered.key === t;
    }, {}, greeting);
    await other.close();
    step(`the share link (${link.length - url.length} characters after the page) opened the same text, ready to play`);

    // The WAV file, as the tool writes it.
    const downloads = path.join(work, 'downloads');
    fs.mkdirSync(downloads);
    const cdp = await page.createCDPSession();
    await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
    await setScore(song);
    await checked();
    await page.click(button('Export WAV'));
    await page.waitForFunction(() => document.getElementById('status').textContent.startsWith('Saved'));
    // The browser writes the file under another name first and renames it when complete.
    const saved = await new Promise((resolve, reject) => {
      const until = Date.now() + 30000;
      const look = () => {
        const wav = fs.readdirSync(downloads).find((n) => n.endsWith('.wav'));
        if (wav) resolve(path.join(downloads, wav));
        else if (Date.now() > until) reject(new Error('no WAV file was downloaded'));
        else setTimeout(look, 50);
      };
      look();
    });
    const sameAsTool = (bytes, args, what) => {
      const run = ['marrowtone-render', ...args].join(' ');
      tool(work, song, [...args, 'score.mml', 'expected.wav']);
      if (!bytes.equals(fs.readFileSync(path.join(work, 'expected.wav'))))
        fail(`${what}: the exported WAV differs from ${run}'s`);
      step(`Export WAV ${what} wrote the file ${run} writes`);
    };
    sameAsTool(fs.readFileSync(saved), [], 'of the whole score');
    // What is heard: a muted channel left out, a range kept, as the tool's options do. The
    // browser holds back further downloads, so the page's are taken as it starts them.
    await page.evaluate(interceptDownloads);
    const exported = async (n) => {
      await page.click(button('Export WAV'));
      await page.waitForFunction((k) => window.__saved.length >= k, {}, n);
      return Buffer.from((await page.evaluate((k) => window.__saved[k - 1], n)).base64, 'base64');
    };
    await page.click(button('Mute ALTO'));
    sameAsTool(await exported(1), ['--mute', 'ALTO'], 'with ALTO muted');
    await page.click(button('Mute ALTO'));
    await page.type('#export-from', '1.5');
    await page.type('#export-to', '0:04.25');
    sameAsTool(await exported(2), ['--from', '1.5', '--to', '0:04.25'], 'of a range');

    // A huge score renders in the worker; the page keeps answering, and the memory it
    // took is given back. The page's longest task is held against the engine's whole job,
    // which a slower machine makes longer too: work done on the page would take about all of
    // it.
    const huge = 'A l64 [c]16777000\n';
    await page.evaluate(() => { window.__longTasks.length = 0; });
    await setScore(huge);
    await page.waitForFunction(() => !document.getElementById('progress').hidden);
    const began = Date.now();
    await checked(300000);
    const job = Date.now() - began;
    const figures = await page.evaluate(() => ({
      longest: Math.max(0, ...window.__longTasks), memory: window.studio.stats.memory }));
    await setScore(song);
    await checked();
    const after = await page.evaluate(() => window.studio.stats.memory);
    console.log(`huge score: longest main-thread task ${figures.longest.toFixed(0)} ms while ` +
                `the engine worked ${job} ms; engine memory ${figures.memory} bytes after it, ` +
                `${after} bytes for the next score`);
    if (figures.longest > job / 4) fail('a main-thread task held the page for much of the job');
    if (!(after < figures.memory)) fail('the memory of the huge score was not given back');
    step('a huge score rendered in the worker without holding up the page');

    // A second visit without network opens and plays, and the header's link to the player
    // opens it.
    await page.evaluate(async () => {
      await navigator.serviceWorker.ready;
    });
    await page.waitForFunction(async () => Boolean(await caches.match('player.html') &&
                                                   await caches.match('marrowtone.wasm')));
    stopServer(server);
    server = null;
    await page.setOfflineMode(true);
    await open(page, url);
    await checked();
    const offline = await page.evaluate(() => window.studio.view.state.doc.toString());
    await page.click(button('Play'));
    expectSamples(await played(1), offline, 'offline');
    step('with the server gone, a second visit opened and played');

    const stats = await page.evaluate(() => window.studio.stats);
    await page.click('header a[href="player.html"]');
    await page.waitForSelector('::-p-aria([role="menubar"])');
    step('and the player page opened from the cache');
    if (consoleErrors.length) fail('console errors:\n' + consoleErrors.join('\n'));
    console.log('web studio: all passed, no console errors');
    return stats;
  } finally {
    await browser.close();
    if (server) {
      stopServer(server);
    }
    fs.rmSync(work, { recursive: true, force: true });
  }
}

main().catch((e) => {
  console.error('web studio: FAILED: ' + (e && e.stack || e));
  process.exit(1);
});
