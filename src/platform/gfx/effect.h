#pragma once
// A compiled effect in D3DX's manner: techniques and parameters found by name, parameter
// values kept here and handed to the device when a pass begins. Only pass 0 exists.

#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/d3dx_math.h"
#include "platform/gfx/effect_source.h"

using D3DXHANDLE = const void*;

namespace gfx {

class Effect {
 public:
  struct Parameter {
    EffectSource::Parameter declaration;
    std::vector<float> values;  // FloatsPerElement() x count, 0 at start
    std::uint64_t revision = 0;
  };
  struct Technique {
    std::string name;
    std::size_t index;
  };

  explicit Effect(EffectSource source);
  virtual ~Effect() = default;
  Effect(const Effect&) = delete;
  Effect& operator=(const Effect&) = delete;

  // Null for an unknown name.
  D3DXHANDLE GetTechniqueByName(const char* name) const;
  D3DXHANDLE GetParameterByName(D3DXHANDLE parent, const char* name) const;

  HRESULT SetTechnique(D3DXHANDLE technique);
  HRESULT SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix);
  HRESULT SetMatrixArray(D3DXHANDLE parameter, const D3DXMATRIX* matrices, UINT count);
  HRESULT SetFloatArray(D3DXHANDLE parameter, const float* values, UINT count);
  HRESULT SetFloat(D3DXHANDLE parameter, float value) { return SetFloatArray(parameter, &value, 1); }
  HRESULT SetBool(D3DXHANDLE parameter, BOOL value);

  // One pass per technique: Begin reports 1, BeginPass accepts only pass 0.
  HRESULT Begin(UINT* passes, DWORD flags);
  HRESULT BeginPass(UINT pass);
  // Sends parameters changed inside a pass.
  HRESULT CommitChanges();
  HRESULT EndPass();
  HRESULT End();

  const std::vector<Parameter>& Parameters() const { return parameters_; }
  const Technique* CurrentTechnique() const { return current_; }
  bool InPass() const { return inPass_; }

 protected:
  // The back end makes the technique's program current on its device and sends the parameters.
  virtual void ApplyPass(const Technique& technique) = 0;
  virtual void EndApply() = 0;
  const EffectSource& Source() const { return source_; }

 private:
  Parameter* Writable(D3DXHANDLE handle);

  EffectSource source_;
  std::vector<Technique> techniques_;
  std::vector<Parameter> parameters_;
  const Technique* current_ = nullptr;
  bool begun_ = false;
  bool inPass_ = false;
};

}  // namespace gfx
