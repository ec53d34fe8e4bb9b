#include "resource/model_manager.h"

#include <cmath>

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
  CatalogProblems problems(catalogPath);
  for (const auto& [i, tag, path] : ReadCatalog(CatalogEntries(catalogPath, "MODEL", &problems), &problems)) {
    if (models_.count(tag)) continue;

    Owned owned;
    ModelInfo info;
    std::string error;
    if (FAILED(gfx::D3DXLoadMeshFromX(path, D3DXMESH_SYSTEMMEM, device_, &owned.materials, &info.NumMaterials,
                                      &owned.mesh, &error))) {
      // The model is skipped: whoever asks for the tag gets nothing, as for an unknown tag.
      platform::ReportNotice("model \"" + tag + "\" skipped: " + error);
      continue;
    }
    info.Mesh = owned.mesh.get();
    info.Materials = owned.materials.get();
    info.VtxMax = {-10000.0f, -10000.0f, -10000.0f};
    info.VtxMin = {10000.0f, 10000.0f, 10000.0f};
    ExtendFloorBounds(info.Mesh, &info.VtxMax, &info.VtxMin);
    models_.emplace(tag, info);
    owned_.push_back(std::move(owned));
  }
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
}
