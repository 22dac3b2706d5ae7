// Reading the first worksheet of a legacy .xls workbook through FreeXL.

#include <freexl.h>

#include <algorithm>
#include <string>

#include "exchange/cell_text.h"
#include "exchange/workbook_reader.h"

namespace exchange {

namespace {

std::string open_error(int code) {
  switch (code) {
    case FREEXL_INSUFFICIENT_MEMORY:
      return "内存不足，无法读取工作簿";
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
      return "不是Excel工作簿（只能导入 .xlsx 或 .xls 文件）";
    default:
      return "工作簿已损坏或不完整，无法打开（.xls 错误 " + std::to_string(code) + "）";
  }
}

}  // namespace

ReadResult read_xls(const std::filesystem::path& path, const ReadLimits& limits) {
  ReadResult result;
  // FreeXL holds the whole workbook in memory, several times the file's size;
  // a legacy workbook of 65,536 rows stays well below this.
  std::error_code ec;
  if (std::filesystem::file_size(path, ec) >
      std::min<std::uint64_t>(limits.max_file_bytes, 64ull << 20)) {
    result.error = "文件太大，无法导入";
    return result;
  }
  const void* handle = nullptr;
  int rc = freexl_open(path.c_str(), &handle);
  struct Closer {
    const void* h;
    ~Closer() {
      if (h) freexl_close(h);
    }
  } closer{handle};
  if (rc != FREEXL_OK) {
    result.error = open_error(rc);
    return result;
  }
  unsigned int protected_by_password = 0;
  if (freexl_get_info(handle, FREEXL_BIFF_PASSWORD, &protected_by_password) == FREEXL_OK &&
      protected_by_password == FREEXL_BIFF_OBFUSCATED) {
    result.error = "工作簿有密码保护，无法导入";
    return result;
  }
  unsigned int sheets = 0;
  if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK || sheets == 0) {
    result.error = "工作簿中没有工作表";
    return result;
  }
  if (freexl_select_active_worksheet(handle, 0) != FREEXL_OK) {
    result.error = "无法读取工作簿的第一个工作表";
    return result;
  }
  unsigned int rows = 0;
  unsigned short columns = 0;
  if (freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK) {
    result.error = "无法读取工作簿的第一个工作表";
    return result;
  }
  if (rows > limits.max_rows + 1) {
    result.error = "工作表的行数超过 " + std::to_string(limits.max_rows) + " 行，已拒绝导入";
    return result;
  }
  const unsigned short width = columns < kMaxColumns ? columns : kMaxColumns;
  std::size_t text_bytes = 0;
  for (unsigned int r = 0; r < rows; ++r) {
    if (limits.tick && r % 4096 == 4095) limits.tick();
    for (unsigned short c = 0; c < width; ++c) {
      FreeXL_CellValue cell;
      if (freexl_get_cell_value(handle, r, c, &cell) != FREEXL_OK) continue;
      std::string text;
      switch (cell.type) {
        case FREEXL_CELL_INT:
          text = std::to_string(cell.value.int_value);
          break;
        case FREEXL_CELL_DOUBLE:
          text = number_text(cell.value.double_value);
          break;
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_DATETIME:
        case FREEXL_CELL_TIME:
          if (cell.value.text_value) text = cell.value.text_value;
          break;
        default:
          break;
      }
      text_bytes += text.size();
      if (text_bytes > limits.max_text_bytes) {
        result.sheet = Sheet();
        result.error = "工作簿中的文字过多，已拒绝导入";
        return result;
      }
      result.sheet.set(r, c, std::move(text));
    }
  }
  result.sheet.finish();
  return result;
}

}  // namespace exchange
