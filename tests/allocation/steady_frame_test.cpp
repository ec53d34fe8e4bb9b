// Heap allocations in the frames of a running effect. Every global operator new of this test
// program is counted while counting is on; the first ones seen are kept with their call
// stacks, so a failure says where they come from.

#include <execinfo.h>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "scene/shared_state.h"
#include "support/editor_fixture.h"

namespace {

struct AllocationLog {
  static constexpr int kKept = 6;
  static constexpr int kDepth = 14;
  std::atomic<bool> counting{false};
  std::atomic<long> count{0};
  std::array<std::array<void*, kDepth>, kKept> stacks{};
  std::array<int, kKept> depths{};
};
AllocationLog& Allocations() {
  static AllocationLog log;
  return log;
}

void* Counted(std::size_t size) {
  AllocationLog& log = Allocations();
  if (log.counting.load(std::memory_order_relaxed)) {
    const long n = log.count.fetch_add(1);
    if (n < AllocationLog::kKept) {
      log.counting = false;  // backtrace may allocate on its first call
      log.depths[n] = backtrace(log.stacks[n].data(), AllocationLog::kDepth);
      log.counting = true;
    }
  }
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

std::string Where(int kept) {
  AllocationLog& log = Allocations();
  std::string text;
  for (int i = 0; i < kept && i < AllocationLog::kKept; ++i) {
    text += "\n  allocation " + std::to_string(i + 1) + ":";
    char** names = backtrace_symbols(log.stacks[i].data(), log.depths[i]);
    for (int f = 1; names && f < log.depths[i]; ++f) text += std::string("\n    ") + names[f];
    std::free(names);
  }
  return text;
}

}  // namespace

void* operator new(std::size_t size) {
  return Counted(size);
}
void* operator new[](std::size_t size) {
  return Counted(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

// The frames of a running effect: the pointer emits every EmissionInterval frames, and its
// particles live, move and die in between. Only the frames that emit may allocate (the emitter
// copies its definitions and makes its particles); the test runs the editor as a user sees it,
// without the item log that other interface tests keep.
class SteadyFrame : public EditorTest {
 protected:
  // The editor as a user runs it, sound output and all.
  SteadyFrame() : EditorTest({.soundOutput = true}) {}

  void SetUp() override {
    EditorTest::SetUp();
    log_.reset();
  }
  // Runs the frames; how many allocated in frames that did not emit, and in those that did.
  std::pair<long, long> CountAllocations(int frames, std::string* where) {
    AllocationLog& log = Allocations();
    long quiet = 0, emitting = 0;
    for (int frame = 0; frame < frames; ++frame) {
      log.count = 0;
      log.counting = true;
      Frame();
      log.counting = false;
      const bool emitted = Shared().emissionCounter % Editor()->EmissionInterval == 0;
      (emitted ? emitting : quiet) += log.count;
      if (!emitted && log.count > 0 && where->empty()) *where = Where(static_cast<int>(log.count));
    }
    return {quiet, emitting};
  }
};

TEST_F(SteadyFrame, OnlyTheFramesThatEmitAllocate) {
  // The sample effect, then the same with trails and collisions on every definition.
  for (const bool trailsAndPhysics : {false, true}) {
    if (trailsAndPhysics)
      for (ParticleParams& definition : Editor()->Effects[Editor()->Tags[Editor()->TagIndex]]) {
        definition.Billboard.Trail = true;
        definition.Billboard.TrailWidth = 2.0f;
        definition.Billboard.UsePhysics = definition.Emission.UsePhysics = true;
      }
    Frame(2 * Editor()->EmissionInterval);  // warm-up: emissions and whole particle lives
    std::string where;
    const auto [quiet, emitting] = CountAllocations(2 * Editor()->EmissionInterval, &where);
    EXPECT_EQ(quiet, 0) << (trailsAndPhysics ? "with trails and physics, " : "")
                        << "frames that do not emit allocated; the first ones:" << where;
    EXPECT_GT(emitting, 0) << "the frames that emit made particles without an allocation the count saw";
  }
}
