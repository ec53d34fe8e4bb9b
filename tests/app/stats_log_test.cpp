// --stats: a JSON line for each second the figures close, written as it closes; a file that
// cannot be opened is refused, by the log and by the real program at start.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/stats_log.h"
#include "resource/json_reader.h"
#include "support/source_tree.h"
#include "support/temp_folder.h"

namespace {

std::vector<std::string> LinesOf(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

const char* const kKeys[] = {"second",    "fps",      "steps_per_s", "realtime",       "frame_ms",
                             "update_ms", "draw_ms",  "draws",       "batches",        "particles",
                             "trails",    "emitters", "objects",     "mesh_particles", "billboard_particles"};

class StatsLogTest : public TempFolderTest {};

TEST_F(StatsLogTest, WritesALineForEachClosedSecondThatReadsAsJson) {
  std::string error;
  const std::string path = Path("stats.jsonl");
  auto log = StatsLog::Open(path, &error);
  ASSERT_TRUE(log) << error;
  FrameFigures figures;
  log->Frame(figures);  // no second closed yet
  figures.secondsMeasured = 1;
  figures.framesPerSecond = 59.5;
  figures.stepsPerSecond = 62.5;
  figures.billboardParticles = 400;
  figures.meshParticles = 20;
  figures.trails = 400;
  figures.emitters = 3;
  figures.updateMs = 0.25;
  log->Frame(figures);
  log->Frame(figures);  // the same second again: nothing more
  // Each line is on disk as soon as it is written.
  ASSERT_EQ(LinesOf(path).size(), 1u);
  figures.secondsMeasured = 2;
  figures.realtime = 0.5;
  log->Frame(figures);

  const std::vector<std::string> lines = LinesOf(path);
  ASSERT_EQ(lines.size(), 2u);
  for (const std::string& line : lines) {
    const Json object = Json::parse(line);
    for (const char* key : kKeys) EXPECT_TRUE(object.contains(key) && object[key].is_number()) << key;
  }
  const Json first = Json::parse(lines[0]);
  EXPECT_EQ(first["particles"], 420);
  EXPECT_EQ(first["trails"], 400);
  EXPECT_DOUBLE_EQ(first["fps"].get<double>(), 59.5);
  EXPECT_DOUBLE_EQ(first["update_ms"].get<double>(), 0.25);
  EXPECT_DOUBLE_EQ(Json::parse(lines[1])["realtime"].get<double>(), 0.5);
}

TEST_F(StatsLogTest, AFileThatCannotBeOpenedIsRefusedWithItsReason) {
  std::string error;
  EXPECT_FALSE(StatsLog::Open(Path("no-such-folder/stats.jsonl"), &error));
  EXPECT_NE(error.find("no-such-folder/stats.jsonl"), std::string::npos) << error;
  EXPECT_NE(error.find("No such file"), std::string::npos) << error;
  error.clear();
  EXPECT_FALSE(StatsLog::Open(Dir().string(), &error)) << "a folder";
  EXPECT_FALSE(error.empty());
}

// ---- the real program ---------------------------------------------------------------------

int RunEditor(const std::string& arguments, std::string* output) {
  const std::string command = "cd '" + std::string(SourceDir()) + "' && SDL_AUDIODRIVER=dummy '" +
                              EditorBinary() + "' " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe)) *output += buffer;
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(StatsLogTest, TheProgramWritesPlausibleFiguresEverySecond) {
  KeepIfFailed();
  const std::string path = Path("run.jsonl");
  std::string output;
  // 150 steps of 16 ms: 2.4 s, two whole seconds; the pointer plays "Begin" (5 flares) at step 150.
  ASSERT_EQ(RunEditor("--frames 150 --stats '" + path + "'", &output), 0) << output;
  const std::vector<std::string> lines = LinesOf(path);
  ASSERT_GE(lines.size(), 2u);
  ASSERT_LE(lines.size(), 3u);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(lines[i]);
    const Json line = Json::parse(lines[i]);
    for (const char* key : kKeys) ASSERT_TRUE(line.contains(key) && line[key].is_number()) << key;
    EXPECT_EQ(line["second"], i + 1);
    // Frames are paced 16 ms apart, and the loop keeps real time with at most 7 steps a frame.
    EXPECT_GT(line["fps"].get<double>(), 5.0);
    EXPECT_LE(line["fps"].get<double>(), 63.0);
    EXPECT_GT(line["steps_per_s"].get<double>(), 30.0);
    EXPECT_LE(line["steps_per_s"].get<double>(), 70.0);
    EXPECT_GT(line["realtime"].get<double>(), 0.0);
    EXPECT_LE(line["realtime"].get<double>(), 1.0);
    EXPECT_GT(line["frame_ms"].get<double>(), 0.0);
    EXPECT_GE(line["update_ms"].get<double>(), 0.0);
    EXPECT_GT(line["draw_ms"].get<double>(), 0.0);
    EXPECT_LE(line["update_ms"].get<double>() + line["draw_ms"].get<double>(),
              line["frame_ms"].get<double>());
    // The floor at least is drawn, in as many batches as draws or fewer.
    EXPECT_GE(line["draws"].get<double>(), 1.0);
    EXPECT_LE(line["batches"].get<double>(), line["draws"].get<double>());
    EXPECT_GE(line["objects"], 2) << "the floor and the pointer";
    EXPECT_EQ(line["particles"], 0) << "nothing plays before step 150";
  }
}

TEST_F(StatsLogTest, TheProgramStopsAtStartWhenTheFileCannotBeOpened) {
  std::string output;
  const std::string path = Path("missing/stats.jsonl");
  EXPECT_EQ(RunEditor("--frames 30 --stats '" + path + "'", &output), 1);
  EXPECT_NE(output.find("cannot write the stats to " + path), std::string::npos) << output;
}

}  // namespace
