#include "effectfile/document_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/message_sink.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Watches a save: what the document and its temporary file hold at each sync, and which folder
// is synced. Fails a step when told to.
class WatchingSync final : public FileSync {
 public:
  explicit WatchingSync(std::string path) : path_(std::move(path)) {}

  struct Step {
    std::string what;      // "file" or "folder"
    std::string document;  // what the document held then
    std::string synced;    // the temporary file's bytes at "file", the folder's path at "folder"
  };
  int SyncFile(int descriptor) const override {
    steps_.push_back({"file", Contents(path_), Contents(path_ + ".saving")});
    return fileError_ ? fileError_ : FileSync::SyncFile(descriptor);
  }
  int SyncFolder(const std::string& folder) const override {
    steps_.push_back({"folder", Contents(path_), folder});
    return folderError_ ? folderError_ : FileSync::SyncFolder(folder);
  }
  void FailFile(int error) { fileError_ = error; }
  void FailFolder(int error) { folderError_ = error; }
  const std::vector<Step>& Steps() const { return steps_; }

 private:
  std::string path_;
  int fileError_ = 0;
  int folderError_ = 0;
  mutable std::vector<Step> steps_;
};

class DocumentFileTest : public TempFolderTest {
 protected:
  void SetUp() override { platform::GetNotices().Clear(); }
  void TearDown() override { platform::GetNotices().Clear(); }
};

TEST_F(DocumentFileTest, SaveSyncsTheFileBeforeTheRenameAndTheFolderAfterIt) {
  const std::string path = Write("particle.txt", "old document\n");
  WatchingSync sync(path);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(path, "new document\n", &error, sync)) << error;
  ASSERT_EQ(sync.Steps().size(), 2u);
  EXPECT_EQ(sync.Steps()[0].what, "file");
  EXPECT_EQ(sync.Steps()[0].document, "old document\n") << "synced after the rename";
  EXPECT_EQ(sync.Steps()[0].synced, "new document\n") << "synced before all was written";
  EXPECT_EQ(sync.Steps()[1].what, "folder");
  EXPECT_EQ(sync.Steps()[1].document, "new document\n") << "the folder synced before the rename";
  EXPECT_TRUE(fs::equivalent(sync.Steps()[1].synced, dir_));
  EXPECT_EQ(Contents(path), "new document\n");
  EXPECT_FALSE(fs::exists(path + ".saving"));
  EXPECT_TRUE(platform::GetNotices().Recent().empty());

  // A path without a folder is in the working one.
  const fs::path previous = fs::current_path();
  fs::current_path(dir_);
  WatchingSync here("local.txt");
  const bool saved = WriteFileAtomically("local.txt", "x", &error, here);
  fs::current_path(previous);
  ASSERT_TRUE(saved) << error;
  ASSERT_EQ(here.Steps().size(), 2u);
  EXPECT_EQ(here.Steps()[1].synced, ".");
}

TEST_F(DocumentFileTest, FailedFileSyncIsAFailedSaveThatKeepsTheOldDocumentWhole) {
  const std::string path = Write("particle.json", "{\"old\":1}\n");
  WatchingSync sync(path);
  sync.FailFile(EIO);
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(path, "{\"new\":2}\n", &error, sync));
  EXPECT_EQ(Contents(path), "{\"old\":1}\n");
  EXPECT_FALSE(fs::exists(path + ".saving")) << "the temporary file was left behind";
  ASSERT_EQ(sync.Steps().size(), 1u) << "went on after the failed sync";
  EXPECT_EQ(error, path + ": the file could not be synced to the disk: Input/output error");
}

// The rename has happened: the save stands, and only a real failure is worth telling.
TEST_F(DocumentFileTest, FailedFolderSyncKeepsTheSaveAndSaysSoUnlessTheFolderCannotSync) {
  const std::string path = Write("particle.txt", "old\n");
  std::string error;
  WatchingSync unsupported(path);
  unsupported.FailFolder(EINVAL);
  ASSERT_TRUE(WriteFileAtomically(path, "second\n", &error, unsupported)) << error;
  EXPECT_EQ(Contents(path), "second\n");
  EXPECT_TRUE(platform::GetNotices().Recent().empty());

  WatchingSync failing(path);
  failing.FailFolder(EIO);
  ASSERT_TRUE(WriteFileAtomically(path, "third\n", &error, failing)) << error;
  EXPECT_EQ(Contents(path), "third\n");
  ASSERT_EQ(platform::GetNotices().Recent().size(), 1u);
  const std::string notice = platform::GetNotices().Recent()[0];
  EXPECT_EQ(notice.rfind(path + ": saved, but its folder could not be synced", 0), 0u) << notice;
  EXPECT_NE(notice.find("Input/output error"), std::string::npos) << notice;
}

TEST_F(DocumentFileTest, UnwritableSaveLeavesNothingBehind) {
  std::string error;
  const std::string path = Path("no-folder/particle.txt");
  EXPECT_FALSE(WriteFileAtomically(path, "x", &error));
  EXPECT_EQ(error, path + ": No such file or directory");
  // A folder where the document should be: written and synced, then the rename fails.
  fs::create_directory(dir_ / "taken");
  EXPECT_FALSE(WriteFileAtomically(Path("taken"), "x", &error));
  EXPECT_EQ(error.rfind(Path("taken") + ": ", 0), 0u) << error;
  EXPECT_FALSE(fs::exists(Path("taken.saving")));
  EXPECT_TRUE(fs::is_directory(dir_ / "taken"));
}

TEST_F(DocumentFileTest, ReadsWholeFilesAndRefusesWhatNoDocumentCanBe) {
  const std::string bytes("Tag : A\n\0\xff end", 14);
  EXPECT_EQ(ReadDocumentFile(Write("doc.txt", bytes)), bytes);
  EXPECT_EQ(ReadDocumentFile(Write("empty.txt", "")), "");
  EXPECT_EQ(ReadDocumentFile(Path("missing.txt")), std::nullopt);
  EXPECT_EQ(ReadDocumentFile(Path("doc.txt/below")), std::nullopt) << "a file taken for a folder";
  EXPECT_THROW(ReadDocumentFile(dir_.string()), std::runtime_error);
  // Neither waits for a writer that never comes nor reads without end.
  ASSERT_EQ(::mkfifo(Path("pipe.txt").c_str(), 0644), 0);
  EXPECT_THROW(ReadDocumentFile(Path("pipe.txt")), std::runtime_error);
  EXPECT_THROW(ReadDocumentFile("/dev/zero"), std::runtime_error);

  for (const std::uint64_t size : {kMaxDocumentBytes + 1, std::uint64_t{300} << 20}) {
    const std::string path = Sparse("huge-" + std::to_string(size), size);
    try {
      ReadDocumentFile(path);
      ADD_FAILURE() << size << " bytes read";
    } catch (const DocumentTooLarge& e) {
      EXPECT_EQ(std::string(e.what()), "the file holds " + std::to_string(size) +
                                           " bytes, more than the 268435456 (256 MB) a document may hold");
    }
  }
}

}  // namespace
