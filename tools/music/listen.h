// What a listener hears, measured on decoded stereo PCM: true peak, the stereo
// image (channel correlation), how long the room rings after a chord (reverberation
// time) and how alike two passages sound (spectral similarity of phrases).
// Pure functions on float buffers, used by music-check and the tests; no failure
// modes beyond the documented sentinel values.
#pragma once

#include <cstddef>
#include <vector>

// Highest level between and at the samples, in dBTP: each channel is upsampled 4x
// with a windowed-sinc interpolator (BS.1770 style). -200 for silence.
double TruePeakDbtp(const std::vector<float>& left, const std::vector<float>& right, int rate);

// Pearson correlation of the left and right channels over frames [begin, end):
// 1 = mono, 0 = unrelated, -1 = out of phase. 0 if either channel is silent.
double ChannelCorrelation(const std::vector<float>& left, const std::vector<float>& right,
                          size_t begin, size_t end);

// Reverberation time (s, for a 60 dB fall) of the sound dying away after file time
// `releaseSeconds`: the level in 10 ms frames is referred to its peak over the 300 ms
// before the release, and a straight line is fitted to the decay from 10 dB to 35 dB
// below it (extrapolated to 60 dB). Returns 0 if the decay never spans that range
// before `untilSeconds`.
double ReverberationTime(const std::vector<float>& left, const std::vector<float>& right, int rate,
                         double releaseSeconds, double untilSeconds);

// A phrase as a listener recognises a tune: its chroma (the power of each of the 12
// pitch classes, octaves folded together, 100 Hz to 5 kHz) in 64 frames evenly
// spread over [startSeconds, startSeconds + lengthSeconds), each frame scaled to unit length.
// 64 x 12 values, pitch class 0 = C first.
std::vector<double> PhraseChroma(const std::vector<float>& left, const std::vector<float>& right,
                                 int rate, double startSeconds, double lengthSeconds);

// Similarity of two PhraseChroma results: the mean over frames of the cosine between
// their pitch-class vectors. 1 for the same notes at the same moments (whatever
// the instruments, as long as their overtones match); played by a band, unrelated
// phrases of one key score about 0.35-0.55 and a strain repeated note for note
// about 0.95. 0 if the sizes differ.
double PhraseSimilarity(const std::vector<double>& a, const std::vector<double>& b);
