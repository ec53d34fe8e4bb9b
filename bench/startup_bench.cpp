// Time from start-up to the first presented frame with the sample data set: windows,
// devices, catalogs (effects compiled, models loaded), and one Update and Draw of both
// windows with the editor interface, up to the return of their Present (which waits for the software renderer
// to finish the picture). Target: 250 ms.

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>

#include "app/child_window.h"
#include "app/interface_setup.h"
#include "app/light.h"
#include "app/manager.h"
#include "app/renderer.h"
#include "editor/editor.h"
#include "input/input.h"
#include "platform/sdl_window_system.h"
#include "platform/window_system.h"
#include "resource/model_manager.h"
#include "resource/shader_manager.h"
#include "resource/texture_manager.h"
#include "support/source_tree.h"
#include "view/camera.h"
#include "view/pointer.h"

namespace {

void BM_StartUpToFirstFrame(benchmark::State& state) {
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(SourceDir());
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    std::string error;
    auto system = platform::SdlWindowSystem::Create(&error);
    if (!system) {
      state.SkipWithError(("no display: " + error).c_str());
      break;
    }
    auto window = system->CreateWindow("TEST", 1280, 720);
    CManager* manager = CManager::GetInstance();
    if (FAILED(manager->Init(window.get(), system.get()))) {
      state.SkipWithError("start-up failed");
      manager->Uninit();
      break;
    }
    window->Show();
    if (!SetUpInterface(*manager, *system)) {
      state.SkipWithError("the editor interface did not start");
      manager->Uninit();
      break;
    }
    manager->GetChildWindow()->GetWindow()->Show();
    system->DrainEvents();
    manager->Update();
    manager->Draw();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
    manager->Uninit();
  }
  std::filesystem::current_path(previous);
}
BENCHMARK(BM_StartUpToFirstFrame)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
