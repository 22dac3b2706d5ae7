#include "waybill/address_split.h"

#include <vector>

#include "builtin_data.h"

namespace waybill {

namespace {

struct City {
  std::string name;
  std::vector<std::string> districts;
};

struct Province {
  std::string name, short_name;
  bool municipality = false;  // its one city bears its own name
  std::vector<City> cities;
};

// The province's name less its suffix: "浙江", "内蒙古", "广西", "上海".
std::string short_name_of(const std::string& name) {
  static const char* const kSuffixes[] = {"维吾尔自治区", "壮族自治区", "回族自治区", "自治区",
                                          "特别行政区",   "省",         "市"};
  for (const char* suffix : kSuffixes) {
    const std::string_view s(suffix);
    if (name.size() > s.size() && std::string_view(name).ends_with(s))
      return name.substr(0, name.size() - s.size());
  }
  return name;
}

const std::vector<Province>& provinces() {
  static const std::vector<Province> list = [] {
    std::vector<Province> out;
    std::string_view text = kBuiltinDivisions;
    while (!text.empty()) {
      const std::size_t end = text.find('\n');
      std::string_view line = text.substr(0, end);
      text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
      if (line.empty() || line.front() == '#') continue;
      std::size_t depth = 0;
      while (depth < line.size() && line[depth] == '\t') ++depth;
      const std::string name(line.substr(depth));
      if (name.empty()) continue;
      if (depth == 0) {
        out.push_back({name, short_name_of(name), false, {}});
      } else if (depth == 1 && !out.empty()) {
        out.back().cities.push_back({name, {}});
        if (name == out.back().name) out.back().municipality = true;
      } else if (depth == 2 && !out.empty() && !out.back().cities.empty()) {
        out.back().cities.back().districts.push_back(name);
      }
    }
    return out;
  }();
  return list;
}

// Blanks between the parts: ASCII white space, the ideographic space, NBSP.
std::size_t skip_blanks(std::string_view text, std::size_t at) {
  while (at < text.size()) {
    const std::string_view rest = text.substr(at);
    if (rest[0] == ' ' || rest[0] == '\t' || rest[0] == '\r' || rest[0] == '\n')
      at += 1;
    else if (rest.starts_with("\xE3\x80\x80"))
      at += 3;
    else if (rest.starts_with("\xC2\xA0"))
      at += 2;
    else
      break;
  }
  return at;
}

std::string_view trimmed(std::string_view text) {
  text.remove_prefix(skip_blanks(text, 0));
  while (!text.empty()) {
    if (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n')
      text.remove_suffix(1);
    else if (text.ends_with("\xE3\x80\x80"))
      text.remove_suffix(3);
    else if (text.ends_with("\xC2\xA0"))
      text.remove_suffix(2);
    else
      break;
  }
  return text;
}

// The item with the longest name (`name_of`) that `text` starts with; null when none.
template <class T, class Name>
const T* longest_prefix(const std::vector<T>& items, std::string_view text, Name name_of) {
  const T* best = nullptr;
  std::size_t best_size = 0;
  for (const T& item : items) {
    const std::string& name = name_of(item);
    if (!name.empty() && name.size() > best_size && text.starts_with(name)) {
      best = &item;
      best_size = name.size();
    }
  }
  return best;
}

// At most `chars` characters of `text`, for a reason; cut on a character's start.
std::string head_of(std::string_view text, std::size_t chars) {
  std::size_t at = 0;
  for (std::size_t n = 0; at < text.size() && n < chars; ++n) {
    ++at;
    while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
  }
  return std::string(text.substr(0, at)) + (at < text.size() ? "…" : "");
}

std::optional<SplitAddress> refuse(std::string* why, const std::string& reason) {
  if (why) *why = "地址分不出省市区：" + reason;
  return std::nullopt;
}

}  // namespace

std::optional<SplitAddress> split_address(std::string_view address, std::string* why) {
  const std::string_view text = trimmed(address);
  if (text.empty()) return refuse(why, "地址是空的");

  const Province* province = longest_prefix(
      provinces(), text, [](const Province& p) -> const std::string& { return p.name; });
  std::size_t at = province ? province->name.size() : 0;
  if (!province) {
    province = longest_prefix(provinces(), text,
                              [](const Province& p) -> const std::string& { return p.short_name; });
    if (province) at = province->short_name.size();
  }
  if (!province) return refuse(why, "开头不是省份（" + head_of(text, 12) + "）");

  at = skip_blanks(text, at);
  // Some lists put the units their province governs directly under this heading.
  for (std::string_view heading : {"省直辖县级行政区划", "自治区直辖县级行政区划"})
    if (text.substr(at).starts_with(heading)) at = skip_blanks(text, at + heading.size());

  const City* city = longest_prefix(province->cities, text.substr(at),
                                    [](const City& c) -> const std::string& { return c.name; });
  if (city) {
    at = skip_blanks(text, at + city->name.size());
  } else if (province->municipality && !province->cities.empty()) {
    city = &province->cities.front();  // "上海市浦东新区…": the city goes without saying
  } else {
    return refuse(why, province->name + "之后不是它的城市（" + head_of(text.substr(at), 12) + "）");
  }
  if (province->municipality && text.substr(at).starts_with("市辖区"))
    at = skip_blanks(text, at + std::string_view("市辖区").size());

  const std::string* district =
      longest_prefix(city->districts, text.substr(at),
                     [](const std::string& d) -> const std::string& { return d; });
  if (!district)
    return refuse(why, city->name + "之后不是它的区县（" + head_of(text.substr(at), 12) + "）");
  at += district->size();

  SplitAddress out;
  out.province = province->name;
  out.city = city->name;
  out.district = *district;
  out.rest = std::string(trimmed(text.substr(at)));
  return out;
}

}  // namespace waybill
