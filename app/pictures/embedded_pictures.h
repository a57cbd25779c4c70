// The pictures of the main window, built into the program as JPEG bytes (see embed_picture.cmake), so that
// the program needs no picture files beside it.
#ifndef CLUBIQA_APP_PICTURES_EMBEDDED_PICTURES_H_
#define CLUBIQA_APP_PICTURES_EMBEDDED_PICTURES_H_

#include <span>

namespace app::pictures {

// Every picture of the main window has this size.
inline constexpr int kPictureWidth = 504;
inline constexpr int kPictureHeight = 321;

// The picture shown as the window is created.
std::span<const unsigned char> Image2Jpeg();
// The picture shown from the first activation on.
std::span<const unsigned char> ImageVantaJpeg();

}  // namespace app::pictures

#endif  // CLUBIQA_APP_PICTURES_EMBEDDED_PICTURES_H_
