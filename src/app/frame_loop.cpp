#include "app/frame_loop.h"

#include <algorithm>
#include <utility>

namespace {

// How long the realtime figure is measured over.
constexpr std::uint32_t kRealtimeWindowMs = 1000;

}  // namespace

std::uint64_t FrameLoop::Run(const std::function<void(std::uint64_t, int)>& frame, std::uint64_t maxSteps) {
  // Differences of these unsigned counters survive the clock's wrap-around.
  std::uint32_t lastFrame = clock_.NowMs();
  std::uint32_t stepClock = lastFrame;  // wall time up to which steps have been run
  std::uint32_t windowStart = lastFrame;
  std::uint64_t windowSteps = 0;
  std::uint64_t steps = 0;
  std::uint64_t eventsSeen = events_.EventsHandled();
  int quietFrames = 0;
  bool slept = false;
  while (maxSteps == 0 || steps < maxSteps) {
    if (!events_.DrainEvents()) break;
    if (const std::uint64_t events = events_.EventsHandled(); events != eventsSeen) {
      eventsSeen = events;
      quietFrames = 0;
    }
    const std::uint32_t now = clock_.NowMs();
    const std::uint32_t sinceFrame = now - lastFrame;
    if (sinceFrame < kFrameMs) {
      events_.WaitForEvents(kFrameMs - sinceFrame);
      continue;
    }
    if (maxSteps == 0 && quietFrames >= kSettleFrames && sinceFrame < kIdleWakeMs && idle_ && idle_()) {
      if (!wake_ || !wake_()) {
        const std::uint32_t left = kIdleWakeMs - sinceFrame;
        events_.WaitForEvents(wake_ ? std::min(left, kWakeCheckMs) : left);
        slept = true;
        continue;
      }
      quietFrames = 0;
    }
    if (std::exchange(slept, false)) {
      // The time asleep owes no steps and says nothing of the machine's speed.
      stepClock = now - kFrameMs;
      windowStart = now;
      windowSteps = 0;
    }
    quietFrames = std::min(quietFrames + 1, kSettleFrames);
    lastFrame = now;
    const std::uint32_t behind = now - stepClock;
    int due = static_cast<int>(std::max<std::uint32_t>(behind / kFrameMs, 1));
    if (due > kMaxStepsPerFrame) {
      // Too far behind to catch up: play on from now, slower than real time.
      due = kMaxStepsPerFrame;
      stepClock = now - kFrameMs * static_cast<std::uint32_t>(due);
    }
    if (maxSteps != 0) due = static_cast<int>(std::min<std::uint64_t>(due, maxSteps - steps));
    stepClock += kFrameMs * static_cast<std::uint32_t>(due);
    frame(steps, due);
    steps += static_cast<std::uint64_t>(due);

    windowSteps += static_cast<std::uint64_t>(due);
    if (const std::uint32_t span = now - windowStart; span >= kRealtimeWindowMs) {
      realtime_ = std::min(1.0, static_cast<double>(windowSteps * kFrameMs) / span);
      windowStart = now;
      windowSteps = 0;
    }
  }
  return steps;
}
