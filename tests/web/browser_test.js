// The player page in Debian's chromium, headless, driven as a user would: the window and
// its menu found by their roles and names, scores opened through the file picker, a drop
// and the examples, the samples handed to Web Audio compared with marrowtone-render's
// bytes, a second score cutting the first, a long load, a cancelled picker, Exit, a score
// that does not load, a phone's screen and a module that does not arrive. The page's
// console must stay free of errors throughout.
//
//   node browser_test.js <site folder> <marrowtone-render> <examples folder>
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const { startServer, stopServer, launchBrowser, runTool, recordBuffers } = require('./suite_support');

const [siteDir, nativeRenderer, examplesDir] = process.argv.slice(2).map((p) => p && path.resolve(p));
const sizeLimit = 1.5e6; // bytes of script and module together
const shownLimitMs = 1000;

function fail(text) {
  throw new Error(text);
}

function native(file) {
  return runTool(nativeRenderer, path.dirname(file), [path.basename(file), '-']);
}

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

const step = (text) => console.log('  ' + text);

async function main() {
  const js = fs.statSync(path.join(siteDir, 'marrowtone.js')).size;
  const wasm = fs.statSync(path.join(siteDir, 'marrowtone.wasm')).size;
  console.log(`size: marrowtone.js ${js} + marrowtone.wasm ${wasm} = ${js + wasm} bytes ` +
              `(limit ${sizeLimit})`);
  if (js + wasm >= sizeLimit) fail('the script and the module are too large');

  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'marrowtone-web-browser-'));
  const server = await startServer(siteDir);
  const url = `http://127.0.0.1:${server.port}/player.html`;
  const browser = await launchBrowser(path.join(work, 'profile'));
  const consoleErrors = [];
  try {
    const page = await browser.newPage();
    page.on('console', (m) => { if (m.type() === 'error') consoleErrors.push(m.text()); });
    page.on('pageerror', (e) => consoleErrors.push(String(e)));
    await page.evaluateOnNewDocument(recordBuffers);
    await page.evaluateOnNewDocument(hookAudio);

    const dialog = '::-p-aria([name="Marrowtone"][role="dialog"])';
    const fileMenu = '::-p-aria([name="File"][role="menuitem"])';
    const openItem = '::-p-aria([name="MML Open"][role="menuitem"])';
    const exitItem = '::-p-aria([name="Exit"][role="menuitem"])';

    const load = async () => {
      await page.goto(url, { waitUntil: 'load' });
      await page.waitForSelector(dialog);
      const [shown, loaded, wasm] = await page.evaluate(() => [
        window.marrowtoneShownAt, performance.getEntriesByType('navigation')[0].loadEventEnd,
        (performance.getEntriesByName(new URL('marrowtone.wasm', location.href).href)[0] || {}).responseEnd]);
      // Measured from the page's load event; the time from the navigation's start, which
      // also holds the server's and the browser's own scheduling, is shown beside it.
      const afterLoad = shown - loaded;
      const when = afterLoad < 0 ? `${(-afterLoad).toFixed(0)} ms before the page's load ended`
                                 : `${afterLoad.toFixed(0)} ms after the page's load`;
      console.log(`shown: the window appeared ${when} ` +
                  `(limit ${shownLimitMs}; ${shown.toFixed(0)} ms after the navigation started, ` +
                  `the page loaded at ${loaded.toFixed(0)} ms, the module fetched at ` +
                  `${(wasm || 0).toFixed(0)} ms)`);
      if (!(afterLoad < shownLimitMs)) fail('the window took too long to appear');
    };
    const menuItem = async (item) => {
      await (await page.waitForSelector(fileMenu)).click();
      return page.waitForSelector(item, { visible: true });
    };
    const choose = async (file) => {
      const item = await menuItem(openItem);
      const [chooser] = await Promise.all([page.waitForFileChooser(), item.click()]);
      if (file) await chooser.accept([file]);
      else await chooser.cancel();
    };
    const played = async (count) => {
      await page.waitForFunction((n) => window.__audio.buffers.length >= n, {}, count);
      return page.evaluate((n) => window.__audio.buffers[n - 1], count);
    };
    const expectSamples = (buffer, file) => {
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
    };

    const events = () => page.evaluate(() => window.__audio.events.join(', '));
    const drop = (name, text) => page.$eval(dialog, (e, name, text) => {
      const data = new DataTransfer();
      data.items.add(new File([text], name));
      e.dispatchEvent(new DragEvent('drop', { dataTransfer: data, bubbles: true, cancelable: true }));
    }, name, text);
    const said = (text) => page.waitForFunction((t) => document.getElementById('activity').textContent === t, {}, text);

    console.log('the page:');
    await load();
    const box = await (await page.$(dialog)).boundingBox();
    step(`window ${box.width}x${box.height}`);
    if (box.width !== 300 || box.height !== 128) fail('the window is not 300x128');
    await page.waitForSelector('::-p-aria([role="menubar"])');
    await page.waitForSelector('.mt-grip', { visible: true });
    await page.keyboard.press('F10');
    await page.waitForFunction(() => document.activeElement.textContent === 'File');
    step('the window has the focus when it appears: F10 reaches File at once');

    const first = path.join(examplesDir, 'ode-to-joy.mml');
    await choose(first);
    expectSamples(await played(1), first);
    await said('Playing ode-to-joy.mml');
    const way = await page.evaluate(() => window.__audio.path(window.__audio.source));
    if (way !== 'AudioBufferSourceNode > GainNode > highpass 5 Hz > AudioDestinationNode')
      fail(`the sound's way out: ${way}`);
    step(`ode-to-joy.mml played as marrowtone-render renders it, said on the page, through ${way}`);

    const second = path.join(examplesDir, 'three-voices.mml');
    await choose(second);
    expectSamples(await played(2), second);
    let heard = 'start 1, stop 1, start 2';
    if (await events() !== heard) fail(`audio events: ${await events()}`);
    step(`three-voices.mml cut the first at once (${heard})`);

    // A file dropped on the window, and an example chosen on the page, open as if chosen.
    const third = path.join(examplesDir, 'nested-repeats.mml');
    await drop(path.basename(third), fs.readFileSync(third, 'latin1'));
    expectSamples(await played(3), third);
    await page.click('::-p-text(every-command.mml)');
    expectSamples(await played(4), path.join(examplesDir, 'every-command.mml'));
    await said('Playing every-command.mml');
    heard += ', stop 2, start 3, stop 3, start 4';
    if (await events() !== heard) fail(`audio events after the drop and the example: ${await events()}`);
    step('nested-repeats.mml dropped on the window, then the example every-command.mml, played in turn');

    // A score that takes long: the page stays drawn meanwhile and says it is busy, the
    // module's memory does not grow with a second load, and no file is kept.
    const long = 'A t255 o8 l64 v40 q8 [c d e f g a b >c<]1600000\n';
    const memory = () => page.evaluate(() => window.__module.HEAPU8.length);
    await page.evaluate(() => { window.__longest = 0; });
    await drop('long.mml', long);
    await page.waitForFunction(() => document.querySelector('.mt-window[aria-busy=true]') &&
                                      document.getElementById('activity').textContent === 'Opening long.mml');
    await played(5);
    const once = await memory();
    await drop('long.mml', long);
    await played(6);
    const twice = await memory();
    const files = await page.evaluate(() => window.__module.FS.readdir('/files').length - 2);
    step(`a 48-byte score of 12.8 million commands: the page was drawn while it loaded, ` +
         `its longest task ${(await page.evaluate(() => window.__longest)).toFixed(0)} ms; ` +
         `memory ${once >> 20} MB after one load, ${twice >> 20} MB after two; ${files} files kept`);
    if (twice > once || files !== 0) fail('memory grew, or a file was kept');
    heard += ', stop 4, start 5, stop 5, start 6';

    // While the picker is up the window takes no commands, as under a modal dialog.
    const item = await menuItem(openItem);
    const [chooser] = await Promise.all([page.waitForFileChooser(), item.click()]);
    await page.click('.mt-close');
    await chooser.cancel();
    // The program is back from the cancelled dialog when it takes the next command.
    const grip = await (await page.$('.mt-grip')).boundingBox();
    await page.mouse.move(grip.x + grip.width / 2, grip.y + grip.height / 2);
    await page.mouse.down();
    await page.mouse.move(grip.x + grip.width / 2 + 60, grip.y + grip.height / 2 + 40, { steps: 4 });
    await page.mouse.up();
    await page.waitForFunction((s) => {
      const r = document.querySelector('.mt-window').getBoundingClientRect();
      return r.width === 360 && r.height === 168;
    }, {}, dialog);
    if (await events() !== heard) fail(`a cancelled picker changed the sound: ${await events()}`);
    const gripSays = await page.$eval('.mt-grip', (g) =>
      `${g.getAttribute('role')} ${g.getAttribute('aria-valuetext')}${g.closest('[role=status]') ? ' in the status' : ''}`);
    if (gripSays !== 'slider 360 by 168 pixels') fail(`the grip says: ${gripSays}`);
    step('the close box did nothing while the picker was up; the cancelled picker left the sound ' +
         `alone; the grip (${gripSays}) resized the window to 360x168`);

    // Exit by the keyboard: the menu bar is reachable and works without the mouse; Tab
    // leaves an open menu closed.
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
    if (exited.events !== heard + ', stop 6, close') fail(`the sound went on after Exit: ${exited.events}`);
    step('Exit ended the program, its sound and its audio output; the page says so and has the focus');

    const bad = path.join(work, 'overflow.mml');
    fs.writeFileSync(bad, 'A t120 o4 c d e\nA c99999999999999999999\n');
    const expected = native(bad);
    if (expected.status !== 1 || !expected.err.startsWith('Error: ')) fail('marrowtone-render took the overflow');
    await load();
    await choose(bad);
    await page.waitForFunction(() => document.querySelector('[role=alert]').textContent);
    const shownError = await page.$eval('[role=alert]', (e) => e.textContent);
    if (shownError !== expected.err) fail(`shown ${JSON.stringify(shownError)}, expected ${JSON.stringify(expected.err)}`);
    if (await page.$('.mt-window')) fail('the window stayed after the error');
    step(`a score that does not load ends the program, announced: ${shownError}`);

    // On a phone: what the page decides is big enough for a finger, and the grip keeps the
    // window on the screen.
    await page.setViewport({ width: 360, height: 640, hasTouch: true, isMobile: true });
    await load();
    step('a reload starts it again');
    await (await page.waitForSelector(fileMenu)).click();
    await page.waitForSelector(openItem, { visible: true });
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
    step(`on a 360px screen every target is at least 24px, and the grip stops at the edge (${right}px)`);

    // A module that does not arrive leaves a page that says so.
    const broken = await browser.newPage();
    await broken.setRequestInterception(true);
    broken.on('request', (r) => (r.url().endsWith('.wasm') ? r.abort() : r.continue()));
    await broken.goto(url);
    await broken.waitForFunction(() => document.querySelector('[role=alert]').textContent);
    const notLoaded = await broken.$eval('[role=alert]', (e) => e.textContent);
    if (!notLoaded.startsWith('Error: Marrowtone could not be loaded')) fail(`without its module: ${notLoaded}`);
    step(`without its module the page says: ${notLoaded}`);

    if (consoleErrors.length) fail('console errors:\n' + consoleErrors.join('\n'));
    console.log('web browser: all passed, no console errors');
  } finally {
    await browser.close();
    stopServer(server);
    fs.rmSync(work, { recursive: true, force: true });
  }
}

main().catch((e) => {
  console.error('web browser: FAILED: ' + (e && e.stack || e));
  process.exit(1);
});
