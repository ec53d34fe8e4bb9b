#include "platform/file_watcher.h"

#include <filesystem>

#include "platform/inotify_file_watcher.h"
#include "platform/polling_file_watcher.h"

namespace platform {

std::string WatchKey(const std::string& path) {
  return std::filesystem::path(path).lexically_normal().string();
}

std::unique_ptr<FileWatcher> CreateFileWatcher(Clock& clock, std::string* fallback) {
  std::string why;
  if (auto watcher = InotifyFileWatcher::Create(clock, &why)) return watcher;
  if (fallback) *fallback = why;
  return std::make_unique<PollingFileWatcher>(clock);
}

}  // namespace platform
