#pragma once
// The settings file "配置文件.ini" beside the program, with Windows
// private-profile semantics: GB18030 text, CR LF line ends, section and key
// names matched regardless of ASCII case, an existing key replaced in place, a
// new key added at the end of its section, a missing file/section/key read as
// the empty text, values read up to 10,239 bytes. The file is created readable
// by its owner only (it holds the password).
//
// Usage: Settings s(Settings::default_path());
//        s.write_setting(gbk("账号"), account);
//        Text key = s.read_setting(gbk("快递100sky"));

#include <filesystem>
#include <mutex>
#include <optional>
#include <vector>

#include "web/text.h"

namespace app {

using web::Text;

// Where passwords are kept instead of the settings file (a desktop keyring).
// Passwords are filed by account and back-office host.
class PasswordKeeper {
 public:
  virtual ~PasswordKeeper() = default;
  // The password kept for `account` at `host`; nothing when none is (or the
  // keeper cannot be asked now).
  virtual std::optional<Text> read(const Text& account, const Text& host) = 0;
  // False when it could not be kept (the settings file keeps it then).
  virtual bool write(const Text& account, const Text& host, const Text& password) = 0;
};

class Settings {
 public:
  explicit Settings(std::filesystem::path file);

  // The program's directory + "/配置文件.ini".
  static std::filesystem::path beside_program();
  // $XDG_CONFIG_HOME (else ~/.config) + "/weihe-orders/配置文件.ini".
  static std::filesystem::path config_home();
  // Where the programs keep their settings: beside the program, unless the
  // program is installed (its folder is `installed_dir`, the install's bin
  // folder, or a system bin folder, or cannot be written; root can write
  // anywhere), then config_home() (its folder created).
  // A settings file that already lies beside the program is always used.
  static std::filesystem::path default_path();
  static std::filesystem::path default_path(const std::filesystem::path& installed_dir);
  const std::filesystem::path& path() const { return m_path; }

  // Section "配置项目" unless another (GB18030) section name is given.
  Text read_setting(const Text& key, const Text& section = {}) const;
  // A whole number from `least` to `most` in section `section`; `fallback`
  // when the key is missing or holds anything else.
  int read_number(const Text& key, const Text& section, int fallback, int least, int most) const;
  // False when the file could not be written (callers ignore it).
  bool write_setting(const Text& key, const Text& value, const Text& section = {});
  // A keeper for the shops' passwords (core/shops.h); null: this file keeps them.
  void set_password_keeper(PasswordKeeper* keeper) { m_keeper = keeper; }
  PasswordKeeper* password_keeper() const { return m_keeper; }

  // Every section's name, in the file's order (the first of repeated names).
  std::vector<Text> sections() const;
  // Removes a section with all its keys; false when it could not be written
  // (a missing section is removed already).
  bool remove_section(const Text& section);

 private:
  std::filesystem::path m_path;
  mutable std::mutex m_mutex;
  PasswordKeeper* m_keeper = nullptr;
};

}  // namespace app
