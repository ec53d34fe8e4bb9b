#pragma once
// Rows the billboard and mesh panels share: the same labels, speeds and bounds on the fields
// of the same names in BillboardParams and MeshParams.

#include <array>

#include "ui/panel_rows.h"
#include "effect/particle_params.h"

template <class P>
using ParticleRow = BoundRow<P, EmissionParams>;

template <class P>
inline constexpr ParticleRow<P> kDelayStartTimeRow{
    {"DelayStartTime", RowKind::kDragInt, 1.0f, 0, 3000},
    [](P& p, EmissionParams&) { return Int(p.DelayStartTime); }};
template <class P>
inline constexpr ParticleRow<P> kPosOffsetRow{{"PosOffset", RowKind::kDragFloat3, 0.1f, -500, 500},
                                              [](P& p, EmissionParams&) { return Floats(p.PosOffset); }};

// Where a randomly placed particle may appear.
template <class P>
inline constexpr std::array<ParticleRow<P>, 2> kCircleRows{{
    {{"CreateRange", RowKind::kDragFloat, 0.01f, 0, 100},
     [](P& p, EmissionParams&) { return Floats(p.CreateRange); }},
    {{"Altitude", RowKind::kDragFloat, 1.0f, 0, 800},
     [](P& p, EmissionParams&) { return Floats(p.Altitude); }},
}};

template <class P>
inline constexpr ParticleRow<P> kVelocityRow{
    {"Velocity", RowKind::kDragFloat2, 0.001f, -300, 300},
    [](P& p, EmissionParams&) { return Floats(p.Velocity.x, p.Velocity.z); }};
template <class P>
inline constexpr ParticleRow<P> kUpVectorRow{{"UpVector", RowKind::kDragFloat, 0.01f, 0, 100},
                                             [](P& p, EmissionParams&) { return Floats(p.Velocity.y); }};

// Motion of every behaviour but Behavior_Rotate.
template <class P>
inline constexpr std::array<ParticleRow<P>, 4> kFallRows{{
    {{"MoveAttenuation", RowKind::kDragFloat, 0.001f, 0, 10},
     [](P& p, EmissionParams&) { return Floats(p.VelocityAttenuation); }},
    {{"FallDelay", RowKind::kDragInt, 1.0f, 0, 60}, [](P& p, EmissionParams&) { return Int(p.FallDelay); }},
    {{"Weight", RowKind::kDragFloat, 0.001f, -100, 100},
     [](P& p, EmissionParams&) { return Floats(p.Weight); }},
    {{"Radius", RowKind::kDragFloat, 0.01f, -360, 360},
     [](P&, EmissionParams& e) { return Floats(e.Radius); }},
}};

// Motion of Behavior_Rotate.
template <class P>
inline constexpr std::array<ParticleRow<P>, 3> kRotateRows{{
    {{"RotateAngle", RowKind::kDragFloat, 0.01f, -100, 100},
     [](P& p, EmissionParams&) { return Floats(p.RotateAngle); }},
    {{"RotateRadius", RowKind::kDragFloat, 0.001f, -5, 5},
     [](P& p, EmissionParams&) { return Floats(p.RotateRadius); }},
    {{"RandomRotate", RowKind::kDragFloat2, 0.01f, -100, 100},
     [](P& p, EmissionParams&) { return Floats(p.RandomRotateMin, p.RandomRotateMax); }},
}};

template <class P>
inline constexpr std::array<ParticleRow<P>, 2> kGrowthRows{{
    {{"Scale", RowKind::kDragFloat3, 0.1f, 0, 100}, [](P& p, EmissionParams&) { return Floats(p.Scale); }},
    {{"ScalingValue", RowKind::kDragFloat3, 0.01f, -5, 5},
     [](P& p, EmissionParams&) { return Floats(p.Scaling); }},
}};

template <class P>
inline constexpr std::array<ParticleRow<P>, 3> kFadeRows{{
    {{"Color", RowKind::kColor}, [](P& p, EmissionParams&) { return Floats(p.Color); }},
    {{"DestColor", RowKind::kColor}, [](P& p, EmissionParams&) { return Floats(p.DestColor); }},
    {{"ColorAttenuation", RowKind::kDragFloat, 0.01f, 0, 10},
     [](P& p, EmissionParams&) { return Floats(p.ColorAttenuation); }},
}};
