// Level measurement and mastering for stereo PCM: ITU-R BS.1770 K-weighted loudness
// (integrated, with the absolute and relative gates), sample peak, and a look-ahead
// peak limiter. Pure functions on float buffers; used by make-music and music-check.
#pragma once

#include <cstddef>
#include <vector>

// Returned for loudness of silence (everything below the absolute gate).
constexpr double kSilenceLufs = -200.0;

// Per-frame K-weighted power summed over both channels (BS.1770, channel weights 1).
std::vector<double> KWeightedPower(const std::vector<float>& left, const std::vector<float>& right,
                                   int rate);

// Integrated loudness in LUFS: 400 ms blocks overlapping by 75 %, absolute gate at
// -70 LUFS, relative gate 10 LU below the absolutely gated mean. kSilenceLufs if no
// block passes the gates.
double IntegratedLoudness(const std::vector<float>& left, const std::vector<float>& right,
                          int rate);

// Ungated loudness of frames [begin, end) of a KWeightedPower result; kSilenceLufs if empty/silent.
double WindowLoudness(const std::vector<double>& power, size_t begin, size_t end);

// Largest absolute sample over both channels, in dBFS (-inf dB reported as -200).
double PeakDbfs(const std::vector<float>& left, const std::vector<float>& right);

// Scales so that no sample exceeds `ceiling` (linear, > 0): gain drops ahead of each
// peak over `lookaheadSeconds` and recovers over about `releaseSeconds`. Lengths are unchanged.
void LimitPeaks(std::vector<float>* left, std::vector<float>* right, float ceiling, int rate,
                double lookaheadSeconds = 0.005, double releaseSeconds = 0.12);

// Onset times (seconds) in the band below ~100 Hz, where the bass drum and tuba live:
// where the band's peak level jumps by 6 dB over the 30 ms shortly before, within 40 dB
// of the loudest moment, at least 80 ms apart; 5 ms resolution.
std::vector<double> LowBandOnsets(const std::vector<float>& left, const std::vector<float>& right,
                                  int rate);
