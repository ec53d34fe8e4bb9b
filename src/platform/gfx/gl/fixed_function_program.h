#pragma once
// The GLSL program that reproduces Direct3D 9's fixed-function pipeline for the
// subset the scene uses: one directional light with material, vertex colour,
// texture stage 0 combiners and the alpha test.

#include <epoxy/gl.h>

#include <string>

namespace gfx {

struct FixedFunctionProgram {
  GLuint program = 0;
  GLint wvp = -1;           // mat4: world * view * projection
  GLint normalMatrix = -1;  // mat3: inverse transpose of the world's upper 3x3
  GLint lightFlags = -1;    // ivec4: lighting, light 0 on, diffuse from vertex, normalise
  GLint lightDir = -1;      // vec3: towards the light
  GLint lightDiffuse = -1, lightAmbient = -1;
  GLint matDiffuse = -1, matAmbient = -1, matEmissive = -1;
  GLint ambient = -1;
  GLint colorOp = -1;       // ivec4: op, arg1, arg2, texture bound
  GLint alphaOp = -1;       // ivec4: op, arg1, arg2, unused
  GLint alphaTest = -1;     // ivec2: compare function, reference 0..255
  GLint sampler = -1;

  // Compiles and links; on failure returns false and leaves the driver's text in *log.
  bool Build(std::string* log);
  void Destroy();
};

// GLSL of the alpha test: pe_AlphaPasses(D3DCMP function, alpha 0..255, reference).
const std::string& AlphaTestGlsl();

// Direct3D 9 samples pixels at whole coordinates, half a pixel from GL's centres. Every
// vertex program ends by adding pe_PixelOffset * w to its position, so pictures land on
// the pixels Direct3D would fill; this sets that offset, at `location` of the bound program,
// for a viewport's size.
void SetPixelOffset(GLint location, GLsizei width, GLsizei height);

// Compiles vertex and fragment sources into a linked program; 0 and the log on failure.
GLuint CompileProgram(const char* vertexSource, const char* fragmentSource, std::string* log);

}  // namespace gfx
