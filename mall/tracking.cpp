#include "mall/tracking.h"

#include <array>
#include <cstdio>
#include <utility>
#include <vector>

namespace mall {
namespace {

constexpr std::array<std::pair<const char*, const char*>, 30> kCouriers = {{
    {"shentong", "申通快递"}, {"yuantong", "圆通速递"},
    {"yunda", "韵达快运"},    {"zhongtong", "中通快递"},
    {"shunfeng", "顺丰速运"}, {"huitong", "百世快递(原汇通)"},
    {"tiantian", "天天快递"}, {"zhaijisong", "宅急送"},
    {"quanfeng", "全峰快递"}, {"debang", "德邦物流"},
    {"anjie", "安捷快递"},    {"abc", "爱彼西快递"},
    {"anxun", "安迅物流"},    {"baotongda", "宝通达物流"},
    {"ppbyb", "贝邮宝"},      {"changtong", "长通物流"},
    {"cces", "CCES快递"},     {"ems", "EMS"},
    {"eyoubao", "E邮宝"},     {"feibang", "飞邦物流"},
    {"feiyuan", "飞远物流"},  {"fanyu", "凡宇速递"},
    {"guotong", "国通快递"},  {"gnxb", "国内小包"},
    {"jingdong", "京东快递"}, {"intmail", "中国邮政国际包裹"},
    {"bsky", "百世快运"},     {"emsen", "EMS"},
    {"shunfengen", "顺丰"},   {"auto", "其他"},
}};

constexpr std::array kCities = {"杭州市", "义乌市", "深圳市", "广州市", "上海市", "北京市"};

}  // namespace

std::string courier_name(const std::string& code) {
  for (const auto& [c, name] : kCouriers) {
    if (code == c) return name;
  }
  return {};
}

namespace {

struct Step {
  int hours;  // after the first step
  std::string city, text;
};

unsigned fnv1a(const std::string& text) {
  unsigned h = 2166136261u;
  for (unsigned char c : text) h = (h ^ c) * 16777619u;
  return h;
}

// The parcel's steps, oldest first, made up from its number (FNV-1a of it
// picks the route and the count).
std::vector<Step> parcel_steps(const std::string& courier, const std::string& number) {
  const unsigned h = fnv1a(number);
  const std::string from = kCities[h % kCities.size()];
  const std::string to = kCities[(h / 7 + 1) % kCities.size()];
  const int steps = 3 + static_cast<int>((h >> 8) % 3);  // 3 to 5 steps
  std::vector<Step> out = {{0, from, "【" + from + "】 " + courier + " 已揽收"},
                           {5, from, "【" + from + "转运中心】 已发出，下一站 " + to + "转运中心"},
                           {15, to, "【" + to + "转运中心】 已收入"}};
  if (steps >= 4) out.push_back({21, to, "【" + to + "】 派件员 张师傅 正在为您派件"});
  if (steps >= 5) out.push_back({25, to, "【" + to + "】 已签收，签收人：本人，感谢使用"});
  return out;
}

// The error of a bad query, or empty.
std::string query_error(const std::string& expected_key, const std::string& key,
                        const std::string& courier_code, const std::string& number) {
  if (key != expected_key) return "身份授权key无效，请检查id参数";
  if (courier_name(courier_code).empty()) return "不支持的快递公司代码“" + courier_code + "”";
  if (number.empty()) return "快递单号不能为空";
  return {};
}

std::string json_text(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace

std::string tracking_reply(const std::string& expected_key, const std::string& key,
                           const std::string& courier_code, const std::string& number,
                           bool newest_first) {
  if (const std::string error = query_error(expected_key, key, courier_code, number); !error.empty())
    return "查询失败：" + error;
  const std::string courier = courier_name(courier_code);
  const unsigned h = fnv1a(number);
  const int day = 3 + static_cast<int>(h % 20);
  std::vector<std::string> lines;
  char buffer[64];
  for (const Step& step : parcel_steps(courier, number)) {
    const int hour = 18 + step.hours;
    std::snprintf(buffer, sizeof buffer, "2017-01-%02d %02d:%02d:%02d  ", day + hour / 24,
                  hour % 24, static_cast<int>((h >> (hour % 24 % 16)) % 60),
                  static_cast<int>((h >> 3) % 60));
    lines.push_back(buffer + step.text);
  }
  std::string out = "快递公司：" + courier + "  运单号：" + number;
  if (newest_first) {
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) out += "\r\n" + *it;
  } else {
    for (const auto& line : lines) out += "\r\n" + line;
  }
  return out;
}

std::string tracking_json_reply(const std::string& expected_key, const std::string& key,
                                const std::string& courier_code, const std::string& number,
                                const ParcelState* state, std::time_t now) {
  if (const std::string error = query_error(expected_key, key, courier_code, number); !error.empty())
    return R"({"message":)" + json_text(error) + R"(,"status":"0"})";
  std::vector<Step> steps = parcel_steps(courier_name(courier_code), number);
  const int code = state ? state->code : steps.size() == 5 ? 3 : steps.size() == 4 ? 5 : 0;
  const int idle_hours = state ? state->hours_since_last_event : 1 + static_cast<int>(fnv1a(number) % 5);
  std::string data;
  for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
    const std::time_t when = now - (idle_hours + steps.back().hours - it->hours) * 3600;
    std::tm local{};
    localtime_r(&when, &local);
    char time[32];
    std::strftime(time, sizeof time, "%Y-%m-%d %H:%M:%S", &local);
    data += std::string(data.empty() ? "" : ",") + R"({"time":")" + time + R"(","ftime":")" + time +
            R"(","context":)" + json_text(it->text) + R"(,"location":)" + json_text(it->city) + "}";
  }
  return R"({"message":"ok","nu":)" + json_text(number) + R"(,"ischeck":")" +
         (code == 3 ? "1" : "0") + R"(","com":)" + json_text(courier_code) +
         R"(,"status":"1","state":")" + std::to_string(code) + R"(","data":[)" + data + "]}";
}

}  // namespace mall
