#include "resource/asset_reloader.h"

#include <algorithm>

AssetReloader::AssetReloader(std::unique_ptr<platform::FileWatcher> watcher, platform::Clock& clock,
                             std::vector<WatchedResources*> resources)
    : watcher_(std::move(watcher)), clock_(clock), resources_(std::move(resources)) {
  std::erase(resources_, nullptr);
  WatchEverything();
}

void AssetReloader::WatchEverything() {
  for (WatchedResources* resources : resources_) {
    for (const std::string& path : resources->CatalogFiles()) watcher_->Watch(path);
    for (const std::string& path : resources->ResourceFiles()) watcher_->Watch(path);
  }
}

bool AssetReloader::Poll() {
  changed_.clear();
  watcher_->TakeChanges(&changed_);
  const std::uint32_t now = clock_.NowMs();
  for (const std::string& key : changed_) settled_.Changed(key, now);
  return settled_.Pending();
}

int AssetReloader::Update() {
  Poll();
  ready_.clear();
  settled_.TakeSettled(clock_.NowMs(), &ready_);
  if (ready_.empty()) return 0;

  int read = 0;
  bool catalogsChanged = false;
  const auto isCatalog = [this](const std::string& key) {
    return std::any_of(resources_.begin(), resources_.end(), [&](const WatchedResources* r) {
      const auto catalogs = r->CatalogFiles();
      return std::any_of(catalogs.begin(), catalogs.end(),
                         [&](const std::string& path) { return platform::WatchKey(path) == key; });
    });
  };
  for (WatchedResources* resources : resources_) {
    const auto catalogs = resources->CatalogFiles();
    const bool changed = std::any_of(catalogs.begin(), catalogs.end(), [&](const std::string& path) {
      return std::find(ready_.begin(), ready_.end(), platform::WatchKey(path)) != ready_.end();
    });
    if (!changed) continue;
    resources->ReloadCatalogs();
    catalogsChanged = true;
    ++read;
  }
  // A catalog may name new files, in folders not watched yet.
  if (catalogsChanged) WatchEverything();
  for (const std::string& key : ready_) {
    if (isCatalog(key)) continue;
    bool used = false;
    for (WatchedResources* resources : resources_) used = resources->ReloadFile(key) || used;
    if (used) ++read;
  }
  return read;
}
