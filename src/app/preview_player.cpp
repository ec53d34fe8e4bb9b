#include "app/preview_player.h"

#include <algorithm>

#include "app/manager.h"
#include "editor/preview_controls.h"
#include "scene/object.h"
#include "scene/shared_state.h"
#include "view/pointer.h"

namespace {

std::vector<ParticleParams> DefinitionsOf(const std::string& tag) {
  const EffectTable* table = CManager::GetInstance()->GetEffectTable();
  if (!table) return {};
  const auto found = table->find(tag);
  return found == table->end() ? std::vector<ParticleParams>{} : found->second;
}

}  // namespace

int PreviewPlayer::EmissionLength(const std::vector<ParticleParams>& definitions) {
  int length = 0;
  for (const ParticleParams& definition : definitions) {
    const EmissionParams& e = definition.Emission;
    if (e.Quantity <= 0 || e.Quantity > CParticleEmitter::kMaxQuantity) continue;
    const CommonParams* common = nullptr;
    if (e.ParticleType == Object_Billboard) common = &definition.Billboard;
    if (e.ParticleType == Object_Mesh) common = &definition.Mesh;
    if (!common || common->PopTime <= 0) continue;
    const long long last = static_cast<long long>(std::max(common->DelayStartTime, 0)) + common->PopTime;
    length = static_cast<int>(std::min<long long>(std::max<long long>(length, last), 1'000'000'000));
  }
  return length;
}

void PreviewPlayer::ClearEmissions() {
  for (int priority = 0; priority < CObject::OBJECT_PRIORITY_MAX; ++priority)
    for (CObject* object = CObject::Head(priority); object; object = object->Next())
      if (object->GetType() == CParticleEmitter::kType) static_cast<CParticleEmitter*>(object)->Uninit();
  CObject::PurgeDead();
}

// ---- the frame ----------------------------------------------------------------------------------

int PreviewPlayer::Advance(int due, PreviewControls& controls) {
  if (controls.SeedChanged) {
    ApplySeed(controls);
    controls.RestartAsked = true;
  }
  if (controls.RestartAsked) Restart();
  if (controls.EmitAsked) EmitNow();
  const bool sought = controls.SeekAsked.has_value();
  if (sought) Seek(*controls.SeekAsked);

  int steps = controls.StepsAsked;
  if (controls.Playing) {
    stepCredit_ += due * static_cast<double>(controls.Speed);
    steps = static_cast<int>(stepCredit_);
    stepCredit_ -= steps;
  } else {
    stepCredit_ = 0.0;
  }
  for (int step = 0; step < steps; ++step) Step();
  // Paused, an edit shows at once at the frame the user was looking at.
  if (DefinitionsChanged() && !controls.Playing && steps == 0 && !sought && hasEmission_) Seek(frame_);

  controls.StepsAsked = 0;
  controls.RestartAsked = controls.EmitAsked = controls.SeedChanged = false;
  controls.SeekAsked.reset();
  controls.HasEmission = hasEmission_;
  controls.Frame = frame_;
  controls.Length = length_;
  return steps;
}

void PreviewPlayer::ApplySeed(const PreviewControls& controls) {
  if (controls.Repeatable) {
    Shared().SeedRandom(controls.Seed);
  } else {
    Shared().range.SeedFromSystem();
  }
}

void PreviewPlayer::Restart() {
  ClearEmissions();
  Shared().emissionCounter = 0;
  EmitNow();
}

void PreviewPlayer::EmitNow() {
  if (CPointer* pointer = CManager::GetInstance()->GetPointer()) pointer->Emit();
  Follow();
}

void PreviewPlayer::Step() {
  CObject::UpdateAll();
  Follow();
}

// ---- the last emission --------------------------------------------------------------------------

void PreviewPlayer::Follow() {
  const CPointer* pointer = CManager::GetInstance()->GetPointer();
  if (pointer && pointer->GetEmissionCount() != seenEmissions_) {
    seenEmissions_ = pointer->GetEmissionCount();
    if (CParticleEmitter* emitter = pointer->GetLastEmitter()) {
      record_ = emitter->GetRecord();
      emitter_ = emitter->GetId();
      shown_ = DefinitionsOf(record_.tag);
      length_ = EmissionLength(shown_);
      frame_ = emitter->GetFrameCounter();
      hasEmission_ = true;
      return;
    }
  }
  if (!hasEmission_) return;
  if (const CParticleEmitter* emitter = Shared().emitters.Resolve(emitter_)) {
    frame_ = emitter->GetFrameCounter();
    length_ = std::max(length_, frame_);
  } else {
    // Ended: before its last particle was due, when one ended early (a sprite sheet that runs out).
    length_ = std::min(length_, frame_);
  }
}

void PreviewPlayer::Seek(int frame) {
  if (!hasEmission_) return;
  ClearEmissions();
  // An effect removed since its emission has nothing left to play (and an emitter of it would
  // put its tag back in the table).
  const EffectTable* table = CManager::GetInstance()->GetEffectTable();
  if (!table || !table->contains(record_.tag)) {
    hasEmission_ = false;
    frame_ = length_ = 0;
    return;
  }
  shown_ = DefinitionsOf(record_.tag);
  length_ = EmissionLength(shown_);
  frame = std::clamp(frame, 0, length_);
  Shared().replaying = true;
  emitter_ = CParticleEmitter::Replay(record_)->GetId();
  frame_ = 0;
  for (int step = 0; step < frame && Shared().emitters.Resolve(emitter_); ++step) {
    CObject::UpdateAll();
    Follow();
  }
  Shared().replaying = false;
}

bool PreviewPlayer::DefinitionsChanged() {
  if (!hasEmission_) return false;
  const EffectTable* table = CManager::GetInstance()->GetEffectTable();
  if (!table) return false;
  const auto found = table->find(record_.tag);
  const std::vector<ParticleParams> none;
  const std::vector<ParticleParams>& now = found == table->end() ? none : found->second;
  if (now == shown_) return false;
  shown_ = now;
  return true;
}
