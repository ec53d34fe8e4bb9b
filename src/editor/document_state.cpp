// The editor's state as a document: made from the panels' effects and put back into them, the
// undo history that records it after every change, and the autosave that keeps it safe.

#include <imgui.h>

#include <algorithm>
#include <filesystem>

#include "app/manager.h"
#include "editor/change_name.h"
#include "editor/editor.h"

namespace {

// Whether the user did anything this frame that a widget could have turned into a change.
bool InputThisFrame() {
  if (!ImGui::GetCurrentContext()) return false;
  const ImGuiIO& io = ImGui::GetIO();
  if (io.InputQueueCharacters.Size > 0) return true;
  for (int button = 0; button < ImGuiMouseButton_COUNT; ++button)
    if (io.MouseDown[button] || io.MouseReleased[button]) return true;
  // A key down now, or down last frame (released since).
  for (int key = 0; key < IM_ARRAYSIZE(io.KeysDown); ++key)
    if (io.KeysDown[key] || io.KeysDownDurationPrev[key] >= 0.0f) return true;
  return false;
}

// The frames after an input in which its change may still appear (a panel shown the next frame).
constexpr int kInputFrames = 2;

}  // namespace

// ---- the document -------------------------------------------------------------------------------

std::vector<EditorEffect> CEditor::EffectsInOrder() const {
  std::vector<EditorEffect> effects;
  effects.reserve(Tags.size());
  auto add = [&](const std::string& tag) {
    if (std::any_of(effects.begin(), effects.end(), [&](const EditorEffect& e) { return e.Tag == tag; }))
      return;
    EditorEffect& effect = effects.emplace_back();
    effect.Tag = tag;
    if (const auto it = Effects.find(tag); it != Effects.end()) effect.Definitions = it->second;
    if (const auto it = Sound.TrackLists.find(tag); it != Sound.TrackLists.end()) effect.Tracks = it->second;
    if (const auto it = unknownByTag_.find(tag); it != unknownByTag_.end()) {
      effect.Unknown = it->second.effect;
      effect.DefinitionUnknown = it->second.definitions;
    }
  };
  for (const std::string& tag : Tags) add(tag);
  for (const auto& [tag, list] : Effects) add(tag);
  return effects;
}

EditorDocument CEditor::MakeDocument() const {
  EditorDocument document;
  document.Effects = EffectsInOrder();
  document.EmissionInterval = EmissionInterval;
  if (TagIndex >= 0 && TagIndex < static_cast<int>(Tags.size())) document.SelectedTag = Tags[TagIndex];
  document.SelectedIndex = ItemIndex;
  document.ElementType = Curve.ElementTypeIndex;
  document.PlotChannel = Curve.PlotChannel;
  document.Unknown = unknownTop_;
  return document;
}

void CEditor::ClearEffects() {
  Effects.clear();
  Tags.clear();
  Sound.TrackLists.clear();
  unknownByTag_.clear();
}

void CEditor::AddEffect(const EditorEffect& effect) {
  // A tag repeated in a document keeps its first effect, as the effect table does.
  if (Effects.count(effect.Tag)) return;
  Tags.push_back(effect.Tag);
  Effects[effect.Tag] = effect.Definitions;
  if (!effect.Tracks.empty()) Sound.TrackLists[effect.Tag] = effect.Tracks;
  unknownByTag_[effect.Tag] = {effect.Unknown, effect.DefinitionUnknown};
}

void CEditor::ApplyDocument(const EditorDocument& document) {
  ClearEffects();
  for (const EditorEffect& effect : document.Effects) AddEffect(effect);
  EmissionInterval = std::clamp(document.EmissionInterval, kMinEmissionInterval, kMaxEmissionInterval);
  unknownTop_ = document.Unknown;
  Curve.ElementTypeIndex = std::clamp(document.ElementType, 0, 2);
  Curve.PlotChannel = std::clamp(document.PlotChannel, 0, CurveEditorState::kChannels - 1);
  const auto selected = std::find(Tags.begin(), Tags.end(), document.SelectedTag);
  TagIndex =
      selected != Tags.end() ? static_cast<int>(selected - Tags.begin()) : static_cast<int>(Tags.size()) - 1;
  CurrentTag = TagIndex >= 0 ? Tags[TagIndex] : std::string();
  ItemIndex = document.SelectedIndex;
  if (EffectTable* table = CManager::GetInstance()->GetEffectTable()) *table = Effects;
  AfterEffectsReplaced();
}

void CEditor::AfterEffectsReplaced() {
  if (Tags.empty()) {
    TagIndex = -1;
  } else {
    TagIndex = std::clamp(TagIndex, 0, static_cast<int>(Tags.size()) - 1);
  }
  if (!Effects.count(CurrentTag)) CurrentTag = TagIndex >= 0 ? Tags[TagIndex] : std::string();
  KeepItemIndexInside();
  // The curve editor shows the definition's points afresh.
  for (auto& series : Curve.PlotSeries) series.clear();
  Curve.PlotCursors = {};
  if (TagIndex >= 0)
    if (EffectTable* table = CManager::GetInstance()->GetEffectTable())
      (*table)[Tags[TagIndex]] = Effects[Tags[TagIndex]];
}

std::string CEditor::DocumentTitle() const {
  const std::string name =
      documentPath_.empty() ? "untitled" : std::filesystem::path(documentPath_).filename().string();
  return IsDirty() ? name + " *" : name;
}

// ---- history --------------------------------------------------------------------------------------

void CEditor::NoteChange(std::string name) {
  pendingChangeName_ = std::move(name);
}

void CEditor::TrackChanges() {
  if (InputThisFrame()) inputFrames_ = kInputFrames;
  if (pendingChangeName_.empty() && inputFrames_ == 0) return;
  // A drag or a typed value is one step, recorded once it is let go.
  if (ImGui::GetCurrentContext() && ImGui::IsAnyItemActive()) return;
  if (inputFrames_ > 0) --inputFrames_;
  CommitPending();
}

void CEditor::KeepDocumentSafe() {
  if (quitFrames_ > 0 && --quitFrames_ == 0) quitDecided_ = true;
  TrackChanges();
  // Once the user chose to quit, what they left unsaved stays so.
  if (autosave_ && quitFrames_ == 0 && !quitDecided_)
    autosave_->Update(history_.Current().Id, IsDirty(), documentPath_, [this] { return MakeDocument(); });
}

void CEditor::RestoreSnapshot(const EditorSnapshot& snapshot) {
  const std::string selected =
      TagIndex >= 0 && TagIndex < static_cast<int>(Tags.size()) ? Tags[TagIndex] : "";
  ClearEffects();
  for (const auto& effect : snapshot.Effects) AddEffect(*effect);
  EmissionInterval = snapshot.EmissionInterval;
  // The selection stays on its effect while that effect is there.
  if (const auto it = std::find(Tags.begin(), Tags.end(), selected); it != Tags.end())
    TagIndex = static_cast<int>(it - Tags.begin());
  AfterEffectsReplaced();
}

void CEditor::CommitPending() {
  const std::vector<EditorEffect> effects = EffectsInOrder();
  if (!history_.Matches(effects, EmissionInterval))
    history_.Record(pendingChangeName_.empty() ? ChangeName(history_.Current(), effects, EmissionInterval)
                                               : pendingChangeName_,
                    effects, EmissionInterval);
  pendingChangeName_.clear();
}

void CEditor::Undo() {
  // A change not yet recorded (a value still held) becomes a step first, so it is what goes.
  CommitPending();
  if (const EditorSnapshot* state = history_.Undo()) RestoreSnapshot(*state);
}

void CEditor::Redo() {
  if (!history_.Matches(EffectsInOrder(), EmissionInterval)) return;
  if (const EditorSnapshot* state = history_.Redo()) RestoreSnapshot(*state);
}

void CEditor::ResetHistory(bool saved) {
  history_.Reset(EffectsInOrder(), EmissionInterval);
  savedStateId_ = saved ? history_.Current().Id : 0;
  pendingChangeName_.clear();
}

void CEditor::MarkSaved() {
  CommitPending();
  savedStateId_ = history_.Current().Id;
}
