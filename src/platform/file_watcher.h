#pragma once
// Tells which files changed on disk while the program runs. The real back end asks the kernel
// (inotify) about the folders that hold the files, so that a save by rename-over is seen as well
// as a write in place; where the kernel cannot tell, modification times are polled once a second.
// Tests hand in changes through a fake.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace platform {

class FileWatcher {
 public:
  virtual ~FileWatcher() = default;
  // Watches the file from now on (its folder need not exist yet); watching it twice is
  // watching it once.
  virtual void Watch(const std::string& path) = 0;
  // Appends the WatchKey of every watched file written, created, replaced or deleted since the
  // last call. Never blocks.
  virtual void TakeChanges(std::vector<std::string>* changed) = 0;
};

// One spelling for every path of a file: "./Data//a.png" and "Data/a.png" are the same key.
std::string WatchKey(const std::string& path);

// The kernel's notifications where it has them, otherwise polling; *fallback (when given) says
// why the kernel's could not be used, and stays empty when they are.
std::unique_ptr<FileWatcher> CreateFileWatcher(Clock& clock, std::string* fallback = nullptr);

}  // namespace platform
