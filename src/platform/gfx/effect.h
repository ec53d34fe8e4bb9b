#pragma once
// A compiled effect in D3DX's manner: techniques and parameters found by name, parameter
// values kept here and handed to the device when a pass begins. Only pass 0 exists.

#include <deque>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/d3dx_math.h"
#include "platform/gfx/effect_source.h"

using D3DXHANDLE = const void*;

namespace gfx {

class Effect {
 public:
  // A technique's index when the file read again no longer has it.
  static constexpr std::size_t kGone = std::numeric_limits<std::size_t>::max();

  struct Parameter {
    EffectSource::Parameter declaration;
    std::vector<float> values;  // FloatsPerElement() x count, 0 at start
    std::uint64_t revision = 0;
    bool gone = false;  // the file read again no longer declares it
  };
  struct Technique {
    std::string name;
    std::size_t index;  // in the source's techniques; kGone when it no longer has it
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

  // Takes over the code, techniques and parameters of the same file compiled again on the same
  // device, keeping this object: handles stay valid for the names the file still has (the
  // others find nothing), and parameters keep their values while their type and size do.
  // D3DERR_INVALIDCALL, changing nothing, while a pass is on or for another device's effect.
  virtual HRESULT Replace(Effect&& fresh);

  // Handles are addresses of these elements: they never move.
  const std::deque<Parameter>& Parameters() const { return parameters_; }
  const Technique* CurrentTechnique() const { return current_; }
  bool InPass() const { return inPass_; }

 protected:
  // The back end makes the technique's program current on its device and sends the parameters.
  virtual void ApplyPass(const Technique& technique) = 0;
  virtual void EndApply() = 0;
  const EffectSource& Source() const { return source_; }
  bool Begun() const { return begun_; }
  // The part of Replace every back end shares; the back end takes over the programs.
  void TakeSource(Effect&& fresh);

 private:
  Parameter* Writable(D3DXHANDLE handle);

  EffectSource source_;
  std::deque<Technique> techniques_;
  std::deque<Parameter> parameters_;
  const Technique* current_ = nullptr;
  bool begun_ = false;
  bool inPass_ = false;
};

}  // namespace gfx
