#include "resource/shader_manager.h"

#include "platform/message_sink.h"
#include "resource/json_reader.h"

CShaderManager::CShaderManager(gfx::Device* device) : device_(device) {
  elements_ = {
      {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
      {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
      {0, 24, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
      {0, 28, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
      D3DDECL_END(),
  };
  declaration_ = device_->CreateVertexDeclaration(elements_);
}

namespace {

// The names listed under "Technique0", "Technique1", ... (or "Parameter..."), in index order.
std::vector<std::string> Names(const Json& entry, const std::string& key) {
  std::vector<std::string> names;
  const auto found = entry.find(key);
  if (found == entry.end() || found->is_null()) return names;
  for (std::size_t k = 0; k < found->size(); ++k)
    names.push_back(found->at(key + std::to_string(k)).get<std::string>());
  return names;
}

}  // namespace

std::vector<CShaderManager::CatalogEntry> CShaderManager::ReadCatalog(const std::vector<Json>& entries,
                                                                      CatalogProblems* problems) {
  std::vector<CatalogEntry> shaders;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Json& entry = entries[i];
    try {
      shaders.push_back({i, entry.at("Label").get<std::string>(), entry.at("Path").get<std::string>(),
                         Names(entry, "Technique"), Names(entry, "Parameter")});
    } catch (const std::exception& e) {
      problems->Entry(i, e.what());
    }
  }
  return shaders;
}

void CShaderManager::Load(const std::string& catalogPath) {
  CatalogProblems problems(catalogPath);
  for (const auto& [i, label, path, techniques, parameters] :
       ReadCatalog(CatalogEntries(catalogPath, "SHADER", &problems), &problems)) {
    std::unique_ptr<gfx::Effect> effect;
    std::string errors;
    if (FAILED(device_->CreateEffectFromFile(path, &effect, &errors)))
      platform::ShowMessage(platform::kWarningCaption, errors);
    gfx::Effect* kept = effect.get();
    // The first entry of a label wins; a later one is compiled and dropped.
    if (!effects_.try_emplace(label, std::move(effect)).second) kept = effects_[label].get();
    for (const auto& name : techniques)
      techniques_.try_emplace(label + "_" + name, kept ? kept->GetTechniqueByName(name.c_str()) : nullptr);
    for (const auto& name : parameters)
      parameters_.try_emplace(label + "_" + name,
                              kept ? kept->GetParameterByName(nullptr, name.c_str()) : nullptr);
  }
}

gfx::Effect* CShaderManager::GetEffect(const std::string& label) {
  // Every particle asks for the same label three times a draw: remember the last answer.
  // Entries are never removed before Uninit, so the remembered effect stays valid.
  if (!lastLabel_.empty() && label == lastLabel_) return lastEffect_;
  lastEffect_ = effects_[label].get();
  lastLabel_ = label;
  return lastEffect_;
}

D3DXHANDLE CShaderManager::GetTechnique(const std::string& label, const std::string& name) {
  return techniques_[label + "_" + name];
}

D3DXHANDLE CShaderManager::GetParameter(const std::string& label, const std::string& name) {
  return parameters_[label + "_" + name];
}

void CShaderManager::Begin(const std::string& label) {
  gfx::Effect* effect = GetEffect(label);
  if (!effect) return;
  effect->Begin(nullptr, 0);
  effect->BeginPass(0);
}

void CShaderManager::End(const std::string& label) {
  if (gfx::Effect* effect = GetEffect(label)) {
    effect->EndPass();
    effect->End();
  }
  device_->SetVertexShader(nullptr);
  device_->SetPixelShader(nullptr);
}

void CShaderManager::Uninit() {
  lastLabel_.clear();
  lastEffect_ = nullptr;
  effects_.clear();
  techniques_.clear();
  parameters_.clear();
  elements_.clear();
  declaration_.reset();
}
