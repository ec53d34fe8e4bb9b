#pragma once
// Message boxes: where the program tells the user about a failure. Interactive runs show a
// dialog, automated runs print to standard error, tests record what was said.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The caption of every warning the program shows ("Warning!").
inline constexpr std::string_view kWarningCaption = "警告！";

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void Show(std::string_view caption, std::string_view text) = 0;
};

// Shows a message through the installed sink (standard error until one is installed).
void ShowMessage(std::string_view caption, std::string_view text);
// Installs a sink for the whole process and returns the one it replaces.
std::unique_ptr<MessageSink> SetMessageSink(std::unique_ptr<MessageSink> sink);

class StderrMessageSink final : public MessageSink {
 public:
  void Show(std::string_view caption, std::string_view text) override;
};

// A modal dialog over the program's windows (UTF-8 text).
class DialogMessageSink final : public MessageSink {
 public:
  void Show(std::string_view caption, std::string_view text) override;
};

class RecordingMessageSink final : public MessageSink {
 public:
  struct Message {
    std::string caption;
    std::string text;
  };
  void Show(std::string_view caption, std::string_view text) override {
    messages_.push_back({std::string(caption), std::string(text)});
  }
  const std::vector<Message>& Messages() const { return messages_; }

 private:
  std::vector<Message> messages_;
};

// Notices: problems the user should know of that must not stop the frame (a texture that
// cannot be loaded in the middle of a preview, a definition refused at every emission).
// Each distinct text is told once, on standard error and to the editor's notice line; the
// editor reads the recent ones from here.
class Notices {
 public:
  static constexpr std::size_t kKept = 32;

  // True when the text is new (and was therefore told).
  bool Report(std::string_view text);
  // Shows the text on the notice line every time (what the user just did: "Saved ..."), once
  // in the recent list; not written to standard error.
  void Post(std::string_view text);
  // The most recent distinct notices, oldest first.
  const std::vector<std::string>& Recent() const { return recent_; }
  void Clear();

 private:
  std::vector<std::string> recent_;
  std::vector<std::string> told_;  // every text told this run, so a repeat stays quiet
};

// The process's notices.
Notices& GetNotices();
// Tells a notice once (see Notices).
void ReportNotice(std::string_view text);
// Shows a notice now, however often it was shown before (see Notices::Post).
void PostNotice(std::string_view text);

// Installs a recording sink for its lifetime and puts the previous sink back afterwards.
class ScopedMessageRecorder {
 public:
  ScopedMessageRecorder();
  ~ScopedMessageRecorder();
  ScopedMessageRecorder(const ScopedMessageRecorder&) = delete;
  ScopedMessageRecorder& operator=(const ScopedMessageRecorder&) = delete;
  const std::vector<RecordingMessageSink::Message>& Messages() const { return recorder_->Messages(); }

 private:
  RecordingMessageSink* recorder_;
  std::unique_ptr<MessageSink> previous_;
};

}  // namespace platform
