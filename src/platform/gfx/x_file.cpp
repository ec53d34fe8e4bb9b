#include "platform/gfx/x_file.h"

#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <stdexcept>
#include <string_view>
#include <unordered_map>

namespace gfx {
namespace {

constexpr int kMaxDepth = 64;
constexpr std::size_t kHeaderBytes = 16;
constexpr std::size_t kMaxBlockBytes = 32768;  // MSZIP's block and history size

// Thrown inside the reader only; ReadXFile turns it into the message.
struct ParseError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw ParseError(where.empty() ? what : where + ": " + what);
}

// File text quoted in a message: short, and plain ASCII whatever the file holds.
std::string Printable(std::string_view text) {
  constexpr std::size_t kMax = 40;
  std::string out;
  for (const char c : text.substr(0, kMax)) out += (c >= 0x20 && c < 0x7f) ? c : '?';
  if (text.size() > kMax) out += "...";
  return out;
}

std::uint32_t Dword(std::span<const std::byte> bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | std::to_integer<std::uint32_t>(bytes[at + i]);
  return value;
}
std::uint16_t Word(std::span<const std::byte> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(std::to_integer<unsigned>(bytes[at]) |
                                    std::to_integer<unsigned>(bytes[at + 1]) << 8);
}

// Values beyond a float's range would make the narrowing undefined; NaN has no place in a model.
bool FitsFloat(double value) {
  return std::isfinite(value) && std::fabs(value) <= FLT_MAX;
}

// ---- tokens ---------------------------------------------------------------------------------

enum class Tok { End, Name, String, Integer, Float, Guid, OBrace, CBrace, Separator, Template, Other };

struct Token {
  Tok kind = Tok::End;
  std::string_view text;  // a name, a string's contents, or how the token is spelled
  std::int64_t integer = 0;
  double real = 0;
};

std::string Describe(const Token& t) {
  switch (t.kind) {
    case Tok::End:
      return "the end of the data";
    case Tok::Name:
      return "'" + Printable(t.text) + "'";
    case Tok::String:
      return "the string \"" + Printable(t.text) + "\"";
    case Tok::Integer:
      return "the number " + std::to_string(t.integer);
    case Tok::Float: {
      if (!t.text.empty()) return "the number " + Printable(t.text);
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%g", t.real);
      return std::string("the number ") + buffer;
    }
    case Tok::Guid:
      return "a GUID";
    case Tok::Template:
      return "'template'";
    default:
      return "'" + Printable(t.text) + "'";
  }
}

// Text and binary data read as one stream of tokens; numbers come one at a time.
class Lexer {
 public:
  virtual ~Lexer() = default;
  virtual Token Next() = 0;
  // Where the last token starts.
  virtual std::string Where() const = 0;
  // At least as many numbers as the rest of the data can hold, to check a count before allocating.
  virtual std::uint64_t NumbersLeft() const = 0;
};

class TextLexer final : public Lexer {
 public:
  TextLexer(std::span<const std::byte> bytes, std::string suffix)
      : text_(reinterpret_cast<const char*>(bytes.data()), bytes.size()), suffix_(std::move(suffix)) {}

  Token Next() override {
    SkipSpaceAndComments();
    tokenLine_ = line_;
    if (pos_ == text_.size()) return {};
    const char c = text_[pos_];
    switch (c) {
      case '{':
        return Single(Tok::OBrace);
      case '}':
        return Single(Tok::CBrace);
      case ',':
      case ';':
        return Single(Tok::Separator);
      case '[':
      case ']':
      case '(':
      case ')':
        return Single(Tok::Other);
      case '<':
        return Enclosed(Tok::Guid, '>', "a GUID");
      case '"':
        return Enclosed(Tok::String, '"', "a string");
      default:
        break;
    }
    if (!IsWordChar(c)) {
      char what[48];
      std::snprintf(what, sizeof what, "unexpected byte 0x%02X", static_cast<unsigned char>(c));
      Fail(Where(), what);
    }
    const std::size_t start = pos_;
    while (pos_ < text_.size() && IsWordChar(text_[pos_])) ++pos_;
    return Classify(text_.substr(start, pos_ - start));
  }

  std::string Where() const override { return "line " + std::to_string(tokenLine_) + suffix_; }
  // Two numbers need at least one byte between them.
  std::uint64_t NumbersLeft() const override { return (text_.size() - pos_ + 1) / 2; }

 private:
  static bool IsWordChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || c == '-' || c == '+' || c == '.' || u >= 0x80;
  }

  void SkipSpaceAndComments() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
        ++pos_;
      } else if (c == '#' || (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '/')) {
        while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
      } else {
        return;
      }
    }
  }

  Token Single(Tok kind) {
    Token t{kind, text_.substr(pos_, 1)};
    ++pos_;
    return t;
  }

  Token Enclosed(Tok kind, char close, const char* what) {
    const std::size_t end = text_.find(close, pos_ + 1);
    if (end == std::string_view::npos) Fail(Where(), std::string(what) + " is never closed");
    Token t{kind, text_.substr(pos_ + 1, end - pos_ - 1)};
    for (const char c : t.text) line_ += c == '\n';
    pos_ = end + 1;
    return t;
  }

  Token Classify(std::string_view word) {
    const auto first = static_cast<unsigned char>(word[0]);
    if (std::isalpha(first) || first == '_' || first >= 0x80) return {Tok::Name, word};
    std::string_view digits = word;
    if (digits[0] == '+') digits.remove_prefix(1);
    const char* end = digits.data() + digits.size();
    Token t{Tok::Integer, word};
    const auto integral = std::from_chars(digits.data(), end, t.integer);
    if (integral.ec == std::errc() && integral.ptr == end) {
      t.real = static_cast<double>(t.integer);
      return t;
    }
    const auto real = std::from_chars(digits.data(), end, t.real);
    if (real.ec == std::errc::result_out_of_range || (real.ec == std::errc() && !FitsFloat(t.real)))
      Fail(Where(), "the number " + Printable(word) + " is out of range");
    if (real.ec != std::errc() || real.ptr != end) Fail(Where(), "'" + Printable(word) + "' is not a number");
    t.kind = Tok::Float;
    return t;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  int line_ = 1;
  int tokenLine_ = 1;
  std::string suffix_;
};

// The binary encoding: 16-bit token codes, with counted names, strings and number lists.
class BinaryLexer final : public Lexer {
 public:
  BinaryLexer(std::span<const std::byte> bytes, std::size_t floatBytes, std::size_t offset,
              std::string suffix)
      : bytes_(bytes), floatBytes_(floatBytes), offset_(offset), suffix_(std::move(suffix)) {}

  Token Next() override {
    for (;;) {
      tokenPos_ = pos_;
      if (listLeft_ > 0) return ListElement();
      if (pos_ == bytes_.size()) return {};
      Need(2, "a token");
      const std::uint16_t code = Word(bytes_, pos_);
      pos_ += 2;
      switch (code) {
        case 1:
          return {Tok::Name, Counted("a name")};
        case 2: {
          Token t{Tok::String, Counted("a string")};
          Need(4, "the end of a string");
          const std::uint32_t terminator = Dword(bytes_, pos_);
          pos_ += 4;
          if (terminator != kComma && terminator != kSemicolon)
            Fail(Where(), "a string ends in token " + std::to_string(terminator) + " instead of ';' or ','");
          return t;
        }
        case 3: {
          Need(4, "an integer");
          Token t{Tok::Integer, {}};
          t.integer = Dword(bytes_, pos_);
          t.real = static_cast<double>(t.integer);
          pos_ += 4;
          return t;
        }
        case 5:
          Need(16, "a GUID");
          pos_ += 16;
          return {Tok::Guid, {}};
        case 6:
        case 7: {
          Need(4, "a list length");
          const std::uint32_t count = Dword(bytes_, pos_);
          pos_ += 4;
          const std::size_t each = code == 6 ? 4 : floatBytes_;
          if (count > (bytes_.size() - pos_) / each)
            Fail(Where(), "a list of " + std::to_string(count) + " numbers runs past the end of the data");
          floats_ = code == 7;
          listLeft_ = count;
          continue;  // an empty list yields nothing
        }
        case 10:
          return {Tok::OBrace, "{"};
        case 11:
          return {Tok::CBrace, "}"};
        case kComma:
          return {Tok::Separator, ","};
        case kSemicolon:
          return {Tok::Separator, ";"};
        case 31:
          return {Tok::Template, "template"};
        default:
          if ((code >= 12 && code <= 18) || (code >= 40 && code <= 52)) return {Tok::Other, kSpelling[code]};
          Fail(Where(), "unknown token " + std::to_string(code));
      }
    }
  }

  std::string Where() const override { return "byte " + std::to_string(offset_ + tokenPos_) + suffix_; }
  std::uint64_t NumbersLeft() const override { return listLeft_ + (bytes_.size() - pos_) / 4; }

 private:
  static constexpr std::uint32_t kComma = 19;
  static constexpr std::uint32_t kSemicolon = 20;
  static constexpr std::array<const char*, 53> kSpelling = [] {
    std::array<const char*, 53> s{};
    const char* punctuation[] = {"(", ")", "[", "]", "<", ">", "."};
    for (int i = 0; i < 7; ++i) s[12 + i] = punctuation[i];
    const char* types[] = {"WORD",   "DWORD", "FLOAT",  "DOUBLE",  "CHAR",    "UCHAR", "SWORD",
                           "SDWORD", "void",  "string", "unicode", "cstring", "array"};
    for (int i = 0; i < 13; ++i) s[40 + i] = types[i];
    return s;
  }();

  void Need(std::size_t count, const char* what) const {
    if (bytes_.size() - pos_ < count)
      Fail(Where(), std::string(what) + " is cut short by the end of the data");
  }

  std::string_view Counted(const char* what) {
    Need(4, what);
    const std::uint32_t length = Dword(bytes_, pos_);
    pos_ += 4;
    Need(length, what);
    const std::string_view text(reinterpret_cast<const char*>(bytes_.data()) + pos_, length);
    pos_ += length;
    return text;
  }

  Token ListElement() {
    --listLeft_;
    Token t;
    if (!floats_) {
      t.kind = Tok::Integer;
      t.integer = Dword(bytes_, pos_);
      t.real = static_cast<double>(t.integer);
      pos_ += 4;
      return t;
    }
    t.kind = Tok::Float;
    if (floatBytes_ == 4) {
      const std::uint32_t bits = Dword(bytes_, pos_);
      float value;
      std::memcpy(&value, &bits, sizeof value);
      t.real = value;
    } else {
      const std::uint64_t bits = Dword(bytes_, pos_) | std::uint64_t{Dword(bytes_, pos_ + 4)} << 32;
      std::memcpy(&t.real, &bits, sizeof t.real);
    }
    pos_ += floatBytes_;
    if (!FitsFloat(t.real)) Fail(Where(), "a number is infinite, not a number or out of a float's range");
    return t;
  }

  std::span<const std::byte> bytes_;
  std::size_t floatBytes_;
  std::size_t offset_;
  std::string suffix_;
  std::size_t pos_ = 0;
  std::size_t tokenPos_ = 0;
  std::uint32_t listLeft_ = 0;
  bool floats_ = false;
};

// ---- MSZIP decompression --------------------------------------------------------------------

class Inflater {
 public:
  Inflater() {
    if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK) throw ParseError("zlib could not start");
  }
  ~Inflater() { inflateEnd(&stream_); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  // Appends one block of `size` bytes to `out`; the block may refer back into what `out` already holds.
  bool Block(std::span<const std::byte> packed, std::size_t size, std::vector<std::byte>* out) {
    if (inflateReset(&stream_) != Z_OK) return false;
    const std::size_t history = std::min(out->size(), kMaxBlockBytes);
    if (history > 0 &&
        inflateSetDictionary(&stream_, reinterpret_cast<const Bytef*>(out->data() + out->size() - history),
                             static_cast<uInt>(history)) != Z_OK)
      return false;
    const std::size_t start = out->size();
    out->resize(start + size);
    stream_.next_in = reinterpret_cast<const Bytef*>(packed.data());
    stream_.avail_in = static_cast<uInt>(packed.size());
    stream_.next_out = reinterpret_cast<Bytef*>(out->data() + start);
    stream_.avail_out = static_cast<uInt>(size);
    const int result = inflate(&stream_, Z_FINISH);
    const bool ended =
        result == Z_STREAM_END || ((result == Z_OK || result == Z_BUF_ERROR) && stream_.avail_in == 0);
    return ended && stream_.avail_out == 0;
  }

 private:
  z_stream stream_{};
};

// After the header: the unpacked size, then blocks of (unpacked size, packed size, "CK", deflate data).
std::vector<std::byte> Decompress(std::span<const std::byte> body) {
  auto where = [](std::size_t pos) { return "byte " + std::to_string(kHeaderBytes + pos); };
  if (body.size() < 4) Fail("", "the compressed data has no size");
  const std::uint32_t total = Dword(body, 0);
  if (total > kMaxXDecompressedBytes + kHeaderBytes)
    Fail("", "the compressed model claims " + std::to_string(total) + " bytes, more than a model may have (" +
                 std::to_string(kMaxXDecompressedBytes >> 20) + " MB)");
  std::vector<std::byte> out;
  Inflater inflater;
  std::size_t pos = 4;
  for (int block = 0; pos < body.size(); ++block) {
    if (body.size() - pos < 6) Fail(where(pos), "a compressed block header is cut short");
    const std::size_t size = Word(body, pos);
    const std::size_t packed = Word(body, pos + 2);
    if (size == 0 || size > kMaxBlockBytes)
      Fail(where(pos), "compressed block " + std::to_string(block) + " claims " + std::to_string(size) +
                           " bytes; a block holds 1 to 32768");
    if (packed < 2 || packed > body.size() - pos - 4)
      Fail(where(pos), "compressed block " + std::to_string(block) + " runs past the end of the file");
    if (body[pos + 4] != std::byte{'C'} || body[pos + 5] != std::byte{'K'})
      Fail(where(pos), "compressed block " + std::to_string(block) + " does not start with \"CK\"");
    if (out.size() + size > kMaxXDecompressedBytes)
      Fail(where(pos), "the compressed model unpacks to more than " +
                           std::to_string(kMaxXDecompressedBytes >> 20) + " MB");
    if (!inflater.Block(body.subspan(pos + 6, packed - 2), size, &out))
      Fail(where(pos), "compressed block " + std::to_string(block) + " is damaged");
    pos += 4 + packed;
  }
  // Writers differ on whether the size counts the 16-byte header.
  if (out.size() != total && out.size() + kHeaderBytes != total)
    Fail("", "the compressed model unpacks to " + std::to_string(out.size()) +
                 " bytes, but its header says " + std::to_string(total));
  return out;
}

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

  const auto parse = [](Lexer& lexer) {
    Parser parser(lexer);
    parser.ReadAll();
    return parser.Build();
  };
  if (format == "txt ") {
    TextLexer lexer(body, "");
    return parse(lexer);
  }
  if (format == "bin ") {
    BinaryLexer lexer(body, floatBytes, kHeaderBytes, "");
    return parse(lexer);
  }
  if (format == "tzip" || format == "bzip") {
    const std::vector<std::byte> data = Decompress(body);
    if (format == "tzip") {
      TextLexer lexer(data, " of the decompressed data");
      return parse(lexer);
    }
    BinaryLexer lexer(data, floatBytes, 0, " of the decompressed data");
    return parse(lexer);
  }
  Fail("", "unknown .x format '" + Printable(format) + "' (txt, bin, tzip or bzip)");
}

}  // namespace

std::optional<XModel> ReadXFile(std::span<const std::byte> bytes, std::string* error) {
  std::string why;
  try {
    return Read(bytes);
  } catch (const ParseError& e) {
    why = e.what();
  } catch (const std::bad_alloc&) {
    why = "the model does not fit in memory";
  }
  if (error) *error = why;
  return std::nullopt;
}

}  // namespace gfx
