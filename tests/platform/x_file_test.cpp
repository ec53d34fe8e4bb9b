#include "platform/gfx/x_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/x_file_writer.h"
#include "support/source_tree.h"

namespace {

namespace fs = std::filesystem;

// A parent frame moved by (10, 20, 30) holding a child turned a quarter about y and moved by
// (1, 2, 3); the child's matrix comes after its mesh, which must not matter. A second mesh sits
// in the parent only, and a third outside every frame.
const char* kFrames = R"(xof 0303txt 0032
// comments, a template and a top-level material come first
template Vector {
 <3D82AB5E-62DA-11cf-AB39-0020AF71E433>
 FLOAT x;
 FLOAT y;
 FLOAT z;
}
# a named material that the quad refers to
Material Blue {
 0.0;0.0;1.0;0.5;;
 8.0;
 0.25;0.25;0.25;;
 0.0;0.5;0.0;;
 TextureFilename { "blue.png"; }
}
Frame Parent {
 FrameTransformMatrix {
  1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 10.0,20.0,30.0,1.0;;
 }
 Frame Child {
  Mesh Quad {
   4;
   1.0;0.0;0.0;, 0.0;1.0;0.0;, 0.0;0.0;1.0;, 1.0;1.0;0.0;;
   1;
   4;0,1,3,2;;
   MeshNormals { 1; 1.0;0.0;0.0;; 1; 4;0,0,0,0;; }
   MeshTextureCoords { 4; 0.0;0.0;, 1.0;0.0;, 0.0;1.0;, 0.25;0.75;; }
   MeshMaterialList { 1; 1; 0;; { Blue } }
   VertexDuplicationIndices { 4; 4; 0, 1, 2, 3;; }
  }
  FrameTransformMatrix {
   0.0,0.0,-1.0,0.0, 0.0,1.0,0.0,0.0, 1.0,0.0,0.0,0.0, 1.0,2.0,3.0,1.0;;
  }
 }
 Mesh InParent {
  3;
  0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;;
  1;
  3;0,1,2;;
  MeshNormals { 1; 0.0;0.0;-1.0;; 1; 3;0,0,0;; }
 }
}
Mesh AtRoot {
 3;
 -0.5;0.0;0.5;, 0.5;0.0;0.5;, 0.5;0.0;-0.5;;
 1;
 3;0,1,2;;
}
)";

std::span<const std::byte> Bytes(std::string_view s) {
  return std::as_bytes(std::span(s.data(), s.size()));
}

std::optional<gfx::XModel> Read(std::string_view s, std::string* error = nullptr) {
  return gfx::ReadXFile(Bytes(s), error);
}

std::string ErrorOf(std::string_view s) {
  std::string error;
  EXPECT_FALSE(Read(s, &error).has_value());
  return error;
}

// What every model read must hold, whatever the input: subsets that tile the triangles,
// one per material, and indices that name vertices.
void ExpectConsistent(const gfx::XModel& m) {
  ASSERT_EQ(m.subsets.size(), m.materials.size());
  ASSERT_EQ(m.indices.size() % 3, 0u);
  std::uint32_t next = 0;
  for (const gfx::XSubset& s : m.subsets) {
    EXPECT_EQ(s.faceStart, next);
    next += s.faceCount;
  }
  EXPECT_EQ(std::size_t{next} * 3, m.indices.size());
  for (const std::uint32_t i : m.indices) ASSERT_LT(i, m.vertices.size());
}

void ExpectSameModel(const gfx::XModel& a, const gfx::XModel& b) {
  ASSERT_EQ(a.vertices.size(), b.vertices.size());
  EXPECT_EQ(std::memcmp(a.vertices.data(), b.vertices.data(), a.vertices.size() * sizeof(gfx::XVertex)), 0);
  EXPECT_EQ(a.indices, b.indices);
  ASSERT_EQ(a.subsets.size(), b.subsets.size());
  for (std::size_t i = 0; i < a.subsets.size(); ++i) {
    EXPECT_EQ(a.subsets[i].faceStart, b.subsets[i].faceStart);
    EXPECT_EQ(a.subsets[i].faceCount, b.subsets[i].faceCount);
  }
  ASSERT_EQ(a.materials.size(), b.materials.size());
  for (std::size_t i = 0; i < a.materials.size(); ++i) {
    EXPECT_EQ(std::memcmp(&a.materials[i].material, &b.materials[i].material, sizeof(D3DMATERIAL9)), 0);
    EXPECT_EQ(a.materials[i].textureFile, b.materials[i].textureFile);
  }
}

struct Corner {
  float x, y, z, nx, ny, nz;
};
// The position and normal of each corner of subset `s`'s triangles, in drawing order.
std::vector<Corner> Corners(const gfx::XModel& m, std::size_t s) {
  std::vector<Corner> out;
  for (std::uint32_t t = 0; t < m.subsets[s].faceCount; ++t)
    for (int k = 0; k < 3; ++k) {
      const gfx::XVertex& v = m.vertices[m.indices[(m.subsets[s].faceStart + t) * 3 + k]];
      out.push_back({v.x, v.y, v.z, v.nx, v.ny, v.nz});
    }
  return out;
}
void ExpectCorners(const std::vector<Corner>& actual, const std::vector<Corner>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    SCOPED_TRACE("corner " + std::to_string(i));
    EXPECT_NEAR(actual[i].x, expected[i].x, 1e-5f);
    EXPECT_NEAR(actual[i].y, expected[i].y, 1e-5f);
    EXPECT_NEAR(actual[i].z, expected[i].z, 1e-5f);
    EXPECT_NEAR(actual[i].nx, expected[i].nx, 1e-5f);
    EXPECT_NEAR(actual[i].ny, expected[i].ny, 1e-5f);
    EXPECT_NEAR(actual[i].nz, expected[i].nz, 1e-5f);
  }
}

TEST(XFileReaderTest, FrameTransformsApplyChildThenParentAndTurnNormalsWithoutMoving) {
  std::string error;
  const auto model = Read(kFrames, &error);
  ASSERT_TRUE(model) << error;
  ExpectConsistent(*model);
  ASSERT_EQ(model->materials.size(), 3u);  // Blue for the quad, white for each mesh without a list

  // (x, y, z) turned to (z, y, -x), moved by (1, 2, 3), then by (10, 20, 30); the quad is fanned
  // around its first corner.
  const Corner a{11, 22, 32, 0, 0, -1}, b{11, 23, 33, 0, 0, -1}, c{12, 22, 33, 0, 0, -1},
      d{11, 23, 32, 0, 0, -1};
  ExpectCorners(Corners(*model, 0), {a, b, d, a, d, c});
  ExpectCorners(Corners(*model, 1), {{10, 20, 30, 0, 0, -1}, {11, 20, 30, 0, 0, -1}, {10, 21, 30, 0, 0, -1}});
  // Outside every frame, positions are exactly as written.
  const std::vector<Corner> root = Corners(*model, 2);
  ASSERT_EQ(root.size(), 3u);
  EXPECT_EQ(root[0].x, -0.5f);
  EXPECT_EQ(root[2].z, -0.5f);
  EXPECT_EQ(root[0].nx, 0.0f);

  // Texture coordinates travel with their positions.
  const gfx::XVertex& last = model->vertices[model->indices[2]];
  EXPECT_EQ(last.u, 0.25f);
  EXPECT_EQ(last.v, 0.75f);
}

TEST(XFileReaderTest, NormalsGoThroughTheInverseTransposeAndKeepFacingOutWhenMirrored) {
  struct Case {
    const char* name;
    const char* matrix;
    Corner normal;  // expected for the written normal (0.6, 0.8, 0)
  };
  const Case cases[] = {
      // Stretching x twice shrinks a normal's x by half: (0.3, 0.8, 0) renormalised.
      {"stretch",
       "2.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 5.0,5.0,5.0,1.0",
       {0, 0, 0, 0.3511234f, 0.9363292f, 0}},
      {"mirror",
       "-1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 0.0,0.0,0.0,1.0",
       {0, 0, 0, -0.6f, 0.8f, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = std::string("xof 0303txt 0032\nFrame F {\n FrameTransformMatrix { ") + c.matrix +
                             ";; }\n Mesh { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3;0,1,2;;\n"
                             "  MeshNormals { 1; 0.6;0.8;0.0;; 1; 3;0,0,0;; } }\n}\n";
    std::string error;
    const auto model = Read(file, &error);
    ASSERT_TRUE(model) << error;
    const gfx::XVertex& v = model->vertices[0];
    EXPECT_NEAR(v.nx, c.normal.nx, 1e-6f);
    EXPECT_NEAR(v.ny, c.normal.ny, 1e-6f);
    EXPECT_NEAR(v.nz, c.normal.nz, 1e-6f);
  }
}

TEST(XFileReaderTest, EveryEncodingOfAModelReadsTheSame) {
  const auto text = Read(kFrames);
  ASSERT_TRUE(text);
  int blocksUsingHistory = 0;
  const std::string small = xwriter::Encode(kFrames, "bzip0032", 96, &blocksUsingHistory);
  ASSERT_GT(blocksUsingHistory, 0) << "the small blocks must refer back into earlier ones";
  const std::pair<const char*, std::string> encodings[] = {
      {"bin 0032", xwriter::Encode(kFrames, "bin 0032")},
      {"bin 0064", xwriter::Encode(kFrames, "bin 0064")},
      {"tzip0032", xwriter::Encode(kFrames, "tzip0032")},
      {"bzip0064", xwriter::Encode(kFrames, "bzip0064")},
      {"bzip0032 in 96-byte blocks", small},
  };
  for (const auto& [name, bytes] : encodings) {
    SCOPED_TRACE(name);
    std::string error;
    const auto model = Read(bytes, &error);
    ASSERT_TRUE(model) << error;
    ExpectSameModel(*model, *text);
  }
}

TEST(XFileReaderTest, MaterialsOfEveryMeshFollowTheFileOrderWithOneSubsetEach) {
  const char* file = R"(xof 0302txt 0064
Material Shared { 0.0;1.0;0.0;1.0;; 2.0; 0.5;0.5;0.5;; 0.1;0.2;0.3;; TextureFileName { "shared.png"; } }
Mesh First {
 5;
 0.0;0.0;0.0;, 1.0;0.0;0.0;, 1.0;1.0;0.0;, 0.0;1.0;0.0;, 2.0;-3.0;4.0;;
 3;
 3;0,1,2;,
 4;0,1,2,3;,
 3;0,2,3;;
 MeshMaterialList {
  2; 2; 0, 1;;
  Material Red { 1.0;0.0;0.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }
  { Shared }
 }
}
Mesh Second { 3; 5.0;5.0;5.0;, 6.0;5.0;5.0;, 5.0;6.0;5.0;; 1; 3;0,1,2;; }
)";
  std::string error;
  const auto model = Read(file, &error);
  ASSERT_TRUE(model) << error;
  ExpectConsistent(*model);
  ASSERT_EQ(model->materials.size(), 3u);
  EXPECT_EQ(model->materials[0].material.Diffuse.r, 1.0f);
  EXPECT_EQ(model->materials[0].textureFile, "");
  const D3DMATERIAL9& shared = model->materials[1].material;
  EXPECT_EQ(shared.Diffuse.g, 1.0f);
  EXPECT_EQ(shared.Power, 2.0f);
  EXPECT_EQ(shared.Specular.b, 0.5f);
  EXPECT_FLOAT_EQ(shared.Emissive.g, 0.2f);
  EXPECT_EQ(model->materials[1].textureFile, "shared.png");
  EXPECT_EQ(model->materials[2].material.Diffuse.a, 1.0f);  // the default white

  // Face 0 uses Red; faces 1 and 2 use Shared (the last index given repeats); Second its own white.
  ASSERT_EQ(model->subsets.size(), 3u);
  EXPECT_EQ(model->subsets[0].faceCount, 1u);
  EXPECT_EQ(model->subsets[1].faceCount, 3u);
  EXPECT_EQ(model->subsets[2].faceCount, 1u);
  EXPECT_EQ(model->indices, (std::vector<std::uint32_t>{0, 1, 2, 0, 1, 2, 0, 2, 3, 0, 2, 3, 5, 6, 7}));
  // Unused positions stay: the bounds count them.
  ASSERT_EQ(model->vertices.size(), 8u);
  EXPECT_EQ(model->vertices[4].y, -3.0f);
}

TEST(XFileReaderTest, PolygonsAreFannedAndACornerKeepsItsOwnNormal) {
  // Positions 0 and 4 are shared by faces whose normals differ; position 5 is used by one face only.
  const char* file = R"(xof 0303txt 0032
Mesh {
 6;
 0.0;0.0;0.0;, 1.0;0.0;0.0;, 2.0;1.0;0.0;, 1.0;2.0;0.0;, 0.0;1.0;0.0;, -1.0;0.0;0.0;;
 2;
 5;0,1,2,3,4;,
 3;0,4,5;;
 MeshNormals { 2; 0.0;0.0;-1.0;, 0.0;1.0;0.0;; 2; 5;0,0,0,0,0;, 3;1,1,1;; }
}
)";
  std::string error;
  const auto model = Read(file, &error);
  ASSERT_TRUE(model) << error;
  const Corner p0{0, 0, 0, 0, 0, -1}, p1{1, 0, 0, 0, 0, -1}, p2{2, 1, 0, 0, 0, -1}, p3{1, 2, 0, 0, 0, -1},
      p4{0, 1, 0, 0, 0, -1};
  const Corner q0{0, 0, 0, 0, 1, 0}, q4{0, 1, 0, 0, 1, 0}, q5{-1, 0, 0, 0, 1, 0};
  ExpectCorners(Corners(*model, 0), {p0, p1, p2, p0, p2, p3, p0, p3, p4, q0, q4, q5});
  // One vertex per distinct (position, normal), the written positions first and in order.
  ASSERT_EQ(model->vertices.size(), 8u);
  const float writtenX[] = {0, 1, 2, 1, 0, -1};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(model->vertices[i].x, writtenX[i]);
}

std::string Binary(std::string_view tokens) {
  return "xof 0303bin 0032" + std::string(tokens);
}
std::string Le(std::initializer_list<std::uint32_t> words16) {
  std::string out;
  for (const std::uint32_t w : words16) xwriter::Put16(out, w);
  return out;
}

TEST(XFileReaderTest, BadInputIsRefusedSayingWhatAndWhere) {
  const std::string mesh = "xof 0303txt 0032\nMesh {\n 3;\n 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;;\n 1;\n";
  const std::string compressedBody = xwriter::Encode(kFrames, "tzip0032");
  std::string badCk = compressedBody, damaged = compressedBody, wrongSize = compressedBody;
  badCk[24] = 'X';
  damaged[26] = '\xff';  // a deflate block of the reserved type
  wrongSize[16] = static_cast<char>(wrongSize[16] + 1);
  std::string nan = Binary(Le({7})), listTooLong = Binary(Le({6}));
  xwriter::Put32(nan, 1);
  xwriter::Put32(nan, 0x7fc00000);
  xwriter::Put32(listTooLong, 1000000);
  std::string nested;
  for (int i = 0; i < 100000; ++i) nested += "Frame {";
  std::string unknownNested;
  for (int i = 0; i < 100000; ++i) unknownNested += "Thing {";

  const std::pair<std::string, const char*> cases[] = {
      {"", "too short"},
      {"xof 0304txt 0032", "unsupported .x version '0304'"},
      {"xof 0303txt 0016", "unsupported float size"},
      {"xof 0303abc 0032", "unknown .x format 'abc '"},
      {"xyz 0303txt 0032", "not a .x file"},
      {mesh + " 3;0,1,3;;\n}\n", "line 6: face 0 names vertex 3 of 3"},
      {mesh + " 2;0,1;;\n}\n", "line 6: face 0 has 2 corners"},
      {mesh + " 3;0,1,2;;\n MeshNormals { 1; 0.0;0.0;1.0;; 1; 3;0,1,0;; }\n}\n",
       "line 7: normal face 0 names normal 1 of 1"},
      {mesh + " 3;0,1,2;;\n MeshNormals { 1; 0.0;0.0;1.0;; 2; 3;0,0,0;, 3;0,0,0;; }\n}\n",
       "line 7: the normals have 2 faces, the mesh 1"},
      {mesh + " 3;0,1,2;;\n MeshNormals { 1; 0.0;0.0;1.0;; 1; 4;0,0,0,0;; }\n}\n",
       "normal face 0 has 4 corners, the face 3"},
      {mesh + " 3;0,1,2;;\n MeshTextureCoords { 2; 0.0;0.0;, 1.0;1.0;; }\n}\n",
       "2 texture coordinates for 3 vertices"},
      {mesh + " 3;0,1,2;;\n MeshMaterialList { 1; 1;\n 2;; Material { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; "
              "0.0;0.0;0.0;; } }\n}\n",
       "line 8: face 0 uses material 2 of 1"},
      {mesh + " 3;0,1,2;;\n MeshMaterialList { 2; 1; 0;; { Nope } }\n}\n",
       "refers to 'Nope', which is not defined"},
      {mesh + " 3;0,1,2;;\n MeshMaterialList { 2; 1; 0;; Material { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; "
              "0.0;0.0;0.0;; } }\n}\n",
       "declares 2 materials but holds 1"},
      {mesh + " 3;0,1,2;;\n MeshMaterialList { 1; 1; 0;; Material { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; "
              "0.0;0.0;0.0;;\n"
              " TextureFilename { \"never closed; } } }\n}\n",
       "line 8: a string is never closed"},
      {mesh + " 3;0,1,2;; 7;\n}\n", "line 6: the number 7 does not belong in Mesh"},
      {mesh + " 3;0,1,2;;\n", "the data ends inside Mesh"},
      {"xof 0303txt 0032\nMesh {\n 1000000;\n 0.0;0.0;0.0;;\n}\n", "line 3: 1000000 vertices claimed"},
      {"xof 0303txt 0032\nMesh {\n 1;\n 1e39;0.0;0.0;;\n}\n", "line 4: the number 1e39 is out of range"},
      {"xof 0303txt 0032\nMesh {\n 1;\n 1.2.3;0.0;0.0;;\n}\n", "line 4: '1.2.3' is not a number"},
      {"xof 0303txt 0032\nMesh {\n -1;\n}\n", "line 3: expected the vertex count, found the number -1"},
      {"xof 0303txt 0032\n" + nested, "line 2: objects are nested deeper than 64 levels"},
      {"xof 0303txt 0032\n" + unknownNested, "line 2: objects are nested deeper than 64 levels"},
      {"xof 0303txt 0032\nHeader { 1; 0; 1; }\n", "the file holds no mesh with faces"},
      {Binary(Le({99})), "byte 16: unknown token 99"},
      {Binary(Le({1})) + "\x05", "byte 16: a name is cut short"},
      {listTooLong, "byte 16: a list of 1000000 numbers runs past the end"},
      {nan, "byte 22: a number is infinite, not a number"},
      {badCk, "byte 20: compressed block 0 does not start with \"CK\""},
      {damaged, "byte 20: compressed block 0 is damaged"},
      {wrongSize, "but its header says"},
      {"xof 0303tzip0032\xff\xff\xff\x7f", "more than a model may have"},
      {xwriter::Encode("xof 0303txt 0032\nMesh {\n 3;\n 0.0;0.0;0.0;;\n}\n", "tzip0032"),
       "line 5 of the decompressed data: expected a vertex coordinate, found '}'"},
  };
  for (const auto& [input, expected] : cases) {
    SCOPED_TRACE(expected);
    const std::string error = ErrorOf(input);
    EXPECT_NE(error.find(expected), std::string::npos) << error;
  }
}

// Reads each input and holds it to the rule for any file: a consistent model, or a message.
void ExpectReadOrRefused(std::string_view input, const std::string& what) {
  std::string error;
  const auto model = Read(input, &error);
  if (model) {
    ExpectConsistent(*model);
  } else {
    EXPECT_FALSE(error.empty()) << what;
  }
}

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(XFileReaderTest, KeptCrashersAreReadOrRefusedAndSeedsRead) {
  const fs::path crashers = fs::path(SourceDir()) / "fuzz/crashers/x_model";
  int replayed = 0;
  for (const auto& entry : fs::directory_iterator(crashers)) {
    SCOPED_TRACE(entry.path().filename().string());
    ExpectReadOrRefused(Slurp(entry.path()), entry.path().string());
    ++replayed;
  }
  EXPECT_GE(replayed, 12);
  // The ones that took the old importer down by a bad index or a huge count say so.
  const std::pair<const char*, const char*> known[] = {
      {"assimp-x-normal-index-segv.x", "normal face 0 names normal 99999999 of 4"},
      {"assimp-x-position-index-one-past.x", "face 0 names vertex 4 of 4"},
      {"assimp-x-face-count-oom.x", "1073741824 faces claimed"},
  };
  for (const auto& [name, expected] : known) {
    SCOPED_TRACE(name);
    const std::string error = ErrorOf(Slurp(crashers / name));
    EXPECT_NE(error.find(expected), std::string::npos) << error;
  }

  const fs::path seeds = fs::path(SourceDir()) / "fuzz/corpus/x_model";
  int read = 0;
  for (const auto& entry : fs::directory_iterator(seeds)) {
    std::string error;
    const auto model = Read(Slurp(entry.path()), &error);
    EXPECT_TRUE(model) << entry.path() << ": " << error;
    read += model.has_value();
  }
  EXPECT_GE(read, 8);
}

TEST(XFileReaderTest, TruncatedAndFlippedModelsAreReadOrRefusedNeverCrash) {
  const std::string inputs[] = {kFrames, xwriter::Encode(kFrames, "bin 0032"),
                                xwriter::Encode(kFrames, "bzip0032", 128)};
  std::mt19937 random(20261207);
  for (const std::string& input : inputs) {
    for (std::size_t size = 0; size < input.size(); ++size)
      ExpectReadOrRefused(std::string_view(input).substr(0, size), "a prefix of " + std::to_string(size));
    for (int i = 0; i < 1500; ++i) {
      std::string flipped = input;
      const int flips = 1 + static_cast<int>(random() % 4);
      for (int f = 0; f < flips; ++f) {
        const std::size_t at = 16 + random() % (flipped.size() - 16);
        flipped[at] = static_cast<char>(flipped[at] ^ (1 + random() % 255));
      }
      ExpectReadOrRefused(flipped, "flip case " + std::to_string(i));
    }
  }
}

}  // namespace
