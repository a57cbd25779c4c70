// The decoder of the window's pictures: the pictures built into the program decode to the form's size, and
// anything that is not a complete JPEG of that size fails with a text that names the picture.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "app/pictures/embedded_pictures.h"
#include "app/pictures/jpeg_decoder.h"

namespace {

using app::pictures::DecodeJpeg;
using app::pictures::kPictureHeight;
using app::pictures::kPictureWidth;
using app::pictures::RgbImage;

// The failure text of decoding `jpeg` as a picture of the form's size, or "" when it decodes.
std::string DecodeFailure(std::span<const unsigned char> jpeg, int width = kPictureWidth, int height = kPictureHeight) {
  try {
    DecodeJpeg("ImageVanta", jpeg, width, height);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "";
}

// A baseline JPEG of one flat colour, made with libjpeg's compressor.
std::vector<unsigned char> FlatJpeg(int width, int height, unsigned char r, unsigned char g, unsigned char b) {
  jpeg_compress_struct info{};
  jpeg_error_mgr err{};
  info.err = jpeg_std_error(&err);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(width) * 3);
  for (int x = 0; x < width; ++x) {
    row[x * 3] = r;
    row[x * 3 + 1] = g;
    row[x * 3 + 2] = b;
  }
  while (info.next_scanline < info.image_height) {
    JSAMPROW rows[] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<unsigned char> jpeg(buffer, buffer + size);
  std::free(buffer);  // jpeg_mem_dest allocates with malloc
  return jpeg;
}

std::vector<unsigned char> Copy(std::span<const unsigned char> bytes) { return {bytes.begin(), bytes.end()}; }

TEST(PictureDecoder, EmbeddedPicturesDecodeToTheFormSize) {
  for (auto [name, jpeg] :
       {std::pair{"Image2", app::pictures::Image2Jpeg()}, std::pair{"ImageVanta", app::pictures::ImageVantaJpeg()}}) {
    const RgbImage image = DecodeJpeg(name, jpeg, kPictureWidth, kPictureHeight);
    EXPECT_EQ(image.width, 504) << name;
    EXPECT_EQ(image.height, 321) << name;
    EXPECT_EQ(image.pixels.size(), 504u * 321u * 3u) << name;
  }
}

TEST(PictureDecoder, TheTwoPicturesDiffer) {
  const RgbImage image2 = DecodeJpeg("Image2", app::pictures::Image2Jpeg(), kPictureWidth, kPictureHeight);
  const RgbImage vanta = DecodeJpeg("ImageVanta", app::pictures::ImageVantaJpeg(), kPictureWidth, kPictureHeight);
  EXPECT_NE(image2.pixels, vanta.pixels);
}

TEST(PictureDecoder, DecodesTheColoursOfASmallPicture) {
  const RgbImage image = DecodeJpeg("Flat", FlatJpeg(24, 16, 200, 40, 90), 24, 16);
  ASSERT_EQ(image.pixels.size(), 24u * 16u * 3u);
  for (size_t i = 0; i < image.pixels.size(); i += 3) {
    ASSERT_NEAR(image.pixels[i], 200, 3) << "pixel " << i / 3;
    ASSERT_NEAR(image.pixels[i + 1], 40, 3) << "pixel " << i / 3;
    ASSERT_NEAR(image.pixels[i + 2], 90, 3) << "pixel " << i / 3;
  }
}

TEST(PictureDecoder, TruncatedFileFails) {
  const std::vector<unsigned char> whole = Copy(app::pictures::ImageVantaJpeg());
  const std::vector<unsigned char> half(whole.begin(), whole.begin() + whole.size() / 2);
  EXPECT_EQ(DecodeFailure(half), "picture ImageVanta: Premature end of JPEG file");
}

// libjpeg finds every row but not the end-of-image marker; it would only warn about that.
TEST(PictureDecoder, MissingEndMarkerFails) {
  std::vector<unsigned char> jpeg = Copy(app::pictures::ImageVantaJpeg());
  ASSERT_EQ(jpeg[jpeg.size() - 2], 0xFF);
  ASSERT_EQ(jpeg[jpeg.size() - 1], 0xD9);
  jpeg.resize(jpeg.size() - 2);
  EXPECT_EQ(DecodeFailure(jpeg), "picture ImageVanta: Premature end of JPEG file");
}

TEST(PictureDecoder, GarbageFails) {
  const std::vector<unsigned char> garbage(4096, 'A');
  EXPECT_EQ(DecodeFailure(garbage), "picture ImageVanta: Not a JPEG file: starts with 0x41 0x41");
}

TEST(PictureDecoder, EmptyInputFails) { EXPECT_EQ(DecodeFailure({}), "picture ImageVanta: Empty input file"); }

// Damaged entropy-coded data makes libjpeg warn and go on with made-up pixels; here it is a failure.
TEST(PictureDecoder, CorruptedScanDataFails) {
  std::vector<unsigned char> jpeg = Copy(app::pictures::ImageVantaJpeg());
  for (size_t i = jpeg.size() / 2; i < jpeg.size() / 2 + 64; ++i) jpeg[i] = 0xFF;
  const std::string failure = DecodeFailure(jpeg);
  EXPECT_TRUE(failure.starts_with("picture ImageVanta: ")) << failure;
  EXPECT_GT(failure.size(), std::string("picture ImageVanta: ").size()) << failure;
}

TEST(PictureDecoder, WrongSizeFails) {
  EXPECT_EQ(DecodeFailure(FlatJpeg(16, 8, 0, 0, 0)), "picture ImageVanta: 16 x 8 pixels instead of 504 x 321");
  // One pixel off in a single direction is as wrong.
  EXPECT_EQ(DecodeFailure(FlatJpeg(504, 320, 0, 0, 0)), "picture ImageVanta: 504 x 320 pixels instead of 504 x 321");
}

}  // namespace
