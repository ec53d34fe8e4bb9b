#include "editor/change_name.h"

#include <algorithm>

#include "effectfile/export_losses.h"

namespace {

// The field the user touched ("Scale"); a row that sets two fields at once ("Distortion" sets
// DistortionMax and DistortionMin) is named after the first.
std::string DefinitionChange(const ParticleParams& before, const ParticleParams& after) {
  const std::vector<std::string> fields = DifferingFields(before, after);
  return fields.empty() ? std::string("Edit") : fields.front();
}

std::string EffectChange(const EditorEffect& before, const EditorEffect& after) {
  if (after.Definitions.size() > before.Definitions.size()) return "Add Definition";
  if (after.Definitions.size() < before.Definitions.size()) return "Remove Definition";
  if (before.Tracks != after.Tracks) return "Sound Tracks";
  for (std::size_t i = 0; i < after.Definitions.size(); ++i)
    if (before.Definitions[i] != after.Definitions[i])
      return DefinitionChange(before.Definitions[i], after.Definitions[i]);
  return "Edit";
}

}  // namespace

std::string ChangeName(const EditorSnapshot& before, const std::vector<EditorEffect>& after,
                       int emissionInterval) {
  if (after.size() > before.Effects.size()) return "Add Effect";
  if (after.size() < before.Effects.size()) return "Remove Effect";
  for (std::size_t i = 0; i < after.size(); ++i) {
    const EditorEffect& was = *before.Effects[i];
    if (was.Tag != after[i].Tag) {
      const bool renamed = std::none_of(before.Effects.begin(), before.Effects.end(),
                                        [&](const auto& e) { return e->Tag == after[i].Tag; });
      return renamed ? "Rename Effect" : "Reorder Effects";
    }
    if (was != after[i]) return EffectChange(was, after[i]);
  }
  if (emissionInterval != before.EmissionInterval) return "Emission Interval";
  return "Edit";
}
