// The list of recent documents: its order, its limit, where it is kept and what it makes of a
// file it did not write.

#include "editor/recent_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// Sets (or, given null, unsets) an environment variable for the scope, then puts it back.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* before = std::getenv(name)) before_ = before;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedVariable() { before_ ? ::setenv(name_.c_str(), before_->c_str(), 1) : ::unsetenv(name_.c_str()); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  std::string name_;
  std::optional<std::string> before_;
};

class RecentFilesTest : public TempFolderTest {
 protected:
  std::string ListFile() const { return Path("config/particle-editor/recent"); }
  std::string Document(int n) const { return Path("doc" + std::to_string(n) + ".json"); }
};

TEST_F(RecentFilesTest, LatestFirstEachPathOnceAndTenAtMost) {
  RecentFiles recent(ListFile());
  EXPECT_TRUE(recent.Entries().empty());
  EXPECT_EQ(recent.Add(Document(1)), std::nullopt);
  EXPECT_EQ(recent.Add(Document(2)), std::nullopt);
  EXPECT_EQ(recent.Add(Path("sub/../doc1.json")), std::nullopt) << "another spelling of the first";
  EXPECT_EQ(recent.Entries(), (std::vector<std::string>{Document(1), Document(2)}));

  // Relative paths are taken from the working directory.
  const fs::path before = fs::current_path();
  fs::current_path(dir_);
  EXPECT_EQ(recent.Add("./doc2.json"), std::nullopt);
  fs::current_path(before);
  EXPECT_EQ(recent.Entries(), (std::vector<std::string>{Document(2), Document(1)}));

  for (int n = 3; n <= 12; ++n) EXPECT_EQ(recent.Add(Document(n)), std::nullopt);
  std::vector<std::string> expected;
  for (int n = 12; n >= 3; --n) expected.push_back(Document(n));
  EXPECT_EQ(recent.Entries(), expected) << "the oldest fall off";
  EXPECT_EQ(RecentFiles(ListFile()).Entries(), expected) << "kept in its file, folders made";

  // A document gone from the disk leaves the list and its file; one never listed changes nothing.
  EXPECT_EQ(recent.Remove(Path("./doc7.json")), std::nullopt);
  EXPECT_EQ(recent.Remove(Document(1)), std::nullopt);
  std::erase(expected, Document(7));
  EXPECT_EQ(recent.Entries(), expected);
  EXPECT_EQ(RecentFiles(ListFile()).Entries(), expected);
}

TEST_F(RecentFilesTest, KeptUnderXdgConfigHomeElseUnderHome) {
  ScopedVariable home("HOME", "/home/someone");
  {
    ScopedVariable config("XDG_CONFIG_HOME", "/etc/xdg-user");
    EXPECT_EQ(RecentFiles::DefaultPath(), "/etc/xdg-user/particle-editor/recent");
  }
  for (const char* unusable : {"", "relative/config"}) {
    ScopedVariable config("XDG_CONFIG_HOME", unusable);
    EXPECT_EQ(RecentFiles::DefaultPath(), "/home/someone/.config/particle-editor/recent") << unusable;
  }
  ScopedVariable config("XDG_CONFIG_HOME", nullptr);
  EXPECT_EQ(RecentFiles::DefaultPath(), "/home/someone/.config/particle-editor/recent");

  ScopedVariable noHome("HOME", nullptr);
  EXPECT_EQ(RecentFiles::DefaultPath(), "");
  RecentFiles nowhere(RecentFiles::DefaultPath());
  EXPECT_TRUE(nowhere.Entries().empty());
  const RecentFiles::WriteError error = nowhere.Add(Document(1));
  ASSERT_TRUE(error.has_value());
  EXPECT_NE(error->find("HOME"), std::string::npos) << *error;
  EXPECT_EQ(nowhere.Entries(), (std::vector<std::string>{Document(1)})) << "still listed for this run";
}

TEST_F(RecentFilesTest, AFileItDidNotWriteLoadsWhatCanBeReadOfIt) {
  std::string junk = "\n\n" + Document(1) + "\r\n" + std::string(5000, 'x') + "\n/" + std::string(5000, 'a') +
                     "\nrelative/doc.json\n" + Document(1) + "\n" + std::string("/bin\0ary", 8) + "\n";
  for (int n = 2; n <= 14; ++n) junk += Document(n) + "\n";
  const std::string list = Write("recent", junk);
  std::vector<std::string> expected;
  for (int n = 1; n <= 10; ++n) expected.push_back(Document(n));
  EXPECT_EQ(RecentFiles(list).Entries(), expected);

  EXPECT_TRUE(RecentFiles(Path("missing")).Entries().empty());
  EXPECT_TRUE(RecentFiles(dir_.string()).Entries().empty()) << "a folder";
  EXPECT_TRUE(RecentFiles(Write("empty", "")).Entries().empty());
}

TEST_F(RecentFilesTest, AWriteThatFailsSaysWhyAndThrowsNothing) {
  const std::string blocker = Write("blocker", "a file where a folder should be");
  RecentFiles underAFile(blocker + "/particle-editor/recent");
  RecentFiles::WriteError error;
  EXPECT_NO_THROW(error = underAFile.Add(Document(1)));
  ASSERT_TRUE(error.has_value());
  EXPECT_NE(error->find(blocker), std::string::npos) << *error;
  EXPECT_EQ(underAFile.Entries(), (std::vector<std::string>{Document(1)}));

  RecentFiles recent(ListFile());
  error = recent.Add(Path("two\nlines.json"));
  ASSERT_TRUE(error.has_value()) << "a name that would not read back is refused";
  EXPECT_TRUE(recent.Entries().empty());
}

}  // namespace
