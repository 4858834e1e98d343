// The sound device's thread in the browser: plays the program's looping
// buffer of interleaved float stereo frames from its shared memory, 128
// frames a quantum, and counts the frames taken, where the refill thread
// reads them. Silence until the program sets its playing flag.
// With tapFrames set, it also sums the first tapFrames frames it plays (the
// float bits of each sample, FNV-1a) and posts {frames, checksum, halves}
// once, so a test can compare them with the desktop decoder's; halves holds
// the checksum of each 16384 frames on their own, to say where two differ.
class NitrateLoop extends AudioWorkletProcessor {
  constructor(options) {
    super();
    const o = options.processorOptions;
    this.samples = new Float32Array(o.memory, o.loop, o.frameCount * 2);
    this.bits = new Uint32Array(o.memory, o.loop, o.frameCount * 2);
    this.frameCount = o.frameCount;
    this.played = new BigUint64Array(o.memory, o.played, 1);
    this.writes = new BigUint64Array(o.memory, o.writes, 1);
    this.playing = new Int32Array(o.memory, o.playing, 1);
    this.tapFrames = o.tapFrames;
    this.tapped = 0;
    this.hash = 0x811c9dc5;
    this.halfHash = 0x811c9dc5;
    this.halves = [];
  }

  tap(position) {
    for (let c = 0; c < 2; ++c) {
      let word = this.bits[2 * position + c];
      for (let b = 0; b < 4; ++b) {
        this.hash = Math.imul(this.hash ^ (word & 0xff), 0x01000193) >>> 0;
        this.halfHash = Math.imul(this.halfHash ^ (word & 0xff), 0x01000193) >>> 0;
        word >>>= 8;
      }
    }
    ++this.tapped;
    if (this.tapped % 16384 === 0 || this.tapped === this.tapFrames) {
      this.halves.push(this.halfHash);
      this.halfHash = 0x811c9dc5;
    }
    if (this.tapped === this.tapFrames) {
      this.port.postMessage({frames: this.tapped, checksum: this.hash, halves: this.halves});
    }
  }

  process(inputs, outputs) {
    const left = outputs[0][0];
    const right = outputs[0][1] || left;
    if (Atomics.load(this.playing, 0) === 0) return true;  // outputs start silent
    Atomics.load(this.writes, 0);  // orders the copy after the last refill
    let played = Number(Atomics.load(this.played, 0));
    for (let i = 0; i < left.length; ++i) {
      const position = played % this.frameCount;
      left[i] = this.samples[2 * position];
      right[i] = this.samples[2 * position + 1];
      if (this.tapped < this.tapFrames) this.tap(position);
      ++played;
    }
    Atomics.store(this.played, 0, BigInt(played));
    return true;
  }
}
registerProcessor("nitrate-loop", NitrateLoop);
