// The "Stats" window, opened and read through the interface as a user does, and F3's figures
// over the scene: drawn by a second interface context on the scene device, beside the
// editor's, and gone without a trace when switched off.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/renderer.h"
#include "particle/particle_emitter.h"
#include "platform/dik.h"
#include "platform/gfx/null/null_device.h"
#include "support/editor_fixture.h"
#include "ui/frame_figures.h"

namespace {

constexpr const char* kPlot = "frame ms, last 300##FrameTimes";

class StatsWindow : public EditorTest {
 protected:
  static gfx::NullDevice* SceneDevice() {
    return static_cast<gfx::NullDevice*>(Manager()->GetRenderer()->GetDevice());
  }
  std::vector<gfx::RecordedDraw> RecordSceneFrame() {
    SceneDevice()->ClearRecord();
    SceneDevice()->SetRecording(true);
    Frame();
    SceneDevice()->SetRecording(false);
    return SceneDevice()->Draws();
  }
  // Held for a frame in the scene window, as the keyboard reads it once a frame.
  void PressSceneKey(std::uint8_t key) {
    system_.SetKey(key, true);
    Frame();
    system_.SetKey(key, false);
    Frame();
  }
};

bool SameDraw(const gfx::RecordedDraw& a, const gfx::RecordedDraw& b) {
  return a.type == b.type && a.startVertex == b.startVertex && a.vertexCount == b.vertexCount &&
         a.buffer == b.buffer && a.texture == b.texture && a.layout == b.layout &&
         std::memcmp(&a.world, &b.world, sizeof a.world) == 0 && a.renderStates == b.renderStates &&
         a.magFilter == b.magFilter && a.minFilter == b.minFilter && a.effect == b.effect &&
         a.indexed == b.indexed && a.interface == b.interface;
}

std::vector<gfx::RecordedDraw> Where(const std::vector<gfx::RecordedDraw>& draws, bool interface) {
  std::vector<gfx::RecordedDraw> found;
  for (const gfx::RecordedDraw& draw : draws)
    if (draw.interface == interface) found.push_back(draw);
  return found;
}

void ExpectSameDraws(const std::vector<gfx::RecordedDraw>& actual,
                     const std::vector<gfx::RecordedDraw>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i)
    EXPECT_TRUE(SameDraw(actual[i], expected[i])) << "draw " << i;
}

TEST_F(StatsWindow, TheCheckboxOpensAWindowOfEveryFigureAndThePlot) {
  EXPECT_FALSE(Shown("Stats", "Stats"));
  ParticleParams flares = CEditor::BeginDefinition();
  flares.Billboard.PopTime = 500;
  flares.Emission.Quantity = 12;
  Table()["STATS"] = {flares};
  CParticleEmitter::Create("STATS");

  Click("Stats");
  EXPECT_TRUE(Editor()->ShowStats);
  ASSERT_TRUE(Shown("Stats", "Stats"));
  for (const ui::FigureRow& row : ui::FigureRows()) {
    const ui::LoggedItem figure = Find(row.label, "Stats");
    EXPECT_EQ(figure.kind, "Figure") << row.label;
    EXPECT_FALSE(figure.shown.empty()) << row.label;
  }
  // What the window says is what the manager measured.
  EXPECT_EQ(Find("billboards", "Stats").shown, "12");
  EXPECT_EQ(Find("emitters", "Stats").shown, "1");
  EXPECT_EQ(Find("objects", "Stats").shown, std::to_string(Manager()->GetFrameFigures().objects));
  EXPECT_TRUE(Shown(kPlot, "Stats"));

  // The checkbox closes it again.
  Click("Stats", "Hello, world!");
  EXPECT_FALSE(Editor()->ShowStats);
  EXPECT_FALSE(Shown("Stats", "Stats"));
  EXPECT_FALSE(Shown(kPlot));
}

TEST_F(StatsWindow, F3DrawsTheFiguresOverTheSceneAndOffLeavesTheSceneAsItWas) {
  Frame(2);
  const std::vector<gfx::RecordedDraw> before = RecordSceneFrame();
  ASSERT_FALSE(before.empty());
  EXPECT_TRUE(Where(before, true).empty());

  PressSceneKey(DIK_F3);
  ASSERT_TRUE(Manager()->IsStatsOverlayShown());
  const std::vector<gfx::RecordedDraw> on = RecordSceneFrame();
  // The scene's own draws come first, unchanged; the figures follow with the overlay's font.
  ExpectSameDraws(Where(on, false), before);
  const std::vector<gfx::RecordedDraw> overlay = Where(on, true);
  ASSERT_FALSE(overlay.empty());
  EXPECT_TRUE(on.front().interface == false && on.back().interface);
  EXPECT_NE(overlay.front().texture, nullptr);
  EXPECT_GT(overlay.front().vertexCount, 0u);
  // The overlay has a context of its own: the editor's log holds none of its rows, and the
  // editor window goes on taking input.
  EXPECT_FALSE(Shown("frames/s"));
  Click("Stats");
  EXPECT_TRUE(Editor()->ShowStats);

  PressSceneKey(DIK_F3);
  EXPECT_FALSE(Manager()->IsStatsOverlayShown());
  Click("Stats", "Hello, world!");
  ExpectSameDraws(RecordSceneFrame(), before);
}

}  // namespace
