#include "app/gui/picture.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>
#include <png.h>

namespace app {

namespace {

// Checked on the header, before any pixel is decoded: a few kilobytes of
// JPEG can claim 8192 x 8192 and take 650 MB to decode.
bool sane(long long width, long long height) {
  return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height <= kMaxPicturePixels;
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
// A file that ends before its last scan is only a warning to libjpeg, which
// fills the rest grey; here it means a damaged file and no picture.
struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  bool ran_out = false;
};

[[noreturn]] void on_jpeg_error(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void on_jpeg_message(j_common_ptr info, int level) {
  if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF)
    reinterpret_cast<JpegError*>(info->err)->ran_out = true;
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
  if (job.error.ran_out) return false;
  jpeg_finish_decompress(&job.info);
  return !job.error.ran_out;
}

QImage decode_jpeg(const web::Bytes& bytes) {
  JpegJob job{};
  job.info.err = jpeg_std_error(&job.error.mgr);
  job.error.mgr.error_exit = on_jpeg_error;
  job.error.mgr.output_message = ignore_jpeg_message;
  job.error.mgr.emit_message = on_jpeg_message;
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
