// The page's side of the web drivers (see page.h). The window is built from ordinary page
// elements with their roles, so that the keyboard and a screen reader reach it: a dialog
// named by its caption, a menubar of menuitems, and a status bar with its grip. What the
// user does is queued for the program and wakes it; the program is never called from here.

mergeInto(LibraryManager.library, {
  $MT: {
    // The kinds of action, as page.h's Action numbers them.
    MENU_COMMAND: 1,
    RESIZE: 2,
    CLOSE: 3,
    AUDIO_ENDED: 4,

    actions: [],
    wakeUp: null,
    woken: false,
    timer: 0,
    windows: {},
    context: null,
    sources: {},
    dropped: null,
    picker: null,
    stored: null,
    fileName: '',
    output: null,
    busy: false,
    breathedAt: 0,
    channel: null,
    ended: false,
    fadeSeconds: 0.008,

    host: function () {
      return Module['windowHost'] || document.getElementById('desktop') || document.body;
    },

    // Wakes the program when it waits for events; otherwise its next wait returns at once.
    wakeNow: function () {
      if (MT.wakeUp) {
        var wakeUp = MT.wakeUp;
        MT.wakeUp = null;
        clearTimeout(MT.timer);
        wakeUp(0);
      } else {
        MT.woken = true;
      }
    },

    push: function (kind, id, a, b) {
      // The picker stands for the desktop's modal dialog: while it is up the window takes
      // no commands, which would otherwise wait in the queue and run after it.
      if (MT.picker && kind !== MT.AUDIO_ENDED) return;
      var last = MT.actions[MT.actions.length - 1];
      if (kind === MT.RESIZE && last && last[0] === MT.RESIZE && last[1] === id) {
        // Only the latest size of a drag matters.
        last[2] = a;
        last[3] = b;
      } else {
        MT.actions.push([kind, id, a, b]);
      }
      MT.wakeNow();
    },

    // The audio output, created or resumed while the user's click or key is being handled,
    // as browsers allow sound to start only then. Unsigned 8-bit silence reaches Web Audio
    // as -1.0, an offset a desktop's output blocks on its way to the speaker; here a
    // high-pass filter of a few hertz does, so that no start or stop clicks.
    audio: function () {
      var Context = typeof AudioContext !== 'undefined' ? AudioContext
                  : typeof webkitAudioContext !== 'undefined' ? webkitAudioContext : null;
      if (!Context || MT.ended) return null;
      if (!MT.context) {
        MT.context = new Context();
        MT.output = MT.context.createBiquadFilter();
        MT.output.type = 'highpass';
        MT.output.frequency.value = 5;
        MT.output.connect(MT.context.destination);
      }
      if (MT.context.state === 'suspended') MT.context.resume();
      return MT.context;
    },

    // Tells the page around the window what the program is doing: 'busy' (a long load or
    // rendering), 'playing' or 'ended' (a play heard to its end), with the file's name.
    activity: function (what) {
      if (typeof Module['onActivity'] === 'function') Module['onActivity'](what, MT.fileName);
    },

    setBusy: function (busy) {
      if (MT.busy === busy) return;
      MT.busy = busy;
      for (var id in MT.windows) {
        if (busy) MT.windows[id].root.setAttribute('aria-busy', 'true');
        else MT.windows[id].root.removeAttribute('aria-busy');
      }
      if (busy) MT.activity('busy');
    },

    // Runs `then` in a task of its own, after whatever the browser has waiting (input,
    // drawing), sooner than a timer would.
    later: function (then) {
      if (typeof MessageChannel === 'undefined') { setTimeout(then, 0); return; }
      if (!MT.channel) {
        MT.channel = new MessageChannel();
        MT.channel.waiting = [];
        MT.channel.port1.onmessage = function () { MT.channel.waiting.shift()(); };
      }
      MT.channel.waiting.push(then);
      MT.channel.port2.postMessage(0);
    },

    // The file the program was given last: gone from its file system once read.
    forgetStored: function () {
      if (!MT.stored) return;
      try { FS.unlink(MT.stored); } catch (e) { /* already gone */ }
      MT.stored = null;
    },

    // A file opened from the page (dropped, or an example chosen): as if it had been
    // chosen after the program's own open command.
    open: function (file, id) {
      MT.audio();
      if (MT.picker) {
        MT.picker(file);
        return;
      }
      // The program's own command that opens a file, which the page names by its
      // identifier; without one a drop means nothing.
      var command = Module['openCommand'];
      if (!command || MT.ended) return;
      if (id === undefined) for (id in MT.windows) break;
      if (id === undefined) return;
      MT.dropped = file;
      MT.push(MT.MENU_COMMAND, id, command, 0);
    },

    element: function (tag, className, attributes) {
      var e = document.createElement(tag);
      if (className) e.className = className;
      for (var name in attributes || {}) e.setAttribute(name, attributes[name]);
      return e;
    },

    createWindow: function (id) {
      var E = MT.element;
      var w = { id: id, menus: [] };
      w.root = E('div', 'mt-window', { role: 'dialog', 'aria-modal': 'false', tabindex: '-1' });
      var caption = E('div', 'mt-caption');
      w.title = E('span', 'mt-title', { id: 'mt-title-' + id });
      w.root.setAttribute('aria-labelledby', w.title.id);
      var close = E('button', 'mt-close', { type: 'button', 'aria-label': 'Close' });
      close.textContent = '\u00d7';
      close.addEventListener('click', function () { MT.push(MT.CLOSE, id, 0, 0); });
      caption.appendChild(w.title);
      caption.appendChild(close);
      w.menubar = E('div', 'mt-menubar', { role: 'menubar' });
      w.client = E('div', 'mt-client');
      w.status = E('div', 'mt-status');
      w.statusText = E('span', 'mt-status-text', { role: 'status' });
      // The grip sets the window's size: a slider of its width, told with its height, that
      // the arrow keys move.
      w.grip = E('div', 'mt-grip', { role: 'slider', 'aria-label': 'Window size', tabindex: '0',
                                     'aria-valuemin': '120' });
      w.status.appendChild(w.statusText);
      w.status.appendChild(w.grip);
      w.root.appendChild(caption);
      w.root.appendChild(w.menubar);
      w.root.appendChild(w.client);
      w.root.appendChild(w.status);
      w.status.hidden = true;
      MT.resizable(w);
      MT.droppable(w);
      w.root.addEventListener('keydown', function (event) {
        if (event.key === 'F10' || (event.key === 'Alt' && !event.repeat)) {
          var first = w.menubar.querySelector('[role=menuitem]');
          if (first) {
            event.preventDefault();
            first.focus();
          }
        }
      });
      MT.host().appendChild(w.root);
      MT.windows[id] = w;
      return w;
    },

    resizable: function (w) {
      var start = null;
      w.grip.addEventListener('pointerdown', function (event) {
        event.preventDefault();
        w.grip.setPointerCapture(event.pointerId);
        start = { x: event.clientX, y: event.clientY, width: w.width, height: w.height };
      });
      w.grip.addEventListener('pointermove', function (event) {
        if (!start) return;
        MT.push(MT.RESIZE, w.id, MT.fitWidth(w, Math.round(start.width + event.clientX - start.x)),
                Math.max(80, Math.round(start.height + event.clientY - start.y)));
      });
      var end = function () { start = null; };
      w.grip.addEventListener('pointerup', end);
      w.grip.addEventListener('pointercancel', end);
      w.grip.addEventListener('keydown', function (event) {
        var steps = { ArrowRight: [10, 0], ArrowLeft: [-10, 0], ArrowDown: [0, 10], ArrowUp: [0, -10] };
        var step = steps[event.key];
        if (!step) return;
        event.preventDefault();
        MT.push(MT.RESIZE, w.id, MT.fitWidth(w, w.width + step[0]), Math.max(80, w.height + step[1]));
      });
    },

    // A width the grip may give the window: no narrower than the window system allows, and
    // no wider than keeps its close box on the screen.
    fitWidth: function (w, width) {
      var room = document.documentElement.clientWidth - w.root.getBoundingClientRect().left - 4;
      return Math.max(120, Math.min(width, Math.floor(room)));
    },

    // A file dropped on the window is opened as if it had been chosen after the open command.
    droppable: function (w) {
      w.root.addEventListener('dragover', function (event) {
        if (event.dataTransfer && Array.from(event.dataTransfer.types).indexOf('Files') >= 0) {
          event.preventDefault();
          event.dataTransfer.dropEffect = 'copy';
        }
      });
      w.root.addEventListener('drop', function (event) {
        var file = event.dataTransfer && event.dataTransfer.files[0];
        if (!file) return;
        event.preventDefault();
        MT.open(file, w.id);
      });
    },

    // The menu bar, with the keys of a desktop menu: arrows move, Enter and Space choose,
    // Escape goes back.
    buildMenu: function (w, menus) {
      var E = MT.element;
      w.menus = menus;
      w.menubar.textContent = '';
      var tops = [];
      var closeAll = function () {
        tops.forEach(function (t) {
          t.button.setAttribute('aria-expanded', 'false');
          t.popup.hidden = true;
        });
      };
      var open = function (t, focusFirst) {
        closeAll();
        t.button.setAttribute('aria-expanded', 'true');
        t.popup.hidden = false;
        if (focusFirst) {
          var first = t.popup.querySelector('[role=menuitem]:not([aria-disabled=true])');
          if (first) first.focus();
        }
      };
      menus.forEach(function (menu, index) {
        var holder = E('div', 'mt-menu');
        var button = E('div', 'mt-menu-title', { role: 'menuitem', tabindex: index ? '-1' : '0' });
        button.textContent = menu.text;
        holder.appendChild(button);
        var t = { button: button, popup: null };
        if (menu.items) {
          button.setAttribute('aria-haspopup', 'menu');
          button.setAttribute('aria-expanded', 'false');
          var popup = E('div', 'mt-popup', { role: 'menu', 'aria-label': menu.text });
          popup.hidden = true;
          var items = [];
          menu.items.forEach(function (item) {
            if (item.separator) {
              popup.appendChild(E('div', 'mt-separator', { role: 'separator' }));
              return;
            }
            var e = E('div', 'mt-item', { role: 'menuitem', tabindex: '-1' });
            e.textContent = item.text;
            if (item.grayed) e.setAttribute('aria-disabled', 'true');
            var choose = function () {
              if (item.grayed) return;
              closeAll();
              button.focus();
              MT.audio();
              MT.push(MT.MENU_COMMAND, w.id, item.id, 0);
            };
            e.addEventListener('click', choose);
            e.addEventListener('keydown', function (event) {
              var k = items.indexOf(e);
              if (event.key === 'ArrowDown') items[(k + 1) % items.length].focus();
              else if (event.key === 'ArrowUp') items[(k + items.length - 1) % items.length].focus();
              else if (event.key === 'Enter' || event.key === ' ') choose();
              else if (event.key === 'Escape') { closeAll(); button.focus(); }
              else if (event.key === 'ArrowRight' || event.key === 'ArrowLeft') {
                var n = tops.indexOf(t) + (event.key === 'ArrowRight' ? 1 : tops.length - 1);
                var next = tops[n % tops.length];
                next.button.focus();
                if (next.popup) open(next, true);
              } else return;
              event.preventDefault();
            });
            items.push(e);
            popup.appendChild(e);
          });
          holder.appendChild(popup);
          t.popup = popup;
          button.addEventListener('click', function () {
            if (popup.hidden) open(t, false); else closeAll();
          });
        } else {
          button.addEventListener('click', function () {
            MT.audio();
            MT.push(MT.MENU_COMMAND, w.id, menu.id, 0);
          });
        }
        button.addEventListener('keydown', function (event) {
          var k = tops.indexOf(t);
          if (event.key === 'ArrowRight' || event.key === 'ArrowLeft') {
            tops[(k + (event.key === 'ArrowRight' ? 1 : tops.length - 1)) % tops.length].button.focus();
          } else if (t.popup && (event.key === 'Enter' || event.key === ' ' || event.key === 'ArrowDown')) {
            open(t, true);
          } else if (!t.popup && (event.key === 'Enter' || event.key === ' ')) {
            MT.audio();
            MT.push(MT.MENU_COMMAND, w.id, menu.id, 0);
          } else if (event.key === 'Escape') {
            closeAll();
            w.root.focus();
          } else return;
          event.preventDefault();
        });
        tops.push(t);
        w.menubar.appendChild(holder);
      });
      if (!MT.outsideClicks) {
        MT.outsideClicks = true;
        document.addEventListener('pointerdown', function (event) {
          for (var id in MT.windows) {
            var win = MT.windows[id];
            if (win.closeMenus && !win.menubar.contains(event.target)) win.closeMenus();
          }
        });
      }
      w.closeMenus = closeAll;
      // Focus leaving the menus (Tab, a click elsewhere) closes them, as on the desktop.
      w.menubar.addEventListener('focusout', function (event) {
        if (!w.menubar.contains(event.relatedTarget)) closeAll();
      });
      w.menubar.hidden = menus.length === 0;
    },

    // The chosen file (or the promise of one), written into the program's file system under
    // its own name.
    store: function (file) {
      return Promise.resolve(file).then(function (file) {
        return Promise.all([file, file.arrayBuffer()]);
      }).then(function (both) {
        var file = both[0], data = both[1];
        try { FS.mkdir('/files'); } catch (e) { /* already there */ }
        FS.chdir('/files');
        var name = file.name.replace(/\//g, '_');
        if (name === '.' || name === '..' || name === '') name = '_' + name;
        MT.forgetStored();
        FS.writeFile('/files/' + name, new Uint8Array(data));
        MT.stored = '/files/' + name;
        MT.fileName = file.name;
        var size = lengthBytesUTF8(name) + 1;
        var pointer = _malloc(size);
        stringToUTF8(name, pointer, size);
        return pointer;
      });
    },
  },

  // What the page may ask of the player: to open a file (or the promise of one) as if the
  // user had chosen it.
  $MT__postset: "Module['openFile'] = function (file) { MT.open(file); };",

  mt_wait__deps: ['$MT'],
  mt_wait: function (timeoutMs) {
    MT.setBusy(false);
    return Asyncify.handleSleep(function (wakeUp) {
      if (MT.woken || MT.actions.length) {
        MT.woken = false;
        wakeUp(0);
        return;
      }
      MT.wakeUp = wakeUp;
      MT.timer = setTimeout(function () { MT.wakeNow(); MT.woken = false; }, timeoutMs);
    });
  },

  // Lets the browser run between two steps of a long load or rendering: the program is
  // suspended for a moment, and meanwhile the page says it is busy and stays responsive.
  mt_breathe__deps: ['$MT'],
  mt_breathe: function () {
    // Called again as the program resumes, when it must go on to handleSleep.
    if (Asyncify.state === Asyncify.State.Normal && performance.now() - MT.breathedAt < 40) return;
    return Asyncify.handleSleep(function (wakeUp) {
      MT.setBusy(true);
      MT.later(function () {
        MT.breathedAt = performance.now();
        wakeUp();
      });
    });
  },

  mt_wake__deps: ['$MT'],
  mt_wake: function () { MT.wakeNow(); },

  mt_next_action__deps: ['$MT'],
  mt_next_action: function (out) {
    var a = MT.actions.shift();
    if (!a) return 0;
    for (var i = 0; i < 4; ++i) HEAP32[(out >> 2) + i] = a[i];
    return 1;
  },

  mt_window_show__deps: ['$MT'],
  mt_window_show: function (id, caption, width, height, visible) {
    var w = MT.windows[id] || MT.createWindow(id);
    var firstTime = visible && !w.shown;
    if (visible) w.shown = true;
    w.title.textContent = UTF8ToString(caption);
    w.width = width;
    w.height = height;
    w.root.style.width = width + 'px';
    w.root.style.height = height + 'px';
    w.root.hidden = !visible;
    w.grip.setAttribute('aria-valuenow', String(width));
    w.grip.setAttribute('aria-valuemax', String(Math.max(width, document.documentElement.clientWidth)));
    w.grip.setAttribute('aria-valuetext', width + ' by ' + height + ' pixels');
    if (firstTime) {
      // Alt and F10 reach the menu at once, as in a desktop window that has just opened.
      w.root.focus();
      if (typeof Module['onWindowShown'] === 'function') Module['onWindowShown'](w.root);
    }
  },

  mt_window_gone__deps: ['$MT'],
  mt_window_gone: function (id) {
    var w = MT.windows[id];
    if (!w) return;
    w.root.remove();
    delete MT.windows[id];
  },

  mt_window_menu__deps: ['$MT'],
  mt_window_menu: function (id, json) {
    var w = MT.windows[id] || MT.createWindow(id);
    MT.buildMenu(w, JSON.parse(UTF8ToString(json)));
  },

  mt_window_status__deps: ['$MT'],
  mt_window_status: function (id, text, grip) {
    var w = MT.windows[id] || MT.createWindow(id);
    w.status.hidden = false;
    w.statusText.textContent = UTF8ToString(text);
    w.grip.hidden = !grip;
  },

  mt_choose_file__deps: ['$MT'],
  mt_choose_file: function (accept) {
    accept = UTF8ToString(accept);
    return Asyncify.handleSleep(function (wakeUp) {
      var done = false;
      var input = null;
      var finish = function (pointer) {
        if (done) return;
        done = true;
        MT.picker = null;
        if (input) input.remove();
        MT.breathedAt = performance.now();
        wakeUp(pointer);
      };
      var take = function (file) {
        if (!file) { finish(0); return; }
        MT.store(file).then(finish, function () { finish(0); });
      };
      if (MT.dropped) {
        var file = MT.dropped;
        MT.dropped = null;
        take(file);
        return;
      }
      MT.picker = take;
      input = document.createElement('input');
      input.type = 'file';
      if (accept) input.accept = accept;
      input.className = 'mt-picker';
      input.addEventListener('change', function () { take(input.files && input.files[0]); });
      input.addEventListener('cancel', function () { finish(0); });
      document.body.appendChild(input);
      input.click();
    });
  },

  mt_audio_play__deps: ['$MT'],
  mt_audio_play: function (data, size, rate, channels, bits, token) {
    var context = MT.audio();
    var bytes = bits / 8;
    var frames = Math.floor(size / (channels * bytes));
    if (!context || frames === 0) {
      setTimeout(function () { MT.push(MT.AUDIO_ENDED, 0, token, 0); }, 0);
      return;
    }
    var buffer = context.createBuffer(channels, frames, rate);
    for (var c = 0; c < channels; ++c) {
      var samples = new Float32Array(frames);
      if (bits === 8) {
        for (var i = 0, p = data + c; i < frames; ++i, p += channels) samples[i] = (HEAPU8[p] - 128) / 128;
      } else {
        for (var i = 0, p = data + 2 * c; i < frames; ++i, p += 2 * channels)
          samples[i] = ((HEAPU8[p] | (HEAPU8[p + 1] << 8)) << 16 >> 16) / 32768;
      }
      buffer.copyToChannel(samples, c);
    }
    var source = context.createBufferSource();
    source.buffer = buffer;
    // A fade of a few milliseconds in and out, so that neither the start nor a stop in the
    // middle of a note is a step.
    source.fade = context.createGain();
    source.fade.gain.setValueAtTime(0, context.currentTime);
    source.fade.gain.linearRampToValueAtTime(1, context.currentTime + MT.fadeSeconds);
    source.connect(source.fade);
    source.fade.connect(MT.output);
    source.onended = function () {
      if (MT.sources[token] !== source) return;
      delete MT.sources[token];
      MT.push(MT.AUDIO_ENDED, 0, token, 0);
      MT.activity('ended');
    };
    MT.sources[token] = source;
    source.start();
    MT.forgetStored();
    MT.activity('playing');
  },

  mt_audio_stop__deps: ['$MT'],
  mt_audio_stop: function (token) {
    var source = MT.sources[token];
    if (!source) return;
    delete MT.sources[token];
    source.onended = null;
    var now = source.context.currentTime;
    source.fade.gain.cancelScheduledValues(now);
    source.fade.gain.setValueAtTime(source.fade.gain.value, now);
    source.fade.gain.linearRampToValueAtTime(0, now + MT.fadeSeconds);
    try { source.stop(now + MT.fadeSeconds); } catch (e) { /* never started */ }
    source.onended = function () { source.fade.disconnect(); };
  },

  mt_ended__deps: ['$MT'],
  mt_ended: function (status) {
    for (var id in MT.windows) MT.windows[id].root.remove();
    MT.windows = {};
    clearTimeout(MT.timer);
    MT.ended = true;
    MT.forgetStored();
    if (MT.context) MT.context.close();
    MT.context = null;
    if (typeof Module['onEnded'] === 'function') Module['onEnded'](status);
  },
});
