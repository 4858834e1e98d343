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

void scale(music::Stereo* pcm, double gain) {
    for (float& s : pcm->left) s = float(s * gain);
    for (float& s : pcm->right) s = float(s * gain);
}

// Removes the slight DC the saturating voices leave, with a 15 Hz one-pole high-pass,
// so the limiter's headroom is spent on music.
void remove_dc(std::vector<float>* channel) {
    const double pole = std::exp(-2.0 * M_PI * 15.0 / music::kSampleRate);
    double previous_in = 0, previous_out = 0;
    for (float& s : *channel) {
        double out = s - previous_in + pole * previous_out;
        previous_in = s;
        previous_out = out;
        s = float(out);
    }
}

// Brings the mix to the target loudness under the peak ceiling: the limiter eats a
// little loudness, so the gain is re-aimed a few times from the unlimited mix.
music::Stereo master_mix(music::Stereo mix, double ceiling_dbfs) {
    remove_dc(&mix.left);
    remove_dc(&mix.right);
    const float ceiling = float(std::pow(10.0, ceiling_dbfs / 20.0));
    double gain_db = kTargetLufs - music::integrated_loudness(mix.left, mix.right, music::kSampleRate);
    music::Stereo out;
    for (int pass = 0; pass < 4; ++pass) {
        out = mix;
        scale(&out, std::pow(10.0, gain_db / 20.0));
        music::limit_peaks(&out.left, &out.right, ceiling, music::kSampleRate);
        gain_db += kTargetLufs - music::integrated_loudness(out.left, out.right, music::kSampleRate);
    }
    // The last chord and its reverb have died away by now; make the end exactly silent.
    const double silent_at = music::kSilentFromFileSeconds;
    for (size_t i = 0; i < out.left.size(); ++i) {
        double t = double(i) / music::kSampleRate;
        double fade = t >= silent_at ? 0.0
                      : t > silent_at - kFadeSeconds ? 0.5 + 0.5 * std::cos(M_PI * (t - (silent_at - kFadeSeconds)) / kFadeSeconds)
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
    music::Stereo mix;
    if (!music::render_march(&mix, &error)) {
        std::fprintf(stderr, "make-music: score error: %s\n", error.c_str());
        return 1;
    }
    music::Stereo mastered;
    std::vector<unsigned char> bytes;
    double ceiling_dbfs = kPcmCeilingDbfs, true_peak = 0;
    for (int attempt = 0; attempt < kMasteringAttempts; ++attempt) {
        mastered = master_mix(mix, ceiling_dbfs);
        music::Stereo decoded;
        int rate = 0;
        if (!music::encode_vorbis(mastered, music::kSampleRate, kVorbisQuality, &bytes, &error) ||
            !music::decode_vorbis(bytes, &decoded, &rate, &error)) {
            std::fprintf(stderr, "make-music: %s\n", error.c_str());
            return 1;
        }
        true_peak = music::true_peak_dbtp(decoded.left, decoded.right, rate);
        if (true_peak <= kMaxTruePeakDbtp - kTruePeakMarginDb) break;
        ceiling_dbfs -= true_peak - (kMaxTruePeakDbtp - kTruePeakMarginDb);
    }
    if (true_peak > kMaxTruePeakDbtp) {
        std::fprintf(stderr, "make-music: decoded true peak %.2f dBTP stays above %.1f dBTP\n", true_peak,
                     kMaxTruePeakDbtp);
        return 1;
    }
    if (!music::write_file(argv[1], bytes, &error)) {
        std::fprintf(stderr, "make-music: %s\n", error.c_str());
        return 1;
    }
    std::printf("make-music: wrote %s: %.2f s, PCM peak %.2f dBFS, decoded true peak %.2f dBTP, %.2f LUFS, %zu bytes\n",
                argv[1], double(mastered.left.size()) / music::kSampleRate,
                music::peak_dbfs(mastered.left, mastered.right), true_peak,
                music::integrated_loudness(mastered.left, mastered.right, music::kSampleRate), bytes.size());
    return 0;
}
