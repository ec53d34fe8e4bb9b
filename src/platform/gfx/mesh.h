#pragma once
// Meshes in D3DX's manner: one vertex buffer with its FVF, one index buffer of triangles,
// and one subset (attribute) per material, drawn with DrawSubset.

#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/device.h"

namespace gfx {

struct D3DXMATERIAL {
  D3DMATERIAL9 MatD3D;
  const char* pTextureFilename;  // null when the material names no texture
};

// The material records of a loaded mesh (D3DX hands them out as a buffer).
class MaterialBuffer {
 public:
  MaterialBuffer(std::vector<D3DMATERIAL9> materials, std::vector<std::string> textureFiles);
  MaterialBuffer(MaterialBuffer&&) = default;
  MaterialBuffer& operator=(MaterialBuffer&&) = default;
  D3DXMATERIAL* GetBufferPointer() { return records_.data(); }
  DWORD Count() const { return static_cast<DWORD>(records_.size()); }

 private:
  std::vector<std::string> textureFiles_;
  std::vector<D3DXMATERIAL> records_;
};

class Mesh {
 public:
  struct Subset {
    DWORD faceStart;
    DWORD faceCount;
  };

  Mesh(Device* device, DWORD fvf, std::unique_ptr<VertexBuffer> vertices,
       std::unique_ptr<IndexBuffer> indices, std::vector<Subset> subsets);

  DWORD GetFVF() const { return fvf_; }
  DWORD GetNumVertices() const { return vertices_->Length() / VertexLayout::FromFVF(fvf_).stride; }
  DWORD GetNumFaces() const { return static_cast<DWORD>(indices_->Indices().size() / 3); }
  DWORD GetNumSubsets() const { return static_cast<DWORD>(subsets_.size()); }
  HRESULT LockVertexBuffer(DWORD flags, void** data) { return vertices_->Lock(0, 0, data, flags); }
  HRESULT UnlockVertexBuffer() { return vertices_->Unlock(); }
  // Draws the faces of one material with the device's current states.
  HRESULT DrawSubset(DWORD attribute);
  // Takes the other mesh's vertices, faces and subsets (a model read again), so that whatever
  // holds this mesh draws the new one.
  void Replace(Mesh&& other);

 private:
  Device* device_;
  DWORD fvf_;
  std::unique_ptr<VertexBuffer> vertices_;
  std::unique_ptr<IndexBuffer> indices_;
  std::vector<Subset> subsets_;
};

// Loads a DirectX .x model (text, binary or compressed) in the file's own coordinates.
// On failure the outputs stay null and *error says why.
HRESULT D3DXLoadMeshFromX(const std::string& path, DWORD options, Device* device,
                          std::unique_ptr<MaterialBuffer>* materials, DWORD* numMaterials,
                          std::unique_ptr<Mesh>* mesh, std::string* error);

// Bytes per vertex of a vertex format.
inline UINT D3DXGetFVFVertexSize(DWORD fvf) { return VertexLayout::FromFVF(fvf).stride; }

}  // namespace gfx
