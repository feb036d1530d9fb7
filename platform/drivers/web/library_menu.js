// The window's menu bar (display.cpp's menus), with the keys of a desktop menu: arrows
// move, Enter and Space choose, Escape goes back. Focus leaving the menus closes them.

mergeInto(LibraryManager.library, {
  $MTMenu: {
    element: function (tag, className, attributes) {
      var e = document.createElement(tag);
      if (className) e.className = className;
      for (var name in attributes || {}) e.setAttribute(name, attributes[name]);
      return e;
    },

    // Builds `menus` into `menubar`; `choose(id)` when an item (or a top-level item without
    // a popup) is chosen. Returns what closes every popup.
    build: function (menubar, menus, choose) {
      var bar = { tops: [], menubar: menubar, choose: choose };
      bar.closeAll = function () {
        bar.tops.forEach(function (t) {
          if (!t.popup) return;
          t.button.setAttribute('aria-expanded', 'false');
          t.popup.hidden = true;
        });
      };
      menubar.textContent = '';
      menus.forEach(function (menu, index) {
        var holder = MTMenu.element('div', 'mt-menu');
        var button = MTMenu.element('div', 'mt-menu-title',
                                    { role: 'menuitem', tabindex: index ? '-1' : '0' });
        button.textContent = menu.text;
        holder.appendChild(button);
        var t = { button: button, popup: null };
        if (menu.items) holder.appendChild(MTMenu.popup(bar, t, menu));
        else button.addEventListener('click', function () { choose(menu.id); });
        button.addEventListener('keydown', function (event) {
          if (MTMenu.topKey(bar, t, menu, event.key)) event.preventDefault();
        });
        bar.tops.push(t);
        menubar.appendChild(holder);
      });
      menubar.addEventListener('focusout', function (event) {
        if (!menubar.contains(event.relatedTarget)) bar.closeAll();
      });
      menubar.hidden = menus.length === 0;
      return bar.closeAll;
    },

    open: function (bar, t, focusFirst) {
      bar.closeAll();
      t.button.setAttribute('aria-expanded', 'true');
      t.popup.hidden = false;
      if (focusFirst) {
        var first = t.popup.querySelector('[role=menuitem]:not([aria-disabled=true])');
        if (first) first.focus();
      }
    },

    // The top-level item to the right (or the left) of `t`, wrapping around.
    beside: function (bar, t, key) {
      var n = bar.tops.indexOf(t) + (key === 'ArrowRight' ? 1 : bar.tops.length - 1);
      return bar.tops[n % bar.tops.length];
    },

    // A key on a top-level item; false for one it leaves alone.
    topKey: function (bar, t, menu, key) {
      if (key === 'ArrowRight' || key === 'ArrowLeft') {
        MTMenu.beside(bar, t, key).button.focus();
      } else if (t.popup && (key === 'Enter' || key === ' ' || key === 'ArrowDown')) {
        MTMenu.open(bar, t, true);
      } else if (!t.popup && (key === 'Enter' || key === ' ')) {
        bar.choose(menu.id);
      } else if (key === 'Escape') {
        bar.closeAll();
        bar.menubar.closest('.mt-window').focus();
      } else {
        return false;
      }
      return true;
    },

    popup: function (bar, t, menu) {
      t.button.setAttribute('aria-haspopup', 'menu');
      t.button.setAttribute('aria-expanded', 'false');
      var popup = MTMenu.element('div', 'mt-popup', { role: 'menu', 'aria-label': menu.text });
      popup.hidden = true;
      var items = [];
      menu.items.forEach(function (item) {
        popup.appendChild(item.separator ? MTMenu.element('div', 'mt-separator', { role: 'separator' })
                                         : MTMenu.item(bar, t, item, items));
      });
      t.popup = popup;
      t.button.addEventListener('click', function () {
        if (popup.hidden) MTMenu.open(bar, t, false); else bar.closeAll();
      });
      return popup;
    },

    item: function (bar, t, item, items) {
      var e = MTMenu.element('div', 'mt-item', { role: 'menuitem', tabindex: '-1' });
      e.textContent = item.text;
      if (item.grayed) e.setAttribute('aria-disabled', 'true');
      var choose = function () {
        if (item.grayed) return;
        bar.closeAll();
        t.button.focus();
        bar.choose(item.id);
      };
      e.addEventListener('click', choose);
      e.addEventListener('keydown', function (event) {
        var k = items.indexOf(e);
        if (event.key === 'ArrowDown') items[(k + 1) % items.length].focus();
        else if (event.key === 'ArrowUp') items[(k + items.length - 1) % items.length].focus();
        else if (event.key === 'Enter' || event.key === ' ') choose();
        else if (event.key === 'Escape') { bar.closeAll(); t.button.focus(); }
        else if (event.key === 'ArrowRight' || event.key === 'ArrowLeft') {
          var next = MTMenu.beside(bar, t, event.key);
          next.button.focus();
          if (next.popup) MTMenu.open(bar, next, true);
        } else return;
        event.preventDefault();
      });
      items.push(e);
      return e;
    },
  },
});
