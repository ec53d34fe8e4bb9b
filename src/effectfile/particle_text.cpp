#include "effectfile/particle_text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <stdexcept>
#include <string_view>
#include <variant>
#include <vector>

#include "effectfile/document_file.h"
#include "platform/message_sink.h"

namespace {

constexpr int kMaxSets = 65536;

// ---- writing ----------------------------------------------------------------------------------

// A stream's default float format: six significant digits, the shorter form (printf's "%g"),
// without a stream and its locale per number.
std::string Float(float value) {
  std::array<char, 32> buffer;
  char* end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), double{value},
                            std::chars_format::general, 6)
                  .ptr;
  return std::string(buffer.data(), end);
}

std::string Vector(const D3DXVECTOR3& v) {
  return Float(v.x) + " , " + Float(v.y) + " , " + Float(v.z);
}

std::string Colour(const D3DXCOLOR& c) {
  return Float(c.r) + " , " + Float(c.g) + " , " + Float(c.b) + " , " + Float(c.a);
}

std::string Bool(bool value) {
  return value ? "true" : "false";
}

void Line(std::string* text, std::string_view key, const std::string& value) {
  *text += key;
  *text += " : ";
  *text += value;
  *text += '\n';
}

// ---- reading ----------------------------------------------------------------------------------

std::vector<std::string> Pieces(const std::string& value) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = value.find(',', start);
    pieces.push_back(value.substr(start, comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return pieces;
}

// The standard conversions, with errors that name what failed the way users of the
// document know them ("invalid stof argument", "stoi argument out of range").
int StoI(const std::string& piece) {
  try {
    return std::stoi(piece);
  } catch (const std::invalid_argument&) {
    throw std::invalid_argument("invalid stoi argument");
  } catch (const std::out_of_range&) {
    throw std::out_of_range("stoi argument out of range");
  }
}

// Like std::stof, except that a value too small for a normal float reads as the subnormal or
// zero it rounds to: the writer's six digits of a float near the smallest normal one can
// fall just below it, and what the writer writes must read back.
float StoF(const std::string& piece) {
  char* end = nullptr;
  errno = 0;
  const float value = std::strtof(piece.c_str(), &end);
  if (end == piece.c_str()) throw std::invalid_argument("invalid stof argument");
  if (errno == ERANGE && std::isinf(value)) throw std::out_of_range("stof argument out of range");
  return value;
}

void ParseInt(const std::string& value, int* field) {
  for (const auto& piece : Pieces(value)) *field = StoI(piece);
}

void ParseFloat(const std::string& value, float* field) {
  for (const auto& piece : Pieces(value)) *field = StoF(piece);
}

// Exactly `count` pieces set the components; any other count leaves them as they were.
template <std::size_t N>
void ParseComponents(const std::string& value, std::array<float*, N> components) {
  const auto pieces = Pieces(value);
  std::array<float, N> parsed{};
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const float f = StoF(pieces[i]);
    if (i < N) parsed[i] = f;
  }
  if (pieces.size() != N) return;
  for (std::size_t i = 0; i < N; ++i) *components[i] = parsed[i];
}

void ParseVector(const std::string& value, D3DXVECTOR3* v) {
  ParseComponents<3>(value, {&v->x, &v->y, &v->z});
}

void ParseColour(const std::string& value, D3DXCOLOR* c) {
  ParseComponents<4>(value, {&c->r, &c->g, &c->b, &c->a});
}

// ---- the fields of a set ------------------------------------------------------------------------

// Where a line's value goes in a set, by the kind of value it is.
using FieldRef = std::variant<bool*, int*, float*, D3DXVECTOR3*, D3DXCOLOR*, std::string*>;

// "RandomCreate", "LockPosition" and "Behavior" are read into values that carry over from one
// set to the next until a line sets them again, and are written into the set after every line.
constexpr int kNotCarried = -1;
using Carried = std::array<int, 3>;

struct Field {
  std::string_view key;
  FieldRef (*at)(ParticleParams&);
  int carried = kNotCarried;
};

// Every field line of a set, in the order it is written.
constexpr Field kFields[] = {
    {"UseRandom", [](ParticleParams& p) -> FieldRef { return &p.Billboard.UseRandom; }},
    {"RandomVelocityMin", [](ParticleParams& p) -> FieldRef { return &p.Billboard.RandomVelocityMin; }},
    {"RandomVelocityMax", [](ParticleParams& p) -> FieldRef { return &p.Billboard.RandomVelocityMax; }},
    {"RandomRotateMin", [](ParticleParams& p) -> FieldRef { return &p.Billboard.RandomRotateValueMin; }},
    {"RandomRotateMax", [](ParticleParams& p) -> FieldRef { return &p.Billboard.RandomRotateValueMax; }},
    {"RandomWeightMin", [](ParticleParams& p) -> FieldRef { return &p.Billboard.RandomWeightMin; }},
    {"RandomWeightMax", [](ParticleParams& p) -> FieldRef { return &p.Billboard.RandomWeightMax; }},
    {"DistortionMin", [](ParticleParams& p) -> FieldRef { return &p.Billboard.DistortionMin; }},
    {"DistortionMax", [](ParticleParams& p) -> FieldRef { return &p.Billboard.DistortionMax; }},
    {"RandomCreate", [](ParticleParams& p) -> FieldRef { return &p.Billboard.RandomCreate; }, 0},
    {"LockPosition", [](ParticleParams& p) -> FieldRef { return &p.Billboard.LockPosition; }, 1},
    {"DelayStartTime", [](ParticleParams& p) -> FieldRef { return &p.Billboard.DelayStartTime; }},
    {"CreateRange", [](ParticleParams& p) -> FieldRef { return &p.Billboard.CreateRange; }},
    {"Altitude", [](ParticleParams& p) -> FieldRef { return &p.Billboard.Altitude; }},
    {"PosOffset", [](ParticleParams& p) -> FieldRef { return &p.Billboard.PosOffset; }},
    {"Velocity", [](ParticleParams& p) -> FieldRef { return &p.Billboard.Velocity; }},
    {"VelocityAttenuation", [](ParticleParams& p) -> FieldRef { return &p.Billboard.VelocityAttenuation; }},
    {"Behavior", [](ParticleParams& p) -> FieldRef { return &p.Emission.Behavior; }, 2},
    {"Scale", [](ParticleParams& p) -> FieldRef { return &p.Billboard.Scale; }},
    {"Color", [](ParticleParams& p) -> FieldRef { return &p.Billboard.Color; }},
    {"DestColor", [](ParticleParams& p) -> FieldRef { return &p.Billboard.DestColor; }},
    {"ColorAttenuation", [](ParticleParams& p) -> FieldRef { return &p.Billboard.ColorAttenuation; }},
    {"Scaling", [](ParticleParams& p) -> FieldRef { return &p.Billboard.Scaling; }},
    {"Weight", [](ParticleParams& p) -> FieldRef { return &p.Billboard.Weight; }},
    {"Radius", [](ParticleParams& p) -> FieldRef { return &p.Emission.Radius; }},
    {"RotateAngle", [](ParticleParams& p) -> FieldRef { return &p.Billboard.RotateAngle; }},
    {"RotateRadius", [](ParticleParams& p) -> FieldRef { return &p.Billboard.RotateRadius; }},
    {"RandomRotateMinBH", [](ParticleParams& p) -> FieldRef { return &p.Billboard.RandomRotateMin; }},
    {"RandomRotateMaxBH", [](ParticleParams& p) -> FieldRef { return &p.Billboard.RandomRotateMax; }},
    {"PopTime", [](ParticleParams& p) -> FieldRef { return &p.Billboard.PopTime; }},
    {"Quantity", [](ParticleParams& p) -> FieldRef { return &p.Emission.Quantity; }},
    {"TextureTag", [](ParticleParams& p) -> FieldRef { return &p.Emission.TextureTag; }},
    {"Trail", [](ParticleParams& p) -> FieldRef { return &p.Billboard.Trail; }},
};

const Field* FindField(std::string_view key) {
  const auto it =
      std::find_if(std::begin(kFields), std::end(kFields), [&](const Field& f) { return f.key == key; });
  return it == std::end(kFields) ? nullptr : it;
}

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

std::string FieldText(const FieldRef& field) {
  return std::visit(
      Overloaded{[](const bool* v) { return Bool(*v); }, [](const int* v) { return std::to_string(*v); },
                 [](const float* v) { return Float(*v); }, [](const D3DXVECTOR3* v) { return Vector(*v); },
                 [](const D3DXCOLOR* v) { return Colour(*v); }, [](const std::string* v) { return *v; }},
      field);
}

void ParseInto(const FieldRef& field, const std::string& value) {
  std::visit(
      Overloaded{[&](bool* v) { *v = value == "true"; }, [&](int* v) { ParseInt(value, v); },
                 [&](float* v) { ParseFloat(value, v); }, [&](D3DXVECTOR3* v) { ParseVector(value, v); },
                 [&](D3DXCOLOR* v) { ParseColour(value, v); },
                 [&](std::string* v) {
                   if (!value.empty()) *v = value;
                 }},
      field);
}

void ParseField(const std::string& key, const std::string& value, ParticleParams* p, Carried* carried) {
  if (const Field* field = FindField(key)) {
    if (field->carried == kNotCarried) {
      ParseInto(field->at(*p), value);
    } else {
      ParseInt(value, &(*carried)[static_cast<std::size_t>(field->carried)]);
    }
  }
  // Written into the set after every field line, known key or not.
  for (const Field& field : kFields)
    if (field.carried != kNotCarried)
      *std::get<int*>(field.at(*p)) = (*carried)[static_cast<std::size_t>(field.carried)];
}

bool IsWhitespace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string WithoutWhitespace(std::string_view line) {
  std::string stripped;
  for (char c : line)
    if (!IsWhitespace(c)) stripped += c;
  return stripped;
}

// The reader skips what it does not know, so a file of anything else would read as a document
// without effects. Refuses a text without a "Tag" line, or with more foreign lines than lines
// of the document's keys, as the reader sees them (whitespace gone, the key before the first
// colon); blank lines count for neither.
void CheckIsParticleText(std::string_view text) {
  std::size_t lines = 0, foreign = 0;
  bool tagged = false;
  std::string key;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    key.clear();
    bool blank = true, colon = false;
    for (char c : line) {
      if (IsWhitespace(c)) continue;
      blank = false;
      if (c == ':') {
        colon = true;
        break;
      }
      key += c;
    }
    if (blank) continue;
    ++lines;
    if (colon && key == "Tag") tagged = true;
    if (!colon || !IsParticleTextKey(key)) ++foreign;
  }
  if (!tagged) throw NotParticleText("not a particle text document: no \"Tag\" line");
  if (foreign * 2 > lines)
    throw NotParticleText("not a particle text document: " + std::to_string(foreign) + " of " +
                          std::to_string(lines) + " lines are not particle text lines");
}

// Default sets fill the gap when an "Index" line names a set past the end of its list. A few
// bytes could otherwise ask for a great many of them, every one written out whole by the next
// save: a gap takes no more sets than the lines after it could fill, and all the gaps of a
// document together no more than it has lines.
class Gaps {
 public:
  explicit Gaps(std::size_t lines) : room_(lines) {}

  // Makes set `index` of the list exist and returns the set the following lines go to: that
  // one, or the last one made when its gap was cut short.
  std::size_t Reach(std::vector<ParticleParams>* list, std::size_t index, std::size_t linesAfter) {
    if (index < list->size()) return index;
    const std::size_t gap = std::min({index - list->size(), linesAfter, room_});
    room_ -= gap;
    list->resize(list->size() + gap + 1);
    return list->size() - 1;
  }

 private:
  std::size_t room_;
};

}  // namespace

// ---- document -------------------------------------------------------------------------------------

std::string ParticleText(const EffectTable& effects) {
  std::string text;
  for (const auto& [tag, definitions] : effects) {
    Line(&text, "Tag", tag);
    for (std::size_t i = 0; i < definitions.size(); ++i) {
      Line(&text, "Index", std::to_string(i));
      // The fields are only read here; the table's accessors serve reading and writing alike.
      auto& set = const_cast<ParticleParams&>(definitions[i]);
      for (const Field& field : kFields) Line(&text, field.key, FieldText(field.at(set)));
    }
  }
  return text;
}

bool SaveParticleText(const EffectTable& effects, const std::string& path) {
  std::string error;
  if (WriteFileAtomically(path, ParticleText(effects), &error)) return true;
  platform::ShowMessage(platform::kWarningCaption, "The effects were not saved. " + error);
  return false;
}

bool IsParticleTextKey(std::string_view key) {
  return key == "Tag" || key == "Index" || FindField(key) != nullptr;
}

void MergeParticleText(std::istream& in, EffectTable* table) {
  MergeParticleText(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()),
                    table);
}

void MergeParticleText(std::string_view text, EffectTable* table) {
  CheckIsParticleText(text);
  const std::size_t lineCount = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) +
                                (text.empty() || text.back() == '\n' ? 0 : 1);
  // Every effect a "Tag" line names, the empty tag too. Lines before the first "Tag" line are
  // read, so that their numbers are checked and their carried values count, then dropped.
  EffectTable working;
  std::vector<ParticleParams> untagged;
  std::vector<ParticleParams>* list = &untagged;
  Gaps gaps(lineCount);
  int index = 0;
  Carried carried{};
  std::size_t linesRead = 0;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string line = WithoutWhitespace(text.substr(start, end - start));
    start = end + 1;
    const std::size_t linesAfter = lineCount - ++linesRead;
    const std::size_t colon = line.find(':');
    const std::string key = colon == std::string::npos ? std::string() : line.substr(0, colon);
    const std::string value = colon == std::string::npos ? std::string() : line.substr(colon + 1);
    if (key == "Tag") {
      list = &working[value];
    } else if (key == "Index") {
      ParseInt(value, &index);
      // A negative index reads as the first set rather than as a list of minus-one sets; an
      // absurd one is refused rather than cut short.
      if (index < 0) index = 0;
      if (index >= kMaxSets)
        throw std::out_of_range("Index " + std::to_string(index) + " is beyond the sets an effect may have");
      index = static_cast<int>(gaps.Reach(list, static_cast<std::size_t>(index), linesAfter));
      list->resize(static_cast<std::size_t>(index) + 1);
    } else {
      index = static_cast<int>(gaps.Reach(list, static_cast<std::size_t>(index), linesAfter));
      ParticleParams& set = (*list)[static_cast<std::size_t>(index)];
      set.Emission.Index = index;
      ParseField(key, value, &set, &carried);
    }
  }
  // A named effect without sets arrives as an empty list; one named twice, once.
  for (auto& [tag, sets] : working) (*table)[tag] = std::move(sets);
}

DocumentError LoadParticleText(EffectTable* table, const std::string& path) {
  try {
    // The merge reads the whole document before it touches the table.
    if (const auto text = ReadDocumentFile(path)) MergeParticleText(*text, table);
    return std::nullopt;
  } catch (const NotParticleText& e) {
    return path + " is " + e.what();
  } catch (const std::exception& e) {
    return path + ": the effects could not be loaded: " + e.what();
  }
}
