#include "editor/row_help.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kFrames = "frames (a frame is 1/62.5 s)";
constexpr const char* kUnitsPerFrame = "units per frame";
constexpr const char* kFactor = "a factor";
constexpr const char* kColour = "red, green, blue and alpha, 0 to 1 each";

constexpr std::array kHelp = std::to_array<RowHelp>({
    // ---- creation
    {"DelayStartTime", "Frames a particle waits, unseen and still, before it moves and its life counts down.",
     kFrames},
    {"AddSeparateDelay", "Kept with the definition for the runtime; the preview does not use it.", kFrames},
    {"PosOffset", "Added to the pointer's position where the particles appear (x, y, z).", "units"},
    {"CreateRange", "Radius of the circle random placement spreads the particles over, times 360.", kFactor},
    {"Altitude", "Height of the circle random placement puts the particles on.", "units"},
    // ---- movement
    {"Velocity", "The particles' own speed along x and z each frame.", kUnitsPerFrame},
    {"UpVector", "The particles' own speed upwards each frame.", kUnitsPerFrame},
    {"MoveAttenuation",
     "Speed of the ring (Behavior_Circle) or ball (Behavior_Sphere) the particles spread in.",
     kUnitsPerFrame},
    {"FallDelay", "Active frames before Weight starts to pull the particles down.", kFrames},
    {"Weight", "Taken off the upward speed every frame once FallDelay has passed: gravity.",
     "units per frame, per frame"},
    {"Radius", "How far round the ring (Behavior_Circle) or how wide the ball (Behavior_Sphere) spreads.",
     "degrees (ring); a factor (ball)"},
    {"Distortion", "Range of the random twist each particle's place on the ball takes (max, min).", kFactor},
    {"RotateAngle", "Behavior_Rotate: the swirl's starting angle.", "degrees"},
    {"RotateRadius", "Behavior_Rotate: how fast the swirl widens with its angle.", "units per degree"},
    {"RandomRotate", "Behavior_Rotate: range of the random angle the swirl turns each frame (min, max).",
     "degrees per frame"},
    {"RandomWeight", "Range each particle's random Weight is drawn from (max, min), with Random on.",
     "units per frame, per frame"},
    {"RandomVelocityMin", "Lowest random speed added to each particle (x, y, z), with Random on.",
     kUnitsPerFrame},
    {"RandomVelocityMax", "Highest random speed added to each particle (x, y, z), with Random on.",
     kUnitsPerFrame},
    {"RandomValue", "Range each mesh particle's random Weight is drawn from (min, max), with Random on.",
     "units per frame, per frame"},
    // ---- size, spin, colour
    {"Scale", "Starting size: half width and half height of a quad, or a mesh's scale (x, y, z).",
     "units (quads); a factor (meshes)"},
    {"ScalingValue", "Added to the size every frame: growth, or shrinking below 0.", kUnitsPerFrame},
    {"RotateValue", "Spin of the quad about the view every frame.", "radians per frame"},
    {"RandomRotateValue", "Range each particle's spin is drawn from (max, min); both 0 keep RotateValue.",
     "radians per frame"},
    {"Rotate", "Turn of the mesh about its upright axis every frame.", "radians per frame"},
    {"Color", "Colour the particles start with.", kColour},
    {"DestColor", "Colour the particles fade towards; a negative value leaves that part as it is.", kColour},
    {"ColorAttenuation",
     "How slowly the colour fades: each frame it covers 1 / (PopTime x this) of the way left.", kFactor},
    {"RandomColorMin", "Lowest random red, green and blue a mesh particle may start with.", "0 to 1"},
    {"RandomColorMax", "Highest random red, green and blue a mesh particle may start with.", "0 to 1"},
    {"Emissive", "Glow of the mesh: its colour times this, lit or not.", kFactor},
    {"UVMovement", "Added to the shared texture offset at every draw of a mesh (u, v): a scrolling texture.",
     "texture widths per draw"},
    // ---- life and trail
    {"Quantity", "Particles of this definition in each emission.", "particles"},
    {"PopTime", "Life of each particle once it moves.", kFrames},
    {"TrailWidth", "Width of the trail behind each particle; 0 draws no trail.", "units"},
    {"BeginTrailColor", "Colour the older part of the trail runs towards, with SeparateTrailColors on.",
     kColour},
    {"EndTrailColor", "Colour of the trail at the particle, with SeparateTrailColors on.", kColour},
    // ---- collisions
    {"BounceFactor", "Strength of a bounce; halved after each one.", kFactor},
    {"ElasticityCoefficient", "Taken off each part of the speed in a bounce.", kUnitsPerFrame},
    {"VectorFactor", "Air: how strongly two meeting particles' speeds mix.", kFactor},
    {"DragCoefficient", "Air: how much of the other particle's speed is taken on.", kFactor},
});

std::string Number(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
  return text;
}

}  // namespace

std::span<const RowHelp> RowHelpTable() { return kHelp; }

std::string RowTooltip(const PanelRow& row) {
  const auto found = std::find_if(kHelp.begin(), kHelp.end(), [&](const RowHelp& help) {
    return std::strcmp(help.label, row.label) == 0;
  });
  if (found == kHelp.end()) return {};
  std::string text = std::string(found->what) + "\nUnit: " + found->unit;
  if (row.kind == RowKind::kColor || row.kind == RowKind::kCheckbox) return text;
  if (row.min == 0.0f && row.max == 0.0f) return text + "\nRange: any value";
  return text + "\nRange: " + Number(row.min) + " to " + Number(row.max);
}
