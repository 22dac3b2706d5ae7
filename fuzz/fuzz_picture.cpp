// Decoding the picture bytes the window shows (PNG, JPEG).

#include <png.h>

#include "app/gui/picture.h"
#include "fuzz/support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const web::Bytes bytes(reinterpret_cast<const char*>(data), size);
  const QImage image = app::decode_picture(bytes);
  if (image.isNull()) return 0;

  // Only PNG and JPEG files decode, and only within the size bounds.
  const bool png = size >= 8 && png_sig_cmp(data, 0, 8) == 0;
  const bool jpeg = size >= 3 && data[0] == 0xFF && data[1] == 0xD8;
  FUZZ_CHECK(png || jpeg);
  const long long w = image.width(), h = image.height();
  FUZZ_CHECK(w > 0 && h > 0 && w <= app::kMaxPictureSide && h <= app::kMaxPictureSide);
  FUZZ_CHECK(w * h <= app::kMaxPicturePixels);
  return 0;
}
