#pragma once
// Effects on the GL device: one linked program per technique, built from the file's
// common code and the technique's stages, wrapped so that render states keep applying:
// the vertex stage's depth is remapped to GL's range and the fragment stage runs the
// device's alpha test. A pass only tells the device which technique is on; the device
// sends the parameters when it draws, so draws that differ in nothing can share one.

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
  GLint pixelOffset = -1;  // see SetPixelOffset
  std::array<GLsizei, 2> pixelOffsetFor{0, 0};  // the viewport the offset was set for
};

class GlEffect final : public Effect {
 public:
  // Null with the compiler's text in *errors when a technique does not compile or link.
  static std::unique_ptr<GlEffect> Create(GlDevice* device, EffectSource source, const std::string& path,
                                          std::string* errors);
  ~GlEffect() override;

  // The technique's program, or its variant that reads the per-vertex parameter from the
  // vertices (only once PerVertexParameter names one).
  GlProgram* Program(std::size_t technique, bool perVertex);
  // The parameter the technique's variant takes per vertex; -1 while there is none.
  int PerVertexParameter(std::size_t technique) const { return programs_[technique].perVertexParameter; }
  // Builds the variant that takes this parameter per vertex, when it is a single matrix
  // declared on its own that the fragment stage never reads; false when it cannot be.
  bool TakePerVertex(std::size_t technique, std::size_t parameter);
  // Sends the parameters that program has not seen at their current values.
  void Upload(std::size_t technique, bool perVertex);
  // Takes over the fresh effect's programs (it must be this device's), dropping its own.
  HRESULT Replace(Effect&& fresh) override;

 protected:
  void ApplyPass(const Technique& technique) override;
  void EndApply() override;

 private:
  struct LinkedProgram {
    GlProgram program;
    std::vector<GLint> locations;         // per parameter
    std::vector<std::uint64_t> uploaded;  // revision last sent, per parameter
  };
  struct TechniqueProgram {
    LinkedProgram plain;
    LinkedProgram perVertex;
    int perVertexParameter = -1;
    std::vector<bool> refused;  // parameters found unable to go per vertex
  };
  GlEffect(GlDevice* device, EffectSource source) : Effect(std::move(source)), device_(device) {}
  bool Link(const std::string& vertex, const std::string& fragment, LinkedProgram* linked, std::string* log);
  // The program's parameter locations, in this effect's order of parameters.
  void Locate(LinkedProgram* linked);
  void DeletePrograms();

  GlDevice* device_;
  std::vector<TechniqueProgram> programs_;
};

}  // namespace gfx
