#pragma once
// Test helpers: a fresh temporary folder, and small .xlsx packages built from
// the XML of their parts (libzip, deflated), for workbooks no spreadsheet
// program would write.
//
// Usage: TempDir dir; auto p = dir.path() / "a.xlsx";
//        make_package(p, {{"xl/worksheets/sheet1.xml", sheet_xml(rows)}});

#include <zip.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "support/temp_dir.h"

namespace exchange_test {

using testing_support::TempDir;

inline const char kWorkbookXml[] =
    "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
    "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";

inline const char kWorkbookRels[] =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
    "relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>";

// A worksheet part around the given <row> elements.
inline std::string sheet_xml(const std::string& rows) {
  return "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
         "<sheetData>" +
         rows + "</sheetData></worksheet>";
}

// Writes a package with the workbook part, its relations and the given parts.
inline bool make_package(const std::filesystem::path& path,
                         std::map<std::string, std::string> parts) {
  parts.try_emplace("xl/workbook.xml", kWorkbookXml);
  parts.try_emplace("xl/_rels/workbook.xml.rels", kWorkbookRels);
  int error = 0;
  zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!zip) return false;
  for (auto& [name, data] : parts) {
    zip_source_t* src = zip_source_buffer(zip, data.data(), data.size(), 0);
    if (!src || zip_file_add(zip, name.c_str(), src, ZIP_FL_OVERWRITE) < 0) {
      zip_source_free(src);
      zip_discard(zip);
      return false;
    }
  }
  return zip_close(zip) == 0;
}

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void write_file(const std::filesystem::path& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

// One part of a package, uncompressed; empty when missing.
inline std::string read_part(const std::filesystem::path& package, const char* name) {
  zip_t* zip = zip_open(package.c_str(), ZIP_RDONLY, nullptr);
  if (!zip) return {};
  std::string out;
  if (zip_file_t* f = zip_fopen(zip, name, 0)) {
    char buf[65536];
    zip_int64_t n;
    while ((n = zip_fread(f, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    zip_fclose(f);
  }
  zip_discard(zip);
  return out;
}

inline std::filesystem::path data_file(const char* name) {
  return std::filesystem::path(WEIHE_TEST_DATA) / "exchange" / name;
}

}  // namespace exchange_test
