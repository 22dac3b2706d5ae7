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
#include <string_view>

#include "exchange/sheet.h"

namespace exchange {

ReadResult read_workbook(const std::filesystem::path& path, const ReadLimits& limits = {});
// The worksheet of that name instead of the first; a workbook without one
// (and every .xls) gives an empty sheet and no error.
ReadResult read_named_sheet(const std::filesystem::path& path, std::string_view sheet_name,
                            const ReadLimits& limits = {});

// The two formats, for a file already known to be of that kind.
ReadResult read_xlsx(const std::filesystem::path& path, const ReadLimits& limits,
                     std::string_view sheet_name = {});
ReadResult read_xls(const std::filesystem::path& path, const ReadLimits& limits);

}  // namespace exchange
