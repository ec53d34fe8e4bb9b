#include "platform/gfx/gl/fixed_function_program.h"

#include <initializer_list>

#include "platform/gfx/d3d_types.h"
#include "platform/gfx/gl/vertex_attribute.h"

namespace gfx {

namespace {

// The Direct3D values the shaders compare against, under Direct3D's names.
struct GlslConstant {
  const char* name;
  long value;
};

std::string GlslConstants(std::initializer_list<GlslConstant> constants) {
  std::string glsl;
  for (const GlslConstant& c : constants)
    glsl += "const int " + std::string(c.name) + " = " + std::to_string(c.value) + ";\n";
  return glsl;
}

#define PE_GLSL_CONSTANT(name) GlslConstant{#name, name}

std::string TextureStageConstantsGlsl() {
  return GlslConstants({PE_GLSL_CONSTANT(D3DTOP_DISABLE), PE_GLSL_CONSTANT(D3DTOP_SELECTARG1),
                        PE_GLSL_CONSTANT(D3DTOP_SELECTARG2), PE_GLSL_CONSTANT(D3DTOP_MODULATE),
                        PE_GLSL_CONSTANT(D3DTOP_MODULATE2X), PE_GLSL_CONSTANT(D3DTOP_MODULATE4X),
                        PE_GLSL_CONSTANT(D3DTOP_ADD), PE_GLSL_CONSTANT(D3DTOP_ADDSIGNED),
                        PE_GLSL_CONSTANT(D3DTOP_SUBTRACT), PE_GLSL_CONSTANT(D3DTA_TEXTURE),
                        PE_GLSL_CONSTANT(D3DTA_TFACTOR)});
}

// The program reads its vertices as aPosition, aNormal, aColor and aTexCoord.
constexpr const char* kInputPrefix = "a";

// Matrices arrive as Direct3D's row-major arrays, which GLSL reads as their transposes,
// so M * v here equals Direct3D's v * M. Depth is remapped from 0..1 to GL's -1..1.
const char* kVertexSource = R"(
uniform mat4 uWvp;
uniform mat3 uNormalMatrix;
uniform ivec4 uLightFlags;
uniform vec3 uLightDir;
uniform vec4 uLightDiffuse;
uniform vec4 uLightAmbient;
uniform vec4 uMatDiffuse;
uniform vec4 uMatAmbient;
uniform vec4 uMatEmissive;
uniform vec4 uAmbient;
uniform vec2 pe_PixelOffset;
out vec4 vColor;
out vec2 vTexCoord;
void main() {
  vec4 p = uWvp * vec4(aPosition, 1.0);
  gl_Position = vec4(p.x, p.y, 2.0 * p.z - p.w, p.w);
  gl_Position.xy += pe_PixelOffset * gl_Position.w;
  vTexCoord = aTexCoord;
  if (uLightFlags.x == 0) {
    vColor = aColor;
    return;
  }
  vec4 diffuse = uLightFlags.z != 0 ? aColor : uMatDiffuse;
  vec3 n = uNormalMatrix * aNormal;
  if (uLightFlags.w != 0) n = normalize(n);
  vec3 c = uMatEmissive.rgb + uAmbient.rgb * uMatAmbient.rgb;
  if (uLightFlags.y != 0) {
    c += uLightAmbient.rgb * uMatAmbient.rgb;
    c += uLightDiffuse.rgb * diffuse.rgb * max(dot(n, uLightDir), 0.0);
  }
  vColor = vec4(clamp(c, 0.0, 1.0), clamp(diffuse.a, 0.0, 1.0));
}
)";

const char* kFragmentSource = R"(
in vec4 vColor;
in vec2 vTexCoord;
uniform sampler2D uTexture;
uniform ivec4 uColorOp;
uniform ivec4 uAlphaOp;
uniform ivec2 uAlphaTest;
out vec4 outColor;

vec4 Arg(int arg, vec4 tex) {
  if (arg == D3DTA_TEXTURE) return tex;
  if (arg == D3DTA_TFACTOR) return vec4(1.0);  // white
  return vColor;                               // D3DTA_DIFFUSE, D3DTA_CURRENT at stage 0
}

vec4 Combine(int op, vec4 a, vec4 b) {
  if (op == D3DTOP_SELECTARG1) return a;
  if (op == D3DTOP_SELECTARG2) return b;
  if (op == D3DTOP_MODULATE) return a * b;
  if (op == D3DTOP_MODULATE2X) return clamp(2.0 * a * b, 0.0, 1.0);
  if (op == D3DTOP_MODULATE4X) return clamp(4.0 * a * b, 0.0, 1.0);
  if (op == D3DTOP_ADD) return clamp(a + b, 0.0, 1.0);
  if (op == D3DTOP_ADDSIGNED) return clamp(a + b - 0.5, 0.0, 1.0);
  if (op == D3DTOP_SUBTRACT) return clamp(a - b, 0.0, 1.0);
  return vColor;
}

void main() {
  vec4 tex = uColorOp.w != 0 ? texture(uTexture, vTexCoord) : vec4(1.0);
  vec4 color = vColor;
  if (uColorOp.x != D3DTOP_DISABLE) {  // a disabled first stage passes the diffuse colour through
    color.rgb = Combine(uColorOp.x, Arg(uColorOp.y, tex), Arg(uColorOp.z, tex)).rgb;
    if (uAlphaOp.x != D3DTOP_DISABLE)
      color.a = Combine(uAlphaOp.x, Arg(uAlphaOp.y, tex), Arg(uAlphaOp.z, tex)).a;
  }
  if (!pe_AlphaPasses(uAlphaTest.x, int(floor(color.a * 255.0 + 0.5)), uAlphaTest.y)) discard;
  outColor = color;
}
)";

GLuint CompileStage(GLenum type, const char* source, std::string* log) {
  const GLuint shader = glCreateShader(type);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok) return shader;
  GLint length = 0;
  glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
  std::string text(static_cast<size_t>(length > 0 ? length : 1), '\0');
  glGetShaderInfoLog(shader, static_cast<GLsizei>(text.size()), nullptr, text.data());
  if (log) *log += text.c_str();
  glDeleteShader(shader);
  return 0;
}

}  // namespace

const std::string& AlphaTestGlsl() {
  static const std::string glsl =
      GlslConstants({PE_GLSL_CONSTANT(D3DCMP_NEVER), PE_GLSL_CONSTANT(D3DCMP_LESS),
                     PE_GLSL_CONSTANT(D3DCMP_EQUAL), PE_GLSL_CONSTANT(D3DCMP_LESSEQUAL),
                     PE_GLSL_CONSTANT(D3DCMP_GREATER), PE_GLSL_CONSTANT(D3DCMP_NOTEQUAL),
                     PE_GLSL_CONSTANT(D3DCMP_GREATEREQUAL)}) +
      R"(
bool pe_AlphaPasses(int func, int value, int ref) {
  if (func == D3DCMP_NEVER) return false;
  if (func == D3DCMP_LESS) return value < ref;
  if (func == D3DCMP_EQUAL) return value == ref;
  if (func == D3DCMP_LESSEQUAL) return value <= ref;
  if (func == D3DCMP_GREATER) return value > ref;
  if (func == D3DCMP_NOTEQUAL) return value != ref;
  if (func == D3DCMP_GREATEREQUAL) return value >= ref;
  return true;  // D3DCMP_ALWAYS
}
)";
  return glsl;
}

void SetPixelOffset(GLint location, GLsizei width, GLsizei height) {
  if (width <= 0 || height <= 0) return;
  glUniform2f(location, 1.0f / static_cast<float>(width), -1.0f / static_cast<float>(height));
}

GLuint CompileProgram(const char* vertexSource, const char* fragmentSource, std::string* log) {
  const GLuint vs = CompileStage(GL_VERTEX_SHADER, vertexSource, log);
  const GLuint fs = CompileStage(GL_FRAGMENT_SHADER, fragmentSource, log);
  if (!vs || !fs) {
    if (vs) glDeleteShader(vs);
    if (fs) glDeleteShader(fs);
    return 0;
  }
  const GLuint program = glCreateProgram();
  glAttachShader(program, vs);
  glAttachShader(program, fs);
  BindVertexInputs(program, kInputPrefix);
  glLinkProgram(program);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (ok) return program;
  GLint length = 0;
  glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
  std::string text(static_cast<size_t>(length > 0 ? length : 1), '\0');
  glGetProgramInfoLog(program, static_cast<GLsizei>(text.size()), nullptr, text.data());
  if (log) *log += text.c_str();
  glDeleteProgram(program);
  return 0;
}

bool FixedFunctionProgram::Build(std::string* log) {
  const std::string vertex = "#version 330 core\n" + VertexInputsGlsl(kInputPrefix) + kVertexSource;
  const std::string fragment =
      std::string("#version 330 core\n") + AlphaTestGlsl() + TextureStageConstantsGlsl() + kFragmentSource;
  program = CompileProgram(vertex.c_str(), fragment.c_str(), log);
  if (!program) return false;
  wvp = glGetUniformLocation(program, "uWvp");
  normalMatrix = glGetUniformLocation(program, "uNormalMatrix");
  lightFlags = glGetUniformLocation(program, "uLightFlags");
  lightDir = glGetUniformLocation(program, "uLightDir");
  lightDiffuse = glGetUniformLocation(program, "uLightDiffuse");
  lightAmbient = glGetUniformLocation(program, "uLightAmbient");
  matDiffuse = glGetUniformLocation(program, "uMatDiffuse");
  matAmbient = glGetUniformLocation(program, "uMatAmbient");
  matEmissive = glGetUniformLocation(program, "uMatEmissive");
  ambient = glGetUniformLocation(program, "uAmbient");
  colorOp = glGetUniformLocation(program, "uColorOp");
  alphaOp = glGetUniformLocation(program, "uAlphaOp");
  alphaTest = glGetUniformLocation(program, "uAlphaTest");
  sampler = glGetUniformLocation(program, "uTexture");
  return true;
}

void FixedFunctionProgram::Destroy() {
  if (program) glDeleteProgram(program);
  program = 0;
}

}  // namespace gfx
