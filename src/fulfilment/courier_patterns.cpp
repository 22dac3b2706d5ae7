#include "fulfilment/courier_patterns.h"

#include "courier_patterns_builtin.h"

#include <re2/re2.h>

#include <fstream>
#include <iterator>
#include <sstream>

#ifndef WEIHE_DATA_DIR
#define WEIHE_DATA_DIR ""
#endif

namespace fulfilment {

namespace {

constexpr const char* kFileName = "courier_patterns.tsv";

bool read_file(const std::filesystem::path& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

}  // namespace

CourierPatterns CourierPatterns::parse(const std::string& text) {
  CourierPatterns table;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const auto tab1 = line.find('\t');
    if (tab1 == std::string::npos) continue;
    const auto tab2 = line.find('\t', tab1 + 1);
    Entry e;
    e.code = line.substr(0, tab1);
    const std::string pattern = line.substr(tab1 + 1, tab2 == std::string::npos ? std::string::npos
                                                                                : tab2 - tab1 - 1);
    e.name = tab2 == std::string::npos ? e.code : line.substr(tab2 + 1);
    RE2::Options options;
    options.set_log_errors(false);
    e.pattern = std::make_shared<RE2>(pattern, options);
    if (e.code.empty() || !e.pattern->ok()) continue;
    table.m_entries.push_back(std::move(e));
  }
  return table;
}

CourierPatterns CourierPatterns::installed(const std::filesystem::path& settings_file) {
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  std::vector<std::filesystem::path> places = {settings_file.parent_path() / kFileName};
  if (!ec) {
    places.push_back(program.parent_path() / kFileName);
    places.push_back(program.parent_path().parent_path() / "share" / "weihe-orders" / kFileName);
  }
  if (WEIHE_DATA_DIR[0]) places.push_back(std::filesystem::path(WEIHE_DATA_DIR) / kFileName);
  std::string text;
  for (const auto& place : places)
    if (read_file(place, &text)) return parse(text);
  return parse(kBuiltinCourierPatterns);
}

bool CourierPatterns::knows(const std::string& courier) const {
  for (const Entry& e : m_entries)
    if (e.code == courier) return true;
  return false;
}

bool CourierPatterns::matches(const std::string& courier, const std::string& number) const {
  bool known = false;
  for (const Entry& e : m_entries) {
    if (e.code != courier) continue;
    known = true;
    if (RE2::FullMatch(number, *e.pattern)) return true;
  }
  return !known;
}

std::string CourierPatterns::only_match(const std::string& number) const {
  const Entry* found = nullptr;
  for (const Entry& e : m_entries) {
    if (!RE2::FullMatch(number, *e.pattern)) continue;
    if (found && found->code != e.code) return {};
    found = &e;
  }
  return found ? found->name + "（" + found->code + "）" : std::string();
}

}  // namespace fulfilment
