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

}  // namespace gfx
