#include "app/frame_loop.h"

std::uint64_t FrameLoop::Run(const std::function<void(std::uint64_t)>& frame, std::uint64_t maxFrames) {
  std::uint32_t lastFrame = clock_.NowMs();
  std::uint64_t frames = 0;
  while (maxFrames == 0 || frames < maxFrames) {
    if (!events_.DrainEvents()) break;
    const std::uint32_t now = clock_.NowMs();
    const std::uint32_t elapsed = now - lastFrame;  // unsigned: the counter's wrap-around is harmless
    if (elapsed < kFrameMs) {
      events_.WaitForEvents(kFrameMs - elapsed);
      continue;
    }
    lastFrame = now;
    frame(frames);
    ++frames;
  }
  return frames;
}
