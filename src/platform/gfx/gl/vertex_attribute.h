#pragma once
// The attribute locations every program of the GL device reads its vertices from: the
// vertex arrays point them at the layout's offsets, and the programs' GLSL declares its
// inputs at them.

#include <epoxy/gl.h>

#include <array>
#include <cstdint>
#include <string>

#include "platform/gfx/vertex_layout.h"

namespace gfx {

enum class VertexAttribute : GLuint {
  kPosition = 0,
  kNormal = 1,
  kColor = 2,
  kTexCoord = 3,
  kMatrix = 4,  // a per-vertex 4x4 matrix of batched effect draws, one location per column
};

constexpr GLuint Location(VertexAttribute attribute) {
  return static_cast<GLuint>(attribute);
}

// How one attribute of a VertexLayout reaches GL and the programs.
struct VertexInput {
  VertexAttribute attribute;
  int VertexLayout::*offset;  // -1 in a layout without it
  GLint size;
  GLenum type;
  GLboolean normalized;
  const char* glslType;
  const char* name;  // after the program's prefix
};

inline constexpr std::array<VertexInput, 4> kVertexInputs{{
    {VertexAttribute::kPosition, &VertexLayout::position, 3, GL_FLOAT, GL_FALSE, "vec3", "Position"},
    {VertexAttribute::kNormal, &VertexLayout::normal, 3, GL_FLOAT, GL_FALSE, "vec3", "Normal"},
    // D3DCOLOR is ARGB in a little-endian word: B, G, R, A in memory.
    {VertexAttribute::kColor, &VertexLayout::diffuse, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, "vec4", "Color"},
    {VertexAttribute::kTexCoord, &VertexLayout::texcoord, 2, GL_FLOAT, GL_FALSE, "vec2", "TexCoord"},
}};

// Points the bound vertex array's attributes at the layout's offsets from `first` (in the
// bound GL_ARRAY_BUFFER); those the layout lacks are switched off.
void PointVertexAttributes(const VertexLayout& layout, UINT stride, std::uintptr_t first);
// Points the four matrix columns at the 16 floats from `offset` in each vertex.
void PointMatrixAttribute(std::uintptr_t offset, UINT stride);
// GLSL declaring the inputs at their locations, each name after the prefix ("aPosition").
std::string VertexInputsGlsl(const std::string& prefix);
// Binds the inputs' names, after the prefix, to their locations before a program links.
void BindVertexInputs(GLuint program, const std::string& prefix);

}  // namespace gfx
