#include "cli/output.h"

#include "cli/cli_form.h"
#include "core/goods_lines.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace cli {

std::string json_line(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json json_text(const app::Text& text) {
  return web::gbk_to_utf8(text);
}

namespace {

// `utf8` as a JSON string. The texts come from the charset conversion, which
// yields valid UTF-8, so only quotes, backslashes and control bytes need escapes.
void append_json_string(std::string& out, std::string_view utf8) {
  static const char kHex[] = "0123456789abcdef";
  out += '"';
  for (char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20 || c == 0x7f) {
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  out += '"';
}

}  // namespace

std::string row_json_line(std::span<const app::ListColumn> columns, const app::OrderRow& row) {
  std::string line = "{";
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (c) line += ',';
    line += '"';
    line += columns[c].key;  // plain ASCII words
    line += "\":";
    append_json_string(line, c < row.size() ? web::gbk_to_utf8(row[c]) : std::string());
  }
  line += '}';
  return line;
}

Json items_json(const std::vector<store::GoodsLine>& lines) {
  Json items = Json::array();
  for (const store::GoodsLine& l : lines)
    items.push_back({{"goods", l.goods},
                     {"quantity", l.quantity},
                     {"variant", l.variant},
                     {"unit_price", l.unit_price},
                     {"line_total", l.line_total}});
  return items;
}

Json items_json_of_system_text(const std::vector<store::GoodsLine>& lines) {
  return items_json(app::lines_in_utf8(lines));
}

std::string with_member(std::string object_line, const char* key, const Json& value) {
  if (object_line.empty() || object_line.back() != '}') return object_line;
  object_line.pop_back();
  if (object_line.size() > 1) object_line += ',';
  object_line += json_line(key) + ':' + json_line(value) + '}';
  return object_line;
}

std::string tsv_line(const std::vector<std::string>& cells) {
  std::string line;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i) line += '\t';
    for (char ch : cells[i]) line += (ch == '\t' || ch == '\r' || ch == '\n') ? ' ' : ch;
  }
  return line;
}

std::string tsv_row(std::span<const app::ListColumn> columns, const app::OrderRow& row) {
  std::vector<std::string> cells;
  for (std::size_t c = 0; c < columns.size(); ++c)
    cells.push_back(web::gbk_to_utf8(c < row.size() ? row[c] : app::Text()));
  return tsv_line(cells);
}

std::string tsv_header(std::span<const app::ListColumn> columns) {
  std::vector<std::string> keys;
  for (const app::ListColumn& c : columns) keys.emplace_back(c.key);
  return tsv_line(keys);
}

Output::Output(std::string path) {
  if (path.empty() || path == "-") {
    m_file = stdout;
    return;
  }
  m_path = std::move(path);
  m_temp = m_path + ".part" + std::to_string(::getpid());
  m_file = std::fopen(m_temp.c_str(), "wb");
  if (!m_file) m_open_errno = errno;
}

Output::~Output() {
  if (m_file && m_file != stdout) {
    std::fclose(m_file);
    std::remove(m_temp.c_str());
  }
}

void Output::line(const std::string& text) {
  if (!m_file) return;
  std::fwrite(text.data(), 1, text.size(), m_file);
  std::fputc('\n', m_file);
}

bool Output::finish(std::string* error) {
  if (!m_file) {
    *error = "写不了文件 " + m_path + "：" + std::strerror(m_open_errno);
    return false;
  }
  if (m_file == stdout) {
    if (std::fflush(stdout) == 0) return true;
    *error = std::string("写不了标准输出：") + std::strerror(errno);
    return false;
  }
  const bool written = std::fflush(m_file) == 0 && ::fsync(::fileno(m_file)) == 0;
  const int written_errno = errno;
  const bool closed = std::fclose(m_file) == 0;
  m_file = nullptr;
  if (!written || !closed || std::rename(m_temp.c_str(), m_path.c_str()) != 0) {
    *error = "写不了文件 " + m_path + "：" + std::strerror(written ? errno : written_errno);
    std::remove(m_temp.c_str());
    return false;
  }
  return true;
}

int finish_output(Output& out, const CliForm& form) {
  std::string error;
  if (out.finish(&error)) return 0;
  form.say(error, true);
  return 1;
}

}  // namespace cli
