// Reading the first worksheet of a legacy .xls workbook through FreeXL.
//
// FreeXL has read out of bounds on damaged files, so it never runs in the
// program's own process: a forked child reads the workbook, under a time and
// a memory limit, and sends the cells back through a pipe. A child that
// crashes, overruns its limits or sends a short answer means a damaged file.

#include <fcntl.h>
#include <freexl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

#include "exchange/cell_text.h"
#include "exchange/workbook_reader.h"

namespace exchange {

namespace {

const char* const kDamaged = "工作簿已损坏或不完整，无法打开";

std::string open_error(int code) {
  switch (code) {
    case FREEXL_INSUFFICIENT_MEMORY:
      return "内存不足，无法读取工作簿";
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
      return "不是Excel工作簿（只能导入 .xlsx 或 .xls 文件）";
    default:
      return std::string(kDamaged) + "（.xls 错误 " + std::to_string(code) + "）";
  }
}

constexpr auto kChildTimeLimit = std::chrono::seconds(60);
constexpr rlim_t kChildMemoryLimit = rlim_t{2} << 30;

// The reading, as the child runs it.
ReadResult read_xls_here(const std::filesystem::path& path, const ReadLimits& limits) {
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
    if (result.sheet.leading_rows() > limits.max_rows + 1) {
      result.sheet = Sheet();
      result.error = "工作表的行数超过 " + std::to_string(limits.max_rows) + " 行，已拒绝导入";
      return result;
    }
  }
  result.sheet.finish();
  return result;
}

// The answer on the pipe: the error text, then every stored cell, each field
// a 64-bit length or number followed by its bytes.
void put_number(std::string& out, std::uint64_t n) { out.append(reinterpret_cast<char*>(&n), 8); }

void put_text(std::string& out, const std::string& text) {
  put_number(out, text.size());
  out += text;
}

std::string encode(const ReadResult& r) {
  std::string out;
  put_text(out, r.error);
  r.sheet.for_each_cell([&out](std::int64_t row, int column, const std::string& text) {
    put_number(out, static_cast<std::uint64_t>(row));
    put_number(out, static_cast<std::uint64_t>(column));
    put_text(out, text);
  });
  return out;
}

struct Reader {
  std::string_view in;
  bool take_number(std::uint64_t* n) {
    if (in.size() < 8) return false;
    std::memcpy(n, in.data(), 8);
    in.remove_prefix(8);
    return true;
  }
  bool take_text(std::string* text) {
    std::uint64_t n = 0;
    if (!take_number(&n) || n > in.size()) return false;
    text->assign(in.substr(0, n));
    in.remove_prefix(n);
    return true;
  }
};

bool decode(std::string_view bytes, ReadResult* r) {
  Reader reader{bytes};
  if (!reader.take_text(&r->error)) return false;
  while (!reader.in.empty()) {
    std::uint64_t row = 0, column = 0;
    std::string text;
    if (!reader.take_number(&row) || !reader.take_number(&column) || !reader.take_text(&text) ||
        column >= kMaxColumns)
      return false;
    r->sheet.set(static_cast<std::int64_t>(row), static_cast<int>(column), std::move(text));
  }
  r->sheet.finish();
  return true;
}

[[noreturn]] void run_child(int out, const std::filesystem::path& path, ReadLimits limits) {
  // Whatever FreeXL or a sanitizer has to say about a bad file stays unseen.
  const int null = ::open("/dev/null", O_WRONLY);
  if (null >= 0) ::dup2(null, STDERR_FILENO);
#if !defined(__SANITIZE_ADDRESS__)
  // (AddressSanitizer reserves far more address space than this up front.)
  const rlimit memory{kChildMemoryLimit, kChildMemoryLimit};
  ::setrlimit(RLIMIT_AS, &memory);
#endif
  limits.tick = nullptr;
  const std::string answer = encode(read_xls_here(path, limits));
  for (size_t sent = 0; sent < answer.size();) {
    const ssize_t n = ::write(out, answer.data() + sent, answer.size() - sent);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ::_exit(2);
    sent += static_cast<size_t>(n);
  }
  ::_exit(0);
}

}  // namespace

ReadResult read_xls(const std::filesystem::path& path, const ReadLimits& limits) {
  ReadResult result;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    result.error = "无法读取工作簿（系统资源不足）";
    return result;
  }
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    run_child(fds[1], path, limits);
  }
  ::close(fds[1]);
  if (child < 0) {
    ::close(fds[0]);
    result.error = "无法读取工作簿（系统资源不足）";
    return result;
  }
  // Read the answer while it comes, ticking now and then, up to the time limit.
  std::string answer;
  bool timed_out = false;
  const auto deadline = std::chrono::steady_clock::now() + kChildTimeLimit;
  char buffer[65536];
  for (;;) {
    if (std::chrono::steady_clock::now() > deadline) {
      timed_out = true;
      break;
    }
    pollfd p{fds[0], POLLIN, 0};
    const int ready = ::poll(&p, 1, 100);
    if (limits.tick) limits.tick();
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    answer.append(buffer, static_cast<size_t>(n));
  }
  ::close(fds[0]);
  if (timed_out) ::kill(child, SIGKILL);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  const bool exited_well = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (timed_out) {
    result.error = "读取工作簿超时，文件可能已损坏";
  } else if (!exited_well || !decode(answer, &result)) {
    result = ReadResult();
    result.error = kDamaged;
  }
  if (!result.ok()) result.sheet = Sheet();
  return result;
}

}  // namespace exchange
