// The "Plot" section of the billboard panel driven through the interface: points added with
// Ctrl+click, dragged, box-selected and removed, per channel, written into the definition.
// Plot coordinates are aimed at through the plot area in the item log and the axes the
// section promises: frames 0 to PopTime, values 0 to 1.

// Vector arithmetic, which the library's internal header defines on request.
#define IMGUI_DEFINE_MATH_OPERATORS
#include <SDL_events.h>
#include <gtest/gtest.h>
#include <imgui_internal.h>

#include <array>
#include <climits>
#include <cmath>
#include <vector>

#include "support/editor_fixture.h"

namespace {

constexpr const char* kWindow = "Particles";
using Colour = std::array<float, 4>;

class CurveEditor : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    Click("ICON_PARTICLE");
    ASSERT_TRUE(Shown(kWindow, kWindow));
  }
  static BillboardParams& B() { return Editor()->SelectedDefinition()->Billboard; }

  void OpenPlot(int popTime, std::vector<PlotPoint> points = {}) {
    B().PopTime = popTime;
    B().PlotPoints = std::move(points);
    Frame();
    Reveal("Plot", kWindow);
    Click("Plot", kWindow);
    RevealPlot();
  }
  void RevealPlot() {
    Reveal("PlotData", kWindow);
    ASSERT_TRUE(Shown("PlotData/area", kWindow));
  }
  // Where a frame and value lie on screen: the x axis runs over the lifetime (one frame when
  // the lifetime is none), y over 0 to 1.
  ImVec2 Pixel(double frame, double value) const {
    const ui::LoggedItem a = Find("PlotData/area", kWindow);
    const double frames = B().PopTime > 0 ? B().PopTime : 1;
    return ImVec2(static_cast<float>(a.min.x + frame / frames * (a.max.x - a.min.x)),
                  static_cast<float>(a.max.y - value * (a.max.y - a.min.y)));
  }
  double FramesPerPixel() const {
    const ui::LoggedItem a = Find("PlotData/area", kWindow);
    return (B().PopTime > 0 ? B().PopTime : 1) / static_cast<double>(a.max.x - a.min.x);
  }
  void CtrlClick(ImVec2 at) {
    Key(SDL_SCANCODE_LCTRL, true, KMOD_LCTRL);
    ClickAt(at);
    Key(SDL_SCANCODE_LCTRL, false);
    Frame();
  }
  void Choose(const std::string& combo, const std::string& entry) {
    Reveal(combo, kWindow);
    Click(combo, kWindow);
    for (const ui::LoggedItem& item : Log().Items())
      if (item.label == entry && item.window.starts_with("##Combo")) {
        ClickAt(item.Centre());
        break;
      }
    Frame(20);  // no double click follows
  }
  static std::vector<int> Frames() {
    std::vector<int> frames;
    for (const PlotPoint& p : B().PlotPoints) frames.push_back(p.Frame);
    return frames;
  }
  static PlotPoint Point(float value, int frame) { return {{value, value, value, value}, frame}; }
};

TEST_F(CurveEditor, AddsSnappedPointsAndDragsThemOverTheLifetimeWhateverTheWheel) {
  OpenPlot(50);
  EXPECT_TRUE(B().PlotPoints.empty()) << "an empty curve shows two points, but looking writes nothing";
  EXPECT_EQ(Editor()->PlotColor, (Colour{1, 0, 0, 1})) << "x is drawn in red";

  CtrlClick(Pixel(12.4, 0.5));
  ASSERT_EQ(Frames(), (std::vector<int>{0, 1, 12}));
  const float value = B().PlotPoints[2].Value[0];
  EXPECT_NEAR(value, 0.5, 0.01);
  EXPECT_EQ(B().PlotPoints[2].Value[1], 0.0f) << "only the channel shown";

  // The wheel over the plot scrolls the window; the axis still spans the whole lifetime.
  mouse_ = Pixel(25, 0.5);
  MoveMouse(mouse_);
  Wheel(-3);
  RevealPlot();
  const ui::LoggedItem area = Find("PlotData/area", kWindow);
  CtrlClick(ImVec2(area.max.x - 1, Pixel(0, 0.9).y));
  EXPECT_EQ(Frames(), (std::vector<int>{0, 1, 12, 50}));

  // Dragged to -0.6 it snaps to -1, away from zero, and keeps its value.
  const ImVec2 from = Pixel(12, value);
  Drag(from, from + ImVec2(static_cast<float>(std::round(-12.6 / FramesPerPixel())), 0));
  Frame();
  EXPECT_EQ(Frames(), (std::vector<int>{-1, 0, 1, 50}));
  EXPECT_EQ(B().PlotPoints[0].Value[0], value);
}

TEST_F(CurveEditor, TheChannelChosenSetsTheColourAndTheValueWritten) {
  OpenPlot(50, {Point(0.25f, 0), Point(0.25f, 40)});
  Choose("ElementType", "Color");
  Choose("PlotType", "a");
  EXPECT_EQ(Editor()->PlotColor, (Colour{1, 1, 1, 1}));
  RevealPlot();
  CtrlClick(Pixel(20, 0.75));
  ASSERT_EQ(Frames(), (std::vector<int>{0, 20, 40}));
  EXPECT_EQ(B().PlotPoints[0].Value[3], 0.25f);
  EXPECT_NEAR(B().PlotPoints[1].Value[3], 0.75, 0.01);
  EXPECT_EQ(B().PlotPoints[2].Value[3], 0.25f);
  // The other channels are not written: the third point is new, and all zero there.
  EXPECT_EQ(B().PlotPoints[1].Value[0], 0.25f);
  EXPECT_EQ(B().PlotPoints[2].Value[0], 0.0f);

  Choose("ElementType", "Vector3");
  Choose("PlotType", "z");
  EXPECT_EQ(Editor()->PlotColor, (Colour{0, 0, 1, 1}));
}

TEST_F(CurveEditor, DeleteHeldWithAClickInTheBoxRemovesWhatTheWalkReachesButNeverTheLast) {
  OpenPlot(50, {Point(0.5f, 5), Point(0.5f, 15), Point(0.5f, 25), Point(0.5f, 35)});
  const std::vector<int> all{5, 15, 25, 35};
  const auto holdDelete = [&](bool down) {
    Key(SDL_SCANCODE_DELETE, down);
    Frame();
  };

  // Delete with a click but no box, and a click in the box without Delete, remove nothing.
  holdDelete(true);
  ClickAt(Pixel(20, 0.2));
  holdDelete(false);
  EXPECT_EQ(Frames(), all);
  mouse_ = Pixel(2, 0.9);
  MoveMouse(mouse_);
  Frame();
  MouseButton(true, SDL_BUTTON_RIGHT);
  Frame();
  for (const double x : {20.0, 45.0}) {
    mouse_ = Pixel(x, 0.1);
    MoveMouse(mouse_);
    Frame();
  }
  const auto click = [&] {
    MouseButton(true);
    Frame();
    MouseButton(false);
    Frame();
  };
  click();
  EXPECT_EQ(Frames(), all);

  // Each click walks the box once: a point moved into a removed one's place waits.
  holdDelete(true);
  click();
  EXPECT_EQ(Frames(), (std::vector<int>{15, 35}));
  click();
  EXPECT_EQ(Frames(), (std::vector<int>{35}));
  click();
  EXPECT_EQ(Frames(), (std::vector<int>{35}));
  EXPECT_EQ(Editor()->Curve.PlotSeries[0].size(), 1u);
  EXPECT_EQ(Editor()->Curve.PlotCursors[0], 0);
  holdDelete(false);
  MouseButton(false, SDL_BUTTON_RIGHT);
  Frame();

  // Still a working curve: a point added lands after the one left, and the line joins them.
  CtrlClick(Pixel(45, 0.5));
  EXPECT_EQ(Frames(), (std::vector<int>{35, 45}));
}

TEST_F(CurveEditor, LifetimesOfNothingOrNearTheIntegerLimitStillPlot) {
  for (const int popTime : {0, -20}) {
    SCOPED_TRACE(popTime);
    B().PopTime = popTime;
    if (!Shown("PlotData", kWindow)) OpenPlot(popTime);
    Frame();
    // An empty curve shows two points, written with the first change.
    const size_t before = std::max<size_t>(B().PlotPoints.size(), 2);
    CtrlClick(Pixel(0.8, 0.5));
    ASSERT_EQ(B().PlotPoints.size(), before + 1);
    EXPECT_EQ(B().PlotPoints.back().Frame, 1) << "the axis runs over one frame";
  }

  // A point dragged past the last frame of the longest lifetime stops at the integer limit.
  B().PopTime = INT_MAX;
  Frame();
  const ImVec2 at = Pixel(INT_MAX * 0.99, 0.5);
  CtrlClick(at);
  ASSERT_NEAR(B().PlotPoints.back().Frame, INT_MAX * 0.99, 2 * FramesPerPixel());
  Drag(at, at + ImVec2(60, 0));
  Frame();
  EXPECT_EQ(B().PlotPoints.back().Frame, INT_MAX);
}

}  // namespace
