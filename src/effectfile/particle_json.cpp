#include "effectfile/particle_json.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>

#include "effectfile/document_file.h"
#include "platform/message_sink.h"

namespace {

// The document keeps its keys in byte order whatever order they are added in.
using SortedJson = nlohmann::json;

// ---- writing ------------------------------------------------------------------------------

SortedJson Number(float value) { return static_cast<double>(value); }

SortedJson Vector(const D3DXVECTOR3& v) {
  return {{"X", Number(v.x)}, {"Y", Number(v.y)}, {"Z", Number(v.z)}};
}

SortedJson Colour(const D3DXCOLOR& c) {
  return {{"R", Number(c.r)}, {"G", Number(c.g)}, {"B", Number(c.b)}, {"A", Number(c.a)}};
}

// The fixed nested-array form: the type, then the bounce and air pairs.
SortedJson Physics(const PhysicsParams& p) {
  SortedJson type = SortedJson::array({"Type", p.PhysicsType});
  SortedJson bounce =
      SortedJson::array({"Bounce", SortedJson::array({"BounceFactor", Number(p.BounceFactor)}),
                         SortedJson::array({"Coefficient", Number(p.ElasticityCoefficient)})});
  SortedJson air = SortedJson::array({"Air", SortedJson::array({"VectorFactor", Number(p.VectorFactor)}),
                                      SortedJson::array({"Coefficient", Number(p.DragCoefficient)})});
  return SortedJson::array({type, bounce, air});
}

// The keys billboard and mesh sets share, from either record (the names are the same).
template <typename Record>
void WriteShared(const Record& r, const EmissionParams& e, SortedJson* o) {
  (*o)["ParticleType"] = e.ParticleType;
  (*o)["DelayStartTime"] = r.DelayStartTime;
  (*o)["CreateRange"] = Number(r.CreateRange);
  (*o)["Altitude"] = Number(r.Altitude);
  (*o)["PosOffset"] = Vector(r.PosOffset);
  (*o)["Velocity"] = Vector(r.Velocity);
  (*o)["VelocityAttenuation"] = Number(r.VelocityAttenuation);
  (*o)["Behavior"] = e.Behavior;
  (*o)["Scale"] = Vector(r.Scale);
  (*o)["Color"] = Colour(r.Color);
  (*o)["DestColor"] = Colour(r.DestColor);
  (*o)["ColorAttenuation"] = Number(r.ColorAttenuation);
  (*o)["Scaling"] = Vector(r.Scaling);
  (*o)["Weight"] = Number(r.Weight);
  (*o)["Radius"] = Number(e.Radius);
  (*o)["RotateAngle"] = Number(r.RotateAngle);
  (*o)["RotateRadius"] = Number(r.RotateRadius);
  (*o)["RandomRotateMax"] = Number(r.RandomRotateMax);
  (*o)["RandomRotateMin"] = Number(r.RandomRotateMin);
  (*o)["PopTime"] = r.PopTime;
  (*o)["Quantity"] = e.Quantity;
  (*o)["TextureTag"] = e.TextureTag;
  (*o)["Trail"] = r.Trail;
}

SortedJson BillboardObject(const ParticleParams& p) {
  const BillboardParams& b = p.Billboard;
  SortedJson o;
  WriteShared(b, p.Emission, &o);
  o["RandomMin"] = Number(b.RandomWeightMin);
  o["RandomMax"] = Number(b.RandomWeightMax);
  o["RandomCreate"] = b.RandomCreate;
  o["LockPosition"] = b.LockPosition;
  o["UseRandom"] = b.UseRandom;
  o["SeparateTrailColors"] = b.SeparateTrailColors;
  o["Physics"] = Physics(b.Physics);
  return o;
}

SortedJson MeshObject(const ParticleParams& p) {
  SortedJson o;
  WriteShared(p.Mesh, p.Emission, &o);
  o["CreateRandomPos"] = p.Mesh.CreateRandomPos;
  o["ModelTag"] = p.Emission.ModelTag;
  return o;
}

// A set of another type reads nothing but its type, so that is all it keeps: written so, it
// holds its place and reads back as it was.
SortedJson OtherObject(const ParticleParams& p) { return {{"ParticleType", p.Emission.ParticleType}}; }

// The key path of the first number in the value that JSON cannot hold (infinity, NaN: the
// library would write null, which reads back as 0 or not at all); false when there is none.
bool FindNonFinite(const SortedJson& value, std::string* path) {
  if (value.is_number_float()) return !std::isfinite(value.get<double>());
  if (value.is_object()) {
    for (const auto& [key, member] : value.items()) {
      if (!FindNonFinite(member, path)) continue;
      *path = key + (path->empty() || path->front() == '[' ? "" : ".") + *path;
      return true;
    }
  } else if (value.is_array()) {
    for (std::size_t i = 0; i < value.size(); ++i) {
      if (!FindNonFinite(value[i], path)) continue;
      // Not "[" + std::to_string(i): GCC 12 takes that for an overlapping copy (-Wrestrict).
      std::string index = std::to_string(i);
      index.insert(index.begin(), '[');
      index += ']';
      *path = index + *path;
      return true;
    }
  }
  return false;
}

// ---- the tolerant read ----------------------------------------------------------------------

const Json& Member(const Json& object, const char* key) {
  static const Json kNull;
  if (!object.is_object()) return kNull;
  const auto found = object.find(key);
  return found == object.end() ? kNull : *found;
}

// Null, or an object or array without elements: the field takes its type's default.
bool Absent(const Json& value) {
  return value.is_null() || ((value.is_object() || value.is_array()) && value.empty());
}

// Halfway between the largest float and the next power of two: what lies beyond rounds to
// infinity, which the writer could only store as null.
constexpr double kFloatLimit = (2.0 - 0x1p-24) * 0x1p127;

// Any number or boolean, narrowed to a float; a value beyond the float range is refused, like
// an integer beyond an int. Anything else raises type error 302.
float ToFloat(const Json& value, const char* key, const char* member = nullptr) {
  if (value.is_boolean()) return value.get<bool>() ? 1.0f : 0.0f;
  const double d = value.get<double>();
  if (!(std::fabs(d) < kFloatLimit))
    throw std::out_of_range(std::string("\"") + key + "\"" +
                            (member ? std::string(" \"") + member + "\"" : "") +
                            " is out of the range of a float");
  return static_cast<float>(d);
}

// Any number or boolean; a fraction is truncated toward zero. Null raises type error 302.
int WholeNumber(const Json& value, const char* key) {
  const auto outOfRange = [key] {
    return std::out_of_range(std::string("\"") + key + "\" is out of the range of a whole number");
  };
  if (value.is_number_unsigned()) {
    if (value.get<std::uint64_t>() > static_cast<std::uint64_t>(std::numeric_limits<int>::max()))
      throw outOfRange();
  } else if (value.is_number_integer()) {
    const std::int64_t i = value.get<std::int64_t>();
    if (i < std::numeric_limits<int>::min() || i > std::numeric_limits<int>::max()) throw outOfRange();
  } else if (value.is_number_float()) {
    const double d = value.get<double>();
    if (!(d > std::numeric_limits<int>::min() - 1.0 && d < std::numeric_limits<int>::max() + 1.0))
      throw outOfRange();
    return static_cast<int>(d);
  }
  return value.get<int>();
}

void Read(const Json& object, const char* key, int* field) {
  const Json& value = Member(object, key);
  *field = Absent(value) ? 0 : WholeNumber(value, key);
}

void Read(const Json& object, const char* key, float* field) {
  const Json& value = Member(object, key);
  *field = Absent(value) ? 0.0f : ToFloat(value, key);
}

void Read(const Json& object, const char* key, bool* field) {
  const Json& value = Member(object, key);
  *field = Absent(value) ? false : value.get<bool>();
}

void Read(const Json& object, const char* key, std::string* field) {
  const Json& value = Member(object, key);
  *field = Absent(value) ? "null" : value.get<std::string>();
}

void Read(const Json& object, const char* key, D3DXVECTOR3* field) {
  const Json& value = Member(object, key);
  if (Absent(value)) {
    *field = {};
    return;
  }
  field->z = ToFloat(Member(value, "Z"), key, "Z");
  field->y = ToFloat(Member(value, "Y"), key, "Y");
  field->x = ToFloat(Member(value, "X"), key, "X");
}

void Read(const Json& object, const char* key, D3DXCOLOR* field) {
  const Json& value = Member(object, key);
  if (Absent(value)) {
    *field = {1.0f, 1.0f, 1.0f, 1.0f};
    return;
  }
  field->a = ToFloat(Member(value, "A"), key, "A");
  field->b = ToFloat(Member(value, "B"), key, "B");
  field->g = ToFloat(Member(value, "G"), key, "G");
  field->r = ToFloat(Member(value, "R"), key, "R");
}

// The keys from "CreateRange" to "Quantity", read in the same order for both kinds of set.
template <typename Record>
void ReadShared(const Json& o, Record* r, EmissionParams* e) {
  Read(o, "CreateRange", &r->CreateRange);
  Read(o, "Altitude", &r->Altitude);
  Read(o, "PosOffset", &r->PosOffset);
  Read(o, "Velocity", &r->Velocity);
  Read(o, "VelocityAttenuation", &r->VelocityAttenuation);
  Read(o, "Behavior", &e->Behavior);
  Read(o, "Scale", &r->Scale);
  Read(o, "Color", &r->Color);
  Read(o, "DestColor", &r->DestColor);
  Read(o, "ColorAttenuation", &r->ColorAttenuation);
  Read(o, "Scaling", &r->Scaling);
  Read(o, "Weight", &r->Weight);
  Read(o, "Radius", &e->Radius);
  Read(o, "RotateAngle", &r->RotateAngle);
  Read(o, "RotateRadius", &r->RotateRadius);
  Read(o, "RandomRotateMax", &r->RandomRotateMax);
  Read(o, "RandomRotateMin", &r->RandomRotateMin);
  Read(o, "PopTime", &r->PopTime);
  Read(o, "Quantity", &e->Quantity);
}

void ReadBillboard(const Json& o, ParticleParams* p) {
  BillboardParams& b = p->Billboard;
  Read(o, "RandomMin", &b.RandomWeightMin);
  Read(o, "RandomMax", &b.RandomWeightMax);
  Read(o, "RandomCreate", &b.RandomCreate);
  Read(o, "LockPosition", &b.LockPosition);
  Read(o, "DelayStartTime", &b.DelayStartTime);
  Read(o, "UseRandom", &b.UseRandom);
  ReadShared(o, &b, &p->Emission);
  Read(o, "TextureTag", &p->Emission.TextureTag);
  Read(o, "Trail", &b.Trail);
}

void ReadMesh(const Json& o, ParticleParams* p) {
  MeshParams& m = p->Mesh;
  Read(o, "DelayStartTime", &m.DelayStartTime);
  Read(o, "CreateRandomPos", &m.CreateRandomPos);
  ReadShared(o, &m, &p->Emission);
  Read(o, "ModelTag", &p->Emission.ModelTag);
  Read(o, "TextureTag", &p->Emission.TextureTag);
  Read(o, "Trail", &m.Trail);
}

}  // namespace

// ---- document ---------------------------------------------------------------------------------

std::string ParticleJsonText(const EffectTable& effects) {
  if (effects.empty()) return SortedJson().dump() + "\n";
  // The document has one key, so it is written around its effects, each made and written
  // on its own: the whole table never stands in memory as one tree.
  std::string text = "{\"PARTICLE\":[";
  for (const auto& [tag, definitions] : effects) {
    SortedJson effect;
    effect["DataTag"] = tag;
    for (std::size_t i = 0; i < definitions.size(); ++i) {
      const ParticleParams& p = definitions[i];
      SortedJson object = p.Emission.ParticleType == Object_Billboard ? BillboardObject(p)
                          : p.Emission.ParticleType == Object_Mesh    ? MeshObject(p)
                                                                      : OtherObject(p);
      if (std::string path; FindNonFinite(object, &path)) {
        throw std::domain_error("effect \"" + tag + "\", definition " + std::to_string(i) + ": " + path +
                                " is infinite or not a number, which a JSON document cannot hold");
      }
      effect["Object"][i] = std::move(object);
    }
    if (text.back() != '[') text += ',';
    text += effect.dump();
  }
  return text + "]}\n";
}

bool SaveParticleJson(const EffectTable& effects, const std::string& fileName, const std::string& folder) {
  std::string error;
  try {
    if (WriteFileAtomically(folder + fileName, ParticleJsonText(effects), &error)) return true;
  } catch (const std::exception& e) {
    error = folder + fileName + ": " + e.what();
  }
  platform::ShowMessage(platform::kWarningCaption, "The effects were not saved. " + error);
  return false;
}

void MergeParticleJson(const Json& document, EffectTable* table) {
  if (document.is_null()) return;
  if (!document.is_object()) {
    Json probe = document;
    probe["PARTICLE"];  // raises the library's type error 305 for a document that is not an object
  }
  const Json& effects = Member(document, "PARTICLE");
  const std::size_t count = effects.is_null() ? 0 : effects.size();
  for (std::size_t i = 0; i < count; ++i) {
    const Json& effect = effects[i];  // a non-empty value that is not an array throws type error 305
    const Json& tag = Member(effect, "DataTag");
    if (Absent(tag)) continue;
    const std::string dataTag = tag.get<std::string>();
    const Json& objects = Member(effect, "Object");
    const std::size_t m = objects.is_null() ? 0 : objects.size();
    // A set is made once its object is there to read, never ahead of it.
    std::vector<ParticleParams> definitions;
    for (std::size_t j = 0; j < m; ++j) {
      const Json& object = objects[j];
      ParticleParams& p = definitions.emplace_back();
      p.Emission.DataTag = dataTag;
      p.Emission.ParticleType = WholeNumber(Member(object, "ParticleType"), "ParticleType");
      if (p.Emission.ParticleType == Object_Billboard) {
        ReadBillboard(object, &p);
      } else if (p.Emission.ParticleType == Object_Mesh) {
        ReadMesh(object, &p);
      }
    }
    table->insert({dataTag, std::move(definitions)});
  }
}

DocumentError LoadParticleJson(EffectTable* table, const std::string& path) {
  try {
    if (const auto text = ReadDocumentFile(path)) MergeParticleJson(ParseJson(*text), table);
    return std::nullopt;
  } catch (const std::exception& e) {
    return path + ": the effects could not be loaded: " + e.what();
  }
}
