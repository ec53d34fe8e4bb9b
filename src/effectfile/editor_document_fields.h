#pragma once
// What the editor document's reader and writer share: the records of its own settings, the keys
// they handle by hand, and the refusal of a value with its key path.

#include <string>
#include <string_view>
#include <utility>

#include "effectfile/editor_document.h"
#include "effectfile/particle_fields.h"

// The document's own settings and an effect's, around the definitions: records like the
// particle ones, so the same walk reads and writes them. The lists of effects and of
// definitions are handled by hand, their unknown keys being kept apart.
template <>
struct fields::Record<EditorDocument> {
  static constexpr bool kValue = false;
  static constexpr std::array<Field<EditorDocument>, 5> kFields{{
      {"EmissionInterval", &EditorDocument::EmissionInterval},
      {"SelectedTag", &EditorDocument::SelectedTag},
      {"SelectedIndex", &EditorDocument::SelectedIndex},
      {"ElementType", &EditorDocument::ElementType},
      {"PlotChannel", &EditorDocument::PlotChannel},
  }};
};

template <>
struct fields::Record<EditorEffect> {
  static constexpr bool kValue = false;
  static constexpr std::array<Field<EditorEffect>, 2> kFields{{
      {"Tag", &EditorEffect::Tag},
      {"Tracks", &EditorEffect::Tracks},
  }};
};

namespace editor_document {

constexpr std::string_view kFormatKey = "Format";
constexpr std::string_view kVersionKey = "Version";
constexpr std::string_view kEffectsKey = "Effects";
constexpr std::string_view kDefinitionsKey = "Definitions";

// A value the document cannot take, its key path built as the refusal travels out through the
// records: "Effects[2].Definitions[0].Billboard.PopTime must be ...".
class FieldProblem {
 public:
  FieldProblem(std::size_t offset, std::string problem) : offset_(offset), problem_(std::move(problem)) {}

  void Within(std::string_view key) { Prefix(std::string(key)); }
  void Within(std::size_t index) { Prefix(std::string("[").append(std::to_string(index)).append("]")); }
  std::size_t Offset() const { return offset_; }
  std::string Message() const { return path_ + problem_; }

 private:
  void Prefix(std::string part) {
    if (!path_.empty() && path_.front() != '[') part += '.';
    path_ = part.append(path_);
  }
  std::size_t offset_;
  std::string path_;
  std::string problem_;
};

}  // namespace editor_document
