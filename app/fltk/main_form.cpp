#include "app/fltk/main_form.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>

#include <string>
#include <utility>

#include "app/pictures/embedded_pictures.h"

namespace app::fltk {
namespace {

// Tahoma 8 pt of the original form is about 11 pixels; FLTK's default sans face at that size is nearest.
constexpr Fl_Fontsize kFontSize = 11;

constexpr int kPanel1Height = 344;
constexpr int kPanel2Height = 44;
constexpr int kPictureLeft = 4;
constexpr int kGaugeHeight = 23;

const Fl_Color kGaugeBar = fl_rgb_color(0, 0, 128);     // navy
const Fl_Color kGaugeGround = fl_rgb_color(255, 0, 0);  // red

struct Origin {
  int x;
  int y;
};

// Centred on the work area of the first screen, as the form asks for.
Origin CentredOnScreen() {
  int x = 0, y = 0, w = 0, h = 0;
  Fl::screen_work_area(x, y, w, h, 0);
  return {x + (w - MainForm::kWidth) / 2, y + (h - MainForm::kHeight) / 2};
}

}  // namespace

MainForm::MainForm(pictures::RgbImage image2, pictures::RgbImage image_vanta)
    : Fl_Double_Window(CentredOnScreen().x, CentredOnScreen().y, kWidth, kHeight),
      image2_pixels_(std::move(image2)),
      image_vanta_pixels_(std::move(image_vanta)),
      image2_rgb_(image2_pixels_.pixels.data(), image2_pixels_.width, image2_pixels_.height, 3),
      image_vanta_rgb_(image_vanta_pixels_.pixels.data(), image_vanta_pixels_.width, image_vanta_pixels_.height, 3),
      Panel1(0, 0, kWidth, kPanel1Height),
      Image2(kPictureLeft, 0, pictures::kPictureWidth, pictures::kPictureHeight),
      ImageVanta(kPictureLeft, 0, pictures::kPictureWidth, pictures::kPictureHeight),
      Gauge1(0, kPanel1Height - kGaugeHeight, kWidth, kGaugeHeight),
      Panel2(0, kPanel1Height, kWidth, kPanel2Height) {
  // Panel1's constructor made it the group that takes the widgets constructed after it; Panel2 belongs to
  // the window itself.
  Panel1.end();
  add(Panel2);
  end();

  copy_label(std::string(ui::kCreatedCaption).c_str());
  // The task bar and the window list show the application title, as the application object's title does.
  // The literal behind kApplicationTitle ends with a NUL, and FLTK keeps only the pointer.
  iconlabel(ui::kApplicationTitle.data());
  xclass(ui::kApplicationTitle.data());

  Panel1.box(FL_FLAT_BOX);
  Panel2.box(FL_FLAT_BOX);
  Image2.box(FL_NO_BOX);
  Image2.image(image2_rgb_);
  ImageVanta.box(FL_NO_BOX);
  ImageVanta.image(image_vanta_rgb_);
  ImageVanta.hide();

  Gauge1.minimum(ui::kGaugeMin);
  Gauge1.maximum(ui::kGaugeMax);
  Gauge1.box(FL_THIN_DOWN_BOX);
  Gauge1.color(kGaugeGround);
  Gauge1.selection_color(kGaugeBar);
  Gauge1.labelcolor(FL_WHITE);
  Gauge1.labelfont(FL_HELVETICA_BOLD);
  Gauge1.labelsize(kFontSize);
  ShowGauge(0);
}

void MainForm::ShowPicture(ui::Picture picture) {
  Fl_Box& shown = picture == ui::Picture::kImageVanta ? ImageVanta : Image2;
  Fl_Box& hidden = picture == ui::Picture::kImageVanta ? Image2 : ImageVanta;
  hidden.hide();
  shown.show();
}

void MainForm::ShowGauge(int value) {
  Gauge1.value(static_cast<float>(value));
  Gauge1.copy_label((std::to_string(value) + "%").c_str());
  Gauge1.redraw();
  Fl::flush();
}

void MainForm::draw() {
  Fl_Double_Window::draw();
  if (drawn_) return;
  drawn_ = true;
  if (on_first_draw_) on_first_draw_();
}

}  // namespace app::fltk
