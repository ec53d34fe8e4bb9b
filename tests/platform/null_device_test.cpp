#include "platform/gfx/null/null_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using gfx::NullDevice;
using gfx::VertexLayout;

constexpr DWORD kFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;  // 0x152
constexpr UINT kStride = 36;

TEST(NullDevice, FreshDeviceHasDirect3DDefaults) {
  NullDevice device(64, 32);
  DWORD v = 0xdead;
  const std::pair<D3DRENDERSTATETYPE, DWORD> renderStates[] = {
      {D3DRS_ZENABLE, 1},     {D3DRS_ZWRITEENABLE, 1},
      {D3DRS_ZFUNC, 4},       {D3DRS_CULLMODE, 3},
      {D3DRS_LIGHTING, 1},    {D3DRS_AMBIENT, 0},
      {D3DRS_COLORVERTEX, 1}, {D3DRS_DIFFUSEMATERIALSOURCE, 1},
      {D3DRS_ALPHAREF, 0},    {D3DRS_ALPHATESTENABLE, 0},
      {D3DRS_ALPHAFUNC, 8},   {D3DRS_ALPHABLENDENABLE, 0},
      {D3DRS_SRCBLEND, 2},    {D3DRS_DESTBLEND, 1},
      {D3DRS_BLENDOP, 1},     {D3DRS_FILLMODE, 3},
  };
  for (auto [state, expected] : renderStates) {
    ASSERT_EQ(device.GetRenderState(state, &v), S_OK);
    EXPECT_EQ(v, expected) << "render state " << state;
  }
  const std::pair<D3DSAMPLERSTATETYPE, DWORD> samplerStates[] = {
      {D3DSAMP_MINFILTER, 1}, {D3DSAMP_MAGFILTER, 1}, {D3DSAMP_MIPFILTER, 0},
      {D3DSAMP_ADDRESSU, 1},  {D3DSAMP_ADDRESSV, 1},
  };
  for (auto [type, expected] : samplerStates) {
    ASSERT_EQ(device.GetSamplerState(0, type, &v), S_OK);
    EXPECT_EQ(v, expected) << "sampler state " << type;
  }
  const std::tuple<DWORD, D3DTEXTURESTAGESTATETYPE, DWORD> stageStates[] = {
      {0, D3DTSS_COLOROP, 4}, {0, D3DTSS_COLORARG1, 2}, {0, D3DTSS_COLORARG2, 1},
      {0, D3DTSS_ALPHAOP, 2}, {1, D3DTSS_COLOROP, 1},
  };
  for (auto [stage, type, expected] : stageStates) {
    ASSERT_EQ(device.GetTextureStageState(stage, type, &v), S_OK);
    EXPECT_EQ(v, expected) << "stage " << stage << " state " << type;
  }
  D3DXMATRIX identity, m;
  for (int i = 0; i < 4; ++i) identity.m[i][i] = 1;
  for (D3DTRANSFORMSTATETYPE t : {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION}) {
    ASSERT_EQ(device.GetTransform(t, &m), S_OK);
    EXPECT_EQ(m, identity) << "transform " << t;
  }
  D3DMATERIAL9 material, zero{};
  std::memset(&material, 0xff, sizeof material);
  ASSERT_EQ(device.GetMaterial(&material), S_OK);
  EXPECT_EQ(std::memcmp(&material, &zero, sizeof material), 0);
  BOOL enabled = TRUE;
  ASSERT_EQ(device.GetLightEnable(0, &enabled), S_OK);
  EXPECT_EQ(enabled, FALSE);
}

TEST(NullDevice, SetThenGetRoundTrips) {
  NullDevice device(64, 32);
  DWORD v = 0;
  device.SetRenderState(D3DRS_ALPHAREF, 0x80);
  device.GetRenderState(D3DRS_ALPHAREF, &v);
  EXPECT_EQ(v, 0x80u);
  device.SetSamplerState(7, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  device.GetSamplerState(7, D3DSAMP_MAGFILTER, &v);
  EXPECT_EQ(v, DWORD{D3DTEXF_LINEAR});
  device.GetSamplerState(0, D3DSAMP_MAGFILTER, &v);
  EXPECT_EQ(v, DWORD{D3DTEXF_POINT}) << "other samplers keep their own state";
  device.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
  device.GetTextureStageState(1, D3DTSS_COLOROP, &v);
  EXPECT_EQ(v, DWORD{D3DTOP_ADD});

  D3DXMATRIX world, view, got;
  D3DXMatrixTranslation(&world, 1, 2, 3);
  D3DXMatrixScaling(&view, 2, 2, 2);
  device.SetTransform(D3DTS_WORLD, &world);
  device.SetTransform(D3DTS_VIEW, &view);
  device.GetTransform(D3DTS_WORLD, &got);
  EXPECT_EQ(got, world);
  device.GetTransform(D3DTS_VIEW, &got);
  EXPECT_EQ(got, view);

  D3DMATERIAL9 material{}, gotMaterial{};
  material.Diffuse = {0.1f, 0.2f, 0.3f, 0.4f};
  device.SetMaterial(&material);
  device.GetMaterial(&gotMaterial);
  EXPECT_EQ(std::memcmp(&gotMaterial, &material, sizeof material), 0);
  BOOL enabled = FALSE;
  device.LightEnable(3, TRUE);
  device.GetLightEnable(3, &enabled);
  EXPECT_EQ(enabled, TRUE);
}

TEST(NullDevice, InvalidArgumentsAreRejected) {
  NullDevice device(64, 32);
  DWORD v;
  D3DXMATRIX m;
  D3DLIGHT9 light{};
  const HRESULT results[] = {
      device.SetRenderState(D3DRENDERSTATETYPE(kRenderStateCount), 1),
      device.GetRenderState(D3DRENDERSTATETYPE(kRenderStateCount), &v),
      device.GetRenderState(D3DRS_ZENABLE, nullptr),
      device.SetSamplerState(8, D3DSAMP_MAGFILTER, 2),
      device.GetSamplerState(8, D3DSAMP_MAGFILTER, &v),
      device.SetTextureStageState(8, D3DTSS_COLOROP, 1),
      device.SetTransform(D3DTS_WORLD, nullptr),
      device.SetTransform(D3DTRANSFORMSTATETYPE(1), &m),
      device.SetLight(8, &light),
      device.LightEnable(8, TRUE),
      device.SetMaterial(nullptr),
      device.EndScene(),  // no scene begun
  };
  for (size_t i = 0; i < std::size(results); ++i) EXPECT_EQ(results[i], D3DERR_INVALIDCALL) << "call #" << i;
}

class NullDeviceDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    buffer = device.CreateVertexBuffer(4 * kStride, D3DUSAGE_WRITEONLY, kFvf, D3DPOOL_MANAGED);  // 4 vertices
    ASSERT_NE(buffer, nullptr);
    device.SetStreamSource(0, buffer.get(), 0, kStride);
    device.SetFVF(kFvf);
  }
  NullDevice device{64, 32};
  std::unique_ptr<gfx::VertexBuffer> buffer;
};

TEST_F(NullDeviceDraw, NeedsAnOpenScene) {
  EXPECT_EQ(device.DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL);
  ASSERT_EQ(device.BeginScene(), S_OK);
  EXPECT_EQ(device.BeginScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(device.DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), S_OK);
  ASSERT_EQ(device.EndScene(), S_OK);
  EXPECT_EQ(device.DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL);
  EXPECT_EQ(device.DrawCount(), 1u);
}

TEST_F(NullDeviceDraw, RejectsReadingPastTheBuffer) {
  const std::tuple<D3DPRIMITIVETYPE, UINT, UINT, bool> cases[] = {
      // type, start, primitives, fits
      {D3DPT_TRIANGLESTRIP, 0, 2, true},  {D3DPT_TRIANGLESTRIP, 0, 3, false},
      {D3DPT_TRIANGLESTRIP, 1, 2, false}, {D3DPT_TRIANGLELIST, 1, 1, true},
      {D3DPT_TRIANGLELIST, 0, 2, false},  {D3DPT_POINTLIST, 3, 1, true},
      {D3DPT_POINTLIST, 4, 1, false},     {D3DPT_LINESTRIP, 0, 3, true},
      {D3DPT_LINELIST, 0, 3, false},
  };
  device.BeginScene();
  for (auto [type, start, primitives, fits] : cases)
    EXPECT_EQ(device.DrawPrimitive(type, start, primitives), fits ? S_OK : D3DERR_INVALIDCALL)
        << "type " << type << " start " << start << " primitives " << primitives;
  device.SetStreamSource(0, buffer.get(), kStride, kStride);  // an offset of one vertex leaves three
  EXPECT_EQ(device.DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL);
  EXPECT_EQ(device.DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 1), S_OK);
}

TEST_F(NullDeviceDraw, RecordsTheStateOfEachDraw) {
  const std::uint8_t pixel[4] = {255, 255, 255, 255};
  auto texture = device.CreateTexture(1, 1, pixel);
  D3DXMATRIX world;
  D3DXMatrixTranslation(&world, 4, 5, 6);
  device.SetRecording(true);
  device.SetTexture(0, texture.get());
  device.SetTransform(D3DTS_WORLD, &world);
  device.SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_REVSUBTRACT);
  device.BeginScene();
  ASSERT_EQ(device.DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), S_OK);
  device.SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
  device.SetTexture(0, nullptr);
  ASSERT_EQ(device.DrawPrimitive(D3DPT_TRIANGLELIST, 1, 1), S_OK);
  EXPECT_NE(device.DrawPrimitive(D3DPT_TRIANGLELIST, 0, 5), S_OK);  // failed draws are not recorded
  device.EndScene();

  ASSERT_EQ(device.Draws().size(), 2u);
  const gfx::RecordedDraw& first = device.Draws()[0];
  EXPECT_EQ(std::tie(first.type, first.startVertex, first.vertexCount),
            std::make_tuple(D3DPT_TRIANGLESTRIP, 0u, 4u));
  EXPECT_EQ(first.buffer, buffer.get());
  EXPECT_EQ(first.texture, texture.get());
  EXPECT_EQ(first.world, world);
  EXPECT_EQ(first.layout, VertexLayout::FromFVF(kFvf));
  EXPECT_EQ(first.renderStates[D3DRS_BLENDOP], DWORD{D3DBLENDOP_REVSUBTRACT});
  const gfx::RecordedDraw& second = device.Draws()[1];
  EXPECT_EQ(std::tie(second.type, second.startVertex, second.vertexCount),
            std::make_tuple(D3DPT_TRIANGLELIST, 1u, 3u));
  EXPECT_EQ(second.texture, nullptr);
  EXPECT_EQ(second.renderStates[D3DRS_BLENDOP], DWORD{D3DBLENDOP_ADD});
}

TEST_F(NullDeviceDraw, IndexedDrawsAreCheckedAgainstTheIndicesTheBufferHoldsNow) {
  auto indices = device.CreateIndexBuffer(6);
  ASSERT_NE(indices, nullptr);
  device.SetIndices(indices.get());
  auto write = [&](std::initializer_list<std::uint32_t> values) {
    std::copy(values.begin(), values.end(), indices->Lock().begin());
  };
  device.BeginScene();
  write({0, 1, 2, 2, 1, 3});
  EXPECT_EQ(device.DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), S_OK);
  // The buffer holds four vertices: an index of 4 reads past it, whatever was drawn before.
  write({0, 1, 2, 2, 1, 4});
  EXPECT_EQ(device.DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3DERR_INVALIDCALL);
  EXPECT_EQ(device.DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 1), S_OK);  // the first triangle
  write({3, 2, 1, 1, 2, 0});
  EXPECT_EQ(device.DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), S_OK);
  EXPECT_EQ(device.DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 4, 0, 2), D3DERR_INVALIDCALL);
  EXPECT_EQ(device.DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1), D3DERR_INVALIDCALL);  // names 3
  EXPECT_EQ(device.DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 3, 1), S_OK);
  device.EndScene();
  EXPECT_EQ(device.DrawCount(), 4u);
}

TEST(NullDevice, IndexBoundsFollowTheIndicesThroughEveryLock) {
  gfx::IndexBuffer buffer(64);
  auto span = buffer.Lock();
  for (std::size_t i = 0; i < span.size(); ++i) span[i] = static_cast<std::uint32_t>(100 + (i * 37) % 64);
  auto expected = [&](UINT start, UINT count) {
    const auto run = buffer.Indices().subspan(start, count);
    return std::make_pair(*std::min_element(run.begin(), run.end()),
                          *std::max_element(run.begin(), run.end()));
  };
  auto bounds = [&](UINT start, UINT count) {
    const gfx::IndexBuffer::Bounds b = buffer.RangeBounds(start, count);
    return std::make_pair(b.lowest, b.highest);
  };
  // More runs than are remembered, each asked for twice: all answers come from the indices.
  for (int pass = 0; pass < 2; ++pass)
    for (UINT start = 0; start < 40; ++start)
      EXPECT_EQ(bounds(start, 3 + start % 5), expected(start, 3 + start % 5));

  // Runs just asked for have new bounds once rewritten.
  EXPECT_EQ(bounds(0, 3), expected(0, 3));
  EXPECT_EQ(bounds(1, 4), expected(1, 4));
  EXPECT_EQ(bounds(2, 3), expected(2, 3));
  span = buffer.Lock();
  span[0] = 7;
  span[1] = 900;
  EXPECT_EQ(bounds(0, 3), std::make_pair(7u, 900u));
  EXPECT_EQ(bounds(1, 4), expected(1, 4));
  EXPECT_EQ(bounds(2, 3), expected(2, 3));
}

TEST(NullDevice, VertexBufferLocking) {
  NullDevice device(64, 32);
  auto vb = device.CreateVertexBuffer(16, 0, D3DFVF_XYZ, D3DPOOL_MANAGED);
  void* data = nullptr;
  EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);
  EXPECT_EQ(vb->Lock(0, 0, nullptr, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(vb->Lock(17, 0, &data, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(vb->Lock(8, 9, &data, 0), D3DERR_INVALIDCALL);

  const std::uint64_t before = vb->Revision();
  ASSERT_EQ(vb->Lock(0, 0, &data, D3DLOCK_READONLY), S_OK);
  EXPECT_EQ(vb->Lock(0, 0, &data, 0), D3DERR_INVALIDCALL);  // already locked
  ASSERT_EQ(vb->Unlock(), S_OK);
  EXPECT_EQ(vb->Revision(), before);
  ASSERT_EQ(vb->Lock(8, 8, &data, 0), S_OK);
  static_cast<std::uint8_t*>(data)[0] = 0xAB;
  ASSERT_EQ(vb->Unlock(), S_OK);
  EXPECT_GT(vb->Revision(), before);
  EXPECT_EQ(vb->Bytes()[8], std::byte{0xAB});
}

TEST(NullDevice, LayoutFromFvfAndDeclaration) {
  const VertexLayout full = VertexLayout::FromFVF(kFvf);
  EXPECT_EQ(full, (VertexLayout{0, 12, 24, 28, 36}));
  const D3DVERTEXELEMENT9 elements[] = {
      {0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
      {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0},
      {0, 24, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
      {0, 28, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0},
      D3DDECL_END(),
  };
  EXPECT_EQ(VertexLayout::FromDeclaration(elements), full);
  // Missing attributes are -1 and the later ones move forward.
  EXPECT_EQ(VertexLayout::FromFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE), (VertexLayout{0, -1, 12, -1, 16}));
  EXPECT_EQ(VertexLayout::FromFVF(D3DFVF_XYZ | D3DFVF_TEX1), (VertexLayout{0, -1, -1, 12, 20}));
}

TEST(NullDevice, PresentCaptureKeepsTheClearedBackBuffer) {
  NullDevice device(5, 3);
  device.Present(nullptr, nullptr, nullptr, nullptr);
  EXPECT_TRUE(device.LastPresentedImage().Empty()) << "nothing is kept while capture is off";
  device.SetPresentCapture(true);
  device.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_ARGB(0x40, 0x10, 0x20, 0x30), 1, 0);
  device.Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0xFFFFFFFF, 1, 0);  // depth only: the colour stays
  device.Present(nullptr, nullptr, nullptr, nullptr);
  const gfx::Image& image = device.LastPresentedImage();
  ASSERT_EQ(image.width, 5);
  ASSERT_EQ(image.height, 3);
  std::vector<std::uint8_t> expected;
  for (int i = 0; i < 5 * 3; ++i) expected.insert(expected.end(), {0x10, 0x20, 0x30, 0x40});
  EXPECT_EQ(image.rgba, expected);
}

}  // namespace
