#include "effectfile/editor_document.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "effectfile/particle_json.h"
#include "effectfile/particle_text.h"
#include "support/random_effects.h"
#include "support/source_tree.h"
#include "support/temp_folder.h"

namespace {

// A small document with a known shape, written by hand as a user might edit one.
std::string Hand(const std::string& definition, const std::string& version = "1") {
  return "{\n  \"Format\": \"particle-editor\",\n  \"Version\": " + version +
         ",\n  \"Effects\": [\n    {\"Tag\": \"Fire\", \"Definitions\": [\n" + definition +
         "\n    ]}\n  ]\n}\n";
}

class EditorDocumentTest : public TempFolderTest {};

TEST_F(EditorDocumentTest, RandomDocumentsReadBackEqualAndWriteTheSameBytes) {
  for (unsigned seed = 0; seed < 300; ++seed) {
    RandomEffects random(seed);
    const EditorDocument document = random.Document();
    const std::string text = EditorDocumentText(document);
    EditorDocument read;
    ASSERT_EQ(ParseEditorDocument(text, &read), std::nullopt) << "seed " << seed << "\n" << text;
    EXPECT_TRUE(SameDocument(read, document)) << "seed " << seed;
    ASSERT_EQ(EditorDocumentText(read), text) << "seed " << seed;
  }
  // And through a file.
  const EditorDocument document = RandomEffects(7).Document();
  std::string error;
  ASSERT_TRUE(SaveEditorDocument(document, Path("a.effects.json"), &error)) << error;
  EditorDocument loaded;
  ASSERT_EQ(LoadEditorDocument(Path("a.effects.json"), &loaded), std::nullopt);
  EXPECT_TRUE(SameDocument(loaded, document));
}

TEST_F(EditorDocumentTest, TextIsPrettyCanonicalJsonWithEveryFieldInTheTablesOrder) {
  EditorDocument document = EditorDocument::FromTable({{"Fire", {ParticleParams()}}});
  ParticleParams& p = document.Effects[0].Definitions[0];
  p.Billboard.TrailWidth = 0.1f;
  p.Billboard.Weight = -0.0f;
  p.Mesh.Emissive = std::numeric_limits<float>::quiet_NaN();
  p.Emission.Radius = -std::numeric_limits<float>::infinity();
  const std::string text = EditorDocumentText(document);
  EXPECT_TRUE(
      text.starts_with("{\n  \"Format\": \"particle-editor\",\n  \"Version\": 1,\n  \"EmissionInterval\""));
  EXPECT_TRUE(text.ends_with("\n}\n"));
  // Floats as their shortest text, never widened to double digits; vectors on one line.
  EXPECT_NE(text.find("\n            \"TrailWidth\": 0.1,\n"), std::string::npos);
  EXPECT_NE(text.find("\"Weight\": -0,"), std::string::npos);
  EXPECT_NE(text.find("\"Emissive\": \"NaN\","), std::string::npos);
  EXPECT_NE(text.find("\"Radius\": \"-Infinity\","), std::string::npos);
  EXPECT_NE(text.find("\"Position\": {\"X\": 0, \"Y\": 0, \"Z\": 0},"), std::string::npos);

  // Every key of every record, in the table's order.
  const Json parsed = Json::parse(text);
  const Json& definition = parsed["Effects"][0]["Definitions"][0];
  const auto keys = [](const Json& object) {
    std::vector<std::string> names;
    for (const auto& [key, value] : object.items()) names.push_back(key);
    return names;
  };
  const auto tableKeys = [](const auto& table) {
    std::vector<std::string> names;
    for (const auto& field : table) names.emplace_back(field.Key);
    return names;
  };
  EXPECT_EQ(keys(definition), tableKeys(fields::Record<ParticleParams>::kFields));
  EXPECT_EQ(keys(definition["Billboard"]), tableKeys(fields::Record<BillboardParams>::kFields));
  EXPECT_EQ(keys(definition["Mesh"]), tableKeys(fields::Record<MeshParams>::kFields));
  EXPECT_EQ(keys(definition["Emission"]), tableKeys(fields::Record<EmissionParams>::kFields));
  EXPECT_EQ(keys(definition["Emission"]["Physics"]), tableKeys(fields::Record<PhysicsParams>::kFields));
  EXPECT_EQ(keys(parsed)[7], "Effects");
}

TEST_F(EditorDocumentTest, MissingKeysTakeTheRecordsDefaults) {
  EditorDocument read;
  ASSERT_EQ(ParseEditorDocument(Hand("{\"Billboard\": {\"PopTime\": 9, \"Physics\": {}}}"), &read),
            std::nullopt);
  ParticleParams expected;
  expected.Billboard.PopTime = 9;
  EXPECT_EQ(read.Effects[0].Definitions, std::vector<ParticleParams>{expected});
  EXPECT_EQ(read.Effects[0].Definitions[0].Billboard.Physics.ElasticityCoefficient, 2.0f);
  EXPECT_EQ(read.EmissionInterval, EditorDocument().EmissionInterval);
  EXPECT_TRUE(read.Effects[0].Unknown.empty() && read.Unknown.empty() &&
              read.Effects[0].DefinitionUnknown.empty());
}

TEST_F(EditorDocumentTest, UnknownKeysAreKeptAtEveryLevelAndWrittenAfterTheKnownOnes) {
  const std::string text = R"({"Zoom": 2, "Format": "particle-editor", "Version": 1, "Effects": [
    {"Tag": "Fire", "Tracks": [{"TrackSound": "a"}, {"TrackSound": "b", "Fade": 0.5}],
     "Layer": [1, {"b": 1, "a": 2}],
     "Definitions": [{}, {"Glow": true, "Billboard": {"PopTime": 3, "Physics": {"Spin": -1},
                          "PlotPoints": [{"Frame": 1, "Ease": "in"}], "Position": {"X": 1, "W": 4}}}]}],
    "Author": "me"})";
  EditorDocument read;
  ASSERT_EQ(ParseEditorDocument(text, &read), std::nullopt);
  EXPECT_EQ(read.Unknown, Json::parse(R"({"Author": "me", "Zoom": 2})"));
  const EditorEffect& effect = read.Effects[0];
  EXPECT_EQ(effect.Unknown,
            Json::parse(R"({"Tracks": [{}, {"Fade": 0.5}], "Layer": [1, {"a": 2, "b": 1}]})"));
  ASSERT_EQ(effect.DefinitionUnknown.size(), 2u);
  EXPECT_EQ(effect.DefinitionUnknown[0], Json::object());
  EXPECT_EQ(effect.DefinitionUnknown[1],
            Json::parse(R"({"Billboard": {"Position": {"W": 4}, "Physics": {"Spin": -1},
                                           "PlotPoints": [{"Ease": "in"}]}, "Glow": true})"));
  EXPECT_EQ(effect.Definitions[1].Billboard.Position.x, 1.0f);

  const std::string written = EditorDocumentText(read);
  EXPECT_NE(written.find("\"Effects\": ["), std::string::npos);
  EXPECT_LT(written.find("\"Effects\": ["), written.find("\"Author\": \"me\",\n  \"Zoom\": 2\n}"));
  EXPECT_NE(written.find("{\"Frame\": 1, \"Value\": [0, 0, 0, 0], \"Ease\": \"in\"}"), std::string::npos);
  EXPECT_NE(written.find("\"Position\": {\"X\": 1, \"Y\": 0, \"Z\": 0, \"W\": 4}"), std::string::npos);
  EXPECT_NE(written.find("\"Layer\": [\n        1,\n        {\"a\": 2, \"b\": 1}\n      ]"),
            std::string::npos);
  EditorDocument again;
  ASSERT_EQ(ParseEditorDocument(written, &again), std::nullopt);
  EXPECT_EQ(again, read);
  EXPECT_EQ(EditorDocumentText(again), written);
}

TEST_F(EditorDocumentTest, DocumentsNotOursOrTooNewAreRefusedWhereverTheHeaderStands) {
  struct Case {
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {Hand("{}", "2"),
       "line 3, column 14: written by version 2 of the editor document; this editor reads version 1"},
      // The version is told even when a value a later version may write comes first.
      {R"({"Format": "particle-editor", "Effects": {"new": 1}, "Version": 3})",
       "line 1, column 65: written by version 3 of the editor document; this editor reads version 1"},
      {R"({"Format": "particle-editor", "Version": 0})", "line 1, column 42: \"Version\" 0 is no version"},
      {R"({"Format": "effects", "Version": 1})",
       "line 1, column 12: not an editor document: its \"Format\" is \"effects\""},
      {R"({"Version": 1})", "line 1, column 1: not an editor document: it has no \"Format\""},
      {"[1]", "line 1, column 1: not an editor document: not a JSON object"},
  };
  for (const Case& c : cases) {
    EditorDocument document = RandomEffects(1).Document();
    const EditorDocument before = document;
    const DocumentError error = ParseEditorDocument(c.text, &document);
    ASSERT_TRUE(error) << c.text;
    EXPECT_TRUE(error->starts_with(c.message)) << *error;
    EXPECT_TRUE(SameDocument(document, before)) << c.text;
  }
}

TEST_F(EditorDocumentTest, DamagedDocumentsChangeNothingAndSayWhereAndWhat) {
  struct Case {
    std::string definition;
    std::string message;
  };
  const Case cases[] = {
      {R"({"Billboard": {"PopTime": "50"}})",
       "line 6, column 33: Effects[0].Definitions[0].Billboard.PopTime must be a whole number, not a string"},
      {R"({"Billboard": {"PopTime": 2147483648}})",
       "line 6, column 33: Effects[0].Definitions[0].Billboard.PopTime is 2147483648, beyond the range of a "
       "whole"},
      {R"({}, {"Mesh": {"UVMovement": [1, 2, 3]}})",
       "line 6, column 35: Effects[0].Definitions[1].Mesh.UVMovement must be a list of 2 numbers, not more"},
      {R"({"Emission": {"Physics": {"BounceNormal": {"Y": 1e39}}}})",
       "line 6, column 55: Effects[0].Definitions[0].Emission.Physics.BounceNormal.Y is 1e39, beyond the "
       "range"},
      {R"({"Billboard": {"Color": {"R": "red"}}})",
       "line 6, column 37: Effects[0].Definitions[0].Billboard.Color.R must be a number, \"Infinity\""},
      {R"({"Billboard": {"PlotPoints": [{"Frame": 1}, {"Frame": 2.5}]}})",
       "line 6, column 61: Effects[0].Definitions[0].Billboard.PlotPoints[1].Frame must be a whole number, "
       "not 2.5"},
      {R"({"Billboard": {"Trail": true, "Trail": false}})",
       "line 6, column 37: Effects[0].Definitions[0].Billboard.Trail appears twice"},
      {R"({"Glow": 1, "Mesh": {"Spin": 1, "Spin": 2}})", "line 6, column 39: the key \"Spin\" appears twice"},
      {R"({"Glow": {"a": 1, "b": [], "a": 3}})", "line 6, column 34: the key \"a\" appears twice"},
      {R"({"Emission": []})",
       "line 6, column 20: Effects[0].Definitions[0].Emission must be an object, not a list"},
      {R"({"Billboard": {"TrailTexture": "\ud800"}})",
       "line 6, column 39: the first half of a surrogate pair alone"},
      {R"({"Billboard": {"PopTime": 01}})",
       "line 6, column 34: expected ',' or '}' after a member of an object"},
      {R"({"Mesh": {"ModelTag": "X"},})", "line 6, column 34: expected a key in quotes, not '}'"},
  };
  for (const Case& c : cases) {
    EditorDocument document = RandomEffects(2).Document();
    const EditorDocument before = document;
    const DocumentError error = ParseEditorDocument(Hand("      " + c.definition), &document);
    ASSERT_TRUE(error) << c.definition;
    EXPECT_TRUE(error->starts_with(c.message)) << *error;
    EXPECT_TRUE(SameDocument(document, before)) << c.definition;
  }

  // Every cut of a document short of its end, and trailing text, is refused with a place.
  const std::string text = EditorDocumentText(RandomEffects(3).Document());
  for (std::size_t length = 0; length + 1 < text.size(); length += 1 + length / 7) {
    EditorDocument document;
    const DocumentError error = ParseEditorDocument(text.substr(0, length), &document);
    ASSERT_TRUE(error && error->starts_with("line ")) << length;
    EXPECT_EQ(document, EditorDocument());
  }
  EditorDocument document;
  EXPECT_EQ(ParseEditorDocument(text + "{}", &document).value_or(""),
            "line " + std::to_string(std::count(text.begin(), text.end(), '\n') + 1) +
                ", column 1: expected the end of the text after the document, not '{'");
}

TEST_F(EditorDocumentTest, FilesNameThemselvesInEveryFailureAndAFailedSaveReplacesNothing) {
  EditorDocument document;
  EXPECT_EQ(LoadEditorDocument(Path("none.json"), &document), Path("none.json") + ": there is no such file");
  EXPECT_EQ(LoadEditorDocument(dir_.string(), &document), dir_.string() + ": Is a directory");
  const std::string damaged = Write("damaged.json", "{\"Format\": \"particle-editor\", \"Version\": x}");
  EXPECT_EQ(LoadEditorDocument(damaged, &document),
            damaged + ": line 1, column 42: expected a value, not 'x'");

  const std::string path = Write("kept.json", "old");
  EditorDocument bad = EditorDocument::FromTable({{"ok", {}}, {"\xff", {}}});
  std::string error;
  EXPECT_FALSE(SaveEditorDocument(bad, path, &error));
  EXPECT_EQ(error, path + ": Effects[1].Tag is not UTF-8 text, which JSON cannot hold");
  EXPECT_FALSE(SaveEditorDocument(document, Path("no/such/folder.json"), &error));
  EXPECT_EQ(FileContents(path), "old");
}

TEST_F(EditorDocumentTest, TableKeepsTheFirstOfARepeatedTagAndFromTableWrapsAllInTagOrder) {
  const EffectTable table = RandomEffects(4, true).Table(5);
  const EditorDocument document = EditorDocument::FromTable(table);
  EXPECT_EQ(document.Table(), table);
  EXPECT_EQ(document.SelectedTag, "");
  EditorDocument twice = EditorDocument::FromTable({{"A", {ParticleParams()}}});
  twice.Effects.push_back(twice.Effects[0]);
  twice.Effects[1].Definitions.clear();
  EXPECT_EQ(twice.Table(), (EffectTable{{"A", {ParticleParams()}}}));
}

TEST_F(EditorDocumentTest, FormatsAreToldApartByContentAndNothingElse) {
  const EffectTable table = RandomEffects(5, true).Table(3);
  const std::string editor = EditorDocumentText(EditorDocument::FromTable(table));
  const std::string json = ParticleJsonText(table);
  const struct {
    std::string bytes;
    DocumentFormat format;
  } cases[] = {
      {editor, DocumentFormat::Editor},
      {editor.substr(0, editor.size() / 2), DocumentFormat::Editor},  // damaged: its reader says why
      {"\xEF\xBB\xBF {\"Format\": 1}", DocumentFormat::Editor},
      {json, DocumentFormat::ParticleJson},
      {json.substr(0, json.size() / 2), DocumentFormat::ParticleJson},
      {"null\n", DocumentFormat::ParticleJson},
      {R"({"Other": 1, "PARTICLE": []})", DocumentFormat::ParticleJson},
      {ParticleText(table), DocumentFormat::ParticleText},
      {FileContents(SourcePath("fuzz/corpus/particle_text/several.txt")), DocumentFormat::ParticleText},
      {"", DocumentFormat::Unknown},
      {"{\"Effects\": []}", DocumentFormat::Unknown},
      {"\x89PNG\r\n\x1a\n", DocumentFormat::Unknown},
  };
  for (const auto& c : cases) EXPECT_EQ(DetectDocumentFormat(c.bytes), c.format) << c.bytes.substr(0, 40);

  RandomEffects random(6);
  for (int i = 0; i < 2000; ++i) {
    std::string junk(random.Below(64), '\0');
    for (char& c : junk) c = static_cast<char>(random.Below(256));
    if (i % 2) junk.insert(0, i % 4 == 1 ? "{\"Format\"" : "[");
    DetectDocumentFormat(junk);  // must neither throw nor crash
  }
}

}  // namespace
