// How the two cube scenes read, checked against the real shaders on every
// film frame of their sections: neighbouring faces never share a tone, the
// cube stands off the grey stage, and the packed values the projector reads
// are anti-aliased, cover the outline and agree from pixel to pixel. Where
// each face lies on the screen comes from the uploaded mesh and
// CubeTransform on the CPU, independently of the shaders' own ray-casting.
// Start-up has already run and every texture is up (gl_main.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "common/gl_entry_points.h"
#include "common/show_state.h"
#include "demo/effects.h"
#include "demo/scene_maths.h"
#include "platform/platform.h"
#include "resources/geometry.h"
#include "gl_start.h"

namespace {
constexpr int kFilmFramesPerSecond = 16;
constexpr int kSectionFrames = 5 * kFilmFramesPerSecond;
constexpr float kStageGrey = 128.0f;  // the 0.5 clear in 8 bits

struct Section {
  const char* name;
  int firstSecond;
  void (*effect)(const EffectInputs& in, const MeshBufferRecord& mesh);

  // The section's effect at the given show time, with the started show's mesh.
  void Render(double demoTime) const { effect(EffectInputsAt(demoTime), StartedShow.MeshBuffer); }
};
const Section kSections[] = {{"cube", 69, CubeEffect}, {"textured cube", 79, TexturedCubeEffect}};

struct Point {
  double x, y;
};
struct Vertex {
  double x, y, z;
};

// One flat face of the mesh: its triangles as uploaded (counter-clockwise
// outside) and its distinct corners.
struct Face {
  std::vector<Vertex> triangles;  // 3 per triangle
  std::vector<Vertex> corners;
};

bool Same(const Vertex& a, const Vertex& b) {
  return std::abs(a.x - b.x) + std::abs(a.y - b.y) + std::abs(a.z - b.z) < 1e-5;
}

// The uploaded mesh, triangles grouped into faces by their normal.
std::vector<Face> MeshFaces() {
  using GetBufferSubData = void (*)(GLenum, GLintptr, GLsizeiptr, void*);
  const auto getBufferSubData =
      reinterpret_cast<GetBufferSubData>(PlatformGlProcAddress("glGetBufferSubData"));
  const MeshBufferRecord& mesh = StartedShow.MeshBuffer;
  std::vector<float> data(18 * mesh.triangleCount);
  gl.glBindBuffer(GL_ARRAY_BUFFER, mesh.buffer);
  getBufferSubData(GL_ARRAY_BUFFER, 0, data.size() * sizeof(float), data.data());
  std::vector<Face> faces;
  std::vector<Vertex> normals;
  for (int t = 0; t < mesh.triangleCount; ++t) {
    const float* at = &data[18 * t];
    const Vertex normal{at[3], at[4], at[5]};
    size_t face = 0;
    while (face < normals.size() && !Same(normals[face], normal)) ++face;
    if (face == normals.size()) {
      normals.push_back(normal);
      faces.emplace_back();
    }
    for (int corner = 0; corner < 3; ++corner) {
      const Vertex v{at[6 * corner], at[6 * corner + 1], at[6 * corner + 2]};
      faces[face].triangles.push_back(v);
      bool known = false;
      for (const Vertex& c : faces[face].corners) known = known || Same(c, v);
      if (!known) faces[face].corners.push_back(v);
    }
  }
  return faces;
}

// Faces sharing an edge (two corners).
std::vector<std::pair<int, int>> AdjacentFaces(const std::vector<Face>& faces) {
  std::vector<std::pair<int, int>> pairs;
  for (size_t a = 0; a < faces.size(); ++a) {
    for (size_t b = a + 1; b < faces.size(); ++b) {
      int shared = 0;
      for (const Vertex& p : faces[a].corners) {
        for (const Vertex& q : faces[b].corners) shared += Same(p, q);
      }
      if (shared >= 2) pairs.emplace_back(a, b);
    }
  }
  return pairs;
}

// A convex outline in window pixels (y up, as GL's rows), counter-clockwise.
struct Outline {
  std::vector<Point> points;

  // Distance from q to the outline, positive inside.
  double Inside(Point q) const {
    double inside = 1e30;
    for (size_t i = 0; i < points.size(); ++i) {
      const Point a = points[i], b = points[(i + 1) % points.size()];
      const double ex = b.x - a.x, ey = b.y - a.y, length = std::hypot(ex, ey);
      inside = std::min(inside, (ex * (q.y - a.y) - ey * (q.x - a.x)) / length);
    }
    return inside;
  }

  // The inward unit normal of the edge nearest to q.
  Point InwardNormal(Point q) const {
    double nearest = 1e30;
    Point normal{0.0, 0.0};
    for (size_t i = 0; i < points.size(); ++i) {
      const Point a = points[i], b = points[(i + 1) % points.size()];
      const double ex = b.x - a.x, ey = b.y - a.y, length = std::hypot(ex, ey);
      const double d = std::abs((ex * (q.y - a.y) - ey * (q.x - a.x)) / length);
      if (d < nearest) nearest = d, normal = {-ey / length, ex / length};
    }
    return normal;
  }

  // Whether the outline overlaps the square [x0, x1] x [y0, y1]: no edge of
  // either separates them.
  bool Overlaps(double x0, double y0, double x1, double y1) const {
    double px0 = 1e30, px1 = -1e30, py0 = 1e30, py1 = -1e30;
    for (const Point& p : points) {
      px0 = std::min(px0, p.x), px1 = std::max(px1, p.x), py0 = std::min(py0, p.y),
      py1 = std::max(py1, p.y);
    }
    if (px1 < x0 || px0 > x1 || py1 < y0 || py0 > y1) return false;
    const Point square[4] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    for (size_t i = 0; i < points.size(); ++i) {
      const Point a = points[i], b = points[(i + 1) % points.size()];
      bool allOutside = true;
      for (const Point& c : square) {
        allOutside = allOutside && (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x) < 0.0;
      }
      if (allOutside) return false;
    }
    return true;
  }
};

Outline ConvexHull(std::vector<Point> points) {
  std::sort(points.begin(), points.end(),
            [](Point a, Point b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
  auto turn = [](Point o, Point a, Point b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
  };
  std::vector<Point> hull(2 * points.size());
  size_t k = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    while (k >= 2 && turn(hull[k - 2], hull[k - 1], points[i]) <= 1e-12) --k;
    hull[k++] = points[i];
  }
  for (size_t i = points.size() - 1, lower = k + 1; i-- > 0;) {
    while (k >= lower && turn(hull[k - 2], hull[k - 1], points[i]) <= 1e-12) --k;
    hull[k++] = points[i];
  }
  hull.resize(k - 1);
  return {hull};
}

// The cube as the screen shows it at one time and size: every face turned
// to the eye with its outline and window depth, and the whole silhouette.
struct CubeView {
  struct Visible {
    int face;
    Outline outline;
    std::vector<Vertex> triangles;  // window x, y and depth
  };
  std::vector<Visible> faces;
  Outline silhouette;

  CubeView(const std::vector<Face>& mesh, double time, int width, int height) {
    const CubeTransformMatrices matrices = CubeTransform(time);
    const float* m = matrices.m;
    auto project = [&](const Vertex& v) {
      double clip[4];
      for (int r = 0; r < 4; ++r)
        clip[r] = m[r] * v.x + m[4 + r] * v.y + m[8 + r] * v.z + m[12 + r];
      return Vertex{(clip[0] / clip[3] + 1.0) * 0.5 * width,
                    (clip[1] / clip[3] + 1.0) * 0.5 * height, (clip[2] / clip[3] + 1.0) * 0.5};
    };
    std::vector<Point> all;
    for (size_t f = 0; f < mesh.size(); ++f) {
      Visible visible{static_cast<int>(f), {}, {}};
      for (const Vertex& v : mesh[f].triangles) visible.triangles.push_back(project(v));
      const Vertex &a = visible.triangles[0], &b = visible.triangles[1], &c = visible.triangles[2];
      std::vector<Point> corners;
      for (const Vertex& v : mesh[f].corners) {
        const Vertex p = project(v);
        corners.push_back({p.x, p.y});
        all.push_back({p.x, p.y});
      }
      if ((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x) <= 0.0) continue;  // turned away
      visible.outline = ConvexHull(corners);
      faces.push_back(visible);
    }
    silhouette = ConvexHull(all);
  }

  // The visible face at q (or -1) and how far inside its outline q lies.
  int FaceAt(Point q, double* inside) const {
    int best = -1;
    *inside = -1e30;
    for (size_t i = 0; i < faces.size(); ++i) {
      const double d = faces[i].outline.Inside(q);
      if (d > *inside) {
        *inside = d;
        best = static_cast<int>(i);
      }
    }
    return *inside > 0.0 ? best : -1;
  }

  // The window depth of visible face i at q, from its triangle there.
  double DepthAt(int i, Point q) const {
    const std::vector<Vertex>& t = faces[i].triangles;
    for (size_t k = 0; k + 2 < t.size(); k += 3) {
      const Vertex &a = t[k], &b = t[k + 1], &c = t[k + 2];
      const double area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
      const double wb = ((q.x - a.x) * (c.y - a.y) - (q.y - a.y) * (c.x - a.x)) / area;
      const double wc = ((b.x - a.x) * (q.y - a.y) - (b.y - a.y) * (q.x - a.x)) / area;
      if (wb >= -1e-9 && wc >= -1e-9 && wb + wc <= 1.0 + 1e-9) {
        return a.z + wb * (b.z - a.z) + wc * (c.z - a.z);
      }
    }
    return NAN;
  }
};

// Each test draws as the director does, into the scene target or a larger
// target of the same 4:3 shape, and hands the window back afterwards.
class CubeLook : public testing::Test {
 protected:
  void SetUp() override {
    mesh = MeshFaces();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    Bind(StartedShow.SceneTarget.framebuffer, kSceneWidth, kSceneHeight);
  }

  void TearDown() override {
    gl.glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, StartedShow.screen.WindowWidth, StartedShow.screen.WindowHeight);
    if (bigTarget != 0) {
      gl.glDeleteFramebuffers(1, &bigTarget);
      glDeleteTextures(2, bigTextures);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }

  void Bind(GLuint framebuffer, int w, int h) {
    gl.glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, w, h);
    width = w;
    height = h;
  }

  // A colour and depth target `scale` times the scene target's size.
  void BindLarger(int scale) {
    const int w = kSceneWidth * scale, h = kSceneHeight * scale;
    glGenTextures(2, bigTextures);
    glBindTexture(GL_TEXTURE_2D, bigTextures[0]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, bigTextures[1]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, w, h, 0, GL_DEPTH_COMPONENT, GL_FLOAT,
                 nullptr);
    gl.glGenFramebuffers(1, &bigTarget);
    gl.glBindFramebuffer(GL_FRAMEBUFFER, bigTarget);
    gl.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, bigTextures[0],
                              0);
    gl.glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, bigTextures[1],
                              0);
    ASSERT_EQ(gl.glCheckFramebufferStatus(GL_FRAMEBUFFER),
              static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    Bind(bigTarget, w, h);
  }

  // RGBA bytes and depth of the bound target, bottom row first.
  void Read() {
    rgba.assign(width * height * 4, 0);
    depth.assign(width * height, 0.0f);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
  }
  int Channel(int x, int y, int c) const { return rgba[4 * (y * width + x) + c]; }

  std::vector<Face> mesh;
  std::vector<uint8_t> rgba;
  std::vector<float> depth;
  int width = 0, height = 0;
  GLuint bigTarget = 0, bigTextures[2] = {0, 0};
};

// Every pair of neighbouring faces that both face the eye (main faces,
// bevels and corner triangles) differs by at least 8 % of white, on every
// film frame of both sections. A face's tone is the median of the pixels
// well inside it, drawn four times larger than the scene target so that
// even a bevel seen at a slant has pixels to measure; the shaders draw the
// same picture at any size.
TEST_F(CubeLook, NeighbouringFacesDifferOnEveryFilmFrame) {
  constexpr int kScale = 4;
  ASSERT_EQ(mesh.size(), 26u) << "6 faces, 12 bevels, 8 corners";
  const std::vector<std::pair<int, int>> adjacent = AdjacentFaces(mesh);
  ASSERT_EQ(adjacent.size(), 48u) << "each bevel meets two faces and two corners";
  BindLarger(kScale);
  for (const Section& section : kSections) {
    double smallest = 255.0;
    int pairsMeasured = 0, pairsTooThin = 0;
    for (int frame = 0; frame < kSectionFrames; ++frame) {
      const double demoTime = section.firstSecond + static_cast<double>(frame) / kFilmFramesPerSecond;
      section.Render(demoTime);
      Read();
      const CubeView view(mesh, demoTime, width, height);
      std::vector<double> tone(mesh.size(), -1.0);
      std::vector<bool> visible(mesh.size(), false);
      for (size_t i = 0; i < view.faces.size(); ++i) {
        const CubeView::Visible& face = view.faces[i];
        visible[face.face] = true;
        double x0 = 1e30, x1 = -1e30, y0 = 1e30, y1 = -1e30;
        for (const Point& p : face.outline.points) {
          x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), y0 = std::min(y0, p.y),
          y1 = std::max(y1, p.y);
        }
        std::vector<int> values;
        for (int y = std::max(0, static_cast<int>(y0));
             y < std::min(height, static_cast<int>(y1) + 1); ++y) {
          for (int x = std::max(0, static_cast<int>(x0));
               x < std::min(width, static_cast<int>(x1) + 1); ++x) {
            // A pixel's own value reaches 0.375 pixels around its centre.
            if (face.outline.Inside({x + 0.5, y + 0.5}) >= 1.0) values.push_back(Channel(x, y, 0));
          }
        }
        if (values.size() < 8) continue;
        std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
        tone[face.face] = values[values.size() / 2];
      }
      int measuredThisFrame = 0;
      for (const auto& [a, b] : adjacent) {
        if (!visible[a] || !visible[b]) continue;
        if (tone[a] < 0.0 || tone[b] < 0.0) {
          ++pairsTooThin;
          continue;
        }
        ++pairsMeasured;
        ++measuredThisFrame;
        const double difference = std::abs(tone[a] - tone[b]);
        smallest = std::min(smallest, difference);
        EXPECT_GE(difference, 0.08 * 255.0)
            << section.name << " at " << demoTime << ": faces " << a << " and " << b << " at "
            << tone[a] << " and " << tone[b];
      }
      // A cube at any angle shows at least one main face with its four bevels.
      EXPECT_GE(measuredThisFrame, 4) << section.name << " at " << demoTime;
    }
    std::printf(
        "  %-13s neighbouring faces differ by %.1f %% of white at least (%d pairs measured, "
        "%d too thin to measure)\n",
        section.name, smallest / 2.55, pairsMeasured, pairsTooThin);
  }
}

// Every pixel whose own value lies wholly on one face of the cube (its
// samples reach 0.375 pixels around the centre) differs from the stage's
// grey by at least 12 % of white, at the start and the middle of every film
// frame, in the scene target itself. Pixels on an edge are blends by design:
// of cube and stage on the silhouette (the next test checks that they are),
// of a lit and a shadowed face inside it.
TEST_F(CubeLook, CubesStandOffTheGreyStageOnEveryFilmFrame) {
  constexpr int kPixels = kSceneWidth * kSceneHeight;
  for (const Section& section : kSections) {
    double closest = 255.0;
    int fewestCubePixels = kPixels;
    for (int frame = 0; frame < kSectionFrames; ++frame) {
      for (double within : {0.0, 0.5}) {
        const double demoTime = section.firstSecond + (frame + within) / kFilmFramesPerSecond;
        section.Render(demoTime);
        Read();
        const CubeView view(mesh, demoTime, width, height);
        int cubePixels = 0;
        for (int y = 0; y < height; ++y) {
          for (int x = 0; x < width; ++x) {
            if (depth[y * width + x] >= 1.0f) {
              ASSERT_EQ(Channel(x, y, 0), kStageGrey) << "the stage is one grey";
              continue;
            }
            double inside = 0.0;
            if (view.FaceAt({x + 0.5, y + 0.5}, &inside) < 0 || inside < 0.75) continue;
            ++cubePixels;
            const double difference = std::abs(Channel(x, y, 0) - kStageGrey);
            closest = std::min(closest, difference);
            EXPECT_GE(difference, 0.12 * 255.0) << section.name << " at " << demoTime << ", pixel "
                                                << x << ", " << y << ": " << Channel(x, y, 0);
          }
        }
        fewestCubePixels = std::min(fewestCubePixels, cubePixels);
      }
    }
    std::printf("  %-13s closest to the stage: %.1f %% of white; smallest cube: %d pixels\n",
                section.name, closest / 2.55, fewestCubePixels);
    EXPECT_GT(fewestCubePixels, kPixels / 20) << section.name << " is a presence on the stage";
  }
}

// What the projector reads, on every film frame in the scene target:
// - every pixel that any of its four values' rays can reach the cube from
//   got a fragment, so no neighbour of the cube is left saying "stage";
// - green, blue and alpha repeat the red of the pixel to the right, above
//   and diagonally, so the enlarged picture has no seams;
// - a pixel the silhouette cuts near its middle is a blend of cube and stage;
// - depth is the cube's own surface where a pixel sees it, and between 0
//   and 1 anywhere the cube drew.
TEST_F(CubeLook, PackedValuesCoverTheOutlineAndAgreeWithTheirNeighbours) {
  for (const Section& section : kSections) {
    int seams = 0, compared = 0, blends = 0, depthsChecked = 0;
    for (int frame = 0; frame < kSectionFrames; ++frame) {
      const double demoTime = section.firstSecond + static_cast<double>(frame) / kFilmFramesPerSecond;
      section.Render(demoTime);
      Read();
      const CubeView view(mesh, demoTime, width, height);
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          const float z = depth[y * width + x];
          // The four values' rays span 0.375 pixels left and below the
          // centre to 1.375 right and above it.
          const double cx = x + 0.5, cy = y + 0.5;
          if (view.silhouette.Overlaps(cx - 0.36, cy - 0.36, cx + 1.36, cy + 1.36)) {
            ASSERT_LT(z, 1.0f) << section.name << " at " << demoTime << " left out pixel " << x
                               << ", " << y;
          }
          if (z < 1.0f) {
            ASSERT_GT(z, 0.0f);
          }
          // The stage keeps the clear's alpha of 0: only drawn pixels pack.
          if (z < 1.0f && x + 1 < width && y + 1 < height) {
            compared += 3;
            seams += std::abs(Channel(x, y, 1) - Channel(x + 1, y, 0)) > 1;
            seams += std::abs(Channel(x, y, 2) - Channel(x, y + 1, 0)) > 1;
            seams += std::abs(Channel(x, y, 3) - Channel(x + 1, y + 1, 0)) > 1;
          }
          double inside = 0.0;
          const int face = view.FaceAt({cx, cy}, &inside);
          if (face >= 0 && inside >= 0.6) {
            // The nearest of the pixel's own rays sets the depth: it lies on
            // the face within the pixel's footprint.
            ++depthsChecked;
            double nearest = 1.0, farthest = 0.0;
            for (const Point corner :
                 {Point{-0.4, -0.4}, Point{0.4, -0.4}, Point{-0.4, 0.4}, Point{0.4, 0.4}}) {
              const double faceDepth = view.DepthAt(face, {cx + corner.x, cy + corner.y});
              nearest = std::min(nearest, faceDepth), farthest = std::max(farthest, faceDepth);
            }
            EXPECT_TRUE(z > nearest - 1e-5 && z < farthest + 1e-5)
                << section.name << " at " << demoTime << ", pixel " << x << ", " << y << ": depth "
                << z << ", the face " << nearest << " to " << farthest;
          }
          // The silhouette within a quarter pixel of the centre, away from
          // its corners: the four rays of the pixel's own value lie 0.28 to
          // 0.4 pixels from it across every direction, so some fall on the
          // cube and some on the stage. The face's tone comes from a pixel
          // wholly inside it further in (the plain cube: bricks would change
          // the tone on the way).
          if (section.effect != CubeEffect || std::abs(view.silhouette.Inside({cx, cy})) > 0.25) {
            continue;
          }
          const Point in = view.silhouette.InwardNormal({cx, cy});
          const int innerX = static_cast<int>(cx + 1.5 * in.x),
                    innerY = static_cast<int>(cy + 1.5 * in.y);
          double innerInside = 0.0, edgeInside = 0.0, middleInside = 0.0;
          const int innerFace = view.FaceAt({innerX + 0.5, innerY + 0.5}, &innerInside);
          // One face from the outline inwards, no sliver of another between.
          const double outside = view.silhouette.Inside({cx, cy});
          const double toEdge = -outside + 0.02;
          const int edgeFace = view.FaceAt({cx + toEdge * in.x, cy + toEdge * in.y}, &edgeInside);
          const int middleFace = view.FaceAt({cx + 0.5 * in.x, cy + 0.5 * in.y}, &middleInside);
          if (innerFace < 0 || innerFace != edgeFace || innerFace != middleFace ||
              innerInside < 0.6) {
            continue;
          }
          bool nearCorner = false;
          for (const Point& p : view.silhouette.points) {
            nearCorner = nearCorner || std::hypot(p.x - cx, p.y - cy) < 1.0;
          }
          if (nearCorner) continue;
          ++blends;
          const double tone = Channel(innerX, innerY, 0), value = Channel(x, y, 0);
          const double share = (value - kStageGrey) / (tone - kStageGrey);
          EXPECT_TRUE(share > 0.2 && share < 0.8)
              << section.name << " at " << demoTime << ", pixel " << x << ", " << y
              << " on the silhouette: " << value << " between the stage and the face's " << tone;
        }
      }
    }
    std::printf(
        "  %-13s %d of %d packed values disagree with their neighbour; %d blended "
        "silhouette pixels and %d depths checked\n",
        section.name, seams, compared, blends, depthsChecked);
    EXPECT_LE(seams, compared / 10000) << section.name;
    if (section.effect == CubeEffect) {
      EXPECT_GT(blends, 20);
    }
    EXPECT_GT(depthsChecked, 80 * 1000);
  }
}

// What one scene render costs on this machine's renderer, every film frame
// of both sections with the pipeline drained after each: printed for the
// performance notes, not judged.
TEST_F(CubeLook, RenderTimePerFilmFrame) {
  for (const Section& section : kSections) {
    section.Render(section.firstSecond);  // first use compiles the program in the driver
    glFinish();
    double total = 0.0;
    for (int frame = 0; frame < kSectionFrames; ++frame) {
      const double demoTime = section.firstSecond + static_cast<double>(frame) / kFilmFramesPerSecond;
      const auto start = std::chrono::steady_clock::now();
      section.Render(demoTime);
      glFinish();
      total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                   .count();
    }
    std::printf("  %-13s %.3f ms per 160 x 120 render, mean of %d film frames\n", section.name,
                total / kSectionFrames, kSectionFrames);
  }
}
}  // namespace
