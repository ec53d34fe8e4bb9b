// What watching the catalogs and the files they name adds to an idle frame: the reloader's
// look at the watcher at the start of each frame, measured inside idle frames of the sample
// session (paused, nothing changing). Target: 0.01 ms.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "app/interface_setup.h"
#include "platform/file_watcher.h"
#include "platform/headless_window_system.h"
#include "platform/polling_file_watcher.h"
#include "resource/asset_reloader.h"
#include "resource/model_manager.h"
#include "resource/shader_manager.h"
#include "resource/sound_manager.h"
#include "resource/texture_manager.h"

#include "bench_support.h"

namespace {

// Frames 16 ms apart, whatever the benchmark's own pace: the polling fallback looks at the
// files once in 62 of them, as in a real run.
class FrameClock final : public platform::Clock {
 public:
  std::uint32_t NowMs() override { return now_; }
  void NextFrame() { now_ += 16; }

 private:
  std::uint32_t now_ = 0;
};

void IdleFrameWatching(benchmark::State& state, bool polling) {
  platform::HeadlessWindowSystem system;
  BenchScene scene(system);
  CManager* manager = CManager::GetInstance();
  if (!scene.Ok() || !SetUpInterface(*manager, system)) {
    state.SkipWithError("the editor did not start");
    return;
  }
  manager->GetEditor()->Preview.Playing = false;
  FrameClock clock;
  std::unique_ptr<platform::FileWatcher> watcher = polling
                                                       ? std::make_unique<platform::PollingFileWatcher>(clock)
                                                       : platform::CreateFileWatcher(clock);
  // The reloader the manager makes for WatchFiles, held here so that its share can be timed.
  AssetReloader reloader(std::move(watcher), clock,
                         {manager->GetTextureManager(), manager->GetModelManager(),
                          manager->GetShaderManager(), manager->GetSoundManager()});
  for (int i = 0; i < 10; ++i) manager->Update(), manager->Draw();

  double added = 0.0, frames = 0.0;
  for (auto _ : state) {
    clock.NextFrame();
    const double start = ThreadCpuSeconds();
    benchmark::DoNotOptimize(reloader.Update());
    const double watched = ThreadCpuSeconds();
    manager->Update();
    manager->Draw();
    added += watched - start;
    frames += ThreadCpuSeconds() - watched;
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["ms_added_per_frame"] = added * 1e3 / n;
  state.counters["frame_ms"] = frames * 1e3 / n;
}

void BM_IdleFrameWatching(benchmark::State& state) { IdleFrameWatching(state, false); }
BENCHMARK(BM_IdleFrameWatching)->Iterations(3000)->Unit(benchmark::kMicrosecond);

// Where the kernel cannot notify: every watched file's time looked at once a second.
void BM_IdleFrameWatchingByPolling(benchmark::State& state) { IdleFrameWatching(state, true); }
BENCHMARK(BM_IdleFrameWatchingByPolling)->Iterations(3000)->Unit(benchmark::kMicrosecond);

}  // namespace
