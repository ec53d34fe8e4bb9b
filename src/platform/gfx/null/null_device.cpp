#include "platform/gfx/null/null_device.h"

namespace gfx {

namespace {

// Parses the effect file as the GL back end does and keeps the names; nothing is compiled.
class NullEffect final : public Effect {
 public:
  NullEffect(NullDevice* device, EffectSource source) : Effect(std::move(source)), device_(device) {}

 protected:
  void ApplyPass(const Technique&) override { device_->SetActiveEffect(this); }
  void EndApply() override { device_->SetActiveEffect(nullptr); }

 private:
  NullDevice* device_;
};

// Nothing is rasterised: the picture is its size in the last colour it was cleared to.
class NullSurface final : public Surface {
 public:
  using Surface::Surface;
  D3DCOLOR clearColor = 0;
};

Image Filled(UINT width, UINT height, D3DCOLOR c) {
  Image image;
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  image.rgba.resize(static_cast<std::size_t>(image.width) * image.height * 4);
  for (std::size_t i = 0; i < image.rgba.size(); i += 4) {
    image.rgba[i] = (c >> 16) & 0xff;
    image.rgba[i + 1] = (c >> 8) & 0xff;
    image.rgba[i + 2] = c & 0xff;
    image.rgba[i + 3] = (c >> 24) & 0xff;
  }
  return image;
}

}  // namespace

std::unique_ptr<Surface> NullDevice::CreateRenderTarget(UINT width, UINT height, std::string* error) {
  if (width == 0 || height == 0) {
    if (error) *error = "a render target needs a size";
    return nullptr;
  }
  return std::make_unique<NullSurface>(this, width, height);
}

HRESULT NullDevice::GetRenderTargetData(Surface* target, Image* image) {
  if (!target || !image) return D3DERR_INVALIDCALL;
  *image = Filled(target->Width(), target->Height(), static_cast<NullSurface*>(target)->clearColor);
  return S_OK;
}

HRESULT NullDevice::CreateEffectFromFile(const std::string& path, std::unique_ptr<Effect>* effect,
                                         std::string* errors) {
  if (!effect) return D3DERR_INVALIDCALL;
  effect->reset();
  std::string error;
  auto source = EffectSource::Load(path, &error);
  if (!source) {
    if (errors) *errors = error;
    return E_FAIL;
  }
  *effect = std::make_unique<NullEffect>(this, std::move(*source));
  return S_OK;
}

HRESULT NullDevice::Clear(DWORD, const void*, DWORD flags, D3DCOLOR color, float, DWORD) {
  ++clearCount_;
  if (!(flags & D3DCLEAR_TARGET)) return S_OK;
  if (Surface* target = GetRenderTarget()) {
    static_cast<NullSurface*>(target)->clearColor = color;
  } else {
    lastClearColor_ = color;
  }
  return S_OK;
}

std::unique_ptr<VertexBuffer> NullDevice::CreateVertexBuffer(UINT length, DWORD, DWORD fvf, D3DPOOL) {
  if (length == 0) return nullptr;
  return std::make_unique<MemoryVertexBuffer>(length, fvf);
}

std::unique_ptr<Texture> NullDevice::CreateTexture(UINT width, UINT height,
                                                   std::span<const std::uint8_t> rgba) {
  if (width == 0 || height == 0 || rgba.size() < std::size_t{width} * height * 4) return nullptr;
  return std::make_unique<NullTexture>(width, height, rgba);
}

HRESULT NullDevice::DrawStream(D3DPRIMITIVETYPE type, UINT startVertex, UINT vertexCount) {
  Record(type, startVertex, vertexCount, false);
  return S_OK;
}

HRESULT NullDevice::DrawIndexedStream(D3DPRIMITIVETYPE type, INT, UINT startIndex, UINT indexCount,
                                      IndexBuffer::Bounds) {
  Record(type, startIndex, indexCount, true);
  return S_OK;
}

void NullDevice::Record(D3DPRIMITIVETYPE type, UINT start, UINT count, bool indexed) {
  ++drawCount_;
  // Nothing is batched: every draw goes out on its own.
  CountBatch();
  if (recording_) {
    RecordedDraw draw{type,
                      start,
                      count,
                      StreamBuffer(),
                      GetTexture(0),
                      Layout(),
                      World(),
                      {},
                      SamplerState(0, D3DSAMP_MAGFILTER),
                      SamplerState(0, D3DSAMP_MINFILTER),
                      activeEffect_,
                      indexed,
                      Material(),
                      false};
    for (DWORD i = 0; i < kRenderStateCount; ++i) draw.renderStates[i] = RenderState(D3DRENDERSTATETYPE(i));
    draws_.push_back(draw);
  }
  TakeDirty();
}

void NullDevice::RecordInterfaceDraw(const Texture* texture, UINT indexCount) {
  if (!recording_) return;
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  draws_.push_back(
      {D3DPT_TRIANGLELIST, 0, indexCount, nullptr, texture, {}, identity, {}, 0, 0, nullptr, true, {}, true});
}

Image NullDevice::ReadBackBuffer() { return Filled(BackBufferWidth(), BackBufferHeight(), lastClearColor_); }

}  // namespace gfx
