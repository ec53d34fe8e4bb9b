// What the editor's safety net costs: one undo step on a large document, and the share of an
// editor frame with no change that the history and the autosave take.

#include <benchmark/benchmark.h>

#include <filesystem>

#include "app/interface_setup.h"
#include "editor/undo_history.h"
#include "platform/headless_window_system.h"

#include "bench_support.h"

namespace {

std::vector<EditorEffect> LargeDocument() {
  std::vector<EditorEffect> effects(100);
  for (std::size_t i = 0; i < effects.size(); ++i) {
    effects[i].Tag = "Effect " + std::to_string(i);
    effects[i].Definitions.assign(20, CEditor::BeginDefinition());
  }
  return effects;
}

// A value changed in one definition of 100 effects x 20 definitions: the step recorded, undone,
// and the state undone to copied back into the editor's effects. Target: 2 ms.
void BM_UndoStep(benchmark::State& state) {
  std::vector<EditorEffect> effects = LargeDocument();
  UndoHistory history;
  history.Reset(effects, 150);
  int value = 0;
  for (auto _ : state) {
    ++value;
    // Never the value a definition starts with, so every pass is a change.
    effects[static_cast<std::size_t>(value % 100)].Definitions[7].Billboard.PopTime = 1000 + value;
    history.Record("PopTime", effects, 150);
    const EditorSnapshot* undone = history.Undo();
    effects = undone->CopyEffects();
    benchmark::DoNotOptimize(effects.data());
  }
  state.counters["ms_per_step"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * 1e-3,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_UndoStep)->Unit(benchmark::kMillisecond);

class FixedClock final : public platform::Clock {
 public:
  std::uint32_t NowMs() override { return 0; }
};

// An editor frame of the sample session with autosave on and nothing changing: the CPU the
// history's check and the autosave's timer add to it. Target: 0.02 ms.
void BM_EditorFrameUndoAutosave(benchmark::State& state) {
  platform::HeadlessWindowSystem system;
  BenchScene scene(system);
  CManager* manager = CManager::GetInstance();
  if (!scene.Ok() || !SetUpInterface(*manager, system)) {
    state.SkipWithError("the editor did not start");
    return;
  }
  CEditor* editor = manager->GetEditor();
  FixedClock clock;
  // Nothing changes, so nothing is ever written there.
  editor->EnableAutosave((std::filesystem::temp_directory_path() / "particle-editor-bench").string(), clock);
  editor->ShowParticles = editor->ShowSounds = true;
  for (int i = 0; i < 10; ++i) manager->Update(), manager->Draw();

  double added = 0.0;
  for (auto _ : state) {
    editor->ShowAnother = editor->Update(editor->ShowMain, editor->ShowAnother);
    const double start = ThreadCpuSeconds();
    editor->KeepDocumentSafe();
    added += ThreadCpuSeconds() - start;
    editor->Draw();
  }
  state.counters["ms_added_per_frame"] = added * 1e3 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_EditorFrameUndoAutosave)->Unit(benchmark::kMicrosecond);

}  // namespace
