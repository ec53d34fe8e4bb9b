// The file watchers on a real folder: the kernel's notifications and the polling fallback see
// writes in place, saves by rename-over, new files and deleted ones, and only the files watched.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/inotify_file_watcher.h"
#include "platform/polling_file_watcher.h"
#include "support/fake_file_watcher.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::set<std::string> Changes(platform::FileWatcher& watcher) {
  std::vector<std::string> changed;
  watcher.TakeChanges(&changed);
  return {changed.begin(), changed.end()};
}

class FileWatcherTest : public TempFolderTest {
 protected:
  std::string Key(const std::string& name) const { return platform::WatchKey(Path(name)); }
  // A save as editors make it: a temporary file renamed over the old one.
  void RenameOver(const std::string& name, const std::string& bytes) const {
    Write(name + ".saving", bytes);
    fs::rename(Path(name + ".saving"), Path(name));
  }

  ManualClock clock_;
};

TEST(WatchKeyTest, EverySpellingOfAPathIsOneKey) {
  EXPECT_EQ(platform::WatchKey("./Data//TEXTURE/../TEXTURE/flare.png"), "Data/TEXTURE/flare.png");
  EXPECT_EQ(platform::WatchKey("Data/TEXTURE/flare.png"), "Data/TEXTURE/flare.png");
  EXPECT_NE(platform::WatchKey("Data/TEXTURE/flare.png"), platform::WatchKey("Data/TEXTURE/spark.png"));
}

TEST_F(FileWatcherTest, TheKernelTellsOfWritesRenamesNewAndDeletedFilesWatchedAndOfNoOthers) {
  std::string why;
  auto watcher = platform::InotifyFileWatcher::Create(clock_, &why);
  ASSERT_NE(watcher, nullptr) << why;
  Write("a.png", "a");
  Write("b.png", "b");
  Write("other.txt", "o");
  for (const char* name : {"a.png", "b.png", "c.png"}) watcher->Watch(Path(name));
  watcher->Watch(Path("a.png"));  // twice is once
  EXPECT_TRUE(Changes(*watcher).empty());

  Write("a.png", "a, written in place");
  EXPECT_EQ(Changes(*watcher), std::set<std::string>{Key("a.png")});
  Write("other.txt", "not watched");
  EXPECT_TRUE(Changes(*watcher).empty());
  RenameOver("b.png", "b, saved by rename");
  EXPECT_EQ(Changes(*watcher), std::set<std::string>{Key("b.png")});
  Write("c.png", "c, new");
  EXPECT_EQ(Changes(*watcher), std::set<std::string>{Key("c.png")});
  fs::remove(Path("a.png"));
  EXPECT_EQ(Changes(*watcher), std::set<std::string>{Key("a.png")});
  EXPECT_TRUE(Changes(*watcher).empty()) << "each change is told once";
}

TEST_F(FileWatcherTest, AFolderThatComesLaterIsWatchedOnceItExists) {
  std::string why;
  auto watcher = platform::InotifyFileWatcher::Create(clock_, &why);
  ASSERT_NE(watcher, nullptr) << why;
  watcher->Watch(Path("later/x.png"));
  watcher->Watch(Path("later/absent.png"));
  fs::create_directory(Path("later"));
  Write("later/x.png", "x");
  EXPECT_TRUE(Changes(*watcher).empty()) << "tried again only once a second";
  clock_.Advance(platform::InotifyFileWatcher::kRetryMs);
  EXPECT_EQ(Changes(*watcher), std::set<std::string>{Key("later/x.png")}) << "only what is there";
  Write("later/x.png", "x again");
  EXPECT_EQ(Changes(*watcher), std::set<std::string>{Key("later/x.png")});

  // The folder goes and comes back: watched again.
  fs::remove_all(Path("later"));
  Changes(*watcher);
  fs::create_directory(Path("later"));
  Write("later/x.png", "x once more");
  clock_.Advance(platform::InotifyFileWatcher::kRetryMs);
  EXPECT_EQ(Changes(*watcher), std::set<std::string>{Key("later/x.png")});
}

TEST_F(FileWatcherTest, PollingSeesNewTimesSizesAndFilesOnceASecond) {
  platform::PollingFileWatcher watcher(clock_);
  Write("a.png", "a");
  watcher.Watch(Path("a.png"));
  watcher.Watch(Path("b.png"));
  clock_.Advance(platform::PollingFileWatcher::kPollMs);
  EXPECT_TRUE(Changes(watcher).empty());

  Write("a.png", "a, longer");
  clock_.Advance(platform::PollingFileWatcher::kPollMs - 1);
  EXPECT_TRUE(Changes(watcher).empty()) << "not before a second has passed";
  clock_.Advance(1);
  EXPECT_EQ(Changes(watcher), std::set<std::string>{Key("a.png")});

  // The same size, only the time moves.
  const auto written = fs::last_write_time(Path("a.png"));
  Write("a.png", "A, longer");
  fs::last_write_time(Path("a.png"), written + std::chrono::seconds(1));
  clock_.Advance(platform::PollingFileWatcher::kPollMs);
  EXPECT_EQ(Changes(watcher), std::set<std::string>{Key("a.png")});

  // The same size and time in another file renamed over it.
  const auto time = fs::last_write_time(Path("a.png"));
  RenameOver("a.png", "a, LONGER");
  fs::last_write_time(Path("a.png"), time);
  Write("b.png", "b, new");
  clock_.Advance(platform::PollingFileWatcher::kPollMs);
  EXPECT_EQ(Changes(watcher), (std::set<std::string>{Key("a.png"), Key("b.png")}));

  fs::remove(Path("b.png"));
  clock_.Advance(platform::PollingFileWatcher::kPollMs);
  EXPECT_EQ(Changes(watcher), std::set<std::string>{Key("b.png")});
  clock_.Advance(platform::PollingFileWatcher::kPollMs);
  EXPECT_TRUE(Changes(watcher).empty());
}

TEST(FileWatcherChoiceTest, LinuxWatchesThroughTheKernel) {
  ManualClock clock;
  std::string fallback;
  auto watcher = platform::CreateFileWatcher(clock, &fallback);
  ASSERT_NE(watcher, nullptr);
  EXPECT_TRUE(fallback.empty()) << fallback;
  EXPECT_NE(dynamic_cast<platform::InotifyFileWatcher*>(watcher.get()), nullptr);
}

}  // namespace
