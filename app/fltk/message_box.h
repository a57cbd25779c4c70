// The modal message box of the window front end: a caption and an icon by the box kind, the text, and one
// default button "OK" (Return, Escape and the window's close box confirm it as well).
#ifndef CLUBIQA_APP_FLTK_MESSAGE_BOX_H_
#define CLUBIQA_APP_FLTK_MESSAGE_BOX_H_

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Widget.H>

#include <string>
#include <string_view>
#include <utility>

#include "ui/ui.h"

namespace app::fltk {

// The kind's symbol: warning "!" on yellow, error "X" on red, information "i" on blue, a failure that
// ended the run a stop sign; plain boxes have none.
class BoxIcon : public Fl_Widget {
 public:
  static constexpr int kSize = 36;
  BoxIcon(int x, int y, ui::BoxKind kind) : Fl_Widget(x, y, kSize, kSize), kind_(kind) {}

 protected:
  void draw() override;

 private:
  ui::BoxKind kind_;
};

// The box text, drawn as it is: unlike a widget label, '@' starts no symbol here.
class BoxText : public Fl_Widget {
 public:
  BoxText(int x, int y, int w, int h, std::string text) : Fl_Widget(x, y, w, h), text_(std::move(text)) {}

 protected:
  void draw() override;

 private:
  std::string text_;
};

class MessageBox : public Fl_Double_Window {
 public:
  // Sized to the text; centred over `owner` when it is shown, on the screen otherwise. Needs the display.
  MessageBox(ui::BoxKind kind, std::string_view text, Fl_Window& owner);

  // Shows the box modally and handles events until it is confirmed or `stop()` turns true after an event.
  template <typename Stop>
  void RunModal(Stop stop) {
    show();
    while (shown() && !stop()) Fl::wait();
    hide();
  }

 private:
  struct Layout;
  static Layout LayOut(ui::BoxKind kind, const std::string& text);
  MessageBox(ui::BoxKind kind, std::string_view text, Fl_Window& owner, const Layout& layout);

  BoxIcon icon_;
  BoxText text_;
  Fl_Return_Button ok_;
};

}  // namespace app::fltk

#endif  // CLUBIQA_APP_FLTK_MESSAGE_BOX_H_
