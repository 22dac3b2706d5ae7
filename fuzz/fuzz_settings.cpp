// The settings file (src/core/settings.h) as the merchant may have left it.
// Without a zero byte the input is the file and "merchant" is written as the
// account. With one, the bytes before it are a key selector and the value to
// write, the bytes after it the file.

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "core/settings.h"
#include "fuzz/support.h"

namespace {

using web::Text;

struct Key {
  Text name, section;
};

// The keys the program reads and writes, in their sections.
const std::vector<Key>& keys() {
  static const std::vector<Key> k = {
      {web::gbk("账号"), {}},     {web::gbk("密码"), {}},  {web::gbk("快递100sky"), {}},
      {web::gbk("快递类型"), {}}, {"backoffice", "hosts"}, {"images", "hosts"},
      {"tracking", "hosts"},
  };
  return k;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path file = fuzz::scratch_file("settings.ini");
  std::size_t chosen = 0;
  Text value = "merchant";
  const std::uint8_t* content = data;
  std::size_t content_size = size;
  if (const void* zero = std::memchr(data, 0, size)) {
    const std::size_t head = static_cast<const std::uint8_t*>(zero) - data;
    if (head > 0) chosen = data[0] % keys().size();
    value.assign(reinterpret_cast<const char*>(data) + (head > 0 ? 1 : 0), head > 0 ? head - 1 : 0);
    value.resize(std::min<std::size_t>(value.size(), 4096));  // reads stop at 10,239 bytes
    content = data + head + 1;
    content_size = size - head - 1;
  }
  fuzz::write_file(file, content, content_size);

  app::Settings settings(file);
  std::vector<Text> before;
  for (const Key& k : keys()) before.push_back(settings.read_setting(k.name, k.section));

  // A value reads back as written (a line break ends it: it cannot start an
  // entry of its own), and no other setting changes.
  const Key& key = keys()[chosen];
  FUZZ_CHECK(settings.write_setting(key.name, value, key.section));
  const Text expected = value.substr(0, value.find_first_of("\r\n"));
  FUZZ_CHECK(settings.read_setting(key.name, key.section) == expected);
  for (std::size_t i = 0; i < keys().size(); ++i)
    if (i != chosen)
      FUZZ_CHECK(settings.read_setting(keys()[i].name, keys()[i].section) == before[i]);

  // The file holds the password: only its owner may read it.
  struct stat st {};
  FUZZ_CHECK(::stat(file.c_str(), &st) == 0 && (st.st_mode & 077) == 0);
  return 0;
}
