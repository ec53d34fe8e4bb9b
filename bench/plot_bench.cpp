// One interface frame holding a plot of 1,000 points as the curve editor builds it: axes
// pinned, every point draggable, the line and the scatter over all of them, then the frame's
// draw lists finished. The CPU from the new frame to the finished draw lists. Target: 0.2 ms.

#include <benchmark/benchmark.h>
#include <imgui.h>

#include <vector>

#include "ui/implot.h"

#include "bench_support.h"

namespace {

// An interface context of its own, with nothing but the plot to draw.
class PlotOnlyInterface {
 public:
  PlotOnlyInterface() : context_(ImGui::CreateContext()) {
    ImPlot::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.DisplaySize = ImVec2(700, 1000);
    io.IniFilename = nullptr;
    io.BackendFlags |= ImGuiBackendFlags_RendererHasVtxOffset;  // as the OpenGL 3 renderer
    unsigned char* pixels = nullptr;
    int width = 0, height = 0;
    io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
  }
  ~PlotOnlyInterface() {
    ImPlot::DestroyContext();
    ImGui::DestroyContext(context_);
  }
  PlotOnlyInterface(const PlotOnlyInterface&) = delete;
  PlotOnlyInterface& operator=(const PlotOnlyInterface&) = delete;

 private:
  ImGuiContext* context_;
};

void BuildPlot(std::vector<ImPlotPoint>& points) {
  ImGui::NewFrame();
  ImGui::SetNextWindowPos(ImVec2(60, 60));
  ImGui::SetNextWindowSize(ImVec2(500, 600));
  ImGui::Begin("Particles");
  if (ImPlot::BeginPlot("PlotData")) {
    ImPlot::SetupAxes(nullptr, nullptr, ImPlotAxisFlags_LockMin, ImPlotAxisFlags_LockMin);
    ImPlot::SetupAxisLimits(ImAxis_X1, 0, static_cast<double>(points.size()), ImPlotCond_Always);
    ImPlot::SetupAxisLimits(ImAxis_Y1, 0, 1, ImPlotCond_Always);
    const int count = static_cast<int>(points.size());
    for (int i = 0; i < count; ++i)
      ImPlot::DragPoint(count - 1 + i, &points[i].x, &points[i].y, ImVec4(1, 1, 1, 1), 8);
    ImPlot::PushStyleColor(ImPlotCol_Line, ImVec4(1, 0, 0, 1));
    ImPlot::PlotLine("##Line", &points[0].x, &points[0].y, count, 0, count, sizeof(ImPlotPoint));
    ImPlot::PopStyleColor();
    ImPlot::PushStyleColor(ImPlotCol_MarkerFill, ImVec4(1, 0, 0, 1));
    ImPlot::PlotScatter("Points", &points[0].x, &points[0].y, count, 0, count - 1, sizeof(ImPlotPoint));
    ImPlot::PopStyleColor();
    ImPlot::EndPlot();
  }
  ImGui::End();
  ImGui::Render();
}

void BM_PlotOf1000Points(benchmark::State& state) {
  PlotOnlyInterface interface;
  std::vector<ImPlotPoint> points;
  for (int i = 0; i < 1000; ++i) points.emplace_back(i, 0.5 + 0.4 * ((i * 37) % 100 - 50) / 50.0);
  for (int i = 0; i < 3; ++i) BuildPlot(points);  // the window laid out

  double cpu = 0.0;
  for (auto _ : state) {
    const double start = ThreadCpuSeconds();
    BuildPlot(points);
    cpu += ThreadCpuSeconds() - start;
  }
  state.counters["cpu_ms_per_frame"] = cpu * 1e3 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_PlotOf1000Points)->Unit(benchmark::kMicrosecond);

}  // namespace
