// The editor document through the real program: an effect of a trail and a mesh built with the
// mouse, saved with Ctrl+S into a new file, comes back whole when the program is started again
// on that file; and Ctrl+Z after a drag brings back the picture from before it.
//
// Each run ends by itself at a known age of its last emission, so the pictures of two runs of
// the same effect are the same picture.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "editor_session.h"
#include "panel_drives.h"
#include "platform/gfx/image.h"

namespace e2e {
namespace {

constexpr int kBuiltEmission = 4200;     // after the clicks of the build and the save (about 50 s)
constexpr int kRestartedEmission = 150;  // the first, of the effect opened at start
constexpr int kUndoneEmission = 900;     // after a drag and Ctrl+Z (about 10 s)
constexpr int kAge = 30;

// Pixels of the two scene pictures that differ by more than a rounding would.
int DifferingPixels(const gfx::Image& a, const gfx::Image& b) {
  return Differing(a, b, {0, 0, a.width, a.height});
}

// Five flares on a rising ring with trails (Item : 0), and lit cubes (Item : 1, a copy of the
// first made a mesh without the ring's motion).
void BuildTrailAndMesh(EditorSession& editor) {
  MakeRisingTrails(editor);
  editor.Click(kParticleIconClearOfPanel);  // closes "Particles", which covers the definition list
  editor.Click(kPlusButton);
  editor.Click(kSecondItem);
  OpenPanel(editor);
  editor.Click(kBehaviorCombo);
  editor.Click(kBehaviorNoneEntry);
  MakeLitCubesInOpenPanel(editor);
}

class DocumentEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string problem = DisplayProblem(); !problem.empty()) GTEST_FAIL() << problem;
  }
  gfx::Image Run(const std::string& name, int frames, std::vector<std::string> arguments,
                 const std::function<void(EditorSession&)>& drive = {}) {
    arguments.insert(arguments.begin(), {"--frames", std::to_string(frames)});
    EditorSession editor(scratch_.Path(), name, {}, arguments);
    if (!editor.Started()) return {};
    if (drive) drive(editor);
    return editor.SceneAtTheEnd();
  }

  ScratchFolder scratch_;
};

TEST_F(DocumentEndToEnd, SavedEffectComesBackWholeAfterARestartAndUndoBringsBackThePicture) {
  const fs::path saved = scratch_.Path() / "Data/FILE/fire.effects.json";
  gfx::Image built;
  for (int session = 0; session < kSessions && !fs::exists(saved); ++session) {
    built = Run("built" + std::to_string(session), kBuiltEmission + kAge, {}, [](EditorSession& editor) {
      BuildTrailAndMesh(editor);
      // Untitled: Ctrl+S opens the browser in the data folder, its name field ready for a name.
      editor.Key("ctrl+s");
      editor.Type("fire");
      editor.Key("Return");
    });
  }
  ASSERT_TRUE(fs::exists(saved)) << "Ctrl+S, a name and Enter did not save the document";
  ASSERT_FALSE(built.Empty());

  const gfx::Image restarted = Run("restarted", kRestartedEmission + kAge, {saved.string()});
  ASSERT_FALSE(restarted.Empty());
  EXPECT_LT(DifferingPixels(built, restarted), 50)
      << "the effect played after the restart differs from the one saved";
  const gfx::Image floor = Run("floor", 100, {});
  EXPECT_GT(DifferingPixels(floor, restarted), 500) << "neither the trails nor the cubes show";

  // Item : 1's cubes scaled up by a drag, then Ctrl+Z: the picture of the document as saved.
  gfx::Image undone;
  for (int session = 0; session < kSessions; ++session) {
    undone = Run("undone" + std::to_string(session), kUndoneEmission + kAge, {saved.string()},
                 [](EditorSession& editor) {
                   editor.Click(kSecondItem);
                   OpenPanel(editor);
                   editor.Drag({kScaleColumns[0], kScaleRow}, 200);
                   editor.MoveAway();
                   editor.Key("ctrl+z");
                 });
    if (!undone.Empty() && DifferingPixels(undone, restarted) < 50) break;
  }
  ASSERT_FALSE(undone.Empty());
  EXPECT_LT(DifferingPixels(undone, restarted), 50) << "Ctrl+Z after the drag did not restore the picture";
}

}  // namespace
}  // namespace e2e
