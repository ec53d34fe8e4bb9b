#include "platform/gfx/effect.h"

#include <algorithm>
#include <cstring>

namespace gfx {

Effect::Effect(EffectSource source) : source_(std::move(source)) {
  for (std::size_t i = 0; i < source_.techniques.size(); ++i)
    techniques_.push_back({source_.techniques[i].name, i});
  for (const auto& declaration : source_.parameters) {
    Parameter parameter{declaration, {}, 0};
    parameter.values.assign(std::size_t{declaration.FloatsPerElement()} * declaration.count, 0.0f);
    parameters_.push_back(std::move(parameter));
  }
  if (!techniques_.empty()) current_ = &techniques_.front();
}

D3DXHANDLE Effect::GetTechniqueByName(const char* name) const {
  if (!name) return nullptr;
  for (const auto& t : techniques_)
    if (t.index != kGone && t.name == name) return &t;
  return nullptr;
}

D3DXHANDLE Effect::GetParameterByName(D3DXHANDLE parent, const char* name) const {
  if (parent || !name) return nullptr;  // effects have no structured parameters
  for (const auto& p : parameters_)
    if (!p.gone && p.declaration.name == name) return &p;
  return nullptr;
}

Effect::Parameter* Effect::Writable(D3DXHANDLE handle) {
  for (auto& p : parameters_)
    if (&p == handle) return p.gone ? nullptr : &p;
  return nullptr;
}

HRESULT Effect::Replace(Effect&& fresh) {
  if (begun_ || &fresh == this) return D3DERR_INVALIDCALL;
  TakeSource(std::move(fresh));
  return S_OK;
}

void Effect::TakeSource(Effect&& fresh) {
  source_ = std::move(fresh.source_);
  // Elements are matched by name and never removed, so a handle given out before still
  // names the same technique or parameter, or one that is gone.
  for (auto& t : techniques_) t.index = kGone;
  for (std::size_t i = 0; i < source_.techniques.size(); ++i) {
    const std::string& name = source_.techniques[i].name;
    const auto same = std::find_if(techniques_.begin(), techniques_.end(),
                                   [&](const Technique& t) { return t.index == kGone && t.name == name; });
    if (same != techniques_.end()) {
      same->index = i;
    } else {
      techniques_.push_back({name, i});
    }
  }
  if (!current_ || current_->index == kGone) {
    current_ = nullptr;
    for (const auto& t : techniques_)
      if (t.index != kGone && (!current_ || t.index < current_->index)) current_ = &t;
  }

  for (auto& p : parameters_) p.gone = true;
  for (const auto& declaration : source_.parameters) {
    const auto same = std::find_if(parameters_.begin(), parameters_.end(), [&](const Parameter& p) {
      return p.gone && p.declaration.name == declaration.name;
    });
    Parameter* p = same != parameters_.end() ? &*same : &parameters_.emplace_back();
    const std::size_t size = std::size_t{declaration.FloatsPerElement()} * declaration.count;
    if (p->declaration.type != declaration.type || p->values.size() != size) p->values.assign(size, 0.0f);
    p->declaration = declaration;
    p->gone = false;
    ++p->revision;  // the new programs have seen nothing yet
  }
}

HRESULT Effect::SetTechnique(D3DXHANDLE technique) {
  for (const auto& t : techniques_)
    if (&t == technique && t.index != kGone) {
      current_ = &t;
      return S_OK;
    }
  return D3DERR_INVALIDCALL;
}

HRESULT Effect::SetFloatArray(D3DXHANDLE handle, const float* values, UINT count) {
  Parameter* p = Writable(handle);
  if (!p || !values) return D3DERR_INVALIDCALL;
  const std::size_t n = std::min<std::size_t>(count, p->values.size());
  if (std::memcmp(p->values.data(), values, n * sizeof(float)) != 0) {
    std::copy_n(values, n, p->values.begin());
    ++p->revision;
  }
  return S_OK;
}

HRESULT Effect::SetMatrix(D3DXHANDLE handle, const D3DXMATRIX* matrix) {
  if (!matrix) return D3DERR_INVALIDCALL;
  return SetFloatArray(handle, &matrix->m[0][0], 16);
}

HRESULT Effect::SetMatrixArray(D3DXHANDLE handle, const D3DXMATRIX* matrices, UINT count) {
  if (!matrices) return D3DERR_INVALIDCALL;
  return SetFloatArray(handle, &matrices[0].m[0][0], count * 16);
}

HRESULT Effect::SetBool(D3DXHANDLE handle, BOOL value) {
  const float f = value ? 1.0f : 0.0f;
  return SetFloatArray(handle, &f, 1);
}

HRESULT Effect::Begin(UINT* passes, DWORD) {
  if (begun_ || !current_) return D3DERR_INVALIDCALL;
  begun_ = true;
  if (passes) *passes = 1;
  return S_OK;
}

HRESULT Effect::BeginPass(UINT pass) {
  if (!begun_ || inPass_ || pass != 0) return D3DERR_INVALIDCALL;
  inPass_ = true;
  ApplyPass(*current_);
  return S_OK;
}

HRESULT Effect::CommitChanges() {
  if (!inPass_) return D3DERR_INVALIDCALL;
  ApplyPass(*current_);
  return S_OK;
}

HRESULT Effect::EndPass() {
  if (!inPass_) return D3DERR_INVALIDCALL;
  inPass_ = false;
  return S_OK;
}

HRESULT Effect::End() {
  if (!begun_ || inPass_) return D3DERR_INVALIDCALL;
  begun_ = false;
  EndApply();
  return S_OK;
}

}  // namespace gfx
