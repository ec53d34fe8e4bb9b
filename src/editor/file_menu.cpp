// The "File" menu of the main window and the loads it shares with the command line.

#include <imgui.h>

#include <algorithm>
#include <filesystem>

#include "app/manager.h"
#include "editor/editor.h"
#include "ui/ui_items.h"
#include "effectfile/backup.h"
#include "effectfile/document_file.h"
#include "effectfile/particle_json.h"
#include "effectfile/particle_text.h"
#include "platform/message_sink.h"

void CEditor::ShowFileMenu() {
  if (!ImGui::BeginMenuBar()) return;
  if (ui::BeginMenu("File")) {
    // Only the entry chosen runs; the later ones are not drawn in that frame.
    if (ui::MenuItem("SaveText")) {
      BackupDataFile("particle.txt");
      SaveParticleText(Effects);
    } else if (ui::MenuItem("LoadText")) {
      LoadText(std::string(kDataFolder) + "particle.txt");
    } else if (ui::MenuItem("SaveJson")) {
      SaveParticleJson(Effects, "particle.json");
    } else if (ui::MenuItem("LoadJson")) {
      LoadJson(std::string(kDataFolder) + "particle.json");
    }
    ImGui::EndMenu();
  }
  ImGui::EndMenuBar();
}

bool CEditor::LoadText(const std::string& path) { return LoadDocument(path, LoadParticleText); }

bool CEditor::LoadJson(const std::string& path) { return LoadDocument(path, LoadParticleJson); }

// Each format merges by its own rule (JSON keeps the effects the editor has, text replaces
// the ones it names); both commit alike.
bool CEditor::LoadDocument(const std::string& path, DocumentError (*load)(EffectTable*, const std::string&)) {
  EffectTable* table = CManager::GetInstance()->GetEffectTable();
  if (!table) return false;
  // A document that fails half way must leave the effects as they were: merge into a copy.
  EffectTable loaded = *table;
  if (const DocumentError error = load(&loaded, path)) {
    platform::ShowMessage(platform::kWarningCaption, *error);
    documentFailed_ = true;
    return false;
  }
  *table = std::move(loaded);
  Effects = *table;
  RefreshTags();
  return true;
}

bool CEditor::OpenDocument(const std::string& path) {
  std::error_code error;
  std::string refusal;
  if (!std::filesystem::is_regular_file(path, error)) {
    refusal = "The effect document " + path + " cannot be opened: no such file.";
  } else {
    const std::string extension = std::filesystem::path(path).extension().string();
    if (extension == ".json") return LoadJson(path);
    if (extension == ".txt") return LoadText(path);
    refusal = "The file " + path + " is not an effect document: open a .json or a .txt document.";
  }
  platform::ShowMessage(platform::kWarningCaption, refusal);
  documentFailed_ = true;
  return false;
}

void CEditor::RefreshTags() {
  for (const auto& [tag, list] : Effects)
    if (std::find(Tags.begin(), Tags.end(), tag) == Tags.end()) Tags.push_back(tag);
  TagIndex = static_cast<int>(Tags.size()) - 1;
  CurrentTag = Tags.empty() ? std::string() : Tags[TagIndex];
  ItemIndex = 0;
}
