// Draws into a real window under Xvfb and reads the pixels back: the GL back end must
// look as Direct3D 9's fixed-function pipeline would.

#include "platform/gfx/gl/gl_device.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "support/gl_window_suite.h"

namespace {

using Vertex = gfx::SceneVertex;
constexpr DWORD kFvf = gfx::kSceneVertexFvf;

struct Rgb {
  int r, g, b;
};

class GlDeviceTest : public GlWindowSuite<::testing::Test, 1280, 720> {
 protected:
  void SetUp() override {
    ASSERT_NE(window_, nullptr);
    std::string error;
    auto device = window_->CreateDevice(&error);
    ASSERT_NE(device, nullptr) << error;
    device_.reset(static_cast<gfx::GlDevice*>(device.release()));
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    // As the renderer sets it: vertex alpha counts even without a texture.
    device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device_->SetPresentCapture(true);
  }
  void TearDown() override {
    buffers_.clear();
    device_.reset();
  }

  // A quad in clip space (identity transforms), drawn as a two-triangle strip in the
  // billboard's vertex order: top-left, top-right, bottom-left, bottom-right (clockwise).
  void DrawQuad(float left, float top, float right, float bottom, float z, D3DCOLOR color,
                bool counterClockwise = false, D3DPRIMITIVETYPE type = D3DPT_TRIANGLESTRIP) {
    Vertex v[4] = {{left, top, z, 0, 0, -1, color, 0, 0},
                   {right, top, z, 0, 0, -1, color, 1, 0},
                   {left, bottom, z, 0, 0, -1, color, 0, 1},
                   {right, bottom, z, 0, 0, -1, color, 1, 1}};
    if (counterClockwise) {
      std::swap(v[0], v[1]);
      std::swap(v[2], v[3]);
    }
    Vertex list[6] = {v[0], v[1], v[2], v[2], v[1], v[3]};
    const bool strip = type == D3DPT_TRIANGLESTRIP;
    const UINT bytes = strip ? sizeof v : sizeof list;
    auto buffer = device_->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, kFvf, D3DPOOL_MANAGED);
    void* data = nullptr;
    ASSERT_EQ(buffer->Lock(0, 0, &data, 0), S_OK);
    std::memcpy(data, strip ? static_cast<const void*>(v) : list, bytes);
    buffer->Unlock();
    device_->SetStreamSource(0, buffer.get(), 0, sizeof(Vertex));
    device_->SetFVF(kFvf);
    EXPECT_EQ(device_->DrawPrimitive(type, 0, 2), S_OK);
    buffers_.push_back(std::move(buffer));
  }

  void Begin(D3DCOLOR clear) {
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, clear, 1.0f, 0);
    ASSERT_EQ(device_->BeginScene(), S_OK);
  }
  const gfx::Image& End() {
    device_->EndScene();
    device_->Present(nullptr, nullptr, nullptr, nullptr);
    return device_->LastPresentedImage();
  }

  // The pixel under a clip-space point.
  static Rgb At(const gfx::Image& image, float x, float y) {
    const int px = static_cast<int>((x + 1.0f) / 2.0f * image.width);
    const int py = static_cast<int>((1.0f - y) / 2.0f * image.height);
    const std::uint8_t* p = image.Pixel(px, py);
    return {p[0], p[1], p[2]};
  }
  static void ExpectNear(Rgb actual, Rgb expected, int tolerance = 2) {
    EXPECT_NEAR(actual.r, expected.r, tolerance);
    EXPECT_NEAR(actual.g, expected.g, tolerance);
    EXPECT_NEAR(actual.b, expected.b, tolerance);
  }

  std::unique_ptr<gfx::GlDevice> device_;
  std::vector<std::unique_ptr<gfx::VertexBuffer>> buffers_;
};

TEST_F(GlDeviceTest, ClearAndVertexColourReachTheScreenTheRightWayUp) {
  Begin(D3DCOLOR_ARGB(0, 10, 20, 30));
  DrawQuad(-1.0f, 1.0f, 0.0f, 0.0f, 0.5f, D3DCOLOR_ARGB(255, 255, 0, 0));  // top-left quarter
  const gfx::Image& image = End();
  ASSERT_EQ(image.width, 1280);
  ASSERT_EQ(image.height, 720);
  ExpectNear(At(image, -0.5f, 0.5f), {255, 0, 0}, 0);
  ExpectNear(At(image, 0.5f, -0.5f), {10, 20, 30}, 0);
  ExpectNear(At(image, -0.5f, -0.5f), {10, 20, 30}, 0);
}

TEST_F(GlDeviceTest, PixelCentresSitAtWholeCoordinatesAsInDirect3D9) {
  // Clip-space x and y of a screen position, Direct3D's y running down.
  auto clipX = [](float x) { return x / 1280.0f * 2.0f - 1.0f; };
  auto clipY = [](float y) { return 1.0f - y / 720.0f * 2.0f; };
  Begin(D3DCOLOR_ARGB(0, 0, 0, 0));
  // Spans the centre of pixel 100 (at 100.0) on both axes: that pixel alone is filled.
  DrawQuad(clipX(99.8f), clipY(99.8f), clipX(100.2f), clipY(100.2f), 0.5f, D3DCOLOR_ARGB(255, 255, 0, 0));
  // Between two whole coordinates, so no pixel centre lies inside: nothing is drawn, where
  // GL's centres at .5 would fill pixel 200.
  DrawQuad(clipX(200.2f), clipY(200.2f), clipX(200.8f), clipY(200.8f), 0.5f, D3DCOLOR_ARGB(255, 0, 255, 0));
  const gfx::Image& image = End();
  auto lit = [&image](int x, int y) { return image.Pixel(x, y)[0] + image.Pixel(x, y)[1] > 0; };
  EXPECT_TRUE(lit(100, 100));
  EXPECT_FALSE(lit(99, 99) || lit(99, 100) || lit(100, 99) || lit(101, 100) || lit(100, 101));
  for (int y = 198; y <= 202; ++y)
    for (int x = 198; x <= 202; ++x) EXPECT_FALSE(lit(x, y)) << x << "," << y;
}

TEST_F(GlDeviceTest, BlendModesMatchDirect3DsFactorsAndOperations) {
  struct Case {
    const char* name;
    DWORD op, src, dest;
    Rgb expected;
  };
  // Background (100, 100, 100); source (200, 50, 0) at alpha 128/255.
  const float a = 128.0f / 255.0f;
  const Case cases[] = {
      {"alpha",
       D3DBLENDOP_ADD,
       D3DBLEND_SRCALPHA,
       D3DBLEND_INVSRCALPHA,
       {int(200 * a + 100 * (1 - a) + 0.5f), int(50 * a + 100 * (1 - a) + 0.5f), int(100 * (1 - a) + 0.5f)}},
      {"additive",
       D3DBLENDOP_ADD,
       D3DBLEND_SRCALPHA,
       D3DBLEND_ONE,
       {int(100 + 200 * a + 0.5f), int(100 + 50 * a + 0.5f), 100}},
      {"subtractive",
       D3DBLENDOP_REVSUBTRACT,
       D3DBLEND_SRCALPHA,
       D3DBLEND_ONE,
       {0, int(100 - 50 * a + 0.5f), 100}},
      {"opaque default", D3DBLENDOP_ADD, D3DBLEND_ONE, D3DBLEND_ZERO, {200, 50, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Begin(D3DCOLOR_ARGB(255, 100, 100, 100));
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_BLENDOP, c.op);
    device_->SetRenderState(D3DRS_SRCBLEND, c.src);
    device_->SetRenderState(D3DRS_DESTBLEND, c.dest);
    DrawQuad(-0.5f, 0.5f, 0.5f, -0.5f, 0.5f, D3DCOLOR_ARGB(128, 200, 50, 0));
    const gfx::Image& image = End();
    ExpectNear(At(image, 0.0f, 0.0f), c.expected);
    ExpectNear(At(image, 0.9f, 0.9f), {100, 100, 100}, 0);
  }

  // Direct3D's default alpha operation takes alpha from the (absent, so opaque) texture.
  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  Begin(D3DCOLOR_ARGB(255, 100, 100, 100));
  device_->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  DrawQuad(-0.5f, 0.5f, 0.5f, -0.5f, 0.5f, D3DCOLOR_ARGB(128, 200, 50, 0));
  ExpectNear(At(End(), 0.0f, 0.0f), {200, 50, 0}, 0);
}

TEST_F(GlDeviceTest, AlphaTestDiscardsFragmentsThatFailTheReference) {
  // Alpha 100: passes "greater than 50", fails "greater than 150"; disabled, the function is ignored.
  struct Case {
    BOOL enable;
    DWORD ref;
    bool drawn;
  };
  for (const Case& c : {Case{TRUE, 50, true}, Case{TRUE, 150, false}, Case{FALSE, 150, true}}) {
    SCOPED_TRACE(c.ref);
    Begin(D3DCOLOR_ARGB(255, 0, 0, 255));
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, c.enable);
    device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    device_->SetRenderState(D3DRS_ALPHAREF, c.ref);
    DrawQuad(-0.5f, 0.5f, 0.5f, -0.5f, 0.5f, D3DCOLOR_ARGB(100, 0, 255, 0));
    const Rgb pixel = At(End(), 0.0f, 0.0f);
    EXPECT_EQ(pixel.g == 255, c.drawn);
    EXPECT_EQ(pixel.b == 255, !c.drawn);
  }
}

TEST_F(GlDeviceTest, DepthTestWriteAndFunctionFollowTheRenderStates) {
  struct Case {
    const char* name;
    DWORD zenable, zwrite, zfunc;
    Rgb expected;  // red is drawn first and nearer, green second and farther
  };
  const Case cases[] = {
      {"near wins", D3DZB_TRUE, TRUE, D3DCMP_LESSEQUAL, {255, 0, 0}},
      {"depth off", D3DZB_FALSE, TRUE, D3DCMP_LESSEQUAL, {0, 255, 0}},
      {"no depth writes", D3DZB_TRUE, FALSE, D3DCMP_LESSEQUAL, {0, 255, 0}},
      {"greater passes far", D3DZB_TRUE, TRUE, D3DCMP_GREATER, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Begin(D3DCOLOR_ARGB(255, 0, 0, 0));
    device_->SetRenderState(D3DRS_ZENABLE, c.zenable);
    device_->SetRenderState(D3DRS_ZWRITEENABLE, c.zwrite);
    device_->SetRenderState(D3DRS_ZFUNC, c.zfunc);
    DrawQuad(-0.5f, 0.5f, 0.5f, -0.5f, 0.2f, D3DCOLOR_ARGB(255, 255, 0, 0));
    DrawQuad(-0.5f, 0.5f, 0.5f, -0.5f, 0.8f, D3DCOLOR_ARGB(255, 0, 255, 0));
    ExpectNear(At(End(), 0.0f, 0.0f), c.expected, 0);
  }
  // The clear resets depth even when depth writes are off.
  Begin(D3DCOLOR_ARGB(255, 0, 0, 0));
  device_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  device_->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  DrawQuad(-0.5f, 0.5f, 0.5f, -0.5f, 0.9f, D3DCOLOR_ARGB(255, 0, 0, 255));
  ExpectNear(At(End(), 0.0f, 0.0f), {0, 0, 255}, 0);
}

TEST_F(GlDeviceTest, WireframeDrawsOnlyTheEdges) {
  device_->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
  Begin(D3DCOLOR_ARGB(255, 0, 0, 0));
  DrawQuad(-0.5f, 0.5f, 0.5f, -0.5f, 0.5f, D3DCOLOR_ARGB(255, 255, 255, 255));
  const gfx::Image& image = End();
  // Inside a triangle, away from the diagonal: background.
  ExpectNear(At(image, -0.3f, -0.1f), {0, 0, 0}, 0);
  // Along the left edge some pixel in the column is lit.
  const int column = static_cast<int>(0.25f * image.width);
  int lit = 0;
  for (int dx = -2; dx <= 2; ++dx) lit += image.Pixel(column + dx, image.height / 2)[0] == 255;
  EXPECT_GT(lit, 0);

  device_->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
  Begin(D3DCOLOR_ARGB(255, 0, 0, 0));
  DrawQuad(-0.5f, 0.5f, 0.5f, -0.5f, 0.5f, D3DCOLOR_ARGB(255, 255, 255, 255));
  ExpectNear(At(End(), -0.3f, -0.1f), {255, 255, 255}, 0);
}

TEST_F(GlDeviceTest, CullModeCcwRemovesCounterClockwiseTrianglesOnly) {
  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  Begin(D3DCOLOR_ARGB(255, 0, 0, 0));
  DrawQuad(-1.0f, 1.0f, 0.0f, 0.0f, 0.5f, D3DCOLOR_ARGB(255, 255, 0, 0));
  DrawQuad(0.0f, 0.0f, 1.0f, -1.0f, 0.5f, D3DCOLOR_ARGB(255, 0, 255, 0), /*counterClockwise=*/true);
  const gfx::Image& image = End();
  ExpectNear(At(image, -0.5f, 0.5f), {255, 0, 0}, 0);
  ExpectNear(At(image, 0.5f, -0.5f), {0, 0, 0}, 0);

  device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
  Begin(D3DCOLOR_ARGB(255, 0, 0, 0));
  DrawQuad(-1.0f, 1.0f, 0.0f, 0.0f, 0.5f, D3DCOLOR_ARGB(255, 255, 0, 0));
  DrawQuad(0.0f, 0.0f, 1.0f, -1.0f, 0.5f, D3DCOLOR_ARGB(255, 0, 255, 0), /*counterClockwise=*/true);
  const gfx::Image& culled = End();
  ExpectNear(At(culled, -0.5f, 0.5f), {0, 0, 0}, 0);
  ExpectNear(At(culled, 0.5f, -0.5f), {0, 255, 0}, 0);
}

TEST_F(GlDeviceTest, TriangleListsDrawLikeStrips) {
  Begin(D3DCOLOR_ARGB(255, 0, 0, 0));
  DrawQuad(-0.5f, 0.5f, 0.5f, -0.5f, 0.5f, D3DCOLOR_ARGB(255, 0, 0, 255), false, D3DPT_TRIANGLELIST);
  const gfx::Image& image = End();
  ExpectNear(At(image, -0.3f, -0.3f), {0, 0, 255}, 0);
  ExpectNear(At(image, 0.3f, 0.3f), {0, 0, 255}, 0);
}

TEST_F(GlDeviceTest, TextureStageModulatesWithPointFilteringAndWraps) {
  // 2x2 texture: white, red / green, blue, half transparent on the bottom row.
  const std::uint8_t pixels[] = {255, 255, 255, 255, 255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 128};
  auto texture = device_->CreateTexture(2, 2, pixels);
  ASSERT_NE(texture, nullptr);
  device_->SetTexture(0, texture.get());
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  Begin(D3DCOLOR_ARGB(255, 0, 0, 0));
  DrawQuad(-1.0f, 1.0f, 1.0f, -1.0f, 0.5f, D3DCOLOR_ARGB(255, 255, 255, 128));  // vertex colour halves blue
  const gfx::Image& image = End();
  ExpectNear(At(image, -0.5f, 0.5f), {255, 255, 128});  // v = 0 is the image's top row
  ExpectNear(At(image, 0.5f, 0.5f), {255, 0, 0});
  ExpectNear(At(image, -0.5f, -0.5f), {0, 128, 0});  // alpha 128 over black
  ExpectNear(At(image, 0.5f, -0.5f), {0, 0, 64});

  // Without a texture the stage reads opaque white: the vertex colour shows as it is.
  device_->SetTexture(0, nullptr);
  Begin(D3DCOLOR_ARGB(255, 0, 0, 0));
  DrawQuad(-1.0f, 1.0f, 1.0f, -1.0f, 0.5f, D3DCOLOR_ARGB(255, 10, 200, 30));
  ExpectNear(At(End(), 0.0f, 0.0f), {10, 200, 30}, 0);
}

TEST_F(GlDeviceTest, LightingUsesTheDirectionalLightAndVertexColourAsDiffuse) {
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1, 1, 1, 1};
  light.Direction = {0.0f, 0.0f, 1.0f};  // shining along +z onto quads facing -z
  device_->SetLight(0, &light);
  device_->LightEnable(0, TRUE);
  device_->SetRenderState(D3DRS_LIGHTING, TRUE);
  Begin(D3DCOLOR_ARGB(255, 0, 0, 0));
  DrawQuad(-1.0f, 1.0f, 1.0f, -1.0f, 0.5f, D3DCOLOR_ARGB(255, 200, 100, 50));
  ExpectNear(At(End(), 0.0f, 0.0f), {200, 100, 50});

  // Light at 60 degrees: half the diffuse.
  light.Direction = {0.0f, 0.8660254f, 0.5f};
  device_->SetLight(0, &light);
  Begin(D3DCOLOR_ARGB(255, 0, 0, 0));
  DrawQuad(-1.0f, 1.0f, 1.0f, -1.0f, 0.5f, D3DCOLOR_ARGB(255, 200, 100, 50));
  ExpectNear(At(End(), 0.0f, 0.0f), {100, 50, 25});

  // The material's emissive colour lights the quad with the light off.
  device_->LightEnable(0, FALSE);
  D3DMATERIAL9 material{};
  material.Emissive = {0.0f, 0.5f, 0.0f, 1.0f};
  device_->SetMaterial(&material);
  Begin(D3DCOLOR_ARGB(255, 0, 0, 0));
  DrawQuad(-1.0f, 1.0f, 1.0f, -1.0f, 0.5f, D3DCOLOR_ARGB(255, 200, 100, 50));
  ExpectNear(At(End(), 0.0f, 0.0f), {0, 128, 0});
}

TEST_F(GlDeviceTest, TransformsFollowDirect3DsRowVectorConventions) {
  D3DXMATRIX world, view, projection;
  D3DXMatrixTranslation(&world, 50.0f, 0.0f, 0.0f);
  const D3DXVECTOR3 eye(0, 0, -100), at(0, 0, 0), up(0, 1, 0);
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 4, 1280.0f / 720.0f, 5.0f, 10000.0f);
  device_->SetTransform(D3DTS_WORLD, &world);
  device_->SetTransform(D3DTS_VIEW, &view);
  device_->SetTransform(D3DTS_PROJECTION, &projection);
  Begin(D3DCOLOR_ARGB(255, 0, 0, 0));
  DrawQuad(-5.0f, 5.0f, 5.0f, -5.0f, 0.0f, D3DCOLOR_ARGB(255, 255, 255, 0));
  const gfx::Image& image = End();
  // The quad's centre (50, 0, 0) projects right of the screen centre, where the CPU math puts it.
  D3DXVECTOR3 centre(50, 0, 0), projected;
  const D3DXMATRIX vp = view * projection;
  D3DXVec3TransformCoord(&projected, &centre, &vp);
  ExpectNear(At(image, projected.x, projected.y), {255, 255, 0}, 0);
  ExpectNear(At(image, -projected.x, projected.y), {0, 0, 0}, 0);
}

}  // namespace

namespace {

TEST_F(GlDeviceTest, RewrittenAndManyBuffersDrawTheirCurrentBytes) {
  // Thousands of small buffers share large GL buffers; the last one made lives in a later one.
  std::vector<std::unique_ptr<gfx::VertexBuffer>> many;
  for (int i = 0; i < 16000; ++i)
    many.push_back(
        device_->CreateVertexBuffer(4 * sizeof(Vertex), D3DUSAGE_WRITEONLY, kFvf, D3DPOOL_MANAGED));
  auto fill = [](gfx::VertexBuffer* buffer, float x, D3DCOLOR color) {
    const Vertex v[4] = {{x, 0.5f, 0.5f, 0, 0, -1, color, 0, 0},
                         {x + 0.2f, 0.5f, 0.5f, 0, 0, -1, color, 1, 0},
                         {x, -0.5f, 0.5f, 0, 0, -1, color, 0, 1},
                         {x + 0.2f, -0.5f, 0.5f, 0, 0, -1, color, 1, 1}};
    void* data = nullptr;
    ASSERT_EQ(buffer->Lock(0, 0, &data, 0), S_OK);
    std::memcpy(data, v, sizeof v);
    buffer->Unlock();
  };
  auto draw = [&](gfx::VertexBuffer* buffer) {
    device_->SetStreamSource(0, buffer, 0, sizeof(Vertex));
    device_->SetFVF(kFvf);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), S_OK);
  };
  gfx::VertexBuffer* first = many.front().get();
  gfx::VertexBuffer* last = many.back().get();
  fill(first, -0.9f, D3DCOLOR_ARGB(255, 255, 0, 0));
  fill(last, 0.5f, D3DCOLOR_ARGB(255, 0, 255, 0));
  Begin(D3DCOLOR_ARGB(255, 0, 0, 0));
  draw(first);
  draw(last);
  // Rewritten between two draws of one frame: the second draw shows the new bytes.
  fill(first, -0.4f, D3DCOLOR_ARGB(255, 0, 0, 255));
  draw(first);
  const gfx::Image& image = End();
  ExpectNear(At(image, -0.8f, 0.0f), {255, 0, 0}, 0);
  ExpectNear(At(image, -0.3f, 0.0f), {0, 0, 255}, 0);
  ExpectNear(At(image, 0.6f, 0.0f), {0, 255, 0}, 0);

  // A freed slot is reused by the next buffer, which draws its own bytes.
  many.erase(many.begin());
  auto reused = device_->CreateVertexBuffer(4 * sizeof(Vertex), D3DUSAGE_WRITEONLY, kFvf, D3DPOOL_MANAGED);
  fill(reused.get(), 0.0f, D3DCOLOR_ARGB(255, 255, 255, 0));
  Begin(D3DCOLOR_ARGB(255, 0, 0, 0));
  draw(reused.get());
  ExpectNear(At(End(), 0.1f, 0.0f), {255, 255, 0}, 0);
}

}  // namespace
