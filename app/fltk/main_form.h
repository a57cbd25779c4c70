// The main window as created from its form: Panel1 with the pictures and Gauge1, and Panel2 below.
//
// Only the two pictures that the run ever shows exist here (Image2, visible as created, and ImageVanta);
// Panel2's buttons are never visible and are left out.
#ifndef CLUBIQA_APP_FLTK_MAIN_FORM_H_
#define CLUBIQA_APP_FLTK_MAIN_FORM_H_

#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_RGB_Image.H>

#include <functional>
#include <utility>

#include "app/pictures/jpeg_decoder.h"
#include "ui/ui.h"

namespace app::fltk {

class MainForm : public Fl_Double_Window {
 public:
  static constexpr int kWidth = 510;
  static constexpr int kHeight = 388;

  // Centred on the screen; needs the display open. The pictures must be kPictureWidth x kPictureHeight.
  MainForm(pictures::RgbImage image2, pictures::RgbImage image_vanta);

  void ShowPicture(ui::Picture picture);
  // Shows `value` (already clamped) on Gauge1 and repaints it at once, without handling any events.
  void ShowGauge(int value);
  // Called once, at the end of the first paint: the window is on the screen from then on.
  void OnFirstDraw(std::function<void()> on_first_draw) { on_first_draw_ = std::move(on_first_draw); }

 protected:
  void draw() override;

 private:
  // The pixels and images are declared before the boxes that show them, so that they outlive the boxes.
  pictures::RgbImage image2_pixels_;
  pictures::RgbImage image_vanta_pixels_;
  Fl_RGB_Image image2_rgb_;
  Fl_RGB_Image image_vanta_rgb_;

  Fl_Group Panel1;
  Fl_Box Image2;
  Fl_Box ImageVanta;
  Fl_Progress Gauge1;
  Fl_Box Panel2;

  std::function<void()> on_first_draw_;
  bool drawn_ = false;
};

}  // namespace app::fltk

#endif  // CLUBIQA_APP_FLTK_MAIN_FORM_H_
