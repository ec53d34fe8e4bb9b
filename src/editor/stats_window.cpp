// The "Stats" window: what the preview costs, as the manager measures it, and a plot of the
// last frames' times against the 16 ms a frame may take.

#include <imgui.h>

#include <algorithm>
#include <array>

#include "app/manager.h"
#include "editor/editor.h"
#include "ui/frame_figures.h"
#include "ui/implot.h"
#include "ui/ui_items.h"

namespace {

// The time one step of effect time stands for: frames above it fall behind real time.
constexpr double kFrameBudgetMs = 16.0;
// The plot's height follows the slowest frame shown between these, so that one long stall
// (the first frames load everything) does not flatten the rest.
constexpr double kLowestScaleMs = kFrameBudgetMs * 2.0;
constexpr double kHighestScaleMs = 100.0;

}  // namespace

void CEditor::ShowStatsToggle() {
  ImGui::SameLine();
  ui::Checkbox("Stats", &ShowStats);
}

void CEditor::ShowStatsWindow() {
  if (!ShowStats) return;
  ImGui::SetNextWindowSize(ImVec2(195.0f, 575.0f), ImGuiCond_Once);
  // Below the main window, left of where the panel windows open.
  ImGui::SetNextWindowPos(ImVec2(0.0f, 425.0f), ImGuiCond_Once);
  if (ui::Begin("Stats", &ShowStats)) {
    const FrameFigures& figures = CManager::GetInstance()->GetFrameFigures();
    ImGui::TextDisabled("over the last second");
    ui::ShowFrameFigures(figures);
    ImGui::Separator();
    ShowFrameTimePlot(figures);
  }
  ImGui::End();
}

void CEditor::ShowFrameTimePlot(const FrameFigures& figures) {
  // Oldest first, the newest at 0: x is how many frames ago.
  std::array<double, FrameFigures::kHistory> xs{}, ys{};
  const int count = figures.historyCount;
  double highest = kLowestScaleMs;
  for (int i = 0; i < count; ++i) {
    xs[static_cast<std::size_t>(i)] = i - (count - 1);
    ys[static_cast<std::size_t>(i)] = figures.History(i);
    highest = std::max(highest, ys[static_cast<std::size_t>(i)] * 1.1);
  }
  highest = std::min(highest, kHighestScaleMs);
  ui::Plot plot("frame ms, last 300##FrameTimes", ImVec2(-1.0f, 130.0f));
  if (!plot) return;
  ImPlot::SetupAxes("frames ago", nullptr, ImPlotAxisFlags_Lock, ImPlotAxisFlags_Lock);
  ImPlot::SetupAxisLimits(ImAxis_X1, 1.0 - FrameFigures::kHistory, 0.0, ImPlotCond_Always);
  ImPlot::SetupAxisLimits(ImAxis_Y1, 0.0, highest, ImPlotCond_Always);
  const double budgetXs[] = {1.0 - FrameFigures::kHistory, 0.0};
  const double budgetYs[] = {kFrameBudgetMs, kFrameBudgetMs};
  ImPlot::PushStyleColor(ImPlotCol_Line, ImVec4(1.0f, 0.75f, 0.3f, 0.6f));
  ImPlot::PlotLine("16 ms", budgetXs, budgetYs, 2);
  ImPlot::PopStyleColor();
  ImPlot::PushStyleColor(ImPlotCol_Line, ImVec4(0.4f, 0.8f, 1.0f, 1.0f));
  if (count > 0) ImPlot::PlotLine("frame", xs.data(), ys.data(), count);
  ImPlot::PopStyleColor();
}
