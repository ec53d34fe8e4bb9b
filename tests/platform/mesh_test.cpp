#include "platform/gfx/mesh.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "platform/gfx/null/null_device.h"
#include "support/source_tree.h"

namespace {

namespace fs = std::filesystem;

// Two triangles with distinct materials, asymmetric in every axis, wound as written.
const char* kTwoMaterialModel = R"(xof 0303txt 0032
Mesh {
  4;
  1.0;2.0;3.0;,
  4.0;2.0;3.0;,
  1.0;5.0;3.0;,
  1.0;2.0;-7.0;;
  2;
  3;0,1,2;,
  3;0,2,3;;
  MeshNormals {
    1;
    0.0;0.0;-1.0;;
    2;
    3;0,0,0;,
    3;0,0,0;;
  }
  MeshTextureCoords {
    4;
    0.0;0.0;,
    1.0;0.0;,
    0.0;1.0;,
    0.25;0.75;;
  }
  MeshMaterialList {
    2;
    2;
    0,
    1;;
    Material {
      1.0;0.0;0.0;1.0;;
      5.0;
      0.0;0.0;0.0;;
      0.0;0.0;0.0;;
    }
    Material {
      0.0;0.0;1.0;0.5;;
      0.0;
      0.0;0.0;0.0;;
      0.1;0.2;0.3;;
    }
  }
}
)";

class XFileTest : public TempFolderTest {
 protected:
  gfx::NullDevice device_{64, 64};
};

struct Vertex {
  float x, y, z, nx, ny, nz, u, v;
};

TEST_F(XFileTest, LoadsInTheFilesOwnCoordinatesWithOneSubsetPerMaterial) {
  std::unique_ptr<gfx::MaterialBuffer> materials;
  std::unique_ptr<gfx::Mesh> mesh;
  DWORD count = 0;
  std::string error;
  ASSERT_EQ(gfx::D3DXLoadMeshFromX(Write("two.x", kTwoMaterialModel), 0x110, &device_, &materials, &count,
                                   &mesh, &error),
            S_OK)
      << error;
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(mesh->GetNumSubsets(), 2u);
  EXPECT_EQ(mesh->GetNumFaces(), 2u);
  EXPECT_EQ(mesh->GetFVF(), static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1));
  const gfx::D3DXMATERIAL* records = materials->GetBufferPointer();
  EXPECT_FLOAT_EQ(records[0].MatD3D.Diffuse.r, 1.0f);
  EXPECT_FLOAT_EQ(records[1].MatD3D.Diffuse.b, 1.0f);
  EXPECT_FLOAT_EQ(records[1].MatD3D.Diffuse.a, 0.5f);
  EXPECT_FLOAT_EQ(records[1].MatD3D.Emissive.g, 0.2f);
  EXPECT_EQ(records[0].pTextureFilename, nullptr);

  // Every written position comes back unchanged (z not mirrored), with its texture coordinates.
  void* data = nullptr;
  ASSERT_EQ(mesh->LockVertexBuffer(D3DLOCK_READONLY, &data), S_OK);
  const auto* vertices = static_cast<const Vertex*>(data);
  bool sawFarZ = false, sawUv = false;
  for (DWORD i = 0; i < mesh->GetNumVertices(); ++i) {
    EXPECT_TRUE(vertices[i].z == 3.0f || vertices[i].z == -7.0f) << vertices[i].z;
    sawFarZ |= vertices[i].z == -7.0f;
    sawUv |= vertices[i].u == 0.25f && vertices[i].v == 0.75f;
    EXPECT_FLOAT_EQ(vertices[i].nz, -1.0f);
  }
  mesh->UnlockVertexBuffer();
  EXPECT_TRUE(sawFarZ);
  EXPECT_TRUE(sawUv);

  // Subset 0 is the first face, in its written winding: (1,2,3) -> (4,2,3) -> (1,5,3).
  device_.SetRecording(true);
  device_.BeginScene();
  ASSERT_EQ(mesh->DrawSubset(0), S_OK);
  ASSERT_EQ(mesh->DrawSubset(1), S_OK);
  EXPECT_EQ(mesh->DrawSubset(2), D3DERR_INVALIDCALL);
  device_.EndScene();
  ASSERT_EQ(device_.Draws().size(), 2u);
  EXPECT_TRUE(device_.Draws()[0].indexed);
  EXPECT_EQ(device_.Draws()[0].vertexCount, 3u);
  EXPECT_EQ(device_.Draws()[1].startVertex, 3u);
}

TEST_F(XFileTest, FirstFaceKeepsItsClockwiseWinding) {
  std::unique_ptr<gfx::MaterialBuffer> materials;
  std::unique_ptr<gfx::Mesh> mesh;
  DWORD count = 0;
  ASSERT_EQ(gfx::D3DXLoadMeshFromX(Write("two.x", kTwoMaterialModel), 0, &device_, &materials, &count, &mesh,
                                   nullptr),
            S_OK);
  void* data = nullptr;
  mesh->LockVertexBuffer(D3DLOCK_READONLY, &data);
  const auto* vertices = static_cast<const Vertex*>(data);
  // Vertices keep the file's order, so face 0 is vertices 0, 1, 2 in drawing order.
  EXPECT_EQ(vertices[0].x, 1.0f);
  EXPECT_EQ(vertices[1].x, 4.0f);
  EXPECT_EQ(vertices[2].y, 5.0f);
  mesh->UnlockVertexBuffer();
}

TEST_F(XFileTest, SampleModelsKeepTheirWrittenVerticesAndBounds) {
  struct Case {
    const char* name;
    DWORD vertices;
    D3DXVECTOR3 max, min;  // floored, as the model manager keeps them
  };
  const Case cases[] = {
      {"cube.x", 24, {0, 0, 0}, {-1, -1, -1}},          {"plane.x", 4, {0, 0, 0}, {-1, 0, -1}},
      {"sphere.x", 221, {10, 10, 10}, {-10, -10, -10}}, {"cone.x", 51, {5, 5, 5}, {-5, -5, -5}},
      {"ring.x", 392, {10, 0, 10}, {-10, -1, -10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<gfx::MaterialBuffer> materials;
    std::unique_ptr<gfx::Mesh> mesh;
    DWORD count = 0;
    std::string error;
    ASSERT_EQ(gfx::D3DXLoadMeshFromX(SourcePath("Data/MODEL/") + c.name, 0x110, &device_, &materials, &count,
                                     &mesh, &error),
              S_OK)
        << error;
    ASSERT_EQ(mesh->GetNumVertices(), c.vertices);
    void* data = nullptr;
    ASSERT_EQ(mesh->LockVertexBuffer(D3DLOCK_READONLY, &data), S_OK);
    const auto* vertices = static_cast<const Vertex*>(data);
    D3DXVECTOR3 max(vertices[0].x, vertices[0].y, vertices[0].z), min = max;
    for (DWORD i = 1; i < c.vertices; ++i) {
      max = {std::max(max.x, vertices[i].x), std::max(max.y, vertices[i].y), std::max(max.z, vertices[i].z)};
      min = {std::min(min.x, vertices[i].x), std::min(min.y, vertices[i].y), std::min(min.z, vertices[i].z)};
    }
    mesh->UnlockVertexBuffer();
    EXPECT_EQ(D3DXVECTOR3(std::floor(max.x), std::floor(max.y), std::floor(max.z)), c.max);
    EXPECT_EQ(D3DXVECTOR3(std::floor(min.x), std::floor(min.y), std::floor(min.z)), c.min);
  }
}

TEST_F(XFileTest, BrokenFilesFailWithAReasonAndNothingElse) {
  struct Case {
    const char* name;
    std::string text;
  };
  const Case cases[] = {
      {"empty.x", ""},
      {"garbage.x", "this is not a model"},
      {"truncated.x", std::string(kTwoMaterialModel).substr(0, 120)},
      {"no-faces.x", "xof 0303txt 0032\nMesh {\n 0;;\n 0;;\n}\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<gfx::MaterialBuffer> materials;
    std::unique_ptr<gfx::Mesh> mesh;
    DWORD count = 7;
    std::string error;
    EXPECT_EQ(gfx::D3DXLoadMeshFromX(Write(c.name, c.text), 0, &device_, &materials, &count, &mesh, &error),
              E_FAIL);
    EXPECT_EQ(mesh, nullptr);
    EXPECT_EQ(materials, nullptr);
    EXPECT_EQ(count, 0u);
    EXPECT_NE(error.find(c.name), std::string::npos) << error;
  }
  std::unique_ptr<gfx::MaterialBuffer> materials;
  std::unique_ptr<gfx::Mesh> mesh;
  DWORD count = 0;
  EXPECT_EQ(
      gfx::D3DXLoadMeshFromX((dir_ / "missing.x").string(), 0, &device_, &materials, &count, &mesh, nullptr),
      E_FAIL);
}

}  // namespace
