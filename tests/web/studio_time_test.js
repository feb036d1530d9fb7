// The studio in time: pause, seek and loop heard as marrowtone-render --from gives those
// moments, the track view's playhead and notes, the list of keys, hover help, and the longest
// main-thread task while ten thousand notes play. Run as studio_test.js is.
'use strict';

const { fail, button, studio, listen, chord, setScore, checked, cursor, played, play, stop, tool,
        expectSamples, startOf, runScenarios } = require('./studio_support');

const phrase = 'A t120 l8 c d e f\nA g a b > c\nB t120 o3 l2 c g\n';

// Web Audio gets what --from gives from the moment paused; the playhead follows the sound.
async function pauseResume(context) {
  const page = await listen(context);
  await play(page, phrase);
  await page.waitForFunction(() => window.studio.output.position() > 0.5);
  await page.keyboard.press('F9');
  await page.waitForFunction(() => window.studio.state.pausedAt !== null);
  const paused = await page.evaluate(() => window.studio.state.pausedAt);
  await page.keyboard.press('F9');
  const resumed = await played(page, 2);
  expectSamples(resumed, phrase, 'resumed', startOf(resumed));
  if (startOf(resumed) !== Math.round(paused * 11025)) fail(`paused at ${paused} s, resumed from sample ${startOf(resumed)}`);
  await page.waitForFunction((p) => window.studio.tracks.shownAt > p + 0.5, {}, paused);
  const [drawn, heard] = await page.evaluate(() => [window.studio.tracks.shownAt, window.studio.output.position()]);
  if (!(Math.abs(drawn - heard) < 0.5)) fail(`the playhead was drawn at ${drawn} s, the sound at ${heard} s`);
  return `paused at ${paused.toFixed(2)} s and resumed as --from gives it; the playhead drawn with the sound`;
}

async function seek(context) {
  const page = await listen(context);
  await play(page, phrase);
  const timeline = await (await page.$('#timeline')).boundingBox();
  await page.mouse.click(timeline.x + timeline.width * 0.75, timeline.y + timeline.height / 2);
  const sought = await played(page, 2);
  const target = await page.evaluate(() => window.studio.state.startAt);
  expectSamples(sought, phrase, 'sought', startOf(sought));
  if (startOf(sought) !== Math.round(target * 11025) || Math.abs(target / 60 - 0.75) > 0.05)
    fail(`a click at three quarters of the timeline played from ${target} s, sample ${startOf(sought)}`);
  return `sought to ${target.toFixed(2)} s, as --from gives it`;
}

async function loop(context) {
  const page = await listen(context);
  await play(page, phrase);
  await page.evaluate(() => {
    const v = window.studio.view;
    v.dispatch({ selection: { anchor: v.state.doc.line(2).from, head: v.state.doc.line(2).to } });
    v.focus();
  });
  await chord(page, 'Alt+k');
  const looped = await played(page, 2);
  const [range, looping] = await page.evaluate(() => [window.studio.state.loop, window.__audio.starts.at(-1).loop]);
  // Line 2 is the second half of A's pass, as long as the first.
  const pass = Number(/A: .* one pass ([\d.]+) s/.exec(tool(phrase, ['--info', 'score.mml']).out)[1]) * 11025;
  if (!looping || Math.abs(range.from - pass / 2) > 12 || Math.abs(range.to - pass) > 12)
    fail(`line 2 looped samples ${range.from} to ${range.to}; A's pass is ${pass} samples`);
  expectSamples(looped, phrase, 'the loop', range.from, range.to - range.from);
  await chord(page, 'Alt+k');
  await played(page, 3);
  await stop(page);
  return `looped line 2 (${range.from}–${range.to}) as --from gives it`;
}

// A click on B's second note in the track view takes the cursor to its command, and marks it.
async function trackClick(context) {
  const page = await studio(context);
  await setScore(page, phrase);
  await checked(page);
  await page.waitForFunction((t) => window.studio.tracks.map && window.studio.tracks.map.text === t, {}, phrase);
  const point = await page.evaluate(() => window.studio.tracks.pointAt(1.5, 1));
  await page.mouse.click(point.x, point.y);
  const place = await cursor(page);
  const marked = await page.evaluate(() => window.studio.tracks.marked.map(([c]) => c));
  const expectedPlace = `3:${phrase.split('\n')[2].lastIndexOf('g') + 1}`;
  if (place !== expectedPlace || !marked.includes(1)) fail(`the click took the cursor to ${place} (marked ${marked}), not ${expectedPlace}`);
  // F1 lists the keys, the buttons' own among them.
  await page.keyboard.press('F1');
  const listed = await page.evaluate(() => [...document.querySelectorAll('#keys th')].map((e) => e.textContent));
  const declared = await page.$$eval('[aria-keyshortcuts]', (all) => all.length);
  if (listed.length < declared || !listed.includes('F9')) fail(`F1 listed ${listed}`);
  await page.keyboard.press('Escape');
  return `a click on B's second note took the cursor to ${place}, marked in the view; F1 listed ${listed.length} keys`;
}

// Hovering a command tells what the engine does with its value.
async function hoverHelp(context) {
  const page = await studio(context);
  await setScore(page, 'A t120 o4 c\n');
  await checked(page);
  const tempo = await page.evaluate(() => window.studio.view.coordsAtPos(3));
  await page.mouse.move(tempo.left + 2, (tempo.top + tempo.bottom) / 2);
  const help = await (await page.waitForSelector('.cm-tooltip-hover .cm-help')).evaluate((e) => e.textContent);
  if (help !== 't120: a quarter lasts 0.661 s') fail(`hovering t120 told ${JSON.stringify(help)}`);
  await page.mouse.move(0, 0);
  return `hovering t120 told "${help}"`;
}

// Ten thousand notes played with the view shown: the longest main-thread task.
async function tenThousandNotes(context) {
  const page = await listen(context);
  let many = '';
  for (let c = 0; c < 10; ++c) {
    for (let k = 0; k < 1000; ++k)
      many += (k % 50 ? ' ' : `${k ? '\n' : ''}V${c}${k ? '' : ` t250 o${2 + c % 4} l16`} `) + 'cdefgab'[(k * (c + 3)) % 7];
    many += '\n';
  }
  await checked(page);
  await page.evaluate(() => { window.__longTasks.length = 0; });
  await setScore(page, many);
  await checked(page);
  const loading = await page.evaluate(() => Math.max(0, ...window.__longTasks.splice(0)));
  await page.click(button('Play'));
  await page.waitForFunction(() => window.studio.output.position() > 5);
  const tasks = await page.evaluate(() => ({ longest: Math.max(0, ...window.__longTasks),
                                             draw: window.studio.tracks.stats.longestDraw }));
  console.log(`10,000 notes playing with the track view: longest main-thread task ${tasks.longest.toFixed(0)} ms ` +
              `(0: none over 50 ms; ${loading.toFixed(0)} ms while it was set and checked); longest ` +
              `drawing of the notes ${tasks.draw.toFixed(1)} ms`);
  await stop(page);
  return 'ten thousand notes played with the track view shown';
}

runScenarios('web studio in time', [pauseResume, seek, loop, trackClick, hoverHelp, tenThousandNotes]);
