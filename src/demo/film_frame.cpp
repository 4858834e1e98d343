// Timeline and film-frame state. The constants below are the single-precision
// values the look was tuned with; formulas are evaluated in double precision
// and rounded to single where a value is stored.
#include "demo/film_frame.h"

#include <cmath>

#include "common/show_random.h"

namespace {
constexpr double kSingle0_9 = 0.8999999761581421;      // float(0.9)
constexpr double kFlickerSpan = 0.20000004768371582;   // float(1.1) - float(0.9)
constexpr double kFirstPassSpan = 0.3999999761581421;  // float(0.9) - 0.5
constexpr double kSingle0_2 = 0.20000000298023224;     // float(0.2)
constexpr double kWeave = 0.0024999999441206455;       // float(0.0025)

double SingleOf(double value) { return static_cast<float>(value); }

using A = SceneAction;
}  // namespace

constexpr TimelineSection Timeline[kSectionCount] = {
    {0, 2, A::kWhiteFadeIn, 0, 0, 0},    {2, 4, A::kFilmWriting, 4, 0, 0},
    {4, 9, A::kTitleCard, 5, 0, 0},      {9, 14, A::kTitleCard, 6, 0, 0},
    {14, 19, A::kTitleCard, 17, 0, 0},   {19, 24, A::kTitleCard, 18, 0, 0},
    {24, 29, A::kTitleCard, 19, 0, 0},   {29, 34, A::kTitleCard, 11, 0, 0},
    {34, 39, A::kStarTunnel, 0, 0, 0},   {39, 44, A::kPlanes, 0, 0, 0},
    {44, 49, A::kTitleCard, 10, 0, 0},   {49, 54, A::kBrickTunnel, 0, 1.0f, 0.0f},
    {54, 59, A::kTitleCard, 7, 0, 0},    {59, 64, A::kMetaballs, 0, 0, 0},
    {64, 69, A::kTitleCard, 10, 0, 0},   {69, 74, A::kCube, 0, 0, 0},
    {74, 79, A::kTitleCard, 8, 0, 0},    {79, 84, A::kTexturedCube, 0, 0, 0},
    {84, 89, A::kTitleCard, 9, 0, 0},    {89, 94, A::kBrickTunnel, 0, -2.0f, 2.0f},
    {94, 99, A::kTitleCard, 12, 0, 0},   {99, 104, A::kScreenZoom, 0, 0, 0},
    {104, 109, A::kTitleCard, 14, 0, 0}, {109, 114, A::kMetaballs, 0, 0, 0},
    {114, 119, A::kTitleCard, 15, 0, 0}, {119, 124, A::kTitleCard, 16, 0, 0},
    {124, 129, A::kTitleCard, 13, 0, 0}, {129, 131, A::kWhiteBurnOut, 0, 0, 0},
};

namespace {
// The rows follow each other from 0 s without gaps, and none is empty (a
// row left out of the table would be all zeros).
constexpr bool SectionsFollowEachOther() {
  int end = 0;
  for (const TimelineSection& section : Timeline) {
    if (section.from != end || section.to <= section.from) return false;
    end = section.to;
  }
  return true;
}
static_assert(SectionsFollowEachOther());

constexpr const TimelineSection& kFadeIn = Timeline[0];
constexpr const TimelineSection& kFadeOut = Timeline[kSectionCount - 1];
static_assert(kFadeIn.action == A::kWhiteFadeIn && kFadeOut.action == A::kWhiteBurnOut);

// Each fade is a quarter ellipse over its section's length L: the squared
// distance into it is scaled by 1 / L^2.
constexpr double QuarterEllipseScale(const TimelineSection& section) {
  return 1.0 / (static_cast<double>(section.to - section.from) * (section.to - section.from));
}

// Quarter-ellipse from 0 at the start of the fade-in to 1 at its end.
double FadeInFactor(double directorTime) {
  constexpr double kEnd = kFadeIn.to;
  constexpr double kScale = QuarterEllipseScale(kFadeIn);
  return std::sqrt(1.0 - (directorTime - kEnd) * kScale * (directorTime - kEnd));
}
}  // namespace

constexpr double kShowEnd = kFadeOut.to;
constexpr double kFadeOutStart = kFadeOut.from;

float PictureHalfWidth(double aspectRatio) {
  return static_cast<float>(aspectRatio * 0.5 * 3.0 * 0.25);
}

const TimelineSection* FindSection(double directorTime) {
  for (const TimelineSection& section : Timeline) {
    // NaN fails both tests and so matches nothing.
    if (directorTime >= section.from && directorTime < section.to) return &section;
  }
  return nullptr;
}

double FlickerBrightness(double u) { return SingleOf(u * kFlickerSpan + kSingle0_9); }

DirectorClock ComputeDirectorClock(double demoTime) {
  if (demoTime >= kFadeOutStart) {
    const double elapsed = demoTime - kFadeOutStart;
    const double inside = 1.0 - elapsed * QuarterEllipseScale(kFadeOut) * elapsed;
    // Past the show's end the quarter ellipse has ended: no time, and no light.
    if (!(inside >= 0.0)) return {false, 0.0, 0.0};
    const double f = std::sqrt(inside);
    return {true, kFadeOutStart + f, f};
  }
  const double fade = demoTime < kFadeIn.to ? FadeInFactor(demoTime) : 1.0;
  return {true, demoTime, fade};
}

int32_t FilmFrameNumber(const DirectorClock& clock) {
  if (!clock.valid) return 0;
  return static_cast<int32_t>(clock.directorTime * kFilmFramesPerSecond);
}

double DrawFilmFrameState(FilmFrameState* state, uint32_t* lcg, uint32_t* rand,
                          double aspectRatio) {
  const double brightness = SingleOf(ShowLcgDraw(lcg).u * kFirstPassSpan + 0.5);
  state->scratchImage = kImageFirstScratch + ShowRandDraw(rand) % kScratchImageCount;
  const double mirrorX = (ShowRandDraw(rand) & 1) ? -1.0 : 1.0;
  state->scratchScale[0] = static_cast<float>(aspectRatio * 0.5 * 3.0 * 0.25 * mirrorX);
  state->scratchScale[1] = (ShowRandDraw(rand) & 1) ? -0.5f : 0.5f;
  state->scratchOffset[0] = static_cast<float>(ShowLcgDraw(lcg).s * 0.2 * 3.0 * 0.25 + 0.5);
  state->sceneScale[0] = PictureHalfWidth(aspectRatio);
  state->sceneScale[1] = -0.5f;
  state->scratchOffset[1] = static_cast<float>(ShowLcgDraw(lcg).s * kSingle0_2 + 0.5);
  state->sceneOffset[0] = static_cast<float>(ShowLcgDraw(lcg).s * kWeave / aspectRatio + 0.5);
  state->sceneOffset[1] = static_cast<float>(ShowLcgDraw(lcg).s * kWeave + 0.5);
  state->sceneImage = kNoImage;
  return brightness;
}

void ApplyFilmWritingCard(FilmFrameState* state, int32_t* startFrame, int32_t frameIndex,
                          double aspectRatio, int image) {
  if (*startFrame == 0) *startFrame = frameIndex;
  state->sceneScale[0] = PictureHalfWidth(aspectRatio);
  state->sceneScale[1] = -0.015625f;  // -0.5 / 32 bands
  const int32_t bandsBack = *startFrame - frameIndex + 15;
  state->sceneOffset[0] = 0.5f;
  state->sceneOffset[1] = static_cast<float>(0.5 - (bandsBack + 0.5) * 0.03125);
  state->sceneImage = image;
}

PassPlan PlanShowPass(DirectorState* director, uint32_t* lcg, uint32_t* rand, double demoTime,
                      double aspectRatio) {
  PassPlan plan{false, false, nullptr, FlickerBrightness(ShowLcgDraw(lcg).u)};
  const DirectorClock clock = ComputeDirectorClock(demoTime);
  plan.brightness *= clock.fade;
  const int32_t frame = FilmFrameNumber(clock);
  const bool changed = frame != director->FilmFrameIndex;
  director->FilmFrameIndex = frame;
  if (!changed) return plan;

  plan.newFilmFrame = true;
  plan.brightness = DrawFilmFrameState(&director->frame, lcg, rand, aspectRatio);
  plan.section = clock.valid ? FindSection(clock.directorTime) : nullptr;
  if (!plan.section) {
    plan.timelineEnded = true;
    return plan;
  }
  switch (plan.section->action) {
    case SceneAction::kWhiteFadeIn: plan.brightness *= FadeInFactor(clock.directorTime); break;
    case SceneAction::kWhiteBurnOut: plan.brightness *= clock.directorTime; break;
    case SceneAction::kTitleCard: director->frame.sceneImage = plan.section->image; break;
    case SceneAction::kFilmWriting:
      ApplyFilmWritingCard(&director->frame, &director->FilmWritingStartFrame, frame, aspectRatio,
                           plan.section->image);
      break;
    default: break;  // the effects draw into the scene target
  }
  return plan;
}
