// The page's side of the display driver (display.cpp). The window is built from ordinary
// page elements with their roles, so that the keyboard and a screen reader reach it: a
// dialog named by its caption, a menubar of menuitems, and a status bar with its grip.

mergeInto(LibraryManager.library, {
  $MTDisplay: {
    windows: {},
    outsideClicks: false, // whether a click outside the menus closes them yet

    host: function () {
      return Module['windowHost'] || document.getElementById('desktop') || document.body;
    },

    // What the user does to a window, queued for the program; nothing while the file
    // picker, the desktop's modal dialog, is up: it would wait and run after it.
    command: function (kind, id, a, b) {
      if (MTChooser.picking()) return;
      MTActions.push(kind, id, a, b);
    },

    // A menu item chosen: its command, with sound allowed to start.
    choose: function (w, itemId) {
      MTAudio.ensure();
      MTDisplay.command(MTActions.MENU_COMMAND, w.id, itemId, 0);
    },

    firstWindow: function () {
      for (var id in MTDisplay.windows) return id;
      return undefined;
    },

    window: function (id) {
      return MTDisplay.windows[id] || MTDisplay.createWindow(id);
    },

    createWindow: function (id) {
      var E = MTMenu.element;
      var w = { id: id, menus: [] };
      w.root = E('div', 'mt-window', { role: 'dialog', 'aria-modal': 'false', tabindex: '-1' });
      var caption = E('div', 'mt-caption');
      w.title = E('span', 'mt-title', { id: 'mt-title-' + id });
      w.root.setAttribute('aria-labelledby', w.title.id);
      var close = E('button', 'mt-close', { type: 'button', 'aria-label': 'Close' });
      close.textContent = '\u00d7';
      close.addEventListener('click', function () { MTDisplay.command(MTActions.CLOSE, id, 0, 0); });
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
      [caption, w.menubar, w.client, w.status].forEach(function (e) { w.root.appendChild(e); });
      w.status.hidden = true;
      MTDisplay.resizable(w);
      MTDisplay.droppable(w);
      MTDisplay.menuKeys(w);
      MTDisplay.host().appendChild(w.root);
      MTDisplay.windows[id] = w;
      return w;
    },

    // Alt and F10 reach the menu, as in a desktop window.
    menuKeys: function (w) {
      w.root.addEventListener('keydown', function (event) {
        if (event.key === 'F10' || (event.key === 'Alt' && !event.repeat)) {
          var first = w.menubar.querySelector('[role=menuitem]');
          if (first) {
            event.preventDefault();
            first.focus();
          }
        }
      });
    },

    resizable: function (w) {
      var start = null;
      var resize = function (width, height) {
        MTDisplay.command(MTActions.RESIZE, w.id, MTDisplay.fitWidth(w, width), Math.max(80, height));
      };
      w.grip.addEventListener('pointerdown', function (event) {
        event.preventDefault();
        w.grip.setPointerCapture(event.pointerId);
        start = { x: event.clientX, y: event.clientY, width: w.width, height: w.height };
      });
      w.grip.addEventListener('pointermove', function (event) {
        if (!start) return;
        resize(Math.round(start.width + event.clientX - start.x),
               Math.round(start.height + event.clientY - start.y));
      });
      var end = function () { start = null; };
      w.grip.addEventListener('pointerup', end);
      w.grip.addEventListener('pointercancel', end);
      w.grip.addEventListener('keydown', function (event) {
        var steps = { ArrowRight: [10, 0], ArrowLeft: [-10, 0], ArrowDown: [0, 10], ArrowUp: [0, -10] };
        var step = steps[event.key];
        if (!step) return;
        event.preventDefault();
        resize(w.width + step[0], w.height + step[1]);
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
        MTChooser.open(file, w.id);
      });
    },

    buildMenu: function (w, menus) {
      w.menus = menus;
      w.closeMenus = MTMenu.build(w.menubar, menus, function (itemId) { MTDisplay.choose(w, itemId); });
      if (MTDisplay.outsideClicks) return;
      MTDisplay.outsideClicks = true;
      document.addEventListener('pointerdown', function (event) {
        for (var id in MTDisplay.windows) {
          var win = MTDisplay.windows[id];
          if (win.closeMenus && !win.menubar.contains(event.target)) win.closeMenus();
        }
      });
    },

    showBusy: function (busy) {
      for (var id in MTDisplay.windows) {
        if (busy) MTDisplay.windows[id].root.setAttribute('aria-busy', 'true');
        else MTDisplay.windows[id].root.removeAttribute('aria-busy');
      }
    },

    end: function () {
      for (var id in MTDisplay.windows) MTDisplay.windows[id].root.remove();
      MTDisplay.windows = {};
    },
  },
  $MTDisplay__deps: ['$MTActions', '$MTChooser', '$MTAudio', '$MTMenu'],
  $MTDisplay__postset: 'MTActions.busyShown.push(MTDisplay.showBusy);',

  mt_window_show__deps: ['$MTDisplay'],
  mt_window_show: function (id, caption, width, height, visible) {
    var w = MTDisplay.window(id);
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

  mt_window_gone__deps: ['$MTDisplay'],
  mt_window_gone: function (id) {
    var w = MTDisplay.windows[id];
    if (!w) return;
    w.root.remove();
    delete MTDisplay.windows[id];
  },

  mt_window_menu__deps: ['$MTDisplay'],
  mt_window_menu: function (id, json) {
    MTDisplay.buildMenu(MTDisplay.window(id), JSON.parse(UTF8ToString(json)));
  },

  mt_window_status__deps: ['$MTDisplay'],
  mt_window_status: function (id, text, grip) {
    var w = MTDisplay.window(id);
    w.status.hidden = false;
    w.statusText.textContent = UTF8ToString(text);
    w.grip.hidden = !grip;
  },
});
