// Renders from the command line's path, without a display: the document read, the scene's
// device and resources started on SDL's offscreen driver (EGL, the software renderer here),
// every frame stepped, drawn into the render target, read back and written.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/render_command.h"
#include "editor/editor.h"
#include "effectfile/editor_document.h"
#include "platform/sdl_window_system.h"
#include "support/source_tree.h"

namespace {

namespace fs = std::filesystem;

// 300 flares placed on a circle, rising, growing and fading from orange to purple for 127
// frames: every frame differs, as a real effect's do.
EditorDocument Embers() {
  ParticleParams p = CEditor::BeginDefinition();
  p.Emission.Quantity = 300;
  p.Billboard.RandomCreate = Random_Circle;
  p.Billboard.CreateRange = 0.15f;
  p.Billboard.Altitude = 10.0f;
  p.Billboard.Velocity = {0.0f, 0.6f, 0.0f};
  p.Billboard.Scale = {4.0f, 4.0f, 0.0f};
  p.Billboard.Scaling = {0.02f, 0.02f, 0.0f};
  p.Billboard.Color = {1.0f, 0.6f, 0.2f, 1.0f};
  p.Billboard.DestColor = {0.4f, 0.0f, 0.8f, 0.0f};
  p.Billboard.PopTime = 127;
  EditorDocument document;
  document.Effects.resize(1);
  document.Effects[0].Tag = "Embers";
  document.Effects[0].Definitions = {p};
  return document;
}

// Each run in a folder of its own, removed afterwards, started from the repository root.
void RenderBenchmark(benchmark::State& state, RenderSettings settings) {
  const fs::path previous = fs::current_path();
  fs::current_path(SourceDir());
  const fs::path folder = fs::temp_directory_path() / ("particle-bench-render-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const std::string document = (folder / "embers.effects.json").string();
  std::string error;
  if (!SaveEditorDocument(Embers(), document, &error)) state.SkipWithError(error.c_str());
  settings.output = (folder / settings.output).string();
  for (auto _ : state) {
    auto system = platform::SdlWindowSystem::CreateOffscreen(&error);
    if (!system || !RenderDocument(settings, document, *system, nullptr, &error)) {
      state.SkipWithError(error.c_str());
      break;
    }
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  fs::current_path(previous);
}

// Target: an 8x8 sheet of 128x128 cells (64 of the 128 frames drawn, every step run) within 2 s.
void BM_RenderSheet(benchmark::State& state) {
  RenderSettings settings;
  settings.output = "embers.png";
  settings.kind = OutputKind::kSheet;
  settings.columns = settings.rows = 8;
  settings.width = settings.height = 128;
  RenderBenchmark(state, settings);
}
BENCHMARK(BM_RenderSheet)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Target: a GIF of 120 frames of 320x240 within 3 s, each frame quantized to its own palette.
void BM_RenderGif(benchmark::State& state) {
  RenderSettings settings;
  settings.output = "embers.gif";
  settings.kind = OutputKind::kGif;
  settings.width = 320;
  settings.height = 240;
  settings.length = 120;
  RenderBenchmark(state, settings);
}
BENCHMARK(BM_RenderGif)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
