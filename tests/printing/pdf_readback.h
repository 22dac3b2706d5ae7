#pragma once
// A PDF read back as a packer and a scanner would read it: its text
// (pdftotext), its pages (pdfinfo) and its barcodes (pdftoppm, then zbarimg).
//
// Usage: EXPECT_EQ(pages(pdf), 3);  auto codes = barcodes(pdf, dir.path());
//        EXPECT_EQ(codes["CODE-128"], (std::set<std::string>{"2026120900000001"}));

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace printing_test {

inline std::string run(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  EXPECT_TRUE(p.waitForFinished(60000)) << program.toStdString();
  return p.readAllStandardOutput().toStdString();
}

// `raw`: in the order it was drawn rather than as laid out, so that a
// column beside a paragraph does not cut into its lines.
inline std::string pdf_text(const std::filesystem::path& pdf, bool raw = false) {
  QStringList args = {QString::fromStdString(pdf.string()), QStringLiteral("-")};
  if (raw) args.prepend(QStringLiteral("-raw"));
  return run(QStringLiteral("pdftotext"), args);
}

// Text without the line breaks and spaces wrapping put in.
inline std::string unwrapped(std::string text) {
  std::erase_if(text, [](char c) { return c == '\n' || c == ' ' || c == '\f'; });
  return text;
}

inline int pages(const std::filesystem::path& pdf) {
  const std::string info = run(QStringLiteral("pdfinfo"), {QString::fromStdString(pdf.string())});
  const auto at = info.find("Pages:");
  return at == std::string::npos ? -1 : std::stoi(info.substr(at + 6));
}

// A word of the PDF's text and where it stands on its page, in points from
// the top left corner (pdftotext -bbox).
struct Word {
  int page = 0;  // from 1
  std::string text;
  double left = 0, top = 0, right = 0, bottom = 0;
};

inline std::vector<Word> words(const std::filesystem::path& pdf) {
  static const std::regex word(
      R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">(.*)</word>)re");
  std::vector<Word> out;
  std::istringstream in(
      run(QStringLiteral("pdftotext"),
          {QStringLiteral("-bbox"), QString::fromStdString(pdf.string()), QStringLiteral("-")}));
  int page = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.find("<page ") != std::string::npos) ++page;
    std::smatch m;
    if (std::regex_search(line, m, word))
      out.push_back(
          {page, m[5], std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4])});
  }
  return out;
}

// Every page of `pdf` rendered at `dpi` into `work` (PNG files named page-*),
// and what zbarimg decodes on them, by symbology ("CODE-128", "QR-Code").
// `images` receives how many pages were rendered.
inline std::map<std::string, std::set<std::string>> barcodes(const std::filesystem::path& pdf,
                                                             const std::filesystem::path& work,
                                                             int dpi = 200, int* images = nullptr) {
  run(QStringLiteral("pdftoppm"),
      {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"),
       QString::fromStdString(pdf.string()), QString::fromStdString((work / "page").string())});
  QStringList files;
  for (const auto& f : std::filesystem::directory_iterator(work))
    if (f.path().extension() == ".png" && f.path().filename().string().rfind("page", 0) == 0)
      files << QString::fromStdString(f.path().string());
  if (images) *images = static_cast<int>(files.size());
  std::map<std::string, std::set<std::string>> out;
  if (files.isEmpty()) return out;
  std::istringstream in(run(QStringLiteral("zbarimg"), QStringList{QStringLiteral("-q")} + files));
  for (std::string line; std::getline(in, line);) {
    const auto colon = line.find(':');
    if (colon != std::string::npos) out[line.substr(0, colon)].insert(line.substr(colon + 1));
  }
  return out;
}

}  // namespace printing_test
