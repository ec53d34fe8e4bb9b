// libFuzzer target: the effect-file parser on arbitrary text.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "platform/gfx/effect_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string error;
  const auto source = gfx::EffectSource::Parse(text, "fuzz.effect", &error);
  if (!source) {
    if (error.empty()) std::abort();  // a refusal always says why
    return 0;
  }
  // What both back ends rely on: every technique has both stages, and parameters are named
  // once each with a sane length.
  if (source->techniques.empty()) std::abort();
  for (const auto& technique : source->techniques)
    if (technique.name.empty() || technique.vertex.code.empty() || technique.fragment.code.empty())
      std::abort();
  std::set<std::string> names;
  for (const auto& parameter : source->parameters)
    if (parameter.name.empty() || !names.insert(parameter.name).second || parameter.count < 1 ||
        parameter.count > 4096)
      std::abort();
  return 0;
}
