#include "ui/recording_ui.h"

namespace ui {

void RecordingUi::ShowBox(BoxKind kind, std::string_view text) {
  boxes_.push_back({kind, std::string(text)});
  std::string line = "box " + std::string(BoxCaption(kind)) + ": " + std::string(text);
  if (close_taken_up_) line += " [closed at once]";
  events_.push_back(std::move(line));
}

void RecordingUi::SetCaption(std::string_view caption) {
  caption_ = caption;
  events_.push_back("caption: " + caption_);
}

void RecordingUi::SetGauge(int value) {
  const int stored = ClampGauge(value);
  if (stored == gauge_) return;
  gauge_ = stored;
  events_.push_back("gauge: " + std::to_string(gauge_));
}

void RecordingUi::SetCursor(Cursor cursor) {
  if (cursor == cursor_) return;
  cursor_ = cursor;
  events_.emplace_back(cursor == Cursor::kSqlWait ? "cursor: wait" : "cursor: default");
}

void RecordingUi::ShowPicture(Picture picture) {
  events_.emplace_back(picture == Picture::kImageVanta ? "picture: ImageVanta" : "picture: Image2");
}

void RecordingUi::ProcessMessages() {
  ++messages_;
  events_.emplace_back("messages");
  if (messages_ == close_at_) close_taken_up_ = true;
}

void RecordingUi::Close() {
  closed_ = true;
  events_.emplace_back("close");
}

std::string RecordingUi::Log() const { return Log(""); }

std::string RecordingUi::Log(std::string_view prefix) const {
  std::string text;
  for (const std::string& event : events_) {
    if (event.starts_with(prefix)) text += event + "\n";
  }
  return text;
}

}  // namespace ui
