#pragma once
// The effect file format: one text file of GLSL 330 core with named techniques.
//
//   @common                 code shared by every stage of every technique
//   @technique TechShader   starts a technique; one pass each
//   @vertex                 the technique's vertex stage
//   @fragment               the technique's fragment stage
//
// The uniforms declared anywhere in the file are the effect's parameters. Both back ends
// read the same text, so they report the same technique and parameter names.

#include <optional>
#include <string>
#include <vector>

namespace gfx {

struct EffectSource {
  struct Stage {
    std::string code;
    int firstLine = 1;  // line number in the file, for the compiler's messages
  };
  struct Technique {
    std::string name;
    Stage vertex;
    Stage fragment;
  };
  enum class ParameterType { kFloat, kVec2, kVec3, kVec4, kMat4, kBool, kInt, kSampler, kOther };
  struct Parameter {
    std::string name;
    ParameterType type = ParameterType::kOther;
    unsigned count = 1;  // array length, 1 for a single value
    unsigned FloatsPerElement() const;
  };

  Stage common;
  std::vector<Technique> techniques;
  std::vector<Parameter> parameters;

  // The file's structure; null with a message naming the line when it is malformed.
  static std::optional<EffectSource> Parse(const std::string& text, const std::string& fileName,
                                           std::string* error);
  // Reads and parses a file; null with the reason when it cannot be read or parsed.
  static std::optional<EffectSource> Load(const std::string& path, std::string* error);
};

// How a stage's code refers to the uniform matrix `name`: its declarations on their own
// ("uniform mat4 name;"), replaced in `code` by `replacement`, and its other mentions as a
// word outside comments.
struct MatrixUniformUses {
  std::string code;
  int declarations = 0;
  int mentions = 0;
};
MatrixUniformUses ReplaceMatrixUniform(const std::string& code, const std::string& name,
                                       const std::string& replacement);

}  // namespace gfx
