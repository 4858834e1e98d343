// The show's random sequences, the start-up tables and the director's plan:
// brightness, fades, show time, film frame numbers, the timeline and the
// film-frame state, checked against worked examples.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "common/show_random.h"
#include "demo/film_frame.h"

namespace {
uint32_t RandStateAfter(int draws) {
  uint32_t state = kShowRandStart;
  for (int i = 0; i < draws; ++i) ShowRandDraw(&state);
  return state;
}
}  // namespace

TEST(ShowRandom, SequencesAndStartUpTables) {
  uint32_t rand = kShowRandStart;
  EXPECT_EQ(ShowRandDraw(&rand), 41);
  EXPECT_EQ(ShowRandDraw(&rand), 18467);
  EXPECT_EQ(ShowRandDraw(&rand), 6334);
  EXPECT_EQ(ShowRandDraw(&rand), 26500);

  uint32_t tables = kShowRandStart;
  float motion[64], positions[32];
  FillBallTables(&tables, motion, positions);
  EXPECT_NEAR(motion[0], -0.9974975f, 1e-6);
  EXPECT_NEAR(motion[1], 0.1271706f, 1e-6);
  EXPECT_NEAR(motion[2], -0.6133915f, 1e-6);
  EXPECT_NEAR(motion[3], 0.6174810f, 1e-6);
  // Ball 0 comes from draws 65 and 66 (288 and 30106).
  EXPECT_NEAR(positions[0], -1.3098952f, 1e-6);
  EXPECT_NEAR(positions[1], 0.8375805f, 1e-6);
  for (float value : motion) EXPECT_TRUE(value >= -1.0f && value <= 1.0f);
  // The director continues with draw 97.
  EXPECT_EQ(tables, RandStateAfter(96));
  EXPECT_EQ(ShowRandDraw(&tables), 16118);

  uint32_t lcg = kShowLcgSeed;
  const LcgDraw first = ShowLcgDraw(&lcg);
  EXPECT_NEAR(first.u, 0.0541146, 1e-7);
  EXPECT_EQ(lcg, 3334503126u);
  uint32_t zeroLow = 0x12800000u;  // low 23 bits clear
  const LcgDraw edge = ShowLcgDraw(&zeroLow);
  EXPECT_EQ(edge.u, 0.0);
  EXPECT_EQ(edge.s, -1.0);
}

TEST(DirectorPlan, BrightnessAndClockAcrossTheShow) {
  EXPECT_NEAR(FlickerBrightness(0.0541146), 0.91082287, 1e-7);
  EXPECT_EQ(FlickerBrightness(0.0), 0.8999999761581421);

  EXPECT_EQ(ComputeDirectorClock(0.0).fade, 0.0);
  EXPECT_NEAR(ComputeDirectorClock(1.0).fade, 0.8660254, 1e-7);
  EXPECT_EQ(ComputeDirectorClock(2.0).fade, 1.0);
  EXPECT_EQ(FilmFrameNumber(ComputeDirectorClock(2.0)), 32);
  EXPECT_EQ(FilmFrameNumber(ComputeDirectorClock(4.0)), 64);
  EXPECT_EQ(FilmFrameNumber(ComputeDirectorClock(128.99)), 2063);

  // From 129 s the show time runs back from 130 to 129 along a quarter ellipse.
  const DirectorClock at129 = ComputeDirectorClock(129.0);
  EXPECT_EQ(at129.directorTime, 130.0);
  EXPECT_EQ(FilmFrameNumber(at129), 2080);
  const DirectorClock at130 = ComputeDirectorClock(130.0);
  EXPECT_NEAR(at130.directorTime, 129.8660254, 1e-7);
  EXPECT_EQ(FilmFrameNumber(at130), 2077);
  const DirectorClock at131 = ComputeDirectorClock(131.0);
  EXPECT_TRUE(at131.valid);
  EXPECT_EQ(at131.directorTime, 129.0);
  EXPECT_EQ(at131.fade, 0.0);
  EXPECT_EQ(FilmFrameNumber(at131), 2064);

  for (double late : {131.0001, 140.0, 1e9}) {
    const DirectorClock clock = ComputeDirectorClock(late);
    EXPECT_FALSE(clock.valid);
    EXPECT_EQ(FilmFrameNumber(clock), 0);
    EXPECT_EQ(clock.fade, 0.0);
  }
}

TEST(DirectorPlan, TimelineBoundaries) {
  for (int i = 0; i < kSectionCount; ++i) {
    const TimelineSection& section = Timeline[i];
    EXPECT_EQ(FindSection(section.from), &section) << "section " << i + 1;
    EXPECT_EQ(FindSection(std::nextafter(double(section.to), 0.0)), &section) << "section " << i + 1;
    if (i + 1 < kSectionCount) {
      EXPECT_EQ(section.to, Timeline[i + 1].from);
    }
  }
  EXPECT_EQ(FindSection(2.0)->action, SceneAction::kFilmWriting);
  EXPECT_EQ(FindSection(4.0)->image, 5);
  EXPECT_EQ(FindSection(44.0)->image, 10);
  EXPECT_EQ(FindSection(64.0)->image, 10);
  EXPECT_EQ(FindSection(89.0)->tRate, -2.0f);
  EXPECT_EQ(FindSection(89.0)->vRate, 2.0f);
  EXPECT_EQ(FindSection(130.9)->action, SceneAction::kWhiteBurnOut);
  EXPECT_EQ(FindSection(131.0), nullptr);
  EXPECT_EQ(FindSection(std::nan("")), nullptr);
  EXPECT_EQ(FindSection(-0.5), nullptr);
}

TEST(DirectorPlan, NewFilmFrameStateMatchesWorkedExample) {
  DirectorState director{};
  uint32_t lcg = kShowLcgSeed;
  uint32_t rand = RandStateAfter(96);  // next draws: 16118, 2082, 22929
  const PassPlan plan = PlanShowPass(&director, &lcg, &rand, 5.0, 16.0 / 9.0);

  ASSERT_TRUE(plan.newFilmFrame);
  EXPECT_FALSE(plan.timelineEnded);
  EXPECT_NEAR(plan.brightness, 0.70149946, 1e-7);
  const FilmFrameState& s = director.frame;
  EXPECT_EQ(s.scratchImage, 22);  // images/f3.png
  EXPECT_NEAR(s.scratchScale[0], 0.6666667f, 1e-7);
  EXPECT_EQ(s.scratchScale[1], -0.5f);
  EXPECT_NEAR(s.scratchOffset[0], 0.5010950f, 1e-6);
  EXPECT_NEAR(s.scratchOffset[1], 0.6378840f, 1e-6);
  EXPECT_NEAR(s.sceneScale[0], 0.6666667f, 1e-7);
  EXPECT_EQ(s.sceneScale[1], -0.5f);
  EXPECT_NEAR(s.sceneOffset[0], 0.4987143f, 1e-6);
  EXPECT_NEAR(s.sceneOffset[1], 0.4980606f, 1e-6);
  EXPECT_EQ(s.sceneImage, 5);  // the 4-9 s card
  EXPECT_EQ(lcg, 2268879450u);
  EXPECT_EQ(director.FilmFrameIndex, 80);

  // The next pass in the same film frame keeps the state and only flickers.
  const FilmFrameState kept = s;
  const PassPlan again = PlanShowPass(&director, &lcg, &rand, 5.01, 16.0 / 9.0);
  EXPECT_FALSE(again.newFilmFrame);
  EXPECT_GE(again.brightness, 0.9);
  EXPECT_LT(again.brightness, 1.1);
  EXPECT_EQ(std::memcmp(&kept, &director.frame, sizeof kept), 0);
}

TEST(DirectorPlan, FilmWritingShowsOneBandPerFilmFrameWithoutWeave) {
  DirectorState director{};
  director.FilmFrameIndex = 31;
  uint32_t lcg = kShowLcgSeed, rand = kShowRandStart;
  for (int n = 0; n < 32; ++n) {
    const double time = 2.0 + n / 16.0 + 0.01;
    const PassPlan plan = PlanShowPass(&director, &lcg, &rand, time, 4.0 / 3.0);
    ASSERT_TRUE(plan.newFilmFrame);
    EXPECT_EQ(director.FilmWritingStartFrame, 32);
    EXPECT_EQ(director.frame.sceneImage, 4);
    EXPECT_EQ(director.frame.sceneScale[0], 0.5f);
    EXPECT_EQ(director.frame.sceneScale[1], -0.015625f);
    EXPECT_EQ(director.frame.sceneOffset[0], 0.5f);
    EXPECT_FLOAT_EQ(director.frame.sceneOffset[1], (n + 0.5f) / 32.0f) << "band " << n;
  }
  // The next film frame is the first title card, woven again.
  PlanShowPass(&director, &lcg, &rand, 4.01, 4.0 / 3.0);
  EXPECT_EQ(director.frame.sceneImage, 5);
  EXPECT_EQ(director.frame.sceneScale[1], -0.5f);
}

TEST(DirectorPlan, FadesBurnOutAndQuit) {
  DirectorState director{};
  uint32_t lcg = kShowLcgSeed, rand = kShowRandStart;

  // Before the first film frame nothing is drawn and the fade-in darkens.
  PassPlan plan = PlanShowPass(&director, &lcg, &rand, 0.01, 1.0);
  EXPECT_FALSE(plan.newFilmFrame);
  EXPECT_LT(plan.brightness, 0.2);
  // A white fade-in frame: the first-pass value times the fade-in.
  plan = PlanShowPass(&director, &lcg, &rand, 1.0, 1.0);
  ASSERT_TRUE(plan.newFilmFrame);
  EXPECT_EQ(plan.section->action, SceneAction::kWhiteFadeIn);
  EXPECT_GE(plan.brightness, 0.5 * 0.8660254);
  EXPECT_LT(plan.brightness, 0.9 * 0.8660255);

  // Burn-out: the first pass of a film frame is multiplied by the show time.
  director.FilmFrameIndex = 2063;
  plan = PlanShowPass(&director, &lcg, &rand, 129.0, 1.0);
  ASSERT_TRUE(plan.newFilmFrame);
  EXPECT_EQ(director.FilmFrameIndex, 2080);
  EXPECT_GE(plan.brightness, 0.5 * 130.0);
  EXPECT_LT(plan.brightness, 0.9 * 130.0);
  EXPECT_FALSE(plan.timelineEnded);

  // At exactly 131 s the white scene still runs; just after, the show quits.
  plan = PlanShowPass(&director, &lcg, &rand, 131.0, 1.0);
  EXPECT_FALSE(plan.timelineEnded);
  EXPECT_EQ(plan.section->action, SceneAction::kWhiteBurnOut);
  plan = PlanShowPass(&director, &lcg, &rand, 131.02, 1.0);
  EXPECT_TRUE(plan.newFilmFrame);
  EXPECT_TRUE(plan.timelineEnded);
  EXPECT_EQ(plan.section, nullptr);
  EXPECT_TRUE(std::isfinite(plan.brightness));
  EXPECT_GE(plan.brightness, 0.5);
  // The pass after the quit request: no new film frame, still a finite, dark value.
  plan = PlanShowPass(&director, &lcg, &rand, 131.04, 1.0);
  EXPECT_FALSE(plan.newFilmFrame);
  EXPECT_EQ(plan.brightness, 0.0);
}
