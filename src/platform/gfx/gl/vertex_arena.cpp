#include "platform/gfx/gl/vertex_arena.h"

#include <algorithm>

#include "platform/gfx/gl/vertex_attribute.h"

namespace gfx {

namespace {
constexpr UINT kChunkBytes = 2u << 20;
constexpr UINT kLargeBuffer = kChunkBytes / 8;
}  // namespace

// ---- chunk ----------------------------------------------------------------------------------

VertexArena::Chunk::Chunk(UINT capacity, UINT slotSize)
    : shadow_(capacity), slotSize_(slotSize), dirty_(capacity / slotSize) {}

VertexArena::Chunk::~Chunk() {
  if (vao_) glDeleteVertexArrays(1, &vao_);
  if (vbo_) glDeleteBuffers(1, &vbo_);
}

UINT VertexArena::Chunk::Take() {
  ++used_;
  if (!free_.empty()) {
    const UINT offset = free_.back();
    free_.pop_back();
    return offset;
  }
  const UINT offset = next_;
  next_ += slotSize_;
  return offset;
}

void VertexArena::Chunk::Give(UINT offset) {
  --used_;
  free_.push_back(offset);
}

void VertexArena::Chunk::MarkDirty(UINT offset, UINT size) {
  Range& r = dirty_[offset / slotSize_];
  r.begin = std::min(r.begin, offset);
  r.end = std::max(r.end, offset + size);
}

GLuint VertexArena::Chunk::Prepare(UINT begin, UINT end, const VertexLayout& layout, UINT stride,
                                   UINT remainder, GLuint boundVao) {
  if (!vbo_) {
    glGenBuffers(1, &vbo_);
    glGenVertexArrays(1, &vao_);
  }
  if (boundVao != vao_) glBindVertexArray(vao_);
  if (!allocated_) {
    glBindBuffer(GL_ARRAY_BUFFER, vbo_);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(shadow_.size()), shadow_.data(), GL_DYNAMIC_DRAW);
    allocated_ = true;
    std::fill(dirty_.begin(), dirty_.end(), Range{});
  } else {
    Range& r = dirty_[begin / slotSize_];
    const UINT from = std::max(r.begin, begin), to = std::min(r.end, end);
    if (from < to) {
      glBindBuffer(GL_ARRAY_BUFFER, vbo_);
      glBufferSubData(GL_ARRAY_BUFFER, from, to - from, shadow_.data() + from);
      // What stays changed lies before or after the bytes just sent.
      if (r.begin >= from && r.end <= to) {
        r = {};
      } else if (r.begin >= from) {
        r.begin = to;
      } else if (r.end <= to) {
        r.end = from;
      }
    }
  }
  if (layout == layout_ && stride == stride_ && remainder == remainder_) return vao_;

  glBindBuffer(GL_ARRAY_BUFFER, vbo_);
  PointVertexAttributes(layout, stride, remainder);
  layout_ = layout;
  stride_ = stride;
  remainder_ = remainder;
  return vao_;
}

// ---- arena ----------------------------------------------------------------------------------

UINT VertexArena::SlotSize(UINT length, UINT stride) {
  const UINT unit = std::max<UINT>(stride, 4);
  return (length + unit - 1) / unit * unit;
}

VertexArena::Slot VertexArena::Allocate(UINT length, UINT stride) {
  const UINT slotSize = SlotSize(length, stride);
  auto& chunks = pools_[{slotSize, stride}];
  for (auto& chunk : chunks)
    if (!chunk->Full()) return {chunk.get(), chunk->Take()};
  const UINT capacity = slotSize >= kLargeBuffer ? slotSize : kChunkBytes / slotSize * slotSize;
  chunks.push_back(std::make_unique<Chunk>(capacity, slotSize));
  return {chunks.back().get(), chunks.back()->Take()};
}

void VertexArena::Free(const Slot& slot, UINT length, UINT stride) {
  const UINT slotSize = SlotSize(length, stride);
  slot.chunk->Give(slot.offset);
  // Large buffers give their memory back at once; small chunks stay for the next particles.
  if (slotSize < kLargeBuffer || !slot.chunk->Empty()) return;
  auto& chunks = pools_[{slotSize, stride}];
  std::erase_if(chunks, [&](const std::unique_ptr<Chunk>& c) { return c.get() == slot.chunk; });
}

}  // namespace gfx
