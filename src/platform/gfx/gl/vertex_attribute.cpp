#include "platform/gfx/gl/vertex_attribute.h"

namespace gfx {

void PointVertexAttributes(const VertexLayout& layout, UINT stride, std::uintptr_t first) {
  for (const VertexInput& input : kVertexInputs) {
    const GLuint location = Location(input.attribute);
    const int at = layout.*input.offset;
    if (at < 0) {
      glDisableVertexAttribArray(location);
      continue;
    }
    glEnableVertexAttribArray(location);
    glVertexAttribPointer(location, input.size, input.type, input.normalized, static_cast<GLsizei>(stride),
                          reinterpret_cast<const void*>(first + static_cast<std::uintptr_t>(at)));
  }
}

void PointMatrixAttribute(std::uintptr_t offset, UINT stride) {
  for (GLuint column = 0; column < 4; ++column) {
    const GLuint location = Location(VertexAttribute::kMatrix) + column;
    glEnableVertexAttribArray(location);
    glVertexAttribPointer(location, 4, GL_FLOAT, GL_FALSE, static_cast<GLsizei>(stride),
                          reinterpret_cast<const void*>(offset + column * 4 * sizeof(float)));
  }
}

std::string VertexInputsGlsl(const std::string& prefix) {
  std::string glsl;
  for (const VertexInput& input : kVertexInputs)
    glsl += "layout(location = " + std::to_string(Location(input.attribute)) + ") in " + input.glslType +
            " " + prefix + input.name + ";\n";
  return glsl;
}

void BindVertexInputs(GLuint program, const std::string& prefix) {
  for (const VertexInput& input : kVertexInputs)
    glBindAttribLocation(program, Location(input.attribute), (prefix + input.name).c_str());
}

}  // namespace gfx
