// The editor document's own JSON reader and writer, held against the JSON library: what one
// accepts the other does, with the same values; what the writer writes reads back the same.

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>

#include "effectfile/json_cursor.h"
#include "effectfile/json_writer.h"
#include "effectfile/particle_fields.h"

namespace {

std::optional<Json> CursorRead(const std::string& text, std::string* error = nullptr) {
  try {
    JsonCursor in(text);
    Json value = in.ReadValue();
    in.Finish();
    return value;
  } catch (const JsonReadError& e) {
    if (error) *error = e.what();
    return std::nullopt;
  }
}

std::optional<Json> LibraryRead(const std::string& text) {
  try {
    return Json::parse(text);
  } catch (const Json::exception&) {
    return std::nullopt;
  }
}

// Objects compared as the cursor gives them: keys sorted.
Json Sorted(const Json& value) { return Json::parse(nlohmann::json::parse(value.dump()).dump()); }

TEST(JsonTextTest, TheCursorAcceptsWhatTheLibraryAcceptsWithTheSameValues) {
  const std::string seeds[] = {
      R"({"a": [1, -2, 3.5e-3, 1E+2, 0, -0.0, 18446744073709551615, -9223372036854775808], "b": null})",
      R"(["\u00e9\ud83d\ude00\n\t\"\\\/", "日本", true, false, {}, [], [[{"x": {}}]]])",
      " \n\t{\"deep\": {\"er\": [1, {\"est\": \"\\u0000\"}]}} \r\n"};
  const std::string bad[] = {"",
                             "01",
                             "1.",
                             ".5",
                             "-",
                             "1e",
                             "+1",
                             "[1,]",
                             "{\"a\":1,}",
                             "{a: 1}",
                             "'x'",
                             "\"\x01\"",
                             "\"\\x\"",
                             "\"\\ud800\"",
                             "\"\\udc00x\"",
                             "\"\xC0\xAF\"",
                             "\"\xED\xA0\x80\"",
                             "nul",
                             "tru",
                             "[1] 2",
                             "\"open",
                             "[",
                             "{\"a\" 1}",
                             "\xEF\xBB"};
  for (const std::string& text : bad) EXPECT_FALSE(CursorRead(text)) << text;

  std::mt19937 rng(11);
  const std::string inserted = "0123456789\"[]{},:-.eE \\u\xC3\xA9";
  for (int i = 0; i < 20000; ++i) {
    std::string text = seeds[i % std::size(seeds)];
    for (int m = 1 + static_cast<int>(rng() % 3); m > 0; --m) {
      const std::size_t at = rng() % (text.size() + 1);
      if (rng() % 2 && at < text.size()) {
        text.erase(at, 1 + rng() % 3);
      } else {
        text.insert(at, 1, inserted[rng() % inserted.size()]);
      }
    }
    std::string error;
    const auto mine = CursorRead(text, &error);
    const auto library = LibraryRead(text);
    // The library keeps the last of a repeated key, which the cursor refuses.
    if (!mine && library && error.find("appears twice") != std::string::npos) continue;
    ASSERT_EQ(mine.has_value(), library.has_value()) << text;
    if (mine) {
      EXPECT_EQ(*mine, Sorted(*library)) << text;
    }
  }
}

TEST(JsonTextTest, FloatsAreTheirShortestTextAndReadBackToTheSameBits) {
  std::mt19937 rng(3);
  for (int i = 0; i < 200000; ++i) {
    std::uint32_t bits = static_cast<std::uint32_t>(rng());
    float value;
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value)) continue;
    JsonWriter out;
    out.Float(value);
    const std::string text = out.Take();
    const std::optional<float> back = NearestFloat(std::string_view(text).substr(0, text.size() - 1));
    ASSERT_TRUE(back && fields::Same(*back, value)) << text;
    EXPECT_LE(text.size(), 16u) << text;
  }
  JsonWriter out;
  out.BeginArray(JsonWriter::Layout::kLine);
  for (float value : {0.1f, -0.0f, 16777216.0f, std::numeric_limits<float>::denorm_min(), 1e10f})
    out.Float(value);
  out.Double(2.0);
  out.EndArray();
  EXPECT_EQ(out.Take(), "[0.1, -0, 16777216, 1e-45, 1e+10, 2.0]\n");
  // Too small for a float reads as a signed zero; too large is refused.
  EXPECT_TRUE(fields::Same(*NearestFloat("-1e-60"), -0.0f));
  EXPECT_TRUE(fields::Same(*NearestFloat("0.0000000000000000000000000000000000000000000000000001"), 0.0f));
  EXPECT_FALSE(NearestFloat("3.5e38"));
  EXPECT_FALSE(NearestFloat("1000000000000000000000000000000000000000"));
}

TEST(JsonTextTest, StringsAreEscapedOnlyWhereJsonNeedsItAndTextThatIsNotUtf8IsRefused) {
  const char raw[] = "q\"b\\s/\b\f\n\r\t\x01\x1f\x7f\0 é😀";
  JsonWriter out;
  out.String(std::string_view(raw, sizeof raw - 1));
  EXPECT_EQ(out.Take(), "\"q\\\"b\\\\s/\\b\\f\\n\\r\\t\\u0001\\u001f\x7f\\u0000 é😀\"\n");
  for (const char* bad : {"\xff", "\xC3", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80"}) {
    JsonWriter writer;
    EXPECT_THROW(writer.String(bad), NotUtf8) << bad;
  }
}

TEST(JsonTextTest, ValuesAreWrittenWithSortedKeysAndReadBackTheSame) {
  const Json value = Json::parse(R"({"b": [1, 2, {"y": null, "x": true}], "a": {"n": -3}, "c": "s", "d": [],
                                     "e": 1e300, "f": 18446744073709551615})");
  JsonWriter out;
  out.Value(value);
  const std::string text = out.Take();
  EXPECT_EQ(text,
            "{\n  \"a\": {\"n\": -3},\n  \"b\": [\n    1,\n    2,\n    {\"x\": true, \"y\": null}\n  ],\n"
            "  \"c\": \"s\",\n  \"d\": [],\n  \"e\": 1e+300,\n  \"f\": 18446744073709551615\n}\n");
  EXPECT_EQ(CursorRead(text), Sorted(value));
}

TEST(JsonTextTest, LineAndColumnCountLinesAndCharacters) {
  EXPECT_EQ(LineAndColumn("", 0), "line 1, column 1");
  EXPECT_EQ(LineAndColumn("ab\ncd", 4), "line 2, column 2");
  EXPECT_EQ(LineAndColumn("ab\n日本x", 9), "line 2, column 3");
  EXPECT_EQ(LineAndColumn("ab", 99), "line 1, column 3");
  try {
    JsonCursor in("[1,\n 2,\n [[[");
    in.ReadValue();
    FAIL();
  } catch (const JsonReadError& e) {
    EXPECT_EQ(LineAndColumn("[1,\n 2,\n [[[", e.Offset()), "line 3, column 5");
  }
  std::string deep(JsonCursor::kMaxDepth + 1, '[');
  EXPECT_FALSE(CursorRead(deep + std::string(deep.size(), ']')));
  deep.pop_back();
  EXPECT_TRUE(CursorRead(deep + std::string(deep.size(), ']')));
}

}  // namespace
