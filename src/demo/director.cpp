// The director's GL side: carries out the plan that film_frame.cpp makes.
#include "demo/director.h"

#include "common/show_random.h"
#include "common/show_state.h"
#include "demo/effects.h"
#include "demo/projector.h"

DirectorState Director{};

namespace {
void DrawSection(const TimelineSection& section, double demoTime) {
  switch (section.action) {
    case SceneAction::kWhiteFadeIn:
    case SceneAction::kWhiteBurnOut: WhiteSceneEffect(); break;
    case SceneAction::kStarTunnel: StarTunnelEffect(); break;
    case SceneAction::kPlanes: PlanesEffect(); break;
    case SceneAction::kBrickTunnel: BrickTunnelEffect(section.tRate, section.vRate); break;
    case SceneAction::kMetaballs: MetaballsEffect(); break;
    case SceneAction::kCube: CubeEffect(); break;
    case SceneAction::kTexturedCube: TexturedCubeEffect(); break;
    // DirectorTime equals DemoTime in this section; the zoom runs its length.
    case SceneAction::kScreenZoom:
      ScreenEffect((demoTime - section.from) / (section.to - section.from));
      break;
    case SceneAction::kFilmWriting:
    case SceneAction::kTitleCard: break;  // projected straight from the texture set
  }
}
}  // namespace

bool RenderShowPass() {
  const PassPlan plan =
      PlanShowPass(&Director, &ShowLcgState, &ShowRandState, DemoTime, AspectRatio);
  if (plan.newFilmFrame) {
    gl.glBindFramebuffer(GL_FRAMEBUFFER, SceneTarget.framebuffer);
    glViewport(0, 0, SceneTarget.width, SceneTarget.height);
    if (plan.section) DrawSection(*plan.section, DemoTime);
    gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, WindowWidth, WindowHeight);
  }
  ProjectorPass(Director.frame, plan.brightness);
  return plan.timelineEnded;
}
