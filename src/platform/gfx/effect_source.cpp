#include "platform/gfx/effect_source.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace gfx {

namespace {

constexpr std::uintmax_t kMaxEffectBytes = 1u << 20;

EffectSource::ParameterType TypeOf(const std::string& glslType) {
  using T = EffectSource::ParameterType;
  if (glslType == "float") return T::kFloat;
  if (glslType == "vec2") return T::kVec2;
  if (glslType == "vec3") return T::kVec3;
  if (glslType == "vec4") return T::kVec4;
  if (glslType == "mat4") return T::kMat4;
  if (glslType == "bool") return T::kBool;
  if (glslType == "int") return T::kInt;
  if (glslType.rfind("sampler", 0) == 0) return T::kSampler;
  return T::kOther;
}

void CollectUniforms(const std::string& code, std::vector<EffectSource::Parameter>* parameters) {
  static const std::regex uniform(R"(\buniform\s+(?:(?:lowp|mediump|highp)\s+)?(\w+)\s+(\w+)\s*(?:\[\s*(\d+)\s*\])?\s*;)");
  for (auto it = std::sregex_iterator(code.begin(), code.end(), uniform); it != std::sregex_iterator(); ++it) {
    const std::string name = (*it)[2];
    bool known = false;
    for (const auto& p : *parameters) known |= p.name == name;
    if (known) continue;
    EffectSource::Parameter parameter{name, TypeOf((*it)[1]), 1};
    if ((*it)[3].matched) {
      const std::string digits = (*it)[3];
      unsigned count = 0;
      const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), count);
      // Absurd lengths are left for the compiler to reject; the parameter keeps one element.
      if (ec == std::errc() && count > 0 && count <= 4096) parameter.count = count;
    }
    parameters->push_back(parameter);
  }
}

}  // namespace

unsigned EffectSource::Parameter::FloatsPerElement() const {
  switch (type) {
    case ParameterType::kFloat:
    case ParameterType::kBool:
    case ParameterType::kInt:
    case ParameterType::kSampler: return 1;
    case ParameterType::kVec2: return 2;
    case ParameterType::kVec3: return 3;
    case ParameterType::kVec4: return 4;
    case ParameterType::kMat4: return 16;
    case ParameterType::kOther: return 0;
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
      if (commonSeen || !source.techniques.empty()) return fail("@common must come once, before any technique");
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

  CollectUniforms(source.common.code, &source.parameters);
  for (const auto& t : source.techniques) {
    CollectUniforms(t.vertex.code, &source.parameters);
    CollectUniforms(t.fragment.code, &source.parameters);
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
