// A fixture for the GL tests that draw scenes into the 160 x 120 scene
// target: each test starts with the target bound and its viewport set, and
// ends with the window bound again and no GL error.
#pragma once
#include <gtest/gtest.h>

#include "common/gl_entry_points.h"
#include "common/show_state.h"
#include "gl_start.h"

class SceneTargetTest : public testing::Test {
 protected:
  void SetUp() override {
    gl.glBindFramebuffer(GL_FRAMEBUFFER, StartedShow.SceneTarget.framebuffer);
    glViewport(0, 0, kSceneWidth, kSceneHeight);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  }

  void TearDown() override {
    gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, StartedShow.screen.WindowWidth, StartedShow.screen.WindowHeight);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
};
