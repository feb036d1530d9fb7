// Marrowtone's sound on Web Audio, for the player page's driver and the studio alike: PCM
// bytes as a buffer, each play started and stopped through a short fade, and the output
// through a high-pass of a few hertz and, where the page has one, a volume.
//
// A plain script: the player's module takes it in ahead of its own code (--extern-pre-js),
// where it is a global; the studio's bundle imports it as a CommonJS module.
var MarrowtoneSoundOutput = {
  // Neither a start nor a stop in the middle of a note is a step, which would click, yet a
  // stop is still heard as at once, as the desktop's reset of its output is.
  FADE_SECONDS: 0.008,

  Output: class {
    // `withVolume`: the output passes a gain the page sets with setVolume, starting at
    // `volume`.
    constructor(withVolume, volume) {
      this.withVolume = !!withVolume;
      this.initialVolume = volume === undefined ? 1 : volume;
      this.context = null;
      this.volume = null;
      this.closed = false;
    }

    // The context, created or resumed: only while the user's click or key is being handled
    // do browsers let sound start. Null without Web Audio, and once closed.
    ensure() {
      const Context = typeof AudioContext !== 'undefined' ? AudioContext
                    : typeof webkitAudioContext !== 'undefined' ? webkitAudioContext : null;
      if (!Context || this.closed) return null;
      if (!this.context) {
        const c = new Context();
        this.context = c;
        // Unsigned 8-bit silence reaches Web Audio as -1.0, an offset a desktop's output
        // blocks on its way to the speaker; here the high-pass does, so that starting and
        // stopping do not click.
        this.highPass = c.createBiquadFilter();
        this.highPass.type = 'highpass';
        this.highPass.frequency.value = 5;
        let last = this.highPass;
        if (this.withVolume) {
          this.volume = c.createGain();
          this.volume.gain.value = this.initialVolume;
          last = last.connect(this.volume);
        }
        last.connect(c.destination);
      }
      if (this.context.state === 'suspended') this.context.resume();
      return this.context;
    }

    setVolume(v) {
      if (this.volume) this.volume.gain.setTargetAtTime(v, this.context.currentTime, 0.01);
    }

    // `bytes` (a Uint8Array of interleaved PCM, 8-bit unsigned or 16-bit signed
    // little-endian) as a buffer of the context, or null when it holds no whole frame.
    buffer(bytes, rate, channels, bits) {
      const frames = Math.floor(bytes.length / (channels * (bits / 8)));
      if (frames === 0) return null;
      const buffer = this.context.createBuffer(channels, frames, rate);
      for (let c = 0; c < channels; ++c) {
        const samples = new Float32Array(frames);
        if (bits === 8) {
          for (let i = 0, p = c; i < frames; ++i, p += channels) samples[i] = (bytes[p] - 128) / 128;
        } else {
          for (let i = 0, p = 2 * c; i < frames; ++i, p += 2 * channels)
            samples[i] = ((bytes[p] | (bytes[p + 1] << 8)) << 16 >> 16) / 32768;
        }
        buffer.copyToChannel(samples, c);
      }
      return buffer;
    }

    // Plays `buffer` from `offset` seconds, fading in; `onEnded` when it has played to its
    // end (never after stop). With `loop` the buffer plays over and over until stopped.
    // Returns the play, for stop.
    start(buffer, offset, onEnded, loop) {
      const c = this.context;
      const play = { source: c.createBufferSource(), fade: c.createGain(), stopped: false };
      play.source.buffer = buffer;
      play.source.loop = !!loop;
      const now = c.currentTime;
      play.fade.gain.setValueAtTime(0, now);
      play.fade.gain.linearRampToValueAtTime(1, now + MarrowtoneSoundOutput.FADE_SECONDS);
      play.source.connect(play.fade);
      play.fade.connect(this.highPass);
      play.source.onended = () => {
        if (!play.stopped && onEnded) onEnded();
      };
      play.source.start(now, offset || 0);
      return play;
    }

    // Fades the play out and ends it.
    stop(play) {
      if (!play || play.stopped) return;
      play.stopped = true;
      const now = play.source.context.currentTime;
      const end = now + MarrowtoneSoundOutput.FADE_SECONDS;
      const gain = play.fade.gain;
      gain.cancelScheduledValues(now);
      gain.setValueAtTime(gain.value, now);
      gain.linearRampToValueAtTime(0, end);
      try {
        play.source.stop(end);
      } catch (e) {
        // never started
      }
      play.source.onended = () => play.fade.disconnect();
    }

    // Gives the output back for good: nothing plays after this.
    close() {
      this.closed = true;
      if (this.context) this.context.close();
      this.context = null;
    }
  },
};

if (typeof module === 'object' && module && module.exports) module.exports = MarrowtoneSoundOutput;
