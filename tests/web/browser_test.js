// The player page in Debian's chromium, headless, driven as a user would: the window and
// its menu found by their roles and names, scores opened through the file picker, a drop
// and the examples, the samples handed to Web Audio compared with marrowtone-render's
// bytes, a second score cutting the first, a long load, a cancelled picker, Exit, a score
// that does not load, a phone's screen and a module that does not arrive. Each behaviour is
// a scenario on a page of its own, whose console must stay free of errors.
//
//   node browser_test.js <site folder> <marrowtone-render> <examples folder>
'use strict';

const fs = require('fs');
const path = require('path');
const { runTool, recordBuffers, fail, runEach } = require('./suite_support');

const [siteDir, nativeRenderer, examplesDir] = process.argv.slice(2).map((p) => p && path.resolve(p));
const suite = { siteDir };
const sizeLimit = 1.5e6; // bytes of script and module together
const shownLimitMs = 1000;

const dialog = '::-p-aria([name="Marrowtone"][role="dialog"])';
const fileMenu = '::-p-aria([name="File"][role="menuitem"])';
const openItem = '::-p-aria([name="MML Open"][role="menuitem"])';
const example = (name) => path.join(examplesDir, name);

// Records every start and stop of a source, in order (after recordBuffers).
function hookAudio() {
  window.__audio.events = [];
  const start = AudioBufferSourceNode.prototype.start;
  const stop = AudioBufferSourceNode.prototype.stop;
  let next = 1;
  AudioBufferSourceNode.prototype.start = function (...args) {
    this.__id = next++;
    window.__audio.source = this;
    window.__audio.events.push('start ' + this.__id);
    return start.apply(this, args);
  };
  AudioBufferSourceNode.prototype.stop = function (...args) {
    window.__audio.events.push('stop ' + this.__id);
    return stop.apply(this, args);
  };
  // What the sound passes on its way out, and whether the output is given back.
  const connect = AudioNode.prototype.connect;
  AudioNode.prototype.connect = function (to, ...rest) {
    this.__to = to;
    return connect.call(this, to, ...rest);
  };
  window.__audio.path = (node) => {
    const names = [];
    for (; node; node = node.__to)
      names.push(node instanceof BiquadFilterNode ? `${node.type} ${node.frequency.value} Hz`
                                                  : node.constructor.name);
    return names.join(' > ');
  };
  const close = AudioContext.prototype.close;
  AudioContext.prototype.close = function () {
    window.__audio.events.push('close');
    return close.call(this);
  };
  // The module, for what only it can tell: its memory and its files.
  let create;
  Object.defineProperty(window, 'createMarrowtone', {
    configurable: true,
    get: () => create && ((options) => create(options).then((m) => (window.__module = m))),
    set: (value) => { create = value; },
  });
  // The longest task the page's thread ran.
  window.__longest = 0;
  new PerformanceObserver((list) => {
    for (const task of list.getEntries()) window.__longest = Math.max(window.__longest, task.duration);
  }).observe({ entryTypes: ['longtask'] });
}

// The player page of `context`, its window shown, with what it hands to Web Audio recorded.
async function player(context, viewport = null) {
  const page = await context.newPage();
  page.on('console', (m) => { if (m.type() === 'error') suite.errors.push(m.text()); });
  page.on('pageerror', (e) => suite.errors.push(String(e)));
  if (viewport) await page.setViewport(viewport);
  await page.evaluateOnNewDocument(recordBuffers);
  await page.evaluateOnNewDocument(hookAudio);
  await page.goto(suite.url + 'player.html', { waitUntil: 'load' });
  await page.waitForSelector(dialog);
  return page;
}

async function menuItem(page, item) {
  await (await page.waitForSelector(fileMenu)).click();
  return page.waitForSelector(item, { visible: true });
}

async function choose(page, file) {
  const item = await menuItem(page, openItem);
  const [chooser] = await Promise.all([page.waitForFileChooser(), item.click()]);
  if (file) await chooser.accept([file]);
  else await chooser.cancel();
}

async function played(page, count) {
  await page.waitForFunction((n) => window.__audio.buffers.length >= n, {}, count);
  return page.evaluate((n) => window.__audio.buffers[n - 1], count);
}

const native = (file) => runTool(nativeRenderer, path.dirname(file), [path.basename(file), '-']);

function expectSamples(buffer, file) {
  const expected = native(file);
  if (expected.status !== 0) fail(`marrowtone-render failed on ${file}: ${expected.err}`);
  const got = Buffer.from(buffer.base64, 'base64');
  if (buffer.rate !== 11025) fail(`played at ${buffer.rate} Hz`);
  if (!got.equals(expected.out)) {
    let at = 0;
    while (at < got.length && got[at] === expected.out[at]) ++at;
    fail(`${path.basename(file)}: ${got.length} samples played, ${expected.out.length} ` +
         `rendered; first difference at ${at}`);
  }
}

// `file` chosen and heard as marrowtone-render renders it, as the page's `count`th buffer.
async function hear(page, file, count) {
  await choose(page, file);
  expectSamples(await played(page, count), file);
}

const events = (page) => page.evaluate(() => window.__audio.events.join(', '));
const drop = (page, name, text) => page.$eval(dialog, (e, name, text) => {
  const data = new DataTransfer();
  data.items.add(new File([text], name));
  e.dispatchEvent(new DragEvent('drop', { dataTransfer: data, bubbles: true, cancelable: true }));
}, name, text);
const said = (page, text) =>
  page.waitForFunction((t) => document.getElementById('activity').textContent === t, {}, text);

async function shownSoonAtItsSize(context) {
  const js = fs.statSync(path.join(siteDir, 'marrowtone.js')).size;
  const wasm = fs.statSync(path.join(siteDir, 'marrowtone.wasm')).size;
  if (js + wasm >= sizeLimit) fail(`the script and the module are ${js + wasm} bytes`);
  const page = await player(context);
  const [shown, loaded] = await page.evaluate(() => [
    window.marrowtoneShownAt, performance.getEntriesByType('navigation')[0].loadEventEnd]);
  // Measured from the page's load event: the time from the navigation's start also holds the
  // server's and the browser's own scheduling.
  const afterLoad = shown - loaded;
  if (!(afterLoad < shownLimitMs)) fail(`the window appeared ${afterLoad.toFixed(0)} ms after the load`);
  const box = await (await page.$(dialog)).boundingBox();
  if (box.width !== 300 || box.height !== 128) fail(`the window is ${box.width}x${box.height}`);
  await page.waitForSelector('::-p-aria([role="menubar"])');
  await page.waitForSelector('.mt-grip', { visible: true });
  await page.keyboard.press('F10');
  await page.waitForFunction(() => document.activeElement.textContent === 'File');
  return `a 300x128 window ${afterLoad.toFixed(0)} ms after the load (limit ${shownLimitMs}), ` +
         `${js + wasm} bytes of script and module (limit ${sizeLimit}); F10 reaches File at once`;
}

async function playsAndASecondScoreCuts(context) {
  const page = await player(context);
  await hear(page, example('ode-to-joy.mml'), 1);
  await said(page, 'Playing ode-to-joy.mml');
  const way = await page.evaluate(() => window.__audio.path(window.__audio.source));
  if (way !== 'AudioBufferSourceNode > GainNode > highpass 5 Hz > AudioDestinationNode')
    fail(`the sound's way out: ${way}`);
  await hear(page, example('three-voices.mml'), 2);
  if (await events(page) !== 'start 1, stop 1, start 2') fail(`audio events: ${await events(page)}`);
  return `ode-to-joy.mml played as marrowtone-render renders it, through ${way}; three-voices.mml cut it`;
}

// A file dropped on the window, and an example chosen on the page, open as if chosen.
async function dropAndExampleOpen(context) {
  const page = await player(context);
  const dropped = example('nested-repeats.mml');
  await drop(page, path.basename(dropped), fs.readFileSync(dropped, 'latin1'));
  expectSamples(await played(page, 1), dropped);
  await page.click('::-p-text(every-command.mml)');
  expectSamples(await played(page, 2), example('every-command.mml'));
  await said(page, 'Playing every-command.mml');
  if (await events(page) !== 'start 1, stop 1, start 2') fail(`audio events: ${await events(page)}`);
  return 'nested-repeats.mml dropped on the window, then the example every-command.mml, played in turn';
}

// A score that takes long: the page stays drawn meanwhile and says it is busy, the module's
// memory does not grow with a second load, and no file is kept.
async function longLoadKeepsNothing(context) {
  const page = await player(context);
  const long = 'A t255 o8 l64 v40 q8 [c d e f g a b >c<]1600000\n';
  const memory = () => page.evaluate(() => window.__module.HEAPU8.length);
  await page.evaluate(() => { window.__longest = 0; });
  await drop(page, 'long.mml', long);
  await page.waitForFunction(() => document.querySelector('.mt-window[aria-busy=true]') &&
                                    document.getElementById('activity').textContent === 'Opening long.mml');
  await played(page, 1);
  const once = await memory();
  await drop(page, 'long.mml', long);
  await played(page, 2);
  const twice = await memory();
  const files = await page.evaluate(() => window.__module.FS.readdir('/files').length - 2);
  if (twice > once || files !== 0) fail(`memory ${once} then ${twice} bytes, ${files} files kept`);
  return `a 48-byte score of 12.8 million commands: the page was drawn while it loaded, its longest ` +
         `task ${(await page.evaluate(() => window.__longest)).toFixed(0)} ms; memory ${once >> 20} MB ` +
         `after one load, ${twice >> 20} MB after two; no file kept`;
}

// While the picker is up the window takes no commands, as under a modal dialog.
async function pickerIsModal(context) {
  const page = await player(context);
  await hear(page, example('ode-to-joy.mml'), 1);
  const item = await menuItem(page, openItem);
  const [chooser] = await Promise.all([page.waitForFileChooser(), item.click()]);
  await page.click('.mt-close');
  await chooser.cancel();
  // The program is back from the cancelled dialog when it takes the next command.
  const grip = await (await page.$('.mt-grip')).boundingBox();
  await page.mouse.move(grip.x + grip.width / 2, grip.y + grip.height / 2);
  await page.mouse.down();
  await page.mouse.move(grip.x + grip.width / 2 + 60, grip.y + grip.height / 2 + 40, { steps: 4 });
  await page.mouse.up();
  await page.waitForFunction(() => {
    const r = document.querySelector('.mt-window').getBoundingClientRect();
    return r.width === 360 && r.height === 168;
  });
  if (await events(page) !== 'start 1') fail(`a cancelled picker changed the sound: ${await events(page)}`);
  const gripSays = await page.$eval('.mt-grip', (g) =>
    `${g.getAttribute('role')} ${g.getAttribute('aria-valuetext')}${g.closest('[role=status]') ? ' in the status' : ''}`);
  if (gripSays !== 'slider 360 by 168 pixels') fail(`the grip says: ${gripSays}`);
  return 'the close box did nothing while the picker was up; the cancelled picker left the sound ' +
         `alone; the grip (${gripSays}) resized the window to 360x168`;
}

// Exit by the keyboard: the menu bar is reachable and works without the mouse; Tab leaves
// an open menu closed.
async function exitByKeyboard(context) {
  const page = await player(context);
  await hear(page, example('ode-to-joy.mml'), 1);
  await page.focus('.mt-menu-title');
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => document.activeElement.textContent === 'MML Open');
  await page.keyboard.press('Tab');
  await page.waitForSelector('.mt-popup', { hidden: true });
  await page.focus('.mt-menu-title');
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => document.activeElement.textContent === 'MML Open');
  await page.keyboard.press('ArrowDown');
  await page.waitForFunction(() => document.activeElement.textContent === 'Exit');
  await page.keyboard.press('Enter');
  await page.waitForSelector('#program-state', { visible: true });
  const exited = await page.evaluate(() => ({
    window: !!document.querySelector('.mt-window'),
    error: document.getElementById('program-error').textContent,
    hint: !document.getElementById('hint').hidden,
    focus: document.activeElement.id,
    events: window.__audio.events.join(', '),
  }));
  if (exited.window || exited.error || exited.hint || exited.focus !== 'program-ended')
    fail(`after Exit: ${JSON.stringify(exited)}`);
  if (exited.events !== 'start 1, stop 1, close') fail(`the sound went on after Exit: ${exited.events}`);
  return 'Exit ended the program, its sound and its audio output; the page says so and has the focus';
}

async function aLoadErrorEndsTheProgram(context) {
  const bad = path.join(suite.work, 'overflow.mml');
  fs.writeFileSync(bad, 'A t120 o4 c d e\nA c99999999999999999999\n');
  const expected = native(bad);
  if (expected.status !== 1 || !expected.err.startsWith('Error: ')) fail('marrowtone-render took the overflow');
  const page = await player(context);
  await choose(page, bad);
  await page.waitForFunction(() => document.querySelector('[role=alert]').textContent);
  const shownError = await page.$eval('[role=alert]', (e) => e.textContent);
  if (shownError !== expected.err) fail(`shown ${JSON.stringify(shownError)}, expected ${JSON.stringify(expected.err)}`);
  if (await page.$('.mt-window')) fail('the window stayed after the error');
  await page.reload({ waitUntil: 'load' });
  await page.waitForSelector(dialog);
  return `a score that does not load ends the program, announced: ${shownError}; a reload starts it again`;
}

// On a phone: what the page decides is big enough for a finger, and the grip keeps the
// window on the screen.
async function onAPhone(context) {
  const page = await player(context, { width: 360, height: 640, hasTouch: true, isMobile: true });
  await menuItem(page, openItem);
  const small = await page.$$eval('.mt-menu-title, .mt-close, .mt-grip, .mt-item', (all) =>
    all.map((e) => [e.textContent || e.className, e.getBoundingClientRect()])
       .filter(([, r]) => r.width < 24 || r.height < 24).map(([n, r]) => `${n} ${r.width}x${r.height}`));
  if (small.length) fail(`targets smaller than 24px: ${small.join(', ')}`);
  await page.keyboard.press('Escape');
  const pull = await (await page.$('.mt-grip')).boundingBox();
  await page.mouse.move(pull.x + 12, pull.y + 12);
  await page.mouse.down();
  await page.mouse.move(pull.x + 300, pull.y + 20, { steps: 4 });
  await page.mouse.up();
  await page.waitForFunction(() => document.querySelector('.mt-window').getBoundingClientRect().width > 300);
  const right = await page.$eval('.mt-close', (e) => e.getBoundingClientRect().right);
  if (right > 360) fail(`the close box went off a 360px screen (right edge ${right})`);
  return `on a 360px screen every target is at least 24px, and the grip stops at the edge (${right}px)`;
}

// A module that does not arrive leaves a page that says so (its failed fetch is the console
// error it is meant to have, so this page's console is not watched).
async function withoutItsModule(context) {
  const page = await context.newPage();
  await page.setRequestInterception(true);
  page.on('request', (r) => (r.url().endsWith('.wasm') ? r.abort() : r.continue()));
  await page.goto(suite.url + 'player.html');
  await page.waitForFunction(() => document.querySelector('[role=alert]').textContent);
  const notLoaded = await page.$eval('[role=alert]', (e) => e.textContent);
  if (!notLoaded.startsWith('Error: Marrowtone could not be loaded')) fail(`without its module: ${notLoaded}`);
  return `without its module the page says: ${notLoaded}`;
}

runEach('web browser', suite, [shownSoonAtItsSize, playsAndASecondScoreCuts, dropAndExampleOpen,
                               longLoadKeepsNothing, pickerIsModal, exitByKeyboard, aLoadErrorEndsTheProgram,
                               onAPhone, withoutItsModule]);
