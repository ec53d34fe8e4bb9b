#include "platform/inotify_file_watcher.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace platform {

namespace {

// A save by rename-over arrives as IN_MOVED_TO, a write in place as IN_CLOSE_WRITE; a file
// renamed away or deleted counts too, so that its loss is told.
constexpr std::uint32_t kEvents =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_ONLYDIR;

}  // namespace

std::unique_ptr<InotifyFileWatcher> InotifyFileWatcher::Create(Clock& clock, std::string* why) {
  const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) {
    *why = std::string("inotify: ") + std::strerror(errno);
    return nullptr;
  }
  return std::unique_ptr<InotifyFileWatcher>(new InotifyFileWatcher(fd, clock));
}

InotifyFileWatcher::~InotifyFileWatcher() { ::close(fd_); }

bool InotifyFileWatcher::AddWatch(const std::string& folderPath, Folder* folder) {
  const int watch = inotify_add_watch(fd_, folderPath.c_str(), kEvents);
  if (watch < 0) return false;
  folder->watch = watch;
  byWatch_[watch] = folderPath;
  return true;
}

void InotifyFileWatcher::Watch(const std::string& path) {
  const std::string key = WatchKey(path);
  const std::filesystem::path file(key);
  const std::string name = file.filename().string();
  if (name.empty()) return;  // a folder, not a file
  const std::string folderPath = file.has_parent_path() ? file.parent_path().string() : ".";
  auto [it, added] = folders_.try_emplace(folderPath);
  it->second.files.emplace(name, key);
  if (added) AddWatch(folderPath, &it->second);
}

void InotifyFileWatcher::Everything(std::vector<std::string>* changed) const {
  for (const auto& [path, folder] : folders_)
    for (const auto& [name, key] : folder.files) changed->push_back(key);
}

void InotifyFileWatcher::RetryFolders(std::vector<std::string>* changed) {
  const std::uint32_t now = clock_.NowMs();
  if (now - lastRetry_ < kRetryMs) return;
  lastRetry_ = now;
  std::error_code error;
  for (auto& [path, folder] : folders_) {
    if (folder.watch >= 0 || !AddWatch(path, &folder)) continue;
    // Made while nobody watched it: what it holds now is new.
    for (const auto& [name, key] : folder.files)
      if (std::filesystem::exists(key, error)) changed->push_back(key);
  }
}

void InotifyFileWatcher::TakeChanges(std::vector<std::string>* changed) {
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t length = ::read(fd_, buffer, sizeof buffer);
    if (length <= 0) break;  // EAGAIN: nothing more now
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= length;) {
      inotify_event event;
      std::memcpy(&event, buffer + at, sizeof event);
      const char* name = buffer + at + sizeof(inotify_event);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
      if (event.mask & IN_Q_OVERFLOW) {
        // Events were lost: any file may have changed.
        Everything(changed);
        continue;
      }
      const auto folderPath = byWatch_.find(event.wd);
      if (folderPath == byWatch_.end()) continue;
      Folder& folder = folders_[folderPath->second];
      if (event.mask & IN_IGNORED) {
        // The folder went away (deleted, unmounted): watched again once it is back.
        folder.watch = -1;
        byWatch_.erase(folderPath);
        continue;
      }
      if (event.len == 0) continue;
      const auto file = folder.files.find(std::string(name, ::strnlen(name, event.len)));
      if (file != folder.files.end()) changed->push_back(file->second);
    }
  }
  RetryFolders(changed);
}

}  // namespace platform
