#include "resource/settled_changes.h"

#include <algorithm>

void SettledChanges::Changed(const std::string& key, std::uint32_t nowMs) {
  const auto same =
      std::find_if(pending_.begin(), pending_.end(), [&](const Change& c) { return c.key == key; });
  if (same != pending_.end()) {
    same->lastMs = nowMs;
  } else {
    pending_.push_back({key, nowMs});
  }
}

void SettledChanges::TakeSettled(std::uint32_t nowMs, std::vector<std::string>* settled) {
  // Differences of the unsigned clock survive its wrap-around.
  const auto quiet = [&](const Change& c) { return nowMs - c.lastMs >= kQuietMs; };
  for (const Change& c : pending_)
    if (quiet(c)) settled->push_back(c.key);
  std::erase_if(pending_, quiet);
}
