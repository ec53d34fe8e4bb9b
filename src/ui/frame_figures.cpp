#include "ui/frame_figures.h"

#include <imgui.h>

#include <cstdio>

#include "ui/item_log.h"

namespace ui {

namespace {

// Each row's value is the one field it names.
constexpr FigureRow kRows[] = {
    {"frames/s", "%.1f", [](const FrameFigures& f) { return f.framesPerSecond; }},
    {"steps/s", "%.1f", [](const FrameFigures& f) { return f.stepsPerSecond; }},
    {"realtime", "%.2fx", [](const FrameFigures& f) { return f.realtime; }},
    {"frame", "%.3f ms", [](const FrameFigures& f) { return f.frameMs; }, true},
    {"update", "%.3f ms", [](const FrameFigures& f) { return f.updateMs; }},
    {"draw", "%.3f ms", [](const FrameFigures& f) { return f.drawMs; }},
    {"draws", "%.1f", [](const FrameFigures& f) { return f.drawsPerFrame; }, true},
    {"batches", "%.1f", [](const FrameFigures& f) { return f.batchesPerFrame; }},
    {"billboards", "%.0f", [](const FrameFigures& f) { return double(f.billboardParticles); }, true},
    {"meshes", "%.0f", [](const FrameFigures& f) { return double(f.meshParticles); }},
    {"trails", "%.0f", [](const FrameFigures& f) { return double(f.trails); }},
    {"emitters", "%.0f", [](const FrameFigures& f) { return double(f.emitters); }},
    {"objects", "%.0f", [](const FrameFigures& f) { return double(f.objects); }},
};

// Where the values start, in multiples of the font size: past the longest label.
constexpr float kValueColumn = 6.5f;

}  // namespace

std::span<const FigureRow> FigureRows() { return kRows; }

void ShowFrameFigures(const FrameFigures& figures) {
  const float column = ImGui::GetCursorPosX() + ImGui::GetFontSize() * kValueColumn;
  char text[64];
  for (const FigureRow& row : kRows) {
    if (row.startsGroup) ImGui::Spacing();
    ImGui::TextUnformatted(row.label);
    ImGui::SameLine(column);
    std::snprintf(text, sizeof text, row.format, row.value(figures));
    ImGui::TextUnformatted(text);
    LogLastItem(row.label, "Figure", text);
  }
}

}  // namespace ui
