#pragma once
// The ranges of pay times a report covers (today, yesterday, the last 7 or 30
// days, this month, last month, or any two dates) and the periods it is
// counted by: days, weeks from Monday, or months, every one of the range
// present. Dates are "YYYY-MM-DD" of the local calendar.
//
// Usage: Range r = preset_range(Preset::Last30Days, today());
//        for (const Period& p : periods_of(r, Grouping::Week)) ...

#include <optional>
#include <string>
#include <vector>

namespace report {

struct Range {
  std::string since, until;  // both days included
};

enum class Preset { Today, Yesterday, Last7Days, Last30Days, ThisMonth, LastMonth };
// 今天, 昨天, 近7天, 近30天, 本月, 上月.
const char* preset_caption(Preset preset);
Range preset_range(Preset preset, const std::string& today);
std::string today();

enum class Grouping { Day, Week, Month };
std::optional<Grouping> grouping_named(const std::string& name);  // day | week | month

struct Period {
  std::string label;         // "2026-12-09"; a week by its Monday; "2026-12"
  std::string since, until;  // within the range
};
std::vector<Period> periods_of(const Range& range, Grouping by);

// Whether both are dates and `until` is not before `since`; the reason when not (UTF-8).
std::optional<std::string> range_problem(const Range& range);

}  // namespace report
