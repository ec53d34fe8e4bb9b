#include "resource/shader_manager.h"

#include "platform/file_watcher.h"
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
  catalogPaths_.push_back(catalogPath);
  CatalogProblems problems(catalogPath);
  for (const CatalogEntry& entry : ReadCatalog(CatalogEntries(catalogPath, "SHADER", &problems), &problems)) {
    std::unique_ptr<gfx::Effect> effect = Compile(entry, Telling::kBox);
    // The first entry of a label wins; a later one is compiled and dropped.
    if (entries_.contains(entry.label)) continue;
    entries_.emplace(entry.label, entry);
    Install(entry, std::move(effect));
  }
}

std::unique_ptr<gfx::Effect> CShaderManager::Compile(const CatalogEntry& entry, Telling telling) {
  std::unique_ptr<gfx::Effect> effect;
  std::string errors;
  if (FAILED(device_->CreateEffectFromFile(entry.path, &effect, &errors))) TellProblem(telling, errors);
  return effect;
}

void CShaderManager::Install(const CatalogEntry& entry, std::unique_ptr<gfx::Effect> fresh) {
  lastLabel_.clear();
  std::unique_ptr<gfx::Effect>& kept = effects_[entry.label];
  if (fresh && kept && SUCCEEDED(kept->Replace(std::move(*fresh)))) fresh.reset();
  if (fresh) {
    if (kept) retired_.push_back(std::move(kept));
    kept = std::move(fresh);
  }
  gfx::Effect* effect = kept.get();
  for (const auto& name : entry.techniques)
    techniques_[entry.label + "_" + name] = effect ? effect->GetTechniqueByName(name.c_str()) : nullptr;
  for (const auto& name : entry.parameters)
    parameters_[entry.label + "_" + name] =
        effect ? effect->GetParameterByName(nullptr, name.c_str()) : nullptr;
}

void CShaderManager::ForgetHandles(const CatalogEntry& entry) {
  for (const auto& name : entry.techniques) techniques_.erase(entry.label + "_" + name);
  for (const auto& name : entry.parameters) parameters_.erase(entry.label + "_" + name);
}

// ---- reloading ---------------------------------------------------------------------------------

std::vector<std::string> CShaderManager::ResourceFiles() const {
  std::vector<std::string> files;
  for (const auto& [label, entry] : entries_) files.push_back(entry.path);
  return files;
}

bool CShaderManager::ReloadCatalogs() {
  std::vector<CatalogEntry> read;
  for (const std::string& path : catalogPaths_) {
    CatalogProblems problems(path, Telling::kNotice);
    const auto entries = CatalogEntriesAgain(path, "SHADER", &problems);
    if (!entries) return false;
    for (CatalogEntry& entry : ReadCatalog(*entries, &problems)) read.push_back(std::move(entry));
  }
  std::unordered_map<std::string, CatalogEntry> winners;
  for (CatalogEntry& entry : read) winners.try_emplace(entry.label, std::move(entry));

  lastLabel_.clear();
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (winners.contains(it->first)) {
      ++it;
      continue;
    }
    ForgetHandles(it->second);
    if (auto effect = effects_.find(it->first); effect != effects_.end()) {
      if (effect->second) retired_.push_back(std::move(effect->second));
      effects_.erase(effect);
    }
    it = entries_.erase(it);
  }
  for (auto& [label, entry] : winners) {
    const auto old = entries_.find(label);
    const bool same =
        old != entries_.end() && platform::WatchKey(old->second.path) == platform::WatchKey(entry.path) &&
        old->second.techniques == entry.techniques && old->second.parameters == entry.parameters;
    if (same) continue;
    if (old != entries_.end()) ForgetHandles(old->second);
    entries_.insert_or_assign(label, entry);
    Install(entry, Compile(entry, Telling::kNotice));
  }
  return true;
}

bool CShaderManager::ReloadFile(const std::string& key) {
  bool used = false;
  for (const auto& [label, entry] : entries_) {
    if (platform::WatchKey(entry.path) != key) continue;
    used = true;
    // A file that no longer compiles leaves the label its last good effect.
    if (auto fresh = Compile(entry, Telling::kNotice)) Install(entry, std::move(fresh));
  }
  return used;
}

gfx::Effect* CShaderManager::GetEffect(const std::string& label) {
  // Every particle asks for the same label three times a draw: remember the last answer.
  // Whatever changes the effects forgets it.
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
  retired_.clear();
  entries_.clear();
  techniques_.clear();
  parameters_.clear();
  elements_.clear();
  declaration_.reset();
}
