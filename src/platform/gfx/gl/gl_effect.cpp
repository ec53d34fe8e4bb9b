#include "platform/gfx/gl/gl_effect.h"

#include "platform/gfx/gl/fixed_function_program.h"
#include "platform/gfx/gl/gl_device.h"
#include "platform/gfx/gl/vertex_attribute.h"

namespace gfx {

namespace {

// Effects read their vertices as inPosition, inNormal, inColor and inTexCoord.
std::string VertexPrelude() {
  return "#version 330 core\n" + VertexInputsGlsl("in") + "#define main pe_EffectMain\n";
}

// Direct3D's projection gives depth 0..1; GL clips at -1..1. Pixel centres: see SetPixelOffset.
const char* kVertexEpilogue = R"(
#undef main
uniform vec2 pe_PixelOffset;
void main() {
  pe_EffectMain();
  gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;
  gl_Position.xy += pe_PixelOffset * gl_Position.w;
}
)";

const char* kFragmentPrelude = R"(#version 330 core
out vec4 FragColor;
uniform sampler2D Texture0;
uniform sampler2D Texture1;
uniform ivec2 pe_AlphaTest;
#define main pe_EffectMain
)";

const char* kFragmentEpilogue = R"(
#undef main
void main() {
  pe_EffectMain();
  if (!pe_AlphaPasses(pe_AlphaTest.x, int(floor(clamp(FragColor.a, 0.0, 1.0) * 255.0 + 0.5)), pe_AlphaTest.y))
    discard;
}
)";

// Source strings are numbered: 0 the prelude, 1 the common code, 2 the stage, so the
// compiler's "1:12" and "2:7" point into the file through the #line directives.
std::string Assemble(const std::string& prelude, const EffectSource::Stage& common,
                     const EffectSource::Stage& stage, const char* epilogue) {
  std::string code = prelude;
  code += "#line " + std::to_string(common.firstLine) + " 1\n" + common.code;
  code += "#line " + std::to_string(stage.firstLine) + " 2\n" + stage.code;
  code += "#line 1 3\n";
  code += epilogue;
  return code;
}

}  // namespace

std::unique_ptr<GlEffect> GlEffect::Create(GlDevice* device, EffectSource source, const std::string& path,
                                           std::string* errors) {
  device->MakeCurrent();
  std::unique_ptr<GlEffect> effect(new GlEffect(device, std::move(source)));
  const EffectSource& s = effect->Source();
  for (const auto& technique : s.techniques) {
    std::string log;
    const std::string vertex = Assemble(VertexPrelude(), s.common, technique.vertex, kVertexEpilogue);
    const std::string fragment =
        Assemble(kFragmentPrelude + AlphaTestGlsl(), s.common, technique.fragment, kFragmentEpilogue);
    TechniqueProgram tp;
    if (!effect->Link(vertex, fragment, &tp.plain, &log)) {
      if (errors) *errors = path + ": technique '" + technique.name + "':\n" + log;
      return nullptr;
    }
    tp.refused.assign(effect->Parameters().size(), false);
    effect->programs_.push_back(std::move(tp));
  }
  device->ForgetProgram();
  return effect;
}

bool GlEffect::Link(const std::string& vertex, const std::string& fragment, LinkedProgram* linked,
                    std::string* log) {
  const GLuint program = CompileProgram(vertex.c_str(), fragment.c_str(), log);
  if (!program) return false;
  linked->program.program = program;
  linked->program.alphaTest = glGetUniformLocation(program, "pe_AlphaTest");
  // The device sets it at the first draw, for the viewport it then draws into.
  linked->program.pixelOffset = glGetUniformLocation(program, "pe_PixelOffset");
  glUseProgram(program);
  glUniform1i(glGetUniformLocation(program, "Texture0"), 0);
  glUniform1i(glGetUniformLocation(program, "Texture1"), 1);
  Locate(linked);
  return true;
}

void GlEffect::Locate(LinkedProgram* linked) {
  linked->locations.clear();
  // A parameter the file no longer declares has no location, whatever its name.
  for (const auto& p : Parameters())
    linked->locations.push_back(p.gone ? -1 : glGetUniformLocation(linked->program.program,
                                                                   p.declaration.name.c_str()));
  linked->uploaded.assign(Parameters().size(), ~std::uint64_t{0});
}

void GlEffect::DeletePrograms() {
  for (auto& tp : programs_)
    for (LinkedProgram* linked : {&tp.plain, &tp.perVertex}) {
      if (!linked->program.program) continue;
      device_->ReleaseProgram(&linked->program);
      glDeleteProgram(linked->program.program);
    }
  programs_.clear();
}

GlEffect::~GlEffect() {
  device_->MakeCurrent();
  DeletePrograms();
  device_->ReleaseEffect(this);
}

HRESULT GlEffect::Replace(Effect&& fresh) {
  auto* other = dynamic_cast<GlEffect*>(&fresh);
  if (!other || other == this || other->device_ != device_ || Begun()) return D3DERR_INVALIDCALL;
  device_->MakeCurrent();
  DeletePrograms();
  device_->ReleaseEffect(this);
  programs_ = std::move(other->programs_);
  other->programs_.clear();
  TakeSource(std::move(fresh));
  // The programs were linked against the fresh effect's parameters; this one keeps its own
  // order (handles are addresses in it), so every table indexed by parameter is made again.
  for (auto& tp : programs_) {
    Locate(&tp.plain);
    tp.refused.assign(Parameters().size(), false);
  }
  device_->ForgetProgram();
  return S_OK;
}

GlProgram* GlEffect::Program(std::size_t technique, bool perVertex) {
  TechniqueProgram& tp = programs_[technique];
  return perVertex ? &tp.perVertex.program : &tp.plain.program;
}

bool GlEffect::TakePerVertex(std::size_t technique, std::size_t parameter) {
  TechniqueProgram& tp = programs_[technique];
  if (tp.perVertexParameter >= 0 || tp.refused[parameter]) return false;
  tp.refused[parameter] = true;  // one attempt, whatever comes of it
  const EffectSource::Parameter& declaration = Parameters()[parameter].declaration;
  if (declaration.type != EffectSource::ParameterType::kMat4 || declaration.count != 1) return false;

  // The vertex stage reads the matrix as an attribute in place of the uniform. The common
  // code goes to the fragment stage too, so it may only declare the matrix there.
  const EffectSource& s = Source();
  const EffectSource::Technique& t = s.techniques[technique];
  const std::string& name = declaration.name;
  const std::string input =
      "layout(location = " + std::to_string(Location(VertexAttribute::kMatrix)) + ") in mat4 " + name + ";";
  const MatrixUniformUses common = ReplaceMatrixUniform(s.common.code, name, input);
  const MatrixUniformUses vertex = ReplaceMatrixUniform(t.vertex.code, name, input);
  const MatrixUniformUses fragment = ReplaceMatrixUniform(t.fragment.code, name, "");
  if (common.declarations + vertex.declarations != 1 || common.mentions != 0 || fragment.mentions != 0)
    return false;

  device_->MakeCurrent();
  EffectSource::Stage commonStage = s.common, vertexStage = t.vertex;
  commonStage.code = common.code;
  vertexStage.code = vertex.code;
  std::string log;
  const bool linked =
      Link(Assemble(VertexPrelude(), commonStage, vertexStage, kVertexEpilogue),
           Assemble(kFragmentPrelude + AlphaTestGlsl(), s.common, t.fragment, kFragmentEpilogue),
           &tp.perVertex, &log);
  device_->ForgetProgram();
  if (!linked) return false;
  tp.perVertexParameter = static_cast<int>(parameter);
  return true;
}

void GlEffect::Upload(std::size_t technique, bool perVertex) {
  TechniqueProgram& tp = programs_[technique];
  LinkedProgram& lp = perVertex ? tp.perVertex : tp.plain;
  const auto& parameters = Parameters();
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    const Parameter& p = parameters[i];
    const GLint location = lp.locations[i];
    if (location < 0 || lp.uploaded[i] == p.revision) continue;
    lp.uploaded[i] = p.revision;
    const auto count = static_cast<GLsizei>(p.declaration.count);
    const float* v = p.values.data();
    using T = EffectSource::ParameterType;
    switch (p.declaration.type) {
      // Direct3D's row-major matrices arrive transposed, so GLSL's M * v is Direct3D's v * M.
      case T::kMat4:
        glUniformMatrix4fv(location, count, GL_FALSE, v);
        break;
      case T::kVec4:
        glUniform4fv(location, count, v);
        break;
      case T::kVec3:
        glUniform3fv(location, count, v);
        break;
      case T::kVec2:
        glUniform2fv(location, count, v);
        break;
      case T::kFloat:
        glUniform1fv(location, count, v);
        break;
      case T::kBool:
      case T::kInt:
        glUniform1i(location, static_cast<GLint>(v[0]));
        break;
      case T::kSampler:
      case T::kOther:
        break;
    }
  }
}

void GlEffect::ApplyPass(const Technique& technique) {
  device_->UseEffect(this, technique.index);
}

void GlEffect::EndApply() {
  device_->UseEffect(nullptr, 0);
}

}  // namespace gfx
