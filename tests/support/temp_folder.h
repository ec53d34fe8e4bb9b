#pragma once
// A folder of its own for every test, under the system's temporary directory and named
// after the process and the test, removed afterwards: parallel tests never share files.
// TempFolderTest is the fixture; a test with another fixture keeps a TempFolder of its own.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// A file's whole content as bytes (empty when it cannot be read).
inline std::string FileContents(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class TempFolder {
 public:
  TempFolder()
      : dir_(std::filesystem::temp_directory_path() /
             ("particle-editor-test-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  ~TempFolder() {
    if (keepIfFailed_ && ::testing::Test::HasFailure()) {
      std::printf("the test's files stay in %s\n", dir_.c_str());
      return;
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Dir() const { return dir_; }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // Writes the bytes as the file's whole content and returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return Path(name);
  }
  // A sparse file of the size, all zero bytes, taking next to no room on the disk; its path.
  std::string Sparse(const std::string& name, std::uint64_t size) const {
    const std::string path = Path(name);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    EXPECT_GE(fd, 0) << path;
    EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0) << path;
    ::close(fd);
    return path;
  }
  // For files that show a person what went wrong (pictures, logs): left in place, and their
  // folder named, when the test fails.
  void KeepIfFailed() { keepIfFailed_ = true; }

 protected:
  const std::filesystem::path dir_;

 private:
  bool keepIfFailed_ = false;
};

class TempFolderTest : public ::testing::Test, public TempFolder {};
