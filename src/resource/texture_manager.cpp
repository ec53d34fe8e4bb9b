#include "resource/texture_manager.h"

#include "platform/message_sink.h"
#include "resource/json_reader.h"

void CTextureManager::Load(const std::string& catalogPath) {
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
    gfx::Device* device = childDevice ? childDevice_ : mainDevice_;
    std::string why = "no device to load it on";
    if (device) it->second = device->CreateTextureFromFile(entry->second, &why);
    // Said once and never in a modal box: this happens in the middle of a preview.
    if (!it->second)
      platform::ReportNotice("texture \"" + label + "\": cannot load the image " + entry->second + ": " +
                             why);
  }
  return it->second.get();
}
