#pragma once
// Watches files through Linux's inotify: one watch per folder that holds watched files, read
// without blocking. A folder that cannot be watched yet (it does not exist) is tried again
// once a second, and its files count as changed once it can be.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/file_watcher.h"

namespace platform {

class InotifyFileWatcher final : public FileWatcher {
 public:
  static constexpr std::uint32_t kRetryMs = 1000;

  // Null, with the reason, when the kernel gives no inotify instance.
  static std::unique_ptr<InotifyFileWatcher> Create(Clock& clock, std::string* why);
  ~InotifyFileWatcher() override;
  InotifyFileWatcher(const InotifyFileWatcher&) = delete;
  InotifyFileWatcher& operator=(const InotifyFileWatcher&) = delete;

  void Watch(const std::string& path) override;
  void TakeChanges(std::vector<std::string>* changed) override;

 private:
  struct Folder {
    int watch = -1;                            // -1 while the folder cannot be watched
    std::map<std::string, std::string> files;  // file name -> key
  };

  InotifyFileWatcher(int fd, Clock& clock) : fd_(fd), clock_(clock), lastRetry_(clock.NowMs()) {}
  bool AddWatch(const std::string& folderPath, Folder* folder);
  void RetryFolders(std::vector<std::string>* changed);
  void Everything(std::vector<std::string>* changed) const;

  int fd_;
  Clock& clock_;
  std::uint32_t lastRetry_;
  std::map<std::string, Folder> folders_;            // by folder path
  std::unordered_map<int, std::string> byWatch_;     // watch descriptor -> folder path
};

}  // namespace platform
