#include "resource/model_manager.h"

#include <cmath>

#include "platform/file_watcher.h"
#include "platform/message_sink.h"
#include "resource/json_reader.h"

namespace {

constexpr DWORD D3DXMESH_SYSTEMMEM = 0x110;

}  // namespace

void ExtendFloorBounds(gfx::Mesh* mesh, D3DXVECTOR3* vtxMax, D3DXVECTOR3* vtxMin) {
  const UINT stride = gfx::D3DXGetFVFVertexSize(mesh->GetFVF());
  void* data = nullptr;
  if (FAILED(mesh->LockVertexBuffer(D3DLOCK_READONLY, &data))) return;
  const auto* bytes = static_cast<const std::byte*>(data);
  for (DWORD i = 0; i < mesh->GetNumVertices(); ++i) {
    const auto* p = reinterpret_cast<const float*>(bytes + std::size_t{i} * stride);
    float* maxima[3] = {&vtxMax->x, &vtxMax->y, &vtxMax->z};
    float* minima[3] = {&vtxMin->x, &vtxMin->y, &vtxMin->z};
    for (int axis = 0; axis < 3; ++axis) {
      if (p[axis] > *maxima[axis]) *maxima[axis] = std::floor(p[axis]);
      if (p[axis] < *minima[axis]) *minima[axis] = std::floor(p[axis]);
    }
  }
  mesh->UnlockVertexBuffer();
}

std::vector<CModelManager::CatalogEntry> CModelManager::ReadCatalog(const std::vector<Json>& entries,
                                                                    CatalogProblems* problems) {
  std::vector<CatalogEntry> models;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::string tag, path;
    try {
      const auto strings = entries[i].get<std::vector<std::string>>();
      if (strings.size() < 2) {
        problems->Entry(i, "needs a tag and a file path");
        continue;
      }
      tag = strings[0];
      path = strings[1];
    } catch (const std::exception& e) {
      problems->Entry(i, e.what());
      continue;
    }
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || path.substr(dot) != ".x") continue;
    models.push_back({i, std::move(tag), std::move(path)});
  }
  return models;
}

void CModelManager::Load(const std::string& catalogPath) {
  catalogPaths_.push_back(catalogPath);
  CatalogProblems problems(catalogPath);
  for (const auto& [i, tag, path] : ReadCatalog(CatalogEntries(catalogPath, "MODEL", &problems), &problems)) {
    // A tag whose first file does not load may still be loaded from a later entry.
    if (models_.contains(tag)) continue;
    catalog_[tag] = path;
    Read(tag, path, Telling::kNotice);
  }
}

bool CModelManager::Read(const std::string& tag, const std::string& path, Telling telling) {
  std::unique_ptr<gfx::Mesh> mesh;
  std::unique_ptr<gfx::MaterialBuffer> materials;
  DWORD numMaterials = 0;
  std::string error;
  if (FAILED(gfx::D3DXLoadMeshFromX(path, D3DXMESH_SYSTEMMEM, device_, &materials, &numMaterials, &mesh,
                                    &error))) {
    const auto kept = owned_.find(tag);
    if (kept != owned_.end() && kept->second.mesh && models_.contains(tag)) {
      TellProblem(telling, "model \"" + tag + "\": cannot read " + path + " again: " + error +
                               "; it keeps its last good mesh");
    } else {
      // The model is skipped: whoever asks for the tag gets nothing, as for an unknown tag.
      TellProblem(telling, "model \"" + tag + "\" skipped: " + error);
    }
    return false;
  }
  Owned& owned = owned_[tag];
  owned.path = path;
  if (owned.mesh) {
    owned.mesh->Replace(std::move(*mesh));
    *owned.materials = std::move(*materials);
  } else {
    owned.mesh = std::move(mesh);
    owned.materials = std::move(materials);
  }
  ModelInfo info;
  info.Mesh = owned.mesh.get();
  info.Materials = owned.materials.get();
  info.NumMaterials = owned.materials->Count();
  info.VtxMax = {-10000.0f, -10000.0f, -10000.0f};
  info.VtxMin = {10000.0f, 10000.0f, 10000.0f};
  ExtendFloorBounds(info.Mesh, &info.VtxMax, &info.VtxMin);
  models_[tag] = info;
  return true;
}

// ---- reloading ---------------------------------------------------------------------------------

std::vector<std::string> CModelManager::ResourceFiles() const {
  std::vector<std::string> files;
  for (const auto& [tag, path] : catalog_) files.push_back(path);
  return files;
}

bool CModelManager::ReloadCatalogs() {
  std::map<std::string, std::string> catalog;
  for (const std::string& path : catalogPaths_) {
    CatalogProblems problems(path, Telling::kNotice);
    const auto entries = CatalogEntriesAgain(path, "MODEL", &problems);
    if (!entries) return false;
    for (const auto& entry : ReadCatalog(*entries, &problems)) catalog.try_emplace(entry.tag, entry.path);
  }
  std::erase_if(models_, [&](const auto& model) { return !catalog.contains(model.first); });
  for (const auto& [tag, path] : catalog) {
    const auto owned = owned_.find(tag);
    const bool same = owned != owned_.end() && owned->second.mesh &&
                      platform::WatchKey(owned->second.path) == platform::WatchKey(path);
    if (!same) {
      Read(tag, path, Telling::kNotice);
    } else if (!models_.contains(tag)) {
      // Listed again: the mesh it had, as its file has not changed.
      Owned& kept = owned->second;
      ModelInfo info{kept.materials.get(), kept.materials->Count(), kept.mesh.get(),
                     {-10000.0f, -10000.0f, -10000.0f}, {10000.0f, 10000.0f, 10000.0f}};
      ExtendFloorBounds(info.Mesh, &info.VtxMax, &info.VtxMin);
      models_[tag] = info;
    }
  }
  catalog_ = std::move(catalog);
  return true;
}

bool CModelManager::ReloadFile(const std::string& key) {
  bool used = false;
  for (const auto& [tag, path] : catalog_) {
    if (platform::WatchKey(path) != key) continue;
    Read(tag, path, Telling::kNotice);
    used = true;
  }
  return used;
}

gfx::Mesh* CModelManager::GetMesh(std::string tag) const { return GetModel(std::move(tag)).Mesh; }
gfx::MaterialBuffer* CModelManager::GetMaterials(std::string tag) const {
  return GetModel(std::move(tag)).Materials;
}
DWORD CModelManager::GetNumMaterials(std::string tag) const { return GetModel(std::move(tag)).NumMaterials; }
D3DXVECTOR3 CModelManager::GetVtxMax(std::string tag) const { return GetModel(std::move(tag)).VtxMax; }
D3DXVECTOR3 CModelManager::GetVtxMin(std::string tag) const { return GetModel(std::move(tag)).VtxMin; }

ModelInfo CModelManager::GetModel(std::string tag) const {
  const auto found = models_.find(tag);
  return found == models_.end() ? ModelInfo{} : found->second;
}

void CModelManager::Clear() {
  models_.clear();
  owned_.clear();
  catalog_.clear();
}
