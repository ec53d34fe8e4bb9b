// Damaged documents: every read either succeeds or throws a std::exception, and whatever is
// left in the table can still be walked and saved. Fixed seeds and iteration counts keep
// the run short and repeatable, also under the sanitizers.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "editor/editor.h"
#include "effectfile/particle_json.h"
#include "effectfile/particle_text.h"

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
  } catch (const std::exception& e) {
    return ::testing::AssertionFailure() << "JSON save threw " << e.what();
  }
  return ::testing::AssertionSuccess();
}

TEST(DocumentFuzzTest, DamagedJsonDocumentsReadOrThrowAndKeepHeldEffects) {
  const fs::path file = fs::temp_directory_path() / ("document-fuzz-" + std::to_string(::getpid()) + ".json");
  EffectTable sample = SampleTable();
  sample.erase("Mixed");  // its null slot is refused whole; the seeds should read as they are
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
        document = LoadJson(file.string());
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
  }
  fs::remove(file);
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
  }
  EXPECT_GT(read, kIterations / 20);
  EXPECT_GT(refused, kIterations / 20);
}

}  // namespace
