// The window front end on a (virtual) display: the form as created, the pictures and the gauge as they
// appear on the screen, the message boxes, and the rule for a close request during the run.
//
// Each test runs its steps as the activation of Run, the way the upgrader's run is started. Close requests
// and keys are sent as the window system sends them (X11 events), so they reach the program only when it
// handles events.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <span>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/front_end.h"
#include "app/pictures/embedded_pictures.h"
#include "app/pictures/jpeg_decoder.h"
#include "ui/ui.h"

#if !defined(_WIN32) && !defined(__APPLE__)
#define CLUBIQA_X11 1
#include <FL/x.H>
#include <X11/keysym.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPictureLeft = 4;
constexpr int kGaugeRow = 344 - 23 + 11;  // the middle row of Gauge1

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rgb& c) { return out << c.r << "," << c.g << "," << c.b; }

constexpr Rgb kNavy{0, 0, 128};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

// The main window of the front end: of the application's class (which the boxes share), and not modal.
Fl_Window* MainWindow() {
  for (Fl_Window* w = Fl::first_window(); w != nullptr; w = Fl::next_window(w)) {
    if (!w->modal() && w->xclass() != nullptr && std::string_view(w->xclass()) == ui::kApplicationTitle) return w;
  }
  return nullptr;
}

// What is on the screen in a rectangle of `window`, 3 bytes a pixel.
std::vector<unsigned char> ReadPixels(Fl_Window* window, int x, int y, int w, int h) {
  std::vector<unsigned char> pixels(static_cast<size_t>(w) * h * 3);
  window->make_current();
  fl_read_image(pixels.data(), x, y, w, h);
  return pixels;
}

Rgb Pixel(Fl_Window* window, int x, int y) {
  const std::vector<unsigned char> p = ReadPixels(window, x, y, 1, 1);
  return {p[0], p[1], p[2]};
}

// How many pixels of the picture area differ from `picture` by more than a rounding error.
int PictureMismatches(Fl_Window* window, const app::pictures::RgbImage& picture) {
  const std::vector<unsigned char> shown = ReadPixels(window, kPictureLeft, 0, picture.width, picture.height);
  int mismatches = 0;
  for (size_t i = 0; i < shown.size(); ++i) {
    if (std::abs(int{shown[i]} - int{picture.pixels[i]}) > 2) ++mismatches;
  }
  return mismatches;
}

int CountPixels(Fl_Window* window, int x, int y, int w, int h, Rgb colour) {
  const std::vector<unsigned char> p = ReadPixels(window, x, y, w, h);
  int count = 0;
  for (size_t i = 0; i < p.size(); i += 3) count += Rgb{p[i], p[i + 1], p[i + 2]} == colour;
  return count;
}

#ifdef CLUBIQA_X11
// The caption as the window system has it.
std::string SystemCaption(Fl_Window* window) {
  char* name = nullptr;
  std::string caption;
  if (XFetchName(fl_display, fl_xid(window), &name) != 0 && name != nullptr) caption = name;
  if (name != nullptr) XFree(name);
  return caption;
}

// What a window manager sends when the user clicks the close box.
void SendCloseRequest(Fl_Window* window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = fl_xid(window);
  event.xclient.message_type = XInternAtom(fl_display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(fl_display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(fl_display, fl_xid(window), False, NoEventMask, &event);
  XSync(fl_display, False);  // the event now waits in the queue until the program handles events
}

void SendKey(Fl_Window* window, KeySym key) {
  XKeyEvent event{};
  event.display = fl_display;
  event.window = fl_xid(window);
  event.root = RootWindow(fl_display, fl_screen);
  event.time = CurrentTime;
  event.x = event.y = event.x_root = event.y_root = 1;
  event.same_screen = True;
  event.keycode = XKeysymToKeycode(fl_display, key);
  event.type = KeyPress;
  XSendEvent(fl_display, event.window, True, KeyPressMask, reinterpret_cast<XEvent*>(&event));
  event.type = KeyRelease;
  XSendEvent(fl_display, event.window, True, KeyReleaseMask, reinterpret_cast<XEvent*>(&event));
  XSync(fl_display, False);
}
#endif

// Confirms a box that should not have waited, so that a failing test ends instead of hanging.
void ConfirmStrayBox(void* confirmed) {
  if (Fl_Window* box = Fl::modal()) {
    box->hide();
    *static_cast<bool*>(confirmed) = true;
  }
}

// Ends a test that would otherwise wait for ever: a window that does not close, a box that is not confirmed.
void Watchdog(void*) {
  ADD_FAILURE() << "the test did not end within 20 s";
  while (Fl_Window* window = Fl::first_window()) window->hide();
}

class WindowFrontEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef CLUBIQA_X11
    GTEST_SKIP() << "the events of these tests are X11 events";
#endif
    front_end_ = app::MakeWindowFrontEnd();
    if (!front_end_) GTEST_SKIP() << "no display";
    image2_ = Decode("Image2", app::pictures::Image2Jpeg());
    vanta_ = Decode("ImageVanta", app::pictures::ImageVantaJpeg());
    Fl::add_timeout(20.0, Watchdog);
  }

  void TearDown() override {
    Fl::remove_timeout(Watchdog);
    Fl::remove_timeout(ConfirmStrayBox);
  }

  static app::pictures::RgbImage Decode(std::string_view name, std::span<const unsigned char> jpeg) {
    return app::pictures::DecodeJpeg(name, jpeg, app::pictures::kPictureWidth, app::pictures::kPictureHeight);
  }

  // Shows a box and returns how long it took; a box still up after 3 s is confirmed and noted.
  double ShowBoxTimed(ui::BoxKind kind, std::string_view text) {
    Fl::add_timeout(3.0, ConfirmStrayBox, &stray_box_confirmed_);
    const Clock::time_point start = Clock::now();
    front_end_->ShowBox(kind, text);
    Fl::remove_timeout(ConfirmStrayBox, &stray_box_confirmed_);
    return std::chrono::duration<double>(Clock::now() - start).count();
  }

  std::unique_ptr<app::FrontEnd> front_end_;
  app::pictures::RgbImage image2_;
  app::pictures::RgbImage vanta_;
  bool stray_box_confirmed_ = false;
};

#ifdef CLUBIQA_X11

TEST_F(WindowFrontEndTest, FormAsCreatedIsCentredWithImage2AndAnEmptyGauge) {
  const int exit_code = front_end_->Run([&] {
    Fl_Window* window = MainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(SystemCaption(window), "Clubiqa - SQL Update");
    EXPECT_STREQ(window->iconlabel(), "Clubiqa vanta - SQL Update");
    EXPECT_EQ(window->w(), 510);
    EXPECT_EQ(window->h(), 388);
    int sx = 0, sy = 0, sw = 0, sh = 0;
    Fl::screen_work_area(sx, sy, sw, sh, 0);
    EXPECT_EQ(window->x(), sx + (sw - 510) / 2);
    EXPECT_EQ(window->y(), sy + (sh - 388) / 2);
    EXPECT_EQ(PictureMismatches(window, image2_), 0);
    EXPECT_EQ(front_end_->gauge(), 0);
    EXPECT_EQ(Pixel(window, 5, kGaugeRow), kRed);
    EXPECT_EQ(Pixel(window, 504, kGaugeRow), kRed);
    front_end_->Close();
  });
  EXPECT_EQ(exit_code, 0);
  EXPECT_EQ(MainWindow(), nullptr);
}

TEST_F(WindowFrontEndTest, ShowsCaptionPictureAndGaugeOnTheScreen) {
  int activations = 0;
  front_end_->Run([&] {
    ++activations;
    Fl_Window* window = MainWindow();
    ASSERT_NE(window, nullptr);
    front_end_->SetCaption(ui::kApplicationTitle);
    front_end_->ShowPicture(ui::Picture::kImageVanta);
    front_end_->ProcessMessages();
    EXPECT_EQ(SystemCaption(window), "Clubiqa vanta - SQL Update");
    EXPECT_EQ(PictureMismatches(window, vanta_), 0);

    // The gauge repaints by itself, without events being handled.
    front_end_->SetGauge(50);
    EXPECT_EQ(front_end_->gauge(), 50);
    EXPECT_EQ(Pixel(window, 100, kGaugeRow), kNavy);
    EXPECT_EQ(Pixel(window, 420, kGaugeRow), kRed);
    EXPECT_GT(CountPixels(window, 225, 344 - 23, 60, 23, kWhite), 10) << "no \"50%\" in the middle";

    front_end_->SetGauge(150);
    EXPECT_EQ(front_end_->gauge(), 100);
    EXPECT_EQ(Pixel(window, 504, kGaugeRow), kNavy);
    front_end_->SetGauge(-7);
    EXPECT_EQ(front_end_->gauge(), 0);
    EXPECT_EQ(Pixel(window, 5, kGaugeRow), kRed);

    front_end_->SetCursor(ui::Cursor::kSqlWait);
    front_end_->SetCursor(ui::Cursor::kDefault);
    front_end_->ShowPicture(ui::Picture::kImage2);
    window->redraw();  // a later paint must not start a second run
    front_end_->ProcessMessages();
    EXPECT_EQ(PictureMismatches(window, image2_), 0);
    front_end_->Close();
  });
  EXPECT_EQ(activations, 1);
}

struct BoxSeen {
  std::string caption;
  std::string system_caption;
  int width = 0;
  int height = 0;
  Rgb icon{};
  Rgb background{};
  bool modal = false;
};

void InspectBoxAndPressReturn(void* data) {
  BoxSeen* seen = static_cast<BoxSeen*>(data);
  Fl_Window* box = Fl::modal();
  if (box == nullptr) return;
  seen->caption = box->label() != nullptr ? box->label() : "";
  seen->system_caption = SystemCaption(box);
  seen->width = box->w();
  seen->height = box->h();
  seen->icon = Pixel(box, 14 + 9, 14 + 29);  // inside every icon, below and left of its glyph
  unsigned char r = 0, g = 0, b = 0;
  Fl::get_color(box->color(), r, g, b);
  seen->background = {r, g, b};
  seen->modal = box->modal();
  SendKey(box, XK_Return);
}

std::string Describe(const BoxSeen& seen) {
  std::ostringstream out;
  out << seen.caption << " (" << seen.system_caption << "): ";
  if (seen.icon == seen.background) {
    out << "no icon";
  } else {
    out << "icon " << seen.icon;
  }
  out << (seen.modal ? ", modal" : ", not modal");
  return out.str();
}

TEST_F(WindowFrontEndTest, BoxesWaitForReturnAndShowCaptionAndIconByKind) {
  std::string shown;
  front_end_->Run([&] {
    for (ui::BoxKind kind : {ui::BoxKind::kWarning, ui::BoxKind::kError, ui::BoxKind::kInformation, ui::BoxKind::kPlain,
                             ui::BoxKind::kUnhandled}) {
      BoxSeen seen;
      Fl::add_timeout(0.3, InspectBoxAndPressReturn, &seen);
      const double seconds = ShowBoxTimed(kind, "Ein Text");
      EXPECT_GE(seconds, 0.25) << "the box did not wait";
      shown += Describe(seen) + "\n";
    }
    front_end_->Close();
  });
  EXPECT_FALSE(stray_box_confirmed_) << "Return did not confirm a box";
  EXPECT_EQ(shown,
            "Warnung (Warnung): icon 255,204,0, modal\n"
            "Fehler (Fehler): icon 210,0,0, modal\n"
            "Informationen (Informationen): icon 0,84,200, modal\n"
            "Clubiqa vanta - SQL Update (Clubiqa vanta - SQL Update): no icon, modal\n"
            "Clubiqa vanta - SQL Update (Clubiqa vanta - SQL Update): icon 150,0,0, modal\n");
}

TEST_F(WindowFrontEndTest, BoxIsSizedToItsLines) {
  BoxSeen one_line, three_lines, long_line;
  front_end_->Run([&] {
    Fl::add_timeout(0.1, InspectBoxAndPressReturn, &one_line);
    front_end_->ShowBox(ui::BoxKind::kError, "Zeile");
    Fl::add_timeout(0.1, InspectBoxAndPressReturn, &three_lines);
    front_end_->ShowBox(ui::BoxKind::kError, "Zeile\nZeile\nZeile");
    Fl::add_timeout(0.1, InspectBoxAndPressReturn, &long_line);
    front_end_->ShowBox(ui::BoxKind::kError, "Eine viel l\xC3\xA4ngere Zeile mit @-Zeichen und 100% darin");
    front_end_->Close();
  });
  EXPECT_GT(three_lines.height, one_line.height);
  EXPECT_EQ(three_lines.width, one_line.width);
  EXPECT_GT(long_line.width, one_line.width);
  EXPECT_EQ(long_line.height, one_line.height);
}

TEST_F(WindowFrontEndTest, CloseRequestIsTakenUpAtProcessMessagesAndLaterBoxesCloseAtOnce) {
  bool shown_after_request = false;
  double first_box = 0, second_box = 0;
  const int exit_code = front_end_->Run([&] {
    Fl_Window* window = MainWindow();
    ASSERT_NE(window, nullptr);
    SendCloseRequest(window);
    front_end_->ProcessMessages();
    shown_after_request = window->shown() && window->visible();  // the run goes on
    first_box = ShowBoxTimed(ui::BoxKind::kError, "Kommt nicht an");
    front_end_->SetGauge(100);
    second_box = ShowBoxTimed(ui::BoxKind::kInformation, "UPDATE erfolgreich ausgef\xC3\xBChrt!");
    // No Close(): the request that was taken up ends the program when the run is over.
  });
  EXPECT_EQ(exit_code, 0);
  EXPECT_TRUE(shown_after_request);
  EXPECT_LT(first_box, 1.0);
  EXPECT_LT(second_box, 1.0);
  EXPECT_FALSE(stray_box_confirmed_);
  EXPECT_EQ(MainWindow(), nullptr);
}

// A request that comes while the run is busy waits in the queue; the next box takes it up and closes.
TEST_F(WindowFrontEndTest, CloseRequestWaitingWhenABoxComesUpClosesThatBox) {
  double seconds = 0;
  const int exit_code = front_end_->Run([&] {
    Fl_Window* window = MainWindow();
    ASSERT_NE(window, nullptr);
    SendCloseRequest(window);
    seconds = ShowBoxTimed(ui::BoxKind::kWarning, "Warnung im Lauf");
    EXPECT_TRUE(window->shown());
  });
  EXPECT_EQ(exit_code, 0);
  EXPECT_LT(seconds, 1.0);
  EXPECT_FALSE(stray_box_confirmed_) << "the box waited despite the close request";
  EXPECT_EQ(MainWindow(), nullptr);
}

TEST_F(WindowFrontEndTest, EscapeDoesNotCloseTheWindow) {
  BoxSeen seen;
  double seconds = 0;
  front_end_->Run([&] {
    Fl_Window* window = MainWindow();
    ASSERT_NE(window, nullptr);
    SendKey(window, XK_Escape);
    front_end_->ProcessMessages();
    EXPECT_TRUE(window->visible());
    Fl::add_timeout(0.3, InspectBoxAndPressReturn, &seen);
    seconds = ShowBoxTimed(ui::BoxKind::kInformation, "Wartet");  // no close request was taken up
    front_end_->Close();
  });
  EXPECT_GE(seconds, 0.25);
  EXPECT_EQ(seen.caption, "Informationen");
}

void RequestCloseOfMainWindow(void*) {
  if (Fl_Window* window = MainWindow()) SendCloseRequest(window);
}

// After a run that a failure ended, the window stays open until the user closes it.
TEST_F(WindowFrontEndTest, CloseRequestAfterTheRunClosesTheWindow) {
  const Clock::time_point start = Clock::now();
  const int exit_code = front_end_->Run([&] { Fl::add_timeout(0.3, RequestCloseOfMainWindow); });
  EXPECT_EQ(exit_code, 0);
  EXPECT_GE(std::chrono::duration<double>(Clock::now() - start).count(), 0.25);
  EXPECT_EQ(MainWindow(), nullptr);
}

TEST_F(WindowFrontEndTest, FailureLeavingTheActivationEndsRun) {
  EXPECT_THROW(front_end_->Run([] { throw std::runtime_error("kaputt"); }), std::runtime_error);
  EXPECT_EQ(MainWindow(), nullptr);
}

#endif  // CLUBIQA_X11

}  // namespace
