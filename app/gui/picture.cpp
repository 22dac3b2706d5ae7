#include "app/gui/picture.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <png.h>

namespace app {

namespace {

bool sane(long long width, long long height) {
  return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide;
}

QImage decode_png(const web::Bytes& bytes) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return {};
  if (!sane(image.width, image.height)) {
    png_image_free(&image);
    return {};
  }
  image.format = PNG_FORMAT_RGBA;
  QImage out(static_cast<int>(image.width), static_cast<int>(image.height),
             QImage::Format_RGBA8888);
  if (out.isNull() ||
      !png_image_finish_read(&image, nullptr, out.bits(),
                             static_cast<png_int_32>(out.bytesPerLine()), nullptr)) {
    png_image_free(&image);
    return {};
  }
  return out;
}

// libjpeg reports fatal errors through error_exit, which must not return:
// it jumps back to the decoder, which then gives up.
struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

[[noreturn]] void on_jpeg_error(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void ignore_jpeg_message(j_common_ptr) {}

// Everything the decoder touches after setjmp lives here, outside its frame.
struct JpegJob {
  jpeg_decompress_struct info;
  JpegError error;
  QImage image;
};

bool run_jpeg(JpegJob& job, const web::Bytes& bytes) {
  if (setjmp(job.error.jump)) return false;
  jpeg_mem_src(&job.info, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  if (jpeg_read_header(&job.info, TRUE) != JPEG_HEADER_OK) return false;
  if (!sane(job.info.image_width, job.info.image_height)) return false;
  job.info.out_color_space = JCS_EXT_RGBX;
  jpeg_start_decompress(&job.info);
  job.image = QImage(static_cast<int>(job.info.output_width),
                     static_cast<int>(job.info.output_height), QImage::Format_RGBX8888);
  if (job.image.isNull()) return false;
  while (job.info.output_scanline < job.info.output_height) {
    JSAMPROW row = job.image.scanLine(static_cast<int>(job.info.output_scanline));
    jpeg_read_scanlines(&job.info, &row, 1);
  }
  jpeg_finish_decompress(&job.info);
  return true;
}

QImage decode_jpeg(const web::Bytes& bytes) {
  JpegJob job{};
  job.info.err = jpeg_std_error(&job.error.mgr);
  job.error.mgr.error_exit = on_jpeg_error;
  job.error.mgr.output_message = ignore_jpeg_message;
  jpeg_create_decompress(&job.info);
  bool ok = run_jpeg(job, bytes);
  jpeg_destroy_decompress(&job.info);
  return ok ? job.image : QImage();
}

}  // namespace

QImage decode_picture(const web::Bytes& bytes) {
  if (bytes.size() >= 8 && png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.data()), 0, 8) == 0)
    return decode_png(bytes);
  if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xD8)
    return decode_jpeg(bytes);
  return {};
}

}  // namespace app
