#pragma once
// One model of an effect: waits its start delay, then moves, grows, turns about its
// vertical axis, circles, falls, fades and dies after its lifetime, as its definition says.
// It draws its model in its colour with the fixed-function pipeline, or through the UV
// animation effect, which scrolls its texture under an optional mask.

#include <string>
#include <vector>

#include "effect/particle_params.h"
#include "particle/emitter_link.h"
#include "particle/particle_motion.h"
#include "resource/model_manager.h"
#include "scene/object.h"

class CParticleEmitter;
class CTrail;

class CMeshParticle final : public CObject {
 public:
  // The registry's type numbers tell the scene's objects apart where they are counted.
  static constexpr int kType = 5;
  static constexpr const char* kEffectLabel = "UVAnimation";
  static constexpr const char* kTechnique = "TechShader";
  // The fixed path's alpha test: texels under this alpha are cut out rather than blended.
  static constexpr DWORD kAlphaRef = 210;

  static CMeshParticle* Create(const MeshParams& params, CParticleEmitter* emitter);

  HRESULT Init() override;
  // Safe to call again: the registry calls it once more before deleting.
  void Uninit() override;
  void Update() override;
  void Draw() override;
  void SetPos(D3DXVECTOR3 pos) override { params_.Position = pos; }
  D3DXVECTOR3 GetPos() override { return params_.Position; }

  // The particle's copy of its definition: position, velocity, scale, turn and colour as
  // they are now.
  const MeshParams& GetParams() const { return params_; }
  int GetLife() const { return motion_.Life(); }
  int GetAge() const { return motion_.Age(); }
  int GetActiveFrames() const { return motion_.ActiveFrames(); }
  // The world matrix of the last draw (zero before the first).
  const D3DXMATRIX& GetWorld() const { return world_; }
  gfx::Texture* GetTexture() const { return texture_; }
  gfx::Texture* GetMaskTexture() const { return mask_; }
  const std::vector<ModelInfo>& GetModels() const { return models_; }
  // "UVAnimation" when the particle draws through the effect, else empty.
  const std::string& GetEffectName() const { return effectName_; }
  // The emitter that made it, while that plays; null once it ended or the particle ended.
  CParticleEmitter* GetEmitter() const { return link_.Emitter(); }
  CTrail* GetTrail() const { return trail_; }

 protected:
  CObject* UpdateRun(std::vector<CObject*>& walked) override;

 private:
  // What a trail following this particle is told, in the order of the frame.
  enum class TrailCue { kStop, kResume, kHide, kShow, kFollow, kEnd };

  CMeshParticle() { SetType(kType); }
  void DrawFixed(gfx::Device* device);
  void DrawThroughEffect(gfx::Device* device);
  // Draws every subset of every model in the first material, coloured by the particle;
  // the fixed path binds the texture to each subset, the effect binds it once itself.
  void DrawModels(gfx::Device* device, bool bindTexture);
  // Where the trail hears of this particle (kFollow: the colours and the world of the last
  // draw, kEnd: the particle ends).
  void TellTrail(TrailCue cue);
  // The world the drawing path composes from the particle as it is now.
  D3DXMATRIX ComposeWorld() const;
  // The world of the last draw; before the first, the one a draw would compose now.
  D3DXMATRIX CurrentWorld() const { return placed_ ? world_ : ComposeWorld(); }

  ParticleMotion motion_;
  MeshParams params_;
  std::vector<ModelInfo> models_;
  gfx::Texture* texture_ = nullptr;
  gfx::Texture* mask_ = nullptr;
  D3DXMATRIX world_;
  std::string effectName_;
  D3DXHANDLE technique_ = nullptr;
  D3DXHANDLE wvp_ = nullptr;
  D3DXHANDLE animationUV_ = nullptr;
  D3DXHANDLE hasMaskTexture_ = nullptr;
  D3DXHANDLE diffuse_ = nullptr;
  CTrail* trail_ = nullptr;
  EmitterLink link_;
  bool placed_ = false;  // world_ was composed by a draw
};
