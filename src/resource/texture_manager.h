#pragma once
// Knows every texture of the texture catalog by label and loads each one the first time it
// is asked for, on the scene's device or on the editor window's device.

#include <map>
#include <memory>
#include <string>

#include "platform/gfx/device.h"
#include "resource/json_reader.h"

class CTextureManager {
 public:
  static constexpr const char* kCatalogPath = "Data/FILE/texture.json";

  CTextureManager(gfx::Device* mainDevice, gfx::Device* childDevice)
      : mainDevice_(mainDevice), childDevice_(childDevice) {}

  void Load(const std::string& catalogPath = kCatalogPath);
  // Label -> file of the catalog's [label, path] entries, the first entry of a label winning;
  // other entries are told to problems. Needs no device.
  static std::map<std::string, std::string> ReadCatalog(const std::vector<Json>& entries,
                                                        CatalogProblems* problems);
  std::map<std::string, std::string> GetCatalog() const { return catalog_; }
  // childDevice false: the scene's device, true: the editor window's. A label is loaded once,
  // on the device of its first request; a failed load is remembered as null.
  gfx::Texture* GetTexture(bool childDevice, const std::string& label);
  // Releases every loaded texture (before the devices go).
  void Clear() { textures_.clear(); }

 private:
  gfx::Device* mainDevice_;
  gfx::Device* childDevice_;
  std::map<std::string, std::string> catalog_;
  std::map<std::string, std::unique_ptr<gfx::Texture>> textures_;
};
