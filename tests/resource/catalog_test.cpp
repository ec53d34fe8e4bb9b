#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/gfx/null/null_device.h"
#include "platform/message_sink.h"
#include "resource/json_reader.h"
#include "resource/model_manager.h"
#include "resource/shader_manager.h"
#include "resource/texture_manager.h"
#include "support/source_tree.h"

namespace {

namespace fs = std::filesystem;

using CatalogTest = TempFolderTest;

template <typename Map>
std::vector<std::string> Keys(const Map& map) {
  std::vector<std::string> keys;
  for (const auto& entry : map) keys.push_back(entry.first);
  return keys;
}

std::string Nested(int levels) {
  return std::string(levels, '[') + std::string(levels, ']');
}

TEST_F(CatalogTest, LoadJsonReadsMissingSilentlyAndRejectsBadOrDeepDocuments) {
  platform::ScopedMessageRecorder messages;
  EXPECT_TRUE(LoadJson((dir_ / "missing.json").string()).is_null());

  const Json good = LoadJson(Write("good.json", R"({"b": 1, "a": [true]})"));
  EXPECT_EQ(good.at("b"), 1);
  EXPECT_EQ(good.begin().key(), "b") << "file order is kept";

  EXPECT_THROW(LoadJson(Write("bad.json", "{\"a\": ")), Json::parse_error);
  // The depth limit must stop the parser before a hostile file can exhaust the stack.
  EXPECT_THROW(LoadJson(Write("hostile.json", std::string(100000, '['))), JsonTooDeep);
  EXPECT_NO_THROW(LoadJson(Write("deep64.json", Nested(64))));
  EXPECT_THROW(LoadJson(Write("deep65.json", Nested(65))), JsonTooDeep);
  EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(CatalogTest, EntriesAndProblemsPerFileShape) {
  struct Case {
    const char* name;
    std::string text;  // empty: no file at all
    std::size_t entries;
    const char* reason;  // null: no message expected
  };
  const Case cases[] = {
      {"missing.json", "", 0, nullptr},
      {"no-keyword.json", R"({"OTHER": [["A", "a.png"]]})", 0, nullptr},
      {"null-keyword.json", R"({"K": null})", 0, nullptr},
      {"empty-list.json", R"({"K": []})", 0, nullptr},
      {"two.json", R"({"K": [1, ["A", "a"]]})", 2, nullptr},
      {"not-json.json", "K = [1, 2]", 0, "not valid JSON"},
      {"too-deep.json", "{\"K\": " + Nested(70) + "}", 0, "not valid JSON"},
      {"top-array.json", R"([{"K": []}])", 0, "JSON object"},
      {"not-a-list.json", R"({"K": {"A": "a.png"}})", 0, "\"K\" is not a list"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = !c.text.empty() ? Write(c.name, c.text) : (dir_ / c.name).string();
    platform::ScopedMessageRecorder messages;
    {
      CatalogProblems problems(path);
      EXPECT_EQ(CatalogEntries(path, "K", &problems).size(), c.entries);
    }
    if (!c.reason) {
      EXPECT_TRUE(messages.Messages().empty());
      continue;
    }
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].caption, "警告！");
    EXPECT_NE(messages.Messages()[0].text.find(path), std::string::npos) << messages.Messages()[0].text;
    EXPECT_NE(messages.Messages()[0].text.find(c.reason), std::string::npos) << messages.Messages()[0].text;
  }
}

// Each manager skips the entries it cannot read, loads the rest, and tells the user once per
// file which entries were skipped.
TEST_F(CatalogTest, ManagersSkipMalformedEntriesWithOneMessageNamingThem) {
  const std::string model = SourcePath("Data/MODEL/cube.x");
  const std::string effect = SourcePath("Data/SHADER/billboard.effect");
  gfx::NullDevice device(64, 64);
  struct Case {
    const char* name;
    std::string catalog;
    std::function<std::vector<std::string>(const std::string&)> load;  // the labels that loaded
  };
  const Case cases[] = {
      {"texture.json", R"({"TEXTURE": [["A", "a.png"], ["B", 5], ["C"], ["D", "d.png"]]})",
       [&](const std::string& path) {
         CTextureManager textures(&device, &device);
         textures.Load(path);
         return Keys(textures.GetCatalog());
       }},
      {"model.json",
       R"({"MODEL": [["A", ")" + model + R"("], [7, ")" + model + R"("], ["C"], ["D", ")" + model + R"("]]})",
       [&](const std::string& path) {
         CModelManager models(&device);
         models.Load(path);
         return Keys(models.GetMap());
       }},
      {"shader.json",
       R"({"SHADER": [{"Label": "A", "Path": ")" + effect + R"("}, {"Label": 5, "Path": ")" + effect +
           R"("}, {"Label": "C"}, {"Label": "D", "Path": ")" + effect + R"("}]})",
       [&](const std::string& path) {
         CShaderManager shaders(&device);
         shaders.Load(path);
         std::vector<std::string> labels;
         for (const char* label : {"A", "5", "C", "D"})
           if (shaders.GetEffect(label)) labels.push_back(label);
         return labels;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Write(c.name, c.catalog);
    platform::ScopedMessageRecorder messages;
    EXPECT_EQ(c.load(path), (std::vector<std::string>{"A", "D"}));
    ASSERT_EQ(messages.Messages().size(), 1u);
    const std::string& text = messages.Messages()[0].text;
    for (const std::string& named : {path, std::string("entry 1"), std::string("entry 2")})
      EXPECT_NE(text.find(named), text.npos) << text;
    EXPECT_TRUE(text.find("entry 0") == text.npos && text.find("entry 3") == text.npos) << text;
  }
}

// The program reads catalogs from files and the fuzzer from memory: both must see the same
// entries and tell the same problems.
TEST_F(CatalogTest, CatalogTextInMemoryReadsAsItsFileDoes) {
  const std::string texts[] = {
      R"({"K": [1, ["A", "a"]]} trailing text is ignored)",
      std::string("{\"K\": [2]}\0{\"K\": [3, 4]}", 24),
      "K = [1, 2]",
      "{\"K\": " + Nested(65) + "}",
      R"({"K": {"A": "a.png"}})",
      "null",
  };
  int index = 0;
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.substr(0, 40));
    const std::string path = Write("k" + std::to_string(index++) + ".json", text);
    platform::ScopedMessageRecorder messages;
    std::vector<Json> fromFile, fromMemory;
    {
      CatalogProblems problems(path);
      fromFile = CatalogEntries(path, "K", &problems);
    }
    {
      CatalogProblems problems(path);
      fromMemory = ParseCatalogEntries(text, "K", &problems);
    }
    EXPECT_EQ(fromMemory, fromFile);
    ASSERT_TRUE(messages.Messages().size() == 0 || messages.Messages().size() == 2);
    if (messages.Messages().size() == 2) {
      EXPECT_EQ(messages.Messages()[0].text, messages.Messages()[1].text);
    }
  }
  EXPECT_EQ(ParseJson(texts[0]).at("K").size(), 2u);
  EXPECT_EQ(ParseJson(texts[1]).at("K"), Json::array({2}))
      << "what follows the first value is ignored, even past a NUL byte";
  EXPECT_THROW(ParseJson(texts[3]), JsonTooDeep);
}

// What each manager makes of its entries before any device is involved.
TEST(CatalogReading, EachManagerKeepsWellFormedEntriesAndNamesTheOthers) {
  platform::ScopedMessageRecorder messages;
  {
    CatalogProblems problems("texture.json");
    const auto textures = CTextureManager::ReadCatalog(
        Json::parse(R"([["A", "a.png"], ["A", "b.png"], ["B"], [1, "c.png"], ["C", "c.png", "extra"]])")
            .get<std::vector<Json>>(),
        &problems);
    EXPECT_EQ(textures, (std::map<std::string, std::string>{{"A", "a.png"}, {"C", "c.png"}}));
  }
  {
    CatalogProblems problems("model.json");
    // Duplicate tags stay: the first of them that loads wins, at load time.
    const auto models = CModelManager::ReadCatalog(
        Json::parse(
            R"([["A", "a.x"], ["B", "b.obj"], ["C"], ["A", "d.x"], {"E": "e.x"}, ["F", "noextension"]])")
            .get<std::vector<Json>>(),
        &problems);
    ASSERT_EQ(models.size(), 2u);
    EXPECT_TRUE(models[0].index == 0 && models[0].tag == "A" && models[0].path == "a.x");
    EXPECT_TRUE(models[1].index == 3 && models[1].tag == "A" && models[1].path == "d.x");
  }
  {
    CatalogProblems problems("shader.json");
    const auto shaders = CShaderManager::ReadCatalog(
        Json::parse(R"([
          {"Label": "A", "Path": "a.effect", "Technique": {"Technique1": "T1", "Technique0": "T0"},
           "Parameter": {"Parameter0": "g_p"}},
          {"Label": "B", "Path": "b.effect", "Technique": {"Technique0": "T0", "Technique2": "T2"}},
          {"Label": "C", "Path": "c.effect", "Technique": null}
        ])")
            .get<std::vector<Json>>(),
        &problems);
    ASSERT_EQ(shaders.size(), 2u);
    EXPECT_EQ(shaders[0].techniques, (std::vector<std::string>{"T0", "T1"}))
        << "in index order, not file order";
    EXPECT_EQ(shaders[0].parameters, (std::vector<std::string>{"g_p"}));
    EXPECT_TRUE(shaders[1].index == 2 && shaders[1].label == "C" && shaders[1].techniques.empty());
  }
  ASSERT_EQ(messages.Messages().size(), 3u);
  const char* skipped[][2] = {{"entry 2", "entry 3"}, {"entry 2", "entry 4"}, {"entry 1", "entry 1"}};
  for (int i = 0; i < 3; ++i)
    for (const char* named : skipped[i])
      EXPECT_NE(messages.Messages()[i].text.find(named), std::string::npos) << messages.Messages()[i].text;
  EXPECT_EQ(messages.Messages()[0].text.find("entry 4"), std::string::npos) << "extra fields are ignored";
  EXPECT_EQ(messages.Messages()[1].text.find("entry 1"), std::string::npos)
      << "other files are skipped silently";
}

}  // namespace
