// Batched drawing on the GL device: the same scene drawn with batching on and off must give
// the same picture (within the rounding of transforming vertices on the CPU), while the
// batched frame sends far fewer draws to GL.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <utility>
#include <vector>

#include "platform/gfx/gl/gl_device.h"
#include "support/gl_window_suite.h"
#include "support/temp_folder.h"

namespace {

using Vertex = gfx::SceneVertex;
constexpr DWORD kFvf = gfx::kSceneVertexFvf;

// The world reads the matrix per vertex once batched; the fragment stage of "Lit" reads it
// too, so that technique must never take it from the vertices.
const char* kPlacedEffect = R"(
@common
uniform mat4 g_world;
uniform mat4 g_viewProjection;
uniform vec4 g_tint;
@technique Tinted
@vertex
out vec4 vColor;
void main() {
  gl_Position = g_viewProjection * (g_world * vec4(inPosition, 1.0));
  vColor = inColor;
}
@fragment
in vec4 vColor;
void main() { FragColor = vColor * g_tint; }
@technique Lit
@vertex
void main() { gl_Position = g_viewProjection * (g_world * vec4(inPosition, 1.0)); }
@fragment
void main() { FragColor = vec4(fract(g_world[3].xyz * 0.05), 1.0) * g_tint; }
)";

class GlBatchTest : public GlWindowSuite<TempFolderTest, 640, 360> {
 protected:
  void SetUp() override {
    ASSERT_NE(window_, nullptr);
    device_ = Device(*window_);
    ASSERT_NE(device_, nullptr);
    D3DXMATRIX view, projection;
    const D3DXVECTOR3 eye(0, 0, -100), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 4, 640.0f / 360.0f, 5.0f, 1000.0f);
    device_->SetTransform(D3DTS_VIEW, &view);
    device_->SetTransform(D3DTS_PROJECTION, &projection);
    viewProjection_ = view * projection;
  }
  void TearDown() override {
    buffers_.clear();
    device_.reset();
  }

  static std::unique_ptr<gfx::GlDevice> Device(platform::Window& window) {
    std::string error;
    auto device = window.CreateDevice(&error);
    EXPECT_NE(device, nullptr) << error;
    device->SetPresentCapture(true);
    return std::unique_ptr<gfx::GlDevice>(static_cast<gfx::GlDevice*>(device.release()));
  }

  // A quad of side 2 around the origin facing -z, as a strip (clockwise, or the other way
  // round), a list or a fan; its alpha runs from 0 at the left to 255 at the right.
  gfx::VertexBuffer* Quad(D3DCOLOR rgb, bool counterClockwise = false,
                          D3DPRIMITIVETYPE type = D3DPT_TRIANGLESTRIP) {
    const D3DCOLOR left = rgb & 0xffffffu, right = rgb | 0xff000000u;
    Vertex tl{-1, 1, 0, 0, 0, -1, left, 0, 0}, tr{1, 1, 0, 0, 0, -1, right, 1, 0};
    Vertex bl{-1, -1, 0, 0, 0, -1, left, 0, 1}, br{1, -1, 0, 0, 0, -1, right, 1, 1};
    if (counterClockwise) std::swap(tl, tr), std::swap(bl, br);
    std::vector<Vertex> v;
    if (type == D3DPT_TRIANGLESTRIP) v = {tl, tr, bl, br};
    if (type == D3DPT_TRIANGLELIST) v = {tl, tr, bl, bl, tr, br};
    if (type == D3DPT_TRIANGLEFAN) v = {tl, tr, br, bl};
    return Buffer(v);
  }
  gfx::VertexBuffer* Buffer(const std::vector<Vertex>& v) {
    const auto bytes = static_cast<UINT>(v.size() * sizeof(Vertex));
    buffers_.push_back(device_->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, kFvf, D3DPOOL_MANAGED));
    Fill(buffers_.back().get(), v);
    return buffers_.back().get();
  }
  static void Fill(gfx::VertexBuffer* buffer, const std::vector<Vertex>& v) {
    void* data = nullptr;
    ASSERT_EQ(buffer->Lock(0, 0, &data, 0), S_OK);
    std::memcpy(data, v.data(), v.size() * sizeof(Vertex));
    buffer->Unlock();
  }
  void Draw(gfx::VertexBuffer* buffer, D3DPRIMITIVETYPE type = D3DPT_TRIANGLESTRIP, UINT primitives = 2) {
    device_->SetStreamSource(0, buffer, 0, sizeof(Vertex));
    device_->SetFVF(kFvf);
    EXPECT_EQ(device_->DrawPrimitive(type, 0, primitives), S_OK);
  }
  // Turned by angle about z, scaled and moved; i spreads the quads over the picture.
  static D3DXMATRIX Placed(int i, float scale = 6.0f, float zScale = 1.0f) {
    D3DXMATRIX turn, size, move;
    D3DXMatrixRotationYawPitchRoll(&turn, 0.3f * static_cast<float>(i % 3), 0.0f,
                                   0.4f * static_cast<float>(i));
    D3DXMatrixScaling(&size, scale, scale * 0.7f, zScale);
    D3DXMatrixTranslation(&move, static_cast<float>(i % 10) * 14.0f - 63.0f,
                          static_cast<float>(i / 10) * 12.0f - 30.0f, static_cast<float>(i % 4));
    return size * turn * move;
  }

  // The scene drawn once with batching on and once off; the pictures are compared and the
  // number of draws GL received in each is returned.
  std::pair<std::uint64_t, std::uint64_t> CompareBatched(const std::function<void()>& scene) {
    std::array<gfx::Image, 2> pictures;
    std::array<std::uint64_t, 2> draws{};
    std::array<std::uint32_t, 2> asked{};
    for (bool batching : {true, false}) {
      device_->SetBatching(batching);
      const std::uint64_t before = device_->GlDrawCount();
      device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_ARGB(255, 20, 40, 60), 1.0f, 0);
      EXPECT_EQ(device_->BeginScene(), S_OK);
      scene();
      device_->EndScene();
      device_->Present(nullptr, nullptr, nullptr, nullptr);
      pictures[batching ? 0 : 1] = device_->LastPresentedImage();
      draws[batching ? 0 : 1] = device_->GlDrawCount() - before;
      // The frame's counts: what reached GL, out of the same draws asked either way.
      EXPECT_EQ(device_->LastFrameCounts().batches, draws[batching ? 0 : 1]);
      asked[batching ? 0 : 1] = device_->LastFrameCounts().draws;
    }
    EXPECT_EQ(asked[0], asked[1]);
    EXPECT_EQ(asked[1], draws[1]) << "unbatched, every draw goes to GL on its own";
    ExpectSamePicture(pictures[0], pictures[1]);
    return {draws[0], draws[1]};
  }
  static void ExpectSamePicture(const gfx::Image& batched, const gfx::Image& separate) {
    ASSERT_EQ(batched.rgba.size(), separate.rgba.size());
    // Vertices placed on the CPU may round an edge pixel the other way; colours match.
    std::size_t differing = 0, lit = 0;
    for (std::size_t i = 0; i < batched.rgba.size(); i += 4) {
      int worst = 0;
      for (std::size_t c = 0; c < 3; ++c)
        worst = std::max(worst, std::abs(batched.rgba[i + c] - separate.rgba[i + c]));
      differing += worst > 2;
      lit += separate.rgba[i] != 20 || separate.rgba[i + 1] != 40;
    }
    const std::size_t pixels = batched.rgba.size() / 4;
    EXPECT_GT(lit, pixels / 10) << "the scene draws little: the comparison would prove nothing";
    EXPECT_LE(differing, pixels / 1000) << differing << " pixels differ";
  }

  std::unique_ptr<gfx::GlDevice> device_;
  D3DXMATRIX viewProjection_;
  std::vector<std::unique_ptr<gfx::VertexBuffer>> buffers_;
};

TEST_F(GlBatchTest, FixedFunctionScenesLookTheSameBatched) {
  const D3DPRIMITIVETYPE kTypes[] = {D3DPT_TRIANGLESTRIP, D3DPT_TRIANGLELIST, D3DPT_TRIANGLEFAN};
  std::vector<gfx::VertexBuffer*> quads;
  for (int i = 0; i < 60; ++i)
    quads.push_back(Quad(D3DCOLOR_ARGB(0, 40 * (i % 6), 255 - 4 * i, 90), i % 2 == 1, kTypes[i % 3]));
  gfx::VertexBuffer* rewritten = Quad(0);
  const std::vector<std::uint8_t> checker = {255, 255, 255, 255, 60,  60,  60,  128,
                                             60,  60,  60,  128, 255, 255, 255, 255};
  auto texture = device_->CreateTexture(2, 2, checker);
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1, 1, 1, 1};
  light.Ambient = {0.1f, 0.1f, 0.1f, 1};
  light.Direction = {0.3f, -0.4f, 1.0f};
  device_->SetLight(0, &light);
  device_->LightEnable(0, TRUE);

  // The particles' manner: every draw sets its states and puts the previous ones back.
  auto drawGroup = [&](int first, int last, DWORD op, DWORD src, DWORD dest, bool alphaTest, bool textured) {
    for (int i = first; i < last; ++i) {
      device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
      device_->SetRenderState(D3DRS_BLENDOP, op);
      device_->SetRenderState(D3DRS_SRCBLEND, src);
      device_->SetRenderState(D3DRS_DESTBLEND, dest);
      device_->SetRenderState(D3DRS_ALPHATESTENABLE, alphaTest);
      device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
      device_->SetRenderState(D3DRS_ALPHAREF, 100);
      device_->SetTexture(0, textured ? texture.get() : nullptr);
      const D3DXMATRIX world = Placed(i);
      device_->SetTransform(D3DTS_WORLD, &world);
      Draw(quads[i], kTypes[i % 3]);
      device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
      device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
      device_->SetTexture(0, nullptr);
    }
  };
  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  const auto [batched, separate] = CompareBatched([&] {
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);  // the counter-clockwise half is culled
    drawGroup(0, 20, D3DBLENDOP_ADD, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, false, false);
    drawGroup(20, 30, D3DBLENDOP_ADD, D3DBLEND_SRCALPHA, D3DBLEND_ONE, true, true);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);  // now the clockwise half is
    drawGroup(30, 40, D3DBLENDOP_REVSUBTRACT, D3DBLEND_SRCALPHA, D3DBLEND_ONE, false, true);
    // A depth clear between draws is kept in its place: later quads are not hidden by earlier ones.
    device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    // Lit through turned, scaled and flattened worlds, normals unnormalised and normalised.
    device_->SetRenderState(D3DRS_LIGHTING, TRUE);
    for (int i = 40; i < 60; ++i) {
      device_->SetRenderState(D3DRS_NORMALIZENORMALS, i >= 50);
      const D3DXMATRIX world = Placed(i, i % 3 == 0 ? 9.0f : 5.0f, i % 5 == 0 ? 0.0f : 2.0f);
      device_->SetTransform(D3DTS_WORLD, &world);
      Draw(quads[i], kTypes[i % 3]);
    }
    device_->SetRenderState(D3DRS_NORMALIZENORMALS, FALSE);
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    // One buffer rewritten between its draws: each draw shows the bytes it had then.
    for (int i = 0; i < 5; ++i) {
      std::vector<Vertex> v = {{-1, 1, 0, 0, 0, -1, 0xff00ff00u, 0, 0},
                               {1, 1, 0, 0, 0, -1, 0xff00ff00u, 1, 0},
                               {-1, -1, 0, 0, 0, -1, 0xffff0000u, 0, 1},
                               {1, -1, 0, 0, 0, -1, 0xffff0000u, 1, 1}};
      for (Vertex& corner : v) corner.x += 3.0f * static_cast<float>(i) - 70.0f, corner.y += 40.0f;
      Fill(rewritten, v);
      D3DXMATRIX world;
      D3DXMatrixScaling(&world, 1.5f, 1.5f, 1.0f);
      device_->SetTransform(D3DTS_WORLD, &world);
      Draw(rewritten);
    }
  });
  EXPECT_EQ(separate, 65u);
  // One draw for each group of states: three blend groups, the two lit ones, the rewritten buffer.
  EXPECT_EQ(batched, 6u);
}

// Long strips drawn without culling (trails) are joined into one strip; with culling they are
// listed, since a join after an odd-length strip would turn the next one's triangles round.
// A short strip in a run ends the chain, which is then listed with what follows.
TEST_F(GlBatchTest, LongStripsJoinIntoOneStripOnlyWhenNothingIsCulled) {
  struct Ribbon {
    gfx::VertexBuffer* buffer;
    UINT triangles;
  };
  std::vector<Ribbon> ribbons;
  for (int i = 0; i < 24; ++i) {
    const int vertices = 11 + 2 * (i % 4);  // odd lengths, 11 to 17
    const float direction = i % 3 == 0 ? -1.0f : 1.0f;  // these face the other way
    const D3DCOLOR color = D3DCOLOR_ARGB(255, 60 + 8 * i, 200 - 6 * i, 120);
    std::vector<Vertex> v;
    for (int k = 0; k < vertices; ++k)
      v.push_back({direction * (static_cast<float>(k) * 0.3f - 2.0f), (k & 1) ? 0.8f : -0.8f, 0, 0, 0, -1,
                   color, 0, 0});
    ribbons.push_back({Buffer(v), static_cast<UINT>(vertices - 2)});
  }
  gfx::VertexBuffer* quad = Quad(D3DCOLOR_ARGB(0, 250, 250, 0));
  auto run = [&](int first, int last, DWORD cull, int shortAfter) {
    device_->SetRenderState(D3DRS_CULLMODE, cull);
    for (int i = first; i < last; ++i) {
      const D3DXMATRIX world = Placed(i, 5.0f);
      device_->SetTransform(D3DTS_WORLD, &world);
      Draw(ribbons[static_cast<std::size_t>(i)].buffer, D3DPT_TRIANGLESTRIP,
           ribbons[static_cast<std::size_t>(i)].triangles);
      if (i == shortAfter) Draw(quad);
    }
  };
  const auto [batched, separate] = CompareBatched([&] {
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    run(0, 8, D3DCULL_NONE, -1);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    run(8, 16, D3DCULL_NONE, 10);
    run(16, 24, D3DCULL_CCW, -1);
  });
  EXPECT_EQ(separate, 25u);
  EXPECT_EQ(batched, 3u);
}

// Only the vertices an indexed draw reaches are copied into the batch, found from the lowest
// and highest index: bounds kept from the indices before a rewrite would copy other vertices.
TEST_F(GlBatchTest, RewrittenIndicesDrawTheVerticesTheyNameNow) {
  auto corners = [](float left, float right, D3DCOLOR color) {
    return std::vector<Vertex>{{left, 38, 0, 0, 0, -1, color, 0, 0},
                               {right, 38, 0, 0, 0, -1, color, 1, 0},
                               {left, -38, 0, 0, 0, -1, color, 0, 1},
                               {right, -38, 0, 0, 0, -1, color, 1, 1}};
  };
  std::vector<Vertex> vertices = corners(-70, -2, 0xffff0000u);   // 0 to 3: red on the left
  const std::vector<Vertex> right = corners(2, 70, 0xff00ff00u);  // 4 to 7: green on the right
  vertices.insert(vertices.end(), right.begin(), right.end());
  gfx::VertexBuffer* buffer = Buffer(vertices);
  auto indices = device_->CreateIndexBuffer(6);
  ASSERT_NE(indices, nullptr);
  device_->SetRenderState(D3DRS_LIGHTING, FALSE);
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);

  auto drawQuad = [&](std::uint32_t first) {
    const std::uint32_t quad[] = {first, first + 1, first + 2, first + 2, first + 1, first + 3};
    std::copy(std::begin(quad), std::end(quad), indices->Lock().begin());
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 8, 0, 2), S_OK);
  };
  const auto [batched, separate] = CompareBatched([&] {
    device_->SetStreamSource(0, buffer, 0, sizeof(Vertex));
    device_->SetFVF(kFvf);
    device_->SetIndices(indices.get());
    drawQuad(4);
    drawQuad(0);
  });
  EXPECT_EQ(separate, 2u);
  EXPECT_EQ(batched, 1u);
  const gfx::Image& picture = device_->LastPresentedImage();
  const std::uint8_t* left = picture.Pixel(picture.width / 4, picture.height / 2);
  const std::uint8_t* middle = picture.Pixel(picture.width / 2, picture.height / 2);
  const std::uint8_t* rightSide = picture.Pixel(picture.width * 3 / 4, picture.height / 2);
  EXPECT_EQ((std::array<int, 3>{left[0], left[1], left[2]}), (std::array<int, 3>{255, 0, 0}));
  EXPECT_EQ((std::array<int, 3>{middle[0], middle[1], middle[2]}), (std::array<int, 3>{20, 40, 60}));
  EXPECT_EQ((std::array<int, 3>{rightSide[0], rightSide[1], rightSide[2]}), (std::array<int, 3>{0, 255, 0}));
}

TEST_F(GlBatchTest, EffectDrawsThatDifferInTheirWorldAloneShareADraw) {
  std::unique_ptr<gfx::Effect> effect;
  std::string errors;
  ASSERT_EQ(device_->CreateEffectFromFile(Write("placed.effect", kPlacedEffect), &effect, &errors), S_OK)
      << errors;
  D3DXHANDLE world = effect->GetParameterByName(nullptr, "g_world");
  D3DXHANDLE tint = effect->GetParameterByName(nullptr, "g_tint");
  effect->SetMatrix(effect->GetParameterByName(nullptr, "g_viewProjection"), &viewProjection_);
  std::vector<gfx::VertexBuffer*> quads;
  for (int i = 0; i < 60; ++i) quads.push_back(Quad(D3DCOLOR_ARGB(0, 255, 200 - 3 * i, 4 * i)));
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device_->SetRenderState(D3DRS_LIGHTING, FALSE);

  auto scene = [&] {
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    for (int i = 0; i < 60; ++i) {
      const float t[4] = {1.0f, i < 30 ? 1.0f : 0.5f, 1.0f, 1.0f};  // the tint changes once
      effect->SetFloatArray(tint, t, 4);
      const D3DXMATRIX placed = Placed(i);
      effect->SetMatrix(world, &placed);
      effect->SetTechnique(effect->GetTechniqueByName(i < 50 ? "Tinted" : "Lit"));
      UINT passes = 0;
      effect->Begin(&passes, 0);
      effect->BeginPass(0);
      Draw(quads[i]);
      effect->EndPass();
      effect->End();
      device_->SetVertexShader(nullptr);
    }
  };
  CompareBatched(scene);  // the device learns here which parameter differs from draw to draw
  const auto [batched, separate] = CompareBatched(scene);
  EXPECT_EQ(separate, 60u);
  // One draw for each tint, and the ten whose fragments read the world one by one.
  EXPECT_EQ(batched, 12u);
}

TEST_F(GlBatchTest, DrawsHeldBackSurviveAnotherWindowsFrame) {
  auto other = system_->CreateWindow("Child", 320, 240);
  ASSERT_NE(other, nullptr);
  auto otherDevice = Device(*other);
  gfx::VertexBuffer* quad = Quad(D3DCOLOR_ARGB(255, 255, 255, 0));
  auto elsewhere =
      otherDevice->CreateVertexBuffer(4 * sizeof(Vertex), D3DUSAGE_WRITEONLY, kFvf, D3DPOOL_MANAGED);
  Fill(elsewhere.get(), {{-1, 1, 0.5f, 0, 0, -1, 0xff0000ffu, 0, 0},
                         {1, 1, 0.5f, 0, 0, -1, 0xff0000ffu, 1, 0},
                         {-1, -1, 0.5f, 0, 0, -1, 0xff0000ffu, 0, 1},
                         {1, -1, 0.5f, 0, 0, -1, 0xff0000ffu, 1, 1}});
  device_->SetRenderState(D3DRS_LIGHTING, FALSE);
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  otherDevice->SetRenderState(D3DRS_LIGHTING, FALSE);
  otherDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);

  device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  device_->BeginScene();
  D3DXMATRIX world;
  D3DXMatrixScaling(&world, 20.0f, 20.0f, 1.0f);
  device_->SetTransform(D3DTS_WORLD, &world);
  Draw(quad);  // held back in the batch
  otherDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  otherDevice->BeginScene();
  otherDevice->SetStreamSource(0, elsewhere.get(), 0, sizeof(Vertex));
  otherDevice->SetFVF(kFvf);
  otherDevice->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
  otherDevice->EndScene();
  otherDevice->Present(nullptr, nullptr, nullptr, nullptr);
  device_->EndScene();
  device_->Present(nullptr, nullptr, nullptr, nullptr);

  const gfx::Image& mine = device_->LastPresentedImage();
  const std::uint8_t* centre = mine.Pixel(mine.width / 2, mine.height / 2);
  EXPECT_EQ(centre[0], 255);
  EXPECT_EQ(centre[2], 0);
  const gfx::Image& theirs = otherDevice->LastPresentedImage();
  const std::uint8_t* theirCentre = theirs.Pixel(theirs.width / 2, theirs.height / 2);
  EXPECT_EQ(theirCentre[0], 0);
  EXPECT_EQ(theirCentre[2], 255);
}

}  // namespace
