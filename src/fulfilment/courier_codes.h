#pragma once
// The courier codes the tracking service and the shipping form understand, as
// the reference text shown on the window's 快递代码 page: one "code----name"
// line per courier, CR LF between lines and none after the last.
//
// Usage: form.set_text("编辑框9", fulfilment::courier_code_list());
//        if (!is_listed_courier_code(typed)) hint(courier_code_named(typed));

#include "web/text.h"

namespace fulfilment {

web::Text courier_code_list();

// Whether `code` is one of the list's codes (system text, as typed).
bool is_listed_courier_code(const web::Text& code);
// The code of the courier `name` names ("圆通" and "圆通速递" give "yuantong"):
// the list's name itself, else the one name that begins with it; empty when
// none does, or several couriers do.
web::Text courier_code_named(const web::Text& name);

}  // namespace fulfilment
