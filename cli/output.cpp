#include "cli/output.h"

#include "cli/cli_form.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace cli {

std::string json_line(const Json& object) {
  return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json json_text(const app::Text& text) {
  return web::gbk_to_utf8(text);
}

Json row_object(std::span<const app::ListColumn> columns, const app::OrderRow& row) {
  Json object = Json::object();
  for (std::size_t c = 0; c < columns.size(); ++c)
    object[columns[c].key] = json_text(c < row.size() ? row[c] : app::Text());
  return object;
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
