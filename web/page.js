// Starts the player in the page and says when it has ended.
(function () {
  'use strict';
  var errorLine = '';
  var state = document.getElementById('program-state');
  var error = document.getElementById('program-error');

  function ended(text) {
    if (text) {
      error.textContent = text;
      error.hidden = false;
    }
    state.hidden = false;
    document.documentElement.dataset.program = 'ended';
  }

  createMarrowtone({
    windowHost: document.getElementById('desktop'),
    print: function (text) { console.log(text); },
    // The program's error line is shown on the page when it ends.
    printErr: function (text) {
      if (text.indexOf('Error: ') === 0) errorLine = text;
      else console.warn(text);
    },
    onWindowShown: function () {
      window.marrowtoneShownAt = performance.now();
      document.documentElement.dataset.program = 'running';
    },
    onEnded: function (status) { ended(status === 0 ? '' : errorLine); },
    onAbort: function (what) { ended(errorLine || 'Error: ' + what); },
  }).then(function (module) {
    // A file dropped on the window opens through the program's own command.
    module.openCommand = module._mt_open_command();
    module.callMain([]);
  });
})();
