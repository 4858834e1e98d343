// make-music: composes and synthesises the march and writes it as Ogg Vorbis.
// Usage: make-music OUTPUT.ogg. Deterministic: the same build writes the same bytes.
// On any failure it prints the reason, leaves no partial output and exits non-zero.
#include <cmath>
#include <cstdio>
#include <string>

#include "listen.h"
#include "master.h"
#include "synth.h"
#include "vorbis_io.h"

namespace {

constexpr double kTargetLufs = -16.0;
// True peak at or below -1 dBTP after decoding; Vorbis overshoots the PCM by a
// fraction of a dB, so the PCM starts a further dB lower, and lower still if the
// decoded file's true peak says so (with 0.2 dB to spare).
constexpr double kPcmCeilingDbfs = -2.0;
constexpr double kMaxTruePeakDbtp = -1.0, kTruePeakMarginDb = 0.2;
constexpr int kMasteringAttempts = 3;
constexpr float kVorbisQuality = 0.5f;  // "quality 5"
constexpr double kFadeSeconds = 0.3;

void Scale(Stereo* pcm, double gain) {
  for (float& s : pcm->left) s = float(s * gain);
  for (float& s : pcm->right) s = float(s * gain);
}

// Removes the slight DC the saturating voices leave, with a 15 Hz one-pole high-pass,
// so the limiter's headroom is spent on music.
void RemoveDc(std::vector<float>* channel) {
  const double pole = std::exp(-2.0 * M_PI * 15.0 / kSampleRate);
  double previousIn = 0, previousOut = 0;
  for (float& s : *channel) {
    double out = s - previousIn + pole * previousOut;
    previousIn = s;
    previousOut = out;
    s = float(out);
  }
}

// Brings the mix to the target loudness under the peak ceiling: the limiter eats a
// little loudness, so the gain is re-aimed a few times from the unlimited mix.
Stereo MasterMix(Stereo mix, double ceilingDbfs) {
  RemoveDc(&mix.left);
  RemoveDc(&mix.right);
  const float ceiling = float(std::pow(10.0, ceilingDbfs / 20.0));
  double gainDb = kTargetLufs - IntegratedLoudness(mix.left, mix.right, kSampleRate);
  Stereo out;
  for (int pass = 0; pass < 4; ++pass) {
    out = mix;
    Scale(&out, std::pow(10.0, gainDb / 20.0));
    LimitPeaks(&out.left, &out.right, ceiling, kSampleRate);
    gainDb += kTargetLufs - IntegratedLoudness(out.left, out.right, kSampleRate);
  }
  // The last chord and its reverb have died away by now; make the end exactly silent.
  const double silentAt = kSilentFromFileSeconds;
  for (size_t i = 0; i < out.left.size(); ++i) {
    double t = double(i) / kSampleRate;
    double fade = t >= silentAt ? 0.0
                  : t > silentAt - kFadeSeconds
                      ? 0.5 + 0.5 * std::cos(M_PI * (t - (silentAt - kFadeSeconds)) / kFadeSeconds)
                      : 1.0;
    out.left[i] = float(out.left[i] * fade);
    out.right[i] = float(out.right[i] * fade);
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.ogg\n", argc > 0 ? argv[0] : "make-music");
    return 2;
  }
  std::string error;
  Stereo mix;
  if (!RenderMarch(&mix, &error)) {
    std::fprintf(stderr, "make-music: score error: %s\n", error.c_str());
    return 1;
  }
  Stereo mastered;
  std::vector<unsigned char> bytes;
  double ceilingDbfs = kPcmCeilingDbfs, truePeak = 0;
  for (int attempt = 0; attempt < kMasteringAttempts; ++attempt) {
    mastered = MasterMix(mix, ceilingDbfs);
    Stereo decoded;
    int rate = 0;
    if (!EncodeVorbis(mastered, kSampleRate, kVorbisQuality, &bytes, &error) ||
        !DecodeVorbis(bytes, &decoded, &rate, &error)) {
      std::fprintf(stderr, "make-music: %s\n", error.c_str());
      return 1;
    }
    truePeak = TruePeakDbtp(decoded.left, decoded.right, rate);
    if (truePeak <= kMaxTruePeakDbtp - kTruePeakMarginDb) break;
    ceilingDbfs -= truePeak - (kMaxTruePeakDbtp - kTruePeakMarginDb);
  }
  if (truePeak > kMaxTruePeakDbtp) {
    std::fprintf(stderr, "make-music: decoded true peak %.2f dBTP stays above %.1f dBTP\n",
                 truePeak, kMaxTruePeakDbtp);
    return 1;
  }
  if (!WriteFile(argv[1], bytes, &error)) {
    std::fprintf(stderr, "make-music: %s\n", error.c_str());
    return 1;
  }
  std::printf(
      "make-music: wrote %s: %.2f s, PCM peak %.2f dBFS, decoded true peak %.2f dBTP, %.2f LUFS, "
      "%zu bytes\n",
      argv[1], double(mastered.left.size()) / kSampleRate, PeakDbfs(mastered.left, mastered.right),
      truePeak, IntegratedLoudness(mastered.left, mastered.right, kSampleRate), bytes.size());
  return 0;
}
