#include "app/fltk/message_box.h"

#include <FL/Enumerations.H>
#include <FL/fl_draw.H>

#include <algorithm>

namespace app::fltk {
namespace {

constexpr Fl_Font kTextFont = FL_HELVETICA;
constexpr Fl_Fontsize kTextSize = 12;
constexpr int kMargin = 14;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 24;
constexpr int kMinWidth = 220;
// Longer lines wrap, as a system box wraps at a part of the screen width.
constexpr int kMaxTextWidth = 560;

const Fl_Color kWarningYellow = fl_rgb_color(255, 204, 0);
const Fl_Color kErrorRed = fl_rgb_color(210, 0, 0);
const Fl_Color kInformationBlue = fl_rgb_color(0, 84, 200);
const Fl_Color kStopRed = fl_rgb_color(150, 0, 0);

void DrawGlyph(const char* glyph, int x, int y, int w, int h, Fl_Color colour) {
  fl_color(colour);
  fl_font(FL_HELVETICA_BOLD, 22);
  fl_draw(glyph, x, y, w, h, FL_ALIGN_CENTER, nullptr, 0);
}

void DrawDisc(int x, int y, int size, Fl_Color colour) {
  fl_color(colour);
  fl_pie(x, y, size, size, 0, 360);
}

void DrawWarningTriangle(int x, int y, int size) {
  fl_color(kWarningYellow);
  fl_polygon(x + size / 2, y + 1, x + size - 1, y + size - 2, x, y + size - 2);
  fl_color(FL_BLACK);
  fl_loop(x + size / 2, y + 1, x + size - 1, y + size - 2, x, y + size - 2);
}

// An octagon: the stop sign that marks a failure which ended the run.
void DrawStopSign(int x, int y, int size) {
  const int cut = size * 29 / 100;
  fl_color(kStopRed);
  fl_begin_complex_polygon();
  fl_vertex(x + cut, y);
  fl_vertex(x + size - cut, y);
  fl_vertex(x + size, y + cut);
  fl_vertex(x + size, y + size - cut);
  fl_vertex(x + size - cut, y + size);
  fl_vertex(x + cut, y + size);
  fl_vertex(x, y + size - cut);
  fl_vertex(x, y + cut);
  fl_end_complex_polygon();
}

}  // namespace

void BoxIcon::draw() {
  switch (kind_) {
    case ui::BoxKind::kWarning:
      DrawWarningTriangle(x(), y(), w());
      DrawGlyph("!", x(), y() + 4, w(), h() - 4, FL_BLACK);
      break;
    case ui::BoxKind::kError:
      DrawDisc(x(), y(), w(), kErrorRed);
      DrawGlyph("X", x(), y(), w(), h(), FL_WHITE);
      break;
    case ui::BoxKind::kInformation:
      DrawDisc(x(), y(), w(), kInformationBlue);
      DrawGlyph("i", x(), y(), w(), h(), FL_WHITE);
      break;
    case ui::BoxKind::kUnhandled:
      DrawStopSign(x(), y(), w() - 1);
      DrawGlyph("X", x(), y(), w(), h(), FL_WHITE);
      break;
    case ui::BoxKind::kPlain:
      break;
  }
}

void BoxText::draw() {
  fl_font(kTextFont, kTextSize);
  fl_color(FL_FOREGROUND_COLOR);
  fl_draw(text_.c_str(), x(), y(), w(), h(), FL_ALIGN_TOP_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP, nullptr, 0);
}

struct MessageBox::Layout {
  int width;
  int height;
  int text_x;
  int text_width;
  int text_height;
  int button_y;
};

MessageBox::Layout MessageBox::LayOut(ui::BoxKind kind, const std::string& text) {
  fl_font(kTextFont, kTextSize);
  int text_width = 0, text_height = 0;
  fl_measure(text.c_str(), text_width, text_height, 0);
  ++text_width;  // so that drawing with wrapping never breaks a line that just fits
  if (text_width > kMaxTextWidth) {
    text_width = kMaxTextWidth;
    fl_measure(text.c_str(), text_width, text_height, 0);  // a preset width makes fl_measure wrap
  }
  const bool has_icon = kind != ui::BoxKind::kPlain;
  const int text_x = kMargin + (has_icon ? BoxIcon::kSize + kMargin : 0);
  const int body_height = std::max(text_height, has_icon ? BoxIcon::kSize : 0);
  const int width = std::max({text_x + text_width + kMargin, kButtonWidth + 2 * kMargin, kMinWidth});
  const int button_y = kMargin + body_height + kMargin;
  return {width, button_y + kButtonHeight + kMargin, text_x, text_width, text_height, button_y};
}

namespace {

void Confirm(Fl_Widget* widget, void*) {
  Fl_Window* box = widget->as_window() != nullptr ? widget->as_window() : widget->window();
  box->hide();
}

}  // namespace

MessageBox::MessageBox(ui::BoxKind kind, std::string_view text, Fl_Window& owner)
    : MessageBox(kind, text, owner, LayOut(kind, std::string(text))) {}

MessageBox::MessageBox(ui::BoxKind kind, std::string_view text, Fl_Window& owner, const Layout& layout)
    : Fl_Double_Window(layout.width, layout.height),
      icon_(kMargin, kMargin, kind),
      text_(layout.text_x, kMargin, layout.text_width, layout.text_height, std::string(text)),
      ok_((layout.width - kButtonWidth) / 2, layout.button_y, kButtonWidth, kButtonHeight, "OK") {
  end();
  copy_label(std::string(ui::BoxCaption(kind)).c_str());
  if (kind == ui::BoxKind::kPlain) icon_.hide();
  ok_.labelsize(kTextSize);
  ok_.callback(Confirm);
  // Escape and the close box confirm the box too, as a system box with only "OK" does.
  callback(Confirm);
  set_modal();
  if (owner.shown()) {
    position(owner.x() + (owner.w() - w()) / 2, owner.y() + (owner.h() - h()) / 2);
  } else {
    int sx = 0, sy = 0, sw = 0, sh = 0;
    Fl::screen_work_area(sx, sy, sw, sh, 0);
    position(sx + (sw - w()) / 2, sy + (sh - h()) / 2);
  }
}

}  // namespace app::fltk
