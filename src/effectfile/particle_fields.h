#pragma once
// Every field of the particle records as data: its key in the editor document and the member
// it names. The editor document's reader and writer, the check of what an export loses and
// the tests all walk these tables, so a field added to a record and to its table is read,
// written, compared and generated everywhere at once.

#include <array>
#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "effect/particle_params.h"

namespace fields {

// Every kind of value a record holds, as a member of record R.
template <typename R>
using Member = std::variant<bool R::*, int R::*, float R::*, std::string R::*, std::array<float, 2> R::*,
                            std::array<float, 3> R::*, std::array<float, 4> R::*, D3DXVECTOR3 R::*,
                            D3DXCOLOR R::*, PhysicsParams R::*, BillboardParams R::*, MeshParams R::*,
                            EmissionParams R::*, std::vector<PlotPoint> R::*, std::vector<SoundTrack> R::*>;

template <typename R>
struct Field {
  std::string_view Key;
  Member<R> At;
};

// Record<T>::kFields lists T's fields in the order the document writes them. kValue marks the
// small records that read as one value (a vector, a colour, a plot point, a track): written on
// one line, and compared whole when an export's losses are counted.
template <typename T>
struct Record;

template <typename T>
concept IsRecord = requires { Record<T>::kFields; };
// A record of records and values, walked into field by field.
template <typename T>
concept IsCompoundRecord = IsRecord<T> && !Record<T>::kValue;

// Calls fn with the record's member the field names (const when the record is).
template <typename Rec, typename R, typename Fn>
decltype(auto) Visit(const Field<R>& field, Rec& record, Fn&& fn) {
  return std::visit([&](auto member) -> decltype(auto) { return fn(record.*member); }, field.At);
}

// The index of the field with the key, or the table's size; `guess` is tried first.
template <typename R>
std::size_t FindField(std::string_view key, std::size_t guess = 0) {
  const auto& table = Record<R>::kFields;
  if (guess < table.size() && table[guess].Key == key) return guess;
  for (std::size_t i = 0; i < table.size(); ++i)
    if (table[i].Key == key) return i;
  return table.size();
}

// ---- the tables -------------------------------------------------------------------------------

template <typename R, std::size_t N, std::size_t M>
constexpr std::array<Field<R>, N + M> Join(const std::array<Field<R>, N>& a,
                                           const std::array<Field<R>, M>& b) {
  std::array<Field<R>, N + M> joined{};
  for (std::size_t i = 0; i < N; ++i) joined[i] = a[i];
  for (std::size_t i = 0; i < M; ++i) joined[N + i] = b[i];
  return joined;
}

template <>
struct Record<D3DXVECTOR3> {
  static constexpr bool kValue = true;
  static constexpr std::array<Field<D3DXVECTOR3>, 3> kFields{{
      {"X", &D3DXVECTOR3::x},
      {"Y", &D3DXVECTOR3::y},
      {"Z", &D3DXVECTOR3::z},
  }};
};

template <>
struct Record<D3DXCOLOR> {
  static constexpr bool kValue = true;
  static constexpr std::array<Field<D3DXCOLOR>, 4> kFields{{
      {"R", &D3DXCOLOR::r},
      {"G", &D3DXCOLOR::g},
      {"B", &D3DXCOLOR::b},
      {"A", &D3DXCOLOR::a},
  }};
};

template <>
struct Record<PlotPoint> {
  static constexpr bool kValue = true;
  static constexpr std::array<Field<PlotPoint>, 2> kFields{{
      {"Frame", &PlotPoint::Frame},
      {"Value", &PlotPoint::Value},
  }};
};

template <>
struct Record<SoundTrack> {
  static constexpr bool kValue = true;
  static constexpr std::array<Field<SoundTrack>, 2> kFields{{
      {"TrackSound", &SoundTrack::TrackSound},
      {"Start", &SoundTrack::Start},
  }};
};

template <>
struct Record<PhysicsParams> {
  static constexpr bool kValue = false;
  static constexpr std::array<Field<PhysicsParams>, 8> kFields{{
      {"BounceNormal", &PhysicsParams::BounceNormal},
      {"BounceFactor", &PhysicsParams::BounceFactor},
      {"ElasticityCoefficient", &PhysicsParams::ElasticityCoefficient},
      {"Reserved", &PhysicsParams::Reserved},
      {"DragCoefficient", &PhysicsParams::DragCoefficient},
      {"VectorFactor", &PhysicsParams::VectorFactor},
      {"CurrentVelocity", &PhysicsParams::CurrentVelocity},
      {"PhysicsType", &PhysicsParams::PhysicsType},
  }};
};

// What billboards and meshes share, written first in both.
template <typename R>
inline constexpr std::array<Field<R>, 23> kCommonFields{{
    {"Position", &CommonParams::Position},
    {"PosOffset", &CommonParams::PosOffset},
    {"Velocity", &CommonParams::Velocity},
    {"Scale", &CommonParams::Scale},
    {"Scaling", &CommonParams::Scaling},
    {"Color", &CommonParams::Color},
    {"DestColor", &CommonParams::DestColor},
    {"RotateAngle", &CommonParams::RotateAngle},
    {"RotateRadius", &CommonParams::RotateRadius},
    {"RandomRotateMin", &CommonParams::RandomRotateMin},
    {"RandomRotateMax", &CommonParams::RandomRotateMax},
    {"RotateActive", &CommonParams::RotateActive},
    {"DelayStartTime", &CommonParams::DelayStartTime},
    {"FallDelay", &CommonParams::FallDelay},
    {"PopTime", &CommonParams::PopTime},
    {"VelocityAttenuation", &CommonParams::VelocityAttenuation},
    {"ColorAttenuation", &CommonParams::ColorAttenuation},
    {"RotateValue", &CommonParams::RotateValue},
    {"Weight", &CommonParams::Weight},
    {"Altitude", &CommonParams::Altitude},
    {"CreateRange", &CommonParams::CreateRange},
    {"UseRandom", &CommonParams::UseRandom},
    {"Trail", &CommonParams::Trail},
}};

// What only a billboard has, after what it shares, grouped as its panel shows them: motion and
// its random ranges, physics, the plot, animation, the trail.
inline constexpr std::array<Field<BillboardParams>, 26> kBillboardOwnFields{{
    {"RandomVelocity", &BillboardParams::RandomVelocity},
    {"RandomVelocityMin", &BillboardParams::RandomVelocityMin},
    {"RandomVelocityMax", &BillboardParams::RandomVelocityMax},
    {"RandomWeightMax", &BillboardParams::RandomWeightMax},
    {"RandomWeightMin", &BillboardParams::RandomWeightMin},
    {"RandomRotateValueMax", &BillboardParams::RandomRotateValueMax},
    {"RandomRotateValueMin", &BillboardParams::RandomRotateValueMin},
    {"RandomCreate", &BillboardParams::RandomCreate},
    {"LockPosition", &BillboardParams::LockPosition},
    {"DistortionMax", &BillboardParams::DistortionMax},
    {"DistortionMin", &BillboardParams::DistortionMin},
    {"UsePhysics", &BillboardParams::UsePhysics},
    {"Physics", &BillboardParams::Physics},
    {"CollisionPending", &BillboardParams::CollisionPending},
    {"PlotPoints", &BillboardParams::PlotPoints},
    {"UseAnimation", &BillboardParams::UseAnimation},
    {"AnimCountU", &BillboardParams::AnimCountU},
    {"AnimCountV", &BillboardParams::AnimCountV},
    {"AnimSpeed", &BillboardParams::AnimSpeed},
    {"AnimLoop", &BillboardParams::AnimLoop},
    {"TrailWidth", &BillboardParams::TrailWidth},
    {"UseTrailTexture", &BillboardParams::UseTrailTexture},
    {"TrailTexture", &BillboardParams::TrailTexture},
    {"SeparateTrailColors", &BillboardParams::SeparateTrailColors},
    {"BeginTrailColor", &BillboardParams::BeginTrailColor},
    {"EndTrailColor", &BillboardParams::EndTrailColor},
}};

template <>
struct Record<BillboardParams> {
  static constexpr bool kValue = false;
  static constexpr auto kFields = Join(kCommonFields<BillboardParams>, kBillboardOwnFields);
};

// What only a mesh has, after what it shares.
inline constexpr std::array<Field<MeshParams>, 15> kMeshOwnFields{{
    {"Rotation", &MeshParams::Rotation},
    {"UVMovement", &MeshParams::UVMovement},
    {"RandomColorMin", &MeshParams::RandomColorMin},
    {"RandomColorMax", &MeshParams::RandomColorMax},
    {"Emissive", &MeshParams::Emissive},
    {"RandomColor", &MeshParams::RandomColor},
    {"ModelTag", &MeshParams::ModelTag},
    {"TextureTag", &MeshParams::TextureTag},
    {"MaskTextureTag", &MeshParams::MaskTextureTag},
    {"RandomValueMin", &MeshParams::RandomValueMin},
    {"RandomValueMax", &MeshParams::RandomValueMax},
    {"CreateRandomPos", &MeshParams::CreateRandomPos},
    {"UseTexture", &MeshParams::UseTexture},
    {"UseMaskTexture", &MeshParams::UseMaskTexture},
    {"UseShader", &MeshParams::UseShader},
}};

template <>
struct Record<MeshParams> {
  static constexpr bool kValue = false;
  static constexpr auto kFields = Join(kCommonFields<MeshParams>, kMeshOwnFields);
};

template <>
struct Record<EmissionParams> {
  using E = EmissionParams;
  static constexpr bool kValue = false;
  static constexpr std::array<Field<E>, 14> kFields{{
      {"Behavior", &E::Behavior},
      {"ParticleType", &E::ParticleType},
      {"Physics", &E::Physics},
      {"SoundTracks", &E::SoundTracks},
      {"ModelTag", &E::ModelTag},
      {"DataTag", &E::DataTag},
      {"TextureTag", &E::TextureTag},
      {"MaskTextureTag", &E::MaskTextureTag},
      {"Radius", &E::Radius},
      {"AddSeparateDelay", &E::AddSeparateDelay},
      {"Quantity", &E::Quantity},
      {"Index", &E::Index},
      {"UsePhysics", &E::UsePhysics},
      {"UseShader", &E::UseShader},
  }};
};

template <>
struct Record<ParticleParams> {
  static constexpr bool kValue = false;
  static constexpr std::array<Field<ParticleParams>, 3> kFields{{
      {"Billboard", &ParticleParams::Billboard},
      {"Mesh", &ParticleParams::Mesh},
      {"Emission", &ParticleParams::Emission},
  }};
};

// ---- comparing --------------------------------------------------------------------------------

template <typename T>
struct IsList : std::false_type {};
template <typename T>
struct IsList<std::vector<T>> : std::true_type {};
template <typename T, std::size_t N>
struct IsList<std::array<T, N>> : std::true_type {};

// Whether two values are the same as a document holds them: NaN is the same as NaN (whatever
// its payload) and 0 is not -0, unlike ==.
template <typename T>
bool Same(const T& a, const T& b) {
  if constexpr (std::is_same_v<T, float>) {
    return std::isnan(a) ? std::isnan(b) : a == b && std::signbit(a) == std::signbit(b);
  } else if constexpr (IsRecord<T>) {
    for (const auto& field : Record<T>::kFields) {
      const bool same = std::visit([&](auto member) { return Same(a.*member, b.*member); }, field.At);
      if (!same) return false;
    }
    return true;
  } else if constexpr (IsList<T>::value) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
      if (!Same(a[i], b[i])) return false;
    return true;
  } else {
    return a == b;
  }
}

}  // namespace fields
