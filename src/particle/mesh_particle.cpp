#include "particle/mesh_particle.h"

#include "app/manager.h"
#include "effect/random_range.h"
#include "scene/shared_state.h"
#include "app/renderer.h"
#include "particle/particle_emitter.h"
#include "particle/trail.h"
#include "platform/message_sink.h"
#include "resource/shader_manager.h"
#include "resource/texture_manager.h"

namespace {

// The alpha test's reference and function as they were before a draw changed them, put
// back after it: the program has no usual value for them, so whatever draws next sees
// what it would have seen without this particle.
class AlphaTestSettings {
 public:
  explicit AlphaTestSettings(const gfx::Device* device) {
    device->GetRenderState(D3DRS_ALPHAREF, &ref_);
    device->GetRenderState(D3DRS_ALPHAFUNC, &func_);
  }
  void Restore(gfx::Device* device) const {
    device->SetRenderState(D3DRS_ALPHAREF, ref_);
    device->SetRenderState(D3DRS_ALPHAFUNC, func_);
  }

 private:
  DWORD ref_ = 0;
  DWORD func_ = 0;
};

}  // namespace

CMeshParticle* CMeshParticle::Create(const MeshParams& params, CParticleEmitter* emitter) {
  auto* particle = new CMeshParticle();
  particle->params_ = params;
  if (emitter) particle->link_ = EmitterLink(emitter->GetId());
  particle->Init();
  return particle;
}

// ---- life -------------------------------------------------------------------------------------

HRESULT CMeshParticle::Init() {
  CManager* manager = CManager::GetInstance();
  MeshParams& m = params_;
  if (m.UseTexture) {
    if (CTextureManager* textures = manager->GetTextureManager()) {
      texture_ = textures->GetTexture(false, m.TextureTag);
      mask_ = textures->GetTexture(false, m.MaskTextureTag);
    }
  }

  CModelManager* models = manager->GetModelManager();
  models_.push_back(models ? models->GetModel(m.ModelTag) : ModelInfo{});
  if (!models_.back().Mesh)
    platform::ReportNotice("mesh particle: the model catalog has no model \"" + m.ModelTag +
                           "\"; such particles draw nothing");

  RangeRandom& random = link_.Random();
  if (m.RandomColor) {
    m.Color.r = random.Range(m.RandomColorMax, m.RandomColorMin);
    m.Color.g = random.Range(m.RandomColorMax, m.RandomColorMin);
    m.Color.b = random.Range(m.RandomColorMax, m.RandomColorMin);
  }
  // The mesh particle never gives its trail a width, so the ribbon has no area.
  if (m.Trail) trail_ = CTrail::Create({}, CurrentWorld(), "");
  if (m.UseRandom) m.Weight = random.Range(m.RandomValueMax, m.RandomValueMin);
  motion_ = ParticleMotion(m);
  if (motion_.Life() <= 0) link_.Expire();

  if (m.UseShader) {
    effectName_ = kEffectLabel;
    if (CShaderManager* shaders = manager->GetShaderManager()) {
      technique_ = shaders->GetTechnique(effectName_, kTechnique);
      wvp_ = shaders->GetParameter(effectName_, "g_wvp");
      animationUV_ = shaders->GetParameter(effectName_, "g_animationUV");
      hasMaskTexture_ = shaders->GetParameter(effectName_, "g_hasMaskTexture");
      diffuse_ = shaders->GetParameter(effectName_, "g_diffuse");
    }
    if (!technique_)
      platform::ReportNotice(
          std::string("mesh particle: the \"") + kEffectLabel +
          "\" effect is missing or did not compile; particles drawn through it draw nothing");
  }
  return S_OK;
}

void CMeshParticle::TellTrail(TrailCue cue) {
  switch (cue) {
    case TrailCue::kStop:
      trail_->Stop();
      break;
    case TrailCue::kResume:
      trail_->Resume();
      break;
    case TrailCue::kHide:
      trail_->Hide();
      break;
    case TrailCue::kShow:
      trail_->Show();
      break;
    case TrailCue::kFollow:
      // The faded colour is the ramp's end, the destination the head's.
      trail_->SetColors(params_.DestColor, params_.Color);
      trail_->SetParent(CurrentWorld());
      break;
    case TrailCue::kEnd:
      trail_->SetDeath();
      break;
  }
}

void CMeshParticle::Uninit() {
  if (trail_) TellTrail(TrailCue::kEnd);
  trail_ = nullptr;
  link_.Leave(this);
  // The models and textures belong to managers that go after the scene at exit.
  models_.clear();
  texture_ = nullptr;
  mask_ = nullptr;
  SetDeath();
}

// ---- per frame --------------------------------------------------------------------------------

void CMeshParticle::Update() {
  MeshParams& m = params_;
  if (!motion_.BeginFrame()) {  // waiting: no motion, no drawing, life frozen
    if (trail_) TellTrail(TrailCue::kStop);
    return;
  }
  if (trail_) TellTrail(TrailCue::kResume);

  m.Position += m.Velocity;
  m.Scale += m.Scaling;
  m.Rotation.y += m.RotateValue;
  if (motion_.Swirls()) {
    // Unlike a billboard's, the swirl adds to the velocity it has, so the path spirals.
    const ParticleMotion::Swirl push = ParticleMotion::TurnSwirl(m, link_.Random());
    m.Velocity.x += push.x;
    m.Velocity.z += push.z;
  }
  motion_.Fall(m.Velocity);
  motion_.Fade(m.Color);

  if (trail_) TellTrail(TrailCue::kFollow);
  if (motion_.EndFrame()) link_.Expire();

  // The yaw stays near -pi..pi, one turn at most per frame.
  if (m.Rotation.y > D3DX_PI) {
    m.Rotation.y -= D3DX_PI * 2.0f;
  } else if (m.Rotation.y < -D3DX_PI) {
    m.Rotation.y += D3DX_PI * 2.0f;
  }
}

CObject* CMeshParticle::UpdateRun(std::vector<CObject*>& walked) {
  return UpdateRunOf(this, walked, [](CMeshParticle* particle) { particle->CMeshParticle::Update(); });
}

// ---- drawing ----------------------------------------------------------------------------------

void CMeshParticle::Draw() {
  if (motion_.Waiting()) {
    if (trail_) TellTrail(TrailCue::kHide);
    return;
  }
  if (trail_) TellTrail(TrailCue::kShow);
  gfx::Device* device = CManager::GetInstance()->GetRenderer()->GetDevice();
  if (params_.UseShader) {
    DrawThroughEffect(device);
  } else {
    DrawFixed(device);
  }
}

void CMeshParticle::DrawModels(gfx::Device* device, bool bindTexture) {
  const D3DXCOLOR& c = params_.Color;
  const float glow = params_.Emissive;
  for (ModelInfo& model : models_) {
    // An unknown model (or one without materials) has nothing to draw.
    // The count is the buffer's own: a model read again may bring fewer materials.
    if (!model.Mesh || !model.Materials || model.Materials->Count() == 0) continue;
    D3DMATERIAL9& first = model.Materials->GetBufferPointer()->MatD3D;
    first.Diffuse = c;
    first.Emissive = {c.r * glow, c.g * glow, c.b * glow, c.a * glow};
    for (DWORD i = 0; i < model.Materials->Count(); ++i) {
      device->SetMaterial(&first);
      if (bindTexture) device->SetTexture(0, texture_);
      model.Mesh->DrawSubset(i);
    }
    // The materials are the catalog's, shared with every other user of the model: the glow
    // goes with this draw.
    first.Emissive = {0.0f, 0.0f, 0.0f, 1.0f};
  }
}

D3DXMATRIX CMeshParticle::ComposeWorld() const {
  D3DXMATRIX world, rotation, scaling, translation;
  const MeshParams& m = params_;
  D3DXMatrixIdentity(&world);
  D3DXMatrixRotationYawPitchRoll(&rotation, m.Rotation.y, m.Rotation.x, m.Rotation.z);
  D3DXMatrixScaling(&scaling, m.Scale.x, m.Scale.y, m.Scale.z);
  D3DXMatrixTranslation(&translation, m.Position.x, m.Position.y, m.Position.z);
  // The fixed path turns and sizes about the centre, then moves into place. Through the
  // effect scaling comes last, so it scales the position too, as the effect's meshes always
  // have been placed: a particle of scale 2 at x = 1 is centred at x = 2.
  if (m.UseShader) return world * rotation * translation * scaling;
  return world * rotation * scaling * translation;
}

void CMeshParticle::DrawFixed(gfx::Device* device) {
  device->SetTexture(0, nullptr);
  world_ = ComposeWorld();
  placed_ = true;

  const AlphaTestSettings alphaTest(device);
  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
  device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  device->SetRenderState(D3DRS_ALPHAREF, kAlphaRef);
  device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  // The scale is in the world matrix, which scales the normals by its inverse: without this a
  // cube drawn 13 times its size would be lit 13 times too dimly.
  device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
  device->SetTransform(D3DTS_WORLD, &world_);
  D3DMATERIAL9 saved;
  device->GetMaterial(&saved);

  DrawModels(device, true);

  device->SetMaterial(&saved);
  device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  device->SetRenderState(D3DRS_NORMALIZENORMALS, FALSE);
  alphaTest.Restore(device);
  device->SetTexture(0, nullptr);
}

void CMeshParticle::DrawThroughEffect(gfx::Device* device) {
  CManager* manager = CManager::GetInstance();
  CShaderManager* shaders = manager->GetShaderManager();
  gfx::Effect* effect = shaders ? shaders->GetEffect(effectName_) : nullptr;
  // Without the effect (not in the catalog, or not compiled) nothing is drawn and no state
  // is touched; Init has said so.
  if (!effect || !technique_) return;

  device->SetTexture(0, nullptr);
  device->SetTexture(1, nullptr);
  const MeshParams& m = params_;
  world_ = ComposeWorld();
  placed_ = true;

  device->SetTransform(D3DTS_WORLD, &world_);
  const AlphaTestSettings alphaTest(device);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
  device->SetRenderState(D3DRS_ALPHAREF, 0);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
  D3DMATERIAL9 saved;
  device->GetMaterial(&saved);
  device->SetVertexDeclaration(shaders->GetDeclaration());

  UVScroll& scroll = Shared().meshUV;
  scroll.Advance(m.UVMovement[0], m.UVMovement[1]);
  D3DXMATRIX wvp[3] = {world_};
  device->GetTransform(D3DTS_VIEW, &wvp[1]);
  device->GetTransform(D3DTS_PROJECTION, &wvp[2]);
  const float offset[2] = {scroll.U(), scroll.V()};
  const float diffuse[4] = {m.Color.r, m.Color.g, m.Color.b, m.Color.a};
  effect->SetMatrixArray(wvp_, wvp, 3);
  effect->SetFloatArray(animationUV_, offset, 2);
  effect->SetBool(hasMaskTexture_, mask_ != nullptr);
  effect->SetFloatArray(diffuse_, diffuse, 4);
  device->SetTexture(0, texture_);
  device->SetTexture(1, mask_);
  effect->SetTechnique(technique_);

  shaders->Begin(effectName_);
  DrawModels(device, false);
  shaders->End(effectName_);

  device->SetMaterial(&saved);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  alphaTest.Restore(device);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
  device->SetTexture(0, nullptr);
  device->SetTexture(1, nullptr);
}
