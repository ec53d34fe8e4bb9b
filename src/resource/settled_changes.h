#pragma once
// Changed files, each let through once it has been quiet for a while: editors save in several
// writes, and a file read between two of them is half written.

#include <cstdint>
#include <string>
#include <vector>

class SettledChanges {
 public:
  static constexpr std::uint32_t kQuietMs = 200;

  void Changed(const std::string& key, std::uint32_t nowMs);
  // Appends the files quiet for kQuietMs since their last change, in the order they first
  // changed, and forgets them.
  void TakeSettled(std::uint32_t nowMs, std::vector<std::string>* settled);
  bool Pending() const { return !pending_.empty(); }

 private:
  struct Change {
    std::string key;
    std::uint32_t lastMs;
  };
  std::vector<Change> pending_;
};
