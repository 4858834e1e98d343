// Band synthesis for the march (see synth.h).
//
// Contents: 1 oscillators and filter, 2 winds, 3 glockenspiel and piano, 4 drums and
// cymbals, 5 the theatre (early reflections and reverb), 6 the players (timing,
// dynamics, articulation), 7 arranging the score onto the timeline.
#include "synth.h"

#include "notation.h"
#include "score.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

// A dry stereo bus plus a stereo send into the room.
struct Bus {
  Stereo dry, send;
  explicit Bus(size_t frames) {
    dry.left.assign(frames, 0.0f);
    dry.right.assign(frames, 0.0f);
    send = dry;
  }
  size_t Frames() const { return dry.left.size(); }
  // pan: -1 left .. +1 right, constant power; the channel away from the player also
  // hears it up to 0.4 ms later, as a spaced pair of microphones over the pit would.
  void Add(size_t i, float sample, float pan, float sendLevel) {
    double angle = (pan + 1.0) * kPi / 4.0;
    size_t lag = size_t(std::fabs(pan) * 0.0004 * kSampleRate + 0.5);
    size_t li = pan > 0 ? i + lag : i, ri = pan < 0 ? i + lag : i;
    float l = float(sample * std::cos(angle)), r = float(sample * std::sin(angle));
    if (li < Frames()) {
      dry.left[li] += l;
      send.left[li] += l * sendLevel;
    }
    if (ri < Frames()) {
      dry.right[ri] += r;
      send.right[ri] += r * sendLevel;
    }
  }
};

// A sine oscillator by rotation: one complex multiply a sample instead of a sin().
struct Phasor {
  double re = 1, im = 0, c = 1, s = 0;
  Phasor(double hz, double phase)
      : re(std::cos(phase)),
        im(std::sin(phase)),
        c(std::cos(2.0 * kPi * hz / kSampleRate)),
        s(std::sin(2.0 * kPi * hz / kSampleRate)) {}
  double Next() {
    double value = im;
    double r = re * c - im * s;
    im = re * s + im * c;
    re = r;
    return value;
  }
};

size_t FrameAt(double seconds) {
  return seconds <= 0 ? 0 : size_t(std::lround(seconds * kSampleRate));
}

// ---- 1 oscillators and filter ----------------------------------------------------

// Band-limited step correction for a saw whose phase wrapped within one sample.
double PolyBlep(double phase, double step) {
  if (phase < step) {
    double t = phase / step;
    return t + t - t * t - 1.0;
  }
  if (phase > 1.0 - step) {
    double t = (phase - 1.0) / step;
    return t * t + t + t + 1.0;
  }
  return 0.0;
}

double Saw(double phase, double step) { return 2.0 * phase - 1.0 - PolyBlep(phase, step); }

// Zero-delay-feedback state-variable filter (trapezoidal integration); stays stable
// while the cutoff moves every sample.
struct Svf {
  double ic1 = 0, ic2 = 0;
  double low = 0, band = 0, high = 0;
  void Run(double input, double cutoffHz, double q) {
    double g = std::tan(kPi * std::min(cutoffHz, 0.45 * kSampleRate) / kSampleRate);
    double k = 1.0 / q;
    double a1 = 1.0 / (1.0 + g * (g + k)), a2 = g * a1, a3 = g * a2;
    double v3 = input - ic2;
    double v1 = a1 * ic1 + a2 * v3;
    double v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2.0 * v1 - ic1;
    ic2 = 2.0 * v2 - ic2;
    low = v2;
    band = v1;
    high = input - k * v1 - v2;
  }
};

}  // namespace

float Noise::Next() {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return float(state) / 2147483648.0f - 1.0f;
}

double BarToFileSeconds(double bar) {
  return kShowTimeOfBarZero + bar * kSecondsPerBar - kPlayerLeadInSeconds;
}

namespace {

// ---- 2 winds ----------------------------------------------------------------------

struct Tone {
  float detuneCents;  // spread of the three oscillators (a section, not one player)
  float square;       // 0 = saw (brass), 1 = square (clarinet, hollow)
  float cutoffBase;   // low-pass cutoff at rest, in multiples of the note frequency
  float cutoffEnv;    // extra multiples at the envelope peak, scaled by brightness
  float resonance;    // filter Q
  float attack, decay, sustain, release;  // seconds, seconds, 0..1, seconds (1/e)
  float scoopCents;                       // brass players slide up into the note
  float vibratoCents;                     // delayed vibrato on held notes
  float sub;                              // sine at the fundamental, for tuba weight
  float drive;                            // soft saturation after the filter
  float breath;                           // band-passed breath noise around the fundamental (flute)
};

constexpr Tone kCornet = {9, 0, 1.2f, 9.0f, 1.6f, 0.022f, 0.22f, 0.7f, 0.07f, 30, 9, 0, 1.6f, 0};
constexpr Tone kClarinet = {5,    0.85f, 1.6f, 4.0f, 1.1f, 0.035f, 0.3f,
                            0.8f, 0.08f, 6,    8,    0,    1.2f,   0.02f};
constexpr Tone kFlute = {3,     0.1f,  1.05f, 1.6f, 0.8f, 0.045f, 0.3f,
                         0.85f, 0.07f, 0,     16,   0.5f, 1.0f,   0.25f};
constexpr Tone kTrombone = {7, 0, 1.4f, 5.0f, 1.2f, 0.035f, 0.3f, 0.75f, 0.08f, 20, 5, 0, 1.4f, 0};
constexpr Tone kHorn = {8,    0.2f,  1.6f, 2.5f, 1.0f, 0.012f, 0.08f,
                        0.5f, 0.05f, 10,   0,    0.2f, 1.1f,   0};
constexpr Tone kTuba = {4,     0.1f,  2.2f, 4.0f, 1.0f, 0.02f, 0.18f,
                        0.65f, 0.06f, 25,   0,    0.6f, 1.5f,  0};

// Where each voice sits in the pit (pan -1 left .. +1 right), how much of it reaches
// the room, how loosely its players keep time (ms either side of the beat) and
// whether they lean behind it (ms, positive = late).
struct Seat {
  float pan, send, spreadMs, lagMs;
};

constexpr Seat kSeats[kVoiceCount] = {
    {0.35f, 0.22f, 7, 0},    // cornet
    {-0.5f, 0.25f, 8, 1},    // clarinet
    {0.6f, 0.3f, 8, -1},     // flute
    {-0.3f, 0.22f, 7, 2},    // trombone
    {-0.65f, 0.3f, 5, 1},    // horn
    {0.35f, 0.1f, 5, 2},     // tuba
    {0.7f, 0.3f, 4, 0},      // glockenspiel
    {-0.55f, 0.25f, 6, -1},  // piano
};
constexpr Seat kBassDrumSeat = {-0.3f, 0.15f, 1.5f, 0};
constexpr Seat kSnareSeat = {0.15f, 0.25f, 1.5f, 0};

// One note as played: when, how long, how strongly and how it is begun.
struct Stroke {
  double start = 0;  // file seconds
  double gate = 0;   // seconds held
  int midi = 0;
  float level = 0;       // part level times the player's dynamics
  float bright = 0.5f;   // filter-envelope depth
  bool slurred = false;  // joined to the note before: no tonguing, no scoop
};

void AddWind(Bus* bus, const Stroke& note, const Tone& tone, const Seat& seat, uint32_t seed) {
  const double hz = MidiToHz(note.midi);
  const double attack = note.slurred ? 2.0 * tone.attack : tone.attack;
  const double scoop = note.slurred ? 0.0 : tone.scoopCents;
  const double tail = note.gate + 6.0 * tone.release;
  const size_t first = FrameAt(note.start);
  const size_t count = size_t(tail * kSampleRate);
  Noise noise(seed);
  double phase[3];
  for (double& p : phase) p = 0.5 * (noise.Next() + 1.0);
  const double detune[3] = {-tone.detuneCents, 0.0, tone.detuneCents};
  const double vibratoRate = 5.2 + 0.6 * noise.Next();
  Svf filter, breathFilter;
  auto heldEnvelope = [&](double t) {
    double rise = t < attack ? std::sin(0.5 * kPi * t / attack) : 1.0;
    double fall =
        tone.sustain + (1.0 - tone.sustain) * std::exp(-std::max(0.0, t - attack) / tone.decay);
    return rise * fall;
  };
  const double envelopeAtRelease = heldEnvelope(note.gate);
  const double driveNorm = std::tanh(double(tone.drive));
  for (size_t n = 0; n < count; ++n) {
    double t = double(n) / kSampleRate;
    double envelope = t < note.gate ? heldEnvelope(t)
                                    : envelopeAtRelease * std::exp(-(t - note.gate) / tone.release);
    double filterEnv = std::min(1.0, t / (1.5 * attack)) * (0.35 + 0.65 * std::exp(-t / 0.25));
    if (t >= note.gate) filterEnv *= std::exp(-(t - note.gate) / tone.release);
    double vibrato = tone.vibratoCents * std::clamp((t - 0.25) / 0.35, 0.0, 1.0) *
                     std::sin(2.0 * kPi * vibratoRate * t);
    double cents = -scoop * std::exp(-t / 0.03) + vibrato;
    double oscillators = 0;
    for (int k = 0; k < 3; ++k) {
      double step = hz * std::pow(2.0, (cents + detune[k]) / 1200.0) / kSampleRate;
      double upper = phase[k] + 0.5 - std::floor(phase[k] + 0.5);
      double shape = (1.0 - tone.square) * Saw(phase[k], step) +
                     tone.square * 0.5 * (Saw(phase[k], step) - Saw(upper, step));
      oscillators += shape / 3.0;
      phase[k] += step;
      phase[k] -= std::floor(phase[k]);
    }
    oscillators += tone.sub * std::sin(2.0 * kPi * phase[1]);
    double cutoff = hz * (tone.cutoffBase + tone.cutoffEnv * note.bright * filterEnv) + 150.0;
    filter.Run(oscillators, cutoff, tone.resonance);
    double shaped = std::tanh(tone.drive * filter.low) / driveNorm;
    if (tone.breath > 0) {
      breathFilter.Run(noise.Next(), 2.0 * hz, 2.0);
      shaped += tone.breath * breathFilter.band * (0.4 + 0.6 * std::exp(-t / 0.06));
    }
    bus->Add(first + n, float(0.3 * note.level * envelope * shaped), seat.pan, seat.send);
  }
}

// ---- 3 glockenspiel and piano --------------------------------------------------

// Steel bars: the bar's own inharmonic modes, struck with a hard mallet.
void AddGlockenspiel(Bus* bus, const Stroke& note, const Seat& seat, uint32_t seed) {
  static const double kRatio[4] = {1.0, 2.76, 5.40, 8.93};
  static const double kAmplitude[4] = {1.0, 0.35, 0.18, 0.08};
  static const double kDecay[4] = {1.1, 0.35, 0.12, 0.05};
  const double hz = MidiToHz(note.midi);
  const size_t first = FrameAt(note.start);
  const size_t count = size_t(3.5 * kSampleRate);
  Noise noise(seed);
  std::vector<Phasor> modes;
  for (int k = 0; k < 4; ++k)
    modes.emplace_back(std::min(hz * kRatio[k], 0.45 * kSampleRate), kPi * (noise.Next() + 1));
  for (size_t n = 0; n < count; ++n) {
    double t = double(n) / kSampleRate;
    double sum = 0;
    for (int k = 0; k < 4; ++k)
      sum += kAmplitude[k] * std::exp(-t / kDecay[k]) * modes[size_t(k)].Next();
    sum += 0.3 * noise.Next() * std::exp(-t / 0.002);
    bus->Add(first + n, float(0.22 * note.level * sum * std::min(1.0, t / 0.0005)), seat.pan,
             seat.send);
  }
}

// The pit piano: two slightly detuned strings per partial, stiff-string stretch,
// brighter when struck harder, partials dying faster the higher they are, a felt
// hammer's thump, and the damper falling when the key is let go.
void AddPiano(Bus* bus, const Stroke& note, const Seat& seat, uint32_t seed) {
  const double hz = MidiToHz(note.midi);
  const double stiffness = 0.0004;
  const int partials = std::max(1, std::min(20, int(7000.0 / hz)));
  const double ring = 1.8 * std::clamp(440.0 / hz, 0.4, 2.5);  // low strings ring longer
  const size_t first = FrameAt(note.start);
  const double damped = 0.09;
  const size_t count = size_t((note.gate + 7.0 * damped) * kSampleRate);
  Noise noise(seed);
  std::vector<Phasor> strings;
  std::vector<double> amplitude, decay;
  for (int k = 1; k <= partials; ++k) {
    double f = k * hz * std::sqrt(1.0 + stiffness * k * k);
    if (f > 0.45 * kSampleRate) break;
    for (double cents : {-0.9, 0.9})
      strings.emplace_back(f * std::pow(2.0, cents / 1200.0), kPi * (noise.Next() + 1));
    double a = std::exp(-double(k) / (2.0 + 5.0 * note.level)) / std::pow(double(k), 0.5);
    amplitude.push_back(a);
    decay.push_back(ring / (1.0 + 0.25 * k));
  }
  Svf thump;
  for (size_t n = 0; n < count; ++n) {
    double t = double(n) / kSampleRate;
    double damper = t < note.gate ? 1.0 : std::exp(-(t - note.gate) / damped);
    double sum = 0;
    for (size_t k = 0; k < amplitude.size(); ++k) {
      // A fast prompt sound then a slower aftersound, as coupled strings do.
      double envelope = 0.6 * std::exp(-t / decay[k]) + 0.4 * std::exp(-t / (3.0 * decay[k]));
      sum += amplitude[k] * envelope * 0.5 * (strings[2 * k].Next() + strings[2 * k + 1].Next());
    }
    thump.Run(noise.Next(), 600.0, 0.7);
    sum += 0.5 * thump.low * std::exp(-t / 0.004);
    bus->Add(first + n, float(0.35 * note.level * damper * sum * std::min(1.0, t / 0.001)),
             seat.pan, seat.send);
  }
}

void Play(Bus* bus, Voice voice, const Stroke& note, uint32_t seed) {
  const Seat& seat = kSeats[int(voice)];
  switch (voice) {
    case Voice::kCornet: AddWind(bus, note, kCornet, seat, seed); break;
    case Voice::kClarinet: AddWind(bus, note, kClarinet, seat, seed); break;
    case Voice::kFlute: AddWind(bus, note, kFlute, seat, seed); break;
    case Voice::kTrombone: AddWind(bus, note, kTrombone, seat, seed); break;
    case Voice::kHorn: AddWind(bus, note, kHorn, seat, seed); break;
    case Voice::kTuba: AddWind(bus, note, kTuba, seat, seed); break;
    case Voice::kGlockenspiel: AddGlockenspiel(bus, note, seat, seed); break;
    case Voice::kPiano: AddPiano(bus, note, seat, seed); break;
    case Voice::kCount: break;
  }
}

// ---- 4 drums and cymbals ---------------------------------------------------------

void AddBassDrumTo(Bus* bus, double start, float level, uint32_t seed) {
  const size_t first = FrameAt(start);
  const size_t count = size_t(0.9 * kSampleRate);
  Noise noise(seed);
  Svf felt;
  double phase = 0;
  for (size_t n = 0; n < count; ++n) {
    double t = double(n) / kSampleRate;
    double hz = 52.0 + 60.0 * std::exp(-t / 0.04);
    phase += hz / kSampleRate;
    double body = std::sin(2.0 * kPi * phase) * std::exp(-t / 0.3) * std::min(1.0, t / 0.002);
    felt.Run(noise.Next(), 900.0, 0.7);
    double beater = felt.low * std::exp(-t / 0.012) * 0.6;
    bus->Add(first + n, float(0.55 * level * (body + beater)), kBassDrumSeat.pan,
             kBassDrumSeat.send);
  }
}

// decay: seconds of the 1/e fall of the snare wires; rolls use short strokes.
void AddSnare(Bus* bus, double start, float level, double decay, uint32_t seed) {
  const size_t first = FrameAt(start);
  const size_t count = size_t((0.05 + 6.0 * decay) * kSampleRate);
  Noise noise(seed);
  Svf wires, shell;
  for (size_t n = 0; n < count; ++n) {
    double t = double(n) / kSampleRate;
    wires.Run(noise.Next(), 3200.0, 0.55);
    shell.Run(wires.band, 7000.0, 0.7);
    double rattle = shell.low * std::exp(-t / decay);
    double head = std::sin(2.0 * kPi * (180.0 * t + 0.6 * (1.0 - std::exp(-t / 0.01)))) *
                  std::exp(-t / (0.4 * decay));
    bus->Add(first + n, float(0.3 * level * (1.6 * rattle + 0.5 * head)), kSnareSeat.pan,
             kSnareSeat.send);
  }
}

// A cymbal: noise and clangorous square partials, high-passed, separate in each channel
// so it sounds wide. decay: seconds of the 1/e fall; chokeAfter: seconds after which
// a hand stops it (0 = let ring).
void AddCymbal(Bus* bus, double start, float level, double decay, uint32_t seed,
               double chokeAfter = 0) {
  static const double kPartials[6] = {587.3, 845.2, 1108.0, 1329.4, 1657.9, 2213.1};
  const size_t first = FrameAt(start);
  const size_t count = size_t(std::min(8.0 * decay, 9.0) * kSampleRate);
  Noise noiseLeft(seed), noiseRight(seed * 7919u + 13u);
  Svf sizzleLeft, sizzleRight, metal;
  for (size_t n = 0; n < count; ++n) {
    double t = double(n) / kSampleRate;
    double clang = 0;
    for (double partial : kPartials) clang += (std::fmod(partial * t, 1.0) < 0.5 ? 1.0 : -1.0);
    metal.Run(clang / 6.0, 6500.0, 0.9);
    double envelope =
        std::min(1.0, t / 0.002) * (0.55 * std::exp(-t / decay) + 0.45 * std::exp(-t / 0.07));
    if (chokeAfter > 0 && t > chokeAfter) envelope *= std::exp(-(t - chokeAfter) / 0.02);
    sizzleLeft.Run(noiseLeft.Next(), 5200.0, 0.6);
    sizzleRight.Run(noiseRight.Next(), 5200.0, 0.6);
    size_t i = first + n;
    if (i >= bus->Frames()) break;
    float left = float(0.22 * level * envelope * (sizzleLeft.high + 0.5 * metal.high));
    float right = float(0.22 * level * envelope * (sizzleRight.high + 0.5 * metal.high));
    bus->dry.left[i] += 0.9f * left;
    bus->dry.right[i] += right;
    bus->send.left[i] += 0.15f * left;
    bus->send.right[i] += 0.15f * right;
  }
}

// ---- 5 the theatre ---------------------------------------------------------------

// Early reflections: the pit rail, the stage, the side walls and the balcony front
// return the band 7 to 47 ms later, each side its own pattern, before the diffuse
// tail builds. Taps are (delay ms, gain, from the same side 0 / the other side 1).
struct Reflection {
  float ms, gain;
  int crossed;
};
constexpr Reflection kReflections[2][7] = {{{7.1f, 0.55f, 0},
                                            {11.9f, 0.42f, 1},
                                            {17.3f, 0.38f, 0},
                                            {23.8f, 0.3f, 1},
                                            {29.5f, 0.27f, 0},
                                            {37.2f, 0.22f, 1},
                                            {46.1f, 0.18f, 0}},
                                           {{8.3f, 0.52f, 0},
                                            {13.6f, 0.44f, 1},
                                            {19.1f, 0.35f, 0},
                                            {25.7f, 0.31f, 1},
                                            {31.9f, 0.25f, 0},
                                            {40.4f, 0.2f, 1},
                                            {44.6f, 0.17f, 0}}};

// The diffuse tail after Schroeder and Moorer: damped parallel combs then series
// all-passes, with slightly longer delays on the right for width. Comb feedback is
// set from the reverberation time: a comb of delay d loses 60 dB in T seconds when
// its gain is 10^(-3 d / T).
struct Comb {
  std::vector<float> line;
  size_t pos = 0;
  float store = 0;
  float Process(float input, float feedback, float damping) {
    float out = line[pos];
    store = out * (1.0f - damping) + store * damping;
    line[pos] = input + store * feedback;
    pos = (pos + 1) % line.size();
    return out;
  }
};

struct Allpass {
  std::vector<float> line;
  size_t pos = 0;
  float Process(float input) {
    float delayed = line[pos];
    line[pos] = input + delayed * 0.5f;
    pos = (pos + 1) % line.size();
    return delayed - input;
  }
};

constexpr double kRoomSeconds = 1.15;  // reverberation time of the late tail (mid band)
constexpr float kReflectionLevel = 0.35f;
constexpr float kTailLevel = 0.09f;

void AddRoom(Stereo* out, const Stereo& send) {
  static const int kCombs[8] = {1557, 1617, 1491, 1422, 1277, 1356, 1188, 1116};
  static const int kAllpasses[4] = {556, 441, 341, 225};
  const int kStereoSpread = 23;
  const float kDamping = 0.3f;
  const size_t frames = send.left.size();
  // Early reflections feed both the listener and the tail.
  Stereo early;
  early.left.assign(frames, 0.0f);
  early.right.assign(frames, 0.0f);
  for (int channel = 0; channel < 2; ++channel) {
    std::vector<float>& target = channel == 0 ? early.left : early.right;
    for (const Reflection& r : kReflections[channel]) {
      const std::vector<float>& source =
          (channel == 0) != (r.crossed != 0) ? send.left : send.right;
      size_t delay = size_t(r.ms * 0.001 * kSampleRate);
      for (size_t i = delay; i < frames; ++i) target[i] += r.gain * source[i - delay];
    }
  }
  for (int channel = 0; channel < 2; ++channel) {
    std::vector<Comb> combs(8);
    std::vector<Allpass> allpasses(4);
    float feedback[8];
    for (int k = 0; k < 8; ++k) {
      int length = kCombs[k] + channel * kStereoSpread;
      combs[size_t(k)].line.assign(size_t(length), 0.0f);
      feedback[k] = float(std::pow(10.0, -3.0 * length / (kRoomSeconds * kSampleRate)));
    }
    for (int k = 0; k < 4; ++k)
      allpasses[size_t(k)].line.assign(size_t(kAllpasses[k] + channel * kStereoSpread), 0.0f);
    const std::vector<float>& reflected = channel == 0 ? early.left : early.right;
    const std::vector<float>& direct = channel == 0 ? send.left : send.right;
    std::vector<float>& target = channel == 0 ? out->left : out->right;
    for (size_t i = 0; i < frames; ++i) {
      float input = 0.5f * (direct[i] + reflected[i]);
      float sum = 0;
      for (int k = 0; k < 8; ++k) sum += combs[size_t(k)].Process(input, feedback[k], kDamping);
      for (Allpass& allpass : allpasses) sum = allpass.Process(sum);
      target[i] += kReflectionLevel * reflected[i] + kTailLevel * sum;
    }
  }
}

// ---- 6 the players ---------------------------------------------------------------

// Where a player actually starts a note written at `written` seconds: spread around
// the beat (a triangular spread, most notes close to it) plus the player's lean.
double PlayedTime(double written, const Seat& seat, Noise* timing) {
  double spread = 0.5 * (timing->Next() + timing->Next()) * seat.spreadMs;
  return written + 0.001 * (spread + seat.lagMs);
}

// Dynamics of a note by its place in the four-bar phrase: the line swells towards
// the phrase's third bar and relaxes into its close; downbeats lean, the last
// sixteenth of a beat is lighter.
float PhraseDynamics(double barInSection, double beatInBar) {
  double phrase = std::fmod(barInSection, 4.0) / 4.0;
  double arc = 0.86 + 0.2 * std::sin(kPi * std::min(1.0, phrase / 0.8) * 0.5 +
                                     (phrase > 0.8 ? 0.5 * kPi * (phrase - 0.8) / 0.2 : 0));
  double metric = beatInBar == 0.0                    ? 1.1
                  : std::fmod(beatInBar, 1.0) == 0.0  ? 1.0
                  : std::fmod(beatInBar, 1.0) >= 0.75 ? 0.85
                                                      : 0.93;
  return float(arc * metric);
}

}  // namespace

int ScoreTimbreCount() {
  bool voices[kVoiceCount] = {};
  bool kick = false, snare = false, cymbal = false;
  for (const Section& section : kScore) {
    const Orchestration& o = section.orch;
    for (const Part& part : o.tune)
      if (part.level > 0) voices[int(part.voice)] = true;
    if (o.counter.level > 0 && section.counter) voices[int(o.counter.voice)] = true;
    if (o.bass > 0)
      voices[int(o.accompaniment == Accompaniment::kStride ? Voice::kPiano : Voice::kTuba)] = true;
    if (o.pah > 0 && o.accompaniment != Accompaniment::kNone)
      voices[int(o.accompaniment == Accompaniment::kStride ? Voice::kPiano : Voice::kHorn)] = true;
    kick = kick || o.kick > 0;
    snare = snare || (o.snare != SnarePattern::kNone && o.snareLevel > 0) || o.rollIntoNext;
    cymbal = cymbal || o.crash > 0 || o.clash > 0;
  }
  int count = int(kick) + int(snare) + int(cymbal);
  for (bool used : voices) count += int(used);
  return count;
}

namespace {

// ---- 7 arranging the score onto the timeline -------------------------------------

// Chord tones voiced for the off-beat horns (or the pianist's right hand), G3 to F#4.
std::vector<int> HornVoicing(const Chord& chord) {
  std::vector<int> notes;
  for (int interval : chord.intervals)
    notes.push_back(55 + (chord.root + interval - 55 % 12 + 24) % 12);
  return notes;
}

// Tuba register: roots between A#1 and A2, fifths below the root when that keeps them low.
int TubaRoot(const Chord& chord) { return 34 + (chord.root - 34 % 12 + 24) % 12; }
int TubaFifth(const Chord& chord) {
  int root = TubaRoot(chord);
  return root + 7 <= 45 ? root + 7 : root - 5;
}

struct Snares {
  Bus* bus;
  uint32_t* seed;
  Noise* timing;
  void Stroke(double at, float level, double decay = 0.11) {
    if (level > 0) AddSnare(bus, PlayedTime(at, kSnareSeat, timing), level, decay, ++*seed);
  }
  // A buzz roll from file time `from` to `to`, level rising from `start` to `end`.
  void Roll(double from, double to, float start, float end) {
    const double strokeGap = kSecondsPerBeat / 16.0;
    Noise jitter(*seed + 101u);
    for (double at = from; at < to - 1e-9; at += strokeGap) {
      double x = (at - from) / (to - from);
      float level =
          float(start * std::pow(double(end) / start, x)) * (0.85f + 0.15f * jitter.Next());
      AddSnare(bus, at + 0.0008 * jitter.Next(), level, 0.045, ++*seed);
    }
  }
};

void ArrangeDrums(Bus* bus, const Section& section, double bar0, double lastRelease, uint32_t* seed,
                  Noise* timing) {
  static const float kMarchA[8] = {1.0f, 0, 0.45f, 0.45f, 0.8f, 0, 0.55f, 0};
  static const float kMarchB[8] = {1.0f, 0, 0.45f, 0, 0.8f, 0.4f, 0.6f, 0.4f};
  static const float kPhraseEnd[8] = {1.0f, 0, 0.5f, 0.5f, 0.7f, 0.6f, 0.8f, 0.9f};
  static const float kLight[8] = {0, 0, 0.5f, 0, 0, 0, 0.5f, 0};
  static const float kDrive[8] = {1.0f, 0.35f, 0.6f, 0.35f, 0.9f, 0.35f, 0.6f, 0.35f};
  const Orchestration& orch = section.orch;
  Snares snares = {bus, seed, timing};
  const double sixteenth = kSecondsPerBeat / 4.0;
  for (int bar = 0; bar < section.bars; ++bar) {
    double barStart = BarToFileSeconds(bar0 + bar);
    for (int beat = 0; beat < 2; ++beat) {
      if (orch.kick > 0 && (beat == 0 || orch.kickBothBeats)) {
        float accent = (beat == 0 ? 1.0f : 0.8f) * PhraseDynamics(bar, beat);
        double at = PlayedTime(barStart + beat * kSecondsPerBeat, kBassDrumSeat, timing);
        AddBassDrumTo(bus, at, orch.kick * accent, ++*seed);
        if (orch.clash > 0) AddCymbal(bus, at, orch.clash * accent, 0.18, ++*seed);
      }
    }
    const bool lastBar = bar == section.bars - 1;
    if (orch.rollIntoNext && lastBar) {
      snares.Roll(barStart, barStart + kSecondsPerBar, 0.25f, 0.95f);
      continue;
    }
    const float* pattern = nullptr;
    switch (orch.snare) {
      case SnarePattern::kNone:
      case SnarePattern::kRoll: break;
      case SnarePattern::kLight: pattern = kLight; break;
      case SnarePattern::kDrive: pattern = kDrive; break;
      case SnarePattern::kMarch:
        pattern = bar % 4 == 3 ? kPhraseEnd : bar % 2 ? kMarchB : kMarchA;
        break;
    }
    if (pattern)
      for (int step = 0; step < 8; ++step)
        snares.Stroke(barStart + step * sixteenth,
                      orch.snareLevel * pattern[step] * PhraseDynamics(bar, step / 4.0));
  }
  if (orch.snare == SnarePattern::kRoll)
    snares.Roll(BarToFileSeconds(bar0), BarToFileSeconds(bar0 + section.bars), orch.snareLevel,
                orch.rollEnd);
  // The crash marks the picture's cut, so it is struck on the beat itself.
  if (orch.crash > 0)
    AddCymbal(bus, BarToFileSeconds(bar0), orch.crash, orch.crashDecay, ++*seed,
              orch.choke ? lastRelease - BarToFileSeconds(bar0) : 0.0);
}

// Plays a written line with one part: humanised onsets, phrase dynamics, slurs after
// short pick-up notes, accents on long downbeat notes.
void PlayLine(Bus* bus, const std::vector<Note>& line, const Part& part, const Orchestration& orch,
              double bar0, uint32_t* seed, Noise* timing) {
  if (part.level <= 0) return;
  const Seat& seat = kSeats[int(part.voice)];
  for (size_t k = 0; k < line.size(); ++k) {
    const Note& note = line[k];
    double bar = note.startBeats / kBeatsPerBar;
    double beatInBar = std::fmod(note.startBeats, double(kBeatsPerBar));
    bool afterPickup = k > 0 && line[k - 1].lengthBeats <= 0.25 &&
                       line[k - 1].startBeats + line[k - 1].lengthBeats == note.startBeats;
    bool accent = beatInBar == 0.0 && note.lengthBeats >= 1.0;
    Stroke stroke;
    stroke.start = PlayedTime(BarToFileSeconds(bar0 + bar), seat, timing);
    // Short pick-up notes are slurred into their target, so they are held full length.
    bool pickup = note.lengthBeats <= 0.25 && k + 1 < line.size() &&
                  line[k + 1].startBeats == note.startBeats + note.lengthBeats;
    stroke.gate = note.lengthBeats * kSecondsPerBeat * (pickup ? 1.0 : orch.legato);
    stroke.midi = note.midi + 12 * part.octave;
    stroke.level = part.level * PhraseDynamics(bar, beatInBar) * (accent ? 1.12f : 1.0f) *
                   (pickup ? 0.85f : 1.0f);
    stroke.bright = std::min(1.0f, orch.bright * (accent ? 1.15f : 1.0f));
    stroke.slurred = afterPickup;
    Play(bus, part.voice, stroke, ++*seed);
  }
}

// Strikes one accompaniment note at a beat of the section, placed as the
// voice's seat plays it and shaped by the phrase's dynamics.
struct Striker {
  Bus* bus;
  const Orchestration& orch;
  double bar0;
  uint32_t* seed;
  Noise* timing;

  double AtBeat(double beats) const { return BarToFileSeconds(bar0 + beats / kBeatsPerBar); }
  void operator()(Voice voice, double beats, double gate, int midi, float level,
                  bool staccato) const {
    Stroke stroke;
    stroke.start = PlayedTime(AtBeat(beats), kSeats[int(voice)], timing);
    stroke.gate = gate;
    stroke.midi = midi;
    double beatInBar = std::fmod(beats, double(kBeatsPerBar));
    stroke.level =
        level * PhraseDynamics(beats / kBeatsPerBar, beatInBar) * (staccato ? 1.1f : 1.0f);
    stroke.bright = orch.bright * (staccato ? 0.8f : 0.6f);
    Play(bus, voice, stroke, ++*seed);
  }
};

// The band under the tune: horn chords on the tune's own notes (tutti), or
// oom-pah on the chart's beats, by the band or the stride piano.
void PlayAccompaniment(const Striker& strike, const Section& section, const std::vector<Note>& lead,
                       const std::vector<Chord>& chart) {
  const Orchestration& orch = section.orch;
  const bool stride = orch.accompaniment == Accompaniment::kStride;
  const Voice chordVoice = stride ? Voice::kPiano : Voice::kHorn;
  const float chordLevel = stride ? orch.pah * 0.5f : orch.pah * 0.55f;
  if (orch.accompaniment == Accompaniment::kTutti) {
    for (const Note& note : lead) {
      const Chord& chord = chart[size_t(note.startBeats)];
      if (chord.none) continue;
      double gate = note.lengthBeats * kSecondsPerBeat * orch.legato;
      for (int pitch : HornVoicing(chord))
        strike(Voice::kHorn, note.startBeats, gate, pitch, orch.pah * 0.55f, false);
      if (!section.bass && orch.bass > 0)
        strike(Voice::kTuba, note.startBeats, gate, TubaRoot(chord), orch.bass, false);
    }
  } else if (orch.accompaniment != Accompaniment::kNone) {
    for (size_t beat = 0; beat < chart.size(); ++beat) {
      const Chord& chord = chart[beat];
      if (chord.none) continue;
      // Pah: short, accented chords on the off-beat.
      if (orch.pah > 0)
        for (int pitch : HornVoicing(chord))
          strike(chordVoice, beat + 0.5, (stride ? 0.3 : 0.22) * kSecondsPerBeat,
                 pitch + (stride ? 12 : 0), chordLevel, true);
      // Oom: the bass alternates root and fifth, back to the root when the harmony moves.
      if (section.bass || orch.bass <= 0) continue;
      bool sameHarmony =
          beat % 2 == 1 && !chart[beat - 1].none && chart[beat - 1].root == chord.root;
      int pitch = sameHarmony ? TubaFifth(chord) : TubaRoot(chord);
      if (stride) {
        // The left hand plays the bass in octaves, an octave above the tuba's.
        strike(Voice::kPiano, beat, 0.45 * kSecondsPerBeat, pitch + 12, orch.bass * 0.6f, false);
        strike(Voice::kPiano, beat, 0.45 * kSecondsPerBeat, pitch + 24, orch.bass * 0.45f, false);
      } else {
        strike(Voice::kTuba, beat, 0.5 * kSecondsPerBeat, pitch, orch.bass, false);
      }
    }
  }
}

bool ArrangeSection(Bus* bus, const Section& section, double bar0, uint32_t* seed, Noise* timing,
                    std::string* error) {
  const Orchestration& orch = section.orch;
  std::vector<Note> lead, bass, counter;
  std::vector<Chord> chart;
  std::string why;
  if (!ParseLine(section.lead, section.bars, &lead, &why) ||
      !ParseChart(section.chart, section.bars, &chart, &why) ||
      (section.bass && !ParseLine(section.bass, section.bars, &bass, &why)) ||
      (section.counter && !ParseLine(section.counter, section.bars, &counter, &why))) {
    *error = std::string("section '") + section.name + "': " + why;
    return false;
  }
  const Striker strike{bus, orch, bar0, seed, timing};

  for (const Part& part : orch.tune) PlayLine(bus, lead, part, orch, bar0, seed, timing);
  if (section.counter) PlayLine(bus, counter, orch.counter, orch, bar0, seed, timing);
  PlayAccompaniment(strike, section, lead, chart);
  const Voice bassVoice =
      orch.accompaniment == Accompaniment::kStride ? Voice::kPiano : Voice::kTuba;
  for (const Note& note : bass)
    strike(bassVoice, note.startBeats, 0.85 * note.lengthBeats * kSecondsPerBeat, note.midi,
           orch.bass, false);

  double lastRelease = strike.AtBeat(0);
  for (const Note& note : lead)
    lastRelease =
        std::max(lastRelease, strike.AtBeat(note.startBeats + note.lengthBeats * orch.legato));
  ArrangeDrums(bus, section, bar0, lastRelease, seed, timing);
  return true;
}

}  // namespace

void AddBassDrum(Stereo* mix, double start, float level) {
  Bus bus(mix->left.size());
  AddBassDrumTo(&bus, start, level, 1u);
  for (size_t i = 0; i < bus.Frames(); ++i) {
    mix->left[i] += bus.dry.left[i];
    mix->right[i] += bus.dry.right[i];
  }
}

bool RenderMarch(Stereo* out, std::string* error) {
  Bus bus(size_t(kFileSeconds * kSampleRate));
  uint32_t seed = 1;
  Noise timing(0x5EA7u);
  double bar = kFirstBar;
  for (const Section& section : kScore) {
    if (!ArrangeSection(&bus, section, bar, &seed, &timing, error)) return false;
    bar += section.bars;
  }
  Stereo mix = bus.dry;
  AddRoom(&mix, bus.send);
  *out = std::move(mix);
  return true;
}
