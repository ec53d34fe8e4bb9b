#include "particle/particle.h"

#include <utility>

#include "app/manager.h"
#include "effect/random_range.h"
#include "scene/shared_state.h"
#include "app/renderer.h"
#include "particle/particle_emitter.h"
#include "particle/trail.h"
#include "resource/shader_manager.h"
#include "resource/texture_manager.h"

// A frame reads all of a particle's lines: one more would cost every walk over thousands.
static_assert(sizeof(CParticle) <= 4 * ObjectPool::kSlotAlignment, "a particle fills four cache lines");

CParticle* CParticle::Create(const BillboardParams& params, const std::string& textureTag, PhysicsGrid* grid,
                             CParticleEmitter* emitter) {
  auto* particle = new CParticle();
  particle->record_->params = params;
  particle->record_->textureTag = textureTag;
  particle->record_->grid = grid;
  if (emitter) particle->link_ = EmitterLink(emitter->GetId());
  particle->Init();
  return particle;
}

// ---- life -------------------------------------------------------------------------------------

HRESULT CParticle::Init() {
  BillboardParams& b = record_->params;
  SetShaderLabel(kShaderLabel);
  SetTexture(record_->textureTag);
  CBillboard::Init();
  SetPos(b.Position);
  SetMove(b.Velocity);
  SetColor(b.Color);
  SetSize(b.Scale);
  // The trail starts where the particle is, not from a world matrix no draw has set yet.
  if (b.Trail) trail_ = CTrail::Create({}, CurrentWorld(), b.TrailTexture);
  if (b.UseAnimation) SetAnimation(b.AnimCountU, b.AnimCountV, b.AnimSpeed, b.AnimLoop);
  RangeRandom& random = link_.Random();
  if (b.UseRandom) {
    b.Weight = random.Range(b.RandomWeightMax, b.RandomWeightMin);
    b.RandomVelocity.x = random.Range(b.RandomVelocityMax.x, b.RandomVelocityMin.x);
    b.RandomVelocity.y = random.Range(b.RandomVelocityMax.y, b.RandomVelocityMin.y);
    b.RandomVelocity.z = random.Range(b.RandomVelocityMax.z, b.RandomVelocityMin.z);
  }
  if (b.RandomRotateValueMax != 0.0f || b.RandomRotateValueMin != 0.0f)
    b.RotateValue = random.Range(b.RandomRotateValueMax, b.RandomRotateValueMin);
  currentVelocity_ = b.Physics.CurrentVelocity;
  collisionPending_ = b.CollisionPending;
  if (PhysicsGrid* grid = record_->grid) record_->gridId = grid->Add(this);
  motion_ = ParticleMotion(b);
  rotateValue_ = b.RotateValue;
  scaling_ = b.Scaling;
  randomVelocity_ = b.RandomVelocity;
  usePhysics_ = b.UsePhysics;
  if (motion_.Life() <= 0) link_.Expire();
  return S_OK;
}

void CParticle::Uninit() {
  // The trail ends with its particle; left behind, it would rewrite a thousand vertices
  // every frame for the rest of the run.
  if (trail_) std::exchange(trail_, nullptr)->SetDeath();
  LeaveGrid();
  // A particle can end on its own (a sprite sheet that does not loop): an emitter that still
  // lists it stops now, before the registry deletes it.
  link_.Leave(this);
  CBillboard::Uninit();
}

PhysicsGrid* CParticle::GetGrid() const {
  PhysicsGrid* grid = record_->grid;
  if (!grid || !link_.Emitter()) return nullptr;
  return grid->Resolve(record_->gridId) == this ? grid : nullptr;
}

CParticle* CParticle::GetPartner() const {
  const PhysicsGrid* grid = GetGrid();
  return grid ? grid->Resolve(record_->partner) : nullptr;
}

BillboardParams CParticle::GetParams() const {
  BillboardParams params = record_->params;
  params.Physics.CurrentVelocity = currentVelocity_;
  params.CollisionPending = collisionPending_;
  return params;
}

void CParticle::LeaveGrid() {
  // Once out of the grid, no id of this particle resolves: it is nobody's partner any more.
  if (PhysicsGrid* grid = GetGrid()) grid->Remove(record_->gridId);
  record_->grid = nullptr;
  record_->gridId = {};
  record_->partner = {};
}

// ---- per frame --------------------------------------------------------------------------------

void CParticle::TestCollision(PhysicsGrid& grid) {
  const D3DXVECTOR3 p = GetPos();
  constexpr float h = PhysicsGrid::kHalfBox;
  const float minX = p.x - h, maxX = p.x + h, minY = p.y - h, maxY = p.y + h, minZ = p.z - h, maxZ = p.z + h;
  const PhysicsGrid::Id self = record_->gridId;
  PhysicsGrid::Id partner = record_->partner;
  bool met = false;
  // The cell is walked in place: nothing in the walk files or removes a particle. Cells hold
  // billboard particles alone, by their type, so no entry needs telling apart.
  for (CParticle* e : grid.Query(p)) {
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
  Step();
}

CObject* CParticle::UpdateRun(std::vector<CObject*>& walked) {
  return UpdateRunOf(this, walked, [](CParticle* particle) { particle->Step(); });
}

void CParticle::Step() {
  // The trail follows the world the quad faced when last shown, taken here rather than left
  // to the draw, so that frames run without a draw between them (catching up, a seek) lay
  // the same trail.
  if (trail_ && !motion_.Waiting()) FaceView();
  if (!motion_.BeginFrame()) {  // waiting: no motion, no drawing, life frozen
    if (trail_) trail_->Stop();
    return;
  }
  if (trail_) trail_->Resume();

  CBillboard::Update();
  // Size, colour and spin first, each read and written back at once: nothing after reads them.
  SetSize(GetSize() + scaling_);
  D3DXCOLOR color = GetColor();
  motion_.Fade(color);
  SetColor(color);
  SetSpin(rotateValue_);

  D3DXVECTOR3 velocity = GetMove();
  if (motion_.Swirls()) {
    // The swirl sets the velocity about the definition's, so the path circles.
    const ParticleMotion::Swirl push = ParticleMotion::TurnSwirl(record_->params, link_.Random());
    velocity.x = push.x + record_->params.Velocity.x;
    velocity.z = push.z + record_->params.Velocity.z;
  }
  motion_.Fall(velocity);
  currentVelocity_ = velocity;
  // Only while filed, which ends when its emitter drops it or ends, or when it ends itself
  // (a sprite sheet that ran out in the billboard's update above).
  PhysicsGrid* grid = usePhysics_ ? GetGrid() : nullptr;
  if (grid) TestCollision(*grid);
  if (collisionPending_) {
    if (const CParticle* partner = GetPartner()) {
      velocity = PhysicsResponse(record_->params.Physics, currentVelocity_, partner->currentVelocity_);
      collisionPending_ = false;
    }
  }
  velocity += randomVelocity_ * 0.4f;
  SetMove(velocity);
  if (trail_) {
    const BillboardParams& b = record_->params;
    const bool separate = b.SeparateTrailColors;
    trail_->Set(CurrentWorld(), {separate ? b.BeginTrailColor : b.Color,
                                 separate ? b.EndTrailColor : b.DestColor, b.TrailWidth, b.UseTrailTexture});
  }
  if (grid) grid->Refile(record_->gridId);
  if (motion_.EndFrame()) link_.Expire();
}

// ---- drawing ----------------------------------------------------------------------------------

void CParticle::Draw() {
  if (motion_.Waiting()) {
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
