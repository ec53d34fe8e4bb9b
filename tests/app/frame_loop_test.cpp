#include "app/frame_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

// Simulated time: it moves only when the loop waits or a frame does work.
class FakeTime final : public platform::Clock, public platform::EventSource {
 public:
  explicit FakeTime(std::uint32_t start) : now_(start) {}

  std::uint32_t NowMs() override { return now_; }
  bool DrainEvents() override {
    drained_ += pending_;
    pending_ = 0;
    return !quit_;
  }
  // Returns early when a scheduled event comes in meanwhile.
  void WaitForEvents(std::uint32_t ms) override {
    ASSERT_GT(ms, 0u);
    if (eventAt_ && *eventAt_ - now_ < ms) {
      ms = *eventAt_ - now_;
      eventAt_.reset();
      ++pending_;
    }
    now_ += ms;
    waited_ += ms;
  }
  std::uint64_t EventsHandled() const override { return static_cast<std::uint64_t>(drained_); }
  void ScheduleEvent(std::uint32_t at) { eventAt_ = at; }

  void Advance(std::uint32_t ms) { now_ += ms; }
  void Post(int events) { pending_ += events; }
  void Quit() { quit_ = true; }
  int Pending() const { return pending_; }
  int Drained() const { return drained_; }
  std::uint64_t Waited() const { return waited_; }

 private:
  std::uint32_t now_;
  int pending_ = 0;
  int drained_ = 0;
  bool quit_ = false;
  std::uint64_t waited_ = 0;
  std::optional<std::uint32_t> eventAt_;
};

TEST(FrameLoopTest, AMachineThatKeepsUpRunsOneStepAFrameSixteenMillisecondsApartAcrossTheWrap) {
  for (std::uint32_t start : {0u, 0xFFFFFFF0u, 0xFFFFFF00u}) {
    SCOPED_TRACE(start);
    FakeTime time(start);
    FrameLoop loop(time, time);
    std::vector<std::uint32_t> starts;
    std::vector<int> counts;
    // Frames of 0 to 15 ms of work: each waits for its turn and runs one step.
    const std::uint64_t ran = loop.Run(
        [&](std::uint64_t first, int steps) {
          EXPECT_EQ(first, starts.size());
          starts.push_back(time.NowMs());
          counts.push_back(steps);
          time.Advance(static_cast<std::uint32_t>(first * 7 % 16));
        },
        40);
    ASSERT_EQ(ran, 40u);
    ASSERT_EQ(starts.size(), 40u);
    EXPECT_EQ(starts[0] - start, 16u) << "the first frame waits one step after start-up";
    for (size_t i = 1; i < starts.size(); ++i) EXPECT_EQ(starts[i] - starts[i - 1], 16u) << "frame " << i;
    EXPECT_EQ(counts, std::vector<int>(40, 1));
    EXPECT_EQ(loop.Realtime(), 1.0);
  }
}

TEST(FrameLoopTest, SlowFramesRunTheStepsDueSoEffectTimeKeepsToWallTime) {
  FakeTime time(1000);
  FrameLoop loop(time, time);
  std::vector<int> counts;
  const std::uint64_t ran = loop.Run(
      [&](std::uint64_t, int steps) {
        counts.push_back(steps);
        time.Advance(50);
      },
      300);
  // Frames of 50 ms: three steps each, and a fourth whenever the 2 ms left over add up to a step.
  EXPECT_EQ(counts[1], 3);
  EXPECT_EQ(counts[2], 3);
  for (std::size_t i = 1; i + 1 < counts.size(); ++i)
    EXPECT_TRUE(counts[i] == 3 || counts[i] == 4) << "frame " << i << ": " << counts[i] << " steps";
  EXPECT_GT(std::count(counts.begin(), counts.end(), 4), 5);
  EXPECT_EQ(ran, 300u) << "the run ends after its last step, not its last frame";
  const std::uint32_t effectMs = 300 * FrameLoop::kFrameMs;
  const std::uint32_t wallMs = time.NowMs() - 1000;
  EXPECT_NEAR(static_cast<double>(effectMs) / wallMs, 1.0, 0.05) << "effect time keeps to wall time";
  EXPECT_GT(loop.Realtime(), 0.95);
}

TEST(FrameLoopTest, StepsSlowerThanTheirShareStopCatchingUpAndRealtimeSaysSo) {
  FakeTime time(0);
  FrameLoop loop(time, time);
  std::vector<int> counts;
  // Every step costs 20 ms: catching up would make each frame longer than the one before.
  loop.Run(
      [&](std::uint64_t, int steps) {
        counts.push_back(steps);
        time.Advance(20 * static_cast<std::uint32_t>(steps));
      },
      400);
  EXPECT_LE(*std::max_element(counts.begin(), counts.end()), FrameLoop::kMaxStepsPerFrame);
  EXPECT_EQ(counts.back(), FrameLoop::kMaxStepsPerFrame) << "the frames do not grow without bound";
  EXPECT_NEAR(loop.Realtime(), 16.0 / 20.0, 0.03);

  // Frames of 100 ms still keep real time.
  FakeTime slow(0);
  FrameLoop hundred(slow, slow);
  hundred.Run([&](std::uint64_t, int) { slow.Advance(100); }, 600);
  EXPECT_GT(hundred.Realtime(), 0.95);
}

TEST(FrameLoopTest, PendingEventsAreDrainedBeforeEveryFrame) {
  FakeTime time(100);
  FrameLoop loop(time, time);
  int frames = 0;
  loop.Run(
      [&](std::uint64_t, int) {
        EXPECT_EQ(time.Pending(), 0) << "a frame ran with events still queued";
        ++frames;
        time.Post(frames * 3);  // a burst arriving during the frame
      },
      10);
  EXPECT_EQ(frames, 10);
  EXPECT_EQ(time.Drained(), 3 * (1 + 2 + 3 + 4 + 5 + 6 + 7 + 8 + 9));
}

TEST(FrameLoopTest, QuitEndsTheLoopBeforeTheNextFrame) {
  FakeTime time(0);
  FrameLoop loop(time, time);
  const std::uint64_t ran = loop.Run(
      [&](std::uint64_t first, int) {
        if (first == 4) time.Quit();
      },
      0);
  EXPECT_EQ(ran, 5u);

  FakeTime quitting(0);
  quitting.Quit();
  FrameLoop idle(quitting, quitting);
  EXPECT_EQ(idle.Run([](std::uint64_t, int) { FAIL() << "no frame may run after a quit request"; }, 0), 0u);
}

TEST(FrameLoopTest, WaitingSleepsForTheRestOfTheStepInsteadOfSpinning) {
  FakeTime time(0);
  FrameLoop loop(time, time);
  loop.Run([&](std::uint64_t, int) { time.Advance(5); }, 3);
  // Three frames of 5 ms work in 16 ms steps: every remaining millisecond was spent waiting.
  EXPECT_EQ(time.Waited(), 16u + 11u + 11u);
}

TEST(FrameLoopTest, AnIdleLoopSleepsUntilAnEventWakingOnlyForTheTimersAndOwesNoSteps) {
  FakeTime time(0);
  FrameLoop loop(time, time);
  bool idle = true;
  loop.SetIdle([&] { return idle; });
  std::vector<std::uint32_t> frames;
  std::vector<int> stepsPerFrame;
  time.ScheduleEvent(10'000);
  loop.Run(
      [&](std::uint64_t, int steps) {
        frames.push_back(time.NowMs());
        stepsPerFrame.push_back(steps);
        if (time.NowMs() >= 12'000) time.Quit();
      },
      0);
  // The first frames settle, then one frame a second until the event at 10 s, which is drawn
  // at once and followed by frames that settle again.
  const auto upTo = [&](std::uint32_t ms) {
    return std::count_if(frames.begin(), frames.end(), [&](std::uint32_t at) { return at < ms; });
  };
  EXPECT_EQ(upTo((FrameLoop::kSettleFrames + 1) * FrameLoop::kFrameMs), FrameLoop::kSettleFrames);
  EXPECT_LE(upTo(10'000) - FrameLoop::kSettleFrames, 10);
  EXPECT_GE(upTo(10'000) - FrameLoop::kSettleFrames, 9);
  EXPECT_EQ(std::count(frames.begin(), frames.end(), 10'000u), 1) << "the event is answered at once";
  EXPECT_GE(upTo(12'000) - upTo(10'001), FrameLoop::kSettleFrames - 1);
  EXPECT_EQ(*std::max_element(stepsPerFrame.begin(), stepsPerFrame.end()), 1) << "sleep owes no steps";
  EXPECT_DOUBLE_EQ(loop.Realtime(), 1.0);

  // Nothing to wait for: frames every step, as always.
  idle = false;
  FakeTime busy(0);
  FrameLoop busyLoop(busy, busy);
  busyLoop.SetIdle([&] { return idle; });
  EXPECT_EQ(busyLoop.Run([](std::uint64_t, int) {}, 200), 200u);
  EXPECT_EQ(busy.NowMs(), 200u * FrameLoop::kFrameMs);
}

// A file changed on disk is no event: the sleeping loop asks for it every kWakeCheckMs and
// answers it with frames as it answers an event.
TEST(FrameLoopTest, ASleepingLoopAsksTheWakeCheckOftenAndRunsFramesWhenItSaysSo) {
  FakeTime time(0);
  FrameLoop loop(time, time);
  loop.SetIdle([] { return true; });
  std::vector<std::uint32_t> asked;
  constexpr std::uint32_t kChangeAt = 5'050;
  loop.SetWake([&] {
    asked.push_back(time.NowMs());
    return asked.back() >= kChangeAt && asked.back() < kChangeAt + FrameLoop::kWakeCheckMs;
  });
  std::vector<std::uint32_t> frames;
  loop.Run(
      [&](std::uint64_t, int) {
        frames.push_back(time.NowMs());
        if (time.NowMs() >= 8'000) time.Quit();
      },
      0);
  ASSERT_GE(asked.size(), 2u);
  for (std::size_t i = 1; i < asked.size() && asked[i] < kChangeAt; ++i) {
    EXPECT_LE(asked[i] - asked[i - 1], FrameLoop::kWakeCheckMs);
  }
  const auto woken =
      std::find_if(frames.begin(), frames.end(), [](std::uint32_t at) { return at >= kChangeAt; });
  ASSERT_NE(woken, frames.end());
  EXPECT_LT(*woken, kChangeAt + FrameLoop::kWakeCheckMs) << "answered within one check";
  // Then frames settle as after input: a full run of them before the loop sleeps again.
  ASSERT_GE(frames.end() - woken, FrameLoop::kSettleFrames);
  EXPECT_EQ(woken[FrameLoop::kSettleFrames - 1] - woken[0],
            (FrameLoop::kSettleFrames - 1) * FrameLoop::kFrameMs);
}

TEST(FrameLoopTest, RunsWithAStepLimitNeverSleep) {
  FakeTime time(0);
  FrameLoop loop(time, time);
  loop.SetIdle([] { return true; });
  EXPECT_EQ(loop.Run([](std::uint64_t, int) {}, 100), 100u);
  EXPECT_EQ(time.NowMs(), 100u * FrameLoop::kFrameMs) << "one step every 16 ms to the end";
}

}  // namespace
