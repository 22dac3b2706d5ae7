#include "printing/paper.h"

#include <QMarginsF>
#include <QPageSize>
#include <QSizeF>

#include <cmath>

namespace printing {

namespace {

struct PaperKind {
  Paper paper;
  std::string_view name;
  const char* caption;
  QSizeF millimetres;
  double margin;  // millimetres on every side
};

// Labels are printed edge to edge by thermal printers, which still cannot
// reach the last millimetres: their margin is small but not nil.
constexpr PaperKind kKinds[] = {
    {Paper::A4, "a4", "A4", {210, 297}, 12},
    {Paper::A5, "a5", "A5", {148, 210}, 9},
    {Paper::Label100x150, "100x150", "100×150 毫米标签", {100, 150}, 3},
    {Paper::Label76x130, "76x130", "76×130 毫米标签", {76, 130}, 2.5},
    {Paper::Label100x180, "100x180", "100×180 毫米标签", {100, 180}, 3},
};

const PaperKind& kind_of(Paper paper) {
  for (const PaperKind& k : kKinds)
    if (k.paper == paper) return k;
  return kKinds[0];
}

QPageSize page_size(Paper paper) {
  switch (paper) {
    case Paper::A4:
      return QPageSize(QPageSize::A4);
    case Paper::A5:
      return QPageSize(QPageSize::A5);
    default:
      return QPageSize(kind_of(paper).millimetres, QPageSize::Millimeter,
                       QString::fromUtf8(kind_of(paper).caption), QPageSize::ExactMatch);
  }
}

}  // namespace

std::string_view paper_name(Paper paper) {
  return kind_of(paper).name;
}

std::optional<Paper> paper_named(std::string_view name) {
  for (const PaperKind& k : kKinds)
    if (k.name == name) return k.paper;
  return std::nullopt;
}

QString paper_caption(Paper paper) {
  return QString::fromUtf8(kind_of(paper).caption);
}

bool is_label(Paper paper) {
  return paper == Paper::Label100x150 || paper == Paper::Label76x130 ||
         paper == Paper::Label100x180;
}

QPageLayout page_layout(Paper paper, QPageLayout::Orientation orientation) {
  const double m = kind_of(paper).margin;
  return QPageLayout(page_size(paper), orientation, QMarginsF(m, m, m, m), QPageLayout::Millimeter);
}

std::optional<Paper> paper_of(const QPageSize& size) {
  const QSizeF mm = size.size(QPageSize::Millimeter);
  for (const PaperKind& k : kKinds) {
    const QSizeF want = k.millimetres;
    auto near = [](QSizeF a, QSizeF b) {
      return std::abs(a.width() - b.width()) < 1 && std::abs(a.height() - b.height()) < 1;
    };
    if (near(mm, want) || near(mm, want.transposed())) return k.paper;
  }
  return std::nullopt;
}

Paper remembered_paper(const app::Settings& settings) {
  const web::Text name = settings.read_setting(web::gbk("paper"), web::gbk("print"));
  return paper_named(name).value_or(Paper::A4);
}

void remember_paper(app::Settings& settings, Paper paper) {
  settings.write_setting(web::gbk("paper"), std::string(paper_name(paper)), web::gbk("print"));
}

Paper remembered_label_paper(const app::Settings& settings) {
  const web::Text name = settings.read_setting(web::gbk("label_paper"), web::gbk("print"));
  return paper_named(name).value_or(Paper::Label100x150);
}

void remember_label_paper(app::Settings& settings, Paper paper) {
  settings.write_setting(web::gbk("label_paper"), std::string(paper_name(paper)),
                         web::gbk("print"));
}

QString remembered_printer(const app::Settings& settings, std::string_view key) {
  const web::Text name = settings.read_setting(std::string(key), web::gbk("print"));
  return QString::fromStdString(web::gbk_to_utf8(name));
}

void remember_printer(app::Settings& settings, std::string_view key, const QString& name) {
  settings.write_setting(std::string(key), web::utf8_to_gbk(name.toStdString()), web::gbk("print"));
}

bool masks_phone(const app::Settings& settings) {
  return settings.read_number(web::gbk("mask_phone"), web::gbk("print"), 1, 0, 1) == 1;
}

}  // namespace printing
