// The page's side of the web drivers (see page.h), the part they share: the queue of what
// the user does, which the program takes when it waits, and what the page around the window
// is told. The program is never called from here: what the user does is queued for it and
// wakes it.

mergeInto(LibraryManager.library, {
  $MTActions: {
    // The kinds of action, as page.h's Action numbers them.
    MENU_COMMAND: 1,
    RESIZE: 2,
    CLOSE: 3,
    AUDIO_ENDED: 4,

    queue: [],
    wakeUp: null,
    woken: false,
    timer: 0,
    channel: null,
    breathedAt: 0,
    busy: false,
    busyShown: [], // called with `busy` whenever it changes
    idleTasks: [], // run when the program next waits

    // Wakes the program when it waits for events; otherwise its next wait returns at once.
    wakeNow: function () {
      if (MTActions.wakeUp) {
        var wakeUp = MTActions.wakeUp;
        MTActions.wakeUp = null;
        clearTimeout(MTActions.timer);
        wakeUp(0);
      } else {
        MTActions.woken = true;
      }
    },

    push: function (kind, id, a, b) {
      var last = MTActions.queue[MTActions.queue.length - 1];
      if (kind === MTActions.RESIZE && last && last[0] === MTActions.RESIZE && last[1] === id) {
        // Only the latest size of a drag matters.
        last[2] = a;
        last[3] = b;
      } else {
        MTActions.queue.push([kind, id, a, b]);
      }
      MTActions.wakeNow();
    },

    // Runs `task` when the program next waits for the user: whatever it was doing is done.
    whenIdle: function (task) {
      MTActions.idleTasks.push(task);
    },

    setBusy: function (busy) {
      if (MTActions.busy === busy) return;
      MTActions.busy = busy;
      MTActions.busyShown.forEach(function (show) { show(busy); });
      if (busy) MTPage.tell('busy');
    },

    // Runs `then` in a task of its own, after whatever the browser has waiting (input,
    // drawing), sooner than a timer would.
    later: function (then) {
      if (typeof MessageChannel === 'undefined') { setTimeout(then, 0); return; }
      var channel = MTActions.channel;
      if (!channel) {
        channel = MTActions.channel = new MessageChannel();
        channel.waiting = [];
        channel.port1.onmessage = function () { channel.waiting.shift()(); };
      }
      channel.waiting.push(then);
      channel.port2.postMessage(0);
    },

    // The program is back from a wait of its own (the file picker): no need to breathe
    // at once.
    breathed: function () {
      MTActions.breathedAt = performance.now();
    },

    end: function () {
      clearTimeout(MTActions.timer);
    },
  },
  $MTActions__deps: ['$MTPage'],

  // What the page around the window is told of the program: 'busy' (a long load or
  // rendering), 'playing' or 'ended' (a play heard to its end), with the file's name.
  $MTPage: {
    fileName: '',

    tell: function (what) {
      if (typeof Module['onActivity'] === 'function') Module['onActivity'](what, MTPage.fileName);
    },

    named: function (name) {
      MTPage.fileName = name;
    },
  },

  mt_wait__deps: ['$MTActions'],
  mt_wait: function (timeoutMs) {
    MTActions.setBusy(false);
    var tasks = MTActions.idleTasks.splice(0);
    tasks.forEach(function (task) { task(); });
    return Asyncify.handleSleep(function (wakeUp) {
      if (MTActions.woken || MTActions.queue.length) {
        MTActions.woken = false;
        wakeUp(0);
        return;
      }
      MTActions.wakeUp = wakeUp;
      MTActions.timer = setTimeout(function () {
        MTActions.wakeNow();
        MTActions.woken = false;
      }, timeoutMs);
    });
  },

  // Lets the browser run between two steps of a long load or rendering: the program is
  // suspended for a moment, and meanwhile the page says it is busy and stays responsive.
  mt_breathe__deps: ['$MTActions'],
  mt_breathe: function () {
    // Called again as the program resumes, when it must go on to handleSleep.
    if (Asyncify.state === Asyncify.State.Normal && performance.now() - MTActions.breathedAt < 40) return;
    return Asyncify.handleSleep(function (wakeUp) {
      MTActions.setBusy(true);
      MTActions.later(function () {
        MTActions.breathed();
        wakeUp();
      });
    });
  },

  mt_wake__deps: ['$MTActions'],
  mt_wake: function () { MTActions.wakeNow(); },

  mt_next_action__deps: ['$MTActions'],
  mt_next_action: function (out) {
    var a = MTActions.queue.shift();
    if (!a) return 0;
    for (var i = 0; i < 4; ++i) HEAP32[(out >> 2) + i] = a[i];
    return 1;
  },
});
