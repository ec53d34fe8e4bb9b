#include "effectfile/editor_document.h"

#include <algorithm>
#include <optional>

#include "effectfile/editor_document_fields.h"
#include "effectfile/json_cursor.h"
#include "effectfile/particle_json.h"
#include "effectfile/particle_text.h"

namespace {

// The first key of a JSON object's text, read without reading the rest; nothing for text that
// does not start as an object with a key.
std::optional<std::string> FirstKey(std::string_view bytes) {
  try {
    JsonCursor in(bytes);
    if (in.Peek() != JsonCursor::Kind::kObject) return std::nullopt;
    in.BeginObject();
    std::string_view key;
    if (in.NextKey(&key)) return std::string(key);
  } catch (const JsonReadError&) {
  }
  return std::nullopt;
}

bool IsParticleJson(std::string_view bytes) {
  try {
    const Json document = ParseJson(bytes);
    return document.is_null() || (document.is_object() && document.contains("PARTICLE"));
  } catch (const std::exception&) {
    return false;
  }
}

bool IsParticleText(std::string_view bytes) {
  try {
    EffectTable scratch;
    MergeParticleText(bytes, &scratch);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

// ---- the document -----------------------------------------------------------------------------

EffectTable EditorDocument::Table() const {
  EffectTable table;
  for (const EditorEffect& effect : Effects) table.emplace(effect.Tag, effect.Definitions);
  return table;
}

EditorDocument EditorDocument::FromTable(const EffectTable& table) {
  EditorDocument document;
  for (const auto& [tag, definitions] : table) {
    EditorEffect& effect = document.Effects.emplace_back();
    effect.Tag = tag;
    effect.Definitions = definitions;
  }
  return document;
}

bool SameDocument(const EditorDocument& a, const EditorDocument& b) {
  const auto sameEffect = [](const EditorEffect& x, const EditorEffect& y) {
    return x.Tag == y.Tag && x.Tracks == y.Tracks && x.Unknown == y.Unknown &&
           x.DefinitionUnknown == y.DefinitionUnknown && fields::Same(x.Definitions, y.Definitions);
  };
  return fields::Same(a, b) && a.Unknown == b.Unknown &&
         std::equal(a.Effects.begin(), a.Effects.end(), b.Effects.begin(), b.Effects.end(), sameEffect);
}

DocumentError LoadEditorDocument(const std::string& path, EditorDocument* document) {
  std::optional<std::string> text;
  try {
    text = ReadDocumentFile(path);
  } catch (const std::exception& e) {
    return path + ": " + e.what();
  }
  if (!text) return path + ": there is no such file";
  if (DocumentError error = ParseEditorDocument(*text, document)) return path + ": " + *error;
  return std::nullopt;
}

bool SaveEditorDocument(const EditorDocument& document, const std::string& path, std::string* error) {
  std::string text;
  try {
    text = EditorDocumentText(document);
  } catch (const std::exception& e) {
    if (error) *error = path + ": " + e.what();
    return false;
  }
  return WriteFileAtomically(path, text, error);
}

DocumentFormat DetectDocumentFormat(std::string_view bytes) {
  const std::optional<std::string> first = FirstKey(bytes);
  if (first == editor_document::kFormatKey) return DocumentFormat::Editor;
  // particle.json has that one key; a damaged one is still told apart, so its reader can say
  // what is wrong with it.
  if (first == "PARTICLE" || IsParticleJson(bytes)) return DocumentFormat::ParticleJson;
  if (IsParticleText(bytes)) return DocumentFormat::ParticleText;
  return DocumentFormat::Unknown;
}
