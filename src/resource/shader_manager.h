#pragma once
// Compiles every effect of the shader catalog at start and keeps them, with the handles of
// the techniques and parameters the catalog names, under the catalog's labels. Drawing code
// asks by label and name and brackets its draws with Begin and End. While the program runs, an
// effect whose file changes is compiled again into the same effect object, its handles kept.

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gfx/device.h"
#include "resource/json_reader.h"
#include "resource/watched_resources.h"

class CShaderManager : public WatchedResources {
 public:
  static constexpr const char* kCatalogPath = "Data/FILE/shader.json";

  // Builds the shared vertex declaration on the device.
  explicit CShaderManager(gfx::Device* device);

  void Load(const std::string& catalogPath = kCatalogPath);
  struct CatalogEntry {
    std::size_t index;  // in the catalog, for messages
    std::string label;
    std::string path;
    std::vector<std::string> techniques;  // "Technique0", "Technique1", ... in index order
    std::vector<std::string> parameters;  // "Parameter0", ...
  };
  // The catalog's well-formed entries in file order; the others are told to problems. Needs no device.
  static std::vector<CatalogEntry> ReadCatalog(const std::vector<Json>& entries, CatalogProblems* problems);
  // Null for a label without an effect; an unknown label is remembered with none.
  gfx::Effect* GetEffect(const std::string& label);
  // Handles under label + "_" + name; null when unknown.
  D3DXHANDLE GetTechnique(const std::string& label, const std::string& name);
  D3DXHANDLE GetParameter(const std::string& label, const std::string& name);
  gfx::VertexDeclaration* GetDeclaration() const { return declaration_.get(); }
  // Starts pass 0 of the label's effect, when there is one.
  void Begin(const std::string& label);
  // Ends the pass; the fixed-function pipeline is back afterwards in every case.
  void End(const std::string& label);
  void Uninit();

  std::vector<std::string> CatalogFiles() const override { return catalogPaths_; }
  std::vector<std::string> ResourceFiles() const override;
  // Labels added are compiled; labels removed are unknown from then on (their effect lives on
  // for whoever holds its handles); a label pointed at another file or given other names is
  // compiled again into the same effect.
  bool ReloadCatalogs() override;
  bool ReloadFile(const std::string& key) override;

 private:
  // Compiles the entry's file; null, having told why, when it does not compile.
  std::unique_ptr<gfx::Effect> Compile(const CatalogEntry& entry, Telling telling);
  // Puts a freshly compiled effect in the label's place (into its effect when it has one) and
  // hands out the handles of the names the entry lists.
  void Install(const CatalogEntry& entry, std::unique_ptr<gfx::Effect> fresh);
  void ForgetHandles(const CatalogEntry& entry);

  gfx::Device* device_;
  std::vector<std::string> catalogPaths_;
  std::unordered_map<std::string, CatalogEntry> entries_;  // the entry each label was loaded from
  // Effects of labels the catalog no longer lists: handles into them may still be held.
  std::vector<std::unique_ptr<gfx::Effect>> retired_;
  std::unordered_map<std::string, std::unique_ptr<gfx::Effect>> effects_;
  std::vector<D3DVERTEXELEMENT9> elements_;
  std::unique_ptr<gfx::VertexDeclaration> declaration_;
  std::unordered_map<std::string, D3DXHANDLE> techniques_;
  std::unordered_map<std::string, D3DXHANDLE> parameters_;
  std::string lastLabel_;
  gfx::Effect* lastEffect_ = nullptr;
};
