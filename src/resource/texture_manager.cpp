#include "resource/texture_manager.h"

#include "platform/file_watcher.h"
#include "platform/message_sink.h"
#include "resource/json_reader.h"

void CTextureManager::Load(const std::string& catalogPath) {
  catalogPaths_.push_back(catalogPath);
  CatalogProblems problems(catalogPath);
  catalog_.merge(ReadCatalog(CatalogEntries(catalogPath, "TEXTURE", &problems), &problems));
}

std::map<std::string, std::string> CTextureManager::ReadCatalog(const std::vector<Json>& entries,
                                                                CatalogProblems* problems) {
  std::map<std::string, std::string> catalog;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    try {
      catalog.try_emplace(entries[i].at(0).get<std::string>(), entries[i].at(1).get<std::string>());
    } catch (const std::exception& e) {
      problems->Entry(i, e.what());
    }
  }
  return catalog;
}

gfx::Texture* CTextureManager::GetTexture(bool childDevice, const std::string& label) {
  const auto entry = catalog_.find(label);
  if (entry == catalog_.end()) return nullptr;
  auto [it, inserted] = textures_.try_emplace(label);
  if (inserted) {
    Loaded& loaded = it->second;
    loaded.path = entry->second;
    loaded.childDevice = childDevice;
    gfx::Device* device = childDevice ? childDevice_ : mainDevice_;
    std::string why = "no device to load it on";
    if (device) loaded.texture = device->CreateTextureFromFile(entry->second, &why);
    // Said once and never in a modal box: this happens in the middle of a preview.
    if (!loaded.texture)
      platform::ReportNotice("texture \"" + label + "\": cannot load the image " + entry->second + ": " +
                             why);
  }
  return it->second.texture.get();
}

// ---- reloading ---------------------------------------------------------------------------------

std::vector<std::string> CTextureManager::ResourceFiles() const {
  std::vector<std::string> files;
  for (const auto& [label, path] : catalog_) files.push_back(path);
  return files;
}

void CTextureManager::Reload(const std::string& label, Loaded* loaded) {
  std::string why;
  const gfx::Image image = gfx::ReadImageFile(loaded->path, &why);
  if (image.Empty()) {
    platform::ReportNotice("texture \"" + label + "\": cannot load the image " + loaded->path + ": " + why +
                           (loaded->texture ? "; it keeps its last good picture" : ""));
    return;
  }
  const auto width = static_cast<UINT>(image.width), height = static_cast<UINT>(image.height);
  if (loaded->texture) {
    loaded->texture->Replace(width, height, image.rgba);
  } else if (gfx::Device* device = loaded->childDevice ? childDevice_ : mainDevice_) {
    loaded->texture = device->CreateTexture(width, height, image.rgba);
  }
}

bool CTextureManager::ReloadCatalogs() {
  std::map<std::string, std::string> catalog;
  for (const std::string& path : catalogPaths_) {
    CatalogProblems problems(path, Telling::kNotice);
    const auto entries = CatalogEntriesAgain(path, "TEXTURE", &problems);
    if (!entries) return false;
    catalog.merge(ReadCatalog(*entries, &problems));
  }
  catalog_ = std::move(catalog);
  // A label pointed at another file shows that file from now on.
  for (auto& [label, loaded] : textures_) {
    const auto entry = catalog_.find(label);
    if (entry == catalog_.end() || platform::WatchKey(entry->second) == platform::WatchKey(loaded.path))
      continue;
    loaded.path = entry->second;
    Reload(label, &loaded);
  }
  return true;
}

bool CTextureManager::ReloadFile(const std::string& key) {
  bool used = false;
  for (auto& [label, loaded] : textures_) {
    if (!catalog_.contains(label) || platform::WatchKey(loaded.path) != key) continue;
    Reload(label, &loaded);
    used = true;
  }
  return used;
}
