#pragma once
// Files written beside their final names (NAME.rendering) and renamed into place together at
// the end, so a render that fails or is cancelled leaves none of them, and a reader never sees
// half a file.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class StagedFiles {
 public:
  StagedFiles() = default;
  // Removes every file not yet committed.
  ~StagedFiles();
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;

  // The temporary name of path, now reserved: another program (ffmpeg) may write it.
  static std::string TemporaryName(const std::string& path) { return path + ".rendering"; }
  // Makes path's temporary file (empty) and keeps it for Commit; false, with the reason.
  bool Reserve(const std::string& path, std::string* error);
  // Writes the bytes, synced to the disk, as path's temporary file and keeps it for Commit.
  bool Write(const std::string& path, std::span<const std::uint8_t> bytes, std::string* error);
  // Renames every temporary file to its name; on failure, removes what is left.
  bool Commit(std::string* error);
  // Removes every file not yet committed.
  void Discard();

 private:
  std::vector<std::string> paths_;  // final names, in the order written
};
