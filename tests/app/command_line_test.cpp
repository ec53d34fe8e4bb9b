#include "app/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

TEST(CommandLine, ValidArguments) {
  struct Case {
    std::vector<std::string> args;
    std::uint64_t frames;
    std::string prefix;
    bool help;
    std::string document = "";
    std::string convertOutput = "";
    std::string convertTo = "";
  };
  const Case cases[] = {
      {{}, 0, "", false},
      {{"--frames", "10", "effects/fire.json"}, 10, "", false, "effects/fire.json"},
      {{"particle.txt", "--screenshot", "out/p"}, 0, "out/p", false, "particle.txt"},
      {{"--frames", "60", "--screenshot", "out/p"}, 60, "out/p", false},
      {{"--screenshot", "out/p", "--frames", "60"}, 60, "out/p", false},
      {{"--help"}, 0, "", true},
      {{"-h"}, 0, "", true},
      {{"--convert", "out.effects.json", "particle.txt"}, 0, "", false, "particle.txt", "out.effects.json"},
      {{"a.json", "--to", "text", "--convert", "b"}, 0, "", false, "a.json", "b", "text"},
  };
  for (const Case& c : cases) {
    std::string error;
    const auto options = CommandLine::Parse(c.args, &error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->frames, c.frames);
    EXPECT_EQ(options->screenshotPrefix, c.prefix);
    EXPECT_EQ(options->help, c.help);
    EXPECT_EQ(options->document, c.document);
    EXPECT_EQ(options->convertOutput, c.convertOutput);
    EXPECT_EQ(options->convertTo, c.convertTo);
    EXPECT_FALSE(options->seed) << "without --seed the run is not seeded";
  }
  std::string error;
  const auto seeded = CommandLine::Parse({"--seed", "4294967295", "--frames", "5"}, &error);
  ASSERT_TRUE(seeded) << error;
  EXPECT_EQ(seeded->seed, 4294967295u);
  EXPECT_EQ(seeded->frames, 5u);
  const auto stats = CommandLine::Parse({"--frames", "150", "--stats", "out/stats.jsonl", "a.json"}, &error);
  ASSERT_TRUE(stats) << error;
  EXPECT_EQ(stats->statsPath, "out/stats.jsonl");
  EXPECT_EQ(stats->document, "a.json");
  EXPECT_EQ(stats->frames, 150u);
  EXPECT_FALSE(stats->paused) << "the preview plays unless asked";
  const auto paused = CommandLine::Parse({"--paused", "a.json"}, &error);
  ASSERT_TRUE(paused) << error;
  EXPECT_TRUE(paused->paused);
  EXPECT_EQ(paused->document, "a.json");
  EXPECT_FALSE(stats->noWatch) << "files are watched unless asked otherwise";
  const auto unwatched = CommandLine::Parse({"--no-watch", "--frames", "3"}, &error);
  ASSERT_TRUE(unwatched) << error;
  EXPECT_TRUE(unwatched->noWatch);
  EXPECT_EQ(unwatched->frames, 3u);
}

TEST(CommandLine, ErrorsNameTheProblem) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> mentions;  // what the message must contain
  };
  const Case cases[] = {
      {{"--bogus"}, {"--bogus"}},
      {{"a.json", "extra.txt"}, {"a.json", "extra.txt"}},
      {{"--frames"}, {"--frames"}},
      {{"--frames", "0"}, {"--frames", "0"}},
      {{"--frames", "-3"}, {"--frames", "-3"}},
      {{"--frames", "12x"}, {"--frames", "12x"}},
      {{"--frames", "18446744073709551616"}, {"--frames", "18446744073709551616"}},  // 2^64 overflows
      {{"--screenshot"}, {"--screenshot"}},
      {{"--screenshot", ""}, {"--screenshot"}},
      {{"--convert"}, {"--convert"}},
      {{"--convert", "out.json"}, {"--convert", "DOCUMENT"}},
      {{"--convert", "out.json", "--frames", "5", "in.json"}, {"--convert", "--frames"}},
      {{"--convert", "out.json", "--screenshot", "p", "in.json"}, {"--convert", "--screenshot"}},
      {{"--convert", "o", "--to", "yaml", "in.json"}, {"--to", "yaml", "editor, json or text"}},
      {{"--to", "json", "in.json"}, {"--to", "--convert"}},
      {{"--stats"}, {"--stats"}},
      {{"--stats", ""}, {"--stats"}},
      {{"--convert", "out.json", "--stats", "s.jsonl", "in.json"}, {"--convert", "--stats"}},
      {{"--convert", "out.json", "--paused", "in.json"}, {"--convert", "--paused"}},
      {{"--convert", "out.json", "--no-watch", "in.json"}, {"--convert", "--no-watch"}},
      {{"--seed"}, {"--seed"}},
      {{"--seed", "-1"}, {"--seed", "-1"}},
      {{"--seed", "4294967296"}, {"--seed", "4294967296"}},  // 2^32 overflows
  };
  for (const Case& c : cases) {
    std::string error, joined;
    for (const auto& a : c.args) joined += "[" + a + "]";
    EXPECT_FALSE(CommandLine::Parse(c.args, &error)) << joined;
    EXPECT_FALSE(error.empty()) << joined;
    for (const auto& word : c.mentions)
      EXPECT_NE(error.find(word), std::string::npos) << joined << ": " << error;
  }
}

}  // namespace
