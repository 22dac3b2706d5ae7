#pragma once
// What couriers' tracking numbers look like: a small table read from
// "courier_patterns.tsv" (courier code, RE2 pattern for the whole number,
// name), so a batch can warn about a number that does not look like the
// chosen courier's and name the one it does look like.
//
// Usage: CourierPatterns p = CourierPatterns::installed(settings.path());
//        if (!p.matches("yuantong", number)) other = p.only_match(number);

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace re2 {
class RE2;
}

namespace fulfilment {

class CourierPatterns {
 public:
  // The table from `text` (the file's bytes, UTF-8); bad lines are left out.
  static CourierPatterns parse(const std::string& text);
  // The first of: beside the settings file, beside the program, the
  // install's share folder; no file: the table the program was built with.
  static CourierPatterns installed(const std::filesystem::path& settings_file);

  // True when `courier` has no pattern, or the number matches it.
  bool matches(const std::string& courier, const std::string& number) const;
  bool knows(const std::string& courier) const;
  // The name and code of the one courier whose pattern matches; empty when
  // none or several do.
  std::string only_match(const std::string& number) const;

 private:
  struct Entry {
    std::string code, name;
    std::shared_ptr<re2::RE2> pattern;
  };
  std::vector<Entry> m_entries;
};

}  // namespace fulfilment
