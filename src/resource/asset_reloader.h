#pragma once
// Hot reload: watches the catalogs and the files they name, and once a changed file has been
// quiet for a moment has its manager read it again. Catalogs go first, so that a label pointed
// at another file is known before the files are. Nothing is read unless its file changed.

#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/file_watcher.h"
#include "resource/settled_changes.h"
#include "resource/watched_resources.h"

class AssetReloader {
 public:
  AssetReloader(std::unique_ptr<platform::FileWatcher> watcher, platform::Clock& clock,
                std::vector<WatchedResources*> resources);

  // Takes what the watcher saw, without blocking; true while a change waits for its file to
  // be quiet (frames must go on until it is read).
  bool Poll();
  bool Pending() const { return settled_.Pending(); }
  // Polls, then reloads every file quiet long enough; the number of files read again.
  int Update();

 private:
  void WatchEverything();

  std::unique_ptr<platform::FileWatcher> watcher_;
  platform::Clock& clock_;
  std::vector<WatchedResources*> resources_;
  SettledChanges settled_;
  std::vector<std::string> changed_;  // kept between frames, so a quiet frame allocates nothing
  std::vector<std::string> ready_;
};
