#include "effectfile/document_conversion.h"

#include <exception>

#include "effectfile/export_losses.h"
#include "effectfile/particle_json.h"
#include "effectfile/particle_text.h"

namespace {

struct TargetName {
  std::string_view name;
  DocumentFormat format;
};
constexpr TargetName kTargetNames[] = {
    {"editor", DocumentFormat::Editor},
    {"json", DocumentFormat::ParticleJson},
    {"text", DocumentFormat::ParticleText},
};

}  // namespace

DocumentError ReadAnyDocument(const std::string& path, EditorDocument* document) {
  std::optional<std::string> bytes;
  try {
    bytes = ReadDocumentFile(path);
  } catch (const std::exception& e) {
    return path + ": " + e.what();
  }
  if (!bytes) return path + ": there is no such file";
  EffectTable table;
  try {
    switch (DetectDocumentFormat(*bytes)) {
      case DocumentFormat::Editor:
        if (DocumentError error = ParseEditorDocument(*bytes, document)) return path + ": " + *error;
        return std::nullopt;
      case DocumentFormat::ParticleJson:
        MergeParticleJson(ParseJson(*bytes), &table);
        break;
      case DocumentFormat::ParticleText:
        MergeParticleText(*bytes, &table);
        break;
      case DocumentFormat::Unknown:
        return path +
               " is no effect document: neither an editor document (a JSON object whose first key is "
               "\"Format\"), nor particle JSON, nor particle text";
    }
  } catch (const std::exception& e) {
    return path + ": the effects could not be read: " + e.what();
  }
  *document = EditorDocument::FromTable(table);
  return std::nullopt;
}

std::optional<DocumentFormat> ConversionTargetNamed(std::string_view name) {
  for (const TargetName& target : kTargetNames)
    if (target.name == name) return target.format;
  return std::nullopt;
}

DocumentFormat ConversionTargetOf(std::string_view outputPath) {
  return outputPath.ends_with(".txt") ? DocumentFormat::ParticleText : DocumentFormat::Editor;
}

std::string_view FormatName(DocumentFormat format) {
  switch (format) {
    case DocumentFormat::Editor:
      return "the editor document";
    case DocumentFormat::ParticleJson:
      return "particle.json";
    case DocumentFormat::ParticleText:
      return "particle.txt";
    case DocumentFormat::Unknown:
      break;
  }
  return "no known format";
}

int ConvertDocument(const std::string& input, const std::string& output, DocumentFormat target,
                    std::ostream& messages) {
  const auto fail = [&](const std::string& why) {
    messages << "particle-editor: " << why << "; nothing was written\n";
    return 1;
  };
  if (target == DocumentFormat::Unknown) return fail("no format to convert " + input + " to");
  EditorDocument document;
  if (DocumentError error = ReadAnyDocument(input, &document)) return fail(*error);

  std::string bytes;
  try {
    if (target == DocumentFormat::Editor) {
      bytes = EditorDocumentText(document);
    } else {
      const EffectTable table = document.Table();
      bytes = target == DocumentFormat::ParticleJson ? ParticleJsonText(table) : ParticleText(table);
      const std::vector<LostField> lost = FieldsLostBy(table, target);
      if (!lost.empty()) messages << LostFieldsNotice(FormatName(target), lost) << "\n";
    }
  } catch (const std::exception& e) {
    return fail(output + " cannot be written as " + std::string(FormatName(target)) + ": " + e.what());
  }
  std::string error;
  if (!WriteFileAtomically(output, bytes, &error)) return fail(error);
  return 0;
}
