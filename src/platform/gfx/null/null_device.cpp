#include "platform/gfx/null/null_device.h"

namespace gfx {

HRESULT NullDevice::Clear(DWORD, const void*, DWORD flags, D3DCOLOR color, float, DWORD) {
  ++clearCount_;
  if (flags & D3DCLEAR_TARGET) lastClearColor_ = color;
  return S_OK;
}

std::unique_ptr<VertexBuffer> NullDevice::CreateVertexBuffer(UINT length, DWORD, DWORD fvf, D3DPOOL) {
  if (length == 0) return nullptr;
  return std::make_unique<MemoryVertexBuffer>(length, fvf);
}

std::unique_ptr<Texture> NullDevice::CreateTexture(UINT width, UINT height, std::span<const std::uint8_t> rgba) {
  if (width == 0 || height == 0 || rgba.size() < std::size_t{width} * height * 4) return nullptr;
  return std::make_unique<Texture>(width, height);
}

HRESULT NullDevice::DrawStream(D3DPRIMITIVETYPE type, UINT startVertex, UINT vertexCount) {
  ++drawCount_;
  if (recording_) {
    RecordedDraw draw{type, startVertex, vertexCount, StreamBuffer(), GetTexture(0), Layout(), World(), {},
                      SamplerState(0, D3DSAMP_MAGFILTER), SamplerState(0, D3DSAMP_MINFILTER)};
    for (DWORD i = 0; i < kRenderStateCount; ++i) draw.renderStates[i] = RenderState(D3DRENDERSTATETYPE(i));
    draws_.push_back(draw);
  }
  TakeDirty();
  return S_OK;
}

Image NullDevice::ReadBackBuffer() {
  // Nothing is rasterised: the picture is the back buffer's size in the last clear colour.
  Image image;
  image.width = static_cast<int>(BackBufferWidth());
  image.height = static_cast<int>(BackBufferHeight());
  image.rgba.resize(static_cast<std::size_t>(image.width) * image.height * 4);
  const D3DCOLOR c = lastClearColor_;
  for (std::size_t i = 0; i < image.rgba.size(); i += 4) {
    image.rgba[i] = (c >> 16) & 0xff;
    image.rgba[i + 1] = (c >> 8) & 0xff;
    image.rgba[i + 2] = c & 0xff;
    image.rgba[i + 3] = (c >> 24) & 0xff;
  }
  return image;
}

}  // namespace gfx
