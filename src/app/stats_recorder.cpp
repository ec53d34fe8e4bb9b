#include "app/stats_recorder.h"

#include <algorithm>

#include "app/scene_census.h"

namespace {

double Milliseconds(StatsRecorder::Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

void StatsRecorder::FrameStarted(Clock::time_point now) {
  frameStart_ = now;
  if (!measuring_) {
    secondStart_ = now;
    measuring_ = true;
  }
  frameSteps_ = 0;
  frameUpdateMs_ = 0.0;
  frameDrawMs_ = 0.0;
}

void StatsRecorder::StepsRan(int steps, Clock::duration took) {
  frameSteps_ += steps;
  frameUpdateMs_ += Milliseconds(took);
}

void StatsRecorder::SceneDrawn(Clock::duration took) { frameDrawMs_ += Milliseconds(took); }

void StatsRecorder::FrameEnded(Clock::time_point now, gfx::DrawCounts draws, double realtime) {
  if (!measuring_) return;
  CountSceneObjects(figures_);
  figures_.realtime = realtime;
  const double frameMs = Milliseconds(now - frameStart_);
  figures_.history[static_cast<std::size_t>(figures_.historyNext)] = static_cast<float>(frameMs);
  figures_.historyNext = (figures_.historyNext + 1) % FrameFigures::kHistory;
  figures_.historyCount = std::min(figures_.historyCount + 1, FrameFigures::kHistory);

  ++sums_.frames;
  sums_.steps += frameSteps_;
  sums_.updateMs += frameUpdateMs_;
  sums_.drawMs += frameDrawMs_;
  sums_.frameMs += frameMs;
  sums_.draws += draws.draws;
  sums_.batches += draws.batches;
  const double seconds = std::chrono::duration<double>(now - secondStart_).count();
  if (seconds >= 1.0) {
    CloseSecond(seconds);
    secondStart_ = now;
  }
}

void StatsRecorder::CloseSecond(double seconds) {
  const double frames = sums_.frames;
  figures_.framesPerSecond = frames / seconds;
  figures_.stepsPerSecond = static_cast<double>(sums_.steps) / seconds;
  figures_.updateMs = sums_.updateMs / frames;
  figures_.drawMs = sums_.drawMs / frames;
  figures_.frameMs = sums_.frameMs / frames;
  figures_.drawsPerFrame = static_cast<double>(sums_.draws) / frames;
  figures_.batchesPerFrame = static_cast<double>(sums_.batches) / frames;
  ++figures_.secondsMeasured;
  sums_ = {};
}
