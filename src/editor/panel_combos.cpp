#include "editor/panel_combos.h"

#include "app/manager.h"
#include "ui/widgets.h"
#include "resource/model_manager.h"
#include "resource/texture_manager.h"

std::vector<std::string> TextureNames() {
  std::vector<std::string> names;
  if (CTextureManager* textures = CManager::GetInstance()->GetTextureManager())
    for (const auto& [label, path] : textures->GetCatalog())
      if (label.find("ICON") == std::string::npos) names.push_back(label);
  return names;
}

std::vector<std::string> ModelNames() {
  std::vector<std::string> names;
  if (CModelManager* models = CManager::GetInstance()->GetModelManager())
    for (const auto& [tag, model] : models->GetMap()) names.push_back(tag);
  return names;
}

void SyncedCombo(int& selection, int& field, std::span<const char* const> labels, const char* label) {
  selection = field;
  ComboList(selection, std::vector<std::string>(labels.begin(), labels.end()), label,
            [&] { field = selection; });
}

void NameCombo(int& selection, std::string& field, const std::vector<std::string>& names, const char* label) {
  for (int i = 0; i < static_cast<int>(names.size()); ++i)
    if (names[i] == field) selection = i;
  ComboList(selection, names, label, [&] { field = names[selection]; });
}
