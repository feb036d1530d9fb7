// The page's side of the file chooser (file_chooser.cpp): the browser's picker, or a file
// the page was given (dropped, or an example chosen), written into the program's file
// system under its own name for as long as the program reads it.

mergeInto(LibraryManager.library, {
  $MTChooser: {
    dropped: null, // a file given to the page, for the open command it set off
    picker: null,  // while the picker is up: takes the file the user chose
    stored: null,  // the path of the file the program was given last
    ended: false,

    // The picker stands for the desktop's modal dialog: while it is up the window takes
    // no commands.
    picking: function () {
      return MTChooser.picker !== null;
    },

    // A file opened from the page, as if it had been chosen after the program's own open
    // command in the window `id`.
    open: function (file, id) {
      MTAudio.ensure();
      if (MTChooser.picker) {
        MTChooser.picker(file);
        return;
      }
      // The program's own command that opens a file, which the page names by its
      // identifier; without one a drop means nothing.
      var command = Module['openCommand'];
      if (!command || MTChooser.ended || id === undefined) return;
      MTChooser.dropped = file;
      MTActions.push(MTActions.MENU_COMMAND, id, command, 0);
    },

    // Gone from the program's file system once read.
    forgetStored: function () {
      if (!MTChooser.stored) return;
      try { FS.unlink(MTChooser.stored); } catch (e) { /* already gone */ }
      MTChooser.stored = null;
    },

    // The chosen file (or the promise of one), written into the program's file system under
    // its own name; its name as the program takes it.
    store: function (file) {
      return Promise.resolve(file).then(function (file) {
        return Promise.all([file, file.arrayBuffer()]);
      }).then(function (both) {
        var file = both[0], data = both[1];
        try { FS.mkdir('/files'); } catch (e) { /* already there */ }
        FS.chdir('/files');
        var name = file.name.replace(/\//g, '_');
        if (name === '.' || name === '..' || name === '') name = '_' + name;
        MTChooser.forgetStored();
        FS.writeFile('/files/' + name, new Uint8Array(data));
        MTChooser.stored = '/files/' + name;
        // By the time the program waits for the user again it has read the file.
        MTActions.whenIdle(MTChooser.forgetStored);
        MTPage.named(file.name);
        var size = lengthBytesUTF8(name) + 1;
        var pointer = _malloc(size);
        stringToUTF8(name, pointer, size);
        return pointer;
      });
    },

    // Shows the picker; `take` gets the file chosen, or null.
    showPicker: function (accept, take, cancel) {
      var input = document.createElement('input');
      input.type = 'file';
      if (accept) input.accept = accept;
      input.className = 'mt-picker';
      input.addEventListener('change', function () { take(input.files && input.files[0]); });
      input.addEventListener('cancel', cancel);
      document.body.appendChild(input);
      input.click();
      return input;
    },

    end: function () {
      MTChooser.ended = true;
      MTChooser.forgetStored();
    },
  },
  $MTChooser__deps: ['$MTActions', '$MTAudio', '$MTPage'],

  mt_choose_file__deps: ['$MTChooser', '$MTActions'],
  mt_choose_file: function (accept) {
    accept = UTF8ToString(accept);
    return Asyncify.handleSleep(function (wakeUp) {
      var done = false;
      var input = null;
      var finish = function (pointer) {
        if (done) return;
        done = true;
        MTChooser.picker = null;
        if (input) input.remove();
        MTActions.breathed();
        wakeUp(pointer);
      };
      var take = function (file) {
        if (!file) { finish(0); return; }
        MTChooser.store(file).then(finish, function () { finish(0); });
      };
      if (MTChooser.dropped) {
        var file = MTChooser.dropped;
        MTChooser.dropped = null;
        take(file);
        return;
      }
      MTChooser.picker = take;
      input = MTChooser.showPicker(accept, take, function () { finish(0); });
    });
  },
});
