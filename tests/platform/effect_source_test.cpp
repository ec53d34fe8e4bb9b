// The effect file's parameters: every "uniform [precision] type name [ '[' N ']' ] ;" outside
// comments, however it is spaced, found without a regex.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/gfx/effect_source.h"
#include "support/source_tree.h"

namespace {

namespace fs = std::filesystem;
using T = gfx::EffectSource::ParameterType;

std::string InCommon(const std::string& code) {
  return "@common\n" + code + "\n@technique T\n@vertex\nvoid main() {}\n@fragment\nvoid main() {}\n";
}

// "name type count" for each parameter, in order.
std::vector<std::string> Describe(const gfx::EffectSource& source) {
  static const char* kTypes[] = {"float", "vec2", "vec3", "vec4", "mat4", "bool", "int", "sampler", "other"};
  std::vector<std::string> described;
  for (const auto& p : source.parameters)
    described.push_back(p.name + " " + kTypes[static_cast<int>(p.type)] + " " + std::to_string(p.count));
  return described;
}

std::vector<std::string> ParametersOf(const std::string& text) {
  std::string error;
  const auto source = gfx::EffectSource::Parse(text, "u.effect", &error);
  EXPECT_TRUE(source) << error;
  return source ? Describe(*source) : std::vector<std::string>{};
}

TEST(EffectUniforms, DeclarationsInEveryShapeTheFormatAllows) {
  struct Case {
    const char* what;
    const char* code;
    std::vector<std::string> parameters;
  };
  const Case cases[] = {
      {"comments hide declarations",
       "// uniform float a;\n/* uniform float b; */\nuniform float c; // uniform float d;\n"
       "/* two\nlines uniform vec4 e; */ uniform vec2 f;",
       {"c float 1", "f vec2 1"}},
      {"comments separate words",
       "uniform/**/mat4/* x */g_m;\nuniform // why\n  vec3 g_v;",
       {"g_m mat4 1", "g_v vec3 1"}},
      {"an unclosed comment runs to the end", "uniform float a; /* uniform float b;", {"a float 1"}},
      {"a slash alone is not a comment",
       "uniform float a; float b = 1.0 / 2.0; uniform int c;",
       {"a float 1", "c int 1"}},
      {"arrays",
       "uniform vec4 a[4];\nuniform mat4 b [ 2 ] ;\nuniform float c[4096];",
       {"a vec4 4", "b mat4 2", "c float 4096"}},
      {"absurd lengths keep one element",
       "uniform float a[0];\nuniform float b[4097];\nuniform float c[99999999999999];",
       {"a float 1", "b float 1", "c float 1"}},
      {"lengths that are not plain numbers",
       "uniform float a[N];\nuniform float b[0x4];\nuniform float c[];",
       {}},
      {"precision qualifiers",
       "uniform highp vec3 a;\nuniform lowp sampler2D t;\nuniform mediump float m[2];\nuniform highp x;",
       {"a vec3 1", "t sampler 1", "m float 2", "x other 1"}},
      {"spacing across lines",
       "uniform\n\n  vec4\t\tg_c\r\n[\n3\n]\n;\n  uniform\fbool\vg_b ;",
       {"g_c vec4 3", "g_b bool 1"}},
      {"a layout qualifier before", "layout(std140) uniform float s;", {"s float 1"}},
      {"other uses of the word",
       "uniform Block { vec4 x; } b;\nuniform vec3 a, c;\nmyuniform float q;\nuniform_x float w;\n"
       "uniform float;\nuniform float r",
       {}},
      {"a failed declaration does not hide the next", "uniform uniform vec3 n;", {"n vec3 1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ParametersOf(InCommon(c.code)), c.parameters);
  }
}

TEST(EffectUniforms, TheFirstDeclarationOfANameWinsAcrossStages) {
  const std::string text =
      "@common\nuniform vec4 g_a;\n@technique T\n@vertex\nuniform float g_a;\nuniform mat4 g_b[3];\n"
      "void main() {}\n@fragment\nuniform mat4 g_b;\nuniform int g_c;\nvoid main() {}\n";
  EXPECT_EQ(ParametersOf(text), (std::vector<std::string>{"g_a vec4 1", "g_b mat4 3", "g_c int 1"}));
}

// The regex this scanner replaced overflowed the stack on long runs of white space.
TEST(EffectUniforms, LongFilesParseWithoutDeepRecursion) {
  const std::string spaced = InCommon("uniform" + std::string(900000, ' ') + "float x;");
  EXPECT_EQ(ParametersOf(spaced), (std::vector<std::string>{"x float 1"}));

  std::string many;
  for (int i = 0; i < 20000; ++i) many += "uniform float u" + std::to_string(i) + ";\n";
  const auto parameters = ParametersOf(InCommon(many));
  ASSERT_EQ(parameters.size(), 20000u);
  EXPECT_EQ(parameters.back(), "u19999 float 1");
}

TEST(EffectUniforms, FuzzCrashersParseOrAreRefusedWithAReason) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(SourcePath("fuzz/crashers/effect"))) {
    SCOPED_TRACE(entry.path().filename().string());
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string error;
    const auto source = gfx::EffectSource::Parse(text, entry.path().string(), &error);
    EXPECT_TRUE(source || !error.empty());
    ++count;
  }
  EXPECT_GE(count, 1);

  std::string error;
  const auto overflow =
      gfx::EffectSource::Load(SourcePath("fuzz/crashers/effect/effect-regex-stack-overflow.effect"), &error);
  ASSERT_TRUE(overflow) << error;
  EXPECT_EQ(Describe(*overflow), (std::vector<std::string>{"x float 1"}));
}

}  // namespace
