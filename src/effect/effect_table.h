#pragma once
// The named effects every part of the program shares: tag to the effect's definitions,
// ordered by tag.

#include <map>
#include <string>
#include <vector>

#include "effect/particle_params.h"

using EffectTable = std::map<std::string, std::vector<ParticleParams>>;
