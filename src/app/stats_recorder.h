#pragma once
// Gathers what the preview costs, frame by frame: the manager tells it when a frame starts,
// how long the scene's steps and picture took and when the frame ends; at the end it counts
// the scene and reads the scene device's draws. Rates and means are taken over whole seconds
// of wall time, so that they read steadily; the last frame times are kept one by one.

#include <chrono>
#include <cstdint>

#include "platform/gfx/device.h"
#include "ui/frame_figures.h"

class StatsRecorder {
 public:
  using Clock = std::chrono::steady_clock;

  // Before the frame reads its input.
  void FrameStarted(Clock::time_point now);
  void StepsRan(int steps, Clock::duration took);
  void SceneDrawn(Clock::duration took);
  // After both windows presented: draws are the scene device's counts of the frame it showed.
  void FrameEnded(Clock::time_point now, gfx::DrawCounts draws, double realtime);

  const FrameFigures& Figures() const { return figures_; }

 private:
  // What the second being measured has added up so far.
  struct Sums {
    int frames = 0;
    std::int64_t steps = 0;
    double updateMs = 0.0;
    double drawMs = 0.0;
    double frameMs = 0.0;
    std::uint64_t draws = 0;
    std::uint64_t batches = 0;
  };
  void CloseSecond(double seconds);

  FrameFigures figures_;
  Sums sums_;
  Clock::time_point frameStart_;
  Clock::time_point secondStart_;
  bool measuring_ = false;
  int frameSteps_ = 0;
  double frameUpdateMs_ = 0.0;
  double frameDrawMs_ = 0.0;
};
