#pragma once
// Where each vertex attribute sits inside one vertex, derived from an FVF code or from
// a vertex declaration. Offsets are -1 for attributes the format lacks.

#include <span>

#include "platform/gfx/d3d_types.h"

namespace gfx {

struct VertexLayout {
  int position = -1;
  int normal = -1;
  int diffuse = -1;
  int texcoord = -1;
  UINT stride = 0;
  bool operator==(const VertexLayout&) const = default;

  // Supports the position, normal, diffuse and single texture-coordinate bits.
  static VertexLayout FromFVF(DWORD fvf);
  // Reads elements up to D3DDECL_END(); only stream 0 is used.
  static VertexLayout FromDeclaration(std::span<const D3DVERTEXELEMENT9> elements);
};

// The vertex every quad, trail and effect draw of the scene uses: position, normal,
// diffuse colour and one texture coordinate, 36 bytes (D3DFVF_XYZ | NORMAL | DIFFUSE | TEX1).
struct SceneVertex {
  float x, y, z;
  float nx, ny, nz;
  D3DCOLOR color;
  float u, v;
};
static_assert(sizeof(SceneVertex) == 36);
inline constexpr DWORD kSceneVertexFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;

}  // namespace gfx
