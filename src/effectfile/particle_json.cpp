#include "effectfile/particle_json.h"

#include <cmath>
#include <limits>
#include <stdexcept>

#include "effectfile/document_file.h"
#include "platform/message_sink.h"

namespace {

// The document keeps its keys in byte order whatever order they are added in.
using SortedJson = nlohmann::json;

// ---- writing ------------------------------------------------------------------------------

SortedJson Number(float value) { return static_cast<double>(value); }

SortedJson Vector(const D3DXVECTOR3& v) { return {{"X", Number(v.x)}, {"Y", Number(v.y)}, {"Z", Number(v.z)}}; }

SortedJson Colour(const D3DXCOLOR& c) {
  return {{"R", Number(c.r)}, {"G", Number(c.g)}, {"B", Number(c.b)}, {"A", Number(c.a)}};
}

// The fixed nested-array form: the type, then the bounce and air pairs.
SortedJson Physics(const PhysicsParams& p) {
  SortedJson type = SortedJson::array({"Type", p.PhysicsType});
  SortedJson bounce = SortedJson::array({"Bounce", SortedJson::array({"BounceFactor", Number(p.BounceFactor)}),
                                         SortedJson::array({"Coefficient", Number(p.ElasticityCoefficient)})});
  SortedJson air = SortedJson::array({"Air", SortedJson::array({"VectorFactor", Number(p.VectorFactor)}),
                                      SortedJson::array({"Coefficient", Number(p.DragCoefficient)})});
  return SortedJson::array({type, bounce, air});
}

SortedJson BillboardObject(const ParticleParams& p) {
  const BillboardParams& b = p.Billboard;
  const EmissionParams& e = p.Emission;
  SortedJson o;
  o["ParticleType"] = e.ParticleType;
  o["RandomMin"] = Number(b.RandomWeightMin);
  o["RandomMax"] = Number(b.RandomWeightMax);
  o["DelayStartTime"] = b.DelayStartTime;
  o["RandomCreate"] = b.RandomCreate;
  o["LockPosition"] = b.LockPosition;
  o["UseRandom"] = b.UseRandom;
  o["CreateRange"] = Number(b.CreateRange);
  o["Altitude"] = Number(b.Altitude);
  o["PosOffset"] = Vector(b.PosOffset);
  o["Velocity"] = Vector(b.Velocity);
  o["VelocityAttenuation"] = Number(b.VelocityAttenuation);
  o["Behavior"] = e.Behavior;
  o["Scale"] = Vector(b.Scale);
  o["Color"] = Colour(b.Color);
  o["DestColor"] = Colour(b.DestColor);
  o["ColorAttenuation"] = Number(b.ColorAttenuation);
  o["Scaling"] = Vector(b.Scaling);
  o["Weight"] = Number(b.Weight);
  o["Radius"] = Number(e.Radius);
  o["RotateAngle"] = Number(b.RotateAngle);
  o["RotateRadius"] = Number(b.RotateRadius);
  o["RandomRotateMax"] = Number(b.RandomRotateMax);
  o["RandomRotateMin"] = Number(b.RandomRotateMin);
  o["PopTime"] = b.PopTime;
  o["Quantity"] = e.Quantity;
  o["TextureTag"] = e.TextureTag;
  o["Trail"] = b.Trail;
  o["SeparateTrailColors"] = b.SeparateTrailColors;
  o["Physics"] = Physics(b.Physics);
  return o;
}

SortedJson MeshObject(const ParticleParams& p) {
  const MeshParams& m = p.Mesh;
  const EmissionParams& e = p.Emission;
  SortedJson o;
  o["ParticleType"] = e.ParticleType;
  o["DelayStartTime"] = m.DelayStartTime;
  o["CreateRandomPos"] = m.CreateRandomPos;
  o["CreateRange"] = Number(m.CreateRange);
  o["Altitude"] = Number(m.Altitude);
  o["PosOffset"] = Vector(m.PosOffset);
  o["Velocity"] = Vector(m.Velocity);
  o["VelocityAttenuation"] = Number(m.VelocityAttenuation);
  o["Behavior"] = e.Behavior;
  o["Scale"] = Vector(m.Scale);
  o["Color"] = Colour(m.Color);
  o["DestColor"] = Colour(m.DestColor);
  o["ColorAttenuation"] = Number(m.ColorAttenuation);
  o["Scaling"] = Vector(m.Scaling);
  o["Weight"] = Number(m.Weight);
  o["Radius"] = Number(e.Radius);
  o["RotateAngle"] = Number(m.RotateAngle);
  o["RotateRadius"] = Number(m.RotateRadius);
  o["RandomRotateMax"] = Number(m.RandomRotateMax);
  o["RandomRotateMin"] = Number(m.RandomRotateMin);
  o["PopTime"] = m.PopTime;
  o["Quantity"] = e.Quantity;
  o["ModelTag"] = e.ModelTag;
  o["TextureTag"] = e.TextureTag;
  o["Trail"] = m.Trail;
  return o;
}

// ---- the tolerant read ----------------------------------------------------------------------

const Json& Member(const Json& object, const char* key) {
  static const Json kNull;
  if (!object.is_object()) return kNull;
  const auto found = object.find(key);
  return found == object.end() ? kNull : *found;
}

// Null, or an object or array without elements: the field takes its type's default.
bool Absent(const Json& value) { return value.is_null() || ((value.is_object() || value.is_array()) && value.empty()); }

float ToFloat(const Json& value) {
  if (value.is_boolean()) return value.get<bool>() ? 1.0f : 0.0f;
  const double d = value.get<double>();  // anything else not a number throws type error 302
  if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max())
    return d > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
  return static_cast<float>(d);
}

// Any number or boolean; a fraction is truncated toward zero. Null raises type error 302.
int WholeNumber(const Json& value, const char* key) {
  if (!value.is_number_float()) return value.get<int>();
  const double d = value.get<double>();
  if (!(d > std::numeric_limits<int>::min() - 1.0 && d < std::numeric_limits<int>::max() + 1.0))
    throw std::out_of_range(std::string("\"") + key + "\" is out of the range of a whole number");
  return static_cast<int>(d);
}

void Read(const Json& object, const char* key, int* field) {
  const Json& value = Member(object, key);
  *field = Absent(value) ? 0 : WholeNumber(value, key);
}

void Read(const Json& object, const char* key, float* field) {
  const Json& value = Member(object, key);
  *field = Absent(value) ? 0.0f : ToFloat(value);
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
  field->z = ToFloat(Member(value, "Z"));
  field->y = ToFloat(Member(value, "Y"));
  field->x = ToFloat(Member(value, "X"));
}

void Read(const Json& object, const char* key, D3DXCOLOR* field) {
  const Json& value = Member(object, key);
  if (Absent(value)) {
    *field = {1.0f, 1.0f, 1.0f, 1.0f};
    return;
  }
  field->a = ToFloat(Member(value, "A"));
  field->b = ToFloat(Member(value, "B"));
  field->g = ToFloat(Member(value, "G"));
  field->r = ToFloat(Member(value, "R"));
}

void ReadBillboard(const Json& o, ParticleParams* p) {
  BillboardParams& b = p->Billboard;
  EmissionParams& e = p->Emission;
  Read(o, "RandomMin", &b.RandomWeightMin);
  Read(o, "RandomMax", &b.RandomWeightMax);
  Read(o, "RandomCreate", &b.RandomCreate);
  Read(o, "LockPosition", &b.LockPosition);
  Read(o, "DelayStartTime", &b.DelayStartTime);
  Read(o, "UseRandom", &b.UseRandom);
  Read(o, "CreateRange", &b.CreateRange);
  Read(o, "Altitude", &b.Altitude);
  Read(o, "PosOffset", &b.PosOffset);
  Read(o, "Velocity", &b.Velocity);
  Read(o, "VelocityAttenuation", &b.VelocityAttenuation);
  Read(o, "Behavior", &e.Behavior);
  Read(o, "Scale", &b.Scale);
  Read(o, "Color", &b.Color);
  Read(o, "DestColor", &b.DestColor);
  Read(o, "ColorAttenuation", &b.ColorAttenuation);
  Read(o, "Scaling", &b.Scaling);
  Read(o, "Weight", &b.Weight);
  Read(o, "Radius", &e.Radius);
  Read(o, "RotateAngle", &b.RotateAngle);
  Read(o, "RotateRadius", &b.RotateRadius);
  Read(o, "RandomRotateMax", &b.RandomRotateMax);
  Read(o, "RandomRotateMin", &b.RandomRotateMin);
  Read(o, "PopTime", &b.PopTime);
  Read(o, "Quantity", &e.Quantity);
  Read(o, "TextureTag", &e.TextureTag);
  Read(o, "Trail", &b.Trail);
}

void ReadMesh(const Json& o, ParticleParams* p) {
  MeshParams& m = p->Mesh;
  EmissionParams& e = p->Emission;
  Read(o, "DelayStartTime", &m.DelayStartTime);
  Read(o, "CreateRandomPos", &m.CreateRandomPos);
  Read(o, "CreateRange", &m.CreateRange);
  Read(o, "Altitude", &m.Altitude);
  Read(o, "PosOffset", &m.PosOffset);
  Read(o, "Velocity", &m.Velocity);
  Read(o, "VelocityAttenuation", &m.VelocityAttenuation);
  Read(o, "Behavior", &e.Behavior);
  Read(o, "Scale", &m.Scale);
  Read(o, "Color", &m.Color);
  Read(o, "DestColor", &m.DestColor);
  Read(o, "ColorAttenuation", &m.ColorAttenuation);
  Read(o, "Scaling", &m.Scaling);
  Read(o, "Weight", &m.Weight);
  Read(o, "Radius", &e.Radius);
  Read(o, "RotateAngle", &m.RotateAngle);
  Read(o, "RotateRadius", &m.RotateRadius);
  Read(o, "RandomRotateMax", &m.RandomRotateMax);
  Read(o, "RandomRotateMin", &m.RandomRotateMin);
  Read(o, "PopTime", &m.PopTime);
  Read(o, "Quantity", &e.Quantity);
  Read(o, "ModelTag", &e.ModelTag);
  Read(o, "TextureTag", &e.TextureTag);
  Read(o, "Trail", &m.Trail);
}

}  // namespace

// ---- document ---------------------------------------------------------------------------------

std::string ParticleJsonText(const EffectTable& effects) {
  SortedJson document;
  std::size_t b = 0;
  for (const auto& [tag, definitions] : effects) {
    SortedJson& effect = document["PARTICLE"][b++];
    effect["DataTag"] = tag;
    for (std::size_t i = 0; i < definitions.size(); ++i) {
      const ParticleParams& p = definitions[i];
      // Another type stores nothing; its slot stays null unless nothing follows it.
      if (p.Emission.ParticleType == Object_Billboard) {
        effect["Object"][i] = BillboardObject(p);
      } else if (p.Emission.ParticleType == Object_Mesh) {
        effect["Object"][i] = MeshObject(p);
      }
    }
  }
  return document.dump() + "\n";
}

bool SaveParticleJson(const EffectTable& effects, const std::string& fileName, const std::string& folder) {
  std::string error;
  try {
    if (WriteFileAtomically(folder + fileName, ParticleJsonText(effects), &error)) return true;
  } catch (const std::exception& e) {
    error = folder + fileName + ": " + e.what();
  }
  platform::ShowMessage("警告！", "The effects were not saved. " + error);
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
    std::vector<ParticleParams> definitions(m);
    for (std::size_t j = 0; j < m; ++j) {
      const Json& object = objects[j];
      ParticleParams& p = definitions[j];
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

bool LoadParticleJson(EffectTable* table, const std::string& path) {
  try {
    MergeParticleJson(LoadJson(path), table);
    return true;
  } catch (const std::exception& e) {
    platform::ShowMessage("警告！", path + ": the effects could not be loaded: " + e.what());
    return false;
  }
}
