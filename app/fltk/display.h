// Whether the window front end can run: a display to open the windows on.
#ifndef CLUBIQA_APP_FLTK_DISPLAY_H_
#define CLUBIQA_APP_FLTK_DISPLAY_H_

namespace app::fltk {

// Opens the display for FLTK once; false when there is none (no DISPLAY set, or the X server does not
// answer). On Windows there is always one.
bool OpenDisplay();

}  // namespace app::fltk

#endif  // CLUBIQA_APP_FLTK_DISPLAY_H_
