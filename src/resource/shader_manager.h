#pragma once
// Compiles every effect of the shader catalog at start and keeps them, with the handles of
// the techniques and parameters the catalog names, under the catalog's labels. Drawing code
// asks by label and name and brackets its draws with Begin and End.

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gfx/device.h"
#include "resource/json_reader.h"

class CShaderManager {
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

 private:
  gfx::Device* device_;
  std::unordered_map<std::string, std::unique_ptr<gfx::Effect>> effects_;
  std::vector<D3DVERTEXELEMENT9> elements_;
  std::unique_ptr<gfx::VertexDeclaration> declaration_;
  std::unordered_map<std::string, D3DXHANDLE> techniques_;
  std::unordered_map<std::string, D3DXHANDLE> parameters_;
  std::string lastLabel_;
  gfx::Effect* lastEffect_ = nullptr;
};
