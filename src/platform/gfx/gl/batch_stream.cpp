#include "platform/gfx/gl/batch_stream.h"

#include <algorithm>
#include <cstring>

namespace gfx {

namespace {
constexpr std::size_t kInitialBytes = 4u << 20;
}

void BatchStream::Destroy() {
  for (const Format& f : formats_) glDeleteVertexArrays(1, &f.vao);
  formats_.clear();
  for (Ring* ring : {&vertices_, &indices_}) {
    if (ring->name) glDeleteBuffers(1, &ring->name);
    *ring = {};
  }
}

std::size_t BatchStream::Ring::Put(GLenum target, std::span<const std::byte> bytes, std::size_t alignment) {
  std::size_t at = (next + alignment - 1) / alignment * alignment;
  glBindBuffer(target, name);
  if (at + bytes.size() > capacity) {
    // Fresh storage: draws still queued keep reading the old one.
    capacity = std::max(capacity, bytes.size() * 2);
    glBufferData(target, static_cast<GLsizeiptr>(capacity), nullptr, GL_STREAM_DRAW);
    at = 0;
  }
  // Unsynchronised: nothing queued reads this range, so the renderer need not be waited for.
  void* mapped = glMapBufferRange(target, static_cast<GLintptr>(at), static_cast<GLsizeiptr>(bytes.size()),
                                  GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT);
  if (mapped) {
    std::memcpy(mapped, bytes.data(), bytes.size());
    glUnmapBuffer(target);
  } else {
    glBufferSubData(target, static_cast<GLintptr>(at), static_cast<GLsizeiptr>(bytes.size()), bytes.data());
  }
  next = at + bytes.size();
  return at;
}

BatchStream::Placement BatchStream::Write(std::span<const std::byte> vertices, UINT stride,
                                          std::span<const std::uint32_t> indices, const VertexLayout& layout,
                                          int matrixOffset, GLuint* boundVao) {
  const GLuint vao = VertexArray(layout, stride, matrixOffset);
  if (*boundVao != vao) glBindVertexArray(*boundVao = vao);
  // Vertices start at a whole vertex so the draw can name them by a base vertex.
  const std::size_t vertexAt = vertices_.Put(GL_ARRAY_BUFFER, vertices, stride);
  const std::size_t indexAt =
      indices_.Put(GL_ELEMENT_ARRAY_BUFFER, std::as_bytes(indices), sizeof(std::uint32_t));
  return {static_cast<GLint>(vertexAt / stride), indexAt};
}

GLuint BatchStream::VertexArray(const VertexLayout& layout, UINT stride, int matrixOffset) {
  for (const Format& f : formats_)
    if (f.layout == layout && f.stride == stride && f.matrixOffset == matrixOffset) return f.vao;
  for (Ring* ring : {&vertices_, &indices_}) {
    if (ring->name) continue;
    glGenBuffers(1, &ring->name);
    ring->capacity = kInitialBytes;
    glBindBuffer(GL_ARRAY_BUFFER, ring->name);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(ring->capacity), nullptr, GL_STREAM_DRAW);
  }
  GLuint vao = 0;
  glGenVertexArrays(1, &vao);
  glBindVertexArray(vao);
  glBindBuffer(GL_ARRAY_BUFFER, vertices_.name);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices_.name);
  const auto gs = static_cast<GLsizei>(stride);
  auto attribute = [&](GLuint index, int at, GLint size, GLenum type, GLboolean normalized) {
    if (at < 0) return;
    glEnableVertexAttribArray(index);
    glVertexAttribPointer(index, size, type, normalized, gs,
                          reinterpret_cast<const void*>(std::uintptr_t(at)));
  };
  attribute(0, layout.position, 3, GL_FLOAT, GL_FALSE);
  attribute(1, layout.normal, 3, GL_FLOAT, GL_FALSE);
  attribute(2, layout.diffuse, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE);  // D3DCOLOR is ARGB in a word
  attribute(3, layout.texcoord, 2, GL_FLOAT, GL_FALSE);
  if (matrixOffset >= 0)
    for (int column = 0; column < 4; ++column)
      attribute(4 + column, matrixOffset + column * 16, 4, GL_FLOAT, GL_FALSE);
  formats_.push_back({layout, stride, matrixOffset, vao});
  return vao;
}

}  // namespace gfx
