// Reading the first worksheet of an Office Open XML workbook: the package's
// relationships lead to the workbook, its first sheet, the shared strings and
// the styles; each part is inflated in chunks and fed to expat, so memory
// holds the kept texts and one chunk, never a whole part.

#include <expat.h>
#include <zip.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/cell_text.h"
#include "exchange/workbook_reader.h"

namespace exchange {

namespace {

constexpr std::size_t kChunk = 64 * 1024;
constexpr long long kLastRow = 1LL << 40;  // far beyond any spreadsheet's last row
const char kTooBig[] = "工作簿解压后的内容过大（可能是恶意的压缩文件），已拒绝导入";

std::string_view local_name(const char* name) {
  std::string_view n(name);
  size_t colon = n.rfind(':');
  return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

const char* attribute(const char** attrs, std::string_view wanted) {
  for (int i = 0; attrs[i]; i += 2)
    if (local_name(attrs[i]) == wanted) return attrs[i + 1];
  return nullptr;
}

// "xl/" + "worksheets/sheet1.xml", "/xl/a.xml", "xl/" + "../b.xml".
std::string resolve(const std::string& base_dir, std::string_view target) {
  std::string joined = !target.empty() && target[0] == '/' ? std::string(target.substr(1))
                                                           : base_dir + std::string(target);
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= joined.size()) {
    size_t slash = joined.find('/', start);
    if (slash == std::string::npos) slash = joined.size();
    std::string part = joined.substr(start, slash - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = slash + 1;
  }
  std::string out;
  for (auto& p : parts) out += (out.empty() ? "" : "/") + p;
  return out;
}

// Receives the elements of one part; sets `error` to stop the parse with a reason.
class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  virtual void start(std::string_view name, const char** attrs) = 0;
  virtual void end(std::string_view name) = 0;
  virtual void text(std::string_view) {}

  void fail(std::string reason) {
    if (error.empty()) error = std::move(reason);
    XML_StopParser(parser, XML_FALSE);
  }
  std::string error;
  XML_Parser parser = nullptr;
};

class Package {
 public:
  ~Package() {
    if (m_zip) zip_discard(m_zip);
  }

  std::string open(const std::filesystem::path& path) {
    int code = 0;
    m_zip = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (m_zip) return {};
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string reason = zip_error_strerror(&error);
    zip_error_fini(&error);
    return "工作簿已损坏或不完整，无法打开（" + reason + "）";
  }

  bool has(const std::string& name) { return locate(name) >= 0; }

  // Streams the part through `handler`; the empty text when it was read whole.
  std::string parse(const std::string& name, XmlHandler& handler, const ReadLimits& limits) {
    zip_int64_t index = locate(name);
    if (index < 0) return "工作簿缺少内容：" + name;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(m_zip, index, 0, &st) != 0) return "工作簿已损坏：" + name;
    if ((st.valid & ZIP_STAT_SIZE) && st.size > limits.max_part_bytes) return kTooBig;
    if ((st.valid & ZIP_STAT_SIZE) && (st.valid & ZIP_STAT_COMP_SIZE) && st.size > (1u << 20) &&
        st.size / (st.comp_size ? st.comp_size : 1) > limits.max_ratio)
      return kTooBig;

    zip_file_t* file = zip_fopen_index(m_zip, index, 0);
    if (!file)
      return std::string("无法读取工作簿内容（") + zip_error_strerror(zip_get_error(m_zip)) + "）";
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> closer(file, zip_fclose);

    std::unique_ptr<std::remove_pointer_t<XML_Parser>, void (*)(XML_Parser)> parser(
        XML_ParserCreate("UTF-8"), XML_ParserFree);
    if (!parser) return "内存不足";
    handler.parser = parser.get();
    XML_SetUserData(parser.get(), &handler);
    XML_SetElementHandler(
        parser.get(),
        [](void* h, const XML_Char* n, const XML_Char** a) {
          static_cast<XmlHandler*>(h)->start(local_name(n), a);
        },
        [](void* h, const XML_Char* n) { static_cast<XmlHandler*>(h)->end(local_name(n)); });
    XML_SetCharacterDataHandler(parser.get(), [](void* h, const XML_Char* s, int len) {
      static_cast<XmlHandler*>(h)->text(std::string_view(s, static_cast<size_t>(len)));
    });
    // Spreadsheet parts never declare a document type; refusing one rules out
    // entity expansion of any kind.
    XML_SetStartDoctypeDeclHandler(
        parser.get(), [](void* h, const XML_Char*, const XML_Char*, const XML_Char*, int) {
          static_cast<XmlHandler*>(h)->fail("工作簿内容格式错误（含有文档类型声明）");
        });

    std::vector<char> buffer(kChunk);
    std::uint64_t total = 0;
    for (unsigned chunk = 0;; ++chunk) {
      zip_int64_t n = zip_fread(file, buffer.data(), buffer.size());
      if (n < 0) return std::string("工作簿已损坏或不完整（") + zip_file_strerror(file) + "）";
      total += static_cast<std::uint64_t>(n);
      if (total > limits.max_part_bytes) return kTooBig;
      bool last = n == 0;
      if (XML_Parse(parser.get(), buffer.data(), static_cast<int>(n), last) != XML_STATUS_OK) {
        if (!handler.error.empty()) return handler.error;
        return "工作簿内容格式错误（" + name + " 第 " +
               std::to_string(XML_GetCurrentLineNumber(parser.get())) + " 行：" +
               XML_ErrorString(XML_GetErrorCode(parser.get())) + "）";
      }
      if (!handler.error.empty()) return handler.error;
      if (last) return {};
      if (limits.tick && chunk % 16 == 15) limits.tick();
    }
  }

 private:
  zip_int64_t locate(const std::string& name) {
    zip_int64_t i = zip_name_locate(m_zip, name.c_str(), 0);
    return i >= 0 ? i : zip_name_locate(m_zip, name.c_str(), ZIP_FL_NOCASE);
  }

  zip_t* m_zip = nullptr;
};

// _rels/*.rels: relationship id -> (type, target).
class RelationsHandler : public XmlHandler {
 public:
  struct Relation {
    std::string type, target;
  };
  void start(std::string_view name, const char** attrs) override {
    if (name != "Relationship") return;
    const char* id = attribute(attrs, "Id");
    const char* type = attribute(attrs, "Type");
    const char* target = attribute(attrs, "Target");
    if (id && target) relations[id] = {type ? type : "", target};
  }
  void end(std::string_view) override {}

  std::string target_of_type(std::string_view suffix) const {
    for (auto& [id, r] : relations)
      if (r.type.size() >= suffix.size() &&
          std::string_view(r.type).substr(r.type.size() - suffix.size()) == suffix)
        return r.target;
    return {};
  }
  std::map<std::string, Relation> relations;
};

// The workbook: the relationship id of its first sheet (or of the sheet
// named `wanted`) and the date base.
class WorkbookHandler : public XmlHandler {
 public:
  explicit WorkbookHandler(std::string_view wanted) : m_wanted(wanted) {}
  void start(std::string_view name, const char** attrs) override {
    if (name == "sheet" && first_sheet_id.empty()) {
      const char* id = attribute(attrs, "id");
      const char* title = attribute(attrs, "name");
      if (id && (m_wanted.empty() || (title && m_wanted == title))) first_sheet_id = id;
    } else if (name == "workbookPr") {
      const char* d = attribute(attrs, "date1904");
      base_1904 = d && (std::string_view(d) == "1" || std::string_view(d) == "true");
    }
  }
  void end(std::string_view) override {}
  std::string first_sheet_id;
  bool base_1904 = false;

 private:
  std::string_view m_wanted;
};

// The styles: which cell formats show dates.
class StylesHandler : public XmlHandler {
 public:
  void start(std::string_view name, const char** attrs) override {
    if (name == "numFmts") m_in_formats = true;
    if (name == "cellXfs") m_in_cell_formats = true;
    if (name == "numFmt" && m_in_formats) {
      const char* id = attribute(attrs, "numFmtId");
      const char* code = attribute(attrs, "formatCode");
      if (id && code && m_codes.size() < 10000) m_codes[std::atoi(id)] = code;
    }
    if (name == "xf" && m_in_cell_formats && m_ids.size() < 100000) {
      const char* id = attribute(attrs, "numFmtId");
      m_ids.push_back(id ? std::atoi(id) : 0);
    }
  }
  void end(std::string_view name) override {
    if (name == "numFmts") m_in_formats = false;
    if (name == "cellXfs") m_in_cell_formats = false;
  }
  std::vector<DateKind> kinds() const {
    std::vector<DateKind> out;
    for (int id : m_ids) {
      auto it = m_codes.find(id);
      out.push_back(date_kind(id, it == m_codes.end() ? std::string_view() : it->second));
    }
    return out;
  }

 private:
  bool m_in_formats = false, m_in_cell_formats = false;
  std::map<int, std::string> m_codes;
  std::vector<int> m_ids;
};

// Counts every kept text byte against the limit shared by all parts.
class TextBudget {
 public:
  explicit TextBudget(std::size_t limit) : m_left(limit) {}
  bool take(std::size_t n) {
    if (n > m_left) return false;
    m_left -= n;
    return true;
  }

 private:
  std::size_t m_left;
};
const char kTooMuchText[] = "工作簿中的文字过多，已拒绝导入";

// Text runs of <t> elements, leaving out phonetic guides (<rPh>).
class RunCollector {
 public:
  void start(std::string_view name) {
    if (name == "rPh") ++m_phonetic;
    if (name == "t" && !m_phonetic) m_collecting = true;
  }
  void end(std::string_view name) {
    if (name == "rPh" && m_phonetic) --m_phonetic;
    if (name == "t") m_collecting = false;
  }
  bool collecting() const { return m_collecting; }
  void reset() {
    m_collecting = false;
    m_phonetic = 0;
  }

 private:
  bool m_collecting = false;
  int m_phonetic = 0;
};

class SharedStringsHandler : public XmlHandler {
 public:
  SharedStringsHandler(const ReadLimits& limits, TextBudget& budget)
      : m_limits(limits), m_budget(budget) {}
  void start(std::string_view name, const char**) override {
    if (name == "si") {
      m_in_item = true;
      m_current.clear();
      m_runs.reset();
    } else if (m_in_item) {
      m_runs.start(name);
    }
  }
  void end(std::string_view name) override {
    if (name == "si" && m_in_item) {
      m_in_item = false;
      if (strings.size() >= m_limits.max_shared_strings)
        return fail("工作簿中的字符串过多，已拒绝导入");
      strings.push_back(decode_escapes(std::move(m_current)));
      m_current = {};
    } else if (m_in_item) {
      m_runs.end(name);
    }
  }
  void text(std::string_view s) override {
    if (!m_in_item || !m_runs.collecting()) return;
    if (!m_budget.take(s.size())) return fail(kTooMuchText);
    m_current.append(s);
  }
  std::vector<std::string> strings;

 private:
  const ReadLimits& m_limits;
  TextBudget& m_budget;
  bool m_in_item = false;
  RunCollector m_runs;
  std::string m_current;
};

class SheetHandler : public XmlHandler {
 public:
  SheetHandler(const ReadLimits& limits, TextBudget& budget,
               const std::vector<std::string>& strings, const std::vector<DateKind>& kinds,
               bool base_1904, Sheet& sheet)
      : m_limits(limits),
        m_budget(budget),
        m_strings(strings),
        m_kinds(kinds),
        m_base_1904(base_1904),
        m_sheet(sheet) {}

  void start(std::string_view name, const char** attrs) override {
    if (!m_in_data) {
      if (name == "sheetData") m_in_data = true;
      return;
    }
    if (name == "row") {
      const char* r = attribute(attrs, "r");
      long long n = r ? std::atoll(r) : 0;
      m_row = n > 0 ? n - 1 : m_row + 1;
      if (m_row > kLastRow) m_row = kLastRow;  // no counting past it, whatever the file says
      m_column = -1;
    } else if (name == "c") {
      start_cell(attrs);
    } else if (m_in_cell) {
      if (name == "v") m_in_value = true;
      if (name == "is") m_in_inline = true;
      if (m_in_inline) m_runs.start(name);
    }
  }

  void end(std::string_view name) override {
    if (!m_in_data) return;
    if (name == "sheetData") {
      m_in_data = false;
    } else if (name == "c" && m_in_cell) {
      end_cell();
    } else if (m_in_cell) {
      if (name == "v") m_in_value = false;
      if (name == "is") m_in_inline = false;
      m_runs.end(name);
    }
  }

  void text(std::string_view s) override {
    if (!m_in_cell || m_column >= kMaxColumns) return;  // columns beyond z are skipped
    if (!(m_in_value || (m_in_inline && m_runs.collecting()))) return;
    if (!m_budget.take(s.size())) return fail(kTooMuchText);
    m_value.append(s);
  }

 private:
  void start_cell(const char** attrs) {
    m_in_cell = true;
    m_in_value = m_in_inline = false;
    m_runs.reset();
    m_value.clear();
    const char* ref = attribute(attrs, "r");
    int column = -1;
    if (ref) {
      // Letters then digits, e.g. "B3"; only the column is taken from it.
      long long c = 0;
      const char* p = ref;
      for (; *p >= 'A' && *p <= 'Z'; ++p)
        if (c <= 100000) c = c * 26 + (*p - 'A' + 1);
      if (p != ref) column = static_cast<int>(c - 1);
    }
    m_column = column >= 0 ? column : m_column + 1;
    const char* type = attribute(attrs, "t");
    m_type = type ? type : "n";
    const char* style = attribute(attrs, "s");
    m_style = style ? std::atoi(style) : 0;
  }

  void end_cell() {
    m_in_cell = false;
    if (m_column >= kMaxColumns || m_value.empty()) return;
    std::string text;
    if (m_type == "s") {
      char* end = nullptr;
      unsigned long long i = std::strtoull(m_value.c_str(), &end, 10);
      if (end == m_value.c_str() || i >= m_strings.size())
        return fail("工作簿已损坏（引用了不存在的共享字符串）");
      // A copy costs memory like any other text, however often one string is used.
      if (!m_budget.take(m_strings[i].size())) return fail(kTooMuchText);
      text = m_strings[i];
    } else if (m_type == "inlineStr" || m_type == "str") {
      text = decode_escapes(std::move(m_value));
    } else if (m_type == "b") {
      text = m_value == "1" || m_value == "true" ? "TRUE" : "FALSE";
    } else if (m_type == "e") {
      text = std::move(m_value);
    } else if (m_type == "d") {
      text = std::move(m_value);  // ISO 8601: "2024-03-05T14:30:00Z"
      for (char& ch : text)
        if (ch == 'T') ch = ' ';
      if (!text.empty() && text.back() == 'Z') text.pop_back();
    } else {
      DateKind kind = m_style >= 0 && m_style < static_cast<int>(m_kinds.size()) ? m_kinds[m_style]
                                                                                 : DateKind::None;
      text = kind == DateKind::None
                 ? number_text(m_value)
                 : date_text(std::strtod(m_value.c_str(), nullptr), kind, m_base_1904);
    }
    m_value.clear();
    if (text.empty()) return;
    m_sheet.set(m_row, m_column, std::move(text));
    if (m_sheet.leading_rows() > m_limits.max_rows + 1)
      fail("工作表的行数超过 " + std::to_string(m_limits.max_rows) + " 行，已拒绝导入");
  }

  const ReadLimits& m_limits;
  TextBudget& m_budget;
  const std::vector<std::string>& m_strings;
  const std::vector<DateKind>& m_kinds;
  bool m_base_1904;
  Sheet& m_sheet;

  bool m_in_data = false, m_in_cell = false, m_in_value = false, m_in_inline = false;
  RunCollector m_runs;
  long long m_row = -1;
  int m_column = -1;
  std::string m_type;
  int m_style = 0;
  std::string m_value;
};

std::string directory_of(const std::string& part) {
  size_t slash = part.rfind('/');
  return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

std::string rels_of(const std::string& part) {
  size_t slash = part.rfind('/');
  std::string file = slash == std::string::npos ? part : part.substr(slash + 1);
  return directory_of(part) + "_rels/" + file + ".rels";
}

}  // namespace

ReadResult read_xlsx(const std::filesystem::path& path, const ReadLimits& limits,
                     std::string_view sheet_name) {
  ReadResult result;
  Package package;
  if (std::string e = package.open(path); !e.empty()) {
    result.error = std::move(e);
    return result;
  }
  auto failed = [&](std::string e) {
    result.sheet = Sheet();
    result.error = std::move(e);
    return result;
  };

  // The package's relationships name the workbook part.
  std::string workbook = "xl/workbook.xml";
  if (package.has("_rels/.rels")) {
    RelationsHandler root;
    if (std::string e = package.parse("_rels/.rels", root, limits); !e.empty()) return failed(e);
    std::string target = root.target_of_type("/officeDocument");
    if (!target.empty()) workbook = resolve("", target);
  }
  if (!package.has(workbook)) return failed("不是Excel工作簿（找不到工作簿内容）");
  WorkbookHandler book(sheet_name);
  if (std::string e = package.parse(workbook, book, limits); !e.empty()) return failed(e);
  if (!sheet_name.empty() && book.first_sheet_id.empty()) return result;  // no such sheet

  const std::string base = directory_of(workbook);
  std::string sheet_part, strings_part = base + "sharedStrings.xml",
                          styles_part = base + "styles.xml";
  const std::string book_rels = rels_of(workbook);
  if (package.has(book_rels)) {
    RelationsHandler rels;
    if (std::string e = package.parse(book_rels, rels, limits); !e.empty()) return failed(e);
    auto it = rels.relations.find(book.first_sheet_id);
    if (it != rels.relations.end()) sheet_part = resolve(base, it->second.target);
    if (auto t = rels.target_of_type("/sharedStrings"); !t.empty()) strings_part = resolve(base, t);
    if (auto t = rels.target_of_type("/styles"); !t.empty()) styles_part = resolve(base, t);
  }
  if (sheet_part.empty() || !package.has(sheet_part)) sheet_part = base + "worksheets/sheet1.xml";
  if (!package.has(sheet_part)) return failed("工作簿中没有工作表");

  StylesHandler styles;
  if (package.has(styles_part)) {
    if (std::string e = package.parse(styles_part, styles, limits); !e.empty()) return failed(e);
  }
  TextBudget budget(limits.max_text_bytes);
  SharedStringsHandler strings(limits, budget);
  if (package.has(strings_part)) {
    if (std::string e = package.parse(strings_part, strings, limits); !e.empty()) return failed(e);
  }
  const std::vector<DateKind> kinds = styles.kinds();
  SheetHandler cells(limits, budget, strings.strings, kinds, book.base_1904, result.sheet);
  if (std::string e = package.parse(sheet_part, cells, limits); !e.empty()) return failed(e);
  result.sheet.finish();
  return result;
}

}  // namespace exchange
