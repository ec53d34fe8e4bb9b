// Damaged documents: every read either succeeds or throws a std::exception, whatever is left
// in the table can still be walked and saved, and what loads saves the same bytes after one
// more load. Fixed seeds and iteration counts keep the run short and repeatable, also under
// the sanitizers.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <random>
#include <sstream>

#include "editor/editor.h"
#include "effectfile/particle_json.h"
#include "effectfile/particle_text.h"
#include "support/source_tree.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr int kIterations = 3000;

std::size_t Below(std::mt19937& rng, std::size_t n) {
  return n == 0 ? 0 : rng() % n;
}

// A few damages of the kinds a hand edit or a cut-off copy makes.
std::string Mutate(std::string text, std::mt19937& rng) {
  static const std::string kInserted = "0123456789\"[]{},:-.e ";
  const int count = 1 + static_cast<int>(Below(rng, 4));
  for (int m = 0; m < count; ++m) {
    const std::size_t at = Below(rng, text.size() + 1);
    switch (Below(rng, 5)) {
      case 0:
        if (at < text.size()) text[at] = static_cast<char>(text[at] ^ (1 << Below(rng, 8)));
        break;
      case 1:
        text.insert(at, 1, kInserted[Below(rng, kInserted.size())]);
        break;
      case 2:
        text.resize(at);
        break;
      case 3: {
        const std::size_t begin = text.rfind('\n', at == 0 ? 0 : at - 1);
        const std::size_t start = begin == std::string::npos ? 0 : begin + 1;
        const std::size_t end = text.find('\n', start);
        const std::string line =
            text.substr(start, end == std::string::npos ? std::string::npos : end - start + 1);
        text.insert(start, line);
        break;
      }
      default:
        text.erase(at, 1 + Below(rng, 8));
        break;
    }
  }
  return text;
}

EffectTable SampleTable() {
  ParticleParams billboard = CEditor::BeginDefinition();
  billboard.Billboard.PosOffset = {0.1f, -2.0f, 3.5f};
  billboard.Billboard.RandomCreate = Random_Circle;
  billboard.Billboard.UseRandom = true;
  ParticleParams mesh = CEditor::BeginDefinition();
  mesh.Emission.ParticleType = Object_Mesh;
  mesh.Mesh.Velocity = {1.0f, 2.0f, 3.0f};
  ParticleParams other = CEditor::BeginDefinition();
  other.Emission.ParticleType = 2;
  return {{"Begin", {billboard}},
          {"Fire", {billboard, mesh, billboard}},
          {"Keep", {mesh}},
          {"Mixed", {other, billboard}},
          {"Empty", {}}};
}

// The table after a read: every list walkable, every set tagged with its effect where the
// JSON reader tags them, and both documents writable again.
::testing::AssertionResult Usable(const EffectTable& table, bool tagged) {
  std::size_t sets = 0;
  for (const auto& [tag, definitions] : table) {
    for (const ParticleParams& p : definitions) {
      ++sets;
      if (tagged && p.Emission.DataTag != tag)
        return ::testing::AssertionFailure() << "set of " << tag << " tagged " << p.Emission.DataTag;
    }
  }
  try {
    const std::string text = ParticleText(table);
    if (!table.empty() && text.empty())
      return ::testing::AssertionFailure() << "empty text for " << sets << " sets";
  } catch (const std::exception& e) {
    return ::testing::AssertionFailure() << "text save threw " << e.what();
  }
  try {
    const Json again = Json::parse(ParticleJsonText(table));
    if (table.empty() != again.is_null())
      return ::testing::AssertionFailure() << "JSON save lost the effects";
  } catch (const Json::type_error& e) {
    // Only the text reader can bring in a tag that is not UTF-8, which the JSON writer refuses.
    if (tagged || e.id != 316) return ::testing::AssertionFailure() << "JSON save threw " << e.what();
  } catch (const std::domain_error& e) {
    // Nor can anything but the text reader bring in an infinity or a NaN.
    if (tagged) return ::testing::AssertionFailure() << "JSON save threw " << e.what();
  } catch (const std::exception& e) {
    return ::testing::AssertionFailure() << "JSON save threw " << e.what();
  }
  return ::testing::AssertionSuccess();
}

EffectTable LoadJsonDocument(const std::string& text) {
  EffectTable table;
  MergeParticleJson(ParseJson(text), &table);
  return table;
}

EffectTable LoadTextDocument(const std::string& text) {
  EffectTable table;
  std::istringstream in(text);
  MergeParticleText(in, &table);
  return table;
}

// For effects read from a document: their save reads back without complaint and saves the
// same bytes again. A JSON save of what a text document held may refuse what JSON cannot
// hold (a tag that is not UTF-8, an infinity), as the editor does with a message.
::testing::AssertionResult SavesStably(const EffectTable& loaded, bool json, bool mayRefuse = false) {
  const auto save = json ? ParticleJsonText : ParticleText;
  const auto load = json ? LoadJsonDocument : LoadTextDocument;
  std::string first;
  try {
    first = save(loaded);
  } catch (const Json::type_error& e) {
    if (mayRefuse && e.id == 316) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the save threw " << e.what();
  } catch (const std::domain_error& e) {
    if (mayRefuse) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the save threw " << e.what();
  }
  std::string second;
  try {
    second = save(load(first));
  } catch (const std::exception& e) {
    return ::testing::AssertionFailure() << "the save does not read back: " << e.what() << "\n" << first;
  }
  if (second != first) return ::testing::AssertionFailure() << "saved\n" << first << "\nthen\n" << second;
  return ::testing::AssertionSuccess();
}

// A document as the editor reads it: the effects, or nothing when it is refused.
std::optional<EffectTable> Loaded(const std::string& text, bool json) {
  try {
    return json ? LoadJsonDocument(text) : LoadTextDocument(text);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// What loads saves stably in its own format, and a text document in JSON too.
::testing::AssertionResult RoundTrips(const std::string& text, bool json) {
  const auto loaded = Loaded(text, json);
  if (!loaded) return ::testing::AssertionSuccess();
  if (auto same = SavesStably(*loaded, json); !same) return same;
  if (!json) return SavesStably(*loaded, true, /*mayRefuse=*/true);
  return ::testing::AssertionSuccess();
}

TEST(DocumentFuzzTest, DamagedJsonDocumentsReadOrThrowAndKeepHeldEffects) {
  const TempFolder folder;
  const std::string file = folder.Path("document.json");
  const EffectTable sample = SampleTable();
  const std::vector<std::string> seeds = {
      ParticleJsonText(sample),
      R"({"PARTICLE":[{"DataTag":"T","Object":[{"ParticleType":0,"PosOffset":{},"Color":[],"Quantity":true,)"
      R"("PopTime":2.5,"TextureTag":null}]},{"DataTag":"U","Object":[{"ParticleType":1}]}]})",
  };
  const EffectTable held{{"Keep", sample.at("Begin")}};
  std::mt19937 rng(20240611);
  int read = 0, refused = 0;
  for (int i = 0; i < kIterations; ++i) {
    const std::string text = Mutate(seeds[Below(rng, seeds.size())], rng);
    EffectTable table = held;
    try {
      Json document;
      if (i % 2 == 0) {
        document = Json::parse(text);
      } else {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
        document = LoadJson(file);
      }
      MergeParticleJson(document, &table);
      ++read;
    } catch (const std::exception&) {
      ++refused;
    }
    if (table.at("Keep") != held.at("Keep")) {
      ADD_FAILURE() << "iteration " << i << " replaced a held effect:\n" << text;
      break;
    }
    table.erase("Keep");
    if (const auto usable = Usable(table, true); !usable) {
      ADD_FAILURE() << "iteration " << i << ": " << usable.message() << "\n" << text;
      break;
    }
    if (const auto same = RoundTrips(text, true); !same) {
      ADD_FAILURE() << "iteration " << i << ": " << same.message() << "\nread from\n" << text;
      break;
    }
  }
  // Both outcomes must be common, or the damage is too light or too heavy to test anything.
  EXPECT_GT(read, kIterations / 20);
  EXPECT_GT(refused, kIterations / 20);
}

TEST(DocumentFuzzTest, DamagedTextDocumentsReadOrThrowWithoutTouchingTheTable) {
  const EffectTable sample = SampleTable();
  const std::vector<std::string> seeds = {
      ParticleText(sample),
      "Tag : A\nIndex : 2\nRandomCreate : 1\nRadius : 1 , 2\nColor : 1 , 0.5\nIndex : 0\nTag : B\nTag : C\n"
      "Index : 1\nPosOffset : 1 , 2 , 3\nTextureTag :\nTrail : true\n",
  };
  const EffectTable held{{"Keep", sample.at("Fire")}, {"Begin", {}}};
  std::mt19937 rng(7);
  int read = 0, refused = 0;
  for (int i = 0; i < kIterations; ++i) {
    const std::string text = Mutate(seeds[Below(rng, seeds.size())], rng);
    EffectTable table = held;
    std::istringstream in(text);
    try {
      MergeParticleText(in, &table);
      ++read;
    } catch (const std::exception&) {
      ++refused;
      if (table != held) {
        ADD_FAILURE() << "iteration " << i << " changed the table before throwing:\n" << text;
        break;
      }
    }
    if (const auto usable = Usable(table, false); !usable) {
      ADD_FAILURE() << "iteration " << i << ": " << usable.message() << "\n" << text;
      break;
    }
    if (const auto same = RoundTrips(text, false); !same) {
      ADD_FAILURE() << "iteration " << i << ": " << same.message() << "\nread from\n" << text;
      break;
    }
  }
  EXPECT_GT(read, kIterations / 20);
  EXPECT_GT(refused, kIterations / 20);
}

std::string FileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The fuzzers' seeds and every input that once broke a reader: refused with an error or read,
// and what is read saves stably.
TEST(DocumentFuzzTest, CommittedFuzzInputsReadOrRefuseAndSaveStably) {
  const fs::path fuzz = fs::path(SourceDir()) / "fuzz";
  for (const auto& [folder, json] : {std::pair{"corpus/particle_json", true},
                                     {"crashers/particle_json", true},
                                     {"corpus/particle_text", false},
                                     {"crashers/particle_text", false}}) {
    int files = 0;
    for (const auto& entry : fs::directory_iterator(fuzz / folder)) {
      ++files;
      SCOPED_TRACE(entry.path().string());
      EXPECT_TRUE(RoundTrips(FileText(entry.path()), json));
    }
    EXPECT_GE(files, 2) << folder;
  }

  // The seeds named so are no particle text document at all (JSON, bytes, nothing) and stay refused.
  int refused = 0;
  for (const auto& entry : fs::directory_iterator(fuzz / "corpus/particle_text")) {
    if (entry.path().filename().string().rfind("refused-", 0) != 0) continue;
    ++refused;
    EXPECT_THROW(LoadTextDocument(FileText(entry.path())), NotParticleText) << entry.path();
  }
  EXPECT_GE(refused, 3);

  const fs::path crashers = fuzz / "crashers";
  // 1e39 is no float: refused, naming the key, rather than read as infinity and saved as null.
  try {
    LoadJsonDocument(FileText(crashers / "particle_json/json-huge-float-saved-as-null.json"));
    ADD_FAILURE() << "1e39 read as a float";
  } catch (const std::out_of_range& e) {
    EXPECT_NE(std::string(e.what()).find(R"("Scale" "X")"), std::string::npos) << e.what();
  }
  // A set of another type keeps its place.
  const EffectTable other =
      LoadJsonDocument(FileText(crashers / "particle_json/json-other-type-slot-saved-as-null.json"));
  ASSERT_EQ(other.at("a").size(), 2u);
  EXPECT_EQ(other.at("a")[0].Emission.ParticleType, 2);
  const std::string saved = ParticleJsonText(other);
  EXPECT_TRUE(saved.find("[null") == std::string::npos && saved.find(",null") == std::string::npos) << saved;
  // The smallest normal float, and its six digits below it, read.
  const EffectTable tiny =
      LoadTextDocument(FileText(crashers / "particle_text/text-flt-min-not-read-back.txt"));
  EXPECT_EQ(tiny.at("a").at(0).Billboard.Weight, std::numeric_limits<float>::min());
  EXPECT_EQ(LoadTextDocument(ParticleText(tiny)).at("a").at(0).Billboard.Weight, 1.17549e-38f);
  // An "Index" near the limit makes a set and a gap no longer than the lines after it, all the
  // gaps together no longer than the document: two sets a line at most.
  for (const char* name : {"text-index-amplification.txt", "text-index-65535-timeout-in-roundtrip.txt"}) {
    SCOPED_TRACE(name);
    const std::string text = FileText(crashers / "particle_text" / name);
    std::size_t sets = 0;
    for (const auto& [tag, list] : LoadTextDocument(text)) sets += list.size();
    EXPECT_LE(sets, 2 * static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n') + 1));
  }
}

}  // namespace
