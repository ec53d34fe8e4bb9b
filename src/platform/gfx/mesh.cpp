#include "platform/gfx/mesh.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/gfx/x_file.h"

namespace gfx {

// ---- materials and mesh -------------------------------------------------------------------

MaterialBuffer::MaterialBuffer(std::vector<D3DMATERIAL9> materials, std::vector<std::string> textureFiles)
    : textureFiles_(std::move(textureFiles)) {
  for (std::size_t i = 0; i < materials.size(); ++i) {
    const bool named = i < textureFiles_.size() && !textureFiles_[i].empty();
    records_.push_back({materials[i], named ? textureFiles_[i].c_str() : nullptr});
  }
}

Mesh::Mesh(Device* device, DWORD fvf, std::unique_ptr<VertexBuffer> vertices,
           std::unique_ptr<IndexBuffer> indices, std::vector<Subset> subsets)
    : device_(device),
      fvf_(fvf),
      vertices_(std::move(vertices)),
      indices_(std::move(indices)),
      subsets_(std::move(subsets)) {}

void Mesh::Replace(Mesh&& other) {
  device_ = other.device_;
  fvf_ = other.fvf_;
  vertices_ = std::move(other.vertices_);
  indices_ = std::move(other.indices_);
  subsets_ = std::move(other.subsets_);
}

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
constexpr DWORD kMeshFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;

}  // namespace

HRESULT D3DXLoadMeshFromX(const std::string& path, DWORD, Device* device,
                          std::unique_ptr<MaterialBuffer>* materials, DWORD* numMaterials,
                          std::unique_ptr<Mesh>* mesh, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = path + ": " + why;
    return E_FAIL;
  };
  if (!device || !materials || !numMaterials || !mesh) return D3DERR_INVALIDCALL;
  materials->reset();
  mesh->reset();
  *numMaterials = 0;

  // The reader is only ever given whole files of bounded size, read here.
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) return fail("cannot open the model file");
  if (size == 0 || size > kMaxModelBytes) return fail("model file is empty or too large");
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() != size) return fail("cannot read the model file");

  std::string why;
  std::optional<XModel> model = ReadXFile(std::as_bytes(std::span(bytes)), &why);
  if (!model) return fail(why);
  const std::vector<XVertex>& vertices = model->vertices;
  const std::vector<std::uint32_t>& indices = model->indices;
  std::vector<Mesh::Subset> subsets;
  for (const XSubset& s : model->subsets) subsets.push_back({s.faceStart, s.faceCount});
  std::vector<D3DMATERIAL9> records;
  std::vector<std::string> textureFiles;
  for (XMaterial& m : model->materials) {
    records.push_back(m.material);
    textureFiles.push_back(std::move(m.textureFile));
  }

  const auto vertexBytes = static_cast<UINT>(vertices.size() * sizeof(XVertex));
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
  *mesh = std::make_unique<Mesh>(device, kMeshFvf, std::move(vertexBuffer), std::move(indexBuffer),
                                 std::move(subsets));
  return S_OK;
}

}  // namespace gfx
