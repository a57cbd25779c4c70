/* Compresses a binary PPM (P6, maxval 255) to a baseline JPEG: the one-off step after make_pictures.py.
   Build and run by hand: cc ppm_to_jpeg.c -ljpeg -o ppm_to_jpeg && ./ppm_to_jpeg in.ppm out.jpg 88 */
#include <stdio.h>
#include <stdlib.h>

#include <jpeglib.h>

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: ppm_to_jpeg in.ppm out.jpg quality\n");
    return 2;
  }
  FILE* in = fopen(argv[1], "rb");
  int width = 0, height = 0, maxval = 0;
  if (!in || fscanf(in, "P6 %d %d %d", &width, &height, &maxval) != 3 || maxval != 255 || fgetc(in) == EOF) {
    fprintf(stderr, "ppm_to_jpeg: %s is no binary PPM\n", argv[1]);
    return 1;
  }
  size_t stride = (size_t)width * 3;
  unsigned char* pixels = malloc(stride * (size_t)height);
  if (!pixels || fread(pixels, stride, (size_t)height, in) != (size_t)height) {
    fprintf(stderr, "ppm_to_jpeg: %s is truncated\n", argv[1]);
    return 1;
  }
  fclose(in);
  FILE* out = fopen(argv[2], "wb");
  if (!out) return 1;

  struct jpeg_compress_struct info;
  struct jpeg_error_mgr err;
  info.err = jpeg_std_error(&err); /* errors exit the process, which is all a one-off tool needs */
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, out);
  info.image_width = (JDIMENSION)width;
  info.image_height = (JDIMENSION)height;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, atoi(argv[3]), TRUE);
  info.optimize_coding = TRUE;
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = pixels + stride * info.next_scanline;
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  fclose(out);
  free(pixels);
  return 0;
}
