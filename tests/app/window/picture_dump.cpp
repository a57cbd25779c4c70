// Writes the pictures built into the program, decoded, as PPM files into a directory, so that the
// screenshot check can compare the screen with the very pixels the window was given.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <span>
#include <string>

#include "app/pictures/embedded_pictures.h"
#include "app/pictures/jpeg_decoder.h"

namespace {

void WritePpm(const std::filesystem::path& path, const app::pictures::RgbImage& image) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << image.width << " " << image.height << "\n255\n";
  out.write(reinterpret_cast<const char*>(image.pixels.data()), static_cast<std::streamsize>(image.pixels.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void Dump(const std::filesystem::path& dir, const char* name, const char* file, std::span<const unsigned char> jpeg) {
  WritePpm(dir / file,
           app::pictures::DecodeJpeg(name, jpeg, app::pictures::kPictureWidth, app::pictures::kPictureHeight));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: picture_dump <directory>\n";
    return 2;
  }
  try {
    Dump(argv[1], "Image2", "image2.ppm", app::pictures::Image2Jpeg());
    Dump(argv[1], "ImageVanta", "image_vanta.ppm", app::pictures::ImageVantaJpeg());
  } catch (const std::exception& e) {
    std::cerr << "picture_dump: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
