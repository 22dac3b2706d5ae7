#pragma once
// The settings file "配置文件.ini" beside the program, with Windows
// private-profile semantics: GB18030 text, CR LF line ends, section and key
// names matched regardless of ASCII case, an existing key replaced in place, a
// new key added at the end of its section, a missing file/section/key read as
// the empty text, values read up to 10,239 bytes. The file is created readable
// by its owner only (it holds the password).
//
// Usage: Settings s(Settings::beside_program());
//        s.write_setting(gbk("账号"), account);
//        Text key = s.read_setting(gbk("快递100sky"));

#include <filesystem>
#include <mutex>

#include "web/text.h"

namespace app {

using web::Text;

class Settings {
 public:
  explicit Settings(std::filesystem::path file);

  // The program's directory + "/配置文件.ini".
  static std::filesystem::path beside_program();
  const std::filesystem::path& path() const { return m_path; }

  // Section "配置项目" unless another (GB18030) section name is given.
  Text read_setting(const Text& key, const Text& section = {}) const;
  // False when the file could not be written (callers ignore it).
  bool write_setting(const Text& key, const Text& value, const Text& section = {});

 private:
  std::filesystem::path m_path;
  mutable std::mutex m_mutex;
};

}  // namespace app
