// libFuzzer target: a resource catalog's text through the JSON reader, the catalog walk and
// each manager's reading of its entries (the part that needs no device).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/message_sink.h"
#include "resource/json_reader.h"
#include "resource/model_manager.h"
#include "resource/shader_manager.h"
#include "resource/texture_manager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // The problems are told to the user when the catalog is done: keep them off the terminal.
  platform::ScopedMessageRecorder messages;
  {
    CatalogProblems problems("fuzz.json");
    const auto textures = ParseCatalogEntries(text, "TEXTURE", &problems);
    if (CTextureManager::ReadCatalog(textures, &problems).size() > textures.size()) std::abort();
    const auto models = ParseCatalogEntries(text, "MODEL", &problems);
    if (CModelManager::ReadCatalog(models, &problems).size() > models.size()) std::abort();
    const auto shaders = ParseCatalogEntries(text, "SHADER", &problems);
    if (CShaderManager::ReadCatalog(shaders, &problems).size() > shaders.size()) std::abort();
  }
  return 0;
}
