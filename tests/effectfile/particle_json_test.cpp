#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>

#include "editor/editor.h"
#include "effectfile/particle_json.h"
#include "platform/message_sink.h"

namespace {

namespace fs = std::filesystem;

class ParticleJsonTest : public TempFolderTest {
 protected:
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(dir_ / "ro", fs::perms::owner_all, ignored);  // so the folder can be removed
  }
  std::string Folder() const { return dir_.string() + "/"; }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

};

// A billboard set with every kind of value the document writes: fractions that are not
// exact in binary, negative and whole floats, flags set, a non-default physics block, and
// a distinct value in each field so that two keys written the wrong way round show.
ParticleParams FireSet() {
  ParticleParams p = CEditor::BeginDefinition();
  BillboardParams& b = p.Billboard;
  b.PosOffset = {0.1f, -2.0f, 0.0f};
  b.Velocity = {1.0f, -0.1f, 3.0f};
  b.Scaling = {0.5f, 0.25f, 2.0f};
  b.Color = {1.0f, 0.25f, 0.5f, 0.7f};
  b.DestColor = {0.125f, 0.375f, 0.625f, 0.875f};
  b.Weight = 0.3f;
  b.RandomWeightMin = 0.25f;
  b.RandomWeightMax = 1.5f;
  b.RandomRotateMin = 3.0f;
  b.RandomRotateMax = 4.0f;
  b.RotateAngle = 5.0f;
  b.RotateRadius = 6.0f;
  b.CreateRange = 8.0f;
  b.Altitude = 9.0f;
  b.RandomCreate = Random_Circle;
  b.LockPosition = Lock_XY;
  b.DelayStartTime = 7;
  b.UseRandom = true;
  b.Trail = true;
  b.SeparateTrailColors = true;
  b.Physics.PhysicsType = PHYSICS_AIR;
  b.Physics.VectorFactor = 0.5f;
  b.Physics.DragCoefficient = 0.2f;
  p.Emission.Behavior = Behavior_Sphere;
  return p;
}

const char kFireEffect[] =
    R"({"DataTag":"Fire","Object":[{"Altitude":9.0,"Behavior":2,)"
    R"("Color":{"A":0.699999988079071,"B":0.5,"G":0.25,"R":1.0},"ColorAttenuation":0.5,"CreateRange":8.0,)"
    R"("DelayStartTime":7,"DestColor":{"A":0.875,"B":0.625,"G":0.375,"R":0.125},"LockPosition":4,)"
    R"("ParticleType":0,"Physics":[["Type",2],["Bounce",["BounceFactor",0.0],["Coefficient",2.0]],)"
    R"(["Air",["VectorFactor",0.5],["Coefficient",0.20000000298023224]]],"PopTime":50,)"
    R"("PosOffset":{"X":0.10000000149011612,"Y":-2.0,"Z":0.0},"Quantity":5,"Radius":360.0,"RandomCreate":1,)"
    R"("RandomMax":1.5,"RandomMin":0.25,"RandomRotateMax":4.0,"RandomRotateMin":3.0,"RotateAngle":5.0,)"
    R"("RotateRadius":6.0,"Scale":{"X":10.0,"Y":10.0,"Z":0.0},"Scaling":{"X":0.5,"Y":0.25,"Z":2.0},)"
    R"("SeparateTrailColors":true,"TextureTag":"FLARE","Trail":true,"UseRandom":true,)"
    R"("Velocity":{"X":1.0,"Y":-0.10000000149011612,"Z":3.0},"VelocityAttenuation":0.004999999888241291,)"
    R"("Weight":0.30000001192092896}]})";

// A mesh set: the mesh block and the emission's model tag are written, the billboard block
// (left as BeginDefinition made it) and MeshParams' own tags are not.
ParticleParams SmokeSet() {
  ParticleParams p = CEditor::BeginDefinition();
  MeshParams& m = p.Mesh;
  p.Emission.ParticleType = Object_Mesh;
  p.Emission.Behavior = Behavior_Rotate;
  m.PosOffset = {4.0f, 5.0f, 6.0f};
  m.Velocity = {0.0f, 3.0f, -0.5f};
  m.Scaling = {0.75f, 0.5f, 1.25f};
  m.DestColor = {0.5f, 0.25f, 0.0f, 1.0f};
  m.CreateRandomPos = true;
  m.CreateRange = 2.5f;
  m.Altitude = 0.1f;
  m.RotateAngle = 0.05f;
  m.RotateRadius = 2.0f;
  m.RandomRotateMax = 1.5f;
  m.RandomRotateMin = -1.5f;
  m.Weight = 1.75f;
  m.VelocityAttenuation = 0.01f;
  m.DelayStartTime = 30;
  m.Trail = true;
  m.ModelTag = "NOT_WRITTEN";
  return p;
}

const char kSmokeEffect[] =
    R"({"DataTag":"Smoke","Object":[{"Altitude":0.10000000149011612,"Behavior":3,)"
    R"("Color":{"A":1.0,"B":1.0,"G":1.0,"R":1.0},"ColorAttenuation":0.5,"CreateRandomPos":true,)"
    R"("CreateRange":2.5,"DelayStartTime":30,"DestColor":{"A":1.0,"B":0.0,"G":0.25,"R":0.5},)"
    R"("ModelTag":"CUBE","ParticleType":1,"PopTime":100,"PosOffset":{"X":4.0,"Y":5.0,"Z":6.0},)"
    R"("Quantity":5,"Radius":360.0,"RandomRotateMax":1.5,"RandomRotateMin":-1.5,)"
    R"("RotateAngle":0.05000000074505806,"RotateRadius":2.0,"Scale":{"X":1.0,"Y":1.0,"Z":1.0},)"
    R"("Scaling":{"X":0.75,"Y":0.5,"Z":1.25},"TextureTag":"FLARE","Trail":true,)"
    R"("Velocity":{"X":0.0,"Y":3.0,"Z":-0.5},"VelocityAttenuation":0.009999999776482582,"Weight":1.75}]})";

// Copies the named members: what a document carries, the rest left at the defaults.
// (Members of a base record are named through the derived one: &B::PopTime.)
template <typename T, typename... Member>
void Copy(const T& from, T& to, Member... fields) {
  ((to.*fields = from.*fields), ...);
}

using B = BillboardParams;
using E = EmissionParams;
using M = MeshParams;

ParticleParams CarriedBillboard(const ParticleParams& p, const std::string& tag) {
  ParticleParams q;
  Copy(p.Emission, q.Emission, &E::ParticleType, &E::Behavior, &E::Radius, &E::Quantity, &E::TextureTag);
  Copy(p.Billboard, q.Billboard, &B::RandomWeightMin, &B::RandomWeightMax, &B::DelayStartTime,
       &B::RandomCreate, &B::LockPosition, &B::UseRandom, &B::CreateRange, &B::Altitude, &B::PosOffset,
       &B::Velocity, &B::VelocityAttenuation, &B::Scale, &B::Color, &B::DestColor, &B::ColorAttenuation,
       &B::Scaling, &B::Weight, &B::RotateAngle, &B::RotateRadius, &B::RandomRotateMax, &B::RandomRotateMin,
       &B::PopTime, &B::Trail);
  q.Emission.DataTag = tag;
  return q;
}

ParticleParams CarriedMesh(const ParticleParams& p, const std::string& tag) {
  ParticleParams q;
  Copy(p.Emission, q.Emission, &E::ParticleType, &E::Behavior, &E::Radius, &E::Quantity, &E::ModelTag,
       &E::TextureTag);
  Copy(p.Mesh, q.Mesh, &M::DelayStartTime, &M::CreateRandomPos, &M::CreateRange, &M::Altitude, &M::PosOffset,
       &M::Velocity, &M::VelocityAttenuation, &M::Scale, &M::Color, &M::DestColor, &M::ColorAttenuation,
       &M::Scaling, &M::Weight, &M::RotateAngle, &M::RotateRadius, &M::RandomRotateMax, &M::RandomRotateMin,
       &M::PopTime, &M::Trail);
  q.Emission.DataTag = tag;
  return q;
}

TEST_F(ParticleJsonTest, WritesExactDocuments) {
  EXPECT_EQ(ParticleJsonText({{"Fire", {FireSet()}}, {"Smoke", {SmokeSet()}}}),
            std::string(R"({"PARTICLE":[)") + kFireEffect + "," + kSmokeEffect + "]}\n");
  EXPECT_EQ(ParticleJsonText({}), "null\n");

  // A set of another type keeps its place and its type, all that it reads back.
  ParticleParams other = FireSet();
  other.Emission.ParticleType = 2;
  const std::string fireObject = Json::parse(kFireEffect)["Object"][0].dump();
  EXPECT_EQ(ParticleJsonText({{"X", {}}, {"Y", {other, FireSet(), other}}}),
            R"({"PARTICLE":[{"DataTag":"X"},{"DataTag":"Y","Object":[{"ParticleType":2},)" + fireObject +
                R"(,{"ParticleType":2}]}]})" + "\n");
}

TEST_F(ParticleJsonTest, RoundTripKeepsEveryCarriedFieldAndDefaultsTheRest) {
  // Fields the document leaves out, set so that reading them back as defaults shows.
  ParticleParams fire = FireSet();
  fire.Billboard.RandomVelocityMin = {1.0f, 1.0f, 1.0f};
  fire.Emission.SoundTracks = {{"boom", 3}};
  fire.Emission.MaskTextureTag = "MASK";
  fire.Emission.Physics.PhysicsType = PHYSICS_BOUNCE;
  fire.Mesh.Rotation = {1.0f, 2.0f, 3.0f};
  ParticleParams smoke = SmokeSet();
  smoke.Mesh.Rotation = {1.0f, 2.0f, 3.0f};
  smoke.Mesh.MaskTextureTag = "MASK";
  smoke.Emission.SoundTracks = {{"hiss", 1}};

  ParticleParams other = fire;
  other.Emission.ParticleType = -7;
  ParticleParams otherRead;
  otherRead.Emission.ParticleType = -7;
  otherRead.Emission.DataTag = "Smoke";

  platform::ScopedMessageRecorder messages;
  ASSERT_TRUE(SaveParticleJson({{"Fire", {fire, smoke}}, {"Smoke", {other, smoke, other}}}, "particle.json",
                               Folder()));
  EffectTable loaded;
  ASSERT_EQ(LoadParticleJson(&loaded, (dir_ / "particle.json").string()), std::nullopt);
  EXPECT_TRUE(messages.Messages().empty());

  EXPECT_EQ(loaded, (EffectTable{{"Fire", {CarriedBillboard(fire, "Fire"), CarriedMesh(smoke, "Fire")}},
                                 {"Smoke", {otherRead, CarriedMesh(smoke, "Smoke"), otherRead}}}));
}

// A set read from an object that holds nothing but its type.
ParticleParams ReadDefaults(int type) {
  ParticleParams q;
  const D3DXCOLOR white(1.0f, 1.0f, 1.0f, 1.0f);
  q.Emission.DataTag = "T";
  q.Emission.ParticleType = type;
  if (type == Object_Billboard) {
    q.Emission.TextureTag = "null";
    q.Billboard.Color = q.Billboard.DestColor = white;
  } else if (type == Object_Mesh) {
    q.Emission.ModelTag = q.Emission.TextureTag = "null";
    q.Mesh.Color = q.Mesh.DestColor = white;
  }
  return q;
}

TEST_F(ParticleJsonTest, ReadsEachKeyTolerantlyAndParticleTypeStrictly) {
  struct Case {
    const char* object;
    int type;
    std::function<void(ParticleParams&)> edit;  // from ReadDefaults(type); null for type_error 302
  };
  const auto same = [](ParticleParams&) {};
  const Case cases[] = {
      {R"({"ParticleType":0})", 0, same},
      {R"({"ParticleType":0,"PosOffset":{},"Velocity":[],"Scale":null,"Color":{},"DestColor":[],)"
       R"("TextureTag":[]})",
       0, same},
      {R"({"ParticleType":0,"PopTime":2.9,"Quantity":true,"Weight":3,"Trail":true,"UseRandom":null})", 0,
       [](ParticleParams& p) {
         p.Billboard.PopTime = 2;
         p.Emission.Quantity = 1;
         p.Billboard.Weight = 3.0f;
         p.Billboard.Trail = true;
       }},
      {R"({"ParticleType":0,"Radius":true,"Weight":false,"PosOffset":{"X":true,"Y":0,"Z":-1}})", 0,
       [](ParticleParams& p) {
         p.Emission.Radius = 1.0f;
         p.Billboard.PosOffset = {1.0f, 0.0f, -1.0f};
       }},
      {R"({"ParticleType":1,"Color":{}})", 1, same},
      {R"({"ParticleType":2,"Radius":5,"PosOffset":{"X":1}})", 2, same},
      {R"({"ParticleType":0,"PosOffset":{"X":1}})", 0, nullptr},
      {R"({"ParticleType":0,"Color":{"R":1,"G":1,"B":1}})", 0, nullptr},
      {R"({"ParticleType":0,"UseRandom":1})", 0, nullptr},
      {R"({"ParticleType":0,"Radius":"1"})", 0, nullptr},
      {R"({"ParticleType":0,"TextureTag":5})", 0, nullptr},
      {R"({"ParticleType":"0"})", 0, nullptr},
      {R"({"Radius":1})", 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.object);
    const Json document =
        Json::parse(std::string(R"({"PARTICLE":[{"DataTag":"T","Object":[)") + c.object + "]}]}");
    EffectTable table;
    try {
      MergeParticleJson(document, &table);
    } catch (const Json::type_error& e) {
      EXPECT_FALSE(c.edit) << "the read should succeed: " << e.what();
      EXPECT_EQ(e.id, 302) << e.what();
      continue;
    }
    ASSERT_TRUE(c.edit) << "expected type_error 302";
    ParticleParams expected = ReadDefaults(c.type);
    c.edit(expected);
    EXPECT_EQ(table, (EffectTable{{"T", {expected}}}));
  }
}

TEST_F(ParticleJsonTest, NumbersBeyondTheirFieldAreRefusedNamingItAndTheEdgesRead) {
  const auto read = [](const std::string& members) {
    EffectTable table;
    MergeParticleJson(
        Json::parse(R"({"PARTICLE":[{"DataTag":"T","Object":[{"ParticleType":0,)" + members + "}]}]}"),
        &table);
    return table.at("T").at(0);
  };
  struct Refused {
    const char* members;
    const char* named;
  };
  const Refused refused[] = {
      {R"("Radius":1e39)", R"("Radius" is out of the range of a float)"},
      {R"("Scale":{"X":-3.5e38,"Y":0,"Z":0})", R"("Scale" "X" is out of the range of a float)"},
      {R"("PopTime":2147483648)", R"("PopTime" is out of the range of a whole number)"},
      {R"("Quantity":-2147483649)", R"("Quantity" is out of the range of a whole number)"},
      {R"("LockPosition":18446744073709551615)", R"("LockPosition" is out of the range of a whole number)"},
      {R"("DelayStartTime":-3e9)", R"("DelayStartTime" is out of the range of a whole number)"},
  };
  for (const Refused& r : refused) {
    SCOPED_TRACE(r.members);
    try {
      read(r.members);
      ADD_FAILURE() << "read";
    } catch (const std::out_of_range& e) {
      EXPECT_NE(std::string(e.what()).find(r.named), std::string::npos) << e.what();
    }
  }
  const ParticleParams edges =
      read(R"("Radius":3.4028235e38,"Weight":-3.4028234663852886e38,"Altitude":1e-50,"PopTime":2147483647,)"
           R"("Quantity":-2147483648)");
  EXPECT_EQ(edges.Emission.Radius, std::numeric_limits<float>::max());
  EXPECT_EQ(edges.Billboard.Weight, -std::numeric_limits<float>::max());
  EXPECT_EQ(edges.Billboard.Altitude, 0.0f);
  EXPECT_EQ(edges.Billboard.PopTime, std::numeric_limits<int>::max());
  EXPECT_EQ(edges.Emission.Quantity, std::numeric_limits<int>::min());
}

TEST_F(ParticleJsonTest, MergeKeepsTheListOfAnEffectAlreadyHeld) {
  ParticleParams mine = FireSet();
  mine.Emission.Radius = 99.0f;
  EffectTable table{{"Fire", {mine, mine}}};
  MergeParticleJson(Json::parse(std::string(R"({"PARTICLE":[)") + kFireEffect + "," + kSmokeEffect + "]}"),
                    &table);
  EXPECT_EQ(table, (EffectTable{{"Fire", {mine, mine}}, {"Smoke", {CarriedMesh(SmokeSet(), "Smoke")}}}));
}

TEST_F(ParticleJsonTest, LoadIgnoresTextAfterTheDocumentAndLeavesTablesAloneForMissingFiles) {
  platform::ScopedMessageRecorder messages;
  EffectTable table{{"Keep", {}}};
  EXPECT_EQ(LoadParticleJson(&table, (dir_ / "missing.json").string()), std::nullopt);
  EXPECT_EQ(table, (EffectTable{{"Keep", {}}}));

  const std::string path =
      Write("trailing.json", std::string(R"({"PARTICLE":[)") + kSmokeEffect + "]}\n}} trailing");
  EXPECT_EQ(LoadParticleJson(&table, path), std::nullopt);
  for (const auto& message : messages.Messages()) ADD_FAILURE() << message.text;
  ASSERT_EQ(table["Smoke"].size(), 1u);
  EXPECT_EQ(table["Smoke"][0], CarriedMesh(SmokeSet(), "Smoke"));
}

TEST_F(ParticleJsonTest, FailedLoadReturnsTheLibraryMessageAndKeepsWhatWasMerged) {
  const std::string wrongType =
      R"({"PARTICLE":[{"DataTag":"A"},{"DataTag":"B","Object":[{"ParticleType":"0"}]},)"
      R"({"DataTag":"C"}]})";
  const auto what = [](auto&& read) -> std::string {
    try {
      read();
    } catch (const std::exception& e) {
      return e.what();
    }
    return "no error";
  };
  const std::string typeMessage = what([&] {
    EffectTable scratch;
    MergeParticleJson(Json::parse(wrongType), &scratch);
  });
  ASSERT_NE(typeMessage.find("type_error.302"), std::string::npos) << typeMessage;
  const std::string malformedPath = Write("malformed.json", R"({"PARTICLE":[{"DataTag":"A"},)");
  const std::string parseMessage = what([&] { LoadJson(malformedPath); });
  ASSERT_NE(parseMessage.find("parse_error"), std::string::npos) << parseMessage;

  struct Case {
    std::string path;
    std::string libraryMessage;
    EffectTable after;
  };
  const Case cases[] = {
      {Write("wrong-type.json", wrongType), typeMessage, {{"A", {}}, {"Old", {}}}},
      {malformedPath, parseMessage, {{"Old", {}}}},
      // Refused before it is read: read whole, it would end in a parse error at line 1, column 1.
      {Sparse("huge.json", std::uint64_t{300} << 20),
       "the file holds 314572800 bytes, more than the 268435456 (256 MB) a document may hold",
       {{"Old", {}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    platform::ScopedMessageRecorder messages;
    EffectTable table{{"Old", {}}};
    const std::string error = LoadParticleJson(&table, c.path).value_or("loaded");
    EXPECT_EQ(table, c.after);
    EXPECT_TRUE(messages.Messages().empty());
    EXPECT_NE(error.find(c.libraryMessage), std::string::npos) << error;
    EXPECT_EQ(error.rfind(c.path + ": ", 0), 0u) << error;
  }
}

TEST_F(ParticleJsonTest, FailedSaveSaysSoOnceAndLeavesTheOldFile) {
  const EffectTable good{{"Fire", {FireSet()}}};
  const EffectTable badTag{{"bad\xff", {FireSet()}}};
  Write("particle.json", "old document");
  Write("plain", "a file where a folder should be");

  struct Case {
    const char* name;
    const EffectTable* table;
    std::string folder;
  };
  std::vector<Case> cases = {
      {"invalid UTF-8 tag", &badTag, Folder()},
      {"missing folder", &good, Folder() + "missing/"},
      {"folder is a file", &good, Folder() + "plain/"},
  };
  // A read-only folder only refuses writes to someone without the right to override it.
  fs::create_directories(dir_ / "ro");
  Write("ro/particle.json", "old document");
  fs::permissions(dir_ / "ro", fs::perms::owner_read | fs::perms::owner_exec);
  if (::access((dir_ / "ro").c_str(), W_OK) != 0)
    cases.push_back({"read-only folder", &good, Folder() + "ro/"});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform::ScopedMessageRecorder messages;
    EXPECT_FALSE(SaveParticleJson(*c.table, "particle.json", c.folder));
    EXPECT_EQ(messages.Messages().size(), 1u);
  }
  EXPECT_EQ(Read(dir_ / "particle.json"), "old document");
  EXPECT_EQ(Read(dir_ / "ro" / "particle.json"), "old document");
  EXPECT_EQ(Read(dir_ / "plain"), "a file where a folder should be");
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
  EXPECT_FALSE(fs::exists(dir_ / "particle.json.saving"));

  // JSON has no infinity or NaN: such a value is named, not written as null.
  for (const auto& [edit, named] : std::vector<std::pair<std::function<void(ParticleParams&)>, std::string>>{
           {[](ParticleParams& p) { p.Emission.Radius = -std::numeric_limits<float>::infinity(); }, "Radius"},
           {[](ParticleParams& p) { p.Billboard.Color.g = std::numeric_limits<float>::quiet_NaN(); },
            "Color.G"},
           {[](ParticleParams& p) {
              p.Billboard.Physics.DragCoefficient = std::numeric_limits<float>::infinity();
            },
            "Physics[2][2][1]"},
       }) {
    SCOPED_TRACE(named);
    ParticleParams p = FireSet();
    edit(p);
    platform::ScopedMessageRecorder messages;
    EXPECT_FALSE(SaveParticleJson({{"Fire", {FireSet(), p}}}, "particle.json", Folder()));
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_NE(messages.Messages()[0].text.find("\"Fire\", definition 1: " + named + " is"), std::string::npos)
        << messages.Messages()[0].text;
  }
  EXPECT_EQ(Read(dir_ / "particle.json"), "old document");

  // And a save that can go ahead replaces the old document whole.
  platform::ScopedMessageRecorder messages;
  EXPECT_TRUE(SaveParticleJson(good, "particle.json", Folder()));
  EXPECT_EQ(Read(dir_ / "particle.json"), std::string(R"({"PARTICLE":[)") + kFireEffect + "]}\n");
  EXPECT_TRUE(messages.Messages().empty());
}

}  // namespace
