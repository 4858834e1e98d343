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
    std::printf("after file time %.1f s: peak %.1f dBFS\n\n%-18s %8s %8s %8s\n", music::kSilentFromFileSeconds,
                tail_peak, "section", "show s",
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
    // The listener's view: true peak, stereo image, room, and how alike the phrases are.
    const double true_peak = music::true_peak_dbtp(pcm.left, pcm.right, rate);
    const double correlation = music::channel_correlation(pcm.left, pcm.right, 0, pcm.left.size());
    // The final chord's written release, where the band stops and the room rings on.
    double release = 0;
    {
        double section_bar = music::kFirstBar;
        for (const music::Section& section : music::kScore) {
            std::vector<music::Note> lead;
            std::string why;
            if (music::parse_line(section.lead, section.bars, &lead, &why) && !lead.empty())
                release = music::bar_to_file_seconds(section_bar + (lead.back().start_beats + lead.back().length_beats *
                                                                    section.orch.legato) / music::kBeatsPerBar);
            section_bar += section.bars;
        }
    }
    const double reverb = music::reverberation_time(pcm.left, pcm.right, rate, release, music::kSilentFromFileSeconds);
    const int timbres = music::score_timbre_count();
    std::printf("true peak %.2f dBTP, channel correlation %.3f, reverberation time %.2f s after the final chord "
                "(released at file time %.2f s), %d timbres in the score\n",
                true_peak, correlation, reverb, release, timbres);
    // Every five-second phrase from show time 4 s against every earlier one.
    std::vector<std::vector<double>> phrases;
    double most_similar = 0;
    int repeats = 0;
    for (int phrase = 0; phrase < kPhrases; ++phrase) {
        double start = 4.0 + 5.0 * phrase - music::kPlayerLeadInSeconds;
        phrases.push_back(music::phrase_chroma(pcm.left, pcm.right, rate, start, 5.0));
        double closest = 0;
        int closest_to = -1;
        for (int k = 0; k < phrase; ++k) {
            double s = music::phrase_similarity(phrases.back(), phrases[size_t(k)]);
            if (s > closest) { closest = s; closest_to = k; }
        }
        if (closest_to >= 0)
            std::printf("phrase %2d (show %5.1f s): most like phrase %2d (show %5.1f s), %.3f\n", phrase,
                        4.0 + 5.0 * phrase, closest_to, 4.0 + 5.0 * closest_to, closest);
        most_similar = std::max(most_similar, closest);
        repeats += closest > kMaxPhraseSimilarity;
    }
    std::printf("%d of %d phrases above %.2f like an earlier one\n", repeats, kPhrases, kMaxPhraseSimilarity);
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
    require(true_peak <= kMaxTruePeakDbtp, "true peak at or below -1 dBTP");
    require(std::fabs(lufs - kTargetLufs) <= kLufsTolerance, "integrated loudness within 0.5 LU of -16 LUFS");
    require(tail_peak <= kSilenceDbfs, "silent from file time 129.5 s");
    require(timbres >= kMinTimbres, "at least six timbres in the band");
    require(correlation >= kMinCorrelation && correlation <= kMaxCorrelation, "channel correlation between 0.5 and 0.8");
    require(reverb >= kMinReverbSeconds && reverb <= kMaxReverbSeconds,
            "reverberation time on the final chord between 0.8 and 1.5 s");
    require(repeats == 0, "no phrase more than 0.9 like an earlier one");
    require(strokes > 0 && matched * 20 >= strokes * 19, "nineteen in twenty bass-drum strokes heard on time");
    require(std::fabs(mean) <= kMeanOffsetSeconds, "bass drum on average within 5 ms of the grid");
    if (!failures) std::printf("all checks passed\n");
    return failures ? 1 : 0;
}
