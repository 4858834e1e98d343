// Band synthesis for the march (see synth.h).
//
// Contents: 1 oscillators and filter, 2 pitched voices, 3 drums and cymbals,
// 4 reverb, 5 arranging the score onto the timeline.
#include "synth.h"

#include "notation.h"
#include "score.h"

#include <algorithm>
#include <cmath>

namespace music {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A dry stereo bus plus a mono send into the reverb.
struct Bus {
    Stereo dry;
    std::vector<float> send;
    explicit Bus(size_t frames) : send(frames, 0.0f) {
        dry.left.assign(frames, 0.0f);
        dry.right.assign(frames, 0.0f);
    }
    size_t frames() const { return send.size(); }
    // pan: -1 left .. +1 right, constant power.
    void add(size_t i, float sample, float pan, float send_level) {
        if (i >= frames()) return;
        double angle = (pan + 1.0) * kPi / 4.0;
        dry.left[i] += float(sample * std::cos(angle));
        dry.right[i] += float(sample * std::sin(angle));
        send[i] += sample * send_level;
    }
};

size_t frame_at(double seconds) { return seconds <= 0 ? 0 : size_t(std::lround(seconds * kSampleRate)); }

// ---- 1 oscillators and filter ----------------------------------------------------

// Band-limited step correction for a saw whose phase wrapped within one sample.
double poly_blep(double phase, double step) {
    if (phase < step) { double t = phase / step; return t + t - t * t - 1.0; }
    if (phase > 1.0 - step) { double t = (phase - 1.0) / step; return t * t + t + t + 1.0; }
    return 0.0;
}

double saw(double phase, double step) { return 2.0 * phase - 1.0 - poly_blep(phase, step); }

// Zero-delay-feedback state-variable filter (trapezoidal integration); stays stable
// while the cutoff moves every sample.
struct Svf {
    double ic1 = 0, ic2 = 0;
    double low = 0, band = 0, high = 0;
    void run(double input, double cutoff_hz, double q) {
        double g = std::tan(kPi * std::min(cutoff_hz, 0.45 * kSampleRate) / kSampleRate);
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

float Noise::next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return float(state) / 2147483648.0f - 1.0f;
}

double bar_to_file_seconds(double bar) {
    return kShowTimeOfBarZero + bar * kSecondsPerBar - kPlayerLeadInSeconds;
}

namespace {

// ---- 2 pitched voices ------------------------------------------------------------

struct Tone {
    float detune_cents;   // spread of the three oscillators
    float square;         // 0 = saw (brass), 1 = square (reed, hollow)
    float cutoff_base;    // low-pass cutoff at rest, in multiples of the note frequency
    float cutoff_env;     // extra multiples at the envelope peak, scaled by brightness
    float resonance;      // filter Q
    float attack, decay, sustain, release;  // seconds, seconds, 0..1, seconds (1/e)
    float scoop_cents;    // brass players slide up into the note
    float vibrato_cents;  // delayed vibrato on held notes
    float sub;            // sine at the fundamental, for tuba weight
    float drive;          // soft saturation after the filter
};

constexpr Tone kBrass = {9, 0, 1.2f, 9.0f, 1.6f, 0.025f, 0.22f, 0.7f, 0.07f, 30, 9, 0, 1.6f};
constexpr Tone kReed = {5, 0.75f, 1.5f, 4.0f, 1.1f, 0.035f, 0.3f, 0.8f, 0.08f, 8, 12, 0, 1.2f};
constexpr Tone kTrombone = {7, 0, 1.4f, 5.0f, 1.2f, 0.035f, 0.3f, 0.75f, 0.08f, 20, 5, 0, 1.4f};
constexpr Tone kHorn = {8, 0.2f, 2.0f, 3.5f, 1.0f, 0.012f, 0.08f, 0.5f, 0.05f, 10, 0, 0, 1.2f};
constexpr Tone kTuba = {4, 0.1f, 2.2f, 4.0f, 1.0f, 0.02f, 0.18f, 0.65f, 0.06f, 25, 0, 0.6f, 1.5f};

struct Placement {
    float level, bright, pan, send;
};

// Renders one note: `gate` seconds held, then released.
void add_voice(Bus* bus, double start, double gate, int midi, const Tone& tone, const Placement& at,
               uint32_t seed) {
    const double hz = midi_to_hz(midi);
    const double tail = gate + 6.0 * tone.release;
    const size_t first = frame_at(start);
    const size_t count = size_t(tail * kSampleRate);
    Noise noise(seed);
    double phase[3];
    for (double& p : phase) p = 0.5 * (noise.next() + 1.0);
    const double detune[3] = {-tone.detune_cents, 0.0, tone.detune_cents};
    const double vibrato_rate = 5.2 + 0.6 * noise.next();
    Svf filter;
    auto held_envelope = [&](double t) {
        double rise = t < tone.attack ? std::sin(0.5 * kPi * t / tone.attack) : 1.0;
        double fall = tone.sustain + (1.0 - tone.sustain) * std::exp(-std::max(0.0, t - tone.attack) / tone.decay);
        return rise * fall;
    };
    const double envelope_at_release = held_envelope(gate);
    const double drive_norm = std::tanh(double(tone.drive));
    for (size_t n = 0; n < count; ++n) {
        double t = double(n) / kSampleRate;
        double envelope = t < gate ? held_envelope(t) : envelope_at_release * std::exp(-(t - gate) / tone.release);
        double filter_env = std::min(1.0, t / (1.5 * tone.attack)) * (0.35 + 0.65 * std::exp(-t / 0.25));
        if (t >= gate) filter_env *= std::exp(-(t - gate) / tone.release);
        double vibrato = tone.vibrato_cents * std::clamp((t - 0.25) / 0.35, 0.0, 1.0) *
                         std::sin(2.0 * kPi * vibrato_rate * t);
        double cents = -tone.scoop_cents * std::exp(-t / 0.03) + vibrato;
        double oscillators = 0;
        for (int k = 0; k < 3; ++k) {
            double step = hz * std::pow(2.0, (cents + detune[k]) / 1200.0) / kSampleRate;
            double upper = phase[k] + 0.5 - std::floor(phase[k] + 0.5);
            double shape = (1.0 - tone.square) * saw(phase[k], step) +
                           tone.square * 0.5 * (saw(phase[k], step) - saw(upper, step));
            oscillators += shape / 3.0;
            phase[k] += step;
            phase[k] -= std::floor(phase[k]);
        }
        oscillators += tone.sub * std::sin(2.0 * kPi * phase[1]);
        double cutoff = hz * (tone.cutoff_base + tone.cutoff_env * at.bright * filter_env) + 150.0;
        filter.run(oscillators, cutoff, tone.resonance);
        double shaped = std::tanh(tone.drive * filter.low) / drive_norm;
        bus->add(first + n, float(0.3 * at.level * envelope * shaped), at.pan, at.send);
    }
}

// ---- 3 drums and cymbals ---------------------------------------------------------

void add_bass_drum_to(Bus* bus, double start, float level, uint32_t seed) {
    const size_t first = frame_at(start);
    const size_t count = size_t(0.9 * kSampleRate);
    Noise noise(seed);
    Svf felt;
    double phase = 0;
    for (size_t n = 0; n < count; ++n) {
        double t = double(n) / kSampleRate;
        double hz = 52.0 + 60.0 * std::exp(-t / 0.04);
        phase += hz / kSampleRate;
        double body = std::sin(2.0 * kPi * phase) * std::exp(-t / 0.3) * std::min(1.0, t / 0.002);
        felt.run(noise.next(), 900.0, 0.7);
        double beater = felt.low * std::exp(-t / 0.012) * 0.6;
        bus->add(first + n, float(0.55 * level * (body + beater)), 0.0f, 0.12f);
    }
}

// decay: seconds of the 1/e fall of the snare wires; rolls use short strokes.
void add_snare(Bus* bus, double start, float level, double decay, uint32_t seed) {
    const size_t first = frame_at(start);
    const size_t count = size_t((0.05 + 6.0 * decay) * kSampleRate);
    Noise noise(seed);
    Svf wires, shell;
    for (size_t n = 0; n < count; ++n) {
        double t = double(n) / kSampleRate;
        wires.run(noise.next(), 3200.0, 0.55);
        shell.run(wires.band, 7000.0, 0.7);
        double rattle = shell.low * std::exp(-t / decay);
        double head = std::sin(2.0 * kPi * (180.0 * t + 0.6 * (1.0 - std::exp(-t / 0.01)))) *
                      std::exp(-t / (0.4 * decay));
        bus->add(first + n, float(0.3 * level * (1.6 * rattle + 0.5 * head)), -0.12f, 0.25f);
    }
}

// A cymbal: noise and clangorous square partials, high-passed, separate in each channel
// so it sounds wide. decay: seconds of the 1/e fall.
void add_cymbal(Bus* bus, double start, float level, double decay, uint32_t seed) {
    static const double kPartials[6] = {587.3, 845.2, 1108.0, 1329.4, 1657.9, 2213.1};
    const size_t first = frame_at(start);
    const size_t count = size_t(std::min(8.0 * decay, 9.0) * kSampleRate);
    Noise noise_left(seed), noise_right(seed * 7919u + 13u);
    Svf sizzle_left, sizzle_right, metal;
    for (size_t n = 0; n < count; ++n) {
        double t = double(n) / kSampleRate;
        double clang = 0;
        for (double partial : kPartials) clang += (std::fmod(partial * t, 1.0) < 0.5 ? 1.0 : -1.0);
        metal.run(clang / 6.0, 6500.0, 0.9);
        double envelope = std::min(1.0, t / 0.002) * (0.55 * std::exp(-t / decay) + 0.45 * std::exp(-t / 0.07));
        sizzle_left.run(noise_left.next(), 5200.0, 0.6);
        sizzle_right.run(noise_right.next(), 5200.0, 0.6);
        size_t i = first + n;
        if (i >= bus->frames()) break;
        float left = float(0.22 * level * envelope * (sizzle_left.high + 0.5 * metal.high));
        float right = float(0.22 * level * envelope * (sizzle_right.high + 0.5 * metal.high));
        bus->dry.left[i] += 0.9f * left;
        bus->dry.right[i] += right;
        bus->send[i] += 0.15f * (left + right);
    }
}

// ---- 4 reverb --------------------------------------------------------------------

// A small hall after Schroeder and Moorer: damped parallel combs then series
// all-passes, with slightly longer delays on the right for width.
struct Comb {
    std::vector<float> line;
    size_t pos = 0;
    float store = 0;
    float process(float input, float feedback, float damping) {
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
    float process(float input) {
        float delayed = line[pos];
        line[pos] = input + delayed * 0.5f;
        pos = (pos + 1) % line.size();
        return delayed - input;
    }
};

void add_reverb(Stereo* out, const std::vector<float>& send) {
    static const int kCombs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static const int kAllpasses[4] = {556, 441, 341, 225};
    const int kStereoSpread = 23;
    const float kFeedback = 0.80f, kDamping = 0.35f, kWet = 0.05f;
    for (int channel = 0; channel < 2; ++channel) {
        std::vector<Comb> combs(8);
        std::vector<Allpass> allpasses(4);
        for (int k = 0; k < 8; ++k) combs[k].line.assign(kCombs[k] + channel * kStereoSpread, 0.0f);
        for (int k = 0; k < 4; ++k) allpasses[k].line.assign(kAllpasses[k] + channel * kStereoSpread, 0.0f);
        std::vector<float>& target = channel == 0 ? out->left : out->right;
        for (size_t i = 0; i < send.size(); ++i) {
            float sum = 0;
            for (Comb& comb : combs) sum += comb.process(send[i], kFeedback, kDamping);
            for (Allpass& allpass : allpasses) sum = allpass.process(sum);
            target[i] += kWet * sum;
        }
    }
}

// ---- 5 arranging the score onto the timeline -------------------------------------

// Chord tones voiced for the off-beat horns, between G3 and F#4.
std::vector<int> horn_voicing(const Chord& chord) {
    std::vector<int> notes;
    for (int interval : chord.intervals) notes.push_back(55 + (chord.root + interval - 55 % 12 + 24) % 12);
    return notes;
}

// Tuba register: roots between A#1 and A2, fifths below the root when that keeps them low.
int tuba_root(const Chord& chord) { return 34 + (chord.root - 34 % 12 + 24) % 12; }
int tuba_fifth(const Chord& chord) {
    int root = tuba_root(chord);
    return root + 7 <= 45 ? root + 7 : root - 5;
}

struct Snares {
    Bus* bus;
    uint32_t* seed;
    void stroke(double at, float level, double decay = 0.11) {
        if (level > 0) add_snare(bus, at, level, decay, ++*seed);
    }
    // A buzz roll from file time `from` to `to`, level rising from `start` to `end`.
    void roll(double from, double to, float start, float end) {
        const double stroke_gap = kSecondsPerBeat / 16.0;
        Noise jitter(*seed + 101u);
        for (double at = from; at < to - 1e-9; at += stroke_gap) {
            double x = (at - from) / (to - from);
            float level = float(start * std::pow(double(end) / start, x)) * (0.85f + 0.15f * jitter.next());
            stroke(at, level, 0.045);
        }
    }
};

void arrange_drums(Bus* bus, const Section& section, double bar0, uint32_t* seed) {
    static const float kMarchA[8] = {1.0f, 0, 0.45f, 0.45f, 0.8f, 0, 0.55f, 0};
    static const float kMarchB[8] = {1.0f, 0, 0.45f, 0, 0.8f, 0.4f, 0.6f, 0.4f};
    static const float kPhraseEnd[8] = {1.0f, 0, 0.5f, 0.5f, 0.7f, 0.6f, 0.8f, 0.9f};
    static const float kLight[8] = {0, 0, 0.5f, 0, 0, 0, 0.5f, 0};
    static const float kDrive[8] = {1.0f, 0.35f, 0.6f, 0.35f, 0.9f, 0.35f, 0.6f, 0.35f};
    const Orchestration& orch = section.orch;
    Snares snares = {bus, seed};
    const double sixteenth = kSecondsPerBeat / 4.0;
    for (int bar = 0; bar < section.bars; ++bar) {
        double bar_start = bar_to_file_seconds(bar0 + bar);
        for (int beat = 0; beat < 2; ++beat) {
            if (orch.kick > 0 && (beat == 0 || orch.kick_both_beats)) {
                float accent = beat == 0 ? 1.0f : 0.8f;
                add_bass_drum_to(bus, bar_start + beat * kSecondsPerBeat, orch.kick * accent, ++*seed);
                if (orch.clash > 0) add_cymbal(bus, bar_start + beat * kSecondsPerBeat, orch.clash * accent, 0.18, ++*seed);
            }
        }
        const bool last_bar = bar == section.bars - 1;
        if (orch.roll_into_next && last_bar) {
            snares.roll(bar_start, bar_start + kSecondsPerBar, 0.25f, 0.95f);
            continue;
        }
        const float* pattern = nullptr;
        switch (orch.snare) {
            case SnarePattern::none: case SnarePattern::roll: break;
            case SnarePattern::light: pattern = kLight; break;
            case SnarePattern::drive: pattern = kDrive; break;
            case SnarePattern::march: pattern = bar % 4 == 3 ? kPhraseEnd : bar % 2 ? kMarchB : kMarchA; break;
        }
        if (pattern)
            for (int step = 0; step < 8; ++step) snares.stroke(bar_start + step * sixteenth, orch.snare_level * pattern[step]);
    }
    if (orch.snare == SnarePattern::roll)
        snares.roll(bar_to_file_seconds(bar0), bar_to_file_seconds(bar0 + section.bars), orch.snare_level, orch.roll_end);
    if (orch.crash > 0) add_cymbal(bus, bar_to_file_seconds(bar0), orch.crash, orch.crash_decay, ++*seed);
}

bool arrange_section(Bus* bus, const Section& section, double bar0, uint32_t* seed, std::string* error) {
    const Orchestration& orch = section.orch;
    std::vector<Note> lead, bass;
    std::vector<Chord> chart;
    std::string why;
    if (!parse_line(section.lead, section.bars, &lead, &why) ||
        !parse_chart(section.chart, section.bars, &chart, &why) ||
        (section.bass && !parse_line(section.bass, section.bars, &bass, &why))) {
        *error = std::string("section '") + section.name + "': " + why;
        return false;
    }
    auto at_beat = [&](double beats) { return bar_to_file_seconds(bar0 + beats / kBeatsPerBar); };
    const Placement lead_place = {orch.lead, orch.bright, 0.25f, 0.22f};
    const Placement low_place = {orch.lead * orch.low_double, orch.bright * 0.7f, -0.2f, 0.2f};
    const Placement horn_place = {orch.pah * 0.55f, 0.5f, -0.32f, 0.3f};
    const Placement tuba_place = {orch.bass, 0.5f, 0.0f, 0.08f};
    const Tone& lead_tone = orch.tone == LeadTone::reed ? kReed : kBrass;

    for (const Note& note : lead) {
        double start = at_beat(note.start_beats);
        double gate = note.length_beats * kSecondsPerBeat * orch.legato;
        if (orch.lead > 0) add_voice(bus, start, gate, note.midi, lead_tone, lead_place, ++*seed);
        if (orch.lead > 0 && orch.low_double > 0) add_voice(bus, start, gate, note.midi - 12, kTrombone, low_place, ++*seed);
        if (!orch.tutti) continue;
        const Chord& chord = chart[size_t(note.start_beats)];
        if (chord.none) continue;
        for (int pitch : horn_voicing(chord)) add_voice(bus, start, gate, pitch, kHorn, horn_place, ++*seed);
        if (!section.bass) add_voice(bus, start, gate, tuba_root(chord), kTuba, tuba_place, ++*seed);
    }
    if (!orch.tutti) {
        for (size_t beat = 0; beat < chart.size(); ++beat) {
            const Chord& chord = chart[beat];
            if (chord.none) continue;
            // Pah: short horn chords on the off-beat.
            for (int pitch : horn_voicing(chord))
                add_voice(bus, at_beat(beat + 0.5), 0.22 * kSecondsPerBeat, pitch, kHorn, horn_place, ++*seed);
            // Oom: the tuba alternates root and fifth, back to the root when the harmony moves.
            if (section.bass) continue;
            bool same_harmony = beat % 2 == 1 && !chart[beat - 1].none && chart[beat - 1].root == chord.root;
            int pitch = same_harmony ? tuba_fifth(chord) : tuba_root(chord);
            add_voice(bus, at_beat(double(beat)), 0.5 * kSecondsPerBeat, pitch, kTuba, tuba_place, ++*seed);
        }
    }
    for (const Note& note : bass)
        add_voice(bus, at_beat(note.start_beats), 0.85 * note.length_beats * kSecondsPerBeat, note.midi, kTuba,
                  tuba_place, ++*seed);
    arrange_drums(bus, section, bar0, seed);
    return true;
}

}  // namespace

void add_bass_drum(Stereo* mix, double start, float level) {
    Bus bus(mix->left.size());
    add_bass_drum_to(&bus, start, level, 1u);
    for (size_t i = 0; i < bus.frames(); ++i) {
        mix->left[i] += bus.dry.left[i];
        mix->right[i] += bus.dry.right[i];
    }
}

bool render_march(Stereo* out, std::string* error) {
    Bus bus(size_t(kFileSeconds * kSampleRate));
    uint32_t seed = 1;
    double bar = kFirstBar;
    for (const Section& section : kScore) {
        if (!arrange_section(&bus, section, bar, &seed, error)) return false;
        bar += section.bars;
    }
    Stereo mix = bus.dry;
    add_reverb(&mix, bus.send);
    *out = std::move(mix);
    return true;
}

}  // namespace music
