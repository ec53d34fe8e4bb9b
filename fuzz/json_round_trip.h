#pragma once
// The check both document targets end with: a saved JSON document reads back and saves the
// same bytes. Anything else is a finding.

#include <cstdlib>
#include <exception>
#include <string>

#include "effectfile/particle_json.h"

inline void AbortUnlessJsonRoundTrips(const std::string& saved) {
  try {
    EffectTable again;
    MergeParticleJson(ParseJson(saved), &again);
    if (ParticleJsonText(again) != saved) std::abort();
  } catch (const std::exception&) {
    std::abort();
  }
}
