#pragma once
// Where batched draws go to GL: one vertex and one index buffer written front to back
// without waiting for the renderer. Each buffer is cut into segments; leaving a segment
// fences the draws that read it, and coming back to it a lap later waits for that fence,
// long passed by then. So a range is never rewritten while a queued draw may still read it,
// and the storage is reused rather than replaced (fresh storage costs page faults every
// lap). One vertex array per vertex format, created on first use.

#include <epoxy/gl.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/gfx/vertex_layout.h"

namespace gfx {

class BatchStream {
 public:
  BatchStream() = default;
  BatchStream(const BatchStream&) = delete;
  BatchStream& operator=(const BatchStream&) = delete;

  struct Placement {
    GLint baseVertex = 0;
    std::uintptr_t indexOffset = 0;  // in bytes, as glDrawElements takes it
  };
  // Copies vertices and indices (if any) in and binds the vertex array of the format: the layout's
  // attributes at their offsets inside stride, and with matrixOffset >= 0 a 4x4 matrix per
  // vertex there (VertexAttribute::kMatrix). *boundVao follows what is bound.
  Placement Write(std::span<const std::byte> vertices, UINT stride, std::span<const std::uint32_t> indices,
                  const VertexLayout& layout, int matrixOffset, GLuint* boundVao);
  // Deletes the GL objects; the context must be current.
  void Destroy();

 private:
  struct Ring {
    static constexpr std::size_t kSegments = 4;
    GLuint name = 0;
    std::size_t capacity = 0;
    std::size_t next = 0;
    std::size_t segment = 0;  // the one being written
    std::array<GLsync, kSegments> fences{};
    // Copies bytes at a multiple of alignment and returns where.
    std::size_t Put(GLenum target, std::span<const std::byte> bytes, std::size_t alignment);
    void Allocate(GLenum target, std::size_t bytes);
    void DropFences();
  };
  struct Format {
    VertexLayout layout;
    UINT stride;
    int matrixOffset;
    GLuint vao;
  };
  GLuint VertexArray(const VertexLayout& layout, UINT stride, int matrixOffset);

  Ring vertices_, indices_;
  std::vector<Format> formats_;
};

}  // namespace gfx
