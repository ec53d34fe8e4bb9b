// Drives the Preview window and its keys in the real program with xdotool, looking at the scene
// window as the X server shows it: Space pauses (the picture holds still), the period steps
// (it moves on), and a click on the middle of the timeline shows the emission half-way, as a
// run that plays the same emission to that frame by itself shows it.
//
// The Preview window opens at (405,20), 290 wide; its timeline spans x 413 to 600 at y 125.

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "editor_session.h"
#include "effectfile/editor_document.h"
#include "platform/gfx/image.h"

namespace e2e {
namespace {

constexpr Point kTimelineMiddle{506, 125};
constexpr Rect kScene{0, 0, 1280, 720};
// The effect's particles live this long: the timeline's middle is about half of it.
constexpr int kLife = 240;

// Twenty flares thrown out on a ring and rising, fading to orange: every frame looks different.
EditorDocument RisingRing() {
  ParticleParams p;
  p.Emission.ParticleType = Object_Billboard;
  p.Emission.Quantity = 20;
  p.Emission.Behavior = Behavior_Circle;
  p.Emission.Radius = 360.0f;
  p.Emission.TextureTag = "FLARE";
  p.Billboard.Position = {0.0f, 10.0f, 0.0f};
  p.Billboard.Scale = {12.0f, 12.0f, 0.0f};
  p.Billboard.Velocity = {0.0f, 0.6f, 0.0f};
  p.Billboard.VelocityAttenuation = 0.4f;
  p.Billboard.Color = {1.0f, 1.0f, 1.0f, 1.0f};
  p.Billboard.DestColor = {1.0f, 0.4f, 0.0f, 0.3f};
  p.Billboard.ColorAttenuation = 0.5f;
  p.Billboard.PopTime = kLife;
  EditorDocument document;
  EditorEffect& ring = document.Effects.emplace_back();
  ring.Tag = "Ring";
  ring.Definitions = {p};
  document.SelectedTag = "Ring";
  return document;
}

class PreviewEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string problem = DisplayProblem(); !problem.empty()) GTEST_FAIL() << problem;
    std::string error;
    ASSERT_TRUE(SaveEditorDocument(RisingRing(), (scratch_.Path() / "ring.effects.json").string(), &error))
        << error;
  }
  ScratchFolder scratch_;
};

TEST_F(PreviewEndToEnd, SpacePausesPeriodStepsAndTheTimelineShowsTheEmissionHalfWay) {
  gfx::Image paused, stillPaused, stepped, halfWay;
  {
    EditorSession editor(scratch_.Path(), "preview", {}, {"--paused", "--seed", "5", "ring.effects.json"});
    ASSERT_TRUE(editor.Started());
    editor.Key("BackSpace");  // a fresh emission at the pointer, frame 0
    editor.Key("space");      // plays
    editor.Key("space");      // and pauses again
    paused = editor.ScenePicture();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    stillPaused = editor.ScenePicture();
    editor.Key("period");
    stepped = editor.ScenePicture();
    editor.Click(kTimelineMiddle);
    halfWay = editor.ScenePicture();
    editor.Quit();
  }
  ASSERT_FALSE(paused.Empty());
  EXPECT_EQ(Differing(paused, stillPaused, kScene), 0) << "a paused scene holds still";
  const int step = Differing(stillPaused, stepped, kScene);
  EXPECT_GT(step, 20) << "a step moves the flares on";

  // The same emission played by itself: the pointer's first, at step 150, is at frame N after
  // step 149 + N.
  EditorSession reference(scratch_.Path(), "reference", {},
                          {"--frames", std::to_string(149 + kLife / 2), "--seed", "5", "ring.effects.json"});
  ASSERT_TRUE(reference.Started());
  const gfx::Image played = reference.SceneAtTheEnd();
  const int fromHalfWay = Differing(halfWay, played, kScene);
  const int fromStep = Differing(stepped, played, kScene);
  EXPECT_GE(fromHalfWay, 0);
  EXPECT_LT(fromHalfWay * 4, fromStep) << "the timeline's middle shows frame " << kLife / 2
                                       << " (give or take one): " << fromHalfWay << " pixels differ, "
                                       << fromStep << " from frame 1";
}

}  // namespace
}  // namespace e2e
