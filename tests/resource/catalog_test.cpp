#include <gtest/gtest.h>
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

namespace {

namespace fs = std::filesystem;

class CatalogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("catalog-test-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return (dir_ / name).string();
  }

  fs::path dir_;
};

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
  const std::string model = PE_SOURCE_DIR "/Data/MODEL/cube.x";
  const std::string effect = PE_SOURCE_DIR "/Data/SHADER/billboard.effect";
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

}  // namespace
