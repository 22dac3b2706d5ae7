#include "app/gui/user_guide.h"

#ifndef WEIHE_GUIDE_INSTALLED
#define WEIHE_GUIDE_INSTALLED ""
#endif
#ifndef WEIHE_GUIDE_SOURCE
#define WEIHE_GUIDE_SOURCE ""
#endif

namespace app {

namespace {

constexpr const char* kGuide = "使用说明.md";

}  // namespace

std::vector<std::filesystem::path> user_guide_places() {
  namespace fs = std::filesystem;
  std::vector<fs::path> places;
  std::error_code ec;
  const fs::path program = fs::read_symlink("/proc/self/exe", ec);
  if (!ec)
    places.push_back(program.parent_path().parent_path() / "share" / "doc" / "weihe-orders" / kGuide);
  for (const char* dir : {WEIHE_GUIDE_INSTALLED, WEIHE_GUIDE_SOURCE})
    if (dir[0]) places.push_back(fs::path(dir) / kGuide);
  return places;
}

std::filesystem::path user_guide_path() {
  std::error_code ec;
  for (const auto& place : user_guide_places())
    if (std::filesystem::is_regular_file(place, ec)) return place;
  return {};
}

}  // namespace app
