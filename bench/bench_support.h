#pragma once
// What the frame benchmarks share: this thread's CPU clock, the editor's services run from
// the repository root for the length of one benchmark, and the trailed flares several play.

#include <time.h>

#include <filesystem>
#include <memory>

#include "app/manager.h"
#include "effect/particle_params.h"
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

// Flares rising from a ring around the start view's centre, each with a trail of width 2.
inline ParticleParams TrailedFlare(int quantity) {
  ParticleParams p = CEditor::BeginDefinition();
  p.Emission.Quantity = quantity;
  p.Emission.Behavior = Behavior_Circle;
  p.Emission.Radius = 360.0f;
  p.Billboard.VelocityAttenuation = 0.05f;
  p.Billboard.Velocity = {0.0f, 0.05f, 0.0f};
  p.Billboard.PopTime = 1 << 30;
  p.Billboard.Scale = {3.6f, 3.6f, 0.0f};
  p.Billboard.Trail = true;
  p.Billboard.TrailWidth = 2.0f;
  p.Billboard.Color = p.Billboard.DestColor = {1.0f, 0.8f, 0.3f, 1.0f};
  return p;
}
