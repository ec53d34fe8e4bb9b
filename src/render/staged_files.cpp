#include "render/staged_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {

std::string Reason(int error) { return std::strerror(error); }

}  // namespace

StagedFiles::~StagedFiles() { Discard(); }

void StagedFiles::Discard() {
  std::error_code ignored;
  for (const std::string& path : paths_) std::filesystem::remove(TemporaryName(path), ignored);
  paths_.clear();
}

bool StagedFiles::Reserve(const std::string& path, std::string* error) {
  return Write(path, {}, error);
}

bool StagedFiles::Write(const std::string& path, std::span<const std::uint8_t> bytes, std::string* error) {
  const std::string temporary = TemporaryName(path);
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    *error = path + " cannot be written: " + Reason(errno);
    return false;
  }
  if (std::find(paths_.begin(), paths_.end(), path) == paths_.end()) paths_.push_back(path);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = path + " cannot be written: " + Reason(n < 0 ? errno : ENOSPC);
      ::close(fd);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  // Without it a power cut soon after the rename can leave the name on partial data.
  if (!bytes.empty() && ::fsync(fd) != 0 && errno != EINVAL) {
    *error = path + " could not be synced to the disk: " + Reason(errno);
    ::close(fd);
    return false;
  }
  if (::close(fd) != 0) {
    *error = path + " cannot be written: " + Reason(errno);
    return false;
  }
  return true;
}

bool StagedFiles::Commit(std::string* error) {
  for (std::size_t i = 0; i < paths_.size(); ++i) {
    std::error_code ec;
    std::filesystem::rename(TemporaryName(paths_[i]), paths_[i], ec);
    if (ec) {
      *error = paths_[i] + " cannot be put in place: " + ec.message();
      // The ones renamed already stay: they are whole.
      paths_.erase(paths_.begin(), paths_.begin() + static_cast<std::ptrdiff_t>(i));
      Discard();
      return false;
    }
  }
  paths_.clear();
  return true;
}
