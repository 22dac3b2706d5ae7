#pragma once
// The 统计 page: the shop's figures over a range of pay times (今天 … 上月, or
// two dates) counted by day, week or month, from the order archive. The
// headline figures as large numbers, then the charts: orders and revenue
// per period (a click on a bar lists that period's orders in 历史订单),
// the best-selling goods, how long payment to shipment took; and the late
// orders (a click opens one). 导出 writes the page as a one-page PDF
// or the figures as a workbook. Figures are counted on a worker.
//
// Usage: auto* page = new ReportPage(tabs);  page->set_context(&ctx);
//        page->on_period_chosen = [&](QDate since, QDate until) { ... };

#include <QDate>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

#include "report/shop_report.h"

class QChartView;
class QComboBox;
class QDateEdit;
class QLabel;
class QTableWidget;

namespace app {

struct Context;

class ReportPage : public QWidget {
 public:
  explicit ReportPage(QWidget* parent);
  // `all_shops`: the figures of every shop's orders (全部店铺), headed so.
  void set_context(Context* ctx, bool all_shops = false);
  // Counts the figures for what the page asks now; shown when they come.
  void refresh();
  std::function<void(const QDate& since, const QDate& until)> on_period_chosen;
  const std::optional<report::Report>& shown() const { return m_report; }
  bool save_pdf(const QString& path, QString* error) const;
  bool save_workbook(const QString& path, QString* error) const;
  // Whose figures the page and its PDF show: the store's name as the last
  // login read it from the dashboard, else the shop's label.
  QString shop_name() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // The preset's dates (a custom range keeps its own), then the figures.
  void choose_preset(int index);
  void show_preset_dates(int index);
  void show_report(int generation, std::optional<report::Report> r, const std::string& error);
  void open_late_order(int row);
  void export_page();

  Context* m_ctx = nullptr;
  bool m_all_shops = false;
  int m_generation = 0;
  std::optional<report::Report> m_report;
  QLabel* m_shop;
  QComboBox* m_preset;
  QDateEdit* m_since;
  QDateEdit* m_until;
  QComboBox* m_by;
  QLabel* m_sentence;
  std::vector<QLabel*> m_figures;
  QChartView* m_periods;
  QChartView* m_goods;
  QChartView* m_hours;
  QTableWidget* m_late;
};

}  // namespace app
