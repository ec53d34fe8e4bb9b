#pragma once
// The vertices and indices of one batch: consecutive draws gathered into one vertex and
// index list so they go to GL as one draw. The vertices are copied when the draw is made
// (the scene rewrites a buffer right after drawing it), with the world transform applied
// here, and strips and fans become lists that keep their winding.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/gfx/d3dx_math.h"
#include "platform/gfx/vertex_layout.h"

namespace gfx {

// The matrix that takes normals through a world transform: the inverse transpose of its
// upper 3x3, as row vectors (n' = n * normal). A flattened (singular) world has no inverse:
// the cofactor matrix keeps the direction, and the result is false so the caller
// renormalises.
bool NormalMatrix(const D3DXMATRIX& world, float normal[3][3]);

class BatchGeometry {
 public:
  // Strips of at least so many triangles drawn without culling are joined into one strip (two
  // repeated vertices make four triangles without area between them) instead of listed.
  static constexpr UINT kChainTriangles = 8;

  // Starts gathering draws of vertices in this layout, `stride` bytes apart. With a
  // per-vertex matrix, 16 floats follow each vertex: the matrix an effect would otherwise
  // take as a uniform. Without culling, long strips may be chained.
  void Begin(const VertexLayout& layout, UINT stride, bool perVertexMatrix, bool cullsNothing);
  void Clear();
  bool Empty() const { return draws_ == 0; }
  bool PerVertexMatrix() const { return perVertexMatrix_; }
  UINT Stride() const { return stride_; }
  std::span<const std::byte> Vertices() const { return {vertices_.data(), vertexBytes_}; }
  std::span<const std::uint32_t> Indices() const { return {indices_.data(), indexCount_}; }
  // A batch of one unindexed draw, or of strips chained into one, keeps its primitive and has
  // no indices: it goes to GL as it came, sparing the index list and its upload (trails).
  bool Unindexed() const { return draws_ > 0 && indexCount_ == 0 && (draws_ == 1 || chained_); }
  D3DPRIMITIVETYPE UnindexedType() const { return first_.type; }

  // Where a draw's vertices come from and how they are placed.
  struct Source {
    std::span<const std::byte> bytes;  // the vertices drawn, first one at the start
    D3DPRIMITIVETYPE type;
    UINT count;                              // vertices (or indices, when indexed) drawn
    const std::uint32_t* indices = nullptr;  // less lowestIndex, relative to the first vertex of bytes
    std::uint32_t lowestIndex = 0;
    const D3DXMATRIX* world = nullptr;  // applied to positions; null keeps them
    bool transformNormals = false;      // lighting reads them: inverse transpose
    const float* matrix = nullptr;      // the per-vertex matrix, when the batch has one
  };
  void Append(const Source& source);

 private:
  void AppendVertices(const Source& source, UINT vertexCount);
  bool Chainable(const Source& source) const;
  void Chain(const Source& source, UINT vertexCount);
  void AppendTriangles(const Source& source, std::uint32_t base);

  // Room for so many more bytes and indices; the storage only grows, and is written before
  // it is read, so growing never clears it.
  std::byte* VertexRoom(std::size_t bytes);
  std::uint32_t* IndexRoom(std::size_t count);

  VertexLayout layout_;
  UINT inStride_ = 0;  // of the vertices drawn; stride_ adds the per-vertex matrix
  std::size_t draws_ = 0;
  Source first_{};  // the first draw, while its triangles are not listed yet
  bool perVertexMatrix_ = false;
  bool cullsNothing_ = false;
  bool chained_ = false;  // every draw so far is a long strip, all of them joined into one
  UINT stride_ = 0;
  std::vector<std::byte> vertices_;
  std::size_t vertexBytes_ = 0;
  std::vector<std::uint32_t> indices_;
  std::size_t indexCount_ = 0;
};

}  // namespace gfx
