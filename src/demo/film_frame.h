// The director's pure logic: the timeline, the per-pass brightness and show
// time, the film frame number and the per-film-frame random state. No GL
// calls; the GL side (director.cpp) carries out the plan made here.
// Main thread only.
#pragma once
#include <cstdint>

#include "resources/image_table.h"

inline constexpr int kFilmFramesPerSecond = 16;

// No image: the scene target is projected, or no scratch overlay is bound.
inline constexpr int kNoImage = -1;

// The projection parameters of one film frame, with the pictures as image
// indices. No images and all zero before the first.
struct FilmFrameState {
  int sceneImage = kNoImage;    // a title card; kNoImage projects the scene target
  int scratchImage = kNoImage;  // one of the four scratch overlays
  float sceneScale[2] = {};
  float sceneOffset[2] = {};
  float scratchScale[2] = {};
  float scratchOffset[2] = {};
};

enum class SceneAction {
  kWhiteFadeIn,  // white clear, then the fade-in factor
  kFilmWriting,  // the hand-written title, one band per film frame
  kTitleCard,
  kStarTunnel,
  kPlanes,
  kBrickTunnel,
  kMetaballs,
  kCube,
  kTexturedCube,
  kScreenZoom,
  kWhiteBurnOut,  // white clear, then brightness times the show time
};

struct TimelineSection {
  int from, to;  // whole seconds, [from, to)
  SceneAction action;
  int image;           // image index for title cards
  float tRate, vRate;  // brick tunnel arguments
};
inline constexpr int kSectionCount = 28;
extern const TimelineSection Timeline[kSectionCount];
// From the timeline's rows: the show's end (131 s) and the start of the last
// section, the fade-out (129 s).
extern const double kShowEnd;
extern const double kFadeOutStart;

// The section whose [from, to) holds directorTime, testing in order; null
// when none does (131 s or later, or no value).
const TimelineSection* FindSection(double directorTime);

// 0.375 x aspect: the half-width that keeps a 4:3 picture undistorted, in
// texture units of the window's width.
float PictureHalfWidth(double aspectRatio);

// Flicker from a ShowLcg u: a blend from 0.9 towards 1.1 in single precision.
double FlickerBrightness(double u);

// The show time seen by the timeline, with the fade-out from 129 s on.
struct DirectorClock {
  bool valid;           // false past 131 s, where the fade-out has no value
  double directorTime;  // DemoTime before 129 s, 129 + f from then on
  double fade;          // brightness factor of the fade-in and fade-out
};
DirectorClock ComputeDirectorClock(double demoTime);

// DirectorTime x 16 truncated; 0 when the clock has no value.
int32_t FilmFrameNumber(const DirectorClock& clock);

// Draws a new film frame's state (five ShowLcg and three ShowRand draws) and
// returns its brightness, in [0.5, 0.9). The scratch overlay is one of the
// four from kImageFirstScratch.
double DrawFilmFrameState(FilmFrameState* state, uint32_t* lcg, uint32_t* rand, double aspectRatio);

// The film-writing card: band n = frameIndex - start of the section's first
// frame, one 1/32 band of the texture, without weave.
void ApplyFilmWritingCard(FilmFrameState* state, int32_t* startFrame, int32_t frameIndex,
                          double aspectRatio, int image);

struct DirectorState {
  int32_t FilmFrameIndex;
  int32_t FilmWritingStartFrame;  // 0: not yet taken
  FilmFrameState frame;
};

// What one pass does, decided without GL.
struct PassPlan {
  bool newFilmFrame;
  bool timelineEnded;              // no section for this film frame: the show is over
  const TimelineSection* section;  // drawn when newFilmFrame; null: none
  double brightness;               // for the projector pass
};
PassPlan PlanShowPass(DirectorState* director, uint32_t* lcg, uint32_t* rand, double demoTime,
                      double aspectRatio);
