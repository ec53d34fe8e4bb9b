#pragma once
// A device that keeps the state and draws nothing: tests, benchmarks and headless runs.
// It counts frames and draws, and on request records every draw with the state it saw.

#include <vector>

#include "platform/gfx/device.h"

namespace gfx {

struct RecordedDraw {
  D3DPRIMITIVETYPE type;
  UINT startVertex;
  UINT vertexCount;
  const VertexBuffer* buffer;
  const Texture* texture;
  VertexLayout layout;
  D3DXMATRIX world;
  std::array<DWORD, kRenderStateCount> renderStates;
  DWORD magFilter;
  DWORD minFilter;
  const Effect* effect;  // null for a fixed-function draw
  bool indexed;          // startVertex is then the first index
  D3DMATERIAL9 material;
  // Drawn by the interface library's renderer, beside the device's states (texture and
  // vertexCount are all it keeps): not one of the scene's draws.
  bool interface;
};

// Keeps its pixels, so that tests can see what a draw would have shown.
class NullTexture final : public Texture {
 public:
  NullTexture(UINT width, UINT height, std::span<const std::uint8_t> rgba)
      : Texture(width, height), pixels_(rgba.begin(), rgba.begin() + std::size_t{width} * height * 4) {}
  // RGBA of the pixel at (x, y), top row first.
  const std::uint8_t* Pixel(UINT x, UINT y) const { return &pixels_[(std::size_t{y} * Width() + x) * 4]; }

 protected:
  void Upload(UINT width, UINT height, std::span<const std::uint8_t> rgba) override {
    pixels_.assign(rgba.begin(), rgba.begin() + std::size_t{width} * height * 4);
  }

 private:
  std::vector<std::uint8_t> pixels_;
};

class NullDevice final : public Device {
 public:
  NullDevice(UINT backBufferWidth, UINT backBufferHeight) : Device(backBufferWidth, backBufferHeight) {}

  HRESULT Clear(DWORD count, const void* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
  std::unique_ptr<VertexBuffer> CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf,
                                                   D3DPOOL pool) override;
  std::unique_ptr<Texture> CreateTexture(UINT width, UINT height,
                                         std::span<const std::uint8_t> rgba) override;
  std::unique_ptr<IndexBuffer> CreateIndexBuffer(UINT count) override {
    return count ? std::make_unique<IndexBuffer>(count) : nullptr;
  }
  HRESULT CreateEffectFromFile(const std::string& path, std::unique_ptr<Effect>* effect,
                               std::string* errors) override;
  // A target of any size; nothing is drawn into it, so its pixels are its last clear colour.
  std::unique_ptr<Surface> CreateRenderTarget(UINT width, UINT height, std::string* error) override;
  HRESULT GetRenderTargetData(Surface* target, Image* image) override;

  // The effect whose pass is on (null: fixed function), as the Null effect reports it.
  void SetActiveEffect(const Effect* effect) { activeEffect_ = effect; }
  const Effect* ActiveEffect() const { return activeEffect_; }

  void SetRecording(bool on) { recording_ = on; }
  // While recording, keeps a draw of the interface library's own renderer: on a real window
  // that renderer draws with the graphics library directly, so it counts as none of the
  // device's draws.
  void RecordInterfaceDraw(const Texture* texture, UINT indexCount);
  const std::vector<RecordedDraw>& Draws() const { return draws_; }
  void ClearRecord() { draws_.clear(); }

  std::uint64_t DrawCount() const { return drawCount_; }
  std::uint64_t PresentCount() const { return presentCount_; }
  std::uint64_t ClearCount() const { return clearCount_; }
  D3DCOLOR LastClearColor() const { return lastClearColor_; }

 protected:
  HRESULT DrawStream(D3DPRIMITIVETYPE type, UINT startVertex, UINT vertexCount) override;
  HRESULT DrawIndexedStream(D3DPRIMITIVETYPE type, INT baseVertex, UINT startIndex, UINT indexCount,
                            IndexBuffer::Bounds bounds) override;
  void SwapBuffers() override { ++presentCount_; }
  void ResetShaders() override { activeEffect_ = nullptr; }
  Image ReadBackBuffer() override;
  void BindRenderTarget(Surface*) override {}

 private:
  void Record(D3DPRIMITIVETYPE type, UINT start, UINT count, bool indexed);

  bool recording_ = false;
  const Effect* activeEffect_ = nullptr;
  std::vector<RecordedDraw> draws_;
  std::uint64_t drawCount_ = 0;
  std::uint64_t presentCount_ = 0;
  std::uint64_t clearCount_ = 0;
  D3DCOLOR lastClearColor_ = 0;
};

}  // namespace gfx
