#pragma once
// A small plotting layer over the interface library, drawn with its draw lists: one plot at a
// time between BeginPlot and EndPlot, two axes, lines, scatters, draggable points and a
// right-drag box selection. The calls and names follow the plotting extension the editor was
// designed around, so code written for it reads the same here; only what the editor uses
// exists.
//
// Input: the left button drags points; the right button held over the plot area draws a
// selection box, which lasts exactly while that button is held (other buttons neither start
// nor cancel it, and points do not take presses while it is drawn); the wheel zooms the axes
// whose limits are not fixed every frame.

#include <imgui.h>

struct ImPlotContext;

using ImAxis = int;
using ImPlotAxisFlags = int;
using ImPlotCond = int;
using ImPlotCol = int;
using ImPlotMarker = int;
using ImPlotFlags = int;
using ImPlotLineFlags = int;
using ImPlotScatterFlags = int;
using ImPlotDragToolFlags = int;

enum ImAxis_ { ImAxis_X1 = 0, ImAxis_Y1 = 1, ImAxis_COUNT };

enum ImPlotAxisFlags_ {
  ImPlotAxisFlags_None = 0,
  ImPlotAxisFlags_LockMin = 1 << 0,  // the wheel never moves the axis minimum
  ImPlotAxisFlags_LockMax = 1 << 1,  // nor the maximum
  ImPlotAxisFlags_Lock = ImPlotAxisFlags_LockMin | ImPlotAxisFlags_LockMax,
};

enum ImPlotCond_ {
  ImPlotCond_None = 0,
  ImPlotCond_Always = 1,  // applied every frame: the user cannot zoom away
  ImPlotCond_Once = 2,    // applied when the plot first appears
};

enum ImPlotCol_ { ImPlotCol_Line = 0, ImPlotCol_MarkerFill, ImPlotCol_COUNT };

enum ImPlotMarker_ {
  ImPlotMarker_None = -1,
  ImPlotMarker_Circle = 0,
  ImPlotMarker_Square,
  ImPlotMarker_COUNT
};

// Sizes and markers left to the layer.
inline constexpr int IMPLOT_AUTO = -1;
inline const ImVec4 IMPLOT_AUTO_COL{0.0f, 0.0f, 0.0f, -1.0f};

struct ImPlotPoint {
  double x = 0.0, y = 0.0;
  constexpr ImPlotPoint() = default;
  constexpr ImPlotPoint(double px, double py) : x(px), y(py) {}
};

struct ImPlotRange {
  double Min = 0.0, Max = 0.0;
  // Bounds included.
  bool Contains(double value) const { return value >= Min && value <= Max; }
  double Size() const { return Max - Min; }
};

struct ImPlotRect {
  ImPlotRange X, Y;
  bool Contains(const ImPlotPoint& p) const { return X.Contains(p.x) && Y.Contains(p.y); }
};

namespace ImPlot {

inline constexpr float kDefaultPlotHeight = 300.0f;

// ---- contexts
// The plot context belongs to the interface context current at creation (which must exist)
// and is the one the calls below use while that interface context is current. Destroying the
// interface context destroys it too, if DestroyContext was not called first.
ImPlotContext* CreateContext();
// Null destroys the current interface context's plot context.
void DestroyContext(ImPlotContext* context = nullptr);
ImPlotContext* GetCurrentContext();

// ---- the plot
// size.x <= 0 takes the available width; size.y <= 0 the default height. Text before "##" in
// the title is shown above the plot. False, with nothing to end, when the window is collapsed
// or clipped away.
bool BeginPlot(const char* title, const ImVec2& size = ImVec2(-1, 0), ImPlotFlags flags = 0);
void EndPlot();

// Right after BeginPlot, before anything is plotted. Labels may be null.
void SetupAxes(const char* xLabel, const char* yLabel, ImPlotAxisFlags xFlags = 0,
               ImPlotAxisFlags yFlags = 0);
// An empty or reversed range is widened to one unit above its minimum; a range that is not
// finite becomes 0 to 1.
void SetupAxisLimits(ImAxis axis, double min, double max, ImPlotCond cond = ImPlotCond_Once);

// ---- queries on the current plot
// The pointer over the plot area, with no other widget holding the mouse.
bool IsPlotHovered();
ImPlotPoint GetPlotMousePos();
// The plot area, where the axes map, in screen coordinates.
ImVec2 GetPlotPos();
ImVec2 GetPlotSize();
ImVec2 PlotToPixels(double x, double y);
ImPlotPoint PixelsToPlot(const ImVec2& pixels);
// While a selection box is drawn: its rectangle in plot coordinates, minimum first.
bool IsPlotSelected();
ImPlotRect GetPlotSelection(ImAxis xAxis = ImAxis_X1, ImAxis yAxis = ImAxis_Y1);

// ---- items
// A point of the given colour and radius that the left button drags; true while it moves. The
// id tells the points of one plot apart from frame to frame.
bool DragPoint(int id, double* x, double* y, const ImVec4& colour, float size = 4,
               ImPlotDragToolFlags flags = 0);
// Item i reads element (offset + i) modulo count; stride is the distance in bytes between
// consecutive x (and y) values.
void PlotLine(const char* label, const double* xs, const double* ys, int count, ImPlotLineFlags flags = 0,
              int offset = 0, int stride = sizeof(double));
void PlotScatter(const char* label, const double* xs, const double* ys, int count,
                 ImPlotScatterFlags flags = 0, int offset = 0, int stride = sizeof(double));

// ---- style
void PushStyleColor(ImPlotCol item, const ImVec4& colour);
void PopStyleColor(int count = 1);
// For the next item only.
void SetNextMarkerStyle(ImPlotMarker marker = IMPLOT_AUTO, float size = IMPLOT_AUTO,
                        const ImVec4& fill = IMPLOT_AUTO_COL, float weight = IMPLOT_AUTO,
                        const ImVec4& outline = IMPLOT_AUTO_COL);

}  // namespace ImPlot
