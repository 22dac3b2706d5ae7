#pragma once
// A text as a person reads it when it came with HTML in it: a list cell may
// hold "<b>韩梅梅</b>" or "&amp;". Only for showing; the text itself stays.
//
// Usage: label->setText(qs(web::without_markup(cell)));

#include <string_view>

#include "web/text.h"

namespace web {

// `text` (system text) without its tags ("<b>", "</span>", "<br/>", "<!-- -->")
// and with its character references decoded (&amp; &lt; &gt; &quot; &apos;
// &nbsp; and numeric ones such as &#37073; or &#x90D1;). A "<" that opens no
// tag, an unknown or malformed reference, stays as it is.
Text without_markup(std::string_view text);

}  // namespace web
