// The port through which the upgrader talks to its user: window caption, progress gauge, pictures, the
// screen cursor, modal message boxes, and the processing of pending window messages.
//
// Every layer that shows something (the connection error box of db/, the warning boxes of schema/, the gauge
// of upgrade/) talks to this interface only; app/ implements it with a window (FLTK), a console, and
// ui/recording_ui.h records it for tests. Nothing here depends on a window toolkit.
//
// All calls come from the one thread that runs the upgrade. Implementations do not throw from ShowBox,
// SetCaption, SetGauge, SetCursor, ShowPicture or ProcessMessages.
#ifndef CLUBIQA_UI_UI_H_
#define CLUBIQA_UI_UI_H_

#include <string>
#include <string_view>

namespace ui {

// Title of the application: the task-bar text, the caption of the plain and unhandled-failure boxes, and the
// window caption at activation and at the end of the run.
inline constexpr std::string_view kApplicationTitle = "Clubiqa vanta - SQL Update";
// Caption of the main window as created, before its first activation.
inline constexpr std::string_view kCreatedCaption = "Clubiqa - SQL Update";

// The kinds of modal boxes. Each has one button "OK".
enum class BoxKind {
  kWarning,      // caption "Warnung", warning icon
  kError,        // caption "Fehler", error icon
  kInformation,  // caption "Informationen", information icon
  kPlain,        // caption = application title, no icon
  kUnhandled,    // caption = application title, stop icon: a failure that ended the run
};

inline std::string_view BoxCaption(BoxKind kind) {
  switch (kind) {
    case BoxKind::kWarning:
      return "Warnung";
    case BoxKind::kError:
      return "Fehler";
    case BoxKind::kInformation:
      return "Informationen";
    case BoxKind::kPlain:
    case BoxKind::kUnhandled:
      return kApplicationTitle;
  }
  return kApplicationTitle;
}

enum class Cursor { kDefault, kSqlWait };

// The pictures of the main window that are ever shown. Showing one hides the other.
enum class Picture { kImage2, kImageVanta };

// The gauge's range; a value outside it is stored as the nearest bound.
inline constexpr int kGaugeMin = 0;
inline constexpr int kGaugeMax = 100;
inline int ClampGauge(int value) { return value < kGaugeMin ? kGaugeMin : value > kGaugeMax ? kGaugeMax : value; }

class Ui {
 public:
  virtual ~Ui() = default;

  // Shows a modal box and returns when the user has confirmed it. Once a request to close the main window
  // has been taken up (see ProcessMessages), boxes close by themselves at once instead of waiting.
  virtual void ShowBox(BoxKind kind, std::string_view text) = 0;
  virtual void SetCaption(std::string_view caption) = 0;
  // Stores ClampGauge(value) and repaints the gauge at once when the shown value changes.
  virtual void SetGauge(int value) = 0;
  [[nodiscard]] virtual int gauge() const = 0;
  virtual void SetCursor(Cursor cursor) = 0;
  virtual void ShowPicture(Picture picture) = 0;
  // Handles the window messages that are pending now (paint, a close request), then returns; never waits.
  virtual void ProcessMessages() = 0;
  // Closes the main window, which ends the program once control returns to the message loop.
  virtual void Close() = 0;
};

// Shows the SQL wait cursor for its lifetime and the default cursor afterwards, also when a failure leaves
// the scope.
class WaitCursor {
 public:
  explicit WaitCursor(Ui& ui) : ui_(ui) { ui_.SetCursor(Cursor::kSqlWait); }
  ~WaitCursor() { ui_.SetCursor(Cursor::kDefault); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  Ui& ui_;
};

}  // namespace ui

#endif  // CLUBIQA_UI_UI_H_
