#pragma once
// Effects on the GL device: one linked program per technique, built from the file's
// common code and the technique's stages, wrapped so that render states keep applying:
// the vertex stage's depth is remapped to GL's range and the fragment stage runs the
// device's alpha test.

#include <epoxy/gl.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/effect.h"

namespace gfx {

class GlDevice;

// What the device needs to draw with a technique's program.
struct GlProgram {
  GLuint program = 0;
  GLint alphaTest = -1;
  std::array<GLint, 2> alphaTestApplied{-1, -1};
};

class GlEffect final : public Effect {
 public:
  // Null with the compiler's text in *errors when a technique does not compile or link.
  static std::unique_ptr<GlEffect> Create(GlDevice* device, EffectSource source, const std::string& path,
                                          std::string* errors);
  ~GlEffect() override;

 protected:
  void ApplyPass(const Technique& technique) override;
  void EndApply() override;

 private:
  struct TechniqueProgram {
    GlProgram program;
    std::vector<GLint> locations;             // per parameter
    std::vector<std::uint64_t> uploaded;      // revision last sent, per parameter
  };
  GlEffect(GlDevice* device, EffectSource source) : Effect(std::move(source)), device_(device) {}

  GlDevice* device_;
  std::vector<TechniqueProgram> programs_;
};

}  // namespace gfx
