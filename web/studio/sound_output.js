// The studio's sound: the engine's 8-bit renderings through the output the player page
// plays by too, one at a time; a new rendering takes over where the last one was.
import { Output as SharedOutput } from '../../platform/drivers/web/sound_output.js';
import { format } from './engine.js';

export class Output {
  constructor(volumeOf) {
    this.shared = new SharedOutput(true, volumeOf());
    this.source = null; // the play under way
    this.loop = null;
  }

  get context() {
    return this.shared.context;
  }

  ensure() {
    this.shared.ensure();
  }

  setVolume(v) {
    this.shared.setVolume(v);
  }

  // Where the sound is, in seconds of the rendering; null when nothing plays.
  position() {
    if (!this.source) return null;
    const rate = format.rate;
    const heard = this.context.currentTime - this.startedAt;
    if (!this.loop) return Math.min(format.seconds, this.offset + heard);
    const { from, to } = this.loop;
    return (from + ((this.offset * rate - from + heard * rate) % (to - from))) / rate;
  }

  // Plays the rendering from `offset` seconds; with `loop` ({ from, to } samples) only that
  // part, over and over, from `offset` when it lies inside. Web Audio gets the samples from
  // that moment on and nothing before: what it plays is what marrowtone-render --from writes.
  play(pcm, offset, onEnded, loop = null) {
    let first = Math.min(Math.round(offset * format.rate), pcm.length - 1);
    if (loop && !(first >= loop.from && first < loop.to)) first = loop.from;
    const part = loop ? pcm.subarray(loop.from, loop.to) : pcm.subarray(first);
    const buffer = this.shared.buffer(part, format.rate, 1, 8);
    this.stop();
    const into = loop ? (first - loop.from) / format.rate : 0;
    const play = this.shared.start(buffer, into, () => {
      if (this.source !== play) return;
      this.source = null;
      onEnded();
    }, Boolean(loop));
    this.source = play;
    this.startedAt = this.context.currentTime;
    this.offset = first / format.rate;
    this.loop = loop;
  }

  stop() {
    const play = this.source;
    this.source = null;
    this.shared.stop(play);
  }
}
