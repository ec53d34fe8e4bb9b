#pragma once
// What an export to a runtime format loses: each field whose value does not come back when the
// effects are saved in that format and loaded again, with the number of definitions it is lost
// in, so that the editor can say so before the user relies on the file.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "effect/effect_table.h"
#include "effectfile/editor_document.h"

struct LostField {
  std::string Name;
  int Definitions = 0;
  bool operator==(const LostField&) const = default;
};

// Saves the table in the target format in memory, loads that into an empty table and compares
// every field of every definition (particle_fields.h), in the tables' order: the billboard's
// fields by their keys, the mesh's and the emission's too unless an earlier record has the key
// ("Mesh.PopTime", "Emission.Physics.DragCoefficient"); a physics record's fields one by one
// ("Physics.VectorFactor"), vectors, colours and lists whole. A billboard definition's mesh
// record and a mesh definition's billboard record are not counted (they do not play), nor the
// effect's tag and the definition's index that every reader sets from the document's structure. A field
// "XMin" lost beside its "XMax" makes one entry "XMin/Max", counting the definitions that lose either. A
// definition that does not come back at all (its effect's tag cannot be held) loses every field. Throws what
// the export throws for what the format cannot be written with (an infinity or NaN in particle.json, a string
// that is not UTF-8), std::invalid_argument for DocumentFormat::Unknown.
std::vector<LostField> FieldsLostBy(const EffectTable& table, DocumentFormat target);

// The fields a notice names at most; the rest are counted ("and 97 more fields").
inline constexpr std::size_t kNoticeFields = 12;

// "particle.json cannot hold RandomVelocityMin/Max (2 definitions), TrailWidth (1)"; empty when
// nothing is lost.
std::string LostFieldsNotice(std::string_view targetName, std::span<const LostField> lost);

// The fields whose values differ between the two definitions, named as the notice names them,
// in the tables' order.
std::vector<std::string> DifferingFields(const ParticleParams& a, const ParticleParams& b);
