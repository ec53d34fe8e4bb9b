#include "platform/message_sink.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>

namespace platform {

namespace {
std::unique_ptr<MessageSink>& InstalledSink() {
  static std::unique_ptr<MessageSink> sink = std::make_unique<StderrMessageSink>();
  return sink;
}
}  // namespace

void ShowMessage(std::string_view caption, std::string_view text) { InstalledSink()->Show(caption, text); }

std::unique_ptr<MessageSink> SetMessageSink(std::unique_ptr<MessageSink> sink) {
  std::unique_ptr<MessageSink> previous = std::move(InstalledSink());
  InstalledSink() = sink ? std::move(sink) : std::make_unique<StderrMessageSink>();
  return previous;
}

void StderrMessageSink::Show(std::string_view caption, std::string_view text) {
  std::fprintf(stderr, "[%.*s] %.*s\n", static_cast<int>(caption.size()), caption.data(),
               static_cast<int>(text.size()), text.data());
}

void DialogMessageSink::Show(std::string_view caption, std::string_view text) {
  const std::string c(caption), t(text);
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, c.c_str(), t.c_str(), nullptr) != 0)
    StderrMessageSink().Show(caption, text);
}

bool Notices::Report(std::string_view text) {
  if (std::find(told_.begin(), told_.end(), text) != told_.end()) return false;
  told_.emplace_back(text);
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  if (recent_.size() == kKept) recent_.erase(recent_.begin());
  recent_.emplace_back(text);
  return true;
}

void Notices::Post(std::string_view text) {
  std::erase(recent_, text);
  if (recent_.size() == kKept) recent_.erase(recent_.begin());
  recent_.emplace_back(text);
}

void Notices::Clear() {
  recent_.clear();
  told_.clear();
}

Notices& GetNotices() {
  static Notices notices;
  return notices;
}

void ReportNotice(std::string_view text) { GetNotices().Report(text); }

void PostNotice(std::string_view text) { GetNotices().Post(text); }

ScopedMessageRecorder::ScopedMessageRecorder() {
  auto recorder = std::make_unique<RecordingMessageSink>();
  recorder_ = recorder.get();
  previous_ = SetMessageSink(std::move(recorder));
}

ScopedMessageRecorder::~ScopedMessageRecorder() { SetMessageSink(std::move(previous_)); }

}  // namespace platform
