// A front end of the upgrader: a Ui that also owns the message loop of the main window.
//
// The window front end (FLTK) shows the main window and runs until it is closed; the console front end,
// used when no display can be opened, "activates" once and returns at once.
#ifndef CLUBIQA_APP_FRONT_END_H_
#define CLUBIQA_APP_FRONT_END_H_

#include <functional>
#include <memory>
#include <ostream>

#include "ui/ui.h"

namespace app {

class FrontEnd : public ui::Ui {
 public:
  // Shows the main window and runs the message loop until the program is told to end. `activate` is called
  // at each activation of the window, the first one before the loop waits for any input. Returns the exit
  // code of the program.
  virtual int Run(const std::function<void()>& activate) = 0;
};

// Prints captions, the gauge and every box to `out`; boxes are confirmed at once. Run returns kExitCompleted
// when the run closed the window (it completed) and no warning, error or plain box was shown,
// kExitCompletedWithFailures when it completed after such a box, and kExitRunEnded when it did not close the
// window (a failure ended it); see exit_codes.h.
std::unique_ptr<FrontEnd> MakeConsoleFrontEnd(std::ostream& out, bool interactive_terminal);

// The main window on a display, or null when no display can be opened. Throws std::runtime_error when the
// window cannot be built (a picture that does not decode).
std::unique_ptr<FrontEnd> MakeWindowFrontEnd();

}  // namespace app

#endif  // CLUBIQA_APP_FRONT_END_H_
