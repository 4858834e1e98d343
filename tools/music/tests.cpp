// music-tests: checks the score notation, the score's placement against the picture,
// the loudness meter against BS.1770 reference values, the listener measures (true
// peak, correlation, reverberation time, phrase similarity) on signals with known
// answers, the limiter, the encoder's reproducibility and the onset detector.
#include <gtest/gtest.h>

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

Stereo Sine(double hz, double amplitude, double seconds, bool rightToo = true) {
  Stereo out;
  size_t n = size_t(seconds * kSampleRate);
  for (size_t i = 0; i < n; ++i) {
    float s = float(amplitude * std::sin(2.0 * M_PI * hz * double(i) / kSampleRate));
    out.left.push_back(s);
    out.right.push_back(rightToo ? s : 0.0f);
  }
  return out;
}

}  // namespace

TEST(Notation, PitchesLinesAndCharts) {
  int midi = 0;
  EXPECT_TRUE(ParsePitch("C4", &midi) && midi == 60);
  EXPECT_TRUE(ParsePitch("Bb1", &midi) && midi == 34);
  EXPECT_TRUE(ParsePitch("F#5", &midi) && midi == 78);
  EXPECT_TRUE(ParsePitch("Cb4", &midi) && midi == 59);
  EXPECT_TRUE(ParsePitch("B#3", &midi) && midi == 60);
  EXPECT_TRUE(!ParsePitch("H4", &midi) && !ParsePitch("C", &midi) && !ParsePitch("C4x", &midi));

  std::vector<Note> notes;
  std::string error;
  EXPECT_TRUE(ParseLine("F4:3 Bb4:1 r:2 D5:2 | Bb4:8 |", 2, &notes, &error));
  EXPECT_EQ(notes.size(), 4u);
  if (notes.size() == 4) {
    EXPECT_TRUE(notes[1].midi == 70 && notes[1].startBeats == 0.75 && notes[1].lengthBeats == 0.25);
    EXPECT_EQ(notes[2].startBeats, 1.5);
    EXPECT_TRUE(notes[3].startBeats == 2.0 && notes[3].lengthBeats == 2.0);
  }
  // Failures name the problem and leave the output alone.
  EXPECT_TRUE(!ParseLine("C4:8 | C4:7 |", 2, &notes, &error) &&
              error.find("bar 2") != std::string::npos);
  EXPECT_EQ(notes.size(), 4);
  EXPECT_TRUE(!ParseLine("C4:8 |", 2, &notes, &error) &&
              error.find("expected 2 bars") != std::string::npos);
  EXPECT_FALSE(ParseLine("C4:x C4:4 |", 1, &notes, &error));
  EXPECT_TRUE(!ParseLine("Q4:8 |", 1, &notes, &error) && error.find("Q4") != std::string::npos);

  Chord chord;
  EXPECT_TRUE(ParseChord("Cm7", &chord) && !chord.none && chord.root == 0 &&
              chord.intervals.size() == 4 && chord.intervals[1] == 3 && chord.intervals[3] == 10);
  EXPECT_TRUE(ParseChord("Bb7", &chord) && chord.root == 10 && chord.intervals[1] == 4);
  EXPECT_TRUE(ParseChord("N", &chord) && chord.none);
  EXPECT_TRUE(!ParseChord("Bbsus", &chord) && !ParseChord("", &chord));
  std::vector<Chord> chart;
  EXPECT_TRUE(ParseChart("Bb F7 | N Eb |", 2, &chart, &error) && chart.size() == 4 &&
              chart[2].none);
  EXPECT_TRUE(!ParseChart("Bb | Eb Eb |", 2, &chart, &error) && chart.size() == 4);
}

// The music must turn where the picture turns: phrases on show times 4 + 5k s.
TEST(Score, TurnsWhereThePictureTurns) {
  for (int phrase = 0; phrase <= 25; ++phrase)
    EXPECT_LT(std::fabs(BarToFileSeconds(4 * phrase) + kPlayerLeadInSeconds - (4.0 + 5.0 * phrase)),
              1e-9);
  double bar = kFirstBar;
  for (const Section& section : kScore) {
    std::vector<Note> lead, bass, counter;
    std::vector<Chord> chart;
    std::string error;
    bool parsed = ParseLine(section.lead, section.bars, &lead, &error) &&
                  ParseChart(section.chart, section.bars, &chart, &error) &&
                  (!section.bass || ParseLine(section.bass, section.bars, &bass, &error)) &&
                  (!section.counter || ParseLine(section.counter, section.bars, &counter, &error));
    EXPECT_TRUE(parsed) << "section '" << section.name << "': " << error;
    for (const Note& note : lead) EXPECT_TRUE(note.midi >= 50 && note.midi <= 86);  // D3..D6
    for (const Note& note : bass) EXPECT_TRUE(note.midi >= 28 && note.midi <= 50);  // E1..D3
    // A countermelody needs a voice, and stays within trombone-to-flute range.
    EXPECT_TRUE(!section.counter || section.orch.counter.level > 0);
    for (const Note& note : counter) EXPECT_TRUE(note.midi >= 40 && note.midi <= 96);  // E2..C7
    // A crash marks a picture change, so it must fall on a phrase start.
    if (section.orch.crash > 0 && section.bars > 1) {
      EXPECT_EQ(int(bar) % 4, 0) << section.name;
    }
    bar += section.bars;
  }
  // The last section ends at show time 129 s, when THE END card leaves.
  EXPECT_LT(std::fabs(BarToFileSeconds(bar) + kPlayerLeadInSeconds - 129.0), 1e-9);
  EXPECT_TRUE(kFileSeconds >= 129.0 && kFileSeconds <= 131.0);
  // A pit band, not a synth: cornets, clarinets, flute, trombones, horns, tuba,
  // glockenspiel, piano and the three drums.
  EXPECT_EQ(ScoreTimbreCount(), 11);
}

// Listener measures against signals whose answers are known.
TEST(ListenerMeasures, SignalsWithKnownAnswers) {
  const int rate = kSampleRate;
  // A sine at a quarter of the rate, sampled 45 degrees off its crests: the samples
  // reach only -3 dB, the waveform between them 0 dB.
  Stereo quarter;
  for (int i = 0; i < rate; ++i) quarter.left.push_back(float(std::sin(M_PI / 2 * i + M_PI / 4)));
  quarter.right = quarter.left;
  EXPECT_LT(std::fabs(PeakDbfs(quarter.left, quarter.right) + 3.01), 0.05);
  // The short interpolator ripples by about 0.1 dB this close to half the Nyquist rate.
  EXPECT_LT(std::fabs(TruePeakDbtp(quarter.left, quarter.right, rate)), 0.2);
  Stereo low = Sine(100.0, 0.5, 1.0);
  EXPECT_LT(std::fabs(TruePeakDbtp(low.left, low.right, rate) - PeakDbfs(low.left, low.right)),
            0.01);

  // Correlation: mono, phase-inverted, independent and one-sided signals.
  Noise a(1), b(2);
  std::vector<float> left, right, inverted, silent(size_t(rate), 0.0f);
  for (int i = 0; i < rate; ++i) {
    left.push_back(a.Next());
    right.push_back(b.Next());
    inverted.push_back(-left.back());
  }
  EXPECT_LT(std::fabs(ChannelCorrelation(left, left, 0, left.size()) - 1.0), 1e-9);
  EXPECT_LT(std::fabs(ChannelCorrelation(left, inverted, 0, left.size()) + 1.0), 1e-9);
  EXPECT_LT(std::fabs(ChannelCorrelation(left, right, 0, left.size())), 0.03);
  EXPECT_EQ(ChannelCorrelation(left, silent, 0, left.size()), 0.0);

  // Reverberation time: steady noise stopped at 1 s, then a tail falling 60 dB in
  // 1.2 s. A tail cut off before it has fallen 35 dB cannot be measured.
  Noise n(3);
  Stereo room;
  for (int i = 0; i < 3 * rate; ++i) {
    double t = double(i) / rate;
    float s = float(0.3 * n.Next() * (t < 1.0 ? 1.0 : std::pow(10.0, -3.0 * (t - 1.0) / 1.2)));
    room.left.push_back(s);
    room.right.push_back(s);
  }
  EXPECT_LT(std::fabs(ReverberationTime(room.left, room.right, rate, 1.0, 3.0) - 1.2), 0.06);
  EXPECT_EQ(ReverberationTime(room.left, room.right, rate, 1.0, 1.5), 0.0);

  // Phrase similarity: a tune against itself, played on another instrument, and
  // transposed by a tritone (the same rhythm, other pitch classes).
  auto tune = [&](double transpose, bool pure) {
    static const int kTune[8] = {58, 62, 65, 62, 70, 69, 67, 65};
    Stereo out;
    for (int i = 0; i < 5 * rate; ++i) {
      double t = double(i) / rate;
      int note = int(t / 0.625);
      double hz = MidiToHz(kTune[note % 8] + transpose);
      double fade = std::exp(-std::fmod(t, 0.625) / 0.3);
      double s = std::sin(2 * M_PI * hz * t);
      if (!pure) s += 0.5 * std::sin(4 * M_PI * hz * t) + 0.3 * std::sin(8 * M_PI * hz * t);
      out.left.push_back(float(0.2 * fade * s));
      out.right.push_back(float(0.2 * fade * s));
    }
    return PhraseChroma(out.left, out.right, rate, 0.0, 5.0);
  };
  std::vector<double> rich = tune(0, false), pure = tune(0, true), tritone = tune(6, false);
  EXPECT_EQ(rich.size(), 64u * 12);
  EXPECT_LT(std::fabs(PhraseSimilarity(rich, rich) - 1.0), 1e-9);
  EXPECT_GT(PhraseSimilarity(rich, pure), 0.9);
  EXPECT_LT(PhraseSimilarity(rich, tritone), 0.3);
  EXPECT_EQ(PhraseSimilarity(rich, std::vector<double>(12, 1.0)), 0.0);
}

TEST(Loudness, ReferenceValuesAndGates) {
  // BS.1770: a 1 kHz sine at 0 dBFS in one channel reads -3.01 LUFS.
  Stereo tone = Sine(1000.0, 0.1, 5.0);
  EXPECT_LT(std::fabs(IntegratedLoudness(tone.left, tone.right, kSampleRate) - (-20.0)), 0.05);
  Stereo mono = Sine(1000.0, 1.0, 5.0, false);
  EXPECT_LT(std::fabs(IntegratedLoudness(mono.left, mono.right, kSampleRate) - (-3.01)), 0.05);
  // Silence is gated out: a pause before the tone does not lower the reading (beyond
  // the three 400 ms blocks that straddle the tone's start).
  Stereo padded = Sine(1000.0, 0.0, 10.0);
  padded.left.insert(padded.left.end(), tone.left.begin(), tone.left.end());
  padded.right.insert(padded.right.end(), tone.right.begin(), tone.right.end());
  EXPECT_LT(std::fabs(IntegratedLoudness(padded.left, padded.right, kSampleRate) - (-20.0)), 0.2);
  Stereo silent = Sine(1000.0, 0.0, 2.0);
  EXPECT_EQ(IntegratedLoudness(silent.left, silent.right, kSampleRate), kSilenceLufs);
  // K-weighting lifts the presence region and cuts rumble.
  Stereo high = Sine(4000.0, 0.1, 5.0), low = Sine(30.0, 0.1, 5.0);
  EXPECT_GT(IntegratedLoudness(high.left, high.right, kSampleRate), -20.0 + 3.0);
  EXPECT_LT(IntegratedLoudness(low.left, low.right, kSampleRate), -20.0 - 1.0);
}

TEST(Limiter, HoldsTheCeilingAndKeepsTheShape) {
  Stereo signal = Sine(220.0, 0.3, 3.0);
  // A burst four times over the ceiling in the middle second.
  for (size_t i = kSampleRate; i < 2 * size_t(kSampleRate); ++i) {
    signal.left[i] *= 10.0f;
    signal.right[i] *= -8.0f;
  }
  Stereo limited = signal;
  const float ceiling = 0.8f;
  LimitPeaks(&limited.left, &limited.right, ceiling, kSampleRate);
  EXPECT_LE(PeakDbfs(limited.left, limited.right), 20.0 * std::log10(ceiling) + 1e-4);
  EXPECT_EQ(limited.left.size(), signal.left.size());
  // Far from the burst the signal passes untouched.
  EXPECT_EQ(limited.left[1000], signal.left[1000]);
  EXPECT_LT(std::fabs(limited.left.back() / signal.left.back() - 1.0f), 1e-3);
  // The burst is turned down, not clipped: its shape survives.
  size_t i = kSampleRate + 22050;
  EXPECT_LT(
      std::fabs(limited.left[i] / signal.left[i] - limited.left[i + 50] / signal.left[i + 50]),
      0.01);
}

TEST(Vorbis, SameBytesEveryTimeAndGarbageRefused) {
  Stereo tone = Sine(440.0, 0.5, 2.0);
  std::vector<unsigned char> first, second;
  std::string error;
  EXPECT_TRUE(EncodeVorbis(tone, kSampleRate, 0.5f, &first, &error));
  EXPECT_TRUE(EncodeVorbis(tone, kSampleRate, 0.5f, &second, &error));
  EXPECT_TRUE(!first.empty() && first == second);
  EXPECT_TRUE(first.size() > 28 && first[0] == 'O' && first[1] == 'g' && first[2] == 'g' &&
              first[3] == 'S');
  Stereo decoded;
  int rate = 0;
  EXPECT_TRUE(DecodeVorbis(first, &decoded, &rate, &error));
  EXPECT_TRUE(rate == kSampleRate && decoded.left.size() == tone.left.size());
  EXPECT_LT(std::fabs(PeakDbfs(decoded.left, decoded.right) - PeakDbfs(tone.left, tone.right)),
            0.5);
  std::vector<unsigned char> garbage(4000, 0x5A);
  EXPECT_TRUE(!DecodeVorbis(garbage, &decoded, &rate, &error) && !error.empty());
  EXPECT_EQ(decoded.left.size(), tone.left.size());
  Stereo uneven = tone;
  uneven.right.pop_back();
  EXPECT_FALSE(EncodeVorbis(uneven, kSampleRate, 0.5f, &second, &error));
}

TEST(Onsets, BassDrumStrokesFound) {
  Stereo drums = Sine(1000.0, 0.0, 4.0);
  // Beats and one eighth-note pair; the second of the pair sits on a ringing tail,
  // which delays its detection a little.
  const double hits[] = {0.5, 1.125, 1.75, 2.0625, 3.0};
  const double tolerance[] = {0.006, 0.006, 0.006, 0.015, 0.006};
  for (double t : hits) AddBassDrum(&drums, t, 0.8f);
  std::vector<double> onsets = LowBandOnsets(drums.left, drums.right, kSampleRate);
  EXPECT_EQ(onsets.size(), 5u);
  for (size_t k = 0; k < onsets.size() && k < 5; ++k)
    EXPECT_LT(std::fabs(onsets[k] - hits[k]), tolerance[k]);
}

TEST(Files, RoundTripAndFailuresNameThePath) {
  std::string error;
  std::vector<unsigned char> bytes = {1, 2, 3, 250}, back;
  const std::string path = "/tmp/music-tests-" + std::to_string(::getpid()) + ".bin";
  EXPECT_TRUE(WriteFile(path, bytes, &error));
  EXPECT_TRUE(ReadFile(path, &back, &error) && back == bytes);
  std::remove(path.c_str());
  // A failed write names the path and leaves no partial file behind.
  EXPECT_TRUE(!WriteFile("/nonexistent-dir/x.ogg", bytes, &error) &&
              error.find("/nonexistent-dir") != std::string::npos);
  EXPECT_TRUE(!ReadFile("/nonexistent-dir/x.ogg", &back, &error) && back == bytes);
}

// The whole piece: right length, finite, silent until the intro roll, sounding on the
// first downbeat, quiet again at the end, and the same on every render.
TEST(March, WholePieceTheSameOnEveryRender) {
  Stereo first, second;
  std::string error;
  EXPECT_TRUE(RenderMarch(&first, &error));
  const size_t frames = size_t(kFileSeconds * kSampleRate);
  EXPECT_TRUE(first.left.size() == frames && first.right.size() == frames);
  ASSERT_EQ(first.left.size(), frames);
  bool finite = true;
  for (size_t i = 0; i < frames; ++i)
    finite = finite && std::isfinite(first.left[i]) && std::isfinite(first.right[i]);
  EXPECT_TRUE(finite);
  auto peakBetween = [&](double from, double to) {
    Stereo part;
    part.left.assign(first.left.begin() + long(from * kSampleRate),
                     first.left.begin() + long(to * kSampleRate));
    part.right.assign(first.right.begin() + long(from * kSampleRate),
                      first.right.begin() + long(to * kSampleRate));
    return PeakDbfs(part.left, part.right);
  };
  const double rollStarts = BarToFileSeconds(kFirstBar);
  EXPECT_LT(peakBetween(0.0, rollStarts - 0.01), -120.0);
  const double downbeat = BarToFileSeconds(0);
  EXPECT_GT(peakBetween(downbeat, downbeat + 0.1),
            peakBetween(downbeat - 0.3, downbeat - 0.01) + 6.0);
  // The room rings on after the final chord (the mastering fades what is left), but
  // has fallen well away by the time the file must be silent.
  int lastBar = kFirstBar;
  for (int k = 0; k + 1 < kSectionCount; ++k) lastBar += kScore[k].bars;
  const double finalChord = BarToFileSeconds(lastBar);
  EXPECT_LT(peakBetween(kSilentFromFileSeconds - 0.3, kSilentFromFileSeconds),
            peakBetween(finalChord, finalChord + 0.5) - 35.0);
  EXPECT_GT(peakBetween(kSilentFromFileSeconds - 0.3, kSilentFromFileSeconds), -150.0);
  EXPECT_TRUE(RenderMarch(&second, &error));
  EXPECT_TRUE(first.left == second.left && first.right == second.right);
}
