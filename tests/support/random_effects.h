#pragma once
// Random effects and editor documents for the document tests, made by walking the same field
// tables the documents are read and written by, with the values that trouble writers: infinities,
// NaN, -0, subnormals, the ends of int, quotes, control characters, NUL and non-ASCII text, and
// unknown keys at every level.

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "effectfile/editor_document.h"
#include "effectfile/particle_fields.h"

class RandomEffects {
 public:
  explicit RandomEffects(unsigned seed, bool finite = false) : rng_(seed), finite_(finite) {}

  std::size_t Below(std::size_t n) { return n == 0 ? 0 : rng_() % n; }
  bool Chance(int percent) { return static_cast<int>(Below(100)) < percent; }

  float Float() {
    using L = std::numeric_limits<float>;
    const float special[] = {0.0f, -0.0f, 0.1f, 1.0f, -2.5f, L::denorm_min(), L::min(), L::max(), -L::max(),
                             L::infinity(), -L::infinity(), L::quiet_NaN()};
    float value = 0.0f;
    switch (Below(3)) {
      case 0:
        value = special[Below(std::size(special))];
        break;
      case 1:
        value = std::uniform_real_distribution<float>(-1000.0f, 1000.0f)(rng_);
        break;
      default: {
        const std::uint32_t bits = static_cast<std::uint32_t>(rng_());
        std::memcpy(&value, &bits, sizeof value);
      }
    }
    return finite_ && !std::isfinite(value) ? 0.5f : value;
  }

  int Int() {
    const int special[] = {0, 1, -1, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()};
    return Chance(30) ? special[Below(std::size(special))] : static_cast<int>(rng_());
  }

  std::string String() {
    static const std::string kOdd[] = {"",           "Fire",           "with \"quotes\"", "back\\slash/",
                                       "tab\tand\n", "\x01\x1f\x7f",   "日本語の煙",      "😀 emoji",
                                       "FLARE",      std::string("a\0b", 3)};
    return kOdd[Below(std::size(kOdd))];
  }

  // Fills every field the tables list, lists with zero to three elements.
  template <typename T>
  void Fill(T* value) {
    if constexpr (std::is_same_v<T, bool>) {
      *value = Chance(50);
    } else if constexpr (std::is_same_v<T, int>) {
      *value = Int();
    } else if constexpr (std::is_same_v<T, float>) {
      *value = Float();
    } else if constexpr (std::is_same_v<T, std::string>) {
      *value = String();
    } else if constexpr (fields::IsRecord<T>) {
      for (const auto& field : fields::Record<T>::kFields)
        fields::Visit(field, *value, [&](auto& member) { Fill(&member); });
    } else {  // std::array or std::vector
      if constexpr (requires { value->resize(0); }) value->resize(Below(4));
      for (auto& element : *value) Fill(&element);
    }
  }

  ParticleParams Definition() {
    ParticleParams p;
    Fill(&p);
    return p;
  }

  EffectTable Table(int effects) {
    EffectTable table;
    for (int e = 0; e < effects; ++e) {
      auto& definitions = table["Effect" + std::to_string(e) + String()];
      definitions.resize(Below(4));
      for (auto& p : definitions) p = Definition();
    }
    return table;
  }

  // An unknown value: scalars, or containers of them, objects' keys sorted as a read gives them.
  Json Unknown(int depth = 0) {
    switch (Below(depth > 1 ? 6 : 8)) {
      case 0:
        return nullptr;
      case 1:
        return Chance(50);
      case 2:
        return static_cast<std::int64_t>(rng_()) - (std::int64_t{1} << 31);
      case 3:
        return std::uint64_t{rng_()} << 32 | rng_();
      case 4:
        return std::ldexp(std::uniform_real_distribution<double>(-1.0, 1.0)(rng_),
                          static_cast<int>(Below(600)) - 300);
      case 5:
        return String();
      case 6: {
        Json array = Json::array();
        for (std::size_t i = Below(4); i > 0; --i) array.push_back(Unknown(depth + 1));
        return array;
      }
      default:
        return UnknownKeys(depth + 1);
    }
  }

  // An object of one to three keys no version of the document knows, in byte order.
  Json UnknownKeys(int depth = 0) {
    std::map<std::string, Json> keys;
    for (std::size_t i = 1 + Below(3); i > 0; --i)
      keys["Future" + String() + std::to_string(Below(9))] = Unknown(depth);
    Json object = Json::object();
    for (auto& [key, value] : keys) object[key] = std::move(value);
    return object;
  }

  // Unknown keys for a value as a read keeps them: known keys (with the unknown keys of their
  // records and lists) first in the table's order, then the unknown ones; null when none.
  template <typename T>
  Json UnknownFor(const T& value) {
    if constexpr (fields::IsRecord<T>) {
      Json mirror = Json::object();
      for (const auto& field : fields::Record<T>::kFields) {
        fields::Visit(field, value, [&](const auto& member) {
          Json nested = UnknownFor(member);
          if (!nested.is_null()) mirror[std::string(field.Key)] = std::move(nested);
        });
      }
      if (Chance(15)) mirror.update(UnknownKeys());
      return mirror.empty() ? Json() : mirror;
    } else if constexpr (requires { value.resize(0); }) {
      Json mirror = Json::array();
      for (const auto& element : value) {
        Json nested = UnknownFor(element);
        mirror.push_back(nested.is_null() ? Json::object() : std::move(nested));
      }
      while (!mirror.empty() && mirror.back().empty()) mirror.erase(mirror.size() - 1);
      return mirror.empty() ? Json() : mirror;
    } else {
      return Json();
    }
  }

  EditorDocument Document() {
    EditorDocument document;
    for (std::size_t e = Below(4); e > 0; --e) {
      EditorEffect& effect = document.Effects.emplace_back();
      effect.Tag = String();
      Fill(&effect.Tracks);
      for (std::size_t d = Below(4); d > 0; --d) {
        effect.Definitions.push_back(Definition());
        const Json unknown = UnknownFor(effect.Definitions.back());
        if (unknown.is_null()) continue;
        effect.DefinitionUnknown.resize(effect.Definitions.size() - 1, Json::object());
        effect.DefinitionUnknown.push_back(unknown);
      }
      if (const Json tracks = UnknownFor(effect.Tracks); !tracks.is_null()) effect.Unknown["Tracks"] = tracks;
      if (Chance(30)) effect.Unknown.update(UnknownKeys());
    }
    document.EmissionInterval = Int();
    document.SelectedTag = String();
    document.SelectedIndex = Int();
    document.ElementType = Int();
    document.PlotChannel = Int();
    if (Chance(30)) document.Unknown = UnknownKeys();
    return document;
  }

 private:
  std::mt19937 rng_;
  bool finite_;
};
