#pragma once
// Where the GL device keeps vertex buffers: many small buffers share a few large GL
// buffers ("chunks"), each with a CPU copy and one vertex array. Particles draw one small
// buffer each, so neighbouring draws bind the same vertex array and only the first vertex
// changes; switching vertex arrays per draw would cost more than the draw itself. Writes
// go to the CPU copy; each slot keeps its own changed range, and a draw uploads only what
// changed of the vertices it reads (a trail rewrites a thousand vertices a frame and draws
// a hundred of them).

#include <epoxy/gl.h>

#include <cstddef>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "platform/gfx/vertex_layout.h"

namespace gfx {

class VertexArena {
 public:
  class Chunk {
   public:
    explicit Chunk(UINT capacity, UINT slotSize);
    ~Chunk();
    Chunk(const Chunk&) = delete;
    Chunk& operator=(const Chunk&) = delete;

    std::byte* Data(UINT offset) { return shadow_.data() + offset; }
    void MarkDirty(UINT offset, UINT size);
    // Uploads what changed of the bytes [begin, end) of one slot and binds the vertex array
    // set up for the layout, stride and byte remainder; returns the vertex array's name.
    GLuint Prepare(UINT begin, UINT end, const VertexLayout& layout, UINT stride, UINT remainder,
                   GLuint boundVao);

    bool Full() const { return free_.empty() && next_ + slotSize_ > shadow_.size(); }
    bool Empty() const { return used_ == 0; }
    UINT Take();
    void Give(UINT offset);

   private:
    std::vector<std::byte> shadow_;
    UINT slotSize_;
    UINT next_ = 0;
    UINT used_ = 0;
    std::vector<UINT> free_;
    GLuint vbo_ = 0;
    GLuint vao_ = 0;
    bool allocated_ = false;
    struct Range {
      UINT begin = ~0u, end = 0;
    };
    std::vector<Range> dirty_;  // per slot
    VertexLayout layout_{-2, -2, -2, -2, 0};
    UINT stride_ = 0;
    UINT remainder_ = 0;
  };

  struct Slot {
    Chunk* chunk = nullptr;
    UINT offset = 0;
  };

  // Slots are a whole number of strides long, so a slot's first vertex is always offset / stride.
  Slot Allocate(UINT length, UINT stride);
  void Free(const Slot& slot, UINT length, UINT stride);
  // Drops every chunk; the GL context must be current.
  void Clear() { pools_.clear(); }

 private:
  static UINT SlotSize(UINT length, UINT stride);
  // Pools of chunks keyed by (slot size, stride); large buffers get a chunk of their own.
  std::map<std::pair<UINT, UINT>, std::vector<std::unique_ptr<Chunk>>> pools_;
};

}  // namespace gfx
