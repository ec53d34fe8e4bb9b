#pragma once
// Loads every .x model of the model catalog once, at start, and hands out its mesh,
// materials and floor-rounded bounds by tag.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/mesh.h"
#include "resource/json_reader.h"

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

class CModelManager {
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

 private:
  struct Owned {
    std::unique_ptr<gfx::Mesh> mesh;
    std::unique_ptr<gfx::MaterialBuffer> materials;
  };

  gfx::Device* device_;
  std::map<std::string, ModelInfo> models_;
  std::vector<Owned> owned_;
};
