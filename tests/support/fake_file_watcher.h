#pragma once
// A file watcher that reports what the test says changed, and a clock the test moves: reload
// tests decide when a change is seen and when its file has been quiet long enough.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/file_watcher.h"

class ManualClock final : public platform::Clock {
 public:
  std::uint32_t NowMs() override { return now_; }
  void Advance(std::uint32_t ms) { now_ += ms; }

 private:
  std::uint32_t now_ = 1000;
};

// Shared between the test and the reloader that owns the watcher.
struct FakeWatchState {
  std::vector<std::string> watched;  // keys, in the order first watched
  std::vector<std::string> changes;  // handed out by the next TakeChanges
  int takes = 0;
  bool Watches(const std::string& path) const {
    return std::find(watched.begin(), watched.end(), platform::WatchKey(path)) != watched.end();
  }
};

class FakeFileWatcher final : public platform::FileWatcher {
 public:
  explicit FakeFileWatcher(FakeWatchState* state) : state_(state) {}
  void Watch(const std::string& path) override {
    if (!state_->Watches(path)) state_->watched.push_back(platform::WatchKey(path));
  }
  void TakeChanges(std::vector<std::string>* changed) override {
    ++state_->takes;
    // Only what is watched is reported, as the real watchers do.
    for (const std::string& path : state_->changes)
      if (state_->Watches(path)) changed->push_back(platform::WatchKey(path));
    state_->changes.clear();
  }

 private:
  FakeWatchState* state_;
};
