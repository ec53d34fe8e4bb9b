// libFuzzer target for particle.json: any input is refused with an exception or read, and what
// is read saves, reads back and saves the same bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>

#include "effectfile/particle_json.h"
#include "json_round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EffectTable loaded;
  try {
    MergeParticleJson(ParseJson(std::string(reinterpret_cast<const char*>(data), size)), &loaded);
  } catch (const std::exception&) {
    return 0;  // the editor says why and keeps its effects
  }
  // Whatever came from a JSON document fits one: the save may not refuse it, and must not
  // change on the next round.
  std::string saved;
  try {
    saved = ParticleJsonText(loaded);
  } catch (const std::exception&) {
    std::abort();
  }
  AbortUnlessJsonRoundTrips(saved);
  return 0;
}
