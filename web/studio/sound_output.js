// The sound: the engine's 8-bit samples through Web Audio, switched and stopped through
// short ramps, not cut: a cut clicks.
export const RATE = 11025;
export const SECONDS = 60;
const FADE = 0.015;
const STOP_FADE = 0.03;

export class Output {
  constructor(volumeOf) {
    this.volumeOf = volumeOf;
    this.context = null;
    this.source = null;
  }

  ensure() {
    if (!this.context) {
      this.context = new AudioContext();
      // Against the step from silence to the 8-bit middle and back: the offset the bytes
      // carry is not heard, so starting and stopping do not click.
      this.highPass = this.context.createBiquadFilter();
      this.highPass.type = 'highpass';
      this.highPass.frequency.value = 5;
      this.volume = this.context.createGain();
      this.volume.gain.value = this.volumeOf();
      this.highPass.connect(this.volume).connect(this.context.destination);
    }
    if (this.context.state === 'suspended') this.context.resume();
  }

  setVolume(v) {
    if (this.volume) this.volume.gain.setTargetAtTime(v, this.context.currentTime, 0.01);
  }

  // Where the sound is, in seconds of the rendering; null when nothing plays.
  position() {
    if (!this.source) return null;
    const heard = this.context.currentTime - this.startedAt;
    if (!this.loop) return Math.min(SECONDS, this.offset + heard);
    const { from, to } = this.loop;
    return (from + ((this.offset * RATE - from + heard * RATE) % (to - from))) / RATE;
  }

  // Plays the rendering from `offset` seconds; with `loop` ({ from, to } samples) only that
  // part, over and over, from `offset` when it lies inside. Web Audio gets the samples from
  // that moment on and nothing before: what it plays is what marrowtone-render --from writes.
  play(pcm, offset, onEnded, loop = null) {
    const c = this.context;
    let first = Math.min(Math.round(offset * RATE), pcm.length - 1);
    if (loop && !(first >= loop.from && first < loop.to)) first = loop.from;
    const part = loop ? pcm.subarray(loop.from, loop.to) : pcm.subarray(first);
    const samples = new Float32Array(part.length);
    for (let i = 0; i < part.length; ++i) samples[i] = (part[i] - 128) / 128;
    const buffer = c.createBuffer(1, part.length, RATE);
    buffer.copyToChannel(samples, 0);
    const source = c.createBufferSource();
    source.buffer = buffer;
    source.loop = Boolean(loop);
    const fade = c.createGain();
    source.connect(fade).connect(this.highPass);
    const now = c.currentTime;
    if (this.source) {
      fade.gain.setValueAtTime(0, now);
      fade.gain.linearRampToValueAtTime(1, now + FADE);
      this.fadeOut(FADE);
    }
    source.onended = () => {
      if (this.source === source) {
        this.source = null;
        onEnded();
      }
    };
    source.start(now, loop ? (first - loop.from) / RATE : 0);
    this.source = source;
    this.fade = fade;
    this.startedAt = now;
    this.offset = first / RATE;
    this.loop = loop;
  }

  fadeOut(seconds) {
    const { source, fade } = this;
    if (!source) return;
    this.source = null;
    const now = this.context.currentTime;
    fade.gain.setValueAtTime(fade.gain.value, now);
    fade.gain.linearRampToValueAtTime(0, now + seconds);
    source.stop(now + seconds);
  }

  stop() {
    this.fadeOut(STOP_FADE);
  }
}
