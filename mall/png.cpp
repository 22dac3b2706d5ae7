#include "mall/png.h"

#include <zlib.h>

#include <cstdint>

namespace mall {
namespace {

void put_u32(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v >> 24);
  out += static_cast<char>(v >> 16);
  out += static_cast<char>(v >> 8);
  out += static_cast<char>(v);
}

// Length, type, data and the CRC over type + data.
void put_chunk(std::string& out, const char* type, const std::string& data) {
  put_u32(out, static_cast<std::uint32_t>(data.size()));
  std::string body(type, 4);
  body += data;
  out += body;
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
  put_u32(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

std::string encode_png_rgb(int width, int height, const std::string& rgb) {
  const std::size_t row_bytes = static_cast<std::size_t>(width) * 3;
  if (width <= 0 || height <= 0 || rgb.size() != row_bytes * height) return {};

  // Every scanline starts with filter type 0 (none).
  std::string raw;
  raw.reserve((row_bytes + 1) * height);
  for (int y = 0; y < height; ++y) {
    raw += '\0';
    raw.append(rgb, y * row_bytes, row_bytes);
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(packed_size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packed_size,
                reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                Z_BEST_COMPRESSION) != Z_OK) {
    return {};
  }
  packed.resize(packed_size);

  std::string ihdr;
  put_u32(ihdr, static_cast<std::uint32_t>(width));
  put_u32(ihdr, static_cast<std::uint32_t>(height));
  ihdr += '\x08';  // bit depth
  ihdr += '\x02';  // colour type: RGB
  ihdr += '\0';    // compression
  ihdr += '\0';    // filter
  ihdr += '\0';    // interlace

  std::string out("\x89PNG\r\n\x1a\n", 8);
  put_chunk(out, "IHDR", ihdr);
  put_chunk(out, "IDAT", packed);
  put_chunk(out, "IEND", {});
  return out;
}

const std::string& logo_png() {
  static const std::string bytes = [] {
    constexpr int kSize = 56;
    std::string rgb;
    rgb.reserve(kSize * kSize * 3);
    const double c = (kSize - 1) / 2.0;
    for (int y = 0; y < kSize; ++y) {
      for (int x = 0; x < kSize; ++x) {
        const double dx = x - c, dy = y - c;
        const bool disc = dx * dx + dy * dy <= 26.0 * 26.0;
        // A leaf: the intersection of two discs offset along the diagonal.
        const double ax = dx - 7, ay = dy - 7, bx = dx + 7, by = dy + 7;
        const bool leaf = ax * ax + ay * ay <= 15.0 * 15.0 && bx * bx + by * by <= 15.0 * 15.0;
        unsigned char r = 255, g = 255, b = 255;
        if (leaf) {
          r = 226, g = 244, b = 214;
        } else if (disc) {
          r = 46, g = 139, b = 87;
        }
        rgb += static_cast<char>(r);
        rgb += static_cast<char>(g);
        rgb += static_cast<char>(b);
      }
    }
    return encode_png_rgb(kSize, kSize, rgb);
  }();
  return bytes;
}

}  // namespace mall
