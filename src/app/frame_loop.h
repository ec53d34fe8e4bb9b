#pragma once
// The fixed-step loop: pending events are always drained first, and a frame runs only
// once at least 16 ms have passed since the last one began. The timestamp kept is the
// time read now, so a late frame does not make the next ones hurry.

#include <cstdint>
#include <functional>

#include "platform/clock.h"

class FrameLoop {
 public:
  static constexpr std::uint32_t kFrameMs = 16;

  FrameLoop(platform::Clock& clock, platform::EventSource& events) : clock_(clock), events_(events) {}

  // Runs frame(index) until the events ask to quit, or maxFrames frames have run (0: no
  // limit). Returns the number of frames run.
  std::uint64_t Run(const std::function<void(std::uint64_t)>& frame, std::uint64_t maxFrames);

 private:
  platform::Clock& clock_;
  platform::EventSource& events_;
};
