// Where autosaves go and that they are never torn, even when the writer is killed mid-write.

#include "editor/autosave.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "editor/editor.h"
#include "support/temp_folder.h"

namespace {

class StillClock final : public platform::Clock {
 public:
  std::uint32_t NowMs() override { return 0; }
};

// Sets a variable for the scope (unset when value is null) and puts the old value back.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedVariable() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

EditorDocument DocumentOf(int definitions, int interval) {
  EditorDocument document;
  EditorEffect& effect = document.Effects.emplace_back();
  effect.Tag = "Begin";
  effect.Definitions.assign(static_cast<std::size_t>(definitions), CEditor::BeginDefinition());
  document.EmissionInterval = interval;
  return document;
}

using AutosaveTest = TempFolderTest;

TEST_F(AutosaveTest, FolderFollowsTheStateHomeElseTheHome) {
  {
    ScopedVariable state("XDG_STATE_HOME", Path("state").c_str());
    EXPECT_EQ(Autosave::DefaultFolder(), Path("state") + "/particle-editor");
  }
  ScopedVariable state("XDG_STATE_HOME", "");
  ScopedVariable home("HOME", "/home/artist");
  EXPECT_EQ(Autosave::DefaultFolder(), "/home/artist/.local/state/particle-editor");
}

TEST_F(AutosaveTest, EachDocumentHasItsOwnFileNeverItsOwnPath) {
  StillClock clock;
  Autosave autosave(Path("state"), clock);
  const std::string a = autosave.PathFor(Path("a/fire.effects.json"));
  const std::string b = autosave.PathFor(Path("b/fire.effects.json"));
  EXPECT_NE(a, b) << "same name, different folders";
  EXPECT_EQ(a, autosave.PathFor(Path("a/../a/fire.effects.json")));
  EXPECT_EQ(a.rfind(Path("state/fire-"), 0), 0u) << a;
  EXPECT_EQ(autosave.PathFor(""), Path("state/untitled.effects.json"));
}

TEST_F(AutosaveTest, WriteRemoveAndTheRecoveryOfferFollowTheFiles) {
  StillClock clock;
  Autosave autosave(Path("state"), clock);
  EXPECT_FALSE(autosave.Find(""));
  ASSERT_TRUE(autosave.Write(DocumentOf(2, 300), 7, ""));
  const auto offer = autosave.Find("");
  ASSERT_TRUE(offer);
  EXPECT_EQ(offer->path, autosave.PathFor(""));
  EXPECT_EQ(offer->time.size(), 19u) << offer->time;
  EditorDocument read;
  ASSERT_FALSE(LoadEditorDocument(offer->path, &read));
  EXPECT_EQ(read, DocumentOf(2, 300));
  autosave.Remove("");
  EXPECT_FALSE(autosave.Find(""));

  // A folder that cannot be made: the autosave fails, says so, and nothing breaks.
  Write("blocker", "a file where the folder would go");
  Autosave blocked(Path("blocker/state"), clock);
  EXPECT_FALSE(blocked.Write(DocumentOf(1, 150), 1, ""));
}

TEST_F(AutosaveTest, AWriterKilledMidAutosaveLeavesTheOldOrTheNewNeverATornOne) {
  const EditorDocument small = DocumentOf(1, 150);
  const EditorDocument large = DocumentOf(400, 400);
  StillClock clock;
  Autosave autosave(Path("state"), clock);
  ASSERT_TRUE(autosave.Write(small, 1, ""));
  for (int round = 0; round < 5; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      StillClock childClock;
      Autosave writer(Path("state"), childClock);
      for (std::uint64_t id = 2;; ++id) writer.Write(id % 2 ? small : large, id, "");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30 + 17 * round));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EditorDocument read;
    ASSERT_FALSE(LoadEditorDocument(autosave.PathFor(""), &read)) << "round " << round;
    EXPECT_TRUE(read == small || read == large) << "round " << round;
  }
}

}  // namespace
