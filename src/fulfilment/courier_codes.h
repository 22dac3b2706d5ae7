#pragma once
// The courier codes the tracking service and the shipping form understand, as
// the reference text shown on the window's 快递代码 page: one "code----name"
// line per courier, CR LF between lines and none after the last.
//
// Usage: form.set_text("编辑框9", fulfilment::courier_code_list());

#include "web/text.h"

namespace fulfilment {

web::Text courier_code_list();

}  // namespace fulfilment
