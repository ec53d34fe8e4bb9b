#include "platform/gfx/device.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace gfx {

// ---- vertex buffer ---------------------------------------------------------------------

HRESULT VertexBuffer::Lock(UINT offset, UINT size, void** data, DWORD flags) {
  if (!data || locked_ || offset > length_) return D3DERR_INVALIDCALL;
  if (size == 0) size = length_ - offset;
  if (size > length_ - offset) return D3DERR_INVALIDCALL;
  *data = storage_ + offset;
  locked_ = true;
  writing_ = !(flags & D3DLOCK_READONLY);
  lockOffset_ = offset;
  lockSize_ = size;
  if (writing_) ++revision_;
  return S_OK;
}

HRESULT VertexBuffer::Unlock() {
  if (!locked_) return D3DERR_INVALIDCALL;
  locked_ = false;
  if (writing_ && lockSize_ > 0) Written(lockOffset_, lockSize_);
  return S_OK;
}

// ---- index buffer ----------------------------------------------------------------------

IndexBuffer::Bounds IndexBuffer::RangeBounds(UINT start, UINT count) {
  if (cachedRevision_ != revision_) {
    cached_.clear();
    cachedRevision_ = revision_;
  }
  for (const CachedBounds& c : cached_)
    if (c.start == start && c.count == count) return c.bounds;
  const auto first = indices_.begin() + start;
  const auto [lowest, highest] = std::minmax_element(first, first + count);
  const CachedBounds scanned{start, count, {*lowest, *highest}};
  if (cached_.size() < kCachedRuns) {
    cached_.push_back(scanned);
  } else {
    cached_[nextReplaced_] = scanned;
    nextReplaced_ = (nextReplaced_ + 1) % kCachedRuns;
  }
  return scanned.bounds;
}

// ---- render target --------------------------------------------------------------------

Surface::~Surface() {
  if (owner_->renderTarget_ == this) owner_->SetRenderTarget(0, nullptr);
}

// ---- device: Direct3D 9's defaults -------------------------------------------------------

Device::Device(UINT backBufferWidth, UINT backBufferHeight)
    : backBufferWidth_(backBufferWidth), backBufferHeight_(backBufferHeight) {
  renderStates_[D3DRS_ZENABLE] = D3DZB_TRUE;
  renderStates_[D3DRS_FILLMODE] = D3DFILL_SOLID;
  renderStates_[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  renderStates_[D3DRS_ZWRITEENABLE] = TRUE;
  renderStates_[D3DRS_LASTPIXEL] = TRUE;
  renderStates_[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  renderStates_[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  renderStates_[D3DRS_CULLMODE] = D3DCULL_CCW;
  renderStates_[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  renderStates_[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  renderStates_[D3DRS_LIGHTING] = TRUE;
  renderStates_[D3DRS_COLORVERTEX] = TRUE;
  renderStates_[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
  renderStates_[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
  renderStates_[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
  renderStates_[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
  renderStates_[D3DRS_BLENDOP] = D3DBLENDOP_ADD;

  for (auto& sampler : samplerStates_) {
    sampler[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
    sampler[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
    sampler[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    sampler[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
    sampler[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    sampler[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    sampler[D3DSAMP_MAXANISOTROPY] = 1;
  }
  for (DWORD stage = 0; stage < kMaxStages; ++stage) {
    auto& s = stageStates_[stage];
    s[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    s[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    s[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    s[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    s[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    s[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    s[D3DTSS_TEXCOORDINDEX] = stage;
  }
  D3DXMatrixIdentity(&world_);
  D3DXMatrixIdentity(&view_);
  D3DXMatrixIdentity(&projection_);
}

// ---- frame ----------------------------------------------------------------------------------

HRESULT Device::BeginScene() {
  if (inScene_) return D3DERR_INVALIDCALL;
  inScene_ = true;
  return S_OK;
}

HRESULT Device::EndScene() {
  if (!inScene_) return D3DERR_INVALIDCALL;
  inScene_ = false;
  SceneEnded();
  return S_OK;
}

HRESULT Device::Present(const void*, const void*, const void*, const void*) {
  if (presentCapture_) lastPresented_ = ReadBackBuffer();
  SwapBuffers();
  lastFrameCounts_ = std::exchange(frameCounts_, DrawCounts{});
  return S_OK;
}

HRESULT Device::SetRenderTarget(DWORD index, Surface* target) {
  if (index != 0) return D3DERR_INVALIDCALL;
  if (target == renderTarget_) return S_OK;
  renderTarget_ = target;
  BindRenderTarget(target);
  return S_OK;
}

// ---- states ---------------------------------------------------------------------------------

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (state >= kRenderStateCount) return D3DERR_INVALIDCALL;
  if (renderStates_[state] != value) {
    renderStates_[state] = value;
    dirty_ |= kDirtyRenderStates;
  }
  return S_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) const {
  if (state >= kRenderStateCount || !value) return D3DERR_INVALIDCALL;
  *value = renderStates_[state];
  return S_OK;
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
  if (sampler >= kMaxSamplers || type >= kSamplerStateCount) return D3DERR_INVALIDCALL;
  if (samplerStates_[sampler][type] != value) {
    samplerStates_[sampler][type] = value;
    dirty_ |= kDirtySamplers;
  }
  return S_OK;
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) const {
  if (sampler >= kMaxSamplers || type >= kSamplerStateCount || !value) return D3DERR_INVALIDCALL;
  *value = samplerStates_[sampler][type];
  return S_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  if (stage >= kMaxStages || type >= kTextureStageStateCount) return D3DERR_INVALIDCALL;
  if (stageStates_[stage][type] != value) {
    stageStates_[stage][type] = value;
    dirty_ |= kDirtyStages;
  }
  return S_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) const {
  if (stage >= kMaxStages || type >= kTextureStageStateCount || !value) return D3DERR_INVALIDCALL;
  *value = stageStates_[stage][type];
  return S_OK;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DXMATRIX* matrix) {
  if (!matrix) return D3DERR_INVALIDCALL;
  D3DXMATRIX* target = nullptr;
  DWORD bit = 0;
  switch (state) {
    case D3DTS_WORLD:
      target = &world_;
      bit = kDirtyWorld;
      break;
    case D3DTS_VIEW:
      target = &view_;
      bit = kDirtyViewProjection;
      break;
    case D3DTS_PROJECTION:
      target = &projection_;
      bit = kDirtyViewProjection;
      break;
    default:
      return D3DERR_INVALIDCALL;
  }
  if (std::memcmp(target, matrix, sizeof(D3DXMATRIX)) != 0) {
    *target = *matrix;
    dirty_ |= bit;
  }
  return S_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DXMATRIX* matrix) const {
  if (!matrix) return D3DERR_INVALIDCALL;
  switch (state) {
    case D3DTS_WORLD:
      *matrix = world_;
      return S_OK;
    case D3DTS_VIEW:
      *matrix = view_;
      return S_OK;
    case D3DTS_PROJECTION:
      *matrix = projection_;
      return S_OK;
    default:
      return D3DERR_INVALIDCALL;
  }
}

HRESULT Device::SetLight(DWORD index, const D3DLIGHT9* light) {
  if (index >= kMaxLights || !light) return D3DERR_INVALIDCALL;
  lights_[index] = *light;
  dirty_ |= kDirtyLights;
  return S_OK;
}

HRESULT Device::GetLight(DWORD index, D3DLIGHT9* light) const {
  if (index >= kMaxLights || !light) return D3DERR_INVALIDCALL;
  *light = lights_[index];
  return S_OK;
}

HRESULT Device::LightEnable(DWORD index, BOOL enable) {
  if (index >= kMaxLights) return D3DERR_INVALIDCALL;
  lightEnabled_[index] = enable != FALSE;
  dirty_ |= kDirtyLights;
  return S_OK;
}

HRESULT Device::GetLightEnable(DWORD index, BOOL* enable) const {
  if (index >= kMaxLights || !enable) return D3DERR_INVALIDCALL;
  *enable = lightEnabled_[index] ? TRUE : FALSE;
  return S_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL9* material) {
  if (!material) return D3DERR_INVALIDCALL;
  if (std::memcmp(&material_, material, sizeof(D3DMATERIAL9)) != 0) {
    material_ = *material;
    dirty_ |= kDirtyMaterial;
  }
  return S_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL9* material) const {
  if (!material) return D3DERR_INVALIDCALL;
  *material = material_;
  return S_OK;
}

// ---- input assembly and drawing ----------------------------------------------------------------

std::unique_ptr<Texture> Device::CreateTextureFromFile(const std::string& path, std::string* why) {
  const Image image = ReadImageFile(path, why);
  if (image.Empty()) return nullptr;
  return CreateTexture(static_cast<UINT>(image.width), static_cast<UINT>(image.height), image.rgba);
}

HRESULT Texture::Replace(UINT width, UINT height, std::span<const std::uint8_t> rgba) {
  if (width == 0 || height == 0 || rgba.size() < std::size_t{width} * height * 4) return D3DERR_INVALIDCALL;
  Upload(width, height, rgba);
  width_ = width;
  height_ = height;
  ++revision_;
  return S_OK;
}

std::unique_ptr<VertexDeclaration> Device::CreateVertexDeclaration(
    std::span<const D3DVERTEXELEMENT9> elements) {
  return std::make_unique<VertexDeclaration>(elements);
}

HRESULT Device::SetStreamSource(UINT stream, VertexBuffer* buffer, UINT offset, UINT stride) {
  if (stream != 0) return D3DERR_INVALIDCALL;
  stream_ = buffer;
  streamOffset_ = offset;
  streamStride_ = stride;
  return S_OK;
}

HRESULT Device::SetFVF(DWORD fvf) {
  layout_ = VertexLayout::FromFVF(fvf);
  return S_OK;
}

HRESULT Device::SetVertexDeclaration(VertexDeclaration* declaration) {
  if (!declaration) return D3DERR_INVALIDCALL;
  layout_ = declaration->Layout();
  return S_OK;
}

HRESULT Device::SetTexture(DWORD stage, Texture* texture) {
  if (stage >= kMaxStages) return D3DERR_INVALIDCALL;
  if (textures_[stage] != texture) {
    textures_[stage] = texture;
    dirty_ |= kDirtyTexture;
  }
  return S_OK;
}

UINT Device::VertexCount(D3DPRIMITIVETYPE type, UINT primitiveCount) {
  switch (type) {
    case D3DPT_POINTLIST:
      return primitiveCount;
    case D3DPT_LINELIST:
      return primitiveCount * 2;
    case D3DPT_LINESTRIP:
      return primitiveCount + 1;
    case D3DPT_TRIANGLELIST:
      return primitiveCount * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
      return primitiveCount + 2;
  }
  return 0;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
  if (!inScene_ || !stream_ || streamStride_ == 0) return D3DERR_INVALIDCALL;
  if (primitiveCount == 0) return S_OK;
  const UINT count = VertexCount(type, primitiveCount);
  if (count == 0) return D3DERR_INVALIDCALL;
  // Reject draws that would read past the buffer, as the debug runtime does.
  const std::uint64_t end =
      std::uint64_t{streamOffset_} + (std::uint64_t{startVertex} + count) * streamStride_;
  if (end > stream_->Length()) return D3DERR_INVALIDCALL;
  ++frameCounts_.draws;
  return DrawStream(type, startVertex, count);
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertex, UINT, UINT numVertices,
                                     UINT startIndex, UINT primitiveCount) {
  if (!inScene_ || !stream_ || !indices_ || streamStride_ == 0 || baseVertex < 0) return D3DERR_INVALIDCALL;
  if (primitiveCount == 0) return S_OK;
  const UINT count = VertexCount(type, primitiveCount);
  if (count == 0 || std::uint64_t{startIndex} + count > indices_->Indices().size()) return D3DERR_INVALIDCALL;
  // Every index must land inside the vertex buffer, as the debug runtime checks.
  const std::uint64_t available =
      (stream_->Length() - std::min(stream_->Length(), streamOffset_)) / streamStride_;
  const std::uint64_t limit =
      std::min<std::uint64_t>(available, std::uint64_t{static_cast<UINT>(baseVertex)} + numVertices);
  const IndexBuffer::Bounds bounds = indices_->RangeBounds(startIndex, count);
  if (std::uint64_t{static_cast<UINT>(baseVertex)} + bounds.highest >= limit) return D3DERR_INVALIDCALL;
  ++frameCounts_.draws;
  return DrawIndexedStream(type, baseVertex, startIndex, count, bounds);
}

}  // namespace gfx
