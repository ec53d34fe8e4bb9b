#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/gfx/null/null_device.h"
#include "platform/message_sink.h"
#include "resource/json_reader.h"
#include "resource/model_manager.h"
#include "resource/shader_manager.h"
#include "resource/texture_manager.h"
#include "support/source_tree.h"

namespace {

namespace fs = std::filesystem;

const char* kTwoTechniques =
    "@common\nuniform mat4 g_world;\n"
    "@technique TechA\n@vertex\nuniform mat4 g_wvp[3];\nvoid main() {}\n@fragment\nuniform float "
    "g_alpha;\nvoid main() {}\n"
    "@technique TechB\n@vertex\nvoid main() {}\n@fragment\nvoid main() {}\n";
const char* kOtherEffect =
    "@technique OnlyB\n@vertex\nuniform vec4 g_other;\nvoid main() {}\n@fragment\nvoid main() {}\n";

// The corners of the unit cube around the origin, every one used by a face.
const char* kUnitCube = R"(xof 0303txt 0032
Mesh {
  8;
  -0.5;-0.5;-0.5;, 0.5;-0.5;-0.5;, 0.5;0.5;-0.5;, -0.5;0.5;-0.5;,
  -0.5;-0.5;0.5;, 0.5;-0.5;0.5;, 0.5;0.5;0.5;, -0.5;0.5;0.5;;
  3;
  3;0,1,2;, 3;3,4,5;, 3;6,7,0;;
  MeshMaterialList { 1; 3; 0, 0, 0;; Material { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; } }
}
)";

class ResourceTest : public TempFolderTest {
 protected:
  std::string Png(const std::string& name, int size) {
    gfx::Image image{size, size, std::vector<std::uint8_t>(std::size_t(size) * size * 4, 0xff)};
    EXPECT_TRUE(gfx::WritePng(image, Path(name)));
    return Path(name);
  }
  // A catalog of [label, path] pairs under the keyword.
  std::string Pairs(const std::string& keyword,
                    const std::vector<std::pair<std::string, std::string>>& entries) {
    return Write(keyword + ".json", Json{{keyword, entries}}.dump());
  }
  // A shader catalog entry naming its techniques and parameters.
  static Json Shader(const std::string& label, const std::string& path, std::vector<std::string> techniques,
                     std::vector<std::string> parameters) {
    Json entry{{"Label", label}, {"Path", path}};
    for (std::size_t i = 0; i < techniques.size(); ++i)
      entry["Technique"]["Technique" + std::to_string(i)] = techniques[i];
    for (std::size_t i = 0; i < parameters.size(); ++i)
      entry["Parameter"]["Parameter" + std::to_string(i)] = parameters[i];
    return entry;
  }
  std::string Shaders(const std::vector<Json>& entries) {
    return Write("shader.json", Json{{"SHADER", entries}}.dump());
  }

  gfx::NullDevice device_{64, 64};
};

TEST_F(ResourceTest, ShaderHandlesBelongToTheFirstEffectOfTheirLabel) {
  const std::string two = Write("two.effect", kTwoTechniques), other = Write("other.effect", kOtherEffect);
  platform::ScopedMessageRecorder messages;
  CShaderManager shaders(&device_);
  shaders.Load(Shaders({Shader("A", two, {"TechA", "TechB"}, {"g_wvp", "g_missing"}),
                        Shader("A", other, {"OnlyB"}, {"g_other"}), Shader("B", two, {"TechA"}, {})}));
  EXPECT_TRUE(messages.Messages().empty());

  gfx::Effect* a = shaders.GetEffect("A");
  ASSERT_NE(a, nullptr);
  EXPECT_NE(a->GetTechniqueByName("TechA"), nullptr) << "the first entry's file wins";
  EXPECT_EQ(shaders.GetTechnique("A", "TechA"), a->GetTechniqueByName("TechA"));
  EXPECT_EQ(shaders.GetTechnique("A", "TechB"), a->GetTechniqueByName("TechB"));
  EXPECT_EQ(shaders.GetParameter("A", "g_wvp"), a->GetParameterByName(nullptr, "g_wvp"));
  // The dropped entry's names must not hand out handles into an effect that no longer exists.
  EXPECT_EQ(shaders.GetTechnique("A", "OnlyB"), nullptr);
  EXPECT_EQ(shaders.GetParameter("A", "g_other"), nullptr);

  gfx::Effect* b = shaders.GetEffect("B");
  ASSERT_NE(b, nullptr);
  EXPECT_NE(b, a) << "one effect per label, even for the same file";
  EXPECT_EQ(shaders.GetTechnique("B", "TechA"), b->GetTechniqueByName("TechA"));

  EXPECT_TRUE(!shaders.GetEffect("NOPE") && !shaders.GetTechnique("NOPE", "TechA"));
  EXPECT_TRUE(!shaders.GetTechnique("A", "TechZ") && !shaders.GetParameter("A", "g_missing"));
  EXPECT_EQ(shaders.GetParameter("B", "g_wvp"), nullptr) << "only names the catalog lists";
}

TEST_F(ResourceTest, BrokenEffectWarnsOnceAndLeavesItsLabelEmpty) {
  struct Case {
    const char* file;
    const char* text;  // null: the file does not exist
    const char* reason;
  };
  const Case cases[] = {
      {"no-fragment.effect", "@technique TechA\n@vertex\nvoid main() {}\n",
       "needs both @vertex and @fragment"},
      {"unknown.effect", "@technique TechA\n@pixel\n", "unknown section"},
      {"missing.effect", nullptr, "cannot open"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = c.text ? Write(c.file, c.text) : Path(c.file);
    platform::ScopedMessageRecorder messages;
    CShaderManager shaders(&device_);
    shaders.Load(Shaders({Shader("BAD", path, {"TechA"}, {"g_a"})}));
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].caption, "警告！");
    EXPECT_NE(messages.Messages()[0].text.find(c.reason), std::string::npos) << messages.Messages()[0].text;
    EXPECT_TRUE(!shaders.GetEffect("BAD") && !shaders.GetTechnique("BAD", "TechA") &&
                !shaders.GetParameter("BAD", "g_a"));
  }
}

TEST_F(ResourceTest, EndAlwaysPutsTheFixedFunctionPipelineBack) {
  platform::ScopedMessageRecorder messages;
  CShaderManager shaders(&device_);
  shaders.Load(Shaders({Shader("GOOD", Write("a.effect", kTwoTechniques), {}, {}),
                        Shader("BAD", Path("missing.effect"), {}, {})}));
  EXPECT_EQ(device_.ActiveEffect(), nullptr);
  shaders.Begin("GOOD");
  EXPECT_EQ(device_.ActiveEffect(), shaders.GetEffect("GOOD"));
  shaders.End("BAD");
  EXPECT_EQ(device_.ActiveEffect(), nullptr) << "a label without an effect still ends shading";

  shaders.End("GOOD");
  shaders.Begin("GOOD");  // only possible if the previous End closed the pass
  EXPECT_EQ(device_.ActiveEffect(), shaders.GetEffect("GOOD"));
  shaders.End("GOOD");
  EXPECT_EQ(device_.ActiveEffect(), nullptr);
  shaders.Begin("BAD");
  EXPECT_EQ(device_.ActiveEffect(), nullptr);

  ASSERT_NE(shaders.GetDeclaration(), nullptr);
  EXPECT_EQ(shaders.GetDeclaration()->Layout(), gfx::VertexLayout::FromFVF(0x152));
}

TEST(EffectSourceTest, FindsTechniquesAndParametersIncludingArrays) {
  std::string error;
  const auto source = gfx::EffectSource::Parse(kTwoTechniques, "two.effect", &error);
  ASSERT_TRUE(source) << error;
  ASSERT_EQ(source->techniques.size(), 2u);
  EXPECT_EQ(source->techniques[0].name + " " + source->techniques[1].name, "TechA TechB");
  ASSERT_EQ(source->parameters.size(), 3u);
  using T = gfx::EffectSource::ParameterType;
  const auto& p = source->parameters;
  EXPECT_TRUE(p[0].name == "g_world" && p[0].type == T::kMat4 && p[0].count == 1);
  EXPECT_TRUE(p[1].name == "g_wvp" && p[1].type == T::kMat4 && p[1].count == 3)
      << p[1].name << " " << p[1].count;
  EXPECT_TRUE(p[2].name == "g_alpha" && p[2].type == T::kFloat && p[2].count == 1);
}

TEST(EffectSourceTest, StructureErrorsNameTheLine) {
  struct Case {
    const char* text;
    const char* where;
    const char* reason;
  };
  const Case cases[] = {
      {"@vertex\nvoid main() {}\n", "x.effect(1): ", "@vertex outside a technique"},
      {"// shared\n\n@fragment\n", "x.effect(3): ", "@fragment outside a technique"},
      {"@technique T\n@vertex\na\n@fragment\nb\n@technique T\n", "x.effect(6): ", "'T' is defined twice"},
      {"@technique T\n@vertex\na\n@geometry\n", "x.effect(4): ", "unknown section '@geometry'"},
      {"@technique T\n@vertex\nvoid main() {}\n", "x.effect(3): ", "needs both @vertex and @fragment"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string error;
    EXPECT_FALSE(gfx::EffectSource::Parse(c.text, "x.effect", &error));
    EXPECT_EQ(error.rfind(c.where, 0), 0u) << error;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
}

TEST_F(ResourceTest, TexturesLoadLazilyOnceWithTheFirstEntryOfALabel) {
  platform::ScopedMessageRecorder messages;
  CTextureManager textures(&device_, &device_);
  EXPECT_TRUE(textures.GetCatalog().empty());
  textures.Load(
      Pairs("TEXTURE",
            {{"Z", "z.png"}, {"A", Png("a.png", 2)}, {"A", Png("b.png", 4)}, {"LATE", Path("late.png")}}));
  Png("late.png", 8);  // written after the catalog was read: loading must wait for the request
  const std::map<std::string, std::string> catalog(textures.GetCatalog());
  EXPECT_EQ(std::vector<std::string>(
                {catalog.begin()->first, std::next(catalog.begin())->first, catalog.rbegin()->first}),
            (std::vector<std::string>{"A", "LATE", "Z"}));
  EXPECT_EQ(catalog.at("A"), Path("a.png"));

  gfx::Texture* a = textures.GetTexture(false, "A");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->Width(), 2u) << "the first entry of a label wins";
  EXPECT_EQ(textures.GetTexture(false, "A"), a);
  EXPECT_EQ(textures.GetTexture(true, "A"), a) << "loaded once, on the device of its first request";
  gfx::Texture* late = textures.GetTexture(false, "LATE");
  ASSERT_NE(late, nullptr);
  EXPECT_EQ(late->Width(), 8u);
  EXPECT_EQ(textures.GetTexture(false, "NOPE"), nullptr);
  EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(ResourceTest, TextureThatFailsToLoadStaysNullAndIsNoticedOnceWithoutABox) {
  platform::ScopedMessageRecorder messages;
  platform::GetNotices().Clear();
  CTextureManager textures(&device_, &device_);
  const std::string corrupt = Write("corrupt.png", "\x89PNG\r\n\x1a\n not really");
  textures.Load(Pairs("TEXTURE", {{"M", Path("m.png")}, {"C", corrupt}}));
  EXPECT_EQ(textures.GetTexture(false, "M"), nullptr);
  Png("m.png", 2);
  EXPECT_EQ(textures.GetTexture(false, "M"), nullptr) << "a failed load is not retried";
  EXPECT_EQ(textures.GetTexture(false, "C"), nullptr);
  EXPECT_EQ(textures.GetTexture(false, "C"), nullptr);
  EXPECT_TRUE(messages.Messages().empty()) << "a modal box would freeze the preview";
  const auto& notices = platform::GetNotices().Recent();
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_NE(notices[0].find(Path("m.png")), std::string::npos) << notices[0];
  EXPECT_NE(notices[1].find(corrupt), std::string::npos) << notices[1];
}

TEST_F(ResourceTest, TextureIsMadeOnTheDeviceOfItsFirstRequest) {
  const std::string catalog = Pairs("TEXTURE", {{"A", Png("a.png", 2)}});
  platform::ScopedMessageRecorder messages;
  // With only the editor window's device present, only a request for it can succeed.
  CTextureManager childOnly(nullptr, &device_);
  childOnly.Load(catalog);
  gfx::Texture* a = childOnly.GetTexture(true, "A");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(childOnly.GetTexture(false, "A"), a);

  platform::GetNotices().Clear();
  CTextureManager mainOnly(&device_, nullptr);
  mainOnly.Load(catalog);
  EXPECT_EQ(mainOnly.GetTexture(true, "A"), nullptr);
  EXPECT_EQ(mainOnly.GetTexture(false, "A"), nullptr) << "remembered from the first request";
  EXPECT_EQ(platform::GetNotices().Recent().size(), 1u);
}

TEST_F(ResourceTest, ModelsLoadOnlyDotXFilesWithTheFirstTagWinning) {
  const std::string cube = Write("cube.x", kUnitCube);
  const std::string two = SourcePath("Data/MODEL/cube.x");  // two materials, same extent
  platform::ScopedMessageRecorder messages;
  platform::GetNotices().Clear();
  CModelManager models(&device_);
  models.Load(Pairs("MODEL", {{"CUBE", cube},
                              {"UPPER", Write("upper.X", kUnitCube)},
                              {"OBJ", Write("m.obj", "v 0 0 0\n")},
                              {"CUBE", two},
                              {"BROKEN", Write("broken.x", "this is not a model")},
                              {"LAST", two}}));

  std::vector<std::string> tags;
  for (const auto& [tag, info] : models.GetMap()) tags.push_back(tag);
  EXPECT_EQ(tags, (std::vector<std::string>{"CUBE", "LAST"}));
  EXPECT_TRUE(messages.Messages().empty());
  ASSERT_EQ(platform::GetNotices().Recent().size(), 1u) << "only the broken file is worth a notice";
  const std::string& text = platform::GetNotices().Recent()[0];
  EXPECT_TRUE(text.find("BROKEN") != text.npos && text.find("broken.x") != text.npos) << text;

  const ModelInfo first = models.GetModel("CUBE");
  ASSERT_NE(first.Mesh, nullptr);
  EXPECT_EQ(first.NumMaterials, 1u) << "the first CUBE entry wins";
  EXPECT_EQ(models.GetNumMaterials("LAST"), 2u);
  EXPECT_TRUE(models.GetMesh("CUBE") == first.Mesh && models.GetMaterials("CUBE") == first.Materials);
  // Bounds are floored: the maximum 0.5 becomes 0, the minimum -0.5 becomes -1.
  EXPECT_EQ(models.GetVtxMax("CUBE"), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
  EXPECT_EQ(models.GetVtxMin("CUBE"), D3DXVECTOR3(-1.0f, -1.0f, -1.0f));

  const ModelInfo none = models.GetModel("NOPE");
  EXPECT_TRUE(!none.Mesh && !none.Materials && none.NumMaterials == 0);
  EXPECT_TRUE(none.VtxMax == D3DXVECTOR3() && none.VtxMin == D3DXVECTOR3());
  EXPECT_TRUE(!models.GetMesh("NOPE") && !models.GetMaterials("NOPE") && models.GetNumMaterials("NOPE") == 0);
  EXPECT_TRUE(models.GetVtxMax("NOPE") == D3DXVECTOR3() && models.GetVtxMin("NOPE") == D3DXVECTOR3());
}

}  // namespace
