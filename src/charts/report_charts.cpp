#include "charts/report_charts.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCursor>
#include <QHorizontalBarSeries>
#include <QLineSeries>
#include <QToolTip>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace charts {

namespace {

QString u(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

QChart* new_chart(const char* title) {
  auto* chart = new QChart;
  chart->setTitle(QString::fromUtf8(title));
  chart->setAnimationOptions(QChart::NoAnimation);
  chart->legend()->setAlignment(Qt::AlignTop);
  chart->setMargins(QMargins(4, 4, 4, 4));
  return chart;
}

QFont small_font() {
  QFont f;
  f.setPointSizeF(7);
  return f;
}

// A text at most `most` characters long: a longer one loses its end, marked "…".
QString cut_to(const QString& text, int most) {
  return text.size() <= most ? text : text.left(std::max(1, most - 1)) + QStringLiteral("…");
}

// A goods line's name on the goods chart's axis, at most `most` characters
// on one line (the axis has room for one between two bars): the goods and
// its 规格 when both fit, else the goods alone, unless another line of the
// chart is the same goods, when both are shortened. Axis labels are rich text.
QString goods_label(const report::GoodsFigures& g, int most, bool same_goods_twice) {
  const QString goods = u(g.goods).simplified(), variant = u(g.variant).simplified();
  const QString between = QStringLiteral("·");
  QString label;
  if (variant.isEmpty() ||
      (!same_goods_twice && goods.size() + between.size() + variant.size() > most)) {
    label = cut_to(goods, most);
  } else if (goods.size() + between.size() + variant.size() <= most) {
    label = goods + between + variant;
  } else {
    const int room = most - static_cast<int>(between.size());
    const int variant_room = std::min<int>(variant.size(), room / 2);
    label = cut_to(goods, room - variant_room) + between + cut_to(variant, variant_room);
  }
  return label.toHtmlEscaped();
}

// A value axis from 0 with whole-number steps.
QValueAxis* count_axis(double most) {
  auto* axis = new QValueAxis;
  axis->setLabelFormat(QStringLiteral("%d"));
  const double top = std::max(1.0, std::ceil(most));
  if (top <= 10) {  // one tick per whole number: no label repeats
    axis->setRange(0, top);
    axis->setTickCount(static_cast<int>(top) + 1);
  } else {
    axis->setRange(0, top);
    axis->applyNiceNumbers();
  }
  return axis;
}

}  // namespace

QString axis_label(const report::Report& r, const report::PeriodFigures& p) {
  const QString label = u(p.period.label);
  switch (r.by) {
    case report::Grouping::Day:  // a month of days fits as day numbers
      return r.periods.size() > 14 ? label.mid(8) : label.mid(5);
    case report::Grouping::Week: return label.mid(5) + QString::fromUtf8("周");
    case report::Grouping::Month: return label;
  }
  return label;
}

QChart* period_chart(const report::Report& r) {
  QChart* chart = new_chart("订单数与销售额");
  auto* orders = new QBarSet(QString::fromUtf8("订单数"));
  auto* revenue = new QLineSeries;
  revenue->setName(QString::fromUtf8("销售额（元）"));
  QStringList labels;
  double most_orders = 0, most_revenue = 0;
  for (std::size_t i = 0; i < r.periods.size(); ++i) {
    const auto& p = r.periods[i];
    *orders << p.orders;
    // Shown in yuan; the figures themselves stay in fen.
    revenue->append(static_cast<double>(i), static_cast<double>(p.revenue) / 100);
    labels << axis_label(r, p);
    most_orders = std::max(most_orders, static_cast<double>(p.orders));
    most_revenue = std::max(most_revenue, static_cast<double>(p.revenue) / 100);
  }
  auto* bars = new QBarSeries;
  bars->append(orders);
  chart->addSeries(bars);
  chart->addSeries(revenue);
  // Among many periods every other label stays blank (a category's label
  // must be unique: blanks are zero-width spaces of different lengths).
  if (labels.size() > 16)
    for (int i = 1; i < labels.size() - 1; i += 2) labels[i] = QString(i, QChar(0x200B));
  auto* x = new QBarCategoryAxis;
  x->append(labels);
  chart->addAxis(x, Qt::AlignBottom);
  x->setLabelsFont(small_font());  // after adding: the chart's theme sets fonts then
  x->setTruncateLabels(false);
  bars->attachAxis(x);
  revenue->attachAxis(x);
  QValueAxis* left = count_axis(most_orders);
  chart->addAxis(left, Qt::AlignLeft);
  bars->attachAxis(left);
  auto* right = new QValueAxis;
  right->setRange(0, std::max(10.0, most_revenue));  // whole yuan, no label twice
  right->applyNiceNumbers();
  right->setLabelFormat(QStringLiteral("%.0f"));
  chart->addAxis(right, Qt::AlignRight);
  revenue->attachAxis(right);
  return chart;
}

QChart* top_goods_chart(const report::Report& r) {
  QChart* chart = new_chart("热销商品（数量）");
  auto* quantity = new QBarSet(QString::fromUtf8("数量"));
  QStringList names;
  double most = 0;
  // Best at the top: a horizontal bar chart draws its first category at the bottom.
  // Names short enough to be read whole beside the bars (the axis would
  // otherwise cut every one down to "…" on a narrow chart); each in full
  // as the tooltip of its bar.
  constexpr int kLabelChars = 11;
  QStringList full;
  for (auto it = r.top_by_quantity.rbegin(); it != r.top_by_quantity.rend(); ++it) {
    *quantity << static_cast<double>(it->quantity);
    const bool twice =
        std::count_if(r.top_by_quantity.begin(), r.top_by_quantity.end(),
                      [&](const report::GoodsFigures& g) { return g.goods == it->goods; }) > 1;
    QString name = goods_label(*it, kLabelChars, twice);
    while (names.contains(name)) name += QChar(0x200B);  // a category's label must be unique
    names << name;
    full << u(it->goods) +
                (it->variant.empty() ? QString() : QStringLiteral(" · ") + u(it->variant)) +
                QStringLiteral("：%1").arg(it->quantity);
    most = std::max(most, static_cast<double>(it->quantity));
  }
  QObject::connect(quantity, &QBarSet::hovered, chart, [full](bool over, int index) {
    if (over && index >= 0 && index < full.size()) QToolTip::showText(QCursor::pos(), full[index]);
  });
  auto* bars = new QHorizontalBarSeries;
  bars->append(quantity);
  chart->addSeries(bars);
  auto* y = new QBarCategoryAxis;
  y->append(names);
  chart->addAxis(y, Qt::AlignLeft);
  y->setLabelsFont(small_font());
  y->setTruncateLabels(false);
  bars->attachAxis(y);
  QValueAxis* x = count_axis(most);
  chart->addAxis(x, Qt::AlignBottom);
  bars->attachAxis(x);
  chart->legend()->hide();
  return chart;
}

QChart* ship_hours_chart(const report::Report& r) {
  QChart* chart = new_chart("付款到发货用时");
  auto* orders = new QBarSet(QString::fromUtf8("订单数"));
  QStringList bins;
  double most = 0;
  for (std::size_t b = 0; b < report::ship_hour_bins().size(); ++b) {
    *orders << r.ship_hours.histogram[b];
    bins << u(report::ship_hour_bins()[b]);
    most = std::max(most, static_cast<double>(r.ship_hours.histogram[b]));
  }
  auto* bars = new QBarSeries;
  bars->append(orders);
  chart->addSeries(bars);
  auto* x = new QBarCategoryAxis;
  x->append(bins);
  chart->addAxis(x, Qt::AlignBottom);
  x->setLabelsFont(small_font());
  x->setTruncateLabels(false);
  bars->attachAxis(x);
  QValueAxis* y = count_axis(most);
  chart->addAxis(y, Qt::AlignLeft);
  bars->attachAxis(y);
  chart->legend()->hide();
  return chart;
}

}  // namespace charts
