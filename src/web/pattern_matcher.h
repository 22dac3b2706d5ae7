#pragma once
// Regular-expression scraping over GB18030 page text, on PCRE2 (UTF mode, JIT).
// The dialect: ECMAScript-like, "." matches any character but a line feed,
// matching works on characters (a Chinese character or an emoji is one).
// Match and group indexes are 1-based; anything out of range gives "" or 0.
// One instance per operation; an instance is not shared between threads.
//
// Usage: PatternMatcher m;
//        m.run(row_pattern, page, /*case_sensitive=*/true);
//        for (int j = 1; j <= m.match_count(); ++j) cell = m.submatch(j, 1);

#include <memory>

#include "web/text.h"

namespace web {

class PatternMatcher {
 public:
  PatternMatcher();
  ~PatternMatcher();
  PatternMatcher(const PatternMatcher&) = delete;
  PatternMatcher& operator=(const PatternMatcher&) = delete;

  bool run(const Text& pattern, const Text& subject, bool case_sensitive = false,
           bool multiline = true, bool global = true, bool quote_marker = false);
  Text pattern() const;
  Text replace_all(const Text& replacement = {}) const;
  int match_count() const;
  // The last run stopped at an engine limit: its matches are those found before.
  bool cut_short() const;
  Text match_text(int j, int* position = nullptr) const;
  Text submatch(int j, int k, int* position = nullptr) const;
  int submatch_count() const;

 private:
  struct State;
  std::unique_ptr<State> m_state;
};

}  // namespace web
