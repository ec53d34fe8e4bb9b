#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <set>
#include <sstream>

#include "editor/editor.h"
#include "effectfile/backup.h"
#include "effectfile/particle_json.h"
#include "effectfile/particle_text.h"
#include "platform/message_sink.h"

namespace {

namespace fs = std::filesystem;

class ParticleTextTest : public TempFolderTest {
 protected:
  std::string Folder() const { return dir_.string() + "/"; }
  std::string Read(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  // Loads particle.txt into a copy of the table, expects a refusal that leaves it unchanged,
  // says nothing itself and returns what the user is to be told.
  static std::string RefusedLoad(const std::string& folder, const EffectTable& table) {
    platform::ScopedMessageRecorder messages;
    EffectTable loaded = table;
    const DocumentError error = LoadParticleText(&loaded, folder + "particle.txt");
    EXPECT_TRUE(error.has_value());
    EXPECT_EQ(loaded, table);
    EXPECT_TRUE(messages.Messages().empty());
    return error.value_or("");
  }
};

// Every written field distinct, so a swapped pair of lines shows; floats that need the
// short form, the exponent form and rounding to six digits.
ParticleParams SparkSet() {
  ParticleParams p = CEditor::BeginDefinition();
  BillboardParams& b = p.Billboard;
  b.UseRandom = true;
  b.RandomVelocityMin = {-1.0f, 0.5f, 2.0f};
  b.RandomVelocityMax = {1.234567f, 1234567.0f, 1e-7f};
  b.RandomRotateValueMin = 0.1f;
  b.RandomRotateValueMax = 2.0f;
  b.RandomWeightMin = 0.25f;
  b.RandomWeightMax = 3.0f;
  b.DistortionMin = -4.0f;
  b.DistortionMax = 5.0f;
  b.RandomCreate = Random_Circle;
  b.LockPosition = Lock_YZ;
  b.DelayStartTime = 12;
  b.CreateRange = 7.5f;
  b.Altitude = -8.0f;
  b.Velocity = {0.3f, 9.0f, 10.0f};
  b.DestColor = {0.5f, 0.25f, 0.125f, 0.0f};
  b.Scaling = {0.01f, 0.0f, 0.0f};
  b.Weight = 11.0f;
  b.RotateAngle = 13.0f;
  b.RotateRadius = 14.0f;
  b.RandomRotateMin = 15.0f;
  b.RandomRotateMax = 16.0f;
  p.Emission.Behavior = Behavior_Rotate;
  return p;
}

const char kSparkText[] =
    "Tag : Spark\n"
    "Index : 0\n"
    "UseRandom : true\n"
    "RandomVelocityMin : -1 , 0.5 , 2\n"
    "RandomVelocityMax : 1.23457 , 1.23457e+06 , 1e-07\n"
    "RandomRotateMin : 0.1\n"
    "RandomRotateMax : 2\n"
    "RandomWeightMin : 0.25\n"
    "RandomWeightMax : 3\n"
    "DistortionMin : -4\n"
    "DistortionMax : 5\n"
    "RandomCreate : 1\n"
    "LockPosition : 6\n"
    "DelayStartTime : 12\n"
    "CreateRange : 7.5\n"
    "Altitude : -8\n"
    "PosOffset : 0 , 0 , 0\n"
    "Velocity : 0.3 , 9 , 10\n"
    "VelocityAttenuation : 0.005\n"
    "Behavior : 3\n"
    "Scale : 10 , 10 , 0\n"
    "Color : 1 , 1 , 1 , 1\n"
    "DestColor : 0.5 , 0.25 , 0.125 , 0\n"
    "ColorAttenuation : 0.5\n"
    "Scaling : 0.01 , 0 , 0\n"
    "Weight : 11\n"
    "Radius : 360\n"
    "RotateAngle : 13\n"
    "RotateRadius : 14\n"
    "RandomRotateMinBH : 15\n"
    "RandomRotateMaxBH : 16\n"
    "PopTime : 50\n"
    "Quantity : 5\n"
    "TextureTag : FLARE\n"
    "Trail : false\n";

// (Members of a base record are named through the derived one: &B::PopTime.)
template <typename T, typename... Member>
void Copy(const T& from, T& to, Member... fields) {
  ((to.*fields = from.*fields), ...);
}

// What the text keeps of a set: the billboard fields it writes (already rounded by the
// caller where six digits lose something), defaults for everything else.
ParticleParams CarriedText(const ParticleParams& p) {
  using B = BillboardParams;
  using E = EmissionParams;
  ParticleParams q;
  Copy(p.Emission, q.Emission, &E::Behavior, &E::Radius, &E::Quantity, &E::TextureTag);
  Copy(p.Billboard, q.Billboard, &B::UseRandom, &B::RandomVelocityMin, &B::RandomVelocityMax,
       &B::RandomRotateValueMin, &B::RandomRotateValueMax, &B::RandomWeightMin, &B::RandomWeightMax,
       &B::DistortionMin, &B::DistortionMax, &B::RandomCreate, &B::LockPosition, &B::DelayStartTime,
       &B::CreateRange, &B::Altitude, &B::PosOffset, &B::Velocity, &B::VelocityAttenuation, &B::Scale,
       &B::Color, &B::DestColor, &B::ColorAttenuation, &B::Scaling, &B::Weight, &B::RotateAngle,
       &B::RotateRadius, &B::RandomRotateMin, &B::RandomRotateMax, &B::PopTime, &B::Trail);
  return q;
}

// The set's number and its effect's tag are bookkeeping the document does not hold as fields.
ParticleParams WithoutBookkeeping(ParticleParams p) {
  p.Emission.Index = 0;
  p.Emission.DataTag.clear();
  return p;
}

EffectTable Merge(const std::string& text, EffectTable table = {}) {
  std::istringstream in(text);
  MergeParticleText(in, &table);
  return table;
}

TEST_F(ParticleTextTest, WritesExactText) {
  EXPECT_EQ(ParticleText({{"Spark", {SparkSet()}}}), kSparkText);
  EXPECT_EQ(ParticleText({}), "");
  EXPECT_EQ(ParticleText({{"Empty", {}}}), "Tag : Empty\n");
}

TEST_F(ParticleTextTest, RoundTripKeepsSixDigitsOfTheBillboardFields) {
  ParticleParams spark = SparkSet();
  // Six digits of the smallest normal float fall just below it.
  spark.Billboard.CreateRange = std::numeric_limits<float>::min();
  spark.Billboard.Altitude = -std::numeric_limits<float>::denorm_min();
  spark.Emission.ParticleType = Object_Mesh;
  spark.Emission.ModelTag = "CUBE";
  spark.Billboard.SeparateTrailColors = true;
  spark.Billboard.Physics.PhysicsType = PHYSICS_BOUNCE;
  spark.Emission.Physics.DragCoefficient = 3.0f;
  ParticleParams second = CEditor::BeginDefinition();
  second.Billboard.Trail = true;
  second.Billboard.PosOffset = {-0.1f, 0.2f, 300.0f};
  second.Billboard.Color = {0.1f, 0.2f, 0.3f, 0.4f};
  second.Emission.TextureTag = "SMOKE";
  second.Emission.Quantity = 40;

  platform::ScopedMessageRecorder messages;
  // The empty tag sorts first and comes back like any other.
  ASSERT_TRUE(SaveParticleText({{"Spark", {spark, second}}, {"Two", {second}}, {"", {second}}},
                               Folder() + "particle.txt"));
  EffectTable table;
  ASSERT_EQ(LoadParticleText(&table, Folder() + "particle.txt"), std::nullopt);
  EXPECT_TRUE(messages.Messages().empty());

  ParticleParams rounded = CarriedText(spark);
  rounded.Billboard.RandomVelocityMax = {1.23457f, 1234570.0f, 1e-7f};
  rounded.Billboard.CreateRange = 1.17549e-38f;
  for (auto& [tag, sets] : table)
    for (auto& set : sets) set = WithoutBookkeeping(set);
  EXPECT_EQ(table, (EffectTable{{"Spark", {rounded, CarriedText(second)}},
                                {"Two", {CarriedText(second)}},
                                {"", {CarriedText(second)}}}));
}

TEST_F(ParticleTextTest, ReadsLinesByTheDocumentsRules) {
  struct Case {
    const char* lines;  // after "Tag : A" and "Index : 0"
    std::function<void(const std::vector<ParticleParams>&)> check;
  };
  const Case cases[] = {
      {"Radius : 1 , 2\nPopTime : 3 , 4\n",
       [](auto& sets) {
         EXPECT_EQ(sets[0].Emission.Radius, 2.0f);
         EXPECT_EQ(sets[0].Billboard.PopTime, 4);
       }},
      {"Color : 0.1 , 0.2 , 0.3 , 0.4\nColor : 1 , 0.5\nDestColor : 1 , 2 , 3 , 4 , 5\n",
       [](auto& sets) {
         EXPECT_EQ(sets[0].Billboard.Color, D3DXCOLOR(0.1f, 0.2f, 0.3f, 0.4f));
         EXPECT_EQ(sets[0].Billboard.DestColor, D3DXCOLOR());
       }},
      {"PosOffset : 1 , 2 , 3\nPosOffset : 4 , 5 , 6 , 7\nScale : 1 , 2\n",
       [](auto& sets) {
         EXPECT_EQ(sets[0].Billboard.PosOffset, D3DXVECTOR3(1.0f, 2.0f, 3.0f));
         EXPECT_EQ(sets[0].Billboard.Scale, D3DXVECTOR3());
       }},
      {"UseRandom : TRUE\nTrail : True\n",
       [](auto& sets) {
         EXPECT_FALSE(sets[0].Billboard.UseRandom);
         EXPECT_FALSE(sets[0].Billboard.Trail);
       }},
      {"TextureTag : FLARE\nTextureTag : \n",
       [](auto& sets) { EXPECT_EQ(sets[0].Emission.TextureTag, "FLARE"); }},
      {"TextureTag : C:/fx/a.png\n",
       [](auto& sets) { EXPECT_EQ(sets[0].Emission.TextureTag, "C:/fx/a.png"); }},
      {" Tex ture\tTag : FL ARE \r\n R a d i u s : 1 . 5\n",
       [](auto& sets) {
         EXPECT_EQ(sets[0].Emission.TextureTag, "FLARE");
         EXPECT_EQ(sets[0].Emission.Radius, 1.5f);
       }},
      {"PopTime : 12abc\nWeight : 2.5x\nDelayStartTime : 3.9\nAltitude : 1e2\n",
       [](auto& sets) {
         EXPECT_EQ(sets[0].Billboard.PopTime, 12);
         EXPECT_EQ(sets[0].Billboard.Weight, 2.5f);
         EXPECT_EQ(sets[0].Billboard.DelayStartTime, 3);
         EXPECT_EQ(sets[0].Billboard.Altitude, 100.0f);
       }},
      // Too small for a normal float: the subnormal or zero it rounds to.
      {"Weight : 1e-40\nAltitude : -1e-50\n",
       [](auto& sets) {
         EXPECT_EQ(sets[0].Billboard.Weight, 1e-40f);
         EXPECT_EQ(sets[0].Billboard.Altitude, 0.0f);
       }},
      // Carried values reach a set with its first field line, known key or not.
      {"RandomCreate : 1\nLockPosition : 5\nBehavior : 2\nIndex : 1\nNoSuchKey : 0\nIndex : 2\n",
       [](auto& sets) {
         ASSERT_EQ(sets.size(), 3u);
         for (int i : {0, 1}) {
           EXPECT_EQ(sets[i].Billboard.RandomCreate, 1) << i;
           EXPECT_EQ(sets[i].Billboard.LockPosition, 5) << i;
           EXPECT_EQ(sets[i].Emission.Behavior, 2) << i;
         }
         EXPECT_EQ(sets[2].Emission.Behavior, 0);
         EXPECT_EQ(sets[2].Billboard.RandomCreate, 0);
       }},
      {"Index : 5\nIndex : 2\n", [](auto& sets) { EXPECT_EQ(sets.size(), 3u); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    EffectTable table = Merge(std::string("Tag : A\nIndex : 0\n") + c.lines);
    ASSERT_EQ(table.size(), 1u);
    ASSERT_FALSE(table["A"].empty());
    c.check(table["A"]);
  }
}

TEST_F(ParticleTextTest, NamedEffectsAreReplacedWholeOthersSurvive) {
  ParticleParams old = SparkSet();
  EffectTable table =
      Merge("Tag : A\nIndex : 0\nRadius : 7\nTag : C\n", {{"A", {old, old, old}}, {"B", {old}}});
  EXPECT_EQ(table.size(), 3u);
  ASSERT_EQ(table["A"].size(), 1u);
  EXPECT_EQ(table["A"][0].Emission.Radius, 7.0f);
  EXPECT_EQ(table["A"][0].Billboard.PopTime, 0) << "replaced, not overlaid";
  EXPECT_EQ(table["B"], std::vector<ParticleParams>{old});
  EXPECT_TRUE(table.count("C")) << "a tag without sets is an effect without definitions";
  EXPECT_TRUE(table["C"].empty());

  EXPECT_EQ(Merge("Tag : Alone\n"), (EffectTable{{"Alone", {}}}));

  // The empty tag names an effect and ends nothing; lines before the first tag belong to none.
  table = Merge("Index : 0\nRadius : 9\nTag :\nTag : B\nIndex : 0\nRadius : 4\nTag : \t\nTag : C\n");
  EXPECT_EQ(table.size(), 3u);
  EXPECT_TRUE(table[""].empty());
  ASSERT_EQ(table["B"].size(), 1u);
  EXPECT_EQ(table["B"][0].Emission.Radius, 4.0f);
  EXPECT_TRUE(table.count("C"));
}

TEST_F(ParticleTextTest, IndexGapsTakeNoMoreSetsThanTheLinesAfterThemCouldFill) {
  // A gap as long as the lines after it is kept.
  EffectTable table = Merge("Tag : A\nIndex : 2\nRadius : 1\nPopTime : 4\n");
  ASSERT_EQ(table["A"].size(), 3u);
  EXPECT_EQ(table["A"][0], ParticleParams());
  EXPECT_EQ(table["A"][1], ParticleParams());
  EXPECT_EQ(table["A"][2].Emission.Radius, 1.0f);
  EXPECT_EQ(table["A"][2].Billboard.PopTime, 4);

  // One line left cannot fill 60000 sets: the gap stops at one, the line fills the set after it.
  table = Merge("Tag : A\nIndex : 60000\nRadius : 3\n");
  ASSERT_EQ(table["A"].size(), 2u);
  EXPECT_EQ(table["A"][1].Emission.Radius, 3.0f);
  EXPECT_EQ(table["A"][1].Emission.Index, 1);

  // Nor do the gaps of many effects, each asking for a great many, add up to more than the
  // document's lines: every set but the one each "Index" line names is a gap.
  std::string text;
  for (int i = 0; i < 300; ++i) text += "Tag : E" + std::to_string(i) + "\nIndex : 65535\n";
  table = Merge(text);
  EXPECT_EQ(table.size(), 300u);
  std::size_t gaps = 0;
  for (const auto& [tag, list] : table) {
    ASSERT_FALSE(list.empty()) << tag;
    gaps += list.size() - 1;
  }
  EXPECT_LE(gaps, 600u);
}

TEST_F(ParticleTextTest, EveryNamedEffectLoadsHoweverMany) {
  EffectTable many;
  for (int i = 0; i < 40; ++i) many[std::string("E").append(std::to_string(100 + i))] = {SparkSet()};
  const EffectTable loaded = Merge(ParticleText(many));
  std::string lost;
  for (const auto& [tag, sets] : many) {
    const auto found = loaded.find(tag);
    if (found == loaded.end() || found->second.size() != sets.size()) lost += tag + " ";
  }
  EXPECT_EQ(lost, "");
  EXPECT_EQ(loaded.size(), many.size());
}

TEST_F(ParticleTextTest, UnreadableNumberChangesNothingAndSaysWhy) {
  struct Case {
    const char* line;
    const char* reason;
  };
  const Case cases[] = {
      {"Radius : abc", "invalid stof argument"},
      {"Color : 1 , x , 0 , 1", "invalid stof argument"},
      {"PopTime : abc", "invalid stoi argument"},
      {"Radius : 1e99", "stof argument out of range"},
      {"PopTime : 99999999999", "stoi argument out of range"},
  };
  const EffectTable before{{"A", {SparkSet()}}, {"Keep", {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Write("particle.txt",
          std::string("Tag : A\nIndex : 0\nRadius : 5\nTag : B\nIndex : 0\n") + c.line + "\n");
    const std::string said = RefusedLoad(Folder(), before);
    EXPECT_NE(said.find(c.reason), std::string::npos) << said;
  }
}

TEST_F(ParticleTextTest, MissingFileChangesNothing) {
  const EffectTable before{{"A", {SparkSet()}}};
  EffectTable table = before;
  platform::ScopedMessageRecorder messages;
  EXPECT_EQ(LoadParticleText(&table, Folder() + "particle.txt"), std::nullopt);
  EXPECT_EQ(table, before);
  EXPECT_TRUE(messages.Messages().empty());
}

// The reader skips lines it does not know: without this refusal any file would open as a
// document of no effects, silently.
TEST_F(ParticleTextTest, WhatIsNoParticleTextDocumentIsRefusedNamingTheFile) {
  struct Case {
    std::string bytes;
    const char* reason;
  };
  const Case cases[] = {
      {"", "no \"Tag\" line"},
      {"\n \t\r\n\n", "no \"Tag\" line"},
      {ParticleJsonText({{"Spark", {SparkSet()}}}), "no \"Tag\" line"},
      {"{\n  \"Tag\" : \"Spark\",\n  \"Index\" : 0\n}\n", "no \"Tag\" line"},
      {std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR:\xff", 18), "no \"Tag\" line"},
      {"Index : 0\nRadius : 1\n", "no \"Tag\" line"},
      {"DataTag : Spark\nIndex : 0\nRadius : 1\n", "no \"Tag\" line"},
      {"Tag : A\nhello\nworld: 1\n\n\n# Radius : 2\n", "3 of 4 lines are not particle text lines"},
      {"Tag : A\nfoo\nbar\n", "2 of 3 lines are not particle text lines"},
      // Numbers are not read before the document is known to be one.
      {"Tag : A\nRadius : abc\nx\ny\nz\n", "3 of 5 lines are not particle text lines"},
  };
  const EffectTable before{{"A", {SparkSet()}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    const std::string path = Write("particle.txt", c.bytes);
    EXPECT_EQ(RefusedLoad(Folder(), before), path + " is not a particle text document: " + c.reason);
  }
}

// What our writer writes, and what hand edits leave of it, is a document.
TEST_F(ParticleTextTest, DocumentsOfKnownLinesLoadHoweverOdd) {
  const std::string documents[] = {
      ParticleText({{"Empty", {}}}),
      ParticleText({{"", {}}, {"Spark", {SparkSet()}}, {"None", {}}}),
      "Tag:\n",
      "Tag : A\r\nIndex : 0\r\n R a d i u s : 1 . 5\r\n",
      // Half the lines foreign is still a document; blank lines count for neither side.
      "Tag : A\nIndex : 0\n\n\n\n\nRadius : 2\n# note\nOldKey : 1\nanother note\n",
      "  \n\nTag : A\nx\n",
  };
  for (const std::string& text : documents) {
    SCOPED_TRACE(text);
    Write("particle.txt", text);
    platform::ScopedMessageRecorder messages;
    EffectTable table;
    EXPECT_EQ(LoadParticleText(&table, Folder() + "particle.txt"), std::nullopt);
    for (const auto& message : messages.Messages()) ADD_FAILURE() << message.text;
    EXPECT_FALSE(table.empty());
  }
  EffectTable table;
  Write("particle.txt", documents[4]);
  ASSERT_EQ(LoadParticleText(&table, Folder() + "particle.txt"), std::nullopt);
  ASSERT_EQ(table["A"].size(), 1u);
  EXPECT_EQ(table["A"][0].Emission.Radius, 2.0f);

  // The writer's keys are the reader's, and there are 35 of them.
  const std::string text = ParticleText({{"Spark", {SparkSet()}}});
  std::set<std::string> keys;
  for (std::size_t start = 0; start < text.size(); start = text.find('\n', start) + 1)
    keys.insert(text.substr(start, text.find(" : ", start) - start));
  EXPECT_EQ(keys.size(), 35u);
  for (const auto& key : keys) EXPECT_TRUE(IsParticleTextKey(key)) << key;
  EXPECT_FALSE(IsParticleTextKey("DataTag"));
  EXPECT_FALSE(IsParticleTextKey(""));
}

TEST_F(ParticleTextTest, DocumentOverTheSizeLimitIsRefusedBeforeItIsRead) {
  const std::string path = Sparse("particle.txt", std::uint64_t{300} << 20);
  const EffectTable before{{"A", {SparkSet()}}};
  EXPECT_EQ(RefusedLoad(Folder(), before),
            path +
                ": the effects could not be loaded: the file holds 314572800 bytes, more than the 268435456 "
                "(256 MB) a document may hold");
}

TEST_F(ParticleTextTest, BackupHoldsThePreviousDocument) {
  const std::string path = Folder() + "particle.txt";
  const EffectTable first{{"Spark", {SparkSet()}}};
  const EffectTable second{{"Other", {CEditor::BeginDefinition()}}};

  BackupDataFile("particle.txt", Folder());
  ASSERT_TRUE(SaveParticleText(first, path));
  EXPECT_FALSE(fs::exists(dir_ / "backup_particle.txt")) << "nothing to back up before the first save";

  BackupDataFile("particle.txt", Folder());
  ASSERT_TRUE(SaveParticleText(second, path));
  EXPECT_EQ(Read("backup_particle.txt"), kSparkText);
  EXPECT_EQ(Read("particle.txt"), ParticleText(second));
  EXPECT_NE(Read("particle.txt"), kSparkText);

  BackupDataFile("particle.txt", Folder());
  EXPECT_EQ(Read("backup_particle.txt"), ParticleText(second)) << "each backup replaces the last";
}

}  // namespace
