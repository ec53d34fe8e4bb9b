#include "particle/trail.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "app/manager.h"
#include "app/renderer.h"
#include "resource/texture_manager.h"

namespace {

using Vertex = gfx::SceneVertex;
constexpr DWORD kFvf = gfx::kSceneVertexFvf;

constexpr DWORD PackChannel(float v) {
  if (v >= 1.0f) return 255;
  if (!(v > 0.0f)) return 0;  // zero, negative, or not a number
  return static_cast<DWORD>(v * 255.0f + 0.5f);
}

// An alpha byte after one update's fade: the byte read back as a fraction, less 0.005,
// packed again. Worked out once for every byte, with the same float arithmetic, so the
// walk over a thousand vertices reads a table instead of converting twice per vertex.
constexpr std::array<BYTE, 256> kFaded = [] {
  std::array<BYTE, 256> faded{};
  for (int byte = 0; byte < 256; ++byte)
    faded[byte] = static_cast<BYTE>(PackChannel(static_cast<float>(byte) / 255.0f - 0.005f));
  return faded;
}();

D3DCOLOR Rgb(const D3DXCOLOR& c) {
  return D3DCOLOR_ARGB(0, PackChannel(c.r), PackChannel(c.g), PackChannel(c.b));
}
D3DCOLOR Alpha(D3DCOLOR color) {
  return color >> 24;
}

// The render states a trail changes but the program keeps no usual value of (it culls
// nothing, and the alpha reference belongs to whoever tests alpha next): put back as found.
class KeptStates {
 public:
  explicit KeptStates(const gfx::Device* device) {
    for (std::size_t i = 0; i < kStates.size(); ++i) device->GetRenderState(kStates[i], &values_[i]);
  }
  void Restore(gfx::Device* device) const {
    for (std::size_t i = 0; i < kStates.size(); ++i) device->SetRenderState(kStates[i], values_[i]);
  }

 private:
  static constexpr std::array<D3DRENDERSTATETYPE, 3> kStates = {D3DRS_CULLMODE, D3DRS_ALPHAREF,
                                                                D3DRS_ALPHAFUNC};
  std::array<DWORD, 3> values_{};
};

}  // namespace

CTrail* CTrail::Create(D3DXVECTOR3 anchor, const D3DXMATRIX& parent, const std::string& textureTag) {
  auto* trail = new CTrail();
  trail->parent_ = parent;
  trail->textureTag_ = textureTag;
  CManager* manager = CManager::GetInstance();
  if (CTextureManager* textures = manager->GetTextureManager())
    trail->texture_ = textures->GetTexture(false, textureTag);
  trail->anchor_ = anchor;
  gfx::Device* device = manager->GetRenderer()->GetDevice();
  trail->vertexBuffer_ =
      device->CreateVertexBuffer(kVertices * sizeof(Vertex), D3DUSAGE_WRITEONLY, kFvf, D3DPOOL_MANAGED);
  void* data = nullptr;
  if (trail->vertexBuffer_ && SUCCEEDED(trail->vertexBuffer_->Lock(0, 0, &data, 0))) {
    const D3DCOLOR color = D3DXColorToD3DCOLOR(trail->head_);
    auto* v = static_cast<Vertex*>(data);
    for (int i = 0; i < kVertices; ++i) v[i] = {0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, color, 0.0f, 1.0f};
    trail->vertexBuffer_->Unlock();
  }
  return trail;
}

void CTrail::Uninit() {
  vertexBuffer_.reset();
  SetDeath();
}

// ---- per frame ----------------------------------------------------------------------------------

void CTrail::Set(const D3DXMATRIX& parent, const Settings& settings) {
  parent_ = parent;
  width_ = settings.width;
  useTexture_ = settings.useTexture;
  SetColors(settings.second, settings.first);
}

void CTrail::SetColors(const D3DXCOLOR& a, const D3DXCOLOR& b) {
  head_ = a;
  ramp_ = b;
  void* data = nullptr;
  if (!vertexBuffer_ || FAILED(vertexBuffer_->Lock(0, 2 * sizeof(Vertex), &data, 0))) return;
  auto* v = static_cast<Vertex*>(data);
  const D3DCOLOR rgb = Rgb(a);
  v[1].color = D3DXColorToD3DCOLOR(a);
  v[0].color = rgb | kTailAlpha << 24;
  vertexBuffer_->Unlock();
  visibleEnd_ = std::max(visibleEnd_, HeadVisibleEnd());
}

int CTrail::HeadVisibleEnd() const {
  static_assert(kTailAlpha < kAlphaRef, "the second head vertex never shows on its own");
  return D3DXColorToD3DCOLOR(head_) >> 24 >= kAlphaRef ? 2 : 0;
}

D3DCOLOR CTrail::RampRgb(int j, int count) const {
  // Three times the way along: the ramp colour is reached a third of the way down the
  // strip and overshoots beyond it, held only by the clamp.
  const float u = static_cast<float>(j) / static_cast<float>(count);
  const D3DXCOLOR& a = head_;
  const D3DXCOLOR& b = ramp_;
  return Rgb(
      {a.r + (b.r - a.r) * u * 3.0f, a.g + (b.g - a.g) * u * 3.0f, a.b + (b.b - a.b) * u * 3.0f, 0.0f});
}

void CTrail::Update() {
  if (!vertexBuffer_) return;
  const int count = count_;
  const int grown = count < kMaxCount ? count + 2 : count;
  // Alphas only fade, and every vertex moves away from the head: a vertex whose alpha has
  // fallen under the test stays under it for good. So the walk stops past the last vertex
  // that could show after this move (a pair further) and the two the last drawn triangle
  // reaches beyond it; what lies further back is left as it is, never drawn again.
  const int limit = std::min(count, visibleEnd_ + 4);
  // The texture coordinates written while the strip grows (all of them by the last growth).
  const int textured = grown == count ? 0 : grown == kMaxCount ? grown : std::min(grown, limit + 2);
  const int touched = std::max({2, limit, textured});
  void* data = nullptr;
  if (FAILED(vertexBuffer_->Lock(0, static_cast<UINT>(touched) * sizeof(Vertex), &data, 0))) return;
  auto* v = static_cast<Vertex*>(data);

  // Every vertex walked moves back by a pair and fades by a step. Its red, green and blue
  // depend only on its place, the count and the two colours: unless one of them changed,
  // a vertex the ramp was written for already holds them.
  const bool recolour = count != rampCount_ || !(head_ == rampHead_) || !(ramp_ == rampTo_);
  if (recolour) rampWritten_ = 0;
  // The highest vertex still at or above the alpha reference, found on the way: below it
  // every alpha has faded under the test, so nothing of the strip beyond can show.
  int visibleEnd = 0;
  for (int j = limit - 1; j >= 2; --j) {
    std::memcpy(&v[j].x, &v[j - 2].x, 3 * sizeof(float));
    const D3DCOLOR alpha = kFaded[Alpha(v[j - 2].color)];
    if (visibleEnd == 0 && alpha >= kAlphaRef) visibleEnd = j + 1;
    const D3DCOLOR rgb = j < rampWritten_ ? v[j].color & 0x00FFFFFFu : RampRgb(j, count);
    v[j].color = alpha << 24 | rgb;
  }
  rampWritten_ = std::max(rampWritten_, limit);
  rampCount_ = count;
  rampHead_ = head_;
  rampTo_ = ramp_;

  D3DXVECTOR3 point;
  D3DXVec3TransformCoord(&point, &anchor_, &parent_);
  v[1].x = point.x, v[1].y = point.y, v[1].z = point.z;
  v[1].color = D3DXColorToD3DCOLOR(head_);
  const D3DXVECTOR3 side(0.0f, width_, 0.0f);
  D3DXVec3TransformCoord(&point, &side, &parent_);
  v[0].x = point.x, v[0].y = point.y, v[0].z = point.z;
  v[0].color = Rgb(head_) | kTailAlpha << 24;
  visibleEnd_ = std::max(visibleEnd, HeadVisibleEnd());

  // The texture runs once along the counted strip, across it from one side to the other;
  // once the strip is full the coordinates stay as they are. While it grows only the part
  // that can show is written; the last growth writes them all.
  if (textured > 0) {
    const float last = static_cast<float>(grown - 1);
    for (int j = 0; j < textured; ++j) {
      v[j].u = static_cast<float>(j) / last;
      v[j].v = (j & 1) ? 1.0f : 0.0f;
    }
  }
  count_ = grown;
  vertexBuffer_->Unlock();
}

// ---- drawing ------------------------------------------------------------------------------------

void CTrail::Draw() {
  if (!vertexBuffer_) return;
  gfx::Device* device = CManager::GetInstance()->GetRenderer()->GetDevice();
  const KeptStates kept(device);
  device->SetTransform(D3DTS_WORLD, &world_);  // the vertices are in world space already
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  device->SetRenderState(D3DRS_ALPHAREF, kAlphaRef);
  device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetStreamSource(0, vertexBuffer_.get(), 0, sizeof(Vertex));
  device->SetFVF(kFvf);
  // Without its texture a trail draws in its vertex colours, whatever was bound before.
  device->SetTexture(0, useTexture_ ? texture_ : nullptr);
  // A fragment's alpha is at most its vertices' (the texture only lowers it): triangles past
  // the last vertex the alpha test lets through would not show, and a full strip's tail,
  // nine tenths of it, would cost the rasteriser for nothing.
  const int triangles = DrawnTriangles();
  if (triangles > 0) device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, static_cast<UINT>(triangles));

  kept.Restore(device);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  device->SetRenderState(D3DRS_LIGHTING, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
  device->SetTexture(0, nullptr);
}
