#include "app/effect_renderer.h"

#include <algorithm>
#include <cmath>

#include "app/manager.h"
#include "app/preview_player.h"
#include "app/renderer.h"
#include "particle/mesh_particle.h"
#include "particle/particle.h"
#include "particle/trail.h"
#include "render/frame_pixels.h"
#include "render/view_bounds.h"
#include "scene/object.h"
#include "scene/shared_state.h"
#include "view/camera.h"

namespace {

gfx::Device* SceneDevice() { return CManager::GetInstance()->GetRenderer()->GetDevice(); }

// The device's state a render changes, put back as it was when the render's call ends.
class KeptDeviceState {
 public:
  explicit KeptDeviceState(gfx::Device* device) : device_(device) {
    device->GetTransform(D3DTS_WORLD, &world_);
    device->GetTransform(D3DTS_VIEW, &view_);
    device->GetTransform(D3DTS_PROJECTION, &projection_);
    device->GetRenderState(D3DRS_FILLMODE, &fill_);
    target_ = device->GetRenderTarget();
  }
  ~KeptDeviceState() {
    device_->SetRenderTarget(0, target_);
    device_->SetRenderState(D3DRS_FILLMODE, fill_);
    device_->SetTransform(D3DTS_WORLD, &world_);
    device_->SetTransform(D3DTS_VIEW, &view_);
    device_->SetTransform(D3DTS_PROJECTION, &projection_);
  }
  KeptDeviceState(const KeptDeviceState&) = delete;
  KeptDeviceState& operator=(const KeptDeviceState&) = delete;

 private:
  gfx::Device* device_;
  D3DXMATRIX world_, view_, projection_;
  DWORD fill_ = D3DFILL_SOLID;
  gfx::Surface* target_ = nullptr;
};

// Adds what every particle, mesh and trail of the scene covers now. A billboard turns about its
// centre, so its half-size's diagonal bounds it whatever its spin.
void AddSceneBounds(ViewBounds* bounds) {
  for (int priority = 0; priority < CObject::OBJECT_PRIORITY_MAX; ++priority) {
    for (CObject* object = CObject::Head(priority); object; object = object->Next()) {
      switch (object->GetType()) {
        case CParticle::kType: {
          auto* particle = static_cast<CParticle*>(object);
          const D3DXVECTOR3 size = particle->GetSize();
          bounds->AddSphere(particle->GetPos(), std::hypot(size.x, size.y));
          break;
        }
        case CMeshParticle::kType: {
          const auto* mesh = static_cast<CMeshParticle*>(object);
          const MeshParams& m = mesh->GetParams();
          float radius = 0.0f;
          for (const ModelInfo& model : mesh->GetModels())
            radius = std::max({radius, D3DXVec3Length(&model.VtxMax), D3DXVec3Length(&model.VtxMin)});
          const float scale = std::max({std::fabs(m.Scale.x), std::fabs(m.Scale.y), std::fabs(m.Scale.z)});
          // Through the effect the scale applies to the position too.
          const D3DXVECTOR3 centre =
              m.UseShader
                  ? D3DXVECTOR3(m.Position.x * m.Scale.x, m.Position.y * m.Scale.y, m.Position.z * m.Scale.z)
                  : m.Position;
          bounds->AddSphere(centre, (radius + 1.0f) * scale);
          break;
        }
        case CTrail::kType: {
          auto* trail = static_cast<CTrail*>(object);
          bounds->AddSphere(trail->GetPos(), trail->GetWidth());
          break;
        }
        default:
          break;
      }
    }
  }
}

D3DXVECTOR3 Direction(const D3DXVECTOR3& from, const D3DXVECTOR3& to) {
  D3DXVECTOR3 d = to - from;
  if (D3DXVec3Length(&d) < 1e-6f) d = {0.0f, 0.0f, 1.0f};
  D3DXVec3Normalize(&d, &d);
  return d;
}

}  // namespace

std::unique_ptr<EffectRenderer> EffectRenderer::Start(const RenderSettings& settings, std::string* error) {
  const EffectTable* table = CManager::GetInstance()->GetEffectTable();
  if (!table || !SceneDevice()) {
    *error = "there is no scene to render with";
    return nullptr;
  }
  if (!table->contains(settings.tag)) {
    std::string tags;
    for (const auto& [tag, definitions] : *table) tags += (tags.empty() ? "" : ", ") + ("\"" + tag + "\"");
    *error = "there is no effect \"" + settings.tag + "\" in the document" +
             (tags.empty() ? std::string(" (it has none)") : " (it has " + tags + ")");
    return nullptr;
  }
  if (!CheckRenderSettings(settings, error)) return nullptr;
  std::unique_ptr<FrameWriter> writer = MakeFrameWriter(settings, error);
  if (!writer) return nullptr;
  std::unique_ptr<EffectRenderer> renderer(new EffectRenderer(settings, std::move(writer)));
  if (!renderer->Measure(error)) return nullptr;
  renderer->target_ = SceneDevice()->CreateRenderTarget(static_cast<UINT>(settings.width),
                                                        static_cast<UINT>(settings.height), error);
  if (!renderer->target_) return nullptr;
  return renderer;
}

EffectRenderer::EffectRenderer(const RenderSettings& settings, std::unique_ptr<FrameWriter> writer)
    : settings_(settings), writer_(std::move(writer)), scene_(std::make_unique<SharedState>()) {
  scene_->ResetForStart();
  scene_->SeedRandom(settings.seed);
  // No sound plays and nothing is emitted but the one emission.
  scene_->replaying = true;
}

EffectRenderer::~EffectRenderer() {
  const SharedStateScope scope(*scene_);
  CObject::ReleaseAll();
}

bool EffectRenderer::Measure(std::string* error) {
  const float aspect = static_cast<float>(settings_.width) / static_cast<float>(settings_.height);
  const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
  const D3DXVECTOR3 forward = Direction(settings_.sceneEye, settings_.sceneTarget);
  ViewBounds bounds(forward, CCamera::kFovY, aspect);
  bounds.AddPoint(settings_.emitAt);

  const std::vector<ParticleParams>& definitions =
      CManager::GetInstance()->GetEffectTable()->at(settings_.tag);
  const long long life = static_cast<long long>(PreviewPlayer::EmissionLength(definitions)) + 1;
  if (!settings_.length && life > RenderSettings::kMaxFrames) {
    *error = "the effect \"" + settings_.tag + "\" lives " + std::to_string(life) +
             " frames, more than the " + std::to_string(RenderSettings::kMaxFrames) +
             " a render makes: give --length";
    return false;
  }
  {
    gfx::Device* device = SceneDevice();
    const KeptDeviceState kept(device);
    const SharedStateScope scope(*scene_);
    // Billboards face the view as they move, and trails follow them: the steps see the heading
    // the frames are drawn from.
    D3DXMATRIX view;
    const D3DXVECTOR3 eye = settings_.emitAt - forward * 100.0f;
    D3DXMatrixLookAtLH(&view, &eye, &settings_.emitAt, &bounds.Up());
    device->SetTransform(D3DTS_VIEW, &view);
    const CParticleEmitter* emitter = CParticleEmitter::Emit(settings_.tag, settings_.emitAt);
    record_ = emitter->GetRecord();
    const EmitterSlots::Id id = emitter->GetId();
    const int limit = settings_.length ? *settings_.length : static_cast<int>(life);
    length_ = 0;
    for (int frame = 0; frame < limit; ++frame) {
      if (frame > 0) CObject::UpdateAll();
      const bool playing = Shared().emitters.Resolve(id) != nullptr;
      if (!playing && !settings_.length) break;
      if (playing) AddSceneBounds(&bounds);
      length_ = frame + 1;
    }
    length_ = std::max(length_, 1);
    CObject::ReleaseAll();
  }

  if (settings_.camera == RenderCamera::kScene) {
    D3DXMatrixLookAtLH(&view_, &settings_.sceneEye, &settings_.sceneTarget, &up);
    D3DXMatrixPerspectiveFovLH(&projection_, CCamera::kFovY, aspect, CCamera::kNear, CCamera::kFar);
  } else {
    const ViewBounds::Camera camera = bounds.Frame();
    D3DXMatrixLookAtLH(&view_, &camera.eye, &camera.target, &camera.up);
    D3DXMatrixPerspectiveFovLH(&projection_, CCamera::kFovY, aspect, camera.nearZ, camera.farZ);
  }
  wanted_ = writer_->FramesWanted(length_);
  return true;
}

bool EffectRenderer::RenderNext(std::string* error) {
  if (finished_) return true;
  gfx::Device* device = SceneDevice();
  gfx::Image frame;
  {
    const KeptDeviceState kept(device);
    const SharedStateScope scope(*scene_);
    device->SetTransform(D3DTS_VIEW, &view_);
    device->SetTransform(D3DTS_PROJECTION, &projection_);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    if (frame_ < 0) {
      CParticleEmitter::Replay(record_);
      frame_ = 0;
    }
    if (done_ < FramesToDraw()) {
      for (const int wanted = wanted_[done_]; frame_ < wanted; ++frame_) CObject::UpdateAll();
      DrawFrame(device, &frame);
    }
  }
  if (done_ < FramesToDraw()) {
    if (!writer_->Write(frame, error)) return false;
    ++done_;
  }
  if (done_ < FramesToDraw()) return true;
  {
    const SharedStateScope scope(*scene_);
    CObject::ReleaseAll();
  }
  if (!writer_->Finish(error)) return false;
  finished_ = true;
  return true;
}

void EffectRenderer::DrawFrame(gfx::Device* device, gfx::Image* frame) {
  const bool transparent = settings_.Transparent();
  const std::uint32_t rgb = settings_.background.value_or(0);
  device->SetRenderTarget(0, target_.get());
  device->Clear(
      0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL,
      transparent ? D3DCOLOR_ARGB(0, 0, 0, 0) : D3DCOLOR_ARGB(255, rgb >> 16, (rgb >> 8) & 0xff, rgb & 0xff),
      1.0f, 0);
  if (SUCCEEDED(device->BeginScene())) {
    CObject::DrawAll();
    device->EndScene();
  }
  device->GetRenderTargetData(target_.get(), frame);
  if (transparent) {
    StraightenAlpha(frame);
  } else {
    MakeOpaque(frame);
  }
}
