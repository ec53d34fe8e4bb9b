// What the frame figures add to a frame: the manager's calls into the recorder, the clock
// readings around them and the count of the scene by kind, over a scene of 4,000 flares
// (400 of them with trails) on the Null device. The frames themselves run between
// measurements, so the objects sit in the caches as a frame leaves them.

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/manager.h"
#include "app/renderer.h"
#include "app/stats_recorder.h"
#include "editor/editor.h"
#include "particle/particle_emitter.h"
#include "platform/headless_window_system.h"

#include "bench_support.h"

namespace {

using Clock = StatsRecorder::Clock;

void Emit(const std::string& tag, int quantity, bool trails) {
  ParticleParams p = CEditor::BeginDefinition();
  p.Emission.DataTag = tag;
  p.Emission.Quantity = quantity;
  p.Billboard.PopTime = 1 << 30;
  p.Billboard.Trail = trails;
  (*CManager::GetInstance()->GetEffectTable())[tag] = {p};
  CParticleEmitter::Create(tag);
}

// Target: at most 20 us a frame.
void BM_FrameStatsCost(benchmark::State& state) {
  platform::HeadlessWindowSystem system;
  BenchScene scene(system);
  if (!scene.Ok()) {
    state.SkipWithError("start-up failed");
    return;
  }
  Emit("Plain", 3600, false);
  Emit("Trailed", 400, true);
  CRenderer* renderer = CManager::GetInstance()->GetRenderer();
  StatsRecorder recorder;
  Clock::duration added{};
  for (auto _ : state) {
    // As the manager makes the calls: the frame's start, the steps and the scene's picture
    // each between two clock readings, and the frame's end.
    const Clock::time_point start = Clock::now();
    recorder.FrameStarted(Clock::now());
    const Clock::time_point stepsStart = Clock::now();
    added += Clock::now() - start;
    CObject::UpdateAll();
    const Clock::time_point stepsEnd = Clock::now();
    recorder.StepsRan(1, stepsEnd - stepsStart);
    const Clock::time_point drawStart = Clock::now();
    added += drawStart - stepsEnd;
    renderer->Draw();
    const Clock::time_point end = Clock::now();
    recorder.SceneDrawn(end - drawStart);
    recorder.FrameEnded(Clock::now(), renderer->GetDevice()->LastFrameCounts(), 1.0);
    added += Clock::now() - end;
  }
  benchmark::DoNotOptimize(recorder.Figures());
  if (recorder.Figures().billboardParticles != 4000 || recorder.Figures().trails != 400)
    state.SkipWithError("the scene is not the one measured");
  state.counters["us_per_frame"] =
      std::chrono::duration<double, std::micro>(added).count() / static_cast<double>(state.iterations());
  state.counters["objects"] = recorder.Figures().objects;
}
BENCHMARK(BM_FrameStatsCost)->Unit(benchmark::kMillisecond);

}  // namespace
