#pragma once
// The graphics device the scene code draws with: exactly the Direct3D 9 device calls the
// program makes. The state lives here, on the CPU, with Direct3D 9's defaults; a back end
// turns it into real drawing (OpenGL) or only records it (Null).

#include <array>
#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/gfx/d3d_types.h"
#include "platform/gfx/d3dx_math.h"
#include "platform/gfx/effect.h"
#include "platform/gfx/image.h"
#include "platform/gfx/vertex_layout.h"

namespace gfx {

// ---- resources -----------------------------------------------------------------------

// Vertex data with a CPU copy that Lock hands out; back ends decide where the bytes live
// and upload them when a draw needs the changed range.
class VertexBuffer {
 public:
  virtual ~VertexBuffer() = default;
  VertexBuffer(const VertexBuffer&) = delete;
  VertexBuffer& operator=(const VertexBuffer&) = delete;

  // size 0 locks from offset to the end. A lock without D3DLOCK_READONLY marks the range changed.
  HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags);
  HRESULT Unlock();

  UINT Length() const { return length_; }
  DWORD FVF() const { return fvf_; }
  std::span<const std::byte> Bytes() const { return {storage_, length_}; }
  // Bumped by every writing lock.
  std::uint64_t Revision() const { return revision_; }

 protected:
  VertexBuffer(std::byte* storage, UINT length, DWORD fvf) : storage_(storage), length_(length), fvf_(fvf) {}
  // Called when a writing lock of [offset, offset + size) is released.
  virtual void Written(UINT /*offset*/, UINT /*size*/) {}

 private:
  std::byte* storage_;
  UINT length_;
  DWORD fvf_;
  std::uint64_t revision_ = 1;
  UINT lockOffset_ = 0;
  UINT lockSize_ = 0;
  bool locked_ = false;
  bool writing_ = false;
};

// A vertex buffer whose bytes are its own (the Null device's).
class MemoryVertexBuffer final : public VertexBuffer {
 public:
  MemoryVertexBuffer(UINT length, DWORD fvf) : MemoryVertexBuffer(std::vector<std::byte>(length), fvf) {}

 private:
  MemoryVertexBuffer(std::vector<std::byte>&& bytes, DWORD fvf)
      : VertexBuffer(bytes.data(), static_cast<UINT>(bytes.size()), fvf), bytes_(std::move(bytes)) {}
  std::vector<std::byte> bytes_;
};

// 32-bit indices with a CPU copy, like the vertex buffer.
class IndexBuffer {
 public:
  // The lowest and highest vertex number a run of indices names.
  struct Bounds {
    std::uint32_t lowest = 0;
    std::uint32_t highest = 0;
  };

  explicit IndexBuffer(UINT count) : indices_(count) {}
  virtual ~IndexBuffer() = default;
  IndexBuffer(const IndexBuffer&) = delete;
  IndexBuffer& operator=(const IndexBuffer&) = delete;

  // Writes go through the span before the next draw: the revision moves here, not when they land.
  std::span<std::uint32_t> Lock() {
    ++revision_;
    return indices_;
  }
  std::span<const std::uint32_t> Indices() const { return indices_; }
  // Bumped by every Lock.
  std::uint64_t Revision() const { return revision_; }
  // The bounds of the `count` (at least one) indices from `start`, which must lie inside the
  // buffer. A mesh draws the same runs every frame: each is scanned once per revision.
  Bounds RangeBounds(UINT start, UINT count);

 private:
  struct CachedBounds {
    UINT start;
    UINT count;
    Bounds bounds;
  };
  // A mesh draws one run per material; beyond that many runs the oldest are scanned again.
  static constexpr std::size_t kCachedRuns = 16;

  std::vector<std::uint32_t> indices_;
  std::uint64_t revision_ = 1;
  std::vector<CachedBounds> cached_;
  std::uint64_t cachedRevision_ = 0;
  std::size_t nextReplaced_ = 0;
};

class Texture {
 public:
  Texture(UINT width, UINT height) : width_(width), height_(height) {}
  virtual ~Texture() = default;
  Texture(const Texture&) = delete;
  Texture& operator=(const Texture&) = delete;
  UINT Width() const { return width_; }
  UINT Height() const { return height_; }
  // What the interface library draws it by: the back end's texture name; on a back end
  // without one, a number that tells textures apart.
  virtual std::uintptr_t NativeHandle() const { return reinterpret_cast<std::uintptr_t>(this); }
  // New pixels (RGBA rows, top row first) of any size for the same texture object, so that
  // whatever holds it draws the new picture. D3DERR_INVALIDCALL, changing nothing, when the
  // pixels do not fill the size.
  HRESULT Replace(UINT width, UINT height, std::span<const std::uint8_t> rgba);
  // Bumped by every Replace.
  std::uint64_t Revision() const { return revision_; }

 protected:
  // The back end takes the pixels, already checked against the size.
  virtual void Upload(UINT /*width*/, UINT /*height*/, std::span<const std::uint8_t> /*rgba*/) {}

 private:
  UINT width_, height_;
  std::uint64_t revision_ = 1;
};

class Device;

// An offscreen colour buffer with a depth-stencil buffer of its own, for pictures no window
// shows (a render to files). Made by its device and used only with it; it must go before it.
class Surface {
 public:
  Surface(Device* owner, UINT width, UINT height) : owner_(owner), width_(width), height_(height) {}
  // Unset first when it is the device's render target.
  virtual ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;
  UINT Width() const { return width_; }
  UINT Height() const { return height_; }

 private:
  Device* owner_;
  UINT width_, height_;
};

class VertexDeclaration {
 public:
  explicit VertexDeclaration(std::span<const D3DVERTEXELEMENT9> elements)
      : layout_(VertexLayout::FromDeclaration(elements)) {}
  const VertexLayout& Layout() const { return layout_; }

 private:
  VertexLayout layout_;
};

// ---- the device ------------------------------------------------------------------------

// What drawing one frame took: the draws the scene asked for, and the draws the back end
// actually sent to the graphics library (a batching back end sends fewer).
struct DrawCounts {
  std::uint32_t draws = 0;
  std::uint32_t batches = 0;
};

class Device {
 public:
  static constexpr DWORD kMaxSamplers = 8;
  static constexpr DWORD kMaxStages = 8;
  static constexpr DWORD kMaxLights = 8;

  Device(UINT backBufferWidth, UINT backBufferHeight);
  virtual ~Device() = default;
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  // Frame.
  virtual HRESULT Clear(DWORD count, const void* rects, DWORD flags, D3DCOLOR color, float z,
                        DWORD stencil) = 0;
  HRESULT BeginScene();
  HRESULT EndScene();
  HRESULT Present(const void* sourceRect, const void* destRect, const void* window, const void* dirtyRegion);

  // States.
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value);
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) const;
  HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value);
  HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) const;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value);
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) const;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DXMATRIX* matrix);
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DXMATRIX* matrix) const;
  HRESULT SetLight(DWORD index, const D3DLIGHT9* light);
  HRESULT GetLight(DWORD index, D3DLIGHT9* light) const;
  HRESULT LightEnable(DWORD index, BOOL enable);
  HRESULT GetLightEnable(DWORD index, BOOL* enable) const;
  HRESULT SetMaterial(const D3DMATERIAL9* material);
  HRESULT GetMaterial(D3DMATERIAL9* material) const;

  // Resources and input assembly.
  virtual std::unique_ptr<VertexBuffer> CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf,
                                                           D3DPOOL pool) = 0;
  virtual std::unique_ptr<IndexBuffer> CreateIndexBuffer(UINT count) = 0;
  // Pixels are RGBA rows, top row first (texture coordinate v = 0).
  virtual std::unique_ptr<Texture> CreateTexture(UINT width, UINT height,
                                                 std::span<const std::uint8_t> rgba) = 0;
  // Loads a PNG, JPEG, BMP or TGA file; null, with the reason in *why, when it cannot be read or decoded.
  std::unique_ptr<Texture> CreateTextureFromFile(const std::string& path, std::string* why = nullptr);
  std::unique_ptr<VertexDeclaration> CreateVertexDeclaration(std::span<const D3DVERTEXELEMENT9> elements);
  // Compiles an effect file; on failure *effect stays null and *errors holds the compiler's text.
  virtual HRESULT CreateEffectFromFile(const std::string& path, std::unique_ptr<Effect>* effect,
                                       std::string* errors) = 0;
  // Effects replace the fixed-function pipeline while a pass is on; null shaders put it back.
  HRESULT SetVertexShader(std::nullptr_t) {
    ResetShaders();
    return S_OK;
  }
  HRESULT SetPixelShader(std::nullptr_t) {
    ResetShaders();
    return S_OK;
  }
  HRESULT SetStreamSource(UINT stream, VertexBuffer* buffer, UINT offset, UINT stride);
  HRESULT SetFVF(DWORD fvf);
  HRESULT SetVertexDeclaration(VertexDeclaration* declaration);
  HRESULT SetIndices(IndexBuffer* indices) {
    indices_ = indices;
    return S_OK;
  }
  HRESULT SetTexture(DWORD stage, Texture* texture);
  Texture* GetTexture(DWORD stage) const { return stage < kMaxStages ? textures_[stage] : nullptr; }

  // Draws from stream 0 with the current states; D3DERR_INVALIDCALL outside BeginScene/EndScene.
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount);
  // Draws with the indices set by SetIndices; vertex numbers are relative to baseVertex.
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertex, UINT minIndex, UINT numVertices,
                               UINT startIndex, UINT primitiveCount);

  // Render targets. A target of the size, or null with the reason in *error when the back end
  // cannot make one that large.
  virtual std::unique_ptr<Surface> CreateRenderTarget(UINT width, UINT height, std::string* error) = 0;
  // Index 0 only; a null target goes back to the back buffer. While a target is set, clears and
  // draws go to it and the viewport is its size. Its alpha says how much of the background each
  // pixel hides: a blended draw whose destination factor is ONE (additive or subtractive) only
  // adds light and leaves it, any other blended draw adds its coverage (ONE, INVSRCALPHA), an
  // unblended draw writes its own alpha. Its colour is what the draws make over a black clear.
  HRESULT SetRenderTarget(DWORD index, Surface* target);
  Surface* GetRenderTarget() const { return renderTarget_; }
  // The target's pixels, top row first.
  virtual HRESULT GetRenderTargetData(Surface* target, Image* image) = 0;

  UINT BackBufferWidth() const { return backBufferWidth_; }
  UINT BackBufferHeight() const { return backBufferHeight_; }

  // While on, every Present first keeps a copy of the finished back buffer (for screenshots).
  void SetPresentCapture(bool on) { presentCapture_ = on; }
  const Image& LastPresentedImage() const { return lastPresented_; }

  static UINT VertexCount(D3DPRIMITIVETYPE type, UINT primitiveCount);

  // The counts of the frame that the last Present showed.
  DrawCounts LastFrameCounts() const { return lastFrameCounts_; }

 protected:
  // What changed since a back end last looked; each Set* raises its bit only on a real change.
  enum DirtyBits : DWORD {
    kDirtyRenderStates = 1u << 0,
    kDirtySamplers = 1u << 1,
    kDirtyStages = 1u << 2,
    kDirtyWorld = 1u << 3,
    kDirtyViewProjection = 1u << 4,
    kDirtyLights = 1u << 5,
    kDirtyMaterial = 1u << 6,
    kDirtyTexture = 1u << 7,
    kDirtyAll = 0xffffffffu,
  };

  virtual HRESULT DrawStream(D3DPRIMITIVETYPE type, UINT startVertex, UINT vertexCount) = 0;
  // bounds: the lowest and highest of the indices drawn, all checked to name vertices of the stream.
  virtual HRESULT DrawIndexedStream(D3DPRIMITIVETYPE type, INT baseVertex, UINT startIndex, UINT indexCount,
                                    IndexBuffer::Bounds bounds) = 0;
  virtual void ResetShaders() = 0;
  virtual void SwapBuffers() = 0;
  virtual Image ReadBackBuffer() = 0;
  // Draws from now on go to the target (null: the back buffer).
  virtual void BindRenderTarget(Surface* target) = 0;
  // EndScene: a back end that holds draws back sends them now.
  virtual void SceneEnded() {}
  // A back end calls this for each draw it sends to the graphics library.
  void CountBatch() { ++frameCounts_.batches; }

  DWORD RenderState(D3DRENDERSTATETYPE state) const { return renderStates_[state]; }
  DWORD SamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type) const { return samplerStates_[sampler][type]; }
  DWORD StageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type) const { return stageStates_[stage][type]; }
  const D3DXMATRIX& World() const { return world_; }
  const D3DXMATRIX& View() const { return view_; }
  const D3DXMATRIX& Projection() const { return projection_; }
  const D3DLIGHT9& Light(DWORD index) const { return lights_[index]; }
  bool LightEnabled(DWORD index) const { return lightEnabled_[index]; }
  const D3DMATERIAL9& Material() const { return material_; }
  VertexBuffer* StreamBuffer() const { return stream_; }
  IndexBuffer* Indices() const { return indices_; }
  UINT StreamOffset() const { return streamOffset_; }
  UINT StreamStride() const { return streamStride_; }
  const VertexLayout& Layout() const { return layout_; }
  bool InScene() const { return inScene_; }

  DWORD TakeDirty() {
    const DWORD d = dirty_;
    dirty_ = 0;
    return d;
  }

 private:
  friend class Surface;  // a target going away while set gives the back buffer back

  std::array<DWORD, kRenderStateCount> renderStates_{};
  std::array<std::array<DWORD, kSamplerStateCount>, kMaxSamplers> samplerStates_{};
  std::array<std::array<DWORD, kTextureStageStateCount>, kMaxStages> stageStates_{};
  D3DXMATRIX world_, view_, projection_;
  std::array<D3DLIGHT9, kMaxLights> lights_{};
  std::array<bool, kMaxLights> lightEnabled_{};
  D3DMATERIAL9 material_{};
  std::array<Texture*, kMaxStages> textures_{};
  VertexBuffer* stream_ = nullptr;
  IndexBuffer* indices_ = nullptr;
  UINT streamOffset_ = 0;
  UINT streamStride_ = 0;
  VertexLayout layout_;
  DWORD dirty_ = kDirtyAll;
  bool inScene_ = false;
  Surface* renderTarget_ = nullptr;
  UINT backBufferWidth_, backBufferHeight_;
  bool presentCapture_ = false;
  Image lastPresented_;
  DrawCounts frameCounts_;
  DrawCounts lastFrameCounts_;
};

}  // namespace gfx
