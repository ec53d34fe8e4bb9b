#include "particle/particle.h"

#include <cmath>
#include <utility>

#include "app/manager.h"
#include "app/renderer.h"
#include "particle/particle_emitter.h"
#include "particle/trail.h"
#include "resource/shader_manager.h"
#include "resource/texture_manager.h"

CParticle* CParticle::Create(const BillboardParams& params, const std::string& textureTag, PhysicsGrid* grid,
                             CParticleEmitter* emitter) {
  auto* particle = new CParticle();
  particle->params_ = params;
  particle->textureTag_ = textureTag;
  particle->grid_ = grid;
  particle->emitter_ = emitter;
  particle->Init();
  return particle;
}

HRESULT CParticle::Init() {
  SetShaderLabel(kShaderLabel);
  SetTexture(textureTag_);
  CBillboard::Init();
  SetPos(params_.Position);
  SetMove(params_.Velocity);
  SetColor(params_.Color);
  SetSize(params_.Scale);
  life_ = params_.PopTime;
  if (life_ <= 0 && emitter_) emitter_->NoteExpired();
  // The trail starts where the particle is, not from a world matrix no draw has set yet.
  if (params_.Trail) trail_ = CTrail::Create({}, CurrentWorld(), params_.TrailTexture);
  if (params_.UseAnimation)
    SetAnimation(params_.AnimCountU, params_.AnimCountV, params_.AnimSpeed, params_.AnimLoop);
  if (params_.UseRandom) {
    params_.Weight = RandomRange(params_.RandomWeightMax, params_.RandomWeightMin);
    params_.RandomVelocity.x = RandomRange(params_.RandomVelocityMax.x, params_.RandomVelocityMin.x);
    params_.RandomVelocity.y = RandomRange(params_.RandomVelocityMax.y, params_.RandomVelocityMin.y);
    params_.RandomVelocity.z = RandomRange(params_.RandomVelocityMax.z, params_.RandomVelocityMin.z);
  }
  if (params_.RandomRotateValueMax != 0.0f || params_.RandomRotateValueMin != 0.0f)
    params_.RotateValue = RandomRange(params_.RandomRotateValueMax, params_.RandomRotateValueMin);
  currentVelocity_ = params_.Physics.CurrentVelocity;
  collisionPending_ = params_.CollisionPending;
  if (grid_) gridId_ = grid_->Add(this);
  motion_ = {params_.DelayStartTime,
             params_.FallDelay,
             params_.Weight,
             params_.RotateValue,
             static_cast<float>(params_.PopTime) * params_.ColorAttenuation,
             params_.Scaling,
             params_.RandomVelocity,
             params_.DestColor,
             params_.RotateActive,
             params_.UsePhysics};
  return S_OK;
}

void CParticle::Uninit() {
  // The trail ends with its particle; left behind, it would rewrite a thousand vertices
  // every frame for the rest of the run.
  if (trail_) std::exchange(trail_, nullptr)->SetDeath();
  LeaveGrid();
  // A particle can end on its own (a sprite-sheet animation that does not loop); its emitter
  // must then stop listing it before the registry deletes it.
  if (emitter_) std::exchange(emitter_, nullptr)->Forget(this);
  CBillboard::Uninit();
}

void CParticle::DetachEmitter() {
  emitter_ = nullptr;
  LeaveGrid();
}

void CParticle::LeaveGrid() {
  if (!grid_) return;
  // Once out of the grid, no id of this particle resolves: it is nobody's partner any more.
  grid_->Remove(gridId_);
  grid_ = nullptr;
  gridId_ = {};
  partner_ = {};
}

void CParticle::TestCollision() {
  if (!grid_) return;
  const D3DXVECTOR3 p = GetPos();
  constexpr float h = PhysicsGrid::kHalfBox;
  const float minX = p.x - h, maxX = p.x + h, minY = p.y - h, maxY = p.y + h, minZ = p.z - h, maxZ = p.z + h;
  const PhysicsGrid::Id self = gridId_;
  PhysicsGrid::Id partner = partner_;
  bool met = false;
  // The cell is walked in place: nothing in the walk files or removes a particle. Cells hold
  // billboard particles alone, by their type, so no entry needs telling apart.
  for (CParticle* e : grid_->Query(p)) {
    const D3DXVECTOR3 o = e->GetPos();
    // Written as an overlap, so a not-a-number position overlaps nothing.
    const bool overlap = minX <= o.x + h && o.x - h <= maxX && minY <= o.y + h && o.y - h <= maxY &&
                         minZ <= o.z + h && o.z - h <= maxZ;
    if (!overlap) {
      e->collisionPending_ = false;
      continue;
    }
    e->collisionPending_ = true;
    e->partner_ = self;
    partner = e->gridId_;
    met = true;
  }
  // This particle's own mark and partner, once: the last box it met. It is in its own cell,
  // usually, and then meets itself.
  if (met) {
    collisionPending_ = true;
    partner_ = partner;
  }
}

void CParticle::Update() {
  ++age_;
  if (age_ <= motion_.delayStartTime) {  // waiting: no motion, no drawing, life frozen
    if (trail_) trail_->Stop();
    return;
  }
  if (trail_) trail_->Resume();

  CBillboard::Update();
  const D3DXVECTOR3 size = GetSize() + motion_.scaling;
  D3DXVECTOR3 velocity = GetMove();
  D3DXCOLOR color = GetColor();

  if (motion_.rotate) {
    const float angle = params_.RotateAngle;
    const float radius = params_.RotateRadius * angle;
    velocity.x = static_cast<float>(std::sin(double{angle * kDegreeToRadian})) * radius + params_.Velocity.x;
    velocity.z = static_cast<float>(std::cos(double{angle * kDegreeToRadian})) * radius + params_.Velocity.z;
    params_.RotateAngle += RandomRange(params_.RandomRotateMax, params_.RandomRotateMin);
  }
  if (activeFrames_ >= motion_.fallDelay) velocity.y -= motion_.weight;

  // Each frame the colour covers 1/(PopTime x ColorAttenuation) of the remaining way; a
  // negative destination switches its group (red-green-blue, or alpha) off. With no
  // slowness at all (a zero or negative product) the colour is at its destination at once,
  // rather than divided by zero.
  const float slowness = motion_.slowness;
  const D3DXCOLOR& dest = motion_.destColor;
  auto approach = [slowness](float current, float target) {
    return slowness > 0.0f ? current + (target - current) / slowness : target;
  };
  if (dest.r >= 0.0f && dest.g >= 0.0f && dest.b >= 0.0f) {
    color.r = approach(color.r, dest.r);
    color.g = approach(color.g, dest.g);
    color.b = approach(color.b, dest.b);
  }
  if (dest.a >= 0.0f) color.a = approach(color.a, dest.a);

  currentVelocity_ = velocity;
  if (motion_.usePhysics && emitter_) TestCollision();
  if (collisionPending_) {
    if (const CParticle* partner = GetPartner()) {
      velocity = PhysicsResponse(params_.Physics, currentVelocity_, partner->currentVelocity_);
      collisionPending_ = false;
    }
  }
  ++activeFrames_;
  velocity += motion_.randomVelocity * 0.4f;

  SetSize(size);
  SetMove(velocity);
  SetColor(color);
  SetSpin(motion_.spin);
  if (trail_) {
    const bool separate = params_.SeparateTrailColors;
    trail_->Set(CurrentWorld(), {separate ? params_.BeginTrailColor : params_.Color,
                                 separate ? params_.EndTrailColor : params_.DestColor, params_.TrailWidth,
                                 params_.UseTrailTexture});
  }
  if (grid_ && motion_.usePhysics) grid_->Refile(gridId_);
  if (--life_ == 0 && emitter_) emitter_->NoteExpired();
}

void CParticle::Draw() {
  if (age_ <= motion_.delayStartTime) {
    if (trail_) trail_->Hide();
    return;
  }
  if (trail_) trail_->Show();
  gfx::Device* device = CManager::GetInstance()->GetRenderer()->GetDevice();
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
  device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  device->SetRenderState(D3DRS_ALPHAREF, 0);
  device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
  device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);

  DrawShader(GetShaderLabel());

  device->SetRenderState(D3DRS_LIGHTING, TRUE);
  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
}
