// Starts the player in the page, says on the page around the window what it is doing,
// and says when it has ended or could not start. A block of its own keeps its names off
// the page's globals.
'use strict';
{
  let errorLine = '';
  let started = false;
  let over = false;
  let module = null;
  const activity = document.getElementById('activity');
  const state = document.getElementById('program-state');
  const error = document.getElementById('program-error');

  // The error goes into a region that is already on the page, so that a screen reader
  // announces it; focus lands where the user can go on from.
  function ended(text) {
    if (over) return;
    over = true;
    activity.textContent = '';
    if (text) error.textContent = text;
    document.getElementById('hint').hidden = true;
    state.hidden = false;
    document.getElementById('program-ended').focus();
    document.documentElement.dataset.program = 'ended';
  }

  document.getElementById('start-again').addEventListener('click', function () {
    location.reload();
  });

  // An example opens in the player as if it had been chosen.
  document.getElementById('examples').addEventListener('click', openExample);
  function openExample(event) {
    var link = event.target.closest('a');
    if (!link || !module || over) return;
    event.preventDefault();
    var name = link.textContent;
    module.openFile(fetch(link.href).then(function (response) {
      if (!response.ok) throw new Error(response.status + ' ' + response.statusText);
      return response.blob();
    }).then(function (blob) {
      return new File([blob], name);
    }).catch(function (e) {
      activity.textContent = 'Could not fetch ' + name + ': ' + e.message;
      throw e;
    }));
  }

  const said = { busy: 'Opening ', playing: 'Playing ', ended: 'Finished ' };

  createMarrowtone(options()).then(function (loaded) {
    module = loaded;
    // A file dropped on the window opens through the program's own command.
    module.openCommand = module._mt_open_command();
    started = true;
    module.callMain([]);
  }, function (e) {
    ended(notLoaded(e && e.message || String(e)));
  });

  // What the page hands the player: where its window goes, and what it wants to hear of it.
  function options() {
    return {
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
      onActivity: function (what, name) {
        if (!over && said[what]) activity.textContent = said[what] + name;
      },
      onEnded: function (status) { ended(status === 0 ? '' : errorLine); },
      onAbort: function (what) {
        ended(errorLine || (started ? 'Error: ' + what : notLoaded(what)));
      },
    };
  }

  function notLoaded(why) {
    return 'Error: Marrowtone could not be loaded (' + why + '). ' +
           (location.protocol === 'file:'
              ? 'Browsers do not load it from a file: serve the folder, for example with make serve-web.'
              : 'Check the connection and start again.');
  }
}
