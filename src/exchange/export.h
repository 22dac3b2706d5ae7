#pragma once
// The "导出订单" operation: writes the order table into a new .xlsx workbook at
// a path the merchant picks in a save dialog, and says whether it worked.
//
// Usage: export_orders(ctx);   // on the UI thread, from the context menu

#include <filesystem>

#include "core/context.h"

namespace exchange {

void export_orders(app::Context& ctx);

// Where the save dialog starts: the last path chosen in this run, or else the
// desktop folder (the home folder when there is none) with a trailing "/".
// System text (GB18030).
web::Text suggested_export_path();

// The desktop folder, or the home folder when there is no desktop folder.
std::filesystem::path desktop_folder();

}  // namespace exchange
