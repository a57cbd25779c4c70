// A Ui that records what the upgrader shows, for tests: every call becomes one line of an event log, so
// that a test can compare a whole run with one expected text.
//
// Lines: "caption: <text>", "gauge: <n>" (only when the stored value changes, as the gauge repaints only
// then), "cursor: wait|default" (only on a change), "picture: Image2|ImageVanta", "messages",
// "box <caption>: <text>" (with " [closed at once]" after a close request was taken up), "close".
// Boxes are confirmed at once. A close request can be scripted to be taken up at the n-th ProcessMessages.
#ifndef CLUBIQA_UI_RECORDING_UI_H_
#define CLUBIQA_UI_RECORDING_UI_H_

#include <string>
#include <string_view>
#include <vector>

#include "ui/ui.h"

namespace ui {

class RecordingUi : public Ui {
 public:
  struct Box {
    BoxKind kind;
    std::string text;
  };

  void ShowBox(BoxKind kind, std::string_view text) override;
  void SetCaption(std::string_view caption) override;
  void SetGauge(int value) override;
  [[nodiscard]] int gauge() const override { return gauge_; }
  void SetCursor(Cursor cursor) override;
  void ShowPicture(Picture picture) override;
  void ProcessMessages() override;
  void Close() override;

  // The user asks to close the window; the request is taken up at the `n`-th call of ProcessMessages
  // (1 = the next one).
  void RequestCloseAt(int n) { close_at_ = messages_ + n; }

  [[nodiscard]] const std::vector<std::string>& events() const { return events_; }
  // The events joined with "\n", each followed by one.
  [[nodiscard]] std::string Log() const;
  // Only the events that start with `prefix` ("gauge: ", "box ", "caption: "), joined as Log does.
  [[nodiscard]] std::string Log(std::string_view prefix) const;
  [[nodiscard]] const std::vector<Box>& boxes() const { return boxes_; }
  [[nodiscard]] const std::string& caption() const { return caption_; }
  [[nodiscard]] Cursor cursor() const { return cursor_; }
  [[nodiscard]] bool closed() const { return closed_; }
  void ClearEvents() { events_.clear(); }

 private:
  std::vector<std::string> events_;
  std::vector<Box> boxes_;
  std::string caption_{kCreatedCaption};
  int gauge_ = 0;
  Cursor cursor_ = Cursor::kDefault;
  int messages_ = 0;
  int close_at_ = -1;
  bool close_taken_up_ = false;
  bool closed_ = false;
};

}  // namespace ui

#endif  // CLUBIQA_UI_RECORDING_UI_H_
