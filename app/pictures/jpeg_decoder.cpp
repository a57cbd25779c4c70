#include "app/pictures/jpeg_decoder.h"

#include <array>
#include <csetjmp>
#include <cstddef>
#include <cstdio>  // jpeglib.h uses FILE and size_t without including their headers
#include <limits>
#include <stdexcept>
#include <string>

#include <jpeglib.h>

namespace app::pictures {
namespace {

// libjpeg reports an error through a callback that must not return; ExitByJump jumps back to the setjmp
// in Guarded with the formatted text in `message`.
struct ErrorManager {
  jpeg_error_mgr pub;  // first member, so that libjpeg's pointer to it is a pointer to the whole
  std::jmp_buf jump;
  std::array<char, JMSG_LENGTH_MAX> message{};
};

void ExitByJump(j_common_ptr info) {
  auto* err = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, err->message.data());
  std::longjmp(err->jump, 1);
}

// Level -1 is a warning: corrupt data that libjpeg would paper over, a truncated file among them. Those
// fail the decode. Higher levels are trace messages, of no interest here.
void EmitMessage(j_common_ptr info, int level) {
  if (level < 0) ExitByJump(info);
}

// libjpeg would print to stderr; the text reaches the caller in the exception instead.
void OutputNothing(j_common_ptr) {}

// Owns libjpeg's state for one decode; destroying a struct that was never created is harmless.
struct Decompressor {
  Decompressor() {
    info.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ExitByJump;
    err.pub.emit_message = EmitMessage;
    err.pub.output_message = OutputNothing;
  }
  ~Decompressor() { jpeg_destroy_decompress(&info); }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;

  jpeg_decompress_struct info{};
  ErrorManager err{};
};

struct MemorySource {
  const unsigned char* data;
  unsigned long size;
};

// The libjpeg calls, one step each. A step is a plain function without objects that have destructors,
// so that the jump out of it skips nothing that needs cleaning up.
using Step = void (*)(Decompressor*, void*);

void Create(Decompressor* d, void*) { jpeg_create_decompress(&d->info); }

void ReadHeader(Decompressor* d, void* arg) {
  const auto* source = static_cast<const MemorySource*>(arg);
  jpeg_mem_src(&d->info, source->data, source->size);
  jpeg_read_header(&d->info, TRUE);
}

void Start(Decompressor* d, void*) {
  d->info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&d->info);
}

void ReadRows(Decompressor* d, void* arg) {
  auto* pixels = static_cast<unsigned char*>(arg);
  const std::size_t stride = std::size_t{d->info.output_width} * 3;
  while (d->info.output_scanline < d->info.output_height) {
    JSAMPROW row = pixels + stride * d->info.output_scanline;
    jpeg_read_scanlines(&d->info, &row, 1);
  }
}

void Finish(Decompressor* d, void*) { jpeg_finish_decompress(&d->info); }

// The only frame that calls setjmp. It changes no local after setjmp and holds no object with a
// destructor, so the jump back from libjpeg is well defined; no C++ exception crosses libjpeg's frames.
bool Guarded(Decompressor* d, Step step, void* arg) {
  if (setjmp(d->err.jump) != 0) return false;
  step(d, arg);
  return true;
}

std::runtime_error Failure(std::string_view name, std::string_view reason) {
  return std::runtime_error("picture " + std::string(name) + ": " + std::string(reason));
}

}  // namespace

RgbImage DecodeJpeg(std::string_view name, std::span<const unsigned char> jpeg, int width, int height) {
  if (jpeg.size() > std::numeric_limits<unsigned long>::max()) throw Failure(name, "file too large");
  Decompressor d;
  MemorySource source{jpeg.data(), static_cast<unsigned long>(jpeg.size())};
  if (!Guarded(&d, Create, nullptr) || !Guarded(&d, ReadHeader, &source)) throw Failure(name, d.err.message.data());
  if (d.info.image_width != static_cast<JDIMENSION>(width) || d.info.image_height != static_cast<JDIMENSION>(height)) {
    throw Failure(name, std::to_string(d.info.image_width) + " x " + std::to_string(d.info.image_height) +
                            " pixels instead of " + std::to_string(width) + " x " + std::to_string(height));
  }
  if (!Guarded(&d, Start, nullptr)) throw Failure(name, d.err.message.data());
  RgbImage image{width, height, std::vector<unsigned char>(std::size_t(width) * std::size_t(height) * 3)};
  if (!Guarded(&d, ReadRows, image.pixels.data()) || !Guarded(&d, Finish, nullptr)) {
    throw Failure(name, d.err.message.data());
  }
  return image;
}

}  // namespace app::pictures
