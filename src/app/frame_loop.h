#pragma once
// The real-time loop: effect time advances one fixed step per 16 ms of wall time whatever the
// frame rate. Pending events are always drained first; a frame runs once at least 16 ms have
// passed since the last one began, and runs the steps that are due before it draws: one when
// the machine keeps up, more after a slow frame. At most kMaxStepsPerFrame run before a frame
// is drawn, so that a step slower than its share cannot make every frame slower still: what
// is beyond that is dropped, and the effect plays slower than real time, which Realtime() says.
// While nothing would change on screen (the preview paused, no input for a while) the loop
// sleeps until an event arrives instead of drawing, waking once a second for the timers.

#include <cstdint>
#include <functional>

#include "platform/clock.h"

class FrameLoop {
 public:
  static constexpr std::uint32_t kFrameMs = 16;
  // Frames of up to 100 ms (7 steps of 16 ms) still keep real time.
  static constexpr int kMaxStepsPerFrame = 7;

  // Frames drawn after the last event before the loop may sleep: what input starts (a hover,
  // a window settling) shows in full first.
  static constexpr int kSettleFrames = 30;
  // A sleeping loop still runs a frame this often: autosaves and looping sounds keep their time.
  static constexpr std::uint32_t kIdleWakeMs = 1000;

  FrameLoop(platform::Clock& clock, platform::EventSource& events) : clock_(clock), events_(events) {}

  // How often a sleeping loop asks the wake check.
  static constexpr std::uint32_t kWakeCheckMs = 100;

  // Asked before each frame: true when nothing would change on screen until an event comes.
  // Runs with a step limit never sleep, so that they end on time.
  void SetIdle(std::function<bool()> idle) { idle_ = std::move(idle); }
  // Asked while the loop sleeps, every kWakeCheckMs: true when something that is not an event
  // wants frames (a file changed on disk). Frames then run as after an event.
  void SetWake(std::function<bool()> wake) { wake_ = std::move(wake); }

  // Runs frame(firstStep, steps) until the events ask to quit, or maxSteps steps have run (0: no
  // limit); each frame runs its steps (1 to kMaxStepsPerFrame) and draws once. Returns the
  // number of steps run.
  std::uint64_t Run(const std::function<void(std::uint64_t firstStep, int steps)>& frame,
                    std::uint64_t maxSteps);

  // Effect seconds per wall second over the last second or so of frames: 1 while the machine
  // keeps up, less when steps were dropped.
  double Realtime() const { return realtime_; }

 private:
  platform::Clock& clock_;
  platform::EventSource& events_;
  std::function<bool()> idle_;
  std::function<bool()> wake_;
  double realtime_ = 1.0;
};
