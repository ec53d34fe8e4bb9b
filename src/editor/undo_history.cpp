#include "editor/undo_history.h"

#include <algorithm>
#include <unordered_map>

namespace {

std::size_t StringBytes(const std::string& s) {
  return s.capacity() > 15 ? s.capacity() : 0;
}

// What an effect costs in memory, near enough to bound the history by.
std::size_t ApproximateBytes(const EditorEffect& effect) {
  std::size_t bytes = sizeof(EditorEffect) + StringBytes(effect.Tag) +
                      effect.Tracks.capacity() * sizeof(SoundTrack) +
                      effect.DefinitionUnknown.size() * sizeof(Json);
  for (const SoundTrack& track : effect.Tracks) bytes += StringBytes(track.TrackSound);
  for (const ParticleParams& p : effect.Definitions) {
    bytes += sizeof(ParticleParams) + p.Billboard.PlotPoints.capacity() * sizeof(PlotPoint) +
             p.Emission.SoundTracks.capacity() * sizeof(SoundTrack);
    for (const std::string* s : {&p.Billboard.TrailTexture, &p.Mesh.ModelTag, &p.Mesh.TextureTag,
                                 &p.Mesh.MaskTextureTag, &p.Emission.ModelTag, &p.Emission.DataTag,
                                 &p.Emission.TextureTag, &p.Emission.MaskTextureTag})
      bytes += StringBytes(*s);
  }
  return bytes;
}

}  // namespace

// ---- snapshots -----------------------------------------------------------------------------------

EditorSnapshot EditorSnapshot::Make(const std::vector<EditorEffect>& effects, int emissionInterval,
                                    const EditorSnapshot& base, std::uint64_t newId) {
  std::unordered_map<std::string_view, const std::shared_ptr<const EditorEffect>*> byTag;
  for (const auto& effect : base.Effects) byTag.emplace(effect->Tag, &effect);
  EditorSnapshot made;
  made.EmissionInterval = emissionInterval;
  made.Effects.reserve(effects.size());
  bool changed = emissionInterval != base.EmissionInterval || effects.size() != base.Effects.size();
  for (std::size_t i = 0; i < effects.size(); ++i) {
    const auto found = byTag.find(effects[i].Tag);
    if (found != byTag.end() && **found->second == effects[i]) {
      made.Effects.push_back(*found->second);
      changed = changed || *found->second != base.Effects[i];
    } else {
      made.Effects.push_back(std::make_shared<const EditorEffect>(effects[i]));
      changed = true;
    }
  }
  made.Id = changed ? newId : base.Id;
  return made;
}

std::size_t EditorSnapshot::BytesBeyond(const EditorSnapshot& other) const {
  std::size_t bytes = 0;
  for (const auto& effect : Effects)
    if (std::find(other.Effects.begin(), other.Effects.end(), effect) == other.Effects.end())
      bytes += ApproximateBytes(*effect);
  return bytes;
}

std::vector<EditorEffect> EditorSnapshot::CopyEffects() const {
  std::vector<EditorEffect> effects;
  effects.reserve(Effects.size());
  for (const auto& effect : Effects) effects.push_back(*effect);
  return effects;
}

// ---- the history ---------------------------------------------------------------------------------

void UndoHistory::Reset(const std::vector<EditorEffect>& effects, int emissionInterval) {
  states_.clear();
  Entry first;
  first.state = EditorSnapshot::Make(effects, emissionInterval, EditorSnapshot{}, nextId_++);
  first.bytes = first.state.BytesBeyond(EditorSnapshot{});
  bytes_ = first.bytes;
  states_.push_back(std::move(first));
  position_ = 0;
}

bool UndoHistory::Matches(const std::vector<EditorEffect>& effects, int emissionInterval) const {
  const EditorSnapshot& current = Current();
  if (current.EmissionInterval != emissionInterval || current.Effects.size() != effects.size()) return false;
  for (std::size_t i = 0; i < effects.size(); ++i)
    if (*current.Effects[i] != effects[i]) return false;
  return true;
}

bool UndoHistory::Record(const std::string& name, const std::vector<EditorEffect>& effects,
                         int emissionInterval) {
  if (Matches(effects, emissionInterval)) return false;
  // A change after undoing forgets what could have been redone.
  while (states_.size() > position_ + 1) {
    bytes_ -= states_.back().bytes;
    states_.pop_back();
  }
  Entry entry;
  entry.name = name;
  entry.state = EditorSnapshot::Make(effects, emissionInterval, Current(), nextId_++);
  entry.bytes = entry.state.BytesBeyond(Current());
  bytes_ += entry.bytes;
  states_.push_back(std::move(entry));
  position_ = states_.size() - 1;
  while (states_.size() > 1 && (StepCount() > kMaxSteps || bytes_ > kMaxBytes)) DropOldest();
  return true;
}

void UndoHistory::DropOldest() {
  Entry& next = states_[1];
  bytes_ -= states_.front().state.BytesBeyond(next.state);
  next.bytes = next.state.BytesBeyond(EditorSnapshot{});
  states_.pop_front();
  --position_;
}

std::string UndoHistory::UndoName() const {
  return states_[position_].name;
}

std::string UndoHistory::RedoName() const {
  return CanRedo() ? states_[position_ + 1].name : std::string();
}

const EditorSnapshot* UndoHistory::Undo() {
  if (!CanUndo()) return nullptr;
  return &states_[--position_].state;
}

const EditorSnapshot* UndoHistory::Redo() {
  if (!CanRedo()) return nullptr;
  return &states_[++position_].state;
}
