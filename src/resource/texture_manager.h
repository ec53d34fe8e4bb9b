#pragma once
// Knows every texture of the texture catalog by label and loads each one the first time it
// is asked for, on the scene's device or on the editor window's device. While the program runs,
// a texture whose file changes takes the new picture in the same object.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/device.h"
#include "resource/json_reader.h"
#include "resource/watched_resources.h"

class CTextureManager : public WatchedResources {
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
  // on the device of its first request; a failed load is remembered as null (until its file
  // changes). A label the catalog no longer has is unknown: null.
  gfx::Texture* GetTexture(bool childDevice, const std::string& label);
  // Releases every loaded texture (before the devices go).
  void Clear() { textures_.clear(); }

  std::vector<std::string> CatalogFiles() const override { return catalogPaths_; }
  std::vector<std::string> ResourceFiles() const override;
  bool ReloadCatalogs() override;
  bool ReloadFile(const std::string& key) override;

 private:
  struct Loaded {
    std::unique_ptr<gfx::Texture> texture;  // null when the file could not be loaded
    std::string path;                       // the file it was last read from
    bool childDevice = false;
  };
  // Reads the label's file again into its texture (or makes the texture, after a failed load).
  void Reload(const std::string& label, Loaded* loaded);

  gfx::Device* mainDevice_;
  gfx::Device* childDevice_;
  std::vector<std::string> catalogPaths_;
  std::map<std::string, std::string> catalog_;
  // Every texture made, whether or not the catalog still lists its label: what holds it keeps
  // drawing it, and a label listed again finds the same object.
  std::map<std::string, Loaded> textures_;
};
