// The window front end: the main window on a display, with FLTK.
//
// Run shows the window; its first paint starts the run (once), from a zero timeout so that the window is on
// the screen when the run paints the gauge. Events are handled only where the run asks for it
// (ProcessMessages) and while a box waits; the gauge repaints on its own.
//
// A request to close the window during the run is taken up when events are next handled: from then on the
// run goes on to its end with every box closing at once, and the window closes when the run is over.
#include <FL/Enumerations.H>
#include <FL/Fl.H>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "app/fltk/display.h"
#include "app/fltk/main_form.h"
#include "app/fltk/message_box.h"
#include "app/front_end.h"
#include "app/pictures/embedded_pictures.h"
#include "app/pictures/jpeg_decoder.h"

#if !defined(_WIN32) && !defined(__APPLE__)
#define CLUBIQA_X11 1
#include <FL/x.H>
#endif

namespace app {
namespace {

class WindowFrontEnd : public FrontEnd {
 public:
  WindowFrontEnd(pictures::RgbImage image2, pictures::RgbImage image_vanta)
      : form_(std::move(image2), std::move(image_vanta)) {
    form_.callback(OnWindowCallback, this);
    form_.OnFirstDraw([this] { Fl::add_timeout(0.0, OnStartRun, this); });
#ifdef CLUBIQA_X11
    Fl::add_system_handler(OnSystemEvent, this);
#endif
  }

  ~WindowFrontEnd() override {
#ifdef CLUBIQA_X11
    Fl::remove_system_handler(OnSystemEvent);
#endif
    Fl::remove_timeout(OnStartRun, this);
  }

  WindowFrontEnd(const WindowFrontEnd&) = delete;
  WindowFrontEnd& operator=(const WindowFrontEnd&) = delete;

  int Run(const std::function<void()>& activate) override {
    activate_ = activate;
    form_.show();
    Fl::run();
    activate_ = nullptr;
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
    return 0;
  }

  void ShowBox(ui::BoxKind kind, std::string_view text) override {
    if (close_taken_up_) return;
    fltk::MessageBox box(kind, text, form_);
    box.RunModal([this] { return close_taken_up_; });
  }

  void SetCaption(std::string_view caption) override { form_.copy_label(std::string(caption).c_str()); }

  void SetGauge(int value) override {
    const int stored = ui::ClampGauge(value);
    if (stored == gauge_) return;
    gauge_ = stored;
    form_.ShowGauge(stored);
  }

  [[nodiscard]] int gauge() const override { return gauge_; }

  void SetCursor(ui::Cursor cursor) override {
    form_.cursor(cursor == ui::Cursor::kSqlWait ? FL_CURSOR_WAIT : FL_CURSOR_DEFAULT);
#ifdef CLUBIQA_X11
    // The server shows the cursor once it gets the request, and the run may block right after this.
    if (fl_display != nullptr) XFlush(fl_display);
#endif
  }

  void ShowPicture(ui::Picture picture) override { form_.ShowPicture(picture); }

  void ProcessMessages() override { Fl::check(); }

  void Close() override { form_.hide(); }

 private:
  static void OnStartRun(void* self) { static_cast<WindowFrontEnd*>(self)->StartRun(); }

  // The run happens once, whatever the window system calls an activation afterwards.
  void StartRun() {
    if (run_started_ || !activate_) return;
    run_started_ = true;
    running_ = true;
    try {
      activate_();
    } catch (...) {
      // FLTK's frames lie between here and Run: carry the failure across them and end the program there.
      failure_ = std::current_exception();
      form_.hide();
    }
    running_ = false;
    if (close_taken_up_) form_.hide();
  }

  // The window manager's close box. Escape reaches the window callback too, and closes nothing here.
  static void OnWindowCallback(Fl_Widget*, void* self) {
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
    static_cast<WindowFrontEnd*>(self)->RequestClose();
  }

  void RequestClose() {
    if (running_) {
      close_taken_up_ = true;  // the run cannot be cancelled; it ends the program when it is over
    } else {
      form_.hide();
    }
  }

#ifdef CLUBIQA_X11
  // While a box is modal FLTK drops close requests for other windows, so one that was waiting in the queue
  // when the box came up would be lost. The run takes them up here, whether a box is shown or not.
  static int OnSystemEvent(void* event, void* data) {
    auto* self = static_cast<WindowFrontEnd*>(data);
    const auto* xevent = static_cast<const XEvent*>(event);
    if (!self->running_ || xevent->type != ClientMessage || xevent->xclient.window != fl_xid(&self->form_)) {
      return 0;
    }
    const Atom protocols = XInternAtom(fl_display, "WM_PROTOCOLS", False);
    const Atom delete_window = XInternAtom(fl_display, "WM_DELETE_WINDOW", False);
    if (xevent->xclient.message_type != protocols || static_cast<Atom>(xevent->xclient.data.l[0]) != delete_window) {
      return 0;
    }
    self->RequestClose();
    return 1;
  }
#endif

  fltk::MainForm form_;
  std::function<void()> activate_;
  std::exception_ptr failure_;
  int gauge_ = 0;
  bool run_started_ = false;
  bool running_ = false;
  bool close_taken_up_ = false;
};

}  // namespace

std::unique_ptr<FrontEnd> MakeWindowFrontEnd() {
  if (!fltk::OpenDisplay()) return nullptr;
  pictures::RgbImage image2 =
      pictures::DecodeJpeg("Image2", pictures::Image2Jpeg(), pictures::kPictureWidth, pictures::kPictureHeight);
  pictures::RgbImage image_vanta =
      pictures::DecodeJpeg("ImageVanta", pictures::ImageVantaJpeg(), pictures::kPictureWidth, pictures::kPictureHeight);
  return std::make_unique<WindowFrontEnd>(std::move(image2), std::move(image_vanta));
}

}  // namespace app
