// Drives the "Particles" window of the real program with xdotool and looks at the scene it
// plays: a ring of flares from "Behavior_Circle", lit cubes from "Object_Mesh", and cubes
// whose texture scrolls through the "UVAnimation" effect.
//
// Each run is given a frame count and ends by itself, so its last picture is taken at a known
// age of the last emission (the pointer emits every 150 frames; the clicks are done well
// before the last). The widgets are where the window always puts them: "Particles"
// opens at (60,60), 500x600, with the "Movement" section opened first.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "editor_session.h"
#include "panel_drives.h"
#include "platform/gfx/image.h"

namespace e2e {
namespace {

// The last emission of each run comes after the clicks (about 12, 15 and 25 s).
constexpr int kRingEmission = 1200;
constexpr int kLitEmission = 1350;
constexpr int kScrollEmission = 2100;
constexpr int kTrailEmission = 2400;
constexpr int kAge = 30;  // frames since the last emission when the picture is taken


// ---- pictures -----------------------------------------------------------------------------------

bool Bright(const std::uint8_t* p) {
  return p[0] > 150 && p[1] > 150 && p[2] > 150;
}

// The pixels where two pictures of the scene differ.
std::vector<bool> Changed(const gfx::Image& a, const gfx::Image& b) {
  std::vector<bool> changed(static_cast<std::size_t>(a.width) * a.height, false);
  if (a.width != b.width || a.height != b.height) return changed;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      const std::uint8_t *p = a.Pixel(x, y), *q = b.Pixel(x, y);
      changed[static_cast<std::size_t>(y) * a.width + x] =
          std::abs(p[0] - q[0]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[2]) > 30;
    }
  return changed;
}

Rect BoundsOf(const std::vector<bool>& mask, int width) {
  Rect box{width, 1 << 20, 0, 0};
  for (std::size_t i = 0; i < mask.size(); ++i)
    if (mask[i]) {
      const int x = static_cast<int>(i % width), y = static_cast<int>(i / width);
      box = {std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x + 1), std::max(box.y1, y + 1)};
    }
  return box;
}

bool Empty(Rect r) {
  return r.x1 <= r.x0 || r.y1 <= r.y0;
}

struct Blob {
  double x, y;
  int pixels;
};

// The bright patches of the picture, each as its centre and size (4-connected).
std::vector<Blob> BrightBlobs(const gfx::Image& image) {
  std::vector<int> label(static_cast<std::size_t>(image.width) * image.height, -1);
  std::vector<Blob> blobs;
  std::vector<std::pair<int, int>> stack;
  for (int y0 = 0; y0 < image.height; ++y0)
    for (int x0 = 0; x0 < image.width; ++x0) {
      if (label[static_cast<std::size_t>(y0) * image.width + x0] >= 0 || !Bright(image.Pixel(x0, y0)))
        continue;
      Blob blob{0, 0, 0};
      stack = {{x0, y0}};
      label[static_cast<std::size_t>(y0) * image.width + x0] = static_cast<int>(blobs.size());
      while (!stack.empty()) {
        const auto [x, y] = stack.back();
        stack.pop_back();
        blob.x += x, blob.y += y, ++blob.pixels;
        for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
          const int nx = x + dx, ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= image.width || ny >= image.height) continue;
          int& l = label[static_cast<std::size_t>(ny) * image.width + nx];
          if (l >= 0 || !Bright(image.Pixel(nx, ny))) continue;
          l = static_cast<int>(blobs.size());
          stack.emplace_back(nx, ny);
        }
      }
      blob.x /= blob.pixels, blob.y /= blob.pixels;
      blobs.push_back(blob);
    }
  return blobs;
}

// ---- runs ---------------------------------------------------------------------------------------

std::vector<std::string> Frames(int count) {
  return {"--frames", std::to_string(count)};
}

class PanelEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string problem = DisplayProblem(); !problem.empty()) GTEST_FAIL() << problem;
  }
  // Runs the editor to the frame, driving it first; the scene's last picture.
  gfx::Image Run(const std::string& name, int frames, const std::function<void(EditorSession&)>& drive = {}) {
    EditorSession editor(scratch_.Path(), name, {}, Frames(frames));
    if (!editor.Started()) return {};
    if (drive) drive(editor);
    return editor.SceneAtTheEnd();
  }
  // The scene before the first emission: the floor alone.
  gfx::Image Floor() { return Run("floor", 100); }

  ScratchFolder scratch_;
};

TEST_F(PanelEndToEnd, BehaviorCircleSpreadsARingOfTwentyFlaresFromThePointer) {
  const gfx::Image floor = Floor();
  ASSERT_FALSE(floor.Empty());
  ASSERT_TRUE(BrightBlobs(floor).empty()) << "the floor alone shows something bright";
  Problems problems;
  for (int session = 0; session < kSessions; ++session) {
    problems.clear();
    const gfx::Image ring =
        Run("ring" + std::to_string(session), kRingEmission + kAge, [](EditorSession& editor) {
          OpenPanel(editor);
          editor.Click(kBehaviorCombo);
          editor.Click(kBehaviorCircleEntry);
          editor.Enter(kMoveAttenuation, "3");
          editor.Click(kBillboardQuantity);
          editor.Key("ctrl+a");
          editor.Type("20");
          editor.Key("Return");
          editor.MoveAway();
        });
    const std::vector<Blob> blobs = BrightBlobs(ring);
    Check(&problems, blobs.size() == 20, std::to_string(blobs.size()) + " bright flares, not 20");
    double cx = 0, cy = 0;
    for (const Blob& blob : blobs) cx += blob.x / blobs.size(), cy += blob.y / blobs.size();
    double nearest = 1e9, farthest = 0;
    for (const Blob& blob : blobs) {
      const double d = std::hypot(blob.x - cx, blob.y - cy);
      nearest = std::min(nearest, d), farthest = std::max(farthest, d);
    }
    // Seen from above at a slant the ring is an ellipse: wider than deep, and hollow.
    Check(&problems, nearest > 60, "a flare sits " + std::to_string(nearest) + " px from the ring's centre");
    Check(&problems, farthest < 2.5 * nearest + 100, "the flares do not lie on one ring");
    if (problems.empty()) break;
    std::printf("the ring session %d went wrong; trying again:%s\n", session, Said(problems).c_str());
  }
  EXPECT_TRUE(problems.empty()) << "after choosing Behavior_Circle, MoveAttenuation 3 and Quantity 20:"
                                << Said(problems);
}

TEST_F(PanelEndToEnd, CubesAreLitAtThePointerAndTheirTextureScrolls) {
  const gfx::Image floor = Floor();
  ASSERT_FALSE(floor.Empty());

  // Fixed-function cubes: a compact shape of several shades where the floor was.
  Problems problems;
  for (int session = 0; session < kSessions; ++session) {
    problems.clear();
    const gfx::Image lit = Run("lit" + std::to_string(session), kLitEmission + kAge, MakeLitCubes);
    const std::vector<bool> changed = Changed(floor, lit);
    const Rect cube = BoundsOf(changed, lit.width);
    const int w = cube.x1 - cube.x0, h = cube.y1 - cube.y0;
    Check(&problems, !Empty(cube) && w >= 20 && w <= 90 && h >= 20 && h <= 90,
          "the cubes cover " + std::to_string(w) + " x " + std::to_string(h) + " px, not about 40");
    // A lit face, a face in half light (the floor is at 60) and the one turned away.
    int shaded = 0, lighter = 0;
    for (int y = cube.y0; y < cube.y1; ++y)
      for (int x = cube.x0; x < cube.x1; ++x) {
        if (!changed[static_cast<std::size_t>(y) * lit.width + x]) continue;
        const int level = lit.Pixel(x, y)[0];
        shaded += level >= 80 && level < 150;
        lighter += level >= 170;
      }
    Check(&problems, shaded > 50 && lighter > 50,
          "the cubes show " + std::to_string(lighter) + " lit and " + std::to_string(shaded) +
              " half-lit pixels, not faces of both");
    if (problems.empty()) break;
    std::printf("the lit-cube session %d went wrong; trying again:%s\n", session, Said(problems).c_str());
  }
  ASSERT_TRUE(problems.empty()) << "after choosing Object_Mesh, CUBE, Scale about 13 and Rotate:"
                                << Said(problems);

  // Through the effect: two runs ten frames apart differ only inside the cubes.
  for (int session = 0; session < kSessions; ++session) {
    problems.clear();
    const gfx::Image early =
        Run("uv-early" + std::to_string(session), kScrollEmission + kAge, MakeScrollingCubes);
    const gfx::Image late =
        Run("uv-late" + std::to_string(session), kScrollEmission + kAge + 10, MakeScrollingCubes);
    // Additive blending shows only the texture's bright parts: the cubes' area is where
    // either picture differs from the floor alone.
    std::vector<bool> drawn = Changed(floor, early);
    const std::vector<bool> drawnLate = Changed(floor, late);
    for (std::size_t i = 0; i < drawn.size() && i < drawnLate.size(); ++i)
      drawn[i] = drawn[i] || drawnLate[i];
    const Rect cubes = BoundsOf(drawn, early.width);
    const Rect moved = BoundsOf(Changed(early, late), early.width);
    const int w = cubes.x1 - cubes.x0, h = cubes.y1 - cubes.y0;
    Check(&problems, !Empty(cubes) && w <= 90 && h <= 90,
          "the textured cubes cover " + std::to_string(w) + " x " + std::to_string(h) + " px, not about 40");
    Check(&problems, !Empty(moved), "the texture did not move in ten frames");
    Check(&problems,
          moved.x0 >= cubes.x0 && moved.y0 >= cubes.y0 && moved.x1 <= cubes.x1 && moved.y1 <= cubes.y1,
          "the pictures ten frames apart differ outside the cubes");
    if (problems.empty()) break;
    std::printf("the scrolling-texture session %d went wrong; trying again:%s\n", session,
                Said(problems).c_str());
  }
  EXPECT_TRUE(problems.empty())
      << "after EnableShader, Use Texture with RING, UVMovement about 0.013 and PosOffset y "
         "about -10:"
      << Said(problems);
}

// Trails show as thin additive lines where their alpha passes the test: from the pointer up to
// each flare, and nowhere below the pointer. The pointer is first lifted well above the floor,
// so a trail that started at the world's origin would draw a long line down from it.
TEST_F(PanelEndToEnd, TrailsRiseBehindTheFlaresAndEndWithThem) {
  const gfx::Image floor = Floor();
  ASSERT_FALSE(floor.Empty());
  const auto bright = [](const std::uint8_t* p) { return p[0] > 100 && p[1] > 100 && p[2] > 100; };
  Problems problems;
  for (int session = 0; session < kSessions; ++session) {
    problems.clear();
    const gfx::Image trails =
        Run("trails" + std::to_string(session), kTrailEmission + kAge, [](EditorSession& editor) {
          MakeRisingTrails(editor);
          editor.SceneKey("r", 0.3);
        });
    ASSERT_FALSE(trails.Empty());
    // The camera keeps the pointer in the middle of the picture.
    const int middle = trails.height / 2;
    const int below = Count(trails, {0, middle + 15, trails.width, trails.height}, bright);
    Check(&problems, below == 0,
          std::to_string(below) + " bright pixels below the pointer: a line from the origin?");
    // A line is a bright pixel with few bright neighbours; a flare is a disc of them.
    int lines = 0;
    for (int y = 2; y < middle; ++y)
      for (int x = 2; x < trails.width - 2; ++x)
        if (bright(trails.Pixel(x, y)) && Count(trails, {x - 2, y - 2, x + 3, y + 3}, bright) <= 8) ++lines;
    Check(&problems, lines > 200,
          "only " + std::to_string(lines) + " pixels of thin lines above the pointer");
    const std::vector<Blob> flares = BrightBlobs(trails);
    const auto big =
        std::count_if(flares.begin(), flares.end(), [](const Blob& b) { return b.pixels >= 20; });
    Check(&problems, big >= 4,
          std::to_string(big) + " flares, not at least four of the five (one can hide another)");
    if (problems.empty()) break;
    std::printf("the trail session %d went wrong; trying again:%s\n", session, Said(problems).c_str());
  }
  ASSERT_TRUE(problems.empty())
      << "after Behavior_Circle, UpVector 0.5, Use Trail and TrailWidth 2 with the pointer "
         "lifted:"
      << Said(problems);

  // PopTime 50 is shorter than the emission interval of 150: a hundred frames after the last
  // emission the particles and their trails have gone, and the floor is alone again.
  for (int session = 0; session < kSessions; ++session) {
    problems.clear();
    const gfx::Image after = Run("after" + std::to_string(session), kTrailEmission + 100, MakeRisingTrails);
    ASSERT_FALSE(after.Empty());
    const std::vector<bool> changed = Changed(floor, after);
    const auto left = std::count(changed.begin(), changed.end(), true);
    Check(&problems, left == 0, std::to_string(left) + " pixels differ from the floor alone");
    if (problems.empty()) break;
    std::printf("the after-trail session %d went wrong; trying again:%s\n", session, Said(problems).c_str());
  }
  EXPECT_TRUE(problems.empty()) << "100 frames after the last emission of particles living 50:"
                                << Said(problems);
}

}  // namespace
}  // namespace e2e
