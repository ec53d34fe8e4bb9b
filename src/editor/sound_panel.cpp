// The "Sounds" window: preview a sound of the catalog, and build the selected effect's
// sound tracks (a sound and the emitter frame from which it may play).

#include <imgui.h>

#include <algorithm>

#include "app/manager.h"
#include "editor/editor.h"
#include "ui/item_log.h"
#include "ui/ui_items.h"
#include "resource/sound_manager.h"

namespace {

// The name at the index, or nothing when the index lies outside the list.
std::string NameAt(const std::vector<std::string>& names, int index) {
  return index >= 0 && index < static_cast<int>(names.size()) ? names[index] : std::string();
}

// The name's position in the list, or -1.
int IndexOf(const std::vector<std::string>& names, const std::string& name) {
  const auto it = std::find(names.begin(), names.end(), name);
  return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

}  // namespace

void CEditor::ShowSoundPanel(EmissionParams& e) {
  CSoundManager* sounds = CManager::GetInstance()->GetSoundManager();
  std::vector<std::string> names;
  if (sounds)
    for (const auto& [tag, entry] : sounds->GetCatalog()) names.push_back(tag);
  std::vector<SoundTrack>& list = Sound.TrackLists[Tags[TagIndex]];

  if (sounds && !sounds->HasOutput()) {
    ImGui::TextDisabled("(no sound output)");
    ui::LogLastItem("(no sound output)");
  }
  ComboList(Sound.SoundIndex, names, "Sound");

  // One track is added or removed per change, whatever the change's size; the count is
  // shared by all tags, so lowering it under a tag without tracks removes nothing.
  const int oldCount = Sound.TrackCount;
  // The list reaches the definition only when the user changes it: looking changes nothing.
  bool changed = false;
  if (ui::InputInt("Tracks", &Sound.TrackCount, 1, 100)) {
    changed = true;
    if (Sound.TrackCount < 0) Sound.TrackCount = 0;
    if (Sound.TrackCount > oldCount) {
      Sound.NewTrack.Start = 0;
      Sound.NewTrack.TrackSound = NameAt(names, Sound.SoundIndex);
      list.push_back(Sound.NewTrack);
    } else if (Sound.TrackCount < oldCount && !list.empty()) {
      list.pop_back();
    }
  }

  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::string label = "Track" + std::to_string(i + 1);
    if (!ui::TreeNode(label.c_str())) continue;
    SoundTrack& track = list[i];
    // A sound the catalog lacks shows by name, with nothing selected.
    int choice = IndexOf(names, track.TrackSound);
    ComboList(
        choice, names, "TrackSound",
        [&] {
          track.TrackSound = NameAt(names, choice);
          changed = true;
        },
        track.TrackSound);
    changed |= ui::DragInt("Start", &track.Start, 1.0f, 0, 0, "%d");
    ImGui::TreePop();
  }

  const std::string chosen = NameAt(names, Sound.SoundIndex);
  if (ui::Button("Play") && sounds) sounds->Play(chosen);
  if (sounds) sounds->UpdateLoop(chosen);

  if (changed && !list.empty()) e.SoundTracks = list;
}
