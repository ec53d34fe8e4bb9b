#include "particle/particle.h"

#include <cmath>
#include <utility>

#include "app/manager.h"
#include "effect/random_range.h"
#include "app/renderer.h"
#include "particle/particle_emitter.h"
#include "particle/trail.h"
#include "resource/shader_manager.h"
#include "resource/texture_manager.h"

CParticle* CParticle::Create(const BillboardParams& params, const std::string& textureTag, PhysicsGrid* grid,
                             CParticleEmitter* emitter) {
  auto* particle = new CParticle();
  particle->record_->params = params;
  particle->record_->textureTag = textureTag;
  particle->grid_ = grid;
  particle->emitter_ = emitter;
  particle->Init();
  return particle;
}

HRESULT CParticle::Init() {
  SetShaderLabel(kShaderLabel);
  SetTexture(record_->textureTag);
  CBillboard::Init();
  SetPos(record_->params.Position);
  SetMove(record_->params.Velocity);
  SetColor(record_->params.Color);
  SetSize(record_->params.Scale);
  life_ = record_->params.PopTime;
  if (life_ <= 0 && emitter_) emitter_->NoteExpired();
  // The trail starts where the particle is, not from a world matrix no draw has set yet.
  if (record_->params.Trail) trail_ = CTrail::Create({}, CurrentWorld(), record_->params.TrailTexture);
  if (record_->params.UseAnimation)
    SetAnimation(record_->params.AnimCountU, record_->params.AnimCountV, record_->params.AnimSpeed, record_->params.AnimLoop);
  if (record_->params.UseRandom) {
    record_->params.Weight = RandomRange(record_->params.RandomWeightMax, record_->params.RandomWeightMin);
    record_->params.RandomVelocity.x = RandomRange(record_->params.RandomVelocityMax.x, record_->params.RandomVelocityMin.x);
    record_->params.RandomVelocity.y = RandomRange(record_->params.RandomVelocityMax.y, record_->params.RandomVelocityMin.y);
    record_->params.RandomVelocity.z = RandomRange(record_->params.RandomVelocityMax.z, record_->params.RandomVelocityMin.z);
  }
  if (record_->params.RandomRotateValueMax != 0.0f || record_->params.RandomRotateValueMin != 0.0f)
    record_->params.RotateValue = RandomRange(record_->params.RandomRotateValueMax, record_->params.RandomRotateValueMin);
  currentVelocity_ = record_->params.Physics.CurrentVelocity;
  collisionPending_ = record_->params.CollisionPending;
  if (grid_) record_->gridId = grid_->Add(this);
  motion_ = {record_->params.DelayStartTime,
             record_->params.FallDelay,
             record_->params.Weight,
             record_->params.RotateValue,
             static_cast<float>(record_->params.PopTime) * record_->params.ColorAttenuation,
             record_->params.Scaling,
             record_->params.RandomVelocity,
             record_->params.DestColor,
             record_->params.RotateActive,
             record_->params.UsePhysics};
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
  grid_->Remove(record_->gridId);
  grid_ = nullptr;
  record_->gridId = {};
  record_->partner = {};
}

void CParticle::TestCollision() {
  if (!grid_) return;
  const D3DXVECTOR3 p = GetPos();
  constexpr float h = PhysicsGrid::kHalfBox;
  const float minX = p.x - h, maxX = p.x + h, minY = p.y - h, maxY = p.y + h, minZ = p.z - h, maxZ = p.z + h;
  const PhysicsGrid::Id self = record_->gridId;
  PhysicsGrid::Id partner = record_->partner;
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
    e->record_->partner = self;
    partner = e->record_->gridId;
    met = true;
  }
  // This particle's own mark and partner, once: the last box it met. It is in its own cell,
  // usually, and then meets itself.
  if (met) {
    collisionPending_ = true;
    record_->partner = partner;
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
    const float angle = record_->params.RotateAngle;
    const float radius = record_->params.RotateRadius * angle;
    velocity.x = static_cast<float>(std::sin(double{angle * kDegreeToRadian})) * radius + record_->params.Velocity.x;
    velocity.z = static_cast<float>(std::cos(double{angle * kDegreeToRadian})) * radius + record_->params.Velocity.z;
    record_->params.RotateAngle += RandomRange(record_->params.RandomRotateMax, record_->params.RandomRotateMin);
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
      velocity = PhysicsResponse(record_->params.Physics, currentVelocity_, partner->currentVelocity_);
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
    const bool separate = record_->params.SeparateTrailColors;
    trail_->Set(CurrentWorld(), {separate ? record_->params.BeginTrailColor : record_->params.Color,
                                 separate ? record_->params.EndTrailColor : record_->params.DestColor, record_->params.TrailWidth,
                                 record_->params.UseTrailTexture});
  }
  if (grid_ && motion_.usePhysics) grid_->Refile(record_->gridId);
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
