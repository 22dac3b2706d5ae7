#include "exchange/workbook_writer.h"

#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <system_error>

#include "exchange/sheet.h"

namespace exchange {

namespace {

// The longest text a spreadsheet cell holds, in characters.
constexpr std::size_t kMaxCellChars = 32767;

// Cuts a UTF-8 text to the characters a cell can hold, at a character boundary.
std::string_view fit_cell(std::string_view text) {
  if (text.size() <= kMaxCellChars) return text;
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && chars++ == kMaxCellChars)
      return text.substr(0, i);
  }
  return text;
}

bool is_hex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Spreadsheet files spell control characters "_xHHHH_", so a text that holds
// such a sequence literally would come back as the character. Its leading "_"
// is written as "_x005F_" (the escape of "_"), which reads back as the text.
std::string escape_literal_escapes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '_' && i + 6 < text.size() && text[i + 1] == 'x' && is_hex(text[i + 2]) &&
        is_hex(text[i + 3]) && is_hex(text[i + 4]) && is_hex(text[i + 5]) && text[i + 6] == '_')
      out += "_x005F_";
    else
      out += text[i];
  }
  return out;
}

std::string reason_of(int error_number) {
  switch (error_number) {
    case EACCES:
    case EPERM:
      return "没有写入权限";
    case ENOSPC:
    case EDQUOT:
      return "磁盘空间不足";
    case EROFS:
      return "磁盘是只读的";
    case ENOENT:
    case ENOTDIR:
      return "文件夹不存在";
    case ENAMETOOLONG:
      return "文件名太长";
    default:
      return std::strerror(error_number);
  }
}

std::filesystem::path temporary_beside(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  // Appended piece by piece: GCC 12 misreports `"." + std::string&&` under -O2 (-Wrestrict).
  std::string name = ".";
  name += target.filename().string();
  for (const std::string& piece : {std::to_string(::getpid()), std::to_string(counter++)}) {
    name += '.';
    name += piece;
  }
  name += ".part";
  return target.parent_path() / name;
}

// A figure's cell as the number it spells: digits with an optional sign and
// decimal point, nothing else (no blanks, exponents, "inf" or "0x").
std::optional<double> figure_of(std::string_view text) {
  if (text.empty() || text.size() > 32) return std::nullopt;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-')) return std::nullopt;
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

// How wide a text shows in a workbook column, in characters of its default
// font: a Chinese character takes two.
double display_width(std::string_view utf8) {
  double width = 0;
  for (unsigned char c : utf8) {
    if (c < 0x80) width += 1;
    else if (c >= 0xC0) width += 2;  // a lead byte: one wide character
  }
  return width;
}

}  // namespace

std::string write_workbook(const std::filesystem::path& path,
                           const std::vector<std::string>& titles,
                           const std::vector<std::vector<std::string>>& rows,
                           std::vector<CutCell>* cut, const std::vector<NamedSheet>& more_sheets,
                           const std::vector<ColumnKind>& kinds) {
  if (cut) cut->clear();
  std::error_code ec;
  if (path.empty() || !path.has_filename()) return "没有文件名";
  const std::filesystem::path target = std::filesystem::absolute(path, ec);
  if (ec) return reason_of(ec.value());
  if (std::filesystem::is_directory(target, ec)) return "已有同名的文件夹";
  if (!std::filesystem::is_directory(target.parent_path(), ec)) return "文件夹不存在";

  const std::filesystem::path temporary = temporary_beside(target);
  lxw_workbook_options options = {};
  options.constant_memory = LXW_TRUE;  // rows go straight to disk, in order
  lxw_workbook* workbook = workbook_new_opt(temporary.c_str(), &options);
  if (!workbook) return "内存不足";
  lxw_format* text = workbook_add_format(workbook);
  format_set_num_format_index(text, 49);  // the built-in text format "@"
  lxw_format* amount = workbook_add_format(workbook);
  format_set_num_format_index(amount, 2);  // the built-in "0.00"

  lxw_error failure = LXW_NO_ERROR;
  auto write_sheet = [&](const char* name, const std::vector<std::string>& titles,
                         const std::vector<std::vector<std::string>>& rows,
                         std::vector<CutCell>* cut, const std::vector<ColumnKind>& kinds) {
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, name);
    if (!sheet) {
      failure = LXW_ERROR_MEMORY_MALLOC_FAILED;
      return;
    }
    const int columns = static_cast<int>(std::min<std::size_t>(titles.size(), kMaxColumns));
    // Columns as wide as what they hold (an order number, a time in full),
    // long addresses capped; set before the first row is written.
    constexpr double kMinWidth = 4, kMaxWidth = 50;
    for (int c = 0; c < columns; ++c) {
      double widest = display_width(titles[c]);
      for (const auto& row : rows)
        if (c < static_cast<int>(row.size())) widest = std::max(widest, display_width(row[c]));
      worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                           std::clamp(widest + 1, kMinWidth, kMaxWidth), nullptr);
    }
    auto put = [&](lxw_row_t row, int column, std::string_view value) {
      if (failure != LXW_NO_ERROR) return;
      const ColumnKind kind =
          column < static_cast<int>(kinds.size()) ? kinds[column] : ColumnKind::Text;
      if (const auto figure =
              row > 0 && kind != ColumnKind::Text ? figure_of(value) : std::nullopt) {
        failure = worksheet_write_number(sheet, row, static_cast<lxw_col_t>(column), *figure,
                                         kind == ColumnKind::Amount ? amount : nullptr);
        return;
      }
      std::string cell = escape_literal_escapes(value);
      const std::size_t fitting = fit_cell(cell).size();
      if (fitting < cell.size() && cut && row > 0) cut->push_back({row - 1, column});
      cell.resize(fitting);
      failure =
          worksheet_write_string(sheet, row, static_cast<lxw_col_t>(column), cell.c_str(), text);
    };
    for (int c = 0; c < columns; ++c) put(0, c, titles[c]);
    for (std::size_t r = 0; r < rows.size() && failure == LXW_NO_ERROR; ++r) {
      if (r + 1 > LXW_ROW_MAX - 1) {
        failure = LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE;
        break;
      }
      for (int c = 0; c < columns; ++c)
        put(static_cast<lxw_row_t>(r + 1), c,
            c < static_cast<int>(rows[r].size()) ? std::string_view(rows[r][c])
                                                 : std::string_view());
    }
  };
  write_sheet(nullptr, titles, rows, cut, kinds);
  for (const NamedSheet& more : more_sheets)
    if (failure == LXW_NO_ERROR)
      write_sheet(more.name.c_str(), more.titles, more.rows, nullptr, more.kinds);

  errno = 0;
  lxw_error closed = workbook_close(workbook);  // writes the file and frees the workbook
  const int close_errno = errno;
  if (failure == LXW_NO_ERROR) failure = closed;
  if (failure != LXW_NO_ERROR) {
    if (cut) cut->clear();
    std::filesystem::remove(temporary, ec);
    if (failure == LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE) return "行数超过工作表的上限";
    if (close_errno != 0) return reason_of(close_errno);
    return std::string("无法写入工作簿（") + lxw_strerror(failure) + "）";
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    const int rename_errno = errno;
    std::filesystem::remove(temporary, ec);
    return reason_of(rename_errno);
  }
  return {};
}

}  // namespace exchange
