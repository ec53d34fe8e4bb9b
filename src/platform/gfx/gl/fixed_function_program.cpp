#include "platform/gfx/gl/fixed_function_program.h"

namespace gfx {

namespace {

// Matrices arrive as Direct3D's row-major arrays, which GLSL reads as their transposes,
// so M * v here equals Direct3D's v * M. Depth is remapped from 0..1 to GL's -1..1.
const char* kVertexSource = R"(#version 330 core
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec4 aColor;
layout(location = 3) in vec2 aTexCoord;
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
out vec4 vColor;
out vec2 vTexCoord;
void main() {
  vec4 p = uWvp * vec4(aPosition, 1.0);
  gl_Position = vec4(p.x, p.y, 2.0 * p.z - p.w, p.w);
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
  if (arg == 2) return tex;       // D3DTA_TEXTURE
  if (arg == 3) return vec4(1.0); // D3DTA_TFACTOR (white)
  return vColor;                  // D3DTA_DIFFUSE, D3DTA_CURRENT at stage 0
}

vec4 Combine(int op, vec4 a, vec4 b) {
  if (op == 2) return a;                                   // SELECTARG1
  if (op == 3) return b;                                   // SELECTARG2
  if (op == 4) return a * b;                               // MODULATE
  if (op == 5) return clamp(2.0 * a * b, 0.0, 1.0);        // MODULATE2X
  if (op == 6) return clamp(4.0 * a * b, 0.0, 1.0);        // MODULATE4X
  if (op == 7) return clamp(a + b, 0.0, 1.0);              // ADD
  if (op == 8) return clamp(a + b - 0.5, 0.0, 1.0);        // ADDSIGNED
  if (op == 10) return clamp(a - b, 0.0, 1.0);             // SUBTRACT
  return vColor;
}

void main() {
  vec4 tex = uColorOp.w != 0 ? texture(uTexture, vTexCoord) : vec4(1.0);
  vec4 color = vColor;
  if (uColorOp.x != 1) {  // a disabled first stage passes the diffuse colour through
    color.rgb = Combine(uColorOp.x, Arg(uColorOp.y, tex), Arg(uColorOp.z, tex)).rgb;
    if (uAlphaOp.x != 1) color.a = Combine(uAlphaOp.x, Arg(uAlphaOp.y, tex), Arg(uAlphaOp.z, tex)).a;
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

const char* const kAlphaTestGlsl = R"(
bool pe_AlphaPasses(int func, int value, int ref) {  // Direct3D's D3DCMP_ functions
  if (func == 1) return false;
  if (func == 2) return value < ref;
  if (func == 3) return value == ref;
  if (func == 4) return value <= ref;
  if (func == 5) return value > ref;
  if (func == 6) return value != ref;
  if (func == 7) return value >= ref;
  return true;
}
)";

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
  glBindAttribLocation(program, 0, "aPosition");
  glBindAttribLocation(program, 1, "aNormal");
  glBindAttribLocation(program, 2, "aColor");
  glBindAttribLocation(program, 3, "aTexCoord");
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
  const std::string fragment = std::string("#version 330 core\n") + kAlphaTestGlsl + kFragmentSource;
  program = CompileProgram(kVertexSource, fragment.c_str(), log);
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
