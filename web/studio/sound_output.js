// The studio's sound: the engine's 8-bit renderings through the output the player page
// plays by too, one at a time; a new rendering takes over where the last one was.
import { Output as SharedOutput } from '../../platform/drivers/web/sound_output.js';
import { format } from './engine.js';

export class Output {
  constructor(volumeOf) {
    this.shared = new SharedOutput(true, volumeOf());
    this.source = null; // the play under way
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
    return Math.min(format.seconds, this.offset + (this.context.currentTime - this.startedAt));
  }

  play(pcm, offset, onEnded) {
    const buffer = this.shared.buffer(pcm, format.rate, 1, 8);
    this.stop();
    const play = this.shared.start(buffer, offset, () => {
      if (this.source !== play) return;
      this.source = null;
      onEnded();
    });
    this.source = play;
    this.startedAt = this.context.currentTime;
    this.offset = offset;
  }

  stop() {
    const play = this.source;
    this.source = null;
    this.shared.stop(play);
  }
}
