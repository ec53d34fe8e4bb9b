#pragma once
// What the frame benchmarks share: this thread's CPU clock, and the editor's services run
// from the repository root for the length of one benchmark.

#include <time.h>

#include <filesystem>
#include <memory>

#include "app/manager.h"
#include "editor/editor.h"
#include "platform/window_system.h"
#include "support/source_tree.h"

// The CPU time of this thread alone: the software renderer's own threads are not counted.
inline double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The sample effects, textures and models on a window system; emitters come from the
// benchmark alone.
class BenchScene {
 public:
  explicit BenchScene(platform::WindowSystem& system) : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(SourceDir());
    window_ = system.CreateWindow("TEST", 1280, 720);
    ok_ = window_ && SUCCEEDED(CManager::GetInstance()->Init(window_.get(), &system));
    if (ok_) CManager::GetInstance()->GetEditor()->EmissionInterval = 0;
  }
  ~BenchScene() {
    CManager::GetInstance()->Uninit();
    std::filesystem::current_path(previous_);
  }
  BenchScene(const BenchScene&) = delete;
  BenchScene& operator=(const BenchScene&) = delete;
  bool Ok() const { return ok_; }

 private:
  std::filesystem::path previous_;
  std::unique_ptr<platform::Window> window_;
  bool ok_ = false;
};
