#pragma once
// Reads the first worksheet of a workbook file into a Sheet: .xlsx (and the
// other Office Open XML spreadsheets) through libzip and expat, streaming;
// legacy .xls through FreeXL. The format is told by the file's first bytes,
// not by its name. A file that is not a workbook, is damaged, or is beyond the
// limits gives an error text and no cells.
//
// Usage: ReadResult r = read_workbook(path);
//        if (!r.ok()) show(r.error); else use(r.sheet.cell(0, 0));

#include <filesystem>

#include "exchange/sheet.h"

namespace exchange {

ReadResult read_workbook(const std::filesystem::path& path, const ReadLimits& limits = {});

// The two formats, for a file already known to be of that kind.
ReadResult read_xlsx(const std::filesystem::path& path, const ReadLimits& limits);
ReadResult read_xls(const std::filesystem::path& path, const ReadLimits& limits);

}  // namespace exchange
