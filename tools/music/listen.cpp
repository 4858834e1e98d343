// Listener measures (see listen.h).
#include "listen.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Chroma layout: 64 frames (an eighth of a beat apart for a five-second phrase at
// 96 bpm), each from a 93 ms Hann window, 12 pitch classes from 100 Hz to 5 kHz.
constexpr int kChromaFrames = 64;
constexpr int kWindow = 4096;
constexpr double kChromaLowHz = 100.0, kChromaHighHz = 5000.0;

// In-place iterative radix-2 FFT; size must be a power of two.
void Fft(std::vector<std::complex<double>>* data) {
  std::vector<std::complex<double>>& a = *data;
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t length = 2; length <= n; length <<= 1) {
    const std::complex<double> turn = std::polar(1.0, -2.0 * kPi / double(length));
    for (size_t i = 0; i < n; i += length) {
      std::complex<double> w = 1.0;
      for (size_t k = 0; k < length / 2; ++k) {
        std::complex<double> even = a[i + k], odd = a[i + k + length / 2] * w;
        a[i + k] = even + odd;
        a[i + k + length / 2] = even - odd;
        w *= turn;
      }
    }
  }
}

// Chroma: power per pitch class, frame after frame, each frame scaled to unit length
// (a silent frame stays zero).
std::vector<double> ChromaFrames(const std::vector<float>& left, const std::vector<float>& right,
                                 int rate, double startSeconds, double lengthSeconds) {
  const size_t frames = std::min(left.size(), right.size());
  std::vector<double> window(kWindow);
  for (int i = 0; i < kWindow; ++i)
    window[size_t(i)] = 0.5 - 0.5 * std::cos(2.0 * kPi * i / kWindow);
  const double binHz = double(rate) / kWindow;
  std::vector<double> out;
  std::vector<std::complex<double>> spectrum(kWindow);
  for (int frame = 0; frame < kChromaFrames; ++frame) {
    const double centre = startSeconds + (frame + 0.5) * lengthSeconds / kChromaFrames;
    const long first = long(std::lround(centre * rate)) - kWindow / 2;
    for (int i = 0; i < kWindow; ++i) {
      long at = first + i;
      double mono = at >= 0 && size_t(at) < frames
                        ? 0.5 * (double(left[size_t(at)]) + right[size_t(at)])
                        : 0.0;
      spectrum[size_t(i)] = mono * window[size_t(i)];
    }
    Fft(&spectrum);
    double chroma[12] = {};
    for (size_t k = size_t(std::ceil(kChromaLowHz / binHz)); k < size_t(kChromaHighHz / binHz);
         ++k) {
      long nearest = std::lround(69.0 + 12.0 * std::log2(double(k) * binHz / 440.0));
      chroma[nearest % 12] += std::norm(spectrum[k]);
    }
    double norm = 0;
    for (double c : chroma) norm += c * c;
    norm = norm > 0 ? std::sqrt(norm) : 1.0;
    for (double c : chroma) out.push_back(c / norm);
  }
  return out;
}

// Windowed-sinc taps for the sample a quarter, half and three quarters of the way
// to the next one: 32 taps each, Blackman window, unity gain at DC.
constexpr int kTruePeakTaps = 32;

std::vector<std::vector<double>> InterpolationPhases() {
  std::vector<std::vector<double>> phases;
  for (int phase = 1; phase < 4; ++phase) {
    std::vector<double> taps(kTruePeakTaps);
    double sum = 0;
    for (int k = 0; k < kTruePeakTaps; ++k) {
      double x = double(k - kTruePeakTaps / 2 + 1) - phase / 4.0;  // distance from the new point
      double sinc = std::sin(kPi * x) / (kPi * x);
      double w = double(k) + 1.0 - phase / 4.0;  // position inside the window span [0, taps]
      double window = 0.42 - 0.5 * std::cos(2.0 * kPi * w / kTruePeakTaps) +
                      0.08 * std::cos(4.0 * kPi * w / kTruePeakTaps);
      taps[size_t(k)] = sinc * window;
      sum += taps[size_t(k)];
    }
    for (double& t : taps) t /= sum;
    phases.push_back(taps);
  }
  return phases;
}

}  // namespace

double TruePeakDbtp(const std::vector<float>& left, const std::vector<float>& right, int rate) {
  (void)rate;  // 4x of whatever the rate is; the filter is defined in samples
  static const std::vector<std::vector<double>> phases = InterpolationPhases();
  double peak = 0;
  for (const std::vector<float>* channel : {&left, &right}) {
    const std::vector<float>& x = *channel;
    const long n = long(x.size());
    for (long i = 0; i < n; ++i) {
      peak = std::max(peak, double(std::fabs(x[size_t(i)])));
      // Interpolated points between i and i + 1 use samples i - 15 .. i + 16.
      const long first = i - kTruePeakTaps / 2 + 1;
      for (const std::vector<double>& taps : phases) {
        double sum = 0;
        for (int k = 0; k < kTruePeakTaps; ++k) {
          long at = first + k;
          if (at >= 0 && at < n) sum += taps[size_t(k)] * x[size_t(at)];
        }
        peak = std::max(peak, std::fabs(sum));
      }
    }
  }
  return peak > 0 ? 20.0 * std::log10(peak) : -200.0;
}

double ChannelCorrelation(const std::vector<float>& left, const std::vector<float>& right,
                          size_t begin, size_t end) {
  end = std::min(end, std::min(left.size(), right.size()));
  if (begin >= end) return 0;
  double meanL = 0, meanR = 0;
  for (size_t i = begin; i < end; ++i) {
    meanL += left[i];
    meanR += right[i];
  }
  meanL /= double(end - begin);
  meanR /= double(end - begin);
  double lr = 0, ll = 0, rr = 0;
  for (size_t i = begin; i < end; ++i) {
    double l = left[i] - meanL, r = right[i] - meanR;
    lr += l * r;
    ll += l * l;
    rr += r * r;
  }
  return ll > 0 && rr > 0 ? lr / std::sqrt(ll * rr) : 0;
}

double ReverberationTime(const std::vector<float>& left, const std::vector<float>& right, int rate,
                         double releaseSeconds, double untilSeconds) {
  const size_t hop = size_t(rate / 100);
  const size_t frames = std::min(left.size(), right.size());
  auto levelDb = [&](double t) {
    size_t from = size_t(std::max(0.0, t) * rate);
    double power = 0;
    for (size_t i = from; i < from + hop && i < frames; ++i)
      power += double(left[i]) * left[i] + double(right[i]) * right[i];
    return 10.0 * std::log10(power / double(hop) + 1e-30);
  };
  double reference = -300;
  for (double t = releaseSeconds - 0.3; t < releaseSeconds; t += 0.01)
    reference = std::max(reference, levelDb(t));
  // Collect the decay from its first frame 10 dB down to its first frame 35 dB down.
  std::vector<double> times, levels;
  bool started = false;
  for (double t = releaseSeconds; t + 0.01 <= untilSeconds; t += 0.01) {
    double relative = levelDb(t) - reference;
    if (!started && relative > -10.0) continue;
    started = true;
    if (relative <= -35.0) {
      if (times.size() < 5) return 0;
      double meanT = 0, meanL = 0;
      for (size_t k = 0; k < times.size(); ++k) {
        meanT += times[k];
        meanL += levels[k];
      }
      meanT /= double(times.size());
      meanL /= double(times.size());
      double num = 0, den = 0;
      for (size_t k = 0; k < times.size(); ++k) {
        num += (times[k] - meanT) * (levels[k] - meanL);
        den += (times[k] - meanT) * (times[k] - meanT);
      }
      double slope = num / den;  // dB per second, negative for a decay
      return slope < 0 ? -60.0 / slope : 0;
    }
    times.push_back(t);
    levels.push_back(relative);
  }
  return 0;
}

std::vector<double> PhraseChroma(const std::vector<float>& left, const std::vector<float>& right,
                                 int rate, double startSeconds, double lengthSeconds) {
  return ChromaFrames(left, right, rate, startSeconds, lengthSeconds);
}

double PhraseSimilarity(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size() || a.empty() || a.size() % 12 != 0) return 0;
  double sum = 0;
  for (size_t frame = 0; frame < a.size(); frame += 12) {
    double dot = 0;
    for (size_t k = 0; k < 12; ++k) dot += a[frame + k] * b[frame + k];
    sum += dot;
  }
  return sum / double(a.size() / 12);
}
