// PatternMatcher on PCRE2 (8-bit, UTF mode, JIT). The GB18030 subject is
// converted to UTF-8 once per run; the whole match list is collected as byte
// offsets into that UTF-8 copy, and captured texts are converted back only
// when they are asked for.
//
// Before each search for the next match, RE2 tells whether one is left at
// all, whenever the pattern can be written for RE2 (no look-arounds,
// back-references and the like). RE2 runs in time linear in the text and
// stops at the earliest point a match is certain, so "no further match" is
// decided at once even where a backtracking search would try every
// combination of the cells after the last row (a pager of link cells after an
// order list). PCRE2 then finds the match and its captures, so the dialect's
// semantics stay PCRE2's; RE2 reads the pattern so that it matches at least
// what PCRE2 does. Patterns RE2 cannot take are searched by PCRE2 alone;
// either way a search that hits an engine limit keeps what it found.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#include <re2/re2.h>

#include <optional>

#include "web/pattern_matcher.h"

namespace web {
namespace {

// Bounds that make a runaway pattern fail instead of hanging or exhausting memory.
constexpr uint32_t kMatchLimit = 20'000'000;
constexpr uint32_t kDepthLimit = 100'000;
constexpr size_t kJitStackMax = 8 * 1024 * 1024;
constexpr size_t kMaxStoredOffsets = 16 * 1024 * 1024;

// The pattern in PCRE2's syntax. The dialect is the scripting engine's
// (ECMAScript-like), which differs from PCRE2's defaults in a few places:
// - in multiline mode "^" and "$" also match after and before a CR, not only
//   at a line feed (the newline convention stays LF, so "." still takes a CR);
// - "[]" matches nothing and "[^]" any character, "[" inside a class is a
//   plain character (no POSIX "[:alpha:]" classes);
// - "\v" is the vertical tab, and a backslash before a letter without a
//   meaning of its own ("\Q", "\h", "\R", "\A", ...) stands for the letter.
std::string to_pcre2_syntax(std::string_view p, bool multiline) {
  static constexpr std::string_view kKnownLetters = "dDwWsSbBtnfrcxuk";
  std::string out;
  out.reserve(p.size() + 16);
  bool in_class = false;
  for (size_t i = 0; i < p.size(); ++i) {
    const char c = p[i];
    if (c == '\\' && i + 1 < p.size()) {
      const char d = p[++i];
      const bool letter = (d >= 'a' && d <= 'z') || (d >= 'A' && d <= 'Z');
      if (d == 'v')
        out += "\\x0b";  // \x takes exactly two digits here (ALT_BSUX)
      else if (letter && kKnownLetters.find(d) == std::string_view::npos)
        out += d;
      else
        (out += '\\') += d;
      continue;
    }
    if (in_class) {
      if (c == ']') in_class = false;
      out += c == '[' ? std::string_view("\\[") : std::string_view(&c, 1);
      continue;
    }
    if (c == '[') {
      in_class = true;
      out += c;
      if (i + 1 < p.size() && p[i + 1] == '^') out += p[++i];
    } else if (multiline && c == '^') {
      out += "(?:^|(?<=\\r))";
    } else if (multiline && c == '$') {
      out += "(?:$|(?=\\r))";
    } else {
      out += c;
    }
  }
  return out;
}

// The PCRE2-syntax pattern for RE2, matching at least what PCRE2 matches.
// The one difference RE2 would otherwise make is "\s": PCRE2's takes the
// vertical tab too. Constructs RE2 lacks make it refuse the pattern; so does
// a class opening with "]", which the two engines read differently.
std::optional<std::string> to_re2_syntax(std::string_view p) {
  std::string out;
  out.reserve(p.size() + 16);
  bool in_class = false;
  for (size_t i = 0; i < p.size(); ++i) {
    const char c = p[i];
    if (c == '\\' && i + 1 < p.size()) {
      const char d = p[++i];
      if (d == 's')
        out += in_class ? "\\s\\x0b" : "[\\s\\x0b]";
      else
        (out += '\\') += d;
      continue;
    }
    if (in_class && c == ']') {
      if (out.ends_with('[') || out.ends_with("[^")) return std::nullopt;
      in_class = false;
    } else if (!in_class && c == '[') {
      in_class = true;
    }
    out += c;
  }
  return out;
}

std::unique_ptr<re2::RE2> re2_finder(const std::string& pcre2_source, bool case_sensitive) {
  re2::RE2::Options options;
  options.set_encoding(re2::RE2::Options::EncodingUTF8);
  options.set_case_sensitive(case_sensitive);
  options.set_log_errors(false);
  options.set_max_mem(int64_t{64} << 20);
  const std::optional<std::string> source = to_re2_syntax(pcre2_source);
  if (!source) return nullptr;
  auto finder = std::make_unique<re2::RE2>(*source, options);
  if (!finder->ok()) return nullptr;
  return finder;
}

bool is_limit_error(int rc) {
  return rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT ||
         rc == PCRE2_ERROR_HEAPLIMIT || rc == PCRE2_ERROR_JIT_STACKLIMIT ||
         rc == PCRE2_ERROR_NOMEMORY;
}

inline size_t utf8_char_length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  return 2;
}

}  // namespace

struct PatternMatcher::State {
  Text pattern;      // as last written, after the quote marker step
  bool ran = false;  // a run has been attempted
  bool ok = false;   // the last run produced a match list
  bool cut_short = false;  // a limit stopped the search; the matches before it are kept
  bool global = true;

  pcre2_code* code = nullptr;
  std::string code_source;  // UTF-8 pattern the compiled code came from
  uint32_t code_options = 0;
  std::unique_ptr<re2::RE2> finder;  // whether a match is left; null: PCRE2 alone
  pcre2_match_data* match_data = nullptr;
  pcre2_match_context* match_context = nullptr;
  pcre2_jit_stack* jit_stack = nullptr;

  Text subject;  // GB18030, as given
  std::string subject_utf8;
  uint32_t groups = 0;              // capture groups of the pattern
  std::vector<PCRE2_SIZE> offsets;  // (groups + 1) start/end pairs per match

  // Running count of UTF-16 units before a byte offset of subject_utf8, so
  // position outputs for ascending matches cost linear time overall.
  size_t units_at_byte = 0;
  size_t units = 0;

  ~State() {
    release_code();
    if (match_context) pcre2_match_context_free(match_context);
    if (jit_stack) pcre2_jit_stack_free(jit_stack);
  }

  void release_code() {
    if (match_data) pcre2_match_data_free(match_data);
    if (code) pcre2_code_free(code);
    match_data = nullptr;
    code = nullptr;
    finder.reset();
    code_source.clear();
  }

  bool compile(const std::string& source, uint32_t options) {
    if (code && source == code_source && options == code_options) return true;
    release_code();
    pcre2_compile_context* cc = pcre2_compile_context_create(nullptr);
    if (!cc) return false;
    pcre2_set_newline(cc, PCRE2_NEWLINE_LF);
    finder = re2_finder(source, (options & PCRE2_CASELESS) == 0);
    int error = 0;
    PCRE2_SIZE error_offset = 0;
    code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(source.data()), source.size(),
                         options, &error, &error_offset, cc);
    pcre2_compile_context_free(cc);
    if (!code) return false;
    pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);  // falls back to the interpreter on failure
    match_data = pcre2_match_data_create_from_pattern(code, nullptr);
    if (!match_data) {
      release_code();
      return false;
    }
    code_source = source;
    code_options = options;
    return true;
  }

  bool prepare_context() {
    if (match_context) return true;
    match_context = pcre2_match_context_create(nullptr);
    if (!match_context) return false;
    pcre2_set_match_limit(match_context, kMatchLimit);
    pcre2_set_depth_limit(match_context, kDepthLimit);
    jit_stack = pcre2_jit_stack_create(32 * 1024, kJitStackMax, nullptr);
    if (jit_stack) pcre2_jit_stack_assign(match_context, nullptr, jit_stack);
    return true;
  }

  // Whether a match can start at or after `start` (always, without a finder).
  bool may_match_from(PCRE2_SIZE start) const {
    return !finder || finder->Match(subject_utf8, start, subject_utf8.size(),
                                    re2::RE2::UNANCHORED, nullptr, 0);
  }

  // Collects every match (or the first one); false when matching fails. A
  // limit of an engine ends the search and keeps the matches found before it.
  bool collect() {
    const auto* s = reinterpret_cast<PCRE2_SPTR>(subject_utf8.data());
    const size_t length = subject_utf8.size();
    const size_t stride = 2 * (groups + 1);
    PCRE2_SIZE start = 0;
    uint32_t flags = 0;  // the first call validates the UTF-8 once; later calls skip it
    while (start <= length) {
      if (!may_match_from(start)) return true;
      int rc = pcre2_match(code, s, length, start, flags, match_data, match_context);
      flags = PCRE2_NO_UTF_CHECK;
      if (rc == PCRE2_ERROR_NOMATCH) return true;
      if (rc < 0) {
        // A limit (or any later failure) after some matches: keep those.
        cut_short = !offsets.empty() && (is_limit_error(rc) || rc != PCRE2_ERROR_BADUTFOFFSET);
        return cut_short;
      }
      const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(match_data);
      if (offsets.size() + stride > kMaxStoredOffsets) {
        cut_short = true;
        return true;
      }
      offsets.insert(offsets.end(), ov, ov + stride);
      if (!global) return true;
      // After an empty match the next attempt starts one character further on.
      PCRE2_SIZE next = ov[1];
      if (ov[1] <= ov[0] || next <= start) {
        if (next < start) next = start;
        if (next >= length) return true;
        next += utf8_char_length(static_cast<unsigned char>(subject_utf8[next]));
      }
      start = next;
    }
    return true;
  }

  size_t count() const { return offsets.size() / (2 * (groups + 1)); }

  // The UTF-8 slice of group k (0 = whole match) of 0-based match m, or false if unset.
  bool slice(size_t m, size_t k, std::string_view* out) const {
    const PCRE2_SIZE* p = offsets.data() + m * 2 * (groups + 1) + 2 * k;
    if (p[0] == PCRE2_UNSET || p[1] == PCRE2_UNSET || p[1] < p[0]) return false;
    *out = std::string_view(subject_utf8).substr(p[0], p[1] - p[0]);
    return true;
  }

  // UTF-16 units before byte offset b of the UTF-8 subject (the engine's FirstIndex).
  size_t first_index(size_t b) {
    if (b < units_at_byte) units_at_byte = units = 0;
    for (size_t i = units_at_byte; i < b && i < subject_utf8.size(); ++i) {
      auto c = static_cast<unsigned char>(subject_utf8[i]);
      if ((c & 0xC0) != 0x80) units += c >= 0xF0 ? 2 : 1;
    }
    units_at_byte = b;
    return units;
  }

  // Byte offset of `text` in the GB18030 subject, searched from FirstIndex of match m.
  int position_of(const Text& text, size_t m) {
    size_t first = first_index(offsets[m * 2 * (groups + 1)]);
    int p = find_text(subject, text, static_cast<int>(first));
    return p - 1;
  }
};

PatternMatcher::PatternMatcher() : m_state(std::make_unique<State>()) {}
PatternMatcher::~PatternMatcher() = default;

bool PatternMatcher::run(const Text& pattern, const Text& subject, bool case_sensitive,
                         bool multiline, bool global, bool quote_marker) {
  State& s = *m_state;
  s.ran = true;
  s.ok = false;
  s.cut_short = false;
  s.global = global;
  s.offsets.clear();
  s.groups = 0;
  s.units_at_byte = s.units = 0;
  s.pattern = quote_marker ? replace_text(pattern, gbk("#引号"), "\"") : pattern;
  s.subject = subject;
  s.subject_utf8 = gbk_to_utf8(subject);

  // ECMAScript flavour: "$" is end-of-text only outside multiline mode, \u and
  // \x take JavaScript forms, and a reference to an unset group matches empty.
  uint32_t options =
      PCRE2_UTF | PCRE2_ALT_BSUX | PCRE2_MATCH_UNSET_BACKREF | PCRE2_ALLOW_EMPTY_CLASS;
  options |= case_sensitive ? 0 : PCRE2_CASELESS;
  // In multiline mode "^" also matches after a line feed that ends the text.
  options |= multiline ? PCRE2_MULTILINE | PCRE2_ALT_CIRCUMFLEX : PCRE2_DOLLAR_ENDONLY;
  if (!s.prepare_context() ||
      !s.compile(to_pcre2_syntax(gbk_to_utf8(s.pattern), multiline), options))
    return false;
  pcre2_pattern_info(s.code, PCRE2_INFO_CAPTURECOUNT, &s.groups);
  if (!s.collect()) {
    s.offsets.clear();
    return false;
  }
  s.ok = true;
  return true;
}

Text PatternMatcher::pattern() const {
  return m_state->pattern;
}

bool PatternMatcher::cut_short() const {
  return m_state->cut_short;
}

int PatternMatcher::match_count() const {
  return m_state->ok ? static_cast<int>(m_state->count()) : 0;
}

int PatternMatcher::submatch_count() const {
  return match_count() > 0 ? static_cast<int>(m_state->groups) : 0;
}

Text PatternMatcher::match_text(int j, int* position) const {
  if (j < 1 || j > match_count()) return {};
  std::string_view v;
  if (!m_state->slice(j - 1, 0, &v)) return {};
  Text text = utf8_to_gbk(v);
  if (position) *position = m_state->position_of(text, j - 1);
  return text;
}

Text PatternMatcher::submatch(int j, int k, int* position) const {
  if (j < 1 || j > match_count() || k < 1 || k > static_cast<int>(m_state->groups)) return {};
  std::string_view v;
  if (!m_state->slice(j - 1, k, &v)) return {};
  Text text = utf8_to_gbk(v);
  if (position) *position = m_state->position_of(text, j - 1);
  return text;
}

Text PatternMatcher::replace_all(const Text& replacement) const {
  const State& s = *m_state;
  if (!s.ok) return {};
  const std::string rep = gbk_to_utf8(replacement);
  const std::string_view subject(s.subject_utf8);
  std::string out;
  out.reserve(subject.size());
  size_t copied = 0;
  for (size_t m = 0; m < s.count(); ++m) {
    std::string_view whole;
    s.slice(m, 0, &whole);
    size_t begin = whole.data() - subject.data();
    size_t end = begin + whole.size();
    out.append(subject.substr(copied, begin - copied));
    // JavaScript replacement syntax: $$, $&, $`, $', $n and $nn.
    for (size_t i = 0; i < rep.size(); ++i) {
      char c = rep[i];
      if (c != '$' || i + 1 >= rep.size()) {
        out.push_back(c);
        continue;
      }
      char d = rep[i + 1];
      if (d == '$') {
        out.push_back('$');
        ++i;
      } else if (d == '&') {
        out.append(whole);
        ++i;
      } else if (d == '`') {
        out.append(subject.substr(0, begin));
        ++i;
      } else if (d == '\'') {
        out.append(subject.substr(end));
        ++i;
      } else if (d >= '0' && d <= '9') {
        size_t group = d - '0';
        size_t used = 1;
        if (i + 2 < rep.size() && rep[i + 2] >= '0' && rep[i + 2] <= '9') {
          size_t two = group * 10 + (rep[i + 2] - '0');
          if (two >= 1 && two <= s.groups) group = two, used = 2;
        }
        if (group < 1 || group > s.groups) {
          out.push_back(c);
          continue;
        }
        std::string_view g;
        if (s.slice(m, group, &g)) out.append(g);
        i += used;
      } else {
        out.push_back(c);
      }
    }
    copied = end;
  }
  out.append(subject.substr(copied));
  return utf8_to_gbk(out);
}

}  // namespace web
