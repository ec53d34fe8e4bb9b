#include "platform/gfx/gl/batch_stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace gfx {

namespace {
constexpr std::size_t kInitialBytes = 16u << 20;
constexpr GLuint64 kForever = ~GLuint64{0};
}  // namespace

void BatchStream::Destroy() {
  for (const Format& f : formats_) glDeleteVertexArrays(1, &f.vao);
  formats_.clear();
  for (Ring* ring : {&vertices_, &indices_}) {
    ring->DropFences();
    if (ring->name) glDeleteBuffers(1, &ring->name);
    *ring = {};
  }
}

void BatchStream::Ring::DropFences() {
  for (GLsync& fence : fences)
    if (fence) glDeleteSync(std::exchange(fence, nullptr));
}

void BatchStream::Ring::Allocate(GLenum target, std::size_t bytes) {
  // Draws still queued keep reading the old storage.
  DropFences();
  capacity = bytes;
  next = 0;
  segment = 0;
  glBufferData(target, static_cast<GLsizeiptr>(capacity), nullptr, GL_STREAM_DRAW);
}

std::size_t BatchStream::Ring::Put(GLenum target, std::span<const std::byte> bytes, std::size_t alignment) {
  glBindBuffer(target, name);
  const auto aligned = [alignment](std::size_t at) { return (at + alignment - 1) / alignment * alignment; };
  if (bytes.size() + alignment > capacity / kSegments)
    Allocate(target, (bytes.size() + alignment) * kSegments * 2);
  const std::size_t segmentBytes = capacity / kSegments;
  std::size_t at = aligned(next);
  if (at + bytes.size() > (segment + 1) * segmentBytes) {
    fences[segment] = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    segment = (segment + 1) % kSegments;
    if (GLsync lastLap = std::exchange(fences[segment], nullptr)) {
      glClientWaitSync(lastLap, GL_SYNC_FLUSH_COMMANDS_BIT, kForever);
      glDeleteSync(lastLap);
    }
    at = aligned(segment * segmentBytes);
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
      indices.empty() ? 0
                      : indices_.Put(GL_ELEMENT_ARRAY_BUFFER, std::as_bytes(indices), sizeof(std::uint32_t));
  return {static_cast<GLint>(vertexAt / stride), indexAt};
}

GLuint BatchStream::VertexArray(const VertexLayout& layout, UINT stride, int matrixOffset) {
  for (const Format& f : formats_)
    if (f.layout == layout && f.stride == stride && f.matrixOffset == matrixOffset) return f.vao;
  for (Ring* ring : {&vertices_, &indices_}) {
    if (ring->name) continue;
    glGenBuffers(1, &ring->name);
    glBindBuffer(GL_ARRAY_BUFFER, ring->name);
    ring->Allocate(GL_ARRAY_BUFFER, kInitialBytes);
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
