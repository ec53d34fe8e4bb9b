// One frame of the editor interface on the headless back end with the main window,
// "Particles" and "Sounds" open: the CPU the editor's Update and Draw take, from the new
// interface frame to its finished draw lists. Target: 0.5 ms.

#include <benchmark/benchmark.h>

#include <ctime>
#include <filesystem>

#include "app/interface_setup.h"
#include "app/manager.h"
#include "editor/editor.h"
#include "platform/headless_window_system.h"
#include "support/source_tree.h"

#include "bench_support.h"

namespace {

void BM_EditorFrameWithPanelsOpen(benchmark::State& state) {
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(SourceDir());
  platform::HeadlessWindowSystem system;
  auto window = system.CreateWindow("TEST", 1280, 720);
  CManager* manager = CManager::GetInstance();
  if (FAILED(manager->Init(window.get(), &system)) || !SetUpInterface(*manager, system)) {
    state.SkipWithError("the editor did not start");
    manager->Uninit();
    std::filesystem::current_path(previous);
    return;
  }
  CEditor* editor = manager->GetEditor();
  editor->EmissionInterval = 0;
  editor->ShowParticles = editor->ShowSounds = true;
  // A few effects and definitions, as a working session has.
  for (int i = 0; i < 8; ++i) editor->Effects["Begin"].push_back(CEditor::BeginDefinition());
  for (const char* tag : {"Fire", "Smoke", "Spark", "Rain"}) {
    editor->Tags.push_back(tag);
    editor->Effects[tag] = {CEditor::BeginDefinition()};
  }
  for (int i = 0; i < 10; ++i) manager->Update(), manager->Draw();  // icons loaded, windows laid out

  double cpu = 0.0;
  for (auto _ : state) {
    const double start = ThreadCpuSeconds();
    editor->ShowAnother = editor->Update(editor->ShowMain, editor->ShowAnother);
    editor->Draw();
    cpu += ThreadCpuSeconds() - start;
  }
  state.counters["cpu_ms_per_frame"] = cpu * 1e3 / static_cast<double>(state.iterations());
  manager->Uninit();
  std::filesystem::current_path(previous);
}
BENCHMARK(BM_EditorFrameWithPanelsOpen)->Unit(benchmark::kMicrosecond);

}  // namespace
