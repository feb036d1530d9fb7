// The page's side of the program's start and end (install.cpp), and what the page around
// the window may ask of the player: to open a file (or the promise of one) as if the user
// had chosen it.

mergeInto(LibraryManager.library, {
  $MTProgram: {
    openFile: function (file) {
      MTChooser.open(file, MTDisplay.firstWindow());
    },
  },
  $MTProgram__deps: ['$MTDisplay', '$MTChooser'],
  $MTProgram__postset: "Module['openFile'] = MTProgram.openFile;",

  mt_ended__deps: ['$MTProgram', '$MTActions', '$MTDisplay', '$MTChooser', '$MTAudio'],
  mt_ended: function (status) {
    MTDisplay.end();
    MTActions.end();
    MTChooser.end();
    MTAudio.end();
    if (typeof Module['onEnded'] === 'function') Module['onEnded'](status);
  },
});
