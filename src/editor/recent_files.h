#pragma once
// The documents opened or saved last, most recent first, kept one path per line in a file of
// the user's configuration folder so that they outlive the run.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

class RecentFiles {
 public:
  static constexpr std::size_t kLimit = 10;
  // Longer lines in the file are junk, not paths (Linux paths stop at 4096 bytes).
  static constexpr std::size_t kMaxPathBytes = 4096;

  // What a write that failed tells the user; nothing when the list reached its file.
  using WriteError = std::optional<std::string>;

  // Reads the list kept in the file; whatever cannot be read as one (a missing or unreadable
  // file, junk lines) leaves it shorter or empty.
  explicit RecentFiles(std::string file);

  // $XDG_CONFIG_HOME/particle-editor/recent, or $HOME/.config/particle-editor/recent when
  // XDG_CONFIG_HOME is unset, empty or relative; empty when neither gives a place.
  static std::string DefaultPath();

  // Puts the document first (its path made absolute and lexically normal), dropping an
  // earlier entry of the same path and those past kLimit, and writes the list.
  WriteError Add(const std::string& document);
  // Drops the document (one that no longer exists) and writes the list.
  WriteError Remove(const std::string& document);
  const std::vector<std::string>& Entries() const { return entries_; }
  const std::string& File() const { return file_; }

 private:
  WriteError Write() const;

  std::string file_;
  std::vector<std::string> entries_;
};
