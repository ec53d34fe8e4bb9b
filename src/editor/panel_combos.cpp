#include "editor/panel_combos.h"

#include <imgui.h>

#include <cstdio>

#include "app/manager.h"
#include "platform/gfx/mesh.h"
#include "ui/item_log.h"
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

void NameCombo(int& selection, std::string& field, const std::vector<std::string>& names, const char* label,
               const EntryDecoration& decoration) {
  for (int i = 0; i < static_cast<int>(names.size()); ++i)
    if (names[i] == field) selection = i;
  ComboList(selection, names, label, [&] { field = names[selection]; }, {}, decoration);
}

void TextureCombo(int& selection, std::string& field, const char* label) {
  constexpr float kThumbnail = 32.0f, kLarge = 128.0f;
  CTextureManager* textures = CManager::GetInstance()->GetTextureManager();
  const std::vector<std::string> names = TextureNames();
  // Textures load on the editor window's device only once the list opens.
  const auto thumbnail = [&](int i) {
    Thumbnail(textures ? textures->GetTexture(true, names[i]) : nullptr, names[i], kThumbnail, kLarge);
  };
  NameCombo(selection, field, names, label, EntryDecoration{thumbnail, kThumbnail, {}});
}

void ModelCombo(int& selection, std::string& field) {
  CModelManager* models = CManager::GetInstance()->GetModelManager();
  const std::vector<std::string> names = ModelNames();
  const auto counts = [&](int i) {
    const ModelInfo model = models ? models->GetModel(names[i]) : ModelInfo{};
    if (!model.Mesh) return;
    char text[64];
    std::snprintf(text, sizeof text, "%lu vertices, %lu faces",
                  static_cast<unsigned long>(model.Mesh->GetNumVertices()),
                  static_cast<unsigned long>(model.Mesh->GetNumFaces()));
    ImGui::TextDisabled("%s", text);
    ui::LogLastItem(names[i] + " counts", "Text", text);
  };
  NameCombo(selection, field, names, "Model", EntryDecoration{{}, 0.0f, counts});
}
