// libFuzzer target for the .x model reader: any input is read or refused with a message, and a
// model that is read holds only what its subsets can draw.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/gfx/x_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  const auto model = gfx::ReadXFile(std::as_bytes(std::span(data, size)), &error);
  if (!model) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  if (model->subsets.size() != model->materials.size() || model->indices.size() % 3 != 0) __builtin_trap();
  std::size_t faces = 0;
  for (const gfx::XSubset& s : model->subsets) {
    if (s.faceStart != faces) __builtin_trap();
    faces += s.faceCount;
  }
  if (faces * 3 != model->indices.size()) __builtin_trap();
  for (const std::uint32_t i : model->indices)
    if (i >= model->vertices.size()) __builtin_trap();
  return 0;
}
