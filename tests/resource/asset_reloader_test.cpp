// Hot reload through the managers on the Null device: a changed file is read again once it has
// been quiet, into the same texture, mesh or effect object; a file that no longer loads keeps
// the last good one and says so once on the notice line; catalogs add, remove and re-point
// labels; nothing is read without a change.

#include "resource/asset_reloader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/gfx/mesh.h"
#include "platform/gfx/null/null_device.h"
#include "platform/message_sink.h"
#include "resource/model_manager.h"
#include "resource/shader_manager.h"
#include "resource/texture_manager.h"
#include "support/fake_file_watcher.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

// A flat .x model of `faces` triangles over 3 x faces vertices, one material.
std::string Model(int faces) {
  std::string text = "xof 0303txt 0032\nMesh {\n  " + std::to_string(3 * faces) + ";\n";
  for (int i = 0; i < 3 * faces; ++i)
    text += "  " + std::to_string(i) + ".0;" + std::to_string(i % 3) + ".0;0.0;" +
            (i + 1 == 3 * faces ? ";\n" : ",\n");
  text += "  " + std::to_string(faces) + ";\n";
  for (int f = 0; f < faces; ++f)
    text += "  3;" + std::to_string(3 * f) + "," + std::to_string(3 * f + 1) + "," +
            std::to_string(3 * f + 2) + ";" + (f + 1 == faces ? ";\n" : ",\n");
  text += "  MeshMaterialList { 1; " + std::to_string(faces) + "; ";
  for (int f = 0; f < faces; ++f) text += std::string(f ? ", " : "") + "0";
  text += ";; Material { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; } }\n}\n";
  return text;
}

std::string Effect(const std::string& extraUniform, const std::string& extraTechnique = "") {
  std::string text = "@common\nuniform mat4 g_world;\n" + extraUniform +
                     "@technique TechA\n@vertex\nvoid main() {}\n@fragment\nvoid main() {}\n";
  if (!extraTechnique.empty())
    text += "@technique " + extraTechnique + "\n@vertex\nvoid main() {}\n@fragment\nvoid main() {}\n";
  return text;
}

class AssetReloaderTest : public TempFolderTest {
 protected:
  void SetUp() override {
    platform::GetNotices().Clear();
    Picture("flare.png", 255, 255, 255, 4);
    Picture("spark.png", 0, 0, 255, 2);
    Write("shape.x", Model(1));
    Write("glow.effect", Effect(""));
    TextureCatalog({{"FLARE", "flare.png"}});
    Write("model.json", Json{{"MODEL", Json::array({Json::array({"SHAPE", Path("shape.x")})})}}.dump());
    Write("shader.json", Json{{"SHADER",
                               {{{"Label", "GLOW"},
                                 {"Path", Path("glow.effect")},
                                 {"Technique", {{"Technique0", "TechA"}}},
                                 {"Parameter", {{"Parameter0", "g_world"}, {"Parameter1", "g_tint"}}}}}}}
                              .dump());
    textures_.Load(Path("texture.json"));
    models_.Load(Path("model.json"));
    shaders_.Load(Path("shader.json"));
    reloader_.emplace(std::make_unique<FakeFileWatcher>(&watch_), clock_,
                      std::vector<WatchedResources*>{&textures_, &models_, &shaders_});
  }
  void TearDown() override { platform::GetNotices().Clear(); }

  void Picture(const std::string& name, std::uint8_t r, std::uint8_t g, std::uint8_t b, int size) {
    gfx::Image image{size, size, {}};
    for (int i = 0; i < size * size; ++i) image.rgba.insert(image.rgba.end(), {r, g, b, 255});
    ASSERT_TRUE(gfx::WritePng(image, Path(name)));
  }
  void TextureCatalog(const std::vector<std::pair<std::string, std::string>>& entries) {
    Json list = Json::array();
    for (const auto& [label, name] : entries) list.push_back({label, Path(name)});
    Write("texture.json", Json{{"TEXTURE", list}}.dump());
  }
  // The watcher reports the file changed.
  void Touched(const std::string& name) { watch_.changes.push_back(Path(name)); }
  // Frames of 16 ms for the time given, each asking the reloader; the files it read again.
  int Frames(std::uint32_t ms) {
    int read = 0;
    for (std::uint32_t t = 0; t < ms; t += 16) {
      clock_.Advance(16);
      read += reloader_->Update();
    }
    return read;
  }
  static std::vector<std::string> NoticesAbout(const std::string& part) {
    std::vector<std::string> found;
    for (const std::string& notice : platform::GetNotices().Recent())
      if (notice.find(part) != std::string::npos) found.push_back(notice);
    return found;
  }
  static const gfx::NullTexture& Null(gfx::Texture* texture) {
    return static_cast<gfx::NullTexture&>(*texture);
  }

  gfx::NullDevice device_{64, 64};
  CTextureManager textures_{&device_, &device_};
  CModelManager models_{&device_};
  CShaderManager shaders_{&device_};
  FakeWatchState watch_;
  ManualClock clock_;
  std::optional<AssetReloader> reloader_;
};

TEST_F(AssetReloaderTest, EveryCatalogAndEveryFileItNamesIsWatched) {
  for (const char* name :
       {"texture.json", "model.json", "shader.json", "flare.png", "shape.x", "glow.effect"})
    EXPECT_TRUE(watch_.Watches(Path(name))) << name;
}

TEST_F(AssetReloaderTest, ABurstOfWritesIsReadOnceWhenQuietAndNothingIsReadWithoutAChange) {
  gfx::Texture* flare = textures_.GetTexture(false, "FLARE");
  ASSERT_NE(flare, nullptr);
  const std::uint64_t revision = flare->Revision();
  // The file goes away unseen: were anything read again, it would say so.
  fs::remove(Path("flare.png"));
  EXPECT_EQ(Frames(2000), 0);
  EXPECT_EQ(flare->Revision(), revision);
  EXPECT_TRUE(platform::GetNotices().Recent().empty());

  // An editor saving in five writes, 50 ms apart.
  for (int write = 0; write < 5; ++write) {
    Picture("flare.png", 255, 0, 0, 8);
    Touched("flare.png");
    EXPECT_TRUE(reloader_->Poll());
    EXPECT_EQ(Frames(48), 0) << "read before the file was quiet";
  }
  clock_.Advance(SettledChanges::kQuietMs - 48 - 1);
  EXPECT_EQ(reloader_->Update(), 0);
  EXPECT_TRUE(reloader_->Pending());
  clock_.Advance(1);
  EXPECT_EQ(reloader_->Update(), 1);
  EXPECT_FALSE(reloader_->Pending());

  EXPECT_EQ(textures_.GetTexture(false, "FLARE"), flare) << "the same object";
  EXPECT_EQ(flare->Revision(), revision + 1) << "read once";
  EXPECT_EQ(flare->Width(), 8u);
  const std::uint8_t* pixel = Null(flare).Pixel(7, 7);
  EXPECT_TRUE(pixel[0] == 255 && pixel[1] == 0 && pixel[2] == 0);
  EXPECT_EQ(Frames(1000), 0);
}

TEST_F(AssetReloaderTest, ABrokenPictureKeepsTheLastGoodOneSaysSoOnceAndAFixReadsItAgain) {
  gfx::Texture* flare = textures_.GetTexture(false, "FLARE");
  ASSERT_NE(flare, nullptr);
  const std::string png = FileContents(Path("flare.png"));
  platform::ScopedMessageRecorder boxes;
  for (int save = 0; save < 3; ++save) {
    Write("flare.png", png.substr(0, png.size() / 2));
    Touched("flare.png");
    Frames(SettledChanges::kQuietMs + 16);
  }
  EXPECT_EQ(flare->Width(), 4u);
  EXPECT_EQ(Null(flare).Pixel(0, 0)[1], 255) << "still the white picture";
  const auto told = NoticesAbout(Path("flare.png"));
  ASSERT_EQ(told.size(), 1u) << "said once";
  EXPECT_NE(told[0].find("last good"), std::string::npos) << told[0];
  EXPECT_TRUE(boxes.Messages().empty()) << "never in a box: the preview goes on";

  Picture("flare.png", 0, 255, 0, 4);
  Touched("flare.png");
  Frames(SettledChanges::kQuietMs + 16);
  EXPECT_EQ(Null(flare).Pixel(0, 0)[0], 0) << "the fixed file is read";
}

TEST_F(AssetReloaderTest, ATextureCatalogEditAddsRemovesAndRepointsLabels) {
  gfx::Texture* flare = textures_.GetTexture(false, "FLARE");
  ASSERT_NE(flare, nullptr);
  EXPECT_EQ(textures_.GetTexture(false, "SPARK"), nullptr);

  TextureCatalog({{"FLARE", "flare.png"}, {"SPARK", "spark.png"}});
  Touched("texture.json");
  Frames(SettledChanges::kQuietMs + 16);
  gfx::Texture* spark = textures_.GetTexture(false, "SPARK");
  ASSERT_NE(spark, nullptr) << "a label added";
  EXPECT_EQ(textures_.GetTexture(false, "FLARE"), flare);

  // Removed: asked for, the label is unknown; whoever holds the texture still draws it.
  TextureCatalog({{"SPARK", "spark.png"}});
  Touched("texture.json");
  Frames(SettledChanges::kQuietMs + 16);
  EXPECT_EQ(textures_.GetTexture(false, "FLARE"), nullptr);
  EXPECT_EQ(Null(flare).Pixel(0, 0)[0], 255);
  EXPECT_EQ(textures_.GetCatalog().count("FLARE"), 0u);

  // Back, pointed at another file: the same object with that file's picture, which is watched.
  Picture("red.png", 255, 0, 0, 2);
  TextureCatalog({{"FLARE", "red.png"}, {"SPARK", "spark.png"}});
  Touched("texture.json");
  Frames(SettledChanges::kQuietMs + 16);
  EXPECT_EQ(textures_.GetTexture(false, "FLARE"), flare);
  EXPECT_EQ(flare->Width(), 2u);
  EXPECT_EQ(Null(flare).Pixel(1, 1)[1], 0);
  EXPECT_TRUE(watch_.Watches(Path("red.png")));

  // A catalog that does not read keeps every label, and says so once.
  for (int save = 0; save < 2; ++save) {
    Write("texture.json", R"({"TEXTURE": [["FLARE", )");
    Touched("texture.json");
    Frames(SettledChanges::kQuietMs + 16);
  }
  EXPECT_EQ(textures_.GetTexture(false, "FLARE"), flare);
  EXPECT_EQ(textures_.GetTexture(false, "SPARK"), spark);
  EXPECT_EQ(NoticesAbout(Path("texture.json")).size(), 1u);
}

TEST_F(AssetReloaderTest, AModelReadAgainKeepsItsMeshAndABrokenOneKeepsTheLastGood) {
  gfx::Mesh* mesh = models_.GetMesh("SHAPE");
  ASSERT_NE(mesh, nullptr);
  gfx::MaterialBuffer* materials = models_.GetMaterials("SHAPE");
  EXPECT_EQ(mesh->GetNumFaces(), 1u);

  Write("shape.x", Model(4));
  Touched("shape.x");
  Frames(SettledChanges::kQuietMs + 16);
  EXPECT_EQ(models_.GetMesh("SHAPE"), mesh);
  EXPECT_EQ(models_.GetMaterials("SHAPE"), materials);
  EXPECT_EQ(mesh->GetNumFaces(), 4u);
  EXPECT_EQ(mesh->GetNumVertices(), 12u);
  EXPECT_EQ(models_.GetVtxMax("SHAPE").x, 11.0f) << "the bounds follow the new vertices";

  Write("shape.x", "xof 0303txt 0032\nMesh { 3;");
  Touched("shape.x");
  platform::ScopedMessageRecorder boxes;
  Frames(SettledChanges::kQuietMs + 16);
  EXPECT_EQ(models_.GetMesh("SHAPE"), mesh);
  EXPECT_EQ(mesh->GetNumFaces(), 4u);
  ASSERT_EQ(NoticesAbout(Path("shape.x")).size(), 1u);
  EXPECT_NE(NoticesAbout(Path("shape.x"))[0].find("last good"), std::string::npos);
  EXPECT_TRUE(boxes.Messages().empty());

  // Removed from the catalog, the tag is unknown; the mesh lives on for whoever holds it.
  Write("model.json", R"({"MODEL": []})");
  Touched("model.json");
  Frames(SettledChanges::kQuietMs + 16);
  EXPECT_EQ(models_.GetMesh("SHAPE"), nullptr);
  EXPECT_TRUE(models_.GetMap().empty());
  EXPECT_EQ(mesh->GetNumFaces(), 4u);
}

TEST_F(AssetReloaderTest, AnEffectCompiledAgainKeepsItsObjectHandlesAndValues) {
  gfx::Effect* effect = shaders_.GetEffect("GLOW");
  ASSERT_NE(effect, nullptr);
  D3DXHANDLE technique = shaders_.GetTechnique("GLOW", "TechA");
  D3DXHANDLE world = shaders_.GetParameter("GLOW", "g_world");
  ASSERT_TRUE(technique && world);
  EXPECT_EQ(shaders_.GetParameter("GLOW", "g_tint"), nullptr) << "not declared yet";
  D3DXMATRIX m;
  D3DXMatrixTranslation(&m, 1.0f, 2.0f, 3.0f);
  ASSERT_EQ(effect->SetMatrix(world, &m), S_OK);

  Write("glow.effect", Effect("uniform vec4 g_tint;\n", "TechB"));
  Touched("glow.effect");
  Frames(SettledChanges::kQuietMs + 16);
  EXPECT_EQ(shaders_.GetEffect("GLOW"), effect);
  EXPECT_EQ(shaders_.GetTechnique("GLOW", "TechA"), technique);
  EXPECT_EQ(shaders_.GetParameter("GLOW", "g_world"), world);
  D3DXHANDLE tint = shaders_.GetParameter("GLOW", "g_tint");
  ASSERT_NE(tint, nullptr) << "a parameter the file declares now";
  EXPECT_NE(effect->GetTechniqueByName("TechB"), nullptr);
  EXPECT_EQ(static_cast<const gfx::Effect::Parameter*>(world)->values[12], 1.0f) << "the value is kept";
  EXPECT_EQ(effect->SetTechnique(technique), S_OK);

  // A parameter the file drops: its handle finds nothing, and setting it is refused, not a crash.
  Write("glow.effect", Effect(""));
  Touched("glow.effect");
  Frames(SettledChanges::kQuietMs + 16);
  EXPECT_EQ(shaders_.GetParameter("GLOW", "g_tint"), nullptr);
  EXPECT_EQ(effect->GetParameterByName(nullptr, "g_tint"), nullptr);
  EXPECT_EQ(effect->SetFloat(tint, 1.0f), D3DERR_INVALIDCALL);
  EXPECT_EQ(effect->GetTechniqueByName("TechB"), nullptr);

  // A file that no longer compiles keeps the last good effect and says why, once, naming it.
  platform::ScopedMessageRecorder boxes;
  for (int save = 0; save < 2; ++save) {
    Write("glow.effect", "@technique TechA\n@vertex\nvoid main() {}\n");
    Touched("glow.effect");
    Frames(SettledChanges::kQuietMs + 16);
  }
  EXPECT_EQ(shaders_.GetEffect("GLOW"), effect);
  EXPECT_EQ(shaders_.GetTechnique("GLOW", "TechA"), technique);
  EXPECT_TRUE(boxes.Messages().empty());
  const auto told = NoticesAbout("glow.effect");
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("needs both @vertex and @fragment"), std::string::npos) << told[0];
}

TEST_F(AssetReloaderTest, AShaderCatalogEditAddsAndRemovesLabels) {
  gfx::Effect* glow = shaders_.GetEffect("GLOW");
  D3DXHANDLE technique = shaders_.GetTechnique("GLOW", "TechA");
  Write("other.effect", Effect("uniform float g_fade;\n"));
  Write("shader.json", Json{{"SHADER",
                             {{{"Label", "OTHER"},
                               {"Path", Path("other.effect")},
                               {"Technique", {{"Technique0", "TechA"}}},
                               {"Parameter", {{"Parameter0", "g_fade"}}}}}}}
                            .dump());
  Touched("shader.json");
  Frames(SettledChanges::kQuietMs + 16);
  EXPECT_EQ(shaders_.GetEffect("GLOW"), nullptr);
  EXPECT_EQ(shaders_.GetTechnique("GLOW", "TechA"), nullptr);
  // Whoever still holds the removed effect's handles holds live ones.
  EXPECT_EQ(glow->SetTechnique(technique), S_OK);
  ASSERT_NE(shaders_.GetEffect("OTHER"), nullptr);
  EXPECT_NE(shaders_.GetParameter("OTHER", "g_fade"), nullptr);
  EXPECT_TRUE(watch_.Watches(Path("other.effect")));
}

}  // namespace
