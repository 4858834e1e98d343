// music-check: decodes an Ogg Vorbis file and measures it against the show's rules:
// 129-131 s long, sample and true peaks at or below -1 dBFS / dBTP, -16 LUFS within
// 0.5 LU, silent from file time 129.5 s, every bass-drum stroke of the score heard on
// the 96 bpm grid anchored at show time 4 s; and as a listener hears it: at least six
// timbres in the score, a stereo image (channel correlation 0.5-0.8), a room that
// rings 0.8-1.5 s after the final chord, and no phrase more than 0.9 like an earlier
// one (chroma similarity, see listen.h).
// Prints the measurements, then the failed rules; exits non-zero if any failed.
#include <cmath>
#include <cstdio>
#include <string>

#include "listen.h"
#include "master.h"
#include "notation.h"
#include "score.h"
#include "synth.h"
#include "vorbis_io.h"

namespace {

constexpr double kMinSeconds = 129.0, kMaxSeconds = 131.0;
constexpr double kMaxPeakDbfs = -1.0;
constexpr double kMaxTruePeakDbtp = -1.0;
constexpr double kTargetLufs = -16.0, kLufsTolerance = 0.5;
constexpr double kMinCorrelation = 0.5, kMaxCorrelation = 0.8;
constexpr double kMinReverbSeconds = 0.8, kMaxReverbSeconds = 1.5;
// Phrases start on show times 4 + 5k s; the 25th ends at 129 s.
constexpr int kPhrases = 25;
constexpr double kMaxPhraseSimilarity = 0.9;
constexpr int kMinTimbres = 6;
constexpr double kSilenceDbfs = -60.0;
constexpr double kMatchWindowSeconds = 0.015;
constexpr double kMeanOffsetSeconds = 0.005;

double ShowTime(double fileSeconds) { return fileSeconds + kPlayerLeadInSeconds; }

// Everything measured, for the rules at the end.
struct Measurements {
  double seconds = 0, peak = 0, lufs = 0, tailPeak = 0;
  size_t clipped = 0;
  double truePeak = 0, correlation = 0, reverb = 0;
  int timbres = 0, repeats = 0;
  size_t strokes = 0, matched = 0;         // bass-drum strokes in the score, and heard on time
  double meanOffset = 0, worstOffset = 0;  // of the strokes heard, seconds
};

// Reads and decodes the file at the show's rate. false, said on stderr, when
// it cannot.
bool ReadMarch(const char* path, Stereo* pcm, size_t* byteCount) {
  std::vector<unsigned char> bytes;
  int rate = 0;
  std::string error;
  if (!ReadFile(path, &bytes, &error) || !DecodeVorbis(bytes, pcm, &rate, &error)) {
    std::fprintf(stderr, "music-check: %s: %s\n", path, error.c_str());
    return false;
  }
  if (rate != kSampleRate) {
    std::fprintf(stderr, "music-check: %s: %d Hz, expected %d Hz\n", path, rate, kSampleRate);
    return false;
  }
  *byteCount = bytes.size();
  return true;
}

size_t CountClipped(const Stereo& pcm) {
  size_t clipped = 0;
  for (const auto* channel : {&pcm.left, &pcm.right})
    for (float s : *channel) clipped += std::fabs(s) >= 1.0f;
  return clipped;
}

// The peak from file time kSilentFromFileSeconds on.
double TailPeak(const Stereo& pcm, int rate) {
  Stereo tail;
  size_t silentFrom = size_t(kSilentFromFileSeconds * rate);
  if (silentFrom < pcm.left.size()) {
    tail.left.assign(pcm.left.begin() + long(silentFrom), pcm.left.end());
    tail.right.assign(pcm.right.begin() + long(silentFrom), pcm.right.end());
  }
  return PeakDbfs(tail.left, tail.right);
}

void PrintSectionLoudness(const Stereo& pcm, int rate) {
  std::vector<double> power = KWeightedPower(pcm.left, pcm.right, rate);
  double bar = kFirstBar;
  for (const Section& section : kScore) {
    double from = BarToFileSeconds(bar), to = BarToFileSeconds(bar + section.bars);
    std::printf("%-18s %8.2f %8.2f %8.1f\n", section.name, ShowTime(from), ShowTime(to),
                WindowLoudness(power, size_t(std::max(0.0, from) * rate), size_t(to * rate)));
    bar += section.bars;
  }
}

// Each bass-drum stroke the score asks for should find a low-band onset close by.
void MatchBassDrum(const Stereo& pcm, int rate, Measurements* m) {
  std::vector<double> onsets = LowBandOnsets(pcm.left, pcm.right, rate);
  size_t strokes = 0, matched = 0;
  double worst = 0, sum = 0;
  double bar = kFirstBar;
  for (const Section& section : kScore) {
    for (int b = 0; b < section.bars && section.orch.kick > 0; ++b) {
      for (int beat = 0; beat < (section.orch.kickBothBeats ? 2 : 1); ++beat) {
        double intended = BarToFileSeconds(bar + b + 0.5 * beat);
        double nearest = 1e9;
        for (double t : onsets)
          if (std::fabs(t - intended) < std::fabs(nearest)) nearest = t - intended;
        ++strokes;
        if (std::fabs(nearest) > kMatchWindowSeconds) continue;
        ++matched;
        sum += nearest;
        worst = std::max(worst, std::fabs(nearest));
      }
    }
    bar += section.bars;
  }
  m->strokes = strokes;
  m->matched = matched;
  m->worstOffset = worst;
  m->meanOffset = matched ? sum / double(matched) : 0;
}

// The final chord's written release (file seconds), where the band stops and
// the room rings on.
double FinalChordRelease() {
  double release = 0;
  double sectionBar = kFirstBar;
  for (const Section& section : kScore) {
    std::vector<Note> lead;
    std::string why;
    if (ParseLine(section.lead, section.bars, &lead, &why) && !lead.empty())
      release = BarToFileSeconds(
          sectionBar +
          (lead.back().startBeats + lead.back().lengthBeats * section.orch.legato) / kBeatsPerBar);
    sectionBar += section.bars;
  }
  return release;
}

// Every five-second phrase from show time 4 s against every earlier one;
// prints each one's closest and returns how many are too alike.
int CountRepeatedPhrases(const Stereo& pcm, int rate) {
  std::vector<std::vector<double>> phrases;
  int repeats = 0;
  for (int phrase = 0; phrase < kPhrases; ++phrase) {
    double start = 4.0 + 5.0 * phrase - kPlayerLeadInSeconds;
    phrases.push_back(PhraseChroma(pcm.left, pcm.right, rate, start, 5.0));
    double closest = 0;
    int closestTo = -1;
    for (int k = 0; k < phrase; ++k) {
      double s = PhraseSimilarity(phrases.back(), phrases[size_t(k)]);
      if (s > closest) {
        closest = s;
        closestTo = k;
      }
    }
    if (closestTo >= 0)
      std::printf("phrase %2d (show %5.1f s): most like phrase %2d (show %5.1f s), %.3f\n", phrase,
                  4.0 + 5.0 * phrase, closestTo, 4.0 + 5.0 * closestTo, closest);
    repeats += closest > kMaxPhraseSimilarity;
  }
  std::printf("%d of %d phrases above %.2f like an earlier one\n", repeats, kPhrases,
              kMaxPhraseSimilarity);
  return repeats;
}

// Prints each rule that failed; returns how many did.
int CountFailedRules(const Measurements& m) {
  int failures = 0;
  auto require = [&](bool ok, const char* rule) {
    if (!ok) {
      std::printf("FAIL: %s\n", rule);
      ++failures;
    }
  };
  require(m.seconds >= kMinSeconds && m.seconds <= kMaxSeconds, "duration between 129 and 131 s");
  require(m.peak <= kMaxPeakDbfs, "peak at or below -1 dBFS");
  require(m.clipped == 0, "no clipped samples");
  require(m.truePeak <= kMaxTruePeakDbtp, "true peak at or below -1 dBTP");
  require(std::fabs(m.lufs - kTargetLufs) <= kLufsTolerance,
          "integrated loudness within 0.5 LU of -16 LUFS");
  require(m.tailPeak <= kSilenceDbfs, "silent from file time 129.5 s");
  require(m.timbres >= kMinTimbres, "at least six timbres in the band");
  require(m.correlation >= kMinCorrelation && m.correlation <= kMaxCorrelation,
          "channel correlation between 0.5 and 0.8");
  require(m.reverb >= kMinReverbSeconds && m.reverb <= kMaxReverbSeconds,
          "reverberation time on the final chord between 0.8 and 1.5 s");
  require(m.repeats == 0, "no phrase more than 0.9 like an earlier one");
  require(m.strokes > 0 && m.matched * 20 >= m.strokes * 19,
          "nineteen in twenty bass-drum strokes heard on time");
  require(std::fabs(m.meanOffset) <= kMeanOffsetSeconds,
          "bass drum on average within 5 ms of the grid");
  return failures;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE.ogg\n", argc > 0 ? argv[0] : "music-check");
    return 2;
  }
  Stereo pcm;
  size_t byteCount = 0;
  if (!ReadMarch(argv[1], &pcm, &byteCount)) return 1;
  const int rate = kSampleRate;
  Measurements m;
  m.seconds = double(pcm.left.size()) / rate;
  m.peak = PeakDbfs(pcm.left, pcm.right);
  m.lufs = IntegratedLoudness(pcm.left, pcm.right, rate);
  m.clipped = CountClipped(pcm);
  m.tailPeak = TailPeak(pcm, rate);
  std::printf("%s: %.3f s, %zu bytes, peak %.2f dBFS, %zu clipped samples, %.2f LUFS integrated\n",
              argv[1], m.seconds, byteCount, m.peak, m.clipped, m.lufs);
  std::printf("after file time %.1f s: peak %.1f dBFS\n\n%-18s %8s %8s %8s\n",
              kSilentFromFileSeconds, m.tailPeak, "section", "show s", "to s", "LUFS");
  PrintSectionLoudness(pcm, rate);
  MatchBassDrum(pcm, rate, &m);

  // The listener's view: true peak, stereo image, room, and how alike the phrases are.
  m.truePeak = TruePeakDbtp(pcm.left, pcm.right, rate);
  m.correlation = ChannelCorrelation(pcm.left, pcm.right, 0, pcm.left.size());
  const double release = FinalChordRelease();
  m.reverb = ReverberationTime(pcm.left, pcm.right, rate, release, kSilentFromFileSeconds);
  m.timbres = ScoreTimbreCount();
  std::printf(
      "true peak %.2f dBTP, channel correlation %.3f, reverberation time %.2f s after the final "
      "chord "
      "(released at file time %.2f s), %d timbres in the score\n",
      m.truePeak, m.correlation, m.reverb, release, m.timbres);
  m.repeats = CountRepeatedPhrases(pcm, rate);
  std::printf(
      "\nbass drum: %zu strokes in the score, %zu heard within %.0f ms, mean offset %+.1f ms, "
      "worst %.1f ms\n",
      m.strokes, m.matched, kMatchWindowSeconds * 1000, m.meanOffset * 1000, m.worstOffset * 1000);

  const int failures = CountFailedRules(m);
  if (!failures) std::printf("all checks passed\n");
  return failures ? 1 : 0;
}
