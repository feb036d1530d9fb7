// What the browser suites share: the site served as a plain static server would, in a
// process of its own, so that a suite's own work (running marrowtone-render, decoding
// samples) never holds up a response; marrowtone-render's bytes; the samples a page hands
// to Web Audio, read back as the bytes they were made from; the files a page downloads; and
// the memory the browser's renderers take.
'use strict';

const fs = require('fs');
const os = require('os');
const http = require('http');
const path = require('path');
const { fork, spawnSync } = require('child_process');

const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
                '.css': 'text/css', '.mml': 'text/plain', '.svg': 'image/svg+xml',
                '.webmanifest': 'application/manifest+json' };

function serve(root) {
  const server = http.createServer((req, res) => {
    let name = decodeURIComponent(new URL(req.url, 'http://x').pathname);
    if (name.endsWith('/')) name += 'index.html';
    const file = path.join(root, path.normalize(name));
    if (!file.startsWith(root) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      res.writeHead(404);
      res.end();
      return;
    }
    res.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream',
                         'Cache-Control': 'no-store' });
    fs.createReadStream(file).pipe(res);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// Resolves to { child, port } once the server listens.
function startServer(root) {
  const child = fork(__filename, [root], { stdio: 'inherit' });
  return new Promise((resolve, reject) => {
    child.once('message', (port) => resolve({ child, port }));
    child.once('exit', (code) => reject(new Error(`the server ended (${code})`)));
  });
}

function stopServer(server) {
  server.child.removeAllListeners('exit');
  server.child.kill();
}

// Debian's chromium, headless, with a profile of its own in `profile`; the browser is the
// system's, never downloaded.
function launchBrowser(profile) {
  return require('puppeteer-core').launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync',
           '--autoplay-policy=user-gesture-required'],
  });
}

// marrowtone-render run with `args` in `cwd`.
function runTool(tool, cwd, args) {
  const r = spawnSync(tool, args, { cwd, maxBuffer: 64 << 20, encoding: 'buffer' });
  if (r.error) throw r.error;
  return { status: r.status, out: r.stdout, err: r.stderr.toString().trim() };
}

// Given to the page before its own scripts (evaluateOnNewDocument): every buffer it hands to
// Web Audio, in window.__audio.buffers, as base64 of the unsigned 8-bit samples.
function recordBuffers() {
  window.__audio = { buffers: [] };
  const copy = AudioBuffer.prototype.copyToChannel;
  AudioBuffer.prototype.copyToChannel = function (samples, channel, offset) {
    const bytes = new Uint8Array(samples.length);
    for (let i = 0; i < samples.length; ++i) bytes[i] = Math.round(samples[i] * 128 + 128);
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000)
      text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    window.__audio.buffers.push({ rate: this.sampleRate, channel, base64: btoa(text) });
    return copy.call(this, samples, channel, offset);
  };
}

// Given to the page before its scripts: each download it starts, kept as base64 in
// window.__saved instead of going to the disk.
function interceptDownloads() {
  window.__saved = [];
  const click = HTMLAnchorElement.prototype.click;
  HTMLAnchorElement.prototype.click = function () {
    if (!this.download) return click.call(this);
    const name = this.download;
    fetch(this.href).then((r) => r.arrayBuffer()).then((b) => {
      const bytes = new Uint8Array(b);
      let text = '';
      for (let i = 0; i < bytes.length; i += 0x8000)
        text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
      window.__saved.push({ name, base64: btoa(text) });
    });
  };
}

// The resident memory of the renderers under the browser `browserPid`, in bytes: other
// browsers on the machine are left out.
function rendererMemory(browserPid) {
  const parents = new Map();
  const sizes = new Map();
  for (const pid of fs.readdirSync('/proc').filter((n) => /^\d+$/.test(n))) {
    try {
      const status = fs.readFileSync(`/proc/${pid}/status`, 'utf8');
      parents.set(pid, /^PPid:\s+(\d+)/m.exec(status)[1]);
      const rss = /^VmRSS:\s+(\d+)/m.exec(status);
      if (rss && fs.readFileSync(`/proc/${pid}/cmdline`, 'utf8').includes('--type=renderer'))
        sizes.set(pid, Number(rss[1]) * 1024);
    } catch {
      // The process ended meanwhile.
    }
  }
  let total = 0;
  for (const [pid, size] of sizes) {
    for (let p = pid; p && p !== '0' && p !== '1'; p = parents.get(p)) {
      if (p === String(browserPid)) {
        total += size;
        break;
      }
    }
  }
  return total;
}

const fail = (text) => { throw new Error(text); };

// One server and browser a run, each scenario in a context of its own (no draft, cache or
// service worker of one reaches another) and every failure told at the end, so one hides no
// other. `suite` is { siteDir } and is given, while the run lasts, the site's address (`url`),
// the `browser`, a folder for the scenarios' files (`work`) and the list the pages' console
// errors go to (`errors`); a scenario resolves to what it saw.
async function run(name, suite, scenarios) {
  suite.work = fs.mkdtempSync(path.join(os.tmpdir(), 'marrowtone-web-'));
  const server = await startServer(suite.siteDir);
  suite.url = `http://127.0.0.1:${server.port}/`;
  suite.browser = await launchBrowser(path.join(suite.work, 'profile'));
  const failures = [];
  try {
    console.log(`${name}:`);
    for (const scenario of scenarios) {
      const context = await suite.browser.createBrowserContext();
      const errors = suite.errors = [];
      let said = null;
      try {
        said = await scenario(context);
      } catch (e) {
        failures.push(`${scenario.name}: ${e && e.stack || e}`);
      }
      // Pages first: a context closed under them can answer for a service worker's session
      // that is gone, an answer the browser's own connection then takes for one of its own.
      // The browser's own context is left as it was found, with no page.
      const pages = [...await context.pages(), ...await suite.browser.defaultBrowserContext().pages()];
      for (const page of pages) await page.close();
      await context.close();
      if (errors.length) failures.push(`${scenario.name}: console errors:\n${errors.join('\n')}`);
      console.log(`  ${said !== null && !errors.length ? said : scenario.name + ': FAILED'}`);
    }
  } finally {
    await suite.browser.close();
    stopServer(server);
    fs.rmSync(suite.work, { recursive: true, force: true });
  }
  if (failures.length) {
    console.error(`${name}: FAILED ${failures.length} of ${scenarios.length}:\n\n${failures.join('\n\n')}`);
    process.exit(1);
  }
  console.log(`${name}: all ${scenarios.length} passed, no console errors`);
}

// Runs `scenarios` (see run) and exits 1 if any failed or the run itself could not start.
const runEach = (name, suite, scenarios) => run(name, suite, scenarios).catch((e) => {
  console.error(`${name}: FAILED: ${e && e.stack || e}`);
  process.exit(1);
});

if (require.main === module) {
  serve(path.resolve(process.argv[2])).then((server) => process.send(server.address().port));
  process.on('disconnect', () => process.exit(0));
}

module.exports = { startServer, stopServer, launchBrowser, runTool, recordBuffers, interceptDownloads, rendererMemory, fail,
                   runEach };
