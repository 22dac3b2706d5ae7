#pragma once
// A fresh folder under the system's temporary folder for one test, removed
// with everything in it when the TempDir goes away.
//
// Usage: testing_support::TempDir dir;  write(dir.path() / "a.xlsx");

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace testing_support {

// e.g. /tmp/weihe-Ab12Cd. Never falls back to a shared folder, since callers remove it.
inline std::filesystem::path fresh_temp_dir(const std::string& prefix = "weihe") {
  std::string name = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (!::mkdtemp(name.data()))
    throw std::runtime_error("cannot create a temporary folder: " + name);
  return name;
}

class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "weihe") : m_path(fresh_temp_dir(prefix)) {}
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

}  // namespace testing_support
