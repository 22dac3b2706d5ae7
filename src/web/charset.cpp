// GB18030 <-> UTF-8 conversion on glibc iconv. Pages are mostly ASCII markup,
// so ASCII runs are copied directly and only the runs of other characters go
// through iconv, with one converter pair per thread (iconv_t is not shareable).
#include <iconv.h>

#include <cerrno>

#include "web/text.h"

namespace web {
namespace {

// U+FFFD, written in each target charset.
constexpr std::string_view kReplacementGb18030 = "\x84\x31\xA4\x37";
constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

class Converter {
 public:
  Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(m_cd);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

  // Appends the conversion of `in` to `out`; an invalid or incomplete
  // sequence costs one input byte and yields `replacement`.
  void append(std::string_view in, std::string& out, std::string_view replacement) {
    char* inp = const_cast<char*>(in.data());
    size_t inleft = in.size();
    while (inleft > 0) {
      size_t old = out.size();
      size_t room = inleft * 2 + 8;
      out.resize(old + room);
      char* outp = out.data() + old;
      size_t outleft = room;
      size_t r = iconv(m_cd, &inp, &inleft, &outp, &outleft);
      int err = errno;
      out.resize(out.size() - outleft);
      if (r != static_cast<size_t>(-1)) break;
      if (err == E2BIG) continue;
      out.append(replacement);
      ++inp;
      --inleft;
      iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
    }
  }

 private:
  iconv_t m_cd;
};

Converter& to_gb18030() {
  thread_local Converter c("GB18030", "UTF-8");
  return c;
}

Converter& to_utf8() {
  thread_local Converter c("UTF-8", "GB18030");
  return c;
}

inline bool is_ascii(char c) {
  return static_cast<unsigned char>(c) < 0x80;
}

}  // namespace

Text utf8_to_gbk(std::string_view utf8) {
  utf8 = utf8.substr(0, std::min(utf8.size(), utf8.find('\0')));
  Converter& conv = to_gb18030();
  if (!conv.ok()) return {};
  Text out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    size_t j = i;
    while (j < utf8.size() && is_ascii(utf8[j])) ++j;
    out.append(utf8.substr(i, j - i));
    i = j;
    // In UTF-8 every byte of a multi-byte character is >= 0x80, so a run of
    // such bytes ends exactly where ASCII resumes.
    while (j < utf8.size() && !is_ascii(utf8[j])) ++j;
    if (j > i) conv.append(utf8.substr(i, j - i), out, kReplacementGb18030);
    i = j;
  }
  return out;
}

std::string gbk_to_utf8(std::string_view text) {
  Converter& conv = to_utf8();
  if (!conv.ok()) return {};
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  size_t i = 0;
  while (i < text.size()) {
    size_t j = i;
    while (j < text.size() && is_ascii(text[j])) ++j;
    out.append(text.substr(i, j - i));
    i = j;
    // A GB18030 character is a sequence of two-byte units whose first byte is
    // >= 0x80 (trail bytes may be ASCII), so step by units to find the run's end.
    while (j < text.size() && !is_ascii(text[j])) j += 2;
    j = std::min(j, text.size());
    if (j > i) conv.append(text.substr(i, j - i), out, kReplacementUtf8);
    i = j;
  }
  return out;
}

}  // namespace web
