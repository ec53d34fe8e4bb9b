// The plotting layer on the headless interface: a plot in a window of the test's own, built
// every frame after the editor's windows and driven only by mouse input through the editor
// window's events. Where the plot area lies comes from the item log, not from the layer.

// Vector arithmetic, which the library's internal header defines on request.
#define IMGUI_DEFINE_MATH_OPERATORS
#include "ui/implot.h"

#include <SDL_events.h>
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <cmath>
#include <functional>
#include <limits>

#include "ui/ui_items.h"
#include "support/editor_fixture.h"

namespace {

constexpr double kXMax = 50.0;  // the test plot's axes: 0 to 50 and 0 to 1
const ImVec4 kMagenta(1, 0, 1, 1);
const ImVec4 kCyan(0, 1, 1, 1);

// What the plot answered in the last frame.
struct Seen {
  bool hovered = false, selected = false;
  ImPlotPoint mouse;
  ImPlotRect selection;
};

bool SameRgb(ImU32 a, ImU32 b) {
  return (a & 0x00FFFFFF) == (b & 0x00FFFFFF);
}

double Cross(ImVec2 o, ImVec2 a, ImVec2 b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// Whether a triangle of the colour drawn last frame covers the spot.
bool Covered(ImVec2 at, const ImVec4& colour) {
  const ImU32 rgb = ImGui::GetColorU32(colour);
  const ImDrawData* data = ImGui::GetDrawData();
  for (int l = 0; data && l < data->CmdListsCount; ++l) {
    const ImDrawList* list = data->CmdLists[l];
    for (const ImDrawCmd& cmd : list->CmdBuffer)
      for (unsigned e = 0; e + 3 <= cmd.ElemCount; e += 3) {
        ImVec2 v[3];
        bool ours = true;
        for (int k = 0; k < 3 && ours; ++k) {
          const ImDrawVert& vert =
              list->VtxBuffer[static_cast<int>(cmd.VtxOffset + list->IdxBuffer[cmd.IdxOffset + e + k])];
          v[k] = vert.pos;
          ours = SameRgb(vert.col, rgb);
        }
        if (!ours) continue;
        const double a = Cross(v[0], v[1], at), b = Cross(v[1], v[2], at), c = Cross(v[2], v[0], at);
        if ((a >= 0 && b >= 0 && c >= 0) || (a <= 0 && b <= 0 && c <= 0)) return true;
      }
  }
  return false;
}

// The first vertex of the colour drawn last frame.
ImVec2 FirstVertex(const ImVec4& colour) {
  const ImU32 rgb = ImGui::GetColorU32(colour);
  const ImDrawData* data = ImGui::GetDrawData();
  for (int l = 0; data && l < data->CmdListsCount; ++l)
    for (const ImDrawVert& v : data->CmdLists[l]->VtxBuffer)
      if (SameRgb(v.col, rgb) && (v.col >> IM_COL32_A_SHIFT) == 0xFF) return v.pos;
  return ImVec2(-1, -1);
}

class PlotLayerTest : public EditorTest {
 protected:
  // Whole frames with the test window; the axes are set up by setup_ (both pinned to 0..50 and
  // 0..1 by default), then items_ plots.
  void Step(int count = 1) {
    Frame(count, [this] {
      ImGui::SetNextWindowPos(ImVec2(400, 420));
      ImGui::SetNextWindowSize(ImVec2(290, 420));
      ui::Begin("Test");
      if (ui::Plot plot("Plot"); plot) {
        if (setup_) {
          setup_();
        } else {
          ImPlot::SetupAxes(nullptr, nullptr, ImPlotAxisFlags_LockMin, ImPlotAxisFlags_LockMin);
          ImPlot::SetupAxisLimits(ImAxis_X1, 0, kXMax, ImPlotCond_Always);
          ImPlot::SetupAxisLimits(ImAxis_Y1, 0, 1, ImPlotCond_Always);
        }
        if (items_) items_();
        seen_ = {ImPlot::IsPlotHovered(), ImPlot::IsPlotSelected(), ImPlot::GetPlotMousePos(),
                 ImPlot::GetPlotSelection()};
      }
      ImGui::End();
    });
  }
  void Point(ImVec2 at) {
    mouse_ = at;
    MoveMouse(at);
    Step();
  }
  void Press(bool down, Uint8 button = SDL_BUTTON_LEFT) {
    MouseButton(down, button);
    Step();
  }
  void WheelUp() {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.windowID = EditorWindowId();
    e.wheel.y = 1;
    system_.PushEvent(e);
    Step(2);
  }

  ui::LoggedItem Area() const { return Find("Plot/area", "Test"); }
  // Where the test expects a plot value on screen, from the logged area alone.
  ImVec2 Pixel(double x, double y) const {
    const ui::LoggedItem a = Area();
    return ImVec2(static_cast<float>(a.min.x + x / kXMax * (a.max.x - a.min.x)),
                  static_cast<float>(a.max.y - y * (a.max.y - a.min.y)));
  }
  // One pixel's worth of each axis.
  double XPixel() const { return kXMax / (Area().max.x - Area().min.x); }
  double YPixel() const { return 1.0 / (Area().max.y - Area().min.y); }

  std::function<void()> setup_, items_;
  Seen seen_;
};

TEST_F(PlotLayerTest, MapsPlotAndScreenBothWaysAndHoversOnlyItsArea) {
  ImVec2 origin, corner, quarter;
  ImPlotPoint centre;
  items_ = [&] {
    origin = ImPlot::PlotToPixels(0, 0);
    corner = ImPlot::PlotToPixels(kXMax, 1);
    quarter = ImPlot::PlotToPixels(12.5, 0.25);
    const ImVec2 middle = ImPlot::GetPlotPos() + ImPlot::GetPlotSize() * 0.5f;
    centre = ImPlot::PixelsToPlot(middle);
  };
  Step(2);
  const ui::LoggedItem frame = Find("Plot", "Test"), area = Area();
  EXPECT_EQ(frame.max.y - frame.min.y, ImPlot::kDefaultPlotHeight);
  EXPECT_GT(frame.max.x - frame.min.x, 200) << "the plot takes the window's width";
  EXPECT_TRUE(area.min.x > frame.min.x && area.max.x <= frame.max.x && area.min.y >= frame.min.y &&
              area.max.y < frame.max.y)
      << "the area leaves room for the tick labels";
  EXPECT_EQ(origin.x, area.min.x);
  EXPECT_EQ(origin.y, area.max.y);
  EXPECT_EQ(corner.x, area.max.x);
  EXPECT_EQ(corner.y, area.min.y);
  EXPECT_FLOAT_EQ(quarter.x, area.min.x + (area.max.x - area.min.x) / 4);
  EXPECT_FLOAT_EQ(quarter.y, area.max.y - (area.max.y - area.min.y) / 4);
  EXPECT_NEAR(centre.x, kXMax / 2, XPixel());
  EXPECT_NEAR(centre.y, 0.5, YPixel());

  Point(Pixel(10, 0.3));
  EXPECT_TRUE(seen_.hovered);
  EXPECT_NEAR(seen_.mouse.x, 10, XPixel());
  EXPECT_NEAR(seen_.mouse.y, 0.3, YPixel());
  Point(ImVec2(area.min.x - 5, area.Centre().y));  // over the tick labels, inside the frame
  EXPECT_FALSE(seen_.hovered);

  // Ranges that would divide by nothing, or by something not finite, become usable.
  Point(Pixel(10, 0.3));
  items_ = [&] { corner = ImPlot::PlotToPixels(1, 1); };
  for (const double max : {0.0, -5.0, std::numeric_limits<double>::quiet_NaN()}) {
    SCOPED_TRACE(max);
    setup_ = [max] {
      ImPlot::SetupAxisLimits(ImAxis_X1, 0, max, ImPlotCond_Always);
      ImPlot::SetupAxisLimits(ImAxis_Y1, std::numeric_limits<double>::infinity(), 1, ImPlotCond_Always);
    };
    Step(2);
    EXPECT_EQ(corner.x, Area().max.x) << "x from 0 to 1";
    EXPECT_EQ(corner.y, Area().min.y) << "y from 0 to 1";
    EXPECT_NEAR(seen_.mouse.x, 10 / kXMax, 1e-2);
  }
}

TEST_F(PlotLayerTest, WheelZoomsAboutALockedMinimumUnlessTheLimitsArePinned) {
  ImPlotPoint topRight;
  const auto setUp = [](ImPlotCond cond) {
    return [cond] {
      ImPlot::SetupAxes(nullptr, nullptr, ImPlotAxisFlags_LockMin, ImPlotAxisFlags_Lock);
      ImPlot::SetupAxisLimits(ImAxis_X1, 0, kXMax, cond);
      ImPlot::SetupAxisLimits(ImAxis_Y1, 0, 1, cond);
    };
  };
  items_ = [&] {
    topRight = ImPlot::PixelsToPlot(ImPlot::GetPlotPos() + ImVec2(ImPlot::GetPlotSize().x, 0));
  };
  setup_ = setUp(ImPlotCond_Always);
  Step();
  Point(Pixel(25, 0.5));
  WheelUp();
  EXPECT_DOUBLE_EQ(topRight.x, kXMax) << "limits applied every frame hold";
  EXPECT_NEAR(seen_.mouse.x, 25, XPixel());

  setup_ = setUp(ImPlotCond_Once);
  Step();
  const ImPlotPoint before = seen_.mouse;
  WheelUp();
  EXPECT_LT(topRight.x, kXMax - 1) << "zoomed in on x";
  EXPECT_LT(seen_.mouse.x, before.x) << "about its minimum, which stays at the left edge";
  EXPECT_DOUBLE_EQ(topRight.y, 1.0) << "y is locked both ways";
}

TEST_F(PlotLayerTest, DragPointFollowsThePointerFromWhereItWasTaken) {
  double x = 10, y = 0.5;
  bool moved = false;
  items_ = [&] { moved = ImPlot::DragPoint(7, &x, &y, ImVec4(1, 1, 1, 1), 8) || moved; };
  Step();
  const ImVec2 grab = Pixel(10, 0.5) + ImVec2(3, 0);
  Point(grab);
  Press(true);
  for (int step = 1; step <= 4; ++step) Point(grab + ImVec2(10.0f * step, -5.0f * step));
  Press(false);
  EXPECT_TRUE(moved);
  EXPECT_NEAR(x, 10 + 40 * XPixel(), 1e-4);
  EXPECT_NEAR(y, 0.5 + 20 * YPixel(), 1e-4);

  // Released, the point stays; a press beside it, or during a selection box, takes nothing.
  const double keptX = x, keptY = y;
  Point(grab + ImVec2(80, 0));
  Point(Pixel(x, y) + ImVec2(20, 0));
  Press(true);
  Point(mouse_ + ImVec2(30, 30));
  Press(false);
  Point(Pixel(x, y) + ImVec2(-30, -30));
  Press(true, SDL_BUTTON_RIGHT);
  Point(Pixel(x, y));
  Press(true);
  Point(mouse_ + ImVec2(30, 30));
  Press(false);
  Press(false, SDL_BUTTON_RIGHT);
  EXPECT_EQ(x, keptX);
  EXPECT_EQ(y, keptY);
}

TEST_F(PlotLayerTest, LinesAndScattersStartAtTheOffsetAndStepByTheStride) {
  // A V: the line closes its bottom only when it runs from the last point back to the first.
  const ImPlotPoint v[3] = {{10, 0.2}, {25, 0.8}, {40, 0.2}};
  int offset = 0;
  items_ = [&] {
    ImPlot::PushStyleColor(ImPlotCol_Line, kCyan);
    ImPlot::PlotLine("line", &v[0].x, &v[0].y, 3, 0, offset, sizeof(ImPlotPoint));
    ImPlot::PopStyleColor();
    ImPlot::PushStyleColor(ImPlotCol_MarkerFill, kMagenta);
    ImPlot::PlotScatter("points", &v[0].x, &v[0].y, 3, 0, offset, sizeof(ImPlotPoint));
    ImPlot::PopStyleColor();
  };
  // By the point drawn first: each segment is drawn but the one that would end there.
  const struct { int offset, first; } cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 0}, {4, 1}, {-1, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.offset);
    offset = c.offset;
    Step(2);
    EXPECT_EQ(Covered(Pixel(17.5, 0.5), kCyan), c.first != 1) << "from point 0 to 1";
    EXPECT_EQ(Covered(Pixel(32.5, 0.5), kCyan), c.first != 2) << "from point 1 to 2";
    EXPECT_EQ(Covered(Pixel(25, 0.2), kCyan), c.first != 0) << "from point 2 back to 0";
    const ImVec2 first = FirstVertex(kMagenta), expected = Pixel(v[c.first].x, v[c.first].y);
    EXPECT_LT(std::hypot(first.x - expected.x, first.y - expected.y), 6)
        << "the scatter starts at point " << c.first;
  }
}

TEST_F(PlotLayerTest, RightDragDrawsABoxThatLastsWhileTheButtonIsHeld) {
  Step();
  Point(Pixel(10, 0.8));
  Press(true, SDL_BUTTON_RIGHT);
  EXPECT_FALSE(seen_.selected) << "no box before the pointer moves";
  Point(Pixel(30, 0.4));
  ASSERT_TRUE(seen_.selected);
  EXPECT_NEAR(seen_.selection.X.Min, 10, XPixel());
  EXPECT_NEAR(seen_.selection.X.Max, 30, XPixel());
  EXPECT_NEAR(seen_.selection.Y.Min, 0.4, YPixel());
  EXPECT_NEAR(seen_.selection.Y.Max, 0.8, YPixel());

  // A left click does not end it; beyond the area it stops at the edges.
  Press(true);
  Press(false);
  EXPECT_TRUE(seen_.selected);
  Point(ImVec2(Area().min.x - 40, Area().max.y + 40));
  EXPECT_DOUBLE_EQ(seen_.selection.X.Min, 0);
  EXPECT_DOUBLE_EQ(seen_.selection.Y.Min, 0);
  EXPECT_NEAR(seen_.selection.X.Max, 10, XPixel());

  Press(false, SDL_BUTTON_RIGHT);
  EXPECT_FALSE(seen_.selected);
  EXPECT_EQ(seen_.selection.X.Max, 0) << "no rectangle once released";

  // A right press outside the area starts nothing.
  Point(ImVec2(Area().min.x - 5, Area().Centre().y));
  Press(true, SDL_BUTTON_RIGHT);
  Point(Pixel(20, 0.5));
  EXPECT_FALSE(seen_.selected);
  Press(false, SDL_BUTTON_RIGHT);
}

}  // namespace
