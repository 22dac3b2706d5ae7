#pragma once
// The papers the documents are laid out for: A4, A5 and the three thermal
// label sizes couriers' printers take (100×180 is the e-waybill's), with the
// margins each needs. Key `paper` of section `print` remembers the last one
// chosen; key `mask_phone` (1 unless set to 0) says whether a slip hides the
// middle digits of a telephone.
//
// Usage: Paper p = remembered_paper(settings);  writer.setPageLayout(page_layout(p));

#include <QPageLayout>
#include <QString>

#include <optional>
#include <string_view>

#include "core/settings.h"

namespace printing {

enum class Paper { A4, A5, Label100x150, Label76x130, Label100x180 };

inline constexpr Paper kPapers[] = {Paper::A4, Paper::A5, Paper::Label100x150, Paper::Label76x130,
                                    Paper::Label100x180};

// "a4", "a5", "100x150", "76x130", "100x180": the names the settings file and weihe-cli use.
std::string_view paper_name(Paper paper);
std::optional<Paper> paper_named(std::string_view name);
// As a merchant reads it: "A4", "100×150 毫米标签" ...
QString paper_caption(Paper paper);
bool is_label(Paper paper);

// The page in portrait or landscape, with the paper's margins.
QPageLayout page_layout(Paper paper, QPageLayout::Orientation orientation = QPageLayout::Portrait);
// The paper whose size `size` is (within a millimetre either way round); nothing for another.
std::optional<Paper> paper_of(const QPageSize& size);

Paper remembered_paper(const app::Settings& settings);
void remember_paper(app::Settings& settings, Paper paper);
bool masks_phone(const app::Settings& settings);

// The label printer's paper (key `label_paper`, 100×150 unless set) and the
// printers chosen for labels and for paper (keys `label_printer`,
// `paper_printer`; empty: none chosen), all in section `print`.
Paper remembered_label_paper(const app::Settings& settings);
void remember_label_paper(app::Settings& settings, Paper paper);
QString remembered_printer(const app::Settings& settings, std::string_view key);
void remember_printer(app::Settings& settings, std::string_view key, const QString& name);

}  // namespace printing
