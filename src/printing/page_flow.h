#pragma once
// Lays text out down the pages of a paint device (a PDF writer, a printer, the
// print preview's printer alike): paragraphs and table rows wrap to their
// width (at word boundaries, else anywhere, so a long number never runs over
// its cell) and continue on the next page line by line. Nothing is cut or
// drawn over: a page that continues says so at its foot, and the next one
// starts with the running header (the order and the table's head again).
// A page may also be split in two halves, each taking a part of its own
// (two packing slips on a sheet of A4), with a dashed line to cut along.
// Lengths are in device units; mm() and the fonts' point sizes convert.
//
// Usage: PageFlow flow(writer, painter);
//        flow.paragraph(text, flow.font(9), 0, flow.width());
//        flow.row({{goods, font, w1}, {qty, font, w2, Qt::AlignRight}});

#include <QColor>
#include <QFont>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QTextLayout;

namespace printing {

class PageFlow {
 public:
  // `painter` is active on `device`, which is on its first page.
  PageFlow(QPagedPaintDevice& device, QPainter& painter);
  ~PageFlow();

  QPainter& painter() { return m_painter; }
  double mm(double millimetres) const;
  // The documents' font (a CJK face, embedded in a PDF) at `points`.
  QFont font(double points, bool bold = false) const;
  double line_height(const QFont& font) const;
  // How wide a row's cell must be to hold `text` on one line.
  double cell_width(const QString& text, const QFont& font) const;

  double width() const { return m_width; }
  double y() const { return m_y; }
  double room() const { return m_bottom - m_y; }
  bool at_top() const { return m_y <= m_top; }
  void advance(double height) { m_y += height; }

  // From here on every page takes two parts, one in its top half and one in
  // its bottom half, a dashed cut line between them; "a page" below is then
  // a half page. Called before anything is drawn.
  void split_pages_in_half();

  // The next document part starts on a page of its own (a fresh device's
  // first page is used as it is).
  void start_on_new_page();
  // A page break inside a part: "接下页" at this page's foot, the running
  // header at the top of the next.
  void continue_on_next_page();
  // Breaks the page first unless `height` fits (or the page is still empty).
  void keep_together(double height);
  std::function<void(PageFlow&)> running_header;
  int pages() const { return m_pages; }

  // A paragraph at x, `width` wide.
  void paragraph(const QString& text, const QFont& font, double x, double width,
                 Qt::Alignment align = Qt::AlignLeft);
  // A paragraph in a frame with a grey ground, framed anew on every page it reaches.
  void boxed_paragraph(const QString& text, const QFont& font, double x, double width);

  struct Cell {
    QString text;
    QFont font;
    double width = 0;
    Qt::Alignment align = Qt::AlignLeft;
  };
  // Cells side by side from x0, each wrapped to its width; a rule below.
  // A row taller than what is left of the page continues on the next.
  void row(const std::vector<Cell>& cells, bool rule_below = true, bool shaded = false, double x0 = 0);

 private:
  // How flowed cells look: padding around their text, a rule below each
  // page's part, a ground colour (none when invalid), a frame.
  struct Look {
    double padding_mm = 0.8;
    bool rule_below = true;
    QColor ground;
    bool framed = false;
  };
  // Cells side by side from x0, continuing line by line on the next page.
  void flow_cells(const std::vector<Cell>& cells, double x0, const Look& look);
  std::unique_ptr<QTextLayout> lay_out(const QString& text, const QFont& font, double width,
                                       Qt::Alignment align) const;
  // The next place a part may take: the bottom half of this page (split in
  // halves), else a new page.
  void next_place();
  // Where parts go on the current page: the whole of it, or a half.
  void use_half(bool lower);

  QPagedPaintDevice& m_device;
  QPainter& m_painter;
  double m_width = 0, m_top = 0, m_bottom = 0, m_foot = 0;
  double m_height = 0;  // the device's page
  double m_y = 0;
  int m_pages = 1;
  bool m_halves = false, m_lower = false;
  bool m_drawn = false;  // anything on the current page yet
  bool m_in_header = false;
};

}  // namespace printing
