#pragma once
// The frame figures drawn over the scene (F3): an interface library context of its own on the
// scene window, beside the editor's, with back ends that only draw: the scene window's keys
// and mouse stay the program's. Each Draw builds and draws a whole frame of it, so the
// editor's frame, built across the manager's Update and Draw, is never interleaved with it.

#include <memory>

#include "platform/window_system.h"

struct FrameFigures;
struct ImGuiContext;
namespace platform {
class InterfaceBackend;
}

class StatsOverlay {
 public:
  // Null, with nothing left set up, when the back ends cannot start on the window.
  static std::unique_ptr<StatsOverlay> Create(platform::WindowSystem& system, platform::Window* window,
                                              gfx::Device* device);
  ~StatsOverlay();
  StatsOverlay(const StatsOverlay&) = delete;
  StatsOverlay& operator=(const StatsOverlay&) = delete;

  // Over what the device drew this frame, before it presents.
  void Draw(const FrameFigures& figures);

 private:
  explicit StatsOverlay(ImGuiContext* context);

  ImGuiContext* context_;
  std::unique_ptr<platform::InterfaceBackend> backend_;
};
