// Effects and meshes on the GL device, drawn into a real window under Xvfb.

#include <gtest/gtest.h>

#include "support/temp_folder.h"

#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/gfx/gl/gl_device.h"
#include "platform/gfx/mesh.h"
#include "platform/message_sink.h"
#include "resource/shader_manager.h"
#include "support/gl_window_suite.h"
#include "support/source_tree.h"

namespace {

namespace fs = std::filesystem;

using Vertex = gfx::SceneVertex;
constexpr DWORD kFvf = gfx::kSceneVertexFvf;

const char* kTintEffect = R"(// textured, tinted, placed by a world matrix
@common
uniform mat4 g_mtxWorld;
uniform vec4 g_tint;
uniform float g_unused[4];
@technique TechShader
@vertex
out vec4 vColor;
out vec2 vTexCoord;
void main() {
  gl_Position = g_mtxWorld * vec4(inPosition, 1.0);
  vColor = inColor;
  vTexCoord = inTexCoord;
}
@fragment
in vec4 vColor;
in vec2 vTexCoord;
void main() {
  FragColor = texture(Texture0, vTexCoord) * vColor * g_tint;
}
@technique Flat
@vertex
void main() { gl_Position = g_mtxWorld * vec4(inPosition, 1.0); }
@fragment
void main() { FragColor = vec4(0.0, 1.0, 0.0, 1.0); }
)";

// A square facing -z split into a left and a right triangle pair with two materials.
const char* kTwoHalves = R"(xof 0303txt 0032
Mesh {
  6;
  -0.8;0.8;0.5;, 0.0;0.8;0.5;, 0.8;0.8;0.5;,
  -0.8;-0.8;0.5;, 0.0;-0.8;0.5;, 0.8;-0.8;0.5;;
  4;
  3;0,1,3;, 3;1,4,3;, 3;1,2,4;, 3;2,5,4;;
  MeshNormals { 1; 0.0;0.0;-1.0;; 4; 3;0,0,0;, 3;0,0,0;, 3;0,0,0;, 3;0,0,0;; }
  MeshMaterialList {
    2; 4; 0, 0, 1, 1;;
    Material { 1.0;0.0;0.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }
    Material { 0.0;0.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }
  }
}
)";

class GlEffectMeshTest : public GlWindowSuite<TempFolderTest, 320, 240> {
 protected:
  void SetUp() override {
    ASSERT_NE(window_, nullptr);
    std::string error;
    auto device = window_->CreateDevice(&error);
    ASSERT_NE(device, nullptr) << error;
    device_.reset(static_cast<gfx::GlDevice*>(device.release()));
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetPresentCapture(true);
  }
  void TearDown() override { device_.reset(); }
  const std::uint8_t* Centre(int dx = 0) {
    const gfx::Image& image = device_->LastPresentedImage();
    return image.Pixel(image.width / 2 + dx, image.height / 2);
  }

  // A green quad of half the view, in the middle, facing the eye.
  std::unique_ptr<gfx::VertexBuffer> CentredQuad() {
    auto buffer = device_->CreateVertexBuffer(4 * sizeof(Vertex), D3DUSAGE_WRITEONLY, kFvf, D3DPOOL_MANAGED);
    const Vertex quad[4] = {{-0.5f, 0.5f, 0.5f, 0, 0, -1, 0xff80ff80, 0, 0},
                            {0.5f, 0.5f, 0.5f, 0, 0, -1, 0xff80ff80, 1, 0},
                            {-0.5f, -0.5f, 0.5f, 0, 0, -1, 0xff80ff80, 0, 1},
                            {0.5f, -0.5f, 0.5f, 0, 0, -1, 0xff80ff80, 1, 1}};
    void* data = nullptr;
    buffer->Lock(0, 0, &data, 0);
    std::memcpy(data, quad, sizeof quad);
    buffer->Unlock();
    return buffer;
  }
  std::unique_ptr<gfx::Texture> MagentaTexel() {
    const std::uint8_t texel[4] = {255, 128, 255, 255};
    return device_->CreateTexture(1, 1, texel);
  }

  std::unique_ptr<gfx::GlDevice> device_;
};

TEST_F(GlEffectMeshTest, EffectDrawsWithItsParametersTextureAndTheDevicesRenderStates) {
  std::unique_ptr<gfx::Effect> effect;
  std::string errors;
  ASSERT_EQ(device_->CreateEffectFromFile(Write("tint.effect", kTintEffect), &effect, &errors), S_OK)
      << errors;
  D3DXHANDLE world = effect->GetParameterByName(nullptr, "g_mtxWorld");
  D3DXHANDLE tint = effect->GetParameterByName(nullptr, "g_tint");
  ASSERT_NE(world, nullptr);
  ASSERT_NE(tint, nullptr);
  EXPECT_NE(effect->GetParameterByName(nullptr, "g_unused"), nullptr) << "declared but unused still counts";
  EXPECT_EQ(effect->GetParameterByName(nullptr, "g_missing"), nullptr);
  ASSERT_NE(effect->GetTechniqueByName("TechShader"), nullptr);
  EXPECT_EQ(effect->GetTechniqueByName("Other"), nullptr);

  auto buffer = CentredQuad();
  auto texture = MagentaTexel();

  auto draw = [&](D3DXHANDLE technique, float offsetX) {
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, offsetX, 0.0f, 0.0f);
    effect->SetMatrix(world, &m);
    const float t[4] = {1.0f, 1.0f, 0.5f, 1.0f};
    effect->SetFloatArray(tint, t, 4);
    effect->SetTechnique(technique);
    device_->SetStreamSource(0, buffer.get(), 0, sizeof(Vertex));
    device_->SetFVF(kFvf);
    ASSERT_EQ(effect->Begin(nullptr, 0), S_OK);
    ASSERT_EQ(effect->BeginPass(0), S_OK);
    device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
    effect->EndPass();
    effect->End();
    device_->SetVertexShader(nullptr);
    device_->SetPixelShader(nullptr);
  };

  // Texture (255,128,255) x vertex (128,255,128) x tint (1,1,0.5).
  device_->SetTexture(0, texture.get());
  device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  device_->BeginScene();
  draw(effect->GetTechniqueByName("TechShader"), 0.0f);
  device_->EndScene();
  device_->Present(nullptr, nullptr, nullptr, nullptr);
  EXPECT_NEAR(Centre()[0], 128, 2);
  EXPECT_NEAR(Centre()[1], 128, 2);
  EXPECT_NEAR(Centre()[2], 64, 2);

  // Without a texture the stage reads white; the alpha test and the depth test apply to effects too.
  device_->SetTexture(0, nullptr);
  device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
  device_->SetRenderState(D3DRS_ALPHAREF, 254);
  device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  device_->BeginScene();
  draw(effect->GetTechniqueByName("TechShader"), 0.0f);  // alpha 255 passes
  device_->SetRenderState(D3DRS_ALPHAREF, 255);
  draw(effect->GetTechniqueByName("Flat"), 0.2f);  // alpha 255 fails "greater than 255"
  device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
  draw(effect->GetTechniqueByName("Flat"), 0.0f);  // same depth: fails "less than"
  device_->EndScene();
  device_->Present(nullptr, nullptr, nullptr, nullptr);
  EXPECT_NEAR(Centre()[0], 128, 2);
  EXPECT_NEAR(Centre()[1], 255, 2);
  EXPECT_NEAR(Centre()[2], 64, 2);
}

// A file read again: the effect compiled anew takes over the object, whose handles keep their
// parameters' values even where the new file declares them in another order, and a texture takes
// pixels of another size in place.
TEST_F(GlEffectMeshTest, ReplacedEffectsAndTexturesDrawTheirNewContentsThroughTheObjectsHeldBefore) {
  std::unique_ptr<gfx::Effect> effect;
  std::string errors;
  ASSERT_EQ(device_->CreateEffectFromFile(Write("tint.effect", kTintEffect), &effect, &errors), S_OK)
      << errors;
  D3DXHANDLE world = effect->GetParameterByName(nullptr, "g_mtxWorld");
  D3DXHANDLE tint = effect->GetParameterByName(nullptr, "g_tint");
  D3DXHANDLE technique = effect->GetTechniqueByName("TechShader");
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  effect->SetMatrix(world, &identity);
  const float t[4] = {1.0f, 1.0f, 0.5f, 1.0f};
  effect->SetFloatArray(tint, t, 4);

  auto buffer = CentredQuad();
  auto texture = MagentaTexel();
  const auto frame = [&] {
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    device_->BeginScene();
    device_->SetTexture(0, texture.get());
    ASSERT_EQ(effect->SetTechnique(technique), S_OK);
    device_->SetStreamSource(0, buffer.get(), 0, sizeof(Vertex));
    device_->SetFVF(kFvf);
    ASSERT_EQ(effect->Begin(nullptr, 0), S_OK);
    ASSERT_EQ(effect->BeginPass(0), S_OK);
    device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
    effect->EndPass();
    effect->End();
    device_->SetVertexShader(nullptr);
    device_->SetPixelShader(nullptr);
    device_->EndScene();
    device_->Present(nullptr, nullptr, nullptr, nullptr);
  };
  frame();
  EXPECT_NEAR(Centre()[2], 64, 2);

  // A bias declared before the tint: a mix-up of the two would show.
  std::string again = kTintEffect;
  again.replace(again.find("uniform vec4 g_tint;"), 0, "uniform vec4 g_bias;\n");
  again.replace(again.find("* g_tint;"), 9, "* g_tint + g_bias;");
  std::unique_ptr<gfx::Effect> fresh;
  ASSERT_EQ(device_->CreateEffectFromFile(Write("tint.effect", again), &fresh, &errors), S_OK) << errors;
  ASSERT_EQ(effect->Replace(std::move(*fresh)), S_OK);
  fresh.reset();
  EXPECT_EQ(effect->GetParameterByName(nullptr, "g_tint"), tint);
  EXPECT_EQ(effect->GetTechniqueByName("TechShader"), technique);
  const float bias[4] = {0.0f, 0.0f, 0.25f, 0.0f};
  ASSERT_EQ(effect->SetFloatArray(effect->GetParameterByName(nullptr, "g_bias"), bias, 4), S_OK);
  frame();
  // Texture (255,128,255) x vertex (128,255,128) x the kept tint (1,1,0.5) + bias (0,0,0.25).
  EXPECT_NEAR(Centre()[0], 128, 2);
  EXPECT_NEAR(Centre()[1], 128, 2);
  EXPECT_NEAR(Centre()[2], 128, 2);

  const std::vector<std::uint8_t> white(2 * 2 * 4, 255);
  gfx::Texture* held = texture.get();
  ASSERT_EQ(held->Replace(2, 2, white), S_OK);
  EXPECT_EQ(held->Width(), 2u);
  EXPECT_EQ(held->Replace(4, 4, white), D3DERR_INVALIDCALL) << "too few pixels for the size";
  frame();
  EXPECT_NEAR(Centre()[1], 255, 2);
  EXPECT_NEAR(Centre()[2], 128, 2);

  // An effect in a pass is not replaced.
  std::unique_ptr<gfx::Effect> third;
  ASSERT_EQ(device_->CreateEffectFromFile(Write("tint.effect", kTintEffect), &third, &errors), S_OK);
  ASSERT_EQ(effect->Begin(nullptr, 0), S_OK);
  EXPECT_EQ(effect->Replace(std::move(*third)), D3DERR_INVALIDCALL);
  effect->End();
}

TEST_F(GlEffectMeshTest, CompileErrorsCarryTheCompilersTextWithTheFilesLine) {
  std::string source = kTintEffect;
  source.replace(source.find("vColor * g_tint;"), 16, "vColor * undefinedThing;");
  std::unique_ptr<gfx::Effect> effect;
  std::string errors;
  EXPECT_EQ(device_->CreateEffectFromFile(Write("broken.effect", source), &effect, &errors), E_FAIL);
  EXPECT_EQ(effect, nullptr);
  EXPECT_NE(errors.find("broken.effect"), std::string::npos) << errors;
  EXPECT_NE(errors.find("undefinedThing"), std::string::npos) << errors;
  EXPECT_NE(errors.find(":19("), std::string::npos) << "the line in the file: " << errors;
}

TEST_F(GlEffectMeshTest, MeshSubsetsDrawTheirOwnFacesInTheirMaterials) {
  std::unique_ptr<gfx::MaterialBuffer> materials;
  std::unique_ptr<gfx::Mesh> mesh;
  DWORD count = 0;
  std::string error;
  ASSERT_EQ(gfx::D3DXLoadMeshFromX(Write("halves.x", kTwoHalves), 0, device_.get(), &materials, &count, &mesh,
                                   &error),
            S_OK)
      << error;
  ASSERT_EQ(count, 2u);
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1, 1, 1, 1};
  light.Direction = {0, 0, 1};
  device_->SetLight(0, &light);
  device_->LightEnable(0, TRUE);

  device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  device_->BeginScene();
  device_->SetMaterial(&materials->GetBufferPointer()[0].MatD3D);
  ASSERT_EQ(mesh->DrawSubset(0), S_OK);
  device_->EndScene();
  device_->Present(nullptr, nullptr, nullptr, nullptr);
  // Only the left half (material 0, red): the right half stays clear.
  EXPECT_EQ(Centre(-40)[0], 255);
  EXPECT_EQ(Centre(-40)[2], 0);
  EXPECT_EQ(Centre(40)[0] + Centre(40)[2], 0);

  device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  device_->BeginScene();
  for (DWORD i = 0; i < count; ++i) {
    device_->SetMaterial(&materials->GetBufferPointer()[i].MatD3D);
    mesh->DrawSubset(i);
  }
  device_->EndScene();
  device_->Present(nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(Centre(-40)[0], 255);
  EXPECT_EQ(Centre(40)[2], 255);
  EXPECT_EQ(Centre(40)[0], 0);
}

TEST_F(GlEffectMeshTest, SampleEffectsCompileAndNameWhatTheObjectsAskFor) {
  const fs::path previous = fs::current_path();
  fs::current_path(SourceDir());
  platform::ScopedMessageRecorder messages;
  CShaderManager shaders(device_.get());
  shaders.Load();
  fs::current_path(previous);
  for (const auto& m : messages.Messages()) ADD_FAILURE() << m.text;
  EXPECT_NE(shaders.GetEffect("TEST"), nullptr);
  EXPECT_NE(shaders.GetEffect("UVAnimation"), nullptr);
  for (const char* name : {"g_mtxWorld", "g_cameraView", "g_cameraProjection"})
    EXPECT_NE(shaders.GetParameter("TEST", name), nullptr) << name;
  for (const char* name : {"g_wvp", "g_animationUV", "g_hasMaskTexture", "g_diffuse"})
    EXPECT_NE(shaders.GetParameter("UVAnimation", name), nullptr) << name;
  EXPECT_NE(shaders.GetTechnique("TEST", "TechShader"), nullptr);
  EXPECT_NE(shaders.GetTechnique("UVAnimation", "TechShader"), nullptr);
  shaders.Uninit();
}

}  // namespace
