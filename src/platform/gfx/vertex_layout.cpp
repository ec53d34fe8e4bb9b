#include "platform/gfx/vertex_layout.h"

namespace gfx {

VertexLayout VertexLayout::FromFVF(DWORD fvf) {
  VertexLayout layout;
  int offset = 0;
  if (fvf & D3DFVF_XYZ) {
    layout.position = offset;
    offset += 12;
  }
  if (fvf & D3DFVF_NORMAL) {
    layout.normal = offset;
    offset += 12;
  }
  if (fvf & D3DFVF_DIFFUSE) {
    layout.diffuse = offset;
    offset += 4;
  }
  if (fvf & D3DFVF_TEX1) {
    layout.texcoord = offset;
    offset += 8;
  }
  layout.stride = static_cast<UINT>(offset);
  return layout;
}

namespace {
int TypeSize(BYTE type) {
  switch (type) {
    case D3DDECLTYPE_FLOAT1: return 4;
    case D3DDECLTYPE_FLOAT2: return 8;
    case D3DDECLTYPE_FLOAT3: return 12;
    case D3DDECLTYPE_FLOAT4: return 16;
    case D3DDECLTYPE_D3DCOLOR: return 4;
    default: return 0;
  }
}
}  // namespace

VertexLayout VertexLayout::FromDeclaration(std::span<const D3DVERTEXELEMENT9> elements) {
  VertexLayout layout;
  int end = 0;
  for (const D3DVERTEXELEMENT9& e : elements) {
    if (e.Stream == 0xFF) break;
    if (e.Stream != 0 || e.UsageIndex != 0) continue;
    const int offset = e.Offset;
    switch (e.Usage) {
      case D3DDECLUSAGE_POSITION: layout.position = offset; break;
      case D3DDECLUSAGE_NORMAL: layout.normal = offset; break;
      case D3DDECLUSAGE_COLOR: layout.diffuse = offset; break;
      case D3DDECLUSAGE_TEXCOORD: layout.texcoord = offset; break;
      default: break;
    }
    if (offset + TypeSize(e.Type) > end) end = offset + TypeSize(e.Type);
  }
  layout.stride = static_cast<UINT>(end);
  return layout;
}

}  // namespace gfx
