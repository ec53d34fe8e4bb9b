#include "platform/gfx/mesh.h"

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/mesh.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace gfx {

// ---- materials and mesh -------------------------------------------------------------------

MaterialBuffer::MaterialBuffer(std::vector<D3DMATERIAL9> materials, std::vector<std::string> textureFiles)
    : textureFiles_(std::move(textureFiles)) {
  for (std::size_t i = 0; i < materials.size(); ++i) {
    const bool named = i < textureFiles_.size() && !textureFiles_[i].empty();
    records_.push_back({materials[i], named ? textureFiles_[i].c_str() : nullptr});
  }
}

Mesh::Mesh(Device* device, DWORD fvf, std::unique_ptr<VertexBuffer> vertices, std::unique_ptr<IndexBuffer> indices,
           std::vector<Subset> subsets)
    : device_(device),
      fvf_(fvf),
      vertices_(std::move(vertices)),
      indices_(std::move(indices)),
      subsets_(std::move(subsets)) {}

HRESULT Mesh::DrawSubset(DWORD attribute) {
  if (attribute >= subsets_.size()) return D3DERR_INVALIDCALL;
  const Subset& subset = subsets_[attribute];
  if (subset.faceCount == 0) return S_OK;
  device_->SetStreamSource(0, vertices_.get(), 0, D3DXGetFVFVertexSize(fvf_));
  device_->SetFVF(fvf_);
  device_->SetIndices(indices_.get());
  return device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, GetNumVertices(), subset.faceStart * 3,
                                       subset.faceCount);
}

// ---- .x loading ----------------------------------------------------------------------------

namespace {

constexpr std::uintmax_t kMaxModelBytes = 32u << 20;

struct Vertex {
  float x, y, z;
  float nx, ny, nz;
  float u, v;
};
constexpr DWORD kMeshFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
static_assert(sizeof(Vertex) == 32);

D3DCOLORVALUE Colour(const aiMaterial* material, const char* key, unsigned type, unsigned index, float alpha) {
  aiColor4D c(0, 0, 0, 1);
  if (material->Get(key, type, index, c) != AI_SUCCESS) return {0, 0, 0, alpha};
  return {c.r, c.g, c.b, c.a};
}

}  // namespace

HRESULT D3DXLoadMeshFromX(const std::string& path, DWORD, Device* device, std::unique_ptr<MaterialBuffer>* materials,
                          DWORD* numMaterials, std::unique_ptr<Mesh>* mesh, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = path + ": " + why;
    return E_FAIL;
  };
  if (!device || !materials || !numMaterials || !mesh) return D3DERR_INVALIDCALL;
  materials->reset();
  mesh->reset();
  *numMaterials = 0;

  // The importer is only ever given whole files of bounded size, read here.
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) return fail("cannot open the model file");
  if (size == 0 || size > kMaxModelBytes) return fail("model file is empty or too large");
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() != size) return fail("cannot read the model file");

  Assimp::Importer importer;
  // The importer turns .x data into GL conventions (z negated, winding reversed, v flipped);
  // asking for Direct3D's conventions undoes exactly that and gives the file's own data.
  const aiScene* scene = importer.ReadFileFromMemory(
      bytes.data(), bytes.size(), aiProcess_Triangulate | aiProcess_ConvertToLeftHanded | aiProcess_SortByPType, "x");
  if (!scene || !scene->mRootNode || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE))
    return fail(std::string("not a readable .x model: ") + importer.GetErrorString());

  // One subset per material, in the file's material order; each importer mesh carries one material.
  const unsigned materialCount = std::max(1u, scene->mNumMaterials);
  std::vector<Vertex> vertices;
  std::vector<std::uint32_t> indices;
  std::vector<Mesh::Subset> subsets(materialCount, Mesh::Subset{0, 0});
  for (unsigned m = 0; m < materialCount; ++m) {
    subsets[m].faceStart = static_cast<DWORD>(indices.size() / 3);
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
      const aiMesh* part = scene->mMeshes[i];
      if (part->mMaterialIndex != m && !(m == 0 && part->mMaterialIndex >= materialCount)) continue;
      if (!(part->mPrimitiveTypes & aiPrimitiveType_TRIANGLE)) continue;
      const auto base = static_cast<std::uint32_t>(vertices.size());
      for (unsigned v = 0; v < part->mNumVertices; ++v) {
        const aiVector3D& p = part->mVertices[v];
        const aiVector3D n = part->mNormals ? part->mNormals[v] : aiVector3D(0, 0, 0);
        const aiVector3D t = part->mTextureCoords[0] ? part->mTextureCoords[0][v] : aiVector3D(0, 0, 0);
        vertices.push_back({p.x, p.y, p.z, n.x, n.y, n.z, t.x, t.y});
      }
      for (unsigned f = 0; f < part->mNumFaces; ++f) {
        const aiFace& face = part->mFaces[f];
        if (face.mNumIndices != 3) continue;
        for (unsigned k = 0; k < 3; ++k) indices.push_back(base + face.mIndices[k]);
        ++subsets[m].faceCount;
      }
    }
  }
  if (vertices.empty() || indices.empty()) return fail("the model has no triangles");

  std::vector<D3DMATERIAL9> records;
  std::vector<std::string> textureFiles;
  for (unsigned m = 0; m < scene->mNumMaterials; ++m) {
    const aiMaterial* material = scene->mMaterials[m];
    D3DMATERIAL9 record{};
    record.Diffuse = Colour(material, AI_MATKEY_COLOR_DIFFUSE, 1.0f);
    record.Specular = Colour(material, AI_MATKEY_COLOR_SPECULAR, 1.0f);
    record.Emissive = Colour(material, AI_MATKEY_COLOR_EMISSIVE, 1.0f);
    float opacity = 1.0f;
    if (material->Get(AI_MATKEY_OPACITY, opacity) == AI_SUCCESS) record.Diffuse.a = opacity;
    material->Get(AI_MATKEY_SHININESS, record.Power);
    aiString texture;
    textureFiles.push_back(material->GetTexture(aiTextureType_DIFFUSE, 0, &texture) == AI_SUCCESS ? texture.C_Str()
                                                                                                   : "");
    records.push_back(record);
  }
  if (records.empty()) records.push_back(D3DMATERIAL9{{1, 1, 1, 1}, {}, {}, {}, 0});

  const auto vertexBytes = static_cast<UINT>(vertices.size() * sizeof(Vertex));
  auto vertexBuffer = device->CreateVertexBuffer(vertexBytes, 0, kMeshFvf, D3DPOOL_SYSTEMMEM);
  auto indexBuffer = device->CreateIndexBuffer(static_cast<UINT>(indices.size()));
  if (!vertexBuffer || !indexBuffer) return fail("the device could not hold the model");
  void* data = nullptr;
  vertexBuffer->Lock(0, 0, &data, 0);
  std::memcpy(data, vertices.data(), vertexBytes);
  vertexBuffer->Unlock();
  const auto target = indexBuffer->Lock();
  std::copy(indices.begin(), indices.end(), target.begin());

  *numMaterials = static_cast<DWORD>(records.size());
  *materials = std::make_unique<MaterialBuffer>(std::move(records), std::move(textureFiles));
  *mesh = std::make_unique<Mesh>(device, kMeshFvf, std::move(vertexBuffer), std::move(indexBuffer), std::move(subsets));
  return S_OK;
}

}  // namespace gfx
