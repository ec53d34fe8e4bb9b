#include "platform/gfx/gl/batch_stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/gfx/gl/vertex_attribute.h"

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
  PointVertexAttributes(layout, stride, 0);
  if (matrixOffset >= 0) PointMatrixAttribute(static_cast<std::uintptr_t>(matrixOffset), stride);
  formats_.push_back({layout, stride, matrixOffset, vao});
  return vao;
}

}  // namespace gfx
