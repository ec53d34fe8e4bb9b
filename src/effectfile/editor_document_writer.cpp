// Writing the editor document: every field of every record by the field tables, in their
// order, then the unknown keys kept for the record, in byte order.

#include <algorithm>
#include <initializer_list>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "effectfile/editor_document.h"
#include "effectfile/editor_document_fields.h"
#include "effectfile/json_writer.h"

namespace {

using editor_document::FieldProblem;
using editor_document::kDefinitionsKey;
using editor_document::kEffectsKey;
using editor_document::kFormatKey;
using editor_document::kVersionKey;
using fields::IsRecord;
using fields::Record;
using Layout = JsonWriter::Layout;

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

template <typename T>
struct IsVector : std::false_type {};
template <typename T>
struct IsVector<std::vector<T>> : std::true_type {};

// A value that holds no keys of its own, so no unknown ones either.
template <typename T>
constexpr bool kIsLeaf = !IsRecord<T> && !IsVector<T>::value;

// Writes the records by their field tables, unknown keys after the known ones.
class EditorDocumentWriter {
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
      if (fields::FindField<R>(member.first) < Record<R>::kFields.size()) continue;
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

}  // namespace

std::string EditorDocumentText(const EditorDocument& document) {
  return EditorDocumentWriter().Text(document);
}
