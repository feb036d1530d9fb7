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
    return Math.min(SECONDS, this.offset + (this.context.currentTime - this.startedAt));
  }

  play(pcm, offset, onEnded) {
    const c = this.context;
    const samples = new Float32Array(pcm.length);
    for (let i = 0; i < pcm.length; ++i) samples[i] = (pcm[i] - 128) / 128;
    const buffer = c.createBuffer(1, pcm.length, RATE);
    buffer.copyToChannel(samples, 0);
    const source = c.createBufferSource();
    source.buffer = buffer;
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
    source.start(now, offset);
    this.source = source;
    this.fade = fade;
    this.startedAt = now;
    this.offset = offset;
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
