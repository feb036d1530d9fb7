// The page's side of the audio driver (audio.cpp): each block the program plays goes to
// Web Audio through the sound output the studio uses too (sound_output.js), and its end is
// queued for the program with the block's token.

mergeInto(LibraryManager.library, {
  $MTAudio: {
    output: null,
    plays: {}, // by token, those not yet ended or stopped

    sound: function () {
      if (!MTAudio.output) MTAudio.output = new MarrowtoneSoundOutput.Output(false);
      return MTAudio.output;
    },

    // The output, created or resumed: called while the user's click or key is being
    // handled, as browsers allow sound to start only then. Null once the program has ended,
    // or without Web Audio.
    ensure: function () {
      return MTAudio.sound().ensure();
    },

    end: function () {
      MTAudio.sound().close();
    },
  },

  mt_audio_play__deps: ['$MTAudio', '$MTActions', '$MTPage'],
  mt_audio_play: function (data, size, rate, channels, bits, token) {
    var ended = function () { MTActions.push(MTActions.AUDIO_ENDED, 0, token, 0); };
    var buffer = MTAudio.ensure() && MTAudio.output.buffer(HEAPU8.subarray(data, data + size),
                                                           rate, channels, bits);
    if (!buffer) {
      setTimeout(ended, 0);
      return;
    }
    MTAudio.plays[token] = MTAudio.output.start(buffer, 0, function () {
      delete MTAudio.plays[token];
      ended();
      MTPage.tell('ended');
    });
    MTPage.tell('playing');
  },

  mt_audio_stop__deps: ['$MTAudio'],
  mt_audio_stop: function (token) {
    var play = MTAudio.plays[token];
    if (!play) return;
    delete MTAudio.plays[token];
    MTAudio.output.stop(play);
  },
});
