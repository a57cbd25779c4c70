// Decoding of the window's JPEG pictures from memory to RGB pixels, with libjpeg.
//
// A picture either decodes completely and cleanly or not at all: libjpeg's warnings (a truncated file is
// only a warning to it, and it would fill the missing rows with grey) count as failures here.
#ifndef CLUBIQA_APP_PICTURES_JPEG_DECODER_H_
#define CLUBIQA_APP_PICTURES_JPEG_DECODER_H_

#include <span>
#include <string_view>
#include <vector>

namespace app::pictures {

// 8-bit RGB pixels, rows top to bottom, 3 bytes a pixel, no padding.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> pixels;
};

// Decodes `jpeg`, which must be a picture of `width` x `height` pixels. Throws std::runtime_error
// "picture <name>: <reason>" when it does not decode cleanly or has another size.
RgbImage DecodeJpeg(std::string_view name, std::span<const unsigned char> jpeg, int width, int height);

}  // namespace app::pictures

#endif  // CLUBIQA_APP_PICTURES_JPEG_DECODER_H_
