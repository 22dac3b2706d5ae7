#include "fulfilment/batch_check.h"

#include <re2/re2.h>

#include <map>

#include "core/table_snapshot.h"

namespace fulfilment {

using web::gbk;

namespace {

// A number a spreadsheet turned into a float: scientific notation, or a
// trailing ".0" (the digits beyond 15 are gone, or a decimal point was added).
bool spreadsheet_damaged(const std::string& number) {
  static const RE2 scientific(R"([0-9]+(\.[0-9]+)?[eE][+-]?[0-9]+)");
  static const RE2 point_zero(R"([0-9]+\.0+)");
  return RE2::FullMatch(number, scientific) || RE2::FullMatch(number, point_zero);
}

bool starts_with(const app::Text& text, const char* utf8) {
  const app::Text prefix = gbk(utf8);
  return text.compare(0, prefix.size(), prefix) == 0;
}

// How the merchant finds another row: its order number, else its ID, else its place.
app::Text row_name(const app::OrderRow& row, std::size_t index) {
  if (const app::Text no = web::trim_spaces(app::cell_of(row, app::kColOrderNo)); !no.empty())
    return gbk("订单号 ") + no + gbk(" 那一行");
  if (const app::Text id = web::trim_spaces(app::cell_of(row, app::kColId)); !id.empty())
    return gbk("订单ID ") + id + gbk(" 那一行");
  return gbk("第") + std::to_string(index + 1) + gbk("行");
}

}  // namespace

bool shipped_state(const app::Text& state) {
  for (const char* word : {"待收货", "已发货", "已收货", "已完成"})
    if (state.find(gbk(word)) != app::Text::npos) return true;
  return false;
}

bool shows_shipped(const app::OrderRow& row) {
  return starts_with(app::cell_of(row, app::kColShipStatus), "发货成功") ||
         shipped_state(web::trim_spaces(app::cell_of(row, app::kColState)));
}

std::vector<RowVerdict> check_batch(const std::vector<app::OrderRow>& rows, const app::Text& courier,
                                    const EarlierShipments& earlier,
                                    const CourierPatterns& patterns) {
  std::map<app::Text, std::vector<std::size_t>> uses;  // trimmed tracking number -> its rows
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const app::Text number = web::trim_spaces(app::cell_of(rows[r], app::kColTrackingNo));
    if (!number.empty()) uses[number].push_back(r);
  }
  const std::string courier_code = web::gbk_to_utf8(courier);

  std::vector<RowVerdict> verdicts;
  verdicts.reserve(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const app::OrderRow& row = rows[r];
    const app::Text id = web::trim_spaces(app::cell_of(row, app::kColId));
    const app::Text number = web::trim_spaces(app::cell_of(row, app::kColTrackingNo));
    const std::string id_utf8 = web::gbk_to_utf8(id);
    const std::string number_utf8 = web::gbk_to_utf8(number);
    RowVerdict v;
    auto set = [&v](Verdict verdict, const app::Text& reason) {
      v.verdict = verdict;
      v.reason = reason;
    };
    if (id.empty()) {
      set(Verdict::NoOrderId, gbk("没有订单ID"));
    } else if (const auto other = earlier.by_station.find(id_utf8); other != earlier.by_station.end()) {
      const app::Text station = web::utf8_to_gbk(other->second);
      if (earlier.shipped.count(id_utf8))
        set(Verdict::AlreadyShipped, gbk("已由") + station + gbk("发货"));
      else
        set(Verdict::OutcomeUnknown, station + gbk("正在发货"));
      v.other_station = true;
    } else if (starts_with(app::cell_of(row, app::kColShipStatus), "发货成功") ||
               earlier.shipped.count(id_utf8)) {
      set(Verdict::AlreadyShipped, gbk("已经发过货"));
    } else if (const app::Text state = web::trim_spaces(app::cell_of(row, app::kColState));
               shipped_state(state)) {
      set(Verdict::AlreadyShipped, gbk("订单状态是“") + state + gbk("”，已经发过货"));
    } else if (earlier.unknown.count(id_utf8)) {
      set(Verdict::OutcomeUnknown, gbk("上次发货没有收到结果，请先到后台核对"));
    } else if (number.empty()) {
      set(Verdict::NoTrackingNo, gbk("没有快递单号"));
    } else if (spreadsheet_damaged(number_utf8)) {
      set(Verdict::SpreadsheetDamaged, gbk("快递单号被表格改坏了（科学计数法或多了“.0”）"));
    } else if (const std::vector<std::size_t>& holding = uses[number]; holding.size() > 1) {
      const std::size_t other = holding[0] == r ? holding[1] : holding[0];
      set(Verdict::DuplicateTrackingNo, gbk("快递单号和") + row_name(rows[other], other) + gbk("重复"));
    } else if (const auto used = earlier.numbers.find(number_utf8);
               used != earlier.numbers.end() && used->second != id_utf8) {
      set(Verdict::DuplicateTrackingNo,
          gbk("快递单号已经随另一个订单（ID ") + web::utf8_to_gbk(used->second) + gbk("）发过货"));
    } else if (!patterns.matches(courier_code, number_utf8)) {
      const std::string other = patterns.only_match(number_utf8);
      set(Verdict::CourierMismatch,
          gbk("快递单号不像") + courier + gbk("的单号") +
              (other.empty() ? app::Text() : gbk("，像是") + web::utf8_to_gbk(other) + gbk("的")));
    }
    verdicts.push_back(std::move(v));
  }
  return verdicts;
}

bool all_ready(const std::vector<RowVerdict>& verdicts) {
  for (const auto& v : verdicts)
    if (v.verdict != Verdict::Ready) return false;
  return true;
}

RowVerdict check_single(const std::vector<app::OrderRow>& rows, std::size_t row,
                        const app::Text& courier, const EarlierShipments& earlier,
                        const CourierPatterns& patterns) {
  RowVerdict v = check_batch(rows, courier, earlier, patterns).at(row);
  if (single_check(v) == SingleCheck::Refuse) return v;
  // A number typed or scanned by hand is letters, digits and dashes;
  // anything else (a space inside, a "&", a Chinese character) is a slip.
  static const RE2 plain("[A-Za-z0-9-]+");
  const std::string number =
      web::gbk_to_utf8(web::trim_spaces(app::cell_of(rows[row], app::kColTrackingNo)));
  if (!RE2::FullMatch(number, plain))
    return {Verdict::SpreadsheetDamaged, gbk("快递单号里有字母、数字和“-”以外的字符")};
  return v;
}

SingleCheck single_check(const RowVerdict& verdict) {
  switch (verdict.verdict) {
    case Verdict::Ready:
      return SingleCheck::Ship;
    case Verdict::NoOrderId:
    case Verdict::NoTrackingNo:
    case Verdict::SpreadsheetDamaged:
      return SingleCheck::Refuse;
    default:
      return SingleCheck::Ask;
  }
}

}  // namespace fulfilment
