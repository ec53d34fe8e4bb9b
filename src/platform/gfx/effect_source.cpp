#include "platform/gfx/effect_source.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <unordered_set>

namespace gfx {

namespace {

constexpr std::uintmax_t kMaxEffectBytes = 1u << 20;

EffectSource::ParameterType TypeOf(std::string_view glslType) {
  using T = EffectSource::ParameterType;
  if (glslType == "float") return T::kFloat;
  if (glslType == "vec2") return T::kVec2;
  if (glslType == "vec3") return T::kVec3;
  if (glslType == "vec4") return T::kVec4;
  if (glslType == "mat4") return T::kMat4;
  if (glslType == "bool") return T::kBool;
  if (glslType == "int") return T::kInt;
  if (glslType.starts_with("sampler")) return T::kSampler;
  return T::kOther;
}

// Splits GLSL into words ([A-Za-z0-9_]+) and single punctuation characters, treating comments
// as white space. A loop, not a regex: a long run of spaces must not cost stack.
class Tokens {
 public:
  explicit Tokens(std::string_view code) : code_(code) {}
  // The next token; empty at the end of the code.
  std::string_view Next() {
    SkipSpaceAndComments();
    const std::size_t start = at_;
    if (at_ == code_.size()) return {};
    if (!IsWordChar(code_[at_])) return code_.substr(at_++, 1);
    while (at_ < code_.size() && IsWordChar(code_[at_])) ++at_;
    return code_.substr(start, at_ - start);
  }
  std::size_t Position() const { return at_; }
  void Rewind(std::size_t position) { at_ = position; }

  static bool IsWord(std::string_view token) { return !token.empty() && IsWordChar(token[0]); }

 private:
  static bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  }
  void SkipSpaceAndComments() {
    while (at_ < code_.size()) {
      const char c = code_[at_];
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
        ++at_;
      } else if (code_.compare(at_, 2, "//") == 0) {
        const std::size_t end = code_.find('\n', at_);
        at_ = end == std::string_view::npos ? code_.size() : end + 1;
      } else if (code_.compare(at_, 2, "/*") == 0) {
        const std::size_t end = code_.find("*/", at_ + 2);
        at_ = end == std::string_view::npos ? code_.size() : end + 2;
      } else {
        return;
      }
    }
  }

  std::string_view code_;
  std::size_t at_ = 0;
};

bool IsPrecision(std::string_view word) {
  return word == "lowp" || word == "mediump" || word == "highp";
}

// After "type name": an optional "[ N ]", then ";". The length is 0 when absent or absurd
// (absurd lengths are left for the compiler to reject; the parameter keeps one element).
bool ReadDeclarationEnd(Tokens* tokens, unsigned* count) {
  *count = 0;
  std::string_view token = tokens->Next();
  if (token == "[") {
    const std::string_view digits = tokens->Next();
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) return false;
    if (tokens->Next() != "]") return false;
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec == std::errc() && value > 0 && value <= 4096) *count = value;
    token = tokens->Next();
  }
  return token == ";";
}

// Every declaration "uniform [precision] type name [ '[' N ']' ] ;" outside comments. A name
// already known keeps its first declaration.
void CollectUniforms(std::string_view code, std::vector<EffectSource::Parameter>* parameters,
                     std::unordered_set<std::string>* known) {
  Tokens tokens(code);
  for (std::string_view token = tokens.Next(); !token.empty(); token = tokens.Next()) {
    if (token != "uniform") continue;
    const std::size_t afterKeyword = tokens.Position();
    const std::string_view first = tokens.Next(), second = tokens.Next();
    if (!Tokens::IsWord(first) || !Tokens::IsWord(second)) {
      tokens.Rewind(afterKeyword);
      continue;
    }
    std::string_view type = first, name = second;
    unsigned count = 0;
    const std::size_t afterSecond = tokens.Position();
    bool matched = false;
    if (IsPrecision(first)) {
      const std::string_view third = tokens.Next();
      if (Tokens::IsWord(third) && ReadDeclarationEnd(&tokens, &count)) {
        type = second;
        name = third;
        matched = true;
      } else {
        tokens.Rewind(afterSecond);  // the qualifier may itself be the type: "uniform highp x;"
      }
    }
    if (!matched && !ReadDeclarationEnd(&tokens, &count)) {
      tokens.Rewind(afterKeyword);
      continue;
    }
    if (!known->emplace(name).second) continue;
    parameters->push_back({std::string(name), TypeOf(type), count == 0 ? 1u : count});
  }
}

}  // namespace

MatrixUniformUses ReplaceMatrixUniform(const std::string& code, const std::string& name,
                                       const std::string& replacement) {
  MatrixUniformUses uses;
  Tokens tokens(code);
  std::size_t copied = 0;
  for (std::string_view token = tokens.Next(); !token.empty(); token = tokens.Next()) {
    if (token == name) ++uses.mentions;
    if (token != "uniform") continue;
    const std::size_t start = tokens.Position() - token.size();
    const std::size_t afterKeyword = tokens.Position();
    if (tokens.Next() != "mat4" || tokens.Next() != name || tokens.Next() != ";") {
      tokens.Rewind(afterKeyword);
      continue;
    }
    ++uses.declarations;
    uses.code.append(code, copied, start - copied);
    uses.code += replacement;
    copied = tokens.Position();
  }
  uses.code.append(code, copied);
  return uses;
}

unsigned EffectSource::Parameter::FloatsPerElement() const {
  switch (type) {
    case ParameterType::kFloat:
    case ParameterType::kBool:
    case ParameterType::kInt:
    case ParameterType::kSampler:
      return 1;
    case ParameterType::kVec2:
      return 2;
    case ParameterType::kVec3:
      return 3;
    case ParameterType::kVec4:
      return 4;
    case ParameterType::kMat4:
      return 16;
    case ParameterType::kOther:
      return 0;
  }
  return 0;
}

std::optional<EffectSource> EffectSource::Parse(const std::string& text, const std::string& fileName,
                                                std::string* error) {
  EffectSource source;
  Stage* stage = &source.common;
  Stage ignored;  // lines between @technique and its first stage
  bool commonSeen = false;
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  auto fail = [&](const std::string& why) {
    if (error) *error = fileName + "(" + std::to_string(number) + "): " + why;
    return std::nullopt;
  };
  while (std::getline(lines, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] != '@') {
      if (stage->code.empty()) stage->firstLine = number;
      stage->code += line;
      stage->code += '\n';
      continue;
    }
    std::istringstream words(line.substr(1));
    std::string keyword, name, extra;
    words >> keyword >> name >> extra;
    if (keyword == "common") {
      if (commonSeen || !source.techniques.empty())
        return fail("@common must come once, before any technique");
      commonSeen = true;
      stage = &source.common;
    } else if (keyword == "technique") {
      if (name.empty() || !extra.empty()) return fail("@technique needs exactly one name");
      for (const auto& t : source.techniques)
        if (t.name == name) return fail("technique '" + name + "' is defined twice");
      source.techniques.push_back({name, {}, {}});
      stage = nullptr;
    } else if (keyword == "vertex" || keyword == "fragment") {
      if (source.techniques.empty()) return fail("@" + keyword + " outside a technique");
      stage = keyword == "vertex" ? &source.techniques.back().vertex : &source.techniques.back().fragment;
      if (!stage->code.empty()) return fail("@" + keyword + " given twice in one technique");
    } else {
      return fail("unknown section '@" + keyword + "'");
    }
    if (!stage) {
      ignored.code.clear();
      stage = &ignored;
    }
  }
  if (source.techniques.empty()) return fail("the file defines no technique");
  for (const auto& t : source.techniques)
    if (t.vertex.code.empty() || t.fragment.code.empty())
      return fail("technique '" + t.name + "' needs both @vertex and @fragment");

  std::unordered_set<std::string> known;
  CollectUniforms(source.common.code, &source.parameters, &known);
  for (const auto& t : source.techniques) {
    CollectUniforms(t.vertex.code, &source.parameters, &known);
    CollectUniforms(t.fragment.code, &source.parameters, &known);
  }
  return source;
}

std::optional<EffectSource> EffectSource::Load(const std::string& path, std::string* error) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) {
    if (error) *error = path + ": cannot open the effect file";
    return std::nullopt;
  }
  if (size > kMaxEffectBytes) {
    if (error) *error = path + ": effect file too large";
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in) {
    if (error) *error = path + ": cannot read the effect file";
    return std::nullopt;
  }
  return Parse(text.str(), path, error);
}

}  // namespace gfx
