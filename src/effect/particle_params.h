#pragma once
// One particle definition of an effect: what a billboard particle needs, what a mesh
// particle needs, and what both share. Plain values: copies are deep, nothing is shared.

#include <array>
#include <string>
#include <vector>

#include "platform/gfx/d3dx_math.h"

// ---- enumerations and the labels the editor shows -------------------------------------------

enum ParticleType : int { Object_Billboard = 0, Object_Mesh = 1 };
enum Behavior : int { Behavior_None = 0, Behavior_Circle = 1, Behavior_Sphere = 2, Behavior_Rotate = 3 };
enum RandomCreate : int { Default = 0, Random_Circle = 1 };
enum LockPosition : int { Lock_None = 0, Lock_X, Lock_Y, Lock_Z, Lock_XY, Lock_XZ, Lock_YZ };
enum PhysicsType : int { PHYSICS_NONE = 0, PHYSICS_BOUNCE = 1, PHYSICS_AIR = 2 };

inline constexpr std::array<const char*, 2> kParticleTypeLabels = {"Object_Billboard", "Object_Mesh"};
inline constexpr std::array<const char*, 4> kBehaviorLabels = {"Behavior_None", "Behavior_Circle",
                                                               "Behavior_Sphere", "Behavior_Rotate"};
inline constexpr std::array<const char*, 2> kRandomCreateLabels = {"Default", "Random_Circle"};
inline constexpr std::array<const char*, 7> kLockPositionLabels = {"Lock_None", "Lock_X",  "Lock_Y", "Lock_Z",
                                                                   "Lock_XY",   "Lock_XZ", "Lock_YZ"};
inline constexpr std::array<const char*, 3> kPhysicsTypeLabels = {"PHYSICS_NONE", "PHYSICS_BOUNCE",
                                                                  "PHYSICS_AIR"};

// ---- records ---------------------------------------------------------------------------------------

struct PlotPoint {
  std::array<float, 4> Value{};
  int Frame = 0;
  bool operator==(const PlotPoint&) const = default;
};

struct SoundTrack {
  std::string TrackSound;
  int Start = 0;
  bool operator==(const SoundTrack&) const = default;
};

struct PhysicsParams {
  D3DXVECTOR3 BounceNormal;
  float BounceFactor = 0.0f;
  float ElasticityCoefficient = 2.0f;
  std::array<float, 3> Reserved{};
  float DragCoefficient = 0.0f;
  float VectorFactor = 0.0f;
  D3DXVECTOR3 CurrentVelocity;
  int PhysicsType = PHYSICS_NONE;
  bool operator==(const PhysicsParams&) const = default;
};

// What a billboard and a mesh particle both have. Each kind keeps its own copy of these
// values (a definition's Billboard.PopTime and Mesh.PopTime differ), so the two records
// derive from this one rather than sharing an instance.
struct CommonParams {
  D3DXVECTOR3 Position;
  D3DXVECTOR3 PosOffset;
  D3DXVECTOR3 Velocity;
  D3DXVECTOR3 Scale;
  D3DXVECTOR3 Scaling;
  D3DXCOLOR Color;
  D3DXCOLOR DestColor;
  float RotateAngle = 0.0f;
  float RotateRadius = 0.0f;
  float RandomRotateMin = 0.0f;
  float RandomRotateMax = 0.0f;
  bool RotateActive = false;
  int DelayStartTime = 0;
  int FallDelay = 0;
  int PopTime = 0;
  float VelocityAttenuation = 0.0f;
  float ColorAttenuation = 0.0f;
  float RotateValue = 0.0f;
  float Weight = 0.0f;
  float Altitude = 0.0f;
  float CreateRange = 0.0f;
  bool UseRandom = false;
  bool Trail = false;
  bool operator==(const CommonParams&) const = default;
};

struct BillboardParams : CommonParams {
  D3DXVECTOR3 RandomVelocity;
  std::vector<PlotPoint> PlotPoints;
  D3DXCOLOR BeginTrailColor;
  D3DXCOLOR EndTrailColor;
  std::string TrailTexture;
  float TrailWidth = 0.0f;
  bool UseTrailTexture = false;
  int AnimCountU = 0;
  int AnimCountV = 0;
  int AnimSpeed = 0;
  bool AnimLoop = false;
  PhysicsParams Physics;
  D3DXVECTOR3 RandomVelocityMin;
  D3DXVECTOR3 RandomVelocityMax;
  float RandomWeightMax = 0.0f;
  float RandomWeightMin = 0.0f;
  float RandomRotateValueMax = 0.0f;
  float RandomRotateValueMin = 0.0f;
  int RandomCreate = Default;
  int LockPosition = Lock_None;
  float DistortionMax = 0.0f;
  float DistortionMin = 0.0f;
  bool CollisionPending = false;
  bool UsePhysics = false;
  bool UseAnimation = false;
  bool SeparateTrailColors = false;
  bool operator==(const BillboardParams&) const = default;
};

struct MeshParams : CommonParams {
  D3DXVECTOR3 Rotation;
  std::array<float, 2> UVMovement{};
  float RandomColorMin = 0.0f;
  float RandomColorMax = 0.0f;
  float Emissive = 0.0f;
  bool RandomColor = false;
  std::string ModelTag;
  std::string TextureTag;
  std::string MaskTextureTag;
  float RandomValueMin = 0.0f;
  float RandomValueMax = 0.0f;
  bool CreateRandomPos = false;
  bool UseTexture = false;
  bool UseMaskTexture = false;
  bool UseShader = false;
  bool operator==(const MeshParams&) const = default;
};

struct EmissionParams {
  int Behavior = Behavior_None;
  int ParticleType = Object_Billboard;
  PhysicsParams Physics;
  std::vector<SoundTrack> SoundTracks;
  std::string ModelTag;
  std::string DataTag;
  std::string TextureTag;
  std::string MaskTextureTag;
  float Radius = 0.0f;
  int AddSeparateDelay = 0;
  int Quantity = 0;
  int Index = 0;
  bool UsePhysics = false;
  bool UseShader = false;
  bool operator==(const EmissionParams&) const = default;
};

struct ParticleParams {
  BillboardParams Billboard;
  MeshParams Mesh;
  EmissionParams Emission;
  bool operator==(const ParticleParams&) const = default;
};
