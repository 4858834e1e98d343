// music-check: decodes an Ogg Vorbis file and measures it against the show's rules:
// 129-131 s long, peaks at or below -1 dBFS, about -16 LUFS, silent from show time
// 130 s, and every bass-drum stroke of the score heard on the 96 bpm grid anchored
// at show time 4 s.
// Prints the measurements, then the failed rules; exits non-zero if any failed.
#include <cmath>
#include <cstdio>
#include <string>

#include "master.h"
#include "score.h"
#include "synth.h"
#include "vorbis_io.h"

namespace {

constexpr double kMinSeconds = 129.0, kMaxSeconds = 131.0;
constexpr double kMaxPeakDbfs = -1.0;
constexpr double kTargetLufs = -16.0, kLufsTolerance = 1.0;
constexpr double kSilenceDbfs = -60.0;
constexpr double kMatchWindowSeconds = 0.015;
constexpr double kMeanOffsetSeconds = 0.005;

double show_time(double file_seconds) { return file_seconds + music::kPlayerLeadInSeconds; }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.ogg\n", argc > 0 ? argv[0] : "music-check");
        return 2;
    }
    std::vector<unsigned char> bytes;
    music::Stereo pcm;
    int rate = 0;
    std::string error;
    if (!music::read_file(argv[1], &bytes, &error) || !music::decode_vorbis(bytes, &pcm, &rate, &error)) {
        std::fprintf(stderr, "music-check: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    if (rate != music::kSampleRate) {
        std::fprintf(stderr, "music-check: %s: %d Hz, expected %d Hz\n", argv[1], rate, music::kSampleRate);
        return 1;
    }
    const double seconds = double(pcm.left.size()) / rate;
    const double peak = music::peak_dbfs(pcm.left, pcm.right);
    const double lufs = music::integrated_loudness(pcm.left, pcm.right, rate);
    size_t clipped = 0;
    for (const auto* channel : {&pcm.left, &pcm.right})
        for (float s : *channel) clipped += std::fabs(s) >= 1.0f;
    music::Stereo tail;
    size_t silent_from = size_t(music::kSilentFromFileSeconds * rate);
    if (silent_from < pcm.left.size()) {
        tail.left.assign(pcm.left.begin() + long(silent_from), pcm.left.end());
        tail.right.assign(pcm.right.begin() + long(silent_from), pcm.right.end());
    }
    const double tail_peak = music::peak_dbfs(tail.left, tail.right);

    std::printf("%s: %.3f s, %zu bytes, peak %.2f dBFS, %zu clipped samples, %.2f LUFS integrated\n", argv[1],
                seconds, bytes.size(), peak, clipped, lufs);
    std::printf("after show time 130 s: peak %.1f dBFS\n\n%-18s %8s %8s %8s\n", tail_peak, "section", "show s",
                "to s", "LUFS");
    std::vector<double> power = music::k_weighted_power(pcm.left, pcm.right, rate);
    double bar = music::kFirstBar;
    for (const music::Section& section : music::kScore) {
        double from = music::bar_to_file_seconds(bar), to = music::bar_to_file_seconds(bar + section.bars);
        std::printf("%-18s %8.2f %8.2f %8.1f\n", section.name, show_time(from), show_time(to),
                    music::window_loudness(power, size_t(std::max(0.0, from) * rate), size_t(to * rate)));
        bar += section.bars;
    }

    // Each bass-drum stroke the score asks for should find a low-band onset close by.
    std::vector<double> onsets = music::low_band_onsets(pcm.left, pcm.right, rate);
    size_t strokes = 0, matched = 0;
    double worst = 0, sum = 0;
    bar = music::kFirstBar;
    for (const music::Section& section : music::kScore) {
        for (int b = 0; b < section.bars && section.orch.kick > 0; ++b) {
            for (int beat = 0; beat < (section.orch.kick_both_beats ? 2 : 1); ++beat) {
                double intended = music::bar_to_file_seconds(bar + b + 0.5 * beat);
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
    double mean = matched ? sum / double(matched) : 0;
    std::printf("\nbass drum: %zu strokes in the score, %zu heard within %.0f ms, mean offset %+.1f ms, worst %.1f ms\n",
                strokes, matched, kMatchWindowSeconds * 1000, mean * 1000, worst * 1000);

    int failures = 0;
    auto require = [&](bool ok, const char* rule) {
        if (!ok) { std::printf("FAIL: %s\n", rule); ++failures; }
    };
    require(seconds >= kMinSeconds && seconds <= kMaxSeconds, "duration between 129 and 131 s");
    require(peak <= kMaxPeakDbfs, "peak at or below -1 dBFS");
    require(clipped == 0, "no clipped samples");
    require(std::fabs(lufs - kTargetLufs) <= kLufsTolerance, "integrated loudness within 1 LU of -16 LUFS");
    require(tail_peak <= kSilenceDbfs, "silent from show time 130 s");
    require(strokes > 0 && matched * 20 >= strokes * 19, "nineteen in twenty bass-drum strokes heard on time");
    require(std::fabs(mean) <= kMeanOffsetSeconds, "bass drum on average within 5 ms of the grid");
    if (!failures) std::printf("all checks passed\n");
    return failures ? 1 : 0;
}
