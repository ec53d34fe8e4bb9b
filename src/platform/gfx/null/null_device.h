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
};

class NullDevice final : public Device {
 public:
  NullDevice(UINT backBufferWidth, UINT backBufferHeight) : Device(backBufferWidth, backBufferHeight) {}

  HRESULT Clear(DWORD count, const void* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
  std::unique_ptr<VertexBuffer> CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool) override;
  std::unique_ptr<Texture> CreateTexture(UINT width, UINT height, std::span<const std::uint8_t> rgba) override;

  void SetRecording(bool on) { recording_ = on; }
  const std::vector<RecordedDraw>& Draws() const { return draws_; }
  void ClearRecord() { draws_.clear(); }

  std::uint64_t DrawCount() const { return drawCount_; }
  std::uint64_t PresentCount() const { return presentCount_; }
  std::uint64_t ClearCount() const { return clearCount_; }
  D3DCOLOR LastClearColor() const { return lastClearColor_; }

 protected:
  HRESULT DrawStream(D3DPRIMITIVETYPE type, UINT startVertex, UINT vertexCount) override;
  void SwapBuffers() override { ++presentCount_; }
  Image ReadBackBuffer() override;

 private:
  bool recording_ = false;
  std::vector<RecordedDraw> draws_;
  std::uint64_t drawCount_ = 0;
  std::uint64_t presentCount_ = 0;
  std::uint64_t clearCount_ = 0;
  D3DCOLOR lastClearColor_ = 0;
};

}  // namespace gfx
