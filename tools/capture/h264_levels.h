// H.264 levels as the export uses them: which level a picture size, rate
// and bitrate cap need, and the figures that tell whether a finished stream
// keeps to its level. Pure arithmetic, any thread; header-only so the
// measuring tool shares it.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>

struct H264Level {
  int idc;  // level_idc: 10 x the level number (41 for 4.1)
  int64_t macroblocksPerSecond;
  int64_t frameMacroblocks;
  int64_t bitRateKbit;  // MaxBR for Baseline and Main, kbit/s
  int64_t bufferKbit;   // MaxCPB for Baseline and Main, kbit
};

// The H.264 level limits (Annex A, table A-1) without level 1b.
inline constexpr H264Level kH264Levels[] = {
    {10, 1485, 99, 64, 175},
    {11, 3000, 396, 192, 500},
    {12, 6000, 396, 384, 1000},
    {13, 11880, 396, 768, 2000},
    {20, 11880, 396, 2000, 2000},
    {21, 19800, 792, 4000, 4000},
    {22, 20250, 1620, 4000, 4000},
    {30, 40500, 1620, 10000, 10000},
    {31, 108000, 3600, 14000, 14000},
    {32, 216000, 5120, 20000, 20000},
    {40, 245760, 8192, 20000, 25000},
    {41, 245760, 8192, 50000, 62500},
    {42, 522240, 8704, 50000, 62500},
    {50, 589824, 22080, 135000, 135000},
    {51, 983040, 36864, 240000, 240000},
    {52, 2073600, 36864, 240000, 240000},
    {60, 4177920, 139264, 240000, 240000},
    {61, 8355840, 139264, 480000, 480000},
    {62, 16711680, 139264, 800000, 800000},
};
inline constexpr const H264Level& kHighestH264Level = kH264Levels[std::size(kH264Levels) - 1];

// The High profile (which x264 writes for 8-bit 4:2:0) may use 1.25 times
// the Main profile's bitrate and buffer.
inline int64_t HighProfileBitRate(const H264Level& level) { return level.bitRateKbit * 1250; }
inline int64_t HighProfileBufferBits(const H264Level& level) { return level.bufferKbit * 1250; }

// The level with this level_idc, or null.
inline const H264Level* FindH264Level(int idc) {
  for (const H264Level& level : kH264Levels)
    if (level.idc == idc) return &level;
  return nullptr;
}

// True when width x height pixels at fps pictures a second fit the level's
// picture size (in area and, at most sqrt(8 x area) macroblocks, along
// either side) and macroblock rate.
inline bool H264LevelAdmitsPictures(const H264Level& level, int32_t width, int32_t height,
                                    int32_t fps) {
  const int64_t across = (width + 15) / 16, down = (height + 15) / 16;
  const int64_t side =
      static_cast<int64_t>(std::sqrt(8.0 * static_cast<double>(level.frameMacroblocks)));
  return across * down <= level.frameMacroblocks && across <= side && down <= side &&
         across * down * fps <= level.macroblocksPerSecond;
}

// The lowest level, at least lowestIdc, that admits the pictures and a
// decoder buffer of bufferBits filled at bitRate bits/s in High profile.
// null when no level does.
inline const H264Level* LowestH264Level(int32_t width, int32_t height, int32_t fps, int64_t bitRate,
                                        int64_t bufferBits, int lowestIdc) {
  for (const H264Level& level : kH264Levels) {
    if (level.idc >= lowestIdc && H264LevelAdmitsPictures(level, width, height, fps) &&
        bitRate <= HighProfileBitRate(level) && bufferBits <= HighProfileBufferBits(level)) {
      return &level;
    }
  }
  return nullptr;
}

struct BitrateFigures {
  double meanBitsPerSecond = 0.0;
  double peakBitsPerSecond = 0.0;  // the most bits in any fps consecutive pictures
};

// From the coded size in bytes of each picture, in decoding order.
inline BitrateFigures MeasureBitrate(const int64_t* bytes, int64_t count, int32_t fps) {
  BitrateFigures figures;
  if (count <= 0 || fps <= 0) return figures;
  const int64_t window = std::min<int64_t>(count, fps);
  int64_t total = 0, inWindow = 0, most = 0;
  for (int64_t i = 0; i < count; ++i) {
    total += bytes[i];
    inWindow += bytes[i];
    if (i >= window) inWindow -= bytes[i - window];
    if (i >= window - 1) most = std::max(most, inWindow);
  }
  figures.meanBitsPerSecond = 8.0 * static_cast<double>(total) * fps / static_cast<double>(count);
  figures.peakBitsPerSecond = 8.0 * static_cast<double>(most) * fps / static_cast<double>(window);
  return figures;
}

// The pictures a decoder's buffer of bufferBits, filled at bitRate bits/s
// and full at the start, would not hold whole when their turn came.
inline int64_t CountBufferUnderflows(const int64_t* bytes, int64_t count, int32_t fps,
                                     int64_t bitRate, int64_t bufferBits) {
  double fullness = static_cast<double>(bufferBits);
  int64_t underflows = 0;
  for (int64_t i = 0; i < count; ++i) {
    const double bits = 8.0 * static_cast<double>(bytes[i]);
    if (bits > fullness) {
      ++underflows;
      fullness = 0.0;
    } else {
      fullness -= bits;
    }
    fullness =
        std::min(static_cast<double>(bufferBits), fullness + static_cast<double>(bitRate) / fps);
  }
  return underflows;
}
