#pragma once
// A ribbon behind a moving parent (a billboard or mesh particle): every update pushes the
// parent's position onto the head of a triangle strip of at most 1,022 counted vertices,
// moves the older ones back by a pair, recolours them along a ramp and lets their alpha
// fade (the ones already faded past showing are left where they are). It is a scene object of its own; its
// parent feeds it, stops and hides it while the parent waits, and ends it when the parent ends.

#include <algorithm>
#include <memory>
#include <string>

#include "platform/gfx/device.h"
#include "scene/object.h"

class CTrail : public CObject {
 public:
  static constexpr int kType = 6;
  static constexpr int kVertices = 1024;
  static constexpr int kMaxCount = 1022;   // the last pair of the buffer is never counted
  static constexpr DWORD kTailAlpha = 26;  // alpha byte of the second head vertex
  static constexpr DWORD kAlphaRef = 215;

  // What a billboard particle hands its trail every frame: the head is drawn in the second
  // colour and the ramp runs towards the first.
  struct Settings {
    D3DXCOLOR first;
    D3DXCOLOR second;
    float width = 0.0f;
    bool useTexture = false;
  };

  // The texture of the tag is looked up once, here.
  static CTrail* Create(D3DXVECTOR3 anchor, const D3DXMATRIX& parent, const std::string& textureTag);

  HRESULT Init() override { return S_OK; }
  void Uninit() override;
  void Update() override;
  void Draw() override;
  DrawGroup GetDrawGroup() const override { return DrawGroup::kAdditiveTrail; }
  void SetPos(D3DXVECTOR3 pos) override { anchor_ = pos; }
  D3DXVECTOR3 GetPos() override { return anchor_; }

  void Set(const D3DXMATRIX& parent, const Settings& settings);
  // Head colour a, ramp colour b; the two head vertices take the head colour at once.
  void SetColors(const D3DXCOLOR& a, const D3DXCOLOR& b);
  void SetParent(const D3DXMATRIX& parent) { parent_ = parent; }

  int GetCount() const { return count_; }
  // Triangles a draw now shows: the last counted pair is fresh and still at the fill values,
  // and nothing past the last vertex the alpha test lets through can show.
  int DrawnTriangles() const { return std::max(0, std::min(count_ - 4, visibleEnd_)); }
  float GetWidth() const { return width_; }
  const D3DXCOLOR& GetHeadColor() const { return head_; }
  const D3DXCOLOR& GetRampColor() const { return ramp_; }
  gfx::Texture* GetTexture() const { return texture_; }
  const gfx::VertexBuffer* GetVertexBuffer() const { return vertexBuffer_.get(); }

 private:
  CTrail() {
    SetType(kType);
    D3DXMatrixIdentity(&world_);
  }
  // The ramp's red, green and blue bytes for vertex j of a strip of count vertices.
  D3DCOLOR RampRgb(int j, int count) const;
  // How many vertices from the head the head pair keeps visible: 2 while the head colour's
  // alpha passes the alpha test.
  int HeadVisibleEnd() const;

  std::unique_ptr<gfx::VertexBuffer> vertexBuffer_;
  gfx::Texture* texture_ = nullptr;
  D3DXVECTOR3 anchor_;
  D3DXMATRIX world_;
  D3DXMATRIX parent_;
  D3DXCOLOR head_{0.0f, 0.0f, 0.0f, 0.0f};
  D3DXCOLOR ramp_{0.0f, 0.0f, 0.0f, 0.0f};
  float width_ = 0.0f;
  bool useTexture_ = false;
  int count_ = 0;
  int visibleEnd_ = 0;  // vertices up to the last one whose alpha passes the alpha test
  // The colours and count the ramp was last written for: while they hold, every vertex
  // already has its ramp colour in place and an update only moves positions and alphas.
  D3DXCOLOR rampHead_;
  D3DXCOLOR rampTo_;
  int rampCount_ = -1;
  int rampWritten_ = 0;  // vertices from the head whose colour the ramp was written for
  std::string textureTag_;
};
