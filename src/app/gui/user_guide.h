#pragma once
// The merchant's guide, 使用说明.md with its pictures: where it lies, so the
// 帮助 page's "打开使用说明" opens it with the desktop's viewer. Installed
// beside the program's share folder (a moved install too), else where the
// install was meant to put it, else in the source tree the program was built
// from (a build tree's program).
//
// Usage: std::filesystem::path guide = app::user_guide_path();  // empty: none

#include <filesystem>
#include <vector>

namespace app {

// The places looked at, in order.
std::vector<std::filesystem::path> user_guide_places();
// The first of them that exists; empty when none does.
std::filesystem::path user_guide_path();

}  // namespace app
