// Drives the "Plot" section of the real program with xdotool and looks at the editor window's
// last picture after each step: the section opened, a third point added with Ctrl+click, a box
// held around it with the right button, and the point removed with Delete held and a click.
// Each step is a run of its own that repeats the steps before it, since the program takes its
// picture when it ends.
//
// The widgets are where the window always puts them: "Particles" opens at kPanelWindow, 500x600;
// with "Plot" open and the window scrolled to its end the plot area spans about (45,245) to
// (468,493) from its corner, frames 0 to 50 across (the first effect's PopTime) and values 0 to 1
// up.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>

#include "editor_session.h"
#include "platform/gfx/image.h"

namespace e2e {
namespace {

constexpr Point kParticleIcon{58, 272};
constexpr Point kPlotHeader = InPanel(20, 293);
constexpr Point kInsideParticles = InPanel(240, 440);
constexpr int kScrollToEnd = 10;  // wheel notches; the window stops at its end

// Plot coordinates on screen, once scrolled.
constexpr int kAreaLeft = kPanelWindow.x + 45, kAreaRight = kPanelWindow.x + 468,
              kAreaTop = kPanelWindow.y + 245, kAreaBottom = kPanelWindow.y + 493;
constexpr Point At(double frame, double value) {
  return {static_cast<int>(kAreaLeft + frame / 50.0 * (kAreaRight - kAreaLeft)),
          static_cast<int>(kAreaBottom - value * (kAreaBottom - kAreaTop))};
}
constexpr Point kThirdPoint = At(25, 0.6);
constexpr Point kBoxFrom = At(18, 0.85), kBoxTo = At(32, 0.35);
constexpr Point kLineMiddle = At(13, 0.3);  // halfway from the point at frame 1 to the third

constexpr Rect Around(Point p, int r) {
  return {p.x - r, p.y - r, p.x + r + 1, p.y + r + 1};
}
constexpr Rect kPlotArea{kAreaLeft + 2, kAreaTop + 2, kAreaRight - 1, kAreaBottom - 1};

// ---- pictures -----------------------------------------------------------------------------------

bool Red(const std::uint8_t* p) {
  return p[0] > 200 && p[1] < 70 && p[2] < 70;
}
// The centroid's square, in the colour the plot gives it: cyan.
bool Cyan(const std::uint8_t* p) {
  return Distance(p, 51, 204, 242) < 60;
}
bool PlotBackground(const std::uint8_t* p) {
  return Distance(p, 15, 15, 20) < 12;
}

struct Step {
  const char* name;
  std::function<void(EditorSession&)> drive;
  std::function<void(const gfx::Image&, Problems*)> check;
};

void OpenPlot(EditorSession& editor) {
  editor.Click(kParticleIcon);
  editor.Click(kPlotHeader);
  editor.WheelDown(kInsideParticles, kScrollToEnd);
}
void AddThirdPoint(EditorSession& editor) {
  OpenPlot(editor);
  editor.CtrlClick(kThirdPoint);
}
void HoldBox(EditorSession& editor) {
  AddThirdPoint(editor);
  editor.HoldRight(kBoxFrom, kBoxTo);
}
void DeleteInBox(EditorSession& editor) {
  HoldBox(editor);
  editor.ClickHolding("Delete");
  editor.ReleaseRight();
  editor.MoveAway();
}

// What the third point leaves on screen: its marker (red inside a white ring) and the line to it.
void CheckThirdPoint(const gfx::Image& picture, bool shown, Problems* problems) {
  const int red = Count(picture, Around(kThirdPoint, 3), Red);
  const int white = Count(picture, Around(kThirdPoint, 9), TextWhite);
  const int line = Count(picture, Around(kLineMiddle, 4), Red);
  if (shown) {
    Check(problems, red >= 15, "the third point shows " + std::to_string(red) + " red pixels");
    Check(problems, white >= 20, "the third point's grip shows " + std::to_string(white) + " white pixels");
    Check(problems, line >= 3, "the line to the third point shows " + std::to_string(line) + " red pixels");
  } else {
    Check(problems, red == 0 && white == 0, "the removed point still shows");
    Check(problems, line == 0, "the line still runs to the removed point");
  }
}

const Step kSteps[] = {
    {"opened", OpenPlot,
     [](const gfx::Image& picture, Problems* problems) {
       const int background = Count(picture, kPlotArea, PlotBackground);
       Check(problems, background > 80000,
             "the plot area shows " + std::to_string(background) + " pixels of its own");
       const int first =
           Count(picture, Rect{kAreaLeft, kAreaBottom - 6, kAreaLeft + 20, kAreaBottom + 1}, Red);
       Check(problems, first >= 10, "the two first points show " + std::to_string(first) + " red pixels");
       CheckThirdPoint(picture, false, problems);
     }},
    {"added", AddThirdPoint,
     [](const gfx::Image& picture, Problems* problems) {
       CheckThirdPoint(picture, true, problems);
       Check(problems, Count(picture, kPlotArea, Cyan) == 0, "a centroid shows with no box");
     }},
    {"boxed", HoldBox,
     [](const gfx::Image& picture, Problems* problems) {
       const int centroid = Count(picture, Around(kThirdPoint, 7), Cyan);
       Check(problems, centroid >= 100, "the centroid shows " + std::to_string(centroid) + " cyan pixels");
       const int outside = Count(picture, kPlotArea, Cyan) - centroid;
       Check(problems, outside == 0, std::to_string(outside) + " cyan pixels away from the centroid");
       const int edge = Count(picture, Rect{kBoxFrom.x - 1, kBoxFrom.y + 20, kBoxFrom.x + 2, kBoxTo.y - 20},
                              [](const std::uint8_t* p) { return p[0] > 150 && p[1] > 150 && p[2] > 150; });
       Check(problems, edge >= 30, "the box's left edge shows " + std::to_string(edge) + " light pixels");
     }},
    {"deleted", DeleteInBox,
     [](const gfx::Image& picture, Problems* problems) {
       CheckThirdPoint(picture, false, problems);
       Check(problems, Count(picture, kPlotArea, Cyan) == 0, "the centroid stays after the box");
       const int first =
           Count(picture, Rect{kAreaLeft, kAreaBottom - 6, kAreaLeft + 20, kAreaBottom + 1}, Red);
       Check(problems, first >= 10, "the two first points are gone too");
     }},
};

class PlotEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string problem = DisplayProblem(); !problem.empty()) GTEST_FAIL() << problem;
  }
  ScratchFolder scratch_;
};

TEST_F(PlotEndToEnd, CtrlClickAddsAPointThatABoxSelectsAndDeleteRemoves) {
  for (const Step& step : kSteps) {
    Problems problems;
    for (int session = 0; session < kSessions; ++session) {
      problems.clear();
      const std::string name = std::string(step.name) + std::to_string(session);
      EditorSession editor(scratch_.Path(), name);
      ASSERT_TRUE(editor.Started());
      step.drive(editor);
      const gfx::Image picture = editor.Quit();
      // The box's run ends with the button held, and the display would keep it down for the next.
      editor.ReleaseRight();
      ASSERT_FALSE(picture.Empty());
      step.check(picture, &problems);
      if (problems.empty()) {
        // Kept for a person to look at, beside the test's own copy of the data.
        if (const char* keep = std::getenv("PE_KEEP_PICTURES"))
          fs::copy_file(scratch_.Path() / (name + "-editor.png"),
                        fs::path(keep) / (std::string(step.name) + ".png"),
                        fs::copy_options::overwrite_existing);
        break;
      }
      std::printf("the %s session %d went wrong; trying again:%s\n", step.name, session,
                  Said(problems).c_str());
    }
    EXPECT_TRUE(problems.empty()) << "the plot " << step.name << ":" << Said(problems);
  }
}

}  // namespace
}  // namespace e2e
