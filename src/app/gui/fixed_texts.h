#pragma once
// The fixed texts of the window: the help page and the release notes, as
// system text with CR LF line breaks.
//
// Usage: form.set_text("编辑框3", app::help_text());

#include "web/text.h"

namespace app {

web::Text help_text();           // 编辑框3, page 帮助
web::Text release_notes_text();  // 编辑框4, page 更新内容

}  // namespace app
