#include "effectfile/document_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/message_sink.h"

namespace {

// An open file descriptor, closed when it goes.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int Get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  // 0, or the errno of the failure; a close that fails can mean the data never reached the disk.
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

std::string Reason(int error) {
  return std::strerror(error);
}

std::string TooLarge(const std::string& size) {
  return "the file holds " + size + " bytes, more than the " + std::to_string(kMaxDocumentBytes) + " (" +
         std::to_string(kMaxDocumentBytes >> 20) + " MB) a document may hold";
}

// 0, or the errno of the failure.
int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

std::string FolderOf(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  return folder.empty() ? std::string(".") : folder.string();
}

}  // namespace

// ---- reading ----------------------------------------------------------------------------------

std::optional<std::string> ReadDocumentFile(const std::string& path) {
  // Without O_NONBLOCK a pipe with no writer would hang the open; a regular file ignores it.
  Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!file) {
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    throw std::runtime_error(Reason(errno));
  }
  struct stat status {};
  if (::fstat(file.Get(), &status) != 0) throw std::runtime_error(Reason(errno));
  if (S_ISDIR(status.st_mode)) throw std::runtime_error(Reason(EISDIR));
  // A pipe or a device may never end.
  if (!S_ISREG(status.st_mode)) throw std::runtime_error("not a regular file");
  if (static_cast<std::uint64_t>(status.st_size) > kMaxDocumentBytes)
    throw DocumentTooLarge(TooLarge(std::to_string(status.st_size)));

  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(status.st_size));
  // The size is checked again as the bytes come: the file may grow while it is read.
  std::array<char, 1 << 16> buffer;
  while (true) {
    const ssize_t count = ::read(file.Get(), buffer.data(), buffer.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error(Reason(errno));
    }
    if (count == 0) break;
    if (bytes.size() + static_cast<std::size_t>(count) > kMaxDocumentBytes)
      throw DocumentTooLarge(TooLarge("more than " + std::to_string(kMaxDocumentBytes)));
    bytes.append(buffer.data(), static_cast<std::size_t>(count));
  }
  return bytes;
}

// ---- writing ----------------------------------------------------------------------------------

int FileSync::SyncFile(int descriptor) const {
  return ::fsync(descriptor) == 0 ? 0 : errno;
}

int FileSync::SyncFolder(const std::string& folder) const {
  Descriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!directory) return errno;
  if (::fsync(directory.Get()) != 0) return errno;
  return directory.Close();
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error,
                         const FileSync& sync) {
  const std::string temporary = path + ".saving";
  auto fail = [&](const std::string& why) {
    if (error) *error = path + ": " + why;
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return false;
  };
  Descriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!file) return fail(Reason(errno));
  if (const int e = WriteAll(file.Get(), bytes)) return fail(Reason(e));
  // Without this a power cut soon after the rename can leave the new name on empty or partial data.
  if (const int e = sync.SyncFile(file.Get()))
    return fail("the file could not be synced to the disk: " + Reason(e));
  if (const int e = file.Close()) return fail(Reason(e));
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  if (ec) return fail(ec.message());
  // The new document is in place and the old one gone: a failure here cannot be undone, and the
  // worst a power cut can then do is bring back the previous document, whole. The user hears of
  // it, unless the file system simply has no way to sync a folder (EINVAL).
  if (const int e = sync.SyncFolder(FolderOf(path)); e != 0 && e != EINVAL)
    platform::ReportNotice(path + ": saved, but its folder could not be synced to the disk (" + Reason(e) +
                           "): after a power cut the previous version may come back");
  return true;
}
