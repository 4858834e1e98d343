// The director's GL side: carries out the plan that film_frame.cpp makes,
// handing each effect and the projector what it draws with.
#include "demo/director.h"

#include "demo/effects.h"
#include "demo/projector.h"

namespace {
// The section's effect at demoTime; a title card draws nothing here.
void DrawSection(Show& show, const TimelineSection& section, double demoTime) {
  const EffectInputs in{demoTime, show.programs, show.textures, show.FullscreenQuad};
  switch (section.action) {
    case SceneAction::kWhiteFadeIn:
    case SceneAction::kWhiteBurnOut: WhiteSceneEffect(); break;
    case SceneAction::kStarTunnel: StarTunnelEffect(in); break;
    case SceneAction::kPlanes: PlanesEffect(in); break;
    case SceneAction::kBrickTunnel: BrickTunnelEffect(in, section.tRate, section.vRate); break;
    case SceneAction::kMetaballs:
      MetaballsEffect(in, show.BallMotionTable, show.BallPositions);
      break;
    case SceneAction::kCube: CubeEffect(in, show.MeshBuffer); break;
    case SceneAction::kTexturedCube: TexturedCubeEffect(in, show.MeshBuffer); break;
    // DirectorTime equals DemoTime in this section; the zoom runs its length.
    case SceneAction::kScreenZoom:
      ScreenEffect(in, (demoTime - section.from) / (section.to - section.from));
      break;
    case SceneAction::kFilmWriting:
    case SceneAction::kTitleCard: break;  // projected straight from the texture set
  }
}
}  // namespace

bool RenderShowPass(Show* show) {
  const PassPlan plan = PlanShowPass(&show->Director, &show->ShowLcgState, &show->ShowRandState,
                                     show->DemoTime, show->screen.AspectRatio);
  if (plan.newFilmFrame) {
    gl.glBindFramebuffer(GL_FRAMEBUFFER, show->SceneTarget.framebuffer);
    glViewport(0, 0, show->SceneTarget.width, show->SceneTarget.height);
    if (plan.section) DrawSection(*show, *plan.section, show->DemoTime);
    gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, show->screen.WindowWidth, show->screen.WindowHeight);
  }
  const ProjectorInputs projector{show->programs, show->textures, show->FullscreenQuad,
                                  show->SceneTarget.colourTexture, show->screen.AspectRatio};
  ProjectorPass(projector, show->Director.frame, plan.brightness);
  return plan.timelineEnded;
}
