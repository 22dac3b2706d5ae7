#pragma once
// A small store logo encoded as a real PNG file (8-bit RGB, zlib-compressed).
//
// Usage: std::string bytes = mall::logo_png();   // starts with "\x89PNG\r\n\x1a\n"

#include <string>

namespace mall {

// The logo, 56 x 56 pixels: a green disc with a light leaf on white. The bytes
// are built once and then returned from a cache.
const std::string& logo_png();

// Encodes rows of 8-bit RGB pixels (width * 3 bytes per row) as a PNG file.
std::string encode_png_rgb(int width, int height, const std::string& rgb);

}  // namespace mall
