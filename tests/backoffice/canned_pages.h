#pragma once
// Canned back-office pages (tests/data/backoffice/*.html, UTF-8 as on the
// wire) turned into page text the way every fetched page is.

#include <fstream>
#include <sstream>
#include <string>

#include "web/text.h"

namespace backoffice_tests {

inline std::string canned_bytes(const std::string& name) {
  std::ifstream in(std::string(WEIHE_TEST_DATA) + "/backoffice/" + name, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline web::Text canned_page(const std::string& name) {
  return web::page_text(canned_bytes(name));
}

}  // namespace backoffice_tests
