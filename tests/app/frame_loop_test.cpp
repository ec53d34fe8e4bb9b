#include "app/frame_loop.h"

#include <gtest/gtest.h>

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
  void WaitForEvents(std::uint32_t ms) override {
    ASSERT_GT(ms, 0u);
    now_ += ms;
    waited_ += ms;
  }

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
};

TEST(FrameLoopTest, FramesStartAtLeastSixteenMillisecondsApartAcrossTheCounterWrap) {
  for (std::uint32_t start : {0u, 0xFFFFFFF0u, 0xFFFFFF00u}) {
    SCOPED_TRACE(start);
    FakeTime time(start);
    FrameLoop loop(time, time);
    std::vector<std::uint32_t> starts;
    // Frames that take 0 to 30 ms of work: fast frames must wait, slow ones not be followed by a hurried one.
    const std::uint64_t ran = loop.Run(
        [&](std::uint64_t index) {
          starts.push_back(time.NowMs());
          time.Advance(static_cast<std::uint32_t>(index * 7 % 31));
        },
        40);
    ASSERT_EQ(ran, 40u);
    ASSERT_EQ(starts.size(), 40u);
    EXPECT_EQ(starts[0] - start, 16u) << "the first frame waits one step after start-up";
    for (size_t i = 1; i < starts.size(); ++i) {
      const std::uint32_t gap = starts[i] - starts[i - 1];
      EXPECT_GE(gap, 16u) << "frame " << i;
      // The timestamp is the time read now: a slow frame is followed at once, with no catching up.
      const std::uint32_t work = static_cast<std::uint32_t>((i - 1) * 7 % 31);
      EXPECT_EQ(gap, std::max<std::uint32_t>(16u, work)) << "frame " << i;
    }
  }
}

TEST(FrameLoopTest, PendingEventsAreDrainedBeforeEveryFrame) {
  FakeTime time(100);
  FrameLoop loop(time, time);
  int frames = 0;
  loop.Run(
      [&](std::uint64_t) {
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
      [&](std::uint64_t index) {
        if (index == 4) time.Quit();
      },
      0);
  EXPECT_EQ(ran, 5u);

  FakeTime quitting(0);
  quitting.Quit();
  FrameLoop idle(quitting, quitting);
  EXPECT_EQ(idle.Run([](std::uint64_t) { FAIL() << "no frame may run after a quit request"; }, 0), 0u);
}

TEST(FrameLoopTest, WaitingSleepsForTheRestOfTheStepInsteadOfSpinning) {
  FakeTime time(0);
  FrameLoop loop(time, time);
  loop.Run([&](std::uint64_t) { time.Advance(5); }, 3);
  // Three frames of 5 ms work in 16 ms steps: every remaining millisecond was spent waiting.
  EXPECT_EQ(time.Waited(), 16u + 11u + 11u);
}

}  // namespace
