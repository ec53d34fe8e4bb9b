#include "effectfile/export_losses.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "effectfile/particle_json.h"
#include "effectfile/particle_text.h"
#include "support/random_effects.h"

namespace {

// The table as the format gives it back: what a runtime document holds.
EffectTable Through(DocumentFormat format, const EffectTable& table) {
  EffectTable reloaded;
  if (format == DocumentFormat::ParticleJson)
    MergeParticleJson(ParseJson(ParticleJsonText(table)), &reloaded);
  if (format == DocumentFormat::ParticleText) MergeParticleText(ParticleText(table), &reloaded);
  return reloaded;
}

constexpr DocumentFormat kRuntimeFormats[] = {DocumentFormat::ParticleJson, DocumentFormat::ParticleText};

TEST(ExportLossesTest, RandomVelocityRangesInTwoDefinitionsAndATrailWidthInOne) {
  for (const DocumentFormat format : kRuntimeFormats) {
    EffectTable table = RandomEffects(1, true).Table(3);
    table["Zed"].resize(3);
    table = Through(format, table);
    std::vector<ParticleParams>& zed = table["Zed"];
    zed[0].Billboard.RandomVelocityMin.x = 1.0f;
    zed[1].Billboard.RandomVelocityMax = {0.0f, 2.0f, 0.0f};
    zed[1].Billboard.RandomVelocityMin.z = -1.0f;
    zed[2].Billboard.TrailWidth = 4.0f;
    const std::vector<LostField> lost = FieldsLostBy(table, format);
    if (format == DocumentFormat::ParticleJson) {
      EXPECT_EQ(LostFieldsNotice("particle.json", lost),
                "particle.json cannot hold RandomVelocityMin/Max (2 definitions), TrailWidth (1)");
    } else {  // the text holds the ranges
      EXPECT_EQ(LostFieldsNotice("particle.txt", lost), "particle.txt cannot hold TrailWidth (1 definition)");
    }
  }
}

TEST(ExportLossesTest, FieldsAreNamedByTheirRecordWhereAnEarlierOneHasTheKeyInTheTablesOrder) {
  ParticleParams billboard, mesh;
  mesh.Emission.ParticleType = Object_Mesh;
  EffectTable table = Through(DocumentFormat::ParticleJson, {{"M", {billboard, billboard, mesh}}});
  ParticleParams& b = table["M"][0];
  b.Billboard.Physics.BounceNormal.y = 1.0f;
  b.Billboard.DistortionMax = 2.0f;
  b.Emission.Physics.DragCoefficient = 0.25f;
  table["M"][1].Billboard.DistortionMin = 1.0f;
  ParticleParams& m = table["M"][2];
  m.Mesh.Position.y = 3.0f;
  m.Mesh.Rotation.y = 1.0f;
  m.Mesh.RandomValueMin = 0.5f;
  EXPECT_EQ(FieldsLostBy(table, DocumentFormat::ParticleJson),
            (std::vector<LostField>{{"DistortionMin/Max", 2},
                                    {"Physics.BounceNormal", 1},
                                    {"Mesh.Position", 1},
                                    {"Rotation", 1},
                                    {"RandomValueMin", 1},
                                    {"Emission.Physics.DragCoefficient", 1}}));
}

TEST(ExportLossesTest, AnEffectThatDoesNotComeBackLosesEveryFieldOfItsDefinitions) {
  // The text reader takes the spaces out of a tag.
  const std::vector<LostField> lost = FieldsLostBy({{"my fire", {ParticleParams(), ParticleParams()}}},
                                                   DocumentFormat::ParticleText);
  ASSERT_FALSE(lost.empty());
  for (const LostField& field : lost) EXPECT_EQ(field.Definitions, 2) << field.Name;
  const auto named = [&](const std::string& name) {
    return std::find_if(lost.begin(), lost.end(), [&](const LostField& f) { return f.Name == name; }) !=
           lost.end();
  };
  for (const char* name : {"UseRandom", "RandomVelocityMin/Max", "PopTime", "Emission.UseShader"})
    EXPECT_TRUE(named(name)) << name;
  // A billboard's mesh record does not play, and every reader sets the tag and index itself.
  for (const char* name : {"Mesh.PopTime", "DataTag", "Index"}) EXPECT_FALSE(named(name)) << name;
}

TEST(ExportLossesTest, WhatCameFromAFormatFitsItAndTheEditorDocumentHoldsEverything) {
  for (unsigned seed = 0; seed < 40; ++seed) {
    for (const DocumentFormat format : kRuntimeFormats) {
      const EffectTable table = Through(format, RandomEffects(seed, true).Table(3));
      EXPECT_EQ(FieldsLostBy(table, format), std::vector<LostField>()) << "seed " << seed;
    }
    EXPECT_EQ(FieldsLostBy(RandomEffects(seed).Table(3), DocumentFormat::Editor), std::vector<LostField>());
  }
}

TEST(ExportLossesTest, WhatAFormatCannotBeWrittenWithIsThrownAndTheNoticeCountsOnlyItsFirstEntryInWords) {
  ParticleParams infinite;
  infinite.Billboard.Weight = std::numeric_limits<float>::infinity();
  EXPECT_THROW(FieldsLostBy({{"A", {infinite}}}, DocumentFormat::ParticleJson), std::domain_error);
  EXPECT_THROW(FieldsLostBy({}, DocumentFormat::Unknown), std::invalid_argument);

  const std::vector<LostField> lost = {{"A", 1}, {"B", 3}};
  EXPECT_EQ(LostFieldsNotice("particle.txt", lost), "particle.txt cannot hold A (1 definition), B (3)");
  EXPECT_EQ(LostFieldsNotice("x", std::vector<LostField>{{"B", 2}}), "x cannot hold B (2 definitions)");
  EXPECT_EQ(LostFieldsNotice("x", {}), "");

  // An effect lost whole loses every field: the line names a few and counts the rest.
  std::vector<LostField> many;
  for (int i = 0; i < 20; ++i) many.push_back({"F" + std::to_string(i), 1});
  const std::string notice = LostFieldsNotice("particle.txt", many);
  EXPECT_TRUE(notice.ends_with(", F11 (1) and 8 more fields")) << notice;
}

}  // namespace
