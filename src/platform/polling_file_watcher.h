#pragma once
// Watches files by their modification time, size and inode, looked at once a second: the
// fallback where the kernel cannot notify.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/file_watcher.h"

namespace platform {

class PollingFileWatcher final : public FileWatcher {
 public:
  static constexpr std::uint32_t kPollMs = 1000;

  explicit PollingFileWatcher(Clock& clock) : clock_(clock), lastPoll_(clock.NowMs()) {}

  void Watch(const std::string& path) override;
  void TakeChanges(std::vector<std::string>* changed) override;

 private:
  struct Stamp {
    bool exists = false;
    std::int64_t modifiedNs = 0;
    std::uint64_t size = 0;
    std::uint64_t inode = 0;
    bool operator==(const Stamp&) const = default;
  };
  static Stamp StampOf(const std::string& path);

  Clock& clock_;
  std::uint32_t lastPoll_;
  std::map<std::string, Stamp> files_;  // by key
};

}  // namespace platform
