#include "effectfile/export_losses.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <stdexcept>
#include <type_traits>

#include "effectfile/particle_fields.h"
#include "effectfile/particle_json.h"
#include "effectfile/particle_text.h"

namespace {

using fields::Record;

// Calls visit(path, same) for each field compared on its own: nested records are walked into,
// small value records and lists are compared whole. The path joins the keys with dots.
template <typename R, typename Visit>
void WalkFields(const R& a, const R& b, std::string* path, Visit& visit) {
  for (const auto& field : Record<R>::kFields) {
    const std::size_t length = path->size();
    if (!path->empty()) *path += '.';
    path->append(field.Key);
    std::visit(
        [&](auto member) {
          using T = std::remove_cvref_t<decltype(a.*member)>;
          if constexpr (fields::IsCompoundRecord<T>) {
            WalkFields(a.*member, b.*member, path, visit);
          } else {
            visit(*path, fields::Same(a.*member, b.*member));
          }
        },
        field.At);
    path->resize(length);
  }
}

template <typename R>
bool HasKey(std::string_view key) {
  const auto& table = Record<R>::kFields;
  return std::any_of(table.begin(), table.end(), [&](const auto& field) { return field.Key == key; });
}

// "Billboard.Physics.VectorFactor" as the notice names it: the billboard's fields by their
// keys, the others by their record too where an earlier record has the same key.
std::string ShownName(std::string_view path) {
  const std::size_t dot = path.find('.');
  const std::string_view group = path.substr(0, dot);
  const std::string_view rest = path.substr(dot + 1);
  const std::string_view key = rest.substr(0, rest.find('.'));
  bool clash = false;
  if (group == "Mesh") clash = HasKey<BillboardParams>(key);
  if (group == "Emission") clash = HasKey<BillboardParams>(key) || HasKey<MeshParams>(key);
  return std::string(clash ? path : rest);
}

struct Loss {
  std::string name;
  std::vector<int> definitions;  // indexes among all definitions, ascending
};

std::vector<Loss> FieldList() {
  std::vector<Loss> list;
  const ParticleParams none;
  std::string path;
  auto add = [&](const std::string& at, bool) { list.push_back({ShownName(at), {}}); };
  WalkFields(none, none, &path, add);
  return list;
}

EffectTable Reloaded(const EffectTable& table, DocumentFormat target) {
  EffectTable reloaded;
  switch (target) {
    case DocumentFormat::ParticleJson:
      MergeParticleJson(ParseJson(ParticleJsonText(table)), &reloaded);
      break;
    case DocumentFormat::ParticleText:
      MergeParticleText(ParticleText(table), &reloaded);
      break;
    case DocumentFormat::Editor: {
      EditorDocument document;
      if (DocumentError error =
              ParseEditorDocument(EditorDocumentText(EditorDocument::FromTable(table)), &document))
        throw std::runtime_error(*error);
      reloaded = document.Table();
      break;
    }
    case DocumentFormat::Unknown:
      throw std::invalid_argument("no format to export to");
  }
  return reloaded;
}

// "XMin" for "XMax" and the other way round; empty for any other name.
std::string Partner(const std::string& name) {
  if (name.ends_with("Min")) return name.substr(0, name.size() - 3) + "Max";
  if (name.ends_with("Max")) return name.substr(0, name.size() - 3) + "Min";
  return {};
}

// Whether a field's loss is worth telling: not the record of the kind the definition is not
// (a billboard's mesh settings), nor what the readers give every definition from the
// document's own structure (its effect's tag, its place in the list).
bool Counts(std::string_view path, std::string_view unplayed) {
  return !path.starts_with(unplayed) && path != "Emission.DataTag" && path != "Emission.Index";
}

}  // namespace

std::vector<LostField> FieldsLostBy(const EffectTable& table, DocumentFormat target) {
  const EffectTable reloaded = Reloaded(table, target);
  std::vector<Loss> losses = FieldList();
  int index = 0;
  for (const auto& [tag, definitions] : table) {
    const auto found = reloaded.find(tag);
    for (std::size_t i = 0; i < definitions.size(); ++i, ++index) {
      const bool back = found != reloaded.end() && i < found->second.size();
      std::size_t field = 0;
      std::string path;
      const char* unplayed = definitions[i].Emission.ParticleType == Object_Mesh ? "Billboard." : "Mesh.";
      auto compare = [&](const std::string& at, bool same) {
        if ((!back || !same) && Counts(at, unplayed)) losses[field].definitions.push_back(index);
        ++field;
      };
      WalkFields(definitions[i], back ? found->second[i] : definitions[i], &path, compare);
    }
  }

  std::map<std::string, std::size_t> lostByName;
  for (std::size_t i = 0; i < losses.size(); ++i)
    if (!losses[i].definitions.empty()) lostByName[losses[i].name] = i;
  std::vector<LostField> lost;
  for (std::size_t i = 0; i < losses.size(); ++i) {
    const Loss& loss = losses[i];
    if (loss.definitions.empty()) continue;
    const auto partner = lostByName.find(Partner(loss.name));
    if (partner == lostByName.end()) {
      lost.push_back({loss.name, static_cast<int>(loss.definitions.size())});
      continue;
    }
    if (partner->second < i) continue;  // told with its partner
    std::vector<int> either;
    const std::vector<int>& other = losses[partner->second].definitions;
    std::set_union(loss.definitions.begin(), loss.definitions.end(), other.begin(), other.end(),
                   std::back_inserter(either));
    lost.push_back({loss.name.substr(0, loss.name.size() - 3) + "Min/Max", static_cast<int>(either.size())});
  }
  return lost;
}

std::string LostFieldsNotice(std::string_view targetName, std::span<const LostField> lost) {
  if (lost.empty()) return {};
  std::string notice = std::string(targetName).append(" cannot hold ");
  // An effect the format cannot hold at all loses every field: the line names the first few.
  const std::size_t named = std::min(lost.size(), kNoticeFields);
  for (std::size_t i = 0; i < named; ++i) {
    if (i > 0) notice += ", ";
    notice.append(lost[i].Name).append(" (").append(std::to_string(lost[i].Definitions));
    if (i == 0) notice += lost[i].Definitions == 1 ? " definition" : " definitions";
    notice += ')';
  }
  if (named < lost.size())
    notice.append(" and ").append(std::to_string(lost.size() - named)).append(" more fields");
  return notice;
}

std::vector<std::string> DifferingFields(const ParticleParams& a, const ParticleParams& b) {
  std::vector<std::string> names;
  std::string path;
  auto note = [&](const std::string& at, bool same) {
    if (!same) names.push_back(ShownName(at));
  };
  WalkFields(a, b, &path, note);
  return names;
}
