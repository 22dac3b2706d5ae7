#pragma once
// What the fuzz targets share: a check that aborts with the broken property
// (libFuzzer then keeps the input), cutting an input into zero-separated
// pieces, a UTF-8 validity test, and a scratch file private to the process.

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#define FUZZ_CHECK(condition) ((condition) ? void(0) : fuzz::fail(#condition, __FILE__, __LINE__))

namespace fuzz {

[[noreturn]] inline void fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, what);
  std::fflush(stderr);
  std::abort();
}

// The input cut at zero bytes into exactly `count` pieces (the last takes the
// rest, zeros removed; missing pieces are empty). System texts never hold a
// zero byte, so no piece does.
inline std::vector<std::string> pieces(const std::uint8_t* data, std::size_t size,
                                       std::size_t count) {
  std::vector<std::string> out(count);
  std::size_t k = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      if (k + 1 < count) ++k;
      continue;
    }
    out[k].push_back(static_cast<char>(data[i]));
  }
  return out;
}

// Well-formed UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
inline bool valid_utf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    std::uint32_t code = n == 1 ? c : c & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
      const auto t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      code = (code << 6) | (t & 0x3F);
    }
    static constexpr std::uint32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kLeast[n] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += n;
  }
  return true;
}

// A file named `name` in a directory of this process's own under $TMPDIR.
inline std::filesystem::path scratch_file(const char* name) {
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/weihe-fuzz-XXXXXX";
  if (!mkdtemp(dir.data())) fail("mkdtemp", __FILE__, __LINE__);
  return std::filesystem::path(dir) / name;
}

inline void write_file(const std::filesystem::path& path, const std::uint8_t* data,
                       std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) fail("writing the scratch file", __FILE__, __LINE__);
}

}  // namespace fuzz
