// Replaying an emission: a seek that rebuilds 4,000 flares at frame 300 without drawing them,
// and the real-time loop keeping effect time over 4,000 flares and 400 trailed ones drawn on
// the GL device.

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <cstdint>
#include <string>
#include <optional>
#include <memory>

#include "app/frame_loop.h"
#include "app/manager.h"
#include "app/preview_player.h"
#include "app/renderer.h"
#include "editor/editor.h"
#include "editor/preview_controls.h"
#include "particle/particle.h"
#include "particle/particle_emitter.h"
#include "particle/trail.h"
#include "platform/clock.h"
#include "platform/file_watcher.h"
#include "platform/headless_window_system.h"
#include "platform/sdl_window_system.h"
#include "scene/shared_state.h"

#include "bench_support.h"

namespace {

constexpr int kFlares = 4000;
constexpr int kSeekFrame = 300;
constexpr D3DXVECTOR3 kEmissionAt{0.0f, 10.0f, 0.0f};

// Flares of about 20 pixels from the start view over a circle around its centre, rising,
// growing and fading to a transparent orange.
ParticleParams Flares(int popTime) {
  ParticleParams p = CEditor::BeginDefinition();
  p.Emission.Quantity = kFlares;
  p.Emission.TextureTag = "FLARE";
  p.Billboard.PopTime = popTime;
  p.Billboard.Scale = {3.6f, 3.6f, 0.0f};
  p.Billboard.Scaling = {0.001f, 0.001f, 0.0f};
  p.Billboard.Velocity = {0.0f, 0.01f, 0.0f};
  p.Billboard.RandomCreate = Random_Circle;
  p.Billboard.CreateRange = 0.12f;
  p.Billboard.Altitude = 10.0f;
  p.Billboard.DestColor = {1.0f, 0.5f, 0.1f, 0.0f};
  return p;
}

CParticleEmitter* Emit(const std::string& tag, const ParticleParams& definition) {
  (*CManager::GetInstance()->GetEffectTable())[tag] = {definition};
  CParticleEmitter* emitter = CParticleEmitter::Create(tag);
  emitter->SetPos(kEmissionAt);
  return emitter;
}

// Target: a seek to frame 300 of 4,000 flares within a frame's 16 ms, as the timeline makes it:
// the emission's objects released, its emitter made again from its record at the pointer,
// and the registry run 300 steps without drawing.
void BM_SeekFlares(benchmark::State& state) {
  platform::HeadlessWindowSystem system;
  BenchScene scene(system);
  if (!scene.Ok()) {
    state.SkipWithError("start-up failed");
    return;
  }
  CManager* manager = CManager::GetInstance();
  (*manager->GetEffectTable())[manager->GetEditor()->GetTag()] = {Flares(400)};
  PreviewControls controls;
  controls.RestartAsked = true;
  PreviewPlayer& player = *manager->GetPreviewPlayer();
  player.Advance(0, controls);
  for (auto _ : state) player.Seek(kSeekFrame);
  if (player.Frame() != kSeekFrame || CObject::CountOfType(CParticle::kType) != kFlares) {
    state.SkipWithError("the seek did not leave 4,000 flares at frame 300");
    return;
  }
  state.counters["ms_per_seek"] =
      benchmark::Counter(1e-3, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  // The same per particle and step, beside the registry's other figures.
  state.counters["ns_per_particle_step"] =
      benchmark::Counter(kFlares * kSeekFrame * 1e-9,
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SeekFlares)->Unit(benchmark::kMillisecond)->UseRealTime();

// 4,000 flares that never end and 400 flares with trails, in the manager's scene on the GL
// device of a real window.
class FlaresAndTrailsOnGl {
 public:
  // False, with the benchmark told why, when there is no display or the start failed.
  bool Start(benchmark::State& state) {
    std::string error;
    system_ = platform::SdlWindowSystem::Create(&error);
    if (!system_) {
      state.SkipWithError(("no display: " + error).c_str());
      return false;
    }
    scene_.emplace(*system_);
    if (!scene_->Ok()) {
      state.SkipWithError("start-up failed");
      return false;
    }
    Emit("Flares", Flares(1 << 30));
    Emit("Trails", TrailedFlare(400));
    return true;
  }
  platform::SdlWindowSystem* System() const { return system_.get(); }

 private:
  std::unique_ptr<platform::SdlWindowSystem> system_;
  std::optional<BenchScene> scene_;  // ended before the window system
};

// Target: the real-time loop (FrameLoop, on the real clock) keeps at least 62 steps a wall
// second (real time is 62.5) over 4,000 flares and 400 flares with full trails, each frame
// running the steps due and drawing the scene on the GL device. Beside it, in wall time: what
// a step of the registry costs and what a frame's draw costs (the software renderer's threads
// included), and the steps a frame ran.
void BM_StepsPerSecondFlaresAndTrails(benchmark::State& state) {
  FlaresAndTrailsOnGl scene;
  if (!scene.Start(state)) return;
  platform::SdlWindowSystem* system = scene.System();
  CRenderer* renderer = CManager::GetInstance()->GetRenderer();
  for (int i = 0; i < CTrail::kMaxCount / 2 + 2; ++i) CObject::UpdateAll();  // every trail full
  renderer->Draw();

  constexpr std::uint64_t kStepsPerRun = 250;  // four seconds of effect time
  using Clock = std::chrono::steady_clock;
  using Ms = std::chrono::duration<double, std::milli>;
  platform::SteadyClock clock;
  // The rate is taken between the first frame's start and the last one's: every frame runs the
  // steps due when it starts, so the steps of the frames after the first are what that span
  // of wall time held, whatever the first frame waited for and the last one's draw took.
  Clock::duration span{}, updating{}, drawing{};
  std::uint64_t spanSteps = 0, steps = 0, frames = 0;
  double realtime = 1.0;
  for (auto _ : state) {
    FrameLoop loop(clock, *system);
    Clock::time_point first, last;
    loop.Run(
        [&](std::uint64_t firstStep, int due) {
          const auto before = Clock::now();
          (firstStep == 0 ? first : last) = before;
          if (firstStep != 0) spanSteps += static_cast<std::uint64_t>(due);
          for (int step = 0; step < due; ++step) CObject::UpdateAll();
          const auto between = Clock::now();
          renderer->Draw();
          updating += between - before;
          drawing += Clock::now() - between;
          steps += static_cast<std::uint64_t>(due);
          ++frames;
        },
        kStepsPerRun);
    span += last - first;
    realtime = std::min(realtime, loop.Realtime());
  }
  state.counters["steps_per_s"] = static_cast<double>(spanSteps) / (Ms(span).count() * 1e-3);
  state.counters["update_ms_per_step"] = Ms(updating).count() / static_cast<double>(steps);
  state.counters["draw_ms_per_frame"] = Ms(drawing).count() / static_cast<double>(frames);
  state.counters["steps_per_frame"] = static_cast<double>(steps) / static_cast<double>(frames);
  state.counters["realtime"] = realtime;  // the loop's own figure, over its last second
}
BENCHMARK(BM_StepsPerSecondFlaresAndTrails)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// Target: a paused editor over the same scene, with no input, takes at most 5% of a core: the
// loop sleeps until an event comes, waking once a second for the timers and ten times a second
// to ask whether a data file changed. Measured as the whole
// process's CPU time (the software renderer's threads included) over 4 s of wall time, from
// once the frames after the last input have settled.
void BM_IdlePausedEditor(benchmark::State& state) {
  FlaresAndTrailsOnGl scene;
  if (!scene.Start(state)) return;
  platform::SdlWindowSystem* system = scene.System();
  CManager* manager = CManager::GetInstance();
  manager->GetEditor()->Preview.Playing = false;
  const auto cpu = [] {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
  };
  constexpr std::uint32_t kSettledMs = FrameLoop::kSettleFrames * FrameLoop::kFrameMs + 500;
  constexpr std::uint32_t kMeasuredMs = 4000;
  double share = 0.0;
  for (auto _ : state) {
    platform::SteadyClock clock;
    // As the program runs by default: watching the data files, which a sleeping loop asks about.
    manager->WatchFiles(platform::CreateFileWatcher(clock), clock);
    FrameLoop loop(clock, *system);
    loop.SetIdle([manager] { return manager->CanIdle(); });
    loop.SetWake([manager] { return manager->FilesChanged(); });
    double cpuAtStart = -1.0;
    std::uint32_t startMs = 0;
    loop.Run(
        [&](std::uint64_t, int due) {
          manager->Update(due);
          manager->Draw();
          const std::uint32_t now = clock.NowMs();
          if (cpuAtStart < 0.0 && now >= kSettledMs) {
            cpuAtStart = cpu();
            startMs = now;
          }
          if (cpuAtStart >= 0.0 && now - startMs >= kMeasuredMs) {
            share = (cpu() - cpuAtStart) / ((now - startMs) * 1e-3);
            system->RequestQuit();
          }
        },
        0);
  }
  state.counters["cpu_percent"] = share * 100.0;
}
BENCHMARK(BM_IdlePausedEditor)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
