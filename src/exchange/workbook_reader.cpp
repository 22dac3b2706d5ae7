#include "exchange/workbook_reader.h"

#include <cstring>
#include <fstream>
#include <system_error>

namespace exchange {

namespace {

ReadResult read_sheet(const std::filesystem::path& path, const ReadLimits& limits,
                             std::string_view sheet_name) {
  ReadResult result;
  std::error_code ec;
  auto status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) {
    result.error = "文件不存在";
    return result;
  }
  if (!std::filesystem::is_regular_file(status)) {
    result.error = "这不是一个文件";
    return result;
  }
  auto size = std::filesystem::file_size(path, ec);
  if (ec) {
    result.error = "无法读取文件：" + ec.message();
    return result;
  }
  if (size == 0) {
    result.error = "文件是空的";
    return result;
  }
  if (size > limits.max_file_bytes) {
    result.error = "文件太大，无法导入";
    return result;
  }

  char head[8] = {};
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) {
    result.error = "无法打开文件（没有读取权限？）";
    return result;
  }
  in.read(head, sizeof head);  // a shorter file leaves zeros, which match no format
  static const char kZip[4] = {'P', 'K', '\x03', '\x04'};
  static const char kEmptyZip[4] = {'P', 'K', '\x05', '\x06'};
  static const char kCompound[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};
  if (std::memcmp(head, kZip, 4) == 0 || std::memcmp(head, kEmptyZip, 4) == 0)
    return read_xlsx(path, limits, sheet_name);
  if (std::memcmp(head, kCompound, 8) == 0)
    return sheet_name.empty() ? read_xls(path, limits) : ReadResult{};
  result.error = "不是Excel工作簿（只能导入 .xlsx 或 .xls 文件）";
  return result;
}

}  // namespace

ReadResult read_workbook(const std::filesystem::path& path, const ReadLimits& limits) {
  return read_sheet(path, limits, {});
}

ReadResult read_named_sheet(const std::filesystem::path& path, std::string_view sheet_name,
                            const ReadLimits& limits) {
  return read_sheet(path, limits, sheet_name);
}

}  // namespace exchange
