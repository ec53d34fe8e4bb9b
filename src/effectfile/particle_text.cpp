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
#include <vector>

#include "effectfile/document_file.h"
#include "platform/message_sink.h"

namespace {

constexpr int kMaxSets = 65536;

// Every key the document has, in the order a set is written.
constexpr std::array<std::string_view, 35> kKeys = {
    "Tag",
    "Index",
    "UseRandom",
    "RandomVelocityMin",
    "RandomVelocityMax",
    "RandomRotateMin",
    "RandomRotateMax",
    "RandomWeightMin",
    "RandomWeightMax",
    "DistortionMin",
    "DistortionMax",
    "RandomCreate",
    "LockPosition",
    "DelayStartTime",
    "CreateRange",
    "Altitude",
    "PosOffset",
    "Velocity",
    "VelocityAttenuation",
    "Behavior",
    "Scale",
    "Color",
    "DestColor",
    "ColorAttenuation",
    "Scaling",
    "Weight",
    "Radius",
    "RotateAngle",
    "RotateRadius",
    "RandomRotateMinBH",
    "RandomRotateMaxBH",
    "PopTime",
    "Quantity",
    "TextureTag",
    "Trail",
};

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

void Line(std::string* text, const char* key, const std::string& value) {
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

// Values that carry over from one set to the next until a line sets them again.
struct Carried {
  int randomCreate = 0;
  int lockPosition = 0;
  int behavior = 0;
};

void ParseField(const std::string& key, const std::string& value, ParticleParams* p, Carried* carried) {
  BillboardParams& b = p->Billboard;
  EmissionParams& e = p->Emission;
  if (key == "UseRandom")
    b.UseRandom = value == "true";
  else if (key == "RandomVelocityMin")
    ParseVector(value, &b.RandomVelocityMin);
  else if (key == "RandomVelocityMax")
    ParseVector(value, &b.RandomVelocityMax);
  else if (key == "RandomRotateMin")
    ParseFloat(value, &b.RandomRotateValueMin);
  else if (key == "RandomRotateMax")
    ParseFloat(value, &b.RandomRotateValueMax);
  else if (key == "RandomWeightMin")
    ParseFloat(value, &b.RandomWeightMin);
  else if (key == "RandomWeightMax")
    ParseFloat(value, &b.RandomWeightMax);
  else if (key == "DistortionMin")
    ParseFloat(value, &b.DistortionMin);
  else if (key == "DistortionMax")
    ParseFloat(value, &b.DistortionMax);
  else if (key == "RandomCreate")
    ParseInt(value, &carried->randomCreate);
  else if (key == "LockPosition")
    ParseInt(value, &carried->lockPosition);
  else if (key == "DelayStartTime")
    ParseInt(value, &b.DelayStartTime);
  else if (key == "CreateRange")
    ParseFloat(value, &b.CreateRange);
  else if (key == "Altitude")
    ParseFloat(value, &b.Altitude);
  else if (key == "PosOffset")
    ParseVector(value, &b.PosOffset);
  else if (key == "Velocity")
    ParseVector(value, &b.Velocity);
  else if (key == "VelocityAttenuation")
    ParseFloat(value, &b.VelocityAttenuation);
  else if (key == "Behavior")
    ParseInt(value, &carried->behavior);
  else if (key == "Scale")
    ParseVector(value, &b.Scale);
  else if (key == "Color")
    ParseColour(value, &b.Color);
  else if (key == "DestColor")
    ParseColour(value, &b.DestColor);
  else if (key == "ColorAttenuation")
    ParseFloat(value, &b.ColorAttenuation);
  else if (key == "Scaling")
    ParseVector(value, &b.Scaling);
  else if (key == "Weight")
    ParseFloat(value, &b.Weight);
  else if (key == "Radius")
    ParseFloat(value, &e.Radius);
  else if (key == "RotateAngle")
    ParseFloat(value, &b.RotateAngle);
  else if (key == "RotateRadius")
    ParseFloat(value, &b.RotateRadius);
  else if (key == "RandomRotateMinBH")
    ParseFloat(value, &b.RandomRotateMin);
  else if (key == "RandomRotateMaxBH")
    ParseFloat(value, &b.RandomRotateMax);
  else if (key == "PopTime")
    ParseInt(value, &b.PopTime);
  else if (key == "Quantity")
    ParseInt(value, &e.Quantity);
  else if (key == "TextureTag") {
    if (!value.empty()) e.TextureTag = value;
  } else if (key == "Trail")
    b.Trail = value == "true";
  // Written into the set after every field line, known key or not.
  b.RandomCreate = carried->randomCreate;
  b.LockPosition = carried->lockPosition;
  e.Behavior = carried->behavior;
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
      const BillboardParams& b = definitions[i].Billboard;
      const EmissionParams& e = definitions[i].Emission;
      Line(&text, "Index", std::to_string(i));
      Line(&text, "UseRandom", Bool(b.UseRandom));
      Line(&text, "RandomVelocityMin", Vector(b.RandomVelocityMin));
      Line(&text, "RandomVelocityMax", Vector(b.RandomVelocityMax));
      Line(&text, "RandomRotateMin", Float(b.RandomRotateValueMin));
      Line(&text, "RandomRotateMax", Float(b.RandomRotateValueMax));
      Line(&text, "RandomWeightMin", Float(b.RandomWeightMin));
      Line(&text, "RandomWeightMax", Float(b.RandomWeightMax));
      Line(&text, "DistortionMin", Float(b.DistortionMin));
      Line(&text, "DistortionMax", Float(b.DistortionMax));
      Line(&text, "RandomCreate", std::to_string(b.RandomCreate));
      Line(&text, "LockPosition", std::to_string(b.LockPosition));
      Line(&text, "DelayStartTime", std::to_string(b.DelayStartTime));
      Line(&text, "CreateRange", Float(b.CreateRange));
      Line(&text, "Altitude", Float(b.Altitude));
      Line(&text, "PosOffset", Vector(b.PosOffset));
      Line(&text, "Velocity", Vector(b.Velocity));
      Line(&text, "VelocityAttenuation", Float(b.VelocityAttenuation));
      Line(&text, "Behavior", std::to_string(e.Behavior));
      Line(&text, "Scale", Vector(b.Scale));
      Line(&text, "Color", Colour(b.Color));
      Line(&text, "DestColor", Colour(b.DestColor));
      Line(&text, "ColorAttenuation", Float(b.ColorAttenuation));
      Line(&text, "Scaling", Vector(b.Scaling));
      Line(&text, "Weight", Float(b.Weight));
      Line(&text, "Radius", Float(e.Radius));
      Line(&text, "RotateAngle", Float(b.RotateAngle));
      Line(&text, "RotateRadius", Float(b.RotateRadius));
      Line(&text, "RandomRotateMinBH", Float(b.RandomRotateMin));
      Line(&text, "RandomRotateMaxBH", Float(b.RandomRotateMax));
      Line(&text, "PopTime", std::to_string(b.PopTime));
      Line(&text, "Quantity", std::to_string(e.Quantity));
      Line(&text, "TextureTag", e.TextureTag);
      Line(&text, "Trail", Bool(b.Trail));
    }
  }
  return text;
}

bool SaveParticleText(const EffectTable& effects, const std::string& path) {
  std::string error;
  if (WriteFileAtomically(path, ParticleText(effects), &error)) return true;
  platform::ShowMessage("警告！", "The effects were not saved. " + error);
  return false;
}

bool IsParticleTextKey(std::string_view key) {
  return std::find(kKeys.begin(), kKeys.end(), key) != kKeys.end();
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
  Carried carried;
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

bool LoadParticleText(EffectTable* table, EffectTable* editorEffects, const std::string& fileName,
                      const std::string& folder) {
  const std::string path = folder + fileName;
  try {
    // Read everything before touching the table, so a refused document changes nothing.
    if (const auto text = ReadDocumentFile(path)) {
      EffectTable merged = *table;
      MergeParticleText(*text, &merged);
      *table = std::move(merged);
    }
  } catch (const NotParticleText& e) {
    platform::ShowMessage("警告！", path + " is " + e.what());
    return false;
  } catch (const std::exception& e) {
    platform::ShowMessage("警告！", path + ": the effects could not be loaded: " + e.what());
    return false;
  }
  if (editorEffects && editorEffects != table) *editorEffects = *table;
  return true;
}
