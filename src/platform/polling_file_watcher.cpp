#include "platform/polling_file_watcher.h"

#include <sys/stat.h>

namespace platform {

PollingFileWatcher::Stamp PollingFileWatcher::StampOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return {};
  return {true, static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec,
          static_cast<std::uint64_t>(status.st_size), static_cast<std::uint64_t>(status.st_ino)};
}

void PollingFileWatcher::Watch(const std::string& path) {
  const std::string key = WatchKey(path);
  if (!files_.contains(key)) files_.emplace(key, StampOf(key));
}

void PollingFileWatcher::TakeChanges(std::vector<std::string>* changed) {
  const std::uint32_t now = clock_.NowMs();
  if (now - lastPoll_ < kPollMs) return;
  lastPoll_ = now;
  for (auto& [key, stamp] : files_) {
    const Stamp current = StampOf(key);
    if (current == stamp) continue;
    stamp = current;
    changed->push_back(key);
  }
}

}  // namespace platform
