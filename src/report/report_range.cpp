#include "report/report_range.h"

#include <ctime>

#include "store/civil_time.h"

namespace report {

namespace {

std::optional<std::int64_t> day_of(const std::string& date) {
  if (date.size() != 10) return std::nullopt;
  const auto s = store::civil_seconds(date);
  if (!s || store::date_of_day(*s / 86400) != date) return std::nullopt;  // 02-30 is no date
  return *s / 86400;
}

// Monday = 0 (1970-01-01 was a Thursday).
int weekday(std::int64_t day) {
  return static_cast<int>(((day % 7) + 7 + 3) % 7);
}

std::string month_start(const std::string& date) {
  return date.substr(0, 8) + "01";
}

}  // namespace

const char* preset_caption(Preset preset) {
  switch (preset) {
    case Preset::Today: return "今天";
    case Preset::Yesterday: return "昨天";
    case Preset::Last7Days: return "近7天";
    case Preset::Last30Days: return "近30天";
    case Preset::ThisMonth: return "本月";
    case Preset::LastMonth: return "上月";
  }
  return "";
}

Range preset_range(Preset preset, const std::string& today) {
  const std::int64_t t = day_of(today).value_or(0);
  auto at = [](std::int64_t d) { return store::date_of_day(d); };
  switch (preset) {
    case Preset::Today: return {today, today};
    case Preset::Yesterday: return {at(t - 1), at(t - 1)};
    case Preset::Last7Days: return {at(t - 6), today};
    case Preset::Last30Days: return {at(t - 29), today};
    case Preset::ThisMonth: return {month_start(today), today};
    case Preset::LastMonth: {
      const std::string last_day = at(*day_of(month_start(today)) - 1);
      return {month_start(last_day), last_day};
    }
  }
  return {today, today};
}

std::string today() {
  return store::date_of_day(store::local_civil_seconds(std::time(nullptr)) / 86400);
}

std::optional<Grouping> grouping_named(const std::string& name) {
  if (name == "day") return Grouping::Day;
  if (name == "week") return Grouping::Week;
  if (name == "month") return Grouping::Month;
  return std::nullopt;
}

std::vector<Period> periods_of(const Range& range, Grouping by) {
  std::vector<Period> periods;
  const auto first = day_of(range.since), last = day_of(range.until);
  if (!first || !last || *last < *first) return periods;
  for (std::int64_t d = *first; d <= *last;) {
    std::int64_t end = d;  // the period's last day
    std::string label = store::date_of_day(d);
    if (by == Grouping::Week) {
      end = d + (6 - weekday(d));
      label = store::date_of_day(d - weekday(d));
    } else if (by == Grouping::Month) {
      end = *day_of(month_start(store::date_of_day(d + 32 - std::stoi(label.substr(8))))) - 1;
      label = label.substr(0, 7);
    }
    end = std::min(end, *last);
    periods.push_back({label, store::date_of_day(d), store::date_of_day(end)});
    d = end + 1;
  }
  return periods;
}

std::optional<std::string> range_problem(const Range& range) {
  const auto first = day_of(range.since), last = day_of(range.until);
  if (!first) return "不是日期：" + range.since;
  if (!last) return "不是日期：" + range.until;
  if (*last < *first) return "结束日期 " + range.until + " 在开始日期 " + range.since + " 之前";
  return std::nullopt;
}

}  // namespace report
