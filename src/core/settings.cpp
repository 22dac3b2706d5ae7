#include "core/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

namespace app {

namespace {

constexpr std::size_t kMaxValueBytes = 10239;        // a read fills a 10,240-byte buffer
constexpr std::uintmax_t kMaxFileBytes = 16u << 20;  // refuse absurd files instead of loading them

bool is_lead_byte(unsigned char c) {
  return c >= 0x81 && c <= 0xFE;
}

// Compares two names, folding ASCII letters only. Double-byte characters are
// compared byte for byte as a whole, so a trail byte that happens to be an
// ASCII letter is never folded.
bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto x = static_cast<unsigned char>(a[i]);
    auto y = static_cast<unsigned char>(b[i]);
    if (is_lead_byte(x)) {
      if (x != y || i + 1 >= a.size() || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string_view trim(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// One line of the file, without its line end, plus where it sits in the file.
struct Line {
  std::size_t begin;  // first byte
  std::size_t end;    // one past the last byte before the line end
  std::size_t next;   // first byte of the following line
};

// Completes the line break of text that ends in the middle of one: nothing
// after it, or a bare CR (LF alone ends a line here), so a line appended next
// stands on a line of its own.
void end_last_line(std::string& text) {
  if (text.empty() || text.back() == '\n') return;
  text += text.back() == '\r' ? "\n" : "\r\n";
}

std::vector<Line> split_lines(const std::string& file) {
  std::vector<Line> lines;
  std::size_t pos = 0;
  while (pos < file.size()) {
    std::size_t lf = file.find('\n', pos);
    std::size_t next = lf == std::string::npos ? file.size() : lf + 1;
    std::size_t end = lf == std::string::npos ? file.size() : lf;
    if (end > pos && file[end - 1] == '\r') --end;
    lines.push_back({pos, end, next});
    pos = next;
  }
  return lines;
}

// "[name]" -> name; otherwise false.
bool section_header(std::string_view line, std::string_view* name) {
  line = trim(line);
  if (line.empty() || line.front() != '[') return false;
  std::size_t close = line.find(']');
  if (close == std::string_view::npos) close = line.size();
  *name = trim(line.substr(1, close - 1));
  return true;
}

// "key=value" -> key; otherwise false.
bool key_of(std::string_view line, std::string_view* key) {
  std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  *key = trim(line.substr(0, eq));
  return true;
}

// Where a section and a key were found in the file's lines.
struct Lookup {
  int header = -1;    // index of the section's header line
  int last = -1;      // last non-blank line of the section (the header if it has none)
  int key_line = -1;  // the key's line
};

Lookup look_up(const std::string& file, const std::vector<Line>& lines, std::string_view section,
               std::string_view key) {
  Lookup found;
  bool inside = false;
  for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
    std::string_view text(file.data() + lines[i].begin, lines[i].end - lines[i].begin);
    std::string_view name;
    if (section_header(text, &name)) {
      if (inside) break;  // the section ended; later duplicates are ignored
      if (same_name(name, section)) {
        inside = true;
        found.header = found.last = i;
      }
      continue;
    }
    if (!inside) continue;
    if (!trim(text).empty()) found.last = i;
    std::string_view k;
    if (found.key_line < 0 && key_of(text, &k) && same_name(k, key)) found.key_line = i;
  }
  return found;
}

bool read_file(const std::filesystem::path& path, std::string* out) {
  std::error_code ec;
  auto size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxFileBytes) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Writes the whole file to a private temporary beside it and renames it over
// the old one, so an interrupted write leaves either the old or the new file.
bool write_file_atomically(const std::filesystem::path& path, const std::string& content) {
  std::string temp = path.string() + ".XXXXXX";
  int fd = mkstemp(temp.data());  // created with mode 0600
  if (fd < 0) return false;
  const char* p = content.data();
  std::size_t left = content.size();
  bool ok = true;
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  ok = ok && ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

// A value as stored: one line (a line break would start a forged entry), and
// quoted when a plain read would change it (surrounding blanks or quotes).
std::string stored_value(const Text& value) {
  std::string v = value.substr(0, value.find_first_of("\r\n"));
  bool blank_edge = !v.empty() && (trim(v).size() != v.size());
  bool quoted = v.size() >= 2 && v.front() == '"' && v.back() == '"';
  if (blank_edge || quoted) v = '"' + v + '"';
  return v;
}

// Cuts a value to the read buffer's size without splitting a double-byte character.
Text clipped(std::string_view v) {
  if (v.size() <= kMaxValueBytes) return Text(v);
  std::size_t end = 0;
  while (end < v.size()) {
    std::size_t step = is_lead_byte(static_cast<unsigned char>(v[end])) ? 2 : 1;
    if (step == 2 && end + 3 < v.size() && v[end + 1] >= '0' && v[end + 1] <= '9') step = 4;
    if (end + step > kMaxValueBytes) break;
    end += step;
  }
  return Text(v.substr(0, end));
}

}  // namespace

Settings::Settings(std::filesystem::path file) : m_path(std::move(file)) {}

std::filesystem::path Settings::beside_program() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  std::filesystem::path dir = ec ? std::filesystem::current_path(ec) : exe.parent_path();
  return dir / "配置文件.ini";
}

std::filesystem::path Settings::config_home() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::path base;
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::filesystem::path(home && home[0] ? home : "/tmp") / ".config";
  }
  return base / "weihe-orders" / "配置文件.ini";
}

std::filesystem::path Settings::default_path() {
  return default_path(WEIHE_INSTALL_BINDIR);
}

std::filesystem::path Settings::default_path(const std::filesystem::path& installed_dir) {
  const std::filesystem::path beside = beside_program();
  const std::filesystem::path dir = beside.parent_path();
  std::error_code ec;
  bool installed = !installed_dir.empty() && std::filesystem::equivalent(dir, installed_dir, ec);
  for (const char* system_dir : {"/usr/bin", "/usr/local/bin", "/bin"})
    installed = installed || std::filesystem::equivalent(dir, system_dir, ec);
  // A file already beside the program is the merchant's: it is kept in use.
  if (std::filesystem::exists(beside, ec) || (!installed && ::access(dir.c_str(), W_OK) == 0))
    return beside;
  const std::filesystem::path home = config_home();
  std::filesystem::create_directories(home.parent_path(), ec);
  ::chmod(home.parent_path().c_str(), 0700);
  return home;
}

int Settings::read_number(const Text& key, const Text& section, int fallback, int least,
                          int most) const {
  const std::string text = read_setting(key, section);
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || value < least || value > most) return fallback;
  return static_cast<int>(value);
}

Text Settings::read_setting(const Text& key, const Text& section) const {
  const Text sec = section.empty() ? web::gbk("配置项目") : section;
  std::lock_guard lock(m_mutex);
  std::string file;
  if (!read_file(m_path, &file)) return {};
  auto lines = split_lines(file);
  Lookup found = look_up(file, lines, sec, key);
  if (found.key_line < 0) return {};
  const Line& l = lines[found.key_line];
  std::string_view text(file.data() + l.begin, l.end - l.begin);
  std::string_view value = trim(text.substr(text.find('=') + 1));
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  return clipped(value);
}

std::vector<Text> Settings::sections() const {
  std::lock_guard lock(m_mutex);
  std::string file;
  std::vector<Text> names;
  if (!read_file(m_path, &file)) return names;
  for (const Line& l : split_lines(file)) {
    std::string_view name;
    if (!section_header(std::string_view(file).substr(l.begin, l.end - l.begin), &name)) continue;
    bool known = false;
    for (const Text& n : names) known = known || same_name(n, name);
    if (!known) names.emplace_back(name);
  }
  return names;
}

bool Settings::remove_section(const Text& section) {
  std::lock_guard lock(m_mutex);
  std::string file;
  std::error_code ec;
  if (!std::filesystem::exists(m_path, ec)) return true;
  if (!read_file(m_path, &file)) return false;
  const auto lines = split_lines(file);
  const Lookup found = look_up(file, lines, section, {});
  if (found.header < 0) return true;
  // From its header to the next section's (or the end).
  std::size_t end = file.size();
  for (std::size_t i = static_cast<std::size_t>(found.header) + 1; i < lines.size(); ++i) {
    std::string_view name;
    if (section_header(std::string_view(file).substr(lines[i].begin, lines[i].end - lines[i].begin), &name)) {
      end = lines[i].begin;
      break;
    }
  }
  return write_file_atomically(m_path, file.substr(0, lines[found.header].begin) + file.substr(end));
}

bool Settings::write_setting(const Text& key, const Text& value, const Text& section) {
  const Text sec = section.empty() ? web::gbk("配置项目") : section;
  if (trim(key).empty() || key.find_first_of("=\r\n") != Text::npos) return false;
  std::lock_guard lock(m_mutex);
  std::string file;
  std::error_code ec;
  if (std::filesystem::exists(m_path, ec) && !read_file(m_path, &file)) return false;
  auto lines = split_lines(file);
  Lookup found = look_up(file, lines, sec, key);
  const std::string v = stored_value(value);

  std::string out;
  if (found.key_line >= 0) {
    // Replace the value in place, keeping the key as it is spelled in the file.
    const Line& l = lines[found.key_line];
    std::size_t eq = file.find('=', l.begin);
    std::string_view old_key = trim(std::string_view(file).substr(l.begin, eq - l.begin));
    out = file.substr(0, l.begin) + std::string(old_key) + "=" + v + file.substr(l.end);
  } else if (found.header >= 0) {
    // A new key goes right after the section's last entry.
    const Line& l = lines[found.last];
    out = file.substr(0, l.next);
    end_last_line(out);
    out += key + "=" + v + "\r\n" + file.substr(l.next);
  } else {
    out = file;
    end_last_line(out);
    out += "[" + sec + "]\r\n" + key + "=" + v + "\r\n";
  }
  return write_file_atomically(m_path, out);
}

}  // namespace app
