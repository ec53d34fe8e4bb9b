#pragma once
// A reader of the DirectX .x model subset the program uses: frames with their transforms,
// meshes with normals, texture coordinates and material lists, in text, binary or
// MSZIP-compressed encodings. Pure: bytes in, one merged model (or a message) out.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/gfx/d3d_types.h"

namespace gfx {

// One vertex of a loaded model, laid out as D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1.
struct XVertex {
  float x, y, z;
  float nx, ny, nz;
  float u, v;
};
static_assert(sizeof(XVertex) == 32);

struct XMaterial {
  D3DMATERIAL9 material;
  std::string textureFile;  // empty when the material names no texture
};

// A run of triangles drawn with one material.
struct XSubset {
  std::uint32_t faceStart;
  std::uint32_t faceCount;
};

// Every mesh of a file merged into one, in the coordinates of the file's root.
// subsets[i] holds the triangles of materials[i]; triangles are `indices` taken three at a time.
struct XModel {
  std::vector<XVertex> vertices;
  std::vector<std::uint32_t> indices;
  std::vector<XSubset> subsets;
  std::vector<XMaterial> materials;
};

// Larger decompressed data is refused; so is a model of more vertices or triangles than this.
inline constexpr std::size_t kMaxXDecompressedBytes = 64u << 20;
inline constexpr std::size_t kMaxXModelElements = 1u << 22;

// Reads a whole .x file. On failure returns nothing and *error (when given) says what is
// wrong and where: a line number for text, a byte offset for binary data.
std::optional<XModel> ReadXFile(std::span<const std::byte> bytes, std::string* error);

}  // namespace gfx
