// The "Particles" window driven through the interface: every row of the billboard and mesh
// panels against its label, widget, fields, speed and bounds, the rows that come and go with
// the definition's switches, and the count and lifetime corrections.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <set>
#include <span>
#include <string>
#include <functional>
#include <vector>

#include "editor/row_help.h"
#include "effectfile/particle_json.h"
#include "platform/gfx/mesh.h"
#include "resource/model_manager.h"
#include "resource/texture_manager.h"
#include "support/editor_fixture.h"

namespace {

constexpr const char* kWindow = "Particles";

// One edited value, an int or a float, read and written as a double.
struct Field {
  Field(float* value) : f(value) {}  // NOLINT(google-explicit-constructor): table brevity
  Field(int* value) : i(value) {}    // NOLINT(google-explicit-constructor)
  double Get() const { return f ? *f : *i; }
  void Set(double value) const {
    if (f) *f = static_cast<float>(value);
    else *i = static_cast<int>(value);
  }
  float* f = nullptr;
  int* i = nullptr;
};
using Fields = std::function<std::vector<Field>(ParticleParams&)>;

// A drag row as the panel must draw it.
struct DragRow {
  const char* label;
  const char* kind;
  double speed, min, max;  // min == max: no bounds
  Fields fields;
};

using P = ParticleParams;
using Fs = std::vector<Field>;

// ---- the billboard panel's drags, by the switches that show them ---------------------------------

const std::vector<DragRow> kBillboardCreateRows = {
    {"DelayStartTime", "DragInt", 1, 0, 3000, [](P& d) { return Fs{&d.Billboard.DelayStartTime}; }},
    {"AddSeparateDelay", "DragInt", 1, 0, 20, [](P& d) { return Fs{&d.Emission.AddSeparateDelay}; }},
    {"PosOffset", "DragFloat3", 0.1, -500, 500,
     [](P& d) { return Fs{&d.Billboard.PosOffset.x, &d.Billboard.PosOffset.y, &d.Billboard.PosOffset.z}; }},
    {"CreateRange", "DragFloat", 0.01, 0, 100, [](P& d) { return Fs{&d.Billboard.CreateRange}; }},
    {"Altitude", "DragFloat", 1, 0, 800, [](P& d) { return Fs{&d.Billboard.Altitude}; }},
};

const std::vector<DragRow> kBillboardMovementRows = {
    {"Velocity", "DragFloat2", 0.001, -300, 300,
     [](P& d) {
       return Fs{&d.Billboard.Velocity.x, &d.Billboard.Velocity.z};
     }},
    {"UpVector", "DragFloat", 0.01, 0, 100, [](P& d) { return Fs{&d.Billboard.Velocity.y}; }},
    {"MoveAttenuation", "DragFloat", 0.001, 0, 10, [](P& d) { return Fs{&d.Billboard.VelocityAttenuation}; }},
    {"FallDelay", "DragInt", 1, 0, 60, [](P& d) { return Fs{&d.Billboard.FallDelay}; }},
    {"Weight", "DragFloat", 0.001, -100, 100, [](P& d) { return Fs{&d.Billboard.Weight}; }},
    {"Radius", "DragFloat", 0.01, -360, 360, [](P& d) { return Fs{&d.Emission.Radius}; }},
    {"RandomWeight", "DragFloat2", 0.001, -0.5, 0.5,
     [](P& d) {
       return Fs{&d.Billboard.RandomWeightMax, &d.Billboard.RandomWeightMin};
     }},
    {"RandomVelocityMin", "DragFloat3", 0.001, -10, 10,
     [](P& d) {
       auto& v = d.Billboard.RandomVelocityMin;
       return Fs{&v.x, &v.y, &v.z};
     }},
    {"RandomVelocityMax", "DragFloat3", 0.001, -10, 10,
     [](P& d) {
       auto& v = d.Billboard.RandomVelocityMax;
       return Fs{&v.x, &v.y, &v.z};
     }},
};

const std::vector<DragRow> kBillboardSphereRows = {
    {"Distortion", "DragFloat2", 0.01, 0, 10,
     [](P& d) { return Fs{&d.Billboard.DistortionMax, &d.Billboard.DistortionMin}; }},
};

const std::vector<DragRow> kBillboardRotateRows = {
    {"RotateAngle", "DragFloat", 0.01, -100, 100, [](P& d) { return Fs{&d.Billboard.RotateAngle}; }},
    {"RotateRadius", "DragFloat", 0.001, -5, 5, [](P& d) { return Fs{&d.Billboard.RotateRadius}; }},
    {"RandomRotate", "DragFloat2", 0.01, -100, 100,
     [](P& d) { return Fs{&d.Billboard.RandomRotateMin, &d.Billboard.RandomRotateMax}; }},
};

const std::vector<DragRow> kBillboardLookRows = {
    {"Scale", "DragFloat3", 0.1, 0, 100,
     [](P& d) { return Fs{&d.Billboard.Scale.x, &d.Billboard.Scale.y, &d.Billboard.Scale.z}; }},
    {"ScalingValue", "DragFloat3", 0.01, -5, 5,
     [](P& d) { return Fs{&d.Billboard.Scaling.x, &d.Billboard.Scaling.y, &d.Billboard.Scaling.z}; }},
    {"RotateValue", "DragFloat", 0.01, -10, 10, [](P& d) { return Fs{&d.Billboard.RotateValue}; }},
    {"RandomRotateValue", "DragFloat2", 0.01, -10, 10,
     [](P& d) { return Fs{&d.Billboard.RandomRotateValueMax, &d.Billboard.RandomRotateValueMin}; }},
    {"ColorAttenuation", "DragFloat", 0.01, 0, 10, [](P& d) { return Fs{&d.Billboard.ColorAttenuation}; }},
    {"PopTime", "DragInt", 1, 1, 500, [](P& d) { return Fs{&d.Billboard.PopTime}; }},
    {"TrailWidth", "DragFloat", 0.01, 0, 0, [](P& d) { return Fs{&d.Billboard.TrailWidth}; }},
};

const std::vector<DragRow> kBounceRows = {
    {"BounceFactor", "DragFloat", 0.01, 0, 1, [](P& d) { return Fs{&d.Emission.Physics.BounceFactor}; }},
    {"ElasticityCoefficient", "DragFloat", 0.01, 0, 2,
     [](P& d) { return Fs{&d.Emission.Physics.ElasticityCoefficient}; }},
    {"PopTime", "DragInt", 1, 1, 125, [](P& d) { return Fs{&d.Billboard.PopTime}; }},
};

const std::vector<DragRow> kAirRows = {
    {"VectorFactor", "DragFloat", 0.01, 0, 10, [](P& d) { return Fs{&d.Emission.Physics.VectorFactor}; }},
    {"DragCoefficient", "DragFloat", 0.01, 0, 2,
     [](P& d) { return Fs{&d.Emission.Physics.DragCoefficient}; }},
};

// ---- the mesh panel's drags --------------------------------------------------------------------------

const std::vector<DragRow> kMeshRows = {
    {"UVMovement", "DragFloat2", 0.001, -2, 2,
     [](P& d) {
       return Fs{&d.Mesh.UVMovement[0], &d.Mesh.UVMovement[1]};
     }},
    {"DelayStartTime", "DragInt", 1, 0, 3000, [](P& d) { return Fs{&d.Mesh.DelayStartTime}; }},
    {"PosOffset", "DragFloat3", 0.1, -500, 500,
     [](P& d) {
       return Fs{&d.Mesh.PosOffset.x, &d.Mesh.PosOffset.y, &d.Mesh.PosOffset.z};
     }},
    {"CreateRange", "DragFloat", 0.01, 0, 100, [](P& d) { return Fs{&d.Mesh.CreateRange}; }},
    {"Altitude", "DragFloat", 1, 0, 800, [](P& d) { return Fs{&d.Mesh.Altitude}; }},
    {"Velocity", "DragFloat2", 0.001, -300, 300,
     [](P& d) {
       return Fs{&d.Mesh.Velocity.x, &d.Mesh.Velocity.z};
     }},
    {"UpVector", "DragFloat", 0.01, 0, 100, [](P& d) { return Fs{&d.Mesh.Velocity.y}; }},
    {"MoveAttenuation", "DragFloat", 0.001, 0, 10, [](P& d) { return Fs{&d.Mesh.VelocityAttenuation}; }},
    {"FallDelay", "DragInt", 1, 0, 60, [](P& d) { return Fs{&d.Mesh.FallDelay}; }},
    {"Weight", "DragFloat", 0.001, -100, 100, [](P& d) { return Fs{&d.Mesh.Weight}; }},
    {"Radius", "DragFloat", 0.01, -360, 360, [](P& d) { return Fs{&d.Emission.Radius}; }},
    {"RandomValue", "DragFloat2", 0.001, -0.5, 0.5,
     [](P& d) {
       return Fs{&d.Mesh.RandomValueMin, &d.Mesh.RandomValueMax};
     }},
    {"Scale", "DragFloat3", 0.1, 0, 100,
     [](P& d) {
       return Fs{&d.Mesh.Scale.x, &d.Mesh.Scale.y, &d.Mesh.Scale.z};
     }},
    {"ScalingValue", "DragFloat3", 0.01, -5, 5,
     [](P& d) {
       return Fs{&d.Mesh.Scaling.x, &d.Mesh.Scaling.y, &d.Mesh.Scaling.z};
     }},
    {"Rotate", "DragFloat", 0.01, 0, 10, [](P& d) { return Fs{&d.Mesh.RotateValue}; }},
    {"ColorAttenuation", "DragFloat", 0.01, 0, 10, [](P& d) { return Fs{&d.Mesh.ColorAttenuation}; }},
    {"Emissive", "DragFloat", 0.01, 0, 2, [](P& d) { return Fs{&d.Mesh.Emissive}; }},
    {"RandomColorMin", "DragFloat", 0.01, 0, 1, [](P& d) { return Fs{&d.Mesh.RandomColorMin}; }},
    {"RandomColorMax", "DragFloat", 0.01, 0, 1, [](P& d) { return Fs{&d.Mesh.RandomColorMax}; }},
    {"PopTime", "DragInt", 1, 1, 600, [](P& d) { return Fs{&d.Mesh.PopTime}; }},
};

const std::vector<DragRow> kMeshRotateRows = {
    {"RotateAngle", "DragFloat", 0.01, -100, 100, [](P& d) { return Fs{&d.Mesh.RotateAngle}; }},
    {"RotateRadius", "DragFloat", 0.001, -5, 5, [](P& d) { return Fs{&d.Mesh.RotateRadius}; }},
    {"RandomRotate", "DragFloat2", 0.01, -100, 100,
     [](P& d) {
       return Fs{&d.Mesh.RandomRotateMin, &d.Mesh.RandomRotateMax};
     }},
};

// ---- the fixture ---------------------------------------------------------------------------------------

class ParticlePanel : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    Click("ICON_PARTICLE");
    ASSERT_TRUE(Shown(kWindow, kWindow));
  }

  static ParticleParams& Def() { return *Editor()->SelectedDefinition(); }

  // Sets the definition up, lets the panel show it, and opens the two sections.
  void Show(const std::function<void(ParticleParams&)>& setUp) {
    setUp(Def());
    Frame();
    for (const char* section : {"Create", "Movement"}) {
      Reveal(section);
      Click(section, kWindow);
    }
  }

  void Reveal(const std::string& label) { EditorTest::Reveal(label, kWindow); }

  // Drags value k of an n-value drag sideways in steps of dx pixels (the first step takes
  // the drag past the library's threshold). Presses alternate between two spots, so that two
  // drags in a row never make a double click, which would open the text entry.
  void DragValue(const std::string& label, int k, int n, float dx, int steps = 4) {
    Reveal(label);
    const ui::LoggedItem item = Find(label, kWindow);
    const float spacing = ImGui::GetStyle().ItemInnerSpacing.x;
    const float one = std::max(1.0f, std::floor((item.max.x - item.min.x - spacing * (n - 1)) / n));
    const float side = (presses_++ % 2 == 0) ? -10.0f : 10.0f;
    mouse_ = ImVec2(item.min.x + k * (one + spacing) + one * 0.5f + side, item.Centre().y);
    MoveMouse(mouse_);
    Frame();
    MouseButton(true);
    Frame();
    for (int step = 0; step < steps; ++step) {
      mouse_.x += dx;
      MoveMouse(mouse_);
      Frame();
    }
    MouseButton(false);
    Frame(2);
  }

  // Every value of the row: pushed in from far below and far above its bounds it stops at
  // them, and a drag moves it by the row's speed per pixel; the other values stay.
  void CheckDragRow(const DragRow& row) {
    SCOPED_TRACE(row.label);
    Reveal(row.label);
    ASSERT_TRUE(Shown(row.label, kWindow));
    EXPECT_EQ(Find(row.label, kWindow).kind, row.kind);
    const int n = static_cast<int>(row.fields(Def()).size());
    const bool bounded = row.min < row.max;
    constexpr float kStep = 4.0f;
    for (int k = 0; k < n; ++k) {
      SCOPED_TRACE("value " + std::to_string(k));
      const double below = bounded ? row.min - 1000 : -1000;
      for (const Field& field : row.fields(Def())) field.Set(below);
      DragValue(row.label, k, n, kStep, 1);
      std::vector<Field> now = row.fields(Def());
      const double start = bounded ? row.min : below + kStep * row.speed;
      EXPECT_NEAR(now[k].Get(), start, 1e-3);
      for (int j = 0; j < n; ++j) {
        if (j == k) continue;
        EXPECT_EQ(now[j].Get(), below) << "value " << j << " moved with value " << k;
      }
      DragValue(row.label, k, n, kStep, 4);
      EXPECT_NEAR(row.fields(Def())[k].Get(), start + 4 * kStep * row.speed, row.speed * 0.5 + 1e-3);
      if (!bounded) continue;
      for (const Field& field : row.fields(Def())) field.Set(row.max + 1000);
      DragValue(row.label, k, n, -kStep, 1);
      EXPECT_NEAR(row.fields(Def())[k].Get(), row.max, 1e-3);
    }
  }
  void CheckDragRows(const std::vector<DragRow>& rows) {
    for (const DragRow& row : rows) CheckDragRow(row);
  }

  // The labels drawn in "Particles" this frame, in drawing order, that appear in labels.
  std::vector<std::string> DrawnInOrder(const std::vector<std::string>& labels) const {
    std::vector<std::string> drawn;
    for (const ui::LoggedItem& item : Log().Items())
      if (item.window == kWindow && std::find(labels.begin(), labels.end(), item.label) != labels.end())
        drawn.push_back(item.label);
    return drawn;
  }

  // Types the number into the "Quantity" field over what it holds.
  void TypeQuantity(const std::string& number) {
    Reveal("Quantity");
    const ui::LoggedItem field = Find("Quantity", kWindow);
    ClickAt(ImVec2(field.min.x + 12, field.Centre().y));
    Tap(SDL_SCANCODE_A, KMOD_CTRL);
    Type(number);
    Tap(SDL_SCANCODE_RETURN);
  }

  // Clicks the title bar where the main window does not cover it: the File menu brings the
  // main window to the front, over "Particles".
  void BringToFront() {
    const ui::LoggedItem window = Find(kWindow, kWindow);
    ClickAt(ImVec2(window.max.x - 60.0f, window.min.y + 8.0f));
  }

  void Choose(const std::string& combo, const std::string& entry) {
    Reveal(combo);
    Click(combo, kWindow);
    Click(entry);
  }
  int presses_ = 0;

  std::vector<std::string> ComboEntries(const std::string& combo) {
    Reveal(combo);
    Click(combo, kWindow);
    std::vector<std::string> entries;
    for (const ui::LoggedItem& item : Log().Items())
      if (item.kind == "Selectable" && item.window.starts_with("##Combo")) entries.push_back(item.label);
    Click(combo, kWindow);  // closes it again
    Frame(20);              // and no double click follows
    return entries;
  }
};

void AllBillboardRows(ParticleParams& d) {
  d.Emission.ParticleType = Object_Billboard;
  d.Billboard.RandomCreate = Random_Circle;
  d.Emission.Behavior = Behavior_None;
  d.Billboard.UseRandom = true;
  d.Billboard.Trail = true;
  d.Billboard.UseTrailTexture = true;
  d.Billboard.SeparateTrailColors = true;
}

void AllMeshRows(ParticleParams& d) {
  d.Emission.ParticleType = Object_Mesh;
  d.Mesh.UseTexture = true;
  d.Mesh.UseMaskTexture = true;
  d.Mesh.CreateRandomPos = true;
  d.Mesh.UseRandom = true;
  d.Mesh.RandomColor = true;
}

// ---- every row
// ---------------------------------------------------------------------------------------------

TEST_F(ParticlePanel, BillboardRowsComeInOrderWithTheirWidgets) {
  Show(AllBillboardRows);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"ObjectType", "Combo"},
      {"Texture", "Combo"},
      {"Create", "CollapsingHeader"},
      {"DelayStartTime", "DragInt"},
      {"AddSeparateDelay", "DragInt"},
      {"PosOffset", "DragFloat3"},
      {"RandomBehavior", "Combo"},
      {"CreateRange", "DragFloat"},
      {"Altitude", "DragFloat"},
      {"LockPos", "Combo"},
      {"Movement", "CollapsingHeader"},
      {"ParticleBehavior", "Combo"},
      {"Velocity", "DragFloat2"},
      {"UpVector", "DragFloat"},
      {"MoveAttenuation", "DragFloat"},
      {"FallDelay", "DragInt"},
      {"Weight", "DragFloat"},
      {"Radius", "DragFloat"},
      {"Random", "Checkbox"},
      {"RandomWeight", "DragFloat2"},
      {"RandomVelocityMin", "DragFloat3"},
      {"RandomVelocityMax", "DragFloat3"},
      {"Use Physics", "Checkbox"},
      {"Scale", "DragFloat3"},
      {"ScalingValue", "DragFloat3"},
      {"RotateValue", "DragFloat"},
      {"RandomRotateValue", "DragFloat2"},
      {"Color", "ColorField"},
      {"DestColor", "ColorField"},
      {"ColorAttenuation", "DragFloat"},
      {"Plot", "CollapsingHeader"},
      {"Quantity", "InputInt"},
      {"PopTime", "DragInt"},
      {"Use Trail", "Checkbox"},
      {"TrailWidth", "DragFloat"},
      {"UseTrailTexture", "Checkbox"},
      {"TrailTexture", "Combo"},
      {"SeparateTrailColors", "Checkbox"},
      {"BeginTrailColor", "ColorField"},
      {"EndTrailColor", "ColorField"},
  };
  std::vector<std::string> labels;
  for (const auto& [label, kind] : expected) labels.push_back(label);
  EXPECT_EQ(DrawnInOrder(labels), labels);
  for (const auto& [label, kind] : expected) EXPECT_EQ(Find(label, kWindow).kind, kind) << label;
  EXPECT_FALSE(Shown("Distortion", kWindow));
  EXPECT_FALSE(Shown("PhysicsType", kWindow));
}

TEST_F(ParticlePanel, BillboardDragsKeepTheirBoundsAndSpeeds) {
  Show(AllBillboardRows);
  CheckDragRows(kBillboardCreateRows);
  CheckDragRows(kBillboardMovementRows);
  CheckDragRows(kBillboardLookRows);
}

TEST_F(ParticlePanel, BehaviourAndPhysicsRowsKeepTheirBoundsAndSpeeds) {
  Show([](ParticleParams& d) {
    d.Emission.Behavior = Behavior_Sphere;
    d.Emission.UsePhysics = true;
    d.Emission.Physics.PhysicsType = PHYSICS_BOUNCE;
  });
  CheckDragRows(kBillboardSphereRows);
  CheckDragRows(kBounceRows);
  EXPECT_FALSE(Shown("MoveAttenuation", kWindow)) << "the sphere has no fall rows";

  Def().Emission.Behavior = Behavior_Rotate;
  Def().Emission.Physics.PhysicsType = PHYSICS_AIR;
  Frame();
  CheckDragRows(kBillboardRotateRows);
  CheckDragRows(kAirRows);
  EXPECT_FALSE(Shown("Distortion", kWindow));
  EXPECT_FALSE(Shown("BounceFactor", kWindow));
}

TEST_F(ParticlePanel, MeshRowsComeInOrderAndKeepTheirBoundsAndSpeeds) {
  Show(AllMeshRows);
  const std::vector<std::string> order = {"EnableShader",
                                          "Model",
                                          "Use Texture",
                                          "Texture",
                                          "UVMovement",
                                          "Use MaskTexture",
                                          "MaskTexture",
                                          "Create",
                                          "DelayStartTime",
                                          "PosOffset",
                                          "RandomPos",
                                          "CreateRange",
                                          "Altitude",
                                          "Movement",
                                          "ParticleBehavior",
                                          "Velocity",
                                          "UpVector",
                                          "MoveAttenuation",
                                          "FallDelay",
                                          "Weight",
                                          "Radius",
                                          "Random",
                                          "RandomValue",
                                          "Scale",
                                          "ScalingValue",
                                          "Rotate",
                                          "Color",
                                          "DestColor",
                                          "ColorAttenuation",
                                          "Emissive",
                                          "RandomColor",
                                          "RandomColorMin",
                                          "RandomColorMax",
                                          "Quantity",
                                          "PopTime",
                                          "Use Trail"};
  EXPECT_EQ(DrawnInOrder(order), order);
  for (const char* absent : {"Distortion", "Use Physics", "AddSeparateDelay", "RandomBehavior", "LockPos"})
    EXPECT_FALSE(Shown(absent, kWindow)) << absent;
  CheckDragRows(kMeshRows);

  Def().Emission.Behavior = Behavior_Rotate;
  Frame();
  CheckDragRows(kMeshRotateRows);
  EXPECT_FALSE(Shown("MoveAttenuation", kWindow));
}

TEST_F(ParticlePanel, CheckboxesFlipTheirOwnFields) {
  Show(AllBillboardRows);
  auto check = [&](const char* label, const std::function<bool&(ParticleParams&)>& field) {
    SCOPED_TRACE(label);
    const bool before = field(Def());
    Reveal(label);
    Click(label, kWindow);
    EXPECT_NE(field(Def()), before);
    Reveal(label);
    Click(label, kWindow);
    EXPECT_EQ(field(Def()), before);
  };
  check("Random", [](P& d) -> bool& { return d.Billboard.UseRandom; });
  check("Use Physics", [](P& d) -> bool& { return d.Emission.UsePhysics; });
  check("UseTrailTexture", [](P& d) -> bool& { return d.Billboard.UseTrailTexture; });
  check("SeparateTrailColors", [](P& d) -> bool& { return d.Billboard.SeparateTrailColors; });
  check("Use Trail", [](P& d) -> bool& { return d.Billboard.Trail; });

  AllMeshRows(Def());
  Frame();
  check("RandomPos", [](P& d) -> bool& { return d.Mesh.CreateRandomPos; });
  check("Random", [](P& d) -> bool& { return d.Mesh.UseRandom; });
  check("RandomColor", [](P& d) -> bool& { return d.Mesh.RandomColor; });
  check("Use Trail", [](P& d) -> bool& { return d.Mesh.Trail; });
  check("Use MaskTexture", [](P& d) -> bool& { return d.Mesh.UseMaskTexture; });
  check("Use Texture", [](P& d) -> bool& { return d.Mesh.UseTexture; });

  Reveal("EnableShader");
  Click("EnableShader", kWindow);
  EXPECT_TRUE(Def().Emission.UseShader);
  Reveal("DisableShader");
  Click("DisableShader", kWindow);
  EXPECT_FALSE(Def().Emission.UseShader);
}

// ---- what the rows say ------------------------------------------------------------------------------

class ParticlePanelHelp : public ParticlePanel {
 protected:
  // Hovers the row and returns the tooltip it showed ("" when none did).
  std::string TooltipOf(const std::string& label) {
    Reveal(label);
    MoveMouse(Find(label, kWindow).Centre());
    Frame(2);
    for (const ui::LoggedItem& item : Log().Items())
      if (item.label == label && item.kind == "Tooltip") return item.shown;
    return "";
  }
  // Every row says what it does, its unit and the range it allows.
  void CheckTooltips(const std::vector<DragRow>& rows) {
    for (const DragRow& row : rows) {
      SCOPED_TRACE(row.label);
      const std::string tip = TooltipOf(row.label);
      ASSERT_FALSE(tip.empty()) << "no tooltip";
      EXPECT_NE(tip.find("Unit: "), std::string::npos) << tip;
      char range[64];
      std::snprintf(range, sizeof range, "Range: %g to %g", row.min, row.max);
      EXPECT_NE(tip.find(row.min == row.max ? "Range: any value" : range), std::string::npos) << tip;
      seen_.insert(row.label);
    }
  }
  std::set<std::string> seen_;
};

TEST_F(ParticlePanelHelp, EveryRowSaysWhatItDoesItsUnitAndItsRangeOnHover) {
  Show(AllBillboardRows);
  for (const auto* rows : {&kBillboardCreateRows, &kBillboardMovementRows, &kBillboardLookRows})
    CheckTooltips(*rows);
  Def().Emission.Behavior = Behavior_Sphere;
  Def().Emission.UsePhysics = true;
  Def().Emission.Physics.PhysicsType = PHYSICS_BOUNCE;
  Frame();
  CheckTooltips(kBillboardSphereRows);
  CheckTooltips(kBounceRows);
  Def().Emission.Behavior = Behavior_Rotate;
  Def().Emission.Physics.PhysicsType = PHYSICS_AIR;
  Frame();
  CheckTooltips(kBillboardRotateRows);
  CheckTooltips(kAirRows);
  for (const char* colour : {"Color", "DestColor", "BeginTrailColor", "EndTrailColor"}) {
    EXPECT_NE(TooltipOf(colour).find("0 to 1 each"), std::string::npos) << colour;
    seen_.insert(colour);
  }
  EXPECT_NE(TooltipOf("Quantity").find("Range: 1 to 150"), std::string::npos) << "the limit with physics";
  seen_.insert("Quantity");

  AllMeshRows(Def());
  Def().Emission.Behavior = Behavior_None;
  Frame();
  CheckTooltips(kMeshRows);
  Def().Emission.Behavior = Behavior_Rotate;
  Frame();
  CheckTooltips(kMeshRotateRows);

  // The table says nothing of rows no panel shows.
  for (const RowHelp& help : RowHelpTable()) EXPECT_TRUE(seen_.count(help.label)) << help.label;
}

TEST_F(ParticlePanelHelp, HintsSayWhyATrailOrAnEmissionCannotShowAndGoOnceMended) {
  Show([](P& d) {
    d.Billboard.Trail = true;
    d.Billboard.TrailWidth = 0.0f;
    d.Billboard.SeparateTrailColors = false;
    d.Billboard.DestColor.a = 0.0f;
    d.Emission.Quantity = 0;
  });
  const auto hints = [&] {
    std::set<std::string> shown;
    for (const ui::LoggedItem& item : Log().Items())
      if (item.label == "hint") shown.insert(item.shown);
    return shown;
  };
  EXPECT_EQ(hints(),
            (std::set<std::string>{"the trail has no width", "the trail takes DestColor's alpha, 0 here",
                                   "Quantity 0: no particle is spawned"}));
  Reveal("TrailWidth");
  TypeIntoDrag("TrailWidth", "2", kWindow);
  ASSERT_EQ(Def().Billboard.TrailWidth, 2.0f);
  EXPECT_FALSE(hints().count("the trail has no width"));
  Reveal("SeparateTrailColors");
  Click("SeparateTrailColors", kWindow);
  EXPECT_FALSE(hints().count("the trail takes DestColor's alpha, 0 here"));
  Reveal("Quantity");
  Click("Quantity/+", kWindow);
  EXPECT_EQ(Def().Emission.Quantity, 1);
  EXPECT_TRUE(hints().empty());
  EXPECT_EQ(Def().Billboard.DestColor.a, 0.0f) << "a hint changes nothing by itself";
}

TEST_F(ParticlePanelHelp, TextureListsShowEachTextureAndTheModelItsCounts) {
  Show([](P&) {});
  Click("Texture", kWindow);
  ASSERT_TRUE(Shown("SMOKE"));
  CTextureManager* textures = Manager()->GetTextureManager();
  std::set<ImTextureID> drawn;
  for (const ImDrawList* list :
       std::span(ImGui::GetDrawData()->CmdLists, ImGui::GetDrawData()->CmdListsCount))
    for (const ImDrawCmd& command : list->CmdBuffer) drawn.insert(command.TextureId);
  for (const char* label : {"FLARE", "SMOKE", "RING"}) {
    const gfx::Texture* texture = textures->GetTexture(true, label);
    ASSERT_NE(texture, nullptr) << label;
    EXPECT_TRUE(drawn.count(reinterpret_cast<ImTextureID>(texture->NativeHandle()))) << label;
  }
  Click("SMOKE");
  EXPECT_EQ(Def().Emission.TextureTag, "SMOKE") << "a click on the row chooses it";

  AllMeshRows(Def());
  Frame();
  Click("Model", kWindow);
  const ui::LoggedItem* counts = Log().Find("CUBE counts");
  ASSERT_NE(counts, nullptr);
  const ModelInfo cube = Manager()->GetModelManager()->GetModel("CUBE");
  ASSERT_NE(cube.Mesh, nullptr);
  EXPECT_EQ(counts->shown, std::to_string(cube.Mesh->GetNumVertices()) + " vertices, " +
                               std::to_string(cube.Mesh->GetNumFaces()) + " faces");
}

// ---- rows that come and go -----------------------------------------------------------------------------

TEST_F(ParticlePanel, ParticleKindAndRandomBehaviourDecideTheRows) {
  Def().Emission.ParticleType = 2;
  Frame();
  std::vector<std::string> drawn;
  for (const ui::LoggedItem& item : Log().Items())
    if (item.window == kWindow && item.kind != "Window") drawn.push_back(item.label);
  EXPECT_EQ(drawn, std::vector<std::string>{"ObjectType"});

  Choose("ObjectType", "Object_Billboard");
  EXPECT_EQ(Def().Emission.ParticleType, Object_Billboard);
  Def().Billboard.RandomCreate = Default;
  Frame();
  Reveal("Create");
  Click("Create", kWindow);
  EXPECT_FALSE(Shown("CreateRange", kWindow));
  // The rows appear in the frame the choice is made.
  Choose("RandomBehavior", "Random_Circle");
  EXPECT_EQ(Def().Billboard.RandomCreate, Random_Circle);
  for (const char* row : {"CreateRange", "Altitude", "LockPos"}) EXPECT_TRUE(Shown(row, kWindow)) << row;
  Choose("LockPos", "Lock_XZ");
  EXPECT_EQ(Def().Billboard.LockPosition, Lock_XZ);
  Choose("RandomBehavior", "Default");
  for (const char* row : {"CreateRange", "Altitude", "LockPos"}) EXPECT_FALSE(Shown(row, kWindow)) << row;

  Choose("ObjectType", "Object_Mesh");
  EXPECT_EQ(Def().Emission.ParticleType, Object_Mesh);
  EXPECT_TRUE(Shown("EnableShader", kWindow));
}

TEST_F(ParticlePanel, PhysicsKindShowsItsRowsInTheFrameItIsChosen) {
  Show([](ParticleParams& d) {
    d.Emission.UsePhysics = true;
    d.Emission.Physics.PhysicsType = 5;
  });
  EXPECT_TRUE(Shown("PhysicsType", kWindow));
  for (const char* row : {"BounceFactor", "ElasticityCoefficient", "VectorFactor", "DragCoefficient"})
    EXPECT_FALSE(Shown(row, kWindow)) << "a stored kind of 5 shows no parameter, but " << row;
  Choose("PhysicsType", "PHYSICS_AIR");
  EXPECT_EQ(Def().Emission.Physics.PhysicsType, PHYSICS_AIR);
  EXPECT_TRUE(Shown("VectorFactor", kWindow) && Shown("DragCoefficient", kWindow));
  Choose("PhysicsType", "PHYSICS_BOUNCE");
  EXPECT_TRUE(Shown("BounceFactor", kWindow) && Shown("ElasticityCoefficient", kWindow));
}

TEST_F(ParticlePanel, VelocityAlsoSetsTheRandomVelocitysHorizontalPart) {
  Show([](ParticleParams& d) { d.Billboard.RandomVelocity = {7, 8, 9}; });
  Frame(3);
  EXPECT_EQ(Def().Billboard.RandomVelocity, D3DXVECTOR3(7, 8, 9)) << "showing the section changed nothing";
  DragValue("Velocity", 0, 2, 8);
  DragValue("Velocity", 1, 2, -8);
  const BillboardParams& b = Def().Billboard;
  EXPECT_NE(b.Velocity.x, 0.0f);
  EXPECT_NE(b.Velocity.z, 0.0f);
  EXPECT_EQ(b.RandomVelocity, D3DXVECTOR3(b.Velocity.x, 8, b.Velocity.z));
  const D3DXVECTOR3 before = b.Velocity;
  DragValue("UpVector", 0, 1, 8);
  EXPECT_GT(b.Velocity.y, before.y);
  EXPECT_EQ(b.RandomVelocity, D3DXVECTOR3(before.x, 8, before.z)) << "UpVector moves only the velocity's y";
}

// ---- counts and lifetimes
// ----------------------------------------------------------------------------------

TEST_F(ParticlePanel, QuantityIsCorrectedToTheLimitsOfTheShownDefinition) {
  Show([](ParticleParams& d) { d.Emission.UsePhysics = true; });
  TypeQuantity("300");
  EXPECT_EQ(Def().Emission.Quantity, 150);
  Reveal("Use Physics");
  Click("Use Physics", kWindow);
  TypeQuantity("450");
  EXPECT_EQ(Def().Emission.Quantity, 400);
  TypeQuantity("0");
  EXPECT_EQ(Def().Emission.Quantity, 1);
  TypeQuantity("-3");
  EXPECT_EQ(Def().Emission.Quantity, 1);
  TypeQuantity("399");
  EXPECT_EQ(Def().Emission.Quantity, 399);

  // Mesh particles: a lower bound, no upper one.
  Def().Emission.ParticleType = Object_Mesh;
  Frame();
  TypeQuantity("5000");
  EXPECT_EQ(Def().Emission.Quantity, 5000);
  TypeQuantity("0");
  EXPECT_EQ(Def().Emission.Quantity, 1);
}

TEST_F(ParticlePanel, SwitchingPhysicsOnCorrectsPopTimeAndQuantityAtOnce) {
  Show([](ParticleParams& d) {
    d.Billboard.PopTime = 400;
    d.Emission.Quantity = 300;
  });
  Reveal("Use Physics");
  const ui::LoggedItem box = Find("Use Physics", kWindow);
  mouse_ = box.Centre();
  MoveMouse(mouse_);
  Frame();
  MouseButton(true);
  Frame();
  MouseButton(false);
  Frame();  // the click lands in this frame; the corrections come with it
  EXPECT_TRUE(Def().Emission.UsePhysics);
  EXPECT_EQ(Def().Billboard.PopTime, 125);
  EXPECT_EQ(Def().Emission.Quantity, 150);
  EXPECT_EQ(Editor()->PopTimeLimit, 125);
}

// Values above the limits that a document brought stay until the user edits them.
TEST_F(ParticlePanel, ShowingLoadedValuesAboveTheLimitsChangesNothing) {
  Show([](ParticleParams& d) {
    d.Billboard.PopTime = 600;
    d.Emission.Quantity = 1000;
    d.Emission.UsePhysics = true;
    d.Billboard.RandomVelocity = {1, 2, 3};
  });
  const ParticleParams shown = Def();
  Frame(10);
  EXPECT_EQ(Def(), shown);

  ChooseFileMenu("SaveJson");
  EffectTable saved;
  ASSERT_EQ(LoadParticleJson(&saved), std::nullopt);
  ASSERT_EQ(saved["Begin"].size(), 1u);
  EXPECT_EQ(saved["Begin"][0].Billboard.PopTime, 600);
  EXPECT_EQ(saved["Begin"][0].Emission.Quantity, 1000);
}

// ---- texture and model choices ---------------------------------------------------------------------------

TEST_F(ParticlePanel, TextureListsLeaveTheEditorsIconsOut) {
  Show([](ParticleParams& d) {
    d.Billboard.Trail = true;
    d.Billboard.UseTrailTexture = true;
  });
  const std::vector<std::string> textures = {"BURST_4X4", "FLARE", "MASK", "RING", "SMOKE", "SPARK"};
  EXPECT_EQ(ComboEntries("Texture"), textures);
  EXPECT_EQ(ComboEntries("TrailTexture"), textures);
  AllMeshRows(Def());
  Frame();
  EXPECT_EQ(ComboEntries("MaskTexture"), textures);

  Choose("MaskTexture", "MASK");
  EXPECT_EQ(Def().Emission.MaskTextureTag, "MASK");
  Choose("Texture", "SMOKE");
  EXPECT_EQ(Def().Emission.TextureTag, "SMOKE");
}

TEST_F(ParticlePanel, ATagOutsideTheCatalogKeepsTheSelectionUntilAChoice) {
  Show([](ParticleParams& d) { d.Emission.TextureTag = "SPARK"; });
  EXPECT_EQ(Editor()->TextureIndex, 5);
  Def().Emission.TextureTag = "NOT_IN_CATALOG";
  Frame();
  EXPECT_EQ(Editor()->TextureIndex, 5);
  EXPECT_EQ(Def().Emission.TextureTag, "NOT_IN_CATALOG");
  Choose("Texture", "RING");
  EXPECT_EQ(Def().Emission.TextureTag, "RING");
}

TEST_F(ParticlePanel, AChosenModelIsWrittenAndShownAgainPerDefinition) {
  Show([](ParticleParams& d) {
    d.Emission.ParticleType = Object_Mesh;
    d.Emission.ModelTag = "SPHERE";
  });
  Editor()->Effects["Begin"].push_back(Def());
  Editor()->ItemIndex = 0;
  Frame();
  Choose("Model", "CUBE");
  EXPECT_EQ(Def().Emission.ModelTag, "CUBE");
  Frame();
  const int cube = Editor()->ModelIndex;

  Editor()->Effects["Begin"][1].Emission.ParticleType = Object_Mesh;
  Editor()->Effects["Begin"][1].Emission.ModelTag = "RING";
  Editor()->ItemIndex = 1;
  Frame();
  EXPECT_NE(Editor()->ModelIndex, cube) << "the other definition's model is shown";
  Editor()->ItemIndex = 0;
  Frame();
  EXPECT_EQ(Editor()->ModelIndex, cube);

  Def().Emission.ModelTag = "NO_SUCH_MODEL";
  Frame();
  EXPECT_EQ(Editor()->ModelIndex, cube) << "an unknown model leaves the selection";
}

// The boxes are not saved: a tag goes only when the user switches its box off.
TEST_F(ParticlePanel, TextureTagsAreClearedOnlyWhenTheUserSwitchesTheBoxOff) {
  Show([](ParticleParams& d) {
    d.Emission.ParticleType = Object_Mesh;
    d.Mesh.UseTexture = false;
    d.Emission.TextureTag = "FLARE";
    d.Emission.MaskTextureTag = "MASK";
  });
  Frame(5);
  EXPECT_EQ(Def().Emission.TextureTag, "FLARE") << "showing the definition cleared its texture";
  ChooseFileMenu("SaveJson");
  EffectTable saved;
  ASSERT_EQ(LoadParticleJson(&saved), std::nullopt);
  EXPECT_EQ(saved["Begin"][0].Emission.TextureTag, "FLARE");

  BringToFront();
  Click("Use Texture", kWindow);
  Click("Use MaskTexture", kWindow);
  EXPECT_TRUE(Def().Mesh.UseTexture && Def().Mesh.UseMaskTexture);
  EXPECT_EQ(Def().Emission.MaskTextureTag, "MASK");
  Click("Use MaskTexture", kWindow);
  EXPECT_EQ(Def().Emission.MaskTextureTag, "");
  EXPECT_EQ(Def().Emission.TextureTag, "FLARE");
  Def().Emission.MaskTextureTag = "MASK";
  Click("Use Texture", kWindow);
  EXPECT_EQ(Def().Emission.TextureTag, "");
  EXPECT_EQ(Def().Emission.MaskTextureTag, "MASK") << "switching the texture off keeps the mask";
  Def().Emission.TextureTag = "SMOKE";
  Frame(3);
  EXPECT_EQ(Def().Emission.TextureTag, "SMOKE") << "cleared once, in the frame of the switch";
}

TEST_F(ParticlePanel, SelectionsOutsideTheirListsReadNothingOutside) {
  Editor()->TrailTextureIndex = 99;
  Editor()->ModelIndex = -4;
  Editor()->LockPosIndex = 12;
  Show([](ParticleParams& d) {
    d.Emission.Behavior = 9;
    d.Billboard.RandomCreate = Random_Circle;
    d.Billboard.Trail = true;
    d.Billboard.UseTrailTexture = true;
    d.Billboard.TrailTexture = "GONE";
    d.Emission.ModelTag = "GONE";
  });
  EXPECT_TRUE(Shown("MoveAttenuation", kWindow)) << "an unknown behaviour shows the fall rows";
  EXPECT_EQ(Editor()->TrailTextureIndex, 99);
  Choose("TrailTexture", "SPARK");
  EXPECT_EQ(Def().Billboard.TrailTexture, "SPARK");
  Def().Emission.ParticleType = Object_Mesh;
  Frame(2);
  EXPECT_EQ(Def().Emission.ModelTag, "GONE") << "nothing is written without a choice";
  EXPECT_EQ(Editor()->ModelIndex, -4);
}

}  // namespace
