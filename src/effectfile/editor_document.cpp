#include "effectfile/editor_document.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <type_traits>

#include "effectfile/json_cursor.h"
#include "effectfile/json_writer.h"
#include "effectfile/particle_fields.h"
#include "effectfile/particle_json.h"
#include "effectfile/particle_text.h"

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

namespace {

using fields::IsRecord;
using fields::Record;
using Kind = JsonCursor::Kind;
using Layout = JsonWriter::Layout;

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

// Refusals of the document as a whole (not ours, too new), preferred over any other message.
class HeaderProblem : public JsonReadError {
 public:
  using JsonReadError::JsonReadError;
};

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kNull:
      return "null";
    case Kind::kBool:
      return "true or false";
    case Kind::kNumber:
      return "a number";
    case Kind::kString:
      return "a string";
    case Kind::kArray:
      return "a list";
    case Kind::kObject:
      return "an object";
  }
  return "a value";
}

template <typename T>
struct IsVector : std::false_type {};
template <typename T>
struct IsVector<std::vector<T>> : std::true_type {};

// A value that holds no keys of its own, so no unknown ones either.
template <typename T>
constexpr bool kIsLeaf = !IsRecord<T> && !IsVector<T>::value;

template <typename R>
std::size_t FindField(std::string_view key, std::size_t guess) {
  const auto& table = Record<R>::kFields;
  // Documents written by this program hold the keys in the table's order.
  if (guess < table.size() && table[guess].Key == key) return guess;
  for (std::size_t i = 0; i < table.size(); ++i)
    if (table[i].Key == key) return i;
  return table.size();
}

template <typename R>
bool IsFieldKey(std::string_view key) {
  return FindField<R>(key, 0) < Record<R>::kFields.size();
}

// ---- the header: what document this is ----------------------------------------------------

void ReadFormat(JsonCursor& in) {
  const Kind kind = in.Peek();
  const std::size_t at = in.Offset();
  if (kind != Kind::kString)
    throw HeaderProblem(at, "not an editor document: its \"Format\" is not a string");
  const std::string_view format = in.ReadString();
  if (format != kEditorDocumentFormat)
    throw HeaderProblem(at, std::string("not an editor document: its \"Format\" is \"")
                                .append(format)
                                .append("\", not \"")
                                .append(kEditorDocumentFormat)
                                .append("\""));
}

void ReadVersion(JsonCursor& in) {
  const Kind kind = in.Peek();
  const std::size_t at = in.Offset();
  if (kind != Kind::kNumber) throw HeaderProblem(at, "\"Version\" must be a whole number");
  const JsonCursor::Number number = in.ReadNumber();
  long long version = 0;
  const bool read =
      number.whole &&
      std::from_chars(number.text.data(), number.text.data() + number.text.size(), version).ec == std::errc();
  if (!number.whole) throw HeaderProblem(at, "\"Version\" must be a whole number");
  if (!read || version > kEditorDocumentVersion)
    throw HeaderProblem(at, std::string("written by version ")
                                .append(number.text)
                                .append(" of the editor document; this editor reads version ")
                                .append(std::to_string(kEditorDocumentVersion)));
  if (version < 1)
    throw HeaderProblem(
        at, std::string("\"Version\" ").append(number.text).append(" is no version of the editor document"));
}

// On a failure, what a look at the top level alone says: a document that is not ours or is
// too new is told as such, wherever its "Format" and "Version" stand.
std::optional<HeaderProblem> HeaderProblemOf(std::string_view text) {
  try {
    JsonCursor in(text);
    if (in.Peek() != Kind::kObject) return std::nullopt;
    in.BeginObject();
    std::string_view key;
    while (in.NextKey(&key)) {
      if (key == kFormatKey) {
        ReadFormat(in);
      } else if (key == kVersionKey) {
        ReadVersion(in);
      } else {
        in.ReadValue();
      }
    }
  } catch (const HeaderProblem& problem) {
    return problem;
  } catch (const JsonReadError&) {
  }
  return std::nullopt;
}

// ---- reading ----------------------------------------------------------------------------------

class DocumentReader {
 public:
  explicit DocumentReader(std::string_view text) : in_(text) {}

  EditorDocument Read() {
    try {
      return ReadDocument();
    } catch (const FieldProblem& problem) {
      throw JsonReadError(problem.Offset(), problem.Message());
    }
  }

 private:
  // The value is read first, so that text that is not JSON at all is told as such.
  [[noreturn]] void WrongType(Kind found, const char* expected) {
    const std::size_t at = in_.Offset();
    in_.ReadValue();
    throw FieldProblem(at,
                       std::string(" must be ").append(expected).append(", not ").append(KindName(found)));
  }

  void Read(bool* value, Json*) {
    if (const Kind kind = in_.Peek(); kind != Kind::kBool) WrongType(kind, "true or false");
    *value = in_.ReadBool();
  }

  void Read(int* value, Json*) {
    if (const Kind kind = in_.Peek(); kind != Kind::kNumber) WrongType(kind, "a whole number");
    const std::size_t at = in_.Offset();
    const JsonCursor::Number number = in_.ReadNumber();
    const char* end = number.text.data() + number.text.size();
    if (number.whole && std::from_chars(number.text.data(), end, *value).ec == std::errc()) return;
    const std::string text(number.text);
    if (!number.whole) throw FieldProblem(at, " must be a whole number, not " + text);
    throw FieldProblem(at, " is " + text + ", beyond the range of a whole number (" +
                               std::to_string(std::numeric_limits<int>::min()) + " to " +
                               std::to_string(std::numeric_limits<int>::max()) + ")");
  }

  void Read(float* value, Json*) {
    const Kind kind = in_.Peek();
    const std::size_t at = in_.Offset();
    if (kind == Kind::kString) {
      const std::string_view name = in_.ReadString();
      if (name == "Infinity") {
        *value = std::numeric_limits<float>::infinity();
      } else if (name == "-Infinity") {
        *value = -std::numeric_limits<float>::infinity();
      } else if (name == "NaN") {
        *value = std::numeric_limits<float>::quiet_NaN();
      } else {
        throw FieldProblem(at,
                           " must be a number, \"Infinity\", \"-Infinity\" or \"NaN\", not another string");
      }
      return;
    }
    if (kind != Kind::kNumber) WrongType(kind, "a number");
    const JsonCursor::Number number = in_.ReadNumber();
    const std::optional<float> nearest = NearestFloat(number.text);
    if (!nearest)
      throw FieldProblem(at, std::string(" is ").append(number.text).append(", beyond the range of a float"));
    *value = *nearest;
  }

  void Read(std::string* value, Json*) {
    if (const Kind kind = in_.Peek(); kind != Kind::kString) WrongType(kind, "a string");
    value->assign(in_.ReadString());
  }

  template <std::size_t N>
  void Read(std::array<float, N>* values, Json*) {
    const std::string expected = "a list of " + std::to_string(N) + " numbers";
    if (const Kind kind = in_.Peek(); kind != Kind::kArray) WrongType(kind, expected.c_str());
    const std::size_t at = in_.Offset();
    in_.BeginArray();
    std::size_t count = 0;
    for (; in_.NextElement(); ++count) {
      if (count == N) throw FieldProblem(at, " must be " + expected + ", not more");
      try {
        Read(&(*values)[count], nullptr);
      } catch (FieldProblem& problem) {
        problem.Within(count);
        throw;
      }
    }
    if (count != N) throw FieldProblem(at, " must be " + expected + ", not " + std::to_string(count));
  }

  template <typename R>
    requires IsRecord<R>
  void Read(R* record, Json* unknown) {
    ReadRecord(record, unknown, [](std::string_view) { return false; });
  }

  // A list's unknown keys are a list of its elements' (an empty object for an element without
  // any), up to the last element that has some.
  template <typename T>
  void Read(std::vector<T>* list, Json* unknown) {
    if (const Kind kind = in_.Peek(); kind != Kind::kArray) WrongType(kind, "a list");
    in_.BeginArray();
    Json::array_t unknowns;
    while (in_.NextElement()) {
      T& element = list->emplace_back();
      Json elementUnknown;
      try {
        Read(&element, &elementUnknown);
      } catch (FieldProblem& problem) {
        problem.Within(list->size() - 1);
        throw;
      }
      if (elementUnknown.is_null()) continue;
      unknowns.resize(list->size() - 1, Json::object());
      unknowns.push_back(std::move(elementUnknown));
    }
    if (!unknowns.empty()) *unknown = Json(std::move(unknowns));
  }

  // The record's fields by their keys; `special` reads the keys the caller handles itself and
  // says whether it took the key. Keys known neither way are kept in *unknown, with the
  // unknown keys of nested records and lists under their own key, in the order they are
  // written whatever the order read; *unknown is left alone when there are none.
  template <typename R, typename Special>
  void ReadRecord(R* record, Json* unknown, Special special) {
    const auto& table = Record<R>::kFields;
    static_assert(table.size() <= 64, "a record's keys seen are kept in 64 bits");
    if (const Kind kind = in_.Peek(); kind != Kind::kObject) WrongType(kind, "an object");
    in_.BeginObject();
    std::uint64_t seen = 0;
    std::size_t guess = 0;
    std::vector<std::pair<std::size_t, Json>> nested;  // by field index
    std::vector<JsonCursor::Member> others;
    std::string_view key;
    while (in_.NextKey(&key)) {
      const std::size_t index = FindField<R>(key, guess);
      if (index == table.size()) {
        const std::size_t at = in_.KeyOffset();
        if (special(key)) continue;
        JsonCursor::Member& member = others.emplace_back(JsonCursor::Member{std::string(key), Json(), at});
        member.value = in_.ReadValue();
        continue;
      }
      const auto& field = table[index];
      Json fieldUnknown;
      try {
        if (seen & (std::uint64_t{1} << index))
          throw FieldProblem(in_.KeyOffset(), " appears twice in its object");
        seen |= std::uint64_t{1} << index;
        guess = index + 1;
        fields::Visit(field, *record, [&](auto& value) { Read(&value, &fieldUnknown); });
      } catch (FieldProblem& problem) {
        problem.Within(field.Key);
        throw;
      }
      if (!fieldUnknown.is_null()) nested.emplace_back(index, std::move(fieldUnknown));
    }
    if (nested.empty() && others.empty()) return;
    std::sort(nested.begin(), nested.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    Json::object_t kept;
    for (auto& [index, value] : nested) kept.emplace_back(std::string(table[index].Key), std::move(value));
    for (auto& member : in_.Sorted(std::move(others)))
      kept.emplace_back(member.first, std::move(member.second));
    *unknown = Json(std::move(kept));
  }

  // Marks a key the caller handles as seen; a second one is refused.
  void Once(bool* seen, std::string_view key) {
    if (*seen) {
      FieldProblem problem(in_.KeyOffset(), " appears twice in its object");
      problem.Within(key);
      throw problem;
    }
    *seen = true;
  }

  template <typename ReadElement>
  void ReadList(std::string_view key, ReadElement readElement) {
    try {
      if (const Kind kind = in_.Peek(); kind != Kind::kArray) WrongType(kind, "a list");
      in_.BeginArray();
      for (std::size_t i = 0; in_.NextElement(); ++i) {
        try {
          readElement(i);
        } catch (FieldProblem& problem) {
          problem.Within(i);
          throw;
        }
      }
    } catch (FieldProblem& problem) {
      problem.Within(key);
      throw;
    }
  }

  void ReadDefinitions(EditorEffect* effect) {
    ReadList(kDefinitionsKey, [&](std::size_t i) {
      Json unknown;
      Read(&effect->Definitions.emplace_back(), &unknown);
      if (unknown.is_null()) return;
      effect->DefinitionUnknown.resize(i, Json::object());
      effect->DefinitionUnknown.push_back(std::move(unknown));
    });
  }

  void ReadEffects(std::vector<EditorEffect>* effects) {
    ReadList(kEffectsKey, [&](std::size_t) {
      EditorEffect& effect = effects->emplace_back();
      bool definitions = false;
      ReadRecord(&effect, &effect.Unknown, [&](std::string_view key) {
        if (key != kDefinitionsKey) return false;
        Once(&definitions, key);
        ReadDefinitions(&effect);
        return true;
      });
    });
  }

  EditorDocument ReadDocument() {
    if (in_.Peek() != Kind::kObject)
      throw HeaderProblem(in_.Offset(), "not an editor document: not a JSON object");
    EditorDocument document;
    bool format = false, version = false, effects = false;
    ReadRecord(&document, &document.Unknown, [&](std::string_view key) {
      if (key == kFormatKey) {
        Once(&format, key);
        ReadFormat(in_);
      } else if (key == kVersionKey) {
        Once(&version, key);
        ReadVersion(in_);
      } else if (key == kEffectsKey) {
        Once(&effects, key);
        ReadEffects(&document.Effects);
      } else {
        return false;
      }
      return true;
    });
    in_.Finish();
    if (!format) throw HeaderProblem(0, "not an editor document: it has no \"Format\"");
    if (!version) throw HeaderProblem(0, "the editor document has no \"Version\"");
    return document;
  }

  JsonCursor in_;
};

// ---- writing ----------------------------------------------------------------------------------

// The unknown keys kept for a key of a record, or nothing.
const Json* UnknownOf(const Json* unknown, std::string_view key) {
  if (!unknown || !unknown->is_object()) return nullptr;
  const auto found = unknown->find(key);
  return found == unknown->end() ? nullptr : &*found;
}

const Json* UnknownOf(const Json* unknown, std::size_t index) {
  if (!unknown || !unknown->is_array() || index >= unknown->size()) return nullptr;
  return &(*unknown)[index];
}

class DocumentWriter {
 public:
  std::string Text(const EditorDocument& document) {
    try {
      out_.BeginObject();
      out_.Key(kFormatKey);
      out_.String(kEditorDocumentFormat);
      out_.Key(kVersionKey);
      out_.Int(kEditorDocumentVersion);
      WriteFields(document, &document.Unknown);
      WriteList(kEffectsKey, document.Effects,
                [&](const EditorEffect& effect, std::size_t) { WriteEffect(effect); });
      WriteUnknown<EditorDocument>(&document.Unknown, {kFormatKey, kVersionKey, kEffectsKey});
      out_.EndObject();
    } catch (const FieldProblem& problem) {
      throw std::invalid_argument(problem.Message());
    }
    return out_.Take();
  }

 private:
  void Write(bool value, const Json*) { out_.Bool(value); }
  void Write(int value, const Json*) { out_.Int(value); }
  void Write(float value, const Json*) { out_.Float(value); }
  void Write(const std::string& value, const Json*) { out_.String(value); }

  template <std::size_t N>
  void Write(const std::array<float, N>& values, const Json*) {
    out_.BeginArray(Layout::kLine);
    for (const float value : values) out_.Float(value);
    out_.EndArray();
  }

  template <typename R>
    requires IsRecord<R>
  void Write(const R& record, const Json* unknown) {
    out_.BeginObject(Record<R>::kValue ? Layout::kLine : Layout::kBlock);
    WriteFields(record, unknown);
    WriteUnknown<R>(unknown, {});
    out_.EndObject();
  }

  template <typename T>
  void Write(const std::vector<T>& list, const Json* unknown) {
    out_.BeginArray();
    for (std::size_t i = 0; i < list.size(); ++i) {
      try {
        Write(list[i], UnknownOf(unknown, i));
      } catch (FieldProblem& problem) {
        problem.Within(i);
        throw;
      }
    }
    out_.EndArray();
  }

  template <typename R>
  void WriteFields(const R& record, const Json* unknown) {
    for (const auto& field : Record<R>::kFields) {
      try {
        out_.Key(field.Key);
        fields::Visit(field, record, [&](const auto& value) {
          using T = std::remove_cvref_t<decltype(value)>;
          Write(value, kIsLeaf<T> ? nullptr : UnknownOf(unknown, field.Key));
        });
      } catch (const NotUtf8& e) {
        FieldProblem problem(0, std::string(" ").append(e.what()));
        problem.Within(field.Key);
        throw problem;
      } catch (FieldProblem& problem) {
        problem.Within(field.Key);
        throw;
      }
    }
  }

  // The unknown keys in byte order, after the known ones; keys the record knows (whose entries
  // hold the unknown keys of their values) and those the caller writes are not among them.
  template <typename R>
  void WriteUnknown(const Json* unknown, std::initializer_list<std::string_view> special) {
    if (!unknown || !unknown->is_object() || unknown->empty()) return;
    std::vector<const Json::object_t::value_type*> members;
    for (const auto& member : unknown->get_ref<const Json::object_t&>()) {
      if (IsFieldKey<R>(member.first)) continue;
      if (std::find(special.begin(), special.end(), member.first) != special.end()) continue;
      members.push_back(&member);
    }
    std::sort(members.begin(), members.end(),
              [](const auto* a, const auto* b) { return a->first < b->first; });
    for (const auto* member : members) {
      try {
        out_.Key(member->first);
        out_.Value(member->second);
      } catch (const std::invalid_argument& e) {
        FieldProblem problem(0, std::string(" ").append(e.what()));
        problem.Within(member->first);
        throw problem;
      }
    }
  }

  template <typename T, typename WriteElement>
  void WriteList(std::string_view key, const std::vector<T>& list, WriteElement writeElement) {
    out_.Key(key);
    out_.BeginArray();
    for (std::size_t i = 0; i < list.size(); ++i) {
      try {
        writeElement(list[i], i);
      } catch (FieldProblem& problem) {
        problem.Within(i);
        problem.Within(key);
        throw;
      }
    }
    out_.EndArray();
  }

  void WriteEffect(const EditorEffect& effect) {
    out_.BeginObject();
    WriteFields(effect, &effect.Unknown);
    WriteList(kDefinitionsKey, effect.Definitions, [&](const ParticleParams& definition, std::size_t i) {
      Write(definition, i < effect.DefinitionUnknown.size() ? &effect.DefinitionUnknown[i] : nullptr);
    });
    WriteUnknown<EditorEffect>(&effect.Unknown, {kDefinitionsKey});
    out_.EndObject();
  }

  JsonWriter out_;
};

// The first key of a JSON object's text, read without reading the rest; nothing for text that
// does not start as an object with a key.
std::optional<std::string> FirstKey(std::string_view bytes) {
  try {
    JsonCursor in(bytes);
    if (in.Peek() != Kind::kObject) return std::nullopt;
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

std::string EditorDocumentText(const EditorDocument& document) { return DocumentWriter().Text(document); }

DocumentError ParseEditorDocument(std::string_view text, EditorDocument* document) {
  try {
    EditorDocument read = DocumentReader(text).Read();
    *document = std::move(read);
    return std::nullopt;
  } catch (const JsonReadError& error) {
    const std::optional<HeaderProblem> header = HeaderProblemOf(text);
    const JsonReadError& told = header ? *header : error;
    return LineAndColumn(text, told.Offset()) + ": " + told.what();
  } catch (const std::exception& e) {
    return std::string(e.what());
  }
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
  if (first == kFormatKey) return DocumentFormat::Editor;
  // particle.json has that one key; a damaged one is still told apart, so its reader can say
  // what is wrong with it.
  if (first == "PARTICLE" || IsParticleJson(bytes)) return DocumentFormat::ParticleJson;
  if (IsParticleText(bytes)) return DocumentFormat::ParticleText;
  return DocumentFormat::Unknown;
}
