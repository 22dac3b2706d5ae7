#pragma once
// A report as scripts and spreadsheets take it: one JSON object (amounts as
// decimal strings, "1234.50"), the periods as TSV, or a workbook with a
// sheet per part. Texts are UTF-8.
//
// Usage: std::cout << report_json(r).dump() << '\n';
//        std::string why = write_report_workbook(path, r);

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "report/shop_report.h"

namespace report {

nlohmann::ordered_json report_json(const Report& r);
// The periods' table with a heading line and a last 合计 line.
std::vector<std::string> report_tsv(const Report& r);
// The empty text when written, else why not.
std::string write_report_workbook(const std::filesystem::path& path, const Report& r);
// The figures a merchant reads first: 订单数, 销售额, 客单价, 发货用时,
// 超时未发货, 复购会员, 物流异常; each a caption, a short value shown large,
// and what it means (may be empty).
struct Headline {
  std::string caption, value, note;
};
std::vector<Headline> headline_figures(const Report& r);
// Why the report is empty, for the page and standard error (UTF-8); empty when it is not.
std::string empty_report_sentence(const Report& r);

}  // namespace report
