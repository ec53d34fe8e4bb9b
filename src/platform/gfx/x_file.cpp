#include "platform/gfx/x_file.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "platform/gfx/mszip_inflater.h"
#include "platform/gfx/x_format.h"
#include "platform/gfx/x_lexer.h"

namespace gfx {
namespace xfile {
namespace {

constexpr int kMaxDepth = 64;  // of nested objects

// ---- the object reader ------------------------------------------------------------------------

using Matrix = std::array<double, 16>;  // row-major, row vectors: world = local x parent
constexpr Matrix kIdentity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
using Float3 = std::array<float, 3>;
using Float2 = std::array<float, 2>;

Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix c{};
  for (int r = 0; r < 4; ++r)
    for (int k = 0; k < 4; ++k)
      for (int j = 0; j < 4; ++j) c[r * 4 + k] += a[r * 4 + j] * b[j * 4 + k];
  return c;
}

struct FrameData {
  int parent;  // -1 at the root
  Matrix local = kIdentity;
};

// A mesh as written; faces are flattened, faceSizes[f] corners each.
struct MeshData {
  int frame = -1;
  std::vector<Float3> positions;
  std::vector<std::uint32_t> faceSizes;
  std::vector<std::uint32_t> faceIndices;
  bool hasNormals = false;
  std::vector<Float3> normals;
  std::vector<std::uint32_t> normalIndices;  // parallel to faceIndices
  std::vector<Float2> uvs;
  std::vector<std::uint32_t> faceMaterials;  // may be shorter than the faces: the last one repeats
  std::vector<XMaterial> materials;
};

XMaterial DefaultMaterial() {
  return {D3DMATERIAL9{{1, 1, 1, 1}, {}, {}, {}, 0}, {}};
}

class Parser {
 public:
  explicit Parser(Lexer& lexer) : lexer_(lexer) {}

  void ReadAll() {
    for (;;) {
      const Token t = Take();
      switch (t.kind) {
        case Tok::End:
          return;
        case Tok::Separator:
          break;
        case Tok::Template:
          SkipTemplate();
          break;
        case Tok::Name:
          if (t.text == "template")
            SkipTemplate();
          else
            Object(t.text, -1, 1);
          break;
        default:
          Error(Describe(t) + " stands outside any object");
      }
    }
  }

  XModel Build() const;

 private:
  [[noreturn]] void Error(const std::string& what) const { Fail(lexer_.Where(), what); }

  Token Take() {
    if (pending_) {
      const Token t = *pending_;
      pending_.reset();
      return t;
    }
    return lexer_.Next();
  }
  Token TakeValue() {
    Token t = Take();
    while (t.kind == Tok::Separator) t = Take();
    return t;
  }

  std::uint32_t Count(const std::string& what) {
    const Token t = TakeValue();
    if (t.kind != Tok::Integer || t.integer < 0 || t.integer > std::numeric_limits<std::uint32_t>::max())
      Error("expected " + what + ", found " + Describe(t));
    return static_cast<std::uint32_t>(t.integer);
  }
  float Number(const char* what) {
    const Token t = TakeValue();
    if (t.kind != Tok::Integer && t.kind != Tok::Float)
      Error(std::string("expected ") + what + ", found " + Describe(t));
    return static_cast<float>(t.real);
  }
  // Refuses a count before anything is sized from it.
  void Room(std::uint64_t count, std::uint64_t numbersEach, const char* what) const {
    if (count > lexer_.NumbersLeft() / numbersEach)
      Error(std::to_string(count) + " " + what + " claimed, more than the rest of the data holds");
  }

  // After an object's type: [name] [GUID] '{' [GUID].
  std::string_view Open(std::string_view type, int depth) {
    std::string_view name;
    Token t = Take();
    if (t.kind == Tok::Name) {
      name = t.text;
      t = Take();
    }
    if (t.kind == Tok::Guid) t = Take();
    if (t.kind != Tok::OBrace) Error("expected '{' after '" + Printable(type) + "', found " + Describe(t));
    if (depth > kMaxDepth) Error("objects are nested deeper than " + std::to_string(kMaxDepth) + " levels");
    const Token next = Take();
    if (next.kind != Tok::Guid) pending_ = next;
    return name;
  }

  // The rest of an object whose '{' has been read, whatever it holds.
  void Skip(int depth) {
    for (int level = 1; level > 0;) {
      const Token t = Take();
      if (t.kind == Tok::End) Error("the data ends inside an object");
      if (t.kind == Tok::OBrace && depth + level++ > kMaxDepth)
        Error("objects are nested deeper than " + std::to_string(kMaxDepth) + " levels");
      if (t.kind == Tok::CBrace) --level;
    }
  }
  void SkipObject(std::string_view type, int depth) {
    Open(type, depth);
    Skip(depth);
  }
  void SkipTemplate() {
    const Token name = Take();
    if (name.kind != Tok::Name) Error("expected a template name, found " + Describe(name));
    const Token brace = Take();
    if (brace.kind != Tok::OBrace) Error("expected '{' after template '" + Printable(name.text) + "'");
    Skip(1);
  }

  // A reference `{ name }` whose '{' has been read; the name is empty for a GUID-only one.
  std::string_view Reference() {
    std::string_view name;
    for (;;) {
      const Token t = Take();
      if (t.kind == Tok::CBrace) return name;
      if (t.kind == Tok::Name && name.empty()) {
        name = t.text;
      } else if (t.kind != Tok::Guid && t.kind != Tok::Separator) {
        Error(Describe(t) + " does not belong in a reference");
      }
    }
  }

  // An object's children up to its closing brace: each nested object goes to `child`, which
  // reads it whole; references go to `reference`. Data beyond what the object holds is an error.
  void Children(const char* owner, const std::function<void(std::string_view)>& child,
                const std::function<void(std::string_view)>& reference = {}) {
    for (;;) {
      const Token t = Take();
      switch (t.kind) {
        case Tok::CBrace:
          return;
        case Tok::Separator:
          break;
        case Tok::Name:
          child(t.text);
          break;
        case Tok::OBrace: {
          const std::string_view name = Reference();
          if (reference) reference(name);
          break;
        }
        case Tok::End:
          Error(std::string("the data ends inside ") + owner);
        default:
          Error(Describe(t) + " does not belong in " + owner);
      }
    }
  }
  auto Skipper(int depth) {
    return [this, depth](std::string_view type) { SkipObject(type, depth); };
  }

  // An object at the top level or in a frame.
  void Object(std::string_view type, int frame, int depth) {
    if (type == "Frame") {
      Open(type, depth);
      frames_.push_back({frame});
      const int self = static_cast<int>(frames_.size()) - 1;
      Children("Frame", [&](std::string_view child) {
        if (child == "FrameTransformMatrix") {
          Open(child, depth + 1);
          for (double& value : frames_[self].local) value = Number("a matrix element");
          Children("FrameTransformMatrix", Skipper(depth + 2));
        } else {
          Object(child, self, depth + 1);
        }
      });
    } else if (type == "Mesh") {
      Open(type, depth);
      MeshBody(frame, depth);
    } else if (type == "Material") {
      const std::string_view name = Open(type, depth);
      XMaterial material = MaterialBody(depth);
      if (!name.empty()) namedMaterials_[std::string(name)] = std::move(material);
    } else {
      SkipObject(type, depth);
    }
  }

  void MeshBody(int frame, int depth) {
    MeshData mesh;
    mesh.frame = frame;
    const std::uint32_t vertexCount = Count("the vertex count");
    Room(vertexCount, 3, "vertices");
    mesh.positions.resize(vertexCount);
    for (Float3& p : mesh.positions)
      for (float& c : p) c = Number("a vertex coordinate");
    const std::uint32_t faceCount = Count("the face count");
    Room(faceCount, 4, "faces");
    mesh.faceSizes.reserve(faceCount);
    mesh.faceIndices.reserve(std::size_t{faceCount} * 3);
    for (std::uint32_t f = 0; f < faceCount; ++f) {
      const std::uint32_t corners = Count("the corner count of face " + std::to_string(f));
      if (corners < 3) Error("face " + std::to_string(f) + " has " + std::to_string(corners) + " corners");
      mesh.faceSizes.push_back(corners);
      for (std::uint32_t k = 0; k < corners; ++k) {
        const std::uint32_t v = Count("a vertex index");
        if (v >= vertexCount)
          Error("face " + std::to_string(f) + " names vertex " + std::to_string(v) + " of " +
                std::to_string(vertexCount));
        mesh.faceIndices.push_back(v);
      }
    }
    Children("Mesh", [&](std::string_view child) {
      if (child == "MeshNormals")
        Normals(&mesh, depth + 1);
      else if (child == "MeshTextureCoords")
        TextureCoords(&mesh, depth + 1);
      else if (child == "MeshMaterialList")
        MaterialList(&mesh, depth + 1);
      else
        SkipObject(child, depth + 1);
    });
    meshes_.push_back(std::move(mesh));
  }

  // Normals have faces of their own, matched to the mesh's face by face and corner by corner.
  void Normals(MeshData* mesh, int depth) {
    Open("MeshNormals", depth);
    const std::uint32_t normalCount = Count("the normal count");
    Room(normalCount, 3, "normals");
    mesh->normals.assign(normalCount, {});
    for (Float3& n : mesh->normals)
      for (float& c : n) c = Number("a normal coordinate");
    const std::size_t faceCount = mesh->faceSizes.size();
    const std::uint32_t normalFaces = Count("the normal face count");
    if (normalFaces != faceCount)
      Error("the normals have " + std::to_string(normalFaces) + " faces, the mesh " +
            std::to_string(faceCount));
    mesh->normalIndices.clear();
    mesh->normalIndices.reserve(mesh->faceIndices.size());
    for (std::size_t f = 0; f < faceCount; ++f) {
      const std::uint32_t corners = Count("the corner count of normal face " + std::to_string(f));
      if (corners != mesh->faceSizes[f])
        Error("normal face " + std::to_string(f) + " has " + std::to_string(corners) + " corners, the face " +
              std::to_string(mesh->faceSizes[f]));
      for (std::uint32_t k = 0; k < corners; ++k) {
        const std::uint32_t n = Count("a normal index");
        if (n >= normalCount)
          Error("normal face " + std::to_string(f) + " names normal " + std::to_string(n) + " of " +
                std::to_string(normalCount));
        mesh->normalIndices.push_back(n);
      }
    }
    mesh->hasNormals = true;
    Children("MeshNormals", Skipper(depth + 1));
  }

  void TextureCoords(MeshData* mesh, int depth) {
    Open("MeshTextureCoords", depth);
    const std::uint32_t count = Count("the texture coordinate count");
    if (count != mesh->positions.size())
      Error(std::to_string(count) + " texture coordinates for " + std::to_string(mesh->positions.size()) +
            " vertices");
    mesh->uvs.assign(count, {});
    for (Float2& uv : mesh->uvs)
      for (float& c : uv) c = Number("a texture coordinate");
    Children("MeshTextureCoords", Skipper(depth + 1));
  }

  void MaterialList(MeshData* mesh, int depth) {
    Open("MeshMaterialList", depth);
    const std::uint32_t materialCount = Count("the material count");
    const std::uint32_t indexCount = Count("the count of face materials");
    const std::size_t faceCount = mesh->faceSizes.size();
    if (indexCount > faceCount)
      Error(std::to_string(indexCount) + " face materials for " + std::to_string(faceCount) + " faces");
    mesh->faceMaterials.clear();
    mesh->faceMaterials.reserve(indexCount);
    for (std::uint32_t f = 0; f < indexCount; ++f) {
      const std::uint32_t m = Count("a material index");
      if (m >= materialCount)
        Error("face " + std::to_string(f) + " uses material " + std::to_string(m) + " of " +
              std::to_string(materialCount));
      mesh->faceMaterials.push_back(m);
    }
    mesh->materials.clear();
    Children(
        "MeshMaterialList",
        [&](std::string_view child) {
          if (child == "Material") {
            const std::string_view name = Open(child, depth + 1);
            mesh->materials.push_back(MaterialBody(depth + 1));
            if (!name.empty()) namedMaterials_[std::string(name)] = mesh->materials.back();
          } else {
            SkipObject(child, depth + 1);
          }
        },
        [&](std::string_view name) {
          if (name.empty()) Error("a material is referred to by GUID only; only names are understood");
          const auto found = namedMaterials_.find(name);
          if (found == namedMaterials_.end())
            Error("the material list refers to '" + Printable(name) + "', which is not defined before it");
          mesh->materials.push_back(found->second);
        });
    if (mesh->materials.size() != materialCount)
      Error("the material list declares " + std::to_string(materialCount) + " materials but holds " +
            std::to_string(mesh->materials.size()));
  }

  XMaterial MaterialBody(int depth) {
    XMaterial out{};
    D3DMATERIAL9& m = out.material;
    for (float* c : {&m.Diffuse.r, &m.Diffuse.g, &m.Diffuse.b, &m.Diffuse.a}) *c = Number("a face colour");
    m.Power = Number("the specular power");
    for (float* c : {&m.Specular.r, &m.Specular.g, &m.Specular.b}) *c = Number("a specular colour");
    for (float* c : {&m.Emissive.r, &m.Emissive.g, &m.Emissive.b}) *c = Number("an emissive colour");
    m.Specular.a = 1;
    m.Emissive.a = 1;
    Children("Material", [&](std::string_view child) {
      if (child != "TextureFilename" && child != "TextureFileName") return SkipObject(child, depth + 1);
      Open(child, depth + 1);
      const Token file = TakeValue();
      if (file.kind != Tok::String) Error("expected the texture file name, found " + Describe(file));
      out.textureFile = std::string(file.text);
      Children("TextureFilename", Skipper(depth + 2));
    });
    return out;
  }

  Lexer& lexer_;
  std::optional<Token> pending_;
  std::vector<FrameData> frames_;
  std::vector<MeshData> meshes_;
  std::map<std::string, XMaterial, std::less<>> namedMaterials_;
};

// ---- merging ----------------------------------------------------------------------------------

// Places a mesh's vertices in the root's coordinates.
class Placement {
 public:
  explicit Placement(const Matrix& world) : m_(world), identity_(world == kIdentity) {
    // Normals go through the inverse transpose of the upper 3x3: its cofactors, up to the
    // determinant, whose sign keeps them facing out when the frame mirrors.
    const auto row = [&](int r) { return std::array<double, 3>{m_[r * 4], m_[r * 4 + 1], m_[r * 4 + 2]}; };
    const auto cross = [](const std::array<double, 3>& a, const std::array<double, 3>& b) {
      return std::array<double, 3>{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                                   a[0] * b[1] - a[1] * b[0]};
    };
    cofactors_ = {cross(row(1), row(2)), cross(row(2), row(0)), cross(row(0), row(1))};
    const auto r0 = row(0);
    const double det = r0[0] * cofactors_[0][0] + r0[1] * cofactors_[0][1] + r0[2] * cofactors_[0][2];
    if (det < 0)
      for (auto& c : cofactors_)
        for (double& v : c) v = -v;
  }

  // Identity chains keep positions exactly as written: the bounds depend on them.
  Float3 Position(const Float3& p) const {
    if (identity_) return p;
    Float3 out;
    for (int c = 0; c < 3; ++c) {
      const double v = p[0] * m_[c] + p[1] * m_[4 + c] + p[2] * m_[8 + c] + m_[12 + c];
      if (!FitsFloat(v)) Fail("", "a frame transform moves a vertex beyond the range of a float");
      out[c] = static_cast<float>(v);
    }
    return out;
  }

  Float3 Normal(const Float3& n) const {
    if (identity_) return n;
    std::array<double, 3> v{};
    for (int c = 0; c < 3; ++c)
      v[c] = n[0] * cofactors_[0][c] + n[1] * cofactors_[1][c] + n[2] * cofactors_[2][c];
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(length > 0) || !std::isfinite(length)) return {0, 0, 0};
    return {static_cast<float>(v[0] / length), static_cast<float>(v[1] / length),
            static_cast<float>(v[2] / length)};
  }

 private:
  Matrix m_;
  bool identity_;
  std::array<std::array<double, 3>, 3> cofactors_;
};

XModel Parser::Build() const {
  std::vector<Matrix> world(frames_.size());
  for (std::size_t i = 0; i < frames_.size(); ++i) {
    const int parent = frames_[i].parent;  // always an earlier frame
    world[i] = parent < 0 ? frames_[i].local : Multiply(frames_[i].local, world[parent]);
  }
  const std::string tooLarge = "the model has more than " + std::to_string(kMaxXModelElements) + " ";

  XModel model;
  struct Triangle {
    std::uint32_t material;
    std::array<std::uint32_t, 3> corners;
  };
  std::vector<Triangle> triangles;
  for (const MeshData& mesh : meshes_) {
    const Placement place(mesh.frame < 0 ? kIdentity : world[mesh.frame]);
    const auto base = static_cast<std::uint32_t>(model.vertices.size());
    const std::size_t count = mesh.positions.size();
    if (count > kMaxXModelElements - model.vertices.size()) Fail("", tooLarge + "vertices");

    // Every position as written, in order, then a copy for each corner whose normal differs
    // from the one its position already carries.
    model.vertices.resize(base + count);
    for (std::size_t i = 0; i < count; ++i) {
      const Float3 p = place.Position(mesh.positions[i]);
      const Float2 uv = mesh.uvs.empty() ? Float2{0, 0} : mesh.uvs[i];
      model.vertices[base + i] = {p[0], p[1], p[2], 0, 0, 0, uv[0], uv[1]};
    }
    constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> normalOf(mesh.hasNormals ? count : 0, kNone);
    std::unordered_map<std::uint64_t, std::uint32_t> copies;
    std::vector<std::uint32_t> corners(mesh.faceIndices.size());
    for (std::size_t c = 0; c < corners.size(); ++c) {
      const std::uint32_t p = mesh.faceIndices[c];
      corners[c] = base + p;
      if (!mesh.hasNormals) continue;
      const std::uint32_t n = mesh.normalIndices[c];
      if (normalOf[p] == kNone) normalOf[p] = n;
      if (normalOf[p] == n) continue;
      const auto [copy, added] = copies.try_emplace(std::uint64_t{p} << 32 | n, 0);
      if (added) {
        if (model.vertices.size() >= kMaxXModelElements) Fail("", tooLarge + "vertices");
        copy->second = static_cast<std::uint32_t>(model.vertices.size());
        XVertex v = model.vertices[base + p];
        const Float3 normal = place.Normal(mesh.normals[n]);
        v.nx = normal[0], v.ny = normal[1], v.nz = normal[2];
        model.vertices.push_back(v);
      }
      corners[c] = copy->second;
    }
    for (std::size_t i = 0; i < normalOf.size(); ++i) {
      if (normalOf[i] == kNone) continue;
      const Float3 normal = place.Normal(mesh.normals[normalOf[i]]);
      XVertex& v = model.vertices[base + i];
      v.nx = normal[0], v.ny = normal[1], v.nz = normal[2];
    }

    // Materials of every mesh are appended in file order; faces are fans around their first corner.
    const auto materialBase = static_cast<std::uint32_t>(model.materials.size());
    if (mesh.materials.empty())
      model.materials.push_back(DefaultMaterial());
    else
      model.materials.insert(model.materials.end(), mesh.materials.begin(), mesh.materials.end());
    std::size_t start = 0;
    for (std::size_t f = 0; f < mesh.faceSizes.size(); ++f) {
      const std::uint32_t local = mesh.faceMaterials.empty() || mesh.materials.empty()
                                      ? 0
                                      : mesh.faceMaterials[std::min(f, mesh.faceMaterials.size() - 1)];
      const std::uint32_t size = mesh.faceSizes[f];
      if (size - 2 > kMaxXModelElements - triangles.size()) Fail("", tooLarge + "triangles");
      for (std::uint32_t k = 1; k + 1 < size; ++k)
        triangles.push_back(
            {materialBase + local, {corners[start], corners[start + k], corners[start + k + 1]}});
      start += size;
    }
  }
  if (triangles.empty()) Fail("", "the file holds no mesh with faces");

  // One subset per material, its triangles in file order.
  model.subsets.assign(model.materials.size(), XSubset{0, 0});
  for (const Triangle& t : triangles) ++model.subsets[t.material].faceCount;
  std::uint32_t next = 0;
  for (XSubset& s : model.subsets) {
    s.faceStart = next;
    next += s.faceCount;
  }
  model.indices.resize(triangles.size() * 3);
  std::vector<std::uint32_t> fill(model.subsets.size());
  for (std::size_t i = 0; i < fill.size(); ++i) fill[i] = model.subsets[i].faceStart;
  for (const Triangle& t : triangles) {
    const std::uint32_t at = fill[t.material]++;
    std::copy(t.corners.begin(), t.corners.end(), model.indices.begin() + std::size_t{at} * 3);
  }
  return model;
}

// ---- the header and the encodings -------------------------------------------------------------

XModel Read(std::span<const std::byte> bytes) {
  if (bytes.size() < kHeaderBytes) Fail("", "too short for a .x file header");
  const std::string_view header(reinterpret_cast<const char*>(bytes.data()), kHeaderBytes);
  if (header.substr(0, 4) != "xof ") Fail("", "not a .x file: it does not start with \"xof \"");
  const std::string_view version = header.substr(4, 4);
  const std::string_view format = header.substr(8, 4);
  const std::string_view floatSize = header.substr(12, 4);
  if (version != "0302" && version != "0303") Fail("", "unsupported .x version '" + Printable(version) + "'");
  if (floatSize != "0032" && floatSize != "0064")
    Fail("", "unsupported float size '" + Printable(floatSize) + "' (0032 or 0064)");
  const std::size_t floatBytes = floatSize == "0032" ? 4 : 8;
  const auto body = bytes.subspan(kHeaderBytes);

  const auto parse = [](std::unique_ptr<Lexer> lexer) {
    Parser parser(*lexer);
    parser.ReadAll();
    return parser.Build();
  };
  if (format == "txt ") return parse(MakeTextLexer(body, ""));
  if (format == "bin ") return parse(MakeBinaryLexer(body, floatBytes, kHeaderBytes, ""));
  if (format == "tzip" || format == "bzip") {
    const std::vector<std::byte> data = InflateMsZip(body);
    if (format == "tzip") return parse(MakeTextLexer(data, " of the decompressed data"));
    return parse(MakeBinaryLexer(data, floatBytes, 0, " of the decompressed data"));
  }
  Fail("", "unknown .x format '" + Printable(format) + "' (txt, bin, tzip or bzip)");
}

}  // namespace
}  // namespace xfile

std::optional<XModel> ReadXFile(std::span<const std::byte> bytes, std::string* error) {
  std::string why;
  try {
    return xfile::Read(bytes);
  } catch (const xfile::ParseError& e) {
    why = e.what();
  } catch (const std::bad_alloc&) {
    why = "the model does not fit in memory";
  }
  if (error) *error = why;
  return std::nullopt;
}

}  // namespace gfx
