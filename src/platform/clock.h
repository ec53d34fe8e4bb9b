#pragma once
// The millisecond frame clock: an unsigned 32-bit counter, so differences survive its wrap-around.

#include <chrono>
#include <cstdint>

namespace platform {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::uint32_t NowMs() = 0;
};

class SteadyClock final : public Clock {
 public:
  std::uint32_t NowMs() override {
    const auto since = std::chrono::steady_clock::now() - start_;
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Where frames learn about window messages: drains them and waits for more.
class EventSource {
 public:
  virtual ~EventSource() = default;
  // Handles every pending event; false once the program was asked to quit.
  virtual bool DrainEvents() = 0;
  // Sleeps until an event arrives or the time is up.
  virtual void WaitForEvents(std::uint32_t ms) = 0;
  // Events handled so far: a change says input (or a resize, an expose) came in.
  virtual std::uint64_t EventsHandled() const = 0;
};

}  // namespace platform
