// Reading the editor document: the text is walked once with the cursor, straight into the
// records by their field tables, and every refusal says where.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <vector>

#include "effectfile/editor_document.h"
#include "effectfile/editor_document_fields.h"
#include "effectfile/json_cursor.h"

namespace {

using editor_document::FieldProblem;
using editor_document::kDefinitionsKey;
using editor_document::kEffectsKey;
using editor_document::kFormatKey;
using editor_document::kVersionKey;
using fields::FindField;
using fields::IsRecord;
using fields::Record;
using Kind = JsonCursor::Kind;

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

// ---- the records ------------------------------------------------------------------------------

// Reads the text straight into the records, refusing what the document cannot hold.
class EditorDocumentReader {
 public:
  explicit EditorDocumentReader(std::string_view text) : in_(text) {}

  // Throws JsonReadError; a document not ours or too new is told as such, whatever else is
  // wrong with it.
  EditorDocument Read();

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

EditorDocument EditorDocumentReader::Read() {
  try {
    return ReadDocument();
  } catch (const FieldProblem& problem) {
    throw JsonReadError(problem.Offset(), problem.Message());
  }
}

}  // namespace

DocumentError ParseEditorDocument(std::string_view text, EditorDocument* document) {
  try {
    EditorDocument read = EditorDocumentReader(text).Read();
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
