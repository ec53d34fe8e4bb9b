// The billboard panel's "Plot" section: a curve of points over the particle's lifetime, one
// series per channel of a Vector2, Vector3 or Color value, written into the definition's
// PlotPoints. Ctrl+click adds a point, a drag moves one, the right button held draws a box that
// shows the centroid of the points inside, and a left click inside it with Delete held removes
// them.

#include <imgui.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <climits>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "editor/editor.h"
#include "ui/implot.h"
#include "ui/ui_items.h"

namespace {

constexpr std::array<std::array<float, 4>, CEditor::CurveEditorState::kChannels> kChannelColours{{
    {1.0f, 0.0f, 0.0f, 1.0f},
    {0.0f, 1.0f, 0.0f, 1.0f},
    {0.0f, 0.0f, 1.0f, 1.0f},
    {1.0f, 1.0f, 1.0f, 1.0f},
}};
constexpr float kDragPointSize = 8.0f;
constexpr float kCentroidSize = 6.0f;
const ImVec4 kDragPointColour{1.0f, 1.0f, 1.0f, 1.0f};

const std::vector<std::string>& ChannelNames(int elementType) {
  static const std::array<std::vector<std::string>, 4> kNames{
      {{"x", "y"}, {"x", "y", "z"}, {"r", "g", "b", "a"}, {}}};
  return kNames[elementType >= 0 && elementType < 3 ? elementType : 3];
}

// The nearest whole frame, halves away from zero, reckoned in single precision as the frame
// is stored.
double SnapFrame(double x) {
  return std::roundf(static_cast<float>(std::clamp(x, -double{FLT_MAX}, double{FLT_MAX})));
}

// A lifetime near the integer limit puts points beyond it.
int ToFrame(double x) {
  if (std::isnan(x)) return 0;
  return static_cast<int>(std::clamp(x, double{INT_MIN}, double{INT_MAX}));
}

float ToValue(double y) {
  return static_cast<float>(std::clamp(y, -double{FLT_MAX}, double{FLT_MAX}));
}

// A point's id is the cursor plus its place in the list, so a drag held while the points are
// reordered passes to whichever point then holds that place. Whether one moved.
bool DragPlotPoints(std::vector<ImPlotPoint>& s, int c) {
  bool moved = false;
  for (std::size_t i = 0; i < s.size(); ++i)
    moved |= ImPlot::DragPoint(c + static_cast<int>(i), &s[i].x, &s[i].y, kDragPointColour, kDragPointSize);
  return moved;
}

// One pass of the removal gesture over the points inside r. The point that moves into a removed
// one's place waits for the next click, and the last point always stays.
// Whether one went.
bool DeletePointsInSelection(BillboardParams& b, std::vector<ImPlotPoint>& s, const ImPlotRect& r, int& c) {
  if (!ImGui::IsMouseClicked(ImGuiMouseButton_Left) || !ImGui::IsKeyDown(ImGui::GetKeyIndex(ImGuiKey_Delete)))
    return false;
  bool removed = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (!r.Contains(s[i]) || c <= 0 || s.size() <= 1) continue;
    s.erase(s.begin() + static_cast<std::ptrdiff_t>(i));
    // The definition shown may hold fewer points than the series it shows.
    if (i < b.PlotPoints.size()) b.PlotPoints.erase(b.PlotPoints.begin() + static_cast<std::ptrdiff_t>(i));
    --c;
    removed = true;
  }
  return removed;
}

}  // namespace

void CEditor::ShowPlotEditor(BillboardParams& b) {
  // The curve shows the definition on screen: another one shown starts the series afresh.
  const std::pair<std::string, int> shown(TagIndex >= 0 ? Tags[TagIndex] : std::string(), ItemIndex);
  if (Curve.Shown != shown) {
    for (auto& series : Curve.PlotSeries) series.clear();
    Curve.Shown = shown;
  }
  FillPlotSeries(b);
  ComboList(Curve.ElementTypeIndex, {"Vector2", "Vector3", "Color"}, "ElementType");
  ComboList(Curve.PlotChannel, ChannelNames(Curve.ElementTypeIndex), "PlotType");
  const int channel = Curve.PlotChannel;
  if (channel < 0 || channel >= CurveEditorState::kChannels) return;
  PlotColor = kChannelColours[channel];
  if (ui::Plot plot("PlotData"); plot) ShowPlot(b, Curve.PlotSeries[channel], Curve.PlotCursors[channel]);
}

// The series are filled once per definition shown: points are added and removed without ever
// emptying them. A curve of no points shows two, written into the definition only when the
// user changes the curve (looking at it changes nothing).
void CEditor::FillPlotSeries(const BillboardParams& b) {
  auto& series = Curve.PlotSeries;
  if (std::none_of(series.begin(), series.end(), [](const auto& s) { return s.empty(); })) return;
  const std::vector<PlotPoint> defaults = {PlotPoint{{}, 0}, PlotPoint{{}, 1}};
  const std::vector<PlotPoint>& points = b.PlotPoints.empty() ? defaults : b.PlotPoints;
  for (std::size_t k = 0; k < points.size(); ++k) {
    const PlotPoint& point = points[k];
    for (int i = 0; i < CurveEditorState::kChannels; ++i) {
      series[i].emplace_back(point.Frame, point.Value[i]);
      Curve.PlotCursors[i] = static_cast<int>(k);
    }
  }
}

void CEditor::ShowPlot(BillboardParams& b, std::vector<ImPlotPoint>& s, int& c) {
  // Both axes pinned to the lifetime and the unit range, so the curve never leaves the view.
  ImPlot::SetupAxes(nullptr, nullptr, ImPlotAxisFlags_LockMin, ImPlotAxisFlags_LockMin);
  ImPlot::SetupAxisLimits(ImAxis_X1, 0.0, b.PopTime, ImPlotCond_Always);
  ImPlot::SetupAxisLimits(ImAxis_Y1, 0.0, 1.0, ImPlotCond_Always);

  bool changed = false;
  if (ImPlot::IsPlotHovered() && ImGui::IsMouseClicked(ImGuiMouseButton_Left) && ImGui::GetIO().KeyCtrl) {
    s.push_back(ImPlot::GetPlotMousePos());
    ++c;
    changed = true;
  }
  for (ImPlotPoint& point : s) point.x = SnapFrame(point.x);
  std::stable_sort(s.begin(), s.end(), [](const ImPlotPoint& a, const ImPlotPoint& p) { return a.x < p.x; });
  if (changed || Curve.PointsMoved) WritePlotPoints(b, s);
  Curve.PointsMoved = DragPlotPoints(s, c);

  const int count = static_cast<int>(s.size());
  const double* xs = s.empty() ? nullptr : &s.front().x;
  const double* ys = s.empty() ? nullptr : &s.front().y;
  const ImVec4 colour(PlotColor[0], PlotColor[1], PlotColor[2], PlotColor[3]);
  // The line starts one past the cursor: from the first point to the last.
  ImPlot::PushStyleColor(ImPlotCol_Line, colour);
  ImPlot::PlotLine("##Line", xs, ys, count, 0, c + 1, sizeof(ImPlotPoint));
  ImPlot::PopStyleColor();
  ImPlot::PushStyleColor(ImPlotCol_MarkerFill, colour);
  ImPlot::PlotScatter("Points", xs, ys, count, 0, c, sizeof(ImPlotPoint));
  ImPlot::PopStyleColor();

  if (!ImPlot::IsPlotSelected()) return;
  const ImPlotRect r = ImPlot::GetPlotSelection();
  ImPlotPoint centroid;
  int inside = 0;
  for (const ImPlotPoint& point : s) {
    if (!r.Contains(point)) continue;
    centroid.x += point.x;
    centroid.y += point.y;
    ++inside;
  }
  if (DeletePointsInSelection(b, s, r, c)) Curve.PointsMoved = true;
  if (inside == 0) return;
  centroid = ImPlotPoint(centroid.x / inside, centroid.y / inside);
  ImPlot::SetNextMarkerStyle(ImPlotMarker_Square, kCentroidSize);
  ImPlot::PlotScatter("Centroid", &centroid.x, &centroid.y, 1);
}

// The shown channel's values and the frames go into the definition's points, which grow to the
// series' length but never shrink here.
void CEditor::WritePlotPoints(BillboardParams& b, const std::vector<ImPlotPoint>& s) const {
  if (b.PlotPoints.size() < s.size()) b.PlotPoints.resize(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    b.PlotPoints[i].Value[Curve.PlotChannel] = ToValue(s[i].y);
    b.PlotPoints[i].Frame = ToFrame(s[i].x);
  }
}
