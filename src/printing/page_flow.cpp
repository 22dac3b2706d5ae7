#include "printing/page_flow.h"

#include <QTextLayout>

#include <algorithm>

namespace printing {

PageFlow::PageFlow(QPagedPaintDevice& device, QPainter& painter)
    : m_device(device), m_painter(painter) {
  m_width = device.width();
  m_height = device.height();
  m_foot = m_height;
  // A band at the foot for "接下页".
  m_bottom = m_foot - line_height(font(7)) * 1.3;
  m_y = m_top = 0;
}

void PageFlow::split_pages_in_half() {
  m_halves = true;
  use_half(false);
}

void PageFlow::use_half(bool lower) {
  // Room either side of the cut line, for the scissors.
  const double gap = m_halves ? mm(4) : 0;
  m_lower = m_halves && lower;
  m_top = m_lower ? m_height / 2 + gap : 0;
  m_foot = m_halves && !m_lower ? m_height / 2 - gap : m_height;
  m_bottom = m_foot - line_height(font(7)) * 1.3;
  m_y = m_top;
  if (m_lower) {
    m_painter.save();
    m_painter.setPen(QPen(QColor(110, 110, 110), mm(0.25), Qt::DashLine));
    m_painter.drawLine(QPointF(0, m_height / 2), QPointF(m_width, m_height / 2));
    m_painter.restore();
  }
}

void PageFlow::next_place() {
  if (m_halves && !m_lower) {
    use_half(true);
  } else {
    m_device.newPage();
    ++m_pages;
    use_half(false);
  }
  m_drawn = false;
}

double PageFlow::cell_width(const QString& text, const QFont& font) const {
  // The row's padding either side, and a little for rounding between devices.
  return QFontMetricsF(font, &m_device).horizontalAdvance(text) + 2 * mm(0.8) + mm(0.5);
}

PageFlow::~PageFlow() = default;

double PageFlow::mm(double millimetres) const {
  return millimetres * m_device.logicalDpiY() / 25.4;
}

QFont PageFlow::font(double points, bool bold) const {
  QFont f;
  // Faces with every Chinese character as outlines a PDF can embed.
  f.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                 QStringLiteral("Droid Sans Fallback"), QStringLiteral("sans-serif")});
  f.setPointSizeF(points);
  f.setBold(bold);
  f.setHintingPreference(QFont::PreferNoHinting);  // the same lines on screen, paper and PDF
  return f;
}

double PageFlow::line_height(const QFont& font) const {
  return QFontMetricsF(font, &m_device).lineSpacing();
}

void PageFlow::start_on_new_page() {
  if (!m_drawn && m_y <= m_top) return;
  next_place();
}

void PageFlow::continue_on_next_page() {
  const QFont small = font(7);
  m_painter.setFont(small);
  m_painter.setPen(Qt::black);
  // From a top half the part goes on below the cut line.
  m_painter.drawText(QRectF(0, m_bottom, m_width, m_foot - m_bottom),
                     Qt::AlignRight | Qt::AlignVCenter,
                     QString::fromUtf8(m_halves && !m_lower ? "接下方" : "接下页"));
  next_place();
  if (running_header && !m_in_header) {
    m_in_header = true;
    running_header(*this);
    m_in_header = false;
  }
}

void PageFlow::keep_together(double height) {
  if (height > room() && !at_top()) continue_on_next_page();
}

std::unique_ptr<QTextLayout> PageFlow::lay_out(const QString& text, const QFont& font, double width,
                                               Qt::Alignment align) const {
  auto layout = std::make_unique<QTextLayout>(text, font, &m_device);
  QTextOption option(align);
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout->setTextOption(option);
  layout->setCacheEnabled(true);
  layout->beginLayout();
  double y = 0;
  for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
    line.setLineWidth(std::max(1.0, width));
    line.setLeadingIncluded(true);
    line.setPosition(QPointF(0, y));
    y += line.height();
  }
  layout->endLayout();
  return layout;
}

void PageFlow::paragraph(const QString& text, const QFont& font, double x, double width,
                         Qt::Alignment align) {
  row({{text, font, width, align}}, false, false, x);
}

void PageFlow::boxed_paragraph(const QString& text, const QFont& font, double x, double width) {
  flow_cells({{text, font, width}}, x, {1.5, false, QColor(230, 230, 230), true});
}

void PageFlow::row(const std::vector<Cell>& cells, bool rule_below, bool shaded, double x0) {
  flow_cells(cells, x0, {0.8, rule_below, shaded ? QColor(235, 235, 235) : QColor(), false});
}

void PageFlow::flow_cells(const std::vector<Cell>& cells, double x0, const Look& look) {
  const double pad = mm(look.padding_mm);
  std::vector<std::unique_ptr<QTextLayout>> layouts;
  std::vector<int> next(cells.size(), 0);
  double tallest_first = 0;
  for (const Cell& c : cells) {
    layouts.push_back(lay_out(c.text, c.font, c.width - 2 * pad, c.align));
    if (layouts.back()->lineCount() > 0)
      tallest_first = std::max(tallest_first, layouts.back()->lineAt(0).height());
  }
  auto remaining = [&] {
    for (std::size_t i = 0; i < cells.size(); ++i)
      if (next[i] < layouts[i]->lineCount()) return true;
    return false;
  };
  keep_together(tallest_first + 2 * pad);
  bool first_part = true;
  while (first_part || remaining()) {
    first_part = false;
    const double start = m_y;
    const double limit = m_bottom - start - 2 * pad;
    // How many lines of each cell fit here, and the height they take.
    std::vector<int> upto(cells.size());
    double used = 0;
    bool any = false;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      double h = 0;
      int k = next[i];
      while (k < layouts[i]->lineCount() && h + layouts[i]->lineAt(k).height() <= limit) {
        h += layouts[i]->lineAt(k).height();
        ++k;
      }
      any = any || k > next[i];
      upto[i] = k;
      used = std::max(used, h);
    }
    if (!any && remaining()) {
      continue_on_next_page();
      continue;
    }
    const double height = used + 2 * pad;
    double wide = 0;
    for (const Cell& c : cells) wide += c.width;
    if (look.framed) {  // framed anew on every page the cells reach
      m_painter.save();
      m_painter.setPen(QPen(Qt::black, mm(0.4)));
      m_painter.setBrush(look.ground);
      m_painter.drawRect(QRectF(x0, start, wide, height));
      m_painter.restore();
    } else if (look.ground.isValid()) {
      m_painter.fillRect(QRectF(x0, start, wide, height), look.ground);
    }
    m_painter.setPen(Qt::black);
    double x = x0;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (upto[i] > next[i]) {
        const double shift = layouts[i]->lineAt(next[i]).y();
        for (int k = next[i]; k < upto[i]; ++k)
          layouts[i]->lineAt(k).draw(&m_painter, QPointF(x + pad, start + pad - shift));
      }
      next[i] = upto[i];
      x += cells[i].width;
    }
    m_y = start + height;
    m_drawn = true;
    if (look.rule_below) {
      m_painter.save();
      m_painter.setPen(QPen(QColor(120, 120, 120), mm(0.15)));
      m_painter.drawLine(QPointF(x0, m_y), QPointF(x0 + wide, m_y));
      m_painter.restore();
    }
    if (remaining()) continue_on_next_page();
  }
}

}  // namespace printing
