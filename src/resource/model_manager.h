#pragma once
// Loads every .x model of the model catalog at start, and hands out its mesh, materials and
// floor-rounded bounds by tag. While the program runs, a model whose file changes is read again
// into the same mesh and materials.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/mesh.h"
#include "resource/json_reader.h"
#include "resource/watched_resources.h"

struct ModelInfo {
  gfx::MaterialBuffer* Materials = nullptr;
  DWORD NumMaterials = 0;
  gfx::Mesh* Mesh = nullptr;
  D3DXVECTOR3 VtxMax;
  D3DXVECTOR3 VtxMin;
};

// Moves the bounds out to every vertex position that exceeds them, each coordinate rounded
// down (so a maximum is the floor of the true extreme).
void ExtendFloorBounds(gfx::Mesh* mesh, D3DXVECTOR3* vtxMax, D3DXVECTOR3* vtxMin);

class CModelManager : public WatchedResources {
 public:
  static constexpr const char* kCatalogPath = "Data/FILE/model.json";

  explicit CModelManager(gfx::Device* device) : device_(device) {}

  void Load(const std::string& catalogPath = kCatalogPath);
  struct CatalogEntry {
    std::size_t index;  // in the catalog, for messages
    std::string tag;
    std::string path;
  };
  // The catalog's entries that name a .x file, in file order; malformed entries are told to
  // problems. Needs no device.
  static std::vector<CatalogEntry> ReadCatalog(const std::vector<Json>& entries, CatalogProblems* problems);

  gfx::Mesh* GetMesh(std::string tag) const;
  gfx::MaterialBuffer* GetMaterials(std::string tag) const;
  DWORD GetNumMaterials(std::string tag) const;
  D3DXVECTOR3 GetVtxMax(std::string tag) const;
  D3DXVECTOR3 GetVtxMin(std::string tag) const;
  ModelInfo GetModel(std::string tag) const;
  // Tags in ascending byte order, for the editor's lists.
  const std::map<std::string, ModelInfo>& GetMap() const { return models_; }
  void Clear();

  std::vector<std::string> CatalogFiles() const override { return catalogPaths_; }
  std::vector<std::string> ResourceFiles() const override;
  // Tags added are loaded, tags removed are unknown from then on (their mesh lives on for
  // whoever holds it), tags pointed at another file read it into the same mesh.
  bool ReloadCatalogs() override;
  bool ReloadFile(const std::string& key) override;

 private:
  struct Owned {
    std::string path;  // the file it was last read from
    std::unique_ptr<gfx::Mesh> mesh;
    std::unique_ptr<gfx::MaterialBuffer> materials;
  };
  // Reads the tag's file into its mesh and materials (made on the first success); lists the
  // tag when that succeeds. False, having told why, when the file does not load.
  bool Read(const std::string& tag, const std::string& path, Telling telling);

  gfx::Device* device_;
  std::vector<std::string> catalogPaths_;
  std::map<std::string, std::string> catalog_;  // tag -> file of every .x entry, the first winning
  std::map<std::string, ModelInfo> models_;     // the catalog's tags that loaded
  std::map<std::string, Owned> owned_;          // every tag ever read, listed or not
};
