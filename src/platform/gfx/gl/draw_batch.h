#pragma once
// The GL device's batching: which draws may join the ones just before them, and the run
// they make. A draw joins when everything its picture depends on but its vertices and its
// world matrix equals, by value, what the run started with (the scene sets and restores
// states around every single draw); its vertices are copied, its world matrix applied on
// the CPU or carried per vertex. The run goes to GL as one draw when the state changes, when
// it has grown large, or when the device needs the picture or the GL context.

#include <epoxy/gl.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gfx/d3dx_math.h"
#include "platform/gfx/gl/batch_geometry.h"
#include "platform/gfx/gl/batch_stream.h"
#include "platform/gfx/vertex_layout.h"

namespace gfx {

class GlDevice;
class Texture;
struct GlProgram;

// Everything a draw's picture depends on apart from its vertices and its world matrix.
struct BatchKey {
  const GlProgram* program = nullptr;  // an effect's; null for the fixed-function pipeline
  std::array<DWORD, 17> renderStates{};
  std::array<DWORD, 10> samplers{};  // units 0 and 1: mag, min, mip, address u and v
  std::array<DWORD, 6> stage{};      // stage 0: colour and alpha operation and arguments
  std::array<const Texture*, 2> textures{};
  VertexLayout layout;
  UINT stride = 0;
  // Fixed function only: the camera, and light and material while lighting is on.
  D3DXMATRIX view, projection;
  std::array<float, 23> lighting{};
  bool lightEnabled = false;

  bool operator==(const BatchKey&) const = default;
};

// Reads the device's Direct3D state at each draw handed to it and applies it to GL when a
// run starts.
class Batcher {
 public:
  // On unless PE_NO_BATCH=1 is set when the device is made.
  explicit Batcher(GlDevice& device);
  Batcher(const Batcher&) = delete;
  Batcher& operator=(const Batcher&) = delete;

  void SetEnabled(bool on) { enabled_ = on; }
  bool Enabled() const { return enabled_; }
  // Whether a draw of this type and so many vertices (or indices) can join a run with the
  // device's state as it is.
  bool Batchable(D3DPRIMITIVETYPE type, UINT count) const;
  // Adds a draw to the run; one whose state differs from the run's has the device draw the
  // run first and starts the next.
  void Gather(const BatchGeometry::Source& source);
  bool Empty() const { return geometry_.Empty(); }
  // Sends the run to GL as one draw and empties it; the context must be current and the
  // run not empty. *boundVao follows the vertex array bound.
  void Flush(GLuint* boundVao);
  // Drops the run and deletes the GL objects; the context must be current.
  void Destroy();

 private:
  // A draw this large costs more to copy than a draw call of its own.
  static constexpr UINT kDirectDrawVertices = 4096;
  // Bytes a run may gather before it is drawn, so one upload never grows without bound.
  static constexpr std::size_t kMaxBytes = 2u << 20;

  BatchKey CurrentKey(bool perVertex) const;
  // Which effect parameter differs from the run's values, skipping the per-vertex one: its
  // index, -1 for none, -2 for more than one.
  int DifferingParameter(int skip);
  void Start(const BatchKey& key, bool perVertex);

  GlDevice& device_;
  bool enabled_ = true;
  BatchKey key_;
  BatchGeometry geometry_;
  BatchStream stream_;
  // The run's effect parameters, as their values and revisions when it started.
  std::vector<float> values_;
  std::vector<std::uint64_t> revisions_;
};

}  // namespace gfx
