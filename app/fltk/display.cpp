#include "app/fltk/display.h"

#include <FL/Fl.H>

#if !defined(_WIN32) && !defined(__APPLE__)
#include <FL/x.H>

#include <cstdlib>
#endif

namespace app::fltk {

#if defined(_WIN32) || defined(__APPLE__)

bool OpenDisplay() { return true; }

#else

namespace {

struct NoDisplay {};

// FLTK reports a display it cannot open through Fl::fatal, whose default ends the process. Thrown from
// here, the failure unwinds out of fl_open_display before FLTK does anything else with the display.
void ThrowNoDisplay(const char*, ...) { throw NoDisplay{}; }

}  // namespace

bool OpenDisplay() {
  if (fl_display != nullptr) return true;
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') return false;
  void (*previous)(const char*, ...) = Fl::fatal;
  Fl::fatal = ThrowNoDisplay;
  bool opened = true;
  try {
    fl_open_display();
  } catch (const NoDisplay&) {
    opened = false;
  }
  Fl::fatal = previous;
  return opened;
}

#endif

}  // namespace app::fltk
