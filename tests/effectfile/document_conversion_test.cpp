#include "effectfile/document_conversion.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "effectfile/particle_json.h"
#include "effectfile/particle_text.h"
#include "support/random_effects.h"
#include "support/source_tree.h"
#include "support/temp_folder.h"

namespace {

class DocumentConversionTest : public TempFolderTest {
 protected:
  // Converts and returns what was told; the status goes to *status.
  std::string Convert(const std::string& in, const std::string& out, DocumentFormat target, int* status) {
    std::ostringstream messages;
    *status = ConvertDocument(in, out, target, messages);
    return messages.str();
  }
  // A conversion expected to succeed quietly; the bytes written.
  std::string Quietly(const std::string& in, const std::string& out, DocumentFormat target) {
    int status = -1;
    EXPECT_EQ(Convert(in, out, target, &status), "") << in;
    EXPECT_EQ(status, 0) << in;
    return FileContents(out);
  }
};

// Runtime documents through the editor document and back, twice: the same bytes each lap.
TEST_F(DocumentConversionTest, RuntimeDocumentsComeBackByteForByteThroughTheEditorDocument) {
  struct Case {
    std::string name, bytes;
    DocumentFormat format;
  };
  std::vector<Case> cases = {
      {"sample.json", FileContents(SourcePath("fuzz/corpus/particle_json/several.json")),
       DocumentFormat::ParticleJson},
      {"sample.txt", FileContents(SourcePath("fuzz/corpus/particle_text/several.txt")),
       DocumentFormat::ParticleText}};
  for (unsigned seed = 0; seed < 6; ++seed) {
    const EffectTable table = RandomEffects(seed, true).Table(4);
    EffectTable fromJson, fromText;
    MergeParticleJson(ParseJson(ParticleJsonText(table)), &fromJson);
    MergeParticleText(ParticleText(table), &fromText);
    cases.push_back({"random.json", ParticleJsonText(fromJson), DocumentFormat::ParticleJson});
    cases.push_back({"random.txt", ParticleText(fromText), DocumentFormat::ParticleText});
  }
  for (const Case& c : cases) {
    ASSERT_FALSE(c.bytes.empty());
    const std::string input = Write(c.name, c.bytes);
    const std::string editor = Quietly(input, Path("lap1.effects.json"), DocumentFormat::Editor);
    EXPECT_EQ(Quietly(Path("lap1.effects.json"), Path("back1"), c.format), c.bytes) << c.name;
    EXPECT_EQ(Quietly(Path("back1"), Path("lap2.effects.json"), DocumentFormat::Editor), editor) << c.name;
    EXPECT_EQ(Quietly(Path("lap2.effects.json"), Path("back2"), c.format), c.bytes) << c.name;
  }
}

TEST_F(DocumentConversionTest, AnEditorDocumentConvertedToOneIsItsOwnBytes) {
  for (unsigned seed = 0; seed < 20; ++seed) {
    const std::string bytes = EditorDocumentText(RandomEffects(seed).Document());
    EXPECT_EQ(Quietly(Write("in.json", bytes), Path("out.json"), DocumentFormat::Editor), bytes);
  }
}

TEST_F(DocumentConversionTest, WhatTheTargetCannotHoldIsToldAndTheRestWritten) {
  EffectTable table;
  MergeParticleJson(ParseJson(ParticleJsonText({{"Fire", {ParticleParams(), ParticleParams()}}})), &table);
  EditorDocument document = EditorDocument::FromTable(table);
  document.Effects[0].Definitions[1].Billboard.TrailWidth = 3.0f;
  const std::string input = Write("fire.effects.json", EditorDocumentText(document));
  int status = -1;
  EXPECT_EQ(Convert(input, Path("particle.json"), DocumentFormat::ParticleJson, &status),
            "particle.json cannot hold TrailWidth (1 definition)\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(FileContents(Path("particle.json")), ParticleJsonText(table));
}

TEST_F(DocumentConversionTest, AnInputThatCannotBeReadOrAnOutputThatCannotBeMadeWritesNothing) {
  ParticleParams infinite;
  infinite.Billboard.Weight = std::numeric_limits<float>::infinity();
  const std::string infiniteDocument =
      Write("infinite.json", EditorDocumentText(EditorDocument::FromTable({{"A", {infinite}}})));
  const std::string editor = Write("good.json", EditorDocumentText(EditorDocument()));
  struct Case {
    std::string input;
    DocumentFormat target;
    std::string output, message;
  };
  const Case cases[] = {
      {Path("missing.json"), DocumentFormat::Editor, Path("out"),
       Path("missing.json") + ": there is no such file"},
      {Write("cut.json", R"({"Format": "particle-editor", "Version": 1, "Effects": [)"),
       DocumentFormat::Editor, Path("out"),
       Path("cut.json") + ": line 1, column 57: the text ends where a value was expected"},
      {Write("junk.bin", std::string("\x7f").append("ELF\x02\x01")), DocumentFormat::Editor, Path("out"),
       "is no effect document"},
      {Write("bad.json", R"({"PARTICLE": [{"DataTag": 5}]})"), DocumentFormat::Editor, Path("out"),
       "the effects could not be read"},
      {infiniteDocument, DocumentFormat::ParticleJson, Path("out"), "cannot be written as particle.json"},
      {editor, DocumentFormat::Editor, Path("no/folder/out"), Path("no/folder/out") + ": No such file"},
  };
  for (const Case& c : cases) {
    Write("out", "kept");
    int status = -1;
    const std::string told = Convert(c.input, c.output, c.target, &status);
    EXPECT_EQ(status, 1) << c.input;
    EXPECT_NE(told.find(c.message), std::string::npos) << told;
    EXPECT_TRUE(told.ends_with("; nothing was written\n")) << told;
    EXPECT_EQ(FileContents(Path("out")), "kept");
  }
}

TEST_F(DocumentConversionTest, TargetsAreNamedOrFollowTheOutputsNameAndInputsAreKnownByContent) {
  EXPECT_EQ(ConversionTargetNamed("editor"), DocumentFormat::Editor);
  EXPECT_EQ(ConversionTargetNamed("json"), DocumentFormat::ParticleJson);
  EXPECT_EQ(ConversionTargetNamed("text"), DocumentFormat::ParticleText);
  EXPECT_EQ(ConversionTargetNamed("txt"), std::nullopt);
  EXPECT_EQ(ConversionTargetOf("a/particle.txt"), DocumentFormat::ParticleText);
  EXPECT_EQ(ConversionTargetOf("particle.json"), DocumentFormat::Editor);
  EXPECT_EQ(ConversionTargetOf("fire.effects.json"), DocumentFormat::Editor);

  // A text document under a JSON name is read as text.
  const std::string text = FileContents(SourcePath("fuzz/corpus/particle_text/several.txt"));
  const std::string input = Write("misnamed.json", text);
  EXPECT_EQ(Quietly(input, Path("again.txt"), DocumentFormat::ParticleText), text);
}

}  // namespace
