// Loudness, peak and limiting (see master.h).
#include "master.h"

#include <algorithm>
#include <cmath>
#include <deque>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Biquad {
  double b0, b1, b2, a1, a2;
  double z1 = 0, z2 = 0;
  double Run(double x) {
    double y = b0 * x + z1;
    z1 = b1 * x - a1 * y + z2;
    z2 = b2 * x - a2 * y;
    return y;
  }
};

// BS.1770 stage 1: the head's high-shelf (+4 dB above ~1.7 kHz), derived for any rate.
Biquad HeadShelf(int rate) {
  const double f0 = 1681.974450955533, gainDb = 3.999843853973347, q = 0.7071752369554196;
  double k = std::tan(kPi * f0 / rate);
  double vh = std::pow(10.0, gainDb / 20.0), vb = std::pow(vh, 0.4996667741545416);
  double a0 = 1.0 + k / q + k * k;
  return {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
          2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
}

// BS.1770 stage 2: the revised low-frequency B-weighting high-pass (~38 Hz).
Biquad RlbHighpass(int rate) {
  const double f0 = 38.13547087602444, q = 0.5003270373238773;
  double k = std::tan(kPi * f0 / rate);
  double a0 = 1.0 + k / q + k * k;
  return {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
}

double ToLufs(double meanPower) {
  return meanPower > 0 ? -0.691 + 10.0 * std::log10(meanPower) : kSilenceLufs;
}

}  // namespace

std::vector<double> KWeightedPower(const std::vector<float>& left, const std::vector<float>& right,
                                   int rate) {
  std::vector<double> power(std::min(left.size(), right.size()), 0.0);
  for (const std::vector<float>* channel : {&left, &right}) {
    Biquad shelf = HeadShelf(rate), highpass = RlbHighpass(rate);
    for (size_t i = 0; i < power.size(); ++i) {
      double y = highpass.Run(shelf.Run((*channel)[i]));
      power[i] += y * y;
    }
  }
  return power;
}

double WindowLoudness(const std::vector<double>& power, size_t begin, size_t end) {
  end = std::min(end, power.size());
  if (begin >= end) return kSilenceLufs;
  double sum = 0;
  for (size_t i = begin; i < end; ++i) sum += power[i];
  return ToLufs(sum / double(end - begin));
}

double IntegratedLoudness(const std::vector<float>& left, const std::vector<float>& right,
                          int rate) {
  std::vector<double> power = KWeightedPower(left, right, rate);
  const size_t block = size_t(0.4 * rate), step = size_t(0.1 * rate);
  std::vector<double> prefix(power.size() + 1, 0.0);
  for (size_t i = 0; i < power.size(); ++i) prefix[i + 1] = prefix[i] + power[i];
  std::vector<double> blocks;
  for (size_t start = 0; start + block <= power.size(); start += step) {
    double mean = (prefix[start + block] - prefix[start]) / double(block);
    if (ToLufs(mean) > -70.0) blocks.push_back(mean);
  }
  if (blocks.empty()) return kSilenceLufs;
  double sum = 0;
  for (double b : blocks) sum += b;
  const double relativeGate = ToLufs(sum / double(blocks.size())) - 10.0;
  double gatedSum = 0;
  size_t gated = 0;
  for (double b : blocks)
    if (ToLufs(b) > relativeGate) {
      gatedSum += b;
      ++gated;
    }
  return gated ? ToLufs(gatedSum / double(gated)) : kSilenceLufs;
}

double PeakDbfs(const std::vector<float>& left, const std::vector<float>& right) {
  float peak = 0;
  for (float s : left) peak = std::max(peak, std::fabs(s));
  for (float s : right) peak = std::max(peak, std::fabs(s));
  return peak > 0 ? 20.0 * std::log10(double(peak)) : -200.0;
}

void LimitPeaks(std::vector<float>* left, std::vector<float>* right, float ceiling, int rate,
                double lookaheadSeconds, double releaseSeconds) {
  const size_t frames = std::min(left->size(), right->size());
  const size_t window = std::max<size_t>(1, size_t(lookaheadSeconds * rate));
  // Gain each frame needs on its own.
  std::vector<double> needed(frames);
  for (size_t i = 0; i < frames; ++i) {
    double peak = std::max(std::fabs((*left)[i]), std::fabs((*right)[i]));
    needed[i] = peak > ceiling ? ceiling / peak : 1.0;
  }
  // Minimum over the coming window, so the gain is already down when a peak arrives
  // (a monotonic deque keeps this linear in time).
  std::vector<double> ahead(frames);
  std::deque<size_t> candidates;
  for (size_t i = frames; i-- > 0;) {
    while (!candidates.empty() && needed[candidates.back()] >= needed[i]) candidates.pop_back();
    candidates.push_back(i);
    while (candidates.front() >= i + window) candidates.pop_front();
    ahead[i] = needed[candidates.front()];
  }
  // Release: the gain may rise only slowly; it may fall at once.
  const double recovery = 1.0 - std::exp(-1.0 / (releaseSeconds * rate));
  double held = 1.0;
  for (size_t i = 0; i < frames; ++i) {
    held = std::min(ahead[i], held + (1.0 - held) * recovery);
    ahead[i] = held;
  }
  // Smooth the fall with a trailing average over the window; every value averaged
  // is at or below the need of the frame the window ends on, so peaks stay capped.
  double running = 0;
  for (size_t i = 0; i < frames; ++i) {
    running += ahead[i];
    if (i >= window) running -= ahead[i - window];
    double gain = running / double(std::min(i + 1, window));
    gain = std::min(gain, needed[i]);  // guards the ramp's float rounding
    (*left)[i] = float((*left)[i] * gain);
    (*right)[i] = float((*right)[i] * gain);
  }
}

std::vector<double> LowBandOnsets(const std::vector<float>& left, const std::vector<float>& right,
                                  int rate) {
  const size_t frames = std::min(left.size(), right.size());
  const size_t hop = size_t(0.005 * rate);
  const double k = std::tan(kPi * 100.0 / rate);
  // Two cascaded one-pole-pair low-passes (Butterworth biquads) at 100 Hz.
  const double a0 = 1.0 + std::sqrt(2.0) * k + k * k;
  Biquad first = {k * k / a0, 2.0 * k * k / a0, k * k / a0, 2.0 * (k * k - 1.0) / a0,
                  (1.0 - std::sqrt(2.0) * k + k * k) / a0};
  Biquad second = first;
  // A peak follower with a 25 ms release rides over the cycles of low notes, so a
  // ringing tail reads as a smooth decay rather than as a string of new attacks.
  const double release = std::exp(-1.0 / (0.025 * rate));
  std::vector<double> level;
  double follower = 0;
  for (size_t i = 0; i < frames; ++i) {
    double y = std::fabs(second.Run(first.Run(0.5 * (double(left[i]) + double(right[i])))));
    follower = std::max(y, follower * release);
    if ((i + 1) % hop == 0) level.push_back(follower);
  }
  double loudest = 0;
  for (double l : level) loudest = std::max(loudest, l);
  std::vector<double> onsets;
  // The baseline ends a few frames back, so a rise spread over several frames (a
  // soft tuba attack, the filter's own delay) still counts as one jump; the onset is
  // then placed on the first of those frames to clear the baseline.
  const size_t history = 6, gap = 4;
  double last = -1.0;
  for (size_t f = history + gap; f < level.size(); ++f) {
    double before = 0;
    for (size_t b = f - history - gap; b < f - gap; ++b) before = std::max(before, level[b]);
    if (level[f] <= 2.0 * before || level[f] <= loudest * 0.01) continue;
    size_t start = f;
    while (start > f - gap && level[start - 1] > 1.25 * before) --start;
    double time = double(start * hop) / rate;
    if (last >= 0 && time - last < 0.08) continue;
    onsets.push_back(time);
    last = time;
  }
  return onsets;
}
