// music-tests: checks the score notation, the score's placement against the picture,
// the loudness meter against BS.1770 reference values, the listener measures (true
// peak, correlation, reverberation time, phrase similarity) on signals with known
// answers, the limiter, the encoder's reproducibility and the onset detector.
// Prints each failed check; exits non-zero.
#include <cmath>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "listen.h"
#include "master.h"
#include "notation.h"
#include "score.h"
#include "synth.h"
#include "vorbis_io.h"

namespace {

int failures = 0;

#define CHECK(condition)                                                          \
    do {                                                                          \
        if (!(condition)) {                                                       \
            std::printf("%s:%d: failed: %s\n", __FILE__, __LINE__, #condition);   \
            ++failures;                                                           \
        }                                                                         \
    } while (0)

music::Stereo sine(double hz, double amplitude, double seconds, bool right_too = true) {
    music::Stereo out;
    size_t n = size_t(seconds * music::kSampleRate);
    for (size_t i = 0; i < n; ++i) {
        float s = float(amplitude * std::sin(2.0 * M_PI * hz * double(i) / music::kSampleRate));
        out.left.push_back(s);
        out.right.push_back(right_too ? s : 0.0f);
    }
    return out;
}

void test_notation() {
    int midi = 0;
    CHECK(music::parse_pitch("C4", &midi) && midi == 60);
    CHECK(music::parse_pitch("Bb1", &midi) && midi == 34);
    CHECK(music::parse_pitch("F#5", &midi) && midi == 78);
    CHECK(music::parse_pitch("Cb4", &midi) && midi == 59);
    CHECK(music::parse_pitch("B#3", &midi) && midi == 60);
    CHECK(!music::parse_pitch("H4", &midi) && !music::parse_pitch("C", &midi) && !music::parse_pitch("C4x", &midi));

    std::vector<music::Note> notes;
    std::string error;
    CHECK(music::parse_line("F4:3 Bb4:1 r:2 D5:2 | Bb4:8 |", 2, &notes, &error));
    CHECK(notes.size() == 4);
    if (notes.size() == 4) {
        CHECK(notes[1].midi == 70 && notes[1].start_beats == 0.75 && notes[1].length_beats == 0.25);
        CHECK(notes[2].start_beats == 1.5);
        CHECK(notes[3].start_beats == 2.0 && notes[3].length_beats == 2.0);
    }
    // Failures name the problem and leave the output alone.
    CHECK(!music::parse_line("C4:8 | C4:7 |", 2, &notes, &error) && error.find("bar 2") != std::string::npos);
    CHECK(notes.size() == 4);
    CHECK(!music::parse_line("C4:8 |", 2, &notes, &error) && error.find("expected 2 bars") != std::string::npos);
    CHECK(!music::parse_line("C4:x C4:4 |", 1, &notes, &error));
    CHECK(!music::parse_line("Q4:8 |", 1, &notes, &error) && error.find("Q4") != std::string::npos);

    music::Chord chord;
    CHECK(music::parse_chord("Cm7", &chord) && !chord.none && chord.root == 0 && chord.intervals.size() == 4 &&
          chord.intervals[1] == 3 && chord.intervals[3] == 10);
    CHECK(music::parse_chord("Bb7", &chord) && chord.root == 10 && chord.intervals[1] == 4);
    CHECK(music::parse_chord("N", &chord) && chord.none);
    CHECK(!music::parse_chord("Bbsus", &chord) && !music::parse_chord("", &chord));
    std::vector<music::Chord> chart;
    CHECK(music::parse_chart("Bb F7 | N Eb |", 2, &chart, &error) && chart.size() == 4 && chart[2].none);
    CHECK(!music::parse_chart("Bb | Eb Eb |", 2, &chart, &error) && chart.size() == 4);
}

// The music must turn where the picture turns: phrases on show times 4 + 5k s.
void test_score_against_picture() {
    for (int phrase = 0; phrase <= 25; ++phrase)
        CHECK(std::fabs(music::bar_to_file_seconds(4 * phrase) + music::kPlayerLeadInSeconds - (4.0 + 5.0 * phrase)) < 1e-9);
    double bar = music::kFirstBar;
    for (const music::Section& section : music::kScore) {
        std::vector<music::Note> lead, bass, counter;
        std::vector<music::Chord> chart;
        std::string error;
        bool parsed = music::parse_line(section.lead, section.bars, &lead, &error) &&
                      music::parse_chart(section.chart, section.bars, &chart, &error) &&
                      (!section.bass || music::parse_line(section.bass, section.bars, &bass, &error)) &&
                      (!section.counter || music::parse_line(section.counter, section.bars, &counter, &error));
        if (!parsed) std::printf("section '%s': %s\n", section.name, error.c_str());
        CHECK(parsed);
        for (const music::Note& note : lead) CHECK(note.midi >= 50 && note.midi <= 86);   // D3..D6
        for (const music::Note& note : bass) CHECK(note.midi >= 28 && note.midi <= 50);   // E1..D3
        // A countermelody needs a voice, and stays within trombone-to-flute range.
        CHECK(!section.counter || section.orch.counter.level > 0);
        for (const music::Note& note : counter) CHECK(note.midi >= 40 && note.midi <= 96);  // E2..C7
        // A crash marks a picture change, so it must fall on a phrase start.
        if (section.orch.crash > 0 && section.bars > 1) CHECK(int(bar) % 4 == 0);
        bar += section.bars;
    }
    // The last section ends at show time 129 s, when THE END card leaves.
    CHECK(std::fabs(music::bar_to_file_seconds(bar) + music::kPlayerLeadInSeconds - 129.0) < 1e-9);
    CHECK(music::kFileSeconds >= 129.0 && music::kFileSeconds <= 131.0);
    // A pit band, not a synth: cornets, clarinets, flute, trombones, horns, tuba,
    // glockenspiel, piano and the three drums.
    CHECK(music::score_timbre_count() == 11);
}

// Listener measures against signals whose answers are known.
void test_listener_measures() {
    const int rate = music::kSampleRate;
    // A sine at a quarter of the rate, sampled 45 degrees off its crests: the samples
    // reach only -3 dB, the waveform between them 0 dB.
    music::Stereo quarter;
    for (int i = 0; i < rate; ++i) quarter.left.push_back(float(std::sin(M_PI / 2 * i + M_PI / 4)));
    quarter.right = quarter.left;
    CHECK(std::fabs(music::peak_dbfs(quarter.left, quarter.right) + 3.01) < 0.05);
    // The short interpolator ripples by about 0.1 dB this close to half the Nyquist rate.
    CHECK(std::fabs(music::true_peak_dbtp(quarter.left, quarter.right, rate)) < 0.2);
    music::Stereo low = sine(100.0, 0.5, 1.0);
    CHECK(std::fabs(music::true_peak_dbtp(low.left, low.right, rate) - music::peak_dbfs(low.left, low.right)) < 0.01);

    // Correlation: mono, phase-inverted, independent and one-sided signals.
    music::Noise a(1), b(2);
    std::vector<float> left, right, inverted, silent(size_t(rate), 0.0f);
    for (int i = 0; i < rate; ++i) {
        left.push_back(a.next());
        right.push_back(b.next());
        inverted.push_back(-left.back());
    }
    CHECK(std::fabs(music::channel_correlation(left, left, 0, left.size()) - 1.0) < 1e-9);
    CHECK(std::fabs(music::channel_correlation(left, inverted, 0, left.size()) + 1.0) < 1e-9);
    CHECK(std::fabs(music::channel_correlation(left, right, 0, left.size())) < 0.03);
    CHECK(music::channel_correlation(left, silent, 0, left.size()) == 0.0);

    // Reverberation time: steady noise stopped at 1 s, then a tail falling 60 dB in
    // 1.2 s. A tail cut off before it has fallen 35 dB cannot be measured.
    music::Noise n(3);
    music::Stereo room;
    for (int i = 0; i < 3 * rate; ++i) {
        double t = double(i) / rate;
        float s = float(0.3 * n.next() * (t < 1.0 ? 1.0 : std::pow(10.0, -3.0 * (t - 1.0) / 1.2)));
        room.left.push_back(s);
        room.right.push_back(s);
    }
    CHECK(std::fabs(music::reverberation_time(room.left, room.right, rate, 1.0, 3.0) - 1.2) < 0.06);
    CHECK(music::reverberation_time(room.left, room.right, rate, 1.0, 1.5) == 0.0);

    // Phrase similarity: a tune against itself, played on another instrument, and
    // transposed by a tritone (the same rhythm, other pitch classes).
    auto tune = [&](double transpose, bool pure) {
        static const int kTune[8] = {58, 62, 65, 62, 70, 69, 67, 65};
        music::Stereo out;
        for (int i = 0; i < 5 * rate; ++i) {
            double t = double(i) / rate;
            int note = int(t / 0.625);
            double hz = music::midi_to_hz(kTune[note % 8] + transpose);
            double fade = std::exp(-std::fmod(t, 0.625) / 0.3);
            double s = std::sin(2 * M_PI * hz * t);
            if (!pure) s += 0.5 * std::sin(4 * M_PI * hz * t) + 0.3 * std::sin(8 * M_PI * hz * t);
            out.left.push_back(float(0.2 * fade * s));
            out.right.push_back(float(0.2 * fade * s));
        }
        return music::phrase_chroma(out.left, out.right, rate, 0.0, 5.0);
    };
    std::vector<double> rich = tune(0, false), pure = tune(0, true), tritone = tune(6, false);
    CHECK(rich.size() == 64 * 12);
    CHECK(std::fabs(music::phrase_similarity(rich, rich) - 1.0) < 1e-9);
    CHECK(music::phrase_similarity(rich, pure) > 0.9);
    CHECK(music::phrase_similarity(rich, tritone) < 0.3);
    CHECK(music::phrase_similarity(rich, std::vector<double>(12, 1.0)) == 0.0);
}

void test_loudness() {
    // BS.1770: a 1 kHz sine at 0 dBFS in one channel reads -3.01 LUFS.
    music::Stereo tone = sine(1000.0, 0.1, 5.0);
    CHECK(std::fabs(music::integrated_loudness(tone.left, tone.right, music::kSampleRate) - (-20.0)) < 0.05);
    music::Stereo mono = sine(1000.0, 1.0, 5.0, false);
    CHECK(std::fabs(music::integrated_loudness(mono.left, mono.right, music::kSampleRate) - (-3.01)) < 0.05);
    // Silence is gated out: a pause before the tone does not lower the reading (beyond
    // the three 400 ms blocks that straddle the tone's start).
    music::Stereo padded = sine(1000.0, 0.0, 10.0);
    padded.left.insert(padded.left.end(), tone.left.begin(), tone.left.end());
    padded.right.insert(padded.right.end(), tone.right.begin(), tone.right.end());
    CHECK(std::fabs(music::integrated_loudness(padded.left, padded.right, music::kSampleRate) - (-20.0)) < 0.2);
    music::Stereo silent = sine(1000.0, 0.0, 2.0);
    CHECK(music::integrated_loudness(silent.left, silent.right, music::kSampleRate) == music::kSilenceLufs);
    // K-weighting lifts the presence region and cuts rumble.
    music::Stereo high = sine(4000.0, 0.1, 5.0), low = sine(30.0, 0.1, 5.0);
    CHECK(music::integrated_loudness(high.left, high.right, music::kSampleRate) > -20.0 + 3.0);
    CHECK(music::integrated_loudness(low.left, low.right, music::kSampleRate) < -20.0 - 1.0);
}

void test_limiter() {
    music::Stereo signal = sine(220.0, 0.3, 3.0);
    // A burst four times over the ceiling in the middle second.
    for (size_t i = music::kSampleRate; i < 2 * size_t(music::kSampleRate); ++i) {
        signal.left[i] *= 10.0f;
        signal.right[i] *= -8.0f;
    }
    music::Stereo limited = signal;
    const float ceiling = 0.8f;
    music::limit_peaks(&limited.left, &limited.right, ceiling, music::kSampleRate);
    CHECK(music::peak_dbfs(limited.left, limited.right) <= 20.0 * std::log10(ceiling) + 1e-4);
    CHECK(limited.left.size() == signal.left.size());
    // Far from the burst the signal passes untouched.
    CHECK(limited.left[1000] == signal.left[1000]);
    CHECK(std::fabs(limited.left.back() / signal.left.back() - 1.0f) < 1e-3);
    // The burst is turned down, not clipped: its shape survives.
    size_t i = music::kSampleRate + 22050;
    CHECK(std::fabs(limited.left[i] / signal.left[i] - limited.left[i + 50] / signal.left[i + 50]) < 0.01);
}

void test_encoder() {
    music::Stereo tone = sine(440.0, 0.5, 2.0);
    std::vector<unsigned char> first, second;
    std::string error;
    CHECK(music::encode_vorbis(tone, music::kSampleRate, 0.5f, &first, &error));
    CHECK(music::encode_vorbis(tone, music::kSampleRate, 0.5f, &second, &error));
    CHECK(!first.empty() && first == second);
    CHECK(first.size() > 28 && first[0] == 'O' && first[1] == 'g' && first[2] == 'g' && first[3] == 'S');
    music::Stereo decoded;
    int rate = 0;
    CHECK(music::decode_vorbis(first, &decoded, &rate, &error));
    CHECK(rate == music::kSampleRate && decoded.left.size() == tone.left.size());
    CHECK(std::fabs(music::peak_dbfs(decoded.left, decoded.right) - music::peak_dbfs(tone.left, tone.right)) < 0.5);
    std::vector<unsigned char> garbage(4000, 0x5A);
    CHECK(!music::decode_vorbis(garbage, &decoded, &rate, &error) && !error.empty());
    CHECK(decoded.left.size() == tone.left.size());
    music::Stereo uneven = tone;
    uneven.right.pop_back();
    CHECK(!music::encode_vorbis(uneven, music::kSampleRate, 0.5f, &second, &error));
}

void test_onsets() {
    music::Stereo drums = sine(1000.0, 0.0, 4.0);
    // Beats and one eighth-note pair; the second of the pair sits on a ringing tail,
    // which delays its detection a little.
    const double hits[] = {0.5, 1.125, 1.75, 2.0625, 3.0};
    const double tolerance[] = {0.006, 0.006, 0.006, 0.015, 0.006};
    for (double t : hits) music::add_bass_drum(&drums, t, 0.8f);
    std::vector<double> onsets = music::low_band_onsets(drums.left, drums.right, music::kSampleRate);
    CHECK(onsets.size() == 5);
    for (size_t k = 0; k < onsets.size() && k < 5; ++k) CHECK(std::fabs(onsets[k] - hits[k]) < tolerance[k]);
}

void test_files() {
    std::string error;
    std::vector<unsigned char> bytes = {1, 2, 3, 250}, back;
    const std::string path = "/tmp/music-tests-" + std::to_string(::getpid()) + ".bin";
    CHECK(music::write_file(path, bytes, &error));
    CHECK(music::read_file(path, &back, &error) && back == bytes);
    std::remove(path.c_str());
    // A failed write names the path and leaves no partial file behind.
    CHECK(!music::write_file("/nonexistent-dir/x.ogg", bytes, &error) && error.find("/nonexistent-dir") != std::string::npos);
    CHECK(!music::read_file("/nonexistent-dir/x.ogg", &back, &error) && back == bytes);
}

// The whole piece: right length, finite, silent until the intro roll, sounding on the
// first downbeat, quiet again at the end, and the same on every render.
void test_render() {
    music::Stereo first, second;
    std::string error;
    CHECK(music::render_march(&first, &error));
    const size_t frames = size_t(music::kFileSeconds * music::kSampleRate);
    CHECK(first.left.size() == frames && first.right.size() == frames);
    if (first.left.size() != frames) return;
    bool finite = true;
    for (size_t i = 0; i < frames; ++i) finite = finite && std::isfinite(first.left[i]) && std::isfinite(first.right[i]);
    CHECK(finite);
    auto peak_between = [&](double from, double to) {
        music::Stereo part;
        part.left.assign(first.left.begin() + long(from * music::kSampleRate), first.left.begin() + long(to * music::kSampleRate));
        part.right.assign(first.right.begin() + long(from * music::kSampleRate), first.right.begin() + long(to * music::kSampleRate));
        return music::peak_dbfs(part.left, part.right);
    };
    const double roll_starts = music::bar_to_file_seconds(music::kFirstBar);
    CHECK(peak_between(0.0, roll_starts - 0.01) < -120.0);
    const double downbeat = music::bar_to_file_seconds(0);
    CHECK(peak_between(downbeat, downbeat + 0.1) > peak_between(downbeat - 0.3, downbeat - 0.01) + 6.0);
    // The room rings on after the final chord (the mastering fades what is left), but
    // has fallen well away by the time the file must be silent.
    int last_bar = music::kFirstBar;
    for (int k = 0; k + 1 < music::kSectionCount; ++k) last_bar += music::kScore[k].bars;
    const double final_chord = music::bar_to_file_seconds(last_bar);
    CHECK(peak_between(music::kSilentFromFileSeconds - 0.3, music::kSilentFromFileSeconds) <
          peak_between(final_chord, final_chord + 0.5) - 35.0);
    CHECK(peak_between(music::kSilentFromFileSeconds - 0.3, music::kSilentFromFileSeconds) > -150.0);
    CHECK(music::render_march(&second, &error));
    CHECK(first.left == second.left && first.right == second.right);
}

}  // namespace

int main() {
    test_notation();
    test_score_against_picture();
    test_loudness();
    test_listener_measures();
    test_limiter();
    test_encoder();
    test_onsets();
    test_files();
    test_render();
    if (failures) std::printf("%d check(s) failed\n", failures);
    else std::printf("music-tests: all passed\n");
    return failures ? 1 : 0;
}
