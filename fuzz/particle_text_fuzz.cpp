// libFuzzer target for particle.txt: any input is refused with an exception or read, and what
// is read saves, reads back and saves the same bytes; saved as JSON it does the same, unless
// the JSON writer refuses what JSON cannot hold.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <sstream>
#include <stdexcept>
#include <string>

#include "effectfile/particle_json.h"
#include "json_round_trip.h"
#include "effectfile/particle_text.h"

namespace {

EffectTable ReadText(const std::string& text) {
  std::istringstream in(text);
  EffectTable table;
  MergeParticleText(in, &table);
  return table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EffectTable loaded;
  try {
    loaded = ReadText(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const std::exception&) {
    return 0;  // the editor says why and keeps its effects
  }
  try {
    const std::string saved = ParticleText(loaded);
    if (ParticleText(ReadText(saved)) != saved) std::abort();
  } catch (const std::exception&) {
    std::abort();
  }
  std::string json;
  try {
    json = ParticleJsonText(loaded);
  } catch (const Json::type_error& e) {
    if (e.id != 316) std::abort();  // a tag that is not UTF-8
    return 0;
  } catch (const std::domain_error&) {
    return 0;  // an infinity or a NaN
  }
  AbortUnlessJsonRoundTrips(json);
  return 0;
}
